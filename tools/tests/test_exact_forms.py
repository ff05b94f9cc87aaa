#!/usr/bin/python3
"""Exact real forms of the irreps at the special points.

The field Q(sqrt2, sqrt3): inverses, the 24th roots of unity against cmath, exact signs,
snapping. nice_form: equivalent inputs (random unitary conjugations, with and without the
factor system) give the same exact matrices, which satisfy the factor system exactly; a
representation outside the field is refused. The irreps: for a table of groups covering every
crystal family and the hard cases, every slot is checked exactly: the matrices of the
generating operators and the three lattice translations are orthogonal, the map is a
homomorphism (M(a) M(b) = M(a b), a b a listed operator plus a lattice translation), the
characters equal those of the numerical real forms of fixed_kpoints to 1e-9, the fixed
transformation gives T^H R T = diag(D, conj D) (type 3) or diag(D, D) (type 2), and the
transformation depends only on the real dimension and reality type.

`--all` makes the forms of every (group, k) pair (not in CI: about a minute) and prints the run
time, the distinct positive values and their smallest spacing, and the failures; `--full` adds
the checks above for every irrep (about six minutes), `--part i/n` takes every n-th pair
from pair i (0-based) so that several processes can share the sweep.
"""
import cmath
import math
import os
import sys
import time
from fractions import Fraction

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))

from tablegen import kvectors, modes, space  # noqa: E402
from tablegen import exact_forms as ef  # noqa: E402
from tablegen import fixed_kpoints as fk  # noqa: E402
from tablegen import quadfield as qf  # noqa: E402
from tablegen.quadfield import QQ, QC  # noqa: E402

# (group, k labels): every crystal family and the hard cases
CASES = (
    (2, None),                    # triclinic, all points
    (14, None),                   # monoclinic, screw and glide
    (19, ("R", "S")),             # P212121: R one fourfold pseudoreal irrep
    (62, ("R", "S")),
    (142, None),                  # I41/acd
    (167, None),                  # R-3c
    (143, ("K",)),                # P3: complex irreps, -K outside the star
    (176, ("K", "H")),
    (194, ("K", "H", "M", "A")),
    (198, ("R", "M")),
    (221, ("X", "M", "R")),
    (227, ("X", "L", "W")),
    (230, ("H", "P", "N")),
)


def fails_field():
    out = []
    rng = np.random.default_rng(3)
    vals = [QQ(*(Fraction(int(x), int(y)) for x, y in zip(rng.integers(-9, 10, 4),
                                                         rng.integers(1, 7, 4))))
            for _ in range(12)]
    for x in vals:
        for y in vals[:4]:
            if x and (x / x != qf.ONE or abs(float(x * y) - float(x) * float(y)) > 1e-9):
                out.append("field: product or inverse wrong for %r, %r" % (x, y))
        if x and x.sign() != (1 if float(x) > 0 else -1):
            out.append("field: sign of %r" % (x,))
    # signs near zero (665857 - 470832 sqrt2 = 7.5e-7, 978122 - 564719 sqrt3 = 5.1e-7) are
    # decided exactly, not by their floats
    for x, s in ((QQ(665857, -470832), 1), (QQ(-665857, 470832), -1), (QQ(5, 0, -2, 0), 1),
                 (QQ(978122, 0, -564719), 1), (QQ(0, -978122, 0, 564719), -1),
                 (QQ(0, 7, -4), 1), (QQ(0, -7, 4), -1)):
        if x.sign() != s:
            out.append("field: exact sign of %r" % (x,))
    for j in range(24):
        z = qf.root_of_unity(Fraction(j, 24))
        if abs(complex(z) - cmath.exp(2j * math.pi * j / 24)) > 1e-12 or \
                z * z.conjugate() != qf.CONE:
            out.append("field: root of unity %d/24" % j)
    for x, want in ((math.sqrt(2 / 3), QQ(0, 0, 0, Fraction(1, 3))),
                    (math.cos(math.pi / 12), QQ(0, Fraction(1, 4), 0, Fraction(1, 4))),
                    (-0.5, QQ(Fraction(-1, 2))), (0.0, qf.ZERO)):
        if qf.snap(x) != want:
            out.append("field: snap(%r) = %r" % (x, qf.snap(x)))
    return out


def _random_unitary(rng, d):
    q, _ = np.linalg.qr(rng.normal(size=(d, d)) + 1j * rng.normal(size=(d, d)))
    return q


def fails_nice_form(sh):
    out = []
    rng = np.random.default_rng(11)
    # small irreps of P2_13 at R (projective, 2- and 6-dimensional) and Pm-3m at R
    for g, label in ((198, "R"), (221, "R"), (230, "H")):
        P = point(sh, g, label)
        factor = ef._exact_factor(P)
        for mats, _ in P.small:
            d = mats[0].shape[0]
            first, _ = ef.nice_form(mats, factor)
            V = _random_unitary(rng, d)
            again, V2 = ef.nice_form([V.conj().T @ M @ V for M in mats], factor)
            if again != first:
                out.append("nice_form: group %d %s: the form depends on the input basis"
                           % (g, label))
            third, _ = ef.nice_form([V.conj().T @ M @ V for M in mats])
            if third != first:
                out.append("nice_form: group %d %s: the form changes without the factor "
                           "system" % (g, label))
            W = V2.conj().T @ (V.conj().T @ mats[1] @ V) @ V2
            if np.abs(W - qf.mat_float(first[1])).max() > 1e-9:
                out.append("nice_form: group %d %s: returned basis does not give the form"
                           % (g, label))
    # a failure names the group, the k label and the slot
    keep = ef.nice_form
    try:
        ef.nice_form = lambda mats, factor=None: (_ for _ in ()).throw(ValueError("refused"))
        ef.exact_irreps(sh, 221, point(sh, 221, "R").kindex)
        out.append("exact_irreps: a refused small irrep went unnoticed")
    except ef.NoExactForm as e:
        if not str(e).startswith("group 221, k R, slot 1:"):
            out.append("exact_irreps: unclear failure message %r" % str(e))
    finally:
        ef.nice_form = keep
    # a cyclic group of order 5 has no form over the field
    z = cmath.exp(2j * math.pi / 5)
    try:
        ef.nice_form([np.array([[z ** j]]) for j in range(5)])
        out.append("nice_form: accepted a fifth root of unity")
    except ValueError:
        pass
    return out


def point(sh, g, label):
    for j in fk.special_kindices(sh.bravais(g)):
        if kvectors.k_types(sh.bravais(g))[j - 1].label == label:
            return fk.SpecialPoint(sh, g, j)
    raise KeyError((g, label))


def _eye(n):
    return qf.identity(n)


def _block(A, B):
    n = len(A)
    rows = []
    for i in range(2 * n):
        rows.append(tuple((A[i][j] if i < n else qf.CZERO) if j < n else
                          (B[i - n][j - n] if i >= n else qf.CZERO) for j in range(2 * n)))
    return tuple(rows)


def check_irrep(P, ir, fails):
    where = "group %d %s slot m=%d" % (P.g, P.label, ir.m)
    gens = ir._gens
    listed = {op.k: op for op in P.ops}
    M = {}
    for op in gens + P.ops:
        R = ir.matrix(op)
        M[id(op)] = R
        if len(R) != ir.dim or len(R) != P.little_dimension(ir.m):
            fails.append("%s: dimension %d" % (where, len(R)))
            return
        if abs(float(ir.character(op)) - np.trace(P.real_form(ir.m, op)).real) > 1e-9:
            fails.append("%s: character differs from the numerical real form" % where)
            return
    for op in gens:
        R = M[id(op)]
        if qf.mat_mul(R, qf.transpose(R)) != _eye(ir.dim):
            fails.append("%s: matrix not orthogonal" % where)
            return
    for a in gens:
        for b in P.ops:
            ab = a * b
            c = listed[ab.k]
            if qf.mat_mul(M[id(a)], M[id(b)]) != ir.matrix(ab):
                fails.append("%s: no homomorphism" % where)
                return
            # a b = (listed operator c) plus a lattice translation
            n = tuple(x - y for x, y in zip(ab.t, c.t))
            if any(x.denominator != 1 for x in n):
                fails.append("%s: product leaves the listed translations" % where)
                return
            tr = fk.translation(P.L, tuple(n) + (P.ops[0].k,))
            if qf.mat_mul(ir.matrix(tr), M[id(c)]) != ir.matrix(ab):
                fails.append("%s: translation part of a product is wrong" % where)
                return
    if ir.reality == 1:
        if ir.transform is not None:
            fails.append("%s: type 1 with a transformation" % where)
        return
    T = ir.transform
    if T != ef.transform(ir.dim, ir.reality):
        fails.append("%s: transformation is not the fixed one" % where)
    Th = qf.conj_transpose(T)
    if qf.mat_mul(Th, T) != qf.identity(ir.dim, qf.CZERO, qf.CONE):
        fails.append("%s: transformation not unitary" % where)
    for op in gens:
        D = ir.complex_matrix(op)
        D2 = D if ir.reality == 2 else tuple(tuple(x.conjugate() for x in r) for r in D)
        R = tuple(tuple(QC(x) for x in r) for r in M[id(op)])
        if qf.mat_mul(qf.mat_mul(Th, R), T) != _block(D, D2):
            fails.append("%s: T^H R T is not diag(D, %s)" % (where, "D" if ir.reality == 2
                                                              else "conj D"))
            return


def fails_irreps(sh):
    out = []
    for g, labels in CASES:
        for j in fk.special_kindices(sh.bravais(g)):
            P = fk.SpecialPoint(sh, g, j)
            if labels is not None and P.label not in labels:
                continue
            irs = ef.exact_irreps(sh, g, j, point=P)
            if [ir.m for ir in irs] != P.slots():
                out.append("group %d %s: irreps not in slot order" % (g, P.label))
            for ir in irs:
                check_irrep(P, ir, out)
    P = point(sh, 19, "R")
    irs = ef.exact_irreps(sh, 19, P.kindex, point=P)
    if [(ir.dim, ir.reality, ir.small_dim, ir.narm) for ir in irs] != [(4, 2, 2, 1)]:
        out.append("P212121 at R: not one fourfold pseudoreal irrep")
    return out


def values_of(irs, out):
    for ir in irs:
        for op in ir.P.generators():
            for row in ir.matrix(op):
                for x in row:
                    if x:
                        out.add(abs(x))
        if ir.transform is not None:
            for row in ir.transform:
                for z in row:
                    for x in z:
                        if x:
                            out.add(abs(x))


def run_all(sh, full, part):
    """Every (group, k) pair (pair number % n == i for part (i, n)); full: check_irrep too."""
    t0 = time.time()
    vals, fails, pairs = set(), [], 0
    number = 0
    for g in range(1, 231):
        for j in fk.special_kindices(sh.bravais(g)):
            number += 1
            if number % part[1] != part[0]:
                continue
            pairs += 1
            try:
                P = fk.SpecialPoint(sh, g, j)
                irs = ef.exact_irreps(sh, g, j, point=P)
                values_of(irs, vals)
                if full:
                    for ir in irs:
                        check_irrep(P, ir, fails)
            except ef.NoExactForm as e:
                fails.append(str(e))
    dt = time.time() - t0
    fl = sorted(float(v) for v in vals)
    gap = min(b - a for a, b in zip(fl, fl[1:])) if len(fl) > 1 else 0
    print("test_exact_forms --all: %d pairs, %d failed, %.0f s" % (pairs, len(fails), dt))
    print("distinct positive values: %d, smallest spacing %.6f, largest %.6f"
          % (len(fl), gap, fl[-1]))
    print("values: " + " ".join(repr(v) for v in sorted(vals, key=float)))
    for f in fails:
        print("  " + f)
    return 1 if fails else 0


def main():
    sh = modes.Shared(space.build(), None)
    args = sys.argv[1:]
    if "--all" in args:
        part = (0, 1)
        if "--part" in args:
            i, n = args[args.index("--part") + 1].split("/")
            part = (int(i), int(n))
        return run_all(sh, "--full" in args, part)
    fails = fails_field() + fails_nice_form(sh) + fails_irreps(sh)
    for f in fails[:20]:
        print("test_exact_forms:", f)
    if fails:
        return 1
    print("test_exact_forms: field, nice forms and %d groups checked" % len(CASES))
    return 0


if __name__ == "__main__":
    sys.exit(main())
