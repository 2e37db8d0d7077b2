"""How soon the long calls stop after SIGINT (Ctrl-C).

Run:  python bench/interrupt.py [--only NAME ...]

Each call is started with a real-time alarm set ``--after`` seconds ahead, whose handler is
Python's own for SIGINT (KeyboardInterrupt). The figure is the time from the alarm to the
moment the call has returned with the exception; a call that cannot be interrupted shows
its remaining run time instead. The arguments are built before the alarm is set, so only
the call itself (argument conversion included) is timed.
"""

from __future__ import annotations

import argparse
import signal
import sys
import time

import drawkit

CASES = {
    "fill(bytearray(2 GiB))": ("bytearray(2 << 30)", "g.fill(a)"),
    "dirichlet([1.0] * 6e7)": ("[1.0] * 60_000_000", "g.dirichlet(a)"),
    "multivariate_normal(8000)": (
        "([0.0] * 8000, [0.5] * 8000**2)",
        "g.multivariate_normal(*a)",
    ),
    "systematic_resample([1.0] * 6e7, 1)": ("[1.0] * 60_000_000", "g.systematic_resample(a, 1)"),
    "sample(range(10**9), 10**8)": ("range(10**9)", "g.sample(a, 10**8)"),
    "sample(L, len(L)), L of 5e7": ("list(range(50_000_000))", "g.sample(a, len(a))"),
    "binomial(10**12, 0.5)": ("None", "g.binomial(10**12, 0.5)"),
}


def stop_time(setup: str, call: str, after: float) -> float | None:
    g = drawkit.Generator(1)
    scope = {"g": g, "a": eval(setup)}
    code = compile(call, "<call>", "eval")
    signal.signal(signal.SIGALRM, signal.default_int_handler)
    start = time.perf_counter()
    try:
        signal.setitimer(signal.ITIMER_REAL, after)
        eval(code, scope)
        signal.setitimer(signal.ITIMER_REAL, 0)
        return None  # finished before the alarm
    except KeyboardInterrupt:
        stopped = time.perf_counter() - start - after
    g.random()  # the generator is usable again
    return stopped


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--only", nargs="*", help="substrings of the case names to run")
    # Early enough that every case is still running: fill writes 2 GiB in about 0.3 s.
    parser.add_argument("--after", type=float, default=0.1, help="seconds before the alarm")
    args = parser.parse_args()
    print(f"{'case':<38} {'stopped after the alarm':>24}")
    for name, (setup, call) in CASES.items():
        if args.only and not any(s in name for s in args.only):
            continue
        stopped = stop_time(setup, call, args.after)
        shown = "finished first" if stopped is None else f"{stopped * 1000:.1f} ms"
        print(f"{name:<38} {shown:>24}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
