#!/usr/bin/env python3
"""Generates the large data sets of bench/scale_bench.sh with a fixed seed, and the
generating group of each row (LABELS: one 0-based label a line, in row order; rows go round
the groups in turn).

usage: gen_scale.py binary N T K FILE LABELS
           0/1 matrix: each class a random 0/1 profile, each cell flipped with probability 0.1
       gen_scale.py real N T K FILE LABELS
           real matrix: K Gaussian groups, means drawn from N(0, 3^2) per column, unit spread
       gen_scale.py protein N T K FILE LABELS
           FASTA alignment of N sequences of length T in K families: each family's ancestor
           is a random sequence; a member keeps each residue with probability 0.7, else takes
           a random residue or, one time in 20, a gap
Python's standard library only.
"""
import random
import sys

AA = "ACDEFGHIKLMNPQRSTVWY"


def binary(rng, n, t, k, out, labels):
    profiles = [[rng.random() < 0.5 for _ in range(t)] for _ in range(k)]
    rand = rng.random
    for i in range(n):
        p = profiles[i % k]
        out.write(" ".join("1" if (b != (rand() < 0.1)) else "0" for b in p))
        out.write("\n")
        labels.write("%d\n" % (i % k))


def real(rng, n, t, k, out, labels):
    means = [[rng.gauss(0, 3) for _ in range(t)] for _ in range(k)]
    gauss = rng.gauss
    for i in range(n):
        m = means[i % k]
        out.write(" ".join("%.4f" % (x + gauss(0, 1)) for x in m))
        out.write("\n")
        labels.write("%d\n" % (i % k))


def protein(rng, n, t, k, out, labels):
    ancestors = [[rng.choice(AA) for _ in range(t)] for _ in range(k)]
    rand, choice = rng.random, rng.choice
    for i in range(n):
        a = ancestors[i % k]
        seq = "".join(c if rand() < 0.7 else ("-" if rand() < 0.05 else choice(AA)) for c in a)
        out.write(">s%d\n%s\n" % (i + 1, seq))
        labels.write("%d\n" % (i % k))


def main():
    if len(sys.argv) != 7 or sys.argv[1] not in ("binary", "real", "protein"):
        sys.exit(__doc__)
    kind, n, t, k = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    rng = random.Random(20261211)
    with open(sys.argv[5], "w") as out, open(sys.argv[6], "w") as labels:
        {"binary": binary, "real": real, "protein": protein}[kind](rng, n, t, k, out, labels)


main()
