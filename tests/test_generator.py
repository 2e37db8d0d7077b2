"""Construction, state export and restore, jump, split and spawn."""

import json

import pytest

import drawkit
from conftest import SEED0_STATE, raises_with_note

CHILD1 = (18367075165535767938, 16958246640038696355, 535696466813022735, 12729174445987518331, None)
CHILD2 = (12826832944389168829, 3508894013355267804, 12642223549730584118, 10944077767975835147, None)
PARENT_AFTER_SPLIT2 = (2637193870743929500, 17766951321934472812, 17745616981276139505, 11704268411617192928)


def test_seed_zero_state_and_first_step():
    g = drawkit.Generator(0)
    assert g.state() == SEED0_STATE
    g.random()
    assert g.state() == (8418229340007311799, 9987976044988984596, 15578433054471653600, 13583721647463488126, None)


def test_seed_keyword_bool_and_index():
    class Index:
        def __index__(self):
            return 7

    assert drawkit.Generator(seed=7).state() == drawkit.Generator(7).state()
    assert drawkit.Generator(True).state() == drawkit.Generator(1).state()
    assert drawkit.Generator(Index()).state() == drawkit.Generator(7).state()
    assert drawkit.Generator(2**64 - 1).state()[:4] == (
        0xE4D971771B652C20, 0xE99FF867DBF682C9, 0x382FF84CB27281E9, 0x6D1DB36CCBA982D2)


@pytest.mark.parametrize("seed, exc", [(-1, OverflowError), (2**64, OverflowError), (1.0, TypeError), ("1", TypeError)])
def test_bad_seeds(seed, exc):
    with raises_with_note(exc, None, "seed"):
        drawkit.Generator(seed)


def test_constructor_binding_messages():
    with pytest.raises(TypeError, match=r"^Generator.__new__\(\) missing 1 required positional argument: 'seed'$"):
        drawkit.Generator()
    with pytest.raises(TypeError, match=r"^Generator.__new__\(\) takes 1 positional arguments but 2 were given$"):
        drawkit.Generator(1, 2)
    with pytest.raises(TypeError, match=r"^Generator.__new__\(\) got an unexpected keyword argument 'sed'$"):
        drawkit.Generator(sed=1)
    with pytest.raises(TypeError, match=r"^Generator.__new__\(\) got multiple values for argument 'seed'$"):
        drawkit.Generator(1, seed=1)


def test_state_reading_changes_nothing():
    a, b = drawkit.Generator(3), drawkit.Generator(3)
    for _ in range(5):
        a.state()
    assert [a.random() for _ in range(3)] == [b.random() for _ in range(3)]


def test_state_round_trip_through_json():
    g = drawkit.Generator(11)
    g.random()
    text = json.dumps(g.state())
    restored = drawkit.Generator.from_state(tuple(json.loads(text)))
    assert [restored.random() for _ in range(4)] == [g.random() for _ in range(4)]
    with raises_with_note(TypeError, "'list' object is not an instance of 'tuple'", "state"):
        drawkit.Generator.from_state(json.loads(text))


def test_from_state_accepts_tuple_subclass_and_converts_the_cached_normal():
    class T(tuple):
        pass

    assert drawkit.Generator.from_state(T((1, 2, 3, 4, None))).state() == (1, 2, 3, 4, None)
    assert drawkit.Generator.from_state((1, 2, 3, 4, 0)).state() == (1, 2, 3, 4, 0.0)
    s = drawkit.Generator.from_state((1, 2, 3, 4, -0.0)).state()
    assert str(s[4]) == "-0.0"
    assert drawkit.Generator.from_state(state=(True, 2, 3, 4, None)).state()[0] == 1


@pytest.mark.parametrize(
    "state, exc, message",
    [
        ((1, 2, 3), ValueError, "expected tuple of length 5, but got tuple of length 3"),
        ((1, 2, 3, 4, None, 6), ValueError, "expected tuple of length 5, but got tuple of length 6"),
        ((-1, 2, 3, 4, None), OverflowError, None),
        ((1, 2, 3, 2**64, None), OverflowError, None),
        ((1, 2.0, 3, 4, None), TypeError, None),
        ((1, 2, 3, 4, "x"), TypeError, None),
        ([1, 2, 3, 4, None], TypeError, "'list' object is not an instance of 'tuple'"),
        (None, TypeError, "'None' is not an instance of 'tuple'"),
    ],
)
def test_from_state_failures_carry_the_note(state, exc, message):
    with raises_with_note(exc, message, "state"):
        drawkit.Generator.from_state(state)


@pytest.mark.parametrize("value", [float("nan"), float("inf"), float("-inf")])
def test_from_state_rejects_a_non_finite_cached_normal(value):
    with pytest.raises(ValueError) as info:
        drawkit.Generator.from_state((1, 2, 3, 4, value))
    assert str(info.value) == "from_state()'s cached-normal value must be finite (not NaN or infinite)"
    assert not getattr(info.value, "__notes__", None)


def test_all_zero_state_is_accepted():
    g = drawkit.Generator.from_state((0, 0, 0, 0, None))
    assert [g.random() for _ in range(3)] == [0.0, 0.0, 0.0]
    g.jump()
    assert g.state() == (0, 0, 0, 0, None)


def test_jump_split_spawn_reference_states():
    g = drawkit.Generator(0)
    g.jump()
    assert g.state() == CHILD1

    g = drawkit.Generator(0)
    children = g.split(2)
    assert [c.state() for c in children] == [CHILD1, CHILD2]
    assert g.state()[:4] == PARENT_AFTER_SPLIT2

    g = drawkit.Generator(0)
    child = g.spawn()
    assert isinstance(child, drawkit.Generator)
    assert child.state() == CHILD1 and g.state() == CHILD2

    g = drawkit.Generator(0)
    assert g.split(0) == [] and g.state() == CHILD1
    assert drawkit.Generator(0).split(n=1)[0].state() == CHILD1


def test_stream_operations_keep_the_pending_normal():
    g = drawkit.Generator.from_state(SEED0_STATE[:4] + (1.5,))
    g.jump()
    assert g.state() == CHILD1[:4] + (1.5,)
    children = g.split(3)
    assert g.state()[4] == 1.5 and all(c.state()[4] is None for c in children)
    assert g.spawn().state()[4] is None and g.state()[4] == 1.5


def test_split_of_impossible_size_leaves_the_parent_unchanged():
    g = drawkit.Generator(0)
    with pytest.raises(MemoryError):
        g.split(2**62)
    with pytest.raises(MemoryError):
        g.split(2**64 - 1)
    assert g.state() == SEED0_STATE
    with raises_with_note(OverflowError, None, "n"):
        g.split(-1)
    assert g.state() == SEED0_STATE


def test_lifecycle_methods_take_no_arguments():
    g = drawkit.Generator(0)
    for name in ("state", "random", "jump", "spawn"):
        with pytest.raises(TypeError):
            getattr(g, name)(1)
    assert g.state() == SEED0_STATE
