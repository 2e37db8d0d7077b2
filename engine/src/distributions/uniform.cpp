#include "uniform.hpp"

#include "../number_format.hpp"

namespace drawkit {

std::string positive_message(std::string_view name, double value) {
    std::string msg(name);
    msg += " must be a positive, finite number, got ";
    msg += format_float(value);
    return msg;
}

std::string probability_message(double value) {
    return "p must be a probability between 0 and 1, got " + format_float(value);
}

std::string finite_message(std::string_view name, double value) {
    std::string msg(name);
    msg += " must be finite, got ";
    msg += format_float(value);
    return msg;
}

std::string uniform_message(double low, double high) {
    return "uniform(" + format_float(low) + ", " + format_float(high) +
           "): high must be greater than low, and both must be finite";
}

std::string integers_message(std::int64_t low, std::int64_t high) {
    return "integers(" + format_int(low) + ", " + format_int(high) +
           "): high must be greater than low";
}

void fill(Xoshiro256PlusPlus& e, unsigned char* buf, std::size_t n) noexcept {
    std::size_t pos = 0;
    while (pos < n) {
        std::uint64_t x = e.next_u64();
        const std::size_t c = n - pos < 8 ? n - pos : 8;
        for (std::size_t i = 0; i < c; ++i) {
            buf[pos + i] = static_cast<unsigned char>(x & 0xFFU);
            x >>= 8;
        }
        pos += c;
    }
}

}  // namespace drawkit
