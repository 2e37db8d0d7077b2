"""User objects the transcript (and the fuzz test) pass to drawkit: numbers that convert themselves
and run code first, sequences that record their reads or lie about their length, subclasses of the
built-in types, and an object whose class cannot be read."""

import collections.abc
import gc


class Boom(Exception):
    """The user's own exception, which a call must let through unchanged."""


def boom():
    raise Boom("boom")


class Converts:
    """Converts to `value`, running `callback` first (it may draw, or raise)."""

    def __init__(self, value, callback=None):
        self.value, self.callback = value, callback

    def convert(self):
        if self.callback:
            self.callback()
        return self.value


class FloatLike(Converts):
    __float__ = Converts.convert


class IndexLike(Converts):
    __index__ = Converts.convert


class FloatSubclass(float):
    """Read as the float it is: its __float__ is never called."""

    def __float__(self):
        boom()


class IntSubclass(int):
    """Read as the int it is: its __index__ is never called."""

    def __index__(self):
        boom()


class SpySequence(collections.abc.Sequence):
    """Records the indices asked for, runs `callback` on each read, refuses the read number `fail`;
    reports `length` (if given) as its length, running `on_len` first."""

    def __init__(self, items, callback=None, fail=None, length=None, on_len=None):
        self.items, self.callback, self.fail, self.reads = items, callback, fail, []
        self.length = len(items) if length is None else length
        self.on_len = on_len

    def __len__(self):
        if self.on_len:
            self.on_len()
        return self.length

    def __getitem__(self, i):
        self.reads.append(i)
        if len(self.reads) - 1 == self.fail:
            raise LookupError("item refused")
        if self.callback:
            self.callback()
        return self.items[i]


class RegisteredSequence:
    """A Sequence by registration, not by derivation."""

    def __init__(self, items):
        self.items = items

    def __len__(self):
        return len(self.items)

    def __getitem__(self, i):
        return self.items[i]


collections.abc.Sequence.register(RegisteredSequence)


class ListReadTenfold(list):
    """A list subclass whose items read ten times larger: a draw must read through __getitem__."""

    def __getitem__(self, i):
        return list.__getitem__(self, i) * 10


class ListRaising(list):
    """A list subclass whose overrides raise: shuffle works on the list itself."""

    def refuse(self, *args):
        boom()

    __len__ = __getitem__ = __setitem__ = refuse


class TupleOfLength5(tuple):
    def __len__(self):
        return 5


class BytearraySubclass(bytearray):
    pass


class ClassRaises:
    """isinstance() raises on it."""

    @property
    def __class__(self):
        boom()


class Outer:
    class Inner:
        pass


class Token(int):
    """An item whose identity can be followed through a draw: it shows as "t<n>"."""

    def __repr__(self):
        return f"t{int(self)}"


TOKENS = [Token(i) for i in range(10)]


def copy_lists():
    """Copies every list alive: a half-made result list would fail to copy or show its holes."""
    return [list(x) for x in gc.get_objects() if type(x) is list]


def catch(f):
    try:
        return f()
    except Exception as e:
        return e
