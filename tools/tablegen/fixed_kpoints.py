"""Irreps at the special points (k types without parameters): the catalogue and the matrices.

For a space group g and a k type without parameters this module finds

* the little co-group, the star (left cosets of the little group, representatives the first
  operator of each coset in the group's order) and the factor system of the small irreps;
* the small irreps: projective irreps Gamma of the little co-group with
  Gamma(R1) Gamma(R2) = w(R1, R2) Gamma(R1 R2), w(R1, R2) = exp(2 pi i kappa . (R1 t2 - t2)),
  t2 the listed translation of R2 (pml), so that Delta(R|t) = exp(2 pi i kappa . t) Gamma(R) is
  a representation of the little group for every translation t of an operator;
* the reality type of each small irrep from the Frobenius-Schur indicator summed over the
  operators that send kappa to -kappa (1 real, 2 pseudoreal, 3 complex);
* the slots: one per physically irreducible irrep; complex small irreps whose partner lies in
  the same star share one slot, those whose partner lies at -kappa outside the star get one;
* the induced matrices of any operator and their real form S diag(D, conj D) S^H with the
  fixed S = (1/sqrt 2) ((I, I), (-i I, i I)) for types 2 and 3.

The small irreps are found numerically (complex floating point): a generic hermitian element
of the commutant of the projective regular representation splits it into irreducible
subspaces. This is the catalogue the stored tables at the special points must hold; the
exact canonical images that the stored tables need are not made here.
"""
import cmath
from fractions import Fraction

import numpy as np

from . import kvectors
from . import pointops as po
from . import ratmat as rm
from . import settings as st

TOL = 1e-8


def _fr(num, den):
    return Fraction(int(num), int(den))


class Operator:
    """A space-group operator in "pml": point-operation number, rotation on the primitive
    basis (integer 3 x 3), translation (Fractions)."""

    def __init__(self, k, rot, t):
        self.k, self.rot, self.t = k, rot, tuple(t)

    def __mul__(self, other):
        t = tuple(self.t[i] + sum(self.rot[i][j] * other.t[j] for j in range(3))
                  for i in range(3))
        rot = tuple(tuple(sum(self.rot[i][m] * other.rot[m][j] for m in range(3))
                          for j in range(3)) for i in range(3))
        return Operator(po.product(self.k, other.k), rot, t)

    def inverse(self):
        inv = rm.to_int(rm.inv(rm.mat(self.rot)))
        inv = tuple(tuple(row) for row in inv)
        t = tuple(-sum(inv[i][j] * self.t[j] for j in range(3)) for i in range(3))
        return Operator(po.inverse(self.k), inv, t)


def pml_rotation(L, k):
    P = st.primitive_basis(L)
    A = rm.mul(rm.mul(rm.inv(P), rm.mat(po.rot(k))), P)
    return tuple(tuple(int(x) for x in row) for row in A)


def group_operators(sh, g):
    L = sh.bravais(g)
    return [Operator(k, pml_rotation(L, k), (_fr(t1, d), _fr(t2, d), _fr(t3, d)))
            for t1, t2, t3, d, k in sh.ops(g)]


def translation(L, e):
    ident = po.IDENTITY[po.is_hexagonal(e[3])]
    return Operator(ident, ((1, 0, 0), (0, 1, 0), (0, 0, 1)), tuple(Fraction(x) for x in e[:3]))


def _phase(kappa, t):
    x = sum(kappa[i] * t[i] for i in range(3))
    x -= x.numerator // x.denominator
    return cmath.exp(2j * cmath.pi * float(x))


def _kappa_image(L, k, kappa):
    A = kvectors.k_rotation(L, k)
    return tuple(sum(Fraction(A[i][j]) * kappa[j] for j in range(3)) for i in range(3))


def _integral(v):
    return all(x.denominator == 1 for x in v)



def small_irreps(prod, W, seed):
    """The projective irreps of a co-group with product table prod (positions) and factor
    system W (complex), as [(matrices, characters)] up to equivalence: a generic hermitian
    element of the commutant of the projective regular representation (random, from seed)
    splits it into irreducible subspaces."""
    n = len(prod)
    reg = []
    for a in range(n):
        M = np.zeros((n, n), dtype=complex)
        for b in range(n):
            M[prod[a][b], b] = W[a][b]
        reg.append(M)
    rng = np.random.default_rng(seed)
    X = rng.normal(size=(n, n)) + 1j * rng.normal(size=(n, n))
    X = X + X.conj().T
    H = sum(M @ X @ M.conj().T for M in reg)
    vals, vecs = np.linalg.eigh(H)
    groups, start = [], 0
    for i in range(1, n + 1):
        if i == n or abs(vals[i] - vals[start]) > 1e-6 * max(1.0, abs(vals[start])):
            groups.append(vecs[:, start:i])
            start = i
    irreps = []
    for V in groups:
        mats = [V.conj().T @ M @ V for M in reg]
        chars = np.array([np.trace(M) for M in mats])
        if any(np.allclose(chars, c, atol=1e-6) for _, c in irreps):
            continue
        irreps.append((mats, chars))
    return irreps

class SpecialPoint:
    """Small irreps, reality types, slots and induced matrices of group g at a k type without
    parameters."""

    def __init__(self, sh, g, kindex):
        self.g, self.kindex = g, kindex
        L = self.L = sh.bravais(g)
        ktype = kvectors.k_types(L)[kindex - 1]
        if ktype.npar:
            raise ValueError("k type %s of group %d has parameters" % (ktype.label, g))
        self.label = ktype.label
        self.kappa = tuple(Fraction(x) for x in ktype.const)
        self.ops = group_operators(sh, g)
        pops = [op.k for op in self.ops]
        self.co = kvectors.little_cogroup(L, pops, ktype)
        self.listed = {op.k: op for op in self.ops}
        self.co_ops = [self.listed[k] for k in self.co]
        self.pos = {k: i for i, k in enumerate(self.co)}
        self._star()
        self._small_irreps()
        self._reality()

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
                q = po.product(op.k, k)
                if q in marked:
                    raise SystemExit("fixed_kpoints: cosets overlap in group %d" % self.g)
                marked.add(q)
        self.narm = len(self.reps)
        self.rep_inv = [r.inverse() for r in self.reps]

    # -- small irreps -----------------------------------------------------------------------
    def omega(self, a, b):
        """Factor w(R_a, R_b) of co-group positions a, b."""
        A, B = self.co_ops[a], self.co_ops[b]
        Rt2 = tuple(sum(A.rot[i][j] * B.t[j] for j in range(3)) for i in range(3))
        return _phase(self.kappa, tuple(Rt2[i] - B.t[i] for i in range(3)))

    def _small_irreps(self):
        n = len(self.co)
        prod = [[self.pos[po.product(a, b)] for b in self.co] for a in self.co]
        W = [[self.omega(a, b) for b in range(n)] for a in range(n)]
        irreps = small_irreps(prod, W, 12345 + 1000 * self.g + self.kindex)
        self.small = irreps
        self.prod, self.W = prod, W

    def small_dims(self):
        return [m[0].shape[0] for m, _ in self.small]

    # -- reality ----------------------------------------------------------------------------
    def _reality(self):
        minus = tuple(-x for x in self.kappa)
        self.to_minus = [op for op in self.ops
                         if _integral([a - b for a, b in zip(_kappa_image(self.L, op.k,
                                                                          self.kappa), minus)])]
        self.types = []
        for mats, chars in self.small:
            tot = 0j
            for op in self.to_minus:
                sq = op * op
                tot += _phase(self.kappa, sq.t) * chars[self.pos[sq.k]]
            ind = tot / len(self.co)
            if abs(ind - 1) < 1e-6:
                self.types.append(1)
            elif abs(ind + 1) < 1e-6:
                self.types.append(2)
            elif abs(ind) < 1e-6:
                self.types.append(3)
            else:
                raise SystemExit("fixed_kpoints: group %d %s: indicator %r" % (self.g, self.label,
                                                                              ind))

    def conjugate_partner(self, m):
        """Index of the small irrep equivalent to the complex conjugate of small irrep m carried
        back to kappa (None when -kappa is outside the star)."""
        if not self.to_minus:
            return None
        g = self.to_minus[0]
        gi = g.inverse()
        chars = []
        for h in self.co_ops:
            c = gi * h * g
            chars.append(np.conj(_phase(self.kappa, c.t) * self.small[m][1][self.pos[c.k]])
                         * np.conj(_phase(self.kappa, h.t)))
        # Delta'(h) = conj Delta(g^-1 h g) as a representation of the little group of kappa:
        # its projective part at h is Delta'(h) exp(-2 pi i kappa . t_h).
        chars = np.array(chars)
        for j, (_, c) in enumerate(self.small):
            if np.allclose(c, chars, atol=1e-6):
                return j
        raise SystemExit("fixed_kpoints: group %d %s: no conjugate partner" % (self.g, self.label))

    def slots(self):
        """Small-irrep indices, one per physically irreducible irrep."""
        out, taken = [], set()
        for m, rt in enumerate(self.types):
            if m in taken:
                continue
            out.append(m)
            if rt == 3:
                p = self.conjugate_partner(m)
                if p is not None:
                    if p == m:
                        raise SystemExit("fixed_kpoints: complex irrep is its own partner")
                    taken.add(p)
        return out

    def little_dimension(self, m):
        return self.narm * self.small_dims()[m] * (1 if self.types[m] == 1 else 2)

    # -- matrices ---------------------------------------------------------------------------
    def induced(self, m, op):
        """Complex matrix of the induced irrep of small irrep m for operator op (any
        translation)."""
        mats = self.small[m][0]
        s = mats[0].shape[0]
        D = np.zeros((self.narm * s, self.narm * s), dtype=complex)
        for a in range(self.narm):
            for b in range(self.narm):
                h = self.rep_inv[a] * op * self.reps[b]
                if h.k not in self.pos:
                    continue
                u = self.pos[h.k]
                # Delta(h) = exp(2 pi i kappa . t_h) Gamma(R_h), Gamma in the listed normalisation.
                D[a * s:(a + 1) * s, b * s:(b + 1) * s] = _phase(self.kappa, h.t) * mats[u]
        return D

    def real_form(self, m, op):
        D = self.induced(m, op)
        if self.types[m] == 1:
            return self._real_type1(m, D)
        n = D.shape[0]
        I = np.eye(n)
        S = np.block([[I, I], [-1j * I, 1j * I]]) / np.sqrt(2)
        Z = np.block([[D, np.zeros((n, n))], [np.zeros((n, n)), D.conj()]])
        return S @ Z @ S.conj().T

    def _real_type1(self, m, D):
        """Type 1: D in the real basis of real_basis (D realified is two copies of it)."""
        V = self.real_basis(m)
        Rf = np.block([[D.real, -D.imag], [D.imag, D.real]])
        return V.T @ Rf @ V

    def real_basis(self, m):
        """Real 2n x n orthonormal basis of one of the two equivalent real irreducible
        subspaces of the realified induced irrep (type 1 only): an eigenspace of a generic
        symmetric matrix averaged over the finite image."""
        if not hasattr(self, "_tcache"):
            self._tcache = {}
        if m not in self._tcache:
            elems = self.finite_image(m)
            n = elems[0].shape[0]
            rng = np.random.default_rng(7 + m)
            X = rng.normal(size=(2 * n, 2 * n))
            X = X + X.T
            H = np.zeros((2 * n, 2 * n))
            for D in elems:
                Rf = np.block([[D.real, -D.imag], [D.imag, D.real]])
                H += Rf @ X @ Rf.T
            vals, vecs = np.linalg.eigh(H)
            if abs(vals[n - 1] - vals[0]) > 1e-6 * max(1.0, abs(vals[0])) or \
                    abs(vals[n] - vals[n - 1]) < 1e-6 * max(1.0, abs(vals[n])):
                raise SystemExit("fixed_kpoints: group %d %s: no real form" % (self.g, self.label))
            self._tcache[m] = vecs[:, :n]
        return self._tcache[m]

    def generators(self):
        L = self.L
        return self.ops + [translation(L, (1, 0, 0, self.ops[0].k)),
                           translation(L, (0, 1, 0, self.ops[0].k)),
                           translation(L, (0, 0, 1, self.ops[0].k))]

    def finite_image(self, m):
        """All matrices of the induced irrep (a finite group), by closure."""
        gens = [self.induced(m, op) for op in self.generators()]
        key = lambda M: tuple(np.round(M, 6).flatten().tolist())
        seen = {key(gens[0]): gens[0]}
        queue = [gens[0]]
        while queue:
            M = queue.pop()
            for G in gens:
                P = M @ G
                kk = key(P)
                if kk not in seen:
                    seen[kk] = P
                    queue.append(P)
        return list(seen.values())


def special_kindices(L):
    return [j for j, t in enumerate(kvectors.k_types(L), start=1) if t.npar == 0 and j > 1]


def catalogue(sh, groups=range(1, 231)):
    """[(g, k index, label, [(small dim, type, little dim, narm)] per slot)] for the special
    points other than GM."""
    out = []
    for g in groups:
        for j in special_kindices(sh.bravais(g)):
            sp = SpecialPoint(sh, g, j)
            out.append((g, j, sp.label, [(sp.small_dims()[m], sp.types[m],
                                          sp.little_dimension(m), sp.narm)
                                         for m in sp.slots()]))
    return out
