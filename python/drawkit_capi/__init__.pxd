# Cython declarations of drawkit.h, so that `from drawkit_capi cimport ...` works; the C
# compiler needs drawkit_capi.get_include() on its include path. The rules of borrowing, the
# GIL and errors are in the header.
from libc.stdint cimport int64_t, uint64_t


cdef extern from "drawkit.h":
    ctypedef struct DrawkitGenerator:
        pass

    ctypedef struct DrawkitTable:
        pass

    ctypedef struct DrawkitCAPI:
        unsigned int version
        DrawkitGenerator* (*borrow)(object generator) except NULL
        int (*release)(DrawkitGenerator* g) except -1
        const char* (*error)(const DrawkitGenerator* g) noexcept nogil
        const DrawkitTable* (*table)(object categorical) except NULL
        double (*random)(DrawkitGenerator* g) noexcept nogil
        double (*uniform)(DrawkitGenerator* g, double low, double high) noexcept nogil
        int64_t (*integers)(DrawkitGenerator* g, int64_t low, int64_t high) noexcept nogil
        int (*bernoulli)(DrawkitGenerator* g, double p) noexcept nogil
        double (*normal)(DrawkitGenerator* g, double loc, double scale) noexcept nogil
        double (*lognormal)(DrawkitGenerator* g, double mean, double sigma) noexcept nogil
        double (*exponential)(DrawkitGenerator* g, double scale) noexcept nogil
        double (*laplace)(DrawkitGenerator* g, double loc, double scale) noexcept nogil
        double (*cauchy)(DrawkitGenerator* g, double loc, double scale) noexcept nogil
        double (*gamma)(DrawkitGenerator* g, double shape, double scale) noexcept nogil
        double (*beta)(DrawkitGenerator* g, double a, double b) noexcept nogil
        double (*chisquare)(DrawkitGenerator* g, double df) noexcept nogil
        double (*student_t)(DrawkitGenerator* g, double df) noexcept nogil
        uint64_t (*poisson)(DrawkitGenerator* g, double lam) noexcept nogil
        uint64_t (*geometric)(DrawkitGenerator* g, double p) noexcept nogil
        uint64_t (*binomial)(DrawkitGenerator* g, uint64_t n, double p) noexcept nogil
        uint64_t (*categorical)(DrawkitGenerator* g, const DrawkitTable* table) noexcept nogil

    const DrawkitCAPI* Drawkit_API
    int Drawkit_Import() except -1
