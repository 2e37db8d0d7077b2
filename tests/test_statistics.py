"""Statistical validation of every distribution and every sampling method against SciPy.

Each check turns a large sample into one p-value -- Kolmogorov-Smirnov for continuous
distributions, chi-square (bins pooled to at least MIN_EXPECTED expected counts, so that
the chi-square approximation holds far into its tail) or an exact binomial test for
discrete ones, and exact or large-sample moment tests for the vector draws -- and fails
when p < ALPHA.

Flake rate. A correct implementation fails one check with probability ALPHA; by the union
bound the whole file, with N_CHECKS p-value checks, fails with probability at most
N_CHECKS * ALPHA = 88 * 1e-6 = 8.8e-5, below once in 10**4 runs for a random choice of
seeds (test_flake_rate_budget keeps the count honest). Seeds are fixed (a CRC of each
check's label), so the suite itself is deterministic: a failure is a real regression of the
stream, not noise.

Power. With 250,000 draws a KS check at ALPHA = 1e-6 rejects any distribution whose CDF is
off by more than about 0.0054 anywhere (sqrt(-ln(ALPHA / 2) / (2 n))): gamma(0.5) is told
from gamma(0.52) at p ~ 1e-59; the chi-square checks tell poisson(10) from poisson(10.1)
at p ~ 1e-48 and geometric(0.1) from geometric(0.102) at p ~ 1e-10.

The index draws reduce one 64-bit output modulo the range, without rejection; the relative
bias of that reduction is below range / 2**64 (< 1e-13 for the sequence sizes here, 5e-5
for the largest integers span tested as uniform), far below what these sample sizes can
see. For spans comparable to 2**64 the bias is large, and is tested as the exact law.
"""

from __future__ import annotations

import collections
import itertools
import math
import zlib

import pytest

np = pytest.importorskip("numpy")
stats = pytest.importorskip("scipy.stats")

import drawkit  # noqa: E402

ALPHA = 1e-6
N = 250_000            # draws per continuous or discrete check
MIN_EXPECTED = 50      # smallest expected count of a chi-square bin


def generator(label: str) -> drawkit.Generator:
    return drawkit.Generator(zlib.crc32(label.encode()))


def assert_p(label: str, p: float) -> None:
    print(f"\n  {label}: p = {p:.4g}", end="")
    assert p >= ALPHA, f"{label}: p = {p:.3g} < {ALPHA}"


def ks(label, sample, cdf):
    assert_p(label, stats.kstest(np.asarray(sample, dtype=float), cdf).pvalue)


def chi_square(label, observed, expected):
    observed = np.asarray(observed, dtype=float)
    expected = np.asarray(expected, dtype=float)
    expected = expected * (observed.sum() / expected.sum())
    assert expected.min() >= MIN_EXPECTED, (label, expected.min())
    statistic = float(((observed - expected) ** 2 / expected).sum())
    assert_p(label, stats.chi2.sf(statistic, len(observed) - 1))


def chi_square_uniform(label, outcomes, cells):
    counts = collections.Counter(outcomes)
    assert set(counts) <= set(cells), (label, set(counts) - set(cells))
    chi_square(label, [counts[c] for c in cells], [1.0] * len(cells))


def chi_square_discrete(label, sample, dist):
    """Chi-square of integer draws against a frozen SciPy discrete distribution, with the
    support cut into runs of consecutive values holding >= MIN_EXPECTED expected draws each
    (the lower and upper tails pooled into the first and last run)."""
    n = len(sample)
    k = int(dist.support()[0])
    ends, acc = [], 0.0
    while True:
        acc += n * dist.pmf(k)
        rest = n * dist.sf(k)
        if rest < MIN_EXPECTED:
            break  # the tail joins the run being built
        if acc >= MIN_EXPECTED:
            ends.append(k)
            acc = 0.0
        k += 1
    # Bin i holds the values in (ends[i-1], ends[i]]; the last bin everything above.
    edges = np.asarray(ends, dtype=float)
    observed = np.bincount(np.searchsorted(edges, np.asarray(sample, dtype=float), side="left"),
                           minlength=len(ends) + 1)
    cdf = np.append(dist.cdf(edges), 1.0)
    expected = np.diff(np.concatenate(([0.0], cdf)))
    expected[-1] = dist.sf(ends[-1]) if ends else 1.0
    assert sample and min(sample) >= dist.support()[0]
    chi_square(label, observed, expected * n)


# ---------------------------------------------------------------------------------------
# Continuous distributions: Kolmogorov-Smirnov against SciPy (branch edges included)
# ---------------------------------------------------------------------------------------

CONTINUOUS = [
    ("random", lambda g: g.random(), stats.uniform()),
    ("uniform(-3, 5)", lambda g: g.uniform(-3.0, 5.0), stats.uniform(-3.0, 8.0)),
    ("uniform(0.001, 0.002)", lambda g: g.uniform(0.001, 0.002), stats.uniform(0.001, 0.001)),
    ("normal(0, 1)", lambda g: g.normal(0.0, 1.0), stats.norm(0.0, 1.0)),
    ("normal(-2.5, 0.3)", lambda g: g.normal(-2.5, 0.3), stats.norm(-2.5, 0.3)),
    ("normal(1e6, 1e3)", lambda g: g.normal(1e6, 1e3), stats.norm(1e6, 1e3)),
    ("lognormal(0, 1)", lambda g: g.lognormal(0.0, 1.0), stats.lognorm(1.0, scale=1.0)),
    ("lognormal(1.5, 0.25)", lambda g: g.lognormal(1.5, 0.25), stats.lognorm(0.25, scale=math.exp(1.5))),
    ("exponential(1)", lambda g: g.exponential(1.0), stats.expon(scale=1.0)),
    ("exponential(0.02)", lambda g: g.exponential(0.02), stats.expon(scale=0.02)),
    ("laplace(0, 1)", lambda g: g.laplace(0.0, 1.0), stats.laplace(0.0, 1.0)),
    ("laplace(3, 0.5)", lambda g: g.laplace(3.0, 0.5), stats.laplace(3.0, 0.5)),
    ("cauchy(0, 1)", lambda g: g.cauchy(0.0, 1.0), stats.cauchy(0.0, 1.0)),
    ("cauchy(-2, 4)", lambda g: g.cauchy(-2.0, 4.0), stats.cauchy(-2.0, 4.0)),
    # gamma: the boost branch below shape 1, the Marsaglia-Tsang branch from 1 up.
    ("gamma(0.05, 1)", lambda g: g.gamma(0.05, 1.0), stats.gamma(0.05, scale=1.0)),
    ("gamma(0.5, 2)", lambda g: g.gamma(0.5, 2.0), stats.gamma(0.5, scale=2.0)),
    ("gamma(0.999, 1)", lambda g: g.gamma(0.999, 1.0), stats.gamma(0.999, scale=1.0)),
    ("gamma(1, 3)", lambda g: g.gamma(1.0, 3.0), stats.gamma(1.0, scale=3.0)),
    ("gamma(2.5, 1)", lambda g: g.gamma(2.5, 1.0), stats.gamma(2.5, scale=1.0)),
    ("gamma(30, 0.1)", lambda g: g.gamma(30.0, 0.1), stats.gamma(30.0, scale=0.1)),
    ("beta(0.5, 0.5)", lambda g: g.beta(0.5, 0.5), stats.beta(0.5, 0.5)),
    ("beta(2, 3)", lambda g: g.beta(2.0, 3.0), stats.beta(2.0, 3.0)),
    ("beta(0.2, 4)", lambda g: g.beta(0.2, 4.0), stats.beta(0.2, 4.0)),
    ("beta(10, 1)", lambda g: g.beta(10.0, 1.0), stats.beta(10.0, 1.0)),
    ("chisquare(0.5)", lambda g: g.chisquare(0.5), stats.chi2(0.5)),
    ("chisquare(1)", lambda g: g.chisquare(1.0), stats.chi2(1.0)),
    ("chisquare(3)", lambda g: g.chisquare(3.0), stats.chi2(3.0)),
    ("chisquare(100)", lambda g: g.chisquare(100.0), stats.chi2(100.0)),
    ("student_t(1)", lambda g: g.student_t(1.0), stats.t(1.0)),
    ("student_t(2.5)", lambda g: g.student_t(2.5), stats.t(2.5)),
    ("student_t(5)", lambda g: g.student_t(5.0), stats.t(5.0)),
    ("student_t(40)", lambda g: g.student_t(40.0), stats.t(40.0)),
]


@pytest.mark.parametrize("label, draw, dist", CONTINUOUS, ids=[c[0] for c in CONTINUOUS])
def test_continuous_distribution_matches(label, draw, dist):
    g = generator(label)
    ks(label, [draw(g) for _ in range(N)], dist.cdf)


def test_normal_pairs_are_independent_normals():
    # Box-Muller hands out a cosine member, then caches the sine member: both positions
    # must be N(0, 1) on their own, and the squared radius of a pair chi-squared with 2
    # degrees of freedom (it is -2 ln u1, independent of the angle).
    g = generator("normal pairs")
    z = np.array([g.normal(0.0, 1.0) for _ in range(2 * N)])
    first, second = z[0::2], z[1::2]
    ks("normal, first of each pair", first, stats.norm.cdf)
    ks("normal, second of each pair", second, stats.norm.cdf)
    ks("normal, squared radius of each pair", first**2 + second**2, stats.chi2(2).cdf)


def test_integers_are_uniform_over_small_and_huge_spans():
    g = generator("integers")
    chi_square_uniform("integers(-5, 5)", (g.integers(-5, 5) for _ in range(N)), range(-5, 5))
    lo, hi = -(2**63), 2**63 - 1
    ks("integers(-2**63, 2**63 - 1)", [(g.integers(lo, hi) - lo) / (hi - lo) for _ in range(N)],
       stats.uniform().cdf)
    span = 10**15 + 37
    ks("integers(7, 7 + 10**15 + 37)", [(g.integers(7, 7 + span) - 7) / span for _ in range(N)],
       stats.uniform().cdf)


def test_integers_reduce_one_output_modulo_the_span():
    # The reduction is a plain remainder: for a span that is a sizeable fraction of 2**64 the
    # law is visibly not uniform, and it is exactly this one. With span = 3 * 2**61,
    # 2**64 = 2 span + 2**62, so the residues below 2**62 (the first 2/3 of the span) have
    # three pre-images and the others two: density 9/8 on [0, 2/3), 3/4 on [2/3, 1).
    span = 3 * 2**61
    g = generator("integers, modulo law")

    def cdf(u):
        u = np.clip(u, 0.0, 1.0)
        return np.where(u < 2 / 3, 9 / 8 * u, 3 / 4 + 3 / 4 * (u - 2 / 3))

    ks("integers(0, 3 * 2**61) against the modulo law", [g.integers(0, span) / span for _ in range(N)], cdf)


def test_bernoulli_frequency():
    for p in (0.3, 0.999):
        g = generator(f"bernoulli({p})")
        hits = sum(g.bernoulli(p) for _ in range(N))
        assert_p(f"bernoulli({p})", stats.binomtest(hits, N, p).pvalue)


def test_fill_bytes_are_uniform():
    g = generator("fill")
    buf = bytearray(2**20 + 5)  # a tail shorter than 8 bytes included
    g.fill(buf)
    chi_square_uniform("fill bytes", buf, range(256))


# ---------------------------------------------------------------------------------------
# Counting distributions: chi-square against SciPy
# ---------------------------------------------------------------------------------------

DISCRETE = [
    # poisson: the multiplication method below lam = 10, PTRS from 10 on.
    ("poisson(0.5)", lambda g: g.poisson(0.5), stats.poisson(0.5)),
    ("poisson(3)", lambda g: g.poisson(3.0), stats.poisson(3.0)),
    ("poisson(9.5)", lambda g: g.poisson(9.5), stats.poisson(9.5)),
    ("poisson(9.999999999999998)", lambda g: g.poisson(9.999999999999998), stats.poisson(9.999999999999998)),
    ("poisson(10)", lambda g: g.poisson(10.0), stats.poisson(10.0)),
    ("poisson(25)", lambda g: g.poisson(25.0), stats.poisson(25.0)),
    ("poisson(1000)", lambda g: g.poisson(1000.0), stats.poisson(1000.0)),
    ("geometric(0.01)", lambda g: g.geometric(0.01), stats.geom(0.01)),
    ("geometric(0.1)", lambda g: g.geometric(0.1), stats.geom(0.1)),
    ("geometric(0.5)", lambda g: g.geometric(0.5), stats.geom(0.5)),
    ("geometric(0.9)", lambda g: g.geometric(0.9), stats.geom(0.9)),
    ("binomial(1, 0.5)", lambda g: g.binomial(1, 0.5), stats.binom(1, 0.5)),
    ("binomial(10, 0.3)", lambda g: g.binomial(10, 0.3), stats.binom(10, 0.3)),
    ("binomial(50, 0.9)", lambda g: g.binomial(50, 0.9), stats.binom(50, 0.9)),
    ("binomial(100, 0.01)", lambda g: g.binomial(100, 0.01), stats.binom(100, 0.01)),
]


@pytest.mark.parametrize("label, draw, dist", DISCRETE, ids=[d[0] for d in DISCRETE])
def test_counting_distribution_matches(label, draw, dist):
    g = generator(label)
    chi_square_discrete(label, [draw(g) for _ in range(N)], dist)


def test_multinomial_outcomes_and_category_frequencies():
    g = generator("multinomial(3)")
    probs = [0.2, 0.3, 0.5]
    outcomes = [tuple(g.multinomial(3, probs)) for _ in range(N)]
    assert all(sum(o) == 3 for o in outcomes)
    cells = [c for c in itertools.product(range(4), repeat=3) if sum(c) == 3]
    counts = collections.Counter(outcomes)
    chi_square("multinomial(3, [0.2, 0.3, 0.5]) outcome vectors", [counts[c] for c in cells],
               [stats.multinomial.pmf(c, 3, probs) for c in cells])

    g = generator("multinomial(20)")
    probs = [0.1, 0.2, 0.3, 0.4]
    totals = np.zeros(4)
    for _ in range(N // 4):
        totals += g.multinomial(20, probs)
    chi_square("multinomial(20, [0.1, 0.2, 0.3, 0.4]) category totals", totals, probs)


# ---------------------------------------------------------------------------------------
# Vector draws: moments and marginals
# ---------------------------------------------------------------------------------------


def two_sided_normal_p(z):
    return 2.0 * stats.norm.sf(abs(z))


def test_multivariate_normal_has_mean_and_covariance_L_Lt():
    mean = np.array([1.0, -1.0, 0.5])
    L = np.array([[2.0, 0.0, 0.0], [0.5, 1.0, 0.0], [-0.3, 0.2, 0.7]])
    flat = list(L.ravel())
    flat[1], flat[2], flat[5] = 99.0, -7.0, float("nan")  # the upper triangle is never read
    cov = L @ L.T
    n = N // 2
    g = generator("multivariate_normal")
    x = np.array([g.multivariate_normal(list(mean), flat) for _ in range(n)])
    assert x.shape == (n, 3) and np.isfinite(x).all()

    # Mean: n (xbar - mu)' cov^-1 (xbar - mu) is exactly chi-squared with 3 degrees of freedom.
    d = x.mean(axis=0) - mean
    assert_p("multivariate_normal mean", stats.chi2.sf(n * d @ np.linalg.solve(cov, d), 3))
    # Covariance about the known mean: n S_ii / cov_ii is exactly chi-squared with n degrees
    # of freedom; an off-diagonal S_ij has variance (cov_ii cov_jj + cov_ij^2) / n.
    c = x - mean
    for i in range(3):
        for j in range(i + 1):
            s = float((c[:, i] * c[:, j]).mean())
            if i == j:
                q = n * s / cov[i, i]
                p = 2.0 * min(stats.chi2.cdf(q, n), stats.chi2.sf(q, n))
            else:
                p = two_sided_normal_p((s - cov[i, j]) / math.sqrt((cov[i, i] * cov[j, j] + cov[i, j] ** 2) / n))
            assert_p(f"multivariate_normal covariance[{i}][{j}] = {cov[i, j]:.3g}", p)
    # Whitened by L^-1, each coordinate is N(0, 1).
    w = np.linalg.solve(L, c.T).T
    for i in range(3):
        ks(f"multivariate_normal whitened coordinate {i}", w[:, i], stats.norm.cdf)


def test_dirichlet_marginals_and_moments():
    alpha = [1.0, 2.0, 3.0]
    a0 = sum(alpha)
    g = generator("dirichlet([1, 2, 3])")
    x = np.array([g.dirichlet(alpha) for _ in range(N)])
    assert np.all(np.abs(x.sum(axis=1) - 1.0) < 1e-12)
    # Each component is Beta(alpha_i, a0 - alpha_i).
    for i, a in enumerate(alpha):
        ks(f"dirichlet([1, 2, 3]) component {i}", x[:, i], stats.beta(a, a0 - a).cdf)
    # Cov(X0, X1) = -alpha0 alpha1 / (a0^2 (a0 + 1)), tested on the products about the
    # true means (a large-sample z-test with the variance estimated from the sample).
    m = np.array(alpha) / a0
    prod = (x[:, 0] - m[0]) * (x[:, 1] - m[1])
    expected = -alpha[0] * alpha[1] / (a0 * a0 * (a0 + 1.0))
    z = (prod.mean() - expected) / (prod.std() / math.sqrt(N))
    assert_p(f"dirichlet([1, 2, 3]) covariance[0][1] = {expected:.4g}", two_sided_normal_p(z))

    # Entries below 1 run the gamma boost branch.
    g = generator("dirichlet([0.3, 0.5])")
    x = np.array([g.dirichlet([0.3, 0.5]) for _ in range(N)])
    ks("dirichlet([0.3, 0.5]) component 0", x[:, 0], stats.beta(0.3, 0.5).cdf)


# ---------------------------------------------------------------------------------------
# Sampling methods: uniformity of positions, orderings and weighted indices
# ---------------------------------------------------------------------------------------


def test_choice_and_choices_are_uniform():
    seq = tuple("abcdefg")
    g = generator("choice")
    chi_square_uniform("choice over 7 elements", (g.choice(seq) for _ in range(N)), seq)
    g = generator("choices")
    pairs = (tuple(g.choices(seq, 2)) for _ in range(N // 2))
    chi_square_uniform("choices(seq, 2): ordered pairs of 7 elements", pairs, list(itertools.product(seq, seq)))


def test_shuffle_and_permutation_give_every_ordering_equally_often():
    g = generator("shuffle")
    orders = []
    for _ in range(48_000):
        lst = [0, 1, 2, 3]
        g.shuffle(lst)
        orders.append(tuple(lst))
    chi_square_uniform("shuffle of 4 elements: 24 orderings", orders, list(itertools.permutations(range(4))))
    g = generator("permutation")
    chi_square_uniform("permutation(5): 120 orderings", (tuple(g.permutation(5)) for _ in range(60_000)),
                       list(itertools.permutations(range(5))))


def test_sample_gives_every_ordered_selection_equally_often():
    g = generator("sample")
    chi_square_uniform("sample(6 elements, 2): 30 ordered pairs", (tuple(g.sample(range(6), 2)) for _ in range(30_000)),
                       list(itertools.permutations(range(6), 2)))
    chi_square_uniform("sample(5 elements, 3): 60 ordered triples", (tuple(g.sample("abcde", 3)) for _ in range(30_000)),
                       list(itertools.permutations("abcde", 3)))


def test_bootstrap_indices_are_uniform():
    g = generator("bootstrap_indices")
    draws = itertools.chain.from_iterable(g.bootstrap_indices(7) for _ in range(N // 7))
    chi_square_uniform("bootstrap_indices(7)", draws, range(7))


@pytest.mark.parametrize(
    "label, weights, n",
    [("Categorical([1, 2, 3, 4])", [1.0, 2.0, 3.0, 4.0], N),
     ("Categorical([0.5, 0, 3, 0.01, 2])", [0.5, 0.0, 3.0, 0.01, 2.0], 2 * N),
     ("Categorical(1000 weights)", None, 3 * N)],
    ids=["four", "zero and tiny", "thousand"],
)
def test_categorical_frequencies_follow_the_weights(label, weights, n):
    if weights is None:
        rng = generator("thousand weights")
        weights = [0.5 + rng.random() for _ in range(1000)]
    table = drawkit.Categorical(weights)
    g = generator(label)
    counts = collections.Counter(table.sample(g) for _ in range(n))
    assert all(counts[i] == 0 for i, w in enumerate(weights) if w == 0.0)
    support = [i for i, w in enumerate(weights) if w > 0.0]
    chi_square(label, [counts[i] for i in support], [weights[i] for i in support])


def test_systematic_resample_counts_are_floor_or_ceil_with_the_right_frequency():
    # With one uniform offset, an index of weight w receives floor(n w) or ceil(n w) of the
    # n points, the larger count with probability frac(n w) exactly.
    weights = [1.0, 2.0, 3.0, 4.0]
    n = 7
    share = [n * w / sum(weights) for w in weights]
    g = generator("systematic_resample")
    runs = 50_000
    ceil_hits = [0] * len(weights)
    for _ in range(runs):
        counts = collections.Counter(g.systematic_resample(weights, n))
        for i, s in enumerate(share):
            assert counts[i] in (math.floor(s), math.ceil(s))
            ceil_hits[i] += counts[i] == math.ceil(s)
    for i, s in enumerate(share):
        frac = s - math.floor(s)
        assert_p(f"systematic_resample index {i}: P(ceil) = {frac:.3g}",
                 stats.binomtest(ceil_hits[i], runs, frac).pvalue)


# ---------------------------------------------------------------------------------------
# The flake-rate budget
# ---------------------------------------------------------------------------------------

N_CHECKS = (
    len(CONTINUOUS)
    + 3   # normal pairs
    + 4   # integers
    + 2   # bernoulli
    + 1   # fill
    + len(DISCRETE)
    + 2   # multinomial
    + 1 + 6 + 3  # multivariate_normal: mean, 6 covariance entries, 3 whitened coordinates
    + 3 + 1 + 1  # dirichlet: 3 marginals, a covariance, the boost-branch marginal
    + 2   # choice, choices
    + 2   # shuffle, permutation
    + 2   # sample
    + 1   # bootstrap_indices
    + 3   # Categorical
    + 4   # systematic_resample
)


def test_flake_rate_budget():
    assert N_CHECKS == 88
    assert N_CHECKS * ALPHA < 1e-4
