"""drawkit from compiled code: the same stream, bit for bit, on the same Generator objects.

- C, C++ and Cython: ``#include "drawkit.h"`` (``cimport drawkit_capi`` in Cython), with
  ``get_include()`` on the compiler's include path; see the header for the rules.
- ctypes and Numba: ``with borrowed(g) as h:`` holds ``g`` for the block and gives the
  borrow's address ``h``, which every function of ``drawkit_capi.cfuncs`` takes first
  (``addresses`` has the same functions' addresses, for cffi).
- C++ without Python: the CMake package ``drawkit`` (target ``drawkit::core``), found with
  ``-Ddrawkit_DIR=$(python -c "import drawkit_capi; print(drawkit_capi.get_cmake_dir())")``
  or with ``CMAKE_PREFIX_PATH`` set to the environment's prefix.
"""

from __future__ import annotations

from collections.abc import Iterator
from contextlib import contextmanager
from pathlib import Path

from . import _capi

__all__ = ["addresses", "borrowed", "get_cmake_dir", "get_include", "table"]

#: The address of error() and of every draw of drawkit.h by name, for cffi and other callers
#: of C function pointers (cfuncs wraps them for ctypes and Numba).
addresses: dict[str, int] = _capi.addresses


def get_include() -> str:
    """The folder of drawkit.h and of the Cython declarations beside it."""
    return str(Path(__file__).parent)


def get_cmake_dir() -> str:
    """The folder of drawkitConfig.cmake, the CMake package of the C++ core."""
    import sysconfig  # here, not at import: the C API's users need neither
    from importlib import metadata

    try:
        files = metadata.distribution("drawkit").files or []
    except metadata.PackageNotFoundError:
        files = []
    for f in files:
        if f.name == "drawkitConfig.cmake":
            return str(Path(f.locate()).resolve().parent)
    return str(Path(sysconfig.get_path("data")) / "lib" / "cmake" / "drawkit")


@contextmanager
def borrowed(generator: object) -> Iterator[int]:
    """Holds ``generator`` for the block, as one of its methods holds it for a call, and
    gives the borrow's address for the functions of ``drawkit_capi.cfuncs``. Python calls on
    the generator raise "Already borrowed" until the block ends; a draw that recorded an
    error (invalid parameters) raises its ValueError when the block ends."""
    address = _capi.borrow(generator)
    try:
        yield address
    finally:
        _capi.release(address)


def table(categorical: object) -> int:
    """The address of a ``drawkit.Categorical``'s table for ``cfuncs.categorical``, valid
    while the object lives."""
    return _capi.table(categorical)
