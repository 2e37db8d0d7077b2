"""Robustness: code run mid-call, signals, exhausted memory, subinterpreters, extreme shapes."""

import gc
import importlib.util
import os
import subprocess
import sys

import drawkit
import pytest

BIG = 1 << 17  # long enough for a call to reach its first signal poll


@pytest.mark.parametrize("method", ["choices", "sample"])
def test_list_cleared_by_a_finaliser_during_the_call(method):
    # Allocating the result makes the collector due (3.11 runs it there, 3.12+ at the first poll);
    # a finaliser clears the list.
    lst, g = [None] * BIG, drawkit.Generator(3)
    draw, before, threshold = getattr(g, method), g.state(), gc.get_threshold()
    gc.disable()
    keep = [[] for _ in range(100)]  # empties the free list: the result list is a new object
    cycle = type("Clears", (), {"__del__": lambda self: lst.clear()})()
    cycle.self = cycle
    del cycle
    error = None
    try:  # nothing may allocate between enable() and the call
        gc.set_threshold(1)
        gc.enable()
        draw(lst, BIG)
    except IndexError as e:
        error = e
    finally:
        gc.set_threshold(*threshold)
        del keep
    assert str(error) == "list index out of range"
    assert lst == [] and g.state() != before  # the outputs drawn stay consumed
    g.random()


# SIGALRM comes from the kernel: a Python timer thread could not send a signal while the call
# holds the interpreter lock. Each call is retried, the alarm later each time, until it lands
# inside the draws: the state is then neither the one before nor the one after the call, which
# only a poll between two blocks can leave. A long float argument is converted before any draw:
# its rows need the state left as it was (with no poll, the call would run to its end).
INTERRUPTED = """
import signal, drawkit
signal.signal(signal.SIGALRM, signal.default_int_handler)
big, floats, buf = [None] * 4_000_000, [1.0] * 8_000_000, bytearray(1 << 27)
mean, factor = floats[:2048], floats[: 2048**2]
rows = [
    ("binomial", False, lambda g: g.binomial(10**12, 0.5)),
    ("multinomial", False, lambda g: g.multinomial(10**12, [0.5, 0.5])),
    ("shuffle", True, lambda g: g.shuffle(big)),
    ("choices", True, lambda g: g.choices(big, len(big))),
    ("fill", True, lambda g: g.fill(buf)),
    ("dirichlet", True, lambda g: g.dirichlet(floats[:2_000_000])),
    ("sample list", True, lambda g: g.sample(big, len(big))),
    ("sample range", True, lambda g: g.sample(range(10**9), 10**6)),
    ("float conversion", None, lambda g: g.systematic_resample(floats, 1)),
    ("multivariate_normal", None, lambda g: g.multivariate_normal(mean, factor)),
]
for name, runs_to_end, call in rows:
    ends = [drawkit.Generator(5).state()]
    if runs_to_end:
        call(whole := drawkit.Generator(5))
        ends.append(whole.state())
    stopped = False
    for attempt in range(20):
        g = drawkit.Generator(5)
        try:
            signal.setitimer(signal.ITIMER_REAL, 0.001 * 1.5**attempt)
            call(g)
            signal.setitimer(signal.ITIMER_REAL, 0)
        except KeyboardInterrupt:
            if runs_to_end is None:
                stopped = g.state() == ends[0]
                break
            if stopped := g.state() not in ends:
                break
    g.binomial(10, 0.5)  # the generator is free again
    if not stopped:
        print(name, "was not stopped in its draws")
print("done")
"""

# The constructors' binding copies the arguments into a vector; with the address space nearly used
# up, that allocation fails: a MemoryError (the traceback's last line), not std::terminate.
NO_MEMORY = """
import resource, struct, drawkit
args = (0,) * (1 << 22)  # 32 MiB of references (16 MiB on a 32-bit host)
status = next(line for line in open("/proc/self/status") if line.startswith("VmSize"))
vm = int(status.split()[1]) * 1024
room = len(args) * struct.calcsize("P") // 2  # half of what the copy needs
resource.setrlimit(resource.RLIMIT_AS, (vm + room, resource.RLIM_INFINITY))
drawkit.Generator(*args, x=0)
"""

LIMITABLE = pytest.mark.skipif(
    not sys.platform.startswith("linux") or "asan" in os.environ.get("LD_PRELOAD", ""),
    reason="needs /proc, and an address-space limit the sanitizer's runtime cannot live with",
)

REFUSED = "ImportError: module drawkit does not support loading in subinterpreters\n"
TESTCAPI = pytest.mark.skipif(importlib.util.find_spec("_testcapi") is None, reason="no _testcapi")
SUBINTERPRETER = """
import sys, _testcapi
print(_testcapi.run_in_subinterp(f"import sys; sys.path[:] = {sys.path!r}; import drawkit"))
import drawkit
print(drawkit.__all__)
"""


@pytest.mark.parametrize(
    "code, stdout, stderr_end",
    [
        (INTERRUPTED, "done\n", ""),
        pytest.param(NO_MEMORY, "", "\nMemoryError\n", marks=LIMITABLE),
        pytest.param(SUBINTERPRETER, "-1\n['Generator', 'Categorical']\n", REFUSED, marks=TESTCAPI),
    ],
    ids=["signal", "no-memory", "subinterpreter"],
)
def test_in_a_new_interpreter(code, stdout, stderr_end):  # of this version, importing this drawkit
    env = {**os.environ, "PYTHONPATH": os.path.dirname(drawkit.__file__)}
    done = subprocess.run(
        [sys.executable, "-c", code], capture_output=True, text=True, timeout=300, env=env
    )
    assert done.stdout == stdout and done.stderr.endswith(stderr_end), done.stderr


# beta and dirichlet at shapes whose gamma draws underflow (some or nearly all of them): most
# draws are exactly 0.0 or 1.0 where the true values are merely tiny (or 1 - tiny), which a KS
# statistic would count against them, so compare bins. A draw in which one gamma underflows gives
# 0.0 or 1.0 also for true shares below about 1e-100: the lowest edge is 1e-10.
@pytest.mark.parametrize(
    "a, draw",
    [(1e-3, lambda g: g.beta(1e-3, 1e-3)), (1e-5, lambda g: g.dirichlet([1e-5, 1e-5])[0])],
)
def test_tiny_shapes_follow_the_beta_distribution(a, draw):
    stats, np = pytest.importorskip("scipy.stats"), pytest.importorskip("numpy")
    g = drawkit.Generator(11)
    values = np.array([draw(g) for _ in range(50_000)])
    assert not np.isnan(values).any()
    edges = [0.0, 1e-10, 0.5, 1 - 1e-10, 1.0]
    expected = np.diff(stats.beta.cdf(edges, a, a)) * len(values)
    assert stats.chisquare(np.histogram(values, edges)[0], expected).pvalue > 1e-3


# Shapes so large that the gamma draws, each finite, sum past the largest double. The draws' spread
# is about 1/sqrt(shape) of their size, so each share is its mean; summing to inf made them 0.0.
@pytest.mark.parametrize(
    "draw, means",
    [
        (lambda g: [g.beta(1e308, 1e308)], [0.5]),
        (lambda g: [g.beta(1.5e308, 5e307)], [0.75]),
        (lambda g: g.dirichlet([1e307] * 20), [0.05] * 20),
        (lambda g: g.dirichlet([1e308, 1e308, 1.0]), [0.5, 0.5, 0.0]),
    ],
)
def test_shares_of_draws_whose_sum_overflows(draw, means):
    g = drawkit.Generator(13)
    for _ in range(20):
        assert draw(g) == pytest.approx(means, rel=1e-15, abs=1e-300)
