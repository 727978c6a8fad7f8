#!/usr/bin/env python3
"""Generates benchmark data with a fixed seed.

usage: gen_data.py binary N T K FILE     0/1 matrix, K planted groups
       gen_data.py real N T K FILE       real matrix, K planted groups
       gen_data.py protein N T K FILE    FASTA alignment, K planted families
       gen_data.py gauss N T K FILE [LABELS]
                                         real matrix, K correlated Gaussian groups; LABELS gets
                                         the generating group of each row, one a line
"""
import random
import sys

kind, n, t, k, path = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
labels = sys.argv[6] if len(sys.argv) > 6 else None
rng = random.Random(20261210)
with open(path, "w") as out:
    if kind == "binary":
        protos = [[rng.random() < 0.5 for _ in range(t)] for _ in range(k)]
        for i in range(n):
            p = protos[i % k]
            out.write(" ".join("1" if (b != (rng.random() < 0.1)) else "0" for b in p) + "\n")
    elif kind == "real":
        centres = [[rng.gauss(0, 3) for _ in range(t)] for _ in range(k)]
        for i in range(n):
            c = centres[i % k]
            out.write(" ".join("%.4f" % (x + rng.gauss(0, 1)) for x in c) + "\n")
    elif kind == "protein":
        aa = "ACDEFGHIKLMNPQRSTVWY"
        fams = [[rng.choice(aa) for _ in range(t)] for _ in range(k)]
        for i in range(n):
            f = fams[i % k]
            seq = "".join(c if rng.random() < 0.8 else rng.choice(aa + "-") for c in f)
            out.write(">s%d\n%s\n" % (i + 1, seq))
    elif kind == "gauss":
        # Each group: a mean 3 apart per axis on average, covariance L L' with a random lower
        # triangle, so the axes are correlated within a group (a diagonal model sees stretched
        # groups).
        means = [[rng.gauss(0, 3) for _ in range(t)] for _ in range(k)]
        chol = [[[rng.uniform(0.5, 1.2) if a == b else rng.gauss(0, 0.6) if b < a else 0.0
                  for b in range(t)] for a in range(t)] for _ in range(k)]
        group = [i % k for i in range(n)]
        for g in group:
            e = [rng.gauss(0, 1) for _ in range(t)]
            row = [means[g][a] + sum(chol[g][a][b] * e[b] for b in range(a + 1)) for a in range(t)]
            out.write(" ".join("%.4f" % x for x in row) + "\n")
        if labels:
            with open(labels, "w") as lab:
                lab.write("".join("%d\n" % g for g in group))
    else:
        sys.exit("unknown kind " + kind)
