import importlib.metadata
import pathlib
import tomllib

import drawkit


def test_version_is_the_package_version_from_pyproject():
    with open(pathlib.Path(__file__).parents[1] / "pyproject.toml", "rb") as f:
        version = tomllib.load(f)["project"]["version"]
    assert drawkit.__version__ == version
    try:
        installed = importlib.metadata.version("drawkit")
    except importlib.metadata.PackageNotFoundError:  # a build copied in by hand (scripts/sanitize)
        installed = version
    assert installed == version
