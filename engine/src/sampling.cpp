#include "sampling.hpp"

#include <bit>
#include <memory>
#include <string>

#include "number_format.hpp"

namespace drawkit {

bool permutation(Xoshiro256PlusPlus& e, std::uint64_t* out, std::size_t n,
                 const Poll& poll) noexcept {
    for (std::size_t i = 0; i < n; ++i) out[i] = i;
    return shuffle_in_place(e, out, n, poll);
}

Invalid check_bootstrap_indices(std::uint64_t n) {
    if (n != 0) [[likely]]
        return std::nullopt;
    return "bootstrap_indices(0) has no valid indices to draw";
}

bool bootstrap_indices(Xoshiro256PlusPlus& e, std::uint64_t* out, std::size_t n,
                       const Poll& poll) noexcept {
    return in_blocks(e, n, kPollBlock, poll,
                     [&](Xoshiro256PlusPlus& engine, std::uint64_t begin, std::uint64_t end) {
                         for (std::uint64_t i = begin; i < end; ++i) out[i] = engine.next_below(n);
                     });
}

namespace {

// The checks shared by systematic_resample and Categorical, which differ only in the
// name their messages carry. Each weight must be finite and not below zero (-0.0
// passes); the first failing one in index order is reported, before the sum is formed.
Invalid check_weights(std::string_view fn, std::string_view empty_call,
                      std::span<const double> weights, double& total) {
    if (weights.empty()) return std::string(empty_call) + ": weights must have at least one entry";
    for (std::size_t i = 0; i < weights.size(); ++i) {
        const double w = weights[i];
        if (!(w >= 0.0 && is_finite(w))) [[unlikely]] {
            return std::string(fn) + "(): weights[" + format_uint(i) + "]=" + format_float(w) +
                   " must be non-negative and finite";
        }
    }
    // Starting from -0.0 keeps the sum of all-negative-zero weights at -0.0; one rounded
    // addition per weight, in index order.
    double sum = -0.0;
    for (const double w : weights) sum = sum + w;
    if (!(sum > 0.0)) return std::string(fn) + "(): weights must sum to a positive number";
    total = sum;
    return std::nullopt;
}

}  // namespace

Invalid check_systematic_resample(std::span<const double> weights, double& total) {
    return check_weights("systematic_resample", "systematic_resample([], n)", weights, total);
}

double scale_weights_down(std::span<double> weights) noexcept {
    constexpr double kTwoPowMinus64 = std::bit_cast<double>(0x3BF0000000000000ULL);  // 2^-64
    double sum = -0.0;
    for (double& w : weights) {
        w = w * kTwoPowMinus64;
        sum = sum + w;
    }
    return sum;
}

bool systematic_resample(double u, std::span<const double> weights, double total, std::uint64_t n,
                         std::uint64_t* out, const Poll& poll) noexcept {
    const double nd = static_cast<double>(n);
    const double u0 = u / nd;
    const std::size_t last = weights.size() - 1;
    std::size_t j = 0;
    double cum = weights[0] / total;
    return in_blocks(n, kPollBlock, poll, [&](std::uint64_t begin, std::uint64_t end) {
        for (std::uint64_t i = begin; i < end; ++i) {
            const double step = static_cast<double>(i) / nd;
            const double point = u0 + step;
            // Strict: a point equal to the running sum stays at the current index. When
            // rounding leaves the running sum below a point, the point goes to the last index.
            while (point > cum && j < last) {
                ++j;
                const double share = weights[j] / total;
                cum = cum + share;
            }
            out[i] = j;
        }
    });
}

Invalid check_categorical(std::span<const double> weights, double& total) {
    return check_weights("Categorical", "Categorical([])", weights, total);
}

// Vose's alias method. Scaled weights q_i = (w_i / total) * n average 1; columns below 1
// ("small") are topped up from columns at or above 1 ("large"): pairing small s with large
// l gives s the alias l and takes the missing 1 - q_s out of l, which then rejoins the
// group its remainder belongs to. Each pairing settles one small column for good, so at
// most n - 1 pairings happen. Whatever is left when either group runs out holds 1 up to
// rounding and gets exactly 1.
//
// Both groups are stacks (taken from and put back at the end). They never hold more than
// n indices between them, so they share one buffer: `small` grows up from the front and
// `large` grows down from the back, its top being its lowest occupied slot.
bool build_alias_table(std::span<const double> weights, double total, double* prob,
                       std::uint64_t* alias, const Poll& poll) {
    const std::size_t n = weights.size();
    const double nd = static_cast<double>(n);
    const auto stacks = std::make_unique_for_overwrite<std::uint64_t[]>(n);
    std::uint64_t* const small = stacks.get();
    std::uint64_t* const large_end = stacks.get() + n;
    std::size_t n_small = 0;
    std::size_t n_large = 0;

    // The counters are copied into locals for each block: the stacks hold the same type
    // as they do, so counters shared through a reference would be kept in memory.
    const bool sorted = in_blocks(n, kPollBlock, poll, [&](std::uint64_t begin, std::uint64_t end) {
        std::size_t ns = n_small, nl = n_large;
        for (std::size_t i = begin; i < end; ++i) {
            const double share = weights[i] / total;
            const double q = share * nd;
            prob[i] = q;
            alias[i] = 0;
            if (q < 1.0) {
                small[ns++] = i;
            } else {
                *(large_end - 1 - nl++) = i;
            }
        }
        n_small = ns;
        n_large = nl;
    });
    if (!sorted) return false;

    // At most n - 1 pairings, run in blocks as the columns are; the blocks after the
    // groups run out find nothing left to do.
    const bool paired = in_blocks(n, kPollBlock, poll, [&](std::uint64_t begin, std::uint64_t end) {
        std::size_t ns = n_small, nl = n_large;
        for (std::uint64_t step = begin; step < end && ns > 0 && nl > 0; ++step) {
            const std::uint64_t s = small[--ns];
            const std::uint64_t l = *(large_end - nl--);
            alias[s] = l;
            const double missing = 1.0 - prob[s];
            prob[l] = prob[l] - missing;
            if (prob[l] < 1.0) {
                small[ns++] = l;
            } else {
                *(large_end - 1 - nl++) = l;
            }
        }
        n_small = ns;
        n_large = nl;
    });
    if (!paired) return false;

    while (n_small > 0) prob[small[--n_small]] = 1.0;
    while (n_large > 0) prob[*(large_end - n_large--)] = 1.0;
    return true;
}

}  // namespace drawkit
