"""Sphinx configuration of the drawkit documentation site.

The API pages are generated from the installed module's docstrings and text signatures, so the
site documents the build it was made with; scripts/docs installs the project into its own
environment before building.
"""

import doctest
import importlib.metadata
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent / "_ext"))

project = "drawkit"
author = "the drawkit developers"
copyright = "the drawkit developers"
release = importlib.metadata.version("drawkit")
version = release

extensions = [
    "myst_parser",
    "sphinx.ext.autodoc",
    "sphinx.ext.doctest",
    "drawkit_docs",
]
source_suffix = {".md": "markdown"}
# benchmark.md is included by the performance page, not a page of its own; _ext holds code.
exclude_patterns = ["benchmark.md", "_ext", "_build"]

# Every cross-reference must resolve; a broken one fails the build (run with -W).
nitpicky = True
myst_heading_anchors = 3

# Members appear in the order the API page lists them, and signatures come from the extension's
# own text signatures; there are no type hints in a compiled module to show.
autodoc_member_order = "bysource"
autodoc_typehints = "none"

# Every example on the site runs under the doctest builder. Exception messages are compared in
# full: they are part of what a page shows.
doctest_global_setup = "import drawkit"
doctest_default_flags = doctest.ELLIPSIS | doctest.DONT_ACCEPT_TRUE_FOR_1

html_theme = "furo"
html_title = f"drawkit {release}"
html_static_path: list[str] = []
