"""The C API's draws as ctypes functions, callable from Python through ctypes and from
Numba's ``@njit`` code, where they compile to direct calls. Each takes the address that
``drawkit_capi.borrowed`` gives, then the Python method's parameters in order::

    from drawkit_capi import borrowed, cfuncs

    @numba.njit
    def total(h, n):
        s = 0.0
        for _ in range(n):
            s += cfuncs.normal(h, 0.0, 1.0)
        return s

    with borrowed(g) as h:
        total(h, 1000)

bernoulli gives 1 or 0; categorical takes ``drawkit_capi.table(c)`` for the Categorical c;
error(h) gives the message an invalid call recorded (bytes), None while there is none.
"""

from ctypes import CFUNCTYPE, c_char_p, c_double, c_int, c_int64, c_uint64, c_void_p
from typing import Any

from ._capi import addresses

_g = c_void_p  # the borrow's address


def _function(name: str, result: Any, *params: Any) -> Any:
    return CFUNCTYPE(result, _g, *params)(addresses[name])


error = _function("error", c_char_p)  # the recorded error's message (bytes), or None
random = _function("random", c_double)
uniform = _function("uniform", c_double, c_double, c_double)
integers = _function("integers", c_int64, c_int64, c_int64)
bernoulli = _function("bernoulli", c_int, c_double)
normal = _function("normal", c_double, c_double, c_double)
lognormal = _function("lognormal", c_double, c_double, c_double)
exponential = _function("exponential", c_double, c_double)
laplace = _function("laplace", c_double, c_double, c_double)
cauchy = _function("cauchy", c_double, c_double, c_double)
gamma = _function("gamma", c_double, c_double, c_double)
beta = _function("beta", c_double, c_double, c_double)
chisquare = _function("chisquare", c_double, c_double)
student_t = _function("student_t", c_double, c_double)
poisson = _function("poisson", c_uint64, c_double)
geometric = _function("geometric", c_uint64, c_double)
binomial = _function("binomial", c_uint64, c_uint64, c_double)
categorical = _function("categorical", c_uint64, c_void_p)
