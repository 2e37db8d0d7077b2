// The gamma family: standard_gamma, one Gamma(shape, 1) draw, and the gamma, beta,
// chisquare and student_t draws built on it.
//
// standard_gamma is Marsaglia & Tsang's squeeze-and-reject method ("A simple method for
// generating gamma variables", ACM TOMS 26(3), 2000) for shape >= 1, and for shape < 1
// their boost Gamma(shape) = Gamma(shape + 1) * U^(1/shape). Its Gaussian values come from
// standard_normal, so the sampler shares the Generator's cached normal with every
// normal-drawing method: a pending normal is the sampler's first x, and the sampler may
// leave the sine member of its last pair pending.
#pragma once

#include <cmath>

#include "../generator.hpp"
#include "normal.hpp"
#include "uniform.hpp"

namespace drawkit {

// One draw from Gamma(shape, 1), >= 0.0. Precondition: shape positive and finite (every
// caller validates it first). Out of line: the rejection loop is too big to inline into
// every method, and a call costs little next to it.
double standard_gamma(Generator& g, double shape) noexcept;

// --- gamma -----------------------------------------------------------------------------

// shape before scale.
inline Invalid check_gamma(double shape, double scale) {
    if (auto invalid = require_positive("shape", shape)) [[unlikely]] return invalid;
    return require_positive("scale", scale);
}

inline double gamma(Generator& g, double shape, double scale) noexcept {
    return scale * standard_gamma(g, shape);
}

// --- beta ------------------------------------------------------------------------------

// a before b.
inline Invalid check_beta(double a, double b) {
    if (auto invalid = require_positive("a", a)) [[unlikely]] return invalid;
    return require_positive("b", b);
}

// X / (X + Y), X drawn completely (rejections included) before Y. Both draws 0.0 (only
// for tiny a and b, where the boost factor underflows) give 0/0 = NaN, returned as is.
inline double beta(Generator& g, double a, double b) noexcept {
    const double x = standard_gamma(g, a);
    const double y = standard_gamma(g, b);
    return x / (x + y);
}

// --- chisquare -------------------------------------------------------------------------

inline Invalid check_chisquare(double df) { return require_positive("df", df); }

// Gamma(df/2, 2), formed as 2 * Gamma(df/2, 1); g + g doubles exactly. df * 0.5 is exact
// except for subnormal df, where it rounds like any product.
inline double chisquare(Generator& g, double df) noexcept {
    const double x = standard_gamma(g, df * 0.5);
    return x + x;
}

// --- student_t -------------------------------------------------------------------------

inline Invalid check_student_t(double df) { return require_positive("df", df); }

// z / sqrt(w / df) with w a chi-squared draw. The numerator is drawn first, so it takes a
// pending normal if there is one; otherwise it opens a fresh pair and the gamma sampler's
// first x is that pair's sine member. w = 0.0 is not guarded (a +-inf or NaN result).
inline double student_t(Generator& g, double df) noexcept {
    const double z = standard_normal(g);
    const double x = standard_gamma(g, df * 0.5);
    const double w = x + x;
    return z / std::sqrt(w / df);
}

}  // namespace drawkit
