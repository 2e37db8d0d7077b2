"""A hot loop moved into Numba without losing its numbers.

A compound Poisson loss model (a Poisson number of claims a year, each claim lognormal) is
prototyped in Python with drawkit, then compiled with Numba's @njit, drawing through
drawkit_capi from the same kind of generator: the compiled loop gives exactly the prototype's
total, bit for bit, and leaves its generator in the same state. Needs numba
(pip install numba).
"""

import time

import drawkit
import numba  # type: ignore[import-not-found, unused-ignore]
from drawkit_capi import borrowed, cfuncs


def total_loss(g: drawkit.Generator, years: int) -> float:
    """The prototype: plain Python, one draw per call."""
    total = 0.0
    for _ in range(years):
        for _ in range(g.poisson(3.0)):
            total += g.lognormal(0.0, 1.0)
    return total


@numba.njit()  # type: ignore[misc, untyped-decorator, unused-ignore]
def total_loss_kernel(h: int, years: int) -> float:
    """The same loop on a borrowed generator h, for Numba to compile."""
    total = 0.0
    for _ in range(years):
        for _ in range(cfuncs.poisson(h, 3.0)):
            total += cfuncs.lognormal(h, 0.0, 1.0)
    return total


def total_loss_compiled(g: drawkit.Generator, years: int) -> float:
    with borrowed(g) as h:  # g is held for the block: Python calls on it would raise
        total: float = total_loss_kernel(h, years)
    return total


def main() -> None:
    years = 200_000
    total_loss_compiled(drawkit.Generator(0), 1)  # compile once before timing
    prototype, compiled = drawkit.Generator(42), drawkit.Generator(42)
    t0 = time.perf_counter()
    expected = total_loss(prototype, years)
    t1 = time.perf_counter()
    got = total_loss_compiled(compiled, years)
    t2 = time.perf_counter()
    print(f"mean yearly loss {got / years:.4f} (Python {t1 - t0:.3f} s, Numba {t2 - t1:.3f} s)")
    same = got.hex() == expected.hex() and compiled.state() == prototype.state()
    print(f"compiled == prototype: {same}")


if __name__ == "__main__":
    main()
