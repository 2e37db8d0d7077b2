// Uniform primitives and the simplest draws.
//
// Every continuous draw rests on next_f64: the top 53 bits of one engine output read as
// an integer k and scaled by 2^-53, an exact multiple of 2^-53 in [0, 1 - 2^-53]. The
// conversion and the product are both exact, so the value is the same on every platform.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

#include "../generator.hpp"
#include "../poll.hpp"
#include "validate.hpp"

namespace drawkit {

inline constexpr double kTwoPowMinus53 = std::bit_cast<double>(0x3CA0000000000000ULL);  // 2^-53
inline constexpr double kMinusTwoPowMinus53 =
    std::bit_cast<double>(0xBCA0000000000000ULL);  // -2^-53
// Smallest positive normal double, the floor for uniforms that feed a logarithm.
inline constexpr double kMinNormal =
    std::bit_cast<double>(0x0010000000000000ULL);  // 2.2250738585072014e-308

inline double next_f64(Xoshiro256PlusPlus& e) noexcept {
    return static_cast<double>(e.next_u64() >> 11) * kTwoPowMinus53;
}

// 1 - next_f64 formed exactly as m * (-2^-53) + 1.0, in [2^-53, 1]: the logarithm of a
// complement uniform is always finite, with no guard needed.
inline double next_f64_complement(Xoshiro256PlusPlus& e) noexcept {
    const double m = static_cast<double>(e.next_u64() >> 11);
    const double p = m * kMinusTwoPowMinus53;
    return p + 1.0;
}

// next_f64 raised to the smallest normal double (only 0.0 is affected), so that its
// logarithm is finite.
inline double next_f64_floored(Xoshiro256PlusPlus& e) noexcept {
    const double u = next_f64(e);
    return u < kMinNormal ? kMinNormal : u;
}

// --- uniform --------------------------------------------------------------------------

[[gnu::cold]] std::string uniform_message(double low, double high);

// Both bounds finite and high > low (a NaN fails the comparison).
inline Invalid check_uniform(double low, double high) {
    if (is_finite(low) && is_finite(high) && high > low) [[likely]]
        return std::nullopt;
    return uniform_message(low, high);
}

// low + (high - low) * u, three separately rounded operations; the result is not clamped,
// so uniform(1, 2) can return 2.0 when u = 1 - 2^-53 rounds up.
inline double uniform(Xoshiro256PlusPlus& e, double low, double high) noexcept {
    const double u = next_f64(e);
    const double d = high - low;
    const double p = d * u;
    return low + p;
}

// --- integers ------------------------------------------------------------------------

[[gnu::cold]] std::string integers_message(std::int64_t low, std::int64_t high);

inline Invalid check_integers(std::int64_t low, std::int64_t high) {
    if (high > low) [[likely]]
        return std::nullopt;
    return integers_message(low, high);
}

// low + (x mod span): the span is the exact difference read as unsigned (1 .. 2^64 - 1),
// and the sum wraps in two's complement back into [low, high).
inline std::int64_t integers(Xoshiro256PlusPlus& e, std::int64_t low, std::int64_t high) noexcept {
    const std::uint64_t span = static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low);
    const std::uint64_t x = e.next_u64();
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(low) + x % span);
}

// --- bernoulli -----------------------------------------------------------------------

// True when u < p (strict): p = 0 is always False, p = 1 always True; one output either way.
inline bool bernoulli(Xoshiro256PlusPlus& e, double p) noexcept { return next_f64(e) < p; }

// --- fill ----------------------------------------------------------------------------

// Writes each output least significant byte first, so the bytes are the same on every
// byte order; a tail shorter than 8 bytes still consumes a whole output. Returns false
// when `poll` stopped it, the bytes of the outputs drawn so far written.
bool fill(Xoshiro256PlusPlus& e, unsigned char* buf, std::size_t n,
          const Poll& poll = kNoPoll) noexcept;

}  // namespace drawkit
