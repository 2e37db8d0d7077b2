"""random, uniform, integers, bernoulli and fill: reference values, counts and messages."""

import pytest

import drawkit
from conftest import SEED0_STATE, advanced, bits, from_bits


def test_random_reference_stream(g0):
    assert [g0.random() for _ in range(3)] == [0.3245752680314067, 0.38223929651167343, 0.3596172076473553]


def test_first_draws_of_seed_zero():
    assert drawkit.Generator(0).uniform(0, 10) == 3.245752680314067
    assert drawkit.Generator(0).integers(0, 10) == 3
    assert drawkit.Generator(0).integers(-5, 5) == -2
    assert drawkit.Generator(0).bernoulli(0.5) is True
    assert drawkit.Generator(0).integers(-(2**63), 2**63 - 1) == -3236015134823734305


@pytest.mark.parametrize(
    "call",
    [
        lambda g: g.random(),
        lambda g: g.uniform(-3.0, 7.5),
        lambda g: g.integers(7, 8),
        lambda g: g.bernoulli(0.0),
        lambda g: g.bernoulli(1.0),
    ],
)
def test_one_output_per_call(g0, call):
    call(g0)
    assert g0.state() == advanced(0, 1)


def test_degenerate_ranges_still_consume_an_output(g0):
    assert g0.integers(7, 8) == 7
    assert g0.bernoulli(-0.0) is False
    assert g0.bernoulli(1.0) is True
    assert g0.bernoulli(0.0) is False
    assert g0.state() == advanced(0, 4)


def test_uniform_is_not_clamped():
    # An engine state whose first output has all top 53 bits set gives u = 1 - 2**-53, and
    # 1 + (1 - 2**-53) rounds to 2.0. s0 = 2**64 - 1 and s3 = 0 give
    # rotl(s0 + s3, 23) + s0 = 2**64 - 2: the top 53 bits are all one.
    g = drawkit.Generator.from_state((2**64 - 1, 0, 0, 0, None))
    assert g.uniform(1, 2) == 2.0
    g = drawkit.Generator.from_state((2**64 - 1, 0, 0, 0, None))
    assert g.random() == 1 - 2**-53


def test_uniform_overflowing_span_returns_inf_or_nan():
    assert drawkit.Generator(0).uniform(-1e308, 1e308) == float("inf")
    zero = drawkit.Generator.from_state((0, 0, 0, 0, None))
    value = zero.uniform(-1e308, 1e308)
    assert value != value


@pytest.mark.parametrize(
    "low, high, shown",
    [
        (0, 0, "uniform(0, 0)"),
        (1, 0, "uniform(1, 0)"),
        (float("nan"), 1, "uniform(NaN, 1)"),
        (0, float("inf"), "uniform(0, inf)"),
        (-float("inf"), 0, "uniform(-inf, 0)"),
        (0.5, 1e-7, "uniform(0.5, 0.0000001)"),
        (-0.0, -0.0, "uniform(-0, -0)"),
        (1e20, 1, "uniform(100000000000000000000, 1)"),
    ],
)
def test_uniform_messages(g0, low, high, shown):
    with pytest.raises(ValueError) as info:
        g0.uniform(low, high)
    assert str(info.value) == shown + ": high must be greater than low, and both must be finite"
    assert g0.state() == SEED0_STATE


@pytest.mark.parametrize("low, high", [(5, 5), (3, -7), (-(2**63), -(2**63))])
def test_integers_messages(g0, low, high):
    with pytest.raises(ValueError) as info:
        g0.integers(low, high)
    assert str(info.value) == f"integers({low}, {high}): high must be greater than low"
    assert g0.state() == SEED0_STATE


@pytest.mark.parametrize(
    "p, shown",
    [(1.0000000000000002, "1.0000000000000002"), (float("nan"), "NaN"), (-1e-300, "-" + "0." + "0" * 299 + "1"),
     (float("inf"), "inf"), (2, "2")],
)
def test_bernoulli_messages(g0, p, shown):
    with pytest.raises(ValueError) as info:
        g0.bernoulli(p)
    assert str(info.value) == f"p must be a probability between 0 and 1, got {shown}"
    assert g0.state() == SEED0_STATE


def test_fill_bytes_and_output_count(g0):
    buf = bytearray(10)
    assert g0.fill(buf) is None
    assert bytes(buf) == bytes.fromhex("DF230B49615D175307D5")
    assert len(buf) == 10
    assert g0.state() == advanced(0, 2)
    assert g0.random() == 0.3596172076473553


def test_fill_edge_sizes_and_subclass(g0):
    g0.fill(bytearray())
    assert g0.state() == SEED0_STATE

    class B(bytearray):
        pass

    buf = B(16)
    g0.fill(buf)
    assert g0.state() == advanced(0, 2)
    whole = bytearray(16)
    drawkit.Generator(0).fill(whole)
    assert bytes(buf) == bytes(whole)
    # Each output is written least significant byte first.
    assert int.from_bytes(whole[:8], "little") == 0x53175D61490B23DF


def test_random_bits_are_exact_multiples_of_two_to_minus_53():
    g = drawkit.Generator(123)
    for _ in range(1000):
        x = g.random()
        assert 0.0 <= x < 1.0
        assert (x * 2**53).is_integer()
    assert bits(from_bits(0x3CA0000000000000)) == 0x3CA0000000000000
