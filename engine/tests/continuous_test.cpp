// Continuous draws of the core: worked values by bit pattern, the engine outputs each draw
// consumes, and the cached normal that it leaves behind.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "distributions.hpp"

namespace drawkit {
namespace {

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

// The engine of a fresh seeded generator after `outputs` steps.
Xoshiro256PlusPlus advanced(std::uint64_t seed, int outputs) {
    Xoshiro256PlusPlus e = Xoshiro256PlusPlus::from_seed(seed);
    for (int i = 0; i < outputs; ++i) e.next_u64();
    return e;
}

// s0 = s1 = s3 = 0 makes the first two outputs 0 whatever s2 is.
Generator zero_outputs_generator() { return Generator{false, 0.0, Xoshiro256PlusPlus{0, 0, 0x1234567890ABCDEFULL, 0}}; }

// --- standard_normal --------------------------------------------------------------------

TEST(ContinuousNormal, Seed0PairCosineFirstThenCachedSine) {
    Generator g = Generator::from_seed(0);
    EXPECT_EQ(bits(standard_normal(g)), bits(-1.1079085986338315));
    EXPECT_EQ(g.engine, advanced(0, 2));
    ASSERT_TRUE(g.has_cached_normal);
    EXPECT_EQ(bits(g.cached_normal), bits(1.0114416320093498));
    EXPECT_EQ(bits(standard_normal(g)), bits(1.0114416320093498));
    EXPECT_EQ(g.engine, advanced(0, 2));  // the second member costs nothing
    EXPECT_FALSE(g.has_cached_normal);
}

TEST(ContinuousNormal, PendingValueIsReturnedWithoutTouchingTheEngine) {
    Generator g = Generator::from_seed(7);
    g.has_cached_normal = true;
    g.cached_normal = -0.0;
    EXPECT_EQ(bits(standard_normal(g)), bits(-0.0));
    EXPECT_EQ(g.engine, advanced(7, 0));
    EXPECT_FALSE(g.has_cached_normal);
}

TEST(ContinuousNormal, RunOfRequestsConsumesTwoOutputsPerPair) {
    for (int n = 0; n <= 7; ++n) {
        Generator g = Generator::from_seed(11);
        for (int i = 0; i < n; ++i) standard_normal(g);
        EXPECT_EQ(g.engine, advanced(11, 2 * ((n + 1) / 2))) << "n = " << n;
        EXPECT_EQ(g.has_cached_normal, n % 2 == 1) << "n = " << n;
    }
}

TEST(ContinuousNormal, ZeroOutputsFloorTheRadialUniform) {
    // u1 = 0 is floored to 2^-1022, so r = sqrt(-2 ln 2^-1022) is the largest radius and
    // finite; u2 = 0 gives theta = 0 and the pair (r, +0.0).
    Generator g = zero_outputs_generator();
    EXPECT_EQ(bits(standard_normal(g)), bits(37.64030867387419));
    EXPECT_EQ(bits(standard_normal(g)), bits(0.0));
}

TEST(ContinuousNormal, NormalAndLognormalSeed0) {
    Generator g = Generator::from_seed(0);
    EXPECT_EQ(bits(normal(g, 5.0, 2.0)), bits(2.784182802732337));
    g = Generator::from_seed(0);
    EXPECT_EQ(bits(lognormal(g, 0.0, 1.0)), bits(0.330248922378132));
    // lognormal after normal takes the sine member of the same pair.
    g = Generator::from_seed(0);
    normal(g, 0.0, 1.0);
    EXPECT_EQ(bits(lognormal(g, 0.0, 1.0)), bits(portable_math::exp(1.0114416320093498)));
    // |z| <= 37.64..., so these exponents are beyond exp's thresholds.
    g = Generator::from_seed(0);
    EXPECT_EQ(lognormal(g, 1000.0, 1.0), std::bit_cast<double>(0x7FF0000000000000ULL));
    EXPECT_EQ(bits(lognormal(g, -1000.0, 1.0)), bits(0.0));
}

// --- exponential, laplace, cauchy -------------------------------------------------------

TEST(ContinuousInversion, Seed0ValuesAndOutputCounts) {
    Xoshiro256PlusPlus e = Xoshiro256PlusPlus::from_seed(0);
    const std::uint64_t expo[] = {0x3FD91D4DBCA40FAAULL, 0x3FDED36BC021E789ULL, 0x3FDC862BDC96BBB6ULL};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(bits(exponential(e, 1.0)), expo[i]);
        EXPECT_EQ(e, advanced(0, i + 1));
    }
    e = Xoshiro256PlusPlus::from_seed(0);
    const std::uint64_t lap[] = {0xBFB6D8780DF75F7CULL, 0x3FDBC966A5F3C711ULL, 0x3FE536E7647FDD59ULL};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(bits(laplace(e, 0.0, 1.0)), lap[i]);
        EXPECT_EQ(e, advanced(0, 2 * (i + 1)));
    }
    e = Xoshiro256PlusPlus::from_seed(0);
    const std::uint64_t cau[] = {0xBFE3AB1CAF91CB79ULL, 0xBFD8D1EC7A635F3EULL, 0xBFDE35CE0181B285ULL};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(bits(cauchy(e, 0.0, 1.0)), cau[i]);
        EXPECT_EQ(e, advanced(0, i + 1));
    }
    e = Xoshiro256PlusPlus::from_seed(0);
    EXPECT_EQ(bits(cauchy(e, -3.0, 2.0)), bits(-4.229275403803255));
}

TEST(ContinuousInversion, ZeroOutputs) {
    Generator g = zero_outputs_generator();
    EXPECT_EQ(bits(exponential(g.engine, 3.0)), bits(-0.0));  // w = 1, -(3 * +0.0)
    g = zero_outputs_generator();
    EXPECT_EQ(bits(laplace(g.engine, 0.0, 1.0)), bits(0.0));  // ln 1 - ln 1 = +0
    g = zero_outputs_generator();
    // angle -pi/2 rounded, t = -1.6331239354134602e+16
    EXPECT_EQ(bits(cauchy(g.engine, 0.0, 1.0)), 0xC34D02967C38F825ULL);
}

// --- standard_gamma ---------------------------------------------------------------------

struct GammaCase {
    std::uint64_t seed;
    double value;
    int outputs;
    bool pending;
    double pending_value;
};

TEST(ContinuousGamma, RejectionPathsValuesOutputsAndPendingNormal) {
    const GammaCase cases[] = {
        // log test accepts in the first attempt: pair + u; the sine member stays pending
        {3, 0.04427623104224786, 3, true, -1.9518851161400188},
        // log test rejects, then the squeeze accepts with the cached sine member
        {25, 0.34309886905110204, 4, false, 0.0},
        // s <= 0 draws no uniform; the second attempt uses the cached member and a uniform
        {140, 0.4128876234239435, 3, false, 0.0},
        // rejected, then accepted, both by the log test
        {239, 4.546925100823645, 4, false, 0.0},
        // seed 0 shape 1: accepted in the first attempt
        {0, 0.10952990281789315, 3, true, 1.0114416320093498},
    };
    for (const GammaCase& c : cases) {
        Generator g = Generator::from_seed(c.seed);
        EXPECT_EQ(bits(standard_gamma(g, 1.0)), bits(c.value)) << "seed " << c.seed;
        EXPECT_EQ(g.engine, advanced(c.seed, c.outputs)) << "seed " << c.seed;
        EXPECT_EQ(g.has_cached_normal, c.pending) << "seed " << c.seed;
        if (c.pending) {
            EXPECT_EQ(bits(g.cached_normal), bits(c.pending_value)) << "seed " << c.seed;
        }
    }
}

TEST(ContinuousGamma, Seed0WorkedValues) {
    Generator g = Generator::from_seed(0);
    EXPECT_EQ(bits(gamma(g, 2.5, 1.0)), bits(0.9108053946816232));
    EXPECT_TRUE(g.has_cached_normal);
    EXPECT_EQ(bits(g.cached_normal), bits(1.0114416320093498));
    g = Generator::from_seed(0);
    EXPECT_EQ(bits(gamma(g, 0.5, 1.0)), bits(0.04741673199200492));
    EXPECT_EQ(bits(g.cached_normal), bits(1.0707271825228197));
    g = Generator::from_seed(0);
    EXPECT_EQ(bits(beta(g, 2.0, 3.0)), bits(0.11466549111208471));
    g = Generator::from_seed(0);
    EXPECT_EQ(bits(chisquare(g, 3.0)), bits(0.6650228792907993));
    g = Generator::from_seed(0);
    EXPECT_EQ(bits(student_t(g, 5.0)), bits(-0.8734246688339767));
}

TEST(ContinuousGamma, BoostDrawsItsUniformBeforeTheInnerDraw) {
    // Gamma(0.5) = Gamma(1.5) * u^2 with u from the very first output: the inner draw
    // runs on the stream advanced by one.
    Generator g = Generator::from_seed(0);
    const double boosted = standard_gamma(g, 0.5);

    Xoshiro256PlusPlus first = Xoshiro256PlusPlus::from_seed(0);
    const double u = next_f64_floored(first);
    Generator inner{false, 0.0, first};
    const double x = standard_gamma(inner, 1.5);
    EXPECT_EQ(bits(boosted), bits(x * portable_math::powf(u, 2.0)));
    EXPECT_EQ(g.engine, inner.engine);
    EXPECT_EQ(g.has_cached_normal, inner.has_cached_normal);
    EXPECT_EQ(bits(g.cached_normal), bits(inner.cached_normal));
}

TEST(ContinuousGamma, PendingNormalIsTheSamplersFirstX) {
    // normal then gamma(1) from seed 0: the sampler starts on the cached sine member, so
    // its first uniform is the third output.
    Generator a = Generator::from_seed(0);
    standard_normal(a);
    const double via_cache = standard_gamma(a, 1.0);

    Generator b{true, 1.0114416320093498, advanced(0, 2)};
    EXPECT_EQ(bits(standard_gamma(b, 1.0)), bits(via_cache));
    EXPECT_EQ(a.engine, b.engine);
}

TEST(ContinuousGamma, TinyShapeUnderflowsToZero) {
    Generator g = Generator::from_seed(0);
    EXPECT_EQ(bits(standard_gamma(g, 1e-200)), bits(0.0));
    // Exponents beyond the power function's domain (shape below ~7.5e-301) give the same
    // 0.0 factor rather than NaN, also for the largest shape whose exponent overflows to inf.
    for (const double shape : {7.4e-301, 1e-310, 5e-324}) {
        Generator h = Generator::from_seed(0);
        EXPECT_EQ(bits(standard_gamma(h, shape)), bits(0.0)) << shape;
    }
}

TEST(ContinuousGamma, StudentTNumeratorTakesThePendingNormal) {
    // With a pending normal, the numerator is that value and the gamma draw starts on an
    // empty cache: same as the chi-squared draw of a generator with nothing pending.
    Generator a{true, 0.75, advanced(5, 0)};
    const double t = student_t(a, 4.0);
    Generator b = Generator::from_seed(5);
    const double w = chisquare(b, 4.0);
    EXPECT_EQ(bits(t), bits(0.75 / std::sqrt(w / 4.0)));
    EXPECT_EQ(a.engine, b.engine);
}

// --- validation -------------------------------------------------------------------------

TEST(ContinuousValidation, MessagesAndOrder) {
    const double inf = std::bit_cast<double>(0x7FF0000000000000ULL);
    const double nan = std::bit_cast<double>(0x7FF8000000000000ULL);
    EXPECT_EQ(*check_normal(inf, -1.0), "scale must be a positive, finite number, got -1");
    EXPECT_EQ(*check_normal(nan, 1.0), "loc must be finite, got NaN");
    EXPECT_FALSE(check_normal(0.0, 5e-324));
    EXPECT_EQ(*check_lognormal(-inf, 1.0), "mean must be finite, got -inf");
    EXPECT_EQ(*check_lognormal(inf, 0.0), "sigma must be a positive, finite number, got 0");
    EXPECT_EQ(*check_exponential(nan), "scale must be a positive, finite number, got NaN");
    EXPECT_EQ(*check_laplace(inf, -1.0), "scale must be a positive, finite number, got -1");
    EXPECT_EQ(*check_cauchy(-inf, 1.0), "loc must be finite, got -inf");
    EXPECT_EQ(*check_gamma(0.0, -2.5), "shape must be a positive, finite number, got 0");
    EXPECT_EQ(*check_gamma(1.0, -2.5), "scale must be a positive, finite number, got -2.5");
    EXPECT_EQ(*check_beta(-0.0, 0.0), "a must be a positive, finite number, got -0");
    EXPECT_EQ(*check_beta(1.0, inf), "b must be a positive, finite number, got inf");
    EXPECT_EQ(*check_chisquare(-1.0), "df must be a positive, finite number, got -1");
    EXPECT_EQ(*check_student_t(nan), "df must be a positive, finite number, got NaN");
}

// --- multivariate_normal and dirichlet --------------------------------------------------

TEST(ContinuousMultivariate, WorkedValueOutputsAndUpperTriangleIgnored) {
    const std::vector<double> mean = {1.0, -1.0};
    for (const double upper : {0.0, 123.0}) {
        Generator g = Generator::from_seed(0);
        const std::vector<double> factor = {2.0, upper, 0.5, 1.0};
        std::vector<double> out(2);
        multivariate_normal(g, mean, factor, out);
        EXPECT_EQ(bits(out[0]), bits(-1.215817197267663));
        EXPECT_EQ(bits(out[1]), bits(-0.542512667307566));
        EXPECT_EQ(g.engine, advanced(0, 2));
        EXPECT_FALSE(g.has_cached_normal);
    }
}

TEST(ContinuousMultivariate, AllNormalsDrawnFirstAndOddSizeLeavesOnePending) {
    Generator g = Generator::from_seed(0);
    const std::vector<double> mean = {0.0, 0.0, 0.0};
    const std::vector<double> identity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::vector<double> out(3);
    multivariate_normal(g, mean, identity, out);
    Generator h = Generator::from_seed(0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(bits(out[i]), bits(standard_normal(h) + 0.0));
    EXPECT_EQ(g.engine, advanced(0, 4));
    EXPECT_TRUE(g.has_cached_normal);
    EXPECT_EQ(bits(g.cached_normal), bits(h.cached_normal));
}

TEST(ContinuousMultivariate, LengthCheck) {
    EXPECT_EQ(*check_multivariate_normal(2, 3),
              "cholesky_factor must have 2*2=4 entries (a flat, row-major 2x2 matrix) for a mean of "
              "length 2, got 3");
    EXPECT_EQ(*check_multivariate_normal(0, 1),
              "cholesky_factor must have 0*0=0 entries (a flat, row-major 0x0 matrix) for a mean of "
              "length 0, got 1");
    EXPECT_FALSE(check_multivariate_normal(0, 0));
    EXPECT_FALSE(check_multivariate_normal(3, 9));
    EXPECT_TRUE(check_multivariate_normal(3, 6));
    // 2^32 squared wraps to 0 in 64 bits; a factor of length 0 must still be rejected.
    EXPECT_TRUE(check_multivariate_normal(std::size_t{1} << 32, 0));
}

TEST(ContinuousDirichlet, WorkedValueAndSingleEntry) {
    Generator g = Generator::from_seed(0);
    std::vector<double> alpha = {1.0, 2.0, 3.0};
    std::vector<double> out(3);
    dirichlet(g, alpha, out);
    EXPECT_EQ(bits(out[0]), bits(0.012830738190140585));
    EXPECT_EQ(bits(out[1]), bits(0.39162565342605204));
    EXPECT_EQ(bits(out[2]), bits(0.5955436083838075));
    // In place gives the same bits.
    g = Generator::from_seed(0);
    dirichlet(g, alpha, alpha);
    EXPECT_EQ(alpha, out);

    // One entry: g / g = 1.0, exactly one gamma draw (seed 0, shape 1: three outputs).
    g = Generator::from_seed(0);
    std::vector<double> one = {1.0};
    dirichlet(g, one, one);
    EXPECT_EQ(bits(one[0]), bits(1.0));
    EXPECT_EQ(g.engine, advanced(0, 3));
}

TEST(ContinuousDirichlet, Checks) {
    EXPECT_EQ(*check_dirichlet({}), "dirichlet([]): alpha must have at least one entry");
    const std::vector<double> bad = {1.0, 0.0, -2.0};
    EXPECT_EQ(*check_dirichlet(bad), "alpha[1] must be a positive, finite number, got 0");
    const std::vector<double> nan_last = {1.0, 2.0, 3.0, std::bit_cast<double>(0x7FF8000000000000ULL)};
    EXPECT_EQ(*check_dirichlet(nan_last), "alpha[3] must be a positive, finite number, got NaN");
    EXPECT_FALSE(check_dirichlet(std::vector<double>{5e-324}));
}

}  // namespace
}  // namespace drawkit
