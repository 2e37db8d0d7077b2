// Counting distributions: poisson, geometric and binomial, each returning one unsigned
// 64-bit count.
//
// poisson uses the multiplication method below lam = 10 and Hoermann's transformed
// rejection with squeeze above (W. Hoermann, "The transformed rejection method for
// generating Poisson random variables", Insurance: Mathematics and Economics 12, 39-45
// (1993)), with a Stirling-series log-gamma of its own; geometric inverts the
// distribution function with two logarithms; binomial sums n Bernoulli trials. Every
// transcendental step is portable_math's and every operation is one rounded binary64
// operation in the grouping written, so the counts are the same on every platform.
#pragma once

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "../poll.hpp"
#include "../portable_math.hpp"
#include "../xoshiro256pp.hpp"
#include "uniform.hpp"
#include "validate.hpp"

namespace drawkit {

inline constexpr double kFloorStepDown = std::bit_cast<double>(0xBFF0000000000000ULL);  // -1.0
inline constexpr double kBernoulliScale =
    std::bit_cast<double>(0x4340000000000000ULL);  // 9007199254740992.0
inline constexpr double kCountSaturation =
    std::bit_cast<double>(0x43F0000000000000ULL);  // 18446744073709551616.0

// floor_f64(q) for a finite q: round to the nearest integer (ties to even), then step
// down by one if that went above q. For |q| >= 2^52 round_ties_even returns q itself,
// which is already an integer.
//
// The step is written as an addition of -1.0 or +0.0 so that it compiles to a mask, not
// to a branch that random draws would mispredict half of the time. Adding +0.0 changes
// nothing: the only zero it could touch is -0.0, and round_ties_even gives -0.0 only for
// q in [-0.5, 0), where r > q holds and -1.0 is added instead.
inline double floor_f64(double q) noexcept {
    const double r = portable_math::round_ties_even(q);
    return r + (r > q ? kFloorStepDown : 0.0);
}

// A count computed in binary64 as an unsigned 64-bit integer: truncation toward zero,
// saturating at 2^64 - 1 for 2^64 and above; NaN and negative values give 0 (written so
// that NaN fails the first comparison).
inline std::uint64_t count_from_f64(double x) noexcept {
    if (!(x >= 0.0)) return 0;
    if (x >= kCountSaturation) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(x);
}

// ln Gamma(x) for a binary64 holding an integer x >= 1 (see counting.cpp).
double ln_gamma(double x) noexcept;

// --- poisson ---------------------------------------------------------------------------

inline constexpr double kPoissonThreshold = std::bit_cast<double>(0x4024000000000000ULL);  // 10.0

// The lam-dependent quantities of PTRS, none of which takes an engine output. ptrs_setup
// computes them all; poisson_ptrs computes loglam, invalpha and lninvalpha only once an
// attempt gets past the squeeze (same values, fewer logarithms on the common path).
struct PtrsSetup {
    double loglam;      // ln(lam)
    double slam;        // sqrt(lam)
    double b;           // 2.53 * slam + 0.931
    double a;           // 0.02483 * b - 0.059
    double invalpha;    // 1.1328 / (b - 3.4) + 1.1239
    double vr;          // -3.6224 / (b - 2) + 0.9277, the squeeze bound on V
    double twoa;        // a + a
    double lninvalpha;  // ln(invalpha)
};

PtrsSetup ptrs_setup(double lam) noexcept;

// PTRS for lam >= 10. Never returns on the all-zero engine state (every attempt sees
// U = -0.5, us = 0 and rejects), which check_poisson refuses beforehand.
std::uint64_t poisson_ptrs(Xoshiro256PlusPlus& e, double lam) noexcept;

[[gnu::cold]] std::string poisson_zero_state_message();

// lam must be positive and finite; and since the all-zero engine state is a fixed point
// of the step, PTRS on it would reject forever, so lam >= 10 on that state is refused too.
inline Invalid check_poisson(const Xoshiro256PlusPlus& e, double lam) {
    if (auto invalid = require_positive("lam", lam)) [[unlikely]]
        return invalid;
    if (lam >= kPoissonThreshold && e.is_zero()) [[unlikely]]
        return poisson_zero_state_message();
    return std::nullopt;
}

// A Poisson count with rate lam (check_poisson passed). Below the threshold, the
// multiplication method: multiply uniforms until the product falls to exp(-lam) or
// below; a result of c takes c + 1 outputs. The product strictly decreases (u < 1) and
// exp(-lam) > 4e-5, so the loop ends, on the all-zero state after one output.
inline std::uint64_t poisson(Xoshiro256PlusPlus& e, double lam) noexcept {
    if (lam < kPoissonThreshold) [[likely]] {
        const double enlam = portable_math::exp(-lam);
        double prod = 1.0;
        std::uint64_t count = 0;
        for (;;) {
            prod = prod * next_f64(e);
            if (!(prod > enlam)) return count;
            ++count;
        }
    }
    return poisson_ptrs(e, lam);
}

// --- geometric -------------------------------------------------------------------------

[[gnu::cold]] std::string geometric_zero_message();

// require_probability, then the fixed message for p = 0 (either sign), whose answer
// would be "never".
inline Invalid check_geometric(double p) {
    if (auto invalid = require_probability(p)) [[unlikely]]
        return invalid;
    if (p == 0.0) [[unlikely]]
        return geometric_zero_message();
    return std::nullopt;
}

// Trials up to and including the first success (check_geometric passed), by inversion:
// floor(ln(w) / ln(1 - p)) + 1 with w = 1 - u in [2^-53, 1], so ln(w) is always finite.
// p = 1 succeeds at once and takes no output.
//
// For p <= 2^-54, 1 - p rounds to 1 and ln(1 - p) would come out as +0, turning every draw
// into 1 although the mean is 1/p. There ln(1 - p) = -p - p^2/2 - ..., and p^2/2 is far below
// half an ulp of p, so -p is the correctly rounded logarithm: it is used instead. Those
// quotients can exceed 2^64 (or be +inf for subnormal p), so the count saturates at
// 2^64 - 1 and the +1 saturates with it. For larger p the quotient is below 3.4e17.
inline std::uint64_t geometric(Xoshiro256PlusPlus& e, double p) noexcept {
    if (p == 1.0) return 1;
    const double w = next_f64_complement(e);
    const double num = portable_math::ln(w);
    const double complement = 1.0 - p;
    const double den = complement == 1.0 ? -p : portable_math::ln(complement);
    double q = num / den;
    if (is_finite(q)) q = floor_f64(q);
    const std::uint64_t count = count_from_f64(q);
    return count == std::numeric_limits<std::uint64_t>::max() ? count : count + 1;
}

// --- binomial --------------------------------------------------------------------------

// The trial u < p of a probability p, taken on the integer k = output >> 11 (u = k * 2^-53)
// as k < t with t = ceil(p * 2^53): p * 2^53 is exact (a power-of-two scaling of p <= 1
// neither overflows nor drops bits), and for an integer k, k < P holds exactly when
// k < ceil(P). Same test, no conversion per trial.
inline std::uint64_t bernoulli_threshold(double p) noexcept {
    const double scaled = p * kBernoulliScale;  // in [0, 2^53]; -0.0 for p = -0.0
    std::uint64_t t = static_cast<std::uint64_t>(scaled);
    if (static_cast<double>(t) < scaled) ++t;
    return t;
}

// Successes in n Bernoulli trials (require_probability passed on p): exactly n outputs,
// one per trial, whatever p is; the cost is linear in n by design. When `poll` stops the
// loop, the count so far is returned and the engine keeps the trials made. Always inline:
// a scalar call with a small n is a few trials, and a call would cost as much again.
[[gnu::always_inline]] inline std::uint64_t binomial(Xoshiro256PlusPlus& e, std::uint64_t n,
                                                     double p,
                                                     const Poll& poll = kNoPoll) noexcept {
    const std::uint64_t t = bernoulli_threshold(p);
    std::uint64_t count = 0;
    in_blocks(e, n, kPollBlock, poll,
              [&](Xoshiro256PlusPlus& engine, std::uint64_t begin, std::uint64_t end) {
                  for (std::uint64_t i = begin; i < end; ++i) {
                      count += (engine.next_u64() >> 11) < t ? 1U : 0U;
                  }
              });
    return count;
}

}  // namespace drawkit
