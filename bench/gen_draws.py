#!/usr/bin/env python3
"""Generates a synthetic draws file (the format of vornak -d) with a fixed seed: K planted
groups of N items; every draw moves each item to another group with probability P and
sometimes splits one group in two, so k varies; the score follows an AR(1) path.

usage: gen_draws.py N DRAWS K P SEED FILE
"""
import random
import sys

n, draws, k, p, seed, path = (int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]),
                               float(sys.argv[4]), int(sys.argv[5]), sys.argv[6])
rng = random.Random(seed)
truth = [i * k // n for i in range(n)]
score = -1000.0
with open(path, "w") as out:
    for d in range(draws):
        z = [rng.randrange(k) if rng.random() < p else g for g in truth]
        if rng.random() < 0.3:
            split = rng.randrange(k)
            z = [k if g == split and rng.random() < 0.5 else g for g in z]
        seen = {}
        labels = [seen.setdefault(g, len(seen)) for g in z]
        score = -1000.0 + 0.9 * (score + 1000.0) + rng.gauss(0, 5)
        out.write("%d %.17g %d %s\n" % ((d + 1) * 10, score, len(seen),
                                       " ".join(map(str, labels))))
