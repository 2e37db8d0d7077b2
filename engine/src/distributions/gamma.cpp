#include "gamma.hpp"

#include <bit>
#include <cmath>

#include "../portable_math.hpp"
#include "../sampling.hpp"

namespace drawkit {

namespace {

constexpr double kMinusThird = std::bit_cast<double>(0xBFD5555555555555ULL);  // -0.3333333333333333
constexpr double kNine = std::bit_cast<double>(0x4022000000000000ULL);        // 9.0
constexpr double kSqueeze = std::bit_cast<double>(0xBFA0F27BB2FEC56DULL);     // -0.0331
constexpr double kHalf = std::bit_cast<double>(0x3FE0000000000000ULL);        // 0.5

// Marsaglia-Tsang for shape >= 1 (shape = 1 included: no exponential shortcut).
//
// With d = shape - 1/3 and c = 1/sqrt(9d), d*v with v = (1 + c*x)^3 and x ~ N(0, 1) has
// nearly the target density; an attempt is accepted when u < 1 - 0.0331 x^4 (the squeeze,
// which decides most attempts with no logarithm) or when
// ln u < x^2/2 + d(1 - v + ln v) (the exact test). An attempt with 1 + c*x <= 0 is
// rejected before any uniform is drawn.
//
// Draw order per attempt: one normal request (the pending value, or a fresh pair), then,
// when s > 0, one floored uniform from one engine output. The floor (2^-1022, only 0.0 is
// affected) keeps ln u finite.
double marsaglia_tsang(Generator& g, double shape) noexcept {
    const double d = shape + kMinusThird;
    const double c = 1.0 / std::sqrt(d * kNine);
    for (;;) {
        const double x = standard_normal(g);
        const double s = c * x + 1.0;
        if (!(s > 0.0)) continue;
        const double v = s * (s * s);
        const double u = next_f64_floored(g.engine);
        const double t = x * (x * (x * (x * kSqueeze))) + 1.0;
        if (u < t) return d * v;
        const double lhs = portable_math::ln(u);
        const double rhs = x * (x * kHalf) + d * ((1.0 - v) + portable_math::ln(v));
        if (lhs < rhs) return d * v;
    }
}

// The boost's two factors for shape < 1, drawn in their order: the uniform first, then
// Gamma(shape + 1) (shape + 1 >= 1, so the recursion is one level deep).
struct BoostDraws {
    double u;
    double inner;
};

inline BoostDraws boost_draws(Generator& g, double shape) noexcept {
    const double u = next_f64_floored(g.engine);
    const double inner = marsaglia_tsang(g, shape + 1.0);
    return {u, inner};
}

// Largest exponent that powf's Veltkamp split handles: above it, y * (2^27 + 1) rounds to
// infinity and powf yields NaN. 1.3393857490036325e+300.
constexpr double kPowfExponentLimit = std::bit_cast<double>(0x7E3FFFFFFBFFFFFFULL);

}  // namespace

// shape < 1: Gamma(shape) = Gamma(shape + 1) * U^(1/shape). The uniform is drawn before
// anything of the inner draw (boost_draws).
//
// For very small shapes 1/shape is huge and U^(1/shape) underflows to 0.0 for every U the
// sampler can draw (U <= 1 - 2^-53, so any exponent above about 8e18 already gives 0).
// Below shape ~ 7.5e-301 the exponent leaves powf's domain and powf would return NaN; the
// factor there is the same 0.0, so it is used directly and such draws are 0.0, not NaN.
double standard_gamma(Generator& g, double shape) noexcept {
    if (shape < 1.0) {
        const BoostDraws draws = boost_draws(g, shape);
        const double exponent = 1.0 / shape;
        const double factor =
            exponent <= kPowfExponentLimit ? portable_math::powf(draws.u, exponent) : 0.0;
        return draws.inner * factor;
    }
    return marsaglia_tsang(g, shape);
}

void gamma_shares_in_logs(Generator& g, std::span<const double> alpha,
                          std::span<double> out) noexcept {
    const std::size_t k = alpha.size();
    double m = alpha[0];
    for (std::size_t i = 1; i < k; ++i) m = alpha[i] < m ? alpha[i] : m;
    // alpha[i] is read before out[i] is written, and not read again.
    for (std::size_t i = 0; i < k; ++i) {
        const double a = alpha[i];
        double ln_u = 0.0;
        double inner;
        if (a < 1.0) {
            const BoostDraws draws = boost_draws(g, a);
            ln_u = portable_math::ln(draws.u);
            inner = draws.inner;
        } else {
            inner = marsaglia_tsang(g, a);
        }
        const double scaled_ln_inner = m * portable_math::ln(inner);
        const double ratio = m / a;
        const double scaled_ln_boost = ln_u * ratio;
        out[i] = scaled_ln_inner + scaled_ln_boost;
    }
    double s_max = out[0];
    for (std::size_t i = 1; i < k; ++i) s_max = out[i] > s_max ? out[i] : s_max;
    for (std::size_t i = 0; i < k; ++i) {
        const double below = out[i] - s_max;
        out[i] = portable_math::exp(below / m);
    }
    double total = -0.0;
    for (std::size_t i = 0; i < k; ++i) total = total + out[i];
    for (std::size_t i = 0; i < k; ++i) out[i] = out[i] / total;
}

double beta_share_of_rare_sum(Generator& g, const Generator& start, double a, double b, double sum,
                              double share) noexcept {
    if (is_finite(sum) && sum != 0.0) return share;  // honest: X is 0.0 or tiny beside Y
    const double alpha[2] = {a, b};
    double draws[2];
    g = start;
    if (sum == 0.0) {
        gamma_shares_in_logs(g, alpha, draws);
        return draws[0];
    }
    // The draws are made again rather than handed over, so that the fast path keeps nothing
    // alive but the sum. Each is finite: for shapes this large the sampler returns
    // d = shape - 1/3 itself (c * x is far below an ulp of 1, so v = 1).
    draws[0] = standard_gamma(g, a);
    draws[1] = standard_gamma(g, b);
    const double total = rescale_overflowed_weights(draws, sum);
    return draws[0] / total;
}

}  // namespace drawkit
