"""The Categorical alias table: construction, draws, binding and type properties."""

import collections.abc
import gc
import inspect
import sys
import weakref

import pytest

import drawkit
from conftest import SEED0_STATE, advanced, raises_with_note


def test_reference_draws_take_two_outputs_each():
    c = drawkit.Categorical([1, 2, 3, 4])
    g = drawkit.Generator(0)
    assert [c.sample(g) for _ in range(8)] == [3, 0, 2, 2, 3, 0, 1, 2]
    assert g.state() == advanced(0, 16)


def test_small_tables():
    g = drawkit.Generator(0)
    one = drawkit.Categorical([0.25])
    assert [one.sample(g) for _ in range(3)] == [0, 0, 0]
    assert g.state() == advanced(0, 6)
    zero_one = drawkit.Categorical([0, 1])
    assert {zero_one.sample(g) for _ in range(50)} == {1}
    neg_zero = drawkit.Categorical(weights=[1, -0.0])
    assert {neg_zero.sample(g) for _ in range(50)} == {0}


def test_weights_take_any_float_sequence():
    class Weights(collections.abc.Sequence):
        def __len__(self):
            raise RuntimeError("only a size hint")

        def __getitem__(self, i):
            return [1, 2.0, 3, 4][i]

    for weights in ((1, 2, 3, 4), Weights(), range(1, 5), [True, 2, 3.0, 4]):
        c = drawkit.Categorical(weights)
        g = drawkit.Generator(0)
        assert [c.sample(g) for _ in range(8)] == [3, 0, 2, 2, 3, 0, 1, 2]


def test_one_table_serves_several_generators_and_leaves_the_cached_normal():
    c = drawkit.Categorical([1, 2, 3, 4])
    state = SEED0_STATE[:4] + (0.5,)
    a, b = drawkit.Generator.from_state(state), drawkit.Generator(0)
    assert [c.sample(a) for _ in range(4)] == [c.sample(b) for _ in range(4)]
    assert a.state() == advanced(state, 8)
    assert a.state()[4] == 0.5


@pytest.mark.parametrize(
    "weights, message",
    [
        ([], "Categorical([]): weights must have at least one entry"),
        ((), "Categorical([]): weights must have at least one entry"),
        ([1, -1], "Categorical(): weights[1]=-1 must be non-negative and finite"),
        ([1, float("nan")], "Categorical(): weights[1]=NaN must be non-negative and finite"),
        ([float("-inf")], "Categorical(): weights[0]=-inf must be non-negative and finite"),
        ([2, 0.5, float("inf")], "Categorical(): weights[2]=inf must be non-negative and finite"),
        ([-1, 0], "Categorical(): weights[0]=-1 must be non-negative and finite"),
        ([0, -2.5, float("nan")], "Categorical(): weights[1]=-2.5 must be non-negative and finite"),
        ([0, 0], "Categorical(): weights must sum to a positive number"),
        ([-0.0], "Categorical(): weights must sum to a positive number"),
    ],
)
def test_construction_messages(weights, message):
    with pytest.raises(ValueError) as info:
        drawkit.Categorical(weights)
    assert str(info.value) == message


@pytest.mark.parametrize(
    "args, kwargs, exc, message",
    [
        ((), {}, TypeError, "Categorical.__new__() missing 1 required positional argument: 'weights'"),
        (([1], [2]), {}, TypeError, "Categorical.__new__() takes 1 positional arguments but 2 were given"),
        ((), {"w": [1]}, TypeError, "Categorical.__new__() got an unexpected keyword argument 'w'"),
        (([1],), {"weights": [1]}, TypeError, "Categorical.__new__() got multiple values for argument 'weights'"),
    ],
)
def test_constructor_binding(args, kwargs, exc, message):
    with pytest.raises(exc) as info:
        drawkit.Categorical(*args, **kwargs)
    assert str(info.value) == message


def test_constructor_conversion_errors_carry_the_note():
    with raises_with_note(TypeError, "Can't extract `str` to `Vec`", "weights"):
        drawkit.Categorical("abc")
    with raises_with_note(TypeError, "'int' object is not an instance of 'Sequence'", "weights"):
        drawkit.Categorical(5)
    with raises_with_note(TypeError, "'None' is not an instance of 'Sequence'", "weights"):
        drawkit.Categorical(None)
    with raises_with_note(TypeError, None, "weights"):
        drawkit.Categorical([1, "2"])


def test_sample_binding_and_rng_conversion():
    c = drawkit.Categorical([1, 2, 3, 4])
    g = drawkit.Generator(0)
    with raises_with_note(TypeError, "'None' is not an instance of 'Generator'", "rng"):
        c.sample(None)
    with raises_with_note(TypeError, "'int' object is not an instance of 'Generator'", "rng"):
        c.sample(0)
    with raises_with_note(TypeError, "'Categorical' object is not an instance of 'Generator'", "rng"):
        c.sample(c)
    with pytest.raises(TypeError) as info:
        c.sample()
    assert str(info.value) == "Categorical.sample() missing 1 required positional argument: 'rng'"
    with pytest.raises(TypeError) as info:
        c.sample(g, g)
    assert str(info.value) == "Categorical.sample() takes 1 positional arguments but 2 were given"
    with pytest.raises(TypeError) as info:
        c.sample(generator=g)
    assert str(info.value) == "Categorical.sample() got an unexpected keyword argument 'generator'"
    assert g.state() == SEED0_STATE
    assert c.sample(rng=g) == 3


def test_sample_on_a_generator_already_in_use_is_refused_with_the_note():
    c = drawkit.Categorical([1, 2, 3, 4])
    g, other = drawkit.Generator(0), drawkit.Generator(0)
    seen = []

    class Calls(collections.abc.Sequence):
        def __len__(self):
            return 10

        def __getitem__(self, i):
            try:
                c.sample(g)
            except RuntimeError as exc:
                seen.append((str(exc), exc.__notes__))
            seen.append(c.sample(other))  # another generator works here
            return i

    assert g.choice(Calls()) == 3
    assert seen == [("Already borrowed", ["while processing 'rng'"]), 3]
    assert g.state() == advanced(0, 1)
    assert other.state() == advanced(0, 2)

    with raises_with_note(RuntimeError, "Already borrowed", "rng"):
        g.choice(type("Direct", (Calls,), {"__getitem__": lambda self, i: c.sample(g)})())
    # The guard is released again: g is usable, and so is the table.
    assert c.sample(g) in range(4)


def test_refcounts_and_no_references_held():
    c = drawkit.Categorical([1, 2, 3, 4])
    g = drawkit.Generator(0)
    before = (sys.getrefcount(c), sys.getrefcount(g))
    for _ in range(1000):
        c.sample(g)
    assert (sys.getrefcount(c), sys.getrefcount(g)) == before
    assert not gc.is_tracked(c)
    assert gc.get_referents(c) == []


def test_type_properties():
    cls = drawkit.Categorical
    assert cls.__name__ == "Categorical"
    assert cls.__module__ == "builtins"
    assert repr(cls) == "<class 'builtins.Categorical'>"
    assert str(inspect.signature(cls)) == "(weights)"
    assert str(inspect.signature(cls([1]).sample)) == "(rng)"
    assert "alias" in cls.__doc__
    assert cls.sample.__doc__.strip()
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
    c = cls([1, 2])
    with pytest.raises(AttributeError):
        c.x = 1
    with pytest.raises(AttributeError):
        c.__dict__
    with pytest.raises(TypeError):
        weakref.ref(c)
    assert c != cls([1, 2]) and c == c
    assert repr(c).startswith("<builtins.Categorical object at ")



def test_weights_whose_sum_overflows_keep_their_proportions():
    # 1e308 + 1e308 overflows to inf; the table must still follow the 10 : 1 : 10 ratio
    # instead of treating every column alike.
    table = drawkit.Categorical([1e308, 1e307, 1e308])
    g = drawkit.Generator(5)
    counts = [0, 0, 0]
    for _ in range(21_000):
        counts[table.sample(g)] += 1
    assert 700 < counts[1] < 1300  # expected 1000
