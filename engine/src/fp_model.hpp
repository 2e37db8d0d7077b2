// The arithmetic every result of the core is defined in: binary64, each operation rounded
// to nearest on its own. A target that evaluates double expressions in wider precision
// (the x87 unit of 32-bit x86, FLT_EVAL_METHOD 2) would round twice and give other bits
// for the same seed, silently; such a build stops here instead. Every core header that
// does floating-point work includes this one.
#pragma once

#include <cfloat>
#include <limits>

static_assert(std::numeric_limits<double>::is_iec559 && std::numeric_limits<double>::digits == 53,
              "drawkit computes in IEEE-754 binary64: double must be that format");
static_assert(FLT_EVAL_METHOD == 0,
              "drawkit needs every double operation rounded to double on its own, but this "
              "build evaluates in wider precision (FLT_EVAL_METHOD != 0, e.g. x87 arithmetic on "
              "32-bit x86): compile with -msse2 -mfpmath=sse");
