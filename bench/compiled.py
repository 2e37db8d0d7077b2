"""ns per value drawn from compiled loops through drawkit_capi: a Numba @njit loop and a
Cython loop (bench/compiled_loops.pyx, built here), beside NumPy's fastest ways to the same
values from compiled code: its bit generator's next_double called from Numba, and its bulk
normal(size=n).

Run:  python bench/compiled.py [--no-write]

Needs numba, Cython and a C compiler (pip install numba cython). Every figure is the best of
several repeats of one call that fills an array of n values, divided by n (so each loop is
what a user's loop that keeps its values does). The table is printed and written to
docs/benchmark.md, in place of its section "From compiled code".
"""

from __future__ import annotations

import argparse
import importlib.util
import os
import platform
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import time
from pathlib import Path

import drawkit
import drawkit_capi
import numba
import numpy as np
from drawkit_capi import borrowed, cfuncs

ROOT = Path(__file__).resolve().parent.parent
DOC = ROOT / "docs" / "benchmark.md"
HEADING = "## From compiled code"
N = 2_000_000
REPEATS = 7
WEIGHTS = [1.0 + (i % 7) for i in range(1000)]


@numba.njit
def nb_random(h, t, out):
    for i in range(out.size):
        out[i] = cfuncs.random(h)


@numba.njit
def nb_normal(h, t, out):
    for i in range(out.size):
        out[i] = cfuncs.normal(h, 0.0, 1.0)


@numba.njit
def nb_gamma(h, t, out):
    for i in range(out.size):
        out[i] = cfuncs.gamma(h, 2.5, 1.0)


@numba.njit
def nb_poisson(h, t, out):
    for i in range(out.size):
        out[i] = cfuncs.poisson(h, 3.0)


@numba.njit
def nb_categorical(h, t, out):
    for i in range(out.size):
        out[i] = cfuncs.categorical(h, t)


_bitgen = np.random.PCG64(12345)
_next_double = _bitgen.ctypes.next_double


@numba.njit
def nb_numpy_next_double(state, out):
    for i in range(out.size):
        out[i] = _next_double(state)


def build_cython(tmp: Path):
    """bench/compiled_loops.pyx as an extension module in tmp."""
    cc = sysconfig.get_config_var("CC").split()
    shutil.copy(ROOT / "bench" / "compiled_loops.pyx", tmp)
    subprocess.run([sys.executable, "-m", "cython", "compiled_loops.pyx"], cwd=tmp, check=True)
    so = tmp / ("compiled_loops" + sysconfig.get_config_var("EXT_SUFFIX"))
    flags = ["-shared", "-fPIC", "-O2", f"-I{sysconfig.get_path('include')}"]
    flags.append(f"-I{drawkit_capi.get_include()}")
    subprocess.run([*cc, *flags, "compiled_loops.c", "-o", so], cwd=tmp, check=True)
    location = importlib.util.spec_from_file_location("compiled_loops", so)
    module = importlib.util.module_from_spec(location)
    location.loader.exec_module(module)
    return module


def best_ns(run, dtype=np.float64) -> float:
    """Best ns per value over the repeats of run(out), which fills the array out."""
    out = np.empty(N, dtype)
    run(out[:1000])  # compiled and warm
    best = float("inf")
    for _ in range(REPEATS):
        t0 = time.perf_counter()
        run(out)
        best = min(best, time.perf_counter() - t0)
    return best / N * 1e9


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--no-write", action="store_true", help="print the table only")
    args = parser.parse_args()
    g, c = drawkit.Generator(12345), drawkit.Categorical(WEIGHTS)
    t = drawkit_capi.table(c)
    with tempfile.TemporaryDirectory() as tmp:
        cy = build_cython(Path(tmp))
    draws = [  # name, Numba loop, Cython loop, result type
        ("random()", nb_random, cy.random, np.float64),
        ("normal(0.0, 1.0)", nb_normal, cy.normal, np.float64),
        ("gamma(2.5, 1.0)", nb_gamma, cy.gamma, np.float64),
        ("poisson(3.0)", nb_poisson, cy.poisson, np.uint64),
        ("Categorical.sample (1,000 w)", nb_categorical, cy.categorical, np.uint64),
    ]
    rng = np.random.default_rng(12345)
    numpy_rows = {  # the same job done NumPy's fastest way
        "random()": (
            "bit generator's next_double through Numba",
            best_ns(lambda out: nb_numpy_next_double(_bitgen.ctypes.state_address, out)),
        ),
        "normal(0.0, 1.0)": ("bulk normal(size=n)", best_ns(lambda out: rng.normal(size=out.size))),
    }
    lines = [
        "| draw | Numba ns | Cython ns | NumPy ns | NumPy's way |",
        "|---|---|---|---|---|",
    ]
    results = {}
    for name, nb, cy_loop, dtype in draws:
        with borrowed(g) as h:
            numba_ns = best_ns(lambda out, nb=nb, h=h: nb(h, t, out), dtype)
        cython_ns = best_ns(lambda out, f=cy_loop: f(g, c, out), dtype)
        way, numpy_ns = numpy_rows.get(name, ("", None))
        results[name] = numba_ns
        numpy_cell = f"{numpy_ns:.2f}" if numpy_ns is not None else ""
        lines.append(f"| {name} | {numba_ns:.2f} | {cython_ns:.2f} | {numpy_cell} | {way} |")
    ratio = results["random()"] / numpy_rows["random()"][1]
    info = (
        f"CPython {platform.python_version()}, {platform.machine()}, NumPy {np.__version__}, "
        f"Numba {numba.__version__}; n = {N:,} values per call, best of {REPEATS}; "
        f"load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores at the end. "
        f"random() from Numba is {ratio:.2f}x NumPy's next_double from Numba "
        "(goals: random() <= 3 ns, normal() <= 10 ns from Numba, within 1.5x of next_double)."
    )
    table = "\n".join(lines)
    print(table, info, sep="\n\n")
    if not args.no_write:
        text = DOC.read_text() if DOC.exists() else ""
        head = text.split("\n" + HEADING)[0].rstrip("\n")
        section = (
            f"{HEADING}\n\nns per value drawn in a loop of compiled code through `drawkit_capi`; "
            f"produced by `python bench/compiled.py`.\n\n{table}\n\n{info}\n"
        )
        DOC.write_text(f"{head}\n\n{section}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
