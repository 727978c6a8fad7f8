#!/usr/bin/env python3
"""Adjusted Rand index of two clusterings of the same observations.

usage: ari.py TRUTH FOUND    each file: one label per observation, blank-separated or one a
                             line, in data order; prints "ARI CLUSTERS" (clusters in FOUND)
"""
import sys
from collections import Counter


def labels(path):
    with open(path) as f:
        return f.read().split()


def pairs(m):
    return m * (m - 1) / 2


def ari(a, b):
    if len(a) != len(b):
        sys.exit("ari.py: %d labels against %d" % (len(a), len(b)))
    together = sum(pairs(m) for m in Counter(zip(a, b)).values())
    rows = sum(pairs(m) for m in Counter(a).values())
    cols = sum(pairs(m) for m in Counter(b).values())
    expected = rows * cols / pairs(len(a))
    top = (rows + cols) / 2
    # Both clusterings a single cluster (or all singletons): they agree perfectly.
    return 1.0 if top == expected else (together - expected) / (top - expected)


if __name__ == "__main__":
    truth, found = labels(sys.argv[1]), labels(sys.argv[2])
    print("%.4f %d" % (ari(truth, found), len(set(found))))
