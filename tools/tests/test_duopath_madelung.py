#!/usr/bin/python3
"""duopath's Madelung contribution to the barrier against an Ewald sum computed here with numpy.

The energy driver (tests/drivers/duopath_energy_driver.cpp) joins NaCl (225) and CsCl (221)
through R-3m with a midpoint of mean angle and volume. Its "write" mode leaves the structures
it would hand to quanthop; from those files this test rebuilds both end crystals and the
midpoint (lattice parameters, primitive basis, atoms in conventional coordinates), sums their
Coulomb energies by its own Ewald sum (charges +1 for Na, -1 for Cl) and compares the
contribution per atom with the line the driver's Madelung run prints, within 0.001 eV.

The driver is $SGL_BIN_DIR/tests/duopath_energy_driver (CTest sets it), else under build/plain.
"""
import math
import os
import re
import subprocess
import tempfile
import unittest

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
BIN = os.path.abspath(os.environ.get("SGL_BIN_DIR", os.path.join(ROOT, "build", "plain")))
DRIVER = os.path.join(BIN, "tests", "duopath_energy_driver")
EV = float(np.float32(27.196)) * float(np.float32(0.529177))
CHARGE = {1: 1.0, 2: -1.0}


def read_structure(path):
    """Cartesian primitive cell, charges and Cartesian positions of a zero-pressure qhx.in."""
    with open(path) as f:
        lines = f.read().split("\n")
    a, b, c, al, be, ga = (float(x) for x in lines[1].split())
    basis = np.array([[float(x) for x in lines[k].split()] for k in (2, 3, 4)])  # rows: vectors
    types = int(lines[5])
    n = int(lines[6 + types])
    pos = 7 + types
    kinds = []
    while len(kinds) < n:
        kinds += [int(x) for x in lines[pos].split()]
        pos += 1
    coords = np.array([[float(x) for x in lines[pos + k].split()] for k in range(n)])
    ca, cb, cg = (math.cos(math.radians(x)) for x in (al, be, ga))
    sg = math.sin(math.radians(ga))
    t = c * (ca - cb * cg) / sg
    conventional = np.array([[a, 0, 0], [b * cg, b * sg, 0], [c * cb, t, math.sqrt(c * c - (c * cb) ** 2 - t * t)]])
    cell = basis @ conventional  # rows: primitive vectors in Cartesian components
    return cell, np.array([CHARGE[k] for k in kinds]), coords @ conventional


def ewald(cell, q, r, eta=None, cutoff=1e-12):
    """Coulomb energy of one cell of point charges (charge squared per length), neutral cell."""
    volume = abs(np.linalg.det(cell))
    eta = eta or math.sqrt(math.pi) / volume ** (1 / 3)
    reciprocal = 2 * math.pi * np.linalg.inv(cell).T
    span = 8
    rng = np.arange(-span, span + 1)
    grid = np.array(np.meshgrid(rng, rng, rng, indexing="ij")).reshape(3, -1).T
    real = 0.0
    for i in range(len(q)):
        for j in range(len(q)):
            d = r[j] - r[i] + grid @ cell
            dist = np.linalg.norm(d, axis=1)
            if i == j:
                dist = dist[dist > 1e-12]
            real += 0.5 * q[i] * q[j] * sum(math.erfc(eta * x) / x for x in dist)
    g = grid @ reciprocal
    g2 = np.einsum("ij,ij->i", g, g)
    keep = g2 > 1e-12
    g, g2 = g[keep], g2[keep]
    s = (q[None, :] * np.exp(1j * (g @ r.T))).sum(axis=1)
    recip = (2 * math.pi / volume) * np.sum(np.abs(s) ** 2 * np.exp(-g2 / (4 * eta * eta)) / g2)
    self_term = -eta / math.sqrt(math.pi) * np.sum(q * q)
    return real + recip + self_term


class MadelungContribution(unittest.TestCase):
    def run_driver(self, dirname, mode, lattice):
        env = dict(os.environ, XTALDIR=os.path.join(ROOT, "data") + "/", DRIVER_A=lattice)
        return subprocess.run([DRIVER, mode], cwd=dirname, env=env, input="", capture_output=True, text=True,
                              check=True).stdout

    def test_contribution_matches_an_independent_ewald_sum(self):
        for lattice in ("5.64 4.12", "5.2 3.3"):
            with self.subTest(lattice=lattice), tempfile.TemporaryDirectory() as d:
                self.run_driver(d, "write", lattice)
                per_atom = []
                for name in ("qhx-crystal1.in", "qhx-crystal2.in", "qhx-midpoint.in"):
                    cell, q, r = read_structure(os.path.join(d, name))
                    per_atom.append(ewald(cell, q, r) / len(q) * EV)
                expected = per_atom[2] - (per_atom[0] + per_atom[1]) / 2
                out = self.run_driver(d, "m", lattice)
                m = re.search(r"Contribution of Madelung energy to barrier: +(\S+) eV", out)
                self.assertIsNotNone(m, out)
                self.assertLessEqual(abs(float(m.group(1)) - expected), 0.001, (lattice, expected, out))

    def test_ewald_reproduces_the_nacl_madelung_constant(self):
        a = 5.64
        cell = np.array([[0, a / 2, a / 2], [a / 2, 0, a / 2], [a / 2, a / 2, 0]])
        e = ewald(cell, np.array([1.0, -1.0]), np.array([[0, 0, 0], [a / 2, a / 2, a / 2]]))
        self.assertAlmostEqual(-e * (a / 2), 1.747565, places=5)


if __name__ == "__main__":
    unittest.main()
