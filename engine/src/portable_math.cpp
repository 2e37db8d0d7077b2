// The two portable math functions that each serve a single draw: tan (Cauchy) and powf
// (the shape boost of the gamma draw below shape 1). The hot functions and all shared
// constants are in portable_math.hpp; the same rules hold here (binary64, one rounding
// per operation, grouping as written, no host math library).
#include "portable_math.hpp"

namespace drawkit::portable_math {

namespace {

// Veltkamp's splitter 2^27 + 1: a*splitter - (a*splitter - a) keeps the upper 26 bits
// of a's significand, so the two halves of a split multiply without rounding.
constexpr double kSplitter = std::bit_cast<double>(0x41A0000002000000ULL);            // 134217729.0
constexpr double kPrescaleBound = std::bit_cast<double>(0x4085E00000000000ULL);       // 700.0
constexpr double kMinusPrescaleBound = std::bit_cast<double>(0xC085E00000000000ULL);  // -700.0

constexpr std::uint64_t kPrescaleBoundBits = std::bit_cast<std::uint64_t>(kPrescaleBound);

}  // namespace

// tan(x).
//
// Method:
//   Reduce x = n*pi/2 + r once, S = sin_kernel(r), C = cos_kernel(r), and divide the
//   sine by the cosine as sin and cos would return them for quadrant q = n mod 4:
//   S/C, C/(-S), (-S)/(-C), (-C)/S. The result therefore has exactly the bits of
//   sin(x) / cos(x); there is no tangent kernel of its own. Numerator and denominator
//   are selected without a branch on the quadrant, as in sin and cos.
// Special cases:
//   tan(NaN) = tan(+-inf) = NaN; tan(x) = NaN for |x| >= 1e6. tan(+-0) = +0.
//   A zero cosine would give a signed infinity by IEEE division (no finite double
//   reduces to one).
double tan(double x) noexcept {
    if (detail::beyond_reduction_limit(x)) return detail::kNaN;
    const ReducedAngle a = reduce_pio2(x);
    const double s = sin_kernel(a.r);
    const double c = cos_kernel(a.r);
    return detail::quadrant_value(s, c, a.q) / detail::quadrant_value(s, c, a.q + 1);
}

// powf(x, y): x^y for a positive base, binary64 in and out.
//
// Method:
//   x^y = exp(y * ln x), with the product carried in double-double so that the ~11 bits
//   of y*ln x above the binary point do not eat into the result's precision:
//   1. ln x as head + tail (ln_head_tail; +inf gives head = +inf, tail = +0).
//   2. p = y*head rounded; its exact error e by Dekker's product: y and head are split
//      by Veltkamp (splitter 2^27 + 1) into halves whose pairwise products are exact,
//      e = yl*hl + (yl*hh + ((yh*hh - p) + yh*hl)).
//   3. q = y*tail + e, the small remainder; zz = p + q estimates ln of the result and
//      decides overflow and underflow against the thresholds of exp.
//   4. Near those thresholds the result or an intermediate would leave the normal range,
//      so the argument is pre-scaled: m = +512 for zz > 700, -512 for zz < -700, else 0,
//      and arg = (p - m*ln2_hi) - m*ln2_lo (m*ln2_hi exact).
//   5. exp(q) ~ 1 + q + q^2/2 as the correction factor (|q| is below about 2^-42
//      for finite results), r = corr * exp(arg), and the result is r * 2^m in one rounding,
//      also when it is subnormal.
//   Not correctly rounded: 2^1023 comes out as 0x7FE0000000000035.
// Special cases (tested in this order):
//   powf(x, y) = NaN if x or y is NaN (so powf(NaN, 0) = powf(1, NaN) = NaN);
//   powf(x, +-0) = 1;
//   powf(+-0, y) = +0 for y > 0, +inf for y < 0;
//   powf(x, y) = NaN for x < 0, including -inf (no integer-exponent case);
//   powf(1, y) = 1 (also y = +-inf);
//   results beyond the range of exp give +inf or +0.
//   Operands the splitting cannot take: x = +inf with y != 0, y = +-inf with x != 1,
//   and |y| > 1.3393857490036326e+300 (y*splitter overflows) meet inf - inf in step 2
//   and give NaN, e.g. powf(+inf, 1), powf(0.5, +inf), powf(2, 1e301).
double powf(double x, double y) noexcept {
    using namespace detail;
    // The common case, x positive finite and not 1 and y finite and non-zero, passes on
    // integer tests alone (a pattern minus one below that of +inf minus one means
    // positive and finite); everything else goes through the special values in order.
    const std::uint64_t xb = std::bit_cast<std::uint64_t>(x);
    const std::uint64_t yb = std::bit_cast<std::uint64_t>(y);
    if (xb - 1 >= kInfBits - 1 || xb == kOneBits || (yb & kAbsMask) - 1 >= kInfBits - 1)
        [[unlikely]] {
        if (x != x || y != y) return kNaN;
        if (y == 0.0) return 1.0;
        if (x == 0.0) return y > 0.0 ? 0.0 : kInf;
        if (x < 0.0) return kNaN;
        if (x == 1.0) return 1.0;
    }

    const HeadTail lg = xb == kInfBits ? HeadTail{kInf, 0.0} : ln_head_tail(x);
    const double p = y * lg.head;

    const double a = y * kSplitter;
    const double yh = a - (a - y);
    const double yl = y - yh;
    const double c = lg.head * kSplitter;
    const double hh = c - (c - lg.head);
    const double hl = lg.head - hh;
    const double e = yl * hl + (yl * hh + ((yh * hh - p) + yh * hl));

    const double q = y * lg.tail + e;
    const double zz = p + q;
    const double corr = (q + q * (q * 0.5)) + 1.0;

    // |zz| < 700 passes both thresholds and means m = 0. Then arg = (p + 0*(-ln2_hi)) +
    // 0*(-ln2_lo) adds -0.0 twice, which leaves p unchanged, and the final factor 2^0 = 1
    // is exact, so the result is corr * exp(p). The test is on the integer pattern to keep
    // it off the floating-point ports; NaN and the rest take the literal tests.
    if ((std::bit_cast<std::uint64_t>(zz) & kAbsMask) < kPrescaleBoundBits) [[likely]] {
        return corr * exp(p);
    }
    if (zz > kExpOverflow) return kInf;
    if (zz < kExpUnderflow) return 0.0;  // a NaN zz passes both tests and stays NaN
    const std::int32_t m = zz > kPrescaleBound ? 512 : (zz < kMinusPrescaleBound ? -512 : 0);
    const double mf = static_cast<double>(m);
    const double arg = (p + mf * kMinusLn2Hi) + mf * kMinusLn2Lo;
    const double r = corr * exp(arg);
    if (is_zero_inf_or_nan(r)) return r;
    return r * pow2_normal(m);
}

}  // namespace drawkit::portable_math
