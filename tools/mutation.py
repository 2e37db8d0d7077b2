"""Killed fraction of a fixed sample of mutants, the same for every version of the suite.

The sample: SIZE mutants drawn with SEED from universalmutator's mutants of the .cpp/.hpp under
engine/src at REV (comments excepted). `run --tree TREE --label L` tests TREE unmutated (it must
pass; 3x its times are the timeouts), then each mutant (core: the C++ tests, then the Python suite;
module: the Python suite), writes TREE/build/mutation/L.json and L.log as it goes, and prints the
counts and each survivor. `sample` prints the sample; --resume keeps the results already in L.json;
a larger --size adds mutants to the default sample.
"""

import argparse
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import tomllib
from pathlib import Path

REV, SEED, SIZE, MUTATOR = "312a657", 1729, 70, "universalmutator==1.14.1"
ROOT = Path(__file__).resolve().parents[1]


def sh(*cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, **kw).stdout


def venv(path, *packages):
    if not (path / "bin/python").exists():
        sh(sh(ROOT / "scripts/find-python", "3.12", text=True).strip(), "-m", "venv", path)
    sh(path / "bin/pip", "install", "-q", "--disable-pip-version-check", *packages)
    return path / "bin"


def code(text):  # the lines of text without their comments
    return [line.split("//")[0].strip() for line in text.split("\n")]


def sample(size):  # [(file, line number, original line, mutated text)]
    mutate, candidates = venv(ROOT / "build/mutation/venv", MUTATOR) / "mutate", set()
    listing = sh("git", "-C", ROOT, "ls-tree", "-r", "--name-only", REV, "engine/src", text=True)
    files = listing.split()
    for name in [f for f in files if f.endswith((".cpp", ".hpp"))]:
        with tempfile.TemporaryDirectory() as tmp:
            Path(tmp, "src.cpp").write_bytes(sh("git", "-C", ROOT, "show", f"{REV}:{name}"))
            original = Path(tmp, "src.cpp").read_text().split("\n")
            report = sh(mutate, "src.cpp", "cpp", "--mutantDir", ".", cwd=tmp, text=True)
            for chunk in report.split("PROCESSING MUTANT: ")[1:]:
                n, written = int(chunk.split(":")[0]), chunk.split("written to ")[1].split("]")[0]
                mutant = Path(tmp, written).read_text().split("\n")
                # "break;" mutants add a line
                new = "\n".join(mutant[n - 1 : n + len(mutant) - len(original)])
                if code(original[n - 1]) not in ([""], code(new)):
                    candidates.add((name, n, original[n - 1], new))
    return sorted(random.Random(SEED).sample(sorted(candidates), size))


def stage(log, cmd, timeout=None, **kw):  # exit status of cmd, None past the timeout
    print("$", *cmd, file=log, flush=True)
    process = subprocess.Popen(
        cmd, stdout=log, stderr=subprocess.STDOUT, start_new_session=True, **kw
    )
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        return None
    finally:  # after a timeout, Ctrl-C or kill, no test process is left running
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGKILL), process.wait()


def run(tree, label, resume, size):
    out = tree / "build/mutation"
    out.mkdir(parents=True, exist_ok=True)
    project = tomllib.loads((tree / "pyproject.toml").read_text())["project"]
    python = venv(out / "venv", *project["optional-dependencies"]["test"]) / "python"
    log, path = open(out / f"{label}.log", "a"), out / f"{label}.json"
    for build, options in (("cpp", "PYTHON=OFF TESTS=ON"), ("module", "PYTHON=ON TESTS=OFF")):
        flags = "-DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER_LAUNCHER=ccache".split()
        flags += [f"-DPython_EXECUTABLE={python}"]
        flags += [f"-DDRAWKIT_BUILD_{option}" for option in options.split()]
        sh("cmake", "-S", tree, "-B", out / build, "-G", "Ninja", *flags)
    # the stubs beside the module, for the stub check
    shutil.copytree(tree / "drawkit-stubs", out / "module/drawkit-stubs", dirs_exist_ok=True)
    env = dict(
        os.environ,
        PYTHONPATH=str(out / "module"),
        CCACHE_DIR=os.environ.get("CCACHE_DIR", "/work/.ccache"),
        HYPOTHESIS_STORAGE_DIRECTORY=str(out / "hypothesis"),
    )
    pytest = [python, "-m", "pytest", "-x", "-q", "-p", "no:cacheprovider", "--hypothesis-seed=0"]
    suites = [
        ("ctest", "cpp", ["ctest", "--test-dir", out / "cpp", "--stop-on-failure", "-j2"]),
        ("pytest", "module", [*pytest, tree / "tests"]),
    ]

    def check(core, limits):  # 'no-compile', 'killed' or 'survived', and the test times
        times = {}
        for name, build, cmd in suites[not core :]:
            if stage(log, ["cmake", "--build", out / build, "-j2"], env=env) != 0:
                return "no-compile", times
            # no example saved by an earlier mutant is replayed
            shutil.rmtree(out / "hypothesis", ignore_errors=True)
            start = time.monotonic()
            status = stage(log, cmd, limits.get(name), env=env, cwd=tree / "tests")
            times[name] = round(time.monotonic() - start, 1)
            if status != 0:
                return "killed", times
        return "survived", times

    status, baseline = check(True, {})
    if status != "survived":
        sys.exit(f"the unmutated tree does not pass its tests ({status}): see {log.name}")
    results = json.loads(path.read_text())["mutants"] if resume and path.exists() else []
    done = [r["mutant"] for r in results]
    for name, n, original, new in [m for m in sample(size) if list(m) not in done]:
        print(f"### {name}:{n}: {original.strip()} -> {new.strip()}", file=log)
        raw = (tree / name).read_bytes()
        lines = raw.decode().split("\n")
        # the line may have moved
        near = sorted((abs(i - n + 1), i) for i, line in enumerate(lines) if line == original)
        status, times = "gone", {}
        try:
            if near:
                lines[near[0][1]] = new
                (tree / name).write_text("\n".join(lines))
                limits = {k: 3 * t + 10 for k, t in baseline.items()}
                status, times = check(not name.startswith("engine/src/lib/"), limits)
        finally:
            (tree / name).write_bytes(raw)
        results.append(dict(mutant=[name, n, original, new], status=status, times=times))
        path.write_text(json.dumps(dict(baseline=baseline, mutants=results), indent=1))
        print(f"{len(results)}/{size} {status:10} {name}:{n} {times}", flush=True)
    statuses = ("no-compile", "gone", "killed", "survived")
    count = {s: sum(r["status"] == s for r in results) for s in statuses}
    killed, compiled = count["killed"], count["killed"] + count["survived"]
    print(
        f"sample {len(results)}:",
        ", ".join(f"{s} {c}" for s, c in count.items()),
        f"; killed {killed}/{compiled} = {killed / max(compiled, 1):.3f}",
    )
    for name, n, original, new in [r["mutant"] for r in results if r["status"] == "survived"]:
        print(f"  {name}:{n} `{original.strip()}` -> `{new.strip()}`")


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # a kill, too, restores the file
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("command", choices=("sample", "run"))
    parser.add_argument("--tree", type=lambda t: Path(t).resolve(), default=ROOT)
    parser.add_argument("--label", default="mutants")
    parser.add_argument("--resume", action="store_true")
    parser.add_argument("--size", type=int, default=SIZE)
    args = parser.parse_args()
    if args.command == "sample":
        print(*(f"{f}:{n} `{old}` -> `{new}`" for f, n, old, new in sample(args.size)), sep="\n")
    else:
        run(args.tree, args.label, args.resume, args.size)
