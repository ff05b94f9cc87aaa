#!/usr/bin/python3
"""phonopy judges the zone-centre irreps of the tables.

For seeded crystals of every space group (atoms of two to three types on random Wyckoff
positions with random parameters, "pml" cell in a random metric of the crystal system) and
the textbook crystals, force constants are made generic and symmetric (a random matrix
averaged over the group, then symmetrised); phonopy's irreducible representations at the zone
centre (degenerate sets and their Mulliken labels) must equal what the tables predict from
their characters (labels, counts and dimensions). Where phonopy names no irrep (its character
tables lack some orientations, such as P31m and P3112) the sizes and counts are compared.

Usage: test_phonopy_judge.py [--all]   (CI runs a fixed sample of 40 groups plus the textbook
crystals; --all runs every group)
"""
import os
import sys
import unittest
from collections import Counter

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, ".."))
import check_mode_tables as cm  # noqa: E402
import test_mode_tables as tm  # noqa: E402

SAMPLE = 40


def crystal(t, g, atoms, rng):
    """(lattice rows, fractional positions, types) of the crystal in the "pml" cell."""
    L = t.bravais(g)
    B = cm.conventional_basis(L)
    lattice = B @ cm.primitive_basis(t, L)
    pos, types = [], []
    for n, label in enumerate(atoms, start=1):
        for x in tm.orbit(t, g, tm.position(t, g, label), rng):
            pos.append([float(v) for v in x])
            types.append(n)
    return lattice, np.array(pos), types


def symmetric_force_constants(t, g, lattice, pos, rng):
    """Random force constants averaged over the group (phi(g a, g b) = R phi(a, b) R^T) and
    made symmetric; as phonopy wants them, (atom, atom, 3, 3)."""
    L = t.bravais(g)
    B = cm.conventional_basis(L)
    n = len(pos)
    A = rng.standard_normal((n, 3, n, 3))
    phi = np.zeros_like(A)
    for op in t.ops(g):
        R = t.prim_rot(L, op[4])
        Rc = B @ t.rot(op[4]) @ np.linalg.inv(B)
        image = (pos @ R.T + np.array(op[:3]) / op[3]) % 1.0
        perm = []
        for y in image:
            d = (pos - y + 0.5) % 1.0 - 0.5
            perm.append(int(np.argmin(np.abs(d).sum(axis=1))))
        rotated = np.einsum("ij,ajbk,lk->aibl", Rc, A, Rc)
        phi[np.ix_(perm, range(3), perm, range(3))] += rotated
    phi = phi + phi.transpose(2, 3, 0, 1)
    return phi.transpose(0, 2, 1, 3)


def phonopy_irreps(lattice, pos, types, fc):
    from phonopy import Phonopy
    from phonopy.structure.atoms import PhonopyAtoms
    symbols = ["H", "Li", "C", "O", "F"]
    cell = PhonopyAtoms(symbols=[symbols[x - 1] for x in types], cell=lattice.T,
                        scaled_positions=pos)
    ph = Phonopy(cell, supercell_matrix=np.eye(3, dtype=int), log_level=0)
    ph.force_constants = fc
    ph.set_irreps([0, 0, 0], degeneracy_tolerance=1e-5)
    ir = ph.irreps
    labels = ir._ir_labels or [None] * len(ir._degenerate_sets)
    return [(len(s), label) for s, label in zip(ir._degenerate_sets, labels)]


def expected(t, g, atoms, rng):
    counts = tm.modes_by_characters(t, g, atoms, rng)
    dims = {}
    for i in cm.zone_centre_irreps(t, g):
        dims[cm.text(t.irr["IRREP_SECOND_LABEL"][i - 1]).strip()] = t.dim(i)
    return Counter({(dims[label], label): n for label, n in counts.items()})


def judge(t, g, atoms, seed):
    rng = np.random.default_rng(seed)
    lattice, pos, types = crystal(t, g, atoms, np.random.default_rng(seed))
    fc = symmetric_force_constants(t, g, lattice, pos, rng)
    got = Counter(phonopy_irreps(lattice, pos, types, fc))
    want = expected(t, g, atoms, np.random.default_rng(seed))
    if all(label is None for _, label in got):
        # phonopy names no irreps of some orientations (P31m, P3112, ...): sizes only
        sizes = Counter()
        for (d, _), n in want.items():
            sizes[(d, None)] += n
        want = sizes
    return got, want


def random_atoms(t, g, rng):
    """Two atoms on the general position (so that the crystal has exactly the group's
    symmetry) and up to two on distinct special positions."""
    w0 = int(t.w["WYC_FIRST"][g - 1])
    labels = [cm.text(t.w["WYC_LABEL"][w - 1]).strip()
              for w in range(w0, w0 + int(t.w["WYC_COUNT"][g - 1]))]
    special = labels[:-1]
    n = min(len(special), int(rng.integers(0, 3)))
    chosen = [special[int(j)] for j in sorted(rng.choice(len(special), n, replace=False))]
    return tuple(chosen) + (labels[-1], labels[-1])


class Judge(unittest.TestCase):
    groups = None

    def test_textbook_crystals(self):
        t = tm.tables()
        for name, g, atoms, _ in tm.TEXTBOOK:
            with self.subTest(crystal=name):
                got, want = judge(t, g, atoms, 11)
                self.assertEqual(got, want)

    def test_seeded_crystals(self):
        t = tm.tables()
        rng = np.random.default_rng(20261210)
        groups = self.groups or sorted(int(x) for x in rng.choice(230, SAMPLE, replace=False) + 1)
        for g in groups:
            atoms = random_atoms(t, g, rng)
            with self.subTest(group=g, atoms=atoms):
                got, want = judge(t, g, atoms, g)
                self.assertEqual(got, want)


if __name__ == "__main__":
    if "--all" in sys.argv:
        sys.argv.remove("--all")
        Judge.groups = list(range(1, 231))
    result = unittest.main(exit=False, verbosity=1).result
    sys.exit(0 if result.wasSuccessful() else 1)
