#!/usr/bin/python3
"""Atom positions as duopath reads them, against cctbx, for every Wyckoff position of all 230
groups.

For each group one run of the built duopath reads a crystal with one atom line per Wyckoff
position in letter form, with random free parameters, and then the same points again in
coordinate form. The letter-form echo must be the position's representative in "cinter" (the
first triplet of International Tables, constants in [0, 1), as docs/data-tables-wyckoff.md
defines it and cctbx gives it) at those parameters, to the five decimals of the echo; the
coordinate form of that point must echo the same letter. Position 27 (Pmmm's "A") is only
reachable through coordinates. Each input gives crystal 2 no atoms, so the run stops right after
the echo whatever later phases do.

The binary is $SGL_BIN_DIR/duopath (CTest sets it), else build/plain/duopath.
Usage: test_duopath_wyckoff_sweep.py [seed]
"""
import os
import random
import re
import subprocess
import sys
import tempfile
import unittest
from fractions import Fraction

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from tablegen import wyckoff as wy  # noqa: E402
from tablegen.settings import R_GROUPS  # noqa: E402

BINARY = os.path.join(os.environ.get("SGL_BIN_DIR", os.path.join(ROOT, "build", "plain")), "duopath")
DATA = os.path.join(ROOT, "data") + "/"
SEED = int(sys.argv[1]) if len(sys.argv) > 1 and sys.argv[1].isdigit() else 20261210

ECHO = re.compile(r"^  X, Wyckoff position (\S),\s*(\S+)\s+(\S+)\s+(\S+) $")


def lattice_of(sg):
    if sg <= 2:
        return "4 5 6 80 85 95"
    if sg <= 15:
        return "4 5 6 90 100 90"
    if sg <= 74:
        return "4 5 6 90 90 90"
    if sg <= 142:
        return "4 4 6 90 90 90"
    if sg in R_GROUPS:
        return "5 5 5 70 70 70"
    if sg <= 194:
        return "4 4 6 90 90 120"
    return "5 5 5 90 90 90"


def point_at(position, params):
    """The representative's point for parameter values (exact Fractions)."""
    point = list(position["point"])
    for j, direction in enumerate(position["dirs"]):
        if direction is not None:
            for i in range(3):
                point[i] += direction[i] * params[j]
    return point


def run(sg, rng):
    positions = wy.standard_positions(sg)
    letter_lines, coordinate_lines, expected = [], [], []
    for k, position in enumerate(positions, start=1):
        # A place whose coordinate the position fixes takes 0 (duopath refuses other numbers there).
        words = ["%.6f" % rng.uniform(-0.45, 0.45) for _ in range(3)]
        words = [w if d is not None else "0" for w, d in zip(words, position["dirs"])]
        params = [Fraction(w) for w in words]
        point = point_at(position, params)
        expected.append((wy.letter_of(k), point))
        if k <= 26:
            letter_lines.append("X %s %s" % (wy.letter_of(k), " ".join(words)))
        coordinate_lines.append("X %s" % " ".join("%.12f" % float(c) for c in point))
    lines = letter_lines + coordinate_lines
    text = "sweep of group %d\n%d\n%s\n%d\n%s\n%d\n%s\n0\n" % (
        sg, sg, lattice_of(sg), len(lines), "\n".join(lines), sg, lattice_of(sg))
    with tempfile.TemporaryDirectory() as cwd:
        result = subprocess.run([BINARY], input=text, capture_output=True, text=True, cwd=cwd,
                                env=dict(os.environ, XTALDIR=DATA))
    return positions, letter_lines, expected, result


class WyckoffSweep(unittest.TestCase):

    def test_every_group_and_letter(self):
        self.assertTrue(os.access(BINARY, os.X_OK), "no duopath at " + BINARY)
        rng = random.Random(SEED)
        failures = []
        for sg in range(1, 231):
            positions, letter_lines, expected, result = run(sg, rng)
            echoes = [ECHO.match(line) for line in result.stdout.splitlines()]
            echoes = [m for m in echoes if m]
            # Crystal 2 without atoms stops the run right after crystal 1 has been read.
            tail = result.stdout.splitlines()[-3:]
            if result.returncode != 1 or tail != ["Error: no atoms in crystal 2", "This program has bombed", "exit"]:
                failures.append("%d: run did not stop at crystal 2: %s" % (sg, tail))
                continue
            n_letter = len(letter_lines)
            if len(echoes) != n_letter + len(positions):
                failures.append("%d: %d echo lines" % (sg, len(echoes)))
                continue
            for k, (letter, point) in enumerate(expected):
                if k < n_letter:
                    m = echoes[k]
                    shown = [float(m.group(i)) for i in (2, 3, 4)]
                    if m.group(1) != letter or any(abs(s - float(p)) > 5.01e-6
                                                   for s, p in zip(shown, point)):
                        failures.append("%d%s: letter form echoes %s %s, cctbx %s" % (
                            sg, letter, m.group(1), shown, [float(p) for p in point]))
                m = echoes[n_letter + k]
                if m.group(1) != letter:
                    failures.append("%d%s: coordinates identified as %s" % (sg, letter, m.group(1)))
        self.assertEqual(failures, [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
