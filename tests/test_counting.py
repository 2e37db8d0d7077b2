"""poisson, geometric, binomial and multinomial: worked values, draw counts, messages."""

import math

import pytest

import drawkit
from conftest import advanced, raises_with_note

U64_MAX = 2**64 - 1
ZERO_STATE = (0, 0, 0, 0, None)


def draws(method, args, calls, seed=0):
    g = drawkit.Generator(seed)
    return [getattr(g, method)(*args) for _ in range(calls)], g.state()


def rotr(x, k):
    return ((x >> k) | (x << (64 - k))) & U64_MAX


def state_with_first_output(x):
    """A state (0, 0, 0, s3) whose first output is x: that output is rotl(s0 + s3, 23) + s0."""
    return (0, 0, 0, rotr(x, 23), None)


# --- worked sequences and engine-output counts -------------------------------------------


@pytest.mark.parametrize(
    "method, args, expected, outputs",
    [
        ("poisson", (25.0,), [22, 23, 25, 22, 22], 12),
        ("poisson", (9.5,), [5, 6, 5, 5, 7], 33),
        ("poisson", (3.0,), [2, 0, 1], 6),
        ("poisson", (10.0,), [8, 9, 10], 6),
        ("poisson", (1000.0,), [984, 987, 1000], 6),
        ("poisson", (0.001,), [0, 0, 0, 0, 0], 5),
        ("poisson", (1e20,), [U64_MAX] * 5, 10),
        ("geometric", (0.1,), [4, 5, 5, 1, 7], 5),
        ("geometric", (0.01,), [40, 48, 45, 2, 69], 5),
        ("geometric", (0.25,), [2, 2, 2], 3),
        ("binomial", (10, 0.3), [4, 5, 6], 30),
        ("binomial", (100, 0.5), [57, 51, 53], 300),
    ],
)
def test_worked_sequence_and_output_count(method, args, expected, outputs):
    values, state = draws(method, args, len(expected))
    assert values == expected
    assert all(type(v) is int for v in values)
    assert state == advanced(0, outputs)


def test_multinomial_worked_value():
    g = drawkit.Generator(0)
    assert g.multinomial(10, [0.2, 0.3, 0.5]) == [3, 5, 2]
    assert g.state() == advanced(0, 10)


def test_poisson_threshold_just_below_ten_multiplies():
    # The multiplication method takes c + 1 outputs for a result c; PTRS an even number.
    g = drawkit.Generator(0)
    c = g.poisson(9.999999999999998)
    assert c == 5
    assert g.state() == advanced(0, c + 1)
    g = drawkit.Generator(0)
    assert g.poisson(10.0) == 8
    assert g.state() == advanced(0, 2)


def test_results_keep_the_cached_normal():
    state = drawkit.Generator(0).state()[:4] + (0.25,)
    g = drawkit.Generator.from_state(state)
    g.poisson(25.0), g.poisson(3.0), g.geometric(0.5), g.binomial(5, 0.5), g.multinomial(3, [1.0])
    assert g.state()[4] == 0.25


# --- poisson -----------------------------------------------------------------------------


@pytest.mark.parametrize(
    "lam, text",
    [(0.0, "0"), (-0.0, "-0"), (-1.5, "-1.5"), (math.nan, "NaN"), (math.inf, "inf"), (-math.inf, "-inf")],
)
def test_poisson_rejects_lam(lam, text):
    g = drawkit.Generator(0)
    before = g.state()
    with pytest.raises(ValueError) as info:
        g.poisson(lam)
    assert str(info.value) == f"lam must be a positive, finite number, got {text}"
    assert g.state() == before


def test_poisson_smallest_subnormal_lam_is_zero():
    g = drawkit.Generator(0)
    assert g.poisson(5e-324) == 0
    assert g.state() == advanced(0, 1)


def test_poisson_all_zero_state_refuses_ptrs():
    # The all-zero state is a fixed point of the engine: every PTRS attempt would see
    # U = -0.5, V = 0 and reject, forever.
    message = "poisson(): an all-zero engine state never accepts a draw for lam >= 10"
    for cached in (None, 0.5):
        g = drawkit.Generator.from_state((0, 0, 0, 0, cached))
        for lam in (10.0, 25.0, 1e300):
            with pytest.raises(ValueError) as info:
                g.poisson(lam)
            assert str(info.value) == message
            assert g.state() == (0, 0, 0, 0, cached)
    g = drawkit.Generator.from_state(ZERO_STATE)
    # lam is checked first.
    with pytest.raises(ValueError, match="^lam must be a positive, finite number, got 0$"):
        g.poisson(0)
    # The multiplication method still answers: u = 0 ends it at once.
    assert g.poisson(9.999999999999998) == 0
    assert g.poisson(3.0) == 0
    # One set bit is enough for PTRS to finish.
    assert drawkit.Generator.from_state((0, 0, 0, 1, None)).poisson(10.0) >= 0


# --- geometric ---------------------------------------------------------------------------


@pytest.mark.parametrize("p", [0.0, -0.0, 0])
def test_geometric_zero_message(p):
    g = drawkit.Generator(0)
    before = g.state()
    with pytest.raises(ValueError) as info:
        g.geometric(p)
    assert str(info.value) == "geometric(p=0.0): a trial that never succeeds has no defined number of trials"
    assert g.state() == before


@pytest.mark.parametrize("p, text", [(1.5, "1.5"), (math.nan, "NaN"), (-1e-300, "-" + "0." + "0" * 299 + "1")])
def test_geometric_probability_message_first(p, text):
    g = drawkit.Generator(0)
    before = g.state()
    with pytest.raises(ValueError) as info:
        g.geometric(p)
    assert str(info.value) == f"p must be a probability between 0 and 1, got {text}"
    assert g.state() == before


def test_geometric_certain_success_consumes_nothing():
    g = drawkit.Generator(0)
    assert g.geometric(1.0) == 1
    assert g.geometric(1) == 1
    assert g.state() == advanced(0, 0)


def test_geometric_tiny_p_keeps_its_mean():
    # At or below 2^-54, 1 - p rounds to 1, and ln(1 - p) as written would be 0, making every
    # draw 1 although the mean is 1/p; -p (the correctly rounded logarithm there) is used.
    first_log = -0.39241355344733597  # ln of seed 0's first complement uniform
    values, state = draws("geometric", (2.0**-54,), 1)
    assert values == [int(-first_log * 2**54) + 1]
    assert state == advanced(0, 1)
    for p in (1e-300, 5e-324):  # beyond 2^64: saturated, one output per call
        values, state = draws("geometric", (p,), 3)
        assert values == [2**64 - 1] * 3
        assert state == advanced(0, 3)
    # Just above, the steps as written apply: large, but far from wrapping the + 1.
    value = drawkit.Generator(0).geometric(math.nextafter(2.0**-54, 1.0))
    assert 10**15 < value < 4 * 10**17


def test_geometric_zero_state_gives_one():
    g = drawkit.Generator.from_state(ZERO_STATE)
    assert [g.geometric(0.5), g.geometric(1e-9)] == [1, 1]


# --- binomial ----------------------------------------------------------------------------


def test_binomial_consumes_n_outputs_whatever_p():
    for p, want in ((0.0, 0), (-0.0, 0), (1.0, 25), (1, 25)):
        g = drawkit.Generator(0)
        assert g.binomial(25, p) == want
        assert g.state() == advanced(0, 25)
    g = drawkit.Generator(0)
    assert g.binomial(0, 0.5) == 0
    assert g.state() == advanced(0, 0)


@pytest.mark.parametrize("p, text", [(1.0000000000000002, "1.0000000000000002"), (math.nan, "NaN"), (-1, "-1")])
def test_binomial_probability_message(p, text):
    g = drawkit.Generator(0)
    before = g.state()
    with pytest.raises(ValueError) as info:
        g.binomial(10, p)
    assert str(info.value) == f"p must be a probability between 0 and 1, got {text}"
    assert g.state() == before


@pytest.mark.parametrize(
    "n, exc", [(-1, OverflowError), (2**64, OverflowError), (1.0, TypeError), ("3", TypeError)]
)
def test_binomial_n_fails_in_conversion_before_p(n, exc):
    g = drawkit.Generator(0)
    before = g.state()
    with raises_with_note(exc, None, "n"):
        g.binomial(n, 7.0)  # p is invalid too, but never looked at
    assert g.state() == before


def test_binomial_agrees_with_bernoulli_trials():
    g = drawkit.Generator(7)
    h = drawkit.Generator(7)
    for p in (0.3, 0.5, 0.999, 1e-3):
        assert g.binomial(500, p) == sum(h.bernoulli(p) for _ in range(500))
    assert g.state() == h.state()


# --- multinomial -------------------------------------------------------------------------


def test_multinomial_zero_trials_and_single_category():
    g = drawkit.Generator(0)
    assert g.multinomial(0, [0.2, 0.3, 0.5]) == [0, 0, 0]
    assert g.state() == advanced(0, 0)
    assert g.multinomial(7, [1.0]) == [7]
    assert g.state() == advanced(0, 7)
    assert g.multinomial(4, (0.0, 1.0, -0.0)) == [0, 4, 0]


def test_multinomial_last_category_takes_the_shortfall():
    probs = [0.5, 0.4999995, 0.0]
    rounded_sum = (0.0 + 0.5) + 0.4999995 + 0.0
    state = state_with_first_output(U64_MAX)  # u = 1 - 2^-53
    assert drawkit.Generator.from_state(state).random() >= rounded_sum
    g = drawkit.Generator.from_state(state)
    assert g.multinomial(1, probs) == [0, 0, 1]
    assert g.state() == advanced(state, 1)
    # Summing exactly to 1, the same u stays in the middle category.
    assert drawkit.Generator.from_state(state).multinomial(1, [0.5, 0.5, 0.0]) == [0, 1, 0]
    # A u just below the rounded sum is an ordinary draw of the middle category.
    below = state_with_first_output(int(rounded_sum * 2**53 - 1) << 11)
    assert drawkit.Generator.from_state(below).random() < rounded_sum
    assert drawkit.Generator.from_state(below).multinomial(1, probs) == [0, 1, 0]


def test_multinomial_two_categories_within_tolerance():
    assert sum(drawkit.Generator(0).multinomial(50, [0.5, 0.4999995])) == 50


@pytest.mark.parametrize(
    "probs, message",
    [
        ([], "multinomial(n, []): probs must have at least one entry"),
        ([1.5, -0.5], "multinomial(): probs[0]=1.5 must be between 0 and 1"),
        ([0.5, math.nan], "multinomial(): probs[1]=NaN must be between 0 and 1"),
        ([0.5, 0.5, math.inf], "multinomial(): probs[2]=inf must be between 0 and 1"),
        ([0.5, -math.inf], "multinomial(): probs[1]=-inf must be between 0 and 1"),
        ([-1e-7, 1.0], "multinomial(): probs[0]=-0.0000001 must be between 0 and 1"),
        ([0.3, 0.3], "multinomial(): probs must sum to 1.0, got 0.6"),
        ([1.0, 1.0], "multinomial(): probs must sum to 1.0, got 2"),
        ([0.0], "multinomial(): probs must sum to 1.0, got 0"),
        # The first sums beyond 1e-6 on either side of 1 (the spacing is 2^-52 above, 2^-53 below).
        ([1.0, 4503599628 * 2.0**-52], "multinomial(): probs must sum to 1.0, got 1.0000010000000001"),
        ([0.5, 0.5 - 9007199255 * 2.0**-53], "multinomial(): probs must sum to 1.0, got 0.999999"),
    ],
)
def test_multinomial_messages(probs, message):
    g = drawkit.Generator(0)
    before = g.state()
    with pytest.raises(ValueError) as info:
        g.multinomial(5, probs)
    assert str(info.value) == message
    assert g.state() == before


def test_multinomial_tolerance_boundary_passes():
    # The last sums within 1e-6 on either side of 1.
    for probs in ([1.0, 4503599627 * 2.0**-52], [0.5, 0.5 - 9007199254 * 2.0**-53]):
        g = drawkit.Generator(0)
        assert sum(g.multinomial(3, probs)) == 3
        assert g.state() == advanced(0, 3)


@pytest.mark.parametrize(
    "n, probs, exc, message, parameter",
    [
        (-1, [], OverflowError, None, "n"),
        (2**64, "abc", OverflowError, None, "n"),
        (1.5, [1.0], TypeError, None, "n"),
        (3, "abc", TypeError, "Can't extract `str` to `Vec`", "probs"),
        (3, {1: 2}, TypeError, "'dict' object is not an instance of 'Sequence'", "probs"),
        (3, [0.5, "x"], TypeError, None, "probs"),
    ],
)
def test_multinomial_conversion_order(n, probs, exc, message, parameter):
    g = drawkit.Generator(0)
    before = g.state()
    with raises_with_note(exc, message, parameter):
        g.multinomial(n, probs)
    assert g.state() == before


# --- binding -----------------------------------------------------------------------------


@pytest.mark.parametrize(
    "method, signature",
    [
        ("poisson", "($self, lam)"),
        ("geometric", "($self, p)"),
        ("binomial", "($self, n, p)"),
        ("multinomial", "($self, n, probs)"),
    ],
)
def test_signatures(method, signature):
    assert getattr(drawkit.Generator, method).__text_signature__ == signature


def test_keywords_bind_by_name():
    assert drawkit.Generator(0).binomial(p=0.3, n=10) == 4
    assert drawkit.Generator(0).multinomial(probs=[0.2, 0.3, 0.5], n=10) == [3, 5, 2]
    assert drawkit.Generator(0).poisson(lam=25.0) == 22
    assert drawkit.Generator(0).geometric(p=0.1) == 4
