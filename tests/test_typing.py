"""The shipped stubs match the runtime module, and the examples type-check against them."""

import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent

pytest.importorskip("mypy")


def run(*args):
    return subprocess.run([sys.executable, "-m", *args], capture_output=True, text=True, cwd=ROOT, timeout=600)


def test_stubtest_is_clean():
    out = run("mypy.stubtest", "drawkit")
    assert out.returncode == 0, out.stdout + out.stderr


def test_examples_type_check_strictly():
    out = run("mypy", "--strict", "--no-incremental", "examples")
    assert out.returncode == 0, out.stdout + out.stderr
