# cython: language_level=3, boundscheck=False, wraparound=False
# The loops of bench/compiled.py in Cython: each borrows the generator once and fills `out`
# through drawkit.h's table with the GIL released.
from drawkit_capi cimport Drawkit_API, Drawkit_Import, DrawkitGenerator, DrawkitTable

Drawkit_Import()


def random(g, c, double[::1] out):
    cdef DrawkitGenerator* h = Drawkit_API.borrow(g)
    with nogil:
        for i in range(out.shape[0]):
            out[i] = Drawkit_API.random(h)
    Drawkit_API.release(h)


def normal(g, c, double[::1] out):
    cdef DrawkitGenerator* h = Drawkit_API.borrow(g)
    with nogil:
        for i in range(out.shape[0]):
            out[i] = Drawkit_API.normal(h, 0.0, 1.0)
    Drawkit_API.release(h)


def gamma(g, c, double[::1] out):
    cdef DrawkitGenerator* h = Drawkit_API.borrow(g)
    with nogil:
        for i in range(out.shape[0]):
            out[i] = Drawkit_API.gamma(h, 2.5, 1.0)
    Drawkit_API.release(h)


def poisson(g, c, unsigned long long[::1] out):
    cdef DrawkitGenerator* h = Drawkit_API.borrow(g)
    with nogil:
        for i in range(out.shape[0]):
            out[i] = Drawkit_API.poisson(h, 3.0)
    Drawkit_API.release(h)


def categorical(g, c, unsigned long long[::1] out):
    cdef const DrawkitTable* t = Drawkit_API.table(c)
    cdef DrawkitGenerator* h = Drawkit_API.borrow(g)
    with nogil:
        for i in range(out.shape[0]):
            out[i] = Drawkit_API.categorical(h, t)
    Drawkit_API.release(h)
