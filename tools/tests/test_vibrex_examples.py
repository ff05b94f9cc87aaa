#!/usr/bin/python3
"""vibrex on the structures of examples/vibrex/, each report parsed and checked.

References independent of the program: textbook zone-centre decompositions (by the usual
symbol, the tables' second label) with their infrared and Raman activity; the invariants every
set of symmetry modes must satisfy (mode count 3N, one atom type per mode, independence within
an irrep, orthogonality between irreps, the acoustic translation in the span of its irrep, the
scaling and sign convention); spglib on the printed supercell, undisplaced (the parent group)
and displaced along a random combination of an irrep's printed modes (the isotropy subgroup
that the choice rule, repeated here on the tables, picks).
"""
import os
import re
import subprocess
import sys
import tempfile
import unittest

import numpy as np
import spglib
from cctbx import sgtbx

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from check_mode_tables import Tables, text  # noqa: E402  (the tables' own independent reader)

BIN = os.path.join(os.environ.get("SGL_BIN_DIR", os.path.join(ROOT, "build", "plain")), "vibrex")
EXAMPLES = os.path.join(ROOT, "examples", "vibrex")
DATA = os.path.join(ROOT, "data")
ZERO = 1e-3  # the program's zero test on printed components

# input file: space group, {second label: count of the irrep in the displacements},
# IR-active labels, Raman-active labels, all atoms on inversion centres
CASES = [
    ("srtio3.in", 221, {"T1u": 4, "T2u": 1}, {"T1u"}, set(), True),
    ("rutile.in", 136, {"A1g": 1, "A2g": 1, "B1g": 1, "B2g": 1, "Eg": 1, "A2u": 2, "B1u": 2,
                        "Eu": 4}, {"A2u", "Eu"}, {"A1g", "B1g", "B2g", "Eg"}, False),
    ("diamond.in", 227, {"T1u": 1, "T2g": 1}, {"T1u"}, {"T2g"}, False),
    ("nacl.in", 225, {"T1u": 2}, {"T1u"}, set(), True),
    ("zno.in", 186, {"A1": 2, "B1": 2, "E1": 2, "E2": 2}, {"A1", "E1"}, {"A1", "E1", "E2"},
     False),
    ("corundum.in", 167, {"A1g": 2, "A2g": 3, "Eg": 5, "A1u": 2, "A2u": 3, "Eu": 5}, {"A2u", "Eu"},
     {"A1g", "Eg"}, False),
    ("spinel.in", 227, {"A1g": 1, "Eg": 1, "T1g": 1, "T2g": 3, "A2u": 2, "Eu": 2, "T1u": 5, "T2u": 2},
     {"T1u"}, {"A1g", "Eg", "T2g"}, False),
]

STAR_LINE = "*" * 47
DASH_LINE = "-" * 42
# I3 and three blanks; a number beyond 999 takes its digits from the blanks.
ATOM_NUMBER = r"(?:[ \d]{2}\d   |\d{4}  |\d{5} )"


def run_vibrex(name, k_line=None):
    """vibrex on an example; k_line replaces the example's k lines (one or more)."""
    with open(os.path.join(EXAMPLES, name)) as f:
        lines = f.read().splitlines()
    if k_line is not None:
        ntypes = int(lines[3].split()[0])
        lines = lines[:4 + ntypes] + ["1", k_line]
    with tempfile.TemporaryDirectory() as tmp:
        p = subprocess.run([BIN], input="\n".join(lines) + "\n", capture_output=True, text=True,
                           cwd=tmp, env=dict(os.environ, XTALDIR=DATA + "/"), timeout=120)
    return p.returncode, p.stdout


def parse_input(name):
    with open(os.path.join(EXAMPLES, name)) as f:
        lines = f.read().splitlines()
    sg = int(lines[1].split()[0])
    cell = [float(x) for x in lines[2].split()]
    ntypes = int(lines[3].split()[0])
    types = [(w[0], w[1]) for w in (l.split() for l in lines[4:4 + ntypes])]
    return sg, cell, types


def parse_report(out):
    """The irrep blocks of the report, each a dict; the report must end with "End of output".

    A total of modes above 999 and the numbers of supercell atoms after the 999th are written
    with all their digits, wider than their three columns; the atom's name stays in its column."""
    lines = out.splitlines()
    assert lines[-2:] == [STAR_LINE, "End of output"], lines[-3:]
    blocks = []
    i = 0
    while i < len(lines):
        if lines[i] == STAR_LINE and i + 1 < len(lines) and lines[i + 1].startswith("Irrep "):
            b = {"label": lines[i + 1][6:14].strip(), "second": lines[i + 1][17:21].strip(),
                 "trans": 0, "mode_trans": 0, "ir": False, "raman": False, "direction": None}
            i += 2
            b["dim"] = int(re.fullmatch(r"Degeneracy: ([ \d]\d)", lines[i]).group(1))
            b["total"] = int(re.fullmatch(r"Total number of modes: ([ \d]{2}\d|\d{4,})",
                                          lines[i + 1]).group(1))
            i += 2
            m = re.fullmatch(r"These include (\d) translational modes", lines[i])
            if m:
                b["trans"] = int(m.group(1))
                i += 1
            if lines[i] == "IR active":
                b["ir"] = True
                i += 1
            if lines[i] == "Raman active":
                b["raman"] = True
                i += 1
            assert lines[i] == "Vectors defining superlattice", lines[i]
            b["lattice"] = np.array([[float(l[k:k + 10]) for k in (0, 10, 20)]
                                     for l in lines[i + 1:i + 4]])
            i += 4
            assert lines[i] == "atom  type   position", lines[i]
            i += 1
            names, pos = [], []
            while re.match(ATOM_NUMBER, lines[i]):
                assert int(lines[i][:6]) == len(names) + 1, lines[i]
                names.append(lines[i][6:10].strip())
                pos.append([float(lines[i][k:k + 10]) for k in (10, 20, 30)])
                i += 1
            b["names"], b["pos"] = names, np.array(pos)
            if lines[i].startswith("Modes are longitudinal along the "):
                b["direction"] = (lines[i][33:35],
                                  np.array([float(lines[i + 1][k:k + 10]) for k in (0, 10, 20)]))
                i += 2
            assert lines[i] == "Symmetry modes:", lines[i]
            i += 1
            m = re.fullmatch(r"The following include (\d) translational modes", lines[i])
            if m:
                b["mode_trans"] = int(m.group(1))
                i += 1
            assert lines[i] == "atom  type   displacement", lines[i]
            i += 1
            modes = []
            while lines[i] == DASH_LINE:
                mode = np.zeros((len(names), 3))
                moved = []
                i += 1
                while re.match(ATOM_NUMBER, lines[i]):
                    a = int(lines[i][:6]) - 1
                    assert lines[i][6:10].strip() == names[a], lines[i]
                    mode[a] = [float(lines[i][k:k + 10]) for k in (10, 20, 30)]
                    moved.append(a)
                    i += 1
                modes.append((mode, moved))
            b["modes"] = modes
            blocks.append(b)
        else:
            i += 1
    return blocks


def chosen_entry(t, isg, kindex, little_label):
    """(ISOTROPY_SG, superlattice determinant) of the entry the program's choice rule picks for
    the little irrep so labelled at k index kindex (a k vector without parameters)."""
    irrep = None
    for m in range(1, int(t.lit["LITTLE_IRREP_COUNT"][kindex - 1, isg - 1]) + 1):
        l = int(t.lit["LITTLE_IRREP_NUMBER"][m - 1, kindex - 1, isg - 1])
        if l and text(t.lit["LITTLE_IRREP_LABEL"][l - 1]).strip() == little_label:
            irrep = int(t.lit["LITTLE_IRREP_TO_IRREP"][l - 1])
    assert irrep, little_label
    first = t.iso["ISOTROPY_IRREP_FIRST"]
    chosen, bestdet, minpar, bestorder, bestinv = 0, 100, 100, 0, 0
    for e in range(int(first[irrep - 1]), int(first[irrep])):
        o = int(t.iso["ISOTROPY_OPD"][e - 1])
        p = int(t.img["OPD_PARAMETER_COUNT"][o - 1])
        if p > minpar:
            continue
        minpar = p
        det = int(round(np.linalg.det(t.iso["ISOTROPY_SUPERLATTICE"][:, :, e - 1])))
        sg = int(t.iso["ISOTROPY_SG"][e - 1])
        pg = int(t.s["SG_POINT_GROUP"][sg - 1])
        order = int(t.s["PG_ORDER"][pg - 1])
        inv = int(any(int(x) in (25, 61) for x in t.s["PG_GENERATORS"][:, pg - 1]))
        if (det < bestdet or (det == bestdet and order > bestorder)
                or (det == bestdet and order == bestorder and inv == 1 and bestinv == 0)):
            chosen, bestdet, bestorder, bestinv = e, det, order, inv
    assert chosen, little_label
    return int(t.iso["ISOTROPY_SG"][chosen - 1]), bestdet


def chosen_isotropy_sg(t, isg, little_label, kindex=1):
    """ISOTROPY_SG of the entry the choice rule picks (zone centre unless kindex is given)."""
    return chosen_entry(t, isg, kindex, little_label)[0]


def spglib_number(lattice, cart, names):
    kinds = {n: k for k, n in enumerate(sorted(set(names)))}
    frac = cart @ np.linalg.inv(lattice)
    data = spglib.get_symmetry_dataset((lattice, frac % 1.0, [kinds[n] for n in names]),
                                       symprec=1e-3)
    return data.number if hasattr(data, "number") else data["number"]


def lattice_points(isg):
    """Lattice points of the cell of the input: the centring translations; the R groups come in
    rhombohedral axes, a primitive cell."""
    if isg in (146, 148, 155, 160, 161, 166, 167):
        return 1
    return sgtbx.space_group_info(isg).group().n_ltr()


def primitive_atom_count(isg, types):
    """Atoms of the primitive cell: Wyckoff multiplicities over the centring translations."""
    n = sum(int(re.match(r"\d+", label).group()) for _, label in types)
    return n // lattice_points(isg)


class VibrexExamples(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tables = Tables(DATA)
        cls.runs = {}
        for name in [c[0] for c in CASES] + ["srtio3_dt.in"]:
            rc, out = run_vibrex(name)
            assert rc == 0, (name, rc, out[-500:])
            cls.runs[name] = parse_report(out)

    def test_textbook_decompositions(self):
        for name, isg, counts, ir, raman, centric in CASES:
            with self.subTest(name):
                blocks = self.runs[name]
                got = {b["second"]: b["total"] // b["dim"] for b in blocks}
                self.assertEqual(got, counts)
                for b in blocks:
                    self.assertEqual(b["total"] % b["dim"], 0, b["second"])
                self.assertEqual({b["second"] for b in blocks if b["ir"]}, ir)
                self.assertEqual({b["second"] for b in blocks if b["raman"]}, raman)
                if centric:  # atoms on inversion centres move only in odd modes
                    self.assertTrue(all(b["second"].endswith("u") for b in blocks))

    def test_mode_count_and_atoms(self):
        for name, isg, *_ in CASES:
            _, cell, types = parse_input(name)
            n = primitive_atom_count(isg, types)
            vol = np.prod(cell[:3]) * np.sqrt(1 - sum(np.cos(np.radians(x)) ** 2 for x in cell[3:])
                                              + 2 * np.prod(np.cos(np.radians(cell[3:]))))
            vprim = vol / lattice_points(isg)
            with self.subTest(name):
                blocks = self.runs[name]
                self.assertEqual(sum(b["total"] for b in blocks), 3 * n)
                self.assertEqual(sum(b["trans"] for b in blocks), 3)
                for b in blocks:
                    cells = round(abs(np.linalg.det(b["lattice"])) / vprim)
                    self.assertEqual(len(b["names"]), n * cells, b["label"])
                    # atoms by types in input order, each type a whole orbit per cell
                    order = [t[0] for t in types]
                    idx = [order.index(x) for x in b["names"]]
                    self.assertEqual(idx, sorted(idx), b["label"])
                    ltr = lattice_points(isg)
                    self.assertEqual([idx.count(k) for k in range(len(types))],
                                     [int(re.match(r"\d+", w).group()) // ltr * cells
                                      for _, w in types], b["label"])
                    self.assertEqual(len(b["modes"]) * b["dim"], b["total"], b["label"])

    def test_modes_invariants(self):
        for name in [c[0] for c in CASES] + ["srtio3_dt.in"]:
            blocks = self.runs[name]
            for b in blocks:
                with self.subTest(name=name, irrep=b["label"]):
                    M = np.array([m.ravel() for m, _ in b["modes"]])
                    for mode, moved in b["modes"]:
                        # one type per mode; exactly the nonzero atoms listed
                        self.assertEqual(len({b["names"][a] for a in moved}), 1)
                        nz = np.abs(mode) > ZERO
                        self.assertEqual(sorted(set(np.nonzero(nz.any(axis=1))[0])),
                                         sorted(moved))
                        # largest component +-1; at least half the nonzero ones positive
                        self.assertAlmostEqual(np.abs(mode).max(), 1.0, places=5)
                        self.assertGreaterEqual(2 * int((mode[nz] > 0).sum()), int(nz.sum()))
                    self.assertEqual(np.linalg.matrix_rank(M, tol=1e-3), len(M))
                    # a uniform translation in the span, as many as the report says
                    U = np.array([np.tile(np.eye(3)[c], len(b["names"])) for c in range(3)])
                    qm = np.linalg.qr(M.T)[0]
                    qu = np.linalg.qr(U.T)[0]
                    s = np.linalg.svd(qm.T @ qu, compute_uv=False)
                    self.assertEqual(int((s > 1 - 1e-4).sum()), b["mode_trans"])
            # different irreps on one supercell are orthogonal
            for x in blocks:
                for y in blocks:
                    if x["label"] < y["label"] and np.allclose(x["lattice"], y["lattice"]) \
                            and np.allclose(x["pos"], y["pos"]):
                        with self.subTest(name=name, pair=(x["label"], y["label"])):
                            A = np.array([m.ravel() for m, _ in x["modes"]])
                            B = np.array([m.ravel() for m, _ in y["modes"]])
                            self.assertLess(np.abs(A @ B.T).max(), 1e-3)

    def test_isotropy_subgroups(self):
        rng = np.random.default_rng(20261210)
        for name, isg, *_ in CASES:
            for b in self.runs[name]:
                with self.subTest(name=name, irrep=b["label"]):
                    self.assertEqual(spglib_number(b["lattice"], b["pos"], b["names"]), isg)
                    if len(b["modes"]) == b["mode_trans"]:
                        continue  # an acoustic translation alone keeps the whole group
                    M = np.array([m for m, _ in b["modes"]])
                    u = np.tensordot(rng.uniform(0.5, 1.5, len(M)) * rng.choice([-1, 1], len(M)),
                                     M, axes=1)
                    u *= 0.05 / np.abs(u).max()
                    self.assertEqual(spglib_number(b["lattice"], b["pos"] + u, b["names"]),
                                     chosen_isotropy_sg(self.tables, isg, b["label"]))

    def test_longitudinal_split_along_dt(self):
        blocks = self.runs["srtio3_dt.in"]
        self.assertEqual([b["second"] for b in blocks], ["T1u", "T1u", "T2u"])
        lon, tra, t2u = blocks
        self.assertEqual(lon["direction"][0], "DT")
        d = lon["direction"][1]
        np.testing.assert_allclose(d, [0, 1, 0], atol=1e-5)  # DT = (0,u,0) of the cubic cell
        self.assertIsNone(tra["direction"])
        self.assertIsNone(t2u["direction"])
        for b in (lon, tra, t2u):
            self.assertEqual(b["total"], {"T1u": 12, "T2u": 3}[b["second"]])
        for mode, _ in lon["modes"]:
            np.testing.assert_allclose(np.cross(mode, d), 0, atol=1e-5)
        for mode, _ in tra["modes"]:
            np.testing.assert_allclose(mode @ d, 0, atol=1e-5)
        # the two passes describe the same irrep in orthogonal directions
        A = np.array([m.ravel() for m, _ in lon["modes"]])
        B = np.array([m.ravel() for m, _ in tra["modes"]])
        self.assertLess(np.abs(A @ B.T).max(), 1e-5)
        # a direction is taken only from a line of three words: "GM DT" reports as "GM" does
        plain = run_vibrex("srtio3.in")
        self.assertEqual(run_vibrex("srtio3.in", "GM DT"), plain)
        self.assertEqual([b["second"] for b in parse_report(plain[1])], ["T1u", "T2u"])


if __name__ == "__main__":
    unittest.main()
