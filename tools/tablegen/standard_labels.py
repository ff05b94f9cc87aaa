"""Standard (CDML) labels of the stored irreps, looked up by their characters.

tools/standard_irrep_labels.txt lists, per space group and k type without parameters (k letter),
the standard label of every irrep with a fingerprint of its real characters on G/T_N (see the
file's header). The label of an irrep is found by computing that fingerprint from its matrices,
so it follows the irrep whatever basis its matrices are given in and whatever slot it takes.
"""
import hashlib
import os
from functools import lru_cache
from itertools import product as iproduct

import numpy as np

TABLE = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                     "standard_irrep_labels.txt")
# A character this close (in units of the last written digit, 0.001) to the middle between two
# written values would make the fingerprint depend on rounding noise.
MARGIN = 0.1


def fail(msg):
    raise SystemExit("make_tables (labels): " + msg)


@lru_cache(maxsize=None)
def table():
    """{(group, k letter): {fingerprint: label}}."""
    out = {}
    with open(TABLE) as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            g, letter, *items = line.split()
            entry = out.setdefault((int(g), letter), {})
            for item in items:
                label, fp = item.split(":")
                if fp in entry or len(label) > 8:
                    fail("%s: group %s k %s: entry %s" % (TABLE, g, letter, item))
                entry[fp] = label
    return out


def period(kappa):
    """Smallest N with N kappa integral (kappa a sequence of Fractions)."""
    n = 1
    for x in kappa:
        d = x.denominator
        a, b = n, d
        while b:
            a, b = b, a % b
        n = n * d // a
    return n


def grid_characters(translations, operators, kappa):
    """Real characters trace(T1^v1 T2^v2 T3^v3 D_j), v over {0..N-1}^3 (v1 slowest), j inner:
    an array of shape (N^3, number of operators)."""
    T = [np.asarray(M, dtype=float) for M in translations]
    D = np.array([np.asarray(M, dtype=float) for M in operators])
    n = period(kappa)
    mats = []
    for v in iproduct(range(n), repeat=3):
        A = np.eye(T[0].shape[0])
        for a in range(3):
            if v[a]:
                A = np.linalg.matrix_power(T[a], v[a]) @ A
        mats.append(A)
    return np.einsum("tij,oji->to", np.array(mats), D)


def fingerprint(chars):
    """The first eight hexadecimal digits of the SHA-1 digest of the characters written "%.3f"
    (-0.000 as 0.000), joined by blanks; stops when a character lies too near a rounding
    boundary for the text to be certain."""
    x = np.asarray(chars, dtype=float).ravel() * 1000.0
    if np.any(np.abs(np.abs(x - np.floor(x)) - 0.5) < MARGIN):
        fail("a character lies within %g of a rounding boundary of its fingerprint"
             % (MARGIN / 1000.0))
    words = []
    for c in np.asarray(chars, dtype=float).ravel():
        w = "%.3f" % c
        words.append("0.000" if w == "-0.000" else w)
    return hashlib.sha1(" ".join(words).encode("ascii")).hexdigest()[:8]


def label(g, letter, translations, operators, kappa):
    """Standard label of the irrep of group g at the k type `letter` whose matrices are
    `translations` (the three primitive translations) and `operators` (the listed operators in
    table order); stops when the table has no irrep with these characters there."""
    fp = fingerprint(grid_characters(translations, operators, kappa))
    entry = table().get((g, letter))
    if entry is None:
        fail("no standard labels for group %d k %s in %s" % (g, letter, TABLE))
    if fp not in entry:
        fail("group %d k %s: no standard label for the irrep with fingerprint %s"
             % (g, letter, fp))
    return entry[fp]
