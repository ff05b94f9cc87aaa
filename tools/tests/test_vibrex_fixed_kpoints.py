#!/usr/bin/python3
"""vibrex at stored special points: SrTiO3 (Pm-3m) at R, M and X, diamond (Fd-3m) at X and L.

Each report must hold, for the whole star, 3N modes per arm (N atoms of the primitive cell),
each irrep's modes independent, of one atom type each and orthogonal to other irreps' on the
same supercell; spglib must find the parent group in the printed supercell and, displaced
along a random combination of an irrep's modes, the isotropy subgroup that the choice rule
(repeated here on the tables, read by the checker's own reader) picks; the superlattice of an
irrep is the chosen entry's. SrTiO3 at R: the oxygen tilts, the irrep labelled R4+, give
I4/mcm (140) on a cell of twice the volume. Every stored special point of every example runs and gives 3N modes per arm.
"""
import os
import sys
import unittest

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import test_vibrex_examples as ve  # noqa: E402
from test_vibrex_examples import Tables, text  # noqa: E402

# input, k label, star arms, atoms of the primitive cell
CASES = [("srtio3.in", "R", 1, 5), ("srtio3.in", "M", 3, 5), ("srtio3.in", "X", 3, 5),
         ("diamond.in", "X", 3, 2), ("diamond.in", "L", 4, 2)]


class SpecialPoints(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tables = Tables(ve.DATA)
        cls.runs = {}
        for name, k, *_ in CASES:
            rc, out = ve.run_vibrex(name, k)
            assert rc == 0, (name, k, rc, out[-500:])
            cls.runs[(name, k)] = ve.parse_report(out)

    def kindex(self, isg, label):
        L = int(self.tables.s["SG_BRAVAIS"][isg - 1])
        labels = [text(x).strip() for x in self.tables.lit["KVEC_LABEL"][:, L - 1]]
        return labels.index(label) + 1

    def test_modes_and_subgroups(self):
        rng = np.random.default_rng(20261211)
        for name, k, arms, natoms in CASES:
            isg, cell, types = ve.parse_input(name)
            j = self.kindex(isg, k)
            blocks = self.runs[(name, k)]
            with self.subTest(name=name, k=k):
                self.assertTrue(blocks)
                self.assertEqual(sum(b["total"] for b in blocks), 3 * natoms * arms)
                self.assertEqual(sum(b["trans"] for b in blocks), 0)
            vprim = abs(np.linalg.det(np.diag(cell[:3]))) / \
                ve.sgtbx.space_group_info(isg).group().n_ltr()
            for b in blocks:
                with self.subTest(name=name, k=k, irrep=b["label"]):
                    self.assertTrue(b["label"].startswith(k))
                    sg, det = ve.chosen_entry(self.tables, isg, j, b["label"])
                    cells = round(abs(np.linalg.det(b["lattice"])) / vprim)
                    self.assertEqual(cells, det)
                    self.assertEqual(len(b["names"]), natoms * cells)
                    M = np.array([m.ravel() for m, _ in b["modes"]])
                    self.assertEqual(np.linalg.matrix_rank(M, tol=1e-3), len(M))
                    for _, moved in b["modes"]:
                        self.assertEqual(len({b["names"][a] for a in moved}), 1)
                    self.assertEqual(ve.spglib_number(b["lattice"], b["pos"], b["names"]), isg)
                    Ms = np.array([m for m, _ in b["modes"]])
                    u = np.tensordot(rng.uniform(0.5, 1.5, len(Ms)) * rng.choice([-1, 1], len(Ms)),
                                     Ms, axes=1)
                    u *= 0.05 / np.abs(u).max()
                    self.assertEqual(ve.spglib_number(b["lattice"], b["pos"] + u, b["names"]), sg)
            for x in blocks:
                for y in blocks:
                    if x["label"] < y["label"] and np.allclose(x["lattice"], y["lattice"]) \
                            and np.allclose(x["pos"], y["pos"]):
                        A = np.array([m.ravel() for m, _ in x["modes"]])
                        B = np.array([m.ravel() for m, _ in y["modes"]])
                        with self.subTest(name=name, k=k, pair=(x["label"], y["label"])):
                            self.assertLess(np.abs(A @ B.T).max(), 1e-3)

    def test_every_special_point_of_the_examples(self):
        """rc 0 and 3N modes per arm at every stored special point of every example."""
        t = self.tables
        for name in sorted(os.listdir(ve.EXAMPLES)):
            isg, _, types = ve.parse_input(name)
            L = int(t.s["SG_BRAVAIS"][isg - 1])
            n = ve.primitive_atom_count(isg, types)
            order = int(t.s["PG_ORDER"][int(t.s["SG_POINT_GROUP"][isg - 1]) - 1])
            for j in range(2, int(t.lit["KVEC_COUNT"][L - 1]) + 1):
                if int(t.lit["KVEC_PARAMETER_COUNT"][j - 1, L - 1]) or \
                        not int(t.lit["LITTLE_IRREP_COUNT"][j - 1, isg - 1]):
                    continue
                label = text(t.lit["KVEC_LABEL"][j - 1, L - 1]).strip()
                arms = order // int(t.lit["LITTLE_COGROUP_ORDER"][j - 1, isg - 1])
                with self.subTest(name=name, k=label):
                    rc, out = ve.run_vibrex(name, label)
                    self.assertEqual(rc, 0, out[-300:])
                    blocks = ve.parse_report(out)
                    self.assertEqual(sum(b["total"] for b in blocks), 3 * n * arms)

    def test_srtio3_tilts_at_r(self):
        found = []
        for b in self.runs[("srtio3.in", "R")]:
            sg, det = ve.chosen_entry(self.tables, 221, self.kindex(221, "R"), b["label"])
            if sg == 140:
                found.append((b["label"], b["dim"], det, set(b["names"][a] for _, moved in
                                                             b["modes"] for a in moved)))
        tilts = [label for label, dim, det, names in found
                 if dim == 3 and det == 2 and names == {"O"}]
        self.assertEqual(tilts, ["R4+"], found)


if __name__ == "__main__":
    unittest.main()
