"""cellsieve on cells that are far from cubic, on supercells with one defect, on left-handed
bases and with extreme tolerances, judged by spglib and by two invariants of every report.

Every run of the table is checked for:
(a) its groups: the list expected (or, for the defect supercells, that the first group is exact
    and is spglib's group of the structure);
(b) the strain rule: each group's rms strain equals the rms of the principal strains (principal
    stretches less one) that carry the input lattice, spanned by the printed conventional vectors,
    into the printed strained cell, within 1e-5;
(c) handedness: the printed conventional vectors form a right-handed set in Cartesian terms, the
    input lattice being the vectors given (form 1) or the standard orientation (form 2).

The cellsieve binary is taken from SGL_BIN_DIR (set by CTest), else build/plain.
"""
import math
import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np
import spglib
from cctbx import sgtbx

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_cellsieve_spglib import BIN, DATA, EXAMPLES, lattice_from, parse_groups  # noqa: E402

SRTIO3 = [(1, (0, 0, 0)), (2, (0.5, 0.5, 0.5)), (3, (0.5, 0.5, 0)), (3, (0.5, 0, 0.5)), (3, (0, 0.5, 0.5))]


class Structure:
    """A cellsieve input: lattice (form 2 parameters or form 1 vectors), unit cell (rows, lattice
    coordinates), typed atoms in lattice coordinates, scope and tolerances."""

    def __init__(self, types, pos, params=None, vectors=None, cell=np.identity(3), scope=4,
                 tolerances=("0.01 0.001", "0.001 0.0001")):
        self.types, self.pos = list(types), np.array(pos, dtype=float)
        self.params, self.vectors, self.cell = params, vectors, np.array(cell, dtype=float)
        self.scope, self.tolerances = scope, tolerances

    def lattice(self):
        """The Cartesian lattice vectors as rows."""
        return np.array(self.vectors, dtype=float) if self.vectors else lattice_from(self.params)

    def text(self):
        out = ["awkward cell", str(self.scope), self.tolerances[0], self.tolerances[1]]
        if self.vectors:
            out += ["1"] + [" ".join("%.8f" % x for x in v) for v in self.vectors]
        else:
            out += ["2", " ".join("%.6f" % x for x in self.params)]
        out += [" ".join("%g" % x for x in v) for v in self.cell] + [str(len(self.types))]
        out += [" ".join(str(t) for t in self.types[i:i + 20]) for i in range(0, len(self.types), 20)]
        out += ["%.10f %.10f %.10f" % tuple(x) for x in self.pos]
        return "\n".join(out) + "\n"

    def spglib_number(self, symprec):
        cell = (self.cell @ self.lattice(), self.pos @ np.linalg.inv(self.cell), self.types)
        return spglib.get_symmetry_dataset(cell, symprec=symprec)["number"]


def example(name, **changes):
    """An example input of form 2 with the identity cell, as a Structure."""
    with open(os.path.join(EXAMPLES, name + ".in")) as f:
        lines = f.read().split("\n")
    assert lines[4].strip() == "2" and lines[6:9] == ["1 0 0", "0 1 0", "0 0 1"]
    n = int(lines[9])
    s = Structure([int(v) for v in lines[10].split()], [[float(v) for v in lines[11 + i].split()] for i in range(n)],
                  params=[float(v) for v in lines[5].split()], scope=int(lines[1]), tolerances=(lines[2], lines[3]))
    for key, value in changes.items():
        setattr(s, key, value)
    return s


def supercell(n, moved=None, shift=0.0, axis=2, scope=4):
    """SrTiO3 (a = 3.905) as n1 x n2 x n3 cells, cell by cell (k fastest) and Sr, Ti, O, O, O
    within a cell; atom `moved` (0-based) shifted by `shift` A along `axis`."""
    a = 3.905
    types, pos = [], []
    for i in range(n[0]):
        for j in range(n[1]):
            for k in range(n[2]):
                for t, x in SRTIO3:
                    types.append(t)
                    pos.append([(x[0] + i) / n[0], (x[1] + j) / n[1], (x[2] + k) / n[2]])
    if moved is not None:
        pos[moved][axis] += shift / (n[axis] * a)
    return Structure(types, pos, params=[n[0] * a, n[1] * a, n[2] * a, 90, 90, 90], scope=scope)


def needle(params, order, **kw):
    """Two chains along the long axis, 0.03 lattice units apart; `order` says which coordinate of
    the long-axis layout becomes x, y, z."""
    base = [(1, (0, 0, 0)), (2, (0.00666667, 0.5, 0.5)), (1, (0.01333333, 0, 0)), (2, (0.02, 0.5, 0.5))]
    return Structure([t for t, _ in base], [[x[order[k]] for k in range(3)] for _, x in base], params=params, **kw)


def slab(params, inner):
    """An atom at the origin and one at `inner`: a slab whose fourfold axis is the long axis."""
    return Structure([1, 2], [[0, 0, 0], inner], params=params)


def orbit_structure(symbol, cell, sites):
    """Every atom of the orbits of `sites` (type, position) under the group `symbol`."""
    group = sgtbx.space_group_info(symbol).group()
    types, pos = [], []
    for t, x in sites:
        orbit = []
        for op in group.all_ops():
            y = np.mod(np.array(op * x, dtype=float), 1.0)
            if not any(np.max(np.abs((y - z + 0.5) % 1.0 - 0.5)) < 1e-6 for z in orbit):
                orbit.append(y)
        types += [t] * len(orbit)
        pos += orbit
    return Structure(types, pos, params=cell)


def cellsieve(text):
    with tempfile.TemporaryDirectory() as d:
        return subprocess.run([BIN], input=text, capture_output=True, text=True, cwd=d,
                              env={**os.environ, "XTALDIR": DATA}, timeout=600)


def principal_strain_rms(lattice, vectors, cell):
    """The rms of the principal strains that carry the conventional cell spanned by `vectors`
    (rows, lattice coordinates) of `lattice` (Cartesian rows) into the cell of the six values."""
    b0 = np.array(vectors) @ lattice
    b1 = lattice_from(cell)
    stretches = np.sqrt(np.linalg.eigvals(np.linalg.solve(b0 @ b0.T, b1 @ b1.T)).real)
    return math.sqrt(np.sum((stretches - 1.0) ** 2) / 3.0)


class AwkwardCells(unittest.TestCase):
    def report(self, s):
        """The groups of a run, checked for the strain rule and the handedness."""
        r = cellsieve(s.text())
        self.assertEqual(r.returncode, 0, r.stdout[-2000:] + r.stderr)
        groups = parse_groups(r.stdout)
        self.assertTrue(groups, "no group reported")
        for g in groups:
            with self.subTest(group=g["sg"], vectors=g["vectors"]):
                self.assertAlmostEqual(g["rms"][1], principal_strain_rms(s.lattice(), g["vectors"], g["cell"]),
                                       delta=1e-5)
                self.assertGreater(np.linalg.det(np.array(g["vectors"]) @ s.lattice()), 0.0)
        return groups

    def test_groups_of_awkward_cells(self):
        # name, structure, the space groups reported (in order), spglib's tolerance for the first
        cases = [
            # A shear of the long needle axis against a short one is a large strain: only Pm.
            ("needle, long a", needle([300, 4, 4.5, 90, 90, 94], (0, 1, 2)), [6], 0.01),
            ("needle, long b", needle([4.5, 300, 4, 94, 90, 90], (2, 0, 1)), [6], 0.01),
            ("needle, long c", needle([4, 4.5, 300, 90, 94, 90], (1, 2, 0)), [6], 0.01),
            # With room for it, the strain of gamma 94 -> 90 is 0.0286 (principal strains near
            # +-0.035): its rms must be the one printed.
            ("needle, long a, smax 0.04",
             needle([300, 4, 4.5, 90, 90, 94], (0, 1, 2), tolerances=("0.01 0.001", "0.04 0.0001")), [25], None),
            # A slab tilted by 0.005 degrees needs a strain of 4e-5 for its fourfold axis.
            ("slab, long c", slab([4, 4, 150, 90, 90.005, 90], [0.5, 0.5, 0.01]), [99], 0.01),
            ("slab, long a", slab([150, 4, 4, 90, 90.005, 90], [0.01, 0.5, 0.5]), [99], 0.01),
            ("slab, long b", slab([4, 150, 4, 90.005, 90, 90], [0.5, 0.01, 0.5]), [99], 0.01),
            # Tolerances far below rounding count as 1e-10.
            ("BaTiO3, dmax 1e-16", example("batio3", tolerances=("1e-16 0.001", "0.001 0.0001")), [99], 1e-3),
            ("BaTiO3, smax 1e-20", example("batio3", tolerances=("0.01 0.001", "1e-20 0.0001")), [99], 1e-3),
            ("BaTiO3, smax 1e-100", example("batio3", tolerances=("0.01 0.001", "1e-100 0.0001")), [99], 1e-3),
            # Two atoms of one type 0.06 A apart, closer than dmax: searched as any structure.
            ("dimer 0.06 A in a 3 A cube", Structure([1, 1], [[0, 0, -0.01], [0, 0, 0.01]], params=[3, 3, 3, 90, 90, 90],
                                                     tolerances=("0.1 0.001", "0.001 0.0001")), [123], 0.01),
            # Left-handed primitive bases of the sublattices: the cells must still be
            # right-handed (and the chiral group named as it is).
            ("spinel", orbit_structure("F d -3 m :2", [8.08, 8.08, 8.08, 90, 90, 90],
                                       [(1, (0.125, 0.125, 0.125)), (2, (0.5, 0.5, 0.5)), (3, (0.2624, 0.2624, 0.2624))]),
             [227], 1e-3),
            ("CsCl 2x2x2", Structure([1, 2] * 8, [[(i + d) / 2, (j + d) / 2, (k + d) / 2] for i in (0, 1) for j in (0, 1)
                                                 for k in (0, 1) for d in (0, 0.5)], params=[8.246] * 3 + [90] * 3),
             [221], 1e-3),
        ]
        for name, s, expected, symprec in cases:
            with self.subTest(case=name):
                groups = self.report(s)
                self.assertEqual([g["sg"] for g in groups], expected)
                if symprec:
                    self.assertEqual(s.spglib_number(symprec), expected[0])
                self.assertLess(groups[0]["rms"][0], 1e-5)
        # The needle's strain with room for it, against the value worked out by hand.
        groups = self.report(cases[3][1])
        self.assertAlmostEqual(groups[0]["rms"][1], 0.02855, delta=5e-5)

    def test_supercells_with_one_defect(self):
        # An exact group is reported, and the first of them is spglib's group of the structure (at
        # 0.01 A, the displacement tolerance): the first O of SrTiO3 3x3x3 moved 0.15 A along z
        # gives P4mm. (Groups that need displacements within dmax may come before it.)
        cases = [
            ((3, 3, 3), 2, 0.15, 2, 4),
            ((3, 3, 3), 2, 0.15, 2, 1),
            ((3, 3, 3), 1, 0.15, 0, 4),  # Ti along x
            ((3, 3, 3), 3, 0.15, 0, 4),  # the second O along x: Pmm2
            ((2, 2, 2), 2, 0.15, 0, 4),
            ((3, 3, 2), 4, 0.15, 2, 4),
            ((4, 4, 4), 2, 0.3, 2, 4),   # 0.15 A in 320 atoms is within dmax of the 64-point lattice
        ]
        for n, moved, shift, axis, scope in cases:
            with self.subTest(cells=n, moved=moved, axis=axis, scope=scope):
                s = supercell(n, moved, shift, axis, scope)
                exact = [g for g in self.report(s) if g["rms"][0] < 1e-5 and g["rms"][1] < 1e-5]
                self.assertTrue(exact, "no exact group")
                self.assertEqual(exact[0]["sg"], s.spglib_number(0.01))
                self.assertEqual(exact[0]["points"], 1)

    def test_rows_equal_by_symmetry_carry_equal_strains(self):
        # rocksalt_distorted_all: c stretched, so the fourfold axis along z carries the I4/mmm with
        # the fourfold along x into the one along y, and the four R-3m into one another.
        s = example("rocksalt_distorted_all")
        groups = [g for g in self.report(s) if g["points"] == 4]
        strains = {}
        for g in groups:
            strains.setdefault(g["sg"], []).append(g["rms"][1])
        self.assertEqual(len(strains[166]), 4)
        self.assertAlmostEqual(max(strains[166]), min(strains[166]), delta=1e-5)
        tilted = [x for x in strains[139] if x > 1e-5]
        self.assertEqual(len(tilted), 2)
        self.assertAlmostEqual(tilted[0], tilted[1], delta=1e-5)

    def test_handedness_of_the_structure_is_kept(self):
        # Quartz from vectors: the structure given is analysed, not its mirror image; the group
        # is spglib's on the same Cartesian structure. Doubled along b (its primitive basis is
        # then left-handed) it keeps its group.
        q = example("quartz")
        a, c = q.params[0], q.params[2]
        right = [[a, 0, 0], [-a / 2, a * math.sqrt(3) / 2, 0], [0, 0, c]]
        left = [right[0], right[1], [0, 0, -c]]
        inverted = example("quartz_inverted")
        doubled = Structure(q.types * 2, [[x[0], x[1] + k, x[2]] for k in (0, 1) for x in q.pos], params=q.params,
                            cell=[[1, 0, 0], [0, 2, 0], [0, 0, 1]])
        cases = [
            ("quartz, right-handed vectors", Structure(q.types, q.pos, vectors=right), 154),
            ("quartz, left-handed vectors", Structure(q.types, q.pos, vectors=left), 152),
            ("inverted quartz, left-handed vectors", Structure(inverted.types, inverted.pos, vectors=left), 154),
            ("quartz doubled along b", doubled, 154),
        ]
        for name, s, expected in cases:
            with self.subTest(case=name):
                self.assertEqual(s.spglib_number(1e-3), expected)
                self.assertEqual(self.report(s)[0]["sg"], expected)

    def test_coincident_atoms(self):
        # Two atoms of different types at one point are refused; within 1e-4 too.
        for pos in ([[0, 0, 0], [0, 0, 0]], [[0, 0, 0], [0.00001, 0, 0]], [[0.99999, 0.5, 0.5], [0.00001, 0.5, 0.5]]):
            with self.subTest(pos=pos):
                r = cellsieve(Structure([1, 2], pos, params=[3.905] * 3 + [90] * 3).text())
                self.assertEqual(r.returncode, 1)
                self.assertIn(" Error 044 in cellsieve\n Invalid input:  atoms 1 and 2 of types 1 and 2 lie at the same point\n",
                              r.stdout)


if __name__ == "__main__":
    if not os.path.exists(BIN):
        print("cellsieve binary not found at", BIN)
        sys.exit(1)
    unittest.main()
