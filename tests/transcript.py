#!/usr/bin/env python3
"""The Python surface of drawkit as one table of calls, and the transcript it writes.

A `Row` is a Python expression on a generator `g`, made by its `setup` (a seed, a state tuple or
the name of one in SETUPS), and where the module promises them, the outcome and the number of
engine outputs the call takes. A line of the transcript is "setup: call => outcome @ state":
floats as the hex digits of their bits (NaN as "nan": arithmetic may give either sign), bytes in
hex, a Generator as its state, an exception as "Type: message {note}", "~" for a message of the
interpreter (its wording changes between versions); the state as "+k" engine outputs after the
set-up, else its words, "n=" a pending normal. A row that raises must leave the state as it was
unless it is marked `drew` (a user object failed after drawing began). A row marked `sized`
depends on the word size: its line carries the tag [64] or [32] and is compared only on a host of
that size.

    python tests/transcript.py [--write FILE | --check FILE]

--write keeps the lines of the other word size.
"""

import decimal
import difflib
import importlib.util
import inspect
import json
import pathlib
import re
import struct
import sys
import weakref
from typing import Any, NamedTuple

import transcript_helpers
from drawkit import Categorical, Generator

NO = object()  # no promise: the golden file alone pins the outcome


class Row(NamedTuple):
    call: str  # evaluated with g (the generator under test), g2 and c in scope
    want: Any = NO  # the outcome the module promises
    used: int | None = None  # the engine outputs the call takes
    setup: int | str | tuple = 0  # the seed, the name of a state in SETUPS, or a state
    drew: bool = False  # the call raises after drawing: its state may move
    sized: bool = False  # the outcome depends on the word size


class Outcome(str):
    """An outcome as the transcript writes it; a final " [p]" stands for the note of parameter p."""


nan, inf, M64 = float("nan"), float("inf"), 2**64 - 1
SEED0 = (16294208416658607535, 7960286522194355700, 487617019471545679, 17909611376780542444)
JUMPED = [  # seed 0 after one, two and three jumps
    (18367075165535767938, 16958246640038696355, 535696466813022735, 12729174445987518331),
    (12826832944389168829, 3508894013355267804, 12642223549730584118, 10944077767975835147),
    (2637193870743929500, 17766951321934472812, 17745616981276139505, 11704268411617192928),
]
Z0, Z1 = -1.1079085986338315, 1.0114416320093498  # seed 0's first pair of normals
# The named set-ups of the rows.
PENDING, KEEPS_SIGN = "normal_pending", "minus_zero_pending"
ZEROS = "all_zero"
SETUPS = {
    PENDING: SEED0 + (0.25,),
    KEEPS_SIGN: SEED0 + (-0.0,),  # -0.0 shows whether a failed call kept its sign
    ZEROS: (0, 0, 0, 0, None),  # every output 0
}


def bits(x):
    return struct.unpack("<Q", struct.pack("<d", x))[0]


def jumped(times, pending=None):
    return Generator.from_state(JUMPED[times - 1] + (pending,))


def not_instance(what, kind, param):
    return Outcome(f"TypeError: {what} is not an instance of '{kind}' [{param}]")


def no_room(n):
    return Outcome(f"MemoryError: cannot allocate a result of {n} elements")


def value_error(call, message, setup=0):
    return Row(call, Outcome(f"ValueError: {message}"), setup=setup)


def reimport():
    found = importlib.util.find_spec("drawkit")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def shown(x):
    """How the module writes a float in a message: the shortest digits that read back (Python's
    repr), positionally."""
    if x != x or x in (inf, -inf):
        return {"nan": "NaN"}.get(repr(x), repr(x))
    digits = format(decimal.Decimal(repr(x)), "f")
    return digits.removesuffix(".0")


POSITIVE = "ValueError: {} must be a positive, finite number, got {}"
PROBABILITY = "ValueError: p must be a probability between 0 and 1, got {}"
ROWS = []


def refused(call, message, values, setup=KEEPS_SIGN):  # a validation message per value
    ROWS.extend(
        Row(call.format(repr(v)), Outcome(message.format(shown(v))), setup=setup) for v in values
    )


# --- every method, its parameters as the module declares them ----------------------------------
# A valid argument for each parameter name (and where a method reads a name differently, for it):
# a method with a new parameter name needs its example here.
EXAMPLES = dict(low=-1, high=2.5, loc=5.0, scale=2.0, p=0.5, shape=2.5, a=2.0, b=3.0, df=3.0)
EXAMPLES.update(mean=0.0, sigma=1.0, lam=25.0, k=2, n=3, seq=[7, 8, 9], weights=[1, 2])
EXAMPLES.update(alpha=[1.0, 2.0], probs=[0.5, 0.5], cholesky_factor=[2.0], buf=bytearray(3))
EXAMPLES.update(state=(1, 2, 3, 4, None))
EXAMPLES_OF = {"integers": dict(high=5), "multivariate_normal": dict(mean=[1.0])}
METHODS = [m for m in vars(Generator) if not m.startswith("_")]
for m in METHODS:
    names = list(inspect.signature(getattr(Generator, m)).parameters)[m != "from_state" :]
    kw = {name: EXAMPLES_OF.get(m, {}).get(name, EXAMPLES[name]) for name in names}
    # refused while g is held (from_state needs no generator), then by keyword in reverse order
    held = f"g.bernoulli(FloatLike(0.5, lambda: g.{m}({', '.join(map(repr, kw.values()))})))"
    borrowed = Outcome(f"RuntimeError: Already {'mutably ' * (m == 'state')}borrowed [p]")
    ROWS += [
        Row(f"Generator.{m}.__text_signature__"),
        Row(held, NO if m == "from_state" else borrowed),
    ]
    if kw:
        ROWS.append(Row(f"g.{m}({', '.join(f'{k}={v!r}' for k, v in reversed(kw.items()))})"))
    ROWS.append(Row(f"Generator.{m}.__doc__"))

# --- the module and its types ------------------------------------------------------------------
ROWS += [
    Row("drawkit.__all__", ["Generator", "Categorical"]),
    Row("[n for n in vars(Categorical) if n[0] != '_']", ["sample"]),
    Row("reimport().Generator is Generator and reimport().__all__", ["Generator", "Categorical"]),
    Row("Categorical.sample.__text_signature__", "($self, rng)"),
    Row("isinstance(vars(Generator)['from_state'], staticmethod)", True),
    Row("Generator.__doc__, Categorical.__doc__, Categorical.sample.__doc__"),
]
for t, i, signature, twin, word in (
    ("Generator", "g", "(seed)", "Generator(0)", "single value"),
    ("Categorical", "c", "(weights)", "Categorical([1, 2, 3, 4])", "alias method"),
):
    ROWS += [
        Row(f"{t}.__name__, {t}.__module__, repr({t})", (t, "builtins", f"<class 'builtins.{t}'>")),
        Row(f"{t}.__text_signature__, str(inspect.signature({t}))", (signature, signature)),
        Row(f"{i} == {i}, {i} == {twin}, hasattr({i}, '__dict__')", (True, False, False)),
        Row(f"gc.is_tracked({i}), gc.get_referents({i})", (False, [])),
        Row(f"repr({i}).startswith('<builtins.{t} object at 0x'), '{word}' in {t}.__doc__"),
        Row(f"type('S', ({t},), {{}})", Outcome("TypeError: ~")),
        Row(f"setattr({i}, 'x', 1)", Outcome("AttributeError: ~")),
        Row(f"weakref.ref({i})", Outcome("TypeError: ~")),
    ]

# --- binding: the module's own messages for the methods it binds itself -------------------------
for call, tail in [
    ("g.uniform(1, 2, 3)", "takes 2 positional arguments but 3 were given"),
    ("g.uniform(1)", "missing 1 required positional argument: 'high'"),
    ("g.uniform()", "missing 2 required positional arguments: 'low' and 'high'"),
    ("g.uniform(0, 1, low=0)", "got multiple values for argument 'low'"),
    ("g.uniform(lo=0, high=1)", "got an unexpected keyword argument 'lo'"),
    ("Generator()", "missing 1 required positional argument: 'seed'"),
    ("Generator(sed=1)", "got an unexpected keyword argument 'sed'"),
    ("Generator(1, seed=1)", "got multiple values for argument 'seed'"),
    ("Generator.from_state()", "missing 1 required positional argument: 'state'"),
    ("Categorical(w=[1])", "got an unexpected keyword argument 'w'"),
    ("c.sample(g, g)", "takes 1 positional arguments but 2 were given"),
]:
    name = call[: call.find("(")].replace("c.", "Categorical.").replace("g.", "Generator.")
    name += "" if "." in name else ".__new__"  # a constructor
    ROWS.append(Row(call, Outcome(f"TypeError: {name}() {tail}")))
# Binding comes before access, and access before conversion; the interpreter binds the others.
MISSING_HIGH = "TypeError: Generator.uniform() missing 1 required positional argument: 'high'"
ROWS += [
    Row("g.uniform(FloatLike(0.0, lambda: g.uniform(1)), 1)", Outcome(MISSING_HIGH + " [low]")),
    Row(
        "g.uniform(FloatLike(0.0, lambda: g.uniform('a', 1)), 1)",
        Outcome("RuntimeError: Already borrowed [low]"),
    ),
    *[
        Row(f"g.{call}", Outcome("TypeError: ~"))
        for call in ("random(1)", "jump(1)", "random(x=1)")
    ],
    Row("g.uniform(high=10, low=0), Generator(0).uniform(0, 10)", (3.245752680314067,) * 2, 1),
]

# --- conversion of each argument kind ----------------------------------------------------------
ROWS += [
    Row(f"g.uniform({x}, 10)", 3.245752680314067, 1)
    for x in ("0.0", "0", "False", "FloatSubclass(0.0)", "FloatLike(0.0)", "IndexLike(0)")
]
# One converter per argument type serves every method: a row per type and failure, and the
# orders: all arguments are converted before any is checked (systematic_resample, multinomial)
# and before a sequence is read (sample).
ROWS += [
    Row(call, Outcome(f"{error}Error: ~ [{param}]"))
    for call, error, param in [
        ("g.uniform('a', 1)", "Type", "low"),
        ("g.uniform(0, None)", "Type", "high"),
        ("g.uniform(2**1024, 1)", "Overflow", "low"),
        ("g.integers(0, 2**63)", "Overflow", "high"),
        ("g.integers(IndexLike(1.5), 2)", "Type", "low"),
        ("g.split(-1)", "Overflow", "n"),
        ("g.split(2**64)", "Overflow", "n"),
        ("g.split(1.0)", "Type", "n"),
        ("g.split(IndexLike(-1))", "Overflow", "n"),  # out of range after __index__
        ("Generator(-1)", "Overflow", "seed"),
        ("g.dirichlet([1.0, 'x'])", "Type", "alpha"),
        ("Categorical([1, '2'])", "Type", "weights"),
        ("g.systematic_resample([], -1)", "Overflow", "n"),
        ("g.multinomial(-1, 'abc')", "Overflow", "n"),
        ("g.sample([1], 1.0)", "Type", "k"),
        ("g.sample(SpySequence(TOKENS, on_len=boom), -1)", "Overflow", "k"),
        ("Generator.from_state((1, 2, 3, 2**64, None))", "Overflow", "state"),
        ("Generator.from_state((1, 2, 3, 4, 'x'))", "Type", "state"),
    ]
]
ROWS += [
    Row(call, Outcome(f"Boom: boom [{param}]"))
    for call, param in [
        ("g.uniform(FloatLike(0.0, boom), 1)", "low"),
        ("g.integers(IndexLike(0, boom), 1)", "low"),
        ("g.split(IndexLike(0, boom))", "n"),
        ("g.dirichlet([1.0, FloatLike(1.0, boom)])", "alpha"),
        ("Generator.from_state((1, 2, 3, 4, FloatLike(0.0, boom)))", "state"),
    ]
]
ROWS += [
    Row("g.integers(-2**63, 2**63 - 1)", -3236015134823734305, 1),
    Row("g.integers(IndexLike(0), True + 9), g.integers(IntSubclass(0), 10)", NO, 2),
    Row("g.integers(False, True)", 0, 1),
    Row("len(g.split(IndexLike(2))), len(g.split(True)), len(g.split(IntSubclass(1)))", (2, 1, 1)),
    Row("g.binomial(M64, nan)", Outcome(PROBABILITY.format("NaN"))),
    Row("Generator(True).state() == Generator(1).state()", True),
    Row("Generator(IndexLike(7)).state() == Generator(seed=7).state()", True),
    Row("g.fill(b := bytearray(8)), b", (None, bytes.fromhex("B2278E94CEF8CC56")), 1, setup=M64),
]
# Any sequence is read through its own __len__ and __getitem__, a list or tuple directly.
ROWS += [
    Row(f"g.choice({s}), Generator(0).choices({s}, 5), Generator(0).sample({s}, 5)", NO, 1)
    for s in (
        "list(range(10))",
        "tuple(range(10))",
        "SpySequence(range(10))",
        "RegisteredSequence(range(10))",
        "ListReadTenfold(range(10))",
        "TupleOfLength5(range(10))",
    )
]
ROWS += [
    Row(f"g.choice({s})", not_instance(what, "Sequence", "seq"))
    for s, what in [
        ("{1: 2}", "'dict' object"),
        ("Outer.Inner()", "'Outer.Inner' object"),
        ("ClassRaises()", "'ClassRaises' object"),
    ]
]
DIRICHLET_123 = [0.012830738190140585, 0.39162565342605204, 0.5955436083838075]
ROWS += [
    Row(f"g.dirichlet({alpha})", DIRICHLET_123)
    for alpha in [
        "(1, 2.0, 3)",
        "SpySequence([1.0, 2.0, 3.0], on_len=boom)",
        "SpySequence([1.0, 2.0, 3.0], length=2**62)",
        "[True, 2, FloatLike(3.0)]",
        "(L := [1.0, FloatLike(2.0, lambda: L.append(4.0)), 3.0])",  # grows: the first 3 count
    ]
]
ROWS += [
    Row("g.dirichlet(L := [1.0, FloatLike(2.0, lambda: L.pop()), 3.0])"),  # shrinks while read
    # 40 items where the length says 1: the buffer grows past its inline room as it reads.
    Row(
        "g.dirichlet(SpySequence([*range(1, 41)], length=1)) == g2.dirichlet([*range(1, 41)])",
        True,
        setup=5,
    ),
    Row(
        "g.dirichlet(SpySequence([1.0, 2.0], fail=1))", Outcome("LookupError: item refused [alpha]")
    ),
]
ROWS += [
    Row(call, Outcome(f"TypeError: Can't extract `str` to `Vec` [{param}]"))
    for call, param in [
        ("g.dirichlet('abc')", "alpha"),
        ("Categorical('abc')", "weights"),
    ]
]
ROWS += [
    Row(call, not_instance(what, kind, param))
    for call, what, kind, param in [
        ("g.dirichlet({1: 2})", "'dict' object", "Sequence", "alpha"),
        ("Categorical(5)", "'int' object", "Sequence", "weights"),
        ("g.choices({}, -1)", "'dict' object", "Sequence", "seq"),
        ("g.shuffle((1, 2))", "'tuple' object", "list", "seq"),
        ("Generator.from_state(None)", "'None'", "tuple", "state"),
        ("g.fill(bytes(4))", "'bytes' object", "bytearray", "buf"),
        ("c.sample(c)", "'Categorical' object", "Generator", "rng"),
    ]
]

# --- access: a generator held by a call refuses other calls; other generators work -------------
BORROWED, MUTABLY = "RuntimeError: Already borrowed", "RuntimeError: Already mutably borrowed"
RNG_BORROWED = BORROWED + " [rng]"
ROWS += [
    Row("g.choice(SpySequence(range(10), g.random))", Outcome(BORROWED), 1, drew=True),
    Row("g.choices(SpySequence(range(10), g.state), 3)", Outcome(MUTABLY), 1, drew=True),
    Row(
        "g.choice(SpySequence(range(10), lambda: c.sample(g)))", Outcome(RNG_BORROWED), 1, drew=True
    ),
    Row("g.sample(SpySequence(range(10), on_len=g.state), 2)", Outcome(MUTABLY)),
    Row("g.choice(SpySequence(range(10), lambda: c.sample(g2))), g2.state()", NO, 1),
    Row("g.choice(SpySequence(range(10), lambda: catch(g.random)))", 3, 1),  # undisturbed
    Row("g.choices(SpySequence(range(10), copy_lists), 3)", NO, 3),  # no half-made list shows
    Row("g.sample(SpySequence(range(10), copy_lists), 3)", NO, 3),
]

# --- construction, state, from_state, jump, split, spawn, fill ---------------------------------
FROM_JSON = ("'list' object", "tuple", "state")  # a state read back from JSON is a list
ROWS += [
    Row("g.state()", SEED0 + (None,)),
    Row("g.fill(b := bytearray(10)), b", (None, bytes.fromhex("DF230B49615D175307D5")), 2),
    Row("g.fill(b := bytearray(0)), b", (None, b""), 0),
    Row("g.fill(b := BytearraySubclass(16)), b", NO, 2),
    Row("g.jump(), g.state()", (None, JUMPED[0] + (None,))),
    Row("g.split(2), g.state()", ([jumped(1), jumped(2)], JUMPED[2] + (None,))),
    Row("g.spawn(), g.state()", (jumped(1), JUMPED[1] + (None,))),
    Row("g.split(0), g.state()", ([], JUMPED[0] + (None,))),
    Row("g.jump(), g.state()", (None, JUMPED[0] + (0.25,)), setup=PENDING),
    Row("g.split(3), g.state()[4]", setup=PENDING),
    Row("g.spawn(), g.state()[4]", setup=PENDING),
    Row("g.split(2**62)", no_room(2**62), sized=True),
    Row("g.split(M64)", no_room(M64), sized=True),
    Row("g.jump(), g.state(), g.random()", (None, (0, 0, 0, 0, None), 0.0), setup=ZEROS),
    Row("Generator.from_state(TupleOfLength5((1, 2, 3, 4, None))).state()", (1, 2, 3, 4, None)),
    Row("Generator.from_state((1, 2, 3, 4, 0)).state()", (1, 2, 3, 4, 0.0)),
    Row("Generator.from_state((1, 2, 3, 4, -0.0)).state()", (1, 2, 3, 4, -0.0)),
    Row("Generator.from_state(state=(True, IndexLike(2), IntSubclass(3), 4, FloatLike(0.5)))"),
    Row("Generator.from_state(tuple(json.loads(json.dumps(g.state()))))", Generator(0)),
    Row("Generator.from_state(json.loads(json.dumps(g.state())))", not_instance(*FROM_JSON)),
]
ROWS += [
    Row(
        f"Generator.from_state({state})",
        Outcome(f"ValueError: expected tuple of length 5, but got tuple of length {n} [state]"),
    )
    for state, n in (("(1, 2, 3)", 3), ("(1, 2, 3, 4, None, 6)", 6))
]
NOT_FINITE = "ValueError: from_state()'s cached-normal value must be finite (not NaN or infinite)"
ROWS += [
    Row(f"Generator.from_state((1, 2, 3, 4, {v}))", Outcome(NOT_FINITE)) for v in ("nan", "-inf")
]

# --- the draws: the core's values and their engine outputs are pinned by the core's own tests;
# here, what the binding adds: the pending normal kept between calls, arguments read from any
# sequence type, the generator's state across methods and the messages passed through (their
# branches are the core's checks, pinned with the core).
UNIFORM = "ValueError: uniform({}, {}): high must be greater than low, and both must be finite"
NEVER = "ValueError: geometric(p=0.0): a trial that never succeeds has no defined number of trials"
CHOLESKY = (
    "ValueError: cholesky_factor must have {n}*{n}={nn} entries (a flat, row-major {n}x{n} "
    "matrix) for a mean of length {n}, got {m}"
)
ROWS += [
    Row("[g.random() for _ in range(3)]", NO, 3),
    Row("g.integers(0, 10), Generator(0).integers(-5, 5), Generator(0).bernoulli(0.5)", NO, 1),
    Row("[g.normal(0.0, 1.0) for _ in range(2)], g.state()[4]", ([Z0, Z1], None), 2),
    Row("g.normal(0.0, 1.0), g.state()[4]", (Z0, Z1), 2),
    Row("g.normal(5.0, 2.0), g.state()[4]", (5.5, None), 0, setup=PENDING),
    Row("g.normal(0.0, 1.0), Generator.from_state(g.state()).normal(5.0, 2.0)", (Z0, 5 + 2 * Z1)),
    Row("g.normal(0.0, 1.0), g.lognormal(0.0, 1.0)", NO, 2),
    Row("[g.laplace(0.0, 1.0) for _ in range(3)]", NO, 6, setup=PENDING),
    Row("g.gamma(1.0, 3.5)", 3.5 * 0.04427623104224786, 3, setup=3),
    Row("g.gamma(0.999, 1.0), g.beta(3.0, 2.0), g.student_t(4.0)", setup=PENDING),
    Row("g.poisson(25.0), g.poisson(3.0), g.geometric(0.5), g.state()[4]", NO, 5, setup=PENDING),
    Row("g.binomial(5, 0.5), g.multinomial(3, [1.0]), g.state()[4]", NO, 8, setup=PENDING),
    Row("g.binomial(25, 1), g.binomial(25, -0.0), g.geometric(1), g.poisson(5e-324)", NO, 51),
    Row("g.multinomial(4, (0.0, 1.0, -0.0))", [0, 4, 0], 4),
    Row("g.multinomial(3, [1.0, 4503599627 * 2.0**-52])", NO, 3),  # sums to 1 within 1e-6
    Row(
        "g.multivariate_normal([1.0, 2.0], [3.0, 0.0, 0.0, 1.0])", [1.75, Z0 + 2], 2, setup=PENDING
    ),
    Row("g.multivariate_normal([], []), g.multivariate_normal((), range(0))", ([], []), 0),
    Row("g.multivariate_normal((1, -1), range(2, -6, -2))", NO, 2),
    Row("g.dirichlet([1.0]), g.state()[4]", ([1.0], Z1), 3),
    Row("[g.gamma(s, 1.0) for s in (1e-200, 5e-324)], g.dirichlet([5e-324, 1.0])", NO),
]
ROWS += [
    Row("g.uniform(1, 0)", Outcome(UNIFORM.format(1, 0)), setup=KEEPS_SIGN),
    value_error("g.integers(5, 5)", "integers(5, 5): high must be greater than low"),
    value_error("g.normal(nan, 1.0)", "loc must be finite, got NaN", KEEPS_SIGN),
    value_error("g.lognormal(-inf, 1.0)", "mean must be finite, got -inf", KEEPS_SIGN),
    value_error("g.cauchy(inf, 1.0)", "loc must be finite, got inf", KEEPS_SIGN),
    *[Row(f"g.geometric({p})", Outcome(NEVER)) for p in ("0.0", "-0.0")],
    *[
        Row(f"g.multinomial(5, {probs})", Outcome(f"ValueError: multinomial({message}"))
        for probs, message in [
            ("[]", "n, []): probs must have at least one entry"),
            ("[1.0, 4503599628 * 2.0**-52]", "): probs must sum to 1.0, got 1.0000010000000001"),
        ]
    ],
    Row(
        "g.multivariate_normal([1.0, 2.0], [1.0, 0.0, 1.0])",
        Outcome(CHOLESKY.format(n=2, nn=4, m=3)),
        setup=KEEPS_SIGN,
    ),
    value_error("g.dirichlet([])", "dirichlet([]): alpha must have at least one entry"),
]
SCALES = [("normal", "scale"), ("lognormal", "sigma"), ("laplace", "scale"), ("cauchy", "scale")]
refused("g.bernoulli({})", PROBABILITY, [1.0000000000000002, nan, -1e-300, inf, 2, -1e-7], setup=0)
refused("g.geometric({})", PROBABILITY, [-1e-300, 1.5e300, 6.59698104516355e16], setup=0)
refused("g.binomial(10, {})", PROBABILITY, [1.0000000000000002, 1e22], setup=0)
for call, name, values in [
    *[(f"{m}(inf, {{}})", name, [-1.0, -0.0, inf, nan, -1e-7]) for m, name in SCALES],  # before loc
    ("exponential({})", "scale", [0.0, -5e-324]),
    ("gamma({}, 1.0)", "shape", [-1.0, -0.30000000000000004]),
    ("gamma(2.0, {})", "scale", [-2.5]),
    ("beta({}, -1.0)", "a", [0.0]),
    ("beta(1.0, {})", "b", [-inf]),
    ("chisquare({})", "df", [-2.5]),
    ("student_t({})", "df", [-1e-7]),
    ("poisson({})", "lam", [-0.0, nan, inf]),
]:
    refused("g." + call, POSITIVE.format(name, "{}"), values)

# --- choice, choices, sample, shuffle, permutation, bootstrap_indices, systematic_resample ------
ROWS += [
    Row("g.shuffle(a := [0, 1, 2, 3, 4]), a", (None, [2, 0, 1, 4, 3]), 4),
    Row("g.choices(seq=[1, 2], k=0), g.sample(seq=[], k=0), g.sample([7], 0)", ([], [], []), 0),
    Row("g.permutation(n=0), g.permutation(1), g.shuffle([]), g.shuffle(seq=['x'])", NO, 0),
    Row("g.bootstrap_indices(n=1), g.choice([5])", ([0], 5), 2),
    Row("g.systematic_resample(weights=[1.0], n=0), g.systematic_resample([3.0], 4)", NO, 2),
    Row("g.choice(TOKENS) is TOKENS[3], g.choices(tuple(TOKENS), 2)", NO, 3),
    Row("g.shuffle(a := ListRaising(range(5))), a", (None, [2, 0, 1, 4, 3]), 4),
    Row(
        "g.sample(s := SpySequence(range(10)), 4), s.reads",
        ([3, 5, 6, 9], [3, 0, 5, 1, 6, 2, 9]),
        4,
    ),
    Row(
        "g.choices(s := SpySequence(range(10)), 5), s.reads", ([3, 5, 0, 0, 4], [3, 5, 0, 0, 4]), 5
    ),
    Row(
        "g.sample(s := SpySequence('abc'), 3), s.reads", NO, 3, setup=7
    ),  # j = i unmapped: read twice
    Row("g.choice(range(2**62)), g.sample(SpySequence(range(2**62)), 3)", sized=True),
    *[
        Row(f"g.{call}", Outcome("LookupError: item refused"), used, drew=True)  # after its draw
        for call, used in [
            ("choice(SpySequence(TOKENS, fail=0))", 1),
            ("choices(SpySequence(TOKENS, fail=2), 5)", 3),
            ("sample(SpySequence(TOKENS, fail=3), 4)", 2),
            ("sample(SpySequence(TOKENS, fail=6), 4)", 4),
        ]
    ],
    *[
        Row(f"g.{call}", Outcome("Boom: boom"))
        for call in (
            "choice(SpySequence(TOKENS, on_len=boom))",
            "choices(SpySequence(TOKENS, on_len=boom), 1)",
            "sample(SpySequence(TOKENS, on_len=boom), 0)",
        )
    ],
    # a result that cannot be had is refused before any engine output is taken
    *[
        Row(call, no_room(n), sized=True)
        for call, n in (
            ("g.systematic_resample([1], 2**62)", 2**62),
            ("g.permutation(M64)", M64),
            ("g.choices([1], 2**62)", 2**62),
            ("g.choices(SpySequence([1]), M64)", M64),
            ("g.sample(SpySequence(range(2**62)), 2**62)", 2**62),
        )
    ],
]
ROWS += [
    Row(f"g.{call}", Outcome(f"ValueError: {message}"), setup=KEEPS_SIGN)
    for call, message in [
        ("choice([])", "choice() called on an empty sequence"),
        ("choice(SpySequence([]))", "choice() called on an empty sequence"),
        ("choices([], 0)", "choices() called on an empty sequence"),
        ("sample(range(3), 4)", "sample() cannot draw more elements than the sequence contains"),
        ("sample('ab', M64)", "sample() cannot draw more elements than the sequence contains"),
        ("bootstrap_indices(0)", "bootstrap_indices(0) has no valid indices to draw"),
        (
            "systematic_resample([], 3)",
            "systematic_resample([], n): weights must have at least one entry",
        ),
    ]
]

# --- Categorical -------------------------------------------------------------------------------
ROWS += [
    Row("[Categorical((1, 2, 3, 4)).sample(g) for _ in range(8)]", [3, 0, 2, 2, 3, 0, 1, 2], 16),
    Row(
        "[c.sample(rng=g) for _ in range(4)], g.state()[4]", ([3, 0, 2, 2], 0.25), 8, setup=PENDING
    ),
    value_error("Categorical([])", "Categorical([]): weights must have at least one entry"),
]


# --- the runner --------------------------------------------------------------------------------
# The module's own TypeError messages; any other TypeError, OverflowError or AttributeError comes
# from the interpreter.
OWN = re.compile(
    r"^(Generator|Categorical)\.\w+\(\) (takes \d+ positional|missing \d|got )"
    r"|is not an instance of '|^Can't "
)
WORD = 64 if sys.maxsize > 2**32 else 32
# A row's call sees the helpers and this module's names, the modules it imports among them.
NAMES = {**vars(transcript_helpers), **globals(), "json": json, "weakref": weakref}
NAMES["drawkit"] = sys.modules["drawkit"]


def generator(setup):
    """The generator a row starts from."""
    if isinstance(setup, int):
        return Generator(setup)
    return Generator.from_state(SETUPS[setup] if isinstance(setup, str) else setup)


def scope(g):
    """The names a row's call sees, with g the generator under test."""
    return dict(NAMES, g=g, g2=Generator(5), c=Categorical([1, 2, 3, 4]))


def fmt(v):
    if isinstance(v, Outcome):
        return re.sub(r" \[(\w+)\]$", r" {while processing '\1'}", v)
    if isinstance(v, BaseException):
        interpreters = (TypeError, OverflowError, AttributeError)
        text = "~" if isinstance(v, interpreters) and not OWN.search(str(v)) else str(v)
        notes = "".join(f" {{{n}}}" for n in getattr(v, "__notes__", ()))
        return f"{type(v).__name__}: {text}{notes}"
    if isinstance(v, (list, tuple, set)):
        inner = ", ".join(map(fmt, sorted(v) if isinstance(v, set) else v))
        return f"({inner})" if isinstance(v, tuple) else f"[{inner}]"
    if type(v) is float:
        return "nan" if v != v else f"{bits(v):016x}"
    if isinstance(v, (bytes, bytearray)):
        return f"x'{v.hex()}'"
    if isinstance(v, Generator):
        return "G" + fmt(v.state())
    return repr(v) if isinstance(v, (int, str)) or v is None else f"<{type(v).__name__}>"


def outputs(a, b, limit=600):
    """How many engine outputs lead from the words a to the words b (None: not within the limit)."""
    for k in range(limit):
        if a == b:
            return k
        s0, s1, s2, s3 = a
        s2, s3 = s2 ^ s0, s3 ^ s1
        s1, s0 = s1 ^ s2, s0 ^ s3
        a = (s0, s1, s2 ^ ((a[1] << 17) & M64), ((s3 << 45) | (s3 >> 19)) & M64)
    return None


def run(row, unraisable):
    """The transcript's line for the row, and the promises it broke."""
    g = generator(row.setup)
    before, raised, unraisable[:] = g.state(), False, []
    try:
        out = fmt(eval(row.call, scope(g)))
    except Exception as e:
        out, raised = fmt(e), True
    after = g.state()
    k = outputs(before[:4], after[:4])
    where = f"+{k}" if k is not None else "s=" + ".".join(f"{w:016x}" for w in after[:4])
    where += "" if after[4] is None else f" n={fmt(after[4])}"
    problems = []
    # a sized row states its 64-bit outcome; the 32-bit one is pinned by its own line
    if row.want is not NO and fmt(row.want) != out and not (row.sized and WORD == 32):
        problems.append(f"want {fmt(row.want)}")
    if row.used is not None and k != row.used:
        problems.append(f"want +{row.used}")
    if raised and not row.drew and fmt(after) != fmt(before):
        problems.append("the state moved")
    tag = f"[{WORD}] " if row.sized else ""
    setup = f"{row.setup}: " if row.setup != 0 else ""
    warnings = "".join(f" !unraisable {fmt(u)}" for u in unraisable)
    return f"{tag}{setup}{row.call} => {out}{warnings} @ {where}\n", problems


def transcript():
    """The lines of the transcript, and a description of every row that broke its promise."""
    lines, broken, unraisable = [], [], []
    hook, sys.unraisablehook = sys.unraisablehook, lambda u: unraisable.append(u.exc_value)
    try:
        for row in ROWS:
            line, problems = run(row, unraisable)
            lines.append(line)
            broken += [f"{line}    {p}\n" for p in problems]
    finally:
        sys.unraisablehook = hook
    return lines, broken


def main(argv=None):
    mode, path = (sys.argv[1:] if argv is None else argv) or (None, None)
    lines, broken = transcript()
    sys.stderr.writelines("BROKEN PROMISE: " + b for b in broken)
    if mode is None:
        sys.stdout.writelines(lines)
        return int(bool(broken))
    old = pathlib.Path(path).read_text().splitlines(True) if pathlib.Path(path).exists() else []
    other = f"[{96 - WORD}] "

    def key(line):
        return line[5:].split(" => ")[0]

    if mode == "--write":
        if not broken:  # after a row's line of this size comes its line of the other size
            kept = {key(x): x for x in old if x.startswith(other)}
            sized = [(x, kept.get(key(x))) if x.startswith(f"[{WORD}] ") else (x,) for x in lines]
            pathlib.Path(path).write_text("".join(y for pair in sized for y in pair if y))
        return int(bool(broken))
    ours = [x for x in old if not x.startswith(other)]
    diff = list(difflib.unified_diff(ours, lines, path, "this host"))
    sys.stdout.writelines(diff)
    return int(bool(diff or broken))


def test_transcript_matches_the_golden_file():  # for pytest
    assert main(["--check", str(pathlib.Path(__file__).parent / "golden/python.txt")]) == 0


if __name__ == "__main__":
    sys.exit(main())
