"""Instructions per call of drawkit's scalar methods, counted by callgrind.

Run:  python bench/instructions.py [--only NAME ...] [--calls N]

The interpreter running this script is the one measured, with whatever drawkit it imports,
so the same script compares two builds: run it once from each environment (or with
PYTHONPATH pointing at a directory that holds another build of the module).

Each case runs a child interpreter under ``valgrind --tool=callgrind`` twice, with a loop
of N and of 2N calls ``f(args)`` (``f`` and the arguments locals), and reports the
difference divided by N: start-up, imports and set-up cancel out, and the count is the
same from run to run, unlike a time. The loop's own cost is part of every figure; the
``floor`` row, a bare builtin call, shows it.
"""

from __future__ import annotations

import argparse
import os
import re
import subprocess
import sys
import tempfile

# name -> (set-up, the call); `g` is a seeded Generator, `f` is bound before the loop.
CASES: dict[str, tuple[str, str]] = {
    "floor": ("import math; f = math.fabs", "f(1.0)"),
    "random": ("f = g.random", "f()"),
    "uniform": ("f = g.uniform", "f(0.0, 1.0)"),
    "integers": ("f = g.integers", "f(0, 100)"),
    "bernoulli": ("f = g.bernoulli", "f(0.3)"),
    "normal": ("f = g.normal", "f(0.0, 1.0)"),
    "lognormal": ("f = g.lognormal", "f(0.0, 1.0)"),
    "exponential": ("f = g.exponential", "f(1.0)"),
    "laplace": ("f = g.laplace", "f(0.0, 1.0)"),
    "cauchy": ("f = g.cauchy", "f(0.0, 1.0)"),
    "gamma": ("f = g.gamma", "f(2.0, 1.0)"),
    "beta": ("f = g.beta", "f(2.0, 3.0)"),
    "chisquare": ("f = g.chisquare", "f(3.0)"),
    "student_t": ("f = g.student_t", "f(3.0)"),
    "geometric": ("f = g.geometric", "f(0.3)"),
    "poisson(3)": ("f = g.poisson", "f(3.0)"),
    "poisson(30)": ("f = g.poisson", "f(30.0)"),
    "binomial(10,.5)": ("f = g.binomial", "f(10, 0.5)"),
    "choice(list)": ("f = g.choice; L = list(range(1000))", "f(L)"),
    "choice(range)": ("f = g.choice; L = range(1000)", "f(L)"),
    "choices(list,10)": ("f = g.choices; L = list(range(1000))", "f(L, 10)"),
    "sample(list,10)": ("f = g.sample; L = list(range(1000))", "f(L, 10)"),
    "shuffle(list10)": ("f = g.shuffle; L = list(range(10))", "f(L)"),
    "fill(16 bytes)": ("f = g.fill; B = bytearray(16)", "f(B)"),
    "dirichlet(3)": ("f = g.dirichlet; A = [1.0, 2.0, 3.0]", "f(A)"),
    "multivariate_normal(2)": (
        "f = g.multivariate_normal; M = [0.0, 0.0]; L = [1.0, 0.0, 0.5, 1.0]",
        "f(M, L)",
    ),
    "systematic_resample": ("f = g.systematic_resample; W = [1.0, 2.0, 3.0]", "f(W, 4)"),
    "categorical": ("import drawkit; f = drawkit.Categorical([1.0, 2.0, 3.0]).sample", "f(g)"),
}

CHILD = """
import drawkit
g = drawkit.Generator(12345)
{setup}
def loop(n):
    for _ in range(n):
        {call}
loop({n})
"""


def collected(setup: str, call: str, n: int) -> int:
    """Instructions of a whole child run whose loop makes n calls."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "callgrind.out")
        proc = subprocess.run(
            ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"]
            + [sys.executable, "-c", CHILD.format(setup=setup, call=call, n=n)],
            capture_output=True,
            text=True,
            env={**os.environ, "PYTHONHASHSEED": "0"},
        )
        match = re.search(r"Collected\s*:\s*(\d+)", proc.stderr)
        if proc.returncode != 0 or match is None:
            raise RuntimeError(f"callgrind failed for {call!r}:\n{proc.stderr[-2000:]}")
        return int(match.group(1))


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--only", nargs="*", help="substrings of the case names to run")
    parser.add_argument("--calls", type=int, default=20000, help="N, the calls per loop")
    args = parser.parse_args()
    import drawkit

    print(f"# {sys.executable}  drawkit from {os.path.dirname(drawkit.__file__ or '.')}")
    print(f"{'case':<18} {'instr/call':>10}")
    for name, (setup, call) in CASES.items():
        if args.only and not any(s in name for s in args.only):
            continue
        n = args.calls
        per_call = (collected(setup, call, 2 * n) - collected(setup, call, n)) / n
        print(f"{name:<18} {per_call:>10.1f}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
