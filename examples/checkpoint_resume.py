"""Checkpoint a generator to JSON mid-pair and resume it exactly.

normal() draws Gaussian values in pairs and keeps the second one pending; state() carries that
pending value as its fifth element, so a checkpoint taken between the two halves of a pair
resumes with the very value the original would have returned next.
"""

from __future__ import annotations

import json
import tempfile
from pathlib import Path

import drawkit


def main() -> None:
    g = drawkit.Generator(99)
    first = g.normal(0.0, 1.0)  # draws a pair; the second value is now pending
    state = g.state()
    assert state[4] is not None

    path = Path(tempfile.mkdtemp()) / "checkpoint.json"
    path.write_text(json.dumps({"rng": state, "step": 1}))

    continued = [g.normal(0.0, 1.0) for _ in range(5)]

    saved = json.loads(path.read_text())
    resumed = drawkit.Generator.from_state(
        tuple(saved["rng"])
    )  # JSON gives a list: make it a tuple
    replay = [resumed.normal(0.0, 1.0) for _ in range(5)]

    assert replay == continued, "the resumed stream must match, pending normal first"
    print(
        f"first {first:.6f}; pending {state[4]:.6f}; "
        f"resumed stream identical: {replay == continued}"
    )


if __name__ == "__main__":
    main()
