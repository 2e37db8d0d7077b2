// The complete state of one generator: the pending second normal value of the last
// Box-Muller pair (if any) and the engine words. Every draw of the library is a pure
// function of this value, which the Python layer exports as its state tuple.
#pragma once

#include "fp_model.hpp"
#include "xoshiro256pp.hpp"

namespace drawkit {

struct Generator {
    bool has_cached_normal = false;
    double cached_normal = 0.0;
    Xoshiro256PlusPlus engine;

    static constexpr Generator from_seed(std::uint64_t seed) noexcept {
        return Generator{false, 0.0, Xoshiro256PlusPlus::from_seed(seed)};
    }
};

}  // namespace drawkit
