"""Local Sphinx extension of the drawkit site: sections reused from the README, and the guards that
keep the site honest.

- `repo-section`: includes one `##` section of a Markdown file of the repository (README.md,
  CHANGELOG.md), so the text the repository shows and the text the site shows are one text.
  Links to repository files become links to the site's own pages (or plain text where the site
  has no page), and Python code blocks become `testcode` blocks, so that they run under the
  doctest builder like every other example.
- Every Python code block on the site must run: a block that is neither a doctest directive nor a
  literal include of a tested example file fails the build (as a warning, under -W).
- Every public method of `Generator` and `Categorical` must appear in the API reference: one added
  to the module and not to the page fails the build.
- Every documented class and method must show its parameters, from its text signature.
"""

from __future__ import annotations

import re
from pathlib import Path

from docutils import nodes
from docutils.statemachine import StringList
from sphinx.application import Sphinx
from sphinx.util import logging
from sphinx.util.docutils import SphinxDirective

logger = logging.getLogger(__name__)

ROOT = Path(__file__).resolve().parents[2]

# Repository files the README links to, and the site page that holds the same content.
SITE_PAGE_OF = {
    "CHANGELOG.md": "changelog.md",
    "docs/benchmark.md": "performance.md",
    "docs/benchmark.png": "benchmark.png",
}
MARKDOWN_LINK = re.compile(r"(!?)\[([^\]]*)\]\(([^)\s]+)\)")
PYTHON_FENCE = re.compile(r"^```(?:python|py)\s*$", re.MULTILINE)
INLINE_CODE = re.compile(r"(`[^`]*`)")
PROSE_POWER = re.compile(r"(?<=[\w)])\*\*(?=[\w(-])")
# Literal blocks marked as Python. An unmarked block (a docstring's `::`) counts as Python when it
# holds a prompt: it may as well be C, and a C snippet has nothing to run.
PYTHON = {"python", "python3", "py", "pycon", "ipython"}


def site_markdown(text: str) -> str:
    """Repository Markdown as the site shows it: links retargeted, Python blocks made runnable."""

    def retarget(match: re.Match[str]) -> str:
        bang, label, target = match.groups()
        if "://" in target or target.startswith("#"):
            return match.group(0)
        page = SITE_PAGE_OF.get(target)
        if page is not None:
            return f"{bang}[{label}]({page})"
        return label  # a repository file the site does not publish: keep the words only

    return PYTHON_FENCE.sub("```{testcode}", MARKDOWN_LINK.sub(retarget, literal_powers(text)))


def literal_powers(text: str) -> str:
    """Escapes the `**` of powers written in prose (2**64), which Markdown reads as bold."""
    lines, in_fence = [], False
    for line in text.splitlines():
        if line.startswith("```"):
            in_fence = not in_fence
        elif not in_fence:
            # Odd pieces are inline code, where a backslash would show: leave them as they are.
            pieces = INLINE_CODE.split(line)
            pieces[::2] = [PROSE_POWER.sub(r"\\*\\*", piece) for piece in pieces[::2]]
            line = "".join(pieces)
        lines.append(line)
    return "\n".join(lines)


def repo_section(path: Path, title: str) -> list[str] | None:
    """The lines of the file's `## title` section, without its heading; None if absent."""
    lines = path.read_text(encoding="utf-8").splitlines()
    try:
        start = lines.index(f"## {title}") + 1
    except ValueError:
        return None
    end = next(
        (i for i in range(start, len(lines)) if re.match(r"#{1,2} ", lines[i])),
        len(lines),
    )
    return lines[start:end]


class RepoSection(SphinxDirective):
    required_arguments = 2
    final_argument_whitespace = True

    def run(self) -> list[nodes.Node]:
        path, title = ROOT / self.arguments[0], self.arguments[1]
        self.env.note_dependency(str(path))
        lines = repo_section(path, title)
        if lines is None:
            raise self.error(f"{self.arguments[0]} has no section '## {title}'")
        text = site_markdown("\n".join(lines))
        container = nodes.container()
        self.state.nested_parse(StringList(text.splitlines(), source=str(path)), 0, container)
        return container.children


def check_examples_run(app: Sphinx, doctree: nodes.document) -> None:
    for block in doctree.findall(nodes.literal_block):
        language = block.get("language")
        python = language in PYTHON or (language in (None, "default") and ">>>" in block.astext())
        if "testnodetype" in block or not python:
            continue
        source = block.get("source", "")
        if source.startswith(str(ROOT / "examples")):
            continue  # an example program: tests/test_examples.py runs it
        logger.warning(
            "a Python code block that no test runs: make it a doctest or testcode block",
            location=block,
        )


def check_api_complete(app: Sphinx, env) -> None:
    import drawkit

    documented = set(env.get_domain("py").objects)
    for cls in (drawkit.Generator, drawkit.Categorical):
        for member in dir(cls):
            name = f"drawkit.{cls.__name__}.{member}"
            if not member.startswith("_") and name not in documented:
                logger.warning(f"{name} is missing from the API reference")


def check_signature(app: Sphinx, what: str, name: str, obj, options, signature, annotation) -> None:
    # A compiled method shows its parameters only through its text signature; without one the
    # page would show a bare name, and the parameters would have to be typed in by hand.
    if what in ("class", "method", "function") and signature is None:
        logger.warning(f"{name} has no text signature: its parameters would not show")


def setup(app: Sphinx) -> dict[str, object]:
    app.add_directive("repo-section", RepoSection)
    app.connect("doctree-read", check_examples_run)
    app.connect("env-check-consistency", check_api_complete)
    app.connect("autodoc-process-signature", check_signature)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
