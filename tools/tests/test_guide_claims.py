#!/usr/bin/python3
"""Claims of the user's guides that a fenced block of report lines cannot prove by itself, checked
against the programs and against independent references:

- vibrex.md, Conventions: which lattice parameters vibrex accepts for each lattice system, and
  how far lengths and angles that must be equal may differ;
- vibrex.md, Groups with two origin choices: every shift s of the table carries International
  Tables' origin choice 1 of its group onto origin choice 2 (operators and Wyckoff letters as
  spglib's database has them), and the spinel worked example: the arithmetic, the structure
  vibrex builds (the paper's origin-1 structure moved by s, Fd-3m for spglib, the bond lengths),
  and what the origin-1 value given as it stands builds instead (also duopath's echo of both);
- cellsieve.md, Reading the atomic positions: the lines of a group are the sets of input atoms
  that the group's translations (found here independently of cellsieve) carry onto each other,
  one line per set, numbered by the set's lowest input atom, at the point Origin + x a' + y b' +
  z c' of the input; the corundum line the guide works through; spinel reported in origin choice
  2 as the standard description moved by (1/2, 1/2, 1/2);
- cellsieve.md, DMAX as an rms over the cell: the displaced oxygen of rutile_defect.in is absorbed
  within d / sqrt(N), spglib keeps Pm below a symprec of 0.1 A, and a smaller DMAX finds the
  intermediate groups and then Pm alone.

The binaries are $SGL_BIN_DIR/<program> (CTest sets it), else build/plain/<program>.
"""
import itertools
import math
import os
import re
import subprocess
import sys
import tempfile
import unittest

import numpy as np
import spglib
from cctbx import sgtbx

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_cellsieve_spglib import lattice_from, parse_groups, read_input  # noqa: E402
from test_guides import BIN, DATA, ROOT  # noqa: E402

# Spinel MgAl2O4 in origin choice 1 as the paper gives it (Wyckoff, Crystal Structures): the cell,
# the oxygen parameter, and one point per orbit.
SPINEL_A = 8.080
SPINEL_U1 = 0.387
SPINEL_ORIGIN1 = [("Mg", (0.0, 0.0, 0.0)), ("Al", (0.625, 0.625, 0.625)),
                  ("O", (SPINEL_U1, SPINEL_U1, SPINEL_U1))]


def read(path):
    with open(os.path.join(ROOT, path)) as f:
        return f.read()


def run(program, text):
    """(exit status, standard output, standard error) of a program on an input text."""
    with tempfile.TemporaryDirectory() as work:
        done = subprocess.run([os.path.join(BIN, program)], input=text, capture_output=True,
                              text=True, cwd=work, env=dict(os.environ, XTALDIR=DATA), timeout=600)
    return done.returncode, done.stdout, done.stderr


def field(record, name):
    """A field of a spglib result, a dict in older versions and an object in newer ones."""
    return record[name] if isinstance(record, dict) else getattr(record, name)


_halls = {}


def hall_numbers():
    """{(space group number, setting choice): the first Hall number of that setting}."""
    if not _halls:
        for h in range(1, 531):
            t = spglib.get_spacegroup_type(h)
            _halls.setdefault((field(t, "number"), field(t, "choice")), h)
    return _halls


def hall_number(number, choice):
    return hall_numbers()[(number, choice)]


def database_ops(hall):
    sym = spglib.get_symmetry_from_database(hall)
    return list(zip(sym["rotations"], sym["translations"]))


def wrapped(v):
    """Coordinates reduced into [0, 1), with values within 1e-9 of 1 taken as 0."""
    w = np.mod(np.asarray(v, dtype=float), 1.0)
    w[np.isclose(w, 1.0, atol=1e-9)] = 0.0
    return w


def orbit(ops, point):
    """The distinct images of a point under the operators, in [0, 1)."""
    seen, out = set(), []
    for r, t in ops:
        q = wrapped(r @ np.asarray(point, dtype=float) + t)
        key = tuple(int(round(x * 1e6)) % 1000000 for x in q)
        if key not in seen:
            seen.add(key)
            out.append(q)
    return out


def same_point(p, q, tol=1e-4):
    d = np.asarray(p, dtype=float) - np.asarray(q, dtype=float)
    return bool(np.all(np.abs(d - np.round(d)) < tol))


def fraction(text):
    text = text.replace("\u2212", "-").strip()
    num, _, den = text.partition("/")
    return float(num) / float(den) if den else float(num)


def origin_shifts():
    """The table of shifts in vibrex.md: {space group number: s}."""
    lines = read("docs/vibrex.md").splitlines()
    start = lines.index("| s (added to origin-1 coordinates) | groups |")
    shifts = {}
    for line in lines[start + 2:]:
        if not line.startswith("|"):
            break
        cells = [c.strip() for c in line.strip("|").split("|")]
        s = tuple(fraction(v) for v in cells[0].split(","))
        for number in re.findall(r"(\d+) \S+", cells[1]):
            shifts[int(number)] = s
    return shifts


def spinel_origin1(ops1):
    """The paper's spinel: (type, fractional point) of all 56 atoms of the cubic cell."""
    return [(name, q) for name, p in SPINEL_ORIGIN1 for q in orbit(ops1, p)]


def vibrex_cell(out):
    """The superlattice vectors (rows, Angstrom) and the atoms (type, Cartesian) of the first irrep."""
    lines = out.splitlines()
    v = lines.index("Vectors defining superlattice")
    vectors = np.array([[float(x) for x in lines[v + i].split()] for i in (1, 2, 3)])
    atoms = []
    for line in lines[v + 5:]:
        if line.startswith("Symmetry modes"):
            break
        words = line.split()
        atoms.append((words[1], np.array([float(x) for x in words[2:5]])))
    return vectors, atoms


def shortest(vectors, p, q):
    """The shortest distance between p and the images of q under the lattice of the rows."""
    return min(np.linalg.norm(q + np.array(n) @ vectors - p)
               for n in itertools.product((-1, 0, 1), repeat=3))


class VibrexLatticeRules(unittest.TestCase):
    """A cell vibrex accepts reaches the atom count (0 atoms then stops the run with its message)."""

    CASES = [  # (group, cell, accepted)
        (2, "3 4 5 80 95 100", True),
        (14, "5 6 7 90 100 90", True),
        (14, "5 6 7 90 100 95", False),
        (62, "5 6 7 90 90 90.01", False),
        (99, "4 4 5 90 90 90", True),
        (99, "4 4.1 5 90 90 90", False),
        (186, "3.25 3.25 5.2 90 90 120", True),
        (186, "3.25 3.25 5.2 90 90 90", False),
        (167, "5.12843 5.12843 5.12843 55.2874 55.2874 55.2874", True),
        (167, "4.7589 4.7589 12.991 90 90 120", False),
        (221, "5.12843 5.12843 5.12844 90 90 90", True),   # 1 part in 500 000
        (221, "4 4 4.0004 90 90 90", False),               # 1 part in 10 000
        (221, "4 4 4 90 90 90.00005", True),
        (221, "4 4 4 90 90 90.001", False),
    ]

    def test_each_lattice_system(self):
        for group, cell, accepted in self.CASES:
            with self.subTest(group=group, cell=cell):
                status, _, err = run("vibrex", "Cell check\n%d\n%s\n0\n" % (group, cell))
                self.assertEqual(status, 1, err)
                if accepted:
                    self.assertIn("Error:  no atoms", err)
                else:
                    self.assertIn("Error:  lattice parameters do not fit space group %d (" % group, err)


class OriginChoices(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.shifts = origin_shifts()
        cls.ops1 = database_ops(hall_number(227, "1"))

    def test_the_table_names_each_group_with_two_origins_once(self):
        two = sorted(n for n, choice in hall_numbers() if choice == "2")
        self.assertEqual(sorted(self.shifts), two)
        self.assertEqual(len(two), 24)

    def test_each_shift_carries_origin_choice_1_onto_2_with_its_wyckoff_letters(self):
        generic = np.array([0.1134, 0.2417, 0.3671])
        for number, s in sorted(self.shifts.items()):
            with self.subTest(group=number):
                s = np.array(s)
                h1, h2 = hall_number(number, "1"), hall_number(number, "2")
                ops1, ops2 = database_ops(h1), database_ops(h2)

                def key(r, t):
                    return (tuple(r.flatten()), tuple(int(round(x * 48)) % 48 for x in t))
                moved = {key(r, t + s - r @ s) for r, t in ops1}
                self.assertEqual(moved, {key(r, t) for r, t in ops2})
                # Every Wyckoff position: a point on it in origin choice 2 (from cctbx's table) and
                # the same point in origin choice 1 get the same letter from spglib. A general
                # orbit of another type fixes the group and its origin.
                lengths = [10.0, 11.0, 12.0] if number < 75 else [10.0, 10.0, 12.0] if number < 195 else [10.0] * 3
                table = sgtbx.space_group_info("%d:2" % number).wyckoff_table()
                general2 = orbit(ops2, generic)
                general1 = orbit(ops1, generic - s)
                for i in range(table.size()):
                    p2 = np.array(table.position(i).special_op() * (0.0917, 0.1739, 0.2683))
                    letters = []
                    for hall, ops, general, p in ((h2, ops2, general2, p2), (h1, ops1, general1, p2 - s)):
                        special = orbit(ops, p)
                        cell = (np.diag(lengths), general + special, [1] * len(general) + [2] * len(special))
                        data = spglib.get_symmetry_dataset(cell, symprec=1e-4, hall_number=hall)
                        self.assertEqual(field(data, "number"), number)
                        self.assertTrue(same_point(field(data, "origin_shift"), (0, 0, 0)))
                        letters.append(field(data, "wyckoffs")[len(general)])
                    self.assertEqual(letters[0], letters[1], "position %d" % i)

    def test_spinel_arithmetic_of_the_guides(self):
        s = self.shifts[227]
        self.assertEqual(s, (-0.125, -0.125, -0.125))
        self.assertIn("O 32e 0.262", read("examples/vibrex/spinel.in"))
        self.assertAlmostEqual(SPINEL_U1 + s[0], 0.262, places=12)
        self.assertIn("**x = 0.387 \u2212 1/8 = 0.262**", read("docs/vibrex.md"))
        self.assertIn("`O e 0.262` (0.387 \u2212 1/8)", read("docs/duopath.md"))

    def vibrex_structure(self, text):
        status, out, err = run("vibrex", text)
        self.assertEqual((status, err), (0, ""))
        return vibrex_cell(out)

    def test_vibrex_builds_the_papers_spinel_moved_by_the_shift(self):
        vectors, atoms = self.vibrex_structure(read("examples/vibrex/spinel.in"))
        paper = [(name, wrapped(q + np.array(self.shifts[227]))) for name, q in spinel_origin1(self.ops1)]
        self.assertEqual(len(paper), 56)
        self.assertEqual(len(atoms), 14)
        fractional = [(name, p / SPINEL_A) for name, p in atoms]
        for name, p in fractional:
            self.assertTrue(any(n == name and same_point(p, q) for n, q in paper), (name, p))
        centring = [np.array(c) for c in ((0, 0, 0), (0, .5, .5), (.5, 0, .5), (.5, .5, 0))]
        for (_, p), (_, q) in itertools.combinations(fractional, 2):
            self.assertFalse(any(same_point(p, q + c) for c in centring))
        # spglib finds Fd-3m in the cell vibrex prints, and the cations' bonds are spinel's.
        inverse = np.linalg.inv(vectors)
        cell = (vectors, [p @ inverse for _, p in atoms], [name for name, _ in atoms])
        cell = (cell[0], cell[1], [{"Mg": 1, "Al": 2, "O": 3}[n] for n in cell[2]])
        self.assertEqual(spglib.get_spacegroup(cell, symprec=1e-3), "Fd-3m (227)")
        oxygens = [p for name, p in atoms if name == "O"]
        for cation, bond in (("Mg", 1.917), ("Al", 1.928)):
            for name, p in atoms:
                if name == cation:
                    self.assertAlmostEqual(min(shortest(vectors, p, o) for o in oxygens), bond, places=3)

    def test_the_origin_1_value_as_it_stands_builds_another_crystal(self):
        text = read("examples/vibrex/spinel.in").replace("O 32e 0.262", "O 32e 0.387")
        vectors, atoms = self.vibrex_structure(text)
        paper = [(name, wrapped(q + np.array(self.shifts[227]))) for name, q in spinel_origin1(self.ops1)]
        self.assertFalse(all(any(n == name and same_point(p / SPINEL_A, q) for n, q in paper)
                             for name, p in atoms))
        nearest = min(shortest(vectors, p, q) for (_, p), (_, q) in itertools.combinations(atoms, 2))
        self.assertAlmostEqual(nearest, 0.27, places=2)

    def test_duopath_lines_of_the_guide(self):
        guide = read("docs/duopath.md")
        letters = "Mg a\nAl d\nO e 0.262"
        points = "Mg -0.125 -0.125 -0.125\nAl 0.5 0.5 0.5\nO 0.262 0.262 0.262"
        for line in (letters + "\n" + points).splitlines():
            self.assertIn("`%s`" % line, guide)
        crystal = "227\n8.080 8.080 8.080 90 90 90\n3\n%s\n"
        outputs = []
        for first in (points, letters, letters.replace("0.262", "0.387")):
            status, out, _ = run("duopath", "Spinel\n" + crystal % first + crystal % letters + "trace lattice1\n")
            self.assertEqual(status, 0)
            outputs.append(out)
        for out in outputs[:2]:
            self.assertIn("O, Wyckoff position e,    0.26200   0.26200   0.26200", out)
            self.assertIn("Nearest distance between atoms in crystal 1:    1.9173", out)
        self.assertIn("Nearest distance between atoms in crystal 1:    0.2742", outputs[2])
        self.assertIn("`O, Wyckoff position e,    0.26200   0.26200   0.26200`", guide)
        self.assertIn("`Nearest distance between atoms in crystal 1:    1.9173`", guide)
        self.assertIn("0.2742 \u00c5", guide)


def cellsieve_example(path, dmax=None):
    """The atoms (type, lattice coordinates) and Cartesian rows of a cellsieve example, and the
    groups of its report; dmax replaces the example's maximum displacement."""
    text = read(path)
    if dmax is not None:
        lines = text.split("\n")
        lines[2] = "%s %s" % (dmax, lines[2].split()[1])
        text = "\n".join(lines)
    p, cell, types, pos = read_input(text)
    assert np.allclose(cell, np.eye(3)), path
    status, out, err = run("cellsieve", text)
    assert status == 0, err + out[-2000:]
    return list(zip(types, pos)), lattice_from(p), parse_groups(out)


class CellsievePositions(unittest.TestCase):
    """The reading of the atomic positions that cellsieve.md gives, on exact and displaced inputs."""

    def check(self, path, tol):
        """Every line of every group stands for one set of input atoms that the translations carry
        onto each other (found here within tol Angstrom), numbered by the set's lowest atom, at the
        point Origin + x a' + y b' + z c' of one of them. Returns the atoms, the groups and the
        input atom found at each line number."""
        atoms, rows, groups = cellsieve_example(path)
        self.assertTrue(groups)

        def near(p, q):
            d = np.asarray(p) - np.asarray(q)
            return np.linalg.norm((d - np.round(d)) @ rows) < tol
        first_type, first = atoms[0]
        translations = [p - first for u, p in atoms if u == first_type
                        and all(any(v == w and near(x + p - first, y) for w, y in atoms) for v, x in atoms)]

        def set_of(b):
            return sorted(a + 1 for a, (u, x) in enumerate(atoms)
                          if u == atoms[b][0] and any(near(atoms[b][1] + t, x) for t in translations))
        found = {}
        for g in groups:
            self.assertEqual(g["points"], len(translations))
            self.assertEqual(len(g["atoms"]) * g["points"], len(atoms))
            self.assertEqual(len({n for n, _ in g["atoms"]}), len(g["atoms"]))
            for block in g["blocks"]:
                self.assertEqual(block[0][0], min(n for n, _ in block))
                self.assertEqual(len({atoms[n - 1][0] for n, _ in block}), 1)
                for n, x in block:
                    point = np.array(g["origin"]) + np.array(x) @ np.array(g["vectors"])
                    matches = [b for b, (u, y) in enumerate(atoms) if u == atoms[n - 1][0] and near(point, y)]
                    self.assertEqual(len(matches), 1, (path, n, x))
                    self.assertEqual(n, set_of(matches[0])[0], (path, n, x))
                    found[n] = matches[0] + 1
        return atoms, groups, found

    def test_corundum(self):
        atoms, _, found = self.check("examples/cellsieve/corundum.in", 1e-3)
        # Line 16 stands for input atom 28, and the numbers as printed are those of atom 30.
        self.assertEqual(found[16], 28)
        self.assertTrue(same_point(atoms[29][1], (0.97291, 0.63957, 0.08333), tol=2e-5))

    def test_spinel_in_origin_choice_2_from_an_input_in_origin_choice_1(self):
        atoms, groups, _ = self.check("examples/cellsieve/spinel.in", 1e-3)
        self.assertEqual([g["setting"] for g in groups], ["Fd-3m:2"])
        ops1 = database_ops(hall_number(227, "1"))
        s = np.array(origin_shifts()[227])
        standard = [(name, wrapped(q + s + 0.5)) for name, q in spinel_origin1(ops1)]
        names = {1: "Mg", 2: "Al", 3: "O"}
        for n, x in groups[0]["atoms"]:
            self.assertTrue(any(name == names[atoms[n - 1][0]] and same_point(x, q, tol=2e-5)
                                for name, q in standard), (n, x))

    def test_rock_salt_with_a_moved_atom_in_a_strained_cell(self):
        atoms, groups, _ = self.check("examples/cellsieve/rocksalt_distorted.in", 0.05)
        self.assertEqual([sorted(atoms[n - 1][0] for n, _ in g["atoms"]) for g in groups], [[1, 2]])

    def test_displaced_oxygen_in_a_doubled_cell(self):
        # The translation (1/2, 0, 0) pairs the moved atom with one 0.1 A from its place; the
        # positions are the means over such pairs, made symmetric.
        self.check("examples/cellsieve/rutile_defect.in", 0.11)


class CellsieveDmaxOverTheCell(unittest.TestCase):
    PATH = "examples/cellsieve/rutile_defect.in"

    def summary(self, dmax):
        """(symbol, Points, rms position) of each group reported with this maximum displacement."""
        _, _, groups = cellsieve_example(self.PATH, dmax)
        return [(g["symbol"], g["points"], g["rms"][0]) for g in groups]

    def test_the_displaced_atom_is_absorbed_within_d_over_sqrt_n(self):
        atoms, _, _ = cellsieve_example(self.PATH)
        self.assertEqual(len(atoms), 12)
        rows = self.summary("0.03")
        self.assertEqual([(symbol, points) for symbol, points, _ in rows], [("P42/mnm", 2)])
        self.assertLess(rows[0][2], 0.1 / math.sqrt(len(atoms)))

    def test_smaller_dmax_finds_the_intermediate_groups_then_the_defect(self):
        rows = self.summary("0.02")
        for symbol in ("P2/m", "Pmn21"):
            self.assertIn((symbol, 1, 0.01863), rows)
        self.assertEqual(self.summary("0.01"), [("Pm", 1, 0.0)])

    def test_spglib_keeps_pm_below_the_displacement(self):
        atoms, rows, _ = cellsieve_example(self.PATH)
        cell = (rows, [p for _, p in atoms], [t for t, _ in atoms])
        for k in range(1, 100):
            self.assertEqual(spglib.get_spacegroup(cell, symprec=k / 1000), "Pm (6)", k / 1000)
        self.assertEqual(spglib.get_spacegroup(cell, symprec=0.1), "P4_2/mnm (136)")


if __name__ == "__main__":
    unittest.main()
