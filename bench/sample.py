"""Time and peak memory of ``sample`` at large k, beside copying the list and shuffling it.

Run:  python bench/sample.py [--only NAME ...] [--big]

Each case runs in a child interpreter of the same Python, so that its peak resident size
(ru_maxrss) belongs to that case alone: the figure is that peak less the resident size
just before the call, less the result itself (8 bytes a slot, and 32 bytes an element
for the new ints a range hands out). The peak counts what C++ allocates, which
tracemalloc cannot see. Times are the best of that call and three more. ``--big`` adds
``sample(range(10**9), 10**8)``, which needs about 8 GB.
"""

from __future__ import annotations

import argparse
import subprocess
import sys

CHILD = """
import drawkit, random, resource, time
L = list(range(3_000_000))
g, rnd = drawkit.Generator(1), random.Random(1)
seq, k, new_elements = {seq}, {k}, {new_elements}
def call():
    {call}
rss = int(open("/proc/self/statm").read().split()[1]) * resource.getpagesize()
t0 = time.perf_counter()
result = call()
times = [time.perf_counter() - t0]
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
above = peak - rss - 8 * k - (32 * k if new_elements else 0)
del result
for _ in range({repeats}):
    t0 = time.perf_counter()
    result = call()
    times.append(time.perf_counter() - t0)
    del result
print(min(times), above / max(k, 1))
"""

# name -> (sequence, k, whether the elements are new objects, the call)
CASES = {
    "sample(L, len(L))": ("L", "len(L)", False, "return g.sample(seq, k)"),
    "list(L) + shuffle": ("L", "len(L)", False, "c = list(seq); rnd.shuffle(c); return c"),
    "list(L) + g.shuffle": ("L", "len(L)", False, "c = list(seq); g.shuffle(c); return c"),
    "sample(L, len(L) // 2)": ("L", "len(L) // 2", False, "return g.sample(seq, k)"),
    "sample(L, len(L) // 10)": ("L", "len(L) // 10", False, "return g.sample(seq, k)"),
    "sample(range(10**8), 10**7)": ("range(10**8)", "10**7", True, "return g.sample(seq, k)"),
}
BIG = {"sample(range(10**9), 10**8)": ("range(10**9)", "10**8", True, "return g.sample(seq, k)")}


def run(seq: str, k: str, new_elements: bool, call: str, repeats: int) -> tuple[float, float]:
    code = CHILD.format(seq=seq, k=k, new_elements=new_elements, call=call, repeats=repeats)
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    seconds, per_element = out.stdout.split()
    return float(seconds), float(per_element)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--only", nargs="*", help="substrings of the case names to run")
    parser.add_argument("--big", action="store_true", help="add sample(range(10**9), 10**8)")
    args = parser.parse_args()
    cases = {**CASES, **(BIG if args.big else {})}
    print(f"{'case':<30} {'seconds':>9} {'peak above result, bytes/element':>34}")
    for name, (seq, k, new_elements, call) in cases.items():
        if args.only and not any(s in name for s in args.only):
            continue
        seconds, per_element = run(seq, k, new_elements, call, 0 if name in BIG else 3)
        print(f"{name:<30} {seconds:>9.3f} {per_element:>34.1f}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
