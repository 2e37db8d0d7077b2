// xoshiro256++ (Blackman & Vigna, 2019): 256 bits of state, 64 bits per step.
//
// The generator is used exactly as published, seeded by the first four outputs of
// SplitMix64. SplitMix64's finaliser is a bijection and its four inputs differ, so at
// most one seeded word is zero and seeding never yields the all-zero state (a fixed
// point of the step). A restored state may still be all zero; the engine never tests
// for it. The engine is a plain value: copying it copies the stream from that point on.
#pragma once

#include <cstdint>

namespace drawkit {

struct Xoshiro256PlusPlus {
    std::uint64_t s0 = 0;
    std::uint64_t s1 = 0;
    std::uint64_t s2 = 0;
    std::uint64_t s3 = 0;

    static constexpr std::uint64_t rotl(std::uint64_t x, int k) noexcept {
        return (x << k) | (x >> (64 - k));
    }

    // SplitMix64 started at `seed`: word i is the finaliser of seed + i * golden gamma.
    static constexpr Xoshiro256PlusPlus from_seed(std::uint64_t seed) noexcept {
        std::uint64_t words[4] = {};
        for (std::uint64_t i = 1; i <= 4; ++i) {
            std::uint64_t z = seed + i * 0x9E3779B97F4A7C15ULL;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            words[i - 1] = z ^ (z >> 31);
        }
        return {words[0], words[1], words[2], words[3]};
    }

    // One step; the result is computed from the state before the step.
    constexpr std::uint64_t next_u64() noexcept {
        const std::uint64_t result = rotl(s0 + s3, 23) + s0;
        const std::uint64_t t = s1 << 17;
        s2 ^= s0;
        s3 ^= s1;
        s1 ^= s2;
        s0 ^= s3;
        s2 ^= t;
        s3 = rotl(s3, 45);
        return result;
    }

    // One output reduced modulo m (m >= 1), with no rejection step: the slight bias of
    // the plain remainder for an m that is not a power of two is part of the stream.
    constexpr std::uint64_t next_below(std::uint64_t m) noexcept { return next_u64() % m; }

    // Advance by 2^128 steps: the published jump polynomial, applied by accumulating
    // the states at the polynomial's set bits.
    constexpr void jump() noexcept {
        constexpr std::uint64_t kJump[4] = {0x180EC6D33CFD0ABAULL, 0xD5A61266F0C9392CULL,
                                            0xA9582618E03FC9AAULL, 0x39ABDC4529B1661CULL};
        std::uint64_t a0 = 0, a1 = 0, a2 = 0, a3 = 0;
        for (const std::uint64_t word : kJump) {
            for (int b = 0; b < 64; ++b) {
                if ((word >> b) & 1U) {
                    a0 ^= s0;
                    a1 ^= s1;
                    a2 ^= s2;
                    a3 ^= s3;
                }
                next_u64();
            }
        }
        s0 = a0;
        s1 = a1;
        s2 = a2;
        s3 = a3;
    }

    constexpr bool is_zero() const noexcept { return (s0 | s1 | s2 | s3) == 0; }

    friend constexpr bool operator==(const Xoshiro256PlusPlus&,
                                     const Xoshiro256PlusPlus&) = default;
};

}  // namespace drawkit
