// Numbers as they appear in error messages.
//
// A float is written as the shortest decimal that reads back as the same double, in plain
// positional notation (never an exponent), with no fractional part when it is integral:
// 1.0 -> "1", 1e-7 -> "0.0000001", -0.0 -> "-0", NaN -> "NaN", infinities -> "inf"/"-inf".
// Integers are plain decimal.
#pragma once

#include <cstdint>
#include <string>

#include "fp_model.hpp"

namespace drawkit {

std::string format_float(double value);
std::string format_int(std::int64_t value);
std::string format_uint(std::uint64_t value);

}  // namespace drawkit
