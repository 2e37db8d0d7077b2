"""Continuous distributions: normal, lognormal, exponential, laplace, cauchy, gamma, beta,
chisquare, student_t, multivariate_normal and dirichlet.

Floats are compared by bit pattern; engine outputs consumed by a call are pinned by comparing
state() with a generator advanced by that many outputs; the fifth state element is the cached
normal, which the normal-drawing methods and the gamma sampler share.
"""

import inspect
import math

import pytest

import drawkit
from conftest import SEED0_STATE, advanced, bits, from_bits, raises_with_note

NAN = float("nan")
INF = float("inf")


def assert_bits(actual, expected):
    assert bits(actual) == bits(expected), f"{actual!r} ({bits(actual):#018x}) != {expected!r} ({bits(expected):#018x})"


def assert_state(g, seed_or_state, outputs, cached):
    """g has consumed `outputs` engine outputs from `seed_or_state` and has `cached` pending."""
    assert g.state()[:4] == advanced(seed_or_state, outputs)[:4]
    pending = g.state()[4]
    if cached is None:
        assert pending is None
    else:
        assert pending is not None
        assert_bits(pending, cached)


def with_pending(seed, value):
    """A generator in the engine state of `seed` with `value` pending as the cached normal."""
    return drawkit.Generator.from_state(drawkit.Generator(seed).state()[:4] + (value,))


# Engine words whose next two outputs are both 0 (s0 = s1 = s3 = 0, any s2).
ZERO_OUTPUTS = (0, 0, 0x0123456789ABCDEF, 0, None)

Z0 = -1.1079085986338315  # the first Box-Muller pair of seed 0: cosine member ...
Z1 = 1.0114416320093498  # ... and sine member


# --- normal and lognormal ---------------------------------------------------------------


def test_normal_seed0_pair_and_output_counts(g0):
    assert_bits(g0.normal(0.0, 1.0), Z0)
    assert_state(g0, 0, 2, Z1)
    assert_bits(g0.normal(0.0, 1.0), Z1)
    assert_state(g0, 0, 2, None)
    g0.normal(0.0, 1.0)  # a fresh pair
    assert g0.state()[:4] == advanced(0, 4)[:4]
    assert g0.state()[4] is not None


def test_normal_and_lognormal_seed0_worked_values():
    assert_bits(drawkit.Generator(0).normal(5.0, 2.0), 2.784182802732337)
    assert_bits(drawkit.Generator(0).lognormal(0.0, 1.0), 0.330248922378132)
    assert_bits(drawkit.Generator(0).normal(loc=0, scale=1), Z0)
    assert_bits(drawkit.Generator(0).normal(scale=2.0, loc=5.0), 2.784182802732337)


def test_normal_run_consumes_two_outputs_per_pair():
    for n in range(7):
        g = drawkit.Generator(9)
        for _ in range(n):
            g.normal(0.0, 1.0)
        assert g.state()[:4] == advanced(9, 2 * ((n + 1) // 2))[:4]
        assert (g.state()[4] is not None) == (n % 2 == 1)


def test_zero_outputs_floor_the_radial_uniform():
    # u1 = 0 is floored to 2^-1022: r = 37.64030867387419, finite; u2 = 0 gives (r, +0.0).
    g = drawkit.Generator.from_state(ZERO_OUTPUTS)
    assert_bits(g.normal(0.0, 1.0), 37.64030867387419)
    assert_bits(g.normal(0.0, 1.0), 0.0)


def test_pending_normal_carried_through_state_and_from_state(g0):
    g0.normal(0.0, 1.0)
    saved = g0.state()
    assert_bits(saved[4], Z1)
    restored = drawkit.Generator.from_state(saved)
    assert_bits(restored.normal(5.0, 2.0), 5.0 + 2.0 * Z1)
    assert restored.state() == advanced(0, 2)  # the pending value cost no output
    assert_bits(g0.normal(0.0, 1.0), Z1)


def test_normal_then_lognormal_uses_the_same_pair(g0):
    g0.normal(0.0, 1.0)
    value = g0.lognormal(0.0, 1.0)
    assert_state(g0, 0, 2, None)
    assert_bits(value, with_pending(1, Z1).lognormal(0.0, 1.0))
    assert math.isclose(value, math.exp(Z1), rel_tol=1e-15)


def test_lognormal_at_the_limits_of_exp():
    # |z| never exceeds 37.64..., so these exponents are beyond exp's thresholds.
    assert drawkit.Generator(0).lognormal(1000.0, 1.0) == INF
    assert_bits(drawkit.Generator(0).lognormal(-1000.0, 1.0), 0.0)


def test_normal_accepts_ints_and_float_like_objects():
    class Half:
        def __float__(self):
            return 0.5

    assert_bits(drawkit.Generator(0).normal(5, 2), 2.784182802732337)
    assert_bits(drawkit.Generator(0).normal(0, Half()), 0.5 * Z0)


# --- exponential, laplace, cauchy -------------------------------------------------------


@pytest.mark.parametrize(
    "method, args, expected, per_call",
    [
        ("exponential", (1.0,), [0x3FD91D4DBCA40FAA, 0x3FDED36BC021E789, 0x3FDC862BDC96BBB6], 1),
        ("laplace", (0.0, 1.0), [0xBFB6D8780DF75F7C, 0x3FDBC966A5F3C711, 0x3FE536E7647FDD59], 2),
        ("cauchy", (0.0, 1.0), [0xBFE3AB1CAF91CB79, 0xBFD8D1EC7A635F3E, 0xBFDE35CE0181B285], 1),
    ],
)
def test_inversion_draws_seed0(method, args, expected, per_call):
    g = with_pending(0, 0.25)  # none of the three touches the cached normal
    for i, want in enumerate(expected):
        assert bits(getattr(g, method)(*args)) == want
        assert_state(g, SEED0_STATE[:4] + (0.25,), per_call * (i + 1), 0.25)


def test_inversion_draws_decimal_values_and_location_scale():
    g = drawkit.Generator(0)
    assert [g.exponential(1.0) for _ in range(3)] == [0.39241355344733597, 0.4816541076939918, 0.44568916837573214]
    g = drawkit.Generator(0)
    assert [g.laplace(0.0, 1.0) for _ in range(3)] == [-0.08924055424665583, 0.4341675396564009, 0.6629521334533975]
    g = drawkit.Generator(0)
    assert [g.cauchy(0.0, 1.0) for _ in range(3)] == [-0.6146377019016277, -0.38781272842378545, -0.4720339789117037]
    assert_bits(drawkit.Generator(0).cauchy(-3.0, 2.0), -4.229275403803255)
    assert_bits(drawkit.Generator(0).exponential(1), 0.39241355344733597)


def test_inversion_draws_on_zero_outputs():
    g = drawkit.Generator.from_state(ZERO_OUTPUTS)
    assert_bits(g.exponential(3.0), -0.0)  # w = 1, ln w = +0, negated product -0.0
    g = drawkit.Generator.from_state(ZERO_OUTPUTS)
    assert_bits(g.laplace(0.0, 1.0), 0.0)
    g = drawkit.Generator.from_state(ZERO_OUTPUTS)
    assert bits(g.cauchy(0.0, 1.0)) == 0xC34D02967C38F825  # -1.6331239354134602e+16
    g = drawkit.Generator.from_state(ZERO_OUTPUTS)
    assert_bits(g.cauchy(1.0, 2.0), 1.0 + 2.0 * from_bits(0xC34D02967C38F825))


def test_huge_scale_overflows_without_error():
    assert drawkit.Generator(0).normal(0.0, 1.7e308) == -INF  # 1.7e308 * -1.1079...
    assert drawkit.Generator.from_state(ZERO_OUTPUTS).cauchy(0.0, 1e300) == -INF
    assert drawkit.Generator.from_state(ZERO_OUTPUTS).cauchy(1.0, 2.0) == 1.0 + 2.0 * -1.6331239354134602e16


# --- gamma family -------------------------------------------------------------------------


@pytest.mark.parametrize(
    "seed, value, outputs, pending",
    [
        (3, 0.04427623104224786, 3, -1.9518851161400188),  # log test accepts the first attempt
        (25, 0.34309886905110204, 4, None),  # log test rejects, squeeze accepts on the cached member
        (140, 0.4128876234239435, 3, None),  # s <= 0 draws no uniform; cached member then accepted
        (239, 4.546925100823645, 4, None),  # log test rejects, then accepts
    ],
)
def test_gamma_rejection_paths(seed, value, outputs, pending):
    g = drawkit.Generator(seed)
    assert_bits(g.gamma(1.0, 1.0), value)
    assert_state(g, seed, outputs, pending)


@pytest.mark.parametrize(
    "call, value, outputs, pending",
    [
        (lambda g: g.gamma(2.5, 1.0), 0.9108053946816232, 3, Z1),
        (lambda g: g.gamma(0.5, 1.0), 0.04741673199200492, 4, 1.0707271825228197),
        (lambda g: g.gamma(1.0, 1.0), 0.10952990281789315, 3, Z1),
        (lambda g: g.beta(2.0, 3.0), 0.11466549111208471, 4, None),
        (lambda g: g.chisquare(3.0), 0.6650228792907993, 3, Z1),
        (lambda g: g.student_t(5.0), -0.8734246688339767, 3, None),
    ],
)
def test_gamma_family_seed0(call, value, outputs, pending):
    g = drawkit.Generator(0)
    assert_bits(call(g), value)
    assert_state(g, 0, outputs, pending)


def test_normal_left_pending_after_gamma_is_handed_out_next(g0):
    g0.gamma(2.5, 1.0)
    assert_bits(g0.normal(0.0, 1.0), Z1)
    assert_state(g0, 0, 3, None)


def test_normal_then_gamma_starts_on_the_cached_normal(g0):
    g0.normal(0.0, 1.0)
    value = g0.gamma(1.0, 1.0)
    twin = drawkit.Generator.from_state(advanced(0, 2)[:4] + (Z1,))
    assert_bits(value, twin.gamma(1.0, 1.0))
    assert g0.state() == twin.state()
    assert value != drawkit.Generator(0).gamma(1.0, 1.0)


def test_gamma_scale_multiplies_the_standard_draw():
    assert_bits(drawkit.Generator(3).gamma(1.0, 3.5), 3.5 * 0.04427623104224786)


def test_boost_branch_draws_its_uniform_first():
    # Gamma(0.999) = Gamma(1.999) * u^(1/0.999), u from the very first output: the inner
    # draw and its pending normal are those of Gamma(1.999) on the stream advanced by one.
    g = drawkit.Generator(0)
    g.gamma(0.999, 1.0)
    inner = drawkit.Generator.from_state(advanced(0, 1))
    inner.gamma(1.999, 1.0)
    assert g.state() == inner.state()


def test_tiny_shape_underflows_to_zero():
    assert_bits(drawkit.Generator(0).gamma(1e-200, 1.0), 0.0)
    # Below ~7.5e-301 the boost exponent 1/shape leaves the power function's domain; the
    # factor is 0.0 all the same, so the draws stay 0.0 instead of becoming NaN.
    for shape in (7e-301, 1e-310, 5e-324):
        g = drawkit.Generator(0)
        assert_bits(g.gamma(shape, 1.0), 0.0)
        reference = drawkit.Generator(0)
        reference.gamma(1e-200, 1.0)
        assert g.state() == reference.state()  # same draws: u, then Gamma(1)
    assert_bits(drawkit.Generator(0).chisquare(1e-320), 0.0)
    assert drawkit.Generator(0).dirichlet([5e-324, 1.0]) == [0.0, 1.0]


def test_chisquare_two_is_twice_a_unit_gamma():
    for seed in (0, 3, 25):
        assert_bits(drawkit.Generator(seed).chisquare(2.0), 2.0 * drawkit.Generator(seed).gamma(1.0, 1.0))


def test_beta_draws_x_completely_before_y():
    ab = drawkit.Generator(0).beta(2.0, 3.0)
    ba = drawkit.Generator(0).beta(3.0, 2.0)
    assert ab != ba
    # X = Gamma(2) from the fresh state; Y = Gamma(3) starting on X's pending normal.
    g = drawkit.Generator(0)
    x = g.gamma(2.0, 1.0)
    y = g.gamma(3.0, 1.0)
    assert_bits(ab, x / (x + y))


def test_student_t_without_pending_normal(g0):
    # numerator: the cosine member of a fresh pair; the gamma sampler starts on its sine member
    value = g0.student_t(5.0)
    twin = drawkit.Generator.from_state(advanced(0, 2)[:4] + (Z1,))
    w = twin.chisquare(5.0)
    assert_bits(value, Z0 / math.sqrt(w / 5.0))
    assert g0.state() == twin.state()


def test_student_t_with_pending_normal():
    g = with_pending(5, 0.75)
    value = g.student_t(4.0)
    twin = drawkit.Generator(5)
    w = twin.chisquare(4.0)
    assert_bits(value, 0.75 / math.sqrt(w / 4.0))
    assert g.state() == twin.state()


# --- multivariate_normal ------------------------------------------------------------------


def test_multivariate_normal_seed0_worked_list(g0):
    out = g0.multivariate_normal([1.0, -1.0], [2.0, 0.0, 0.5, 1.0])
    assert type(out) is list
    assert [bits(v) for v in out] == [bits(-1.215817197267663), bits(-0.542512667307566)]
    assert_state(g0, 0, 2, None)
    # Built from the pair Z0, Z1: row 0 = 2 Z0 + 1, row 1 = (0.5 Z0 + Z1) - 1.
    assert_bits(out[0], (0.0 + 2.0 * Z0) + 1.0)
    assert_bits(out[1], ((0.0 + 0.5 * Z0) + 1.0 * Z1) + -1.0)


def test_multivariate_normal_upper_triangle_is_ignored():
    a = drawkit.Generator(0).multivariate_normal([1.0, -1.0], [2.0, 0.0, 0.5, 1.0])
    b = drawkit.Generator(0).multivariate_normal([1.0, -1.0], [2.0, NAN, 0.5, 1.0])
    assert [bits(v) for v in a] == [bits(v) for v in b]


def test_multivariate_normal_draws_all_normals_first():
    g = drawkit.Generator(0)
    out = g.multivariate_normal([0.0, 0.0, 0.0], [1.0, 0, 0, 0, 1.0, 0, 0, 0, 1.0])
    zs = drawkit.Generator(0)
    expected = [zs.normal(0.0, 1.0) for _ in range(3)]
    assert [bits(v) for v in out] == [bits(v) for v in expected]
    # n = 3 from an empty cache: two pairs, the fourth normal left pending
    assert g.state() == zs.state()
    assert_state(g, 0, 4, zs.state()[4])
    g.normal(0.0, 1.0)
    assert_state(g, 0, 4, None)


def test_multivariate_normal_first_normal_takes_the_pending_value():
    g = with_pending(0, 0.5)
    out = g.multivariate_normal([1.0, 2.0], [3.0, 0.0, 0.0, 1.0])
    assert_bits(out[0], 0.0 + 3.0 * 0.5 + 1.0)
    assert_bits(out[1], ((0.0 + 0.0 * 0.5) + 1.0 * Z0) + 2.0)
    # pending start, even n: the pair's sine member is left pending
    assert_state(g, 0, 2, Z1)


def test_multivariate_normal_single_entry_equals_normal():
    for seed in (0, 1, 2):
        (value,) = drawkit.Generator(seed).multivariate_normal([5.0], [2.0])
        assert_bits(value, drawkit.Generator(seed).normal(5.0, 2.0))


def test_multivariate_normal_empty_draws_nothing():
    g = with_pending(0, 0.5)
    assert g.multivariate_normal([], []) == []
    assert g.multivariate_normal((), range(0)) == []
    assert g.state() == SEED0_STATE[:4] + (0.5,)


def test_multivariate_normal_takes_any_float_sequence():
    a = drawkit.Generator(0).multivariate_normal((1, -1), range(2, -6, -2))  # [2, 0, -2, -4]
    b = drawkit.Generator(0).multivariate_normal([1.0, -1.0], [2.0, 0.0, -2.0, -4.0])
    assert [bits(v) for v in a] == [bits(v) for v in b]
    assert_bits(a[1], ((0.0 + -2.0 * Z0) + -4.0 * Z1) + -1.0)


# --- dirichlet ------------------------------------------------------------------------------


def test_dirichlet_seed0_worked_list(g0):
    alpha = [1.0, 2.0, 3.0]
    out = g0.dirichlet(alpha)
    assert type(out) is list
    assert [bits(v) for v in out] == [
        bits(0.012830738190140585),
        bits(0.39162565342605204),
        bits(0.5955436083838075),
    ]
    assert alpha == [1.0, 2.0, 3.0]  # the argument is not modified


def test_dirichlet_is_normalised_gamma_draws():
    g = drawkit.Generator(0)
    out = g.dirichlet((1, 2.0, 3))
    twin = drawkit.Generator(0)
    draws = [twin.gamma(a, 1.0) for a in (1.0, 2.0, 3.0)]
    total = -0.0
    for d in draws:
        total += d
    assert [bits(v) for v in out] == [bits(d / total) for d in draws]
    assert g.state() == twin.state()


def test_dirichlet_single_entry_is_one_gamma_draw(g0):
    assert g0.dirichlet([1.0]) == [1.0]
    assert_state(g0, 0, 3, Z1)  # exactly the draw of gamma(1.0) on seed 0


def test_dirichlet_accepts_any_sequence_but_str():
    a = drawkit.Generator(0).dirichlet(range(1, 4))
    b = drawkit.Generator(0).dirichlet([1.0, 2.0, 3.0])
    assert a == b


# --- validation: messages, order, and nothing consumed ---------------------------------------

PENDING_START = SEED0_STATE[:4] + (-0.0,)


@pytest.mark.parametrize(
    "method, args, message",
    [
        ("normal", (NAN, 1.0), "loc must be finite, got NaN"),
        ("normal", (INF, -1.0), "scale must be a positive, finite number, got -1"),
        ("normal", (0.0, 0.0), "scale must be a positive, finite number, got 0"),
        ("normal", (0.0, -0.0), "scale must be a positive, finite number, got -0"),
        ("normal", (-INF, 1.0), "loc must be finite, got -inf"),
        ("normal", (0.0, INF), "scale must be a positive, finite number, got inf"),
        ("lognormal", (-INF, 1.0), "mean must be finite, got -inf"),
        ("lognormal", (0.0, -1.0), "sigma must be a positive, finite number, got -1"),
        ("lognormal", (NAN, NAN), "sigma must be a positive, finite number, got NaN"),
        ("exponential", (0.0,), "scale must be a positive, finite number, got 0"),
        ("exponential", (-1.0,), "scale must be a positive, finite number, got -1"),
        ("exponential", (NAN,), "scale must be a positive, finite number, got NaN"),
        ("laplace", (NAN, 1.0), "loc must be finite, got NaN"),
        ("laplace", (INF, -1.0), "scale must be a positive, finite number, got -1"),
        ("cauchy", (NAN, 1.0), "loc must be finite, got NaN"),
        ("cauchy", (INF, -1.0), "scale must be a positive, finite number, got -1"),
        ("cauchy", (0.0, 1e-7 * -1), "scale must be a positive, finite number, got -0.0000001"),
        ("gamma", (0.0, 1.0), "shape must be a positive, finite number, got 0"),
        ("gamma", (-1.0, 1.0), "shape must be a positive, finite number, got -1"),
        ("gamma", (NAN, 1.0), "shape must be a positive, finite number, got NaN"),
        ("gamma", (INF, 1.0), "shape must be a positive, finite number, got inf"),
        ("gamma", (2.0, -2.5), "scale must be a positive, finite number, got -2.5"),
        ("gamma", (0.0, -2.5), "shape must be a positive, finite number, got 0"),
        ("beta", (0.0, 1.0), "a must be a positive, finite number, got 0"),
        ("beta", (1.0, -INF), "b must be a positive, finite number, got -inf"),
        ("beta", (-1.0, -1.0), "a must be a positive, finite number, got -1"),
        ("chisquare", (0.0,), "df must be a positive, finite number, got 0"),
        ("student_t", (-INF,), "df must be a positive, finite number, got -inf"),
        ("dirichlet", ([],), "dirichlet([]): alpha must have at least one entry"),
        ("dirichlet", ([1.0, 0.0, 2.0],), "alpha[1] must be a positive, finite number, got 0"),
        ("dirichlet", ([1.0, 2.0, -3.0, 0.0],), "alpha[2] must be a positive, finite number, got -3"),
        ("dirichlet", ((NAN,),), "alpha[0] must be a positive, finite number, got NaN"),
        (
            "multivariate_normal",
            ([1.0, 2.0], [1.0, 0.0, 1.0]),
            "cholesky_factor must have 2*2=4 entries (a flat, row-major 2x2 matrix) for a mean of length 2, got 3",
        ),
        (
            "multivariate_normal",
            ([], [1.0]),
            "cholesky_factor must have 0*0=0 entries (a flat, row-major 0x0 matrix) for a mean of length 0, got 1",
        ),
        (
            "multivariate_normal",
            ([0.0] * 3, [0.0] * 10),
            "cholesky_factor must have 3*3=9 entries (a flat, row-major 3x3 matrix) for a mean of length 3, got 10",
        ),
    ],
)
def test_validation_message_and_state_unchanged(method, args, message):
    for start in (SEED0_STATE, PENDING_START):
        g = drawkit.Generator.from_state(start)
        with pytest.raises(ValueError) as info:
            getattr(g, method)(*args)
        assert str(info.value) == message
        state = g.state()
        assert state[:4] == start[:4]
        if start[4] is None:
            assert state[4] is None
        else:
            assert_bits(state[4], start[4])  # the pending -0.0 is kept, sign included


def test_failed_call_then_draw_gives_the_undisturbed_value(g0):
    with pytest.raises(ValueError):
        g0.gamma(1.0, 0.0)
    assert_bits(g0.normal(0.0, 1.0), Z0)


# --- binding and conversion of the arguments ---------------------------------------------------


@pytest.mark.parametrize(
    "method, args, exc, message, parameter",
    [
        ("normal", ("a", 1.0), TypeError, "must be real number, not str", "loc"),
        ("normal", (0.0, None), TypeError, "must be real number, not NoneType", "scale"),
        ("lognormal", (10**400, 1.0), OverflowError, None, "mean"),
        ("exponential", ([1.0],), TypeError, None, "scale"),
        ("gamma", (1.0, "2"), TypeError, None, "scale"),
        ("student_t", (b"1",), TypeError, None, "df"),
        ("dirichlet", ("abc",), TypeError, "Can't extract `str` to `Vec`", "alpha"),
        ("dirichlet", ({1: 2},), TypeError, "'dict' object is not an instance of 'Sequence'", "alpha"),
        ("dirichlet", (None,), TypeError, "'None' is not an instance of 'Sequence'", "alpha"),
        ("dirichlet", ([1.0, "x"],), TypeError, "must be real number, not str", "alpha"),
        ("multivariate_normal", ("ab", [1.0]), TypeError, "Can't extract `str` to `Vec`", "mean"),
        ("multivariate_normal", ([1.0], 5), TypeError, "'int' object is not an instance of 'Sequence'", "cholesky_factor"),
        # both conversions come before the length check
        ("multivariate_normal", ([1.0, 2.0], "abc"), TypeError, "Can't extract `str` to `Vec`", "cholesky_factor"),
        ("multivariate_normal", ([1.0], [None]), TypeError, None, "cholesky_factor"),
    ],
)
def test_conversion_errors_carry_the_parameter_note(method, args, exc, message, parameter):
    g = drawkit.Generator.from_state(PENDING_START)
    with raises_with_note(exc, message, parameter):
        getattr(g, method)(*args)
    assert g.state()[:4] == PENDING_START[:4]
    assert_bits(g.state()[4], -0.0)


def test_binding_errors_leave_state_unchanged(g0):
    with pytest.raises(TypeError, match=r"^Generator\.gamma\(\) missing 1 required positional argument: 'scale'$"):
        g0.gamma(1.0)
    with pytest.raises(TypeError, match=r"^Generator\.dirichlet\(\) takes 1 positional arguments but 2 were given$"):
        g0.dirichlet([1.0], [2.0])
    with pytest.raises(TypeError, match=r"^Generator\.multivariate_normal\(\) got an unexpected keyword argument 'cov'$"):
        g0.multivariate_normal(mean=[1.0], cov=[1.0])
    with pytest.raises(TypeError, match=r"^Generator\.student_t\(\) got multiple values for argument 'df'$"):
        g0.student_t(1.0, df=2.0)
    assert g0.state() == SEED0_STATE


def test_reentrant_item_conversion_is_refused():
    g = drawkit.Generator(0)

    class Sneaky:
        def __float__(self):
            g.random()
            return 1.0

    with raises_with_note(RuntimeError, "Already borrowed", "alpha"):
        g.dirichlet([1.0, Sneaky()])
    assert g.state() == SEED0_STATE


def test_keyword_arguments():
    assert_bits(drawkit.Generator(0).lognormal(sigma=1.0, mean=0.0), 0.330248922378132)
    assert_bits(drawkit.Generator(3).gamma(scale=1.0, shape=1.0), 0.04427623104224786)
    assert drawkit.Generator(0).dirichlet(alpha=[1.0, 2.0, 3.0]) == drawkit.Generator(0).dirichlet([1.0, 2.0, 3.0])
    a = drawkit.Generator(0).multivariate_normal(cholesky_factor=[2.0, 0.0, 0.5, 1.0], mean=[1.0, -1.0])
    assert a == [-1.215817197267663, -0.542512667307566]


SIGNATURES = {
    "normal": ["loc", "scale"],
    "lognormal": ["mean", "sigma"],
    "exponential": ["scale"],
    "laplace": ["loc", "scale"],
    "cauchy": ["loc", "scale"],
    "gamma": ["shape", "scale"],
    "beta": ["a", "b"],
    "chisquare": ["df"],
    "student_t": ["df"],
    "multivariate_normal": ["mean", "cholesky_factor"],
    "dirichlet": ["alpha"],
}


@pytest.mark.parametrize("name, params", SIGNATURES.items())
def test_signatures_and_docstrings(name, params):
    method = getattr(drawkit.Generator, name)
    assert list(inspect.signature(method).parameters)[1:] == params
    assert method.__text_signature__ == f"($self, {', '.join(params)})"
    assert len(method.__doc__) > 40  # the prose after the signature line
