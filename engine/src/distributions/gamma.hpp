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
#include <span>

#include "../generator.hpp"
#include "normal.hpp"
#include "uniform.hpp"

namespace drawkit {

// One draw from Gamma(shape, 1), >= 0.0. Precondition: shape positive and finite (every
// caller validates it first). Out of line: the rejection loop is too big to inline into
// every method, and a call costs little next to it.
double standard_gamma(Generator& g, double shape) noexcept;

// --- ratios of draws that all underflow -------------------------------------------------
//
// For a small shape the boost factor U^(1/shape) underflows, so the draw is 0.0 although
// its true value is merely tiny: at shape 0.001 about half the draws are 0.0, at 1e-4
// nine in ten. A ratio X_i / (X_0 + ... + X_k-1) of such draws (beta, dirichlet) is then
// 0/0 when every draw is 0.0, yet well defined: each ln X_i = ln G_i + ln(U_i) / alpha_i,
// G_i the Gamma(alpha_i + 1) factor and U_i the boost's uniform, is an ordinary number.
//
// gamma_shares_in_logs takes that path, for the draws whose sum is 0.0 and for no other:
// every other draw keeps the bits and the engine outputs of X_i / sum. The caller resets
// `g` to the state before its first pass, and the same draws are made again in the same
// order (so the engine ends where the first pass left it; nothing more is consumed), now
// keeping their two factors. With m = min alpha_j, the scaled logarithms
//     s_i = m * ln(G_i) + ln(U_i) * (m / alpha_i)          (= m ln X_i, finite: m / alpha_i <= 1)
// give out[i] = e_i / (e_0 + ... + e_k-1), e_i = exp((s_i - s_max) / m), s_max the
// largest s_i, the first of equals (its e is 1, so the sum lies in [1, k] and nothing
// overflows). A share that is truly below the smallest double rounds to 0.0. Each step
// is one rounded operation in the order written, ln and exp from portable_math, the sum
// from -0.0 in index order. For a shape of 1 or more the draw has no boost: U_i = 1.
//
// alpha.size() == out.size() >= 1, every alpha valid; out may be alpha itself.
void gamma_shares_in_logs(Generator& g, std::span<const double> alpha,
                          std::span<double> out) noexcept;

// The share X / (X + Y) of beta when the quotient `share` came out as 0.0 or NaN: an honest
// share of 0.0 (X is 0.0 or tiny beside Y) is returned as it is. A `sum` of 0.0 (both draws
// underflowed) or +inf (both finite, their sum overflowed) makes the draws again from `start`:
// the share is then taken from their logarithms, or from the draws scaled down as overflowing
// weights are. `g` ends where the first pass left it.
[[gnu::cold]] double beta_share_of_rare_sum(Generator& g, const Generator& start, double a,
                                            double b, double sum, double share) noexcept;

// --- gamma -----------------------------------------------------------------------------

// shape before scale.
inline Invalid check_gamma(double shape, double scale) {
    if (auto invalid = require_positive("shape", shape)) [[unlikely]]
        return invalid;
    return require_positive("scale", scale);
}

inline double gamma(Generator& g, double shape, double scale) noexcept {
    return scale * standard_gamma(g, shape);
}

// --- beta ------------------------------------------------------------------------------

// a before b.
inline Invalid check_beta(double a, double b) {
    if (auto invalid = require_positive("a", a)) [[unlikely]]
        return invalid;
    return require_positive("b", b);
}

// X / (X + Y), X drawn completely (rejections included) before Y. Two sums make that
// quotient useless, and both give a share that is not above 0.0, so one test on the share
// sends them (with the honest shares of 0.0) to beta_share_of_rare_sum:
// - both draws 0.0 (tiny a and b, where the boost factor underflows): 0/0. The same draws
//   are made again from the saved state and the share of X is taken from their logarithms
//   (gamma_shares_in_logs), as dirichlet([a, b]) does;
// - finite draws whose sum overflows (a and b near 1e308): X / inf = 0.0. The draws are
//   scaled down first, as dirichlet scales its draws.
// Every other share is the quotient as written, with its bits.
inline double beta(Generator& g, double a, double b) noexcept {
    const Generator start = g;
    const double x = standard_gamma(g, a);
    const double y = standard_gamma(g, b);
    const double sum = x + y;
    const double share = x / sum;
    if (!(share > 0.0)) [[unlikely]]
        return beta_share_of_rare_sum(g, start, a, b, sum, share);
    return share;
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
