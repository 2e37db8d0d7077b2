"""A short tour of drawkit: seed, draw, checkpoint, and independent streams for workers."""

import json

import drawkit

# One generator per place of use, made from an integer seed: same seed, same bits, everywhere.
g = drawkit.Generator(2024)
print("random      ", g.random())
print("uniform     ", g.uniform(-1.0, 1.0))
print("integers    ", g.integers(1, 7))
print("bernoulli   ", g.bernoulli(0.25))

# Methods return one value per call, so they sit naturally inside ordinary loops.
hits = sum(g.uniform(-1.0, 1.0) ** 2 + g.uniform(-1.0, 1.0) ** 2 < 1.0 for _ in range(100_000))
print("pi ~        ", 4 * hits / 100_000)

# Checkpoint: the state is a plain tuple of numbers that JSON can hold; from_state() resumes
# the stream exactly (JSON gives back a list, so convert it to a tuple first).
saved = json.dumps(g.state())
expected = [g.random() for _ in range(3)]
resumed = drawkit.Generator.from_state(tuple(json.loads(saved)))
assert [resumed.random() for _ in range(3)] == expected
print("checkpoint   resumed exactly:", expected)

# Parallel work: split() hands out generators whose streams never overlap (2**128 apart).
workers = g.split(4)
print("workers     ", [w.integers(0, 1000) for w in workers])
