// Portable math: pinned bit patterns, special values and accuracy sweeps.
//
// The pinned rows are the contract: every platform and compiler must produce these
// exact bits. Several rows differ from a correctly rounded result in the last place, so a
// build that silently uses the host's math library (or contracts into FMA) fails here.
// The host library appears only in the sweeps, as an accuracy reference.
#include "portable_math.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace pm = drawkit::portable_math;

namespace {

constexpr std::uint64_t kQuietNaNBits = 0x7FF8000000000000ULL;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMinSubnormal = std::numeric_limits<double>::denorm_min();

std::uint64_t bits_of(double x) { return std::bit_cast<std::uint64_t>(x); }
double from_bits(std::uint64_t b) { return std::bit_cast<double>(b); }

std::string describe(double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g (0x%016" PRIX64 ")", x, bits_of(x));
    return buf;
}

::testing::AssertionResult HasBits(double actual, std::uint64_t expected) {
    if (bits_of(actual) == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got " << describe(actual) << ", expected " << describe(from_bits(expected));
}

// Distance in units in the last place, counting across zero and through subnormals.
std::uint64_t ulp_distance(double a, double b) {
    auto ordered = [](double x) {
        const std::uint64_t u = bits_of(x);
        return (u >> 63) ? -static_cast<std::int64_t>(u & 0x7FFFFFFFFFFFFFFFULL)
                         : static_cast<std::int64_t>(u);
    };
    const std::int64_t d = ordered(a) - ordered(b);
    return static_cast<std::uint64_t>(d < 0 ? -d : d);
}

// Deterministic argument source for the sweeps (SplitMix64), independent of the
// standard library's distributions.
struct Sweep {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi).
    double uniform(double lo, double hi) {
        return lo + (hi - lo) * (static_cast<double>(next() >> 11) * 0x1p-53);
    }
};

struct Row {
    const char* call;
    double (*fn)(double);
    double x;
    std::uint64_t expected;
};

// powf's accuracy is bounded by that of the logarithm: the head-tail pair carries the
// k*ln 2 part and the final sum to extra precision, but ln(1+f) is one rounded double,
// off by up to about 2^-54 absolutely, and the exponent multiplies that error. So the
// relative error grows as |y| * 2^-54 (a hundred ulps for 3^640), plus a few ulps from exp.
::testing::AssertionResult PowfClose(double x, double y) {
    const double ours = pm::powf(x, y);
    const double host = std::pow(x, y);
    const double relative = std::fabs(y) * 0x1p-53 + 0x1p-50;
    // A subnormal result has absolute units of 2^-1074: allow two of them on top.
    const double allowed = relative * host + (host < 0x1p-1022 ? 0x1p-1073 : 0.0);
    if (std::fabs(ours - host) <= allowed) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "powf(" << describe(x) << ", " << describe(y) << ") = "
                                         << describe(ours) << ", host " << describe(host);
}

void check_rows(const Row* rows, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_TRUE(HasBits(rows[i].fn(rows[i].x), rows[i].expected)) << rows[i].call;
    }
}

}  // namespace

// --- round_ties_even and scale_by_pow2 -------------------------------------------------

TEST(PortableMathRoundTiesEven, TiesGoToEvenWithSignedZero) {
    EXPECT_TRUE(HasBits(pm::round_ties_even(0.5), 0x0000000000000000ULL));
    EXPECT_EQ(pm::round_ties_even(1.5), 2.0);
    EXPECT_EQ(pm::round_ties_even(2.5), 2.0);
    EXPECT_EQ(pm::round_ties_even(3.5), 4.0);
    EXPECT_TRUE(HasBits(pm::round_ties_even(-0.5), 0x8000000000000000ULL));
    EXPECT_EQ(pm::round_ties_even(-1.5), -2.0);
    EXPECT_EQ(pm::round_ties_even(-2.5), -2.0);
    EXPECT_EQ(pm::round_ties_even(-3.7), -4.0);
    // The largest double below 0.5 must not round up (the classic floor(t + 0.5) fault).
    EXPECT_TRUE(HasBits(pm::round_ties_even(0.49999999999999994), 0x0000000000000000ULL));
    // -0.0 compares equal to 0 and takes the non-negative branch: +0.0.
    EXPECT_TRUE(HasBits(pm::round_ties_even(-0.0), 0x0000000000000000ULL));
    // Just below 2^52 a tie still rounds to even; from 2^52 on t is returned as is.
    EXPECT_EQ(pm::round_ties_even(4503599627370495.5), 4503599627370496.0);
    EXPECT_EQ(pm::round_ties_even(-4503599627370495.5), -4503599627370496.0);
    EXPECT_EQ(pm::round_ties_even(4503599627370497.0), 4503599627370497.0);
    EXPECT_EQ(pm::round_ties_even(-4503599627370497.0), -4503599627370497.0);
    EXPECT_EQ(pm::round_ties_even(1e300), 1e300);
    EXPECT_EQ(pm::round_ties_even(-1e300), -1e300);
}

TEST(PortableMathRoundTiesEven, AgreesWithIeeeRoundingAtEveryScale) {
    Sweep g{1};
    for (int i = 0; i < 200000; ++i) {
        const double t = std::ldexp(g.uniform(-1.0, 1.0), static_cast<int>(g.next() % 60));
        if (t == 0.0) continue;  // -0.0 is the one documented difference (gives +0.0)
        ASSERT_EQ(bits_of(pm::round_ties_even(t)), bits_of(std::nearbyint(t))) << describe(t);
    }
}

TEST(PortableMathScaleByPow2, StepsThroughLargeExponents) {
    EXPECT_EQ(pm::scale_by_pow2(1.5, 10), 1536.0);
    EXPECT_EQ(pm::scale_by_pow2(1.0, 1023), from_bits(0x7FE0000000000000ULL));
    EXPECT_EQ(pm::scale_by_pow2(0.5, 1024), from_bits(0x7FE0000000000000ULL));
    EXPECT_EQ(pm::scale_by_pow2(1.0, 1024), kInf);
    EXPECT_EQ(pm::scale_by_pow2(-1.0, 5000), -kInf);
    EXPECT_EQ(pm::scale_by_pow2(1.0, -1022), from_bits(0x0010000000000000ULL));
    EXPECT_EQ(pm::scale_by_pow2(1.0, -1074), kMinSubnormal);
    EXPECT_TRUE(HasBits(pm::scale_by_pow2(1.0, -1075), 0x0000000000000000ULL));  // tie to even
    EXPECT_TRUE(HasBits(pm::scale_by_pow2(-1.0, -5000), 0x8000000000000000ULL));
    EXPECT_EQ(pm::scale_by_pow2(0x1p-1074, 2000), 0x1p926);
}

TEST(PortableMathScaleByPow2, ZeroInfinityAndNaNPassThrough) {
    EXPECT_TRUE(HasBits(pm::scale_by_pow2(0.0, 5000), 0x0000000000000000ULL));
    EXPECT_TRUE(HasBits(pm::scale_by_pow2(-0.0, -5000), 0x8000000000000000ULL));
    EXPECT_EQ(pm::scale_by_pow2(kInf, -5000), kInf);
    EXPECT_EQ(pm::scale_by_pow2(-kInf, 5000), -kInf);
    EXPECT_TRUE(std::isnan(pm::scale_by_pow2(std::nan(""), 3)));
}

TEST(PortableMathScaleByPow2, SubnormalResultIsRoundedTwice) {
    // y * 2^-1022 rounds into the subnormal grid, then * 2^-3 rounds again; the correctly
    // rounded y * 2^-1025 would end in ...AF5.
    const double y = from_bits(0x3FEF5E0408D6AF57ULL);
    EXPECT_TRUE(HasBits(pm::scale_by_pow2(y, -1025), 0x0001F5E0408D6AF6ULL));
    EXPECT_TRUE(HasBits(std::ldexp(y, -1025), 0x0001F5E0408D6AF5ULL));
}

// --- ln ----------------------------------------------------------------------------------

TEST(PortableMathLn, ReferenceTable) {
    const Row rows[] = {
        {"ln(2.0)", pm::ln, 2.0, 0x3FE62E42FEFA39EFULL},
        {"ln(10.0)", pm::ln, 10.0, 0x40026BB1BBB55516ULL},
        {"ln(0.1)", pm::ln, 0.1, 0xC0026BB1BBB55515ULL},
        {"ln(0.7)", pm::ln, 0.7, 0xBFD6D3C324E13F50ULL},
        {"ln(1e-310)", pm::ln, 1e-310, 0xC0864E69394D9508ULL},
        {"ln(5e-324)", pm::ln, 5e-324, 0xC0874385446D71C3ULL},
        {"ln(1.0)", pm::ln, 1.0, 0x0000000000000000ULL},
        {"ln(1.4142135623730951), m = sqrt2 not halved", pm::ln, 1.4142135623730951,
         0x3FD62E42FEFA39F0ULL},
        {"ln(1.4142135623730954), m above sqrt2 halved", pm::ln, 1.4142135623730954,
         0x3FD62E42FEFA39F3ULL},
        {"ln(0.7071067811865475), not correctly rounded", pm::ln, 0.7071067811865475,
         0xBFD62E42FEFA39F0ULL},
    };
    check_rows(rows, std::size(rows));
}

TEST(PortableMathLn, SpecialValues) {
    EXPECT_EQ(pm::ln(0.0), -kInf);
    EXPECT_EQ(pm::ln(-0.0), -kInf);  // not NaN: -0.0 >= 0
    EXPECT_EQ(pm::ln(kInf), kInf);
    EXPECT_TRUE(HasBits(pm::ln(-1.0), kQuietNaNBits));
    EXPECT_TRUE(HasBits(pm::ln(-kMinSubnormal), kQuietNaNBits));
    EXPECT_TRUE(HasBits(pm::ln(-kInf), kQuietNaNBits));
    // An incoming NaN's sign and payload are not kept.
    EXPECT_TRUE(HasBits(pm::ln(from_bits(0x7FF8000000000001ULL)), kQuietNaNBits));
    EXPECT_TRUE(HasBits(pm::ln(from_bits(0xFFF8000000000000ULL)), kQuietNaNBits));
    EXPECT_TRUE(HasBits(pm::ln(from_bits(0x7FF0000000000001ULL)), kQuietNaNBits));
    // The extremes of the finite range.
    EXPECT_LE(ulp_distance(pm::ln(std::numeric_limits<double>::max()), std::log(std::numeric_limits<double>::max())), 1U);
    EXPECT_LE(ulp_distance(pm::ln(0x1p-1022), std::log(0x1p-1022)), 1U);
}

TEST(PortableMathLn, HeadTailPair) {
    // x = 2: k = 1 and f = 0, so the pair is exactly (ln2_hi, ln2_lo), not (rounded ln 2, 0).
    const pm::HeadTail two = pm::ln_head_tail(2.0);
    EXPECT_TRUE(HasBits(two.head, 0x3FE62E42FEE00000ULL));
    EXPECT_TRUE(HasBits(two.tail, 0x3DEA39EF35793C76ULL));
    const pm::HeadTail one = pm::ln_head_tail(1.0);
    EXPECT_TRUE(HasBits(one.head, 0x0000000000000000ULL));
    EXPECT_TRUE(HasBits(one.tail, 0x0000000000000000ULL));

    // ln is head + tail, and the pair carries more than a double's precision when k is
    // large (the tail holds the rounding error of k*ln2_hi + ln(1+f) and k*ln2_lo).
    Sweep g{2};
    for (int i = 0; i < 20000; ++i) {
        const double x = std::exp2(g.uniform(-1074.0, 1024.0));
        if (!(x > 0.0) || x == kInf) continue;
        const pm::HeadTail p = pm::ln_head_tail(x);
        ASSERT_EQ(bits_of(pm::ln(x)), bits_of(p.head + p.tail)) << describe(x);
        if constexpr (std::numeric_limits<long double>::digits >= 64) {
            const long double err = (static_cast<long double>(p.head) + p.tail) - std::log(static_cast<long double>(x));
            if (std::fabs(p.head) > 64.0) {
                // ulp(head) is at least 2^-47 here; the pair is good to a small fraction of it.
                ASSERT_LT(std::fabs(static_cast<double>(err)), 0x1p-51) << describe(x);
            }
        }
    }
}

// --- exp ---------------------------------------------------------------------------------

TEST(PortableMathExp, ReferenceTable) {
    const Row rows[] = {
        {"exp(1.0), one ulp above e", pm::exp, 1.0, 0x4005BF0A8B14576AULL},
        {"exp(-1.0)", pm::exp, -1.0, 0x3FD78B56362CEF38ULL},
        {"exp(0.25)", pm::exp, 0.25, 0x3FF48B5E3C3E8186ULL},
        {"exp(0.34657359027997264), t = 0.5 so k = 0", pm::exp, 0.34657359027997264,
         0x3FF6A09E667F3BCCULL},
        {"exp(10.0)", pm::exp, 10.0, 0x40D5829DCF950560ULL},
        {"exp(100.0)", pm::exp, 100.0, 0x48F3494A9B171BF5ULL},
        {"exp(-740.0)", pm::exp, -740.0, 0x0000000000000055ULL},
        {"exp(-710.513801076869), rounded twice", pm::exp, -710.513801076869,
         0x0001ECF027C4293EULL},
        {"exp(709.782712893384), at the overflow threshold", pm::exp, 709.782712893384,
         0x7FEFFFFFFFFFFF2AULL},
        {"exp(-745.1332191019411), at the underflow threshold", pm::exp, -745.1332191019411,
         0x0000000000000001ULL},
    };
    check_rows(rows, std::size(rows));
    // The reduction multiple of the k = 0 row really is a tie.
    EXPECT_EQ(0.34657359027997264 * from_bits(0x3FF71547652B82FEULL), 0.5);
}

TEST(PortableMathExp, ThresholdsAreStrict) {
    const double over = from_bits(0x40862E42FEFA39EFULL);
    const double under = from_bits(0xC0874910D52D3051ULL);
    EXPECT_LT(pm::exp(over), kInf);
    EXPECT_EQ(pm::exp(std::nextafter(over, kInf)), kInf);
    EXPECT_GT(pm::exp(under), 0.0);
    EXPECT_TRUE(HasBits(pm::exp(std::nextafter(under, -kInf)), 0x0000000000000000ULL));
    // Just inside, exp takes the scaling path with k = 1024 and k = -1075.
    const double inside_over = std::nextafter(over, 0.0);
    EXPECT_LE(ulp_distance(pm::exp(inside_over), std::exp(inside_over)), 1U);
    EXPECT_TRUE(HasBits(pm::exp(std::nextafter(under, 0.0)), 0x0000000000000001ULL));
}

TEST(PortableMathExp, ScalingAroundTheNormalRange) {
    // Reduction multiples k = 1022, 1023, 1024 and k = -1021 .. -1025: the single-product
    // scaling must hand over to the stepwise one exactly at the ends of the normal range.
    for (double x : {708.5, 709.0, 709.5, 709.78, -707.8, -708.0, -708.4, -708.5, -709.0,
                     -709.1, -709.5, -709.9, -710.2}) {
        const double host = std::exp(x);
        EXPECT_LE(ulp_distance(pm::exp(x), host), host < 0x1p-1022 ? 2U : 1U) << describe(x);
    }
}

TEST(PortableMathExp, SpecialValues) {
    EXPECT_TRUE(HasBits(pm::exp(0.0), 0x3FF0000000000000ULL));
    EXPECT_TRUE(HasBits(pm::exp(-0.0), 0x3FF0000000000000ULL));
    EXPECT_TRUE(HasBits(pm::exp(1e-20), 0x3FF0000000000000ULL));
    EXPECT_TRUE(HasBits(pm::exp(-1e-20), 0x3FF0000000000000ULL));
    EXPECT_EQ(pm::exp(kInf), kInf);
    EXPECT_TRUE(HasBits(pm::exp(-kInf), 0x0000000000000000ULL));
    EXPECT_TRUE(HasBits(pm::exp(from_bits(0xFFF8000000000123ULL)), kQuietNaNBits));
    EXPECT_TRUE(HasBits(pm::exp(from_bits(0x7FF0000000000001ULL)), kQuietNaNBits));
}

// --- sin, cos, tan -----------------------------------------------------------------------

TEST(PortableMathTrig, ReferenceTable) {
    const Row rows[] = {
        {"sin(1.0)", pm::sin, 1.0, 0x3FEAED548F090CEEULL},
        {"cos(1.0)", pm::cos, 1.0, 0x3FE14A280FB5068CULL},
        {"tan(1.0)", pm::tan, 1.0, 0x3FF8EB245CBEE3A5ULL},
        {"sin(-2.0)", pm::sin, -2.0, 0xBFED18F6EAD1B445ULL},
        {"cos(-2.0)", pm::cos, -2.0, 0xBFDAA22657537205ULL},
        {"tan(-2.0)", pm::tan, -2.0, 0x40017AF62E0950F7ULL},
        {"sin(3.0)", pm::sin, 3.0, 0x3FC210386DB6D55BULL},
        {"cos(3.0)", pm::cos, 3.0, 0xBFEFAE04BE85E5D2ULL},
        {"tan(3.0)", pm::tan, 3.0, 0xBFC23EF71254B86FULL},
        {"sin(100.0)", pm::sin, 100.0, 0xBFE03425B78C4DB8ULL},
        {"cos(100.0)", pm::cos, 100.0, 0x3FEB981DBF665FDFULL},
        {"tan(100.0)", pm::tan, 100.0, 0xBFE2CA74D62B5D38ULL},
        {"sin(999999.0)", pm::sin, 999999.0, 0xBFEF4677C48458B5ULL},
        {"cos(999999.0)", pm::cos, 999999.0, 0x3FCB165CDE80DDD4ULL},
        {"tan(999999.0)", pm::tan, 999999.0, 0xC0127945CD39B0E8ULL},
        {"sin(999999.9999999999)", pm::sin, 999999.9999999999, 0xBFD6664B2586D246ULL},
        {"sin(pi)", pm::sin, 3.141592653589793, 0x3CA1A62633100000ULL},
        {"cos(pi/2)", pm::cos, 1.5707963267948966, 0x3C91A62633100000ULL},
        {"tan(pi/2)", pm::tan, 1.5707963267948966, 0x434D02967C38F825ULL},
        {"sin(1e-300)", pm::sin, 1e-300, 0x01A56E1FC2F8F359ULL},
        {"cos(1e-300)", pm::cos, 1e-300, 0x3FF0000000000000ULL},
    };
    check_rows(rows, std::size(rows));
}

TEST(PortableMathTrig, SignedZerosAndSubnormals) {
    EXPECT_TRUE(HasBits(pm::sin(0.0), 0x0000000000000000ULL));
    EXPECT_TRUE(HasBits(pm::sin(-0.0), 0x0000000000000000ULL));  // -0 + +0 in the kernel
    EXPECT_TRUE(HasBits(pm::tan(0.0), 0x0000000000000000ULL));
    EXPECT_TRUE(HasBits(pm::tan(-0.0), 0x0000000000000000ULL));
    EXPECT_TRUE(HasBits(pm::cos(0.0), 0x3FF0000000000000ULL));
    EXPECT_TRUE(HasBits(pm::cos(-0.0), 0x3FF0000000000000ULL));
    EXPECT_TRUE(HasBits(pm::sin(kMinSubnormal), 0x0000000000000001ULL));
    EXPECT_TRUE(HasBits(pm::sin(-kMinSubnormal), 0x8000000000000001ULL));
    EXPECT_TRUE(HasBits(pm::tan(kMinSubnormal), 0x0000000000000001ULL));
    EXPECT_TRUE(HasBits(pm::cos(kMinSubnormal), 0x3FF0000000000000ULL));
}

TEST(PortableMathTrig, ReductionLimitAndNonFinite) {
    const double below = std::nextafter(1000000.0, 0.0);
    ASSERT_EQ(below, 999999.9999999999);
    for (auto fn : {pm::sin, pm::cos, pm::tan}) {
        EXPECT_TRUE(std::isfinite(fn(below)));
        EXPECT_TRUE(std::isfinite(fn(-below)));
        for (double x : {1000000.0, -1000000.0, std::nextafter(1000000.0, kInf), 1e300,
                         std::numeric_limits<double>::max(), kInf, -kInf,
                         from_bits(0x7FF8000000000001ULL), from_bits(0xFFF8000000000000ULL)}) {
            EXPECT_TRUE(HasBits(fn(x), kQuietNaNBits)) << describe(x);
        }
    }
}

TEST(PortableMathTrig, QuadrantsOfNegativeArguments) {
    // The reduction is symmetric, so sin is exactly odd and cos exactly even; a quadrant
    // taken as a negative remainder (n % 4 for n < 0) breaks this for x < -pi/4.
    Sweep g{3};
    for (int i = 0; i < 100000; ++i) {
        const double x = i < 50000 ? g.uniform(1e-3, 20.0) : g.uniform(1e-3, 999999.0);
        ASSERT_EQ(bits_of(pm::sin(-x)), bits_of(-pm::sin(x))) << describe(x);
        ASSERT_EQ(bits_of(pm::cos(-x)), bits_of(pm::cos(x))) << describe(x);
        ASSERT_EQ(bits_of(pm::tan(-x)), bits_of(-pm::tan(x))) << describe(x);
    }
    // One angle per quadrant, from both sides.
    EXPECT_GT(pm::sin(2.0), 0.0);
    EXPECT_LT(pm::cos(2.0), 0.0);
    EXPECT_LT(pm::sin(4.0), 0.0);
    EXPECT_LT(pm::cos(4.0), 0.0);
    EXPECT_LT(pm::sin(5.0), 0.0);
    EXPECT_GT(pm::cos(5.0), 0.0);
    EXPECT_GT(pm::sin(-4.0), 0.0);
    EXPECT_LT(pm::cos(-4.0), 0.0);
}

TEST(PortableMathTrig, TangentIsExactlySineOverCosine) {
    Sweep g{4};
    for (int i = 0; i < 100000; ++i) {
        const double x = i % 2 ? g.uniform(-1.5707963267948966, 1.5707963267948966)
                               : g.uniform(-999999.0, 999999.0);
        ASSERT_EQ(bits_of(pm::tan(x)), bits_of(pm::sin(x) / pm::cos(x))) << describe(x);
    }
    for (double x : {0.7853981633974483, -0.7853981633974483, 2.356194490192345,
                     4.71238898038469, -4.71238898038469, 1.5707963267948966}) {
        EXPECT_EQ(bits_of(pm::tan(x)), bits_of(pm::sin(x) / pm::cos(x))) << describe(x);
    }
}

// --- powf --------------------------------------------------------------------------------

TEST(PortableMathPowf, ReferenceTable) {
    struct PowRow {
        double x, y;
        std::uint64_t expected;
    };
    const PowRow rows[] = {
        {2.0, 0.5, 0x3FF6A09E667F3BCCULL},  // one ulp below sqrt(2)
        {0.3, 0.3333333333333333, 0x3FE56BFEA66EF78EULL},
        {0.25, 0.1, 0x3FEBDB8CDADBE121ULL},
        {7.0, -2.0, 0x3F94E5E0A72F053AULL},  // not 1/49
        {10.0, 2.0, 0x4059000000000000ULL},
        {10.0, -1.0, 0x3FB9999999999999ULL},
        {10.0, 300.0, 0x7E37E43C880075AEULL},
        {10.0, -320.0, 0x00000000000007E8ULL},
        {2.0, 1023.0, 0x7FE0000000000035ULL},  // not 2^1023
        {2.0, 1023.5, 0x7FE6A09E667F3C18ULL},
        {2.0, -1022.0, 0x000FFFFFFFFFFFCAULL},
        {3.0, 646.0, 0x7FED906A378B5A76ULL},   // pre-scaled, m = 512
        {3.0, -647.0, 0x00017174F38DF4C9ULL},  // pre-scaled, m = -512
        {0.5, 1074.5, 0x0000000000000001ULL},
        {5e-324, 0.5, 0x1E5FFFFFFFFFFFFFULL},  // subnormal base
    };
    for (const PowRow& r : rows) {
        EXPECT_TRUE(HasBits(pm::powf(r.x, r.y), r.expected)) << "powf(" << r.x << ", " << r.y << ")";
    }
}

TEST(PortableMathPowf, SpecialValuesInOrder) {
    const double nan = std::nan("");
    // NaN first: even an exponent of zero or a base of one gives NaN.
    EXPECT_TRUE(HasBits(pm::powf(nan, 0.0), kQuietNaNBits));
    EXPECT_TRUE(HasBits(pm::powf(1.0, nan), kQuietNaNBits));
    EXPECT_TRUE(HasBits(pm::powf(from_bits(0xFFF8000000000005ULL), 2.0), kQuietNaNBits));
    // y = +-0 gives 1 for every other base.
    for (double x : {2.0, -3.0, 0.0, -0.0, kInf, -kInf, 1.0, kMinSubnormal}) {
        EXPECT_TRUE(HasBits(pm::powf(x, 0.0), 0x3FF0000000000000ULL)) << describe(x);
        EXPECT_TRUE(HasBits(pm::powf(x, -0.0), 0x3FF0000000000000ULL)) << describe(x);
    }
    // Zero bases by the sign of y.
    EXPECT_TRUE(HasBits(pm::powf(0.0, 2.0), 0x0000000000000000ULL));
    EXPECT_TRUE(HasBits(pm::powf(-0.0, 2.0), 0x0000000000000000ULL));
    EXPECT_TRUE(HasBits(pm::powf(-0.0, 3.0), 0x0000000000000000ULL));
    EXPECT_TRUE(HasBits(pm::powf(0.0, kInf), 0x0000000000000000ULL));
    EXPECT_EQ(pm::powf(0.0, -1.0), kInf);
    EXPECT_EQ(pm::powf(-0.0, -1.0), kInf);
    EXPECT_EQ(pm::powf(0.0, -kInf), kInf);
    // Negative bases: NaN for every exponent, even integers.
    EXPECT_TRUE(HasBits(pm::powf(-1.0, 2.0), kQuietNaNBits));
    EXPECT_TRUE(HasBits(pm::powf(-8.0, 0.3333333333333333), kQuietNaNBits));
    EXPECT_TRUE(HasBits(pm::powf(-kInf, 2.0), kQuietNaNBits));
    // Base one: 1 for every non-NaN exponent.
    EXPECT_TRUE(HasBits(pm::powf(1.0, kInf), 0x3FF0000000000000ULL));
    EXPECT_TRUE(HasBits(pm::powf(1.0, -kInf), 0x3FF0000000000000ULL));
    EXPECT_TRUE(HasBits(pm::powf(1.0, 1e308), 0x3FF0000000000000ULL));
}

TEST(PortableMathPowf, RangeLimits) {
    EXPECT_EQ(pm::powf(2.0, 1024.0), kInf);
    EXPECT_TRUE(HasBits(pm::powf(2.0, -1074.0), 0x0000000000000001ULL));
    EXPECT_TRUE(HasBits(pm::powf(2.0, -1075.0), 0x0000000000000000ULL));
    EXPECT_EQ(pm::powf(10.0, 400.0), kInf);
    EXPECT_TRUE(HasBits(pm::powf(10.0, -400.0), 0x0000000000000000ULL));
    // Either side of the pre-scale bounds the results stay close to the host's.
    for (double y : {635.0, 637.0, 640.0, 646.0, -636.0, -638.0, -640.0, -645.0}) {
        EXPECT_TRUE(PowfClose(3.0, y)) << y;
    }
}

TEST(PortableMathPowf, OperandsTheSplittingCannotTake) {
    // Carried out literally these meet inf - inf in the Veltkamp split and give NaN.
    EXPECT_TRUE(std::isnan(pm::powf(kInf, 1.0)));
    EXPECT_TRUE(std::isnan(pm::powf(kInf, -1.0)));
    EXPECT_TRUE(std::isnan(pm::powf(0.5, kInf)));
    EXPECT_TRUE(std::isnan(pm::powf(2.0, -kInf)));
    EXPECT_TRUE(std::isnan(pm::powf(2.0, 1e301)));
    // The largest exponent the splitter still takes is 1.3393857490036325e+300; with
    // x = 1 + 2^-52, y*ln x stays finite and the result overflows to +inf by the threshold.
    // At 1.3393857490036326e+300 the product y*splitter is DBL_MAX plus half an ulp, a
    // tie that rounds to infinity, and the result is NaN.
    const double x = std::nextafter(1.0, 2.0);
    const double ymax = 1.3393857490036325e+300;
    const double yover = 1.3393857490036326e+300;
    ASSERT_EQ(std::nextafter(ymax, kInf), yover);
    ASSERT_LT(ymax * 134217729.0, kInf);
    ASSERT_EQ(yover * 134217729.0, kInf);
    EXPECT_EQ(pm::powf(x, ymax), kInf);
    EXPECT_TRUE(std::isnan(pm::powf(x, yover)));
    EXPECT_TRUE(std::isnan(pm::powf(x, -yover)));
}

// --- accuracy sweeps (host library as reference only) --------------------------------------

TEST(PortableMathAccuracy, LnWithinOneUlpOfHost) {
    Sweep g{5};
    std::uint64_t worst = 0;
    for (int i = 0; i < 300000; ++i) {
        double x;
        switch (i % 3) {
            case 0: x = g.uniform(0.0, 2.0); break;                     // around 1, both halvings
            case 1: x = std::exp2(g.uniform(-1074.0, 1024.0)); break;  // every binade
            default: x = from_bits(g.next() % 0x0010000000000000ULL); break;  // subnormals
        }
        if (!(x > 0.0) || x == kInf) continue;
        const std::uint64_t d = ulp_distance(pm::ln(x), std::log(x));
        worst = d > worst ? d : worst;
        ASSERT_LE(d, 1U) << describe(x);
    }
    RecordProperty("worst_ulps", static_cast<int>(worst));
}

TEST(PortableMathAccuracy, ExpWithinOneUlpOfHost) {
    Sweep g{6};
    for (int i = 0; i < 300000; ++i) {
        const double x = i % 2 ? g.uniform(-745.1332191019411, 709.782712893384) : g.uniform(-2.0, 2.0);
        // Subnormal results are rounded twice and may land one more unit away.
        const double host = std::exp(x);
        const std::uint64_t limit = host < 0x1p-1022 ? 2U : 1U;
        ASSERT_LE(ulp_distance(pm::exp(x), host), limit) << describe(x);
    }
}

TEST(PortableMathAccuracy, SinCosCloseToHost) {
    Sweep g{7};
    for (int i = 0; i < 300000; ++i) {
        // Inside [-pi/4, pi/4] the reduction is exact: relative error of an ulp.
        const double a = g.uniform(-0.7853981633974483, 0.7853981633974483);
        ASSERT_LE(ulp_distance(pm::sin(a), std::sin(a)), 1U) << describe(a);
        ASSERT_LE(ulp_distance(pm::cos(a), std::cos(a)), 1U) << describe(a);
        // Beyond, the error of the two-term reduction is absolute: tiny against 1, but not
        // against a result near zero, so compare in units of 2^-53.
        const double b = i % 2 ? g.uniform(0.0, 6.283185307179586) : g.uniform(-999999.0, 999999.0);
        ASSERT_LE(std::fabs(pm::sin(b) - std::sin(b)), 0x1p-52) << describe(b);
        ASSERT_LE(std::fabs(pm::cos(b) - std::cos(b)), 0x1p-52) << describe(b);
    }
}

TEST(PortableMathAccuracy, ExpOfLnAndPythagoras) {
    Sweep g{8};
    for (int i = 0; i < 200000; ++i) {
        // |ln x| <= 710 carries an absolute rounding of at most 2^-44, which exp turns into
        // a relative error of the same size.
        const double x = std::exp2(g.uniform(-1021.0, 1023.0));
        ASSERT_LE(std::fabs(pm::exp(pm::ln(x)) - x) / x, 0x1p-42) << describe(x);
        const double t = g.uniform(-999999.0, 999999.0);
        const double s = pm::sin(t), c = pm::cos(t);
        ASSERT_LE(std::fabs((s * s + c * c) - 1.0), 0x1p-51) << describe(t);
    }
}

TEST(PortableMathAccuracy, PowfCloseToHostForGammaBoosts) {
    // The one caller raises a uniform to 1/shape, shape in (0, 1).
    Sweep g{9};
    for (int i = 0; i < 200000; ++i) {
        const double u = g.uniform(0x1p-1022, 1.0);
        const double y = 1.0 / g.uniform(0.01, 1.0);
        ASSERT_TRUE(PowfClose(u, y));
    }
}
