"""Little irreps at the k types with parameters (lines, planes, the general point GP).

No irrep is stored for these k types (`LITTLE_IRREP_TO_IRREP` 0): `vibrex` induces the little
irreps at run time from the small irreps of the little co-group, multiplied by
exp(2 pi i k . t) for an operator (R|t) of the little group. This module makes, for every
group and every k type with parameters:

* the small irreps Gamma: projective irreps of the little co-group with the factor system
  w(R1, R2) = exp(2 pi i kappa . (R1 t2 - t2)), t2 the listed translation of R2 ("pml"). A
  co-group operation keeps the parameter directions exactly, so kappa . (R1 t2 - t2) does not
  depend on the parameter values and neither do the small irreps;
* exact values: the co-groups here are C1, Cs, Cn and Cnv (a line's co-group fixes its
  direction; a plane's fixes the plane); a small irrep of dimension 2 is written in the basis
  where the rotations about the line are diagonal (eigenvalues in increasing angle), the
  phase fixed by entry (2, 1) of the first improper operation being 1. Every entry is then 0
  or a root of unity exp(2 pi i a), held exactly as the fraction a, and the factor system is
  re-verified exactly on these monomial matrices;
* reality types from the Frobenius-Schur indicator summed over the operators that send kappa
  to -kappa (computed at a generic parameter value); one slot per physically irreducible
  irrep, complex small irreps whose conjugate partner lies in the star sharing one;
* slots ordered by little dimension, reality type, then the characters (real parts, then
  imaginary parts, co-group operations in listed order) descending; labels k label + slot;
* the site lists `LITTLE_IRREP_WYC_*` from the real characters on the site operators
  (translations included) at two generic parameter values, which must agree;
* for types 2 and 3 the real-form transformation S = (1/sqrt 2) ((I, I), (-i I, i I)) of the
  little dimension, stored once per dimension in `LITTLE_IRREP_TRANSFORM_VALUE` and shared.

Storage: the characters of all slots of one (group, k) are one block of
`SMALL_IRREP_1D_VALUE` (row m the characters of slot m); the matrices of a small irrep of
dimension 2 one block of `SMALL_IRREP_MATRIX_VALUE`; site-irrep lists in
`LITTLE_IRREP_WYC_SITE_IRREP` / `_MULTIPLICITY`. Equal blocks and lists are stored once.
"""
import cmath
import math
from fractions import Fraction

import numpy as np

from . import kvectors
from . import pgirreps as pi
from . import pointops as po
from .fixed_kpoints import group_operators, small_irreps, translation

# Generic parameter values (two sets, the results must agree).
GENERIC = ((Fraction(1234567, 9876543), Fraction(2345671, 8765437), Fraction(3456713, 7654327)),
           (Fraction(4567139, 6543217), Fraction(5671393, 5432173), Fraction(6713933, 4321739)))
ANGLE_DEN = 48          # roots of unity of the small irreps: exp(2 pi i a / 48)

EXTENTS = {
    "little irreps": 10300,
    "SMALL_IRREP_1D_VALUE": 11200,
    "SMALL_IRREP_MATRIX_VALUE": 107000,
    "LITTLE_IRREP_TRANSFORM_VALUE": 12200,
    "LITTLE_IRREP_WYC_LIST_START": 47000,
    "LITTLE_IRREP_WYC_SITE_IRREP": 104000,
}


_PRODUCTS = None
_CACHE = {}


def _product(a, b):
    """Point-operation product from the table (computed once)."""
    global _PRODUCTS
    if _PRODUCTS is None:
        _PRODUCTS = po.product_table()
    return _PRODUCTS[a - 1][b - 1]


def _operators(sh, g):
    key = ("ops", id(sh), g)
    if key not in _CACHE:
        _CACHE[key] = group_operators(sh, g)
    return _CACHE[key]


def fail(msg):
    raise SystemExit("make_tables (parameter k types): " + msg)


def _frac_part(x):
    return x - (x.numerator // x.denominator)


def _phase(x):
    """exp(2 pi i x) for a Fraction x."""
    x = _frac_part(x)
    return cmath.exp(2j * cmath.pi * float(x))


def _dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def _kappa(ktype, values):
    return tuple(ktype.const[i] + sum(values[p] * d[i] for p, d in enumerate(ktype.dirs))
                 for i in range(3))


def root_value(a):
    """(cos, sin) of 2 pi a, exact angles snapped to clean zeros and ones."""
    a = _frac_part(a)
    c, s = math.cos(2 * math.pi * a), math.sin(2 * math.pi * a)
    return (0.0 if abs(c) < 1e-15 else c), (0.0 if abs(s) < 1e-15 else s)


class Monomial:
    """s x s matrix with one root of unity per row: row i has exp(2 pi i ang[i]) in column
    col[i]. Exact (the angles are Fractions modulo 1)."""

    def __init__(self, col, ang):
        self.col = tuple(col)
        self.ang = tuple(_frac_part(Fraction(a)) for a in ang)

    def __mul__(self, o):
        return Monomial([o.col[c] for c in self.col],
                        [a + o.ang[c] for a, c in zip(self.ang, self.col)])

    def scaled(self, a):
        return Monomial(self.col, [x + a for x in self.ang])

    def __eq__(self, o):
        return self.col == o.col and self.ang == o.ang

    def __hash__(self):
        return hash((self.col, self.ang))

    def trace(self):
        return sum((_phase(a) for i, (c, a) in enumerate(zip(self.col, self.ang)) if c == i), 0j)

    def entries_by_columns(self):
        """Angle of each entry (None for 0), column by column (row fastest)."""
        s = len(self.col)
        out = []
        for c in range(s):
            for r in range(s):
                out.append(self.ang[r] if self.col[r] == c else None)
        return out


def _snap_angle(z):
    if abs(abs(z) - 1) > 1e-7:
        return None
    a = Fraction(round(cmath.phase(z) / (2 * math.pi) * ANGLE_DEN), ANGLE_DEN)
    if abs(_phase(a) - z) > 1e-7:
        return None
    return _frac_part(a)


class ParameterPoint:
    """Small irreps, slots and induced matrices of group g at a k type with parameters."""

    def __init__(self, sh, g, kindex):
        self.g, self.kindex = g, kindex
        L = self.L = sh.bravais(g)
        kt = self.ktype = kvectors.k_types(L)[kindex - 1]
        if not kt.npar:
            raise ValueError("k type %s has no parameter" % kt.label)
        self.label = kt.label
        self.ops = _operators(sh, g)
        pops = [op.k for op in self.ops]
        self.co = kvectors.little_cogroup(L, pops, kt)
        listed = {op.k: op for op in self.ops}
        self.co_ops = [listed[k] for k in self.co]
        self.pos = {k: i for i, k in enumerate(self.co)}
        self.kappas = [_kappa(kt, v) for v in GENERIC]
        self.kappa = self.kappas[0]
        self._star()
        self._factor_system()
        self._small_irreps()
        self._reality()
        self._slots()

    # -- star -------------------------------------------------------------------------------
    def _star(self):
        co = set(self.co)
        marked = set()
        self.reps = []
        for op in self.ops:
            if op.k in marked:
                continue
            self.reps.append(op)
            for k in co:
                q = _product(op.k, k)
                if q in marked:
                    fail("group %d %s: cosets overlap" % (self.g, self.label))
                marked.add(q)
        self.narm = len(self.reps)
        self.rep_inv = [r.inverse() for r in self.reps]

    # -- factor system ------------------------------------------------------------------------
    def _factor_system(self):
        """w(a, b) as an exact angle: kappa . (R_a t_b - t_b) mod 1, the same for both generic
        parameter values."""
        n = len(self.co)
        self.prod = [[self.pos[_product(a, b)] for b in self.co] for a in self.co]
        W = []
        for kap in self.kappas:
            rows = []
            for A in self.co_ops:
                row = []
                for B in self.co_ops:
                    Rt2 = [sum(A.rot[i][j] * B.t[j] for j in range(3)) for i in range(3)]
                    row.append(_frac_part(_dot(kap, [Rt2[i] - B.t[i] for i in range(3)])))
                rows.append(row)
            W.append(rows)
        if W[0] != W[1]:
            fail("group %d %s: factor system depends on the parameters" % (self.g, self.label))
        self.w = W[0]
        self.nco = n

    # -- small irreps -----------------------------------------------------------------------
    def _small_irreps(self):
        n = self.nco
        numeric = small_irreps(
            self.prod, [[_phase(x) for x in row] for row in self.w],
            4321 + 1000 * self.g + self.kindex)
        if sum(m[0].shape[0] ** 2 for m, _ in numeric) != n:
            fail("group %d %s: small irreps do not fill the co-group" % (self.g, self.label))
        self.small = [self._exact(mats) for mats, _ in numeric]
        for mats in self.small:
            self._verify(mats)

    def _exact(self, mats):
        s = mats[0].shape[0]
        if s == 1:
            out = []
            for M in mats:
                a = _snap_angle(M[0, 0])
                if a is None:
                    fail("group %d %s: 1-dim small irrep value %r is no root of unity"
                         % (self.g, self.label, M[0, 0]))
                out.append(Monomial((0,), (a,)))
            return out
        if s != 2:
            fail("group %d %s: small irrep of dimension %d" % (self.g, self.label, s))
        proper = [i for i, k in enumerate(self.co) if po.is_proper(k)]
        improper = [i for i, k in enumerate(self.co) if not po.is_proper(k)]
        # A generator of the rotations about the line: the proper operation whose matrix has
        # two distinct eigenvalues (the rotations commute, the cyclic group is generated by one).
        V = None
        for i in proper:
            vals, vecs = np.linalg.eig(mats[i])
            if abs(vals[0] - vals[1]) > 1e-6:
                order = sorted(range(2), key=lambda j: _frac_part(
                    Fraction(cmath.phase(vals[j]) / (2 * math.pi)).limit_denominator(10 ** 6)))
                V = vecs[:, order]
                V = V / np.linalg.norm(V, axis=0)
                break
        if V is None or not improper:
            fail("group %d %s: no diagonal basis for a 2-dim small irrep" % (self.g, self.label))
        m = improper[0]
        B = np.linalg.inv(V) @ mats[m] @ V
        V[:, 1] *= B[1, 0] / abs(B[1, 0])
        out = []
        for M in mats:
            B = np.linalg.inv(V) @ M @ V
            col, ang = [], []
            for r in range(2):
                c = int(np.argmax(np.abs(B[r])))
                a = _snap_angle(B[r, c])
                if a is None or abs(B[r, 1 - c]) > 1e-7:
                    fail("group %d %s: 2-dim small irrep is not monomial"
                         % (self.g, self.label))
                col.append(c)
                ang.append(a)
            out.append(Monomial(col, ang))
        if out[m].col[1] != 0 or out[m].ang[1] != 0:
            fail("group %d %s: phase of the 2-dim basis not fixed" % (self.g, self.label))
        return out

    def _verify(self, mats):
        """Exact check of Gamma(a) Gamma(b) = w(a, b) Gamma(ab)."""
        n = self.nco
        for a in range(n):
            for b in range(n):
                if mats[a] * mats[b] != mats[self.prod[a][b]].scaled(self.w[a][b]):
                    fail("group %d %s: small irrep breaks the factor system"
                         % (self.g, self.label))

    def chars(self, m):
        return np.array([M.trace() for M in self.small[m]])

    def small_dim(self, m):
        return len(self.small[m][0].col)

    # -- reality and slots ------------------------------------------------------------------
    def _reality(self):
        types_seen = []
        for kap in self.kappas:
            minus = tuple(-x for x in kap)
            to_minus = [op for op in self.ops
                        if all(x.denominator == 1 for x in
                               (a - b for a, b in zip(_apply(self.L, op.k, kap), minus)))]
            types = []
            for m in range(len(self.small)):
                ch = self.chars(m)
                tot = 0j
                for op in to_minus:
                    sq = op * op
                    tot += _phase(_dot(kap, sq.t)) * ch[self.pos[sq.k]]
                ind = tot / self.nco
                if abs(ind - 1) < 1e-6:
                    types.append(1)
                elif abs(ind + 1) < 1e-6:
                    types.append(2)
                elif abs(ind) < 1e-6:
                    types.append(3)
                else:
                    fail("group %d %s: indicator %r" % (self.g, self.label, ind))
            types_seen.append((types, [op.k for op in to_minus]))
            if kap is self.kappa:
                self.to_minus = to_minus
        if types_seen[0] != types_seen[1]:
            fail("group %d %s: reality depends on the parameters" % (self.g, self.label))
        self.types = types_seen[0][0]

    def conjugate_partner(self, m):
        """Small irrep equivalent to the conjugate of m carried back to kappa (None when
        -kappa is outside the star)."""
        if not self.to_minus:
            return None
        g = self.to_minus[0]
        gi = g.inverse()
        ch = self.chars(m)
        want = []
        for h in self.co_ops:
            c = gi * h * g
            want.append(np.conj(_phase(_dot(self.kappa, c.t)) * ch[self.pos[c.k]])
                        * np.conj(_phase(_dot(self.kappa, h.t))))
        want = np.array(want)
        for j in range(len(self.small)):
            if np.allclose(self.chars(j), want, atol=1e-6):
                return j
        fail("group %d %s: no conjugate partner" % (self.g, self.label))

    def _slots(self):
        def key(m):
            ch = self.chars(m)
            return (self.small_dim(m), self.types[m],
                    tuple(-round(x, 9) for x in ch.real), tuple(-round(x, 9) for x in ch.imag))
        order = sorted(range(len(self.small)), key=key)
        out, taken = [], set()
        for m in order:
            if m in taken:
                continue
            out.append(m)
            if self.types[m] == 3:
                p = self.conjugate_partner(m)
                if p is not None:
                    if p == m:
                        fail("group %d %s: complex irrep is its own partner"
                             % (self.g, self.label))
                    taken.add(p)
        self.slots = sorted(out, key=lambda m: (self.little_dimension(m),) + key(m)[1:])

    def little_dimension(self, m):
        return self.narm * self.small_dim(m) * (1 if self.types[m] == 1 else 2)

    # -- induced characters ------------------------------------------------------------------
    def _conjugates(self):
        """Per point operation K of the group: arms a with g_a^-1 (K|t_K) g_a in the little
        group, the co-group positions, the translations of those products and R_a^-1."""
        if hasattr(self, "_conj"):
            return self._conj
        self._conj = {}
        for op in self.ops:
            us, ts, rinv = [], [], []
            for a in range(self.narm):
                if _product(self.rep_inv[a].k, _product(op.k, self.reps[a].k)) not in self.pos:
                    continue
                h = self.rep_inv[a] * op * self.reps[a]
                if h.k in self.pos:
                    us.append(self.pos[h.k])
                    ts.append([float(x) for x in h.t])
                    rinv.append(self.rep_inv[a].rot)
            self._conj[op.k] = (op, np.array(us, dtype=int), np.array(ts).reshape(-1, 3),
                                np.array(rinv, dtype=float).reshape(-1, 3, 3))
        return self._conj

    def induced_characters(self, ops, kappa):
        """Characters (small irreps x ops) of the induced irreps of every small irrep."""
        conj = self._conjugates()
        kap = np.array([float(x) for x in kappa])
        tab = np.array([self.chars(m) for m in range(len(self.small))])
        out = np.zeros((len(self.small), len(ops)), dtype=complex)
        for j, op in enumerate(ops):
            listed, us, ts, rinv = conj[op.k]
            if not len(us):
                continue
            n = np.array([float(a - b) for a, b in zip(op.t, listed.t)])
            x = (ts + rinv @ n) @ kap
            out[:, j] = tab[:, us] @ np.exp(2j * np.pi * x)
        return out


def _apply(L, k, v):
    A = kvectors.k_rotation(L, k)
    return tuple(sum(Fraction(A[i][j]) * v[j] for j in range(3)) for i in range(3))


def parameter_kindices(L):
    return [j for j, t in enumerate(kvectors.k_types(L), start=1) if t.npar]


# --- site operators ------------------------------------------------------------------------

def site_operators(sh, g, wyc, ops):
    """Operators (listed operator plus the lattice translation) of g that fix every point of
    Wyckoff position wyc."""
    key = ("site", id(sh), g, wyc)
    if key not in _CACHE:
        _CACHE[key] = _site_operators(sh, g, wyc, ops)
    return _CACHE[key]


def _site_operators(sh, g, wyc, ops):
    W = sh.w["WYC_MATRIX_TABLE"][:, :, wyc - 1]
    const = [Fraction(int(W[i, 0]), int(W[3, 0])) for i in range(3)]
    dirs = [[int(W[i, c]) for i in range(3)] for c in range(1, 4) if W[3, c] != 0]
    out = []
    for op in ops:
        R = op.rot
        if any([sum(R[i][j] * v[j] for j in range(3)) for i in range(3)] != v for v in dirs):
            continue
        x = [sum(R[i][j] * const[j] for j in range(3)) + op.t[i] - const[i] for i in range(3)]
        if all(v.denominator == 1 for v in x):
            n = tuple(-v for v in x)
            out.append(translation(None, n + (op.k,)) * op)
    return out


def site_lists(sh, P, slot_ms):
    """Per slot: list (per Wyckoff position of the group) of [(site irrep, multiplicity)]."""
    g = P.g
    result = [[] for _ in slot_ms]
    for w in sh.wyc_range(g):
        spg = int(sh.w["WYC_SITE_POINT_GROUP"][w - 1])
        sops = site_operators(sh, g, w, P.ops)
        ks = [op.k for op in sops]
        lst = next((l for _, l in sh.lists(spg) if set(ks) <= set(l)), None)
        if lst is None or len(ks) != len(lst):
            fail("group %d position %d: site operations fit no list" % (g, w))
        sref = po.point_group_ops(spg)
        place = {k: j for j, k in enumerate(lst)}
        sirreps = pi.point_group_irreps(spg)
        schar = np.array([[float(sir.char[sref[place[k]]]) for k in ks] for sir in sirreps])
        norms = np.array([len(ks) * (2 if sir.reality == 3 else 1) for sir in sirreps])
        mults = []
        for kap in P.kappas:
            ch = P.induced_characters(sops, kap)
            real = []
            for m in slot_ms:
                real.append(ch[m].real if P.types[m] == 1 else 2 * ch[m].real)
            if np.abs(np.array([ch[m].imag for m in slot_ms if P.types[m] == 1])).max(initial=0) \
                    > 1e-6:
                fail("group %d %s: complex character of a real irrep" % (g, P.label))
            mm = np.array(real) @ schar.T / norms
            if np.abs(mm - np.rint(mm)).max(initial=0) > 1e-6 or mm.min(initial=0) < -1e-6:
                fail("group %d %s position %d: multiplicities %r" % (g, P.label, w, mm))
            mults.append(np.rint(mm).astype(int))
        if not np.array_equal(mults[0], mults[1]):
            fail("group %d %s position %d: multiplicities depend on the parameters"
                 % (g, P.label, w))
        for i, m in enumerate(slot_ms):
            # The mode projection divides the multiplicity (doubled for a site irrep that is
            # not real) by 1, 4, 2 for reality types 1, 2, 3.
            divisor = (1, 4, 2)[P.types[m] - 1]
            for s, c in enumerate(mults[0][i]):
                if c * (1 if sirreps[s].reality == 1 else 2) % divisor:
                    fail("group %d %s position %d: multiplicity %d of site irrep %d does not "
                         "divide by %d" % (g, P.label, w, c, s + 1, divisor))
        for i in range(len(slot_ms)):
            result[i].append(tuple((s + 1, int(c)) for s, c in enumerate(mults[0][i]) if c))
    return result


# --- the tables ------------------------------------------------------------------------------

def transform_matrix(n):
    """S = (1/sqrt 2) ((I, I), (-i I, i I)) of dimension n as (re, im) pairs by columns."""
    h = n // 2
    r = 1 / math.sqrt(2)
    out = []
    for c in range(n):
        for row in range(n):
            if c < h:
                v = (r, 0.0) if row == c else ((0.0, -r) if row == h + c else (0.0, 0.0))
            else:
                v = (r, 0.0) if row == c - h else ((0.0, r) if row == c else (0.0, 0.0))
            out.append(v)
    return out


class _Store:
    """A value array of (re, im) pairs in which equal blocks are stored once."""

    def __init__(self, name, extent):
        self.name, self.extent = name, extent
        self.values = []
        self.blocks = {}

    def add(self, block, g, label):
        block = tuple(block)
        if block in self.blocks:
            return self.blocks[block]
        if len(self.values) + len(block) > self.extent:
            fail("%s full (%d of %d entries) at group %d k %s"
                 % (self.name, len(self.values) + len(block), self.extent, g, label))
        start = len(self.values) + 1
        self.values.extend(block)
        self.blocks[block] = start
        return start


def build(sh, lit, consts, first_number, report, groups=range(1, 231)):
    """Fill the little irreps at every k type with parameters of the given groups, numbers
    from first_number on. Registers every value with consts (int8-readable) and returns the
    function that writes the constant indices once the constant table is final."""
    _CACHE.clear()
    chars = _Store("SMALL_IRREP_1D_VALUE", EXTENTS["SMALL_IRREP_1D_VALUE"])
    matrices = _Store("SMALL_IRREP_MATRIX_VALUE", EXTENTS["SMALL_IRREP_MATRIX_VALUE"])
    transforms = _Store("LITTLE_IRREP_TRANSFORM_VALUE", EXTENTS["LITTLE_IRREP_TRANSFORM_VALUE"])
    wyc_entries = []     # per entry: list start, count
    wyc_items = []       # (site irrep, multiplicity)
    lists = {}
    entry_blocks = {}
    number = first_number - 1
    summary = {"pairs": 0, "slots": 0, "dim": 0, "small": 0, "types": [0, 0, 0]}
    unshared = {"SMALL_IRREP_1D_VALUE": 0, "SMALL_IRREP_MATRIX_VALUE": 0,
                "LITTLE_IRREP_TRANSFORM_VALUE": 0, "entries": 0, "items": 0}
    for g in groups:
        L = sh.bravais(g)
        for j in parameter_kindices(L):
            P = ParameterPoint(sh, g, j)
            if len(P.slots) > 12:
                fail("LITTLE_IRREP_NUMBER: %d slots at group %d k %s" % (len(P.slots), g, P.label))
            summary["pairs"] += 1
            # Characters of all slots: one block.
            block = []
            for m in P.slots:
                for a in (M.trace() for M in P.small[m]):
                    block.append(_cval(a))
            start1d = chars.add(block, g, P.label)
            unshared["SMALL_IRREP_1D_VALUE"] += len(block)
            lit["SMALL_IRREP_1D_START"][j - 1, g - 1] = start1d
            lit["LITTLE_IRREP_COUNT"][j - 1, g - 1] = len(P.slots)
            sites = site_lists(sh, P, P.slots)
            for slot, m in enumerate(P.slots, start=1):
                number += 1
                if number > EXTENTS["little irreps"]:
                    fail("little irreps full (%d) at group %d k %s" % (number, g, P.label))
                l = number - 1
                s = P.small_dim(m)
                dim = P.little_dimension(m)
                rt = P.types[m]
                if dim > 48:
                    fail("LITTLE_IRREP_DIMENSION %d above 48 at group %d k %s" % (dim, g, P.label))
                label = "%s%d" % (P.label, slot)
                lit["LITTLE_IRREP_NUMBER"][slot - 1, j - 1, g - 1] = number
                lit["LITTLE_IRREP_TO_IRREP"][l] = 0
                lit["LITTLE_IRREP_SG"][l] = g
                lit["LITTLE_IRREP_KVEC"][l] = j
                lit["LITTLE_IRREP_SMALL_IRREP"][l] = slot
                lit["LITTLE_IRREP_DIMENSION"][l] = dim
                lit["LITTLE_IRREP_REALITY"][l] = rt
                lit["LITTLE_IRREP_LABEL"][l] = label.ljust(8).encode()
                lit["SMALL_IRREP_DIMENSION"][slot - 1, j - 1, g - 1] = s
                if s > 1:
                    mblock = []
                    for M in P.small[m]:
                        mblock.extend(_cval_or_zero(a) for a in M.entries_by_columns())
                    lit["SMALL_IRREP_MATRIX_START"][l] = matrices.add(mblock, g, P.label)
                    unshared["SMALL_IRREP_MATRIX_VALUE"] += len(mblock)
                if rt != 1:
                    lit["LITTLE_IRREP_TRANSFORM_START"][l] = transforms.add(
                        transform_matrix(dim), g, P.label)
                    unshared["LITTLE_IRREP_TRANSFORM_VALUE"] += dim * dim
                # Site lists: equal lists stored once, equal entry sequences stored once.
                seq = []
                for lst in sites[slot - 1]:
                    if lst not in lists:
                        lists[lst] = len(wyc_items) + 1
                        wyc_items.extend(lst)
                    seq.append((lists[lst], len(lst)))
                seq = tuple(seq)
                unshared["entries"] += len(seq)
                unshared["items"] += sum(n for _, n in seq)
                if seq not in entry_blocks:
                    entry_blocks[seq] = len(wyc_entries) + 1
                    wyc_entries.extend(seq)
                lit["LITTLE_IRREP_WYC_FIRST"][l] = entry_blocks[seq]
                summary["slots"] += 1
                summary["dim"] = max(summary["dim"], dim)
                summary["small"] = max(summary["small"], s)
                summary["types"][rt - 1] += 1
            if len(wyc_entries) > EXTENTS["LITTLE_IRREP_WYC_LIST_START"]:
                fail("LITTLE_IRREP_WYC_LIST_START full (%d of %d) at group %d k %s"
                     % (len(wyc_entries), EXTENTS["LITTLE_IRREP_WYC_LIST_START"], g, P.label))
            if len(wyc_items) > EXTENTS["LITTLE_IRREP_WYC_SITE_IRREP"]:
                fail("LITTLE_IRREP_WYC_SITE_IRREP full (%d of %d) at group %d k %s"
                     % (len(wyc_items), EXTENTS["LITTLE_IRREP_WYC_SITE_IRREP"], g, P.label))
    for store in (chars, matrices, transforms):
        for re, im in store.values:
            consts.need(re, small=True)
            consts.need(im, small=True)
    for i, (start, count) in enumerate(wyc_entries):
        lit["LITTLE_IRREP_WYC_LIST_START"][i] = start
        lit["LITTLE_IRREP_WYC_LIST_COUNT"][i] = count
    for i, (s, c) in enumerate(wyc_items):
        if c > 127:
            fail("LITTLE_IRREP_WYC_MULTIPLICITY %d above 127" % c)
        lit["LITTLE_IRREP_WYC_SITE_IRREP"][i] = s
        lit["LITTLE_IRREP_WYC_MULTIPLICITY"][i] = c
    report.append(("little irreps at k types with parameters", number - first_number + 1,
                   EXTENTS["little irreps"] - first_number + 1))
    report.append(("little irreps (all)", number, EXTENTS["little irreps"]))
    for store in (chars, matrices, transforms):
        report.append(("%s (unshared %d)" % (store.name, unshared[store.name]),
                       len(store.values), store.extent))
    report.append(("LITTLE_IRREP_WYC entries (unshared %d)" % unshared["entries"],
                   len(wyc_entries), EXTENTS["LITTLE_IRREP_WYC_LIST_START"]))
    report.append(("LITTLE_IRREP_WYC list items (unshared %d)" % unshared["items"],
                   len(wyc_items), EXTENTS["LITTLE_IRREP_WYC_SITE_IRREP"]))

    def write():
        for name, store in (("SMALL_IRREP_1D_VALUE", chars),
                            ("SMALL_IRREP_MATRIX_VALUE", matrices),
                            ("LITTLE_IRREP_TRANSFORM_VALUE", transforms)):
            for i, (re, im) in enumerate(store.values):
                lit[name][0, i] = consts(re)
                lit[name][1, i] = consts(im)
    write.summary = summary
    write.last_number = number
    return write


def _cval(z):
    """(re, im) rounded to clean values of a complex number that is a sum of roots of unity."""
    return (0.0 if abs(z.real) < 1e-12 else z.real, 0.0 if abs(z.imag) < 1e-12 else z.imag)


def _cval_or_zero(a):
    return (0.0, 0.0) if a is None else root_value(a)
