#!/usr/bin/python3
"""Every path that duopath reports for the committed examples, rebuilt independently.

Each example is run with the built duopath. For every reported path the common subgroup H's
conventional cell and orbits are read from the "Setting of crystal 1" and "Setting of crystal 2"
blocks, the lattice parameters and orbit parameters are taken 30 % of the way from crystal 1 to
crystal 2, the structure is rebuilt with cctbx's Wyckoff positions of H, and spglib must find
exactly H there ("Common subgroup"); each end block must give its own crystal's group, and the
"At midpoint" block H or a supergroup of H (the midpoint may also exchange the two ends). With
charges +1 and -1 on Na and Cl, the Madelung contribution that the rock-salt example prints for
each path must agree within 0.001 eV with an Ewald sum over the structures its report describes.

The binary is $SGL_BIN_DIR/duopath (CTest sets it), else build/plain/duopath.
"""
import os
import re
import subprocess
import sys
import tempfile
import unittest

import numpy as np
import spglib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_duopath_madelung import EV, ewald  # noqa: E402
from test_duopath_report import ROOT, blocks, group_info, rebuild  # noqa: E402

BINARY = os.path.join(os.environ.get("SGL_BIN_DIR", os.path.join(ROOT, "build", "plain")), "duopath")
DATA = os.path.join(ROOT, "data") + "/"

# Example, the space groups of its two crystals, and the common subgroups it reports.
CASES = [
    ("fe_bain.in", 225, 229, [139]),
    ("fe_bain_search.in", 225, 229, [139]),
    ("ti_burgers.in", 229, 194, [63]),
    ("ti_burgers_lattice.in", 229, 194, [63]),
    ("nacl_cscl.in", 225, 221, [166, 59]),
    ("nacl_cscl_r_lattice.in", 225, 221, [166]),
    ("nacl_cscl_o_lattice.in", 225, 221, [59]),
    ("zno_wurtzite_rocksalt.in", 186, 225, [36]),
]


def space_group(structure):
    found = spglib.get_symmetry_dataset(structure, symprec=1e-3)
    return found["number"] if isinstance(found, dict) else found.number


def has_subgroup(structure, info):
    """spglib's operations of the structure include every operation of H (the structure given in
    H's conventional cell): the group found is H or a supergroup of H."""
    found = spglib.get_symmetry(structure, symprec=1e-3)
    if found is None:
        return False
    for op in info.group().all_ops():
        r = np.array(op.r().as_double(), dtype=float).reshape(3, 3)
        t = np.array(op.t().as_double(), dtype=float)
        if not any(np.allclose(r, w) and np.allclose(np.mod(t - v + 0.5, 1.0) - 0.5, 0, atol=1e-4)
                   for w, v in zip(found["rotations"], found["translations"])):
            return False
    return True


def run_example(name, extra=""):
    with open(os.path.join(ROOT, "examples", name)) as f:
        text = f.read() + extra
    with tempfile.TemporaryDirectory() as work:
        done = subprocess.run([BINARY], input=text, capture_output=True, text=True, cwd=work,
                              env=dict(os.environ, XTALDIR=DATA), timeout=600)
    return done.returncode, done.stdout


def paths(out):
    """The report of each path: from its "Subgroup" line to the next separator."""
    return re.findall(r"^Subgroup +\d+\n.*?(?=^ \n-{39}\n)", out, flags=re.M | re.S)


class ExamplePaths(unittest.TestCase):
    def test_binary_exists(self):
        self.assertTrue(os.access(BINARY, os.X_OK), "no duopath at " + BINARY)

    def test_paths_have_the_reported_subgroup(self):
        t = 0.3
        for name, group1, group2, expected in CASES:
            status, out = run_example(name)
            self.assertEqual(status, 0, name)
            reports = paths(out)
            found = [int(re.search(r"Common subgroup: +(\d+)", r).group(1)) for r in reports]
            self.assertEqual(found, expected, name)
            for report, h in zip(reports, found):
                info = group_info(h)
                parsed = blocks(report)
                cell1, orbits1 = parsed["crystal 1"]
                cell2, orbits2 = parsed["crystal 2"]
                with self.subTest(example=name, subgroup=h, block="ends"):
                    self.assertEqual(space_group(rebuild(info, cell1, orbits1)), group1)
                    self.assertEqual(space_group(rebuild(info, cell2, orbits2)), group2)
                with self.subTest(example=name, subgroup=h, block="t = 0.3"):
                    self.assertEqual([(o[0], o[1]) for o in orbits1], [(o[0], o[1]) for o in orbits2])
                    cell = [(1 - t) * p + t * q for p, q in zip(cell1, cell2)]
                    orbits = []
                    for (kind, letter, x1), (_, _, x2) in zip(orbits1, orbits2):
                        orbits.append((kind, letter, {k: (1 - t) * x1[k] + t * x2[k] for k in x1}))
                    self.assertEqual(space_group(rebuild(info, cell, orbits)), h)
                with self.subTest(example=name, subgroup=h, block="midpoint"):
                    cell, orbits = parsed["midpoint"]
                    self.assertEqual([(o[0], o[1]) for o in orbits], [(o[0], o[1]) for o in orbits1])
                    self.assertTrue(has_subgroup(rebuild(info, cell, orbits), info))

    def test_madelung_contribution_of_the_rock_salt_paths(self):
        status, out = run_example("nacl_cscl.in", "madelung\nNa 1\nCl -1\n")
        self.assertEqual(status, 0)
        reports = paths(out)
        self.assertEqual(len(reports), 2)
        for report in reports:
            h = int(re.search(r"Common subgroup: +(\d+)", report).group(1))
            info = group_info(h)
            energy = {}
            for name, (cell, orbits) in blocks(report).items():
                lattice, fractions, kinds = rebuild(info, cell, orbits)
                charges = np.array([1.0 if k == 1 else -1.0 for k in kinds])
                energy[name] = ewald(lattice, charges, fractions @ lattice) / len(charges) * EV
            expected = energy["midpoint"] - (energy["crystal 1"] + energy["crystal 2"]) / 2
            printed = float(re.search(r"Contribution of Madelung energy to barrier: +(\S+) eV", report).group(1))
            with self.subTest(subgroup=h):
                self.assertLessEqual(abs(printed - expected), 0.001, (printed, expected))


if __name__ == "__main__":
    unittest.main()
