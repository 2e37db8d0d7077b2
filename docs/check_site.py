"""Checks of the built site that Sphinx cannot make itself.

    python docs/check_site.py build/docs/html [--browser]

- Internal links: every relative href and src of every page points to a file of the site, and a
  #fragment to an id on the target page. External links are counted but never fetched.
- With --browser, the site in headless Chromium: the index and the API page render (their
  screenshots are kept in build/docs/screenshots for a person to look at), and the search page,
  run by the browser's own JavaScript, finds "poisson" on the API page.
"""

from __future__ import annotations

import shutil
import subprocess
import sys
from html.parser import HTMLParser
from pathlib import Path
from urllib.parse import unquote, urlsplit


class Page(HTMLParser):
    """The ids a page defines and the links it makes."""

    def __init__(self) -> None:
        super().__init__()
        self.ids: set[str] = set()
        self.links: list[str] = []

    def handle_starttag(self, tag: str, attrs: list[tuple[str, str | None]]) -> None:
        for name, value in attrs:
            if value is None:
                continue
            if name in ("id", "name"):
                self.ids.add(value)
            elif name == "href" or (name == "src" and tag in ("img", "script")):
                self.links.append(value)


def parse(path: Path) -> Page:
    page = Page()
    page.feed(path.read_text(encoding="utf-8"))
    return page


def check_links(site: Path) -> list[str]:
    pages = {path: parse(path) for path in sorted(site.rglob("*.html"))}
    broken, external = [], 0
    for path, page in pages.items():
        for link in page.links:
            parts = urlsplit(link)
            if parts.scheme or parts.netloc:
                external += 1
                continue
            target = (path.parent / unquote(parts.path)).resolve() if parts.path else path
            where = f"{path.relative_to(site)}: {link}"
            if not target.is_file():
                broken.append(f"{where} (no such file)")
            elif parts.fragment and target.suffix == ".html":
                ids = pages[target].ids if target in pages else parse(target).ids
                if unquote(parts.fragment) not in ids:
                    broken.append(f"{where} (no such anchor)")
    count = sum(len(p.links) for p in pages.values())
    print(f"links: {count} in {len(pages)} pages, {external} external (not fetched)")
    return broken


def chromium(*args: str) -> str:
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if browser is None:
        sys.exit("headless check: chromium is not installed (apt-get install chromium)")
    # --no-sandbox: CI runs as root, where Chromium's sandbox refuses to start.
    command = [browser, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars", *args]
    done = subprocess.run(command, capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        sys.exit(f"chromium failed:\n{done.stderr}")
    return done.stdout


def check_browser(site: Path, shots: Path) -> list[str]:
    problems = []
    shots.mkdir(parents=True, exist_ok=True)
    # Each page must render its own content once its scripts have run, and paint it.
    for name, expected in [("index", "Getting started"), ("api", "systematic_resample")]:
        url = (site / f"{name}.html").as_uri()
        dom = chromium("--virtual-time-budget=5000", "--dump-dom", url)
        if expected not in dom:
            problems.append(f"{name}.html: the rendered page lacks {expected!r}")
        shot = shots / f"{name}.png"
        shot.unlink(missing_ok=True)
        chromium(
            "--window-size=1280,1400", "--virtual-time-budget=5000", f"--screenshot={shot}", url
        )
        # A blank page compresses to a few kilobytes; a page of text does not.
        if not shot.is_file() or shot.stat().st_size < 30_000:
            problems.append(f"{name}.html: no screenshot, or a blank one ({shot})")
    # The search page runs its query in the browser: the results are links the script adds.
    search = (site / "search.html").as_uri() + "?q=poisson"
    page = Page()
    page.feed(chromium("--virtual-time-budget=15000", "--dump-dom", search))
    if not any(link.startswith("api.html#") and "poisson" in link for link in page.links):
        problems.append("search.html?q=poisson: no result links to the API page's poisson")
    if not problems:
        print(f"browser: index and API page render (screenshots in {shots}); search finds poisson")
    return problems


def main() -> None:
    site = Path(sys.argv[1]).resolve()
    problems = check_links(site)
    if "--browser" in sys.argv[2:]:
        problems += check_browser(site, site.parent / "screenshots")
    if problems:
        sys.exit("\n".join(["site check failed:", *problems]))


if __name__ == "__main__":
    main()
