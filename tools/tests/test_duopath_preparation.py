#!/usr/bin/python3
"""The primitive cells duopath prepares, against cctbx, for every Wyckoff position of all 230
groups.

For each position one run of the built duopath reads two equal crystals of one atom line at that
position (random free parameters) and skips the search ("trace lattice1" only lists the trial
cells of crystal 1). Its report gives the atoms
per primitive cell N and the volume per atom v. N must be cctbx's multiplicity of the position
divided by its number of lattice centring vectors, and the conventional volume over v N must be
that number of centring vectors (the determinant of the map to primitive coordinates), for the
groups' settings that duopath reads (monoclinic unique axis b, rhombohedral axes).

The binary is $SGL_BIN_DIR/duopath (CTest sets it), else build/plain/duopath.
"""
import concurrent.futures
import functools
import os
import random
import re
import subprocess
import sys
import tempfile
import unittest

from cctbx import sgtbx, uctbx

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from tablegen import wyckoff as wy  # noqa: E402
from tablegen.settings import R_GROUPS  # noqa: E402

BINARY = os.path.join(os.environ.get("SGL_BIN_DIR", os.path.join(ROOT, "build", "plain")), "duopath")
DATA = os.path.join(ROOT, "data") + "/"

ATOMS = re.compile(r"^Number of atoms in primitive unit cell of crystal 1:\s*(\d+)$", re.M)
VOLUME = re.compile(r"^Volume/atom in crystal 1:\s*(\S+)$", re.M)


def lattice_of(sg):
    if sg <= 2:
        return (4, 5, 6, 80, 85, 95)
    if sg <= 15:
        return (4, 5, 6, 90, 100, 90)
    if sg <= 74:
        return (4, 5, 6, 90, 90, 90)
    if sg <= 142:
        return (4, 4, 6, 90, 90, 90)
    if sg in R_GROUPS:
        return (5, 5, 5, 70, 70, 70)
    if sg <= 194:
        return (4, 4, 6, 90, 90, 120)
    return (5, 5, 5, 90, 90, 90)


def reference(sg):
    """(letter, multiplicity) of every position and the number of centring vectors."""
    info = sgtbx.space_group_info("%d:R" % sg if sg in R_GROUPS else str(sg))
    table = info.wyckoff_table()
    positions = [(table.position(k).letter(), table.position(k).multiplicity()) for k in range(table.size())]
    return positions, info.group().n_ltr()


@functools.lru_cache(maxsize=None)
def positions_of(sg):
    return wy.standard_positions(sg)


def run(sg, letter, rng):
    cell = " ".join(str(x) for x in lattice_of(sg))
    # Random values for the position's parameters, 0 in the places that it fixes (duopath refuses
    # other numbers there).
    dirs = next(p["dirs"] for k, p in enumerate(positions_of(sg), start=1) if wy.letter_of(k) == letter)
    params = " ".join("%.4f" % rng.uniform(0.05, 0.45) if d is not None else "0" for d in dirs)
    crystal = "%d\n%s\n1\nX %s %s\n" % (sg, cell, letter, params)
    text = "group %d position %s\n%s%strace lattice1\n" % (sg, letter, crystal, crystal)
    with tempfile.TemporaryDirectory() as cwd:
        return subprocess.run([BINARY], input=text, capture_output=True, text=True, cwd=cwd,
                              env=dict(os.environ, XTALDIR=DATA)).stdout


class PreparationSweep(unittest.TestCase):

    def test_atoms_and_centring_of_every_position(self):
        self.assertTrue(os.access(BINARY, os.X_OK), "no duopath at " + BINARY)
        rng = random.Random(20261210)
        jobs = []
        for sg in range(1, 231):
            positions, centring = reference(sg)
            volume = uctbx.unit_cell(lattice_of(sg)).volume()
            for letter, multiplicity in positions:
                if letter.isalpha() and letter.islower():
                    jobs.append((sg, letter, multiplicity, centring, volume, random.Random(rng.random())))
        failures = []
        with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
            outputs = pool.map(lambda j: run(j[0], j[1], j[5]), jobs)
            for (sg, letter, multiplicity, centring, volume, _), out in zip(jobs, outputs):
                atoms, per_atom = ATOMS.search(out), VOLUME.search(out)
                if not atoms or not per_atom:
                    failures.append("%d%s: no report: %s" % (sg, letter, out.splitlines()[-3:]))
                    continue
                n = int(atoms.group(1))
                if n * centring != multiplicity:
                    failures.append("%d%s: %d atoms, cctbx %d / %d" % (sg, letter, n, multiplicity, centring))
                    continue
                det = volume / (float(per_atom.group(1)) * n)
                if abs(det - centring) > 0.01 * centring:
                    failures.append("%d%s: %.3f lattice points per cell, cctbx %d" % (sg, letter, det, centring))
        self.assertEqual(failures, [])
        self.assertGreater(len(jobs), 1700)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
