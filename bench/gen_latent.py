#!/usr/bin/env python3
"""Latent-class categorical data with a fixed seed, for the categorical models.

usage: gen_latent.py N T K LEVELS NA_SHARE DATA LABELS [SEED]
  N rows in K classes of equal size, T columns; column t uses LEVELS levels (codes chosen at
  random among 0..19, so most codes never occur in a column); each class draws its level
  probabilities per column from a Dirichlet(0.5); a share NA_SHARE of cells is written NA.
  LABELS gets each row's class, one a line.
"""
import random
import sys

n, t, k, levels = (int(a) for a in sys.argv[1:5])
na_share = float(sys.argv[5])
data_path, labels_path = sys.argv[6], sys.argv[7]
rng = random.Random(int(sys.argv[8]) if len(sys.argv) > 8 else 20261210)


def dirichlet(size, a):
    draws = [rng.gammavariate(a, 1.0) for _ in range(size)]
    total = sum(draws)
    return [d / total for d in draws]


codes = [[0, 1] if levels == 2 else rng.sample(range(20), levels) for _ in range(t)]
probs = [[dirichlet(levels, 0.5) for _ in range(t)] for _ in range(k)]
with open(data_path, "w") as data, open(labels_path, "w") as labels:
    for i in range(n):
        c = i % k
        row = []
        for col in range(t):
            if rng.random() < na_share:
                row.append("NA")
            else:
                row.append(str(rng.choices(codes[col], weights=probs[c][col])[0]))
        data.write(" ".join(row) + "\n")
        labels.write("%d\n" % c)
