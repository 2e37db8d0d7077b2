// Multinomial counts: n independent categorical draws tallied by category.
//
// Each trial is the cumulative-probability scan of a single weighted choice, recomputed
// from scratch: no table is built and no binomial shortcut is taken, so the counts are
// those of n separate scans and the cost is n times the position of the drawn category.
#pragma once

#include <bit>
#include <cstdint>
#include <span>

#include "../poll.hpp"
#include "../xoshiro256pp.hpp"
#include "uniform.hpp"

namespace drawkit {

// The tolerance on |sum(probs) - 1|.
inline constexpr double kMultinomialTolerance =
    std::bit_cast<double>(0x3EB0C6F7A0B5ED8DULL);  // 1e-06

// In order: a non-empty list; every value in [0, 1] (NaN and infinities fail; -0.0 and
// 1.0 pass), the first failing index reported; the left-to-right sum, started from -0.0,
// within the tolerance of 1 (a sum exactly 1e-6 away passes).
Invalid check_multinomial(std::span<const double> probs);

// Adds the outcome of n trials to counts[0 .. probs.size()) (check_multinomial passed;
// counts zeroed by the caller). One output per trial. The rounded sum of probs may fall
// short of 1 by up to the tolerance; a u at or above it goes to the last category,
// whatever that category's probability, so every trial lands somewhere.
//
// A trial scans up to probs.size() categories, so `poll` is asked after at most kPollBlock
// category steps rather than trials: a block holds kPollBlock / 2^w trials, w the bit
// width of the count of categories (a shift, where a division would cost more than a
// small call's trials). Returns false when it stopped the loop; the counts and the
// engine then hold the trials made.
inline bool multinomial(Xoshiro256PlusPlus& e, std::uint64_t n, std::span<const double> probs,
                        std::uint64_t* counts, const Poll& poll = kNoPoll) noexcept {
    const std::size_t last = probs.size() - 1;
    const int width = std::bit_width(probs.size());
    const std::uint64_t block = width < std::countr_zero(kPollBlock) ? kPollBlock >> width : 1;
    return in_blocks(e, n, block, poll,
                     [&](Xoshiro256PlusPlus& engine, std::uint64_t begin, std::uint64_t end) {
                         for (std::uint64_t trial = begin; trial < end; ++trial) {
                             const double u = next_f64(engine);
                             double cum = 0.0;
                             std::size_t k = 0;
                             for (; k < last; ++k) {
                                 cum = cum + probs[k];
                                 if (u < cum) break;
                             }
                             // k == last here either because the scan reached the last category
                             // (whose own test could only pick it again) or because nothing
                             // matched: both go to `last`.
                             ++counts[k];
                         }
                     });
}

}  // namespace drawkit
