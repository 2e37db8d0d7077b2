#include "number_format.hpp"

#include <array>
#include <charconv>
#include <cmath>

namespace drawkit {

std::string format_float(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    // chars_format::fixed without a precision gives the shortest round-trip digits in
    // positional form; the widest finite case (5e-324) needs about 330 characters.
    std::array<char, 400> buf;
    const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed);
    return std::string(buf.data(), result.ptr);
}

std::string format_int(std::int64_t value) { return std::to_string(value); }

std::string format_uint(std::uint64_t value) { return std::to_string(value); }

}  // namespace drawkit
