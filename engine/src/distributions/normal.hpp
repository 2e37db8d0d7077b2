// The normal family: standard_normal, the one source of Gaussian values, and the normal
// and lognormal draws built on it.
//
// standard_normal is the trigonometric Box-Muller construction: one pair of uniforms
// (u1, u2) gives the two independent N(0, 1) values r*cos(theta) and r*sin(theta), with
// r = sqrt(-2 ln u1) and theta = 2 pi u2. The cosine member is returned at once and the
// sine member is kept in the Generator's cached normal, to be handed out by the next
// request for a normal value, whichever draw makes it (normal, lognormal, student_t,
// the gamma sampler's inner loop, multivariate_normal). The cache is part of the exported
// state, so a restored generator hands out the same pending value.
#pragma once

#include <bit>
#include <cmath>

#include "../generator.hpp"
#include "../portable_math.hpp"
#include "uniform.hpp"
#include "validate.hpp"

namespace drawkit {

inline constexpr double kBoxMullerTwoPi =
    std::bit_cast<double>(0x401921FB54442D18ULL);  // 6.283185307179586

// One N(0, 1) value; never fails, never allocates, always finite.
//
// Draw order: the cache is read and cleared unconditionally; a pending value is returned
// without touching the engine. Otherwise the two engine outputs are taken first, u1 then
// u2. u1 is floored to 2^-1022 (only 0.0 is affected) so that ln(u1) is finite and r is
// at most 37.64030867387419; u2 = 0.0 stays 0.0 and gives the pair (r, +0.0). The
// product ln(u1) * -2.0 is exact, and theta < 2 pi keeps sin and cos well inside their
// reduction range.
inline double standard_normal(Generator& g) noexcept {
    const bool pending = g.has_cached_normal;
    const double cached = g.cached_normal;
    g.has_cached_normal = false;
    if (pending) return cached;
    const double u1 = next_f64_floored(g.engine);
    const double u2 = next_f64(g.engine);
    const double theta = u2 * kBoxMullerTwoPi;
    const double r =
        std::sqrt(portable_math::ln(u1) * -2.0);  // IEEE square root, correctly rounded
    const double z0 = portable_math::cos(theta) * r;
    const double z1 = r * portable_math::sin(theta);
    g.cached_normal = z1;
    g.has_cached_normal = true;
    return z0;
}

// --- normal ----------------------------------------------------------------------------

// scale is checked before loc, so normal(inf, -1) reports scale.
inline Invalid check_normal(double loc, double scale) {
    if (auto invalid = require_positive("scale", scale)) [[unlikely]]
        return invalid;
    return require_finite("loc", loc);
}

// loc + (scale * z): a rounded product, then a rounded sum; not range-checked, so a huge
// scale may give +-inf.
inline double normal(Generator& g, double loc, double scale) noexcept {
    const double z = standard_normal(g);
    return loc + scale * z;
}

// --- lognormal -------------------------------------------------------------------------

// sigma is checked before mean.
inline Invalid check_lognormal(double mean, double sigma) {
    if (auto invalid = require_positive("sigma", sigma)) [[unlikely]]
        return invalid;
    return require_finite("mean", mean);
}

// exp(mean + (sigma * z)); follows exp at its limits (+inf above 709.782712893384, +0.0
// below -745.1332191019411).
inline double lognormal(Generator& g, double mean, double sigma) noexcept {
    const double z = standard_normal(g);
    return portable_math::exp(mean + sigma * z);
}

}  // namespace drawkit
