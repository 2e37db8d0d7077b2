// The layout of a Categorical instance, shared by the type (categorical_type.cpp) and by the
// C API of drawkit_capi, which samples a table without a Python call.
#pragma once

#include <cstdint>

#include "binding.hpp"
#include "sampling.hpp"

namespace drawkit::py {

struct CategoricalObject : Borrowable {
    FixedRemainder columns;  // reduction modulo the number of columns n >= 1
    double* prob;            // n entries: chance of keeping column i itself, in [0, 1]
    std::uint64_t* alias;    // n entries: index returned when column i's coin fails
};

}  // namespace drawkit::py
