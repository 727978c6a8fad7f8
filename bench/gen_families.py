#!/usr/bin/env python3
"""Generates grouped data with a fixed seed, and the generating group of each row.

usage: gen_families.py protein N T K BETWEEN WITHIN FILE LABELS
           FASTA alignment of N sequences of length T in K families: a random ancestor
           evolves along a branch of length BETWEEN (expected substitutions per site) into
           each family's ancestor, which evolves along WITHIN into each member (a star within
           the family); substitutions under the Jukes-Cantor process on the 20 residues
       gen_families.py subfamilies N T K DIFFER WITHIN FILE LABELS [SEED [CLADES]]
           FASTA alignment of N sequences of length T in K subfamilies of one family: the
           subfamilies' ancestors share a random ancestor except at round(DIFFER x T) positions,
           where each has a residue of its own (distinct between subfamilies); each member
           evolves from its subfamily's ancestor along WITHIN (Jukes-Cantor, a Gamma(0.5) rate
           per position, mean 1, so that some positions stay conserved and others vary); with
           CLADES above 1 each subfamily is CLADES clades: a quarter of WITHIN to the clade's
           ancestor, the rest to each member (a shallow tree within the subfamily)
       gen_families.py latent N T K LEVELS FILE LABELS
           latent-class matrix of whole numbers 0..LEVELS-1 (LEVELS 2: a 0/1 matrix): each
           class draws one categorical distribution per column from a Dirichlet(0.5), and
           each row draws its values from its class's
LABELS gets one 0-based label a line, in row order; rows go round the groups in turn.
"""
import math
import random
import sys

AA = "ACDEFGHIKLMNPQRSTVWY"


def evolve(rng, seq, length):
    # Jukes-Cantor on 20 states: a site is redrawn uniformly with probability 1 - exp(-20/19 t),
    # which leaves it changed with probability 19/20 (1 - exp(-20 t / 19)).
    redraw = 1.0 - math.exp(-20.0 * length / 19.0)
    return [rng.choice(AA) if rng.random() < redraw else c for c in seq]


def dirichlet(rng, alpha, size):
    draws = [rng.gammavariate(alpha, 1.0) for _ in range(size)]
    total = sum(draws) or 1.0
    return [d / total for d in draws]


def main():
    kind = sys.argv[1]
    rng = random.Random(20261210)
    if kind == "protein":
        n, t, k = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
        between, within, path, labels = float(sys.argv[5]), float(sys.argv[6]), sys.argv[7], sys.argv[8]
        root = [rng.choice(AA) for _ in range(t)]
        ancestors = [evolve(rng, root, between) for _ in range(k)]
        group = [i % k for i in range(n)]
        with open(path, "w") as out:
            for i, g in enumerate(group):
                out.write(">s%d_family%d\n%s\n" % (i + 1, g + 1, "".join(evolve(rng, ancestors[g], within))))
    elif kind == "subfamilies":
        n, t, k = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
        differ, within, path, labels = float(sys.argv[5]), float(sys.argv[6]), sys.argv[7], sys.argv[8]
        if len(sys.argv) > 9:
            rng = random.Random(int(sys.argv[9]))
        root = [rng.choice(AA) for _ in range(t)]
        positions = set(rng.sample(range(t), max(1, round(differ * t))))
        ancestors = [list(root) for _ in range(k)]
        for p in sorted(positions):
            for g, residue in enumerate(rng.sample(AA, k)):
                ancestors[g][p] = residue
        clades = int(sys.argv[10]) if len(sys.argv) > 10 else 1
        rates = [rng.gammavariate(0.5, 2.0) for _ in range(t)]

        def mutate(seq, length):
            return [rng.choice(AA) if rng.random() < 1.0 - math.exp(-20.0 * length * rates[p] / 19.0)
                    else seq[p] for p in range(t)]

        step = within / 4 if clades > 1 else 0.0
        tops = [[mutate(a, step) for _ in range(clades)] if clades > 1 else [a] for a in ancestors]
        group = [i % k for i in range(n)]
        with open(path, "w") as out:
            for i, g in enumerate(group):
                seq = mutate(tops[g][(i // k) % clades], within - step)
                out.write(">s%d_sub%d\n%s\n" % (i + 1, g + 1, "".join(seq)))
    elif kind == "latent":
        n, t, k, levels = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
        path, labels = sys.argv[6], sys.argv[7]
        tables = [[dirichlet(rng, 0.5, levels) for _ in range(t)] for _ in range(k)]
        group = [i % k for i in range(n)]
        with open(path, "w") as out:
            for g in group:
                row = []
                for col in tables[g]:
                    u, acc, value = rng.random(), 0.0, levels - 1
                    for v, p in enumerate(col):
                        acc += p
                        if u < acc:
                            value = v
                            break
                    row.append(str(value))
                out.write(" ".join(row) + "\n")
    else:
        sys.exit("unknown kind " + kind)
    with open(labels, "w") as lab:
        lab.write("".join("%d\n" % g for g in group))


if __name__ == "__main__":
    main()
