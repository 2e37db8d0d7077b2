"""Property fuzzing of every method with arbitrary arguments (Hypothesis), in short sequences of
calls on one generator: valid, edge and junk values and the transcript's user objects (methods that
raise, return the wrong type, lie, empty the list arguments or call back into a generator), by
position or keyword. Every call raises only the module's exception types or the user's own, leaves
the state as it was when it fails before drawing, returns a result in range, and frees the
generator. DRAWKIT_FUZZ_EXAMPLES sets the number of call sequences (10**6 for a long run).

The methods and their parameters are the module's own; a parameter's values are chosen by its name.
"""

import inspect
import os

import drawkit
import pytest
from transcript_helpers import Boom, FloatLike, IndexLike, SpySequence, boom

hypothesis = pytest.importorskip("hypothesis")
st = hypothesis.strategies


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
    | st.builds(FloatLike, floats | junk, callbacks)
    | st.builds(IndexLike, ints | junk, callbacks)
)
# small, or so large that the reservation fails at once
sizes = st.integers(0, 30) | st.integers(2**48, 2**64 - 1)
bad_sizes = st.integers(max_value=-1) | st.integers(min_value=2**64)


def mix(*weighted):  # one of the strategies, each as often as its weight
    return st.sampled_from([s for n, s in weighted for _ in range(n)]).flatmap(lambda s: s)


def sequences(items):
    lists = st.lists(items, max_size=6)
    fail, length = st.none() | st.integers(0, 6), st.none() | st.integers(0, 8)
    spies = st.builds(SpySequence, lists, callbacks, fail, length, callbacks)
    return lists | lists.map(tuple) | st.text(max_size=4) | junk | spies


KINDS = {  # the values of each kind of parameter
    "f": mix((3, st.floats(0.0, 1.0) | st.floats(0.1, 50.0)), (3, number), (1, junk)),
    "i": mix(
        (3, st.integers(-20, 20)), (1, ints | st.builds(IndexLike, ints, callbacks) | floats | junk)
    ),
    "u": mix((3, sizes), (1, bad_sizes | st.builds(IndexLike, sizes, callbacks) | floats | junk)),
    "n": mix(
        (3, st.integers(0, 200)),
        (1, st.integers(max_value=-1) | st.builds(IndexLike, st.integers(0, 30), callbacks) | junk),
    ),
    "s": sequences(st.integers() | st.none()) | st.sampled_from([range(2**62), range(0)]),
    "v": sequences(number),
    # weights, often valid
    "w": mix((2, st.lists(st.floats(0.0, 10.0), min_size=1, max_size=6)), (1, sequences(number))),
    "p": st.sampled_from([[1.0], [0.5, 0.5], (0.2, 0.3, 0.5), [0.5, 0.4999995, 0.0]])
    | sequences(number),  # probabilities
    "t": st.tuples(*[st.integers(0, 2**64 - 1)] * 4, st.none() | floats)
    | st.lists(ints | junk, max_size=6).map(tuple)
    | junk,
    "b": st.binary(max_size=20).map(bytearray) | st.binary(max_size=8) | junk,
    "g": st.sampled_from(["gen", "other", None, 0]),
}
# The kind of each parameter by its name, and where a method reads a name differently, for it.
KIND = dict(seq="s", k="u", n="u", cholesky_factor="v", weights="w", alpha="w", probs="p")
KIND.update(state="t", buf="b", rng="g")  # any other parameter is a float
KIND_OF = dict(
    integers=dict(low="i", high="i"),
    binomial=dict(n="n"),
    multinomial=dict(n="n"),
    multivariate_normal=dict(mean="v"),
)
METHODS = sorted(m for m in vars(drawkit.Generator) if not m.startswith("_"))
CALLABLES = [*METHODS, "Categorical", "sample(rng)"]
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
FREE = ("Categorical", "from_state")  # calls that hold no generator: callbacks may draw from any
ERRORS = (TypeError, ValueError, OverflowError, RuntimeError, MemoryError, Boom, LookupError)


def function(name, gen):
    return {
        "Categorical": drawkit.Categorical,
        "sample(rng)": drawkit.Categorical([1.0, 0.0, 3.0]).sample,
    }.get(name) or getattr(gen, name)


@st.composite
def calls(draw):
    name = draw(st.sampled_from(CALLABLES))
    params = list(inspect.signature(function(name, drawkit.Generator(0))).parameters)
    values = [draw(KINDS[KIND_OF.get(name, {}).get(p) or KIND.get(p, "f")]) for p in params]
    # mostly all by position; else the rest by keyword
    cut = draw(st.sampled_from([len(values)] * 4 + list(range(len(values)))))
    return name, values[:cut], dict(zip(params[cut:], values[cut:], strict=True))


@hypothesis.settings(
    max_examples=int(os.environ.get("DRAWKIT_FUZZ_EXAMPLES", 1200)),
    deadline=None,
    database=None,
    derandomize="DRAWKIT_FUZZ_EXAMPLES" not in os.environ,
    suppress_health_check=list(hypothesis.HealthCheck),
)
@hypothesis.given(st.lists(calls(), min_size=1, max_size=4), st.integers(0, 2**64 - 1))
def test_calls_on_one_generator_keep_the_properties(sequence, seed):
    gen, other = drawkit.Generator(seed), drawkit.Generator(seed ^ 1)
    gen.normal(0.0, 1.0)  # a pending normal, which a failed call must keep
    for name, args, kwargs in sequence:
        rng = {"gen": gen, "other": other}.get if name == "sample(rng)" else lambda x, y: y
        args, kwargs = [rng(a, a) for a in args], {k: rng(v, v) for k, v in kwargs.items()}
        given = [*args, *kwargs.values()]
        Ctx.gen, Ctx.other, Ctx.lists = gen, other, [a for a in given if type(a) is list]
        held = next(
            (a for a in given if isinstance(a, drawkit.Generator)), None if name in FREE else gen
        )
        before = held and repr(held.state())
        try:
            result = function(name, gen)(*args, **kwargs)
        except ERRORS as e:
            # an item read fails after its draw
            read = (getattr(a, "reads", 0) for a in given)
            drew = name in ("choice", "choices", "sample") and any(read)
            assert drew or not held or repr(held.state()) == before, (
                f"{name}{args}{kwargs} raised {e!r} and moved the state"
            )
        else:
            assert RANGES.get(name, lambda r, a: True)(result, args), (name, args, result)
        gen.state(), gen.jump(), other.jump()  # every access is released
