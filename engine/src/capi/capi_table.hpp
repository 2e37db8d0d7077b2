// The table of C functions that drawkit_capi hands out in its capsule (drawkit.h), and the
// names under which the module also lists their addresses for ctypes and Numba.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <utility>

#include "drawkit.h"

namespace drawkit::capi {

extern const DrawkitCAPI table;

// The name and address of error() and of every draw, in the table's order.
extern const std::pair<const char*, void*> draw_addresses[];
extern const std::size_t draw_count;

// The drawkit types whose objects the table accepts, taken from the drawkit module when
// drawkit_capi is first imported and kept for the process. False with an error set.
bool find_types(PyObject* drawkit_module) noexcept;

}  // namespace drawkit::capi
