#!/usr/bin/python3
"""Site-irrep lists of the irreps at the special points (`tablegen/fixed_sites.py`).

* At the zone centre the lists equal those committed in data_wyckoff.bin (a third of the
  groups; characters read back from the committed tables by the checker's own reader).
* Count identity at the special points: the displacements of one Wyckoff orbit whose Bloch
  vectors lie in the star of k or of -k span 3 x (orbit size per primitive cell) x (number of
  distinct vectors in the two stars) real dimensions; every irrep at k (real dimension d,
  End dimension 1, 4, 2 by reality type) occurs in them as often as the site lists say: per
  block of the site group's displacement representation the listed multiplicity of its site
  irrep, doubled for a complex site irrep, divided by that End dimension (Frobenius
  reciprocity). So the sum over the irreps of d times that number must be the dimension, for
  every position of every group of a sample, and every single quotient must be an integer.
* The degenerate sets predicted from the site lists equal those from the multiplicities of the
  small irreps in the displacement characters of the whole orbit (no site lists involved).
* phonopy judges: generic symmetric force constants in a supercell holding k; the sizes and
  counts of the degenerate frequency sets at k equal the prediction from the site lists.

Usage: test_fixed_sites.py [--all]   (--all: the zone-centre lists and the count identity for
all 230 groups, about two minutes more)
"""
import os
import sys
import unittest
from collections import Counter
from functools import lru_cache

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..")
sys.path.insert(0, HERE)
sys.path.insert(0, TOOLS)
import check_mode_tables as cm  # noqa: E402
import test_mode_tables as tm  # noqa: E402
import test_phonopy_fixed_kpoints as pj  # noqa: E402
from tablegen import fixed_kpoints as fk  # noqa: E402
from tablegen import fixed_sites as fs  # noqa: E402
from tablegen import modes  # noqa: E402

END_DIM = {1: 1, 2: 4, 3: 2}       # the divisor by reality type

# Groups of the count identity in CI: triclinic to cubic, symmorphic and not, every centring.
SAMPLE = (2, 11, 14, 19, 36, 62, 70, 129, 141, 148, 152, 167, 176, 186, 194, 198, 205, 206,
          221, 227, 230)

# (name, group, Wyckoff positions, [(k label, supercell diagonal or None for N N N)])
PHONOPY = [
    ("SrTiO3", 221, ("1a", "1b", "3d"), [("R", None), ("M", None), ("X", None)]),
    ("diamond", 227, ("8a",), [("X", None), ("L", None), ("W", None)]),
    ("NaCl", 225, ("4a", "4b"), [("X", None), ("L", None)]),
    ("P21/c", 14, ("2a", "4e"), [("E", None), ("Z", None)]),
    ("P63/mmc", 194, ("2c", "4f"), [("K", None), ("H", (3, 3, 2))]),
]

_SH = None


def shared():
    global _SH
    if _SH is None:
        t = tm.tables()
        _SH = modes.Shared(t.s, t.w)
    return _SH


def stored_lists(t, sh, g, i):
    e0 = int(t.w["IRREP_WYC_FIRST"][i - 1])
    out = []
    for q, _ in enumerate(sh.wyc_range(g)):
        e = e0 + q
        start = int(t.w["IRREP_WYC_LIST_START"][e - 1])
        n = int(t.w["IRREP_WYC_LIST_COUNT"][e - 1])
        out.append([(int(t.w["IRREP_WYC_SITE_IRREP"][start - 1 + j]),
                     int(t.w["IRREP_WYC_MULTIPLICITY"][start - 1 + j])) for j in range(n)])
    return out


def real_character(P, m):
    return lambda op: np.trace(P.real_form(m, op)).real


@lru_cache(maxsize=None)
def site_irreps(spg):
    """Per site irrep of point group spg (from the committed tables): the dimension of the
    commutant of its real form (1 real, 2 complex)."""
    t = tm.tables()
    idx = [int(x) for x in t.w["PG_IRREP_INDEX"][:int(t.w["PG_IRREP_COUNT"][spg - 1]), spg - 1]]
    return idx, [int(round(cm.reality_from_norm(t, i)[0])) for i in idx]


def copies(sh, w, lst, reality):
    """How often the irrep occurs in the displacements of orbit w, from its site list, as the
    mode projection counts it: per vector block of the site group (the committed
    `PG_VECTOR_IRREP`) the multiplicity of its site irrep, doubled for a complex one, divided
    by the irrep's divisor (which must divide it)."""
    spg = int(sh.w["WYC_SITE_POINT_GROUP"][w - 1])
    idx, ends = site_irreps(spg)
    mult = dict(lst)
    total = 0
    for r, _, _ in cm.vector_blocks(tm.tables(), spg, 1, idx):
        n = mult.get(r, 0) * ends[r - 1]
        assert n % END_DIM[reality] == 0, (w, r, n, reality)
        total += n // END_DIM[reality]
    return total


def orbit_size(sh, g, w):
    spg = int(sh.w["WYC_SITE_POINT_GROUP"][w - 1])
    return len(sh.ops(g)) // int(sh.s["PG_ORDER"][spg - 1])


class ZoneCentre(unittest.TestCase):
    groups = tuple(sorted(set(range(1, 231, 3)) | set(SAMPLE)))

    def test_committed_lists_are_reproduced(self):
        t = tm.tables()
        sh = shared()
        for g in self.groups:
            index = {op[4]: j for j, op in enumerate(sh.ops(g))}
            for i in cm.zone_centre_irreps(t, g):
                chi = cm.characters(t, i)
                got = fs.site_lists(sh, g, lambda op: chi[index[op.k]])
                self.assertEqual(got, stored_lists(t, sh, g, i), "group %d irrep %d" % (g, i))


class CountIdentity(unittest.TestCase):
    groups = SAMPLE

    def check_group(self, sh, g):
        for kindex in fk.special_kindices(sh.bravais(g)):
            P = fk.SpecialPoint(sh, g, kindex)
            vectors = P.narm * (1 if P.to_minus else 2)
            totals = Counter()
            for m in P.slots():
                lists = fs.site_lists(sh, g, real_character(P, m))
                for w, lst in zip(sh.wyc_range(g), lists):
                    ends = site_irreps(int(sh.w["WYC_SITE_POINT_GROUP"][w - 1]))[1]
                    for s, p in lst:
                        self.assertEqual(p * ends[s - 1] % END_DIM[P.types[m]], 0,
                                         "group %d %s slot %d position %d site irrep %d"
                                         % (g, P.label, m, w, s))
                    totals[w] += P.little_dimension(m) * copies(sh, w, lst, P.types[m])
            for w in sh.wyc_range(g):
                self.assertEqual(totals[w], 3 * orbit_size(sh, g, w) * vectors,
                                 "group %d %s position %d" % (g, P.label, w))

    def test_every_position_is_counted_once(self):
        sh = shared()
        for g in self.groups:
            with self.subTest(group=g):
                self.check_group(sh, g)


class Faults(unittest.TestCase):
    def test_site_translations_carry_their_phase(self):
        # SrTiO3 at R: the cubic sites 1a and 1b have the same site operations, but at 1b the
        # inversion needs the lattice vector (1, 1, 1), whose phase at R is -1; so no irrep at
        # R is seen by both sites in the same site irrep.
        sh = shared()
        t = tm.tables()
        kindex, _ = pj.kvector(t, t.bravais(221), "R")
        P = fk.SpecialPoint(sh, 221, kindex)
        a, b = tm.position(t, 221, "1a"), tm.position(t, 221, "1b")
        first = int(sh.w["WYC_FIRST"][220])
        seen = 0
        for m in P.slots():
            lists = fs.site_lists(sh, 221, real_character(P, m))
            la, lb = dict(lists[a - first]), dict(lists[b - first])
            self.assertFalse(set(la) & set(lb), P.types[m])
            seen += bool(la) + bool(lb)
        self.assertGreater(seen, 0)

    def test_fractional_multiplicity_stops(self):
        sh = shared()
        with self.assertRaises(SystemExit) as cm_:
            fs.site_lists(sh, 221, lambda op: 0.5)
        self.assertIn("not a non-negative integer", str(cm_.exception))


def predicted_sets(sh, g, kindex, atoms):
    """Degenerate-set sizes and counts at k from the site lists of the irreps at k."""
    t = tm.tables()
    P = fk.SpecialPoint(sh, g, kindex)
    first = int(sh.w["WYC_FIRST"][g - 1])
    ws = [tm.position(t, g, label) for label in atoms]
    sets = Counter()
    for m in P.slots():
        lists = fs.site_lists(sh, g, real_character(P, m))
        n = sum(copies(sh, w, lists[w - first], P.types[m]) for w in ws)
        s = P.small_dims()[m]
        joined = P.types[m] == 2 or (P.types[m] == 3 and P.to_minus)
        sets[2 * s if joined else s] += n
    return +sets


class OrbitCharacters(unittest.TestCase):
    def test_same_sets_as_the_small_irreps_in_the_orbit_characters(self):
        # The small irreps' multiplicities in the displacement characters of the whole orbit
        # at k (no site lists involved) give the same degenerate sets.
        t = tm.tables()
        sh = shared()
        for name, g, atoms, labels in pj.FULL:
            rng = np.random.default_rng(g)
            _, pos, _ = pj.crystal(t, g, atoms, rng)
            for label in labels:
                with self.subTest(crystal=name, k=label):
                    kindex, kappa = pj.kvector(t, t.bravais(g), label)
                    P = fk.SpecialPoint(sh, g, kindex)
                    self.assertEqual(predicted_sets(sh, g, kindex, atoms),
                                     pj.predicted_sets(t, g, kindex, kappa, pos, P))


class PhonopyJudge(unittest.TestCase):
    crystals = PHONOPY

    def test_degenerate_sets(self):
        t = tm.tables()
        sh = shared()
        for name, g, atoms, points in self.crystals:
            rng = np.random.default_rng(g)
            lattice, pos, types = pj.crystal(t, g, atoms, rng)
            for label, cells in points:
                with self.subTest(crystal=name, k=label):
                    kindex, kappa = pj.kvector(t, t.bravais(g), label)
                    want = predicted_sets(sh, g, kindex, atoms)
                    got = pj.phonopy_sets(t, g, lattice, pos, types, kappa, rng, cells)
                    if os.environ.get("VERBOSE"):
                        print(name, label, dict(got), dict(want), flush=True)
                    self.assertEqual(got, want)


if __name__ == "__main__":
    if "--all" in sys.argv:
        sys.argv.remove("--all")
        CountIdentity.groups = ZoneCentre.groups = tuple(range(1, 231))
    result = unittest.main(exit=False, verbosity=1).result
    sys.exit(0 if result.wasSuccessful() else 1)
