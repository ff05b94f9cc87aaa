#!/usr/bin/python3
"""Checks the mode-analysis tables: data_images.bin, data_irreps.bin, data_little.bin,
data_isotropy.bin, const.dat and the site arrays of data_wyckoff.bin.

Independent of the table maker: it reads the files itself (the binary reader of
check_tables.py) and recomputes what it asserts from the stored operators with its own
group theory (numpy, floating point within 1e-6). docs/mode-tables.md states the conventions.

  M1 layout      framing, payload sizes, the start of every array as listed, unread items zero
  M2 constants   const.dat: index 1 is 0; 2k, 2k + 1 hold v, -v; the last line has the largest
                 (even) index; at most 600 entries; values more than 0.002 apart, 9 significant
                 digits; every stored constant index inside the table, those of int8 arrays
                 at most 127
  M3 k lists     counts, two-character labels unique per type, "GM" first with k = 0,
                 positive denominators in every column, parameter counts, lines through the
                 zone centre with zero constant part; every k type without parameters
                 labelled with the standard letter of the point lying in it (STANDARD_K_POINTS,
                 up to the holohedry and the reciprocal lattice), every standard point met once; every point of a grid of step 1/12
                 lies, up to the holohedry, in exactly one k type at a generic parameter
                 (same stabiliser order), and every k type is reached
  M4 co-groups   order >= 1 everywhere; for every (group, k type) exactly the point
                 operations of the group that keep k modulo the reciprocal lattice at generic
                 parameter values, ascending; the order divides the group order
  M5 irreps      every (group, k) with slots: LITTLE_IRREP_COUNT at most 12 with the numbers
                 in use distinct and the rest 0; at k types with parameters no irrep number;
                 at the others every slot a stored irrep (irrep number = little-irrep number)
                 whose arrays agree (group, k index, slot, dimension = arms x
                 SMALL_IRREP_DIMENSION x 1 or 2, reality of the image, little label = irrep
                 label, second label blank away from GM, extents of matrices and images), and
                 every stored irrep reached from one slot. Labels: the standard label that
                 tools/standard_irrep_labels.txt gives the fingerprint of the irrep's real
                 characters on G/T_N (recomputed here from the stored matrices), a joined
                 label (two labels of the k letter) exactly for a complex irrep with -k in the
                 star, every standard irrep of the point once. Per stored irrep: matrices orthogonal; a
                 homomorphism of the whole group (translation matrices commute, D(op) T(e_c)
                 D(op)^-1 = T(R e_c), D(a) D(b) = T(d) D(c) with T(d) = T3^d3 T2^d2 T1^d1 as
                 the program composes them); translation characters = the sum over the star
                 (computed from KVEC_MATRIX and the operators) of exp(2 pi i k.t), times the
                 small dimension, times 2 for the non-real types; over the finite group G/T_N
                 (translation images by closure) mean chi^2 = 1, 4, 2 and the Frobenius-Schur
                 indicator 1, -2, 0 by reality type; the image's transformation T unitary
                 with T^H D T = diag(D', conj D') (type 3) or diag(D', D') (type 2) for every
                 stored matrix; irreps of one image generate equal matrix groups. Per
                 (group, k): slots inequivalent (characters orthogonal on G/N Z^3), sum of
                 the small dimensions squared (complex pairs in the star twice) = co-group
                 order; at GM exactly three acoustic modes as the program counts them
  M6 isotropy    entries inside their extents, right-handed superlattices whose vectors fix
                 the OPD and whose lattice is the whole lattice of translations fixing it, OPD
                 dimension equals the irrep's, the OPD is the fixed subspace of its stabiliser
                 in G/T_N; the OPDs are the smallest isotropy subspaces, one per orbit, every
                 orbit present; spglib finds ISOTROPY_SG, and no extra translation, in the
                 supercell of three general orbits displaced along the OPD (every zone-centre
                 irrep, a seeded sample of the others; all with --all)
  M7 site data   PG_IRREP_COUNT/PG_IRREP_INDEX name the zone-centre irreps of a primitive
                 group whose operators are the reference list; vector slots add up to 3, an
                 s-dimensional site irrep starting at a slot = 1 mod s; R(list_j) E =
                 E S(reference_j) (axial: det R R) for every list; site-irrep multiplicities
                 of every stored irrep recomputed from its matrices on the site operators
                 (translations included) of every position, and the mode counts they give
                 divisible by 1, 4, 2 for the irrep's reality type

Usage: check_mode_tables.py [--all] [data directory]   (default: data/ beside tools/)
"""
import os
import sys
from fractions import Fraction
from itertools import product as iproduct
from math import gcd

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_tables import SPACE_FILE_LAYOUT, SPACE_PAYLOAD, WYCKOFF_PAYLOAD, read_block  # noqa
from check_wyckoff import WYCKOFF_FILE_LAYOUT  # noqa: E402

PAYLOADS = {"data_images.bin": 145994, "data_irreps.bin": 986752,
            "data_little.bin": 1748470, "data_isotropy.bin": 1854564}
N_IRREP = 4777
TOL = 1e-5

# name, kind, offset in the payload, extents
IMAGE_FILE_LAYOUT = """
IMAGE_ITEM_01 i4 0
IMAGE_ITEM_02 l4 4 132
IMAGE_ITEM_03 l4 532 2300
IMAGE_ITEM_04 l4 9732 2300
IMAGE_ITEM_05 l4 18932 2300
IMAGE_ITEM_06 i2 28132 141
IMAGE_ITEM_07 i2 28414 132
IMAGE_ITEM_08 i2 28678 132
OPD_VECTOR_START i2 28942 700
OPD_VECTOR_COMPONENT i2 30342 27300
IMAGE_ITEM_11 i2 84942 141
IMAGE_ITEM_12 i2 85224 2300
IMAGE_ITEM_13 i2 89824 141
IMAGE_TRANSFORM_START i2 90106 132
IMAGE_DIMENSION i1 90370 141
IMAGE_ITEM_16 i1 90511 141
IMAGE_ITEM_17 i1 90652 132
OPD_DIMENSION i1 90784 700
OPD_PARAMETER_COUNT i1 91484 700
IMAGE_REALITY_TYPE i1 92184 132
IMAGE_TRANSFORM_VALUE i1 92316 4840
IMAGE_ITEM_22 a6 97156 141
IMAGE_ITEM_23 a6 98002 132
IMAGE_ITEM_24 a4 98794 700
IMAGE_ITEM_25 i4 101594 2300
IMAGE_ITEM_26 i4 110794 6500
IMAGE_ITEM_27 i4 136794 2300
"""

IRREP_FILE_LAYOUT = """
IRREP_MATRIX_FIRST i4 0 4777
IRREP_MATRIX_START i4 19108 80000
IRREP_SG i2 339108 4777
IRREP_IMAGE i2 348662 4777
IRREP_ITEM_05 i2 358216 231
IRREP_ITEM_06 i2 358678 4778
IRREP_ITEM_07 i2 368234 84
IRREP_ITEM_08 i2 368402 60
IRREP_MATRIX_ELEMENT i2 368522 170000
IRREP_ITEM_10 i2 708522 4777
IRREP_ITEM_11 i2 718076 22136
IRREP_ITEM_12 i2 762348 73
IRREP_ITEM_13 i1 762494 4777
IRREP_ITEM_14 i1 767271 4777
IRREP_ITEM_15 i1 772048 5 8170
IRREP_ITEM_16 i1 812898 73
IRREP_ITEM_17 i1 812971 73
IRREP_LABEL a8 813044 4777
IRREP_ITEM_19 a8 851260 4861
IRREP_ITEM_20 a8 890148 4837
IRREP_ITEM_21 a8 928844 4777
IRREP_ITEM_22 a8 967060 73
IRREP_SECOND_LABEL a4 967644 4777
"""

LITTLE_FILE_LAYOUT = """
SMALL_IRREP_1D_START i4 0 27 230
LITTLE_IRREP_WYC_FIRST i4 24840 10300
LITTLE_IRREP_WYC_LIST_START i4 66040 47000
SMALL_IRREP_MATRIX_START i4 254040 10300
LITTLE_IRREP_TRANSFORM_START i4 295240 10300
LITTLE_IRREP_NUMBER i2 336440 12 27 231
LITTLE_IRREP_TO_IRREP i2 486128 10300
LITTLE_IRREP_SG i2 506728 10300
LITTLE_ITEM_09 i2 527328 4777
KVEC_COUNT i1 536882 14
KVEC_MATRIX i1 536896 4 4 27 14
KVEC_PARAMETER_COUNT i1 542944 27 14
LITTLE_COGROUP_ORDER i1 543322 27 230
LITTLE_COGROUP_OPS i1 549532 48 27 230
LITTLE_IRREP_COUNT i1 847612 27 230
SMALL_IRREP_DIMENSION i1 853822 12 27 230
SMALL_IRREP_1D_VALUE i1 928342 2 11200
LITTLE_IRREP_REALITY i1 950742 10300
LITTLE_ITEM_19 i1 961042 10300
LITTLE_ITEM_20 i1 971342 10300
LITTLE_ITEM_21 i1 981642 32
LITTLE_ITEM_22 i1 981674 10300
LITTLE_IRREP_DIMENSION i1 991974 10300
LITTLE_IRREP_KVEC i1 1002274 10300
LITTLE_IRREP_SMALL_IRREP i1 1012574 10300
LITTLE_IRREP_WYC_LIST_COUNT i1 1022874 47000
LITTLE_IRREP_WYC_MULTIPLICITY i1 1069874 104000
LITTLE_IRREP_WYC_SITE_IRREP i1 1173874 104000
SMALL_IRREP_MATRIX_VALUE i1 1277874 2 107000
LITTLE_IRREP_TRANSFORM_VALUE i1 1491874 2 12200
KVEC_LABEL a2 1516274 27 14
LITTLE_ITEM_32 a2 1517030 12 27 230
LITTLE_IRREP_LABEL a8 1666070 10300
"""

ISOTROPY_FILE_LAYOUT = """
ISOTROPY_ITEM_01 i4 0 15240
ISOTROPY_ITEM_02 i4 60960 15239
ISOTROPY_ITEM_03 i2 121916 15239
ISOTROPY_SG i2 152394 15239
ISOTROPY_ITEM_05 i2 182872 15239
ISOTROPY_OPD i2 213350 15239
ISOTROPY_IRREP_FIRST i2 243828 4778
ISOTROPY_ITEM_08 i2 253384 94271
ISOTROPY_ITEM_09 i2 441926 94271
ISOTROPY_ITEM_10 i2 630468 15239
ISOTROPY_ITEM_11 i2 660946 15239
ISOTROPY_ITEM_12 i2 691424 15239
ISOTROPY_ITEM_13 i2 721902 94271
ISOTROPY_ITEM_14 i2 910444 94271
ISOTROPY_ITEM_15 i2 1098986 4732
ISOTROPY_ITEM_16 i1 1108450 460300
ISOTROPY_SUPERLATTICE i1 1568750 3 3 15239
ISOTROPY_ITEM_18 i1 1705901 4 15239
ISOTROPY_ITEM_19 i1 1766857 15239
ISOTROPY_ITEM_20 i1 1782096 15239
ISOTROPY_ITEM_21 i1 1797335 15239
ISOTROPY_ITEM_22 i1 1812574 15239
ISOTROPY_ITEM_23 i1 1827813 15239
ISOTROPY_ITEM_24 i1 1843052 5756
ISOTROPY_ITEM_25 i1 1848808 5756
"""

LAYOUTS = {"data_images.bin": IMAGE_FILE_LAYOUT, "data_irreps.bin": IRREP_FILE_LAYOUT,
           "data_little.bin": LITTLE_FILE_LAYOUT, "data_isotropy.bin": ISOTROPY_FILE_LAYOUT}
# Arrays of int8 that hold constant-table indices (read as int8, so indices up to 127).
INT8_CONSTANT_ARRAYS = (("data_images.bin", "IMAGE_TRANSFORM_VALUE"),
                        ("data_little.bin", "SMALL_IRREP_1D_VALUE"),
                        ("data_little.bin", "SMALL_IRREP_MATRIX_VALUE"),
                        ("data_little.bin", "LITTLE_IRREP_TRANSFORM_VALUE"),
                        ("data_wyckoff.bin", "PG_VECTOR_BASIS"))
SIZES = {"i1": 1, "i2": 2, "i4": 4, "l4": 4}


def layout_entries(text):
    out = []
    for line in text.strip().splitlines():
        name, kind, offset, *dims = line.split()
        out.append((name, kind, int(offset), tuple(int(d) for d in dims)))
    return out


def _plain(text):
    return "\n".join("%s %s %s" % (n, k, " ".join(str(d) for d in dims))
                     for n, k, _, dims in layout_entries(text))


class Tables:
    """The files of a data directory: blocks of numpy arrays (index i at i - 1)."""

    def __init__(self, data_dir):
        self.dir = data_dir
        self.blocks = {}
        for name, text in LAYOUTS.items():
            block = read_block(os.path.join(data_dir, name), _plain(text), PAYLOADS[name])
            self.blocks[name] = {k: v.a for k, v in block.items()}
        self.s = {k: v.a for k, v in read_block(os.path.join(data_dir, "data_space.bin"),
                                                  SPACE_FILE_LAYOUT, SPACE_PAYLOAD).items()}
        self.w = {k: v.a for k, v in read_block(os.path.join(data_dir, "data_wyckoff.bin"),
                                                  WYCKOFF_FILE_LAYOUT, WYCKOFF_PAYLOAD).items()}
        self.blocks["data_wyckoff.bin"] = self.w
        self.img = self.blocks["data_images.bin"]
        self.irr = self.blocks["data_irreps.bin"]
        self.lit = self.blocks["data_little.bin"]
        self.iso = self.blocks["data_isotropy.bin"]
        self.const_lines = []
        with open(os.path.join(data_dir, "const.dat")) as f:
            for line in f:
                parts = line.split()
                self.const_lines.append((int(parts[0]), parts[1]))
        vals = {}
        for n, v in self.const_lines:
            vals[n] = float(v)
        last = self.const_lines[-1][0]
        for k in range(1, last // 2 + 1):
            vals[2 * k + 1] = -vals[2 * k]
        self.const_count = last + 1
        self.cv = np.zeros(self.const_count + 1)
        for n in range(1, self.const_count + 1):
            self.cv[n] = np.float32(vals.get(n, 0.0))
        self._ops = {}
        self._mats = {}

    # shared tables
    def pg(self, g):
        return int(self.s["SG_POINT_GROUP"][g - 1])

    def bravais(self, g):
        return int(self.s["SG_BRAVAIS"][g - 1])

    def ops(self, g):
        if g not in self._ops:
            first = int(self.s["SG_FIRST_OP"][g - 1])
            n = int(self.s["PG_ORDER"][self.pg(g) - 1])
            self._ops[g] = [tuple(int(x) for x in self.s["SG_OP_TABLE"][:, first - 1 + j])
                            for j in range(n)]
        return self._ops[g]

    def rot(self, k):
        return self.s["POINT_OP_ROT"][:, :, k - 1].astype(float)

    def prim_rot(self, L, k):
        m1 = self.s["LATTICE_TRANSFORM"][:, :, 0, L - 1]
        m2 = self.s["LATTICE_TRANSFORM"][:, :, 1, L - 1]
        d = self.s["LATTICE_TRANSFORM_DEN"][0, L - 1]
        return m1 @ self.s["POINT_OP_ROT"][:, :, k - 1] @ m2 // d

    def k_rot(self, L, k):
        m3 = self.s["LATTICE_TRANSFORM"][:, :, 2, L - 1]
        m4 = self.s["LATTICE_TRANSFORM"][:, :, 3, L - 1]
        d = self.s["LATTICE_TRANSFORM_DEN"][1, L - 1]
        return m3 @ self.s["POINT_OP_ROT"][:, :, k - 1] @ m4 // d

    def product(self, a, b):
        return int(self.s["POINT_OP_PRODUCT"][a - 1, b - 1])

    def lists(self, p):
        first = int(self.w["PG_LIST_FIRST"][p - 1])
        order = int(self.s["PG_ORDER"][p - 1])
        return [(first + i, [int(x) for x in self.w["PG_ELEMENT_LIST"][:order, first - 1 + i]])
                for i in range(int(self.w["PG_LIST_COUNT"][p - 1]))]

    # stored irreps
    def dim(self, i):
        return int(self.img["IMAGE_DIMENSION"][int(self.irr["IRREP_IMAGE"][i - 1]) - 1])

    def matrices(self, i):
        """(T1, T2, T3, D(op 1), ..., D(op n)) of stored irrep i."""
        if i not in self._mats:
            g = int(self.irr["IRREP_SG"][i - 1])
            n = self.dim(i)
            first = int(self.irr["IRREP_MATRIX_FIRST"][i - 1])
            out = []
            for e in range(3 + len(self.ops(g))):
                s = int(self.irr["IRREP_MATRIX_START"][first - 1 + e])
                idx = self.irr["IRREP_MATRIX_ELEMENT"][s - 1:s - 1 + n * n]
                out.append(self.cv[idx].reshape((n, n), order="F"))
            self._mats[i] = out
        return self._mats[i]

    def op_matrix(self, i, op):
        """D(op) for an operator (t1, t2, t3, d, k) of the irrep's group: listed operator of
        the same point operation after a lattice translation."""
        g = int(self.irr["IRREP_SG"][i - 1])
        mats = self.matrices(i)
        for j, lop in enumerate(self.ops(g)):
            if lop[4] == op[4]:
                break
        else:
            raise KeyError(op)
        diff = [Fraction(op[a], op[3]) - Fraction(lop[a], lop[3]) for a in range(3)]
        if any(x.denominator != 1 for x in diff):
            raise KeyError(op)
        A = mats[3 + j]
        for a in range(3):
            T = mats[a] if diff[a] > 0 else mats[a].T
            for _ in range(abs(int(diff[a]))):
                A = T @ A
        return A


def compose(t, L, a, b):
    """Operator a after b in "pml": (t_a + R_a t_b, R_a R_b) in lowest terms."""
    R = t.prim_rot(L, a[4])
    ta = [Fraction(a[i], a[3]) for i in range(3)]
    tb = [Fraction(b[i], b[3]) for i in range(3)]
    tc = [ta[i] + sum(int(R[i, j]) * tb[j] for j in range(3)) for i in range(3)]
    d = 1
    for x in tc:
        d = d * x.denominator // np.gcd(d, x.denominator)
    return (int(tc[0] * d), int(tc[1] * d), int(tc[2] * d), d, t.product(a[4], b[4]))


def text(x):
    return x.decode("ascii") if isinstance(x, bytes) else str(x)


# --- M1 layout ----------------------------------------------------------------------------------

def check_layout(t, fail):
    for name, layout in LAYOUTS.items():
        offset = 0
        for arr, kind, start, dims in layout_entries(layout):
            if start != offset:
                fail("M1", "%s: %s starts at %d, expected %d" % (name, arr, offset, start))
            size = int(kind[1:]) if kind[0] == "a" else SIZES[kind]
            offset += size * (int(np.prod(dims)) if dims else 1)
            if "_ITEM_" in arr:
                a = t.blocks[name][arr]
                if a.dtype == object:
                    if any(text(x).strip("\0") for x in a.flat):
                        fail("M1", "%s: unread %s not zero" % (name, arr))
                elif np.any(a):
                    fail("M1", "%s: unread %s not zero" % (name, arr))
        if offset != PAYLOADS[name]:
            fail("M1", "%s: arrays cover %d bytes" % (name, offset))
        size = os.path.getsize(os.path.join(t.dir, name))
        if size != PAYLOADS[name] + 8:
            fail("M1", "%s: %d bytes" % (name, size))


# --- M2 constants -------------------------------------------------------------------------------

def check_constants(t, fail):
    lines = t.const_lines
    if lines[0] != (1, lines[0][1]) or float(lines[0][1]) != 0.0:
        fail("M2", "index 1 is not 0")
    last = lines[-1][0]
    if last % 2 or last != max(n for n, _ in lines):
        fail("M2", "last line has index %d, not the largest even index" % last)
    if t.const_count > 600:
        fail("M2", "%d entries" % t.const_count)
    for n, v in lines:
        digits = len(v.lstrip("-").replace(".", "").lstrip("0"))
        if digits > 9:
            fail("M2", "value %s has more than 9 significant digits" % v)
        if n % 2 and n > 1 and float(v) != -float(dict(lines).get(n - 1, "nan")):
            fail("M2", "index %d is not the negative of index %d" % (n, n - 1))
    vals = sorted(t.cv[1:])
    for a, b in zip(vals, vals[1:]):
        if b - a <= 0.002:
            fail("M2", "values %r and %r closer than 0.002" % (a, b))
    for block, name in INT8_CONSTANT_ARRAYS:
        a = t.blocks[block][name]
        used = a[a != 0]
        if used.size and (used.min() < 1 or used.max() > 127):
            fail("M2", "%s holds indices outside 1..127" % name)
    for block, name in (("data_irreps.bin", "IRREP_MATRIX_ELEMENT"),
                        ("data_images.bin", "OPD_VECTOR_COMPONENT")):
        a = t.blocks[block][name]
        used = a[a != 0]
        if used.size and (used.min() < 1 or used.max() > t.const_count):
            fail("M2", "%s holds indices outside the table" % name)


# --- M3, M4 k lists and little co-groups ---------------------------------------------------------

def kvec(t, j, L):
    m = t.lit["KVEC_MATRIX"][:, :, j - 1, L - 1]
    return m


def generic_k(t, j, L, values=(Fraction(3, 29), Fraction(5, 37), Fraction(7, 41))):
    m = kvec(t, j, L)
    npar = int(t.lit["KVEC_PARAMETER_COUNT"][j - 1, L - 1])
    k = [Fraction(int(m[r, 0]), int(m[3, 0])) for r in range(3)]
    for p in range(npar):
        for r in range(3):
            k[r] += values[p] * Fraction(int(m[r, p + 1]), int(m[3, p + 1]))
    return k


def through_lattice_point(m):
    """True when the line const + u dir (a k-vector matrix) passes through a reciprocal
    lattice point."""
    c = [Fraction(int(m[r, 0]), int(m[3, 0])) for r in range(3)]
    d = [Fraction(int(m[r, 1]), int(m[3, 1])) for r in range(3)]
    i = next(r for r in range(3) if d[r])
    for n in range(-4, 5):
        u = (n - c[i]) / d[i]
        if all((c[r] + u * d[r]).denominator == 1 for r in range(3)):
            return True
    return False


def check_klists(t, fail):
    total = 0
    kmat = t.lit["KVEC_MATRIX"]
    if np.any(kmat[3] <= 0):
        fail("M3", "a KVEC_MATRIX column without positive denominator")
    for L in range(1, 15):
        n = int(t.lit["KVEC_COUNT"][L - 1])
        total += n
        if not 1 <= n <= 27:
            fail("M3", "type %d: %d k vectors" % (L, n))
            continue
        labels = [text(x) for x in t.lit["KVEC_LABEL"][:n, L - 1]]
        if len(set(labels)) != n or any(len(x.strip()) == 0 for x in labels):
            fail("M3", "type %d: labels %s" % (L, labels))
        if labels[0] != "GM" or np.any(kmat[:3, :, 0, L - 1]):
            fail("M3", "type %d: k index 1 is not GM = 0" % L)
        prev = 0
        for j in range(1, n + 1):
            npar = int(t.lit["KVEC_PARAMETER_COUNT"][j - 1, L - 1])
            m = kmat[:, :, j - 1, L - 1]
            if any(np.any(m[:3, c]) != (c <= npar) for c in range(1, 4)):
                fail("M3", "type %d k %d: parameter columns do not match %d" % (L, j, npar))
            if npar < prev:
                fail("M3", "type %d: parameter counts not ascending" % L)
            prev = npar
            if npar == 1 and np.any(m[:3, 0]) and through_lattice_point(m):
                fail("M3", "type %d: line %s through GM has a constant part" % (L, labels[j - 1]))
        if labels[n - 1] != "GP" or int(t.lit["KVEC_PARAMETER_COUNT"][n - 1, L - 1]) != 3:
            fail("M3", "type %d: last k vector is not GP" % L)
    if total != 211:
        fail("M3", "%d k types, expected 211" % total)


# The standard letters of the k points (k types without parameters) of the 14 lattice types,
# each with a representative in conventional reciprocal coordinates ("cml"; hexagonal axes for
# hR), as the standard tables of space-group irreps name them.
STANDARD_K_POINTS = {
    1: "GM 0,0,0; X 1/2,0,0; Y 0,1/2,0; Z 0,0,1/2; V 1/2,1/2,0; U 1/2,0,1/2; T 0,1/2,1/2; "
       "R 1/2,1/2,1/2",
    2: "GM 0,0,0; Y 1/2,0,0; Z 0,1/2,0; B 0,0,1/2; C 1/2,1/2,0; D 0,1/2,1/2; A 1/2,0,1/2; "
       "E 1/2,1/2,1/2",
    3: "GM 0,0,0; Y 0,1,0; A 0,0,1/2; M 0,1,1/2; V 1/2,1/2,0; L 1/2,1/2,1/2",
    4: "GM 0,0,0; X 1/2,0,0; Y 0,1/2,0; Z 0,0,1/2; S 1/2,1/2,0; U 1/2,0,1/2; T 0,1/2,1/2; "
       "R 1/2,1/2,1/2",
    5: "GM 0,0,0; Y 1,0,0; Z 0,0,1/2; T 1,0,1/2; S 1/2,1/2,0; R 1/2,1/2,1/2",
    6: "GM 0,0,0; T 1,0,0; Y 0,1,0; Z 0,0,1; L 1/2,1/2,1/2",
    7: "GM 0,0,0; X 1,1,1; S 0,1/2,1/2; R 1/2,0,1/2; T 1/2,1/2,0; W 1/2,1/2,1/2",
    8: "GM 0,0,0; Z 0,0,1/2; M 1/2,1/2,0; A 1/2,1/2,1/2; X 0,1/2,0; R 0,1/2,1/2",
    9: "GM 0,0,0; M 1,1,1; X 1/2,1/2,0; N 1/2,0,1/2; P 1/2,1/2,1/2",
    10: "GM 0,0,0; A 0,0,1/2; K 1/3,1/3,0; H 1/3,1/3,1/2; M 1/2,0,0; L 1/2,0,1/2",
    11: "GM 0,0,0; T 0,0,3/2; F 0,1/2,1; L -1/2,1/2,1/2",
    12: "GM 0,0,0; X 0,1/2,0; M 1/2,1/2,0; R 1/2,1/2,1/2",
    13: "GM 0,0,0; X 0,1,0; L 1/2,1/2,1/2; W 1/2,1,0",
    14: "GM 0,0,0; H 1,1,1; N 1/2,1/2,0; P 1/2,1/2,1/2",
}


def standard_k_points(L):
    """[(letter, conventional k as Fractions)] of lattice type L."""
    out = []
    for item in STANDARD_K_POINTS[L].split(";"):
        letter, k = item.split()
        out.append((letter, tuple(Fraction(x) for x in k.split(","))))
    return out


def check_kletters(t, fail):
    """Every k type without parameters carries the standard letter of the point lying in it:
    the representative, carried to the primitive reciprocal basis (kappa = P^T k), equals the
    stored constant part under an operation of the holohedry up to a reciprocal lattice vector;
    every standard point is met by exactly one k type."""
    for L in range(1, 15):
        n = int(t.lit["KVEC_COUNT"][L - 1])
        P = t.s["LATTICE_TRANSFORM"][:, :, 1, L - 1]
        den = int(t.s["LATTICE_TRANSFORM_DEN"][0, L - 1])
        hol = int(t.s["BRAVAIS_POINT_GROUP"][L - 1])
        rots = [t.k_rot(L, p) for p in t.lists(hol)[0][1]]
        points = [j for j in range(1, n + 1)
                  if not int(t.lit["KVEC_PARAMETER_COUNT"][j - 1, L - 1])]
        met = {}
        for letter, k in standard_k_points(L):
            kappa = [sum(Fraction(int(P[r, i]), den) * k[r] for r in range(3)) for i in range(3)]
            hits = []
            for j in points:
                c = kappa_of(t, j, L)
                if any(all((sum(int(A[r, q]) * kappa[q] for q in range(3)) - c[r]).denominator
                           == 1 for r in range(3)) for A in rots):
                    hits.append(j)
            if len(hits) != 1:
                fail("M3", "type %d: the standard point %s lies in %d k types" % (L, letter,
                                                                                 len(hits)))
                continue
            j = hits[0]
            met[j] = letter
            got = text(t.lit["KVEC_LABEL"][j - 1, L - 1]).strip()
            if got != letter:
                fail("M3", "type %d k %d: label %r, the standard letter is %r" % (L, j, got,
                                                                                  letter))
        for j in points:
            if j not in met:
                fail("M3", "type %d k %d: a point without a standard letter" % (L, j))


def _integer_annihilator(dirs):
    """Integer vectors a (rows) with a . d = 0 for all integer directions d."""
    if not dirs:
        return np.eye(3, dtype=np.int64)
    if len(dirs) == 3:
        return np.zeros((0, 3), dtype=np.int64)
    if len(dirs) == 2:
        return np.array([np.cross(dirs[0], dirs[1])], dtype=np.int64)
    d = np.array(dirs[0], dtype=np.int64)
    basis = [np.cross(d, e) for e in np.eye(3, dtype=np.int64)]
    basis = [b for b in basis if np.any(b)]
    out = [basis[0]]
    for b in basis[1:]:
        if np.linalg.matrix_rank(np.array(out + [b])) > len(out):
            out.append(b)
            break
    return np.array(out, dtype=np.int64)


def check_grid(t, fail, step=12):
    """Every point of the grid kappa = n / step falls, up to the holohedry, into exactly one k
    type of its Bravais type at a generic parameter value (same stabiliser order), and every
    k type is reached."""
    grid = np.array(list(iproduct(range(step), repeat=3)), dtype=np.int64).T
    for L in range(1, 15):
        hol = int(t.s["BRAVAIS_POINT_GROUP"][L - 1])
        ops = t.lists(hol)[0][1]
        rots = [t.k_rot(L, p).astype(np.int64) for p in ops]
        n = int(t.lit["KVEC_COUNT"][L - 1])
        # Orbits of the grid points under the holohedry (modulo the reciprocal lattice).
        code = lambda v: (v[0] % step) * step * step + (v[1] % step) * step + (v[2] % step)
        images = [code(A @ grid) for A in rots]
        stab = sum((img == code(grid)).astype(int) for img in images)
        seen = np.zeros(grid.shape[1], dtype=bool)
        reps = []
        for q in range(grid.shape[1]):
            if not seen[q]:
                reps.append(q)
                for img in images:
                    seen[img[q]] = True
        # Generic stabiliser order and subspace of every k type, scaled to integers.
        types = []
        for j in range(1, n + 1):
            m = kvec(t, j, L)
            npar = int(t.lit["KVEC_PARAMETER_COUNT"][j - 1, L - 1])
            k = generic_k(t, j, L)
            order = sum(all((a - b).denominator == 1 for a, b in zip(
                [sum(int(A[r, c]) * k[c] for c in range(3)) for r in range(3)], k))
                for A in rots)
            den = int(m[3, 0])
            dirs = [m[:3, p + 1].astype(np.int64) for p in range(npar)]
            ann = _integer_annihilator(dirs)
            c = m[:3, 0].astype(np.int64)  # constant part times den
            shifts = {tuple(ann @ np.array(v) * den * step) for v in iproduct(range(-3, 4), repeat=3)}
            types.append((order, den, c, ann, shifts))
        hits = [0] * n
        for q in reps:
            x = grid[:, q]
            found = set()
            for A in rots:
                y = A @ x  # step * kappa
                for j, (order, den, c, ann, shifts) in enumerate(types):
                    if order != stab[q] or j in found:
                        continue
                    r = tuple(ann @ (y * den - c * step))
                    if r in shifts:
                        found.add(j)
            if len(found) != 1:
                fail("M3", "type %d: grid point %s lies in %d k types" % (L, list(x), len(found)))
            for j in found:
                hits[j] += 1
        for j in range(n):
            if not hits[j]:
                fail("M3", "type %d: k index %d is reached by no grid point" % (L, j + 1))


def check_cogroups(t, fail):
    order = t.lit["LITTLE_COGROUP_ORDER"]
    if np.any(order < 1):
        fail("M4", "LITTLE_COGROUP_ORDER below 1")
    for g in range(1, 231):
        L = t.bravais(g)
        pops = [op[4] for op in t.ops(g)]
        for j in range(1, int(t.lit["KVEC_COUNT"][L - 1]) + 1):
            k = generic_k(t, j, L)
            keep = []
            for p in pops:
                A = t.k_rot(L, p)
                kr = [sum(int(A[r, c]) * k[c] for c in range(3)) for r in range(3)]
                if all((a - b).denominator == 1 for a, b in zip(kr, k)):
                    keep.append(p)
            n = int(order[j - 1, g - 1])
            stored = [int(x) for x in t.lit["LITTLE_COGROUP_OPS"][:n, j - 1, g - 1]]
            if stored != keep:
                fail("M4", "group %d k %d: co-group %s, expected %s" % (g, j, stored, keep))
            if len(pops) % max(n, 1):
                fail("M4", "group %d k %d: order %d does not divide %d" % (g, j, n, len(pops)))


# --- M5 irreps at every stored k ------------------------------------------------------------------

def irreps_at(t, g, j):
    """Stored irrep numbers of the slots of group g at k index j, in slot order (0 for a slot
    without one)."""
    out = []
    for m in range(1, int(t.lit["LITTLE_IRREP_COUNT"][j - 1, g - 1]) + 1):
        l = int(t.lit["LITTLE_IRREP_NUMBER"][m - 1, j - 1, g - 1])
        out.append(int(t.lit["LITTLE_IRREP_TO_IRREP"][l - 1]) if 1 <= l <= 10300 else 0)
    return out


def zone_centre_irreps(t, g):
    """Stored irrep numbers of the zone-centre slots of group g, in slot order."""
    return irreps_at(t, g, 1)


def stored_irreps(t, g):
    """Stored irreps of group g at every k type without parameters, in k and slot order."""
    L = t.bravais(g)
    out = []
    for j in range(1, int(t.lit["KVEC_COUNT"][L - 1]) + 1):
        if not int(t.lit["KVEC_PARAMETER_COUNT"][j - 1, L - 1]):
            out += [i for i in irreps_at(t, g, j) if i]
    return out


def product_table(t, g):
    """(a, b, (c, lattice vector)) for all pairs of listed operators of g (0-based): a b is
    listed operator c after the lattice translation."""
    L = t.bravais(g)
    ops = t.ops(g)
    where = {op[4]: j for j, op in enumerate(ops)}
    out = []
    for a, oa in enumerate(ops):
        for b, ob in enumerate(ops):
            c = compose(t, L, oa, ob)
            j = where[c[4]]
            lop = ops[j]
            diff = [Fraction(c[x], c[3]) - Fraction(lop[x], lop[3]) for x in range(3)]
            out.append((a, b, (j, [int(x) for x in diff])))
    return out


def characters(t, i):
    return np.array([np.trace(D) for D in t.matrices(i)[3:]])


def reality_from_norm(t, i):
    """(sum chi^2, sum chi(g^2)) over the listed operators divided by their number: the norm
    and the indicator of a zone-centre irrep (whose translations are the unit matrix)."""
    mats = t.matrices(i)[3:]
    n = len(mats)
    norm = sum(np.trace(D) ** 2 for D in mats) / n
    fs = sum(np.trace(D @ D) for D in mats) / n
    return norm, fs


def transform(t, image):
    n = int(t.img["IMAGE_DIMENSION"][image - 1])
    s = int(t.img["IMAGE_TRANSFORM_START"][image - 1])
    if s < 1 or s - 1 + 2 * n * n > 4840:
        raise ValueError("image %d: transformation outside IMAGE_TRANSFORM_VALUE" % image)
    v = t.img["IMAGE_TRANSFORM_VALUE"][s - 1:s - 1 + 2 * n * n]
    z = t.cv[v[0::2]] + 1j * t.cv[v[1::2]]
    return z.reshape((n, n), order="F")


def kappa_of(t, j, L):
    """Constant part of k vector j of lattice type L (Fractions, primitive reciprocal basis)."""
    m = kvec(t, j, L)
    return tuple(Fraction(int(m[r, 0]), int(m[3, 0])) for r in range(3))


def star(t, g, kappa):
    """The distinct images of kappa under the point operations of g, reduced into [0, 1)."""
    L = t.bravais(g)
    arms = []
    for op in t.ops(g):
        A = t.k_rot(L, op[4])
        k = tuple(sum(int(A[r, c]) * kappa[c] for c in range(3)) % 1 for r in range(3))
        if k not in arms:
            arms.append(k)
    return arms


def period(arms):
    """Smallest N with N k integral for every arm (the translations N Z^3 act trivially)."""
    n = 1
    for k in arms:
        for x in k:
            n = n * x.denominator // gcd(n, x.denominator)
    return n


def translation_matrix(T, v):
    """T3^v3 T2^v2 T1^v1 of the stored translation matrices, negative powers by the transpose,
    as the program composes them."""
    A = np.eye(T[0].shape[0])
    for a in range(3):
        e = int(v[a])
        if e:
            A = np.linalg.matrix_power(T[a] if e > 0 else T[a].T, abs(e)) @ A
    return A


class MatrixBag:
    """Distinct matrices up to TOL in every entry. A random linear form of the entries picks a
    bucket of width 1e-3, and a matrix is compared with those of its bucket and the two
    neighbours, so rounding never splits two equal matrices."""

    def __init__(self, size):
        self.form = np.random.default_rng(99).standard_normal(size)
        self.buckets = {}
        self.items = []

    def find(self, M):
        """(index of the equal matrix or None, bucket)."""
        x = np.asarray(M).reshape(-1)
        b = int(np.floor(float(x @ self.form) * 1e3))
        for c in (b - 1, b, b + 1):
            for q in self.buckets.get(c, ()):
                if np.abs(self.items[q] - x).max() < TOL:
                    return q, b
        return None, b

    def add(self, M):
        """Index of M, added when new."""
        q, b = self.find(M)
        if q is None:
            q = len(self.items)
            self.items.append(np.asarray(M).reshape(-1).copy())
            self.buckets.setdefault(b, []).append(q)
        return q

    def __len__(self):
        return len(self.items)

    def __eq__(self, other):
        return len(self) == len(other) and all(other.find(x)[0] is not None
                                               for x in self.items)


class FiniteImage:
    """The finite matrix group of stored irrep i: the translation images found by closure from
    T1, T2, T3 (with a lattice vector reaching each), the listed operators' matrices, and the
    elements T(t) D_j of G/T_N (T_N the translations with the unit matrix)."""

    def __init__(self, t, i, limit=4096):
        mats = t.matrices(i)
        self.n = mats[0].shape[0]
        self.T = mats[:3]
        self.D = np.array(mats[3:])
        tmat, tvec = [np.eye(self.n)], [(0, 0, 0)]
        seen = MatrixBag(self.n * self.n)
        seen.add(tmat[0])
        q = 0
        while q < len(tmat):
            for a in range(3):
                M = self.T[a] @ tmat[q]
                if seen.find(M)[0] is None:
                    if len(tmat) >= limit:
                        raise ValueError("irrep %d: the translation matrices generate more than "
                                         "%d matrices" % (i, limit))
                    seen.add(M)
                    tmat.append(M)
                    tvec.append(tuple(x + (b == a) for b, x in enumerate(tvec[q])))
            q += 1
        self.tmat = np.array(tmat)
        self.tvec = tvec

    def elements(self):
        """T(t) D_j for every translation image t and listed operator j: (nt, nops, n, n)."""
        return np.einsum("tij,ojk->toik", self.tmat, self.D)

    def characters(self):
        return np.einsum("tij,oji->to", self.tmat, self.D)

    def matrix_set(self):
        """The distinct matrices of the group."""
        bag = MatrixBag(self.n * self.n)
        for M in self.elements().reshape((-1, self.n * self.n)):
            bag.add(M)
        return bag


LABEL_TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                           "standard_irrep_labels.txt")


def standard_labels(path=LABEL_TABLE):
    """{(group, k letter): [(label, fingerprint)]} of the label table (its header says what the
    fingerprint is)."""
    out = {}
    with open(path) as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            g, letter, *items = line.split()
            out[(int(g), letter)] = [tuple(x.split(":")) for x in items]
    return out


def fingerprint(chars):
    """Fingerprint of the real characters on G/T_N (translation grid outer, listed operators
    inner): SHA-1 of the values written "%.3f", blank-separated, first eight hexadecimal
    digits; None when a value lies within 1e-4 of a rounding boundary."""
    import hashlib
    x = np.asarray(chars, dtype=float).ravel()
    frac = x * 1000.0 - np.floor(x * 1000.0)
    if np.any(np.abs(frac - 0.5) < 0.1):
        return None
    words = ["%.3f" % v for v in x]
    words = ["0.000" if w == "-0.000" else w for w in words]
    return hashlib.sha1(" ".join(words).encode("ascii")).hexdigest()[:8]


def label_parts(label):
    """The standard labels a (possibly joined) label is made of: "R2R3" -> ["R2", "R3"],
    "GM4+GM6+" -> ["GM4+", "GM6+"]; None when it is not such a label."""
    import re
    parts = re.findall(r"[A-Z]+[0-9]+[+-]?", label)
    return parts if parts and "".join(parts) == label else None


REALITY_NORM = {1: (1, 1), 2: (4, -2), 3: (2, 0)}  # (mean chi^2, mean chi(g^2)) on G/T_N


def check_irreps(t, fail, groups=range(1, 231), standard=None):
    image_sets = {}
    reached = {}
    if standard is None:
        standard = standard_labels()
    if text(t.irr["IRREP_SECOND_LABEL"][N_IRREP - 1]).strip():
        fail("M5", "IRREP_SECOND_LABEL(4777) is not blank")
    for g in groups:
        L = t.bravais(g)
        table = None
        for j in range(1, int(t.lit["KVEC_COUNT"][L - 1]) + 1):
            npar = int(t.lit["KVEC_PARAMETER_COUNT"][j - 1, L - 1])
            count = int(t.lit["LITTLE_IRREP_COUNT"][j - 1, g - 1])
            numbers = [int(x) for x in t.lit["LITTLE_IRREP_NUMBER"][:, j - 1, g - 1]]
            where = "group %d k %d" % (g, j)
            if (not 0 <= count <= 12 or any(numbers[count:])
                    or not all(1 <= x <= 10300 for x in numbers[:count])
                    or len(set(numbers[:count])) != count):
                fail("M5", "%s: LITTLE_IRREP_COUNT %d, numbers %s" % (where, count, numbers))
                continue
            if j == 1 and not count:
                fail("M5", "group %d: no zone-centre irreps" % g)
            if not count:
                continue
            if npar:  # induced irreps only: no stored irrep
                if any(int(t.lit["LITTLE_IRREP_TO_IRREP"][l - 1]) for l in numbers[:count]):
                    fail("M5", "%s: a little irrep at a k type with parameters has an irrep "
                         "number" % where)
                continue
            if table is None:
                table = product_table(t, g)
            check_point(t, fail, g, j, numbers[:count], table, image_sets, reached, standard)
    for i in range(1, N_IRREP + 1):
        if int(t.irr["IRREP_SG"][i - 1]) in groups and reached.get(i, 0) != 1:
            fail("M5", "irrep %d is reached from %d slots" % (i, reached.get(i, 0)))


def check_point(t, fail, g, j, littles, table, image_sets, reached, standard):
    """Every slot of group g at the k index j (a k type without parameters); `standard` the
    label table (`standard_labels`)."""
    L = t.bravais(g)
    ops = t.ops(g)
    nops = len(ops)
    klabel = text(t.lit["KVEC_LABEL"][j - 1, L - 1]).strip()
    where = "group %d %s" % (g, klabel)
    kappa = kappa_of(t, j, L)
    arms = star(t, g, kappa)
    co = int(t.lit["LITTLE_COGROUP_ORDER"][j - 1, g - 1])
    narm = nops // max(co, 1)
    if len(arms) != narm:
        fail("M5", "%s: the star has %d arms, group order / co-group order is %d"
             % (where, len(arms), narm))
    minus_in_star = tuple(-x % 1 for x in kappa) in arms
    N = period(arms)
    grid = list(iproduct(range(N), repeat=3))  # G/(N Z^3), common to all slots
    probe = list(iproduct(range(N + 1), repeat=3))  # translations whose characters are checked
    phase_sum = np.array([sum(np.exp(2j * np.pi * float(sum(k[a] * v[a] for a in range(3))))
                              for k in arms) for v in probe])
    rot = [t.prim_rot(L, op[4]).astype(int) for op in ops]
    A_idx = np.array([a for a, _, _ in table])
    B_idx = np.array([b for _, b, _ in table])
    C_idx = np.array([c[0] for _, _, c in table])
    shifts = sorted({tuple(c[1]) for _, _, c in table})
    S_idx = np.array([shifts.index(tuple(c[1])) for _, _, c in table])
    grid_chars = []
    labelled = []
    total = 0
    for m, l in enumerate(littles, start=1):
        i = int(t.lit["LITTLE_IRREP_TO_IRREP"][l - 1])
        name = "%s slot %d" % (where, m)
        if not 1 <= i <= N_IRREP:
            fail("M5", "%s: little irrep %d has no stored irrep" % (name, l))
            continue
        reached[i] = reached.get(i, 0) + 1
        name += " (irrep %d)" % i
        image = int(t.irr["IRREP_IMAGE"][i - 1])
        if not 1 <= image <= 132:
            fail("M5", "%s: image %d outside 1..132" % (name, image))
            continue
        n = int(t.img["IMAGE_DIMENSION"][image - 1])
        first = int(t.irr["IRREP_MATRIX_FIRST"][i - 1])
        if not 1 <= n <= 24 or first < 1 or first + 2 + nops > 80000:
            fail("M5", "%s: dimension %d, first matrix entry %d" % (name, n, first))
            continue
        starts = t.irr["IRREP_MATRIX_START"][first - 1:first + 2 + nops]
        if starts.min() < 1 or starts.max() - 1 + n * n > 170000:
            fail("M5", "%s: a matrix outside IRREP_MATRIX_ELEMENT" % name)
            continue
        reality = int(t.lit["LITTLE_IRREP_REALITY"][l - 1])
        if reality not in (1, 2, 3):
            fail("M5", "%s: reality type %d" % (name, reality))
            continue
        f = 1 if reality == 1 else 2
        s = int(t.lit["SMALL_IRREP_DIMENSION"][m - 1, j - 1, g - 1])
        checks = [(int(t.irr["IRREP_SG"][i - 1]), g, "IRREP_SG"),
                  (int(t.lit["LITTLE_IRREP_SG"][l - 1]), g, "LITTLE_IRREP_SG"),
                  (i, l, "irrep number (the little irrep's)"),
                  (int(t.lit["LITTLE_IRREP_DIMENSION"][l - 1]), n, "dimension"),
                  (n, narm * s * f, "dimension (arms x small dimension x %d)" % f),
                  (int(t.lit["LITTLE_IRREP_KVEC"][l - 1]), j, "k index"),
                  (int(t.lit["LITTLE_IRREP_SMALL_IRREP"][l - 1]), m, "small irrep"),
                  (int(t.img["IMAGE_REALITY_TYPE"][image - 1]), reality, "image reality"),
                  (text(t.lit["LITTLE_IRREP_LABEL"][l - 1]).rstrip(),
                   text(t.irr["IRREP_LABEL"][i - 1]).rstrip(), "little label (the irrep's)")]
        if j > 1:
            checks.append((text(t.irr["IRREP_SECOND_LABEL"][i - 1]).strip(), "",
                           "second label"))
        for got, want, what in checks:
            if got != want:
                fail("M5", "%s: %s %r, expected %r" % (name, what, got, want))
        mats = t.matrices(i)
        if any(np.abs(D @ D.T - np.eye(n)).max() > TOL for D in mats):
            fail("M5", "%s: a matrix is not orthogonal" % name)
            continue  # no finite group to speak of
        T, D = mats[:3], np.array(mats[3:])
        # A homomorphism of the whole group: translations commute, an operator conjugates
        # them as its rotation moves the lattice, products of listed operators.
        for a, b in ((0, 1), (0, 2), (1, 2)):
            if np.abs(T[a] @ T[b] - T[b] @ T[a]).max() > TOL:
                fail("M5", "%s: translation matrices %d and %d do not commute"
                     % (name, a + 1, b + 1))
        bad = [(jj, c) for jj in range(nops) for c in range(3)
               if np.abs(D[jj] @ T[c] @ D[jj].T
                         - translation_matrix(T, rot[jj][:, c])).max() > TOL]
        if bad:
            fail("M5", "%s: D(op %d) T%d D(op %d)^-1 is not the matrix of the rotated "
                 "translation" % (name, bad[0][0] + 1, bad[0][1] + 1, bad[0][0] + 1))
        Tshift = np.array([translation_matrix(T, v) for v in shifts])
        lhs = D[A_idx] @ D[B_idx]
        rhs = Tshift[S_idx] @ D[C_idx]
        err = np.abs(lhs - rhs).reshape((len(A_idx), -1)).max(axis=1)
        if err.max() > TOL:
            q = int(np.argmax(err > TOL))
            fail("M5", "%s: not a homomorphism at operators %d, %d"
                 % (name, A_idx[q] + 1, B_idx[q] + 1))
        # Translation characters: the star's phases, times the small dimension, real form.
        tchar = np.array([np.trace(translation_matrix(T, v)) for v in probe])
        want = f * s * phase_sum.real
        if np.abs(tchar - want).max() > TOL:
            q = int(np.argmax(np.abs(tchar - want)))
            fail("M5", "%s: character %g of translation %s, the star gives %g"
                 % (name, tchar[q], probe[q], want[q]))
        if reality == 1 and np.abs(phase_sum.imag).max() > TOL:
            fail("M5", "%s: real type, but -k is not in the star" % name)
        # The finite group G/T_N: norm and indicator by the reality type.
        try:
            fin = FiniteImage(t, i)
        except ValueError as exc:
            fail("M5", "%s: %s" % (name, exc))
            continue
        chi = fin.characters()
        M = fin.elements()
        chi2 = np.einsum("toij,toji->to", M, M)
        norm, fs = (chi ** 2).mean(), chi2.mean()
        if abs(norm - REALITY_NORM[reality][0]) > TOL or abs(fs - REALITY_NORM[reality][1]) > TOL:
            fail("M5", "%s: mean chi^2 %g, indicator %g over G/T_N (order %d) for type %d"
                 % (name, norm, fs, chi.size, reality))
        if reality != 1:
            S = transform(t, image)
            h = n // 2
            if np.abs(S.conj().T @ S - np.eye(n)).max() > TOL:
                fail("M5", "%s: transformation of image %d not unitary" % (name, image))
            for X in mats:
                Z = S.conj().T @ X @ S
                other = Z[:h, :h].conj() if reality == 3 else Z[:h, :h]
                if (np.abs(Z[:h, h:]).max() > TOL or np.abs(Z[h:, :h]).max() > TOL
                        or np.abs(Z[h:, h:] - other).max() > TOL):
                    fail("M5", "%s: T^H D T is not diag(D, %s)"
                         % (name, "conj D" if reality == 3 else "D"))
                    break
        elems = fin.matrix_set()
        if image in image_sets:
            if image_sets[image][1] != elems:
                fail("M5", "image %d: matrix sets of irreps %d and %d differ"
                     % (image, image_sets[image][0], i))
        else:
            image_sets[image] = (i, elems)
        Tgrid = np.array([translation_matrix(T, v) for v in grid])
        grid_chars.append(np.einsum("tij,oji->to", Tgrid, D))
        total += s * s * (2 if reality == 3 and minus_in_star else 1)
        # The standard label: the one the label table gives the irrep with these characters.
        label = text(t.irr["IRREP_LABEL"][i - 1]).rstrip()
        fp = fingerprint(grid_chars[-1])
        want = dict((f, x) for x, f in standard.get((g, klabel), ())).get(fp)
        if want is None:
            fail("M5", "%s: label %r, no standard irrep has these characters (fingerprint %s)"
                 % (name, label, fp))
        elif label != want:
            fail("M5", "%s: label %r, the standard label of these characters is %r"
                 % (name, label, want))
        else:
            labelled.append(label)
        parts = label_parts(label)
        if (parts is None or any(not x.startswith(klabel) or x[len(klabel)] not in "0123456789"
                                 for x in parts)
                or len(parts) != (2 if reality == 3 and minus_in_star else 1)):
            fail("M5", "%s: label %r is not %s of k %s" % (
                name, label, "a joined pair label" if reality == 3 and minus_in_star
                else "a single label", klabel))
    wanted = sorted(x for x, _ in standard.get((g, klabel), ()))
    if sorted(labelled) != wanted and len(labelled) == len(littles):
        fail("M5", "%s: labels %s, the standard irreps there are %s" % (where, sorted(labelled),
                                                                         wanted))
    for a in range(len(grid_chars)):
        for b in range(a):
            if abs((grid_chars[a] * grid_chars[b]).mean()) > TOL:
                fail("M5", "%s: slots %d and %d are not inequivalent (characters not "
                     "orthogonal)" % (where, b + 1, a + 1))
    if total != co:
        fail("M5", "%s: sum of the small dimensions squared (complex pairs in the star twice) "
             "%d, co-group order %d" % (where, total, co))
    if j == 1:
        check_acoustic(t, fail, g)


def check_acoustic(t, fail, g):
    """The acoustic modes as the program counts them: multiplicity of the vector
    representation in each zone-centre irrep (halved for the non-real types),
    dimension-weighted, must be three."""
    ops = t.ops(g)
    chi_v = np.array([np.trace(t.rot(op[4])) for op in ops])
    acoustic = 0
    for m, i in enumerate(zone_centre_irreps(t, g), start=1):
        l = int(t.lit["LITTLE_IRREP_NUMBER"][m - 1, 0, g - 1])
        x = np.dot(chi_v, characters(t, i)) / len(ops)
        if abs(x - round(x)) > TOL:
            fail("M5", "group %d slot %d: vector multiplicity %g" % (g, m, x))
        n = int(round(x))
        if int(t.lit["LITTLE_IRREP_REALITY"][l - 1]) != 1:
            n //= 2
        acoustic += t.dim(i) * n
    if acoustic != 3:
        fail("M5", "group %d: the vector representation counts %d acoustic modes" % (g, acoustic))


# --- M6 isotropy ---------------------------------------------------------------------------------

CELLPAR = {"a": (1, 1.13, 1.27, 79, 83, 71), "m": (1, 1.13, 1.27, 90, 103, 90),
           "o": (1, 1.13, 1.27, 90, 90, 90), "t": (1, 1, 1.27, 90, 90, 90),
           "h": (1, 1, 1.27, 90, 90, 120), "c": (1, 1, 1, 90, 90, 90)}
TYPE_SYSTEM = ("a", "m", "m", "o", "o", "o", "o", "t", "t", "h", "h", "c", "c", "c")


def conventional_basis(L):
    a, b, c, al, be, ga = CELLPAR[TYPE_SYSTEM[L - 1]]
    al, be, ga = np.radians([al, be, ga])
    B = np.zeros((3, 3))
    B[:, 0] = (a, 0, 0)
    B[:, 1] = (b * np.cos(ga), b * np.sin(ga), 0)
    cx = c * np.cos(be)
    cy = c * (np.cos(al) - np.cos(ga) * np.cos(be)) / np.sin(ga)
    B[:, 2] = (cx, cy, np.sqrt(c * c - cx * cx - cy * cy))
    return B


def primitive_basis(t, L):
    return t.s["LATTICE_TRANSFORM"][:, :, 1, L - 1] / float(t.s["LATTICE_TRANSFORM_DEN"][0, L - 1])


def cell_translations(S):
    """Lattice vectors of the parent inside the cell spanned by the columns of S (one per coset
    of the superlattice)."""
    S = np.asarray(S, dtype=np.int64)
    det = int(round(np.linalg.det(S)))
    adj = np.rint(np.linalg.inv(S) * det).astype(np.int64)  # S^-1 = adj / det, exactly
    corners = np.array([S @ np.array(c) for c in iproduct((0, 1), repeat=3)])
    lo, hi = corners.min(axis=0), corners.max(axis=0)
    out = []
    for v in iproduct(*[range(lo[a], hi[a] + 1) for a in range(3)]):
        x = adj @ np.array(v) * np.sign(det)  # det times the cell coordinates
        if np.all(x >= 0) and np.all(x < abs(det)):
            out.append(v)
    if len(out) != abs(det):
        raise ValueError("superlattice %s: %d cell translations" % (S.tolist(), len(out)))
    return out


def displaced_group(t, i, eta, rng, S=None):
    for _ in range(10):  # spglib refuses structures with atoms too close: draw again
        found = _displaced_group(t, i, eta, rng, S)
        if found is not None:
            return found
    raise RuntimeError("irrep %d: spglib found no group in ten structures" % i)


def separated_points(t, g, lattice, rng, count, gap, tries=100):
    """count random points whose orbits under the operators of g (primitive cell, lattice
    columns Cartesian) keep all atoms at least gap apart."""
    L = t.bravais(g)
    rot = [t.prim_rot(L, op[4]) for op in t.ops(g)]
    tau = [np.array(op[:3]) / op[3] for op in t.ops(g)]
    shifts = np.array(list(iproduct((-1, 0, 1), repeat=3)))
    for _ in range(tries):
        x0s = rng.random((count, 3))
        pts = np.array([R @ x + s for x in x0s for R, s in zip(rot, tau)]) % 1.0
        d = pts[:, None, :] - pts[None, :, :]
        d = d - np.round(d)
        near = np.inf
        for sh in shifts:
            c = (d + sh) @ lattice.T
            dist = np.sqrt((c ** 2).sum(axis=-1))
            np.fill_diagonal(dist, np.inf)
            near = min(near, dist.min())
        if near >= gap:
            return x0s
    raise RuntimeError("group %d: no %d orbits %g apart" % (g, count, gap))


def _displaced_group(t, i, eta, rng, S=None):
    """spglib's (space-group number, number of pure translations in the supercell) of three
    general orbits of the irrep's group in the supercell S (columns, "pml"), displaced by the
    fields u(g x0) = (eta . D(g) xi) R_g v (random xi, v per orbit), which are fixed exactly by
    the operators that fix eta and are periodic on every superlattice whose translations fix
    eta."""
    import spglib
    g = int(t.irr["IRREP_SG"][i - 1])
    L = t.bravais(g)
    S = np.eye(3, dtype=int) if S is None else np.asarray(S, dtype=int)
    B = conventional_basis(L)
    P = primitive_basis(t, L)
    lattice = B @ P
    mats = t.matrices(i)
    T = mats[:3]
    cells = cell_translations(S)
    Tcell = [translation_matrix(T, v) for v in cells]
    pos, disp, types = [], [], []
    # three general orbits (one or two could add an inversion), no two atoms closer than
    # 0.01 before the displacements (at most 0.003): in a supercell of thousands of atoms
    # a random point near a symmetry element would otherwise come too close to its image.
    x0s = separated_points(t, g, lattice, rng, 3, 0.01)
    for orbit, x0 in enumerate(x0s, start=1):
        xi = rng.standard_normal(len(eta))
        v = rng.standard_normal(3)
        for j, op in enumerate(t.ops(g)):
            x = t.prim_rot(L, op[4]) @ x0 + np.array(op[:3]) / op[3]
            R = B @ t.rot(op[4]) @ np.linalg.inv(B)
            Rv = R @ v
            for c, Tc in zip(cells, Tcell):
                pos.append(x + np.array(c))
                disp.append(float(eta @ Tc @ mats[3 + j] @ xi) * Rv)
                types.append(orbit)
    disp = np.array(disp)
    scale = np.abs(disp).max()
    if scale > 1e-9:
        disp *= 0.003 / scale
    frac = np.array(pos) + disp @ np.linalg.inv(lattice).T
    frac = frac @ np.linalg.inv(S).T
    cell = ((lattice @ S).T, frac % 1.0, types)
    # The positions are exact to about 1e-7, the displacements break a lost symmetry by
    # about 1e-3.
    data = spglib.get_symmetry_dataset(cell, symprec=1e-4)
    if data is None:
        return None
    number = data.number if hasattr(data, "number") else data["number"]
    rots = data.rotations if hasattr(data, "rotations") else data["rotations"]
    pure = sum(1 for r in rots if np.array_equal(r, np.eye(3, dtype=int)))
    return number, pure


def opd_vectors(t, o):
    dim = int(t.img["OPD_DIMENSION"][o - 1])
    p = int(t.img["OPD_PARAMETER_COUNT"][o - 1])
    s = int(t.img["OPD_VECTOR_START"][o - 1])
    if p < 1 or s < 1 or s - 1 + dim * p > 27300:
        raise ValueError("OPD %d: %d vectors from %d outside OPD_VECTOR_COMPONENT" % (o, p, s))
    idx = t.img["OPD_VECTOR_COMPONENT"][s - 1:s - 1 + dim * p]
    return t.cv[idx].reshape((p, dim)).T


def _null_space(M, tol=1e-6):
    _, sv, vh = np.linalg.svd(M)
    return vh[int((sv > tol).sum()):].T


def projector(W):
    """Orthogonal projector onto the column space of W."""
    Q, _ = np.linalg.qr(W)
    return Q @ Q.T


def isotropy_subspaces(E, limit=20000):
    """Every nonzero fixed subspace of a subgroup of the finite matrix group E (elements
    (k, n, n)): the whole space and all nonzero intersections of the elements' fixed
    subspaces. Returns (bag of their projectors, orthonormal bases in the bag's order)."""
    n = E.shape[1]
    eye = np.eye(n)
    bag = MatrixBag(n * n)
    bases = []

    def add(W):
        q = bag.add(projector(W))
        if q == len(bases):
            if q >= limit:
                raise ValueError("more than %d isotropy subspaces" % limit)
            bases.append(W)
            return True
        return False

    add(eye)
    reps = []
    for M in E:
        W = _null_space(M - eye)
        if W.shape[1] and W.shape[1] < n and add(W):
            reps.append(M - eye)
    A = np.array(reps) if reps else np.zeros((0, n, n))
    frontier = bases[1:]
    while frontier:
        new = []
        for W in frontier:
            X = A @ W
            ranks = (np.linalg.svd(X, compute_uv=False) > 1e-6).sum(axis=-1)
            for q in np.nonzero((ranks > 0) & (ranks < W.shape[1]))[0]:
                V = W @ _null_space(X[q])
                if add(V):
                    new.append(V)
        frontier = new
    return bag, bases


def check_classes(fail, name, E, entries):
    """The entries' OPDs are the smallest isotropy subspaces, one per orbit of the group."""
    bag, bases = isotropy_subspaces(E)
    pmin = min(W.shape[1] for W in bases)
    orbit = {}
    norbits = 0
    for q, W in enumerate(bases):
        if W.shape[1] != pmin or q in orbit:
            continue
        for M in E:
            orbit.setdefault(bag.find(projector(M @ W))[0], norbits)
        norbits += 1
    seen = set()
    for e, V in entries:
        if V.shape[1] != pmin:
            fail("M6", "%s entry %d: %d parameters, the smallest isotropy subspace has %d"
                 % (name, e, V.shape[1], pmin))
            return
        o = orbit.get(bag.find(projector(V))[0])
        if o is None:
            fail("M6", "%s entry %d: OPD is not an isotropy subspace" % (name, e))
        elif o in seen:
            fail("M6", "%s entry %d: OPD conjugate to an earlier entry's" % (name, e))
        seen.add(o)
    if len(entries) != norbits:
        fail("M6", "%s: %d entries, %d classes of smallest isotropy subspaces"
             % (name, len(entries), norbits))


def irrep_kindex(t):
    """{stored irrep: k index} from the little-irrep arrays."""
    out = {}
    for l in range(1, 10301):
        i = int(t.lit["LITTLE_IRREP_TO_IRREP"][l - 1])
        if i:
            out[i] = int(t.lit["LITTLE_IRREP_KVEC"][l - 1])
    return out


def check_isotropy(t, fail, seed=20261210, sample=None, special_sample=None, irreps=None):
    """sample: that many stored irreps at random (None: all); special_sample: all zone-centre
    irreps and that many of the others at random; irreps: those irreps only."""
    rng = np.random.default_rng(seed)
    first = t.iso["ISOTROPY_IRREP_FIRST"]
    if first[0] != 1 or np.any(np.diff(first) < 0) or first[N_IRREP] - 1 > 15239:
        fail("M6", "ISOTROPY_IRREP_FIRST not ascending from 1 within 15239 entries")
        return
    stored = [i for i in range(1, N_IRREP + 1) if int(t.irr["IRREP_SG"][i - 1])]
    for i in range(1, N_IRREP + 1):
        if i not in stored and first[i] != first[i - 1]:
            fail("M6", "irrep %d is not stored but has isotropy entries" % i)
    if irreps is not None:
        stored = [i for i in stored if i in irreps]
    elif sample is not None:
        stored = [stored[j] for j in sorted(rng.choice(len(stored), min(sample, len(stored)),
                                                       replace=False))]
    elif special_sample is not None:
        kidx = irrep_kindex(t)
        gm = [i for i in stored if kidx.get(i) == 1]
        rest = [i for i in stored if kidx.get(i) != 1]
        if len(rest) > special_sample:
            rest = [rest[j] for j in sorted(rng.choice(len(rest), special_sample, replace=False))]
        stored = gm + rest
    for i in stored:
        try:
            check_irrep_isotropy(t, fail, i, rng)
        except Exception as exc:  # one malformed irrep must not hide the others
            fail("M6", "irrep %d: %s: %s" % (i, type(exc).__name__, exc))


def check_irrep_isotropy(t, fail, i, rng):
    first = t.iso["ISOTROPY_IRREP_FIRST"]
    n = t.dim(i)
    name = "irrep %d" % i
    fin = FiniteImage(t, i)
    E = fin.elements().reshape((-1, n, n))
    entries = range(int(first[i - 1]), int(first[i]))
    if not entries:
        fail("M6", "%s has no isotropy entry" % name)
        return
    counts, found = set(), []
    for e in entries:
        o = int(t.iso["ISOTROPY_OPD"][e - 1])
        if not 1 <= o <= 700 or int(t.img["OPD_DIMENSION"][o - 1]) != n:
            fail("M6", "%s entry %d: OPD %d of wrong dimension" % (name, e, o))
            continue
        S = t.iso["ISOTROPY_SUPERLATTICE"][:, :, e - 1].astype(int)
        det = int(round(np.linalg.det(S)))
        if det <= 0:
            fail("M6", "%s entry %d: superlattice not right-handed (determinant %d)"
                 % (name, e, det))
            continue
        V = opd_vectors(t, o)
        counts.add(V.shape[1])
        if np.linalg.matrix_rank(V, tol=1e-6) != V.shape[1]:
            fail("M6", "%s entry %d: OPD vectors dependent" % (name, e))
            continue
        found.append((e, V))
        for c in range(3):
            if np.abs(translation_matrix(fin.T, S[:, c]) @ V - V).max() > TOL:
                fail("M6", "%s entry %d: OPD not fixed by superlattice vector %d"
                     % (name, e, c + 1))
        # The superlattice is the whole lattice of the translations that fix the OPD.
        fixing = int((np.abs(fin.tmat @ V - V).max(axis=(1, 2)) < TOL).sum())
        if fixing * det != len(fin.tmat):
            fail("M6", "%s entry %d: superlattice of determinant %d, the translations fixing "
                 "the OPD have index %d" % (name, e, det, len(fin.tmat) // max(fixing, 1)))
        fixers = E[np.abs(E @ V - V).max(axis=(1, 2)) < TOL]
        rank = np.linalg.matrix_rank((fixers - np.eye(n)).reshape((-1, n)), tol=1e-6)
        if n - rank != V.shape[1]:
            fail("M6", "%s entry %d: the operators fixing the OPD fix %d dimensions, not %d"
                 % (name, e, n - rank, V.shape[1]))
            continue
        eta = V @ rng.standard_normal(V.shape[1])
        sg, pure = displaced_group(t, i, eta, rng, S)
        if sg != int(t.iso["ISOTROPY_SG"][e - 1]):
            fail("M6", "%s entry %d: ISOTROPY_SG %d, spglib finds %d"
                 % (name, e, int(t.iso["ISOTROPY_SG"][e - 1]), sg))
        if pure != 1:
            fail("M6", "%s entry %d: the displaced supercell has %d translations per cell"
                 % (name, e, pure))
    if len(counts) > 1:
        fail("M6", "%s: entries with parameter counts %s" % (name, sorted(counts)))
    elif found and len(found) == len(entries):
        check_classes(fail, name, E, found)


# --- M7 site data ---------------------------------------------------------------------------------

def site_irreps(t, p):
    """Stored irreps standing for the site irreps of point group p and, per site irrep, its
    matrix for each operation of the reference list."""
    n = int(t.w["PG_IRREP_COUNT"][p - 1])
    idx = [int(x) for x in t.w["PG_IRREP_INDEX"][:n, p - 1]]
    g = int(t.irr["IRREP_SG"][idx[0] - 1])
    where = {op[4]: j for j, op in enumerate(t.ops(g))}
    return idx, g, [{k: t.matrices(i)[3 + where[k]] for k in where} for i in idx]


def vector_blocks(t, p, kind, idx):
    col = t.w["PG_VECTOR_IRREP"][:, kind - 1, p - 1]
    blocks, slot = [], 0
    while slot < 3:
        r = int(col[slot])
        if not 1 <= r <= len(idx):
            return None
        s = t.dim(idx[r - 1])
        if slot % s or slot + s > 3 or any(int(x) != r for x in col[slot:slot + s]):
            return None
        blocks.append((r, slot, s))
        slot += s
    return blocks


def site_ops(t, g, w):
    """Operators (exact translations) of g that fix Wyckoff position w pointwise."""
    L = t.bravais(g)
    W = t.w["WYC_MATRIX_TABLE"][:, :, w - 1]
    c = [Fraction(int(W[r, 0]), int(W[3, 0])) for r in range(3)]
    dirs = [W[:3, j].astype(int) for j in (1, 2, 3) if W[3, j]]
    out = []
    for op in t.ops(g):
        R = t.prim_rot(L, op[4])
        if any(np.any(R @ d != d) for d in dirs):
            continue
        image = [sum(int(R[a, b]) * c[b] for b in range(3)) + Fraction(op[a], op[3])
                 for a in range(3)]
        shift = [x - y for x, y in zip(image, c)]
        if all(x.denominator == 1 for x in shift):
            t_new = [Fraction(op[a], op[3]) - shift[a] for a in range(3)]
            d = 1
            for x in t_new:
                d = d * x.denominator // np.gcd(d, x.denominator)
            out.append(tuple(int(x * d) for x in t_new) + (d, op[4]))
    return out


def reality_type(t, i):
    return int(t.img["IMAGE_REALITY_TYPE"][int(t.irr["IRREP_IMAGE"][i - 1]) - 1])


def check_site_data(t, fail, groups=range(1, 231)):
    refs = {}
    for p in range(1, 33):
        idx, g, S = site_irreps(t, p)
        ref = t.lists(p)[0][1]
        refs[p] = (idx, S, ref)
        if t.pg(g) != p or sorted(op[4] for op in t.ops(g)) != ref:
            fail("M7", "point group %d: site irreps from group %d, not the reference list" % (p, g))
        if zone_centre_irreps(t, g) != idx or any(int(t.irr["IRREP_SG"][i - 1]) != g for i in idx):
            fail("M7", "point group %d: PG_IRREP_INDEX is not the zone-centre list of %d" % (p, g))
        for kind in (1, 2):
            blocks = vector_blocks(t, p, kind, idx)
            if blocks is None:
                fail("M7", "point group %d kind %d: vector slots %s" % (
                    p, kind, list(t.w["PG_VECTOR_IRREP"][:, kind - 1, p - 1])))
                continue
            for n_list, lst in t.lists(p):
                E = t.cv[t.w["PG_VECTOR_BASIS"][:, :, kind - 1, n_list - 1]]
                if abs(np.linalg.det(E)) < 1e-6:
                    fail("M7", "point group %d kind %d list %d: singular basis" % (p, kind, n_list))
                for k, kr in zip(lst, ref):
                    R = t.rot(k)
                    if kind == 2:
                        R = R * np.sign(np.linalg.det(R))
                    Sb = np.zeros((3, 3))
                    for r, slot, s in blocks:
                        Sb[slot:slot + s, slot:slot + s] = S[r - 1][kr]
                    if np.abs(R @ E - E @ Sb).max() > TOL:
                        fail("M7", "point group %d kind %d list %d: R E != E S at operation %d"
                             % (p, kind, n_list, k))
                        break
    wfirst = t.w["IRREP_WYC_FIRST"]
    for g in groups:
        wyc0 = int(t.w["WYC_FIRST"][g - 1])
        nw = int(t.w["WYC_COUNT"][g - 1])
        sites = [site_ops(t, g, w) for w in range(wyc0, wyc0 + nw)]
        for i in stored_irreps(t, g):
            if not 1 <= int(wfirst[i - 1]) or int(wfirst[i - 1]) + nw - 1 > 44000:
                fail("M7", "group %d irrep %d: IRREP_WYC_FIRST %d outside the entries"
                     % (g, i, int(wfirst[i - 1])))
                continue
            for w, sops in enumerate(sites):
                spg = int(t.w["WYC_SITE_POINT_GROUP"][wyc0 + w - 1])
                pts = [op[4] for op in sops]
                lst = next((l for _, l in t.lists(spg) if set(pts) <= set(l)), None)
                if lst is None or len(lst) != len(pts):
                    fail("M7", "group %d position %d: site operators fit no list" % (g, w + 1))
                    continue
                idx, S, ref = refs[spg]
                place = {k: j for j, k in enumerate(lst)}
                chi = [np.trace(t.op_matrix(i, op)) for op in sops]
                want = []
                for s, Ssig in enumerate(S, start=1):
                    cs = [np.trace(Ssig[ref[place[op[4]]]]) for op in sops]
                    norm = np.dot(cs, cs) / len(sops)
                    m = np.dot(chi, cs) / len(sops) / norm
                    if abs(m - round(m)) > TOL or m < -TOL:
                        fail("M7", "group %d irrep %d position %d: multiplicity %g"
                             % (g, i, w + 1, m))
                    if round(m):
                        want.append((s, int(round(m))))
                e = int(wfirst[i - 1]) + w
                start = int(t.w["IRREP_WYC_LIST_START"][e - 1])
                cnt = int(t.w["IRREP_WYC_LIST_COUNT"][e - 1])
                if cnt and (start < 1 or start - 1 + cnt > 61000):
                    fail("M7", "group %d irrep %d position %d: list outside the items"
                         % (g, i, w + 1))
                    continue
                got = [(int(t.w["IRREP_WYC_SITE_IRREP"][start - 1 + q]),
                        int(t.w["IRREP_WYC_MULTIPLICITY"][start - 1 + q])) for q in range(cnt)]
                if got != want:
                    fail("M7", "group %d irrep %d position %d: site irreps %s, expected %s"
                         % (g, i, w + 1, got, want))
                # The mode count of a listed site irrep (doubled for a non-real site irrep)
                # must divide by 1, 4, 2 for the irrep's reality type.
                divisor = {1: 1, 2: 4, 3: 2}[reality_type(t, i)]
                for s_irrep, mult in got:
                    sreal = int(t.img["IMAGE_REALITY_TYPE"][
                        int(t.irr["IRREP_IMAGE"][idx[s_irrep - 1] - 1]) - 1])
                    if (mult * (1 if sreal == 1 else 2)) % divisor:
                        fail("M7", "group %d irrep %d position %d: multiplicity %d of site "
                             "irrep %d not divisible by %d" % (g, i, w + 1, mult, s_irrep,
                                                               divisor))


CHECKS = ("M1", "M2", "M3", "M4", "M5", "M6", "M7")


# Irreps away from the zone centre whose isotropy entries are checked by default (seeded
# sample; every one with --all). The zone-centre irreps are always checked in full.
SPECIAL_SAMPLE = 100


def run_checks(data_dir, seed=20261210, isotropy_sample=None, everything=False):
    """Failures as a dict assertion -> list of messages (empty lists when all hold).
    isotropy_sample: check the isotropy entries of that many stored irreps at random; else
    those of every zone-centre irrep and of SPECIAL_SAMPLE others (all with everything)."""
    failures = {c: [] for c in CHECKS}

    def fail(code, msg):
        failures[code].append(msg)

    t = Tables(data_dir)

    def run(code, check, *args):
        try:
            check(t, fail, *args)
        except Exception as exc:  # a malformed table must be reported, not crash the run
            fail(code, "%s: %s" % (type(exc).__name__, exc))

    run("M1", check_layout)
    run("M2", check_constants)
    run("M3", check_klists)
    run("M3", check_kletters)
    run("M3", check_grid)
    run("M4", check_cogroups)
    run("M5", check_irreps)
    run("M6", check_isotropy, seed, isotropy_sample,
        None if everything or isotropy_sample is not None else SPECIAL_SAMPLE)
    run("M7", check_site_data)
    return failures


def coverage(t):
    """(pairs with stored irreps, [(group, k label)] of the k types without parameters that
    have none)."""
    covered, empty = 0, []
    for g in range(1, 231):
        L = t.bravais(g)
        for j in range(1, int(t.lit["KVEC_COUNT"][L - 1]) + 1):
            if int(t.lit["KVEC_PARAMETER_COUNT"][j - 1, L - 1]):
                continue
            if int(t.lit["LITTLE_IRREP_COUNT"][j - 1, g - 1]):
                covered += 1
            else:
                empty.append((g, text(t.lit["KVEC_LABEL"][j - 1, L - 1]).strip()))
    return covered, empty


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    args = [a for a in argv[1:] if a != "--all"]
    data_dir = args[0] if args else os.path.join(here, "..", "data")
    failures = run_checks(data_dir, everything="--all" in argv[1:])
    bad = 0
    for code in CHECKS:
        msgs = failures[code]
        print("%s %s" % (code, "ok" if not msgs else "FAILED (%d)" % len(msgs)))
        for m in msgs[:10]:
            print("   ", m)
        bad += bool(msgs)
    covered, empty = coverage(Tables(data_dir))
    print("stored irreps at %d (group, k) pairs without parameters (GM included); none at %d%s"
          % (covered, len(empty), ": " + ", ".join("%d %s" % x for x in empty[:20])
             if empty else ""))
    print("%d passed, %d failed" % (len(CHECKS) - bad, bad))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
