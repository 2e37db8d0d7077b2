// Coverage-guided fuzz target (libFuzzer) for the drawkit core: the engine, every draw of
// engine/src/distributions, portable_math with its internals, and the index and alias-table
// routines of sampling.hpp.
//
// An input is decoded into a generator state -- arbitrary words, a seeded state, the
// all-zero fixed point or a sparse mix, with or without a pending (finite) normal, exactly
// the states that Generator(seed) and from_state() can produce -- followed by a short
// program of operations on that one generator, so that draws meet each other's leftovers
// (a gamma draw starting from a normal's cached value, and so on). Every draw runs only
// after its validator passed, as the Python methods run it; a failed validation is itself
// checked against the rule it implements.
//
// Properties, each a rule of the draws, not a restatement of their code:
//   - no undefined behaviour (the build adds -fsanitize=address,undefined) and no hang
//     (libFuzzer's -timeout): the rejection loops -- gamma, PTRS -- must end on every state
//     that their validators let through;
//   - results in the ranges the rules give: next_f64 in [0, 1), standard_normal finite,
//     gamma >= 0, beta and Dirichlet entries in [0, 1], alias-table prob in [0, 1] with
//     alias < n, indices below their bound, counts that add up;
//   - engine outputs consumed as each draw's rule counts them;
//   - the fast forms agree with the plain rule they replace: the integer threshold of
//     binomial with u < p, FixedRemainder with %, the alias table's column masses with the
//     weights, round_ties_even / floor_f64 with the host's rounding, tan with sin / cos.
// Sizes are capped (vectors of a few dozen entries, binomial n <= 2048 ...): a huge n that
// loops for a long time is specified behaviour, not a finding.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "distributions.hpp"
#include "number_format.hpp"
#include "portable_math.hpp"
#include "sampling.hpp"

namespace {

using drawkit::Generator;
using drawkit::Xoshiro256PlusPlus;
namespace pm = drawkit::portable_math;

// --- reporting ----------------------------------------------------------------------------

// What the current operation is, with its arguments as hex floats (exact), printed with
// any failed property so that a finding can be replayed by hand as well as from the input.
char g_context[1024];

[[gnu::format(printf, 1, 2)]] void note(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(g_context, sizeof g_context, fmt, args);
    va_end(args);
}

[[noreturn]] void fail(const char* what, int line) {
    std::fprintf(stderr, "\n*** property failed at core_fuzz.cpp:%d: %s\n*** during: %s\n", line, what, g_context);
    std::abort();
}

#define CHECK(cond)                            \
    do {                                       \
        if (!(cond)) [[unlikely]]              \
            fail(#cond, __LINE__);             \
    } while (0)

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

// Bit-identical, or both NaN (the payload of an arithmetic NaN is left open by the rules).
bool same(double a, double b) { return bits(a) == bits(b) || (std::isnan(a) && std::isnan(b)); }

constexpr std::uint64_t kQuietNaNBits = 0x7FF8000000000000ULL;
constexpr double kMinNormal = std::bit_cast<double>(0x0010000000000000ULL);        // 2.2250738585072014e-308
constexpr double kTwoPowMinus53 = std::bit_cast<double>(0x3CA0000000000000ULL);    // 2^-53
constexpr double kMaxBoxMullerRadius = 37.64030867387419;                         // sqrt(-2 ln 2^-1022)
constexpr double kMaxUnitExponential = 36.7368005696771;                          // -ln 2^-53
// powf's Veltkamp split overflows (y * 134217729.0 = inf) from this |y| on, this value
// included; there (gamma shapes below about 7.5e-301) the rules leave powf's result open.
constexpr double kPowfSplitLimit = 1.3393857490036326e+300;

bool same_generator(const Generator& a, const Generator& b) {
    if (a.engine != b.engine || a.has_cached_normal != b.has_cached_normal) return false;
    return !a.has_cached_normal || bits(a.cached_normal) == bits(b.cached_normal);
}

// True when `after` is `before` advanced by exactly k engine outputs. (On the all-zero
// state every k matches, which is right: the state does not move.)
bool advanced_by(const Xoshiro256PlusPlus& before, const Xoshiro256PlusPlus& after, std::uint64_t k) {
    Xoshiro256PlusPlus e = before;
    for (std::uint64_t i = 0; i < k; ++i) e.next_u64();
    return e == after;
}

// --- decoding -----------------------------------------------------------------------------

// Values that sit on a boundary of some rule: thresholds, the edges of the validators'
// domains, the limits of the math functions, the special floats.
constexpr double kSpecials[] = {
    0.0, -0.0, 1.0, -1.0, 0.5, -0.5, 2.0, 3.0, 0.1, 0.999, 1.999, 2.5, 10.0, 9.999999999999998,
    10.000000000000002, 25.0, 1000.0, 1e20, 1e300, 1e-300, 7.5e-301, 1e-200, 5e-324, 2.2250738585072014e-308,
    1.7976931348623157e308, -1.7976931348623157e308, INFINITY, -INFINITY, NAN, -NAN, 1e6, -1e6,
    999999.9999999999, 1.5707963267948966, -1.5707963267948966, 3.141592653589793, 0.7853981633974483,
    709.782712893384, 709.7827128933841, -745.1332191019411, -745.1332191019412, 700.0, -700.0, 512.0,
    1.3393857490036326e+300, 5.551115123125783e-17, 0.9999999999999999, 1.0000000000000002, 4503599627370496.0,
    4503599627370497.0, 9007199254740992.0, 18446744073709551616.0, 18446744073709549568.0, 1e-7, 0.3, 0.25,
    7.0, 6.0, 1e-6, 0.4999995, 0.6931471805599453, 36.7368005696771, 37.64030867387419};

class Decoder {
public:
    Decoder(const std::uint8_t* data, std::size_t size) : p_(data, size) {}

    bool more() { return p_.remaining_bytes() > 0; }
    std::uint64_t u64() { return p_.ConsumeIntegral<std::uint64_t>(); }
    std::int64_t i64() { return p_.ConsumeIntegral<std::int64_t>(); }
    std::int32_t i32() { return p_.ConsumeIntegral<std::int32_t>(); }
    bool flag() { return p_.ConsumeBool(); }
    template <typename T>
    T in(T lo, T hi) { return p_.ConsumeIntegralInRange<T>(lo, hi); }

    // Any double: raw bits, a boundary value, a small dyadic value, or a value near a
    // boundary, so that both the deep corners and the ordinary domain get covered.
    double real() {
        switch (in<int>(0, 4)) {
            case 0: return std::bit_cast<double>(u64());
            case 1: return kSpecials[in<std::size_t>(0, std::size(kSpecials) - 1)];
            case 2: return std::ldexp(static_cast<double>(in<std::int32_t>(-4096, 4096)), in<int>(-12, 4));
            case 3: {
                const double base = kSpecials[in<std::size_t>(0, std::size(kSpecials) - 1)];
                return std::nextafter(base, flag() ? INFINITY : -INFINITY);
            }
            default: return p_.ConsumeFloatingPointInRange<double>(-64.0, 64.0);
        }
    }

    // A state that Generator(seed) or from_state() can produce.
    Generator generator() {
        Generator g;
        switch (in<int>(0, 3)) {
            case 0: g.engine = {u64(), u64(), u64(), u64()}; break;
            case 1: g = Generator::from_seed(u64()); break;
            case 2: break;  // the all-zero fixed point
            default:
                g.engine = {flag() ? u64() : 0, flag() ? u64() : 0, flag() ? u64() : 0, flag() ? u64() : 0};
        }
        if (flag()) {
            const double z = real();
            // from_state refuses a cached normal that is not finite.
            if (std::isfinite(z)) {
                g.has_cached_normal = true;
                g.cached_normal = z;
            }
        }
        return g;
    }

    std::vector<double> reals(std::size_t max_len) {
        std::vector<double> v(in<std::size_t>(0, max_len));
        for (double& x : v) x = real();
        return v;
    }

private:
    FuzzedDataProvider p_;
};

// --- shared checks ------------------------------------------------------------------------

// standard_normal with its rules: a pending value is handed out as is, without touching the
// engine; otherwise exactly two outputs, a finite cosine member within the Box-Muller radius
// bound, and the (equally bounded) sine member left pending.
double checked_standard_normal(Generator& g) {
    const Generator before = g;
    const double z = drawkit::standard_normal(g);
    CHECK(g.has_cached_normal != before.has_cached_normal);
    if (before.has_cached_normal) {
        CHECK(bits(z) == bits(before.cached_normal));
        CHECK(g.engine == before.engine);
        CHECK(!g.has_cached_normal);
    } else {
        CHECK(std::isfinite(z) && std::fabs(z) <= kMaxBoxMullerRadius);
        CHECK(g.has_cached_normal && std::isfinite(g.cached_normal));
        CHECK(std::fabs(g.cached_normal) <= kMaxBoxMullerRadius);
        CHECK(advanced_by(before.engine, g.engine, 2));
    }
    return z;
}

// standard_gamma with its rules: a value >= 0.0 (finite for shapes up to 1e300), wherever
// powf's operands are inside its defined range; any pending normal left behind is finite.
double checked_standard_gamma(Generator& g, double shape) {
    const double x = drawkit::standard_gamma(g, shape);
    if (1.0 / shape < kPowfSplitLimit) {
        CHECK(x >= 0.0);
        if (shape <= 1e300) CHECK(std::isfinite(x));
    }
    CHECK(!g.has_cached_normal || std::isfinite(g.cached_normal));
    return x;
}

bool positive_finite(double x) { return x > 0.0 && std::isfinite(x); }
bool probability(double x) { return x >= 0.0 && x <= 1.0; }

// --- engine and uniform primitives --------------------------------------------------------

void op_engine(Decoder& in, Generator& g) {
    const Xoshiro256PlusPlus before = g.engine;
    switch (in.in<int>(0, 3)) {
        case 0: {
            const std::uint64_t m = in.u64();
            note("next_below(%llu)", static_cast<unsigned long long>(m));
            if (m == 0) return;  // every caller refuses an empty range first
            CHECK(g.engine.next_below(m) < m);
            CHECK(advanced_by(before, g.engine, 1));
            break;
        }
        case 1: {
            // The jump polynomial is a polynomial in the step, so it commutes with the step.
            note("jump");
            g.engine.jump();
            Xoshiro256PlusPlus a = before, b = before;
            a.next_u64();
            a.jump();
            b.jump();
            b.next_u64();
            CHECK(a == b);
            if (before.is_zero()) CHECK(g.engine.is_zero());
            break;
        }
        case 2: {
            note("next_f64 / next_f64_complement / next_f64_floored");
            Xoshiro256PlusPlus c = before;
            const double u = drawkit::next_f64(g.engine);
            CHECK(u >= 0.0 && u < 1.0);
            CHECK(std::ldexp(u, 53) == std::floor(std::ldexp(u, 53)));  // a multiple of 2^-53
            const double w = drawkit::next_f64_complement(c);
            CHECK(w == 1.0 - u && w >= kTwoPowMinus53 && w <= 1.0);
            const double f = drawkit::next_f64_floored(g.engine);
            CHECK(f >= kMinNormal && f < 1.0);
            CHECK(advanced_by(before, g.engine, 2));
            break;
        }
        default: {
            std::vector<unsigned char> buf(in.in<std::size_t>(0, 64), 0xAB);
            note("fill(%zu bytes)", buf.size());
            drawkit::fill(g.engine, buf.data(), buf.size());
            Xoshiro256PlusPlus e = before;
            for (std::size_t pos = 0; pos < buf.size(); pos += 8) {
                const std::uint64_t x = e.next_u64();
                for (std::size_t i = 0; i < 8 && pos + i < buf.size(); ++i)
                    CHECK(buf[pos + i] == static_cast<unsigned char>(x >> (8 * i)));
            }
            CHECK(e == g.engine);  // ceil(n / 8) outputs
        }
    }
}

void op_uniform(Decoder& in, Generator& g) {
    const Xoshiro256PlusPlus before = g.engine;
    switch (in.in<int>(0, 2)) {
        case 0: {
            const double low = in.real(), high = in.real();
            note("uniform(%a, %a)", low, high);
            const bool valid = std::isfinite(low) && std::isfinite(high) && high > low;
            const auto invalid = drawkit::check_uniform(low, high);
            CHECK(invalid.has_value() != valid);
            if (!valid) return;
            const double r = drawkit::uniform(g.engine, low, high);
            const double d = high - low;
            if (std::isfinite(d)) {
                CHECK(std::isfinite(r) && r >= low && r <= low + d);
            } else {
                // A span that overflows gives +inf (NaN for u = 0): returned as computed.
                CHECK(r == INFINITY || std::isnan(r));
            }
            CHECK(advanced_by(before, g.engine, 1));
            break;
        }
        case 1: {
            const std::int64_t low = in.i64(), high = in.i64();
            note("integers(%lld, %lld)", static_cast<long long>(low), static_cast<long long>(high));
            const auto invalid = drawkit::check_integers(low, high);
            CHECK(invalid.has_value() == !(high > low));
            if (invalid) return;
            const std::int64_t r = drawkit::integers(g.engine, low, high);
            CHECK(r >= low && r < high);
            CHECK(advanced_by(before, g.engine, 1));
            break;
        }
        default: {
            const double p = in.real();
            note("bernoulli(%a)", p);
            const auto invalid = drawkit::require_probability(p);
            CHECK(invalid.has_value() == !probability(p));
            if (invalid) return;
            const bool r = drawkit::bernoulli(g.engine, p);
            if (p == 0.0) CHECK(!r);
            if (p == 1.0) CHECK(r);
            CHECK(advanced_by(before, g.engine, 1));
        }
    }
}

// --- normal family, exponential, Laplace, Cauchy ------------------------------------------

void op_normal_family(Decoder& in, Generator& g) {
    const double a = in.real(), b = in.real();
    Generator ref = g;
    switch (in.in<int>(0, 5)) {
        case 0: {
            note("standard_normal (cached %d %a)", g.has_cached_normal, g.cached_normal);
            checked_standard_normal(g);
            break;
        }
        case 1: {
            note("normal(%a, %a)", a, b);
            const auto invalid = drawkit::check_normal(a, b);
            CHECK(invalid.has_value() == !(positive_finite(b) && std::isfinite(a)));
            if (invalid) return;
            const double z = checked_standard_normal(ref);
            CHECK(same(drawkit::normal(g, a, b), a + b * z));
            CHECK(same_generator(g, ref));
            break;
        }
        case 2: {
            note("lognormal(%a, %a)", a, b);
            const auto invalid = drawkit::check_lognormal(a, b);
            CHECK(invalid.has_value() == !(positive_finite(b) && std::isfinite(a)));
            if (invalid) return;
            const double z = checked_standard_normal(ref);
            const double r = drawkit::lognormal(g, a, b);
            CHECK(same(r, pm::exp(a + b * z)));
            CHECK(r >= 0.0);  // exp of a non-NaN argument
            CHECK(same_generator(g, ref));
            break;
        }
        case 3: {
            note("exponential(%a)", b);
            const auto invalid = drawkit::check_exponential(b);
            CHECK(invalid.has_value() == !positive_finite(b));
            if (invalid) return;
            const double r = drawkit::exponential(g.engine, b);
            CHECK(r >= 0.0 && r <= b * kMaxUnitExponential);
            CHECK(advanced_by(ref.engine, g.engine, 1));
            break;
        }
        case 4: {
            note("laplace(%a, %a)", a, b);
            const auto invalid = drawkit::check_laplace(a, b);
            CHECK(invalid.has_value() == !(positive_finite(b) && std::isfinite(a)));
            if (invalid) return;
            CHECK(!std::isnan(drawkit::laplace(g.engine, a, b)));
            CHECK(advanced_by(ref.engine, g.engine, 2));
            break;
        }
        default: {
            note("cauchy(%a, %a)", a, b);
            const auto invalid = drawkit::check_cauchy(a, b);
            CHECK(invalid.has_value() == !(positive_finite(b) && std::isfinite(a)));
            if (invalid) return;
            // The angle stays inside (-pi/2, pi/2), so the tangent is always finite.
            const double u = drawkit::next_f64(ref.engine);
            const double t = pm::tan((u + -0.5) * 3.141592653589793);
            CHECK(std::isfinite(t));
            const double r = drawkit::cauchy(g.engine, a, b);
            CHECK(same(r, a + b * t) && !std::isnan(r));
            CHECK(g.engine == ref.engine);
        }
    }
    CHECK(!g.has_cached_normal || std::isfinite(g.cached_normal));
}

// --- gamma family ---------------------------------------------------------------------------

void op_gamma_family(Decoder& in, Generator& g) {
    const double a = in.real(), b = in.real();
    Generator ref = g;
    switch (in.in<int>(0, 3)) {
        case 0: {
            note("gamma(%a, %a) (cached %d %a)", a, b, g.has_cached_normal, g.cached_normal);
            const auto invalid = drawkit::check_gamma(a, b);
            CHECK(invalid.has_value() == !(positive_finite(a) && positive_finite(b)));
            if (invalid) return;
            const double x = checked_standard_gamma(ref, a);
            CHECK(same(drawkit::gamma(g, a, b), b * x));
            break;
        }
        case 1: {
            note("beta(%a, %a) (cached %d %a)", a, b, g.has_cached_normal, g.cached_normal);
            const auto invalid = drawkit::check_beta(a, b);
            CHECK(invalid.has_value() == !(positive_finite(a) && positive_finite(b)));
            if (invalid) return;
            const double x = checked_standard_gamma(ref, a);
            const double y = checked_standard_gamma(ref, b);
            const double r = drawkit::beta(g, a, b);
            CHECK(same(r, x / (x + y)));
            // Both draws 0.0 (tiny shapes) give 0/0; otherwise a proportion.
            if (std::isfinite(x) && std::isfinite(y) && x + y > 0.0) CHECK(r >= 0.0 && r <= 1.0);
            break;
        }
        case 2: {
            note("chisquare(%a) (cached %d %a)", a, g.has_cached_normal, g.cached_normal);
            const auto invalid = drawkit::check_chisquare(a);
            CHECK(invalid.has_value() == !positive_finite(a));
            if (invalid) return;
            const double x = checked_standard_gamma(ref, a * 0.5);
            CHECK(same(drawkit::chisquare(g, a), x + x));
            break;
        }
        default: {
            note("student_t(%a) (cached %d %a)", a, g.has_cached_normal, g.cached_normal);
            const auto invalid = drawkit::check_student_t(a);
            CHECK(invalid.has_value() == !positive_finite(a));
            if (invalid) return;
            const double z = checked_standard_normal(ref);
            const double x = checked_standard_gamma(ref, a * 0.5);
            CHECK(same(drawkit::student_t(g, a), z / std::sqrt((x + x) / a)));
        }
    }
    CHECK(same_generator(g, ref));
}

// --- counting distributions and multinomial ------------------------------------------------

void op_counting(Decoder& in, Generator& g) {
    const Xoshiro256PlusPlus before = g.engine;
    switch (in.in<int>(0, 3)) {
        case 0: {
            const double lam = in.real();
            note("poisson(%a) on (%016llx %016llx %016llx %016llx)", lam,
                 static_cast<unsigned long long>(before.s0), static_cast<unsigned long long>(before.s1),
                 static_cast<unsigned long long>(before.s2), static_cast<unsigned long long>(before.s3));
            const auto invalid = drawkit::check_poisson(g.engine, lam);
            CHECK(invalid.has_value() == !(positive_finite(lam) && !(lam >= 10.0 && before.is_zero())));
            if (invalid) return;
            const std::uint64_t r = drawkit::poisson(g.engine, lam);
            if (lam < 10.0) {
                // The multiplication method: c + 1 outputs for a result of c.
                if (r < (1U << 16)) CHECK(advanced_by(before, g.engine, r + 1));
            } else {
                // PTRS: two outputs per attempt, accepted or not.
                Xoshiro256PlusPlus e = before;
                std::uint64_t k = 0;
                while (e != g.engine && k < (1U << 16)) {
                    e.next_u64();
                    ++k;
                }
                CHECK(e == g.engine && k >= 2 && k % 2 == 0);
            }
            break;
        }
        case 1: {
            const double p = in.real();
            note("geometric(%a)", p);
            const auto invalid = drawkit::check_geometric(p);
            CHECK(invalid.has_value() == !(probability(p) && p != 0.0));
            if (invalid) return;
            const std::uint64_t r = drawkit::geometric(g.engine, p);
            CHECK(r >= 1);
            if (p == 1.0) CHECK(r == 1 && g.engine == before);
            else CHECK(advanced_by(before, g.engine, 1));
            break;
        }
        case 2: {
            const std::uint64_t n = in.in<std::uint64_t>(0, 2048);
            const double p = in.real();
            note("binomial(%llu, %a)", static_cast<unsigned long long>(n), p);
            const auto invalid = drawkit::require_probability(p);
            CHECK(invalid.has_value() == !probability(p));
            if (invalid) return;
            const std::uint64_t r = drawkit::binomial(g.engine, n, p);
            // The integer threshold decides each trial exactly as u < p does.
            Xoshiro256PlusPlus e = before;
            std::uint64_t count = 0;
            for (std::uint64_t i = 0; i < n; ++i) count += drawkit::next_f64(e) < p ? 1 : 0;
            CHECK(r == count && r <= n);
            CHECK(e == g.engine);
            if (p == 1.0) CHECK(r == n);
            break;
        }
        default: {
            const std::uint64_t n = in.in<std::uint64_t>(0, 256);
            std::vector<double> probs = in.reals(16);
            // Often a valid vector: the last entry completes the sum to 1.
            if (!probs.empty() && in.flag()) {
                double s = -0.0;
                for (std::size_t i = 0; i + 1 < probs.size(); ++i) {
                    probs[i] = std::fabs(std::fmod(probs[i], 1.0 / static_cast<double>(probs.size())));
                    if (std::isnan(probs[i])) probs[i] = 0.0;
                    s = s + probs[i];
                }
                probs.back() = 1.0 - s;
            }
            note("multinomial(%llu, [%zu entries])", static_cast<unsigned long long>(n), probs.size());
            bool valid = !probs.empty();
            double total = -0.0;
            for (const double p : probs) {
                valid = valid && probability(p);
                total = total + p;
            }
            valid = valid && std::fabs(total + -1.0) <= 1e-6;
            const auto invalid = drawkit::check_multinomial(probs);
            CHECK(invalid.has_value() != valid);
            if (invalid) return;
            std::vector<std::uint64_t> counts(probs.size(), 0);
            drawkit::multinomial(g.engine, n, probs, counts.data());
            // The plain rule: scan the cumulative sum for u < cum, the last category when
            // nothing matches.
            Xoshiro256PlusPlus e = before;
            std::vector<std::uint64_t> expect(probs.size(), 0);
            for (std::uint64_t t = 0; t < n; ++t) {
                const double u = drawkit::next_f64(e);
                double cum = 0.0;
                std::size_t k = probs.size() - 1;
                for (std::size_t i = 0; i < probs.size(); ++i) {
                    cum = cum + probs[i];
                    if (u < cum) {
                        k = i;
                        break;
                    }
                }
                ++expect[k];
            }
            CHECK(counts == expect);
            CHECK(e == g.engine);
        }
    }
}

// --- multivariate normal and Dirichlet ------------------------------------------------------

void op_vectors(Decoder& in, Generator& g) {
    const Generator before = g;
    Generator ref = g;
    if (in.flag()) {
        const std::vector<double> mean = in.reals(6);
        const std::size_t n = mean.size();
        std::vector<double> factor(in.flag() ? n * n : in.in<std::size_t>(0, 40));
        for (double& x : factor) x = in.real();
        note("multivariate_normal(n=%zu, factor %zu entries)", n, factor.size());
        const auto invalid = drawkit::check_multivariate_normal(n, factor.size());
        CHECK(invalid.has_value() == (factor.size() != n * n));
        if (invalid) return;
        std::vector<double> out(n);
        drawkit::multivariate_normal(g, mean, factor, out);
        std::vector<double> z(n);
        for (double& x : z) x = checked_standard_normal(ref);
        for (std::size_t i = 0; i < n; ++i) {
            double acc = 0.0;
            for (std::size_t j = 0; j <= i; ++j) acc = acc + factor[i * n + j] * z[j];
            CHECK(same(out[i], acc + mean[i]));
        }
    } else {
        std::vector<double> alpha = in.reals(8);
        note("dirichlet([%zu entries])", alpha.size());
        bool valid = !alpha.empty();
        for (const double a : alpha) valid = valid && positive_finite(a);
        const auto invalid = drawkit::check_dirichlet(alpha);
        CHECK(invalid.has_value() != valid);
        if (invalid) return;
        std::vector<double> out(alpha.size());
        drawkit::dirichlet(g, alpha, out);
        std::vector<double> x(alpha.size());
        double total = -0.0;
        for (std::size_t i = 0; i < alpha.size(); ++i) {
            x[i] = checked_standard_gamma(ref, alpha[i]);
            total = total + x[i];
        }
        for (std::size_t i = 0; i < alpha.size(); ++i) {
            CHECK(same(out[i], x[i] / total));
            // Partial sums of non-negative terms never drop below any term: a share is at
            // most 1 (0/0 when every draw is 0.0, inf/inf when the sum overflows).
            CHECK(std::isnan(out[i]) || (out[i] >= 0.0 && out[i] <= 1.0));
        }
        // The output may be the input itself: entry i is read before out[i] is written.
        Generator again = before;
        std::vector<double> buf = alpha;
        drawkit::dirichlet(again, buf, buf);
        for (std::size_t i = 0; i < alpha.size(); ++i) CHECK(same(buf[i], out[i]));
        CHECK(same_generator(again, g));
    }
    CHECK(same_generator(g, ref));
}

// --- portable_math --------------------------------------------------------------------------

void op_math(Decoder& in) {
    const double x = in.real(), y = in.real();
    switch (in.in<int>(0, 9)) {
        case 0: {
            note("ln(%a)", x);
            const double r = pm::ln(x);
            if (std::isnan(x) || x < 0.0) CHECK(bits(r) == kQuietNaNBits);
            else if (x == 0.0) CHECK(r == -INFINITY);
            else if (x == INFINITY) CHECK(r == INFINITY);
            else {
                CHECK(std::isfinite(r));
                const pm::HeadTail ht = pm::ln_head_tail(x);
                CHECK(bits(r) == bits(ht.head + ht.tail));
                if (x == 1.0) CHECK(bits(r) == 0);
                CHECK((x > 1.0) == (r > 0.0) || r == 0.0);
            }
            break;
        }
        case 1: {
            note("exp(%a)", x);
            const double r = pm::exp(x);
            if (std::isnan(x)) CHECK(bits(r) == kQuietNaNBits);
            else if (x > 709.782712893384) CHECK(r == INFINITY);
            else if (x < -745.1332191019411) CHECK(bits(r) == 0);
            else CHECK(std::isfinite(r) && r >= 0.0);
            if (x == 0.0) CHECK(r == 1.0);
            break;
        }
        case 2: {
            note("sin/cos/tan(%a)", x);
            const double s = pm::sin(x), c = pm::cos(x), t = pm::tan(x);
            if (!std::isfinite(x) || std::fabs(x) >= 1e6) {
                CHECK(bits(s) == kQuietNaNBits && bits(c) == kQuietNaNBits && bits(t) == kQuietNaNBits);
            } else {
                CHECK(std::isfinite(s) && std::isfinite(c));
                CHECK(std::fabs(s) <= 1.0 && std::fabs(c) <= 1.0);
                CHECK(bits(t) == bits(s / c));
                const pm::ReducedAngle a = pm::reduce_pio2(x);
                CHECK(a.q <= 3 && std::fabs(a.r) < 0.7854);
            }
            break;
        }
        case 3: {
            note("powf(%a, %a)", x, y);
            const double r = pm::powf(x, y);
            if (std::isnan(x) || std::isnan(y)) CHECK(bits(r) == kQuietNaNBits);
            else if (y == 0.0) CHECK(r == 1.0);
            else if (x == 0.0) CHECK(bits(r) == bits(y > 0.0 ? 0.0 : INFINITY));
            else if (x < 0.0) CHECK(bits(r) == kQuietNaNBits);
            else if (x == 1.0) CHECK(r == 1.0);
            else if (std::isfinite(x) && std::fabs(y) < kPowfSplitLimit) CHECK(r >= 0.0);  // no NaN
            break;
        }
        case 4: {
            note("round_ties_even / floor_f64(%a)", x);
            if (!std::isfinite(x)) return;
            CHECK(pm::round_ties_even(x) == std::nearbyint(x));  // default mode: ties to even
            CHECK(drawkit::floor_f64(x) == std::floor(x));
            break;
        }
        case 5: {
            note("count_from_f64(%a)", x);
            const std::uint64_t r = drawkit::count_from_f64(x);
            if (!(x >= 0.0)) CHECK(r == 0);
            else if (x >= 18446744073709551616.0) CHECK(r == UINT64_MAX);
            else CHECK(r == static_cast<std::uint64_t>(x));
            break;
        }
        case 6: {
            const std::int32_t n = in.i32();
            note("scale_by_pow2(%a, %d)", x, n);
            const double r = pm::scale_by_pow2(x, n);
            if (x == 0.0 || !std::isfinite(x)) {
                CHECK(bits(r) == bits(x));
            } else {
                CHECK(!std::isnan(r));
                // Every product is exact until the result leaves the normal range; only a
                // subnormal result may be rounded twice.
                const double expect = std::ldexp(x, n);
                if (std::fabs(expect) >= kMinNormal) CHECK(bits(r) == bits(expect));
            }
            break;
        }
        case 7: {
            // ln_gamma of an integer >= 1 against the host's log-gamma: the Stirling series
            // with the shift to x0 >= 7 is accurate far beyond this tolerance.
            const double k = std::floor(std::fabs(x));
            if (!(k >= 1.0) || !std::isfinite(k)) return;
            note("ln_gamma(%a)", k);
            const double r = drawkit::ln_gamma(k);
            if (k == 1.0 || k == 2.0) CHECK(bits(r) == 0);
            if (k <= 1e300) {
                const double expect = std::lgamma(k);
                CHECK(std::isfinite(r) && std::fabs(r - expect) <= 1e-12 * std::max(1.0, std::fabs(expect)));
            }
            break;
        }
        case 8: {
            const double lam = std::fabs(x);
            if (!(lam >= 10.0) || !std::isfinite(lam)) return;
            note("ptrs_setup(%a)", lam);
            const drawkit::PtrsSetup s = drawkit::ptrs_setup(lam);
            CHECK(std::isfinite(s.loglam) && std::isfinite(s.b) && std::isfinite(s.a) && std::isfinite(s.invalpha));
            CHECK(std::isfinite(s.vr) && std::isfinite(s.lninvalpha) && s.b > 3.4);
            break;
        }
        default: {
            // bernoulli_threshold: k < t exactly when k * 2^-53 < p, for every 53-bit k.
            const double p = std::fabs(std::fmod(x, 2.0));
            if (!probability(p)) return;
            const std::uint64_t k = in.u64() >> 11;
            note("bernoulli_threshold(%a) against k=%llu", p, static_cast<unsigned long long>(k));
            const std::uint64_t t = drawkit::bernoulli_threshold(p);
            CHECK(t <= (std::uint64_t{1} << 53));
            CHECK((k < t) == (static_cast<double>(k) * kTwoPowMinus53 < p));
            if (t > 0) CHECK(static_cast<double>(t - 1) * kTwoPowMinus53 < p);
            if (t < (std::uint64_t{1} << 53)) CHECK(!(static_cast<double>(t) * kTwoPowMinus53 < p));
        }
    }
}

// --- messages ------------------------------------------------------------------------------

void op_format(Decoder& in) {
    const double x = in.real();
    note("format_float(%a)", x);
    const std::string s = drawkit::format_float(x);
    if (std::isnan(x)) {
        CHECK(s == "NaN");
    } else if (std::isinf(x)) {
        CHECK(s == (x > 0 ? "inf" : "-inf"));
    } else {
        // Positional, no exponent, integral values without a fraction, and it reads back.
        CHECK(s.find_first_of("eE") == std::string::npos);
        if (x == std::floor(x)) CHECK(s.find('.') == std::string::npos);
        CHECK(bits(std::strtod(s.c_str(), nullptr)) == bits(x));
    }
    // The multivariate length check on arbitrary sizes: passes exactly when the factor holds
    // n*n entries, n*n taken without wrapping.
    const std::uint64_t n = in.flag() ? in.u64() : in.in<std::uint64_t>(0, 1U << 20);
    const std::uint64_t m = in.flag() ? in.u64() : n * n;
    note("check_multivariate_normal(%llu, %llu)", static_cast<unsigned long long>(n), static_cast<unsigned long long>(m));
    const bool fits = static_cast<unsigned __int128>(n) * n == m;
    CHECK(drawkit::check_multivariate_normal(n, m).has_value() != fits);
    const double v = in.real();
    note("require_positive / require_finite(%a)", v);
    CHECK(drawkit::require_positive("scale", v).has_value() != positive_finite(v));
    CHECK(drawkit::require_finite("loc", v).has_value() == !std::isfinite(v));
}

// --- sampling -------------------------------------------------------------------------------

bool is_permutation_of_iota(const std::vector<std::uint64_t>& v) {
    std::vector<std::uint64_t> s = v;
    std::sort(s.begin(), s.end());
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] != i) return false;
    return true;
}

void op_indices(Decoder& in, Generator& g) {
    const Xoshiro256PlusPlus before = g.engine;
    switch (in.in<int>(0, 2)) {
        case 0: {
            // shuffle_in_place and permutation run the same backward walk: n - 1 outputs.
            const std::size_t n = in.in<std::size_t>(0, 64);
            note("shuffle / permutation(%zu)", n);
            std::vector<std::uint64_t> items(n);
            for (std::size_t i = 0; i < n; ++i) items[i] = i;
            drawkit::shuffle_in_place(g.engine, items.data(), n);
            CHECK(is_permutation_of_iota(items));
            CHECK(advanced_by(before, g.engine, n >= 2 ? n - 1 : 0));
            Xoshiro256PlusPlus e = before;
            std::vector<std::uint64_t> perm(n);
            drawkit::permutation(e, perm.data(), n);
            CHECK(perm == items && e == g.engine);
            break;
        }
        case 1: {
            const std::size_t n = in.in<std::size_t>(0, 64);
            note("bootstrap_indices(%zu)", n);
            const auto invalid = drawkit::check_bootstrap_indices(n);
            CHECK(invalid.has_value() == (n == 0));
            if (invalid) return;
            std::vector<std::uint64_t> out(n);
            drawkit::bootstrap_indices(g.engine, out.data(), n);
            for (const std::uint64_t i : out) CHECK(i < n);
            CHECK(advanced_by(before, g.engine, n));
            break;
        }
        default: {
            const std::uint64_t n = in.u64(), k = in.u64();
            note("check_choice / choices / sample(%llu, %llu)", static_cast<unsigned long long>(n),
                 static_cast<unsigned long long>(k));
            CHECK(drawkit::check_choice(n).has_value() == (n == 0));
            CHECK(drawkit::check_choices(n).has_value() == (n == 0));
            CHECK(drawkit::check_sample(n, k).has_value() == (k > n));
        }
    }
}

// The partial Fisher-Yates shuffle with owning elements (as the module's element
// references own a Python reference each): distinct positions below n, k outputs, the plain
// swap-and-emit rule reproduced, and on a failing read a stop after i + 1 outputs with
// everything released (LeakSanitizer checks the owners).
void op_sample(Decoder& in, Generator& g) {
    std::uint64_t n = in.flag() ? in.u64() : in.in<std::uint64_t>(0, 40);
    const std::uint64_t k = in.in<std::uint64_t>(0, std::min<std::uint64_t>(n, 32));
    const std::uint64_t fail_at = in.flag() ? in.in<std::uint64_t>(0, 2 * k + 1) : UINT64_MAX;
    note("partial_fisher_yates(n=%llu, k=%llu, failing read %llu)", static_cast<unsigned long long>(n),
         static_cast<unsigned long long>(k), static_cast<unsigned long long>(fail_at));
    CHECK(!drawkit::check_sample(n, k).has_value());
    const Xoshiro256PlusPlus before = g.engine;

    using Owned = std::unique_ptr<std::uint64_t>;
    std::uint64_t reads = 0;
    std::vector<std::uint64_t> emitted;
    auto read = [&](std::uint64_t pos, Owned& out) {
        CHECK(pos < n);
        if (reads++ == fail_at) return false;
        out = std::make_unique<std::uint64_t>(pos);
        return true;
    };
    auto emit = [&](std::uint64_t i, Owned&& value) {
        CHECK(i == emitted.size() && value != nullptr);
        emitted.push_back(*value);
    };
    const bool complete = drawkit::partial_fisher_yates<Owned>(g.engine, n, k, read, emit);

    // The rule on a virtual copy: step i swaps A[i] and A[j], j = i + x mod (n - i), and
    // emits the new A[i]; reads happen for A[j] then A[i], from the map when present.
    Xoshiro256PlusPlus e = before;
    std::map<std::uint64_t, std::uint64_t> moved;
    std::vector<std::uint64_t> expect;
    std::uint64_t expect_reads = 0;
    bool expect_complete = true;
    for (std::uint64_t i = 0; i < k && expect_complete; ++i) {
        const std::uint64_t j = i + e.next_u64() % (n - i);
        auto get = [&](std::uint64_t pos, std::uint64_t& v) {
            if (auto it = moved.find(pos); it != moved.end()) {
                v = it->second;
                return true;
            }
            if (expect_reads++ == fail_at) return false;
            v = pos;
            return true;
        };
        std::uint64_t at_j = 0, at_i = 0;
        if (!get(j, at_j) || !get(i, at_i)) {
            expect_complete = false;
            break;
        }
        expect.push_back(at_j);
        moved[j] = at_i;
    }
    CHECK(complete == expect_complete);
    CHECK(emitted == expect);
    CHECK(e == g.engine);
    if (complete) {
        CHECK(emitted.size() == k);
        CHECK(std::set<std::uint64_t>(emitted.begin(), emitted.end()).size() == k);
    }
}

// Weights for the weighted routines: arbitrary, or non-negative with some zeros.
std::vector<double> weights(Decoder& in, std::size_t max_len) {
    std::vector<double> w = in.reals(max_len);
    if (in.flag())
        for (double& x : w) x = in.flag() ? 0.0 : std::fabs(x);
    return w;
}

// The validation shared by systematic_resample and Categorical, as the rules state it.
bool weights_valid(const std::vector<double>& w) {
    if (w.empty()) return false;
    double total = -0.0;
    for (const double x : w) {
        if (!(x >= 0.0 && std::isfinite(x))) return false;
        total = total + x;
    }
    return total > 0.0;
}

void op_systematic(Decoder& in, Generator& g) {
    std::vector<double> w = weights(in, 16);
    const std::uint64_t n = in.in<std::uint64_t>(0, 512);
    note("systematic_resample([%zu weights], %llu)", w.size(), static_cast<unsigned long long>(n));
    double total = 0.0;
    const auto invalid = drawkit::check_systematic_resample(w, total);
    CHECK(invalid.has_value() != weights_valid(w));
    if (invalid) return;
    total = drawkit::rescale_overflowed_weights(w, total);
    CHECK(std::isfinite(total) && total > 0.0);
    const Xoshiro256PlusPlus before = g.engine;
    const double u = drawkit::next_f64(g.engine);
    std::vector<std::uint64_t> out(n);
    drawkit::systematic_resample(u, w, total, n, out.data());
    CHECK(advanced_by(before, g.engine, 1));
    const std::size_t last = w.size() - 1;
    for (std::size_t i = 0; i < n; ++i) {
        CHECK(out[i] <= last);
        if (i > 0) CHECK(out[i - 1] <= out[i]);
        // A zero weight is an empty interval: the scan passes over it, except a first
        // point of exactly 0 staying at index 0 and the last-index rule.
        const std::uint64_t j = out[i];
        if (w[j] == 0.0 && j != last) CHECK(j == 0 && i == 0 && u == 0.0);
    }
}

void op_alias(Decoder& in, Generator& g) {
    std::vector<double> w = weights(in, 48);
    note("Categorical([%zu weights])", w.size());
    double total = 0.0;
    const auto invalid = drawkit::check_categorical(w, total);
    CHECK(invalid.has_value() != weights_valid(w));
    if (invalid) return;
    total = drawkit::rescale_overflowed_weights(w, total);
    const std::size_t n = w.size();
    std::vector<double> prob(n, -1.0);
    std::vector<std::uint64_t> alias(n, UINT64_MAX);
    drawkit::build_alias_table(w, total, prob.data(), alias.data());
    std::vector<double> mass(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        CHECK(prob[i] >= 0.0 && prob[i] <= 1.0);
        CHECK(alias[i] < n);
        // A column that was paired keeps its prob below 1; one never paired has prob
        // exactly 1.0 and keeps alias 0.
        CHECK(prob[i] < 1.0 || alias[i] == 0);
        mass[i] += prob[i];
        mass[alias[i]] += 1.0 - prob[i];
    }
    // Each index's chance (its own column's prob plus what other columns alias to it) is
    // its share of the weights, up to rounding.
    if (std::isfinite(total) && total > 0.0) {
        for (std::size_t i = 0; i < n; ++i)
            CHECK(std::fabs(mass[i] / static_cast<double>(n) - w[i] / total) <= 1e-9);
    }
    // Draws: the column from one output through FixedRemainder, then the coin.
    const drawkit::FixedRemainder columns(n);
    for (int d = in.in<int>(0, 4); d > 0; --d) {
        Xoshiro256PlusPlus e = g.engine;
        const std::uint64_t c = e.next_u64() % n;
        const double u = drawkit::next_f64(e);
        const std::uint64_t r = drawkit::alias_draw(g.engine, prob.data(), alias.data(), columns);
        CHECK(r < n && r == (u < prob[c] ? c : alias[c]));
        CHECK(e == g.engine);
    }
}

void op_remainder(Decoder& in) {
    const std::uint64_t d = in.flag() ? in.u64() : in.in<std::uint64_t>(1, 1000);
    if (d == 0) return;  // a table has at least one column
    const drawkit::FixedRemainder r(d);
    for (int i = 0; i < 4; ++i) {
        const std::uint64_t x = in.flag() ? in.u64() : UINT64_MAX - in.in<std::uint64_t>(0, 3);
        note("FixedRemainder(%llu).of(%llu)", static_cast<unsigned long long>(d), static_cast<unsigned long long>(x));
        CHECK(r.divisor() == d && r.of(x) == x % d);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Decoder in(data, size);
    Generator g = in.generator();
    for (int step = 0; step < 8 && in.more(); ++step) {
        switch (in.in<int>(0, 13)) {
            case 0: op_engine(in, g); break;
            case 1: op_uniform(in, g); break;
            case 2: op_normal_family(in, g); break;
            case 3: op_gamma_family(in, g); break;
            case 4: op_counting(in, g); break;
            case 5: op_vectors(in, g); break;
            case 6: op_math(in); break;
            case 7: op_format(in); break;
            case 8: op_indices(in, g); break;
            case 9: op_sample(in, g); break;
            case 10: op_systematic(in, g); break;
            case 11: op_alias(in, g); break;
            case 12: op_remainder(in); break;
            default: op_math(in); break;
        }
    }
    return 0;
}
