#!/usr/bin/python3
"""phonopy judges the irreps at the special points that the table maker finds.

A crystal (textbook structures and seeded crystals on general positions) gets generic
symmetric force constants in a supercell that holds the k vector (a random matrix averaged
over the space group and the supercell's translations, then symmetrised); phonopy's
frequencies at k fall into degenerate sets. The prediction: the multiplicity of each small
irrep in the displacement representation at k (from the site characters), each irrep giving
sets of its small dimension s, or 2 s when time reversal joins it to a partner in the star
(pseudoreal: to itself, complex: to its conjugate partner). The sizes and counts of the sets
must agree exactly.

Usage: test_phonopy_fixed_kpoints.py [--all]   (CI runs the textbook sample below; --all adds
the seeded crystals, about ten minutes)
"""
import os
import sys
import unittest
from collections import Counter
from fractions import Fraction
from math import lcm

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, ".."))
import check_mode_tables as cm  # noqa: E402
import test_mode_tables as tm  # noqa: E402
from tablegen import modes, space  # noqa: E402
from tablegen import fixed_kpoints as sp  # noqa: E402

# (name, group, Wyckoff positions, k labels)
SAMPLE = [
    ("P212121", 19, ("4a", "4a"), ("R", "S")),
    ("SrTiO3", 221, ("1a", "1b", "3d"), ("R", "M", "X")),
    ("diamond", 227, ("8a",), ("X", "L", "W")),
    ("wurtzite", 186, ("2b", "2b"), ("K", "A")),
]
FULL = [
    ("P212121", 19, ("4a", "4a"), ("R", "S", "X", "U")),
    ("SrTiO3", 221, ("1a", "1b", "3d"), ("R", "M", "X")),
    ("diamond", 227, ("8a",), ("X", "L", "W")),
    ("wurtzite", 186, ("2b", "2b"), ("K", "H", "M", "A", "L")),
    ("rutile", 136, ("2a", "4f"), ("M", "A", "X", "R", "Z")),
    ("alpha-quartz", 152, ("3a", "6c"), ("K", "H", "A")),
    ("P-1 general", 2, ("2i", "2i"), ("R", "X")),
    ("P21/c general", 14, ("4e", "4e"), ("E", "Y", "Z")),
    ("Pnma general", 62, ("8d",), ("R", "S", "U")),
    ("Ia-3 special", 206, ("8a", "24d"), ("H", "N")),
    ("P6122 special", 178, ("6a",), ("K", "H", "A", "L")),
    ("I41/amd special", 141, ("4a", "8e"), ("X", "N")),
    ("R-3c special", 167, ("2a", "4c"), ("T", "L", "F")),
    ("Ia-3d special", 230, ("32e", "24c"), ("N",)),
]

_SHARED = None


def shared():
    global _SHARED
    if _SHARED is None:
        _SHARED = modes.Shared(space.build(), None)
    return _SHARED


def kvector(t, L, label):
    for j in range(int(t.lit["KVEC_COUNT"][L - 1])):
        if cm.text(t.lit["KVEC_LABEL"][j, L - 1]).strip() == label:
            M = t.lit["KVEC_MATRIX"][:, 0, j, L - 1]
            return j + 1, tuple(Fraction(int(M[r]), int(M[3])) for r in range(3))
    raise KeyError(label)


def crystal(t, g, atoms, rng):
    L = t.bravais(g)
    lattice = cm.conventional_basis(L) @ cm.primitive_basis(t, L)
    pos, types = [], []
    for n, label in enumerate(atoms, start=1):
        for x in tm.orbit(t, g, tm.position(t, g, label), rng):
            pos.append(x)
            types.append(n)
    return lattice, pos, types


def keys(frac):
    """Hashable keys of fractional positions (exact rationals of small denominator)."""
    return [tuple(int(v) for v in row) for row in np.rint(frac * 14400).astype(int) % 14400]


def phonopy_sets(t, g, lattice, pos, types, kappa, rng, cells=None):
    """Degenerate-set sizes and counts at kappa; the supercell is diag(cells) of the primitive
    cell (it must hold kappa and be invariant under the group), by default N times it."""
    from phonopy import Phonopy
    from phonopy.structure.atoms import PhonopyAtoms
    L = t.bravais(g)
    B = cm.conventional_basis(L)
    if cells is None:
        N = lcm(*(x.denominator for x in kappa))
        cells = (N, N, N)
    N = np.array(cells)
    symbols = ["H", "Li", "C", "O", "F"]
    cell = PhonopyAtoms(symbols=[symbols[x - 1] for x in types], cell=lattice.T,
                        scaled_positions=np.array([[float(v) for v in x] for x in pos]))
    ph = Phonopy(cell, supercell_matrix=np.diag(N), log_level=0)
    spos = ph.supercell.scaled_positions
    n = len(spos)
    A = rng.standard_normal((n, 3, n, 3))
    phi = np.zeros_like(A)
    index = {k: i for i, k in enumerate(keys(spos))}
    shifts = [np.array((a, b, c)) for a in range(N[0]) for b in range(N[1]) for c in range(N[2])]
    for op in t.ops(g):
        R = t.prim_rot(L, op[4])
        Rs = R * N[np.newaxis, :] / N[:, np.newaxis]   # R on the supercell basis
        Rc = B @ t.rot(op[4]) @ np.linalg.inv(B)
        rotated = np.einsum("ij,ajbk,lk->aibl", Rc, A, Rc)
        base = spos @ Rs.T + np.array(op[:3]) / op[3] / N
        for s in shifts:
            perm = [index[k] for k in keys(base + s / N)]
            phi[np.ix_(perm, range(3), perm, range(3))] += rotated
    phi = phi + phi.transpose(2, 3, 0, 1)
    ph.force_constants = phi.transpose(0, 2, 1, 3)
    ph.run_qpoints([[float(x) for x in kappa]], with_eigenvectors=False)
    f = np.sort(ph.get_qpoints_dict()["frequencies"][0])
    sizes, start = [], 0
    for i in range(1, len(f) + 1):
        if i == len(f) or abs(f[i] - f[start]) > 1e-4 * max(1.0, abs(f[start])):
            sizes.append(i - start)
            start = i
    return Counter(sizes)


def predicted_sets(t, g, kindex, kappa, pos, P):
    """Degenerate-set sizes and counts from the small irreps and the site characters."""
    L = t.bravais(g)
    chars = []
    for op in P.co_ops:
        Rp = t.prim_rot(L, op.k)
        tr = np.trace(t.rot(op.k))
        z = 0j
        for x in pos:
            y = [sum(int(Rp[a, b]) * x[b] for b in range(3)) + op.t[a] for a in range(3)]
            n = [y[a] - x[a] for a in range(3)]
            if all(v.denominator == 1 for v in n):
                z += tr * sp._phase(kappa, n)
        chars.append(z)
    chars = np.array(chars)
    best = None
    for sign in (1, -1):
        disp = chars if sign == 1 else chars.conj()
        mult = []
        for m, (_, chi) in enumerate(P.small):
            full = np.array([sp._phase(kappa, op.t) * chi[i] for i, op in enumerate(P.co_ops)])
            c = np.vdot(full, disp) / len(P.co)
            mult.append(c)
        if all(abs(c - round(c.real)) < 1e-6 and round(c.real) >= 0 for c in mult):
            best = [int(round(c.real)) for c in mult]
            break
    if best is None:
        return None
    sets = Counter()
    done = set()
    paired = bool(P.to_minus)
    for m, c in enumerate(best):
        s = P.small_dims()[m]
        rt = P.types[m]
        if not paired or rt == 1:
            sets[s] += c
        elif rt == 2:
            sets[2 * s] += c // 2
        elif m not in done:
            done.add(P.conjugate_partner(m))
            sets[2 * s] += c
    return +sets


class SpecialPointJudge(unittest.TestCase):
    crystals = SAMPLE

    def test_degenerate_sets(self):
        t = tm.tables()
        sh = shared()
        for name, g, atoms, labels in self.crystals:
            rng = np.random.default_rng(g)
            lattice, pos, types = crystal(t, g, atoms, rng)
            for label in labels:
                with self.subTest(crystal=name, k=label):
                    kindex, kappa = kvector(t, t.bravais(g), label)
                    P = sp.SpecialPoint(sh, g, kindex)
                    want = predicted_sets(t, g, kindex, kappa, pos, P)
                    self.assertIsNotNone(want, "no integral multiplicities")
                    got = phonopy_sets(t, g, lattice, pos, types, kappa, rng)
                    if os.environ.get("VERBOSE"):
                        print(name, label, dict(got), dict(want), flush=True)
                    self.assertEqual(got, want)


if __name__ == "__main__":
    if "--all" in sys.argv:
        sys.argv.remove("--all")
        SpecialPointJudge.crystals = FULL
    result = unittest.main(exit=False, verbosity=1).result
    sys.exit(0 if result.wasSuccessful() else 1)
