"""Bravais types, primitive bases and the changes of setting of the 230 space groups.

Settings (coordinates of one group):

* "cinter": the standard setting of International Tables as cctbx gives it, origin choice 2
  where a group has two, rhombohedral axes for the seven R groups. The programs read and
  print crystals in it.
* "cml": the reference conventional setting. Equal to "cinter" except for the R groups
  (hexagonal axes, obverse) and for the A-centred groups 38-41, whose axes are permuted
  cyclically (a' = b, b' = c, c' = a) so that the centring becomes C and matches the one
  C-centred primitive basis.
* "pml": the primitive basis P of the group's Bravais type (columns of `primitive_basis`,
  in "cml" coordinates), origin of "cml". All table operators and Wyckoff positions live here.
* "cori1": origin choice 1 of the groups that have two origin choices (axes of "cinter").

Bravais types (stable numbering): 1 aP, 2 mP, 3 mC, 4 oP, 5 oC, 6 oF, 7 oI, 8 tP, 9 tI,
10 hP, 11 hR, 12 cP, 13 cF, 14 cI. Each has exactly one primitive basis P.

Changes of setting are exact affine 4x4 matrices (ratmat) mapping coordinates:
x_cml = cinter_to_cml(g) x_cinter, x_pml = cml_to_pml(g) x_cml. `cb_op` turns such a matrix
into a cctbx change_of_basis_op (new coordinates = c() applied to old ones).
"""
from fractions import Fraction
from functools import lru_cache

from cctbx import sgtbx

from . import ratmat as rm
from . import pointops

BRAVAIS_NAMES = ("aP", "mP", "mC", "oP", "oC", "oF", "oI", "tP", "tI", "hP", "hR",
                 "cP", "cF", "cI")

_H = "1/2"
_T = "1/3"
_PRIMITIVE_BASIS_COLUMNS = {
    "P": ((1, 0, 0), (0, 1, 0), (0, 0, 1)),
    "C": ((_H, _H, 0), ("-1/2", _H, 0), (0, 0, 1)),
    "F": ((0, _H, _H), (_H, 0, _H), (_H, _H, 0)),
    "I": (("-1/2", _H, _H), (_H, "-1/2", _H), (_H, _H, "-1/2")),
    "R": (("2/3", _T, _T), ("-1/3", _T, _T), ("-1/3", "-2/3", _T)),
}

R_GROUPS = (146, 148, 155, 160, 161, 166, 167)
A_CENTRED_GROUPS = (38, 39, 40, 41)
# cml coordinates of the A-centred groups from their cinter coordinates: x' = y, y' = z, z' = x.
A_TO_C_AXES = rm.affine(((0, 1, 0), (0, 0, 1), (1, 0, 0)))


def bravais_centring(L):
    return BRAVAIS_NAMES[L - 1][1]


@lru_cache(maxsize=None)
def primitive_basis(L):
    """Primitive basis P of Bravais type L: columns are the basis vectors in conventional
    ("cml") coordinates."""
    cols = _PRIMITIVE_BASIS_COLUMNS[bravais_centring(L)]
    return rm.transpose(rm.mat(cols))


def uses_hexagonal_list(g):
    return 143 <= g <= 194


def crystal_system(g):
    for last, name in ((2, "triclinic"), (15, "monoclinic"), (74, "orthorhombic"),
                       (142, "tetragonal"), (167, "trigonal"), (194, "hexagonal"),
                       (230, "cubic")):
        if g <= last:
            return name
    raise ValueError(g)


@lru_cache(maxsize=None)
def has_two_origins(g):
    try:
        sgtbx.space_group_symbols("%d:1" % g)
    except RuntimeError:
        return False
    return True


TWO_ORIGIN_GROUPS = tuple(g for g in range(1, 231) if has_two_origins(g))


def cinter_symbol(g):
    if g in R_GROUPS:
        return "%d:R" % g
    if has_two_origins(g):
        return "%d:2" % g
    return "%d" % g


def cml_symbol(g):
    if g in R_GROUPS:
        return "%d:H" % g
    return cinter_symbol(g)


@lru_cache(maxsize=None)
def cinter_info(g):
    """cctbx space_group_info of group g in "cinter"."""
    return sgtbx.space_group_info(cinter_symbol(g))


@lru_cache(maxsize=None)
def cml_info(g):
    """cctbx space_group_info of group g in "cml"."""
    return cinter_info(g).change_basis(cb_op(cinter_to_cml(g)))


@lru_cache(maxsize=None)
def sg_bravais(g):
    system = crystal_system(g)
    if g in R_GROUPS:
        return BRAVAIS_NAMES.index("hR") + 1
    centring = cml_info(g).group().conventional_centring_type_symbol()
    prefix = {"triclinic": "a", "monoclinic": "m", "orthorhombic": "o", "tetragonal": "t",
              "trigonal": "h", "hexagonal": "h", "cubic": "c"}[system]
    return BRAVAIS_NAMES.index(prefix + centring) + 1


@lru_cache(maxsize=None)
def cinter_to_cml(g):
    """Affine matrix taking "cinter" coordinates to "cml" coordinates."""
    if g in R_GROUPS:
        return rm.affine(primitive_basis(BRAVAIS_NAMES.index("hR") + 1))
    if g in A_CENTRED_GROUPS:
        return A_TO_C_AXES
    return rm.affine(rm.identity())


@lru_cache(maxsize=None)
def cml_to_pml(g):
    """Affine matrix taking "cml" coordinates to "pml" coordinates (same origin)."""
    return rm.affine(rm.inv(primitive_basis(sg_bravais(g))))


def cinter_to_pml(g):
    return rm.mul(cml_to_pml(g), cinter_to_cml(g))


@lru_cache(maxsize=None)
def cori1_to_cml(g):
    """Affine matrix taking origin-choice-1 coordinates to "cml" ones (identity for groups
    with one origin choice)."""
    if not has_two_origins(g):
        return rm.affine(rm.identity())
    o1 = sgtbx.space_group_info("%d:1" % g)
    o2 = cinter_info(g)
    cb = o2.change_of_basis_op_to_reference_setting().inverse() * \
        o1.change_of_basis_op_to_reference_setting()
    m = affine_of_cb(cb)
    return rm.mul(cinter_to_cml(g), m)


def cb_op(m):
    """cctbx change_of_basis_op whose c() is the affine matrix m (x_new = m x_old)."""
    terms = []
    for i in range(3):
        parts = []
        for j, name in enumerate("xyz"):
            c = m[i][j]
            if c != 0:
                parts.append("%s%s*%s" % ("+" if c > 0 else "-", abs(c), name))
        t = m[i][3]
        if t != 0:
            parts.append("%s%s" % ("+" if t > 0 else "-", abs(t)))
        terms.append("".join(parts).lstrip("+") or "0")
    den = rm.common_denominator(x for row in m for x in row)
    rt = sgtbx.rt_mx(",".join(terms), r_den=12 * den, t_den=144 * den)
    return sgtbx.change_of_basis_op(rt).new_denominators(12 * den, 144 * den)


def affine_of_cb(cb):
    """Exact affine matrix of a cctbx change_of_basis_op (its c())."""
    return affine_of_rt(cb.c())


def affine_of_rt(rt):
    """Exact affine matrix of a cctbx rt_mx (symmetry operator or change of basis)."""
    r, t = rt.r(), rt.t()
    rows = [[Fraction(r.num()[3 * i + j], r.den()) for j in range(3)] +
            [Fraction(t.num()[i], t.den())] for i in range(3)]
    rows.append([0, 0, 0, 1])
    return rm.mat(rows)


def conjugate(m_op, m_change):
    """An operator given as an affine matrix in old coordinates, expressed in new coordinates
    where x_new = m_change x_old."""
    return rm.mul(rm.mul(m_change, m_op), rm.inv(m_change))


def reduce_translation(m):
    """Affine operator with its translation reduced into [0, 1)."""
    rows = [list(row) for row in m]
    for i in range(3):
        t = rows[i][3]
        rows[i][3] = t - (t.numerator // t.denominator)
    return rm.mat(rows)


def point_op_of_matrix(r, g):
    """Point-operation number of the rotation r (exact 3x3, "cml" axes) for group g."""
    return pointops.point_op_number(rm.to_int(r), uses_hexagonal_list(g))


@lru_cache(maxsize=None)
def pml_operators(g):
    """The operators of group g in "pml": a tuple of (point-operation number, translation as a
    tuple of Fractions in [0, 1)), one per point operation, sorted by point-operation number
    (so the identity comes first and the proper operations before the improper ones)."""
    to_pml = cinter_to_pml(g)
    to_cml = cinter_to_cml(g)
    ops = {}
    for op in cinter_info(g).group():
        m = affine_of_rt(op)
        k = point_op_of_matrix(rm.linear_part(conjugate(m, to_cml)), g)
        mp = reduce_translation(conjugate(m, to_pml))
        t = rm.translation_part(mp)
        if ops.setdefault(k, t) != t:
            raise AssertionError("group %d: two translations for point operation %d" % (g, k))
    return tuple(sorted(ops.items()))


def _self_check():
    for L in range(1, 15):
        P = primitive_basis(L)
        assert rm.det(P) > 0 and rm.is_integral(rm.inv(P))
    # The R groups: rhombohedral axes of cctbx map onto its hexagonal axes through P(hR).
    for g in R_GROUPS:
        hexa = sgtbx.space_group_info(cml_symbol(g)).group()
        assert cml_info(g).group() == hexa, g
    for g in A_CENTRED_GROUPS:
        assert cml_info(g).group().conventional_centring_type_symbol() == "C"


_self_check()
