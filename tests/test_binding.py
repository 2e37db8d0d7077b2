"""Argument binding, conversion kinds, notes, and the access guard against re-entrance."""

import pytest

import drawkit
from conftest import SEED0_STATE, raises_with_note


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda g: g.uniform(1, 2, 3), "Generator.uniform() takes 2 positional arguments but 3 were given"),
        (lambda g: g.bernoulli(1, 2), "Generator.bernoulli() takes 1 positional arguments but 2 were given"),
        (lambda g: g.uniform(1), "Generator.uniform() missing 1 required positional argument: 'high'"),
        (lambda g: g.uniform(), "Generator.uniform() missing 2 required positional arguments: 'low' and 'high'"),
        (lambda g: g.uniform(high=1), "Generator.uniform() missing 1 required positional argument: 'low'"),
        (lambda g: g.uniform(0, 1, low=0), "Generator.uniform() got multiple values for argument 'low'"),
        (lambda g: g.uniform(lo=0, high=1), "Generator.uniform() got an unexpected keyword argument 'lo'"),
        (lambda g: g.fill(), "Generator.fill() missing 1 required positional argument: 'buf'"),
        (lambda g: drawkit.Generator.from_state(), "Generator.from_state() missing 1 required positional argument: 'state'"),
        (lambda g: drawkit.Generator.from_state(1, 2), "Generator.from_state() takes 1 positional arguments but 2 were given"),
    ],
)
def test_binding_messages_leave_the_state_unchanged(g0, call, message):
    with pytest.raises(TypeError) as info:
        call(g0)
    assert str(info.value) == message
    assert g0.state() == SEED0_STATE


def test_keywords_bind_in_any_order():
    a, b = drawkit.Generator(0), drawkit.Generator(0)
    assert a.uniform(high=1, low=0) == b.uniform(0, 1)
    assert a.integers(0, high=10) == b.integers(low=0, high=10)


class Floaty:
    def __init__(self, v):
        self.v = v

    def __float__(self):
        return self.v


class Indexy:
    def __init__(self, v):
        self.v = v

    def __index__(self):
        return self.v


def test_float_kind_accepts_numbers_and_conversions():
    results = []
    for low in (0, 0.0, False, Floaty(0.0), Indexy(0)):
        results.append(drawkit.Generator(0).uniform(low, 10))
    assert results == [3.245752680314067] * 5

    class F(float):
        pass

    assert drawkit.Generator(0).uniform(F(0.0), 10) == 3.245752680314067


@pytest.mark.parametrize(
    "args, exc, param",
    [
        (("a", 1), TypeError, "low"),
        ((0, None), TypeError, "high"),
        ((2**1024, 1), OverflowError, "low"),
        ((0, [1]), TypeError, "high"),
    ],
)
def test_float_kind_failures(g0, args, exc, param):
    with raises_with_note(exc, None, param):
        g0.uniform(*args)
    assert g0.state() == SEED0_STATE


def test_signed_kind_range_and_failures(g0):
    assert drawkit.Generator(0).integers(-(2**63), 2**63 - 1) == -3236015134823734305
    assert drawkit.Generator(0).integers(Indexy(0), True + 9) == 3
    with raises_with_note(OverflowError, None, "high"):
        g0.integers(0, 2**63)
    with raises_with_note(OverflowError, None, "low"):
        g0.integers(-(2**63) - 1, 0)
    with raises_with_note(TypeError, None, "low"):
        g0.integers(0.0, 1)
    with raises_with_note(TypeError, None, "high"):
        g0.integers(0, "1")
    assert g0.state() == SEED0_STATE


def test_unsigned_kind_range_and_failures(g0):
    with raises_with_note(OverflowError, None, "n"):
        g0.split(-1)
    with raises_with_note(OverflowError, None, "n"):
        g0.split(2**64)
    with raises_with_note(TypeError, None, "n"):
        g0.split(1.0)
    with raises_with_note(TypeError, None, "n"):
        g0.split(None)
    assert g0.state() == SEED0_STATE
    assert len(g0.split(Indexy(2))) == 2


def test_container_kind_messages(g0):
    with raises_with_note(TypeError, "'bytes' object is not an instance of 'bytearray'", "buf"):
        g0.fill(bytes(4))
    with raises_with_note(TypeError, "'list' object is not an instance of 'bytearray'", "buf"):
        g0.fill([0, 0])
    with raises_with_note(TypeError, "'memoryview' object is not an instance of 'bytearray'", "buf"):
        g0.fill(memoryview(bytearray(4)))
    with raises_with_note(TypeError, "'None' is not an instance of 'bytearray'", "buf"):
        g0.fill(None)
    with raises_with_note(TypeError, "'Outer.Inner' object is not an instance of 'tuple'", "state"):
        drawkit.Generator.from_state(Outer.Inner())
    assert g0.state() == SEED0_STATE


class Outer:
    class Inner:
        pass


class CallsBack:
    """A float/index conversion that runs `action` first: Python code inside a call."""

    def __init__(self, action, value=0):
        self.action = action
        self.value = value

    def __float__(self):
        self.action()
        return float(self.value)

    def __index__(self):
        self.action()
        return int(self.value)


def test_reentrant_draw_is_refused_without_disturbing_the_outer_call(g0):
    with raises_with_note(RuntimeError, "Already borrowed", "low"):
        g0.uniform(CallsBack(g0.random), 1)
    with raises_with_note(RuntimeError, "Already borrowed", "high"):
        g0.integers(0, CallsBack(lambda: g0.split(1), 5))
    with raises_with_note(RuntimeError, "Already mutably borrowed", "p"):
        g0.bernoulli(CallsBack(g0.state))
    for name in ("jump", "spawn", "random"):
        with raises_with_note(RuntimeError, "Already borrowed", "p"):
            g0.bernoulli(CallsBack(getattr(g0, name)))
    assert g0.state() == SEED0_STATE
    # The access is released after the failures: the generator works again.
    assert g0.random() == 0.3245752680314067


def test_another_generator_works_inside_a_callback(g0):
    other = drawkit.Generator(5)
    seen = []
    value = g0.uniform(CallsBack(lambda: seen.append((other.random(), other.state()))), 10)
    assert value == 3.245752680314067
    assert len(seen) == 1


def test_access_is_released_after_an_exception_inside_a_callback(g0):
    def boom():
        raise KeyError("user")

    with pytest.raises(KeyError):
        g0.uniform(CallsBack(boom), 1)
    assert g0.state() == SEED0_STATE
    assert g0.uniform(0, 1) == 0.3245752680314067
