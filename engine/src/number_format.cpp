#include "number_format.hpp"

#include <array>
#include <charconv>
#include <cmath>

namespace drawkit {

std::string format_float(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    // The scientific form gives the shortest digits that read back as the same double
    // ("1e+23"); the fixed form does not: every integer near 1e23 has as many characters, so
    // it writes the exact binary value (99999999999999991611392). The digits are then laid
    // out positionally here.
    std::array<char, 32> buf;
    const char* end =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific)
            .ptr;
    const char* p = buf.data();
    std::string out;
    if (*p == '-') out += *p++;
    std::string digits;
    for (; *p != 'e'; ++p)
        if (*p != '.') digits += *p;
    long exponent = 0;  // of the first digit: "e+23", "e-07"
    const bool negative = *++p == '-';
    while (++p < end) exponent = exponent * 10 + (*p - '0');
    if (negative) exponent = -exponent;
    const long count = static_cast<long>(digits.size());
    if (exponent < 0) {
        out.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
    } else if (exponent + 1 >= count) {
        out.append(digits).append(static_cast<std::size_t>(exponent + 1 - count), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(exponent + 1))
            .append(".")
            .append(digits, static_cast<std::size_t>(exponent + 1));
    }
    return out;
}

std::string format_int(std::int64_t value) { return std::to_string(value); }

std::string format_uint(std::uint64_t value) { return std::to_string(value); }

}  // namespace drawkit
