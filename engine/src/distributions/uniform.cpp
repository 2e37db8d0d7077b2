#include "uniform.hpp"

#include "../number_format.hpp"

namespace drawkit {

std::string uniform_message(double low, double high) {
    return "uniform(" + format_float(low) + ", " + format_float(high) +
           "): high must be greater than low, and both must be finite";
}

std::string integers_message(std::int64_t low, std::int64_t high) {
    return "integers(" + format_int(low) + ", " + format_int(high) +
           "): high must be greater than low";
}

bool fill(Xoshiro256PlusPlus& e, unsigned char* buf, std::size_t n, const Poll& poll) noexcept {
    const std::uint64_t outputs = n / 8 + (n % 8 != 0 ? 1 : 0);
    return in_blocks(e, outputs, kPollBlock, poll,
                     [&](Xoshiro256PlusPlus& engine, std::uint64_t begin, std::uint64_t end) {
                         for (std::uint64_t w = begin; w < end; ++w) {
                             const std::uint64_t x = engine.next_u64();
                             unsigned char* const at = buf + static_cast<std::size_t>(w) * 8;
                             const std::size_t left = n - static_cast<std::size_t>(w) * 8;
                             // A whole output: eight stores of fixed shifts, which the
                             // compiler merges into one store of the word.
                             if (left >= 8) [[likely]] {
                                 for (unsigned i = 0; i < 8; ++i) {
                                     at[i] = static_cast<unsigned char>(x >> (8 * i));
                                 }
                             } else {
                                 for (unsigned i = 0; i < left; ++i) {
                                     at[i] = static_cast<unsigned char>(x >> (8 * i));
                                 }
                             }
                         }
                     });
}

}  // namespace drawkit
