// The engine, seeding, jump and the uniform primitives against their reference values.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "distributions.hpp"
#include "number_format.hpp"
#include "xoshiro256pp.hpp"

namespace drawkit {
namespace {

using E = Xoshiro256PlusPlus;

TEST(Engine, SeedZeroWordsAndOutputs) {
    E e = E::from_seed(0);
    EXPECT_EQ(e, (E{0xE220A8397B1DCDAFULL, 0x6E789E6AA1B965F4ULL, 0x06C45D188009454FULL, 0xF88BB8A8724C81ECULL}));
    EXPECT_EQ(e.next_u64(), 0x53175D61490B23DFULL);
    EXPECT_EQ(e.next_u64(), 0x61DA6F3DC380D507ULL);
    EXPECT_EQ(e.next_u64(), 0x5C0FDF91EC9A7BFCULL);
}

TEST(Engine, LargestSeed) {
    E e = E::from_seed(UINT64_MAX);
    EXPECT_EQ(e, (E{0xE4D971771B652C20ULL, 0xE99FF867DBF682C9ULL, 0x382FF84CB27281E9ULL, 0x6D1DB36CCBA982D2ULL}));
    EXPECT_EQ(e.next_u64(), 0x56CCF8CE948E27B2ULL);
}

TEST(Engine, JumpReferenceStates) {
    E e = E::from_seed(0);
    e.jump();
    EXPECT_EQ(e, (E{0xFEE4F58CD4A88D82ULL, 0xEB57CB7870F7D5A3ULL, 0x076F2D192BD2720FULL, 0xB0A71CB77110D77BULL}));
    E copy = e;
    EXPECT_EQ(copy.next_u64(), 0x2107D23F5380538BULL);
    e.jump();
    EXPECT_EQ(e, (E{0xB202109A7B981EBDULL, 0x30B21883A48916DCULL, 0xAF7233564CC4F636ULL, 0x97E12CBEEA73160BULL}));
}

TEST(Engine, ZeroStateIsAFixedPoint) {
    E e{};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(e.next_u64(), 0U);
    e.jump();
    EXPECT_TRUE(e.is_zero());
}

TEST(Engine, NextBelowConsumesOneOutputWithoutRejection) {
    E e = E::from_seed(0);
    EXPECT_EQ(e.next_below(10), 3U);
    EXPECT_EQ(e.next_below(10), 5U);
    EXPECT_EQ(e.next_below(10), 0U);
    E a = E::from_seed(0), b = E::from_seed(0);
    EXPECT_EQ(a.next_below(1), 0U);
    b.next_u64();
    EXPECT_EQ(a, b);
}

TEST(Engine, ClosedFormOfTheStep) {
    // The in-place update sequence must equal the closed form with the old values.
    E e{0x0123456789ABCDEFULL, 0xFEDCBA9876543210ULL, 0x0F1E2D3C4B5A6978ULL, 0x8796A5B4C3D2E1F0ULL};
    const E old = e;
    e.next_u64();
    EXPECT_EQ(e.s0, old.s0 ^ old.s1 ^ old.s3);
    EXPECT_EQ(e.s1, old.s0 ^ old.s1 ^ old.s2);
    EXPECT_EQ(e.s2, old.s0 ^ old.s2 ^ (old.s1 << 17));
    EXPECT_EQ(e.s3, E::rotl(old.s1 ^ old.s3, 45));
}

TEST(Uniform, FirstDrawsOfSeedZero) {
    E e = E::from_seed(0);
    EXPECT_EQ(next_f64(e), 0.3245752680314067);
    EXPECT_EQ(next_f64(e), 0.38223929651167343);
    EXPECT_EQ(next_f64(e), 0.3596172076473553);
    e = E::from_seed(0);
    EXPECT_EQ(uniform(e, 0.0, 10.0), 3.245752680314067);
    e = E::from_seed(0);
    EXPECT_EQ(integers(e, 0, 10), 3);
    e = E::from_seed(0);
    EXPECT_EQ(integers(e, -5, 5), -2);
    e = E::from_seed(0);
    EXPECT_EQ(integers(e, INT64_MIN, INT64_MAX), -3236015134823734305LL);
    e = E::from_seed(0);
    EXPECT_TRUE(bernoulli(e, 0.5));
}

TEST(Uniform, ExtremeOutputs) {
    // u = 1 - 2^-53 is the largest uniform; 1 + u rounds to 2 (ties to even), so uniform(1, 2)
    // can return 2.0 as computed.
    const double top = 1.0 - std::bit_cast<double>(0x3CA0000000000000ULL);
    EXPECT_EQ(1.0 + (2.0 - 1.0) * top, 2.0);
    // The all-zero engine gives u = 0, a complement of exactly 1 and the floored 2^-1022.
    E zero{};
    EXPECT_EQ(next_f64(zero), 0.0);
    EXPECT_EQ(next_f64_complement(zero), 1.0);
    EXPECT_EQ(next_f64_floored(zero), kMinNormal);
}

TEST(Uniform, FillWritesLittleEndianAndDiscardsTheTail) {
    E e = E::from_seed(0);
    std::vector<unsigned char> buf(10);
    fill(e, buf.data(), buf.size());
    const std::vector<unsigned char> want = {0xDF, 0x23, 0x0B, 0x49, 0x61, 0x5D, 0x17, 0x53, 0x07, 0xD5};
    EXPECT_EQ(buf, want);
    EXPECT_EQ(next_f64(e), 0.3596172076473553);  // the third output
    E f = E::from_seed(0);
    fill(f, nullptr, 0);
    EXPECT_EQ(f, E::from_seed(0));
}

TEST(Validators, Messages) {
    EXPECT_FALSE(require_positive("scale", 5e-324));
    EXPECT_EQ(require_positive("scale", 0.0).value(), "scale must be a positive, finite number, got 0");
    EXPECT_EQ(require_positive("scale", -0.0).value(), "scale must be a positive, finite number, got -0");
    EXPECT_EQ(require_positive("scale", -INFINITY).value(), "scale must be a positive, finite number, got -inf");
    EXPECT_EQ(require_positive("scale", NAN).value(), "scale must be a positive, finite number, got NaN");
    EXPECT_FALSE(require_probability(-0.0));
    EXPECT_FALSE(require_probability(1.0));
    EXPECT_EQ(require_probability(1.0000000000000002).value(),
              "p must be a probability between 0 and 1, got 1.0000000000000002");
    EXPECT_EQ(require_probability(NAN).value(), "p must be a probability between 0 and 1, got NaN");
    EXPECT_EQ(check_uniform(0.0, INFINITY).value(),
              "uniform(0, inf): high must be greater than low, and both must be finite");
    EXPECT_TRUE(check_uniform(0.0, 0.0));
    EXPECT_TRUE(check_uniform(NAN, 1.0));
    EXPECT_FALSE(check_uniform(-1e308, 1e308));
    EXPECT_EQ(check_integers(5, 5).value(), "integers(5, 5): high must be greater than low");
    EXPECT_EQ(check_integers(3, -7).value(), "integers(3, -7): high must be greater than low");
}

TEST(NumberFormat, ShortestPositional) {
    EXPECT_EQ(format_float(1.0), "1");
    EXPECT_EQ(format_float(0.5), "0.5");
    EXPECT_EQ(format_float(1e-7), "0.0000001");
    EXPECT_EQ(format_float(1e20), "100000000000000000000");
    EXPECT_EQ(format_float(-0.0), "-0");
    EXPECT_EQ(format_float(NAN), "NaN");
    EXPECT_EQ(format_float(-NAN), "NaN");
    EXPECT_EQ(format_float(INFINITY), "inf");
    EXPECT_EQ(format_float(-INFINITY), "-inf");
    EXPECT_EQ(format_float(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(format_float(5e-324).size(), 326U);  // "0." + 323 zeros + "5"
    EXPECT_EQ(format_float(1.7976931348623157e308).size(), 309U);
    EXPECT_EQ(format_int(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(format_uint(UINT64_MAX), "18446744073709551615");
}

}  // namespace
}  // namespace drawkit
