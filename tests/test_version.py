import importlib.metadata

import drawkit


def test_version_is_the_installed_distribution_version():
    assert drawkit.__version__ == importlib.metadata.version("drawkit")
