"""Instructions per call of a few Generator methods, from callgrind: repeatable to the
instruction, so a change near the per-call path shows up exactly where timings are noise.

Run:  python bench/callgrind_calls.py [NAME ...]

Each method is called n times by a C iterator of the interpreter (iter(f, None) for a
method without arguments, itertools.starmap for the others) in a child process under
valgrind --tool=callgrind, which counts only inside that iterator's step: the call from the
interpreter into the method, the method, and the step's own few instructions, never the
start-up or a bytecode loop. The count divided by n is the figure.
"""

from __future__ import annotations

import re
import subprocess
import sys
import tempfile
from pathlib import Path

CALLS = {  # name: (callable, arguments or None for no arguments)
    "random": ("g.random", None),
    "uniform": ("g.uniform", (0.0, 1.0)),
    "normal": ("g.normal", (0.0, 1.0)),
    "gamma": ("g.gamma", (2.5, 1.0)),
    "poisson": ("g.poisson", (3.0,)),
    "categorical": ("c.sample", "(g,)"),
}
N = 100_000

CHILD = """
import collections, itertools, drawkit
g = drawkit.Generator(7)
c = drawkit.Categorical([1.0 + i % 7 for i in range(1000)])
collections.deque({loop}, maxlen=0)
"""


def instructions_per_call(f: str, args: object) -> float:
    if args is None:
        loop, step = f"itertools.islice(iter({f}, None), {N})", "calliter_iternext"
    else:
        loop, step = f"itertools.starmap({f}, itertools.repeat({args}, {N}))", "starmap_next"
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "cg.out"
        command = ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"]
        command += [f"--toggle-collect={step}", sys.executable, "-c", CHILD.format(loop=loop)]
        subprocess.run(command, check=True, capture_output=True)
        totals = re.search(r"^totals: (\d+)", out.read_text(), re.M)
        assert totals, "no totals line in callgrind's output"
        return int(totals.group(1)) / N


def main() -> None:
    print("| call | instructions per call |\n|---|---|")
    for name in sys.argv[1:] or list(CALLS):
        f, args = CALLS[name]
        print(f"| {name} | {instructions_per_call(f, args):.1f} |", flush=True)


if __name__ == "__main__":
    main()
