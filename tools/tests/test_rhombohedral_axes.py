#!/usr/bin/python3
"""The rule of the guides (docs/duopath.md, docs/vibrex.md) for the rhombohedral groups given in
hexagonal axes, checked with cctbx's space groups:

- the conversion x = xH + zH, y = -xH + yH + zH, z = -yH + zH carries the whole hexagonal orbit of
  each position of the guides' table onto the rhombohedral orbit of the rhombohedral triple with
  the parameters the table gives, for random parameters; the natural guess for 18e of R-3c (the
  hexagonal x unchanged) is another orbit;
- the worked example examples/vibrex/corundum.in, carried back to hexagonal axes, is the corundum
  of examples/cellsieve/corundum.in (the same paper, all 30 atoms of the hexagonal cell), cell and
  atoms.
"""
import math
import os
import random
import unittest
from fractions import Fraction

from cctbx import sgtbx

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def to_rhombohedral(p):
    x, y, z = p
    return (x + z, -x + y + z, -y + z)


def to_hexagonal(p):
    x, y, z = p
    return ((2 * x - y - z) / 3, (x + y - 2 * z) / 3, (x + y + z) / 3)


def key(p):
    """A point modulo the lattice."""
    return tuple(c % 1 for c in p)


def orbit(symbol, p):
    """The images of p (exact fractions) under the group, modulo the lattice."""
    points = set()
    for op in sgtbx.space_group_info(symbol).group().all_ops():
        r, rd = op.r().num(), op.r().den()
        t, td = op.t().num(), op.t().den()
        points.add(key(tuple(Fraction(sum(r[3 * i + k] * p[k] for k in range(3))) / rd + Fraction(t[i], td)
                             for i in range(3))))
    return points


Q = Fraction(1, 4)

# The table of the guides: group, hexagonal triple, rhombohedral triple with the parameters as
# the table gives them, both from the hexagonal parameters (x, z).
POSITIONS = [
    ("R -3 m", "6c -> 2c", lambda x, z: (0, 0, z), lambda x, z: (z, z, z)),
    ("R -3 m", "18h -> 6h", lambda x, z: (x, -x, z), lambda x, z: (x + z, x + z, z - 2 * x)),
    ("R -3 c", "6a -> 2a", lambda x, z: (0, 0, Q), lambda x, z: (Q, Q, Q)),
    ("R -3 c", "6b -> 2b", lambda x, z: (0, 0, 0), lambda x, z: (0, 0, 0)),
    ("R -3 c", "12c -> 4c", lambda x, z: (0, 0, z), lambda x, z: (z, z, z)),
    ("R -3 c", "18e -> 6e", lambda x, z: (x, 0, Q), lambda x, z: (x + Q, 2 * Q - (x + Q), Q)),
]


class RhombohedralAxes(unittest.TestCase):
    def test_conversion_and_parameters_of_the_table(self):
        rng = random.Random(167)
        for symbol, name, hexagonal, rhombohedral in POSITIONS:
            for _ in range(5):
                x, z = Fraction(rng.randrange(1, 997), 997), Fraction(rng.randrange(1, 997), 997)
                with self.subTest(position=name, x=x, z=z):
                    hex_orbit = orbit(symbol + " :H", hexagonal(x, z))
                    rho_orbit = orbit(symbol + " :R", rhombohedral(x, z))
                    self.assertEqual({key(to_rhombohedral(p)) for p in hex_orbit}, rho_orbit)
                    self.assertEqual(len(hex_orbit), 3 * len(rho_orbit))
        # The natural guess for 18e keeps the hexagonal x: another structure.
        x = Fraction(30624, 100000)
        self.assertNotEqual({key(to_rhombohedral(p)) for p in orbit("R -3 c :H", (x, 0, Q))},
                            orbit("R -3 c :R", (x, 2 * Q - x, Q)))

    def test_corundum_example_is_the_hexagonal_structure(self):
        with open(os.path.join(ROOT, "examples", "vibrex", "corundum.in")) as f:
            lines = f.read().splitlines()
        cell = [float(w) for w in lines[2].split()]
        a, alpha = cell[0], math.radians(cell[3])
        atoms = [line.split() for line in lines[4:4 + int(lines[3])]]
        with open(os.path.join(ROOT, "examples", "cellsieve", "corundum.in")) as f:
            hex_lines = f.read().splitlines()
        hex_cell = [float(w) for w in hex_lines[5].split()]
        n = int(hex_lines[9])
        hex_types = [int(w) for w in hex_lines[10].split()]
        hex_atoms = [tuple(float(w) for w in hex_lines[11 + i].split()) for i in range(n)]

        # the cell: a_H = 2 a sin(alpha / 2), c_H = a sqrt(3 (1 + 2 cos alpha))
        self.assertAlmostEqual(2 * a * math.sin(alpha / 2), hex_cell[0], delta=2e-4)
        self.assertAlmostEqual(a * math.sqrt(3 * (1 + 2 * math.cos(alpha))), hex_cell[2], delta=2e-4)

        # the atoms: each rhombohedral orbit, in hexagonal axes with the centring translations,
        # is the set of the hexagonal cell's atoms of that type
        third = Fraction(1, 3)
        centring = [(0, 0, 0), (2 * third, third, third), (third, 2 * third, 2 * third)]
        representatives = {"4c": lambda v: (v, v, v), "6e": lambda v: (v, 2 * Q - v, Q)}
        for t, (name, label, value) in enumerate(atoms, start=1):
            with self.subTest(atom=name):
                points = orbit("R -3 c :R", representatives[label](Fraction(value)))
                ours = {key(tuple(h + c for h, c in zip(to_hexagonal(p), shift)))
                        for p in points for shift in centring}
                theirs = {tuple(round(c, 5) % 1.0 for c in p)
                          for p, k in zip(hex_atoms, hex_types) if k == t}
                self.assertEqual({tuple(round(float(c), 5) % 1.0 for c in p) for p in ours}, theirs)


if __name__ == "__main__":
    unittest.main()
