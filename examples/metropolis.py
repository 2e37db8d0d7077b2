"""Random-walk Metropolis-Hastings on a correlated 2-d Gaussian target.

The proposal is a correlated Gaussian step drawn with multivariate_normal from a Cholesky factor
computed once, outside the loop: the sampler pays one call per step, never a decomposition.
"""

from __future__ import annotations

import math

import drawkit

# Target: mean (1, -2), covariance [[1, 0.8], [0.8, 1]].
MEAN = (1.0, -2.0)
COV = ((1.0, 0.8), (0.8, 1.0))


def cholesky_2x2(c: tuple[tuple[float, float], tuple[float, float]], scale: float) -> list[float]:
    """Lower-triangular factor of scale^2 * c, flat and row-major."""
    l00 = math.sqrt(c[0][0])
    l10 = c[1][0] / l00
    l11 = math.sqrt(c[1][1] - l10 * l10)
    return [scale * l00, 0.0, scale * l10, scale * l11]


def log_target(x: list[float]) -> float:
    det = COV[0][0] * COV[1][1] - COV[0][1] * COV[1][0]
    dx, dy = x[0] - MEAN[0], x[1] - MEAN[1]
    quad = (COV[1][1] * dx * dx - 2 * COV[0][1] * dx * dy + COV[0][0] * dy * dy) / det
    return -0.5 * quad


def sample(seed: int = 1, steps: int = 20_000) -> tuple[list[list[float]], float]:
    g = drawkit.Generator(seed)
    factor = cholesky_2x2(COV, 2.4 / math.sqrt(2))  # the classic optimal random-walk scale
    zero = [0.0, 0.0]
    x = [0.0, 0.0]
    lp = log_target(x)
    chain, accepted = [], 0
    for _ in range(steps):
        step = g.multivariate_normal(zero, factor)
        y = [x[0] + step[0], x[1] + step[1]]
        lq = log_target(y)
        if math.log(1.0 - g.random()) < lq - lp:  # 1 - u lies in (0, 1]: its log is finite
            x, lp = y, lq
            accepted += 1
        chain.append(x)
    return chain, accepted / steps


if __name__ == "__main__":
    chain, rate = sample()
    burned = chain[2000:]
    mx = sum(p[0] for p in burned) / len(burned)
    my = sum(p[1] for p in burned) / len(burned)
    print(f"acceptance {rate:.2f}, posterior mean ({mx:.2f}, {my:.2f}), target (1.00, -2.00)")
