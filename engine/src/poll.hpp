// Stopping points of the long loops.
//
// A loop whose length the caller sets (n trials, n indices, a list of any length) can run
// for minutes. Such a loop runs in blocks and, between two blocks, asks a `Poll` whether
// to go on; the host's layer answers by running the pending signal handlers, so that
// Ctrl-C interrupts the call. The core knows nothing of the host: a Poll is any callable
// returning bool, passed by reference, and the default one never stops. Calls shorter
// than one block never poll, so the per-call cost of small calls is one comparison.
//
// A loop that draws works on a lease of the engine (EngineLease): a copy held in locals,
// so that its four words stay in registers through the block, written back when the
// block ends however it ends. A poll thus always finds the engine holding every output
// drawn so far: an interrupted call leaves the generator usable, advanced by exactly the
// steps made, and nothing can forget the write-back.
#pragma once

#include <cstdint>
#include <type_traits>

#include "xoshiro256pp.hpp"

namespace drawkit {

// Steps per block: under a tenth of a millisecond of the cheapest loop (a binomial trial
// costs about 1 ns), a few milliseconds of the dearest, and one poll per block is never
// measurable in the cost of a call.
inline constexpr std::uint64_t kPollBlock = std::uint64_t{1} << 16;

// A reference to a callable `bool()`: true to go on, false to stop. A default-constructed
// Poll always goes on.
class Poll {
public:
    Poll() = default;
    template <typename F>
        requires(!std::is_same_v<std::remove_cv_t<F>, Poll>)
    Poll(F& f) noexcept  // NOLINT: converts implicitly from any callable lvalue
        : ctx_(&f),
          fn_([](void* ctx) noexcept { return static_cast<bool>((*static_cast<F*>(ctx))()); }) {}

    // The Poll of a plain function: it holds no object, so it can be a constant that a call
    // passes as it is, with nothing to build.
    template <bool (*F)() noexcept>
    static constexpr Poll of() noexcept {
        Poll poll;
        poll.fn_ = [](void*) noexcept { return F(); };
        return poll;
    }

    bool operator()() const noexcept { return fn_ == nullptr || fn_(ctx_); }

private:
    void* ctx_ = nullptr;
    bool (*fn_)(void*) noexcept = nullptr;
};

// The poll that never stops: the default of the core's long loops.
inline constexpr Poll kNoPoll{};

// The engine of one block, copied in on construction and written back on destruction.
class EngineLease {
public:
    explicit EngineLease(Xoshiro256PlusPlus& home) noexcept : home_(home), local_(home) {}
    EngineLease(const EngineLease&) = delete;
    EngineLease& operator=(const EngineLease&) = delete;
    ~EngineLease() { home_ = local_; }

    Xoshiro256PlusPlus& engine() noexcept { return local_; }

private:
    Xoshiro256PlusPlus& home_;
    Xoshiro256PlusPlus local_;
};

namespace detail {

// body(begin, end) as bool: true when the body returns nothing. A body appears twice, in the
// short call and in the block loop: one call site too many for some compilers to inline it
// unasked, and the loop would then call it, its variables in memory. Flattening here
// inlines the body into both; always_inline puts the block loop into its caller.
template <typename Body>
[[gnu::always_inline, gnu::flatten]] inline bool run_block(Body& body, std::uint64_t begin,
                                                           std::uint64_t end) {
    if constexpr (std::is_void_v<std::invoke_result_t<Body&, std::uint64_t, std::uint64_t>>) {
        body(begin, end);
        return true;
    } else {
        return body(begin, end);
    }
}

// The block loop proper, for a call longer than one block.
template <typename Body>
[[gnu::always_inline]] inline bool polled_blocks(std::uint64_t n, std::uint64_t block,
                                                 const Poll& poll, Body&& body) {
    std::uint64_t begin = 0;
    for (;;) {
        const std::uint64_t end = n - begin > block ? begin + block : n;
        if (!run_block(body, begin, end)) return false;
        if (end == n) return true;
        begin = end;
        if (!poll()) [[unlikely]]
            return false;
    }
}

}  // namespace detail

// Runs body(begin, end) over [0, n) in blocks of `block` steps, polling between two blocks
// (never after the last). Returns false when the poll asks to stop, the steps before that
// boundary done. A body may also return bool, false to stop the loop itself (with an
// error of its own), which in_blocks passes on.
//
// A call of one block, the common case, runs the body alone, as a plain loop would: the
// block loop and its poll cost one comparison until n exceeds a block.
template <typename Body>
[[gnu::always_inline]] inline bool in_blocks(std::uint64_t n, std::uint64_t block, const Poll& poll,
                                             Body&& body) {
    if (n <= block) [[likely]]
        return detail::run_block(body, 0, n);
    return detail::polled_blocks(n, block, poll, body);
}

// The block loop of a loop that draws: body(engine, begin, end) receives each block's
// lease of `e`, so the engine is written back before every poll and on every way out.
template <typename Body>
[[gnu::always_inline]] inline bool in_blocks(Xoshiro256PlusPlus& e, std::uint64_t n,
                                             std::uint64_t block, const Poll& poll, Body&& body) {
    return in_blocks(n, block, poll, [&](std::uint64_t begin, std::uint64_t end) {
        EngineLease lease(e);
        return body(lease.engine(), begin, end);
    });
}

}  // namespace drawkit
