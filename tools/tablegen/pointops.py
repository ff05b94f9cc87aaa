"""The 72 point operations and the 32 crystallographic point groups.

Numbering of the point operations (stable API, used by every table):

* 1-48, the cubic list, in cubic (Cartesian-like) axes: 1-24 are the proper rotations of m-3m in
  the order of the general position of Pm-3m (1 x,y,z; 2 -x,-y,z; 3 -x,y,-z; 4 x,-y,-z;
  5-12 the threefold rotations about the body diagonals; 13-24 the twofold rotations about face
  diagonals and the fourfold rotations), and 24 + k is the inversion times k (25 = inversion).
* 49-72, the hexagonal list, in hexagonal axes (a and b at 120 degrees, c): 49-60 are the proper
  rotations of 6/mmm in the order of the general position of P6/mmm (49 x,y,z; 50 -y,x-y,z; ...;
  60 x,x-y,-z), and 60 + k - 48 is the inversion times k (61 = inversion).

A matrix R acts on coordinate columns, x' = R x; `rot(k)` returns it as a row-major tuple of
int tuples. Products follow matrix multiplication: product(a, b) is the number of R_a R_b
(a applied after b), defined only within one list.

Point groups 1-32 in the usual order: 1, -1, 2, m, 2/m, 222, mm2, mmm, 4, -4, 4/m, 422, 4mm,
-42m, 4/mmm, 3, -3, 32, 3m, -3m, 6, -6, 6/m, 622, 6mm, -6m2, 6/mmm, 23, m-3, 432, -43m, m-3m.
Each has a reference orientation (its generators `PG_REFERENCE_GENERATORS`; trigonal and
hexagonal groups in the hexagonal list, the others in the cubic list). A set of point operations
in any orientation and either list is identified by the sum of the keys of its operations
(`identify_point_group`): the key depends only on the kind of the operation (its determinant and
trace), and the 32 key sums are pairwise distinct.
"""
import math
from fractions import Fraction

CUBIC_PROPER_XYZ = (
    "x,y,z", "-x,-y,z", "-x,y,-z", "x,-y,-z",
    "z,x,y", "z,-x,-y", "-z,-x,y", "-z,x,-y",
    "y,z,x", "-y,z,-x", "y,-z,-x", "-y,-z,x",
    "y,x,-z", "-y,-x,-z", "y,-x,z", "-y,x,z",
    "x,z,-y", "-x,z,y", "-x,-z,-y", "x,-z,y",
    "z,y,-x", "z,-y,x", "-z,y,x", "-z,-y,-x",
)
HEX_PROPER_XYZ = (
    "x,y,z", "-y,x-y,z", "-x+y,-x,z", "-x,-y,z", "y,-x+y,z", "x-y,x,z",
    "y,x,-z", "x-y,-y,-z", "-x,-x+y,-z", "-y,-x,-z", "-x+y,y,-z", "x,x-y,-z",
)

N_OPS = 72
HEX_FIRST = 49
IDENTITY = {False: 1, True: 49}
INVERSION = {False: 25, True: 61}


def _parse_xyz(text):
    rows = []
    for expr in text.split(","):
        row = [0, 0, 0]
        sign = 1
        for ch in expr.strip():
            if ch == "+":
                sign = 1
            elif ch == "-":
                sign = -1
            else:
                row["xyz".index(ch)] += sign
                sign = 1
        rows.append(tuple(row))
    return tuple(rows)


def _neg(r):
    return tuple(tuple(-x for x in row) for row in r)


def _imul(a, b):
    return tuple(tuple(sum(a[i][k] * b[k][j] for k in range(3)) for j in range(3))
                 for i in range(3))


def _det(r):
    return (r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1])
            - r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0])
            + r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]))


def _build_rotations():
    cubic = [_parse_xyz(s) for s in CUBIC_PROPER_XYZ]
    hexa = [_parse_xyz(s) for s in HEX_PROPER_XYZ]
    return cubic + [_neg(r) for r in cubic] + hexa + [_neg(r) for r in hexa]


_ROT = _build_rotations()


def rot(k):
    """Integer rotation matrix (row-major tuple of tuples) of point operation k (1-72)."""
    return _ROT[k - 1]


def is_hexagonal(k):
    return k >= HEX_FIRST


def list_range(hexagonal):
    """The numbers of one list: range(1, 49) or range(49, 73)."""
    return range(HEX_FIRST, N_OPS + 1) if hexagonal else range(1, HEX_FIRST)


_NUMBER = {False: {}, True: {}}
for _k in range(1, N_OPS + 1):
    _NUMBER[is_hexagonal(_k)][_ROT[_k - 1]] = _k


def point_op_number(r, hexagonal):
    """Number of the integer matrix r (any nested 3x3 sequence, conventional axes) in the
    hexagonal (True) or cubic (False) list; raises KeyError when it is not in that list."""
    key = tuple(tuple(int(x) for x in row) for row in r)
    return _NUMBER[bool(hexagonal)][key]


def is_proper(k):
    return _det(rot(k)) == 1


def product(a, b):
    """Number of R_a R_b; a and b must lie in the same list."""
    if is_hexagonal(a) != is_hexagonal(b):
        raise ValueError("point operations %d and %d lie in different lists" % (a, b))
    return point_op_number(_imul(rot(a), rot(b)), is_hexagonal(a))


def inverse(k):
    h = is_hexagonal(k)
    return next(j for j in list_range(h) if product(k, j) == IDENTITY[h])


def product_table():
    """72x72 nested list, entry [a-1][b-1] = product(a, b), 0 across the lists."""
    return [[product(a, b) if is_hexagonal(a) == is_hexagonal(b) else 0
             for b in range(1, N_OPS + 1)] for a in range(1, N_OPS + 1)]


def trace(k):
    r = rot(k)
    return r[0][0] + r[1][1] + r[2][2]


# Kind of an operation from (determinant, trace).
_KIND = {(1, 3): "1", (1, -1): "2", (1, 0): "3", (1, 1): "4", (1, 2): "6",
         (-1, -3): "-1", (-1, 1): "m", (-1, 0): "-3", (-1, -1): "-4", (-1, -2): "-6"}


def kind(k):
    return _KIND[(_det(rot(k)), trace(k))]


# Keys per kind. The values are arbitrary but chosen so that the 32 point groups have
# pairwise distinct key sums (checked at import time below and by the table checker).
KIND_KEY = {"1": 1, "2": 2, "3": 5, "4": 17, "6": 37,
            "-1": 71, "m": 131, "-3": 257, "-4": 521, "-6": 1031}


def key(k):
    return KIND_KEY[kind(k)]


POINT_GROUP_NAMES = ("1", "-1", "2", "m", "2/m", "222", "mm2", "mmm", "4", "-4", "4/m", "422",
                     "4mm", "-42m", "4/mmm", "3", "-3", "32", "3m", "-3m", "6", "-6", "6/m",
                     "622", "6mm", "-6m2", "6/mmm", "23", "m-3", "432", "-43m", "m-3m")

# Generators of each point group in its reference orientation: the unique axis of the
# monoclinic groups along b, fourfold and sixfold axes along c, the twofold axes of 32 and
# -3m along a (321 and -3m1), the mirrors of 3m, 6mm and -6m2 normal to a, the twofold axes of
# -42m along a and b, threefold axes of the cubic groups along the body diagonals.
PG_REFERENCE_GENERATORS = (
    (1,), (25,), (3,), (27,), (3, 25), (2, 3), (2, 27), (2, 3, 25),
    (16,), (40,), (16, 25), (16, 3), (16, 27), (40, 3), (16, 3, 25),
    (50,), (50, 61), (50, 56), (50, 68), (50, 56, 61),
    (54,), (66,), (54, 61), (54, 56), (54, 68), (66, 68), (54, 56, 61),
    (2, 5), (2, 5, 25), (16, 5), (40, 5), (16, 5, 25),
)


def closure(ops):
    """Sorted tuple of the point operations generated by ops (one list)."""
    elems = set(ops)
    changed = True
    while changed:
        changed = False
        for a in list(elems):
            for b in list(elems):
                c = product(a, b)
                if c not in elems:
                    elems.add(c)
                    changed = True
    return tuple(sorted(elems))


PG_OPS = tuple(closure(g) for g in PG_REFERENCE_GENERATORS)
PG_ORDER = tuple(len(ops) for ops in PG_OPS)
POINT_GROUP_KEY = tuple(sum(key(k) for k in ops) for ops in PG_OPS)
HOLOHEDRY = {"-1": 2, "2/m": 5, "mmm": 8, "4/mmm": 15, "-3m": 20, "6/mmm": 27, "m-3m": 32}


def point_group_ops(p):
    """Point operations of point group p (1-32) in its reference orientation, ascending."""
    return PG_OPS[p - 1]


def identify_point_group(ops):
    """Point group number (1-32) of a set of point operations in any orientation, by the sum
    of their keys; raises KeyError when no point group has that sum."""
    total = sum(key(k) for k in set(ops))
    for p, s in enumerate(POINT_GROUP_KEY, start=1):
        if s == total:
            return p
    raise KeyError("no point group with key sum %d" % total)


# Hexagonal axes in Cartesian coordinates: a along x, b in the x-y plane at 120 degrees, c along
# z. The Cartesian matrices are computed exactly in numbers p + q sqrt(3) (pairs of Fractions)
# and rounded once at the end.
def _sq(p, q=0):
    return (Fraction(p), Fraction(q))


def _sq_mul(a, b):
    return (a[0] * b[0] + 3 * a[1] * b[1], a[0] * b[1] + a[1] * b[0])


def _sq_add(a, b):
    return (a[0] + b[0], a[1] + b[1])


_HEX_TO_CART = ((_sq(1), _sq("-1/2"), _sq(0)), (_sq(0), _sq(0, "1/2"), _sq(0)),
                (_sq(0), _sq(0), _sq(1)))
_CART_TO_HEX = ((_sq(1), _sq(0, "1/3"), _sq(0)), (_sq(0), _sq(0, "2/3"), _sq(0)),
                (_sq(0), _sq(0), _sq(1)))


def _sq_matmul(a, b):
    out = []
    for i in range(3):
        row = []
        for j in range(3):
            acc = _sq(0)
            for m in range(3):
                acc = _sq_add(acc, _sq_mul(a[i][m], b[m][j]))
            row.append(acc)
        out.append(tuple(row))
    return tuple(out)


def cartesian_exact(k):
    """Matrix of point operation k in Cartesian coordinates as pairs (p, q) meaning
    p + q sqrt(3): the cubic list as it is, the hexagonal list with a along x, c along z."""
    r = tuple(tuple(_sq(x) for x in row) for row in rot(k))
    if not is_hexagonal(k):
        return r
    return _sq_matmul(_sq_matmul(_HEX_TO_CART, r), _CART_TO_HEX)


def cartesian(k):
    """cartesian_exact(k) rounded to floats (row-major)."""
    return tuple(tuple(float(p) + float(q) * math.sqrt(3.0) if q else float(p)
                       for p, q in row) for row in cartesian_exact(k))


def _self_check():
    assert len(set(POINT_GROUP_KEY)) == 32
    assert PG_ORDER == (1, 2, 2, 2, 4, 4, 4, 8, 4, 4, 8, 8, 8, 8, 16, 3, 6, 6, 6, 12,
                        6, 6, 12, 12, 12, 12, 24, 12, 24, 24, 24, 48)
    for h, half in ((False, 24), (True, 12)):
        first = IDENTITY[h]
        for k in list_range(h):
            assert product(k, inverse(k)) == first
            partner = k + half if k < first + half else k - half
            assert product(INVERSION[h], k) == partner
            assert is_proper(k) == (k < first + half)


_self_check()
