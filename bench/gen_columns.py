#!/usr/bin/env python3
"""Data for bench/columns_bench.sh: matrices where only some columns tell the groups apart.

usage: gen_columns.py alignment OUT.fasta OUT.truth OUT.differ COLUMNS SHARE FAMILIES SIZE SEED
       gen_columns.py latent    OUT.dat   OUT.truth OUT.differ COLUMNS INFORMATIVE CLASSES SIZE SEED

alignment: FAMILIES families of SIZE sequences over COLUMNS columns; a share SHARE of the
columns differ between families (each family has its own main residue there, 80 %), the
others are variable in the same way in every family (one main residue at 50 %, the rest from
four others); 2 % of the cells are gaps. latent: a 0/1 matrix, CLASSES classes of SIZE rows;
INFORMATIVE columns have probability 0.15 or 0.85 of a 1 by class, the rest 0.5 in every
class. OUT.truth: the group of each row (0-based); OUT.differ: the 1-based differing columns.
"""
import random
import sys

RESIDUES = "ACDEFGHIKLMNPQRSTVWY"


def alignment(out, truth, differ, columns, share, families, size, rng):
    n_differ = max(1, round(columns * share))
    differing = sorted(rng.sample(range(columns), n_differ))
    is_differ = set(differing)
    profiles = []
    for t in range(columns):
        if t in is_differ:
            mains = rng.sample(RESIDUES, families)
            profiles.append([(m, 0.8, rng.sample(RESIDUES, 4)) for m in mains])
        else:
            main = rng.choice(RESIDUES)
            shared = (main, 0.5, rng.sample(RESIDUES, 4))
            profiles.append([shared] * families)
    labels = []
    with open(out, "w") as f:
        for fam in range(families):
            for s in range(size):
                row = []
                for t in range(columns):
                    main, weight, others = profiles[t][fam]
                    u = rng.random()
                    row.append("-" if u < 0.02 else main if u < 0.02 + weight else rng.choice(others))
                f.write(">f%d_s%d\n%s\n" % (fam, s, "".join(row)))
                labels.append(fam)
    write_truth(truth, differ, labels, differing)


def latent(out, truth, differ, columns, informative, classes, size, rng):
    differing = sorted(rng.sample(range(columns), informative))
    is_differ = set(differing)
    probs = [[rng.choice((0.15, 0.85)) if t in is_differ else 0.5 for t in range(columns)]
             for _ in range(classes)]
    labels = []
    with open(out, "w") as f:
        for c in range(classes):
            for _ in range(size):
                f.write(" ".join("1" if rng.random() < probs[c][t] else "0" for t in range(columns)))
                f.write("\n")
                labels.append(c)
    write_truth(truth, differ, labels, differing)


def write_truth(truth, differ, labels, differing):
    with open(truth, "w") as f:
        f.write(" ".join(map(str, labels)) + "\n")
    with open(differ, "w") as f:
        f.write("\n".join(str(t + 1) for t in differing) + "\n")


def main():
    kind, out, truth, differ = sys.argv[1:5]
    columns, share, groups, size, seed = sys.argv[5:10]
    rng = random.Random(int(seed))
    if kind == "alignment":
        alignment(out, truth, differ, int(columns), float(share), int(groups), int(size), rng)
    else:
        latent(out, truth, differ, int(columns), int(share), int(groups), int(size), rng)


main()
