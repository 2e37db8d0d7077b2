"""Every distribution and sampling method against its law.

One table: a draw and its law, as a SciPy distribution (Kolmogorov-Smirnov for a continuous one,
chi-square over about 20 equally likely bins for a discrete one), a CDF, or the weights of finitely
many outcomes (chi-square). Each row draws N values from a generator seeded with a CRC of its label,
so the test is deterministic; a correct module fails a row with probability ALPHA.
"""

import collections
import itertools
import math
import zlib

import drawkit
import pytest

np = pytest.importorskip("numpy")
stats = pytest.importorskip("scipy.stats")

N, ALPHA = 20_000, 1e-6
# 2**64 = 2 SPAN + 2**62: the residues below 2**62 have three pre-images, the others two
SPAN = 3 * 2**61
CATEGORICAL = drawkit.Categorical([0.5, 0, 3, 0.01, 2])


def mvn(g):
    return g.multivariate_normal([1.0, -1.0], [2.0, 9.0, 0.5, 1.0])


def even(outcomes):  # every outcome equally likely
    return dict.fromkeys(outcomes, 1)


MN3 = {
    c: stats.multinomial.pmf(c, 3, [0.2, 0.3, 0.5])
    for c in itertools.product(range(4), repeat=3)
    if sum(c) == 3
}
CASES = [
    ("random", lambda g: g.random(), stats.uniform()),
    ("uniform", lambda g: g.uniform(-3.0, 5.0), stats.uniform(-3.0, 8.0)),
    ("normal", lambda g: g.normal(-2.5, 0.3), stats.norm(-2.5, 0.3)),
    ("lognormal", lambda g: g.lognormal(1.5, 0.25), stats.lognorm(0.25, scale=math.exp(1.5))),
    ("exponential", lambda g: g.exponential(2.0), stats.expon(scale=2.0)),
    ("laplace", lambda g: g.laplace(3.0, 0.5), stats.laplace(3.0, 0.5)),
    ("cauchy", lambda g: g.cauchy(-2.0, 4.0), stats.cauchy(-2.0, 4.0)),
    ("gamma(0.05)", lambda g: g.gamma(0.05, 1.0), stats.gamma(0.05)),
    ("gamma(30)", lambda g: g.gamma(30.0, 0.1), stats.gamma(30.0, scale=0.1)),
    ("beta", lambda g: g.beta(2.0, 3.0), stats.beta(2.0, 3.0)),
    ("chisquare", lambda g: g.chisquare(3.0), stats.chi2(3.0)),
    ("student_t", lambda g: g.student_t(2.5), stats.t(2.5)),
    ("dirichlet", lambda g: g.dirichlet([1.0, 2.0, 3.0])[1], stats.beta(2.0, 4.0)),
    # the second coordinate: 0.5 z0 + z1 - 1; 9 is never read
    ("multivariate_normal", lambda g: mvn(g)[1], stats.norm(-1.0, math.sqrt(1.25))),
    (
        "integers, one output modulo the span",
        lambda g: g.integers(0, SPAN) / SPAN,
        lambda u: np.where(u < 2 / 3, 9 / 8 * u, 3 / 4 + 3 / 4 * (u - 2 / 3)),
    ),
    ("integers", lambda g: g.integers(-5, 5), stats.randint(-5, 5)),
    ("bernoulli", lambda g: int(g.bernoulli(0.3)), stats.bernoulli(0.3)),
    ("poisson(3)", lambda g: g.poisson(3.0), stats.poisson(3.0)),
    ("poisson(10)", lambda g: g.poisson(10.0), stats.poisson(10.0)),
    ("poisson(1000)", lambda g: g.poisson(1000.0), stats.poisson(1000.0)),
    ("geometric", lambda g: g.geometric(0.1), stats.geom(0.1)),
    ("binomial", lambda g: g.binomial(10, 0.3), stats.binom(10, 0.3)),
    ("fill", lambda g: (g.fill(b := bytearray(11)), b[9])[1], even(range(256))),
    ("choice", lambda g: g.choice("abcdefg"), even("abcdefg")),
    (
        "choices",
        lambda g: tuple(g.choices(range(3), 2)),
        even(itertools.product(range(3), repeat=2)),
    ),
    ("sample", lambda g: tuple(g.sample(range(5), 2)), even(itertools.permutations(range(5), 2))),
    (
        "shuffle",
        lambda g: (g.shuffle(a := [0, 1, 2, 3]), tuple(a))[1],
        even(itertools.permutations(range(4))),
    ),
    ("permutation", lambda g: tuple(g.permutation(4)), even(itertools.permutations(range(4)))),
    ("bootstrap_indices", lambda g: g.bootstrap_indices(7)[5], even(range(7))),
    ("multinomial", lambda g: tuple(g.multinomial(3, [0.2, 0.3, 0.5])), MN3),
    ("Categorical", lambda g: CATEGORICAL.sample(g), {0: 0.5, 2: 3, 3: 0.01, 4: 2}),
    # 7 points over the weights 1, 2, 3, 4: index 2 gets floor(2.1) or ceil(2.1) points, the
    # larger count with probability 0.1
    (
        "systematic_resample",
        lambda g: g.systematic_resample([1.0, 2.0, 3.0, 4.0], 7).count(2),
        {2: 0.9, 3: 0.1},
    ),
]


@pytest.mark.parametrize("label, draw, law", CASES, ids=[c[0] for c in CASES])
def test_draws_follow_their_law(label, draw, law):
    g = drawkit.Generator(zlib.crc32(label.encode()))
    sample = [draw(g) for _ in range(N)]
    if not isinstance(law, dict) and not hasattr(law, "pmf"):
        pvalue = stats.kstest(sample, getattr(law, "cdf", law)).pvalue
    else:
        if isinstance(law, dict):  # finitely many outcomes
            counts = collections.Counter(sample)
            assert set(counts) <= set(law), set(counts) - set(law)
            observed = np.array([counts[k] for k in law])
            expected = np.array(list(law.values()), dtype=float)
        else:  # bins of about equal probability, bin i holding (edges[i - 1], edges[i]]
            edges = np.unique(law.ppf(np.linspace(0.0, 1.0, 21)[1:-1]))
            observed = np.bincount(np.searchsorted(edges, sample), minlength=len(edges) + 1)
            expected = np.diff(np.concatenate(([0.0], law.cdf(edges), [1.0])))
        assert observed[expected == 0].sum() == 0
        observed, expected = observed[expected > 0], expected[expected > 0]
        pvalue = stats.chisquare(observed, expected * N / expected.sum()).pvalue
    assert pvalue > ALPHA, f"{label}: p = {pvalue:.3g}"
