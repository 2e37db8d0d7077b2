// Sequence and index sampling, systematic resampling and the alias table, as functions on
// the engine. The element draws of the Python layer (choice, choices, sample, shuffle) keep
// only the element access for themselves: the positions they touch, and the order in
// which they touch them, come from the functions here.
//
// Every index is one engine output reduced modulo a length (next_below), with no
// rejection step; the count and order of outputs below is part of the stream.
//
// The loops whose length the caller sets take a Poll (poll.hpp), asked between blocks of
// steps. When it stops a loop, the function returns false at once: the outputs drawn so
// far stay consumed and the outputs written so far are left as they are.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

#include "distributions/uniform.hpp"
#include "poll.hpp"
#include "xoshiro256pp.hpp"

namespace drawkit {

// --- element-selection checks ------------------------------------------------------------

// The checks on the length n of the sequence (and the count k) that precede every draw.
inline Invalid check_choice(std::uint64_t n) {
    if (n != 0) [[likely]]
        return std::nullopt;
    return "choice() called on an empty sequence";
}

// An empty sequence is refused before k is looked at, so k = 0 does not excuse it.
inline Invalid check_choices(std::uint64_t n) {
    if (n != 0) [[likely]]
        return std::nullopt;
    return "choices() called on an empty sequence";
}

// k = 0 is valid for every n, the empty sequence included.
inline Invalid check_sample(std::uint64_t n, std::uint64_t k) {
    if (k <= n) [[likely]]
        return std::nullopt;
    return "sample() cannot draw more elements than the sequence contains";
}

// --- backward Fisher-Yates -------------------------------------------------------------

// Walks i from n - 1 down to 1, swapping items[i] with items[j], j = next_below(i + 1):
// every ordering equally likely (up to the remainder's bias), n - 1 outputs for n >= 2
// and none for n < 2. A step with j = i consumes its output and moves nothing.
//
// shuffle_steps runs the steps for m = i + 1 = hi, hi - 1, ..., lo + 1 (hi >= lo >= 1), so
// that a caller can run the walk in pieces; shuffle_in_place runs all of it.
template <typename T>
inline void shuffle_steps(Xoshiro256PlusPlus& e, T* items, std::size_t hi,
                          std::size_t lo) noexcept {
    for (std::size_t m = hi; m > lo; --m) {
        const std::size_t j = static_cast<std::size_t>(e.next_below(m));
        const std::size_t i = m - 1;
        if (i != j) std::swap(items[i], items[j]);
    }
}

template <typename T>
inline bool shuffle_in_place(Xoshiro256PlusPlus& e, T* items, std::size_t n,
                             const Poll& poll = kNoPoll) noexcept {
    if (n < 2) return true;
    return in_blocks(e, n - 1, kPollBlock, poll,
                     [&](Xoshiro256PlusPlus& engine, std::uint64_t begin, std::uint64_t end) {
                         shuffle_steps(engine, items, n - static_cast<std::size_t>(begin),
                                       n - static_cast<std::size_t>(end));
                     });
}

// out[0..n) = a random ordering of 0..n-1: the same walk on [0, 1, ..., n-1], so that it
// matches shuffling that list from the same state.
bool permutation(Xoshiro256PlusPlus& e, std::uint64_t* out, std::size_t n,
                 const Poll& poll = kNoPoll) noexcept;

// --- bootstrap indices -------------------------------------------------------------------

Invalid check_bootstrap_indices(std::uint64_t n);

// out[0..n) = n independent indices in [0, n), in draw order; n outputs.
bool bootstrap_indices(Xoshiro256PlusPlus& e, std::uint64_t* out, std::size_t n,
                       const Poll& poll = kNoPoll) noexcept;

// --- partial Fisher-Yates (sample without replacement) -----------------------------------

// A hint to bring the cache line of p in ahead of its use; nothing where the compiler
// offers no such hint.
inline void prefetch(const void* p) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    static_cast<void>(p);
#endif
}

// Draws k of the n positions of a sequence without replacement by running the first k
// steps of a forward Fisher-Yates shuffle on a virtual copy A of it: step i swaps A[i]
// with A[j], j = i + (next_u64 mod (n - i)), and emits the new A[i]. Two forms run the
// same steps on the same outputs, so they give the same result from the same state:
//
// - partial_fisher_yates keeps only the positions written so far, in a map from position
//   to the element now standing there, so its cost is O(k) whatever n is. It reads each
//   element when its position is first touched, in a fixed order, which suits sequences
//   whose reads run code of their own.
// - sample_positions keeps A itself as an array of positions (4 bytes each while n fits
//   in 32 bits) and reports the position each step emits. For k a large fraction of n it
//   is both smaller than the map (at 32 bytes per step) and faster, having no hashing.

// Elements that need no release.
struct KeepElement {
    template <typename T>
    void operator()(T&) const noexcept {}
};

// The position map of partial_fisher_yates: open addressing with linear probing over one
// table sized for the whole call. Each step adds at most one position, so k steps need at
// most k entries, and 2k slots keep the table at most half full. A slot is 16 bytes for a
// pointer-sized element: the position plus one (0 marks a free slot) and the element.
// The table comes zeroed from calloc, so even a huge one costs no work up front: the
// system hands out zero pages as they are first touched. Entries are never removed (a
// position below the current step is simply never looked up again); `drop` releases the
// elements still held when the map goes.
template <typename T, typename Drop>
class PositionMap {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_default_constructible_v<T>,
                  "the table is zeroed memory: a zero T must be an empty element");

public:
    PositionMap(std::uint64_t k, Drop& drop) : drop_(drop) {
        capacity_ = k < 4 ? 8 : 2 * k;
        if (capacity_ > std::numeric_limits<std::size_t>::max() / sizeof(Slot))
            throw std::bad_alloc();
        slots_ = static_cast<Slot*>(std::calloc(static_cast<std::size_t>(capacity_), sizeof(Slot)));
        if (slots_ == nullptr) throw std::bad_alloc();
    }
    PositionMap(const PositionMap&) = delete;
    PositionMap& operator=(const PositionMap&) = delete;
    ~PositionMap() {
        // Elements that need no release spare the walk over a table of up to gigabytes,
        // most of it never touched (an interrupted call returns at once).
        if constexpr (!std::is_same_v<Drop, KeepElement>) {
            for (std::uint64_t s = 0; s < capacity_; ++s) {
                if (slots_[s].key != 0) drop_(slots_[s].value);
            }
        }
        std::free(slots_);
    }

    // The slot of `pos`: either the slot holding it (found() true) or the free slot where
    // it belongs.
    std::uint64_t slot(std::uint64_t pos) const noexcept {
        // Fibonacci hashing spreads nearby positions; the high half of the product of the
        // hash and the capacity maps it onto [0, capacity) without a division.
        const std::uint64_t hash = (pos + 1) * 0x9E3779B97F4A7C15ULL;
        std::uint64_t s = mul_high(hash, capacity_);
        while (slots_[s].key != 0 && slots_[s].key != pos + 1) {
            if (++s == capacity_) s = 0;
        }
        return s;
    }
    bool found(std::uint64_t s) const noexcept { return slots_[s].key != 0; }
    // Moves the element out of a found slot, which keeps its position.
    T take(std::uint64_t s) noexcept { return std::exchange(slots_[s].value, T{}); }
    void put(std::uint64_t s, std::uint64_t pos, T v) noexcept {
        slots_[s].key = pos + 1;
        slots_[s].value = v;
    }

private:
    struct Slot {
        std::uint64_t key;  // position + 1; 0 for a free slot
        T value;
    };

    static std::uint64_t mul_high(std::uint64_t a, std::uint64_t b) noexcept {
#if defined(__SIZEOF_INT128__)
        return static_cast<std::uint64_t>((static_cast<unsigned __int128>(a) * b) >> 64);
#else
        const std::uint64_t a_lo = a & 0xFFFFFFFFU, a_hi = a >> 32;
        const std::uint64_t b_lo = b & 0xFFFFFFFFU, b_hi = b >> 32;
        const std::uint64_t lo = a_lo * b_lo, mid1 = a_hi * b_lo, mid2 = a_lo * b_hi;
        const std::uint64_t carry =
            ((lo >> 32) + (mid1 & 0xFFFFFFFFU) + (mid2 & 0xFFFFFFFFU)) >> 32;
        return a_hi * b_hi + (mid1 >> 32) + (mid2 >> 32) + carry;
#endif
    }

    Drop& drop_;
    std::uint64_t capacity_ = 0;
    Slot* slots_ = nullptr;
};

// read(pos, T& out) -> bool fetches item pos of the real sequence as a new element (false:
// stop, the caller keeps its error); emit(i, T) receives the i-th result and owns it from
// then on, and may answer bool (false: stop, as for a read); drop(T&) releases an element
// that is not kept. Within a step the reads happen in the order A[j], then A[i], each from
// the map when present, so an unmapped j = i is read twice. Returns false when a read or
// an emit failed, after i + 1 outputs for a failure in step i; every element read and not
// emitted is dropped on every path.
//
// Requires k <= n. Precisely k outputs are consumed when every read succeeds; `poll` is
// asked between blocks of steps, and stopping there also returns false. The table may
// throw std::bad_alloc, before any output is consumed.
template <typename T, typename Read, typename Emit, typename Drop = KeepElement>
bool partial_fisher_yates(Xoshiro256PlusPlus& e, std::uint64_t n, std::uint64_t k, Read&& read,
                          Emit&& emit, const Poll& poll = kNoPoll, Drop drop = {}) {
    PositionMap<T, Drop> moved(k, drop);  // position -> element of A now there
    // A[pos] into v: a mapped element is moved out (its slot is about to be overwritten,
    // or the position is never read again), an unmapped one read from the sequence.
    const auto take = [&](std::uint64_t pos, std::uint64_t slot, T& v) {
        if (!moved.found(slot)) return static_cast<bool>(read(pos, v));
        v = moved.take(slot);
        return true;
    };
    const auto give = [&](std::uint64_t i, T& v) -> bool {
        if constexpr (std::is_void_v<std::invoke_result_t<Emit&, std::uint64_t, T&&>>) {
            emit(i, std::move(v));
            return true;
        } else {
            return static_cast<bool>(emit(i, std::move(v)));
        }
    };
    // Step i; false when a read or an emit failed.
    const auto step = [&](Xoshiro256PlusPlus& engine, std::uint64_t i) -> bool {
        const std::uint64_t j = i + engine.next_u64() % (n - i);
        T at_j{};
        const std::uint64_t slot_j = moved.slot(j);
        if (!take(j, slot_j, at_j)) return false;
        if (j == i) {
            // A[i] is A[j] itself. Unmapped, item i is read a second time; that element is
            // not kept, since A[i] is emitted and never looked up again.
            if (!moved.found(slot_j)) {
                T again{};
                const bool ok = read(i, again);
                if (!ok) {
                    drop(at_j);
                    return false;
                }
                drop(again);
            }
            return give(i, at_j);
        }
        T at_i{};
        if (!take(i, moved.slot(i), at_i)) {
            drop(at_j);
            return false;
        }
        if (!give(i, at_j)) {
            drop(at_i);
            return false;
        }
        moved.put(slot_j, j, at_i);
        return true;
    };
    return in_blocks(e, k, kPollBlock, poll,
                     [&](Xoshiro256PlusPlus& engine, std::uint64_t begin, std::uint64_t end) {
                         for (std::uint64_t i = begin; i < end; ++i) {
                             if (!step(engine, i)) return false;
                         }
                         return true;
                     });
}

// The array form: A as an array `a` of n Index entries, zeroed by the caller (calloc hands
// out zero pages as they are first touched, so a huge array costs nothing up front). An
// entry of 0 stands for the position itself and any other for its value plus one. Step i
// leaves in a[i] the position it emits, so that on success a[0..k) holds the k positions
// in emission order. Index must hold n. Returns false when `poll` stopped the loop.
//
// The slot a step touches is one random read in an array of up to gigabytes; the engine
// outputs do not depend on the array, so each step's j is drawn kLookahead steps early
// (within a block, in the same order) and its slot fetched meanwhile.
template <typename Index>
bool sample_positions(Xoshiro256PlusPlus& e, std::uint64_t n, std::uint64_t k, Index* a,
                      const Poll& poll = kNoPoll) noexcept {
    static_assert(std::is_unsigned_v<Index>);
    constexpr std::uint64_t kLookahead = 8;
    return in_blocks(e, k, kPollBlock, poll,
                     [&](Xoshiro256PlusPlus& engine, std::uint64_t begin, std::uint64_t end) {
                         std::uint64_t ahead[kLookahead];
                         const auto draw = [&](std::uint64_t i) {
                             const std::uint64_t j = i + engine.next_u64() % (n - i);
                             prefetch(&a[j]);
                             ahead[i % kLookahead] = j;
                         };
                         for (std::uint64_t i = begin; i < end && i < begin + kLookahead; ++i)
                             draw(i);
                         for (std::uint64_t i = begin; i < end; ++i) {
                             const std::uint64_t j = ahead[i % kLookahead];
                             if (end - i > kLookahead) draw(i + kLookahead);
                             const std::uint64_t at_j = a[j] == 0 ? j : a[j] - 1U;
                             a[j] = a[i] == 0 ? static_cast<Index>(i + 1) : a[i];
                             a[i] = static_cast<Index>(at_j);
                         }
                     });
}

// An array of n zeroed T from calloc, released with the scope; std::bad_alloc when it
// cannot be had.
template <typename T>
class ZeroedArray {
public:
    explicit ZeroedArray(std::uint64_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
        p_ = static_cast<T*>(std::calloc(n == 0 ? 1 : static_cast<std::size_t>(n), sizeof(T)));
        if (p_ == nullptr) throw std::bad_alloc();
    }
    ZeroedArray(const ZeroedArray&) = delete;
    ZeroedArray& operator=(const ZeroedArray&) = delete;
    ~ZeroedArray() { std::free(p_); }
    T* get() const noexcept { return p_; }

private:
    T* p_ = nullptr;
};

// --- systematic resampling -----------------------------------------------------------------

// Validates the weights in the order empty, first bad weight, sum; on success `total`
// holds ((-0.0 + w_0) + w_1) + ..., summed in index order.
Invalid check_systematic_resample(std::span<const double> weights, double& total);

// Finite weights can still sum to +inf (two weights of 1e308). Every share w_i / total
// would then be 0 and the draws would ignore the weights. When that happens the weights
// are scaled in place by 2^-64 (exact for every weight above 2^-958, and the smaller ones
// are negligible beside a sum near 2^1024) and the new sum is returned; a finite total is
// returned unchanged and the weights are left alone, so ordinary inputs keep their bits.
// beta and dirichlet use it too, for gamma draws whose sum overflows. Inline, so that the
// ordinary case costs the finiteness test alone.
[[gnu::cold]] double scale_weights_down(std::span<double> weights) noexcept;
inline double rescale_overflowed_weights(std::span<double> weights, double total) noexcept {
    if (is_finite(total)) [[likely]]
        return total;
    return scale_weights_down(weights);
}

// The scan after the single engine output: u is its next_f64 value. Point i is
// u / n + i / n (each division rounded, then the sum); the running sum adds each w_j /
// total in turn, never a running total divided once, and the scan stops at the last
// index. Writes n non-decreasing indices to out.
bool systematic_resample(double u, std::span<const double> weights, double total, std::uint64_t n,
                         std::uint64_t* out, const Poll& poll = kNoPoll) noexcept;

// --- alias table (Vose, 1991) ---------------------------------------------------------------

// Validates the weights in the order empty, first bad weight, sum, with the Categorical
// messages; on success `total` is the sum formed as for systematic_resample.
Invalid check_categorical(std::span<const double> weights, double& total);

// Builds prob[0..n) and alias[0..n) for n = weights.size() >= 1 from valid weights and
// their total. May throw std::bad_alloc for its work stacks; prob and alias are written
// completely on success (true), and are of no use when `poll` stopped the build (false).
bool build_alias_table(std::span<const double> weights, double total, double* prob,
                       std::uint64_t* alias, const Poll& poll = kNoPoll);

// x mod d for a divisor fixed in advance, without a division instruction (a 64-bit
// division costs as much as the rest of a table draw). Lemire, Kaser and Kurz, "Faster
// remainder by direct computation" (2019): with m = ceil(2^128 / d), x mod d equals the
// high 64 bits of ((m * x) mod 2^128) * d for every 64-bit x, because m * d - 2^128 < d
// <= 2^64. For d = 1, m wraps to 0 and the formula still gives 0. The result is the
// exact remainder, so it is the engine's next_below value bit for bit.
class FixedRemainder {
public:
    explicit FixedRemainder(std::uint64_t d) noexcept : d_(d) {
#if defined(__SIZEOF_INT128__)
        m_ = ~static_cast<unsigned __int128>(0) / d + 1;
#endif
    }

    std::uint64_t divisor() const noexcept { return d_; }

    std::uint64_t of(std::uint64_t x) const noexcept {
#if defined(__SIZEOF_INT128__)
        using u128 = unsigned __int128;
        const u128 low = m_ * x;
        const u128 bottom = static_cast<u128>(static_cast<std::uint64_t>(low)) * d_;
        const u128 top = static_cast<u128>(static_cast<std::uint64_t>(low >> 64)) * d_;
        return static_cast<std::uint64_t>((top + (bottom >> 64)) >> 64);
#else
        return x % d_;
#endif
    }

private:
    std::uint64_t d_;
#if defined(__SIZEOF_INT128__)
    unsigned __int128 m_;
#endif
};

// One draw: the column from one output (next_below(n), the remainder taken through
// `columns`), then the coin from the next output, also when n = 1.
inline std::uint64_t alias_draw(Xoshiro256PlusPlus& e, const double* prob,
                                const std::uint64_t* alias,
                                const FixedRemainder& columns) noexcept {
    const std::uint64_t c = columns.of(e.next_u64());
    const double u = next_f64(e);
    // The coin is unpredictable by design, so the choice is made with a mask rather than
    // a branch that would mispredict on a large share of draws.
    const std::uint64_t other = alias[c];
    const std::uint64_t keep = 0 - static_cast<std::uint64_t>(u < prob[c]);
    return other ^ ((c ^ other) & keep);
}

}  // namespace drawkit
