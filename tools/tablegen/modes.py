"""The mode-analysis tables: data_images.bin, data_irreps.bin, data_little.bin,
data_isotropy.bin, const.dat and the site arrays of data_wyckoff.bin.

`build(space_arrays, wyckoff_arrays, special_points)` returns the four payload array dicts,
the text of const.dat, the values of the Wyckoff block's mode-analysis arrays, an extents
report and the special-point stage (None without `special_points`, the `fixed_tables.Sources`
of their irreps). The inputs are the finished arrays of the shared tables (index i of the
tables is i - 1 here).

Coverage: the k lists and little co-groups of all k types of all groups; irreps at the zone
centre (k index 1) of all 230 groups, stored as real orthogonal matrices; after them the
irreps at the special points that fit (`fixed_tables`); then the little irreps of every k type
with parameters (`parameter_kpoints`: small irreps, induced at run time).

Conventions:

* Zone-centre irreps of a group are the irreps of its point group in the reference
  orientation (pgirreps) carried over by a correspondence of point operations: the identity
  when the group's operations (in the axes of "cinter" for the A-centred groups 38-41, else
  "cml") are the reference list, else place j of the group's orientation list in
  `PG_ELEMENT_LIST` to place j of the reference list. The matrix of an operator is the matrix
  of its point operation; the three primitive translations have the unit matrix.
* Irrep numbers run over the groups in order and, within a group, over the slots; little-irrep
  numbers are the same at the zone centre. Labels: the standard ones ("GM1+", "GM3GM4", looked
  up by characters in tools/standard_irrep_labels.txt, `standard_labels`); second label the
  Mulliken symbol; entry 4777 of the second labels is blank.
* Images 1-13 as pgirreps numbers them; the complex-type images 3-5 share one stored
  transformation S = (1/sqrt 2)((1, 1), (-i, i)), so that each stored matrix is
  S diag(z, conj z) S^H.
* Every distinct matrix is stored once in `IRREP_MATRIX_ELEMENT`.
* Isotropy at the zone centre: per irrep one entry per conjugacy class of isotropy subgroups
  whose fixed subspace has the smallest dimension; superlattice the unit matrix; OPD vectors
  the reduced echelon basis of the fixed subspace, shared between irreps by value.
* Site data: `PG_IRREP_INDEX`(r, p) is zone-centre irrep r of the symmorphic primitive group of
  point group p in its reference orientation (`SYMMORPHIC_P`). Vector slots: a site irrep of
  dimension 2 or 3 first, then the one-dimensional ones in the order of their basis vectors;
  `PG_VECTOR_BASIS` of every orientation list solves R(list_j) E = E S(reference_j) (axial:
  det R R), each block scaled to largest entry 1.
* `IRREP_WYC_*`: multiplicity of site irrep s in the restriction of the irrep to the site
  operators, <chi, chi_s> / <chi_s, chi_s> in real characters; only s that occur.
* const.dat: index 1 holds 0, index 2k and 2k + 1 hold v and -v; the values that int8 arrays
  name come first (indices up to 127).
"""
from fractions import Fraction
from functools import lru_cache
from types import SimpleNamespace

import numpy as np
from cctbx import sgtbx

from . import binfile, fixed_tables, kvectors, modelayout, parameter_kpoints
from . import standard_labels
from .constant_table import Constants
from . import numfield as nf
from . import pgirreps as pi
from . import pointops as po
from . import ratmat as rm
from . import settings as st

SYMMORPHIC_P = (1, 2, 3, 6, 10, 16, 25, 47, 75, 81, 83, 89, 99, 111, 123, 143, 147, 150, 156,
                164, 168, 174, 175, 177, 183, 187, 191, 195, 200, 207, 215, 221)

N_IRREP = 4777
BLANK_IRREP = 4777
UNIT_LATTICE = ((1, 0, 0), (0, 1, 0), (0, 0, 1))
R2 = 0.7071067811865476  # 1/sqrt 2 of the stored transformation


def fail(msg):
    raise SystemExit("make_tables (modes): " + msg)


# --- the shared tables ------------------------------------------------------------------------

class Shared:
    def __init__(self, space, wyckoff):
        self.s, self.w = space, wyckoff

    def pg(self, g):
        return int(self.s["SG_POINT_GROUP"][g - 1])

    def bravais(self, g):
        return int(self.s["SG_BRAVAIS"][g - 1])

    @lru_cache(maxsize=None)
    def ops(self, g):
        first = int(self.s["SG_FIRST_OP"][g - 1])
        n = int(self.s["PG_ORDER"][self.pg(g) - 1])
        t = self.s["SG_OP_TABLE"]
        return tuple(tuple(int(x) for x in t[:, first - 1 + j]) for j in range(n))

    def wyc_range(self, g):
        first = int(self.w["WYC_FIRST"][g - 1])
        return range(first, first + int(self.w["WYC_COUNT"][g - 1]))

    def lists(self, p):
        first = int(self.w["PG_LIST_FIRST"][p - 1])
        n = int(self.w["PG_LIST_COUNT"][p - 1])
        order = int(self.s["PG_ORDER"][p - 1])
        return [(first + i, tuple(int(x) for x in self.w["PG_ELEMENT_LIST"][:order, first - 1 + i]))
                for i in range(n)]


def _cinter_number(k):
    """Point-operation number, in the axes of "cinter", of cml operation k of groups 38-41."""
    A = rm.linear_part(st.A_TO_C_AXES)
    R = rm.mul(rm.mul(rm.inv(A), rm.mat(po.rot(k))), A)
    return po.point_op_number(R, False)


def correspondence(sh, g):
    """Map point operation of group g -> operation of the reference list of its point group."""
    p = sh.pg(g)
    ref = po.point_group_ops(p)
    mine = sorted(op[4] for op in sh.ops(g))
    if g in st.A_CENTRED_GROUPS:
        conv = {k: _cinter_number(k) for k in mine}
        if sorted(conv.values()) == list(ref):
            return conv
    if mine == list(ref):
        return {k: k for k in mine}
    for _, lst in sh.lists(p):
        if sorted(lst) == mine:
            return dict(zip(lst, ref))
    fail("group %d: no orientation list of its point group" % g)


# --- subgroups and isotropy --------------------------------------------------------------------

def _closure(gens):
    elems = set(gens)
    queue = list(elems)
    for a in queue:
        for b in list(gens):
            c = pi._mul(a, b)
            if c not in elems:
                elems.add(c)
                queue.append(c)
    return frozenset(elems)


@lru_cache(maxsize=None)
def subgroups(p):
    """All subgroups of point group p (frozensets of point operations), larger first."""
    ops = po.point_group_ops(p)
    ident = ops[0]
    start = frozenset([ident])
    gens = {start: [ident]}
    frontier = [start]
    while frontier:
        new = []
        for H in frontier:
            for k in ops:
                if k in H:
                    continue
                J = _closure(gens[H] + [k])
                if J not in gens:
                    gens[J] = gens[H] + [k]
                    new.append(J)
        frontier = new
    return [(H, tuple(gens[H])) for H in sorted(gens, key=lambda H: (-len(H), sorted(H)))]


def _fixed_space(irrep, H):
    rows = []
    n = irrep.dim
    I = nf.identity(n)
    for h in sorted(H):
        M = nf.sub(irrep.matrix(h), I)
        rows.extend(M)
    return nf.nullspace(rows, n)


@lru_cache(maxsize=None)
def isotropy(p, r):
    """(subgroup, OPD basis) per conjugacy class of isotropy subgroups of irrep r of point
    group p whose fixed subspace has the smallest dimension."""
    irrep = pi.point_group_irreps(p)[r - 1]
    ops = po.point_group_ops(p)
    cands = []
    for H, gens in subgroups(p):
        F = _fixed_space(irrep, gens)
        if not F:
            continue
        stab = frozenset(k for k in ops
                         if all(nf.mul(irrep.matrix(k), tuple((x,) for x in v)) ==
                                tuple((x,) for x in v) for v in F))
        if stab == H:
            cands.append((H, F))
    if not cands:
        fail("point group %d irrep %d: no isotropy subgroup" % (p, r))
    mind = min(len(F) for _, F in cands)
    out, seen = [], set()
    for H, F in cands:
        if len(F) != mind or H in seen:
            continue
        for k in ops:
            kinv = po.inverse(k)
            seen.add(frozenset(pi._mul(pi._mul(k, h), kinv) for h in H))
        out.append((H, F))
    return out


@lru_cache(maxsize=None)
def _pml_rotation(L, k):
    P = st.primitive_basis(L)
    A = rm.mul(rm.mul(rm.inv(P), rm.mat(po.rot(k))), P)
    return tuple(int(x) for row in A for x in row)


@lru_cache(maxsize=None)
def identify(L, ops):
    """Space-group number of the operators (SPACE_OP tuples in "pml") with the lattice of
    "pml"."""
    g = sgtbx.space_group()
    for t1, t2, t3, d, k in ops:
        rt = sgtbx.rt_mx(sgtbx.rot_mx(_pml_rotation(L, k), 1),
                         sgtbx.tr_vec((t1 * 12 // d, t2 * 12 // d, t3 * 12 // d), 12))
        g.expand_smx(rt)
    return sgtbx.space_group_info(group=g).type().number()


# --- site data -------------------------------------------------------------------------------

def _vector_matrix(k, kind):
    R = nf.mat(po.rot(k))
    if kind == 2 and not po.is_proper(k):
        R = nf.scale(R, -1)
    return R


def _intertwiners(lst, ref, irrep, kind):
    """Basis of the 3 x s matrices X with V(lst_j) X = X S(ref_j) for all j."""
    s = irrep.dim
    rows = []
    place = {k: j for j, k in enumerate(ref)}
    gens = po.PG_REFERENCE_GENERATORS[irrep.pg - 1]
    for a, b in ((lst[place[g]], g) for g in gens):
        V = _vector_matrix(a, kind)
        S = irrep.matrix(b)
        for i in range(3):
            for c in range(s):
                row = [nf.ZERO] * (3 * s)
                for j in range(3):
                    row[c * 3 + j] += V[i][j]
                for d in range(s):
                    row[d * 3 + i] -= S[d][c]
                rows.append(row)
    return nf.nullspace(rows, 3 * s)


def _scaled(v):
    big = max(v, key=lambda x: abs(float(x)))
    return tuple(x / abs_q3(big) for x in v)


def abs_q3(x):
    return x if float(x) > 0 else -x


@lru_cache(maxsize=None)
def vector_slots(p, kind):
    """[(site irrep r, position of the block among the irrep's blocks)] per slot, from the
    reference orientation, and the blocks (list of 3 x s bases by irrep) of that list."""
    irreps = pi.point_group_irreps(p)
    ref = po.point_group_ops(p)
    multi, single = [], []
    for r, ir in enumerate(irreps, start=1):
        basis = _intertwiners(ref, ref, ir, kind)
        per = 2 if ir.reality == 3 else 1
        if len(basis) % per:
            fail("point group %d: intertwiner space of odd dimension" % p)
        nblocks = len(basis) // per
        if not nblocks:
            continue
        if ir.dim > 1:
            multi.append((r, ir.dim, nblocks))
        else:
            for b in range(nblocks):
                first = next(i for i, x in enumerate(basis[b]) if x)
                single.append((first, r, b))
    slots = []
    for r, s, n in multi:
        for b in range(n):
            slots.append((r, b, s))
    for _, r, b in sorted(single, key=lambda t: t[0]):
        slots.append((r, b, 1))
    if sum(s for _, _, s in slots) != 3:
        fail("point group %d: vector slots do not add up to 3" % p)
    return slots


def vector_basis(p, lst, kind):
    """3 x 3 basis E (rows x, columns slots) for orientation list lst of point group p."""
    irreps = pi.point_group_irreps(p)
    ref = po.point_group_ops(p)
    slots = vector_slots(p, kind)
    E = [[nf.ZERO] * 3 for _ in range(3)]
    col = 0
    for r, b, s in slots:
        ir = irreps[r - 1]
        basis = _intertwiners(lst, ref, ir, kind)
        per = 2 if ir.reality == 3 else 1
        v = _scaled(basis[b * per])
        for c in range(s):
            for x in range(3):
                E[x][col + c] = v[c * 3 + x]
        col += s
    return E, slots


# --- the builder ------------------------------------------------------------------------------

def _fr(num, den):
    return Fraction(int(num), int(den))


@lru_cache(maxsize=None)
def site_point_ops(sh, g, wyc):
    """Point operations of the operators of g that fix Wyckoff position wyc pointwise."""
    L = sh.bravais(g)
    W = sh.w["WYC_MATRIX_TABLE"][:, :, wyc - 1]
    const = [_fr(W[i, 0], W[3, 0]) for i in range(3)]
    dirs = [[int(W[i, c]) for i in range(3)] for c in range(1, 4) if W[3, c] != 0]
    out = []
    for t1, t2, t3, d, k in sh.ops(g):
        R = _pml_rotation(L, k)
        Rm = [R[0:3], R[3:6], R[6:9]]
        if any([sum(Rm[i][j] * v[j] for j in range(3)) for i in range(3)] != v for v in dirs):
            continue
        t = (_fr(t1, d), _fr(t2, d), _fr(t3, d))
        x = [sum(Rm[i][j] * const[j] for j in range(3)) + t[i] - const[i] for i in range(3)]
        if all(v.denominator == 1 for v in x):
            out.append(k)
    return out


def build(space, wyckoff, special_points=None, limits=None, progress=None,
          check_constants=True):
    sh = Shared(space, wyckoff)
    consts = Constants()
    img = binfile.empty_arrays(modelayout.IMAGE_LAYOUT)
    irr = binfile.empty_arrays(modelayout.IRREP_LAYOUT)
    lit = binfile.empty_arrays(modelayout.LITTLE_LAYOUT)
    iso = binfile.empty_arrays(modelayout.ISOTROPY_LAYOUT)
    wyc = {name: np.zeros(dims, dtype=np.int64) for name, kind, dims in binfile.WYCKOFF_LAYOUT
           if name.startswith(("IRREP_WYC", "PG_IRREP", "PG_VECTOR"))}
    for arrays, names in ((irr, ("IRREP_LABEL", "IRREP_SECOND_LABEL")),
                          (lit, ("KVEC_LABEL", "LITTLE_IRREP_LABEL"))):
        for name in names:
            arrays[name][...] = b" "
    report = []

    # Images.
    images = pi.images()
    for im in images:
        img["IMAGE_DIMENSION"][im.number - 1] = im.dim
        img["IMAGE_REALITY_TYPE"][im.number - 1] = im.reality
    S2 = [(R2, 0.0), (0.0, -R2), (R2, 0.0), (0.0, R2)]  # by columns: (1, -i), (1, i) / sqrt 2
    transform_values = []
    for re, im_ in S2:
        consts.need(re, small=True)
        consts.need(im_, small=True)
        transform_values += [re, im_]
    for im in images:
        if im.reality != 1:
            img["IMAGE_TRANSFORM_START"][im.number - 1] = 1

    # k lists and little co-groups.
    for L in range(1, 15):
        types = kvectors.k_types(L)
        lit["KVEC_COUNT"][L - 1] = len(types)
        for j in range(27):
            lit["KVEC_MATRIX"][3, :, j, L - 1] = 1
        for j, t in enumerate(types):
            lit["KVEC_LABEL"][j, L - 1] = t.label.encode()
            lit["KVEC_PARAMETER_COUNT"][j, L - 1] = t.npar
            for c, col in enumerate(t.kvec_matrix()):
                lit["KVEC_MATRIX"][:, c, j, L - 1] = col
    for g in range(1, 231):
        L = sh.bravais(g)
        types = kvectors.k_types(L)
        pops = [op[4] for op in sh.ops(g)]
        for j in range(27):
            co = kvectors.little_cogroup(L, pops, types[j]) if j < len(types) else [pops[0]]
            if len(pops) % len(co):
                fail("group %d k %d: co-group order does not divide the group order" % (g, j + 1))
            lit["LITTLE_COGROUP_ORDER"][j, g - 1] = len(co)
            lit["LITTLE_COGROUP_OPS"][:len(co), j, g - 1] = co

    # Zone-centre irreps.
    matrix_pos = {}
    elements = []
    starts = []
    irrep_of = {}          # (g, slot) -> irrep number
    number = 0
    opds = {}
    opd_list = []
    iso_entries = []       # per irrep: list of (sg, opd)
    wyc_first, wyc_start, wyc_count, wyc_site, wyc_mult = [], [], [], [], []
    matrix_values = set()
    for g in range(1, 231):
        p = sh.pg(g)
        L = sh.bravais(g)
        phi = correspondence(sh, g)
        ops = sh.ops(g)
        irreps = pi.point_group_irreps(p)
        lit["LITTLE_IRREP_COUNT"][0, g - 1] = len(irreps)
        for r, ir in enumerate(irreps, start=1):
            number += 1
            i = number
            irrep_of[(g, r)] = i
            mats = [nf.identity(ir.dim)] * 3 + [ir.matrix(phi[op[4]]) for op in ops]
            label = standard_labels.label(
                g, "GM", [_float(M) for M in mats[:3]],
                [_float(M) for M in mats[3:]], (Fraction(0),) * 3).encode()
            irr["IRREP_SG"][i - 1] = g
            irr["IRREP_IMAGE"][i - 1] = ir.image.number
            irr["IRREP_LABEL"][i - 1] = label
            irr["IRREP_SECOND_LABEL"][i - 1] = ir.label.encode()
            irr["IRREP_MATRIX_FIRST"][i - 1] = len(starts) + 1
            for M in mats:
                if M not in matrix_pos:
                    matrix_pos[M] = len(elements) + 1
                    for c in range(ir.dim):
                        for rr in range(ir.dim):
                            elements.append(M[rr][c])
                            matrix_values.add(M[rr][c])
                starts.append(matrix_pos[M])
            # Little irrep with the same number.
            lit["LITTLE_IRREP_NUMBER"][r - 1, 0, g - 1] = i
            lit["LITTLE_IRREP_TO_IRREP"][i - 1] = i
            lit["LITTLE_IRREP_SG"][i - 1] = g
            lit["LITTLE_IRREP_DIMENSION"][i - 1] = ir.dim
            lit["LITTLE_IRREP_REALITY"][i - 1] = ir.reality
            lit["LITTLE_IRREP_KVEC"][i - 1] = 1
            lit["LITTLE_IRREP_SMALL_IRREP"][i - 1] = r
            lit["LITTLE_IRREP_LABEL"][i - 1] = label
            lit["SMALL_IRREP_DIMENSION"][r - 1, 0, g - 1] = ir.dim // (2 if ir.reality != 1 else 1)
            # Isotropy subgroups.
            entries = []
            for H, F in isotropy(p, r):
                sub = tuple(op for op in ops if phi[op[4]] in H)
                sg = identify(L, sub)
                key = (ir.dim, tuple(round(float(x), 9) for v in F for x in v))
                if key not in opds:
                    opds[key] = len(opd_list) + 1
                    opd_list.append((ir.dim, F))
                entries.append((sg, opds[key], UNIT_LATTICE))
            iso_entries.append(entries)
            # Site irreps of every Wyckoff position.
            wyc_first.append(len(wyc_start) + 1)
            for w in sh.wyc_range(g):
                spg = int(sh.w["WYC_SITE_POINT_GROUP"][w - 1])
                sops = site_point_ops(sh, g, w)
                lst = next((l for _, l in sh.lists(spg) if set(sops) <= set(l)), None)
                if lst is None or len(sops) != len(lst):
                    fail("group %d position %d: site operations fit no list" % (g, w))
                sref = po.point_group_ops(spg)
                place = {k: j for j, k in enumerate(lst)}
                wyc_start.append(len(wyc_site) + 1)
                n = 0
                for s, sir in enumerate(pi.point_group_irreps(spg), start=1):
                    tot = nf.ZERO
                    for k in sops:
                        tot += ir.char[phi[k]] * sir.char[sref[place[k]]]
                    norm = len(sops) * (2 if sir.reality == 3 else 1)
                    m = tot / norm
                    if m.b != 0 or m.a.denominator != 1 or m.a < 0:
                        fail("group %d irrep %d position %d: multiplicity %r" % (g, r, w, m))
                    if m.a:
                        wyc_site.append(s)
                        wyc_mult.append(int(m.a))
                        n += 1
                wyc_count.append(n)
    n_irreps = number
    report.append(("stored irreps (zone centre)", n_irreps, N_IRREP - 1))

    # Site irrep tables of the point groups.
    bases = []             # (list number, kind, E) for PG_VECTOR_BASIS
    for p in range(1, 33):
        irreps = pi.point_group_irreps(p)
        wyc["PG_IRREP_COUNT"][p - 1] = len(irreps)
        gsym = SYMMORPHIC_P[p - 1]
        if sh.pg(gsym) != p or sorted(op[4] for op in sh.ops(gsym)) != list(po.point_group_ops(p)):
            fail("group %d is not point group %d in its reference orientation" % (gsym, p))
        for r in range(1, len(irreps) + 1):
            wyc["PG_IRREP_INDEX"][r - 1, p - 1] = irrep_of[(gsym, r)]
        for kind in (1, 2):
            for n_list, lst in sh.lists(p):
                E, slots = vector_basis(p, lst, kind)
                for slot, (r, _, s) in enumerate(slots):
                    for c in range(s):
                        wyc["PG_VECTOR_IRREP"][slot_index(slots, slot) + c, kind - 1, p - 1] = r
                for x in range(3):
                    for c in range(3):
                        consts.need(E[x][c], small=True)
                bases.append((n_list, kind, E))

    # Irreps at the special points.
    stage2 = None
    if special_points is not None:
        for x in matrix_values:
            consts.need(x)
        for _, F in opd_list:
            for v in F:
                for x in v:
                    consts.need(x)
        state = _stage2_state(images, img, irr, lit, consts, starts, elements, matrix_pos,
                              transform_values, opds, opd_list, iso_entries, wyc_first,
                              wyc_start, wyc_count, wyc_site, wyc_mult, n_irreps)
        stage2 = fixed_tables.Stage2(state, special_points, limits, check_constants)
        stage2.run(sh, progress=progress)
        stage2.need = fixed_tables.whole_need(stage2, sh) if stage2.uncovered else None
        n_irreps = state.n_irreps
        matrix_values.update(elements)
        images = state.registry.images
        for im in images:
            img["IMAGE_DIMENSION"][im.number - 1] = im.dim
            img["IMAGE_REALITY_TYPE"][im.number - 1] = im.reality
            if im.reality != 1:
                img["IMAGE_TRANSFORM_START"][im.number - 1] = im.transform
    report.append(("stored irreps (all)", n_irreps, N_IRREP))
    # Little irreps at the k types with parameters (induced at run time), numbered after the
    # last little irrep in use.
    first_number = int(lit["LITTLE_IRREP_NUMBER"].max()) + 1
    write_parameter_points = parameter_kpoints.build(sh, lit, consts, first_number, report)

    # Constant table.
    for x in matrix_values:
        consts.need(x)
    for _, F in opd_list:
        for v in F:
            for x in v:
                consts.need(x)
    consts.need(1.0, small=True)
    for x in transform_values:
        consts.need(x, small=True)
    consts.finish()

    # Write the value arrays.
    if len(transform_values) > 4840:
        fail("IMAGE_TRANSFORM_VALUE full")
    write_parameter_points()
    img["IMAGE_TRANSFORM_VALUE"][:len(transform_values)] = [consts(x) for x in transform_values]
    for n_list, kind, E in bases:
        for x in range(3):
            for c in range(3):
                wyc["PG_VECTOR_BASIS"][x, c, kind - 1, n_list - 1] = consts(E[x][c])
    if len(elements) > 170000 or len(starts) > 80000:
        fail("IRREP_MATRIX_ELEMENT or IRREP_MATRIX_START full")
    irr["IRREP_MATRIX_START"][:len(starts)] = starts
    irr["IRREP_MATRIX_ELEMENT"][:len(elements)] = [consts(x) for x in elements]
    report.append(("IRREP_MATRIX_START", len(starts), 80000))
    report.append(("IRREP_MATRIX_ELEMENT", len(elements), 170000))

    pos = 1
    for o, (dim, F) in enumerate(opd_list, start=1):
        img["OPD_DIMENSION"][o - 1] = dim
        img["OPD_PARAMETER_COUNT"][o - 1] = len(F)
        img["OPD_VECTOR_START"][o - 1] = pos
        for v in F:
            for x in v:
                img["OPD_VECTOR_COMPONENT"][pos - 1] = consts(x)
                pos += 1
    if len(opd_list) > 700 or pos - 1 > 27300:
        fail("OPD arrays full")
    report.append(("OPD (order-parameter directions)", len(opd_list), 700))
    report.append(("OPD_VECTOR_COMPONENT", pos - 1, 27300))

    e = 1
    for i in range(1, N_IRREP + 1):
        iso["ISOTROPY_IRREP_FIRST"][i - 1] = e
        if i <= n_irreps:
            for sg, o, lattice in iso_entries[i - 1]:
                iso["ISOTROPY_SG"][e - 1] = sg
                iso["ISOTROPY_OPD"][e - 1] = o
                iso["ISOTROPY_SUPERLATTICE"][:, :, e - 1] = np.array(lattice, dtype=np.int64)
                e += 1
    iso["ISOTROPY_IRREP_FIRST"][N_IRREP] = e
    if e - 1 > 15239:
        fail("isotropy entries full")
    report.append(("isotropy entries", e - 1, 15239))

    wyc["IRREP_WYC_FIRST"][:len(wyc_first)] = wyc_first
    wyc["IRREP_WYC_LIST_START"][:len(wyc_start)] = wyc_start
    wyc["IRREP_WYC_LIST_COUNT"][:len(wyc_count)] = wyc_count
    wyc["IRREP_WYC_SITE_IRREP"][:len(wyc_site)] = wyc_site
    wyc["IRREP_WYC_MULTIPLICITY"][:len(wyc_mult)] = wyc_mult
    if len(wyc_start) > 44000 or len(wyc_site) > 61000:
        fail("IRREP_WYC arrays full")
    report.append(("IRREP_WYC entries (irrep, position)", len(wyc_start), 44000))
    report.append(("IRREP_WYC site-irrep list items", len(wyc_site), 61000))
    report.append(("images", len(images), 132))
    report.append(("IMAGE_TRANSFORM_VALUE", len(transform_values), 4840))
    report.append(("little irreps at k types without parameters", n_irreps, 10300))
    report.append(("k types", sum(len(kvectors.k_types(L)) for L in range(1, 15)), 14 * 27))
    report.append(("constant table entries", consts.count, 600))
    if len(images) > 132:
        fail("%d images, at most 132" % len(images))
    return {"data_images.bin": img, "data_irreps.bin": irr, "data_little.bin": lit,
            "data_isotropy.bin": iso}, consts.text(), wyc, report, stage2


def _stage2_state(images, img, irr, lit, consts, starts, elements, matrix_pos, transform_values,
                  opds, opd_list, iso_entries, wyc_first, wyc_start, wyc_count, wyc_site,
                  wyc_mult, n_irreps):
    """What the special points continue from: the zone-centre arrays and lists, matrix
    positions by value, the zone-centre images registered first (numbers 1-13)."""
    registry = fixed_tables.Registry()
    for im in images:
        group = fixed_tables.MatrixGroup([_float(M) for M in im.matrices])
        registry.add(group, im.reality, 1 if im.reality != 1 else 0)
    key_of_s = tuple(round(float(x), 9) for x in (R2, 0, R2, 0, 0, -R2, 0, R2))
    return SimpleNamespace(
        registry=registry, img=img, irr=irr, lit=lit, consts=consts, starts=starts,
        elements=elements, store=fixed_tables.MatrixElements(elements),
        matrix_pos={fixed_tables.mkey(_float(M)): p for M, p in matrix_pos.items()},
        transform_values=transform_values, transform_pos={key_of_s: 1}, opds=opds,
        opd_list=opd_list, iso_entries=iso_entries, wyc_first=wyc_first, wyc_start=wyc_start,
        wyc_count=wyc_count, wyc_site=wyc_site, wyc_mult=wyc_mult, n_irreps=n_irreps)


def _float(M):
    return np.array([[float(x) for x in row] for row in M], dtype=float)


def slot_index(slots, n):
    """First vector slot (0-based) of entry n of the slot list."""
    return sum(s for _, _, s in slots[:n])
