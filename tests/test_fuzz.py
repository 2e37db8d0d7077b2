"""Property fuzzing of every method with arbitrary arguments (Hypothesis), in short sequences of calls on one generator:
valid, edge and junk values and the transcript's user objects (methods that raise, return the wrong type, lie, empty the
list arguments or call back into a generator), by position or keyword. Every call raises only the module's exception types
or the user's own, leaves the state as it was when it fails before drawing, returns a result in range, and frees the
generator. DRAWKIT_FUZZ_EXAMPLES sets the number of call sequences (10**6 for a long run)."""

import inspect
import os

import pytest

pytest.importorskip("hypothesis")
from hypothesis import HealthCheck, given, settings, strategies as st  # noqa: E402

import drawkit  # noqa: E402
from transcript import Boom, Flt, Idx, Seq, boom  # noqa: E402


class Ctx:  # the generator under test, another one and the list arguments, for the callbacks
    gen = other = lists = None


callbacks = st.sampled_from(
    [None] * 4
    + [
        boom,
        lambda: Ctx.gen.random(),
        lambda: Ctx.gen.state(),
        lambda: Ctx.other.random(),
        lambda: [x.clear() for x in Ctx.lists],
    ]
)
floats = st.floats() | st.sampled_from([0.0, -0.0, 5e-324, 1.0, 10.0, 1e300, 2**-54])
ints = st.integers() | st.sampled_from(
    [-1, 2**63 - 1, 2**63, -(2**63), -(2**63) - 1, 2**64 - 1, 2**64]
)
junk = st.sampled_from([None, "1", b"", 1j, [1.0], {1: 2}, {1}, object(), iter([1])])
number = (
    floats
    | ints
    | st.booleans()
    | st.builds(Flt, floats | junk, callbacks)
    | st.builds(Idx, ints | junk, callbacks)
)
sizes = st.integers(0, 30) | st.integers(
    2**48, 2**64 - 1
)  # small, or so large that the reservation fails at once
mix = lambda *weighted: st.sampled_from([s for n, s in weighted for _ in range(n)]).flatmap(
    lambda s: s
)  # noqa: E731
sequences = lambda items: (
    st.lists(items, max_size=6)
    | st.lists(items, max_size=6).map(tuple)
    | st.text(max_size=4)
    | junk  # noqa: E731
    | st.builds(
        Seq,
        st.lists(items, max_size=6),
        callbacks,
        st.none() | st.integers(0, 6),
        st.none() | st.integers(0, 8),
        callbacks,
    )
)
KINDS = {  # the letters of SIGNATURES
    "f": mix((3, st.floats(0.0, 1.0) | st.floats(0.1, 50.0)), (3, number), (1, junk)),
    "i": mix(
        (3, st.integers(-20, 20)), (1, ints | st.builds(Idx, ints, callbacks) | floats | junk)
    ),
    "u": mix(
        (3, sizes),
        (
            1,
            st.integers(max_value=-1)
            | st.integers(min_value=2**64)
            | st.builds(Idx, sizes, callbacks)
            | floats
            | junk,
        ),
    ),
    "n": mix(
        (3, st.integers(0, 200)),
        (1, st.integers(max_value=-1) | st.builds(Idx, st.integers(0, 30), callbacks) | junk),
    ),
    "s": sequences(st.integers() | st.none()) | st.sampled_from([range(2**62), range(0)]),
    "v": sequences(number),
    "w": mix(
        (2, st.lists(st.floats(0.0, 10.0), min_size=1, max_size=6)), (1, sequences(number))
    ),  # weights, often valid
    "p": st.sampled_from([[1.0], [0.5, 0.5], (0.2, 0.3, 0.5), [0.5, 0.4999995, 0.0]])
    | sequences(number),  # probabilities
    "t": st.tuples(*[st.integers(0, 2**64 - 1)] * 4, st.none() | floats)
    | st.lists(ints | junk, max_size=6).map(tuple)
    | junk,
    "b": st.binary(max_size=20).map(bytearray) | st.binary(max_size=8) | junk,
    "g": st.sampled_from(["gen", "other", None, 0]),
}
SIGNATURES = {
    "state": "",
    "from_state": "t",
    "random": "",
    "uniform": "ff",
    "normal": "ff",
    "exponential": "f",
    "bernoulli": "f",
    "integers": "ii",
    "fill": "b",
    "choice": "s",
    "choices": "su",
    "bootstrap_indices": "u",
    "systematic_resample": "wu",
    "shuffle": "s",
    "permutation": "u",
    "sample": "su",
    "multivariate_normal": "vv",
    "dirichlet": "w",
    "multinomial": "np",
    "gamma": "ff",
    "beta": "ff",
    "chisquare": "f",
    "student_t": "f",
    "cauchy": "ff",
    "laplace": "ff",
    "lognormal": "ff",
    "geometric": "f",
    "binomial": "nf",
    "poisson": "f",
    "jump": "",
    "spawn": "",
    "split": "u",
    "Categorical": "w",
    "sample(rng)": "g",
}
RANGES = {
    "random": lambda r, a: 0.0 <= r < 1.0,
    "sample(rng)": lambda r, a: r in (0, 2),
    "integers": lambda r, a: (
        a[0] <= r < a[1] if len(a) == 2 and all(type(x) is int for x in a) else True
    ),
    "permutation": lambda r, a: sorted(r) == list(range(len(r))),
    "bootstrap_indices": lambda r, a: all(0 <= i < len(r) for i in r),
    "dirichlet": lambda r, a: abs(sum(r) - 1.0) < 1e-9 or any(x != x for x in r),
}
FREE = (
    "Categorical",
    "from_state",
)  # calls that hold no generator: their callbacks may draw from any


def function(name, gen):
    return {
        "Categorical": drawkit.Categorical,
        "sample(rng)": drawkit.Categorical([1.0, 0.0, 3.0]).sample,
    }.get(name) or getattr(gen, name)


@st.composite
def calls(draw):
    name = draw(st.sampled_from(sorted(SIGNATURES)))
    values = [draw(KINDS[k]) for k in SIGNATURES[name]]
    params = list(inspect.signature(function(name, drawkit.Generator(0))).parameters)
    cut = draw(
        st.sampled_from([len(values)] * 4 + list(range(len(values))))
    )  # mostly all by position; else the rest by keyword
    return name, values[:cut], dict(zip(params[cut:], values[cut:]))


@settings(
    max_examples=int(os.environ.get("DRAWKIT_FUZZ_EXAMPLES", 1200)),
    deadline=None,
    database=None,
    derandomize="DRAWKIT_FUZZ_EXAMPLES" not in os.environ,
    suppress_health_check=list(HealthCheck),
)
@given(st.lists(calls(), min_size=1, max_size=4), st.integers(0, 2**64 - 1))
def test_calls_on_one_generator_keep_the_properties(sequence, seed):
    gen, other = drawkit.Generator(seed), drawkit.Generator(seed ^ 1)
    gen.normal(0.0, 1.0)  # a pending normal, which a failed call must keep
    for name, args, kwargs in sequence:
        rng = {"gen": gen, "other": other}.get if name == "sample(rng)" else lambda x, y: y
        args, kwargs = [rng(a, a) for a in args], {k: rng(v, v) for k, v in kwargs.items()}
        Ctx.gen, Ctx.other, Ctx.lists = (
            gen,
            other,
            [a for a in [*args, *kwargs.values()] if type(a) is list],
        )
        held = next(
            (a for a in [*args, *kwargs.values()] if isinstance(a, drawkit.Generator)),
            None if name in FREE else gen,
        )
        before = held and repr(held.state())
        try:
            result = function(name, gen)(*args, **kwargs)
        except (
            TypeError,
            ValueError,
            OverflowError,
            RuntimeError,
            MemoryError,
            Boom,
            LookupError,
        ) as e:
            drew = name in ("choice", "choices", "sample") and any(
                getattr(a, "reads", 0) for a in [*args, *kwargs.values()]
            )  # an item read fails after its draw
            assert drew or not held or repr(held.state()) == before, (
                f"{name}{args}{kwargs} raised {e!r} and moved the state"
            )
        else:
            assert RANGES.get(name, lambda r, a: True)(result, args), (name, args, result)
        gen.state(), gen.jump(), other.jump()  # every access is released
