// The counting distributions' building blocks: floor_f64, the saturating count conversion,
// ln_gamma, the PTRS set-up, the all-zero-state guard of poisson, and the integer form of
// the binomial trial.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "distributions.hpp"

namespace drawkit {
namespace {

using E = Xoshiro256PlusPlus;

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }
double from_bits(std::uint64_t b) { return std::bit_cast<double>(b); }

TEST(CountingFloor, RoundsDownAndKeepsLargeValues) {
    struct Case {
        double q, want;
    };
    const Case cases[] = {
        {2.5, 2.0},   {-2.5, -3.0}, {0.5, 0.0},   {-0.5, -1.0},  {3.0, 3.0},
        {-3.0, -3.0}, {2.999999999999999, 2.0},    {0.9999999999999999, 0.0},
        {-1e-300, -1.0},
        {4503599627370495.5, 4503599627370495.0},    // 2^52 - 0.5 rounds up to 2^52 first
        {-4503599627370495.5, -4503599627370496.0},
        {1e300, 1e300},                              // |q| >= 2^52 returned unchanged
        {-1e300, -1e300},
    };
    for (const Case& c : cases) EXPECT_EQ(bits(floor_f64(c.q)), bits(c.want)) << c.q;
    // -0.0 takes round_ties_even's non-negative branch: the result is +0.0.
    EXPECT_EQ(bits(floor_f64(-0.0)), bits(0.0));
}

TEST(CountingSaturate, TruncatesAndSaturates) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(count_from_f64(std::numeric_limits<double>::quiet_NaN()), 0U);
    EXPECT_EQ(count_from_f64(-1.0), 0U);
    EXPECT_EQ(count_from_f64(-inf), 0U);
    EXPECT_EQ(count_from_f64(-0.0), 0U);
    EXPECT_EQ(count_from_f64(0.999), 0U);
    EXPECT_EQ(count_from_f64(7.9), 7U);
    // The largest double below 2^64 is exact; 2^64 itself and above saturate.
    EXPECT_EQ(count_from_f64(from_bits(0x43EFFFFFFFFFFFFFULL)), 18446744073709549568ULL);
    EXPECT_EQ(count_from_f64(from_bits(0x43F0000000000000ULL)), kMax);
    EXPECT_EQ(count_from_f64(1e20), kMax);
    EXPECT_EQ(count_from_f64(inf), kMax);
}

TEST(CountingLnGamma, ReferenceValues) {
    EXPECT_EQ(bits(ln_gamma(1.0)), bits(0.0));
    EXPECT_EQ(bits(ln_gamma(2.0)), bits(0.0));
    EXPECT_EQ(bits(ln_gamma(3.0)), 0x3FE62E42FEFA39F4ULL);    // 0.6931471805599458
    EXPECT_EQ(bits(ln_gamma(4.0)), 0x3FFCAB0BFA2A2005ULL);    // 1.7917594692280556
    EXPECT_EQ(bits(ln_gamma(6.0)), 0x401326643C4479CAULL);    // 4.787491742782047
    EXPECT_EQ(bits(ln_gamma(7.0)), 0x401A51273ACF01CAULL);    // 6.579251212010101
    EXPECT_EQ(bits(ln_gamma(100.0)), 0x40767225B4879462ULL);  // 359.1342053695754
    // Both sides of the switch to the recurrence agree with ln((x-1)!) to a few ulps.
    EXPECT_NEAR(ln_gamma(5.0), std::log(24.0), 1e-14);
    EXPECT_NEAR(ln_gamma(8.0), std::log(5040.0), 1e-14);
}

TEST(CountingPtrs, SetUpAtTen) {
    const PtrsSetup s = ptrs_setup(10.0);
    EXPECT_EQ(bits(s.b), 0x4021DCF5C1E580ACULL);         // 8.931562480225999
    EXPECT_EQ(bits(s.a), 0x3FC4D5AB90DBB575ULL);         // 0.16277069638401157
    EXPECT_EQ(bits(s.invalpha), 0x3FF5424ECCCB4C33ULL);  // 1.3286884307642708
    EXPECT_EQ(bits(s.vr), 0x3FD9ED3D753F0AB0ULL);        // 0.40510498475866097
    EXPECT_EQ(bits(s.twoa), bits(s.a + s.a));
    EXPECT_EQ(bits(s.slam), bits(std::sqrt(10.0)));
    EXPECT_EQ(bits(s.loglam), bits(portable_math::ln(10.0)));
    EXPECT_EQ(bits(s.lninvalpha), bits(portable_math::ln(s.invalpha)));
}

TEST(CountingPtrs, WorkedDrawsAndTwoOutputsPerAttempt) {
    E e = E::from_seed(0);
    const std::uint64_t want[] = {22, 23, 25, 22, 22};
    for (const std::uint64_t w : want) EXPECT_EQ(poisson(e, 25.0), w);
    E ref = E::from_seed(0);
    for (int i = 0; i < 12; ++i) ref.next_u64();
    EXPECT_EQ(e, ref);
}

TEST(CountingZeroState, GuardRefusesPtrsOnly) {
    const E zero{};
    const Invalid at_ten = check_poisson(zero, 10.0);
    ASSERT_TRUE(at_ten.has_value());
    EXPECT_EQ(*at_ten, "poisson(): an all-zero engine state never accepts a draw for lam >= 10");
    EXPECT_TRUE(check_poisson(zero, 1e300).has_value());
    // The lam check comes first.
    EXPECT_EQ(check_poisson(zero, 0.0).value_or(""), "lam must be a positive, finite number, got 0");
    EXPECT_EQ(check_poisson(zero, std::numeric_limits<double>::infinity()).value_or(""),
              "lam must be a positive, finite number, got inf");
    // Below the threshold the multiplication method ends after one output (u = 0).
    EXPECT_FALSE(check_poisson(zero, 9.999999999999998).has_value());
    E e{};
    EXPECT_EQ(poisson(e, 9.999999999999998), 0U);
    EXPECT_TRUE(e.is_zero());
    // Any other state passes, even one with a single bit set.
    EXPECT_FALSE(check_poisson(E{0, 0, 0, 1}, 10.0).has_value());
    E one{0, 0, 0, 1};
    (void)poisson(one, 10.0);  // terminates
}

TEST(CountingGeometric, TinyProbabilityUsesMinusPAsTheLogarithm) {
    // 1 - p rounds to 1 for p <= 2^-54; ln(1 - p) is then taken as -p (its correctly rounded
    // value) instead of ln(1) = 0, which would make every draw 1. Seed 0's first complement
    // uniform has ln(w) = -0.39241355344733597, so for p = 2^-54 the quotient is that value
    // times 2^54 exactly.
    const double p54 = from_bits(0x3C90000000000000ULL);
    E e = E::from_seed(0);
    EXPECT_EQ(geometric(e, p54), static_cast<std::uint64_t>(0.39241355344733597 * 0x1p54) + 1);
    // Quotients beyond 2^64 (and +inf for subnormal p) saturate, the +1 included.
    for (const double p : {1e-300, 5e-324}) {
        E f = E::from_seed(0);
        EXPECT_EQ(geometric(f, p), UINT64_MAX) << p;
        E g = E::from_seed(0), h = E::from_seed(0);
        (void)geometric(g, p);
        h.next_u64();
        EXPECT_EQ(g, h);  // one output
        // w = 1 gives ln(w) = +0 and the smallest result, 1.
        E zero{};
        EXPECT_EQ(geometric(zero, p), 1U) << p;
    }
    // Just above 2^-54 the steps as written apply: large results, far from wrapping.
    E big_e = E::from_seed(0);
    const std::uint64_t big = geometric(big_e, from_bits(0x3C90000000000001ULL));
    EXPECT_GT(big, 1000000000000000ULL);
    EXPECT_LT(big, 400000000000000000ULL);
}

// binomial against the trials as written, u < p on doubles, over a stretch of the stream.
TEST(CountingBinomial, MatchesFloatTrials) {
    for (const double p : {0.0, -0.0, 1.0, 0.5, 0.3, 1e-300, 0.9999999999999999}) {
        E a = E::from_seed(42), b = a;
        const std::uint64_t got = binomial(a, 2000, p);
        std::uint64_t want = 0;
        for (int i = 0; i < 2000; ++i) want += next_f64(b) < p ? 1U : 0U;
        EXPECT_EQ(got, want) << p;
        EXPECT_EQ(a, b);
    }
}

// k < bernoulli_threshold(p) against k * 2^-53 < p at the integers around p * 2^53, where
// a threshold off by one would show.
TEST(CountingBinomial, ThresholdAtTheBoundaries) {
    const double two53 = 9007199254740992.0;
    std::vector<double> ps = {0.0, -0.0, 1.0, 0.5, 0.1, 1e-300, 5e-324, from_bits(0x3FEFFFFFFFFFFFFFULL)};
    for (const double k : {1.0, 2.0, 777.0, 4503599627370497.0, 9007199254740991.0}) {
        ps.push_back(k / two53);
        ps.push_back(std::nextafter(k / two53, 0.0));
        ps.push_back(std::nextafter(k / two53, 1.0));
    }
    for (const double p : ps) {
        const std::uint64_t t = bernoulli_threshold(p);
        const auto centre = static_cast<std::uint64_t>(p * two53);
        for (std::uint64_t k = centre > 2 ? centre - 2 : 0; k <= centre + 2 && k < (1ULL << 53); ++k)
            EXPECT_EQ(k < t, static_cast<double>(k) * kTwoPowMinus53 < p) << p << " " << k;
    }
}

TEST(CountingBinomial, ExactlyNOutputs) {
    for (const double p : {0.0, 1.0}) {
        E e = E::from_seed(0), ref = E::from_seed(0);
        EXPECT_EQ(binomial(e, 30, p), p == 1.0 ? 30U : 0U);
        for (int i = 0; i < 30; ++i) ref.next_u64();
        EXPECT_EQ(e, ref);
    }
    E e = E::from_seed(0);
    EXPECT_EQ(binomial(e, 0, 0.5), 0U);
    EXPECT_EQ(e, E::from_seed(0));
}

}  // namespace
}  // namespace drawkit
