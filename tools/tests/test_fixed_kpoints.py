#!/usr/bin/python3
"""Irreps at the special points (k types without parameters), as the table maker finds them.

For a sample of groups every physically irreducible irrep at every special point is induced
and checked as a finite matrix group: unitary, a homomorphism on the operators and the lattice
translations, irreducible (mean |chi|^2 over the image 1), Frobenius-Schur indicator of the
induced irrep equal to the reality type, real form real and orthogonal with the right
characters; the small irreps satisfy sum s^2 = co-group order. Over all 230 groups the slot
counts must fill the irrep numbers exactly (1,313 zone-centre irreps and the special points
make 4,777), with at most 12 slots, dimension 24 and small dimension 6; P212121 at R has one
fourfold pseudoreal irrep.
"""
import os
import sys

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))

from tablegen import modes, space  # noqa: E402
from tablegen import fixed_kpoints as sp  # noqa: E402

SAMPLE = (2, 14, 19, 62, 129, 148, 176, 194, 198, 205, 221, 227)


def key(M):
    return tuple(np.round(M, 6).flatten().tolist())


def check_point(P, fails):
    where = "group %d %s" % (P.g, P.label)
    n = len(P.co)
    if sum(s * s for s in P.small_dims()) != n:
        fails.append("%s: sum of squared small dimensions is not %d" % (where, n))
    for mats, _ in P.small:
        for a in range(n):
            for b in range(n):
                lhs = mats[a] @ mats[b]
                rhs = P.W[a][b] * mats[P.prod[a][b]]
                if not np.allclose(lhs, rhs, atol=1e-8):
                    fails.append("%s: small irrep breaks its factor system" % where)
                    return
    gens = P.generators()
    for m in P.slots():
        rt = P.types[m]
        img = P.finite_image(m)
        D = {id(g): P.induced(m, g) for g in gens}
        for g in gens:
            M = D[id(g)]
            if not np.allclose(M @ M.conj().T, np.eye(len(M)), atol=1e-8):
                fails.append("%s: induced matrix not unitary" % where)
            for h in gens[1:4] + gens[-3:]:
                if not np.allclose(M @ D[id(h)], P.induced(m, g * h), atol=1e-8):
                    fails.append("%s: induced irrep is no homomorphism" % where)
                    return
        chars = np.array([np.trace(M) for M in img])
        if abs(np.mean(np.abs(chars) ** 2) - 1) > 1e-6:
            fails.append("%s: induced irrep %d is reducible" % (where, m))
        fs = np.mean([np.trace(M @ M) for M in img])
        expect = {1: 1, 2: -1, 3: 0}[rt]
        if abs(fs - expect) > 1e-6:
            fails.append("%s: indicator %r for reality type %d" % (where, fs, rt))
        for g in gens:
            R = P.real_form(m, g)
            if np.abs(R.imag).max() > 1e-8:
                fails.append("%s: real form not real" % where)
                break
            R = R.real
            if not np.allclose(R @ R.T, np.eye(len(R)), atol=1e-8):
                fails.append("%s: real form not orthogonal" % where)
            c = np.trace(D[id(g)])
            want = c.real if rt == 1 else 2 * c.real
            if abs(np.trace(R) - want) > 1e-8:
                fails.append("%s: real form has the wrong character" % where)
        if len(R) != P.little_dimension(m):
            fails.append("%s: real dimension %d, expected %d" % (where, len(R),
                                                                 P.little_dimension(m)))


def main():
    sh = modes.Shared(space.build(), None)
    fails = []
    for g in SAMPLE:
        for j in sp.special_kindices(sh.bravais(g)):
            check_point(sp.SpecialPoint(sh, g, j), fails)
    cat = sp.catalogue(sh)
    slots = sum(len(s) for *_, s in cat)
    if slots + 1313 != 4777:
        fails.append("special points give %d slots, the irrep numbers need %d" % (slots, 3464))
    if max(len(s) for *_, s in cat) > 12 or max(d for *_, s in cat for _, _, d, _ in s) > 24 \
            or max(a for *_, s in cat for a, _, _, _ in s) > 6:
        fails.append("a special point exceeds 12 slots, dimension 24 or small dimension 6")
    r19 = [s for g, _, label, s in cat if g == 19 and label == "R"]
    if r19 != [[(2, 2, 4, 1)]]:
        fails.append("P212121 at R: %r, expected one fourfold pseudoreal irrep" % r19)
    for f in fails[:20]:
        print("test_fixed_kpoints:", f)
    if fails:
        return 1
    print("test_fixed_kpoints: %d groups checked in full, %d special-point slots in all"
          % (len(SAMPLE), slots))
    return 0


if __name__ == "__main__":
    sys.exit(main())
