// Exponential, Laplace and Cauchy: one value each by inversion of uniforms, with a fixed
// number of engine outputs (1, 2 and 1) and no loop. None of them touches the cached
// normal, so they work on the engine alone.
#pragma once

#include <bit>

#include "../portable_math.hpp"
#include "../xoshiro256pp.hpp"
#include "uniform.hpp"
#include "validate.hpp"

namespace drawkit {

inline constexpr double kCauchyOffset =
    std::bit_cast<double>(0xBFE0000000000000ULL);  // -0.5, centres u
inline constexpr double kCauchyPi =
    std::bit_cast<double>(0x400921FB54442D18ULL);  // 3.141592653589793

// --- exponential -----------------------------------------------------------------------

inline Invalid check_exponential(double scale) { return require_positive("scale", scale); }

// -(scale * ln w) with w = 1 - u in [2^-53, 1]: the complement keeps the logarithm finite
// (at most 36.7368005696771 in magnitude) without a guard. w = 1 gives -(+0.0) = -0.0.
inline double exponential(Xoshiro256PlusPlus& e, double scale) noexcept {
    const double w = next_f64_complement(e);
    return -(scale * portable_math::ln(w));
}

// --- laplace ---------------------------------------------------------------------------

// scale before loc, as for normal.
inline Invalid check_laplace(double loc, double scale) {
    if (auto invalid = require_positive("scale", scale)) [[unlikely]]
        return invalid;
    return require_finite("loc", loc);
}

// The difference of two unit exponentials -a and -b: loc + scale * (b - a). The first
// output supplies a, the term that enters with the plus sign.
inline double laplace(Xoshiro256PlusPlus& e, double loc, double scale) noexcept {
    const double w1 = next_f64_complement(e);
    const double w2 = next_f64_complement(e);
    const double a = portable_math::ln(w1);
    const double b = portable_math::ln(w2);
    return loc + scale * (b - a);
}

// --- cauchy ----------------------------------------------------------------------------

inline Invalid check_cauchy(double loc, double scale) {
    if (auto invalid = require_positive("scale", scale)) [[unlikely]]
        return invalid;
    return require_finite("loc", loc);
}

// loc + scale * tan(angle), angle = (u - 0.5) * pi: the sum is exact, the product rounded,
// so the angle lies in [-1.5707963267948966, 1.5707963267948961] and the tangent stays
// finite (u = 0 gives -1.6331239354134602e+16).
inline double cauchy(Xoshiro256PlusPlus& e, double loc, double scale) noexcept {
    const double u = next_f64(e);
    const double angle = (u + kCauchyOffset) * kCauchyPi;
    const double t = portable_math::tan(angle);
    return loc + scale * t;
}

}  // namespace drawkit
