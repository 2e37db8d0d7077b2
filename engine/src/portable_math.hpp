// Portable binary64 math: ln, exp, sin, cos, tan and powf.
//
// Every draw has to come out as the same bits on every platform, so no transcendental
// function here comes from the host's math library. Each function is a fixed sequence of
// binary64 operations, each one rounded to nearest with ties to even, in exactly the
// grouping written below. The build forbids contraction into fused multiply-adds
// (-ffp-contract=off) and wider intermediates; nothing here may be "simplified": in
// (t + 2^52) - 2^52 the rounding of the inner sum is the whole point.
//
// The argument reductions and the polynomial coefficients are fdlibm's (Lg1..Lg7, P1..P5,
// S1..S6, C1..C6 keep fdlibm's names). The order of the special-value tests, the rounding
// of the reduction multiples and the final assemblies are this module's own, so results
// may differ from fdlibm (and from a correctly rounded library) in the last bit; the
// operation sequences below, not closeness to the true value, define the results.
//
// Every constant is built from its 64-bit pattern, which is the authority; the decimal in
// the comment is its shortest round-trip form. A NaN returned as a constant is the quiet
// NaN 0x7FF8000000000000, whatever NaN came in. No function sets flags or reads the
// floating-point environment; all are pure and thread-safe.
//
// Every arithmetic operation on a double is the one the sequence prescribes. What is free
// is how a branch is decided: special-value tests, the sign of t in round_ties_even, the
// m > sqrt2 test of ln and the quadrant choice of sin and cos are done on bit patterns,
// without data-dependent branches, where that is faster. Each such place says why it
// decides exactly as the comparison would.
//
// ln, exp, sin and cos sit on the per-draw paths of the continuous distributions and are
// defined here, inline, so that callers compile them in place: a sine and a cosine of the
// same angle (the Box-Muller pair) then share one reduction and one pair of kernels,
// which measured about 40% faster than two calls. tan and powf, each used by a single
// draw, live in portable_math.cpp.
#pragma once

#include <bit>
#include <cstdint>

#include "fp_model.hpp"

namespace drawkit::portable_math {

namespace detail {

inline constexpr double kNaN = std::bit_cast<double>(0x7FF8000000000000ULL);
inline constexpr double kInf = std::bit_cast<double>(0x7FF0000000000000ULL);
inline constexpr std::uint64_t kAbsMask = 0x7FFFFFFFFFFFFFFFULL;
inline constexpr std::uint64_t kSignMask = 0x8000000000000000ULL;
inline constexpr std::uint64_t kInfBits = 0x7FF0000000000000ULL;
inline constexpr std::uint64_t kFractionMask = 0x000FFFFFFFFFFFFFULL;
inline constexpr std::uint64_t kOneBits = 0x3FF0000000000000ULL;  // 1.0

inline constexpr double kTwo52 =
    std::bit_cast<double>(0x4330000000000000ULL);  // 4503599627370496.0
inline constexpr double kMinusTwo52 =
    std::bit_cast<double>(0xC330000000000000ULL);  // -4503599627370496.0
inline constexpr double kTwo54 =
    std::bit_cast<double>(0x4350000000000000ULL);  // 18014398509481984.0
inline constexpr double kTwo1023 =
    std::bit_cast<double>(0x7FE0000000000000ULL);  // 8.98846567431158e+307
inline constexpr double kTwoMinus1022 =
    std::bit_cast<double>(0x0010000000000000ULL);  // 2.2250738585072014e-308

// ln
inline constexpr double kSqrt2 =
    std::bit_cast<double>(0x3FF6A09E667F3BCDULL);  // 1.4142135623730951
inline constexpr std::uint64_t kSqrt2Fraction =
    std::bit_cast<std::uint64_t>(kSqrt2) & kFractionMask;
inline constexpr std::uint64_t kImplicitBit = 0x0010000000000000ULL;          // 2^52
inline constexpr double kLg1 = std::bit_cast<double>(0x3FE5555555555593ULL);  // 0.6666666666666735
inline constexpr double kLg2 = std::bit_cast<double>(0x3FD999999997FA04ULL);  // 0.3999999999940942
inline constexpr double kLg3 = std::bit_cast<double>(0x3FD2492494229359ULL);  // 0.2857142874366239
inline constexpr double kLg4 = std::bit_cast<double>(0x3FCC71C51D8E78AFULL);  // 0.22222198432149784
inline constexpr double kLg5 = std::bit_cast<double>(0x3FC7466496CB03DEULL);  // 0.1818357216161805
inline constexpr double kLg6 = std::bit_cast<double>(0x3FC39A09D078C69FULL);  // 0.15313837699209373
inline constexpr double kLg7 = std::bit_cast<double>(0x3FC2F112DF3E5244ULL);  // 0.14798198605116586
// ln 2 = ln2_hi + ln2_lo; ln2_hi has 32 significant bits, so k * ln2_hi is exact for
// every |k| < 2^21, which covers every reduction multiple of ln, exp and powf.
inline constexpr double kLn2Hi =
    std::bit_cast<double>(0x3FE62E42FEE00000ULL);  // 0.6931471803691238
inline constexpr double kLn2Lo =
    std::bit_cast<double>(0x3DEA39EF35793C76ULL);  // 1.9082149292705877e-10
inline constexpr double kMinusLn2Hi =
    std::bit_cast<double>(0xBFE62E42FEE00000ULL);  // -0.6931471803691238
inline constexpr double kMinusLn2Lo =
    std::bit_cast<double>(0xBDEA39EF35793C76ULL);  // -1.9082149292705877e-10

// exp
inline constexpr double kExpOverflow =
    std::bit_cast<double>(0x40862E42FEFA39EFULL);  // 709.782712893384
inline constexpr double kExpUnderflow =
    std::bit_cast<double>(0xC0874910D52D3051ULL);  // -745.1332191019411
inline constexpr double kInvLn2 =
    std::bit_cast<double>(0x3FF71547652B82FEULL);                            // 1.4426950408889634
inline constexpr std::uint64_t kExpCheckBoundBits = 0x4080000000000000ULL;   // 512.0
inline constexpr double kP1 = std::bit_cast<double>(0x3FC555555555553EULL);  // 0.16666666666666602
inline constexpr double kP2 =
    std::bit_cast<double>(0xBF66C16C16BEBD93ULL);  // -0.0027777777777015593
inline constexpr double kP3 =
    std::bit_cast<double>(0x3F11566AAF25DE2CULL);  // 6.613756321437934e-05
inline constexpr double kP4 =
    std::bit_cast<double>(0xBEBBBD41C5D26BF1ULL);  // -1.6533902205465252e-06
inline constexpr double kP5 =
    std::bit_cast<double>(0x3E66376972BEA4D0ULL);  // 4.1381367970572385e-08

// sin, cos, tan
inline constexpr std::uint64_t kReductionLimitBits = 0x412E848000000000ULL;  // 1000000.0
inline constexpr double kInvPio2 =
    std::bit_cast<double>(0x3FE45F306DC9C883ULL);  // 0.6366197723675814
// pi/2 = pio2_1 + pio2_1t + O(2^-85): pio2_1 has 33 significant bits, so kf * pio2_1 is
// exact for every |kf| < 2^20, i.e. below the reduction limit.
inline constexpr double kMinusPio2_1 =
    std::bit_cast<double>(0xBFF921FB54400000ULL);  // -1.5707963267341256
inline constexpr double kMinusPio2_1t =
    std::bit_cast<double>(0xBDD0B4611A626331ULL);  // -6.077100506506192e-11
inline constexpr double kS1 = std::bit_cast<double>(0xBFC5555555555549ULL);  // -0.16666666666666632
inline constexpr double kS2 = std::bit_cast<double>(0x3F8111111110F8A6ULL);  // 0.00833333333332249
inline constexpr double kS3 =
    std::bit_cast<double>(0xBF2A01A019C161D5ULL);  // -0.0001984126982985795
inline constexpr double kS4 =
    std::bit_cast<double>(0x3EC71DE357B1FE7DULL);  // 2.7557313707070068e-06
inline constexpr double kS5 =
    std::bit_cast<double>(0xBE5AE5E68A2B9CEBULL);  // -2.5050760253406863e-08
inline constexpr double kS6 = std::bit_cast<double>(0x3DE5D93A5ACFD57CULL);  // 1.58969099521155e-10
inline constexpr double kC1 = std::bit_cast<double>(0x3FA555555555554CULL);  // 0.0416666666666666
inline constexpr double kC2 =
    std::bit_cast<double>(0xBF56C16C16C15177ULL);  // -0.001388888888887411
inline constexpr double kC3 =
    std::bit_cast<double>(0x3EFA01A019CB1590ULL);  // 2.480158728947673e-05
inline constexpr double kC4 =
    std::bit_cast<double>(0xBE927E4F809C52ADULL);  // -2.7557314351390663e-07
inline constexpr double kC5 =
    std::bit_cast<double>(0x3E21EE9EBDB4B1C4ULL);  // 2.087572321298175e-09
inline constexpr double kC6 =
    std::bit_cast<double>(0xBDA8FAE9BE8838D4ULL);  // -1.1359647557788195e-11

// 2^n for a normal exponent, -1022 <= n <= 1023: the biased exponent placed in its field.
inline constexpr double pow2_normal(std::int32_t n) noexcept {
    return std::bit_cast<double>(static_cast<std::uint64_t>(n + 1023) << 52);
}

// True for +-0, +-inf and NaN: the values that scaling by a power of two leaves alone.
inline constexpr bool is_zero_inf_or_nan(double y) noexcept {
    const std::uint64_t a = std::bit_cast<std::uint64_t>(y) & kAbsMask;
    return a == 0 || a >= kInfBits;
}

// The sine of x from the kernels of its reduced argument: by quadrant q = 0..3 it is
// S, C, -S, -C (and the cosine is the same table at q + 1). Selected with bit operations
// rather than a branch on q: a quadrant of a random angle is unpredictable, and a
// mispredicted branch costs more than both kernels. Negation is the sign-bit flip.
inline double quadrant_value(double s, double c, std::uint32_t q) noexcept {
    const std::uint64_t odd = std::uint64_t{0} - (q & 1U);  // all ones for q = 1, 3
    const std::uint64_t v =
        (std::bit_cast<std::uint64_t>(c) & odd) | (std::bit_cast<std::uint64_t>(s) & ~odd);
    return std::bit_cast<double>(v ^ (static_cast<std::uint64_t>(q & 2U) << 62));
}

// True for +-inf, NaN and every finite |x| >= 1e6. For non-negative doubles the order of
// the bit patterns is the order of the values, and the patterns of inf and NaN lie above
// every finite one, so one integer comparison covers both rejections of the trigonometric
// functions.
inline constexpr bool beyond_reduction_limit(double x) noexcept {
    return (std::bit_cast<std::uint64_t>(x) & kAbsMask) >= kReductionLimitBits;
}

}  // namespace detail

// round_ties_even(t): the integer nearest to a finite t, ties to even.
//
// Method:
//   For |t| < 2^52, adding 2^52 moves t into the binade whose spacing is 1, so the
//   addition itself rounds t to an integer under the ambient round-to-nearest-even;
//   subtracting 2^52 again is exact. Negative t is handled on its magnitude,
//   -((2^52 - t) - 2^52), so that the rounding happens in the same binade.
//   |t| >= 2^52 is already an integer.
//   Written without a branch on the sign (exp's arguments have random signs): for t < 0,
//   two52 - t is the same rounded operation as |t| + two52, and the final negation of
//   a result >= +0 is setting its sign bit. t < 0 is read from the pattern: sign bit set
//   and magnitude non-zero.
// Special cases:
//   -0.5 -> -0.0; -0.0 is not below zero and gives +0.0.
//   Callers convert the result to int32 by truncation, which is exact.
inline double round_ties_even(double t) noexcept {
    using namespace detail;
    const std::uint64_t b = std::bit_cast<std::uint64_t>(t);
    const std::uint64_t magnitude = b & kAbsMask;
    if (magnitude >= std::bit_cast<std::uint64_t>(kTwo52)) [[unlikely]]
        return t;
    const std::uint64_t negative = magnitude != 0 ? b & kSignMask : 0;
    const double r = (std::bit_cast<double>(magnitude) + kTwo52) + kMinusTwo52;
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(r) | negative);
}

// scale_by_pow2(y, n): y * 2^n by stepwise multiplication.
//
// Method:
//   While n > 1023, multiply by 2^1023 and take 1023 from n; while n <= -1023, multiply
//   by 2^-1022 and add 1022 to n; then one multiplication by the normal 2^n. A result in
//   the subnormal range is thus rounded twice (by the 2^-1022 step and by the last
//   product). That double rounding is part of the defined result: exp(-710.513801076869)
//   ends in ...3E this way, a single rounding would give ...3D.
// Special cases:
//   y = +-0, +-inf or NaN is returned unchanged. Overflow and underflow come from the
//   products (+-inf, +-0), so the loop ends after at most a few passes for any n.
inline double scale_by_pow2(double y, std::int32_t n) noexcept {
    using namespace detail;
    for (;;) {
        if (is_zero_inf_or_nan(y)) return y;
        if (n > 1023) {
            y = y * kTwo1023;
            n = n - 1023;
        } else if (n > -1023) {
            return y * pow2_normal(n);
        } else {
            y = y * kTwoMinus1022;
            n = n + 1022;
        }
    }
}

// The logarithm as an unevaluated sum head + tail (head carries the rounded sum of the
// leading terms, tail the rest, |tail| about an ulp of head or less).
struct HeadTail {
    double head;
    double tail;
};

// ln_head_tail(x): ln(x) for a positive finite x as head + tail.
//
// Method:
//   1. Argument reduction: find k and m with x = 2^k * m, sqrt(2)/2 < m <= sqrt(2):
//      take the exponent and fraction of x (a subnormal x is first scaled by 2^54), put
//      the fraction under the exponent of 1.0, and halve m once if it exceeds sqrt(2).
//   2. ln(m) = ln(1+f), f = m - 1. With s = f/(2+f),
//         ln(1+f) = ln(1+s) - ln(1-s) = 2s + 2/3 s^3 + 2/5 s^5 + ...
//                 = 2s + s*R(z),  z = s^2,
//      where R(z) ~ Lg1*z + Lg2*z^2 + ... + Lg7*z^7 is fdlibm's minimax fit (error below
//      2^-58.45), evaluated as odd and even halves in w = z^2 to shorten the chain.
//      Since 2s = f - s*f = f - hfsq + s*hfsq with hfsq = f^2/2,
//         ln(1+f) = f + (s*(hfsq + R) - hfsq)
//      keeps the large f out of every rounded product.
//   3. Assembly: ln(x) = k*ln2_hi + ln(1+f) + k*ln2_lo. k*ln2_hi and k*ln2_lo are exact
//      and rounded single products; the sum hi + ln(1+f) is formed with its exact
//      rounding error (two-sum), and that error joins k*ln2_lo in the tail.
// Special cases:
//   None: the caller has ruled out x <= 0, infinities and NaN.
inline HeadTail ln_head_tail(double x) noexcept {
    using namespace detail;
    std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    std::int32_t k;
    const auto e = static_cast<std::int32_t>(bits >> 52);
    if (e == 0) {
        // Subnormal: scaling by 2^54 is exact and makes the exponent field usable.
        bits = std::bit_cast<std::uint64_t>(x * kTwo54);
        k = static_cast<std::int32_t>(bits >> 52) - 1077;
    } else {
        k = e - 1023;
    }
    // m = 1.fraction, halved (exactly: exponent field 0x3FE) with k + 1 when m > sqrt2.
    // For m in [1, 2) that comparison is one of the fraction fields, done here as the
    // carry into bit 52 of fraction + (2^52 - (sqrt2's fraction + 1)), so that no branch
    // depends on the (random) mantissa of the argument.
    const std::uint64_t fraction = bits & kFractionMask;
    const std::uint64_t halve = (fraction + (kImplicitBit - (kSqrt2Fraction + 1))) >> 52;  // 0 or 1
    const double m = std::bit_cast<double>(fraction | (((kOneBits >> 52) - halve) << 52));
    k = k + static_cast<std::int32_t>(halve);
    const double f = m + -1.0;
    const double s = f / (f + 2.0);
    const double z = s * s;
    const double w = z * z;
    const double t1 = w * (kLg2 + w * (kLg4 + w * kLg6));
    const double t2 = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7)));
    const double r = t1 + t2;
    const double hfsq = f * (f * 0.5);
    const double lnf = f + (s * (hfsq + r) - hfsq);
    const double dk = static_cast<double>(k);
    const double hi = dk * kLn2Hi;
    const double lo = dk * kLn2Lo;
    const double sum = hi + lnf;
    const double bv = sum - hi;
    const double av = sum - bv;
    const double err = (lnf - bv) + (hi - av);
    return {sum, lo + err};
}

// ln(x): the natural logarithm.
//
// Method:
//   head + tail of ln_head_tail, one rounded addition.
// Special cases:
//   ln(x) = NaN for x < 0 (including -inf) and for NaN;
//   ln(+-0) = -inf; ln(+inf) = +inf; ln(1) = +0.
inline double ln(double x) noexcept {
    using namespace detail;
    // One integer test lets every positive finite x through: its pattern minus one is
    // below that of +inf minus one; +-0, negatives, +-inf and NaN all fail it.
    if (std::bit_cast<std::uint64_t>(x) - 1 >= kInfBits - 1) [[unlikely]] {
        if (!(x >= 0.0)) return kNaN;  // negative (-inf included) or NaN
        if (x == 0.0) return -kInf;    // either sign
        return kInf;                   // the one value left: +inf
    }
    const HeadTail p = ln_head_tail(x);
    return p.head + p.tail;
}

// exp(x): e to the power x.
//
// Method:
//   1. Argument reduction: x = k*ln2 + r, |r| <= ln2/2 (up to the rounding of k):
//      k = round_ties_even(x / ln2), then r = hi - lo with hi = x - k*ln2_hi (exact
//      product) and lo = k*ln2_lo, r kept as the one value hi - lo.
//   2. exp(r) by fdlibm's rational form: with z = r^2 and
//         c = r - z*(P1 + z*(P2 + z*(P3 + z*(P4 + z*P5)))),
//      exp(r) = 1 + 2r/(2 - c) = 1 + r + r*c/(2 - c).
//   3. Assembly: for k = 0, exp(x) = (r - r*c/(c - 2)) + 1; otherwise
//      y = (hi - (lo - r*c/(2 - c))) + 1, which uses hi and lo separately so that the
//      rounding of r does not enter the leading terms, and exp(x) = y * 2^k by
//      scale_by_pow2, which rounds a subnormal result twice.
//   There is no shortcut for tiny |x| or for |x| near ln 2: every finite x between the
//   thresholds takes these steps.
// Special cases:
//   exp(NaN) = NaN; exp(x) = +inf for x > 709.782712893384 (so exp(+inf) = +inf);
//   exp(x) = +0 for x < -745.1332191019411 (so exp(-inf) = +0). Both thresholds are strict.
inline double exp(double x) noexcept {
    using namespace detail;
    // |x| < 512 lies well inside both thresholds: one integer test on the common path,
    // the special values in order otherwise.
    if ((std::bit_cast<std::uint64_t>(x) & kAbsMask) >= kExpCheckBoundBits) [[unlikely]] {
        if (x != x) return kNaN;
        if (x > kExpOverflow) return kInf;
        if (x < kExpUnderflow) return 0.0;
    }
    const double t = x * kInvLn2;
    const double kf = round_ties_even(t);
    const auto k = static_cast<std::int32_t>(kf);  // -1075 <= k <= 1024
    const double hi = x + kf * kMinusLn2Hi;
    const double lo = kf * kLn2Lo;
    const double r = hi - lo;
    const double z = r * r;
    const double c = r - z * (kP1 + z * (kP2 + z * (kP3 + z * (kP4 + z * kP5))));
    const double rc = r * c;
    if (k == 0) return (r - rc / (c - 2.0)) + 1.0;
    const double y = (hi - (lo - rc / (2.0 - c))) + 1.0;
    // y lies in [0.7, 1.5], so for -1023 < k <= 1023 scale_by_pow2 is this one product.
    if (static_cast<std::uint32_t>(k + 1022) <= 2045U) [[likely]]
        return y * pow2_normal(k);
    return scale_by_pow2(y, k);
}

// A reduced angle: x = n*pi/2 + r with q = n mod 4.
struct ReducedAngle {
    std::uint32_t q;  // quadrant, 0..3
    double r;         // reduced argument, |r| <= pi/4 up to rounding
};

// reduce_pio2(x): x = n*(pi/2) + r for |x| < 1e6.
//
// Method:
//   n = round_ties_even(x * 2/pi); q = n mod 4 (the low two bits of n in two's
//   complement, so also for negative n). Two-term Cody-Waite reduction with a 33-bit
//   leading part of pi/2: r = (x - n*pio2_1) - n*pio2_1t, where n*pio2_1 is exact for
//   |n| < 2^20 and x - n*pio2_1 is exact by Sterbenz's lemma whenever n != 0. The
//   absolute error of r, from the rounding of n*pio2_1t and the omitted third part of
//   pi/2, is a few times |n| * 2^-88 (below 2^-66 under the limit): tiny against 1, but
//   not against r itself near the zeros of the result, where sin and cos lose relative
//   accuracy. No further correction term is formed.
// Special cases:
//   None here; the callers reject |x| >= 1e6, infinities and NaN.
inline ReducedAngle reduce_pio2(double x) noexcept {
    using namespace detail;
    const double t = x * kInvPio2;
    const double kf = round_ties_even(t);
    const auto n = static_cast<std::int32_t>(kf);
    const double r = (x + kf * kMinusPio2_1) + kf * kMinusPio2_1t;
    return {static_cast<std::uint32_t>(n) & 3U, r};
}

// sin_kernel(r): sin(r) on |r| <= ~pi/4.
//
// Method:
//   sin(r) = r + r^3*(S1 + z*(S2 + ... + z*S6)), z = r^2, fdlibm's odd minimax polynomial
//   (error below 2^-58 on [0, pi/4]); assembled as r + (r*z)*p so that r enters last and
//   unrounded. No tail of r is carried.
inline double sin_kernel(double r) noexcept {
    using namespace detail;
    const double z = r * r;
    const double p = kS1 + z * (kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * kS6))));
    return r + (r * z) * p;
}

// cos_kernel(r): cos(r) on |r| <= ~pi/4.
//
// Method:
//   cos(r) = 1 - r^2/2 + r^4*(C1 + z*(C2 + ... + z*C6)), z = r^2, fdlibm's even minimax
//   polynomial, assembled simply as (z*(-0.5) + 1) + z*(z*p), without fdlibm's extra
//   correction for |r| > 0.3.
inline double cos_kernel(double r) noexcept {
    using namespace detail;
    const double z = r * r;
    const double p = kC1 + z * (kC2 + z * (kC3 + z * (kC4 + z * (kC5 + z * kC6))));
    const double h = z * -0.5 + 1.0;
    return h + z * (z * p);
}

// sin(x).
//
// Method:
//   Reduce x = n*pi/2 + r (reduce_pio2), S = sin_kernel(r), C = cos_kernel(r); by
//   quadrant q = n mod 4 the result is S, C, -S, -C. Both kernels are evaluated and
//   the result selected without a branch (quadrant_value).
// Special cases:
//   sin(NaN) = sin(+-inf) = NaN; sin(x) = NaN for |x| >= 1e6 (no large-argument
//   reduction). sin(+-0) = +0 (the kernel's last sum is -0 + +0 for -0).
//   sin(+-5e-324) = +-5e-324.
inline double sin(double x) noexcept {
    using namespace detail;
    if (beyond_reduction_limit(x)) return kNaN;
    const ReducedAngle a = reduce_pio2(x);
    return quadrant_value(sin_kernel(a.r), cos_kernel(a.r), a.q);
}

// cos(x).
//
// Method:
//   As sin; by quadrant q the result is C, -S, -C, S.
// Special cases:
//   cos(NaN) = cos(+-inf) = NaN; cos(x) = NaN for |x| >= 1e6. cos(+-0) = 1.
inline double cos(double x) noexcept {
    using namespace detail;
    if (beyond_reduction_limit(x)) return kNaN;
    const ReducedAngle a = reduce_pio2(x);
    return quadrant_value(sin_kernel(a.r), cos_kernel(a.r), a.q + 1);
}

// tan(x): exactly the bits of sin(x) / cos(x) (portable_math.cpp).
double tan(double x) noexcept;

// powf(x, y): x to the power y for a positive base, in binary64 (portable_math.cpp).
double powf(double x, double y) noexcept;

}  // namespace drawkit::portable_math
