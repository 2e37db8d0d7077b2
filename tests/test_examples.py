"""Every example under examples/ runs to completion and prints what it promises."""

import subprocess
import sys
from pathlib import Path

import pytest

EXAMPLES = Path(__file__).resolve().parent.parent / "examples"


@pytest.mark.parametrize(
    "script, expect",
    [
        ("quickstart.py", "resumed exactly"),
        ("particle_filter.py", "systematic resampling: RMSE"),
        ("metropolis.py", "acceptance"),
        ("bootstrap_ci.py", "95% CI"),
        ("parallel_workers.py", "parallel == serial: True"),
        ("checkpoint_resume.py", "resumed stream identical: True"),
    ],
)
def test_example_runs(script, expect):
    out = subprocess.run([sys.executable, str(EXAMPLES / script)], capture_output=True, text=True, timeout=300)
    assert out.returncode == 0, out.stderr
    assert expect in out.stdout


def test_examples_give_sensible_answers():
    sys.path.insert(0, str(EXAMPLES))
    try:
        import bootstrap_ci
        import metropolis
        import particle_filter
    finally:
        sys.path.pop(0)
    assert particle_filter.run(steps=20, n=200) < 1.0
    chain, rate = metropolis.sample(steps=5000)
    assert 0.2 < rate < 0.6
    tail = chain[1000:]
    assert abs(sum(p[0] for p in tail) / len(tail) - 1.0) < 0.3
    lo, hi = bootstrap_ci.bootstrap_median_ci([float(i) for i in range(101)], replicates=400)
    assert lo < 50.0 < hi
