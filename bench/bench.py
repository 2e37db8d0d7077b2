"""ns per call of every drawkit method, beside the standard library, NumPy and a bare builtin call.

Run:  python bench/bench.py [--quick] [--only NAME ...] [--no-write]

Every figure is the best of several repeats of a timed loop ``for _ in range(n): f(args)``
in which ``f`` and the arguments are locals (timeit's model), so the loop's own cost is
included in every column alike; the "empty loop" row shows it. The floor is a bare builtin
call of the same arity: ``math.fabs(1.0)`` for none or one argument, ``math.copysign(1.0,
2.0)`` for two. NumPy and matplotlib are optional (``pip install numpy matplotlib``); without
them their column is empty and no chart is drawn.

The Markdown table is printed and written to docs/benchmark.md; the chart to
docs/benchmark.png (log scale).
"""

from __future__ import annotations

import argparse
import gc
import platform
import re
import sys
import timeit
from dataclasses import dataclass
from pathlib import Path

try:
    import numpy as np
except ImportError:  # NumPy is a bench-only extra
    np = None

ROOT = Path(__file__).resolve().parent.parent
DOCS = ROOT / "docs"

# Shared fixtures, built once. Each case names the ones it needs in its setup.
FIXTURES = """
import math, random
import drawkit
g = drawkit.Generator(12345)
rnd = random.Random(12345)
L1000 = list(range(1000))
R1000 = range(1000)
L1M = list(range(1_000_000))
W1000 = [1.0 + (i % 7) for i in range(1000)]
W1M = [1.0 + (i % 7) for i in range(1_000_000)]
CW1000 = [float(sum(W1000[: i + 1])) for i in range(1000)]
CW100 = CW1000[:100]
try:
    C1000 = drawkit.Categorical(W1000)
    C100 = drawkit.Categorical(W1000[:100])
except Exception:
    C1000 = C100 = None
MEAN10 = [0.0] * 10
CHOL10 = [(1.0 if i == j else (0.1 if j < i else 0.0)) for i in range(10) for j in range(10)]
COV10 = [
    [sum(CHOL10[i * 10 + k] * CHOL10[j * 10 + k] for k in range(10)) for j in range(10)]
    for i in range(10)
]
ALPHA3 = [1.0, 2.0, 3.0]
P3 = [0.2, 0.3, 0.5]
try:
    import numpy as np
    npg = np.random.default_rng(12345)
    NPL1000 = np.arange(1000)
    NPCOV10 = np.array(COV10)
    NPMEAN10 = np.zeros(10)
except ImportError:
    npg = None
"""


@dataclass
class Case:
    name: str  # row label
    drawkit: str  # statement timed for drawkit
    arity: int  # arguments of the call, for the floor
    stdlib: str | None = None  # closest standard-library statement
    numpy: str | None = None  # NumPy Generator statement
    setup: str = ""  # extra setup (after FIXTURES)
    scalar: bool = True  # compared with the floor
    target: float | None = None  # ratio-to-floor target, if any


CASES = [
    Case("random()", "f()", 0, "rnd.random()", "npg.random()", "f = g.random", target=1.3),
    Case(
        "uniform(0.0, 1.0)",
        "f(0.0, 1.0)",
        2,
        "rnd.uniform(0.0, 1.0)",
        "npg.uniform(0.0, 1.0)",
        "f = g.uniform",
        target=1.3,
    ),
    Case(
        "integers(0, 100)",
        "f(0, 100)",
        2,
        "rnd.randrange(0, 100)",
        "npg.integers(0, 100)",
        "f = g.integers",
        target=1.3,
    ),
    Case(
        "bernoulli(0.3)",
        "f(0.3)",
        1,
        "rnd.random() < 0.3",
        "npg.random() < 0.3",
        "f = g.bernoulli",
        target=1.3,
    ),
    Case(
        "normal(0.0, 1.0)",
        "f(0.0, 1.0)",
        2,
        "rnd.gauss(0.0, 1.0)",
        "npg.normal(0.0, 1.0)",
        "f = g.normal",
        target=2,
    ),
    Case(
        "normal (normalvariate)",
        "f(0.0, 1.0)",
        2,
        "rnd.normalvariate(0.0, 1.0)",
        None,
        "f = g.normal",
        target=2,
    ),
    Case(
        "lognormal(0.0, 1.0)",
        "f(0.0, 1.0)",
        2,
        "rnd.lognormvariate(0.0, 1.0)",
        "npg.lognormal(0.0, 1.0)",
        "f = g.lognormal",
        target=2,
    ),
    Case(
        "exponential(1.0)",
        "f(1.0)",
        1,
        "rnd.expovariate(1.0)",
        "npg.exponential(1.0)",
        "f = g.exponential",
        target=2,
    ),
    Case(
        "laplace(0.0, 1.0)",
        "f(0.0, 1.0)",
        2,
        None,
        "npg.laplace(0.0, 1.0)",
        "f = g.laplace",
        target=2,
    ),
    Case(
        "cauchy(0.0, 1.0)",
        "f(0.0, 1.0)",
        2,
        None,
        "npg.standard_cauchy()",
        "f = g.cauchy",
        target=2,
    ),
    Case(
        "gamma(2.5, 1.0)",
        "f(2.5, 1.0)",
        2,
        "rnd.gammavariate(2.5, 1.0)",
        "npg.gamma(2.5, 1.0)",
        "f = g.gamma",
        target=3,
    ),
    Case(
        "gamma(0.5, 1.0)",
        "f(0.5, 1.0)",
        2,
        "rnd.gammavariate(0.5, 1.0)",
        "npg.gamma(0.5, 1.0)",
        "f = g.gamma",
        target=3,
    ),
    Case(
        "beta(2.0, 3.0)",
        "f(2.0, 3.0)",
        2,
        "rnd.betavariate(2.0, 3.0)",
        "npg.beta(2.0, 3.0)",
        "f = g.beta",
        target=3,
    ),
    Case("chisquare(3.0)", "f(3.0)", 1, None, "npg.chisquare(3.0)", "f = g.chisquare", target=3),
    Case("student_t(5.0)", "f(5.0)", 1, None, "npg.standard_t(5.0)", "f = g.student_t", target=3),
    Case("poisson(3.0)", "f(3.0)", 1, None, "npg.poisson(3.0)", "f = g.poisson", target=2),
    Case("poisson(25.0)", "f(25.0)", 1, None, "npg.poisson(25.0)", "f = g.poisson", target=3),
    Case("poisson(1000.0)", "f(1000.0)", 1, None, "npg.poisson(1000.0)", "f = g.poisson"),
    Case("geometric(0.1)", "f(0.1)", 1, None, "npg.geometric(0.1)", "f = g.geometric", target=2),
    Case(
        "binomial(100, 0.5)",
        "f(100, 0.5)",
        2,
        "rnd.binomialvariate(100, 0.5)",
        "npg.binomial(100, 0.5)",
        "f = g.binomial",
    ),
    Case(
        "binomial(10_000, 0.5)",
        "f(10_000, 0.5)",
        2,
        "rnd.binomialvariate(10_000, 0.5)",
        "npg.binomial(10_000, 0.5)",
        "f = g.binomial",
    ),
    Case(
        "multinomial(10, [.2, .3, .5])",
        "f(10, P3)",
        2,
        None,
        "npg.multinomial(10, P3)",
        "f = g.multinomial",
        scalar=False,
    ),
    Case(
        "multivariate_normal(n=10)",
        "f(MEAN10, CHOL10)",
        2,
        None,
        "npg.multivariate_normal(NPMEAN10, NPCOV10)",
        "f = g.multivariate_normal",
        scalar=False,
    ),
    Case(
        "dirichlet([1, 2, 3])",
        "f(ALPHA3)",
        1,
        None,
        "npg.dirichlet(ALPHA3)",
        "f = g.dirichlet",
        scalar=False,
    ),
    Case(
        "choice(list of 1,000)",
        "f(L1000)",
        1,
        "rnd.choice(L1000)",
        "npg.choice(NPL1000)",
        "f = g.choice",
    ),
    Case("choice(range(1,000))", "f(R1000)", 1, "rnd.choice(R1000)", None, "f = g.choice"),
    Case(
        "choices(L, 100)",
        "f(L1000, 100)",
        2,
        "rnd.choices(L1000, k=100)",
        None,
        "f = g.choices",
        scalar=False,
    ),
    Case(
        "10 x choice(10^6 list)",
        "f(L1M); f(L1M); f(L1M); f(L1M); f(L1M); f(L1M); f(L1M); f(L1M); f(L1M); f(L1M)",
        1,
        None,
        None,
        "f = g.choice",
        scalar=False,
    ),
    Case(
        "sample(10^6 list, 10)",
        "f(L1M, 10)",
        2,
        "rnd.sample(L1M, 10)",
        "npg.choice(1_000_000, 10, replace=False).tolist()",
        "f = g.sample",
        scalar=False,
    ),
    Case(
        "shuffle(10^6 list)",
        "f(L1M)",
        1,
        "rnd.shuffle(L1M)",
        "npg.shuffle(L1M)",
        "f = g.shuffle",
        scalar=False,
    ),
    Case(
        "permutation(10^6)",
        "f(1_000_000)",
        1,
        "rnd.sample(range(1_000_000), 1_000_000)",
        "npg.permutation(1_000_000).tolist()",
        "f = g.permutation",
        scalar=False,
    ),
    Case(
        "bootstrap_indices(10^6)",
        "f(1_000_000)",
        1,
        "rnd.choices(range(1_000_000), k=1_000_000)",
        "npg.integers(0, 1_000_000, 1_000_000).tolist()",
        "f = g.bootstrap_indices",
        scalar=False,
    ),
    Case(
        "systematic_resample(1,000 w, 1,000)",
        "f(W1000, 1000)",
        2,
        None,
        None,
        "f = g.systematic_resample",
        scalar=False,
    ),
    Case(
        "Categorical.sample (1,000 w)",
        "f(g)",
        1,
        "rnd.choices(L1000, cum_weights=CW1000)",
        None,
        "f = C1000.sample",
        target=1.3,
    ),
    Case(
        "Categorical.sample (100 w)",
        "f(g)",
        1,
        "rnd.choices(L1000[:100], cum_weights=CW100)",
        None,
        "f = C100.sample",
        target=1.3,
    ),
    Case(
        "Categorical(10^6 weights)",
        "f(W1M)",
        1,
        None,
        None,
        "f = drawkit.Categorical",
        scalar=False,
    ),
    Case(
        "fill(bytearray(4096))",
        "f(B)",
        1,
        "rnd.randbytes(4096)",
        "npg.bytes(4096)",
        "f = g.fill; B = bytearray(4096)",
        scalar=False,
    ),
    Case("split(8)", "f(8)", 1, None, "npg.spawn(8)", "f = g.split", scalar=False),
    Case("state()", "f()", 0, "rnd.getstate()", None, "f = g.state", scalar=False),
]

FLOORS = {
    0: ("math.fabs(1.0)", "f = math.fabs", "f(1.0)"),
    1: ("math.fabs(1.0)", "f = math.fabs", "f(1.0)"),
    2: ("math.copysign(1.0, 2.0)", "f = math.copysign", "f(1.0, 2.0)"),
}


def localised(stmt: str) -> tuple[str, str]:
    """Turns ``obj.method(args) rest`` into a bound method held in a local: (setup, stmt)."""
    m = re.match(r"^(\w+)\.(\w+)\((.*)\)(.*)$", stmt)
    if not m:
        return "", stmt
    obj, method, call_args, rest = m.groups()
    return f"h = {obj}.{method}", f"h({call_args}){rest}"


def best_ns(stmt: str, setup: str, quick: bool) -> float | None:
    """Best-of-repeats ns per execution of `stmt`, or None when the statement cannot run."""
    try:
        timer = timeit.Timer(stmt, FIXTURES + "\n" + setup)
        timer.timeit(1)  # warm-up, and a check that the statement runs
    except Exception as exc:  # a method that is missing or an optional dependency
        print(f"  skipped {stmt!r}: {type(exc).__name__}: {exc}", file=sys.stderr)
        return None
    # Calibrate so that one repeat takes about 0.1 s (0.02 s in quick mode).
    target = 0.02 if quick else 0.1
    number = 1
    while True:
        t = timer.timeit(number)
        if t >= target / 4 or number >= 10_000_000:
            break
        number *= 4
    number = max(1, int(number * target / max(t, 1e-9)))
    repeats = 3 if quick else 7
    gc_was_enabled = gc.isenabled()
    gc.disable()
    try:
        times = timer.repeat(repeat=repeats, number=number)
    finally:
        if gc_was_enabled:
            gc.enable()
    return min(times) / number * 1e9


def fmt(ns: float | None) -> str:
    if ns is None:
        return ""
    if ns >= 100_000:
        return f"{ns / 1000:,.0f} µs"
    if ns >= 10_000:
        return f"{ns / 1000:,.1f} µs"
    return f"{ns:,.1f}"


def ratio(a: float | None, b: float | None) -> str:
    if a is None or b is None:
        return ""
    return f"{a / b:.2f}x"


def main() -> int:
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--quick", action="store_true", help="shorter repeats (less stable)")
    parser.add_argument("--only", nargs="*", help="substrings of the cases to run")
    parser.add_argument("--no-write", action="store_true", help="print only; do not write docs/")
    args = parser.parse_args()

    cases = [c for c in CASES if not args.only or any(s in c.name for s in args.only)]
    floors = {
        k: best_ns(stmt, setup, args.quick) for k, (_, setup, stmt) in FLOORS.items() if k > 0
    }
    floors[0] = floors[1]
    empty = best_ns("pass", "", args.quick)

    rows = []
    for case in cases:
        print(f"timing {case.name} ...", file=sys.stderr)
        dk = best_ns(case.drawkit, case.setup, args.quick)
        std = best_ns(*reversed(localised(case.stdlib)), args.quick) if case.stdlib else None
        npy = (
            best_ns(*reversed(localised(case.numpy)), args.quick)
            if (case.numpy and np is not None)
            else None
        )
        floor = floors[case.arity] if case.scalar else None
        rows.append((case, dk, floor, std, npy))

    header = (
        "| method | drawkit ns | floor ns | ratio to floor | target | `random` ns | NumPy ns "
        "| speed-up vs `random` | speed-up vs NumPy |"
    )
    lines = [header, "|" + "---|" * 9]
    for case, dk, floor, std, npy in rows:
        target = f"≤ {case.target:g}x" if case.target else ""
        lines.append(
            f"| {case.name} | {fmt(dk)} | {fmt(floor)} | {ratio(dk, floor)} | {target} "
            f"| {fmt(std)} | {fmt(npy)} "
            f"| {ratio(std, dk)} | {ratio(npy, dk)} |"
        )
    info = (
        f"CPython {platform.python_version()}, {platform.machine()}, "
        f"NumPy {np.__version__ if np is not None else 'not installed'}; "
        f"floor: {FLOORS[1][0]} = {fmt(floors[1])} ns, {FLOORS[2][0]} = {fmt(floors[2])} ns; "
        f"empty loop = {fmt(empty)} ns per iteration (included in every figure)."
    )
    table = "\n".join(lines)
    print()
    print(table)
    print()
    print(info)

    if not args.no_write and not args.only:
        DOCS.mkdir(exist_ok=True)
        doc = DOCS / "benchmark.md"
        # Sections of other benchmarks after this one's (bench/compiled.py's) are kept.
        rest = doc.read_text().partition("\n## ")[2] if doc.exists() else ""
        doc.write_text(
            "# drawkit benchmark\n\n"
            "ns per call, best of several repeats; produced by `python bench/bench.py`.\n\n"
            + table
            + "\n\n"
            + info
            + "\n"
            + (f"\n## {rest}" if rest else "")
        )
        draw_chart(rows, floors)
    return 0


def draw_chart(rows, floors) -> None:
    try:
        import matplotlib

        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib not installed: no chart", file=sys.stderr)
        return
    labels = [case.name for case, *_ in rows]
    series = [
        ("drawkit", [r[1] for r in rows], "#1f77b4"),
        ("random", [r[3] for r in rows], "#ff7f0e"),
        ("NumPy", [r[4] for r in rows], "#2ca02c"),
    ]
    height = 0.27
    fig, ax = plt.subplots(figsize=(10, 0.42 * len(rows) + 1.5))
    for k, (name, values, color) in enumerate(series):
        ys = [i + (k - 1) * height for i in range(len(rows))]
        ax.barh(ys, [v if v else 0 for v in values], height=height, label=name, color=color)
    ax.axvline(
        floors[2], color="grey", linestyle="--", linewidth=1, label="bare builtin call (2 args)"
    )
    ax.set_yticks(range(len(rows)))
    ax.set_yticklabels(labels, fontsize=8)
    ax.invert_yaxis()
    ax.set_xscale("log")
    ax.set_xlabel("ns per call (log scale, lower is better)")
    ax.set_title("drawkit vs random vs NumPy, one value per call")
    ax.legend(loc="lower right", fontsize=8)
    fig.tight_layout()
    fig.savefig(DOCS / "benchmark.png", dpi=110)
    print(f"wrote {DOCS / 'benchmark.png'}", file=sys.stderr)


if __name__ == "__main__":
    sys.exit(main())
