#!/usr/bin/python3
"""Tests of the mode-analysis tables: the checker on the committed files, its power to see
typical faults, and the zone-centre mode counts of textbook crystals.

Run from the repository root (CTest does); exits non-zero on any failure.
"""
import os
import re
import shutil
import struct
import sys
import tempfile
import unittest
from fractions import Fraction

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..")
DATA = os.path.join(TOOLS, "..", "data")
sys.path.insert(0, TOOLS)
sys.path.insert(0, HERE)
import check_mode_tables as cm  # noqa: E402
import mode_table_fixture as fixture  # noqa: E402

_TABLES = None


def tables():
    global _TABLES
    if _TABLES is None:
        _TABLES = cm.Tables(DATA)
    return _TABLES


# --- zone-centre modes of a crystal from the tables ------------------------------------------

def position(t, g, label):
    w0 = int(t.w["WYC_FIRST"][g - 1])
    for w in range(w0, w0 + int(t.w["WYC_COUNT"][g - 1])):
        if cm.text(t.w["WYC_LABEL"][w - 1]).strip() == label:
            return w
    raise KeyError((g, label))


def orbit(t, g, w, rng):
    """Points (Fractions, "pml") of the orbit of position w at random parameter values."""
    L = t.bravais(g)
    W = t.w["WYC_MATRIX_TABLE"][:, :, w - 1]
    x = [Fraction(int(W[r, 0]), int(W[3, 0])) for r in range(3)]
    for j in (1, 2, 3):
        if W[3, j]:
            val = Fraction(int(rng.integers(1, 9973)), 9973)
            x = [x[r] + val * int(W[r, j]) for r in range(3)]
    pts = []
    for op in t.ops(g):
        R = t.prim_rot(L, op[4])
        y = tuple((sum(int(R[a, b]) * x[b] for b in range(3)) + Fraction(op[a], op[3])) % 1
                  for a in range(3))
        if y not in pts:
            pts.append(y)
    return pts


def modes_by_characters(t, g, atoms, rng):
    """{second label: count} of the displacement representation at the zone centre."""
    L = t.bravais(g)
    chi = np.zeros(len(t.ops(g)))
    for label in atoms:
        for x in orbit(t, g, position(t, g, label), rng):
            for j, op in enumerate(t.ops(g)):
                R = t.prim_rot(L, op[4])
                y = [sum(int(R[a, b]) * x[b] for b in range(3)) + Fraction(op[a], op[3])
                     for a in range(3)]
                if all((u - v).denominator == 1 for u, v in zip(y, x)):
                    chi[j] += np.trace(t.rot(op[4]))
    out = {}
    for i in cm.zone_centre_irreps(t, g):
        norm = cm.reality_from_norm(t, i)[0]
        n = np.dot(chi, cm.characters(t, i)) / len(chi) / norm
        assert abs(n - round(n)) < 1e-6, n
        if round(n):
            out[cm.text(t.irr["IRREP_SECOND_LABEL"][i - 1]).strip()] = int(round(n))
    return out


def modes_by_site_data(t, g, atoms):
    """The same counts from the site-irrep lists and the vector slots of the site groups."""
    out = {}
    for i in cm.zone_centre_irreps(t, g):
        norm_i = cm.reality_from_norm(t, i)[0]
        total = 0.0
        for label in atoms:
            w = position(t, g, label)
            spg = int(t.w["WYC_SITE_POINT_GROUP"][w - 1])
            idx = [int(x) for x in t.w["PG_IRREP_INDEX"][:int(t.w["PG_IRREP_COUNT"][spg - 1]),
                                                        spg - 1]]
            e = int(t.w["IRREP_WYC_FIRST"][i - 1]) + w - int(t.w["WYC_FIRST"][g - 1])
            start = int(t.w["IRREP_WYC_LIST_START"][e - 1])
            listed = {int(t.w["IRREP_WYC_SITE_IRREP"][start - 1 + q]):
                      int(t.w["IRREP_WYC_MULTIPLICITY"][start - 1 + q])
                      for q in range(int(t.w["IRREP_WYC_LIST_COUNT"][e - 1]))}
            for r, _, _ in cm.vector_blocks(t, spg, 1, idx):
                total += listed.get(r, 0) * cm.reality_from_norm(t, idx[r - 1])[0] / norm_i
        if round(total):
            out[cm.text(t.irr["IRREP_SECOND_LABEL"][i - 1]).strip()] = int(round(total))
    return out


def parse(text):
    out = {}
    for term in text.split("+"):
        m = re.fullmatch(r"\s*(\d*)(\S+)\s*", term)
        out[m.group(2)] = int(m.group(1) or 1)
    return out


# group, atoms (Wyckoff labels of "cinter"), all modes at the zone centre (acoustic included)
TEXTBOOK = [
    ("SrTiO3", 221, ("1a", "1b", "3d"), "4T1u + T2u"),
    ("diamond", 227, ("8a",), "T1u + T2g"),
    ("NaCl", 225, ("4a", "4b"), "2T1u"),
    ("rutile TiO2", 136, ("2a", "4f"), "A1g + A2g + B1g + B2g + Eg + 2A2u + 2B1u + 4Eu"),
    ("wurtzite ZnO", 186, ("2b", "2b"), "2A1 + 2B1 + 2E1 + 2E2"),
    ("scheelite CaWO4", 88, ("4a", "4b", "16f"), "3Ag + 5Bg + 5Eg + 5Au + 3Bu + 5Eu"),
    ("alpha-quartz", 152, ("3a", "6c"), "4A1 + 5A2 + 9E"),
    ("calcite", 167, ("2a", "2b", "6e"), "A1g + 3A2g + 4Eg + 2A1u + 4A2u + 6Eu"),
]


class Textbook(unittest.TestCase):

    def test_zone_centre_modes(self):
        t = tables()
        rng = np.random.default_rng(5)
        for name, g, atoms, expected in TEXTBOOK:
            with self.subTest(crystal=name):
                self.assertEqual(modes_by_characters(t, g, atoms, rng), parse(expected))
                self.assertEqual(modes_by_site_data(t, g, atoms), parse(expected))


class CommittedFiles(unittest.TestCase):

    def test_every_convention_holds(self):
        failures = cm.run_checks(DATA)
        self.assertEqual({k: v for k, v in failures.items() if v}, {})

    def test_known_values(self):
        t = tables()
        # Pm-3m: ten irreps at GM, T1u (slot 9) three-dimensional and real.
        irreps = cm.zone_centre_irreps(t, 221)
        labels = [cm.text(t.irr["IRREP_SECOND_LABEL"][i - 1]).strip() for i in irreps]
        self.assertEqual(labels, ["A1g", "A2g", "Eg", "T1g", "T2g", "A1u", "A2u", "Eu", "T1u",
                                  "T2u"])
        # P4: E is a complex pair, stored once as a two-dimensional real irrep of type 3.
        l = int(t.lit["LITTLE_IRREP_NUMBER"][2, 0, 75 - 1])
        self.assertEqual((int(t.lit["LITTLE_IRREP_DIMENSION"][l - 1]),
                          int(t.lit["LITTLE_IRREP_REALITY"][l - 1])), (2, 3))
        # cP: X and M, cF: X, L, W, cI: H, N, P; the lines DT, LD, SM through GM.
        for L, names in ((12, ("GM", "R", "M", "X", "DT", "LD", "SM", "GP")),
                         (13, ("GM", "X", "L", "W", "DT", "LD", "SM", "GP")),
                         (14, ("GM", "H", "P", "N", "DT", "LD", "SM", "GP"))):
            n = int(t.lit["KVEC_COUNT"][L - 1])
            have = [cm.text(x).strip() for x in t.lit["KVEC_LABEL"][:n, L - 1]]
            for name in names:
                self.assertIn(name, have)
        # cF X is (0, 1, 0) in conventional reciprocal axes: (1/2, 0, 1/2) on the "pml" basis.
        j = [cm.text(x).strip() for x in t.lit["KVEC_LABEL"][:, 12]].index("X")
        self.assertEqual(list(t.lit["KVEC_MATRIX"][:, 0, j, 12]), [1, 0, 1, 2])
        # Little co-group of X in Fm-3m: 4/mmm, 16 operations.
        self.assertEqual(int(t.lit["LITTLE_COGROUP_ORDER"][j, 225 - 1]), 16)


# --- faults the checker must see ----------------------------------------------------------------

def _offset(name, array):
    """(offset in the payload, element kind) of an array of one of the files."""
    if name in cm.LAYOUTS:
        return next((o, k) for n, k, o, _ in cm.layout_entries(cm.LAYOUTS[name]) if n == array)
    offset = 0
    for line in cm.WYCKOFF_FILE_LAYOUT.strip().splitlines():
        n, k, *dims = line.split()
        if n == array:
            return offset, k
        size = int(k[1:]) if k[0] == "a" else cm.SIZES[k]
        offset += size * int(np.prod([int(d) for d in dims]))
    raise KeyError(array)


def patch(directory, name, array, index, value):
    """Overwrite one entry (0-based flat index, column order) of an array in a copied file."""
    offset, kind = _offset(name, array)
    size = cm.SIZES[kind]
    with open(os.path.join(directory, name), "r+b") as f:
        f.seek(4 + offset + size * index)
        f.write(struct.pack("<" + {1: "b", 2: "h", 4: "i"}[size], value))


def patch_text(directory, name, array, index, value):
    """Overwrite one entry of a text array (blank-padded) in a copied file."""
    offset, kind = _offset(name, array)
    w = int(kind[1:])
    with open(os.path.join(directory, name), "r+b") as f:
        f.seek(4 + offset + w * index)
        f.write(value.ljust(w).encode("ascii"))


class Faults(unittest.TestCase):

    def faulty(self, change, check, args=None, source=None, messages=False):
        source = source or DATA
        with tempfile.TemporaryDirectory() as tmp:
            for name in os.listdir(source):
                shutil.copy(os.path.join(source, name), tmp)
            change(tmp)
            failures = []
            t = cm.Tables(tmp)
            if args is None:
                args = (20261210, 30) if check is cm.check_isotropy else ()
            check(t, lambda code, msg: failures.append(msg if messages else code), *args)
            return failures

    def test_faults_are_seen(self):
        t = tables()
        x_fm3m = [cm.text(x).strip() for x in t.lit["KVEC_LABEL"][:, 12]].index("X")

        def matrix_element(d):  # one element of a stored matrix becomes 1/2
            start = int(t.irr["IRREP_MATRIX_START"][int(t.irr["IRREP_MATRIX_FIRST"][400]) + 5])
            patch(d, "data_irreps.bin", "IRREP_MATRIX_ELEMENT", start - 1, 2)

        def cogroup(d):  # Fm-3m at X: an operation outside the co-group
            patch(d, "data_little.bin", "LITTLE_COGROUP_OPS", (224 * 27 + x_fm3m) * 48 + 1, 5)

        def denominator(d):  # a parameter column of cP DT without denominator
            patch(d, "data_little.bin", "KVEC_MATRIX", ((11 * 27) + 4) * 16 + 3 * 4 + 3, 0)

        def moved_point(d):  # cP X moved from (0, 1/2, 0) to (0, 1/4, 0), onto the line DT
            j = [cm.text(x).strip() for x in t.lit["KVEC_LABEL"][:, 11]].index("X")
            patch(d, "data_little.bin", "KVEC_MATRIX", 3 + 16 * (j + 27 * 11), 4)

        def isotropy_group(d):
            for e in range(1500):
                patch(d, "data_isotropy.bin", "ISOTROPY_SG", e, 1)

        def multiplicity(d):
            patch(d, "data_wyckoff.bin", "IRREP_WYC_MULTIPLICITY", 100,
                  int(t.w["IRREP_WYC_MULTIPLICITY"][100]) + 1)

        def vector_basis(d):  # point group 4mm, polar, reference list: one entry negated
            first = int(t.w["PG_LIST_FIRST"][12])
            idx = int(t.w["PG_VECTOR_BASIS"][0, 0, 0, first - 1])
            patch(d, "data_wyckoff.bin", "PG_VECTOR_BASIS", (first - 1) * 18, idx ^ 1)

        def reality(d):  # P4 E claimed real
            l = int(t.lit["LITTLE_IRREP_NUMBER"][2, 0, 74])
            patch(d, "data_little.bin", "LITTLE_IRREP_REALITY", l - 1, 1)

        def constant(d):  # const.dat: 1/2 becomes 0.501, within 0.002 of nothing but wrong
            path = os.path.join(d, "const.dat")
            with open(path) as f:
                text = f.read().replace("\n2 0.5\n", "\n2 0.501\n")
            with open(path, "w") as f:
                f.write(text)

        def unread_item(d):
            patch(d, "data_images.bin", "IMAGE_ITEM_01", 0, 7)

        cases = [(matrix_element, cm.check_irreps, "M5"), (cogroup, cm.check_cogroups, "M4"),
                 (denominator, cm.check_klists, "M3"), (moved_point, cm.check_grid, "M3"),
                 (isotropy_group, cm.check_isotropy, "M6"),
                 (multiplicity, cm.check_site_data, "M7"),
                 (vector_basis, cm.check_site_data, "M7"), (reality, cm.check_irreps, "M5"),
                 (constant, cm.check_irreps, "M5"), (unread_item, cm.check_layout, "M1")]
        for change, check, code in cases:
            with self.subTest(fault=change.__name__):
                self.assertIn(code, self.faulty(change, check))

    def test_translation_image_superlattice_label_and_letter_faults(self):
        t = tables()
        stored = range(1, 1314)

        def translation(d):  # T1 of a one-dimensional irrep becomes -1: k is no longer GM
            i = next(i for i in stored if int(t.irr["IRREP_IMAGE"][i - 1]) == 2)
            first = int(t.irr["IRREP_MATRIX_FIRST"][i - 1])
            j = next(j for j, D in enumerate(t.matrices(i)) if D[0, 0] < 0)
            patch(d, "data_irreps.bin", "IRREP_MATRIX_START", first - 1,
                  int(t.irr["IRREP_MATRIX_START"][first - 1 + j]))

        def images_swapped(d):  # a D3 irrep and a D4 irrep exchange their image numbers
            a = next(i for i in stored if int(t.irr["IRREP_IMAGE"][i - 1]) == 6)
            b = next(i for i in stored if int(t.irr["IRREP_IMAGE"][i - 1]) == 7)
            patch(d, "data_irreps.bin", "IRREP_IMAGE", a - 1, 7)
            patch(d, "data_irreps.bin", "IRREP_IMAGE", b - 1, 6)

        def left_handed(d):  # the first entry's superlattice with two columns exchanged
            for q, v in enumerate((0, 1, 0, 1, 0, 0, 0, 0, 1)):
                patch(d, "data_isotropy.bin", "ISOTROPY_SUPERLATTICE", q, v)

        def by_label(g, klabel, label):
            L = t.bravais(g)
            j = [cm.text(x).strip() for x in t.lit["KVEC_LABEL"][:, L - 1]].index(klabel) + 1
            return next(i for i in cm.irreps_at(t, g, j)
                        if cm.text(t.irr["IRREP_LABEL"][i - 1]).strip() == label)

        def labels_exchanged(d):  # Pm-3m R: the tilt R4+ and R5+ exchange their labels
            a, b = by_label(221, "R", "R4+"), by_label(221, "R", "R5+")
            for i, label in ((a, "R5+"), (b, "R4+")):
                patch_text(d, "data_irreps.bin", "IRREP_LABEL", i - 1, label)
                patch_text(d, "data_little.bin", "LITTLE_IRREP_LABEL", i - 1, label)

        def pair_split(d):  # P4 M: the complex pair M3M4 labelled as M3 alone
            i = by_label(75, "M", "M3M4")
            patch_text(d, "data_irreps.bin", "IRREP_LABEL", i - 1, "M3")
            patch_text(d, "data_little.bin", "LITTLE_IRREP_LABEL", i - 1, "M3")

        def slot_number(d):  # Fm-3m GM: the old slot label GM9 for T1u (GM4-)
            i = by_label(225, "GM", "GM4-")
            patch_text(d, "data_irreps.bin", "IRREP_LABEL", i - 1, "GM9")
            patch_text(d, "data_little.bin", "LITTLE_IRREP_LABEL", i - 1, "GM9")

        def little_label(d):  # the little irrep's label differs from its irrep's
            i = by_label(221, "X", "X5-")
            patch_text(d, "data_little.bin", "LITTLE_IRREP_LABEL", i - 1, "X5+")

        def letters_exchanged(d):  # mP: B and Y exchanged, as the tables had them before
            names = [cm.text(x).strip() for x in t.lit["KVEC_LABEL"][:, 1]]
            for a, b in (("B", "Y"), ("Y", "B")):
                patch_text(d, "data_little.bin", "KVEC_LABEL", 27 + names.index(a), b)

        def letter_renamed(d):  # oI: the point X under a systematic name
            names = [cm.text(x).strip() for x in t.lit["KVEC_LABEL"][:, 6]]
            patch_text(d, "data_little.bin", "KVEC_LABEL", 6 * 27 + names.index("X"), "Q1")

        cases = [(translation, cm.check_irreps, None, "of translation"),
                 (images_swapped, cm.check_irreps, None, "matrix sets"),
                 (left_handed, cm.check_isotropy, (20261210, None, None, [1]),
                  "not right-handed"),
                 (labels_exchanged, cm.check_irreps, ([221],),
                  "label 'R5+', the standard label of these characters is 'R4+'"),
                 (pair_split, cm.check_irreps, ([75],), "'M3' is not a joined pair label"),
                 (slot_number, cm.check_irreps, ([225],),
                  "label 'GM9', the standard label of these characters is 'GM4-'"),
                 (little_label, cm.check_irreps, ([221],), "little label (the irrep's)"),
                 (letters_exchanged, cm.check_kletters, None,
                  "label 'B', the standard letter is 'Y'"),
                 (letter_renamed, cm.check_kletters, None,
                  "label 'Q1', the standard letter is 'X'")]
        for change, check, args, text in cases:
            with self.subTest(fault=change.__name__):
                msgs = self.faulty(change, check, args, messages=True)
                self.assertTrue(any(text in m for m in msgs), msgs[:5])

# --- irreps away from the zone centre ---------------------------------------------------------

_SPECIAL = None


def special_irreps(t):
    """Stored irreps of the tables at k types other than GM."""
    return [i for i in range(1, cm.N_IRREP + 1) if int(t.irr["IRREP_SG"][i - 1])
            and not cm.text(t.irr["IRREP_LABEL"][i - 1]).startswith("GM")]


def special():
    """(directory, Tables, irreps away from GM, made by the fixture): the committed tables
    when they hold special points, else a copy with the fixture's points added (made once,
    removed at exit)."""
    global _SPECIAL
    if _SPECIAL is None:
        t = tables()
        if special_irreps(t):
            _SPECIAL = (DATA, t, special_irreps(t), False)
        else:
            import atexit
            tmp = tempfile.mkdtemp()
            atexit.register(shutil.rmtree, tmp, True)
            made = fixture.write_special_points(tmp)
            _SPECIAL = (tmp, cm.Tables(tmp), made, True)
    return _SPECIAL


def place(t, i):
    """(group, k index, slot) of a stored irrep."""
    g = int(t.irr["IRREP_SG"][i - 1])
    j = int(t.lit["LITTLE_IRREP_KVEC"][i - 1])
    return g, j, int(t.lit["LITTLE_IRREP_SMALL_IRREP"][i - 1])


def entries(t, i):
    return range(int(t.iso["ISOTROPY_IRREP_FIRST"][i - 1]), int(t.iso["ISOTROPY_IRREP_FIRST"][i]))


class SpecialPoints(unittest.TestCase):

    faulty = Faults.faulty

    def test_added_points_pass(self):
        tmp, t, irreps, made = special()
        types = {int(t.lit["LITTLE_IRREP_REALITY"][i - 1]) for i in irreps}
        self.assertEqual(types, {1, 2, 3})
        if made:  # Pm-3m X (10 slots), P212121 R (1), P3 K (3), P4 M (3)
            self.assertEqual(len(irreps), 10 + 1 + 3 + 3)
        else:  # the committed tables: their own check covers them; here the isotropy sample
            irreps = irreps[::max(1, len(irreps) // 20)]
        groups = sorted({int(t.irr["IRREP_SG"][i - 1]) for i in irreps})
        for check, args in ((cm.check_irreps, (groups,)),
                            (cm.check_isotropy, (1, None, None, irreps)),
                            (cm.check_site_data, (groups,))):
            with self.subTest(check=check.__name__):
                failures = []
                check(t, lambda code, msg: failures.append(msg), *args)
                self.assertEqual(failures, [])

    def test_faults_at_special_points_are_seen(self):
        tmp, t, irreps, _ = special()
        real = [i for i in irreps if int(t.lit["LITTLE_IRREP_REALITY"][i - 1]) == 1]
        # Two real slots of one point with one dimension and other images, the first with
        # two isotropy entries.
        image = t.irr["IRREP_IMAGE"]
        x1, x2 = next((a, b) for a in real for b in real if len(entries(t, a)) > 1
                      and place(t, a)[:2] == place(t, b)[:2] and t.dim(a) == t.dim(b)
                      and image[a - 1] != image[b - 1])
        r1 = next(i for i in irreps if int(t.lit["LITTLE_IRREP_REALITY"][i - 1]) == 2)
        s1, e_site = next((i, e) for i in irreps for e in range(
            int(t.w["IRREP_WYC_FIRST"][i - 1]), int(t.w["IRREP_WYC_FIRST"][i - 1])
            + int(t.w["WYC_COUNT"][int(t.irr["IRREP_SG"][i - 1]) - 1]))
            if int(t.w["IRREP_WYC_LIST_COUNT"][e - 1]))
        g, j, _ = place(t, x1)
        L = t.bravais(g)
        count = int(t.lit["LITTLE_IRREP_COUNT"][j - 1, g - 1])
        # A slot count beyond the irreps: at a k type without irreps (tables without the k
        # types with parameters: a line of this group), else, every k type holding irreps as
        # the committed tables do, one more slot at the point of x1.
        empty = [(gg, k) for gg in range(1, 231)
                 for k in range(1, int(t.lit["KVEC_COUNT"][t.bravais(gg) - 1]) + 1)
                 if not int(t.lit["LITTLE_IRREP_COUNT"][k - 1, gg - 1])]
        g_empty, line = next(((gg, k) for gg, k in empty if gg == g),
                             empty[0] if empty else (g, j))
        slots_claimed = 1 if empty else count + 1
        start = t.irr["IRREP_MATRIX_START"]
        first = t.irr["IRREP_MATRIX_FIRST"]
        e1 = entries(t, x1)[0]

        def irreps_(d, array, i, value):
            patch(d, "data_irreps.bin", array, i - 1, value)

        def translation(d):  # a translation matrix other than 1 replaced by the unit matrix
            a = next(a for a in range(3) if np.abs(t.matrices(x1)[a] - np.eye(t.dim(x1))).max())
            irreps_(d, "IRREP_MATRIX_START", int(first[x1 - 1]) + a,
                    int(start[first[x1 - 1] + 2]))

        def shared_image(d):  # a slot claims the image of another
            irreps_(d, "IRREP_IMAGE", x2, int(t.irr["IRREP_IMAGE"][x1 - 1]))

        def equivalent_slots(d):  # a slot stores the matrices of another
            irreps_(d, "IRREP_MATRIX_FIRST", x2, int(first[x1 - 1]))

        def transformation(d):  # a pseudoreal irrep: one entry of the J half negated
            image = int(t.irr["IRREP_IMAGE"][r1 - 1])
            s = int(t.img["IMAGE_TRANSFORM_START"][image - 1])
            n = t.dim(r1)
            q = next(q for q in range(s - 1 + n * n, s - 1 + 2 * n * n)
                     if int(t.img["IMAGE_TRANSFORM_VALUE"][q]) > 1)
            patch(d, "data_images.bin", "IMAGE_TRANSFORM_VALUE", q,
                  int(t.img["IMAGE_TRANSFORM_VALUE"][q]) ^ 1)

        def reality(d):  # the pseudoreal irrep claimed complex
            patch(d, "data_little.bin", "LITTLE_IRREP_REALITY", r1 - 1, 3)
            patch(d, "data_images.bin", "IMAGE_REALITY_TYPE",
                  int(t.irr["IRREP_IMAGE"][r1 - 1]) - 1, 3)

        def slot_dropped(d):  # the point without its last slot
            patch(d, "data_little.bin", "LITTLE_IRREP_COUNT", (g - 1) * 27 + j - 1, count - 1)
            patch(d, "data_little.bin", "LITTLE_IRREP_NUMBER", ((g - 1) * 27 + j - 1) * 12
                  + count - 1, 0)

        def small_dimension(d):  # slot 1 claims a small irrep one larger
            patch(d, "data_little.bin", "SMALL_IRREP_DIMENSION", ((g - 1) * 27 + j - 1) * 12,
                  int(t.lit["SMALL_IRREP_DIMENSION"][0, j - 1, g - 1]) + 1)

        def uncovered(d):  # a slot count without an irrep in the slot
            patch(d, "data_little.bin", "LITTLE_IRREP_COUNT", (g_empty - 1) * 27 + line - 1,
                  slots_claimed)

        def superlattice(d):  # the first superlattice vector doubled
            for r in range(3):
                patch(d, "data_isotropy.bin", "ISOTROPY_SUPERLATTICE", (e1 - 1) * 9 + r,
                      2 * int(t.iso["ISOTROPY_SUPERLATTICE"][r, 0, e1 - 1]))

        def same_class(d):  # the second entry repeats the OPD of the first
            patch(d, "data_isotropy.bin", "ISOTROPY_OPD", e1,
                  int(t.iso["ISOTROPY_OPD"][e1 - 1]))

        def subgroup(d):  # the first entry names another group
            sg = int(t.iso["ISOTROPY_SG"][e1 - 1])
            patch(d, "data_isotropy.bin", "ISOTROPY_SG", e1 - 1, 1 if sg != 1 else 2)

        def site_list(d):  # a multiplicity raised
            q = int(t.w["IRREP_WYC_LIST_START"][e_site - 1])
            patch(d, "data_wyckoff.bin", "IRREP_WYC_MULTIPLICITY", q - 1,
                  int(t.w["IRREP_WYC_MULTIPLICITY"][q - 1]) + 1)

        iso = (1, None, None, [x1])
        groups = (sorted({g, g_empty, place(t, r1)[0], place(t, s1)[0]}),)
        cases = [(translation, cm.check_irreps, groups, "translation"),
                 (shared_image, cm.check_irreps, groups, "matrix sets"),
                 (equivalent_slots, cm.check_irreps, groups, "not inequivalent"),
                 (transformation, cm.check_irreps, groups, "T^H D T"),
                 (reality, cm.check_irreps, groups, "indicator"),
                 (slot_dropped, cm.check_irreps, groups, "sum of the small dimensions"),
                 (small_dimension, cm.check_irreps, groups, "dimension (arms"),
                 (uncovered, cm.check_irreps, groups, "LITTLE_IRREP_COUNT"),
                 (superlattice, cm.check_isotropy, iso, "index"),
                 (same_class, cm.check_isotropy, iso, "conjugate to an earlier"),
                 (subgroup, cm.check_isotropy, iso, "spglib finds"),
                 (site_list, cm.check_site_data, groups, "site irreps")]
        for change, check, args, text in cases:
            with self.subTest(fault=change.__name__):
                msgs = self.faulty(change, check, args, source=tmp, messages=True)
                self.assertTrue(any(text in m for m in msgs), msgs[:5])


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=1).result
    sys.exit(0 if result.wasSuccessful() else 1)
