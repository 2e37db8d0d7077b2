#!/usr/bin/env python3
"""The Python surface of drawkit as one table of calls, and the transcript it writes.

A row is a Python expression on a generator `g` (from seed 0, or the seed or named state before a
colon: "P: g.normal(0, 1)") and, where the module promises it, the expected outcome and the engine
outputs taken. A line of the transcript is "call => outcome @ state": floats as the hex digits of
their bits (NaN as "nan": arithmetic may give either sign), bytes in hex, a Generator as its state,
an exception as "Type: message {note}", "~" for a message of the interpreter (its wording changes
between versions); the state as "+k" engine outputs after the set-up, else its words, "n=" a
pending normal. A row that raises must leave the state as it was unless its comment says "d" (a
user object failed after drawing began); "w" marks a row that depends on the word size, whose line
carries the tag [64] or [32] and is compared only on a host of that size.

    python tests/transcript.py [--write FILE | --check FILE]   (--write keeps the other size's lines)
"""

import collections.abc, difflib, gc, importlib.util, inspect, json, pathlib, re, struct, sys, weakref  # noqa: E401, F401

import drawkit
from drawkit import Categorical, Generator

C, nan, inf, M64 = Categorical, float("nan"), float("inf"), 2**64 - 1
SEED0 = (16294208416658607535, 7960286522194355700, 487617019471545679, 17909611376780542444)
J1 = (
    18367075165535767938,
    16958246640038696355,
    535696466813022735,
    12729174445987518331,
)  # seed 0, one jump
J2 = (
    12826832944389168829,
    3508894013355267804,
    12642223549730584118,
    10944077767975835147,
)  # two jumps
J3 = (
    2637193870743929500,
    17766951321934472812,
    17745616981276139505,
    11704268411617192928,
)  # three jumps
Z0, Z1 = -1.1079085986338315, 1.0114416320093498  # seed 0's first pair of normals
SETUPS = {
    "P": SEED0 + (0.25,),
    "N": SEED0 + (-0.0,),  # seed 0 with a normal pending (-0.0 keeps its sign)
    "Z": (0, 0, 0, 0, None),
    "Z2": (0, 0, 0x0123456789ABCDEF, 0, None),  # every / the first two outputs 0
    "T": (0, 0, 0, M64, None),
}  # the first output all ones: u = 1 - 2**-53


class Boom(Exception):
    pass  # noqa: E701


def boom():
    raise Boom("boom")  # noqa: E302, E704


class Num:  # converts to v, running cb first
    def __init__(self, v, cb=None):
        self.v, self.cb = v, cb  # noqa: E704

    def get(self):
        return (self.cb and self.cb(), self.v)[1]  # noqa: E301, E704


class Flt(Num):
    __float__ = Num.get  # noqa: E302, E701


class Idx(Num):
    __index__ = Num.get  # noqa: E701


class FS(float):
    __float__ = lambda self: boom()  # noqa: E701, E731 (a float subclass is read as a float)


class IS(int):
    __index__ = lambda self: boom()  # noqa: E701, E731 (an int subclass as an int)


class Seq(
    collections.abc.Sequence
):  # records its reads, runs cb on each, fails at read number `fail`
    def __init__(self, items, cb=None, fail=None, length=None, lencb=None):
        self.items, self.cb, self.fail, self.length, self.lencb, self.reads = (
            items,
            cb,
            fail,
            length,
            lencb,
            [],
        )

    def __len__(self):
        return (
            self.lencb and self.lencb(),
            len(self.items) if self.length is None else self.length,
        )[1]  # noqa

    def __getitem__(self, i):
        if len(self.reads) == self.fail:
            raise LookupError("item refused")
        return (self.reads.append(i), self.cb and self.cb(), self.items[i])[2]


class Reg:  # registered as a Sequence, not derived from it
    __init__, __len__, __getitem__ = (
        lambda s, it: setattr(s, "it", it),
        lambda s: len(s.it),
        lambda s, i: s.it[i],
    )


collections.abc.Sequence.register(Reg)


class LS(list):
    pass  # noqa: E302, E701


class LO(list):
    __getitem__ = lambda self, i: list.__getitem__(self, i) * 10  # noqa: E701, E731 (read through it)


class LW(list):
    __len__ = __getitem__ = __setitem__ = lambda self, *a: boom()  # noqa: E701, E731 (never called)


class TS(tuple):
    __len__ = lambda self: 5  # noqa: E701, E731


class BA(bytearray):
    pass  # noqa: E701


class Bad:
    __class__ = property(lambda self: boom())  # noqa: E701 (isinstance() raises on it)


class Outer:  # noqa: E302
    class Inner:
        pass  # noqa: E701


class Obj(int):
    __repr__ = lambda self: f"o{int(self)}"  # noqa: E302, E701, E731


class Out(str):
    """An outcome as the transcript writes it; a final " [p]" stands for the note of parameter p."""  # noqa: E701


O = [Obj(i) for i in range(10)]  # noqa: E305, E741
copy_lists = lambda: [list(x) for x in gc.get_objects() if type(x) is list]  # noqa: E731
bits = lambda x: struct.unpack("<Q", struct.pack("<d", x))[0]  # noqa: E731
G = lambda words, n=None: Generator.from_state(words + (n,))  # noqa: E731
NI = lambda t, kind, p: Out(f"TypeError: {t} is not an instance of '{kind}' [{p}]")  # noqa: E731


def catch(f):
    try:
        return f()
    except Exception as e:  # noqa: BLE001
        return e


def reimport():
    spec = importlib.util.find_spec("drawkit")
    return (spec.loader.exec_module(m := importlib.util.module_from_spec(spec)), m)[1]


# How the module writes a float in a message: the shortest digits that read back, positionally.
SHOWN = {
    bits(v): s
    for v, s in [
        (0.0, "0"),
        (-0.0, "-0"),
        (1.0, "1"),
        (-1.0, "-1"),
        (2.0, "2"),
        (0.5, "0.5"),
        (-2.5, "-2.5"),
        (nan, "NaN"),
        (inf, "inf"),
        (-inf, "-inf"),
        (1e-7, "0.0000001"),
        (-1e-7, "-0.0000001"),
        (1.0000000000000002, "1.0000000000000002"),
        (-1e-300, "-0." + "0" * 299 + "1"),
        (-5e-324, "-0." + "0" * 323 + "5"),
        (1e22, "1" + "0" * 22),
        (1e23, "1" + "0" * 23),
        (6.59698104516355e16, "65969810451635500"),
        (1.2345678901234568e20, "123456789012345680000"),
        (1.5e300, "15" + "0" * 299),
        (-1.7976931348623157e308, "-17976931348623157" + "0" * 292),
        (-0.30000000000000004, "-0.30000000000000004"),
    ]
}
POS, PROB = (
    "ValueError: {} must be a positive, finite number, got {}",
    "ValueError: p must be a probability between 0 and 1, got {}",
)
NO, ROWS = object(), []


def bad(call, message, values):  # a validation message for each value
    ROWS.extend((call.format(repr(v)), Out(message.format(SHOWN[bits(v)]))) for v in values)


# Every Generator method with valid arguments, in the order of the type's method list.
VALID = {
    "state": {},
    "from_state": dict(state=(1, 2, 3, 4, None)),
    "random": {},
    "uniform": dict(low=-1, high=2.5),
    "normal": dict(loc=5.0, scale=2.0),
    "exponential": dict(scale=2.0),
    "bernoulli": dict(p=0.5),
    "integers": dict(low=-5, high=5),
    "fill": dict(buf=bytearray(3)),
    "choice": dict(seq=[7, 8, 9]),
    "choices": dict(seq=[7, 8, 9], k=2),
    "bootstrap_indices": dict(n=3),
    "systematic_resample": dict(weights=[1, 2], n=3),
    "shuffle": dict(seq=[7, 8, 9]),
    "permutation": dict(n=3),
    "sample": dict(seq=[7, 8, 9], k=2),
    "multivariate_normal": dict(mean=[1.0], cholesky_factor=[2.0]),
    "dirichlet": dict(alpha=[1.0, 2.0]),
    "multinomial": dict(n=3, probs=[0.5, 0.5]),
    "gamma": dict(shape=2.5, scale=1.0),
    "beta": dict(a=2.0, b=3.0),
    "chisquare": dict(df=3.0),
    "student_t": dict(df=5.0),
    "cauchy": dict(loc=0.0, scale=1.0),
    "laplace": dict(loc=0.0, scale=1.0),
    "lognormal": dict(mean=0.0, sigma=1.0),
    "geometric": dict(p=0.1),
    "binomial": dict(n=10, p=0.3),
    "poisson": dict(lam=25.0),
    "jump": {},
    "spawn": {},
    "split": dict(n=2),
}
for (
    m,
    kw,
) in VALID.items():  # signature; refused while g is held (from_state takes no access); by keyword in reverse order; doc
    ROWS += [
        (
            f"Generator.{m}.__text_signature__",
            "({})".format(", ".join(["$self"] * (m != "from_state") + list(kw))),
        ),
        (
            f"g.bernoulli(Flt(0.5, lambda: g.{m}({', '.join(map(repr, kw.values()))})))",
            NO
            if m == "from_state"
            else Out(f"RuntimeError: Already {'mutably ' * (m == 'state')}borrowed [p]"),
        ),
    ]
    ROWS += [(f"g.{m}({', '.join(f'{k}={v!r}' for k, v in reversed(kw.items()))})",)] if kw else []
    ROWS += [(f"Generator.{m}.__doc__",)]

ROWS += [  # --- the module and its types --------------------------------------------------------------
    ("drawkit.__all__", ["Generator", "Categorical"]),
    ("[n for n in vars(drawkit) if n[0] != '_']", ["Generator", "Categorical"]),
    (
        "[n for n in vars(Generator) if n[0] != '_'], [n for n in vars(C) if n[0] != '_']",
        (list(VALID), ["sample"]),
    ),
    ("reimport().Generator is Generator and reimport().__all__", ["Generator", "Categorical"]),
    (
        "str(inspect.signature(Generator.uniform)), str(inspect.signature(c.sample))",
        ("(self, /, low, high)", "(rng)"),
    ),
    (
        "C.sample.__text_signature__, isinstance(vars(Generator)['from_state'], staticmethod)",
        ("($self, rng)", True),
    ),
    ("Generator.__doc__, C.__doc__, C.sample.__doc__",),
]
for t, i, sig, twin, word in (
    ("Generator", "g", "(seed)", "Generator(0)", "single value"),
    ("Categorical", "c", "(weights)", "C([1, 2, 3, 4])", "alias method"),
):
    ROWS += [
        (
            f"{t}.__name__, {t}.__module__, repr({t}), {t}.__text_signature__, str(inspect.signature({t}))",
            (t, "builtins", f"<class 'builtins.{t}'>", sig, sig),
        ),
        (
            f"{i} == {i}, {i} == {twin}, hasattr({i}, '__dict__'), gc.is_tracked({i}), gc.get_referents({i}), "
            f"repr({i}).startswith('<builtins.{t} object at 0x'), '{word}' in {t}.__doc__",
            (True, False, False, False, [], True, True),
        ),
        (f"type('S', ({t},), {{}})", Out("TypeError: ~")),
        (f"setattr({i}, 'x', 1)", Out("AttributeError: ~")),
        (f"weakref.ref({i})", Out("TypeError: ~")),
    ]

for (
    call,
    tail,
) in [  # --- binding ------------------------------------------------------------------------
    ("g.uniform(1, 2, 3)", "takes 2 positional arguments but 3 were given"),
    ("g.uniform(1)", "missing 1 required positional argument: 'high'"),
    ("g.uniform()", "missing 2 required positional arguments: 'low' and 'high'"),
    ("g.uniform(high=1)", "missing 1 required positional argument: 'low'"),
    ("g.uniform(0, 1, low=0)", "got multiple values for argument 'low'"),
    ("g.uniform(lo=0, high=1)", "got an unexpected keyword argument 'lo'"),
    ("Generator()", "missing 1 required positional argument: 'seed'"),
    ("Generator(sed=1)", "got an unexpected keyword argument 'sed'"),
    ("Generator(1, seed=1)", "got multiple values for argument 'seed'"),
    ("Generator.from_state()", "missing 1 required positional argument: 'state'"),
    ("C(w=[1])", "got an unexpected keyword argument 'w'"),
    ("c.sample(g, g)", "takes 1 positional arguments but 2 were given"),
]:
    head = call[: call.find("(")]
    fn = {
        "Generator": "Generator.__new__",
        "C": "Categorical.__new__",
        "c.sample": "Categorical.sample",
    }.get(head, head)
    ROWS.append((call, Out(f"TypeError: {fn.replace('g.', 'Generator.')}() {tail}")))
ROWS += [  # binding comes before access, and access before conversion; the interpreter binds the others
    (
        "g.uniform(Flt(0.0, lambda: g.uniform(1)), 1)",
        Out("TypeError: Generator.uniform() missing 1 required positional argument: 'high' [low]"),
    ),
    (
        "g.uniform(Flt(0.0, lambda: g.uniform('a', 1)), 1)",
        Out("RuntimeError: Already borrowed [low]"),
    ),
    *[
        (f"g.{call}", Out("TypeError: ~"))
        for call in ("random(1)", "state(1)", "jump(1)", "spawn(1)", "random(x=1)")
    ],
    (
        "g.uniform(high=10, low=0), Generator(0).uniform(0, 10)",
        (3.245752680314067, 3.245752680314067),
        1,
    ),
]

# --- conversion of each argument kind --------------------------------------------------------------
ROWS += [
    (f"g.uniform({x}, 10)", 3.245752680314067, 1)
    for x in ("0.0", "0", "False", "FS(0.0)", "Flt(0.0)", "Idx(0)")
]
ROWS += [
    (call, Out(f"{exc}Error: ~ [{p}]"))
    for call, exc, p in [
        ("g.uniform('a', 1)", "Type", "low"),
        ("g.uniform(0, None)", "Type", "high"),
        ("g.uniform(2**1024, 1)", "Overflow", "low"),
        ("g.integers(0, 2**63)", "Overflow", "high"),
        ("g.integers(Idx(1.5), 2)", "Type", "low"),
        ("g.split(-1)", "Overflow", "n"),
        ("g.split(2**64)", "Overflow", "n"),
        ("g.split(1.0)", "Type", "n"),
        ("g.split(Idx(-1))", "Overflow", "n"),
        ("Generator(-1)", "Overflow", "seed"),
        ("g.dirichlet([1.0, 'x'])", "Type", "alpha"),
        ("C([1, '2'])", "Type", "weights"),
        *[
            (call.format(n), exc, "n")
            for n, exc in [("-1", "Overflow"), ("'5'", "Type")]
            for call in (
                "g.bootstrap_indices({})",
                "g.permutation({})",
                "g.systematic_resample([], {})",
                "g.binomial({}, 7.0)",
                "g.multinomial({}, 'abc')",
            )
        ],
        *[
            (f"g.{m}({args})", exc, "k")
            for m in ("choices", "sample")
            for args, exc in (("Seq(O, lencb=boom), -1", "Overflow"), ("[1], 1.0", "Type"))
        ],
        *[
            (f"Generator.from_state({s})", exc, "state")
            for s, exc in [("(1, 2, 3, 2**64, None)", "Overflow"), ("(1, 2, 3, 4, 'x')", "Type")]
        ],
    ]
]
ROWS += [
    (call, Out(f"Boom: boom [{p}]"))
    for call, p in [
        ("g.uniform(Flt(0.0, boom), 1)", "low"),
        ("g.integers(Idx(0, boom), 1)", "low"),
        ("g.split(Idx(0, boom))", "n"),
        ("g.dirichlet([1.0, Flt(1.0, boom)])", "alpha"),
        ("Generator.from_state((1, 2, 3, 4, Flt(0.0, boom)))", "state"),
    ]
]
ROWS += [
    ("g.integers(-2**63, 2**63 - 1)", -3236015134823734305, 1),
    ("g.integers(Idx(0), True + 9), g.integers(IS(0), 10), g.integers(False, True)", NO, 3),
    ("len(g.split(Idx(2))), len(g.split(True)), len(g.split(IS(1)))", (2, 1, 1)),
    ("g.binomial(M64, nan)", Out(PROB.format("NaN"))),
    (
        "Generator(True).state() == Generator(1).state(), Generator(Idx(7)).state() == Generator(seed=7).state()",
        (True, True),
    ),
    (f"{M64}: g.fill(b := bytearray(8)), b", (None, (0x56CCF8CE948E27B2).to_bytes(8, "little")), 1),
]
ROWS += [
    (f"g.choice({s}), Generator(0).choices({s}, 5), Generator(0).sample({s}, 5)", NO, 1)
    for s in (
        "list(range(10))",
        "tuple(range(10))",
        "LS(range(10))",
        "Seq(range(10))",
        "Reg(range(10))",
        "LO(range(10))",
        "TS(range(10))",
    )
]
ROWS += [
    (f"g.choice({s})", NI(t, "Sequence", "seq"))
    for s, t in [
        ("{1: 2}", "'dict' object"),
        ("None", "'None'"),
        ("Outer.Inner()", "'Outer.Inner' object"),
        ("Bad()", "'Bad' object"),
    ]
]
ROWS += [
    (f"g.dirichlet({a})", [0.012830738190140585, 0.39162565342605204, 0.5955436083838075])
    for a in [
        "[1.0, 2.0, 3.0]",
        "(1, 2.0, 3)",
        "Seq([1.0, 2.0, 3.0], lencb=boom)",
        "Seq([1.0, 2.0, 3.0], length=2**62)",
        "[True, 2, Flt(3.0)]",
    ]
]
ROWS += [
    (
        "g.dirichlet(L := [1.0, Flt(2.0, lambda: L.pop()), 3.0])",
    ),  # the list shrinks while it is read
    ("g.dirichlet(Seq([1.0, 2.0], fail=1))", Out("LookupError: item refused [alpha]")),
]
ROWS += [
    (call, Out(f"TypeError: Can't extract `str` to `Vec` [{p}]"))
    for call, p in [
        ("g.dirichlet('abc')", "alpha"),
        ("C('abc')", "weights"),
        ("g.systematic_resample('abc', -1)", "weights"),
    ]
]
ROWS += [
    (call, NI(*rest))
    for call, *rest in [
        ("g.dirichlet({1: 2})", "'dict' object", "Sequence", "alpha"),
        ("g.dirichlet(None)", "'None'", "Sequence", "alpha"),
        ("C(5)", "'int' object", "Sequence", "weights"),
        ("g.choices({}, -1)", "'dict' object", "Sequence", "seq"),
        ("g.shuffle((1, 2))", "'tuple' object", "list", "seq"),
        ("g.shuffle(Seq([1, 2]))", "'Seq' object", "list", "seq"),
        ("Generator.from_state(None)", "'None'", "tuple", "state"),
        ("g.fill(bytes(4))", "'bytes' object", "bytearray", "buf"),
        ("c.sample(c)", "'Categorical' object", "Generator", "rng"),
    ]
]

ROWS += [  # --- access: a generator held by a call refuses other calls; other generators work ----------
    ("g.choice(Seq(range(10), cb=g.random))  # d", Out("RuntimeError: Already borrowed"), 1),
    (
        "g.choices(Seq(range(10), cb=g.state), 3)  # d",
        Out("RuntimeError: Already mutably borrowed"),
        1,
    ),
    (
        "g.choice(Seq(range(10), cb=lambda: c.sample(g)))  # d",
        Out("RuntimeError: Already borrowed [rng]"),
        1,
    ),
    ("g.sample(Seq(range(10), lencb=g.state), 2)", Out("RuntimeError: Already mutably borrowed")),
    ("c.sample(rng=g), g.choice(Seq(range(10), cb=lambda: c.sample(g2))), g2.state()", NO, 3),
    (
        "catch(lambda: g.uniform(Flt(0.0, g.random), 1)), g.random()",
        (Out("RuntimeError: Already borrowed [low]"), 0.3245752680314067),
        1,
    ),
    (
        "g.choice(Seq(range(10), cb=lambda: catch(g.random)))",
        3,
        1,
    ),  # the outer call goes on undisturbed
    (
        "g.choices(Seq(range(10), cb=copy_lists), 3), g.sample(Seq(range(10), cb=copy_lists), 3)",
        NO,
        6,
    ),  # no half-made list shows
    # --- construction, state, from_state, jump, split, spawn, fill --------------------------------------
    ("g.state()", SEED0 + (None,)),
    ("[g.state() for _ in range(3)][0], g.random()", NO, 1),
    (
        "g.fill(b := bytearray(10)), b, g.random()",
        (None, bytes.fromhex("DF230B49615D175307D5"), 0.3596172076473553),
        3,
    ),
    ("g.fill(b := bytearray(0)), b", (None, b""), 0),
    ("g.fill(b := bytearray(7)), b", NO, 1),
    ("g.fill(b := bytearray(9)), b", NO, 2),
    ("g.fill(b := BA(16)), b == (Generator(0).fill(a := bytearray(16)) or a)", (None, True), 2),
    ("g.jump(), g.state()", (None, J1 + (None,))),
    ("g.jump(), g.jump(), g.state()", (None, None, J2 + (None,))),
    ("g.split(2), g.state()", ([G(J1), G(J2)], J3 + (None,))),
    ("g.spawn(), g.state()", (G(J1), J2 + (None,))),
    ("g.split(0), g.state()", ([], J1 + (None,))),
    ("[g.spawn() for _ in range(2)]", [G(J1), G(J3)]),
    ("P: g.jump(), g.state()", (None, J1 + (0.25,))),
    ("P: g.split(3), g.state()[4]",),
    ("P: g.spawn(), g.state()[4]",),
    ("g.split(2**62)  # w", Out("MemoryError: ")),
    ("g.split(M64)  # w", Out("MemoryError: ")),
    (
        "Z: g.jump(), g.state(), [g.random() for _ in range(3)]",
        (None, (0, 0, 0, 0, None), [0.0, 0.0, 0.0]),
    ),
    (
        "Generator.from_state(TS((1, 2, 3, 4, None))).state(), Generator.from_state((1, 2, 3, 4, 0)).state()",
        ((1, 2, 3, 4, None), (1, 2, 3, 4, 0.0)),
    ),
    (
        "Generator.from_state((1, 2, 3, 4, -0.0)).state(), Generator.from_state(state=(True, Idx(2), IS(3), 4, Flt(0.5))).state()",
        ((1, 2, 3, 4, -0.0), (1, 2, 3, 4, 0.5)),
    ),
    ("Generator.from_state(tuple(json.loads(json.dumps(g.state())))).state() == g.state()", True),
    (
        "Generator.from_state(json.loads(json.dumps(g.state())))",
        NI("'list' object", "tuple", "state"),
    ),
    (
        "Generator.from_state((1, 2, 3))",
        Out("ValueError: expected tuple of length 5, but got tuple of length 3 [state]"),
    ),
    (
        "Generator.from_state((1, 2, 3, 4, None, 6))",
        Out("ValueError: expected tuple of length 5, but got tuple of length 6 [state]"),
    ),
    *[
        (
            f"Generator.from_state((1, 2, 3, 4, {v}))",
            Out(
                "ValueError: from_state()'s cached-normal value must be finite "
                "(not NaN or infinite)"
            ),
        )
        for v in ("nan", "inf", "-inf")
    ],
    # --- random, uniform, integers, bernoulli -----------------------------------------------------------
    (
        "[g.random() for _ in range(3)]",
        [0.3245752680314067, 0.38223929651167343, 0.3596172076473553],
        3,
    ),
    (
        "g.integers(0, 10), Generator(0).integers(-5, 5), Generator(0).bernoulli(0.5)",
        (3, -2, True),
        1,
    ),
    ("T: g.uniform(1, 2), Generator.from_state(SETUPS['T']).random()", (2.0, 1 - 2**-53), 1),
    ("g.uniform(-1e308, 1e308)", inf, 1),
    ("Z: g.uniform(-1e308, 1e308)", nan),
    *[
        (
            f"g.integers({lo}, {hi})",
            Out(f"ValueError: integers({lo}, {hi}): high must be greater than low"),
        )
        for lo, hi in ((5, 5), (3, -7))
    ],
]
ROWS += [
    (
        f"N: g.uniform({lo!r}, {hi!r})",
        Out(
            f"ValueError: uniform({SHOWN[bits(lo)]}, {SHOWN[bits(hi)]}): high must be greater "
            "than low, and both must be finite"
        ),
    )
    for lo, hi in [
        (1, 0),
        (nan, 1),
        (0, inf),
        (0.5, 1e-7),
        (-0.0, -0.0),
        (1e23, 1e23),
        (6.59698104516355e16, 0),
        (1.5e300, 1e22),
    ]
]
bad(
    "g.bernoulli({})",
    PROB,
    [1.0000000000000002, nan, -1e-300, inf, 2, -1e-7, 1.2345678901234568e20],
)

ROWS += [  # --- normal, lognormal, exponential, laplace, cauchy --------------------------------------------
    ("[g.normal(0.0, 1.0) for _ in range(2)], g.state()[4]", ([Z0, Z1], None), 2),
    ("g.normal(0.0, 1.0), g.state()[4]", (Z0, Z1), 2),
    (
        "g.normal(5.0, 2.0), Generator(0).lognormal(0.0, 1.0)",
        (2.784182802732337, 0.330248922378132),
        2,
    ),
    ("Z2: [g.normal(0.0, 1.0) for _ in range(2)]", [37.64030867387419, 0.0], 2),
    ("P: g.normal(5.0, 2.0), g.state()[4]", (5.5, None), 0),
    (
        "g.normal(0.0, 1.0), Generator.from_state(g.state()).normal(5.0, 2.0), g.normal(0.0, 1.0)",
        (Z0, 5 + 2 * Z1, Z1),
    ),
    ("g.normal(0.0, 1.0), g.lognormal(0.0, 1.0)", NO, 2),
    ("g.lognormal(1000.0, 1.0), g.lognormal(-1000.0, 1.0)", (inf, 0.0)),
    ("g.normal(0.0, 1.7e308)", -inf),
    ("g.cauchy(-3.0, 2.0), Generator(0).exponential(1)", (-4.229275403803255, 0.39241355344733597)),
    (
        "P: [g.laplace(0.0, 1.0) for _ in range(3)]",
        [-0.08924055424665583, 0.4341675396564009, 0.6629521334533975],
        6,
    ),
    ("Z2: g.exponential(3.0)", -0.0, 1),
    ("Z2: g.laplace(0.0, 1.0)", 0.0, 2),
    (
        "Z2: g.cauchy(0.0, 1.0), Generator.from_state(SETUPS['Z2']).cauchy(0.0, 1e300)",
        (-1.6331239354134602e16, -inf),
    ),
    *[
        (f"N: g.{m}({v}, 1.0)", Out(f"ValueError: {p} must be finite, got {SHOWN[bits(v)]}"))
        for m, p, v in [
            ("normal", "loc", nan),
            ("normal", "loc", -inf),
            ("lognormal", "mean", -inf),
            ("laplace", "loc", nan),
            ("cauchy", "loc", inf),
        ]
    ],
    # --- gamma, beta, chisquare, student_t ---------------------------------------------------------------
    ("g.gamma(2.5, 1.0), g.state()[4]", (0.9108053946816232, Z1), 3),
    ("g.gamma(1.0, 1.0)", 0.10952990281789315, 3),
    ("g.gamma(0.5, 1.0), g.state()[4]", (0.04741673199200492, 1.0707271825228197), 4),
    ("g.beta(2.0, 3.0)", 0.11466549111208471, 4),
    ("g.chisquare(3.0)", 0.6650228792907993, 3),
    ("g.student_t(5.0), g.state()[4]", (-0.8734246688339767, None), 3),
    ("3: g.gamma(1.0, 3.5)", 3.5 * 0.04427623104224786, 3),
    (
        "[g.gamma(s, 1.0) for s in (1e-200, 7e-301, 1e-310, 5e-324)], g.chisquare(1e-320), g.dirichlet([5e-324, 1.0])",
        ([0.0] * 4, 0.0, [0.0, 1.0]),
    ),
    *[
        (s + call,)
        for call in (
            "g.normal(0, 1), g.gamma(1.0, 1.0)",
            "g.gamma(0.999, 1.0)",
            "g.beta(3.0, 2.0)",
            "g.student_t(4.0)",
        )
        for s in ("", "P: ")
    ],
    # --- poisson, geometric, binomial, multinomial ----------------------------------------------------
    *[
        (f"[g.{m}({args}) for _ in range({len(want)})]", want, used)
        for m, args, want, used in [
            ("poisson", "25.0", [22, 23, 25, 22, 22], 12),
            ("poisson", "9.5", [5, 6, 5, 5, 7], 33),
            ("poisson", "3.0", [2, 0, 1], 6),
            ("geometric", "0.1", [4, 5, 5, 1, 7], 5),
            ("binomial", "10, 0.3", [4, 5, 6], 30),
        ]
    ],
    *[
        (f"g.binomial(25, {p})", want, 25)
        for p, want in (("0.0", 0), ("-0.0", 0), ("1.0", 25), ("1", 25))
    ],
    ("g.poisson(9.999999999999998)", 5, 6),
    ("g.poisson(5e-324)", 0, 1),
    ("g.geometric(1.0), g.geometric(1), g.binomial(0, 0.5)", (1, 1, 0), 0),
    ("[g.geometric(p) for p in (2.0**-54, 1e-300, 5e-324)]", NO, 3),
    ("Z: g.poisson(10.0)",),
    ("(0, 0, 0, 1, None): g.poisson(10.0)",),
    ("Z: g.poisson(0)", Out(POS.format("lam", "0"))),
    (
        "P: g.poisson(25.0), g.poisson(3.0), g.geometric(0.5), g.binomial(5, 0.5), g.multinomial(3, [1.0]), g.state()[4]",
        NO,
        13,
    ),
    *[
        (
            f"g.geometric({p})",
            Out(
                "ValueError: geometric(p=0.0): a trial that never succeeds has no defined number of trials"
            ),
        )
        for p in ("0.0", "-0.0", "0")
    ],
    ("g.multinomial(10, [0.2, 0.3, 0.5])", [3, 5, 2], 10),
    (
        "g.multinomial(0, [0.2, 0.3, 0.5]), g.multinomial(7, [1.0]), g.multinomial(4, (0.0, 1.0, -0.0))",
        ([0, 0, 0], [7], [0, 4, 0]),
        11,
    ),
    ("g.multinomial(3, [1.0, 4503599627 * 2.0**-52])", NO, 3),
    ("g.multinomial(3, [0.5, 0.5 - 9007199254 * 2.0**-53])", NO, 3),
    *[
        (f"g.multinomial(5, {probs})", Out(f"ValueError: multinomial({msg}"))
        for probs, msg in [
            ("[]", "n, []): probs must have at least one entry"),
            ("[1.5, -0.5]", "): probs[0]=1.5 must be between 0 and 1"),
            ("[0.5, nan]", "): probs[1]=NaN must be between 0 and 1"),
            ("[0.3, 0.3]", "): probs must sum to 1.0, got 0.6"),
            (
                "[1.0, 4503599628 * 2.0**-52]",
                "): probs must sum to 1.0, got 1.0000010000000001",
            ),  # the first sums beyond 1e-6
            ("[0.5, 0.5 - 9007199255 * 2.0**-53]", "): probs must sum to 1.0, got 0.999999"),
        ]
    ],
    # --- multivariate_normal, dirichlet ---------------------------------------------------------------
    (
        "g.multivariate_normal([1.0, -1.0], [2.0, 0.0, 0.5, 1.0]), g.state()[4]",
        ([-1.215817197267663, -0.542512667307566], None),
        2,
    ),
    (
        "g.multivariate_normal([0.0] * 3, [1.0, 0, 0, 0, 1.0, 0, 0, 0, 1.0]), g.normal(0.0, 1.0)",
        NO,
        4,
    ),
    (
        "P: g.multivariate_normal([1.0, 2.0], [3.0, 0.0, 0.0, 1.0]), g.state()[4]",
        ([1.75, Z0 + 2.0], Z1),
        2,
    ),
    (
        "P: g.multivariate_normal([], []), g.multivariate_normal((), range(0)), g.state()[4]",
        ([], [], 0.25),
        0,
    ),
    ("g.multivariate_normal((1, -1), range(2, -6, -2))", NO, 2),
    ("g.dirichlet([1.0]), g.state()[4]", ([1.0], Z1), 3),
    *[
        (
            f"N: g.multivariate_normal({mean}, {chol})",
            Out(
                f"ValueError: cholesky_factor must have {n}*{n}={n * n} entries "
                f"(a flat, row-major {n}x{n} matrix) for a mean of length {n}, got {m}"
            ),
        )
        for mean, chol, n, m in (
            ("[1.0, 2.0]", "[1.0, 0.0, 1.0]", 2, 3),
            ("[]", "[1.0]", 0, 1),
            ("[0.0] * 3", "[0.0] * 10", 3, 10),
        )
    ],
    *[
        (f"N: g.dirichlet({alpha})", Out(msg))
        for alpha, msg in [
            ("[]", "ValueError: dirichlet([]): alpha must have at least one entry"),
            ("[1.0, 0.0, 2.0]", POS.format("alpha[1]", "0")),
        ]
    ],
]
for m, name in [
    ("normal", "scale"),
    ("lognormal", "sigma"),
    ("laplace", "scale"),
    ("cauchy", "scale"),
]:  # checked before loc
    bad(f"N: g.{m}(inf, {{}})", POS.format(name, "{}"), [-1.0, 0.0, -0.0, inf, nan, -1e-7])
for call, name, values in [
    ("exponential({})", "scale", [0.0, nan, -5e-324]),
    ("gamma({}, 1.0)", "shape", [-1.0, inf, -0.30000000000000004]),
    ("gamma(2.0, {})", "scale", [-2.5]),
    ("beta({}, -1.0)", "a", [0.0]),
    ("beta(1.0, {})", "b", [-inf]),
    ("chisquare({})", "df", [-2.5]),
    ("student_t({})", "df", [-1e-7]),
    ("poisson({})", "lam", [-0.0, nan, inf]),
]:
    bad("N: g." + call, POS.format(name, "{}"), values)
bad("g.geometric({})", PROB, [nan, -1e-300, 1.5e300, 6.59698104516355e16])
bad("g.binomial(10, {})", PROB, [1.0000000000000002, -1, 1e22])

ROWS += [  # --- choice, choices, sample, shuffle, permutation, bootstrap_indices, systematic_resample -----
    ("g.choices(range(10), 5)", [3, 5, 0, 0, 4], 5),
    ("g.sample(range(10), 4)", [3, 5, 6, 9], 4),
    ("g.sample(range(5), 5)", [3, 4, 0, 2, 1], 5),
    ("g.permutation(5)", [2, 0, 1, 4, 3], 4),
    ("g.shuffle(a := [0, 1, 2, 3, 4]), a", (None, [2, 0, 1, 4, 3]), 4),
    ("g.bootstrap_indices(5)", [3, 0, 0, 0, 4], 5),
    ("g.systematic_resample([1, 2, 3, 4], 8)", [0, 1, 1, 2, 2, 3, 3, 3], 1),
    ("g.choices(seq=[1, 2], k=0), g.sample(seq=[], k=0), g.sample([7], 0)", ([], [], []), 0),
    (
        "g.permutation(n=0), g.permutation(1), g.shuffle([]), g.shuffle(seq=['x'])",
        ([], [0], None, None),
        0,
    ),
    ("g.bootstrap_indices(n=1), g.choice([5])", ([0], 5), 2),
    ("g.systematic_resample(weights=[1.0], n=0)", [], 1),
    ("g.systematic_resample([3.0], 4)", [0, 0, 0, 0], 1),
    ("g.choice(O) is O[3], g.choices(tuple(O), 2)", NO, 3),
    ("g.shuffle(a := LW(range(5))), a", (None, [2, 0, 1, 4, 3]), 4),
    ("g.shuffle(a := LS(range(5))), a", NO, 4),
    ("g.sample(s := Seq(range(10)), 4), s.reads", ([3, 5, 6, 9], [3, 0, 5, 1, 6, 2, 9]), 4),
    ("g.choices(s := Seq(range(10)), 5), s.reads", ([3, 5, 0, 0, 4], [3, 5, 0, 0, 4]), 5),
    (
        "7: g.sample(s := Seq('abc'), 3), s.reads",
        (["c", "b", "a"], [2, 0, 1, 1]),
        3,
    ),  # j = i unmapped: read twice
    ("1: g.permutation(30)", NO, 29),
    ("1: g.shuffle(a := list(range(30))), a", NO, 29),
    ("g.choice(range(2**62)), g.sample(Seq(range(2**62)), 3)  # w",),
    *[
        (f"g.{call}  # d", Out("LookupError: item refused"), used)
        for call, used in [  # an item read fails after its draw
            ("choice(Seq(O, fail=0))", 1),
            ("choices(Seq(O, fail=2), 5)", 3),
            ("sample(Seq(O, fail=3), 4)", 2),
            ("sample(Seq(O, fail=6), 4)", 4),
        ]
    ],
    *[
        (f"g.{call}", Out("Boom: boom"))
        for call in (
            "choice(Seq(O, lencb=boom))",
            "choices(Seq(O, lencb=boom), 1)",
            "sample(Seq(O, lencb=boom), 0)",
        )
    ],
    (
        "g.systematic_resample([1], 2**62)  # dw",
        Out("MemoryError: "),
        1,
    ),  # the offset is drawn first
    *[
        (call + "  # w", Out("MemoryError: "))
        for call in (
            "g.bootstrap_indices(2**62)",
            "g.permutation(M64)",
            "g.choices([1], 2**62)",
            "g.choices(Seq([1]), M64)",
            "g.sample(Seq(range(2**62)), 2**62)",
        )
    ],
    *[
        (f"N: g.{call}", Out(f"ValueError: {msg}"))
        for call, msg in [
            ("choice([])", "choice() called on an empty sequence"),
            ("choice(())", "choice() called on an empty sequence"),
            ("choice(Seq([]))", "choice() called on an empty sequence"),
            ("choices([], 0)", "choices() called on an empty sequence"),
            (
                "sample(range(3), 4)",
                "sample() cannot draw more elements than the sequence contains",
            ),
            ("sample('ab', M64)", "sample() cannot draw more elements than the sequence contains"),
            ("bootstrap_indices(0)", "bootstrap_indices(0) has no valid indices to draw"),
            (
                "systematic_resample([], 3)",
                "systematic_resample([], n): weights must have at least one entry",
            ),
            (
                "systematic_resample([1, -1, nan], 3)",
                "systematic_resample(): weights[1]=-1 must be non-negative and finite",
            ),
            (
                "systematic_resample([0, -0.0], 3)",
                "systematic_resample(): weights must sum to a positive number",
            ),
        ]
    ],
    *[
        (f"{setup}g.systematic_resample({w}, {n})", want, None if setup == "Z: " else 1)
        for setup, w, n, want in [
            ("", "[1, 0, 0]", 6, [0] * 6),
            ("", "[0, 1, 0]", 6, [1] * 6),
            ("Z: ", "[0, 1, 0]", 3, [0, 1, 1]),
            ("T: ", "[1, 1]", 1, [1]),
            ("T: ", "[0.2, 2, 0.1, 0]", 1, [3]),
            ("", "[-0.0, 1]", 2, [1, 1]),
            ("", "[1e308, 1e308]", 10, NO),
        ]
    ],
    # --- Categorical -------------------------------------------------------------------------------------
    *[
        (f"[C({w}).sample(g) for _ in range(8)]", [3, 0, 2, 2, 3, 0, 1, 2], 16)
        for w in ("[1, 2, 3, 4]", "(1, 2, 3, 4)")
    ],
    ("P: [c.sample(g) for _ in range(4)], g.state()[4]", ([3, 0, 2, 2], 0.25), 8),
    ("[C([0.25]).sample(g) for _ in range(3)]", [0, 0, 0], 6),
    (
        "sorted({C([0, 1]).sample(g) for _ in range(50)}), sorted({C(weights=[1, -0.0]).sample(g) for _ in range(50)})",
        ([1], [0]),
        200,
    ),
    *[
        (f"C({w})", Out(f"ValueError: Categorical({msg}"))
        for w, msg in [
            ("[]", "[]): weights must have at least one entry"),
            ("[1, -1]", "): weights[1]=-1 must be non-negative and finite"),
            (
                "[-1.7976931348623157e308]",
                f"): weights[0]={SHOWN[bits(-1.7976931348623157e308)]} must be non-negative and finite",
            ),
            ("[0, 0]", "): weights must sum to a positive number"),
            ("[-0.0]", "): weights must sum to a positive number"),
        ]
    ],
]


# --- the runner -----------------------------------------------------------------------------------------
# The module's own TypeError messages; any other TypeError, OverflowError or AttributeError comes from the interpreter.
OWN = re.compile(
    r"^(Generator|Categorical)\.\w+\(\) (takes \d+ positional|missing \d|got )|is not an instance of '|^Can't "
)
WORD = 64 if sys.maxsize > 2**32 else 32


def fmt(v):
    if isinstance(v, Out):
        return re.sub(r" \[(\w+)\]$", r" {while processing '\1'}", v)
    if isinstance(v, BaseException):
        text = (
            "~"
            if isinstance(v, (TypeError, OverflowError, AttributeError)) and not OWN.search(str(v))
            else str(v)
        )
        return f"{type(v).__name__}: {text}" + "".join(
            f" {{{n}}}" for n in getattr(v, "__notes__", ())
        )
    if isinstance(v, (list, tuple, set)):
        inner = ", ".join(map(fmt, sorted(v) if isinstance(v, set) else v))
        return f"({inner})" if isinstance(v, tuple) else f"[{inner}]"
    if type(v) is float:
        return "nan" if v != v else f"{bits(v):016x}"
    if isinstance(v, (bytes, bytearray, Generator)):
        return f"x'{v.hex()}'" if isinstance(v, (bytes, bytearray)) else "G" + fmt(v.state())
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


def transcript():
    """The lines of the transcript, and a description of every row that broke its promise."""
    lines, broken, unraisable = [], [], []
    hook, sys.unraisablehook = sys.unraisablehook, lambda u: unraisable.append(u.exc_value)
    try:
        for call, want, used in (row + (NO, None)[len(row) - 1 :] for row in ROWS):
            m = re.match(r"(\w+|\([\w, ]*\)): ", call)
            setup, expr = (m[1], call[m.end() :]) if m else ("0", call)
            g = (
                Generator(int(setup))
                if setup.isdigit()
                else Generator.from_state(SETUPS.get(setup) or eval(setup))
            )
            before, raised, unraisable[:] = g.state(), False, []
            try:
                out = fmt(eval(expr, dict(globals(), g=g, g2=Generator(5), c=C([1, 2, 3, 4]))))
            except Exception as e:  # noqa: BLE001
                out, raised = fmt(e), True
            after, k = g.state(), outputs(before[:4], g.state()[:4])
            where = (
                f"+{k}" if k is not None else "s=" + ".".join(f"{w:016x}" for w in after[:4])
            ) + ("" if after[4] is None else f" n={fmt(after[4])}")
            # a word-size row states its 64-bit outcome; the 32-bit one is pinned by its own line
            sized = re.search(r"# d?w", call)
            problems = (
                [f"want {fmt(want)}"]
                if want is not NO and fmt(want) != out and not (sized and WORD == 32)
                else []
            )
            problems += [f"want +{used}"] if used is not None and k != used else []
            problems += (
                ["the state moved"]
                if raised and "# d" not in call and fmt(after) != fmt(before)
                else []
            )
            tag = f"[{WORD}] " if sized else ""
            lines.append(
                f"{tag}{call} => {out}"
                + "".join(f" !unraisable {fmt(u)}" for u in unraisable)
                + f" @ {where}\n"
            )
            broken += [f"{lines[-1]}    {p}\n" for p in problems]
    finally:
        sys.unraisablehook = hook
    return lines, broken


def main(argv=None):
    mode, path = (sys.argv[1:] if argv is None else argv) or (None, None)
    lines, broken = transcript()
    sys.stderr.writelines("BROKEN PROMISE: " + b for b in broken)
    if mode is None:
        return sys.stdout.writelines(lines) or int(bool(broken))
    old = pathlib.Path(path).read_text().splitlines(True) if pathlib.Path(path).exists() else []
    other, key = f"[{96 - WORD}] ", lambda line: line[5:].split(" => ")[0]
    if mode == "--write":
        kept = {
            key(x): x for x in old if x.startswith(other)
        }  # after a row's line of this size comes its line of the other size
        if not broken:
            with open(path, "w") as f:
                f.writelines(
                    y
                    for x in lines
                    for y in (x, x.startswith(f"[{WORD}] ") and kept.get(key(x)))
                    if y
                )
        return int(bool(broken))
    diff = list(
        difflib.unified_diff([x for x in old if not x.startswith(other)], lines, path, "this host")
    )
    sys.stdout.writelines(diff)
    return int(bool(diff or broken))


def test_transcript_matches_the_golden_file():  # for pytest
    assert main(["--check", __file__[: -len("transcript.py")] + "golden/python.txt"]) == 0


if __name__ == "__main__":
    sys.exit(main())
