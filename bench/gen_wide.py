#!/usr/bin/env python3
"""Wide real-valued data with known groups, seeded, for the real models on few rows.

usage: gen_wide.py N D K SHARE DATA LABELS [SEED] [SEP]
  N rows in K groups (row i in group i % K), D columns (one decimal each, so that 1000 columns
  fit the engine's 4999-character lines); a share SHARE of the columns (the
  first round(SHARE * D)) tells the groups apart: in them group g has mean g * SEP (default
  2), in the others every group has mean 0; every cell adds standard normal noise. LABELS
  gets each row's group, one a line.
"""
import random
import sys

n, d, k = (int(a) for a in sys.argv[1:4])
share = float(sys.argv[4])
data_path, labels_path = sys.argv[5], sys.argv[6]
rng = random.Random(int(sys.argv[7]) if len(sys.argv) > 7 else 20261211)
sep = float(sys.argv[8]) if len(sys.argv) > 8 else 2.0
telling = int(round(share * d))
with open(data_path, "w") as data, open(labels_path, "w") as labels:
    for i in range(n):
        g = i % k
        row = [(g * sep if t < telling else 0.0) + rng.gauss(0, 1) for t in range(d)]
        data.write(" ".join("%.1f" % x for x in row) + "\n")
        labels.write("%d\n" % g)
