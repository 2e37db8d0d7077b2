"""Memory and reference-count discipline of every method, on success and on error paths.

Two meters watch a long run of calls of one method:
* tracemalloc: everything allocated through the interpreter's allocators (result objects,
  lists, generators, exceptions), as net growth after the run and as the peak during it;
* the C heap (glibc mallinfo2, where available): the core's own buffers (std::vector and
  friends), which tracemalloc cannot see.
After a warm-up, a method that releases everything it allocates shows no growth on either.
Reference counts of argument objects, of the elements a method hands out and of the
generator itself must come back to where they were.

Counts are kept small enough for the normal suite; DRAWKIT_LONG=1 scales them tenfold
(10**6 calls of each scalar method) for a manual run.
"""

from __future__ import annotations

import collections.abc
import ctypes
import gc
import os
import sys
import tracemalloc

import pytest

import drawkit

SCALE = 10 if os.environ.get("DRAWKIT_LONG") == "1" else 1
N_SCALAR = 100_000 * SCALE  # calls of each scalar method
N_LIST = 20_000 * SCALE     # calls of each list-returning or failing method
WARMUP = 2_000

# After the warm-up the net growth of a clean method is 0 bytes on both meters; the bounds
# leave room for interpreter noise (a freelist or dict resizing once) while catching any
# per-call leak: 16 KiB over 20,000 calls is less than one byte per call.
MAX_GROWTH = 16 * 1024
# The measuring loop itself (its frame, range iterator and the dropped result) peaks at
# about 200 bytes above the baseline; a scalar method that allocated anything beyond its
# result per call would add at least that allocation to the peak.
MAX_PEAK = 512


# ---------------------------------------------------------------------------------------
# Meters
# ---------------------------------------------------------------------------------------


class _MallInfo2(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in
                ("arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks",
                 "uordblks", "fordblks", "keepcost")]


def _c_heap_meter():
    try:
        fn = ctypes.CDLL(None).mallinfo2
    except (OSError, AttributeError):
        return None
    fn.restype = _MallInfo2
    fn.argtypes = []

    def in_use():
        info = fn()
        return info.uordblks + info.hblkhd

    return in_use


C_HEAP = _c_heap_meter()


def measure(call, n):
    """(C-heap growth or None, tracemalloc growth, tracemalloc peak above the start) over n
    calls of `call`, after a warm-up. `call` may raise one of the expected exceptions."""

    def run(count):
        for _ in range(count):
            call()

    run(WARMUP)
    gc.collect()
    heap_before = C_HEAP() if C_HEAP else None
    run(n)
    gc.collect()
    heap_growth = C_HEAP() - heap_before if C_HEAP else None

    tracemalloc.start()
    try:
        run(WARMUP)
        gc.collect()
        before = tracemalloc.get_traced_memory()[0]
        tracemalloc.reset_peak()
        run(n)
        gc.collect()
        after, peak = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    return heap_growth, after - before, peak - before


def check_no_growth(label, call, n, max_peak=None):
    heap_growth, py_growth, peak = measure(call, n)
    print(f"\n{label}: {n} calls, C heap {heap_growth} B, traced {py_growth} B, peak {peak} B", end="")
    if heap_growth is not None:
        assert heap_growth <= MAX_GROWTH, f"{label}: C heap grew by {heap_growth} bytes"
    assert py_growth <= MAX_GROWTH, f"{label}: traced memory grew by {py_growth} bytes"
    if max_peak is not None:
        assert peak <= max_peak, f"{label}: peak {peak} bytes above the start"


def swallowing(call, *expected):
    """`call` wrapped so that the expected exception is dropped at once (its traceback would
    otherwise keep frames, and through them arguments, alive)."""

    def wrapped():
        try:
            call()
        except expected:
            pass
        else:
            raise AssertionError("the call was expected to fail")

    return wrapped


# ---------------------------------------------------------------------------------------
# User objects
# ---------------------------------------------------------------------------------------


class Boom(Exception):
    pass


class FailingSeq(collections.abc.Sequence):
    """A sequence of fresh objects whose item access raises once `fail_after` items were read."""

    def __init__(self, items, fail_after):
        self.items, self.fail_after, self.reads = items, fail_after, 0

    def __len__(self):
        return len(self.items)

    def __getitem__(self, i):
        self.reads += 1
        if self.reads > self.fail_after:
            self.reads = 0
            raise Boom(i)
        return self.items[i]


class PlainSeq(collections.abc.Sequence):
    def __init__(self, items):
        self.items = items

    def __len__(self):
        return len(self.items)

    def __getitem__(self, i):
        return self.items[i]


class BadFloat:
    def __float__(self):
        raise Boom("float")


class ReenterFloat:
    def __init__(self, gen):
        self.gen = gen

    def __float__(self):
        self.gen.random()  # refused: the generator is held by the running call
        return 1.0


# ---------------------------------------------------------------------------------------
# Scalar methods: no growth, nothing allocated beyond the result
# ---------------------------------------------------------------------------------------

G = drawkit.Generator(2024)
OBJS = [object() for _ in range(10)]
TUPLE = tuple(OBJS)
RANGE = range(1000)
CAT = drawkit.Categorical([1.0, 2.0, 0.0, 3.0])
BUF = bytearray(13)

SCALAR_CALLS = {
    "random": lambda: G.random(),
    "uniform": lambda: G.uniform(-1.5, 2.5),
    "integers": lambda: G.integers(-7, 1000),
    "bernoulli": lambda: G.bernoulli(0.3),
    "fill": lambda: G.fill(BUF),
    "normal": lambda: G.normal(0.5, 2.0),
    "lognormal": lambda: G.lognormal(0.0, 0.5),
    "exponential": lambda: G.exponential(2.0),
    "laplace": lambda: G.laplace(0.0, 1.0),
    "cauchy": lambda: G.cauchy(0.0, 1.0),
    "gamma boost": lambda: G.gamma(0.4, 1.0),
    "gamma": lambda: G.gamma(3.0, 2.0),
    "beta": lambda: G.beta(2.0, 0.5),
    "chisquare": lambda: G.chisquare(3.0),
    "student_t": lambda: G.student_t(4.0),
    "poisson small": lambda: G.poisson(2.5),
    "poisson ptrs": lambda: G.poisson(40.0),
    "geometric": lambda: G.geometric(0.2),
    "binomial": lambda: G.binomial(8, 0.4),
    "choice list": lambda: G.choice(OBJS),
    "choice tuple": lambda: G.choice(TUPLE),
    "choice range": lambda: G.choice(RANGE),
    "Categorical.sample": lambda: CAT.sample(G),
    "state": lambda: G.state(),
    "jump": lambda: G.jump(),
}


@pytest.mark.parametrize("label", sorted(SCALAR_CALLS))
def test_scalar_methods_neither_leak_nor_allocate_beyond_their_result(label):
    check_no_growth(label, SCALAR_CALLS[label], N_SCALAR, max_peak=MAX_PEAK)


# ---------------------------------------------------------------------------------------
# List-returning methods, user sequences, objects made and dropped
# ---------------------------------------------------------------------------------------

SEQ = PlainSeq(OBJS)
WEIGHTS = [1.0, 2.0, 3.0, 0.0, 4.0]
WEIGHT_TUPLE = tuple(WEIGHTS)
MEAN = [1.0, -1.0, 0.5]
CHOL = [2.0, 0.0, 0.0, 0.5, 1.0, 0.0, -0.3, 0.2, 0.7]
SHUFFLED = list(OBJS)

LIST_CALLS = {
    "choices list": lambda: G.choices(OBJS, 7),
    "choices user seq": lambda: G.choices(SEQ, 7),
    "sample list": lambda: G.sample(OBJS, 6),
    "sample user seq": lambda: G.sample(SEQ, 6),
    "sample range": lambda: G.sample(RANGE, 20),
    "choice user seq": lambda: G.choice(SEQ),
    "shuffle": lambda: G.shuffle(SHUFFLED),
    "permutation": lambda: G.permutation(12),
    "bootstrap_indices": lambda: G.bootstrap_indices(12),
    "systematic_resample": lambda: G.systematic_resample(WEIGHTS, 9),
    "systematic_resample tuple": lambda: G.systematic_resample(WEIGHT_TUPLE, 9),
    "multivariate_normal": lambda: G.multivariate_normal(MEAN, CHOL),
    "dirichlet": lambda: G.dirichlet(WEIGHTS[:3]),
    "dirichlet user seq": lambda: G.dirichlet(PlainSeq([0.5, 1.5, 2.0])),
    "multinomial": lambda: G.multinomial(9, [0.2, 0.3, 0.5]),
    "Categorical": lambda: drawkit.Categorical(WEIGHTS),
    "Generator": lambda: drawkit.Generator(12345),
    "from_state": lambda: drawkit.Generator.from_state((1, 2, 3, 4, 0.5)),
    "spawn": lambda: G.spawn(),
    "split": lambda: G.split(3),
}


@pytest.mark.parametrize("label", sorted(LIST_CALLS))
def test_list_returning_and_constructing_calls_do_not_leak(label):
    check_no_growth(label, LIST_CALLS[label], N_LIST)


# ---------------------------------------------------------------------------------------
# Error paths: validation failures, conversion failures midway through a sequence,
# failures after drawing began, re-entrance refused, impossible allocations
# ---------------------------------------------------------------------------------------

FAILING_SAMPLE = FailingSeq([object() for _ in range(20)], fail_after=7)
FAILING_CHOICES = FailingSeq([object() for _ in range(20)], fail_after=5)
REENTER = ReenterFloat(G)
BAD_FLOAT_LAST = [1.0, 2.0, 3.0, BadFloat()]

ERROR_CALLS = {
    "uniform invalid": (lambda: G.uniform(1.0, 0.5), ValueError),
    "normal invalid scale": (lambda: G.normal(0.0, -1.0), ValueError),
    "gamma invalid": (lambda: G.gamma(float("nan"), 1.0), ValueError),
    "poisson invalid": (lambda: G.poisson(-1.0), ValueError),
    "binomial bad p": (lambda: G.binomial(10, 1.5), ValueError),
    "geometric zero": (lambda: G.geometric(0.0), ValueError),
    "float conversion": (lambda: G.exponential("x"), TypeError),
    "int overflow": (lambda: G.integers(0, 2**63), OverflowError),
    "binding": (lambda: G.uniform(1.0, high=2.0, low=0.0), TypeError),
    "re-entrant float": (lambda: G.normal(REENTER, 1.0), RuntimeError),
    "sample fails midway": (lambda: G.sample(FAILING_SAMPLE, 12), Boom),
    "choices fails midway": (lambda: G.choices(FAILING_CHOICES, 12), Boom),
    "sample k too large": (lambda: G.sample(OBJS, 11), ValueError),
    "choice empty": (lambda: G.choice([]), ValueError),
    "dirichlet float fails midway": (lambda: G.dirichlet(BAD_FLOAT_LAST), Boom),
    "dirichlet bad entry": (lambda: G.dirichlet([1.0, 2.0, -3.0]), ValueError),
    "mvn length mismatch": (lambda: G.multivariate_normal(MEAN, CHOL[:8]), ValueError),
    "mvn str": (lambda: G.multivariate_normal(MEAN, "abc"), TypeError),
    "multinomial bad sum": (lambda: G.multinomial(5, [0.3, 0.3]), ValueError),
    "systematic_resample bad weight": (lambda: G.systematic_resample([1.0, float("nan")], 4), ValueError),
    "systematic_resample no memory": (lambda: G.systematic_resample(WEIGHTS, 2**60), MemoryError),
    "Categorical bad weight": (lambda: drawkit.Categorical([1.0, 2.0, -1.0]), ValueError),
    "Categorical float fails": (lambda: drawkit.Categorical(BAD_FLOAT_LAST), Boom),
    "Categorical.sample not a generator": (lambda: CAT.sample(None), TypeError),
    "from_state bad length": (lambda: drawkit.Generator.from_state((1, 2, 3)), ValueError),
    "from_state bad cached": (lambda: drawkit.Generator.from_state((1, 2, 3, 4, float("inf"))), ValueError),
    "permutation no memory": (lambda: G.permutation(2**60), MemoryError),
    "bootstrap_indices no memory": (lambda: G.bootstrap_indices(2**60), MemoryError),
    "choices no memory": (lambda: G.choices(OBJS, 2**60), MemoryError),
    "split no memory": (lambda: G.split(2**60), MemoryError),
    "fill wrong type": (lambda: G.fill(b"abc"), TypeError),
    "shuffle wrong type": (lambda: G.shuffle(TUPLE), TypeError),
}


@pytest.mark.parametrize("label", sorted(ERROR_CALLS))
def test_error_paths_release_everything(label):
    call, expected = ERROR_CALLS[label]
    check_no_growth(label, swallowing(call, expected), N_LIST)


# ---------------------------------------------------------------------------------------
# Reference counts
# ---------------------------------------------------------------------------------------


def refcounts(objs):
    return [sys.getrefcount(o) for o in objs]


def fresh_floats(*values):
    # float(str) makes a new, mortal object whose count can move (unlike small ints).
    return [float(repr(v)) for v in values]


def sole_owner_count():
    """What sys.getrefcount reports for an object held by one local variable only."""
    solo = float("1.25")
    return sys.getrefcount(solo)


def test_scalar_arguments_and_results_keep_their_reference_counts():
    g = drawkit.Generator(7)
    loc, scale, p, lam, shape, df = fresh_floats(0.25, 1.5, 0.375, 12.5, 0.75, 3.5)
    big = 10**6 + 1  # beyond the small-int cache
    args = [g, loc, scale, p, lam, shape, df, big]
    before = refcounts(args)
    for _ in range(10_000):
        g.uniform(loc, scale)
        g.normal(loc, scale)
        g.lognormal(loc, scale)
        g.exponential(scale)
        g.laplace(loc, scale)
        g.cauchy(loc, scale)
        g.gamma(shape, scale)
        g.beta(shape, scale)
        g.chisquare(df)
        g.student_t(df)
        g.bernoulli(p)
        g.geometric(p)
        g.poisson(lam)
        g.binomial(7, p)
        g.integers(-big, big)
    assert refcounts(args) == before
    # A result is a new object owned by the caller alone.
    x = g.normal(loc, scale)
    assert sys.getrefcount(x) == sole_owner_count()
    n = g.integers(big, big * 4)
    assert sys.getrefcount(n) == sole_owner_count()


def test_elements_handed_out_are_new_references_and_nothing_else_is_kept():
    g = drawkit.Generator(11)
    elems = [object() for _ in range(8)]
    seqs = [list(elems), tuple(elems), PlainSeq(list(elems))]
    base = refcounts(elems)
    seq_base = refcounts(seqs)
    for seq in seqs:
        for _ in range(2_000):
            g.choice(seq)
            g.choices(seq, 5)
            g.sample(seq, 8)
            g.sample(seq, 3)
        assert refcounts(elems) == base
        picked = g.choice(seq)
        assert refcounts(elems) == [b + (e is picked) for b, e in zip(base, elems)]
        drawn = g.choices(seq, 20)
        assert refcounts(elems) == [b + (e is picked) + drawn.count(e) for b, e in zip(base, elems)]
        del picked, drawn
        part = g.sample(seq, 5)
        assert refcounts(elems) == [b + (e in part) for b, e in zip(base, elems)]
        full = g.sample(seq, 8)
        assert sorted(map(id, full)) == sorted(map(id, elems))
        del part, full
    del seq
    assert refcounts(elems) == base
    assert refcounts(seqs) == seq_base


def test_shuffle_moves_references_without_changing_their_counts():
    g = drawkit.Generator(5)
    elems = [object() for _ in range(9)]
    lst = list(elems)
    base = refcounts(elems)
    for _ in range(5_000):
        g.shuffle(lst)
    assert refcounts(elems) == base
    assert sorted(map(id, lst)) == sorted(map(id, elems))


def test_sequence_arguments_of_the_vector_methods_keep_their_counts():
    g = drawkit.Generator(3)
    weights = fresh_floats(1.0, 2.5, 0.5, 4.0)
    mean = fresh_floats(0.5, -0.5)
    chol = fresh_floats(1.0, 0.0, 0.25, 2.0)
    probs = fresh_floats(0.25, 0.75)
    containers = [list(weights), tuple(weights), PlainSeq(list(weights)), mean, chol, probs]
    objs = [g, *weights, *mean, *chol, *probs, *containers]
    before = refcounts(objs)
    for _ in range(3_000):
        for i in range(3):
            g.dirichlet(containers[i])
            g.systematic_resample(containers[i], 5)
            drawkit.Categorical(containers[i]).sample(g)
        g.multivariate_normal(mean, chol)
        g.multinomial(4, probs)
        g.split(2)
        g.spawn()
    assert refcounts(objs) == before


def test_failures_after_drawing_began_release_what_was_drawn():
    g = drawkit.Generator(9)
    elems = [object() for _ in range(12)]
    base = refcounts(elems)
    failures = 0
    for fail_after in range(0, 16):
        for method, k in (("sample", 10), ("choices", 10), ("sample", 12), ("choice", 1)):
            failing = FailingSeq(elems, fail_after)
            before = g.state()
            try:
                if method == "choice":
                    g.choice(failing)
                else:
                    getattr(g, method)(failing, k)
            except Boom:
                failures += 1
                # The item access failed after its position was drawn: that output stays
                # consumed, and every element read so far has been released.
                assert g.state() != before
            assert refcounts(elems) == base, (method, fail_after)
    assert failures > 30
    assert sys.getrefcount(g) == sole_owner_count()


def test_failing_conversions_release_the_items_already_converted():
    g = drawkit.Generator(13)
    good = fresh_floats(0.5, 1.5, 2.5)
    bad = BadFloat()
    reenter = ReenterFloat(g)
    items = [*good, bad, reenter]
    base = refcounts(items)

    def expect(exc, call, *args):
        try:
            call(*args)
        except exc:
            pass
        else:
            raise AssertionError(f"{call} did not raise {exc}")

    for _ in range(2_000):
        for seq in ([*good, bad], (*good, bad), PlainSeq([*good, bad])):
            expect(Boom, g.dirichlet, seq)
            expect(Boom, g.systematic_resample, seq, 3)
            expect(Boom, drawkit.Categorical, seq)
            expect(Boom, g.multivariate_normal, good, seq)
            expect(Boom, g.multinomial, 2, seq)
        expect(RuntimeError, g.dirichlet, [*good, reenter])
        expect(RuntimeError, g.normal, reenter, 1.0)
    del seq
    assert refcounts(items) == base


def test_generator_objects_made_and_dropped_are_freed():
    g = drawkit.Generator(1)
    solo = sole_owner_count()
    (first, *rest) = g.split(4)
    assert sys.getrefcount(first) == solo
    child = g.spawn()
    assert sys.getrefcount(child) == solo
    restored = drawkit.Generator.from_state(g.state())
    assert sys.getrefcount(restored) == solo
    state = g.state()
    assert sys.getrefcount(state) == solo
    table = drawkit.Categorical([1.0, 2.0])
    assert sys.getrefcount(table) == solo
    assert sys.getrefcount(g) == solo
