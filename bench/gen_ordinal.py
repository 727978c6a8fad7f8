#!/usr/bin/env python3
"""Ordinal scores with known groups, seeded, for the models of ordered levels.

usage: gen_ordinal.py groups N T K L DATA LABELS [SEED]
         N rows in K groups (row i in group i % K), T columns of levels 0..L-1: in group g
         column t is a normal of centre drawn in [0, L-1] and sd L/5, rounded and clipped
         to the levels
       gen_ordinal.py scores DATA LABELS [SEED]
         683 rows of 9 scores 1..10 in two classes (444 and 239, as in a well-known clinical
         table of cell scores): a row's class sets each score's centre (about 1.5, or 6.5
         with a severity shared by the row's columns) and spread; scores are rounded and
         clipped to 1..10, so that most of the first class is 1 and the second piles at 10
LABELS gets each row's group, one a line.
"""
import random
import sys


def clip(x, low, high):
    return max(low, min(high, int(round(x))))


mode = sys.argv[1]
if mode == "groups":
    n, t, k, levels = (int(a) for a in sys.argv[2:6])
    data_path, labels_path = sys.argv[6], sys.argv[7]
    rng = random.Random(int(sys.argv[8]) if len(sys.argv) > 8 else 20261211)
    centre = [[rng.uniform(0, levels - 1) for _ in range(t)] for _ in range(k)]
    rows = [(i % k, [clip(centre[i % k][c] + rng.gauss(0, levels / 5.0), 0, levels - 1)
                     for c in range(t)]) for i in range(n)]
elif mode == "scores":
    data_path, labels_path = sys.argv[2], sys.argv[3]
    rng = random.Random(int(sys.argv[4]) if len(sys.argv) > 4 else 20261211)
    classes = [0] * 444 + [1] * 239
    rng.shuffle(classes)
    rows = []
    for c in classes:
        if c == 0:
            rows.append((0, [clip(int(1 + abs(rng.gauss(0, 1.3))), 1, 10) for _ in range(9)]))
        else:
            severity = rng.gauss(0, 1.5)
            rows.append((1, [clip(6.5 + severity + rng.gauss(0, 2.6), 1, 10) for _ in range(9)]))
else:
    sys.exit("usage: gen_ordinal.py groups N T K L DATA LABELS [SEED] | scores DATA LABELS [SEED]")
with open(data_path, "w") as data, open(labels_path, "w") as labels:
    for g, row in rows:
        data.write(" ".join(str(v) for v in row) + "\n")
        labels.write("%d\n" % g)
