#!/usr/bin/python3
"""Isotropy subgroups of irreps given by their matrices, at the special points and at GM.

* Superlattice bases: the upper triangular form shortened column by column gives the bases the
  table readers expect for k = (1/2,0,0), (1/2,1/2,0), (1/3,1/3,1/3), (0,0,1/4).
* SrTiO3 (Pm-3m): the irrep at R that carries the out-of-phase octahedral tilts of the oxygen
  (3d) displacements, found by projecting a tilt pattern built atom by atom, offers exactly
  I4/mcm, Imma and R-3c (a0a0c-, a0b-b-, a-a-a-), each on a cell of two parent cells; the
  in-phase tilt irrep at M offers exactly P4/mbm on two cells, I4/mmm and Im-3 on four
  (a0a0c+, a0b+b+, a+a+a+).
* GM: the entries equal those of the zone-centre tables (subgroup numbers, order-parameter
  directions and their order) for a sample of groups.
* spglib: for a seeded sample of groups and special points, a crystal of two general orbits in
  a supercell is displaced along a generic vector of each entry's order-parameter direction;
  spglib finds exactly the entry's group, its pure translations are exactly the superlattice,
  and every operation spglib finds fixes every order-parameter vector (and no other operation
  of the parent does). Every superlattice is right-handed.

`test_fixed_isotropy.py --all` runs the isotropy of every stored irrep at every special point
and prints the number of entries, distinct order-parameter directions and the run time (not
part of CI).
"""
import os
import random
import sys
import time
from fractions import Fraction

import numpy as np
import spglib
from cctbx import sgtbx

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))

from tablegen import modes, space, wyckoff  # noqa: E402
from tablegen import pgirreps as pi  # noqa: E402
from tablegen import numfield as nf  # noqa: E402
from tablegen import fixed_kpoints as fk  # noqa: E402
from tablegen import fixed_isotropy as fi  # noqa: E402

FAILS = []


def check(cond, msg):
    if not cond:
        FAILS.append(msg)
    return cond


def shared():
    arrays = space.build()
    return modes.Shared(arrays, wyckoff.build_wyckoff(arrays))


def point(sh, g, label):
    for j in fk.special_kindices(sh.bravais(g)):
        P = fk.SpecialPoint(sh, g, j)
        if P.label == label:
            return P
    raise SystemExit("no k point %s in group %d" % (label, g))


def matrices(P, m):
    """Real matrices of slot m: the three primitive translations, then the listed operators."""
    k0 = P.ops[0].k
    T = [P.real_form(m, fk.translation(P.L, e + (k0,))).real
         for e in ((1, 0, 0), (0, 1, 0), (0, 0, 1))]
    O = [P.real_form(m, op).real for op in P.ops]
    return T, O


def det3(S):
    return int(round(np.linalg.det(np.array(S, dtype=float))))


# --- the finite group acting on a supercell ------------------------------------------------------

class Supercell:
    """Sites of a crystal in the supercell n Z^3 of "pml", the action of the group elements
    (listed operator j, translation t in the box) on its displacement fields. Site coordinates
    are multiples of 1/1000, so every image is a multiple of 1/12000 and has an exact key."""

    Q = 12000

    def __init__(self, ops, n, sites):
        self.ops, self.N = ops, (n, n, n)
        self.box = [(a, b, c) for a in range(n) for b in range(n) for c in range(n)]
        pos, self.kind = [], []
        for kind, r in sites:
            for t in self.box:
                pos.append(np.array(r, dtype=float) + t)
                self.kind.append(kind)
        self.pos = np.array(pos)
        codes = self._codes(self.pos)
        self.order = np.argsort(codes)
        self.sorted = codes[self.order]
        if len(np.unique(codes)) != len(codes):
            raise SystemExit("supercell sites overlap")
        self.elems = [(j, t) for j in range(len(ops)) for t in self.box]
        self.actions = [self.action(j, t) for j, t in self.elems]

    def _codes(self, p):
        B = self.N[0] * self.Q
        q = np.mod(np.rint(p * self.Q).astype(np.int64), B)
        return (q[:, 0] * B + q[:, 1]) * B + q[:, 2]

    def action(self, j, t):
        """(permutation, rotation): atom a goes to perm[a]; displacements turn by the rotation."""
        op = self.ops[j]
        R = np.array(op.rot, dtype=float)
        img = self.pos @ R.T + np.array([float(x) for x in op.t]) + t
        c = self._codes(img)
        i = np.searchsorted(self.sorted, c)
        if not np.array_equal(self.sorted[np.minimum(i, len(c) - 1)], c):
            raise SystemExit("an operator does not map the supercell sites onto themselves")
        return self.order[i], R


def irrep_matrix(T, O, j, n):
    M = O[j]
    for i in range(3):
        M = np.linalg.matrix_power(T[i], n[i]) @ M
    return M


def order(M):
    P, k = M, 1
    while not np.allclose(P, np.eye(len(M)), atol=1e-8):
        P, k = P @ M, k + 1
    return k


def general_orbits(ops, A, rng, count):
    """count orbits of general points (one kind each), every two atoms at least 0.8 apart in
    the Cartesian basis A."""
    shifts = np.array([(a, b, c) for a in (-1, 0, 1) for b in (-1, 0, 1) for c in (-1, 0, 1)])
    out = []
    while len(out) < count:
        x = rng.integers(50, 950, 3) / 1000.0
        orbit = {}
        for op in ops:
            r = np.mod(np.array(op.rot, dtype=float) @ x + np.array([float(v) for v in op.t]),
                       1.0)
            orbit.setdefault(tuple(np.rint(r * 12000).astype(int) % 12000), r)
        if len(orbit) != len(ops):
            continue
        pts = np.array(list(orbit.values()) + [r for orb in out for r in orb])
        diff = pts[:, None, None, :] - pts[None, :, None, :] + shifts[None, None, :, :]
        dist = np.linalg.norm(diff @ A.T, axis=3)
        np.fill_diagonal(dist[:, :, 13], np.inf)
        if dist.min() > 0.8:
            out.append(list(orbit.values()))
    return [(kind + 1, r) for kind, orb in enumerate(out) for r in orb]


def invariant_lattice(ops, rng):
    """Cartesian basis (columns) of "pml" with a generic metric kept by the rotations."""
    G0 = rng.normal(size=(3, 3))
    G0 = G0 @ G0.T + 3 * np.eye(3)
    G = sum(np.array(op.rot, dtype=float).T @ G0 @ np.array(op.rot, dtype=float) for op in ops)
    G = G / len(ops)
    A = np.linalg.cholesky(G).T
    # 25 cubic angstrom per atom of two general orbits.
    return A * np.cbrt(50.0 * len(ops) / abs(np.linalg.det(A)))


# --- checks ------------------------------------------------------------------------------------

def check_superlattice_rule():
    cases = (((Fraction(1, 2), 0, 0), ((2, 0, 0), (0, 1, 0), (0, 0, 1))),
             ((Fraction(1, 2), Fraction(1, 2), 0), ((1, -1, 0), (1, 1, 0), (0, 0, 1))),
             ((Fraction(1, 3),) * 3, ((1, -1, 0), (0, 1, -1), (1, 1, 1))),
             ((0, 0, Fraction(1, 4)), ((1, 0, 0), (0, 1, 0), (0, 0, 4))))
    for k, want in cases:
        N = [max(Fraction(x).denominator, 1) for x in k]
        N = [max(N)] * 3

        def member(n, k=k):
            return sum(Fraction(a) * b for a, b in zip(k, n)).denominator == 1

        cols = fi.shorten(fi._hermite(member, N))
        check(tuple(tuple(c) for c in cols) == want,
              "superlattice of k = %s: %r, expected %r" % (k, cols, want))


def tilt_pattern(cell, phase):
    """Rotation of every TiO6 octahedron about z by a small angle with the sign
    (-1)^(phase . n) of the octahedron at n: oxygen at n + (1/2,0,0) moves along y, oxygen at
    n + (0,1/2,0) along -x (z x r), the apical oxygen stays."""
    u = np.zeros((len(cell.pos), 3))
    for a, p in enumerate(cell.pos):
        centre = np.floor(p + 1e-9)
        r = p - centre
        s = (-1) ** int(round(np.dot(phase, centre)))
        u[a] = s * np.cross((0.0, 0.0, 1.0), r)
    return u


def srtio3(sh):
    oxygen = [(1, (0.5, 0, 0)), (1, (0, 0.5, 0)), (1, (0, 0, 0.5))]
    for label, phase, want in (("R", (1, 1, 1), {(140, 2), (74, 2), (167, 2)}),
                               ("M", (1, 1, 0), {(127, 2), (139, 4), (204, 4)})):
        P = point(sh, 221, label)
        cell = Supercell(P.ops, 2, oxygen)
        u = tilt_pattern(cell, phase)
        elems, actions = cell.elems, cell.actions
        hits = []
        for m in P.slots():
            if P.types[m] != 1:
                continue
            T, O = matrices(P, m)
            d = len(T[0])
            proj = np.zeros_like(u)
            for (j, n), (perm, R) in zip(elems, actions):
                chi = np.trace(irrep_matrix(T, O, j, n))
                proj[perm] += chi * (u @ R.T)
            proj *= d / len(elems)
            if np.allclose(proj, u, atol=1e-8):
                hits.append(m)
        if not check(len(hits) == 1, "SrTiO3 at %s: tilt pattern in slots %r" % (label, hits)):
            continue
        T, O = matrices(P, hits[0])
        check(len(T[0]) == 3, "SrTiO3 at %s: tilt irrep of dimension %d" % (label, len(T[0])))
        got = {(sg, det3(S)) for sg, S, _ in fi.isotropy_entries(sh, 221, T, O)}
        check(got == want, "SrTiO3 at %s: tilt irrep offers %r, expected %r" % (label, sorted(got),
                                                                          sorted(want)))


GM_SAMPLE = (1, 2, 10, 19, 62, 99, 141, 148, 160, 176, 186, 194, 198, 204, 221, 225, 227, 230)


def zone_centre(sh):
    for g in GM_SAMPLE:
        p, L = sh.pg(g), sh.bravais(g)
        phi = modes.correspondence(sh, g)
        ops = sh.ops(g)
        for r, ir in enumerate(pi.point_group_irreps(p), start=1):
            ref = []
            for H, F in modes.isotropy(p, r):
                sub = tuple(op for op in ops if phi[op[4]] in H)
                ref.append((modes.identify(L, sub),
                            tuple(tuple(round(float(x), 9) for x in v) for v in F)))
            # Exact matrices (a + b sqrt3) as the zone-centre tables hold them.
            I = nf.identity(ir.dim)
            O = [ir.matrix(phi[op[4]]) for op in ops]
            ent = fi.isotropy_entries(sh, g, [I] * 3, O)
            mine = [(sg, opd) for sg, _, opd in ent]
            check(mine == ref, "group %d GM%d: entries %r, zone-centre tables %r"
                  % (g, r, mine, ref))
            check(all(S == ((1, 0, 0), (0, 1, 0), (0, 0, 1)) for _, S, _ in ent),
                  "group %d GM%d: superlattice not the unit matrix" % (g, r))


def parent_cell(P, rng):
    """Two general orbits in the supercell n Z^3 (n the order of the translations' image at
    the point, a box every rotation keeps) and a lattice with a generic invariant metric;
    spglib must find the group itself in the parent cell."""
    n = 1
    for m in P.slots():
        T, _ = matrices(P, m)
        n = int(np.lcm.reduce([n] + [order(M) for M in T]))
    A = invariant_lattice(P.ops, rng)
    sites = general_orbits(P.ops, A, rng, 2)
    prim = (A.T, np.array([r for _, r in sites]), [k for k, _ in sites])
    parent = spglib.get_symmetry_dataset(prim, symprec=1e-4)
    check(parent is not None and parent["number"] == P.g, "group %d %s: parent crystal is %s"
          % (P.g, P.label, parent and parent["number"]))
    return Supercell(P.ops, n, sites), A


def displaced_check(sh, P, m, cell, A, rng):
    where = "group %d %s slot %d" % (P.g, P.label, m)
    T, O = matrices(P, m)
    entries = fi.isotropy_entries(sh, P.g, T, O)
    if not check(entries, where + ": no entries"):
        return 0
    N = cell.N
    actions = cell.actions
    D = [irrep_matrix(T, O, j, t) for j, t in cell.elems]
    d = len(T[0])
    Dm = np.array(D)
    Rs = np.array([R for _, R in actions])
    perms = np.array([perm for perm, _ in actions])
    U = rng.normal(size=(len(cell.pos), 3, d))
    Nd = np.diag(np.array(N, dtype=float))
    lattice = (A @ Nd).T
    for sg, S, opd in entries:
        tag = "%s entry %d (%d)" % (where, entries.index((sg, S, opd)) + 1, sg)
        check(det3(S) > 0, tag + ": superlattice %r not right-handed" % (S,))
        V = np.array(opd, dtype=float)
        x = rng.uniform(0.5, 1.5, len(V)) @ V
        # eta = sum over the finite group of rho(g) U D(g)^T x: a displacement field that
        # transforms like x under the irrep.
        eta = np.zeros((len(cell.pos), 3))
        Y = np.einsum("gij,i->gj", Dm, x)
        for c in range(0, len(D), 128):
            F = np.einsum("ack,gk->gac", U, Y[c:c + 128])
            F = np.einsum("gac,gbc->gab", F, Rs[c:c + 128])
            np.add.at(eta, perms[c:c + 128].ravel(), F.reshape(-1, 3))
        amp = np.abs(eta @ A.T).max()
        if not check(amp > 1e-6, tag + ": no displacement along the direction"):
            continue
        eta *= 0.08 / amp
        pos = (cell.pos + eta) / np.array(N, dtype=float)
        ds = spglib.get_symmetry_dataset((lattice, pos, cell.kind), symprec=1e-3)
        if not check(ds is not None, tag + ": spglib finds no symmetry"):
            continue
        check(ds["number"] == sg, tag + ": spglib finds group %d" % ds["number"])
        # Pure translations of the displaced supercell = the superlattice (mod the box).
        Si = np.linalg.inv(np.array(S, dtype=float))
        want = {n for n in cell.box if np.allclose(Si @ n, np.rint(Si @ n), atol=1e-9)}
        found = set()
        fixed = 0
        for W, w in zip(ds["rotations"], ds["translations"]):
            R = np.rint(Nd @ W @ np.linalg.inv(Nd)).astype(int)
            t = Nd @ w
            j = next((j for j, op in enumerate(P.ops) if np.array_equal(np.array(op.rot), R)),
                     None)
            if not check(j is not None, tag + ": spglib operation outside the parent"):
                break
            n = t - np.array([float(v) for v in P.ops[j].t])
            if not check(np.allclose(n, np.rint(n), atol=1e-3), tag + ": translation off"):
                break
            n = tuple(int(v) % N[i] for i, v in enumerate(np.rint(n)))
            if np.array_equal(R, np.eye(3, dtype=int)):
                found.add(n)
            M = irrep_matrix(T, O, j, n)
            if not check(np.allclose(M @ V.T, V.T, atol=1e-7),
                         tag + ": an operation of the subgroup moves the direction"):
                break
        check(found == want, tag + ": translations %d, superlattice has %d in the box"
              % (len(found), len(want)))
        fixed = sum(1 for M in D if np.allclose(M @ V.T, V.T, atol=1e-7))
        check(fixed == len(ds["rotations"]),
              tag + ": %d parent operations fix the direction, spglib finds %d"
              % (fixed, len(ds["rotations"])))
    return len(entries)


def spglib_sample(sh):
    rng = random.Random(20261210)
    pairs = [(g, j) for g in range(1, 231) for j in fk.special_kindices(sh.bravais(g))]
    sample = rng.sample(pairs, 14) + [(221, None), (62, None)]
    nrng = np.random.default_rng(4)
    count = 0
    for g, j in sample:
        if j is None:
            js = fk.special_kindices(sh.bravais(g))
        else:
            js = [j]
        for j in js:
            P = fk.SpecialPoint(sh, g, j)
            cell, A = parent_cell(P, nrng)
            for m in P.slots():
                count += displaced_check(sh, P, m, cell, A, nrng)
    return count


def invariants(P, T, O, entries, where):
    """Cheap checks of every entry: right-handed superlattice whose columns fix the direction,
    the translations in the box that fix it are exactly the superlattice, and the listed
    operators that fix it with some translation are as many as the point group of sg has."""
    n = int(np.lcm.reduce([order(M) for M in T]))
    box = [(a, b, c) for a in range(n) for b in range(n) for c in range(n)]
    Tn = {t: irrep_matrix(T, [np.eye(len(T[0]))], 0, t) for t in box}
    for sg, S, opd in entries:
        V = np.array(opd, dtype=float).T
        tag = "%s (%d)" % (where, sg)
        check(det3(S) > 0, tag + ": superlattice %r not right-handed" % (S,))
        Si = np.linalg.inv(np.array(S, dtype=float))
        lat = {t for t in box if np.allclose(Si @ t, np.rint(Si @ t), atol=1e-9)}
        fix = {t for t in box if np.allclose(Tn[t] @ V, V, atol=1e-7)}
        check(lat == fix, tag + ": translations fixing the direction are not the superlattice")
        pops = sum(1 for Oj in O if any(np.allclose(Tn[t] @ Oj @ V, V, atol=1e-7) for t in box))
        want = sgtbx.space_group_info(number=sg).group().order_p()
        check(pops == want, tag + ": %d point operations fix the direction, group %d has %d"
              % (pops, sg, want))


def run_all(sh):
    """Every stored irrep at every special point: counts, run time and the invariants."""
    t0 = time.time()
    entries = irreps = 0
    opds = set()
    worst = (0.0, None)
    spent = 0.0
    dets = []
    over = []
    for g in range(1, 231):
        for j in fk.special_kindices(sh.bravais(g)):
            P = fk.SpecialPoint(sh, g, j)
            for m in P.slots():
                T, O = matrices(P, m)
                t1 = time.time()
                ent = fi.isotropy_entries(sh, g, T, O)
                dt = time.time() - t1
                spent += dt
                where = "group %d %s slot %d" % (g, P.label, m)
                worst = max(worst, (dt, where))
                irreps += 1
                entries += len(ent)
                for sg, S, opd in ent:
                    opds.add((len(T[0]), opd))
                    dets.append(det3(S))
                if min(det3(S) for _, S, _ in ent) > 100:
                    over.append(where)
                invariants(P, T, O, ent, where)
        print("group %d done, %d irreps, %d entries, %.0f s" % (g, irreps, entries,
                                                               time.time() - t0), flush=True)
    for f in FAILS[:30]:
        print("test_fixed_isotropy:", f)
    print("special points: %d irreps, %d isotropy entries, %d distinct order-parameter "
          "directions (numerical forms), largest superlattice %d, %d entries above 100, "
          "irreps without an entry of at most 100: %r; %d failures; %.0f s in all, %.0f s in "
          "the isotropy search, slowest irrep %.1f s (%s)"
          % (irreps, entries, len(opds), max(dets), sum(1 for d in dets if d > 100), over,
             len(FAILS), time.time() - t0, spent, worst[0], worst[1]))


def main():
    sh = shared()
    if "--all" in sys.argv[1:]:
        run_all(sh)
        return 1 if FAILS else 0
    check_superlattice_rule()
    srtio3(sh)
    zone_centre(sh)
    n = spglib_sample(sh)
    for f in FAILS[:30]:
        print("test_fixed_isotropy:", f)
    if FAILS:
        print("test_fixed_isotropy: %d failures" % len(FAILS))
        return 1
    print("test_fixed_isotropy: superlattice rule, SrTiO3 tilts, %d groups at GM, %d entries "
          "checked with spglib" % (len(GM_SAMPLE), n))
    return 0


if __name__ == "__main__":
    sys.exit(main())
