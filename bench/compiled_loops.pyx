# cython: language_level=3, boundscheck=False, wraparound=False
# The loops of bench/compiled.py in Cython: each borrows the generator once, draws n values
# through drawkit.h's table with the GIL released, and returns their sum.
from drawkit_capi cimport Drawkit_API, Drawkit_Import, DrawkitGenerator, DrawkitTable

Drawkit_Import()


def random(g, Py_ssize_t n):
    cdef DrawkitGenerator* h = Drawkit_API.borrow(g)
    cdef double s = 0.0
    with nogil:
        for _ in range(n):
            s += Drawkit_API.random(h)
    Drawkit_API.release(h)
    return s


def normal(g, Py_ssize_t n):
    cdef DrawkitGenerator* h = Drawkit_API.borrow(g)
    cdef double s = 0.0
    with nogil:
        for _ in range(n):
            s += Drawkit_API.normal(h, 0.0, 1.0)
    Drawkit_API.release(h)
    return s


def gamma(g, Py_ssize_t n):
    cdef DrawkitGenerator* h = Drawkit_API.borrow(g)
    cdef double s = 0.0
    with nogil:
        for _ in range(n):
            s += Drawkit_API.gamma(h, 2.5, 1.0)
    Drawkit_API.release(h)
    return s


def poisson(g, Py_ssize_t n):
    cdef DrawkitGenerator* h = Drawkit_API.borrow(g)
    cdef unsigned long long s = 0
    with nogil:
        for _ in range(n):
            s += Drawkit_API.poisson(h, 3.0)
    Drawkit_API.release(h)
    return s


def categorical(g, c, Py_ssize_t n):
    cdef const DrawkitTable* t = Drawkit_API.table(c)
    cdef DrawkitGenerator* h = Drawkit_API.borrow(g)
    cdef unsigned long long s = 0
    with nogil:
        for _ in range(n):
            s += Drawkit_API.categorical(h, t)
    Drawkit_API.release(h)
    return s
