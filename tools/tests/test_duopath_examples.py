#!/usr/bin/python3
"""Every path that duopath reports for the committed examples, rebuilt independently.

Each example is run with the built duopath. For every reported path the common subgroup H's
conventional cell and orbits are read from the "Setting of crystal 1" and "Setting of crystal 2"
blocks, the lattice parameters and orbit parameters are taken 30 % of the way from crystal 1 to
crystal 2, the structure is rebuilt with cctbx's Wyckoff positions of H, and spglib must find
exactly H there ("Common subgroup"); each end block must give its own crystal's group. With
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
    ("ti_burgers.in", 229, 194, [63]),
    ("nacl_cscl.in", 225, 221, [166, 59]),
]


def space_group(structure):
    found = spglib.get_symmetry_dataset(structure, symprec=1e-3)
    return found["number"] if isinstance(found, dict) else found.number


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
