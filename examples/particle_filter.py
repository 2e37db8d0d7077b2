"""One bootstrap particle filter on a noisy random walk, resampled with systematic_resample.

The state follows x_t = x_{t-1} + N(0, 1) and is observed as y_t = x_t + N(0, 0.5^2). Each step
moves the particles, weights them by the likelihood of the observation, and resamples. Systematic
resampling (one offset, n evenly spaced points) keeps the expected counts of independent draws
with less variance; a Categorical table drawn n times is shown beside it for comparison.
"""

from __future__ import annotations

import math

import drawkit


def simulate(g: drawkit.Generator, steps: int) -> tuple[list[float], list[float]]:
    xs, ys, x = [], [], 0.0
    for _ in range(steps):
        x += g.normal(0.0, 1.0)
        xs.append(x)
        ys.append(x + g.normal(0.0, 0.5))
    return xs, ys


def filter_step(
    g: drawkit.Generator, particles: list[float], y: float, *, systematic: bool = True
) -> list[float]:
    moved = [p + g.normal(0.0, 1.0) for p in particles]
    weights = [math.exp(-0.5 * ((y - p) / 0.5) ** 2) for p in moved]
    if sum(weights) == 0.0:  # every particle far off: keep them, unweighted
        return moved
    n = len(moved)
    if systematic:
        idx = g.systematic_resample(weights, n)
    else:
        table = drawkit.Categorical(weights)
        idx = [table.sample(g) for _ in range(n)]
    return [moved[i] for i in idx]


def run(seed: int = 7, steps: int = 50, n: int = 500, systematic: bool = True) -> float:
    """Root-mean-square error of the filtered mean against the true path."""
    g = drawkit.Generator(seed)
    xs, ys = simulate(g, steps)
    particles = [0.0] * n
    sq = 0.0
    for x, y in zip(xs, ys, strict=True):
        particles = filter_step(g, particles, y, systematic=systematic)
        sq += (sum(particles) / n - x) ** 2
    return math.sqrt(sq / steps)


if __name__ == "__main__":
    print(f"systematic resampling: RMSE {run(systematic=True):.3f}")
    print(f"Categorical draws:     RMSE {run(systematic=False):.3f}")
