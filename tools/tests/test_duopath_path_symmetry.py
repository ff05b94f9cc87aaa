#!/usr/bin/python3
"""The symmetry of every accepted path of real lattice pairs, checked with spglib.

The driver duopath_path_dump runs duopath and writes, for every accepted mapping, the number of
path symmetry operations it found, both Cartesian common cells (crystal 2's with its rotation
removed) and the start and end of every atom in common-cell fractions. The structure at
t = 0.37 (cell vectors and positions linear in t) must have exactly that many operations under
spglib with symprec 1e-5. The midpoint is avoided: there an operation exchanging the two ends
can be a symmetry of the structure without being one of the path.

The pairs: fcc to bcc iron at sizes 1 and 2, bcc to hcp titanium at size 2, and rock salt to
caesium chloride at sizes 1 and 2, with limits wide enough that each gives several paths of
different symmetry.

The driver is $SGL_BIN_DIR/tests/duopath_path_dump (CTest sets SGL_BIN_DIR), else
build/plain/tests/duopath_path_dump.
"""
import os
import subprocess
import tempfile
import unittest

import numpy as np
import spglib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DRIVER = os.path.join(os.path.abspath(os.environ.get("SGL_BIN_DIR", os.path.join(ROOT, "build", "plain"))), "tests",
                      "duopath_path_dump")
DATA = os.path.join(ROOT, "data") + "/"
T = 0.37

FE = ("Fe fcc to bcc\n225\n3.6468 3.6468 3.6468 90 90 90\n1\nFe a\n"
      "229\n2.8664 2.8664 2.8664 90 90 90\n1\nFe a\nsize 1 2\nstrain 0.7 1.3\n")
TI = ("Ti bcc to hcp\n229\n3.3065 3.3065 3.3065 90 90 90\n1\nTi a\n"
      "194\n2.9508 2.9508 4.6855 90 90 120\n1\nTi c\nsize 2\nstrain 0.7 1.4\nshuffle 2.0\n")
NACL = ("NaCl B1 to B2\n225\n5.6402 5.6402 5.6402 90 90 90\n2\nNa a\nCl b\n"
        "221\n4.123 4.123 4.123 90 90 90\n2\nNa a\nCl b\n"
        "samevolume\nsize 1 2\nstrain 0.6 1.5\nshuffle 2.0\n")
# Input, and the least number of paths it gives (a floor, so that the check cannot pass empty).
CASES = [("fcc to bcc", FE, 50), ("bcc to hcp", TI, 10), ("NaCl to CsCl", NACL, 15)]


def dumped_paths(text):
    with tempfile.TemporaryDirectory() as work:
        dump = os.path.join(work, "paths.txt")
        done = subprocess.run([DRIVER, dump], input=text, capture_output=True, text=True, cwd=work,
                              env=dict(os.environ, XTALDIR=DATA), timeout=300)
        with open(dump) as f:
            lines = f.read().split("\n")
    paths = []
    at = 0
    while at < len(lines) and lines[at].startswith("path"):
        _, number, count, n = lines[at].split()
        cells = [np.array([[float(v) for v in lines[at + 1 + 3 * c + j].split()] for j in range(3)])
                 for c in range(2)]
        atoms = [lines[at + 7 + i].split() for i in range(int(n))]
        kinds = [int(a[0]) for a in atoms]
        start = np.array([[float(v) for v in a[1:4]] for a in atoms])
        end = np.array([[float(v) for v in a[4:7]] for a in atoms])
        paths.append((int(number), int(count), cells, kinds, start, end))
        at += 7 + int(n)
    return done.returncode, done.stdout, paths


class PathSymmetry(unittest.TestCase):
    def test_driver_exists(self):
        self.assertTrue(os.access(DRIVER, os.X_OK), "no driver at " + DRIVER)

    def test_operation_count_of_every_path(self):
        for name, text, floor in CASES:
            status, out, paths = dumped_paths(text)
            self.assertEqual(status, 0, name + "\n" + out)
            self.assertGreaterEqual(len(paths), floor, name)
            self.assertEqual(len(paths), out.count("Common subgroup:"), name)
            counts = set()
            for number, count, (cell1, cell2), kinds, start, end in paths:
                lattice = (1 - T) * cell1 + T * cell2
                positions = (1 - T) * start + T * end
                found = spglib.get_symmetry((lattice, positions, kinds), symprec=1e-5)
                counts.add(count)
                with self.subTest(pair=name, mapping=number):
                    self.assertEqual(len(found["rotations"]), count)
            # The paths differ in symmetry, so the check sees more than one count.
            self.assertGreater(len(counts), 1, name)


if __name__ == "__main__":
    unittest.main()
