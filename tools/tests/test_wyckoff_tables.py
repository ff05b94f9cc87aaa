#!/usr/bin/python3
"""Tests of the Wyckoff tables: the checker on the committed files, known positions, the
checker's power to see typical faults, and the maker's building blocks. (That the maker
reproduces the committed files byte for byte is tested with the whole maker.)

Run from the repository root (CTest does); exits non-zero on any failure.
"""
import os
import sys
import unittest
from fractions import Fraction

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..")
DATA = os.path.join(TOOLS, "..", "data")
sys.path.insert(0, TOOLS)
import check_wyckoff as cw  # noqa: E402
from tablegen import wyckoff as wy  # noqa: E402

_LOADED = None


def committed():
    """(space, wyckoff) arrays of the committed files, read once."""
    global _LOADED
    if _LOADED is None:
        _LOADED = cw.load(DATA)
    return _LOADED


def writable(arrays):
    return {k: (np.array(v, copy=True) if isinstance(v, np.ndarray) else v)
            for k, v in arrays.items()}


def index_of(wyc, sg, letter):
    return int(wyc["WYC_FIRST"][sg - 1]) + cw.LETTERS.index(letter)


class CommittedFiles(unittest.TestCase):

    def test_every_convention_holds(self):
        failures = cw.run_checks(*committed())
        self.assertEqual({k: v for k, v in failures.items() if v}, {})

    def test_known_positions(self):
        # (group, letter, label, site point group, "cinter" point, parameters present)
        cases = [
            (1, "a", "1a", 1, (0, 0, 0), (1, 1, 1)),
            (47, "A", "8A", 1, (0, 0, 0), (1, 1, 1)),        # Pmmm: the 27th position
            (47, "h", "1h", 8, ("1/2", "1/2", "1/2"), (0, 0, 0)),
            (166, "f", "6f", 3, (0, 0, 0), (1, 0, 0)),       # R-3m, rhombohedral: x,-x,0
            (166, "c", "2c", 19, (0, 0, 0), (1, 0, 0)),      # x,x,x
            (227, "a", "8a", 31, ("1/8", "1/8", "1/8"), (0, 0, 0)),  # origin choice 2
            (227, "h", "96h", 3, (0, 0, 0), (0, 1, 0)),      # 0,y,-y
            (224, "i", "24i", 3, ("1/2", 0, "1/2"), (0, 1, 0)),  # 1/2,y,y+1/2
            (38, "a", "2a", 7, (0, 0, 0), (0, 0, 1)),        # Amm2 keeps its A axes
        ]
        space, wyc = committed()
        t = cw.Tables(space, wyc)
        for sg, letter, label, pg, point, present in cases:
            with self.subTest(group=sg, letter=letter):
                index = index_of(wyc, sg, letter)
                w = t.matrix(index)
                self.assertEqual(wyc["WYC_LABEL"][index - 1].strip(), label)
                self.assertEqual(int(wyc["WYC_SITE_POINT_GROUP"][index - 1]), pg)
                self.assertEqual(tuple(int(bool(w[3, j])) for j in (1, 2, 3)), present)
                A, a = t.cinter_to_pml(sg)
                p = cw.point_of(w, (0, 0, 0))
                Ai = cw.minv(A)
                c = tuple(sum(Ai[i][k] * (p[k] - a[k]) for k in range(3)) for i in range(3))
                self.assertEqual(c, tuple(Fraction(x) for x in point))

    def test_general_position_of_p1(self):
        # the point 0 and the three unit directions, every denominator 1
        space, wyc = committed()
        want = np.array([[0, 1, 0, 0], [0, 0, 1, 0], [0, 0, 0, 1], [1, 1, 1, 1]], dtype=np.int8)
        self.assertTrue(np.array_equal(wyc["WYC_MATRIX_TABLE"][:, :, 0], want))


class CheckerSeesFaults(unittest.TestCase):
    """Each fault, made in a copy of the committed arrays, trips its assertion."""

    def faulty(self, change):
        space, wyc = committed()
        wyc = writable(wyc)
        change(wyc)
        return {k for k, v in cw.run_checks(space, wyc).items() if v}

    def test_faults(self):
        def site_group(w):
            w["WYC_SITE_POINT_GROUP"][index_of(w, 221, "a") - 1] = 31

        def duplicate_position(w):  # Pm-3m: b becomes a second copy of a
            m = w["WYC_MATRIX_TABLE"]
            m[:, :, index_of(w, 221, "b") - 1] = m[:, :, index_of(w, 221, "a") - 1]

        def present_zero_direction(w):  # Pm-3m e (x,0,0): x column zeroed, denominator kept
            w["WYC_MATRIX_TABLE"][:3, 1, index_of(w, 221, "e") - 1] = 0

        def shifted_point(w):  # Pm-3m a moved by a lattice vector: not the standard triplet
            w["WYC_MATRIX_TABLE"][0, 0, index_of(w, 221, "a") - 1] = 1

        def swapped_letters(w):  # P4/mmm: a (1 point) and the general position exchanged
            m = w["WYC_MATRIX_TABLE"]
            i, j = index_of(w, 123, "a") - 1, index_of(w, 123, "u") - 1
            m[:, :, [i, j]] = m[:, :, [j, i]]
            s = w["WYC_SITE_POINT_GROUP"]
            s[[i, j]] = s[[j, i]]

        def label(w):
            w["WYC_LABEL"][index_of(w, 221, "a") - 1] = "2a   "

        def list_order(w):  # a non-reference list of mm2 with two places exchanged
            pg = 7
            li = int(w["PG_LIST_FIRST"][pg - 1])
            col = w["PG_ELEMENT_LIST"][:, li]
            col[[1, 2]] = col[[2, 1]]

        def reference_not_first(w):
            pg = 3
            li = int(w["PG_LIST_FIRST"][pg - 1]) - 1
            lists = w["PG_ELEMENT_LIST"]
            lists[:, [li, li + 1]] = lists[:, [li + 1, li]]

        def unused_item(w):
            w["WYCKOFF_ITEM_04"][0] = 1

        def count(w):
            w["WYC_COUNT"][0] = 2

        cases = [(site_group, "W4"), (duplicate_position, "W5"),
                 (present_zero_direction, "W2"), (shifted_point, "W3"),
                 (swapped_letters, "W5"), (label, "W6"), (list_order, "W7"),
                 (reference_not_first, "W7"), (unused_item, "W8"), (count, "W1")]
        for change, code in cases:
            with self.subTest(fault=change.__name__):
                self.assertIn(code, self.faulty(change))


class MakerPieces(unittest.TestCase):

    def test_parse_triplet(self):
        cases = [
            ("x,-x+1/2,1/4", ((0, Fraction(1, 2), Fraction(1, 4)), [(1, -1, 0), None, None])),
            ("1/2,y,-y", ((Fraction(1, 2), 0, 0), [None, (0, 1, -1), None])),
            ("x,2x,z", ((0, 0, 0), [(1, 2, 0), None, (0, 0, 1)])),
            ("-y+1/2,x-y,-z", ((Fraction(1, 2), 0, 0), [(0, 1, 0), (-1, -1, 0), (0, 0, -1)])),
        ]
        for text, want in cases:
            with self.subTest(text=text):
                self.assertEqual(wy.parse_triplet(text), want)

    def test_letters(self):
        self.assertEqual([wy.letter_of(w) for w in (1, 26, 27)], ["a", "z", "A"])

    def test_representatives_off_their_orbit_are_refused(self):
        info = wy.cinter_info(166)
        table = info.wyckoff_table()
        self.assertTrue(wy.same_position(info, table, "f", *wy.parse_triplet("x,-x,0")))
        self.assertFalse(wy.same_position(info, table, "f", *wy.parse_triplet("x,-x,1/2")))
        self.assertFalse(wy.same_position(info, table, "f", *wy.parse_triplet("x,x,0")))

    def test_orientation_image(self):
        space = wy.SpaceBlock(committed()[0])
        mm2 = space.reference_operations(7)
        # mm2 with its twofold axis along a instead of c: the image keeps products and kinds
        target = {1, 4, 26, 27}
        image = wy.orientation_image(space, mm2, target)
        self.assertEqual(set(image), target)
        self.assertEqual(image[0], 1)
        for a, b in zip(mm2, image):
            self.assertEqual(space.kind(a), space.kind(b))
        # 222 has no mirror: no change of orientation carries mm2 onto it
        self.assertIsNone(wy.orientation_image(space, mm2, {1, 2, 3, 4}))


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=1).result
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed, failed))
    sys.exit(1 if failed else 0)
