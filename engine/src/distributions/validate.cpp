#include "validate.hpp"

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

}  // namespace drawkit
