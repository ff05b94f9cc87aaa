"""Exact real orthogonal forms of the irreps at the special points.

`exact_irreps(sh, g, kindex)` gives one `ExactIrrep` per slot of
`fixed_kpoints.SpecialPoint(sh, g, kindex).slots()`, in that order. Its `matrix(op)` is the
real orthogonal matrix of any operator (a listed operator with any lattice translation, or a
pure translation from `fixed_kpoints.translation`), with entries in Q(sqrt2, sqrt3)
(`quadfield.QQ`), so the stored tables need only a few hundred distinct constants.

How the forms are made:

1. Small irreps. `nice_form` turns each numerical small irrep (a projective irrep of the
   little co-group) into a canonical exact basis: the joint eigenvectors of a commuting family
   of its matrices whose joint eigenspaces are one-dimensional (single elements and commuting
   pairs are tried; the basis whose matrices have the fewest nonzero entries wins, ties to the
   first in the listed order), ordered by their joint eigenvalues, their phases fixed along a
   spanning tree so that the first entry of the listed matrices linking a new basis vector is
   positive real. Every entry is then snapped onto the field and the factor system is
   re-verified exactly (generators times all elements); a basis that fails is dropped and the
   next is tried.
2. Induction in the coset basis: block (a, b) of operator op is exp(2 pi i kappa . t_h)
   Gamma(R_h) with h = rep_a^-1 op rep_b in the little group; the phases are roots of unity
   of order dividing 24, exact.
3. Real forms. Reality type 3: R = T diag(D, conj D) T^H with T = S_n
   = (1/sqrt2) ((I, I), (-i I, i I)), i.e. R = ((Re D, -Im D), (Im D, Re D)). Type 2: the
   basis of D is changed (by a monomial matrix) so that conj D = J_n D J_n^-1 with
   J_n = ((0, -I), (I, 0)); then R = T diag(D, D) T^H with T = S_n diag(I, J_n), again
   ((Re D, -Im D), (Im D, Re D)). Type 1: D itself when it is real; otherwise the exact unitary
   U with U conj(D) U^-1 = D (monomial in these bases) gives the real basis vectors
   c_j e_j (pi(j) = j, c_j^2 = u_j) and (e_j + u_j e_k) / sqrt2, i (e_j - u_j e_k) / sqrt2
   (j < k = pi(j)), and R = V^H D V.

Everything is verified exactly: the small irreps on their factor system, U conj U = +-1, the
real form real. Where no exact form is found, `NoExactForm` names the group, k label and slot.
"""
from fractions import Fraction

import numpy as np

from . import fixed_kpoints as fk
from . import pointops as po
from . import quadfield as qf
from .quadfield import QC, CZERO, CONE, ZERO


class NoExactForm(Exception):
    pass


# -- nice forms of (projective) irreps ------------------------------------------------------

def _product_table(A):
    """prod[a][b], w[a][b] (complex) with A[a] A[b] = w A[prod]: found numerically."""
    d = A.shape[1]
    P = np.einsum("aij,bjk->abik", A, A)
    # overlap of each product with every element: tr(A_c^H A_a A_b) / d
    ov = np.einsum("cji,abji->abc", A.conj(), P) / d
    prod = np.argmax(np.abs(ov), axis=2)
    w = np.take_along_axis(ov, prod[:, :, None], axis=2)[:, :, 0]
    if np.abs(np.abs(w) - 1).max() > 1e-6:
        raise ValueError("nice_form: the matrices are not closed under products up to phases")
    return prod, w


def _generators(prod):
    n = len(prod)
    # element 0 need not be the identity: find it as the element e with prod[e][e] == e
    ident = next(e for e in range(n) if prod[e][e] == e)
    gens, have = [], {ident}
    for a in range(n):
        if a in have:
            continue
        gens.append(a)
        frontier = list(have)
        have = set(have)
        while frontier:
            x = frontier.pop()
            for gg in gens:
                for y in (prod[x][gg], prod[gg][x]):
                    if y not in have:
                        have.add(y)
                        frontier.append(y)
        if len(have) == n:
            break
    return gens


def _candidates(A, rng):
    """Joint eigenbases of commuting families (single elements, then commuting pairs), each
    with the number of nonzero entries of all matrices in it."""
    n, d = A.shape[0], A.shape[1]
    eye = np.eye(d)
    scalar = [np.allclose(M, M[0, 0] * eye, atol=1e-8) for M in A]
    comm = np.abs(np.einsum("aij,bjk->abik", A, A) - np.einsum("bij,ajk->abik", A, A)).max(
        axis=(2, 3)) < 1e-8
    fams = [(a,) for a in range(n) if not scalar[a]]
    fams += [(a, b) for a in range(n) for b in range(a + 1, n)
             if not scalar[a] and not scalar[b] and comm[a][b]]
    out, seen = [], set()
    coef = rng.normal(size=4) + 1j * rng.normal(size=4)
    for fam in fams:
        Z = sum(c * A[f] for c, f in zip(coef, fam))
        vals, vecs = np.linalg.eig(Z)
        if d > 1 and min(abs(vals[i] - vals[j]) for i in range(d) for j in range(i)) < 1e-6:
            continue
        vecs, _ = np.linalg.qr(vecs)
        keys = []
        for i in range(d):
            v = vecs[:, i]
            ev = [np.vdot(v, A[f] @ v) for f in fam]
            keys.append(tuple(round(float(np.angle(e)) % (2 * np.pi), 6) % round(2 * np.pi, 6)
                              for e in ev))
        order = sorted(range(d), key=lambda i: keys[i])
        V = vecs[:, order]
        pkey = tuple(np.round(np.abs(V), 6).flatten().tolist())
        if pkey in seen:
            continue
        seen.add(pkey)
        B = np.einsum("ji,ajk,kl->ail", V.conj(), A, V)
        out.append((int((np.abs(B) > 1e-7).sum()), len(out), V, B))
    out.sort(key=lambda x: (x[0], x[1]))
    return out


def _fix_phases(B):
    """Diagonal phase change so that the first entry (in the listed matrices, row by row) that
    links a new basis vector to the tree is positive real."""
    d = B.shape[1]
    phi = [None] * d
    phi[0] = 0.0
    done = 1
    while done < d:
        grown = False
        for M in B:
            for i in range(d):
                for j in range(d):
                    if abs(M[i, j]) < 1e-7 or i == j:
                        continue
                    if phi[i] is not None and phi[j] is None:
                        phi[j] = phi[i] - np.angle(M[i, j])
                    elif phi[j] is not None and phi[i] is None:
                        phi[i] = phi[j] + np.angle(M[i, j])
                    else:
                        continue
                    done += 1
                    grown = True
                    break
                if grown:
                    break
            if grown:
                break
        if not grown:
            return None  # reducible
    return np.exp(1j * np.array(phi))


def _snap_matrix(M):
    rows = []
    for row in M:
        r = []
        for z in row:
            x = qf.snap_complex(z) if abs(z) > 1e-10 else CZERO
            if x is None:
                return None
            r.append(x)
        rows.append(tuple(r))
    return tuple(rows)


def _scale(A, s):
    return tuple(tuple(x * s for x in row) for row in A)


def nice_form(mats, factor=None):
    """Exact canonical form of an irreducible unitary (projective) representation.

    mats: sequence of numerical complex d x d unitary matrices (one per group element, any
    order), irreducible, closed under products up to phases. factor: None, or (prod, w) with
    mats[a] @ mats[b] == w[a][b] * mats[prod[a][b]] (w numbers or exact QC values; exact
    ones are used as given, numbers are snapped onto roots of unity).

    Returns (exact, V): exact[a] is a tuple of row tuples of quadfield.QC with
    exact[a] == V^H mats[a] V to 1e-9 (V unitary, numerical), and the exact matrices satisfy the
    factor system exactly. The basis is canonical: equivalent inputs give the same exact
    matrices. Raises ValueError when no exact form is found.
    """
    A = np.array([np.asarray(M, dtype=complex) for M in mats])
    d = A.shape[1]
    if factor is None:
        prod, w = _product_table(A)
        w = [[qf.snap_complex(x) for x in row] for row in w]
    else:
        prod, w = factor
        w = [[x if isinstance(x, QC) else qf.snap_complex(complex(x)) for x in row]
             for row in w]
    if any(x is None for row in w for x in row):
        raise ValueError("nice_form: factor system outside the field")
    gens = _generators(prod)
    if d == 1:
        cands = [(0, 0, np.eye(1, dtype=complex), A)]
    else:
        cands = _candidates(A, np.random.default_rng(4711))
    for _, _, V, B in cands[:24]:
        ph = _fix_phases(B) if d > 1 else np.ones(1)
        if ph is None:
            continue
        V2 = V * ph[None, :]
        B2 = np.einsum("ji,ajk,kl->ail", V2.conj(), A, V2)
        exact = []
        for M in B2:
            E = _snap_matrix(M)
            if E is None:
                break
            exact.append(E)
        else:
            if _verify(exact, prod, w, gens):
                return exact, V2
    raise ValueError("nice_form: no exact form found")


def _verify(E, prod, w, gens):
    for a in gens:
        for b in range(len(E)):
            if qf.mat_mul(E[a], E[b]) != _scale(E[prod[a][b]], w[a][b]):
                return False
    return True


# -- induced irreps and their real forms ----------------------------------------------------

def _phase(kappa, t):
    x = sum((kappa[i] * t[i] for i in range(3)), Fraction(0))
    return qf.root_of_unity(x - (x.numerator // x.denominator))


def _point_generators(P):
    """Listed operators whose point parts generate the point group (greedy, listed order)."""
    have = {P.ops[0].k}
    gens = []
    for op in P.ops:
        if op.k in have:
            continue
        gens.append(op)
        frontier = list(have)
        while frontier:
            x = frontier.pop()
            for gg in gens:
                for y in (po.product(x, gg.k), po.product(gg.k, x)):
                    if y not in have:
                        have.add(y)
                        frontier.append(y)
        if len(have) == len(P.ops):
            break
    return gens


class ExactIrrep:
    """Exact real orthogonal form of the physically irreducible irrep of slot m."""

    def __init__(self, P, m, small, slot=None):
        self.P = P
        self.g, self.kindex, self.m = P.g, P.kindex, m
        self.slot = slot
        self.label = P.label
        self.reality = P.types[m]
        self.small = small
        self.small_dim = len(small[0])
        self.narm = P.narm
        self.cdim = self.narm * self.small_dim
        self.dim = self.cdim * (1 if self.reality == 1 else 2)
        self._cache = {}
        self.transform = None
        self._basis = None      # type 2: monomial change of basis; type 1: real basis vectors
        self._real = True
        gens = _point_generators(P) + [fk.translation(P.L, (1, 0, 0, P.ops[0].k)),
                                       fk.translation(P.L, (0, 1, 0, P.ops[0].k)),
                                       fk.translation(P.L, (0, 0, 1, P.ops[0].k))]
        self._gens = gens
        if self.reality == 3:
            self.transform = _S(self.cdim)
        elif self.reality == 2:
            self._setup_type2()
            self.transform = _T2(self.cdim)
        else:
            self._setup_type1()

    # complex induced matrix in the coset basis
    def induced(self, op):
        P, s = self.P, self.small_dim
        n = self.cdim
        rows = [[CZERO] * n for _ in range(n)]
        for a in range(self.narm):
            left = po.product(P.rep_inv[a].k, op.k)
            for b in range(self.narm):
                if po.product(left, P.reps[b].k) not in P.pos:
                    continue
                h = P.rep_inv[a] * op * P.reps[b]
                ph = _phase(P.kappa, h.t)
                G = self.small[P.pos[h.k]]
                for i in range(s):
                    for j in range(s):
                        if G[i][j]:
                            rows[a * s + i][b * s + j] = ph * G[i][j]
        return tuple(tuple(r) for r in rows)

    def _intertwiner(self):
        """Unitary U with D U = U conj D on the generators (numerically, then snapped)."""
        Ds = [qf.mat_float(self.induced(op)) for op in self._gens]
        n = self.cdim
        trans = Ds[-3:]
        allowed = [(i, j) for i in range(n) for j in range(n)
                   if all(abs(T[i, i] - np.conj(T[j, j])) < 1e-8 for T in trans)]
        idx = {p: c for c, p in enumerate(allowed)}
        rows = []
        for D in Ds[:-3]:
            Dc = D.conj()
            # (D U - U conj D)[i, j] = sum_k D[i,k] U[k,j] - U[i,k] Dc[k,j]
            for i in range(n):
                for j in range(n):
                    r = np.zeros(len(allowed), dtype=complex)
                    for k in range(n):
                        if (k, j) in idx and D[i, k] != 0:
                            r[idx[(k, j)]] += D[i, k]
                        if (i, k) in idx and Dc[k, j] != 0:
                            r[idx[(i, k)]] -= Dc[k, j]
                    if r.any():
                        rows.append(r)
        M = np.array(rows) if rows else np.zeros((1, len(allowed)))
        _, sv, vh = np.linalg.svd(M)
        full = np.concatenate([sv, np.zeros(max(0, len(allowed) - len(sv)))])
        if full[-1] > 1e-8 or (len(full) > 1 and full[-2] < 1e-6):
            raise NoExactForm("no unique intertwiner")
        x = vh[-1].conj()
        U = np.zeros((n, n), dtype=complex)
        for (i, j), c in zip(allowed, x):
            U[i, j] = c
        U *= np.sqrt(n / np.sum(np.abs(U) ** 2))
        # monomial?
        nz = np.abs(U) > 1e-7
        if not (nz.sum(axis=0) == 1).all() or not (nz.sum(axis=1) == 1).all():
            raise NoExactForm("intertwiner is not monomial")
        pi = [int(np.nonzero(nz[:, j])[0][0]) for j in range(n)]
        u = [U[pi[j], j] for j in range(n)]
        return pi, u

    def _setup_type2(self):
        n = self.cdim
        pi, u = self._intertwiner()
        # fix the global phase: first u real positive
        lam = np.conj(u[0]) / abs(u[0])
        ue = []
        for j in range(n):
            z = qf.snap_complex(lam * u[j])
            if z is None or pi[pi[j]] != j or pi[j] == j:
                raise NoExactForm("pseudoreal intertwiner outside the field")
            ue.append(z)
        for j in range(n):  # theta^2 = -1
            if ue[pi[j]].conjugate() * ue[j] != -CONE and ue[j] * ue[pi[j]].conjugate() != -CONE:
                raise NoExactForm("pseudoreal intertwiner does not square to -1")
        first = [j for j in range(n) if j < pi[j]]
        h = n // 2
        cols = [None] * n
        for c, j in enumerate(first):
            cols[c] = ((j, CONE),)
            cols[h + c] = ((pi[j], -ue[j]),)
        self._basis = cols
        self._check_type2()

    def _check_type2(self):
        n, h = self.cdim, self.cdim // 2
        J = [[CZERO] * n for _ in range(n)]
        for i in range(h):
            J[i][h + i] = -CONE
            J[h + i][i] = CONE
        J = tuple(tuple(r) for r in J)
        Jt = qf.conj_transpose(J)
        for op in self._gens:
            D = self.complex_matrix(op)
            Dc = tuple(tuple(x.conjugate() for x in r) for r in D)
            if Dc != qf.mat_mul(qf.mat_mul(J, D), Jt):
                raise NoExactForm("pseudoreal basis does not carry conj D = J D J^-1")

    def _setup_type1(self):
        n = self.cdim
        if all(not x[1] for op in self._gens for r in self.induced(op) for x in r):
            return
        self._real = False
        pi, u = self._intertwiner()
        fixed = [j for j in range(n) if pi[j] == j]
        lam = 1.0 + 0j
        if fixed:
            lam = np.conj(u[fixed[0]]) / abs(u[fixed[0]])
        else:
            lam = np.conj(u[0]) / abs(u[0])
        cols = []
        for j in range(n):
            w = lam * u[j]
            if pi[j] == j:
                ang = Fraction(round(float(np.angle(w)) / (2 * np.pi) * 24), 24)
                if abs(np.exp(2j * np.pi * float(ang)) - w) > 1e-8 or (ang * 12).denominator != 1:
                    raise NoExactForm("real basis needs a root of unity outside the field")
                cols.append(((j, qf.root_of_unity(ang / 2)),))
            elif j < pi[j]:
                we = qf.snap_complex(w)
                if we is None:
                    raise NoExactForm("real intertwiner outside the field")
                r = QC(qf.INV_SQRT2)
                ri = QC(qf.ZERO, qf.INV_SQRT2)
                cols.append(((j, r), (pi[j], r * we)))
                cols.append(((j, ri), (pi[j], -ri * we)))
        self._basis = cols

    def complex_matrix(self, op):
        """Induced matrix in the basis used for the real form (type 2: changed basis)."""
        D = self.induced(op)
        if self.reality != 2:
            return D
        cols = self._basis
        n = self.cdim
        out = [[CZERO] * n for _ in range(n)]
        for p in range(n):
            for q in range(n):
                acc = CZERO
                for i, a in cols[p]:
                    for k, b in cols[q]:
                        if D[i][k]:
                            acc = acc + a.conjugate() * D[i][k] * b
                out[p][q] = acc
        return tuple(tuple(r) for r in out)

    def matrix(self, op):
        key = (op.k, op.t)
        if key in self._cache:
            return self._cache[key]
        if self.reality in (2, 3):
            D = self.complex_matrix(op)
            n = self.cdim
            R = [[ZERO] * (2 * n) for _ in range(2 * n)]
            for i in range(n):
                for j in range(n):
                    re, im = D[i][j]
                    R[i][j] = re
                    R[n + i][n + j] = re
                    R[i][n + j] = -im
                    R[n + i][j] = im
            out = tuple(tuple(r) for r in R)
        elif self._real:
            out = tuple(tuple(x[0] for x in r) for r in self.induced(op))
        else:
            D = self.induced(op)
            cols = self._basis
            out = []
            for p in range(len(cols)):
                row = []
                for q in range(len(cols)):
                    acc = CZERO
                    for i, a in cols[p]:
                        for k, b in cols[q]:
                            if D[i][k]:
                                acc = acc + a.conjugate() * D[i][k] * b
                    if acc[1]:
                        raise NoExactForm("group %d, k %s, slot %s: real form is not real"
                                          % (self.g, self.label, self.slot))
                    row.append(acc[0])
                out.append(tuple(row))
            out = tuple(out)
        self._cache[key] = out
        return out

    def character(self, op):
        """Exact real character (trace of matrix(op))."""
        return qf.trace(self.matrix(op))


def _S(n):
    """(1/sqrt2) ((I, I), (-i I, i I)) as rows of (re, im) pairs."""
    r = qf.INV_SQRT2
    rows = []
    for i in range(2 * n):
        row = []
        for j in range(2 * n):
            if i < n:
                row.append(QC(r, ZERO) if j in (i, i + n) else CZERO)
            else:
                if j == i - n:
                    row.append(QC(ZERO, -r))
                elif j == i:
                    row.append(QC(ZERO, r))
                else:
                    row.append(CZERO)
        rows.append(tuple(row))
    return tuple(rows)


def _J(n):
    h = n // 2
    rows = [[CZERO] * n for _ in range(n)]
    for i in range(h):
        rows[i][h + i] = -CONE
        rows[h + i][i] = CONE
    return tuple(tuple(r) for r in rows)


def _T2(n):
    """S_n diag(I, J_n)."""
    I = qf.identity(n, CZERO, CONE)
    J = _J(n)
    Z = [[CZERO] * (2 * n) for _ in range(2 * n)]
    for i in range(n):
        for j in range(n):
            Z[i][j] = I[i][j]
            Z[n + i][n + j] = J[i][j]
    return qf.mat_mul(_S(n), tuple(tuple(r) for r in Z))


def transform(dim, reality):
    """The fixed transformation of real dimension dim and reality type 2 or 3."""
    if reality == 3:
        return _S(dim // 2)
    if reality == 2:
        return _T2(dim // 2)
    return None


def _exact_factor(P):
    n = len(P.co)
    w = [[None] * n for _ in range(n)]
    for a in range(n):
        A = P.co_ops[a]
        for b in range(n):
            B = P.co_ops[b]
            Rt2 = tuple(sum(A.rot[i][j] * B.t[j] for j in range(3)) for i in range(3))
            w[a][b] = _phase(P.kappa, tuple(Rt2[i] - B.t[i] for i in range(3)))
    return P.prod, w


def exact_irreps(sh, g, kindex, point=None):
    """One ExactIrrep per slot of SpecialPoint(sh, g, kindex).slots(), in that order."""
    P = point if point is not None else fk.SpecialPoint(sh, g, kindex)
    factor = _exact_factor(P)
    out = []
    for slot, m in enumerate(P.slots(), start=1):
        try:
            small, _ = nice_form(P.small[m][0], factor)
            out.append(ExactIrrep(P, m, small, slot))
        except (ValueError, NoExactForm) as e:
            raise NoExactForm("group %d, k %s, slot %d: %s" % (g, P.label, slot, e)) from None
    return out
