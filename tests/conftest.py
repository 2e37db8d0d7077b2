"""Shared helpers for the drawkit test-suite."""

import struct

import pytest

import drawkit

SEED0_STATE = (16294208416658607535, 7960286522194355700, 487617019471545679, 17909611376780542444, None)


def bits(x: float) -> int:
    """The IEEE-754 bit pattern of a float, for exact comparisons."""
    return struct.unpack("<Q", struct.pack("<d", x))[0]


def from_bits(b: int) -> float:
    return struct.unpack("<d", struct.pack("<Q", b))[0]


def advanced(seed_or_state, outputs: int) -> tuple:
    """The state of a generator after `outputs` engine outputs (cached normal untouched)."""
    if isinstance(seed_or_state, tuple):
        g = drawkit.Generator.from_state(seed_or_state)
    else:
        g = drawkit.Generator(seed_or_state)
    cached = g.state()[4]
    bulk = bytearray(8 * outputs)
    g.fill(bulk)
    return g.state()[:4] + (cached,)


def raises_with_note(exc_type, message, parameter):
    """Context manager: `exc_type` whose str is `message` (if given) and whose notes name `parameter`."""

    class _Check:
        def __enter__(self):
            self._ctx = pytest.raises(exc_type)
            self._info = self._ctx.__enter__()
            return self._info

        def __exit__(self, *exc):
            handled = self._ctx.__exit__(*exc)
            if handled:
                err = self._info.value
                if message is not None:
                    assert str(err) == message
                assert f"while processing '{parameter}'" in getattr(err, "__notes__", [])
            return handled

    return _Check()


@pytest.fixture
def g0():
    """A fresh generator seeded with 0."""
    return drawkit.Generator(0)
