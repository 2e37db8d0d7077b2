#!/usr/bin/env python3
"""Long fuzzing run of the drawkit Python surface: at least 10**6 calls by default.

It drives the strategies and checks of tests/test_fuzz.py (arbitrary argument objects,
misbehaving and re-entrant user callbacks, every binding layout) with fresh random seeds,
in batches of call sequences on one generator each, until the requested number of calls
has been made. A failing property is shrunk by Hypothesis and printed with its seed; a
call that hangs for --hang-seconds dumps the traceback and ends the run, and the call that
hung is printed (each worker records its current call in a file before making it).

    PYTHONPATH=<build dir with drawkit> python tools/fuzz_long.py [--calls N] [--jobs J] [--seed S]

Exit status 0 when every call kept the properties, 1 otherwise. Not part of the test-suite.
"""

from __future__ import annotations

import argparse
import collections
import faulthandler
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))


def last_call_path(run_id: int, seed: int) -> str:
    return os.path.join(tempfile.gettempdir(), f"drawkit_fuzz_long_{run_id}_{seed}.txt")


def run_worker(calls: int, seed: int, batch: int, hang_seconds: float, run_id: int) -> int:
    from hypothesis import given, settings
    from hypothesis import seed as hypothesis_seed
    from hypothesis import strategies as st

    import test_fuzz as fuzz

    outcomes: collections.Counter[str] = collections.Counter()
    per_method: collections.Counter[str] = collections.Counter()

    @settings(max_examples=batch, deadline=None, database=None, derandomize=False,
              suppress_health_check=list(fuzz.HealthCheck), print_blob=True)
    @given(sequence=st.lists(fuzz.calls(), min_size=1, max_size=40), gen_seed=st.integers(0, 2**64 - 1))
    def batch_of_sequences(sequence, gen_seed):
        gen, other, cat = fuzz.fresh_context(gen_seed)
        for call in sequence:
            text = f"generator seed {gen_seed}, state {gen.state()}: {call!r}\n".encode()
            os.ftruncate(record, 0)
            os.pwrite(record, text, 0)
            faulthandler.dump_traceback_later(hang_seconds, exit=True)
            outcomes[fuzz.run_call(call, gen, other, cat)] += 1
            per_method[f"{call.owner}.{call.name}"] += 1
        faulthandler.cancel_dump_traceback_later()

    record = os.open(last_call_path(run_id, seed), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    start = time.monotonic()
    round_no = 0
    with fuzz.UnraisableCollector() as unraisable:
        while sum(outcomes.values()) < calls:
            hypothesis_seed(seed * 1_000_003 + round_no)(batch_of_sequences)()
            round_no += 1
            done = sum(outcomes.values())
            rate = done / (time.monotonic() - start)
            print(f"[seed {seed}] {done:>9} calls, {rate:,.0f}/s", flush=True)
    print(f"[seed {seed}] outcomes: {dict(outcomes.most_common())}")
    print(f"[seed {seed}] fewest calls of one method: {min(per_method.values())}; "
          f"isinstance failures reported as unraisable: {unraisable.count}")
    os.close(record)
    os.unlink(last_call_path(run_id, seed))
    return 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--calls", type=int, default=10**6, help="total calls to make (default 10**6)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1, help="worker processes")
    parser.add_argument("--seed", type=int, default=int(time.time()), help="base seed (printed)")
    parser.add_argument("--batch", type=int, default=2000, help="Hypothesis examples per round")
    parser.add_argument("--hang-seconds", type=float, default=120.0, help="a call slower than this is a hang")
    parser.add_argument("--worker", type=int, default=0, help=argparse.SUPPRESS)  # the parent's pid
    args = parser.parse_args()

    if args.worker:
        return run_worker(args.calls, args.seed, args.batch, args.hang_seconds, args.worker)

    print(f"fuzz_long: {args.calls} calls over {args.jobs} workers, base seed {args.seed}", flush=True)
    share = -(-args.calls // args.jobs)
    workers = [
        subprocess.Popen([sys.executable, os.path.abspath(__file__), "--worker", str(os.getpid()), "--calls", str(share),
                          "--seed", str(args.seed + i), "--batch", str(args.batch),
                          "--hang-seconds", str(args.hang_seconds)])
        for i in range(args.jobs)
    ]
    codes = [w.wait() for w in workers]
    failed = [args.seed + i for i, c in enumerate(codes) if c != 0]
    for seed in failed:
        path = last_call_path(os.getpid(), seed)
        if os.path.exists(path):
            with open(path) as f:
                print(f"fuzz_long: worker {seed} stopped during {f.read().strip()}")
            os.unlink(path)
    if failed:
        print(f"fuzz_long: FAILED in the workers with seeds {failed}")
        return 1
    print(f"fuzz_long: {share * args.jobs} calls or more, every property held")
    return 0


if __name__ == "__main__":
    sys.exit(main())
