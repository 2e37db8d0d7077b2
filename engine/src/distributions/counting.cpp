#include "counting.hpp"

#include <cmath>

namespace drawkit {

namespace {

// PTRS constants (Hoermann 1993, table of the PTRS algorithm).
constexpr double kBSlope = std::bit_cast<double>(0x40043D70A3D70A3DULL);          // 2.53
constexpr double kBOffset = std::bit_cast<double>(0x3FEDCAC083126E98ULL);         // 0.931
constexpr double kASlope = std::bit_cast<double>(0x3F996D0917D6B65BULL);          // 0.02483
constexpr double kAOffset = std::bit_cast<double>(0xBFAE353F7CED9168ULL);         // -0.059
constexpr double kInvAlphaNum = std::bit_cast<double>(0x3FF21FF2E48E8A72ULL);     // 1.1328
constexpr double kInvAlphaPole = std::bit_cast<double>(0xC00B333333333333ULL);    // -3.4
constexpr double kInvAlphaOffset = std::bit_cast<double>(0x3FF1FB7E90FF9724ULL);  // 1.1239
constexpr double kVrNum = std::bit_cast<double>(0xC00CFAACD9E83E42ULL);           // -3.6224
constexpr double kVrPole = std::bit_cast<double>(0xC000000000000000ULL);          // -2.0
constexpr double kVrOffset = std::bit_cast<double>(0x3FEDAFB7E90FF972ULL);        // 0.9277
constexpr double kKOffset = std::bit_cast<double>(0x3FDB851EB851EB85ULL);         // 0.43
constexpr double kSqueezeUs = std::bit_cast<double>(0x3FB1EB851EB851ECULL);       // 0.07
constexpr double kTailUs = std::bit_cast<double>(0x3F8A9FBE76C8B439ULL);          // 0.013
constexpr double kMinusHalf = std::bit_cast<double>(0xBFE0000000000000ULL);       // -0.5

// ln_gamma constants: half of ln(2 pi) and the Stirling-series coefficients
// c_i = B_{2i+2} / ((2i+2)(2i+1)), c0 = 1/12 first.
constexpr double kHalfLn2Pi = std::bit_cast<double>(0x3FED67F1C864BEB4ULL);  // 0.9189385332046727
constexpr double kStirling[10] = {
    std::bit_cast<double>(0x3FB5555555555555ULL),  // c0  0.08333333333333333
    std::bit_cast<double>(0xBF66C16C16C16C17ULL),  // c1 -0.002777777777777778
    std::bit_cast<double>(0x3F4A01A01A01A01AULL),  // c2  0.0007936507936507937
    std::bit_cast<double>(0xBF43813813813813ULL),  // c3 -0.0005952380952380952
    std::bit_cast<double>(0x3F4B951E2B18FF24ULL),  // c4  0.0008417508417508418
    std::bit_cast<double>(0xBF5F6AB0D9993C7FULL),  // c5 -0.001917526917526918
    std::bit_cast<double>(0x3F7A41A41A41A41AULL),  // c6  0.00641025641025641
    std::bit_cast<double>(0xBF9E4286CB0F5397ULL),  // c7 -0.02955065359477124
    std::bit_cast<double>(0x3FC6FE96381E0685ULL),  // c8  0.1796443723688307
    std::bit_cast<double>(0xBFF6476701181F35ULL),  // c9 -1.3924322169059
};
constexpr double kSeven = std::bit_cast<double>(0x401C000000000000ULL);  // 7.0

}  // namespace

// ln Gamma(x), x an integer >= 1 in binary64.
//
// Method:
//   The Stirling series
//     ln Gamma(x) = (x - 1/2) ln x - x + ln(2 pi)/2 + sum_i c_i / x^(2i+1)
//   is accurate to double precision only from x = 7 on, so a smaller x is first raised
//   to x0 = 7 and the recurrence Gamma(x) = Gamma(x + 1) / x walked back down:
//   n = 7 - x steps of gl -= ln(x0 - 1). The series is evaluated by Horner's rule in
//   1/x0^2, c9 innermost.
// Special cases:
//   x = 1 and x = 2 return exactly 0.0.
double ln_gamma(double x) noexcept {
    if (x == 1.0 || x == 2.0) return 0.0;
    const bool small = x < kSeven;
    double x0;
    int n = 0;
    if (small) {
        n = static_cast<int>(floor_f64(kSeven - x));  // exact: x is an integer in [3, 6]
        x0 = x + static_cast<double>(n);
    } else {
        x0 = x + 0.0;
    }
    const double x2 = 1.0 / (x0 * x0);
    double g = kStirling[9];
    for (int i = 8; i >= 0; --i) g = g * x2 + kStirling[i];
    double gl = ((g / x0 + kHalfLn2Pi) + (x0 + kMinusHalf) * portable_math::ln(x0)) - x0;
    if (small) {
        for (int i = 0; i < n; ++i) {
            x0 = x0 + -1.0;
            gl = gl - portable_math::ln(x0);
        }
    }
    return gl;
}

namespace {

// The part of the set-up that the squeeze needs; the two logarithms and invalpha serve
// only the full test and are computed on the first attempt that reaches it (the same
// values either way: they depend on lam alone).
struct PtrsSqueeze {
    double b, a, vr, twoa;
};

inline PtrsSqueeze ptrs_squeeze(double lam) noexcept {
    PtrsSqueeze s;
    const double slam = std::sqrt(lam);  // IEEE square root, correctly rounded
    s.b = slam * kBSlope + kBOffset;
    s.a = s.b * kASlope + kAOffset;
    s.vr = kVrNum / (s.b + kVrPole) + kVrOffset;
    s.twoa = s.a + s.a;
    return s;
}

inline double ptrs_invalpha(double b) noexcept {
    return kInvAlphaNum / (b + kInvAlphaPole) + kInvAlphaOffset;
}

}  // namespace

PtrsSetup ptrs_setup(double lam) noexcept {
    const PtrsSqueeze q = ptrs_squeeze(lam);
    PtrsSetup s;
    s.loglam = portable_math::ln(lam);
    s.slam = std::sqrt(lam);
    s.b = q.b;
    s.a = q.a;
    s.invalpha = ptrs_invalpha(q.b);
    s.vr = q.vr;
    s.twoa = q.twoa;
    s.lninvalpha = portable_math::ln(s.invalpha);
    return s;
}

// PTRS: k = floor((2a/us + b) U + lam + 0.43) is a transformed uniform whose density hugs
// the Poisson probabilities; V decides acceptance. The squeeze (V <= vr, us >= 0.07)
// accepts most attempts without a logarithm; the tail of us below 0.013 with V > us is
// rejected outright; the rest goes to the full test
//   ln(V * invalpha / (a / us^2 + b)) <= k ln(lam) - lam - ln(k!).
// Both uniforms are drawn at the start of every attempt, so each attempt consumes exactly
// two outputs whichever branch decides it.
std::uint64_t poisson_ptrs(Xoshiro256PlusPlus& e, double lam) noexcept {
    const PtrsSqueeze s = ptrs_squeeze(lam);
    double loglam = 0.0, lninvalpha = 0.0;
    bool have_logs = false;
    for (;;) {
        const double u = next_f64(e) + kMinusHalf;  // exact, in [-0.5, 0.5)
        const double v = next_f64(e);
        const double us = 0.5 - std::fabs(u);  // exact, in [0, 0.5]
        // us = 0 (u = -0.5) gives twoa / us = +inf and kf = -inf, rejected below.
        double kf = (lam + u * (s.b + s.twoa / us)) + kKOffset;
        if (is_finite(kf)) kf = floor_f64(kf);
        if (v <= s.vr && us >= kSqueezeUs) return count_from_f64(kf);
        if (kf < 0.0) continue;
        if (us < kTailUs && v > us) continue;
        if (!have_logs) {
            loglam = portable_math::ln(lam);
            lninvalpha = portable_math::ln(ptrs_invalpha(s.b));
            have_logs = true;
        }
        // V = 0 makes lhs = -inf: accepted.
        const double lhs =
            (portable_math::ln(v) + lninvalpha) - portable_math::ln(s.b + s.a / (us * us));
        const double rhs = ((loglam * kf) - lam) - ln_gamma(kf + 1.0);
        if (lhs <= rhs) return count_from_f64(kf);
    }
}

std::string poisson_zero_state_message() {
    return "poisson(): an all-zero engine state never accepts a draw for lam >= 10";
}

std::string geometric_zero_message() {
    return "geometric(p=0.0): a trial that never succeeds has no defined number of trials";
}

}  // namespace drawkit
