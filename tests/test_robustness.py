"""Robustness: Python code run in the middle of a call, signals, memory exhaustion and
subinterpreters, and valid parameters at the edge of the floating-point range."""

import gc
import sys

import pytest

import drawkit

BIG = 1 << 17  # long enough for a call to reach its first signal poll


@pytest.mark.skipif(sys.version_info >= (3, 12), reason="the collector runs at a poll there")
@pytest.mark.parametrize("method", ["choices", "sample"])
def test_list_cleared_by_a_finaliser_during_the_call(method):
    # Allocating the result list makes the collector due (3.11 runs it there, 3.12+ at the
    # call's first poll); a finaliser then clears the list being read.
    lst, g = [None] * BIG, drawkit.Generator(3)
    draw, before, threshold = getattr(g, method), g.state(), gc.get_threshold()

    class Clears:
        def __del__(self):
            lst.clear()

    gc.disable()
    spare_lists = [[] for _ in range(100)]  # empties the free list: the result list is a new object
    cycle = Clears()
    cycle.self = cycle
    del cycle
    error = None
    try:  # nothing may allocate between enable() and the call
        gc.set_threshold(1)
        gc.enable()
        draw(lst, BIG)
    except IndexError as e:
        error = e
    finally:
        gc.set_threshold(*threshold)
    assert str(error) == "list index out of range"
    assert lst == [] and g.state() != before  # the outputs drawn stay consumed
    g.random()
