#!/usr/bin/python3
"""The stored irreps of Fd-3c at W and Ia-3d at N against the published characters of the
little-group irreps at those points (the tables of the single-valued irreps of the 230 space
groups, standard setting: Fd-3c origin choice 2, Ia-3d; the operators and characters as
published are written down below, nothing of the table maker is used).

For a stored irrep D the multiplicity of a published little-group irrep q in the restriction
of D to the little group G_k is (1 / |H|) sum over h in H = G_k / T_N of conj(chi_q(h)) chi_D(h),
T_N the translations N t that act trivially at k. chi_D is the trace of the stored matrices as
the program composes them (the checker's reader); chi_q(h) is the published character of the
coset representative (R | t_R) times the phase exp(2 pi i k . m) of the lattice vector m
between h and it (the other sign convention gives the same multiplicities here: the phases at
N are real, and the slot at W holds both W1 and W2). The settings are matched by an origin
shift found from the operators (none: the tables use the standard settings). Expected: at Ia-3d N
each of the two stored slots holds exactly one of N1, N2, and the two slots hold different ones;
at Fd-3c W the one stored slot (complex, stored in real form with its conjugate) holds W1 and
W2 once each.
"""
import cmath
import math
import os
import sys
import unittest
from fractions import Fraction as F
from itertools import product

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import check_mode_tables as cm  # noqa: E402

H = F(1, 2)
Q = F(1, 4)
I_CENTRING = [(0, 0, 0), (H, H, H)]
F_CENTRING = [(0, 0, 0), (0, H, H), (H, 0, H), (H, H, 0)]


def polar(absolute, phases):
    """Characters published as absolute values and phases in units of pi."""
    return [a * cmath.exp(1j * math.pi * p) for a, p in zip(absolute, phases)]


# group: (k label, k in conventional reciprocal coordinates, centring, published coset
# representatives (rotation rows, translation), characters of each irrep on them).
PUBLISHED = {
    228: ("W", (H, 1, 0), F_CENTRING, [
        (((1, 0, 0), (0, 1, 0), (0, 0, 1)), (0, 0, 0)),
        (((1, 0, 0), (0, -1, 0), (0, 0, -1)), (0, Q, Q)),
        (((-1, 0, 0), (0, 0, 1), (0, 1, 0)), (H, Q, Q)),
        (((-1, 0, 0), (0, 0, -1), (0, -1, 0)), (H, H, H)),
        (((1, 0, 0), (0, 1, 0), (0, 0, -1)), (Q, Q, 0)),
        (((1, 0, 0), (0, -1, 0), (0, 0, 1)), (Q, 0, Q)),
        (((-1, 0, 0), (0, 0, -1), (0, 1, 0)), (Q, Q, H)),
        (((-1, 0, 0), (0, 0, 1), (0, -1, 0)), (Q, H, Q))],
        {"W1": polar((2, 0, 0, 0, 0, 0, 2 ** 0.5, 2 ** 0.5), (0, 0.5, 0, 0, 0, 0, 0.25, -0.25)),
         "W2": polar((2, 0, 0, 0, 0, 0, 2 ** 0.5, 2 ** 0.5), (0, 0.5, 0, 0, 0, 0, -0.75, 0.75))}),
    230: ("N", (H, H, 0), I_CENTRING, [
        (((1, 0, 0), (0, 1, 0), (0, 0, 1)), (0, 0, 0)),
        (((-1, 0, 0), (0, -1, 0), (0, 0, 1)), (0, H, 0)),
        (((0, 1, 0), (1, 0, 0), (0, 0, -1)), (3 * Q, Q, Q)),
        (((0, -1, 0), (-1, 0, 0), (0, 0, -1)), (Q, Q, Q)),
        (((-1, 0, 0), (0, -1, 0), (0, 0, -1)), (0, 0, 0)),
        (((1, 0, 0), (0, 1, 0), (0, 0, -1)), (0, H, 0)),
        (((0, -1, 0), (-1, 0, 0), (0, 0, 1)), (3 * Q, Q, Q)),
        (((0, 1, 0), (1, 0, 0), (0, 0, 1)), (Q, Q, Q))],
        {"N1": [2, 0, 2, 0, 0, 0, 0, 0], "N2": [2, 0, -2, 0, 0, 0, 0, 0]}),
}


def in_lattice(v, centring):
    return any(all((x - c).denominator == 1 for x, c in zip(v, cen)) for cen in centring)


def rotation(t, k):
    return tuple(tuple(int(x) for x in row) for row in t.rot(k))


def apply(R, v):
    return tuple(sum(R[r][c] * v[c] for c in range(3)) for r in range(3))


def origin_shift(t, g, P, reps, centring):
    """p with t_ours + (I - R) p - t_published in the lattice for every published
    representative (R | t_published); the settings' origins differ by p."""
    ours = {}
    for op in t.ops(g):
        tp = [F(op[a], op[3]) for a in range(3)]
        ours[rotation(t, op[4])] = apply(P, tp)
    for p in product([F(n, 8) for n in range(8)], repeat=3):
        if all(in_lattice(tuple(ours[R][a] + p[a] - apply(R, p)[a] - tr[a] for a in range(3)),
                          centring) for R, tr in reps):
            return p
    raise AssertionError("no origin shift relates the settings of group %d" % g)


def multiplicities(t, g):
    """{slot: {published irrep: multiplicity}} and the norms of the published characters on H
    (1 for an irreducible character written down right)."""
    label, kc, centring, reps, chars = PUBLISHED[g]
    L = t.bravais(g)
    P = tuple(tuple(F(x).limit_denominator(2) for x in row) for row in cm.primitive_basis(t, L))
    p = origin_shift(t, g, P, reps, centring)
    kp = tuple(sum(P[r][c] * kc[r] for r in range(3)) for c in range(3))  # k . P n = kp . n
    N = math.lcm(*(x.denominator for x in kp))
    listed = {rotation(t, op[4]): op for op in t.ops(g)}
    # the elements of H: (R | t_R + n), n in Z^3 mod N (primitive coordinates)
    elems = []
    for (R, tr), c in zip(reps, range(len(reps))):
        op = listed[R]
        for n in product(range(N), repeat=3):
            tp = [F(op[a], op[3]) + n[a] for a in range(3)]
            m = tuple(x + y - z - w for x, y, z, w in zip(apply(P, tp), p, apply(R, p), tr))
            assert in_lattice(m, centring), (R, n)
            elems.append((c, sum(k * x for k, x in zip(kc, m)),
                          tuple(op[a] + n[a] * op[3] for a in range(3)) + (op[3], op[4])))
    j = next(j for j in range(1, int(t.lit["KVEC_COUNT"][L - 1]) + 1)
             if cm.text(t.lit["KVEC_LABEL"][j - 1, L - 1]).strip() == label)
    count = int(t.lit["LITTLE_IRREP_COUNT"][j - 1, g - 1])
    slots = [int(t.lit["LITTLE_IRREP_TO_IRREP"][int(t.lit["LITTLE_IRREP_NUMBER"][m, j - 1,
                                                                            g - 1]) - 1])
             for m in range(count)]
    stored = {i: np.array([np.trace(t.op_matrix(i, op)) for _, _, op in elems]) for i in slots}
    pub = {q: np.array([v[c] * cmath.exp(2j * math.pi * float(phase)) for c, phase, _ in elems])
           for q, v in chars.items()}
    norms = {q: float(np.vdot(x, x).real) / len(elems) for q, x in pub.items()}
    mult = {m: {q: complex(np.vdot(x, stored[i]) / len(elems)) for q, x in pub.items()}
            for m, i in enumerate(slots, start=1)}
    return mult, norms


class PublishedCharacters(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.t = cm.Tables(os.path.join(ROOT, "data"))

    def rounded(self, mult):
        out = {}
        for m, row in mult.items():
            for q, x in row.items():
                self.assertAlmostEqual(abs(x - round(x.real)), 0, places=6, msg=(m, q, x))
            out[m] = {q: int(round(x.real)) for q, x in row.items()}
        return out

    def test_ia3d_n(self):
        mult, norms = multiplicities(self.t, 230)
        self.assertEqual(norms, {"N1": 1.0, "N2": 1.0})
        got = self.rounded(mult)
        self.assertEqual(sorted(got), [1, 2])
        self.assertEqual(sorted(tuple(sorted(row.values())) for row in got.values()),
                         [(0, 1), (0, 1)])
        self.assertNotEqual(got[1], got[2])

    def test_fd3c_w(self):
        mult, norms = multiplicities(self.t, 228)
        for q, x in norms.items():
            self.assertAlmostEqual(x, 1.0, places=9, msg=q)
        self.assertEqual(self.rounded(mult), {1: {"W1": 1, "W2": 1}})


if __name__ == "__main__":
    unittest.main()
