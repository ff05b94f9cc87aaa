#!/usr/bin/python3
"""The little irreps at k types with parameters, as the committed tables hold them.

Read with the checker's own reader (nothing of the maker), the small irreps in the loaded
form are induced over the star exactly as `vibrex` does it (coset representatives the first
operator of each left coset in the group's order, exp(2 pi i k . t) times the stored matrix of
the co-group operation) at two random parameter values, and must give

* a representation: D(a) D(b) = D(ab) for all listed operators a, b (the product keeps its
  lattice translation) and for the primitive lattice translations;
* irreducible (commutant of dimension 1), and of the stored reality type: a nonzero invariant
  bilinear form, symmetric for type 1 and antisymmetric for type 2, none for type 3;
* projective characters of the slots orthonormal; sum of s^2 over the slots (complex slots
  whose partner is in the star counted twice) equal to the co-group order;
* for types 2 and 3 a stored transformation T with T diag(D, conj D) T^H real orthogonal;
* the site lists recomputed from the characters on the site operators, translations included;

and phonopy judges: generic symmetric force constants in a supercell holding k give
degenerate sets at k of the sizes and counts that the small irreps predict (SrTiO3 at DT
u = 1/4, P212121 at SM u = 1/4).

Usage: test_parameter_kpoints.py [DATA_DIRECTORY] [--all]   (default the repository's data/;
--all checks every k type with parameters of every group instead of the sample, long)
"""
import os
import sys
import unittest
from collections import Counter
from fractions import Fraction
from math import lcm

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, ".."))
import check_mode_tables as cm  # noqa: E402
import test_mode_tables as tm  # noqa: E402

DATA = os.path.join(HERE, "..", "..", "data")
TOL = 1e-4          # single-precision constants

# (group, k labels): every crystal family, symmorphic and not.
SAMPLE = [
    (1, ("GP",)),
    (2, ("GP",)),
    (14, ("LD", "V", "W", "U", "V1", "V2")),
    (19, ("SM", "DT", "LD", "A", "P")),
    (62, ("SM", "C", "V5")),
    (141, ("LD", "SM")),
    (136, ("DT", "SM")),
    (167, ("LD", "U1")),
    (169, ("DT",)),
    (194, ("DT", "LD", "SM", "P")),
    (221, ("DT", "LD", "SM", "T")),
    (227, ("DT", "LD")),
    (230, ("DT", "D")),
]

_TABLES = None


def tables():
    global _TABLES
    if _TABLES is None:
        _TABLES = cm.Tables(DATA)
    return _TABLES


DEN = 48            # translations are held as integers over 48


def frac_op(op):
    """Operator (t1, t2, t3, d, k) as (48 t, k)."""
    if DEN % op[3]:
        raise ValueError(op)
    return tuple(op[a] * (DEN // op[3]) for a in range(3)), op[4]


def inverse(t, L, op):
    """(48 t, k) of the inverse of operator (48 t, k)."""
    tr, k = op
    kinv = next(q for q in range(1, 73) if t.product(k, q) == t.product(q, k) and
                np.array_equal(t.prim_rot(L, t.product(k, q)), np.eye(3, dtype=int)))
    R = t.prim_rot(L, kinv)
    return tuple(-sum(int(R[a, b]) * tr[b] for b in range(3)) for a in range(3)), kinv


_ROT = {}


def phase(kappa, t48):
    """exp(2 pi i kappa . t) for the translation t = t48 / 48."""
    x = sum(kappa[i] * t48[i] for i in range(3)) / DEN
    return np.exp(2j * np.pi * float(x % 1))


def mul(t, L, a, b):
    key = (L, a[1])
    if key not in _ROT:
        _ROT[key] = tuple(tuple(int(x) for x in row) for row in t.prim_rot(L, a[1]))
    R = _ROT[key]
    bt = b[0]
    return (tuple(a[0][i] + R[i][0] * bt[0] + R[i][1] * bt[1] + R[i][2] * bt[2]
                  for i in range(3)), t.product(a[1], b[1]))


class Point:
    """A (group, k index) of the tables with the little irreps of its slots."""

    def __init__(self, t, g, label):
        self.t, self.g = t, g
        L = self.L = t.bravais(g)
        for j in range(int(t.lit["KVEC_COUNT"][L - 1])):
            if cm.text(t.lit["KVEC_LABEL"][j, L - 1]).strip() == label:
                self.j = j + 1
                break
        else:
            raise KeyError(label)
        self.label = label
        self.K = t.lit["KVEC_MATRIX"][:, :, self.j - 1, L - 1].astype(int)
        self.npar = int(t.lit["KVEC_PARAMETER_COUNT"][self.j - 1, L - 1])
        self.ops = [frac_op(op) for op in t.ops(g)]
        n = int(t.lit["LITTLE_COGROUP_ORDER"][self.j - 1, g - 1])
        self.co = [int(x) for x in t.lit["LITTLE_COGROUP_OPS"][:n, self.j - 1, g - 1]]
        self.pos = {k: i for i, k in enumerate(self.co)}
        marked, self.reps = set(), []
        for op in self.ops:
            if op[1] in marked:
                continue
            self.reps.append(op)
            for q in self.co:
                marked.add(t.product(op[1], q))
        self.rep_inv = [inverse(t, L, r) for r in self.reps]
        self.nslot = int(t.lit["LITTLE_IRREP_COUNT"][self.j - 1, g - 1])
        self.little = [int(x) for x in t.lit["LITTLE_IRREP_NUMBER"][:self.nslot, self.j - 1, g - 1]]

    def kappa(self, values):
        K = self.K
        return tuple(Fraction(int(K[r, 0]), int(K[3, 0])) +
                     sum(values[p] * Fraction(int(K[r, p + 1]), int(K[3, p + 1]))
                         for p in range(self.npar)) for r in range(3))

    def small(self, l):
        """Loaded small irrep of little irrep l: (s, characters, matrices per co-group op)."""
        t, lit = self.t, self.t.lit
        m = int(lit["LITTLE_IRREP_SMALL_IRREP"][l - 1])
        s = int(lit["SMALL_IRREP_DIMENSION"][m - 1, self.j - 1, self.g - 1])
        n = len(self.co)
        start = int(lit["SMALL_IRREP_1D_START"][self.j - 1, self.g - 1]) + (m - 1) * n
        v = lit["SMALL_IRREP_1D_VALUE"][:, start - 1:start - 1 + n]
        chars = t.cv[v[0]] + 1j * t.cv[v[1]]
        if s == 1:
            return s, chars, [np.array([[c]]) for c in chars]
        start = int(lit["SMALL_IRREP_MATRIX_START"][l - 1])
        v = lit["SMALL_IRREP_MATRIX_VALUE"][:, start - 1:start - 1 + n * s * s]
        z = t.cv[v[0]] + 1j * t.cv[v[1]]
        return s, chars, [z[e * s * s:(e + 1) * s * s].reshape((s, s), order="F")
                          for e in range(n)]

    def induced(self, small, op, kappa):
        s, _, mats = small
        narm = len(self.reps)
        D = np.zeros((narm * s, narm * s), dtype=complex)
        for a in range(narm):
            left = mul(self.t, self.L, self.rep_inv[a], op)
            for b in range(narm):
                h = mul(self.t, self.L, left, self.reps[b])
                if h[1] in self.pos:
                    D[a * s:(a + 1) * s, b * s:(b + 1) * s] = \
                        phase(kappa, h[0]) * mats[self.pos[h[1]]]
        return D

    def character(self, small, op, kappa):
        """Trace of the induced matrix: the arms that op maps to themselves."""
        s, ch, _ = small
        z = 0j
        for a in range(len(self.reps)):
            h = mul(self.t, self.L, mul(self.t, self.L, self.rep_inv[a], op), self.reps[a])
            if h[1] in self.pos:
                z += phase(kappa, h[0]) * ch[self.pos[h[1]]]
        return z

    def generators(self):
        """Listed operators whose point operations generate the point group."""
        out, closure = [], {self.ops[0][1]}
        for op in self.ops:
            if op[1] in closure:
                continue
            out.append(op)
            closure.add(op[1])
            while True:
                new = {self.t.product(a, b) for a in closure for b in closure} - closure
                if not new:
                    break
                closure |= new
        return out

    def minus_in_star(self, kappa):
        for _, k in self.ops:
            A = self.t.k_rot(self.L, k)
            kr = [sum(int(A[r, c]) * kappa[c] for c in range(3)) for r in range(3)]
            if all((a + b).denominator == 1 for a, b in zip(kr, kappa)):
                return True
        return False


def translations(L, ident):
    return [(tuple(DEN * int(i == a) for i in range(3)), ident) for a in range(3)]


def random_values(rng):
    """Random parameter values that are generic: distinct prime denominators, so no relation
    of small integer coefficients (a point of higher symmetry) can hold."""
    return [Fraction(int(rng.integers(1, p)), p) for p in (997, 991, 983)]


def commutant_dimension(mats, conj):
    """Dimension of {X : X D = f(D) X for all D}, f the identity or the conjugation."""
    n = len(mats[0])
    I = np.eye(n)
    M = np.zeros((n * n, n * n), dtype=complex)
    for D in mats:
        E = D.conj() if conj else D
        A = np.kron(D.T, I) - np.kron(I, E)
        M += A.conj().T @ A
    vals, vecs = np.linalg.eigh(M)
    null = vecs[:, vals < 1e-6 * max(1.0, vals.max())]
    return null


def site_lists(t, P, l, small, kappa):
    """Recomputed (site irrep, multiplicity) lists of little irrep l, one per position."""
    g = P.g
    rt = int(t.lit["LITTLE_IRREP_REALITY"][l - 1])
    out = []
    wyc0 = int(t.w["WYC_FIRST"][g - 1])
    for w in range(wyc0, wyc0 + int(t.w["WYC_COUNT"][g - 1])):
        sops = cm.site_ops(t, g, w)
        spg = int(t.w["WYC_SITE_POINT_GROUP"][w - 1])
        _, _, S = cm.site_irreps(t, spg)
        ref = t.lists(spg)[0][1]
        lst = next(ll for _, ll in t.lists(spg) if set(op[4] for op in sops) <= set(ll))
        place = {k: j for j, k in enumerate(lst)}
        chi = []
        for op in sops:
            z = P.character(small, frac_op(op), kappa)
            chi.append(z.real if rt == 1 else 2 * z.real)
        lists = []
        for s, Ssig in enumerate(S, start=1):
            cs = [np.trace(Ssig[ref[place[op[4]]]]) for op in sops]
            m = np.dot(chi, cs) / np.dot(cs, cs)
            assert abs(m - round(m)) < TOL, (g, P.label, w, m)
            if round(m):
                lists.append((s, int(round(m))))
        out.append(lists)
    return out


def stored_site_lists(t, P, l):
    lit = t.lit
    first = int(lit["LITTLE_IRREP_WYC_FIRST"][l - 1])
    out = []
    for w in range(int(t.w["WYC_COUNT"][P.g - 1])):
        e = first + w
        start = int(lit["LITTLE_IRREP_WYC_LIST_START"][e - 1])
        n = int(lit["LITTLE_IRREP_WYC_LIST_COUNT"][e - 1])
        out.append([(int(lit["LITTLE_IRREP_WYC_SITE_IRREP"][start - 1 + q]),
                     int(lit["LITTLE_IRREP_WYC_MULTIPLICITY"][start - 1 + q]))
                    for q in range(n)])
    return out


class LittleIrreps(unittest.TestCase):

    def test_sample(self):
        t = tables()
        rng = np.random.default_rng(20261210)
        for g, labels in SAMPLE:
            for label in labels:
                with self.subTest(group=g, k=label):
                    self.check_point(t, Point(t, g, label), rng)

    def check_point(self, t, P, rng):
        lit = t.lit
        L = P.L
        self.assertGreater(P.nslot, 0)
        kappas = [P.kappa(random_values(rng)) for _ in range(2)]
        paired = P.minus_in_star(kappas[0])
        self.assertEqual(paired, P.minus_in_star(kappas[1]))
        ident = P.ops[0][1]
        trans = translations(L, ident)
        gens = P.generators() + trans
        total = 0
        chars = []
        for m, l in enumerate(P.little, start=1):
            self.assertNotEqual(l, 0)
            self.assertEqual(int(lit["LITTLE_IRREP_TO_IRREP"][l - 1]), 0)
            self.assertEqual(int(lit["LITTLE_IRREP_SG"][l - 1]), P.g)
            self.assertEqual(int(lit["LITTLE_IRREP_KVEC"][l - 1]), P.j)
            self.assertEqual(cm.text(lit["LITTLE_IRREP_LABEL"][l - 1]).rstrip(),
                             "%s%d" % (P.label, m))
            rt = int(lit["LITTLE_IRREP_REALITY"][l - 1])
            small = P.small(l)
            s, ch, mats = small
            narm = len(P.reps)
            self.assertEqual(int(lit["LITTLE_IRREP_DIMENSION"][l - 1]),
                             narm * s * (1 if rt == 1 else 2))
            # The stored characters are the traces of the stored matrices.
            self.assertLess(np.abs(ch - [np.trace(M) for M in mats]).max(), TOL)
            chars.append(ch)
            total += s * s * (2 if rt == 3 and paired else 1)
            for kappa in kappas:
                first = kappa is kappas[0]
                D = {op: P.induced(small, op, kappa) for op in P.ops + trans}
                for a in gens:
                    for b in P.ops + trans:
                        prod = P.induced(small, mul(t, L, a, b), kappa)
                        self.assertLess(np.abs(D[a] @ D[b] - prod).max(), TOL,
                                        "not a representation (l %d)" % l)
                mats_g = [D[op] for op in gens]
                if first and len(mats_g[0]) <= 24:
                    self.assertEqual(commutant_dimension(mats_g, False).shape[1], 1,
                                     "reducible (l %d)" % l)
                    X = commutant_dimension(mats_g, True)
                    if rt == 3:
                        self.assertEqual(X.shape[1], 0, "type 3 equivalent to its conjugate")
                    else:
                        self.assertEqual(X.shape[1], 1)
                        n = len(mats_g[0])
                        B = X[:, 0].reshape((n, n), order="F")
                        sign = 1 if rt == 1 else -1
                        self.assertLess(np.abs(B - sign * B.T).max(), 1e-6,
                                        "invariant form of the wrong symmetry (type %d)" % rt)
                if rt != 1:
                    n = int(lit["LITTLE_IRREP_DIMENSION"][l - 1])
                    start = int(lit["LITTLE_IRREP_TRANSFORM_START"][l - 1])
                    self.assertGreater(start, 0)
                    v = lit["LITTLE_IRREP_TRANSFORM_VALUE"][:, start - 1:start - 1 + n * n]
                    T = (t.cv[v[0]] + 1j * t.cv[v[1]]).reshape((n, n), order="F")
                    self.assertLess(np.abs(T @ T.conj().T - np.eye(n)).max(), TOL)
                    h = n // 2
                    for Dg in mats_g:
                        Z = np.zeros((n, n), dtype=complex)
                        Z[:h, :h], Z[h:, h:] = Dg, Dg.conj()
                        Y = T @ Z @ T.conj().T
                        self.assertLess(np.abs(Y.imag).max(), TOL)
                        self.assertLess(np.abs(Y.real @ Y.real.T - np.eye(n)).max(), TOL)
            lists = [site_lists(t, P, l, small, kappa) for kappa in kappas]
            self.assertEqual(lists[0], lists[1])
            self.assertEqual(stored_site_lists(t, P, l), lists[0])
        n = len(P.co)
        self.assertEqual(total, n)
        # Projective characters of the slots: orthonormal.
        G = np.array([[np.vdot(a, b) / n for b in chars] for a in chars])
        self.assertLess(np.abs(G - np.eye(len(chars))).max(), TOL)
        self.assertEqual(P.nslot, len(set(P.little)))


# --- phonopy -----------------------------------------------------------------------------------

JUDGE = [
    ("SrTiO3", 221, ("1a", "1b", "3d"), "DT", Fraction(1, 4)),
    ("P212121", 19, ("4a", "4a"), "SM", Fraction(1, 4)),
    ("P212121", 19, ("4a",), "A", Fraction(1, 4)),
    ("diamond", 227, ("8a",), "DT", Fraction(1, 2)),
    ("wurtzite", 186, ("2b", "2b"), "DT", Fraction(1, 4)),
    ("P61", 169, ("6a",), "DT", Fraction(1, 3)),
]


def keys(frac):
    return [tuple(int(v) for v in row) for row in np.rint(frac * 14400).astype(int) % 14400]


def phonopy_sets(t, g, lattice, pos, types, kappa, rng):
    """Degenerate-set sizes at kappa from generic symmetric force constants in the supercell
    diag(N), N the denominators of kappa; symmetrised over the operators that keep it."""
    from phonopy import Phonopy
    from phonopy.structure.atoms import PhonopyAtoms
    L = t.bravais(g)
    B = cm.conventional_basis(L)
    N = np.array([x.denominator for x in kappa])
    # The supercell must be kept by the operators that send kappa to +-kappa.
    for op in t.ops(g):
        A = t.k_rot(L, op[4])
        kr = [sum(int(A[r, c]) * kappa[c] for c in range(3)) for r in range(3)]
        if all((a - b).denominator == 1 for a, b in zip(kr, kappa)) or \
                all((a + b).denominator == 1 for a, b in zip(kr, kappa)):
            Rs = np.diag(1.0 / N) @ t.prim_rot(L, op[4]) @ np.diag(N)
            if np.abs(Rs - np.rint(Rs)).max() > 1e-9:
                N = np.full(3, lcm(*(int(x) for x in N)))
                break
    Nd = np.diag(N)
    symbols = ["H", "Li", "C", "O", "F"]
    cell = PhonopyAtoms(symbols=[symbols[x - 1] for x in types], cell=lattice.T,
                        scaled_positions=np.array([[float(v) for v in x] for x in pos]))
    ph = Phonopy(cell, supercell_matrix=Nd, log_level=0)
    spos = ph.supercell.scaled_positions
    n = len(spos)
    A = rng.standard_normal((n, 3, n, 3))
    phi = np.zeros_like(A)
    index = {k: i for i, k in enumerate(keys(spos))}
    shifts = [np.array((a, b, c)) for a in range(N[0]) for b in range(N[1]) for c in range(N[2])]
    Ndi = np.diag(1.0 / N)
    used = 0
    for op in t.ops(g):
        R = t.prim_rot(L, op[4])
        Rs = Ndi @ R @ Nd
        if np.abs(Rs - np.rint(Rs)).max() > 1e-9:
            continue
        used += 1
        Rc = B @ t.rot(op[4]) @ np.linalg.inv(B)
        rotated = np.einsum("ij,ajbk,lk->aibl", Rc, A, Rc)
        base = spos @ Rs.T + Ndi @ (np.array(op[:3]) / op[3])
        for s in shifts:
            perm = [index[k] for k in keys(base + Ndi @ s)]
            phi[np.ix_(perm, range(3), perm, range(3))] += rotated
    phi = phi + phi.transpose(2, 3, 0, 1)
    ph.force_constants = phi.transpose(0, 2, 1, 3)
    ph.run_qpoints([[float(x) for x in kappa]], with_eigenvectors=False)
    f = np.sort(ph.get_qpoints_dict()["frequencies"][0])
    sizes, start = [], 0
    for i in range(1, len(f) + 1):
        if i == len(f) or abs(f[i] - f[start]) > 1e-4 * max(1.0, abs(f[start])):
            sizes.append(i - start)
            start = i
    return Counter(sizes), used


def predicted_sets(t, P, kappa, pos):
    """Sets from the tables: multiplicity c of each slot's small irrep in the displacement
    representation of the little group; sets of s (type 1, or no partner in the star), 2 s
    (type 2: c / 2 of them; type 3 with its partner in the star: c of them)."""
    L = P.L
    ops = {k: tuple(Fraction(x, DEN) for x in tr) for tr, k in P.ops}
    disp = []
    for k in P.co:
        Rp = t.prim_rot(L, k)
        z = 0j
        for x in pos:
            y = [sum(int(Rp[a, b]) * x[b] for b in range(3)) + ops[k][a] for a in range(3)]
            nvec = [y[a] - x[a] for a in range(3)]
            if all(v.denominator == 1 for v in nvec):
                z += np.trace(t.rot(k)) * np.exp(2j * np.pi * float(
                    sum(kappa[a] * nvec[a] for a in range(3)) % 1))
        disp.append(z)
    disp = np.array(disp)
    paired = P.minus_in_star(kappa)
    for sign in (1, -1):
        d = disp if sign == 1 else disp.conj()
        sets, ok = Counter(), True
        for l in P.little:
            s, ch, _ = P.small(l)
            full = np.array([np.exp(2j * np.pi * float(sum(kappa[a] * ops[k][a]
                                                               for a in range(3)) % 1)) * ch[i]
                             for i, k in enumerate(P.co)])
            c = np.vdot(full, d) / len(P.co)
            if abs(c - round(c.real)) > 1e-6 or round(c.real) < 0:
                ok = False
                break
            c = int(round(c.real))
            rt = int(t.lit["LITTLE_IRREP_REALITY"][l - 1])
            if not paired or rt == 1:
                sets[s] += c
            elif rt == 2:
                sets[2 * s] += c // 2
            else:
                sets[2 * s] += c
        if ok:
            return +sets
    return None


class PhonopyJudge(unittest.TestCase):

    def test_degenerate_sets(self):
        t = tables()
        for name, g, atoms, label, u in JUDGE:
            with self.subTest(crystal=name, k=label):
                rng = np.random.default_rng(g)
                L = t.bravais(g)
                lattice = cm.conventional_basis(L) @ cm.primitive_basis(t, L)
                pos, types = [], []
                for n, wl in enumerate(atoms, start=1):
                    for x in tm.orbit(t, g, tm.position(t, g, wl), rng):
                        pos.append(x)
                        types.append(n)
                P = Point(t, g, label)
                kappa = P.kappa([u, u, u])
                want = predicted_sets(t, P, kappa, pos)
                self.assertIsNotNone(want, "no integral multiplicities")
                self.assertEqual(sum(k * v for k, v in want.items()), 3 * len(pos))
                got, used = phonopy_sets(t, g, lattice, pos, types, kappa, rng)
                if os.environ.get("VERBOSE"):
                    print(name, label, dict(got), dict(want), used, flush=True)
                self.assertEqual(got, want)


# --- vibrex on the tables ------------------------------------------------------------------------

# (input, k line, {(degeneracy, count): number of irreps}, modes per arm): SrTiO3 along DT, LD,
# SM (4 D1 + D2 + 5 D5, 4 L1 + L2 + 5 L3, 5 S1 + S2 + 5 S3 + 4 S4 in the usual names), a
# pseudoreal line of P212121 and the complex line of P61 without its partner in the star.
SRTIO3 = "SrTiO3\n221\n3.905 3.905 3.905 90 90 90\n3\nSr 1b\nTi 1a\nO 3d\n"
P212121 = "P212121 general\n19\n4.1 5.2 6.3 90 90 90\n1\nO 4a 0.11 0.23 0.37\n"
P61 = "P61 general\n169\n4.1 4.1 6.3 90 90 120\n1\nO 6a 0.11 0.23 0.37\n"
RUNS = [
    (SRTIO3, "DT 1/4", {(6, 4): 1, (6, 1): 1, (12, 5): 1}),
    (SRTIO3, "LD 1/6", {(8, 4): 1, (8, 1): 1, (16, 5): 1}),
    (SRTIO3, "SM 1/5", {(12, 5): 2, (12, 1): 1, (12, 4): 1}),
    (P212121, "E 1/5", {(4, 3): 2}),
    (P61, "DT 1/7", {(2, 3): 6}),
]


class VibrexRuns(unittest.TestCase):

    def test_lines(self):
        import subprocess
        import tempfile
        import test_vibrex_examples as tv
        if not os.path.exists(tv.BIN):
            self.skipTest("vibrex not built")
        for text, kline, want in RUNS:
            with self.subTest(k=kline), tempfile.TemporaryDirectory() as tmp:
                p = subprocess.run([tv.BIN], input=text + "1\n" + kline + "\n",
                                   capture_output=True, text=True, cwd=tmp,
                                   env=dict(os.environ, XTALDIR=DATA + "/"), timeout=300)
                self.assertEqual(p.returncode, 0, p.stdout[-500:])
                got = Counter((b["dim"], b["total"] // b["dim"]) for b in tv.parse_report(p.stdout))
                self.assertEqual(dict(got), want)


def every_point(t):
    """(group, labels) of every k type with parameters of every group."""
    out = []
    for g in range(1, 231):
        L = t.bravais(g)
        out.append((g, tuple(cm.text(t.lit["KVEC_LABEL"][j, L - 1]).strip()
                             for j in range(int(t.lit["KVEC_COUNT"][L - 1]))
                             if int(t.lit["KVEC_PARAMETER_COUNT"][j, L - 1]))))
    return out


if __name__ == "__main__":
    if len(sys.argv) > 1 and os.path.isdir(sys.argv[1]):
        DATA = sys.argv.pop(1)
    if "--all" in sys.argv:
        sys.argv.remove("--all")
        SAMPLE = every_point(tables())
    result = unittest.main(exit=False, verbosity=1).result
    sys.exit(0 if result.wasSuccessful() else 1)
