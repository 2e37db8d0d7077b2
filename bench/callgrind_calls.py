"""Instructions per call of a few Generator methods, from callgrind: repeatable to the
instruction, so a change near the per-call path shows up exactly where timings are noise.

Run:  python bench/callgrind_calls.py [NAME ...]

Each method runs in two child processes under valgrind --tool=callgrind, one with n calls
and one with 2n; the difference of their totals divided by n is the cost of one call
(start-up, import and the loop's set-up cancel out). The loop itself is included.
"""

from __future__ import annotations

import re
import subprocess
import sys
import tempfile
from pathlib import Path

CALLS = {
    "random": "g.random()",
    "uniform": "g.uniform(0.0, 1.0)",
    "normal": "g.normal(0.0, 1.0)",
    "gamma": "g.gamma(2.5, 1.0)",
    "poisson": "g.poisson(3.0)",
    "categorical": "c.sample(g)",
}
N = 20_000

CHILD = """
import drawkit
g = drawkit.Generator(7)
c = drawkit.Categorical([1.0 + i % 7 for i in range(1000)])
for _ in range({n}):
    {call}
"""


def instructions(call: str, n: int) -> int:
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "cg.out"
        subprocess.run(
            [
                "valgrind",
                "--tool=callgrind",
                f"--callgrind-out-file={out}",
                sys.executable,
                "-c",
                CHILD.format(call=call, n=n),
            ],
            check=True,
            capture_output=True,
        )
        totals = re.search(r"^totals: (\d+)", out.read_text(), re.M)
        assert totals, "no totals line in callgrind's output"
        return int(totals.group(1))


def main() -> None:
    names = sys.argv[1:] or list(CALLS)
    print("| call | instructions per call |\n|---|---|")
    for name in names:
        call = CALLS[name]
        per_call = (instructions(call, 2 * N) - instructions(call, N)) / N
        print(f"| {call} | {per_call:.1f} |", flush=True)


if __name__ == "__main__":
    main()
