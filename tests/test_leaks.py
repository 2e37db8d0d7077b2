"""No call of the transcript's table, on success or on an error path, keeps memory or references.

Each row is run N times after a warm-up: the memory the interpreter traces and the C heap (where
glibc reports it) must not grow, and the reference counts of the row's constants and of the objects
its calls hand around must come back to where they were.
"""

import contextlib
import ctypes
import gc
import os
import re
import sys
import tracemalloc

import pytest
import transcript
import transcript_helpers

N, WARMUP, MAX_GROWTH = 100, 10, 2048
# Under AddressSanitizer freed addresses are held back, so the interpreter's method cache, keyed by
# the address of an attribute name, keeps a new name string per call for thousands of calls; there
# LeakSanitizer measures the leaks.
ASAN = "libasan" in os.environ.get("LD_PRELOAD", "")


class MallInfo2(ctypes.Structure):  # glibc's struct mallinfo2: ten size_t
    _fields_ = [("fields", ctypes.c_size_t * 10)]


try:
    (mallinfo2 := ctypes.CDLL(None).mallinfo2).restype = MallInfo2
except (OSError, AttributeError):
    mallinfo2 = None
SLOW = re.compile(r"reimport|copy_lists|__doc__|inspect")  # no call of ours, or slow
ROWS = [row for row in transcript.ROWS if not SLOW.search(row.call)]


def heap():  # the bytes in use: uordblks (allocated by brk) and hblkhd (by mmap)
    return mallinfo2().fields[7] + mallinfo2().fields[4] if mallinfo2 else 0


@pytest.mark.parametrize("row", ROWS, ids=[f"{row.setup}: {row.call}" for row in ROWS])
def test_rows_give_back_memory_and_references(row):
    code = compile(row.call, "row", "eval")
    constants = (*code.co_consts, *transcript_helpers.TOKENS, transcript.Z0)
    watched = [x for x in constants if sys.getrefcount(x) < 1000]  # not the shared ones

    def run(n):
        for _ in range(n):
            scope = transcript.scope(transcript.generator(row.setup))
            with contextlib.suppress(Exception):  # the error paths are rows too
                eval(code, scope)

    hook, sys.unraisablehook = sys.unraisablehook, lambda u: None
    gc.disable()  # the garbage of a round stays young: collecting it is quick
    run(WARMUP)
    gc.collect(0)
    counts = [sys.getrefcount(x) for x in watched]
    try:
        # a leak grows in every round; the interpreter's caches fill up and stop growing
        for _ in range(1 if ASAN else 4):
            c_heap = heap()
            tracemalloc.start()
            traced = tracemalloc.get_traced_memory()[0]
            run(N)
            gc.collect(0)
            traced = tracemalloc.get_traced_memory()[0] - traced
            tracemalloc.stop()  # first: its own records are on the C heap
            growth = (traced, heap() - c_heap)
            if growth[0] <= MAX_GROWTH and growth[1] <= 4 * MAX_GROWTH:
                break
    finally:
        sys.unraisablehook = hook
        gc.enable()
    assert ASAN or growth[0] <= MAX_GROWTH and growth[1] <= 4 * MAX_GROWTH, growth
    assert [sys.getrefcount(x) for x in watched] == counts
