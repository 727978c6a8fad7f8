#!/usr/bin/env python3
"""Generates data whose posterior has several modes, with a fixed seed, and the generating
group of each row.

usage: gen_modes.py subfamilies N T K FILE LABELS
           FASTA alignment of N sequences of length T in K families of unequal sizes (shares
           drawn from a Dirichlet(1)), each split into 2 or 3 subfamilies: a random root evolves
           into each family's ancestor along a branch of 0.6 to 1.2 substitutions per site,
           each family ancestor into its subfamilies' along 0.15, and each member along 0.25
           (Jukes-Cantor on the 20 residues); LABELS gets the family
       gen_modes.py weak N T K LEVELS FILE LABELS
           categorical matrix of whole numbers 0..LEVELS-1 in K latent classes whose column
           distributions are mixtures of a shared background and a class profile (weight 0.6),
           so that many partitions score close
"""
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from gen_families import AA, dirichlet, evolve


def categorical(rng, probabilities):
    u, acc = rng.random(), 0.0
    for v, p in enumerate(probabilities):
        acc += p
        if u < acc:
            return v
    return len(probabilities) - 1


def main():
    kind = sys.argv[1]
    rng = random.Random(20261211)
    group = []
    if kind == "subfamilies":
        n, t, k = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
        path, labels = sys.argv[5], sys.argv[6]
        root = [rng.choice(AA) for _ in range(t)]
        shares = dirichlet(rng, 1.0, k)
        sizes = [max(3, int(round(s * n))) for s in shares]
        while sum(sizes) > n:
            sizes[sizes.index(max(sizes))] -= 1
        while sum(sizes) < n:
            sizes[sizes.index(min(sizes))] += 1
        rows = []
        for f in range(k):
            family = evolve(rng, root, rng.uniform(0.6, 1.2))
            subs = [evolve(rng, family, 0.15) for _ in range(rng.choice([2, 3]))]
            for m in range(sizes[f]):
                rows.append((f, "".join(evolve(rng, subs[m % len(subs)], 0.25))))
        rng.shuffle(rows)
        with open(path, "w") as out:
            for i, (f, seq) in enumerate(rows):
                out.write(">s%d_family%d\n%s\n" % (i + 1, f + 1, seq))
                group.append(f)
    elif kind == "weak":
        n, t, k, levels = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
        path, labels = sys.argv[6], sys.argv[7]
        background = [dirichlet(rng, 1.0, levels) for _ in range(t)]
        tables = [[[0.4 * b + 0.6 * p for b, p in zip(background[c], dirichlet(rng, 0.5, levels))]
                   for c in range(t)] for _ in range(k)]
        with open(path, "w") as out:
            for i in range(n):
                g = i % k
                out.write(" ".join(str(categorical(rng, tables[g][c])) for c in range(t)) + "\n")
                group.append(g)
    else:
        sys.exit("unknown kind " + kind)
    with open(labels, "w") as lab:
        lab.write("".join("%d\n" % g for g in group))


main()
