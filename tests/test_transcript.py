"""The transcript of the Python surface matches the committed one, line for line."""

from pathlib import Path

import transcript


def test_transcript_matches_the_golden_file():
    assert transcript.main(["--check", str(Path(__file__).parent / "golden" / "python.txt")]) == 0
