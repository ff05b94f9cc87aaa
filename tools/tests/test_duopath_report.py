#!/usr/bin/python3
"""The structures that duopath's reviewed path reports describe, rebuilt independently.

Each golden report under tests/duopath/golden/ gives the common subgroup H, and for each crystal
and the midpoint the lattice parameters of H's conventional cell ("cinter": origin choice 2,
rhombohedral axes for R groups) and the Wyckoff position and parameters of every orbit. This test
rebuilds each structure with cctbx's Wyckoff positions of H and asks spglib for its space
group: each crystal must come out as its own group (the subgroup cell and orbits describe the
whole crystal), the midpoint as H.
"""
import os
import re
import unittest

import numpy as np
import spglib
from cctbx import sgtbx, uctbx

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
GOLDEN = os.path.join(ROOT, "tests", "duopath", "golden")
R_GROUPS = {146, 148, 155, 160, 161, 166, 167}
TWO_ORIGINS = {48, 50, 59, 68, 70, 85, 86, 88, 125, 126, 129, 130, 133, 134, 137, 138, 141, 142,
               201, 203, 222, 224, 227, 228}

# Report, and the space groups of crystal 1, crystal 2 and the midpoint.
CASES = [
    ("bain_report.log", 225, 229, 139),
    ("nacl_cscl_report.log", 225, 221, 166),
]


def group_info(number):
    if number in R_GROUPS:
        return sgtbx.space_group_info("%d:R" % number)
    if number in TWO_ORIGINS:
        return sgtbx.space_group_info("%d:2" % number)
    return sgtbx.space_group_info(number)


def blocks(report):
    """Per block ("crystal 1", "crystal 2", "midpoint"): lattice parameters and orbits."""
    result = {}
    name = None
    for line in report.splitlines():
        m = re.match(r"Setting of crystal (\d): $", line)
        if m:
            name = "crystal " + m.group(1)
        elif line == "At midpoint:":
            name = "midpoint"
        elif name and line.startswith("  Lattice parameters:"):
            result[name] = ([float(x) for x in line.split(":")[1].split()], [])
        elif name and name in result and re.match(r"  \S+ +[a-zA-Z]( |$)", line):
            words = line.split()
            params = {k: float(v) for k, v in re.findall(r"([xyz])'=\s*(-?[\d.]+)", line)}
            result[name][1].append((words[0], words[1], params))
    return result


def rebuild(info, cell, orbits):
    group = info.group()
    table = info.wyckoff_table()
    positions, kinds, names = [], [], {}
    def same(p, q):
        return np.allclose(np.mod(p - q + 0.5, 1.0) - 0.5, 0, atol=1e-6)

    for name, letter, params in orbits:
        point = table.position(letter).special_op() * tuple(params.get(k, 0.0) for k in "xyz")
        orbit = []
        for op in group.all_ops():
            p = np.mod(np.array(op * point, dtype=float), 1.0)
            if not any(same(p, q) for q in orbit):
                orbit.append(p)
        # Two orbits on one point would be two atoms on top of each other: a wrong report.
        assert not any(same(p, q) for p in orbit for q in positions), "orbits overlap at " + letter
        positions += orbit
        kinds += [names.setdefault(name, len(names) + 1)] * len(orbit)
    lattice = np.array(uctbx.unit_cell(cell).orthogonalization_matrix()).reshape(3, 3).T
    return lattice, np.array(positions), kinds


class GoldenReports(unittest.TestCase):
    def test_each_block_rebuilds_its_own_group(self):
        for report_name, group1, group2, midpoint in CASES:
            with open(os.path.join(GOLDEN, report_name)) as f:
                report = f.read()
            h = int(re.search(r"Common subgroup: +(\d+)", report).group(1))
            info = group_info(h)
            parsed = blocks(report)
            for block, expected in (("crystal 1", group1), ("crystal 2", group2), ("midpoint", midpoint)):
                with self.subTest(report=report_name, block=block):
                    cell, orbits = parsed[block]
                    structure = rebuild(info, cell, orbits)
                    found = spglib.get_symmetry_dataset(structure, symprec=1e-3)
                    number = found["number"] if isinstance(found, dict) else found.number
                    self.assertEqual(number, expected)


if __name__ == "__main__":
    unittest.main()
