"""choice, choices, sample, shuffle, permutation, bootstrap_indices and systematic_resample."""

import collections.abc
import inspect
import sys

import pytest

import drawkit
from conftest import SEED0_STATE, advanced, raises_with_note

# A state whose first output is 2**64 - 1 (rotl(s0 + s3, 23) + s0 with s0 = 0): u = 1 - 2**-53.
TOP_STATE = (0, 0, 0, 2**64 - 1, None)
# The all-zero state: every output is 0, so u = 0.
ZERO_STATE = (0, 0, 0, 0, None)


class Seq(collections.abc.Sequence):
    """A user sequence that records every item read and can fail or call back."""

    def __init__(self, items, fail_at=None, on_item=None, on_len=None):
        self.items = list(items)
        self.reads = []
        self.fail_at = fail_at
        self.on_item = on_item
        self.on_len = on_len

    def __len__(self):
        if self.on_len is not None:
            self.on_len()
        return len(self.items)

    def __getitem__(self, i):
        if self.fail_at is not None and len(self.reads) == self.fail_at:
            raise LookupError("item refused")
        self.reads.append(i)
        if self.on_item is not None:
            self.on_item()
        return self.items[i]


class BadLen(collections.abc.Sequence):
    def __len__(self):
        raise ZeroDivisionError("no length")

    def __getitem__(self, i):
        raise AssertionError("not reached")


class HugeLen(collections.abc.Sequence):
    def __len__(self):
        return 2**62

    def __getitem__(self, i):
        return i


def fresh():
    return drawkit.Generator(0)


# --- worked values and output counts -------------------------------------------------------


def test_reference_draws_and_their_output_counts():
    g = fresh()
    assert g.choice(range(10)) == 3
    assert g.state() == advanced(0, 1)

    g = fresh()
    assert g.choices(range(10), 5) == [3, 5, 0, 0, 4]
    assert g.state() == advanced(0, 5)

    g = fresh()
    assert g.sample(range(10), 4) == [3, 5, 6, 9]
    assert g.state() == advanced(0, 4)

    g = fresh()
    assert g.sample(range(5), 5) == [3, 4, 0, 2, 1]
    assert g.state() == advanced(0, 5)

    g = fresh()
    assert g.permutation(5) == [2, 0, 1, 4, 3]
    assert g.state() == advanced(0, 4)

    g, items = fresh(), [0, 1, 2, 3, 4]
    assert g.shuffle(items) is None
    assert items == [2, 0, 1, 4, 3]
    assert g.state() == advanced(0, 4)

    g = fresh()
    assert g.bootstrap_indices(5) == [3, 0, 0, 0, 4]
    assert g.state() == advanced(0, 5)

    g = fresh()
    assert g.systematic_resample([1, 2, 3, 4], 8) == [0, 1, 1, 2, 2, 3, 3, 3]
    assert g.state() == advanced(0, 1)


@pytest.mark.parametrize("kind", [list, tuple, Seq, lambda r: r])
def test_every_sequence_kind_gives_the_same_positions(kind):
    seq = kind(range(10))
    assert fresh().choice(seq) == 3
    assert fresh().choices(seq, 5) == [3, 5, 0, 0, 4]
    assert fresh().sample(seq, 4) == [3, 5, 6, 9]


def test_keywords_and_edge_counts():
    g = fresh()
    assert g.choices(seq=[1, 2], k=0) == []
    assert g.sample(seq=[], k=0) == []
    assert g.sample([7], 0) == []
    assert g.permutation(n=0) == []
    assert g.permutation(1) == [0]
    assert g.shuffle([]) is None
    assert g.shuffle(seq=["x"]) is None
    assert g.state() == SEED0_STATE
    assert g.bootstrap_indices(n=1) == [0]
    assert g.state() == advanced(0, 1)
    assert g.systematic_resample(weights=[1.0], n=0) == []
    assert g.state() == advanced(0, 2)
    assert g.systematic_resample([3.0], 4) == [0, 0, 0, 0]
    assert g.choice([5]) == 5
    assert g.state() == advanced(0, 4)


def test_choice_over_str_and_bytes():
    assert fresh().choice("abcdefghij") == "d"
    assert fresh().choice(b"abcdefghij") == ord("d")


def test_full_sample_draws_every_element_once():
    g = drawkit.Generator(99)
    assert sorted(g.sample(range(50), 50)) == list(range(50))
    assert g.state() == advanced(99, 50)


def test_shuffle_of_two_swaps_exactly_on_an_even_output():
    for seed in range(8):
        even = drawkit.Generator(seed).integers(0, 2**62) % 2 == 0
        g, pair = drawkit.Generator(seed), ["a", "b"]
        g.shuffle(pair)
        assert pair == (["b", "a"] if even else ["a", "b"])
        assert g.state() == advanced(seed, 1)


def test_permutation_matches_shuffle_from_the_same_state():
    for seed in (1, 2, 3):
        items = list(range(30))
        drawkit.Generator(seed).shuffle(items)
        assert drawkit.Generator(seed).permutation(30) == items


# --- systematic resampling --------------------------------------------------------------


def test_systematic_boundaries():
    assert fresh().systematic_resample([1, 0, 0], 6) == [0] * 6
    assert fresh().systematic_resample([0, 1, 0], 6) == [1] * 6
    # u = 0: the first point is exactly 0 and stays at index 0 despite its zero weight.
    assert drawkit.Generator.from_state(ZERO_STATE).systematic_resample([0, 1, 0], 3) == [0, 1, 1]
    # u = 1 - 2**-53 lies past the rounded shares of [0.2, 2, 0.1] (they add up to 1 - 2**-52):
    # the point goes to the last index whatever its weight.
    assert drawkit.Generator.from_state(TOP_STATE).systematic_resample([0.2, 2, 0.1, 0], 1) == [3]
    assert drawkit.Generator.from_state(TOP_STATE).systematic_resample([1, 1], 1) == [1]


def test_systematic_accepts_any_float_sequence():
    assert fresh().systematic_resample((1, 2, 3, 4), 8) == [0, 1, 1, 2, 2, 3, 3, 3]
    assert fresh().systematic_resample(Seq([1, 2.0, True + 2, 4]), 8) == [0, 1, 1, 2, 2, 3, 3, 3]
    assert fresh().systematic_resample([-0.0, 1], 2) == [1, 1]


@pytest.mark.parametrize(
    "weights, n, exc, message, param",
    [
        ("abc", -1, TypeError, "Can't extract `str` to `Vec`", "weights"),
        ({1: 2}, -1, TypeError, "'dict' object is not an instance of 'Sequence'", "weights"),
        ([1, "x"], -1, TypeError, None, "weights"),
        ([], -1, OverflowError, None, "n"),
        ([-1], 2**64, OverflowError, None, "n"),
        ([1], 1.0, TypeError, None, "n"),
        ([1], None, TypeError, None, "n"),
    ],
)
def test_systematic_conversion_order(weights, n, exc, message, param):
    g = fresh()
    with raises_with_note(exc, message, param):
        g.systematic_resample(weights, n)
    assert g.state() == SEED0_STATE


@pytest.mark.parametrize(
    "weights, message",
    [
        ([], "systematic_resample([], n): weights must have at least one entry"),
        ([1, -1, float("nan")], "systematic_resample(): weights[1]=-1 must be non-negative and finite"),
        ([float("nan"), -1], "systematic_resample(): weights[0]=NaN must be non-negative and finite"),
        ([0, 0, float("inf")], "systematic_resample(): weights[2]=inf must be non-negative and finite"),
        ([-0.5], "systematic_resample(): weights[0]=-0.5 must be non-negative and finite"),
        ([-1e-7, 0], "systematic_resample(): weights[0]=-0.0000001 must be non-negative and finite"),
        ([0, -0.0], "systematic_resample(): weights must sum to a positive number"),
    ],
)
def test_systematic_validation(weights, message):
    g = fresh()
    with pytest.raises(ValueError) as info:
        g.systematic_resample(weights, 3)
    assert str(info.value) == message
    assert g.state() == SEED0_STATE


def test_systematic_huge_n_fails_after_its_output():
    g = fresh()
    with pytest.raises(MemoryError):
        g.systematic_resample([1], 2**62)
    # The offset's output is taken before the result is reserved.
    assert g.state() == advanced(0, 1)


# --- bootstrap_indices and permutation ------------------------------------------------------


def test_bootstrap_zero_is_refused():
    g = fresh()
    with pytest.raises(ValueError) as info:
        g.bootstrap_indices(0)
    assert str(info.value) == "bootstrap_indices(0) has no valid indices to draw"
    assert g.state() == SEED0_STATE


@pytest.mark.parametrize("method", ["bootstrap_indices", "permutation"])
def test_index_conversion_errors_and_huge_n(method):
    g = fresh()
    with raises_with_note(OverflowError, None, "n"):
        getattr(g, method)(-1)
    with raises_with_note(TypeError, None, "n"):
        getattr(g, method)("5")
    for n in (2**62, 2**64 - 1):
        with pytest.raises(MemoryError):
            getattr(g, method)(n)
    assert g.state() == SEED0_STATE


# --- shuffle ------------------------------------------------------------------------------


def test_shuffle_accepts_only_lists():
    g = fresh()
    with raises_with_note(TypeError, "'tuple' object is not an instance of 'list'", "seq"):
        g.shuffle((1, 2))
    with raises_with_note(TypeError, "'Seq' object is not an instance of 'list'", "seq"):
        g.shuffle(Seq([1, 2]))
    with raises_with_note(TypeError, "'None' is not an instance of 'list'", "seq"):
        g.shuffle(None)
    assert g.state() == SEED0_STATE


def test_shuffle_works_on_storage_and_runs_no_python_code():
    class Watched(list):
        def __len__(self):
            raise AssertionError("length method called")

        def __getitem__(self, i):
            raise AssertionError("item method called")

        def __setitem__(self, i, v):
            raise AssertionError("assignment called")

    objects = [object() for _ in range(5)]
    before = [sys.getrefcount(o) for o in objects]
    items = Watched(objects)
    g = fresh()
    g.shuffle(items)
    order = [list.__getitem__(items, i) for i in range(5)]
    assert order == [objects[i] for i in (2, 0, 1, 4, 3)]
    assert g.state() == advanced(0, 4)
    del order
    assert [sys.getrefcount(o) for o in objects] == [b + 1 for b in before]  # held once by `items`
    del items
    assert [sys.getrefcount(o) for o in objects] == before


# --- element selection: kinds, identity, protocol ---------------------------------------------


def test_choice_rejects_non_sequences_before_anything_else():
    g = fresh()
    with raises_with_note(TypeError, "'dict' object is not an instance of 'Sequence'", "seq"):
        g.choice({1: 2})
    with raises_with_note(TypeError, "'set' object is not an instance of 'Sequence'", "seq"):
        g.choices({1}, -1)
    with raises_with_note(TypeError, "'None' is not an instance of 'Sequence'", "seq"):
        g.sample(None, 1)
    with raises_with_note(TypeError, "'generator' object is not an instance of 'Sequence'", "seq"):
        g.choice(x for x in [1])
    assert g.state() == SEED0_STATE


def test_the_elements_are_the_callers_own_objects():
    objects = [object() for _ in range(10)]
    for seq in (objects, tuple(objects), Seq(objects)):
        assert fresh().choice(seq) is objects[3]
        assert all(a is objects[i] for a, i in zip(fresh().choices(seq, 5), [3, 5, 0, 0, 4]))
        assert all(a is objects[i] for a, i in zip(fresh().sample(seq, 4), [3, 5, 6, 9]))


def test_subclasses_that_override_reading_go_through_their_methods():
    class Tens(list):
        def __getitem__(self, i):
            return list.__getitem__(self, i) * 10

    class Short(tuple):
        def __len__(self):
            return 5

    class Plain(list):
        pass

    assert fresh().choice(Tens(range(10))) == 30
    assert fresh().sample(Tens(range(10)), 4) == [30, 50, 60, 90]
    assert fresh().sample(Short(range(10)), 5) == [3, 4, 0, 2, 1]
    assert fresh().choices(Plain(range(10)), 5) == [3, 5, 0, 0, 4]


def test_sample_reads_each_step_j_then_i_and_the_unmapped_diagonal_twice():
    seq = Seq(range(10))
    assert fresh().sample(seq, 4) == [3, 5, 6, 9]
    assert seq.reads == [3, 0, 5, 1, 6, 2, 9]
    # Seed 7 over three items draws j = 2, 1, 2: step 1 reads position 1 twice, step 2
    # finds both positions in the map and reads nothing.
    seq = Seq("abc")
    assert drawkit.Generator(7).sample(seq, 3) == ["c", "b", "a"]
    assert seq.reads == [2, 0, 1, 1]


def test_sample_cost_does_not_depend_on_the_length():
    g = fresh()
    drawn = g.sample(HugeLen(), 3)
    assert len(set(drawn)) == 3 and all(0 <= i < 2**62 for i in drawn)
    assert drawn[0] == drawkit.Generator(0).integers(0, 2**62)  # step 0: x mod n
    assert g.state() == advanced(0, 3)


def test_choices_reads_one_item_per_draw():
    seq = Seq(range(10))
    fresh().choices(seq, 5)
    assert seq.reads == [3, 5, 0, 0, 4]


class Counted:
    pass


def refcounts(objects):
    return [sys.getrefcount(o) for o in objects]


@pytest.mark.parametrize(
    "call, fail_at, outputs",
    [
        (lambda g, s: g.choice(s), 0, 1),
        (lambda g, s: g.choices(s, 5), 2, 3),
        # reads 3, 0 | 5, 1 | ...: the fourth read is in step 1, after two outputs
        (lambda g, s: g.sample(s, 4), 3, 2),
        (lambda g, s: g.sample(s, 4), 6, 4),
    ],
)
def test_a_failing_item_keeps_the_outputs_drawn_and_leaks_nothing(call, fail_at, outputs):
    objects = [Counted() for _ in range(10)]
    before = refcounts(objects)
    g = fresh()
    with pytest.raises(LookupError, match="item refused"):
        call(g, Seq(objects, fail_at=fail_at))
    assert g.state() == advanced(0, outputs)
    assert refcounts(objects) == before


def test_a_failing_length_propagates_before_drawing():
    g = fresh()
    for call in (lambda: g.choice(BadLen()), lambda: g.choices(BadLen(), 1), lambda: g.sample(BadLen(), 0)):
        with pytest.raises(ZeroDivisionError, match="no length"):
            call()
    assert g.state() == SEED0_STATE


def test_repeated_calls_leave_element_refcounts_unchanged():
    objects = [Counted() for _ in range(20)]
    g = drawkit.Generator(3)
    for seq in (objects, tuple(objects), Seq(objects)):
        before = refcounts(objects)
        for _ in range(200):
            g.choice(seq)
            g.choices(seq, 7)
            g.sample(seq, 12)
            g.sample(seq, 20)
        assert refcounts(objects) == before


# --- element selection: messages and check order -------------------------------------------


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda g: g.choice([]), "choice() called on an empty sequence"),
        (lambda g: g.choice(()), "choice() called on an empty sequence"),
        (lambda g: g.choice(Seq([])), "choice() called on an empty sequence"),
        (lambda g: g.choices([], 0), "choices() called on an empty sequence"),
        (lambda g: g.choices(range(0), 3), "choices() called on an empty sequence"),
        (lambda g: g.sample([], 1), "sample() cannot draw more elements than the sequence contains"),
        (lambda g: g.sample(range(3), 4), "sample() cannot draw more elements than the sequence contains"),
        (lambda g: g.sample("ab", 2**64 - 1), "sample() cannot draw more elements than the sequence contains"),
    ],
)
def test_selection_messages_leave_the_state_unchanged(call, message):
    g = fresh()
    with pytest.raises(ValueError) as info:
        call(g)
    assert str(info.value) == message
    assert g.state() == SEED0_STATE


@pytest.mark.parametrize("method", ["choices", "sample"])
def test_k_is_converted_before_the_length_is_read(method):
    g = fresh()
    with raises_with_note(OverflowError, None, "k"):
        getattr(g, method)(BadLen(), -1)
    with raises_with_note(OverflowError, None, "k"):
        getattr(g, method)([1], 2**64)
    with raises_with_note(TypeError, None, "k"):
        getattr(g, method)([1], 1.0)
    with raises_with_note(TypeError, "'dict' object is not an instance of 'Sequence'", "seq"):
        getattr(g, method)({}, -1)
    assert g.state() == SEED0_STATE


def test_huge_k_is_a_memory_error_before_any_output():
    g = fresh()
    with pytest.raises(MemoryError):
        g.choices([1], 2**62)
    with pytest.raises(MemoryError):
        g.choices(Seq([1]), 2**64 - 1)
    with pytest.raises(MemoryError):
        g.sample(HugeLen(), 2**62)
    assert g.state() == SEED0_STATE


# --- re-entrance --------------------------------------------------------------------------


def test_reentrant_item_and_length_methods_are_refused():
    g = fresh()
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        g.choice(Seq(range(10), on_item=g.random))
    assert g.state() == advanced(0, 1)  # the outer draw happened; the inner one did not

    g = fresh()
    with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
        g.choices(Seq(range(10), on_item=g.state), 3)
    assert g.state() == advanced(0, 1)

    g = fresh()
    with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
        g.sample(Seq(range(10), on_len=g.state), 2)
    assert g.state() == SEED0_STATE

    g = fresh()
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        g.choices(Seq(range(10), on_len=lambda: g.choice([1])), 2)
    assert g.state() == SEED0_STATE

    # The guard is released after the failures.
    assert g.choice(range(10)) == 3


def test_another_generator_works_inside_the_callbacks():
    g, other = fresh(), drawkit.Generator(5)
    seen = []
    seq = Seq(range(10), on_item=lambda: seen.append(other.random()), on_len=lambda: seen.append(other.state()))
    assert g.sample(seq, 4) == [3, 5, 6, 9]
    assert len(seen) == 1 + 7
    assert other.state() == advanced(5, 7)


# --- declarations --------------------------------------------------------------------------


def test_signatures():
    g = fresh()
    expected = {
        "choice": "(seq)",
        "choices": "(seq, k)",
        "sample": "(seq, k)",
        "shuffle": "(seq)",
        "permutation": "(n)",
        "bootstrap_indices": "(n)",
        "systematic_resample": "(weights, n)",
    }
    for name, sig in expected.items():
        assert str(inspect.signature(getattr(g, name))) == sig
        assert getattr(drawkit.Generator, name).__doc__.strip()


def test_systematic_resample_with_an_overflowing_weight_sum():
    # The shares of [1e308, 1e308] are 1/2 each even though their sum overflows.
    idx = drawkit.Generator(0).systematic_resample([1e308, 1e308], 10)
    assert idx == [0] * 5 + [1] * 5
