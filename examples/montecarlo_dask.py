"""Monte Carlo on a Dask cluster: the same bits on 1, 2 or 4 worker processes as in a serial loop.

The estimate is the expected payoff of a call option whose underlying price ends lognormal. The
work is cut into tasks, and each task gets its own stream from one split() of a single seeded
generator, so the streams never overlap. A generator cannot be pickled; its state tuple, plain
numbers, is what travels to the worker, which rebuilds the generator with from_state(). Each
task's sum depends only on its own stream, and the sums are added in task order, so the estimate
is the same float whatever the number of workers and whichever worker ran which task.
"""

from __future__ import annotations

import drawkit
from dask.distributed import Client, LocalCluster

State = tuple[int, int, int, int, float | None]
SPOT, STRIKE, SIGMA = 100.0, 110.0, 0.25  # a year at 25% volatility, no drift


def payoff_sum(state: State, paths: int) -> float:
    """One task: the summed payoff of `paths` simulated prices, on the stream `state` starts."""
    g = drawkit.Generator.from_state(state)
    total = 0.0
    for _ in range(paths):
        price = SPOT * g.lognormal(-0.5 * SIGMA * SIGMA, SIGMA)  # mean SPOT: no drift
        total += max(price - STRIKE, 0.0)
    return total


def task_states(seed: int, tasks: int) -> list[State]:
    """Split once, at the top: one stream per task, 2**128 steps apart."""
    return [child.state() for child in drawkit.Generator(seed).split(tasks)]


def serial(seed: int, tasks: int, paths: int) -> list[float]:
    return [payoff_sum(state, paths) for state in task_states(seed, tasks)]


def on_cluster(workers: int, seed: int, tasks: int, paths: int) -> list[float]:
    """The same tasks on a local cluster of `workers` single-threaded processes."""
    with (
        LocalCluster(n_workers=workers, threads_per_worker=1, dashboard_address=None) as cluster,
        Client(cluster) as client,
    ):
        futures = client.map(payoff_sum, task_states(seed, tasks), [paths] * tasks)
        # gather keeps the order of the futures: the sums come back in task order.
        return [float(s) for s in client.gather(futures)]


def main(seed: int = 2024, tasks: int = 16, paths: int = 5_000) -> None:
    reference = serial(seed, tasks, paths)
    estimate = sum(reference) / (tasks * paths)
    print(f"expected payoff ~ {estimate:.6f} ({estimate.hex()}), {tasks * paths} paths")
    identical = True
    for workers in (1, 2, 4):
        sums = on_cluster(workers, seed, tasks, paths)
        same = [s.hex() for s in sums] == [s.hex() for s in reference]
        print(f"{workers} worker(s): every task's sum identical to the serial loop: {same}")
        identical = identical and same
    print(f"bit-identical for 1, 2 and 4 workers and the serial loop: {identical}")


if __name__ == "__main__":
    main()  # worker processes import this file too: the cluster starts only in the main one
