"""The module object, the two types and their documented signatures."""

import inspect
import weakref

import pytest

import drawkit

GENERATOR_SIGNATURES = {
    "state": "state($self)",
    "from_state": "from_state(state)",
    "random": "random($self)",
    "uniform": "uniform($self, low, high)",
    "normal": "normal($self, loc, scale)",
    "exponential": "exponential($self, scale)",
    "bernoulli": "bernoulli($self, p)",
    "integers": "integers($self, low, high)",
    "fill": "fill($self, buf)",
    "choice": "choice($self, seq)",
    "choices": "choices($self, seq, k)",
    "bootstrap_indices": "bootstrap_indices($self, n)",
    "systematic_resample": "systematic_resample($self, weights, n)",
    "shuffle": "shuffle($self, seq)",
    "permutation": "permutation($self, n)",
    "sample": "sample($self, seq, k)",
    "multivariate_normal": "multivariate_normal($self, mean, cholesky_factor)",
    "dirichlet": "dirichlet($self, alpha)",
    "multinomial": "multinomial($self, n, probs)",
    "gamma": "gamma($self, shape, scale)",
    "beta": "beta($self, a, b)",
    "chisquare": "chisquare($self, df)",
    "student_t": "student_t($self, df)",
    "cauchy": "cauchy($self, loc, scale)",
    "laplace": "laplace($self, loc, scale)",
    "lognormal": "lognormal($self, mean, sigma)",
    "geometric": "geometric($self, p)",
    "binomial": "binomial($self, n, p)",
    "poisson": "poisson($self, lam)",
    "jump": "jump($self)",
    "spawn": "spawn($self)",
    "split": "split($self, n)",
}


def test_module_contents():
    assert drawkit.__all__ == ["Generator", "Categorical"]
    assert drawkit.__doc__ == ""
    public = {name for name in vars(drawkit) if not name.startswith("__")}
    assert public == {"Generator", "Categorical"}
    assert not any(callable(v) and not isinstance(v, type) for v in vars(drawkit).values())


@pytest.mark.parametrize("cls, name", [(drawkit.Generator, "Generator"), (drawkit.Categorical, "Categorical")])
def test_type_properties(cls, name):
    assert cls.__name__ == name
    assert cls.__module__ == "builtins"
    assert repr(cls) == f"<class 'builtins.{name}'>"
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


def test_instances_have_no_dict_and_no_weakref():
    g = drawkit.Generator(1)
    with pytest.raises(AttributeError):
        g.x = 1
    with pytest.raises(TypeError):
        weakref.ref(g)
    assert repr(g).startswith("<builtins.Generator object at 0x")
    assert g != drawkit.Generator(1) and g == g


def test_method_list_order_and_signature_lines():
    methods = [name for name, v in vars(drawkit.Generator).items() if not name.startswith("__")]
    assert methods == list(GENERATOR_SIGNATURES)
    for name, line in GENERATOR_SIGNATURES.items():
        method = getattr(drawkit.Generator, name)
        # The host splits the internal docstring "line\n--\n\nprose" into the two attributes.
        assert name + method.__text_signature__ == line, name
        assert method.__doc__.strip(), f"{name} has no prose"


def test_inspect_signatures():
    assert str(inspect.signature(drawkit.Generator)) == "(seed)"
    assert str(inspect.signature(drawkit.Categorical)) == "(weights)"
    assert str(inspect.signature(drawkit.Generator.uniform)) == "(self, /, low, high)"
    assert str(inspect.signature(drawkit.Generator(0).uniform)) == "(low, high)"
    assert str(inspect.signature(drawkit.Generator.from_state)) == "(state)"
    assert str(inspect.signature(drawkit.Categorical.sample)) == "(self, /, rng)"
    for name in GENERATOR_SIGNATURES:
        params = inspect.signature(getattr(drawkit.Generator(0), name)).parameters.values()
        assert all(p.kind is p.POSITIONAL_OR_KEYWORD and p.default is p.empty for p in params), name


def test_from_state_is_static():
    assert isinstance(vars(drawkit.Generator)["from_state"], staticmethod)
    state = drawkit.Generator(5).state()
    assert drawkit.Generator(9).from_state(state).state() == state


def test_type_docstrings():
    assert drawkit.Generator.__text_signature__ == "(seed)"
    assert drawkit.Categorical.__text_signature__ == "(weights)"
    assert "single value" in drawkit.Generator.__doc__
    assert drawkit.Categorical.__doc__.strip()
    quoted = {
        "random": "Returns a random float in [0, 1).",
        "uniform": "Returns a random float in [low, high).",
        "bernoulli": "Returns True with probability p, and False otherwise.",
        "integers": "Returns a random integer in [low, high).",
    }
    for name, text in quoted.items():
        assert getattr(drawkit.Generator, name).__doc__.startswith(text)


def test_import_twice_reuses_types():
    import importlib.util
    import sys

    spec = importlib.util.find_spec("drawkit")
    second = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(second)
    assert second.Generator is drawkit.Generator
    assert second.__all__ == ["Generator", "Categorical"]
    assert sys.modules["drawkit"] is drawkit
