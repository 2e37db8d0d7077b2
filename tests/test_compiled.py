"""The same stream from compiled code: one sequence of draws, part of it made through the C API
(ctypes, a Cython extension and a Numba loop, each built here) and part through the Python
methods on the same generator, must give the bits and the final state of the whole sequence
made in Python; a C++ program built against the installed CMake package, those of its seed."""

import importlib.util
import math
import os
import shutil
import subprocess
import sys
import sysconfig
from pathlib import Path

import drawkit
import pytest
from transcript import bits

drawkit_capi = pytest.importorskip("drawkit_capi")
from drawkit_capi import borrowed, cfuncs  # noqa: E402

HERE = Path(__file__).parent
WEIGHTS = [1.0 + i % 7 for i in range(1000)]

# (where, method, args): "C" through the C API, "P" through the Python method. Runs of "C"
# are one borrow each. Every entry of the table is called (the branches within a distribution are
# the core's, pinned by its own golden transcript); pending normal values cross the boundary both
# ways (gamma(2.5) takes normals); it ends with a value pending.
SEQUENCE = [
    ("C", "random", ()),
    ("C", "normal", (1.0, 2.0)),
    ("P", "lognormal", (0.0, 0.5)),
    ("P", "normal", (0.0, 1.0)),
    ("C", "student_t", (5.0,)),
    ("C", "gamma", (0.5, 2.0)),
    ("C", "uniform", (-2.0, 3.0)),
    ("C", "integers", (-5, 2**40)),
    ("C", "bernoulli", (0.3,)),
    ("P", "exponential", (2.0,)),
    ("C", "exponential", (2.0,)),
    ("C", "laplace", (0.5, 1.5)),
    ("C", "cauchy", (-1.0, 0.5)),
    ("C", "lognormal", (0.0, 0.5)),
    ("P", "categorical", ()),
    ("C", "gamma", (2.5, 1.0)),
    ("C", "beta", (2.0, 3.0)),
    ("C", "chisquare", (3.0,)),
    ("C", "poisson", (3.0,)),
    ("C", "geometric", (0.1,)),
    ("C", "binomial", (20, 0.4)),
    ("C", "categorical", ()),
    ("P", "random", ()),
    ("C", "normal", (0.0, 1.0)),
    ("C", "normal", (0.0, 1.0)),
]
BLOCKS = []  # runs of the same `where`, in order
for where, name, args in SEQUENCE:
    if not BLOCKS or BLOCKS[-1][0] != where:
        BLOCKS.append((where, []))
    BLOCKS[-1][1].append((name, args))


def sh(*cmd, **kw):  # its output; what it writes to stderr shows in the report of a failure
    return subprocess.run(cmd, check=True, stdout=subprocess.PIPE, text=True, **kw).stdout


def python_call(g, cat, name, args):
    return cat.sample(g) if name == "categorical" else getattr(g, name)(*args)


def key(v):  # floats by bit pattern; ints and bools (bernoulli's 1/0 in C) by value
    return v.hex() if isinstance(v, float) else int(v)


def block_source(rows, api, arg_t):
    """The draws of one compiled block as literal calls on h, in a tuple."""
    calls = [
        f"{api}{n}(h, {', '.join([arg_t] if n == 'categorical' else map(repr, a))})"
        for n, a in rows
    ]
    return f"({', '.join(calls)},)"


# Borrowed and released in Cython, through the header's table.
CYTHON_HEAD = "from drawkit_capi cimport Drawkit_API, Drawkit_Import, DrawkitGenerator\n"
CYTHON_HEAD += "Drawkit_Import()\n"
CYTHON_BLOCK = """
def block{i}(g, t):
    cdef DrawkitGenerator* h = Drawkit_API.borrow(g)
    try:
        return {calls}
    finally:
        Drawkit_API.release(h)
"""


def cython_module(tmp):
    pytest.importorskip("Cython")
    cc = sysconfig.get_config_var("CC")
    if not cc or not shutil.which(cc.split()[0]):
        pytest.skip("no C compiler")
    src = CYTHON_HEAD + "".join(
        CYTHON_BLOCK.format(i=i, calls=block_source(rows, "Drawkit_API.", "Drawkit_API.table(t)"))
        for i, (where, rows) in enumerate(BLOCKS)
        if where == "C"
    )
    (tmp / "cyblocks.pyx").write_text(src)
    sh(sys.executable, "-m", "cython", "-3", "cyblocks.pyx", cwd=tmp)
    so = tmp / ("cyblocks" + sysconfig.get_config_var("EXT_SUFFIX"))
    inc = [f"-I{sysconfig.get_path('include')}", f"-I{drawkit_capi.get_include()}"]
    sh(*cc.split(), "-shared", "-fPIC", "-O1", *inc, "cyblocks.c", "-o", so, cwd=tmp)
    location = importlib.util.spec_from_file_location("cyblocks", so)
    module = importlib.util.module_from_spec(location)
    location.loader.exec_module(module)
    return lambda i, g, cat: module.__dict__[f"block{i}"](g, cat)


def numba_blocks():
    numba = pytest.importorskip("numba")
    namespace = {"cfuncs": cfuncs}
    for i, (where, rows) in enumerate(BLOCKS):
        if where == "C":
            exec(f"def block{i}(h, t):\n    return {block_source(rows, 'cfuncs.', 't')}", namespace)
            namespace[f"block{i}"] = numba.njit(namespace[f"block{i}"])

    def run(i, g, cat):
        with borrowed(g) as h:
            return namespace[f"block{i}"](h, drawkit_capi.table(cat))

    return run


def ctypes_block(i, g, cat):
    with borrowed(g) as h:
        return [
            getattr(cfuncs, n)(h, *([drawkit_capi.table(cat)] if n == "categorical" else a))
            for n, a in BLOCKS[i][1]
        ]


@pytest.fixture(scope="session", params=["ctypes", "cython", "numba"])
def compiled(request, tmp_path_factory):
    if request.param == "cython":
        return cython_module(tmp_path_factory.mktemp("cython"))
    return numba_blocks() if request.param == "numba" else ctypes_block


def test_interleaved_sequence_matches_python(compiled):
    cat = drawkit.Categorical(WEIGHTS)
    expected, reference = drawkit.Generator(2024), []
    for _, name, args in SEQUENCE:
        reference.append(key(python_call(expected, cat, name, args)))
    g, got = drawkit.Generator(2024), []
    for i, (where, rows) in enumerate(BLOCKS):
        if where == "C":
            got += [key(v) for v in compiled(i, g, cat)]
        else:
            got += [key(python_call(g, cat, n, a)) for n, a in rows]
    assert got == reference
    assert g.state() == expected.state() and g.state()[4] is not None


# One invalid call per validation: the C draw returns NaN (0 for counts) and records the
# method's own error, later draws of the borrow leave the generator alone, and leaving the
# borrow raises that error.
INVALID = [
    ("uniform", (1.0, 1.0)),
    ("integers", (3, 3)),
    ("bernoulli", (1.5,)),
    ("normal", (0.0, -1.0)),
    ("lognormal", (math.inf, 1.0)),
    ("exponential", (0.0,)),
    ("laplace", (math.nan, 1.0)),
    ("cauchy", (0.0, math.inf)),
    ("gamma", (2.5, 0.0)),
    ("beta", (1.0, -2.0)),
    ("chisquare", (-1.0,)),
    ("student_t", (0.0,)),
    ("poisson", (-3.0,)),
    ("geometric", (0.0,)),
    ("binomial", (5, -0.1)),
]


@pytest.mark.parametrize("name, args", INVALID, ids=[r[0] for r in INVALID])
def test_invalid_parameters_raise_the_methods_error(name, args):
    g, expected = drawkit.Generator(7), drawkit.Generator(7)
    expected.normal(0.0, 1.0)
    with pytest.raises(ValueError) as python_error:
        getattr(expected, name)(*args)
    with pytest.raises(ValueError) as c_error, borrowed(g) as h:
        cfuncs.normal(h, 0.0, 1.0)
        assert cfuncs.error(h) is None
        v = getattr(cfuncs, name)(h, *args)
        assert v == 0 or math.isnan(v)
        cfuncs.normal(h, 0.0, 1.0), cfuncs.exponential(h, -1.0), cfuncs.random(h)
        assert cfuncs.error(h).decode() == str(python_error.value)  # the first error is kept
    assert str(c_error.value) == str(python_error.value)
    assert g.state() == expected.state()


def test_borrow_is_exclusive_and_checked():
    g, cat = drawkit.Generator(3), drawkit.Categorical([1.0, 2.0])
    not_a = "'Generator' object is not an instance of"
    before = g.state()
    with borrowed(g) as h:
        for call, error, message in [
            (g.random, RuntimeError, "Already borrowed"),
            (g.state, RuntimeError, "Already mutably borrowed"),
            (lambda: cat.sample(g), RuntimeError, "Already borrowed"),
            (lambda: borrowed(g).__enter__(), RuntimeError, "Already borrowed"),
            (lambda: drawkit_capi.table(g), TypeError, f"{not_a} 'Categorical'"),
        ]:
            with pytest.raises(error) as e:
                call()
            assert str(e.value) == message
        assert cfuncs.random(h) == drawkit.Generator.from_state(before).random()
    g.random()  # free again
    for obj, message in [(1, "'int' object"), (None, "'None'")]:
        with pytest.raises(TypeError) as e:
            borrowed(obj).__enter__()
        assert str(e.value) == f"{message} is not an instance of 'Generator'"


def test_cpp_consumer_gives_the_python_stream(tmp_path):
    cmake = shutil.which("cmake", path=f"{os.environ.get('PATH')}:{HERE.parent}/build/tools/bin")
    if cmake is None or not (shutil.which("c++") or os.environ.get("CXX")):
        pytest.skip("no cmake or C++ compiler")
    if not Path(drawkit_capi.get_cmake_dir(), "drawkitConfig.cmake").exists():
        pytest.skip("drawkit installed without its CMake package (a build copied in by hand)")
    build = tmp_path / "build"
    # Found the way a user of the environment finds it: CMAKE_PREFIX_PATH = its prefix.
    sh(cmake, "-S", HERE / "consumer", "-B", build, f"-DCMAKE_PREFIX_PATH={sys.prefix}")
    sh(cmake, "--build", build)
    found = f"drawkit_DIR:PATH={drawkit_capi.get_cmake_dir()}\n"
    assert found in (build / "CMakeCache.txt").read_text()
    out = sh(build / "consumer", "2024")
    g = drawkit.Generator(2024)
    draws = [g.random(), g.normal(1.0, 2.0), g.gamma(0.5, 2.0), g.poisson(25.0), g.normal(0.0, 1.0)]
    assert out.split() == [f"{bits(v):016x}" if isinstance(v, float) else str(v) for v in draws]
