#!/usr/bin/python3
"""vibrex on the garnet Y3Al5O12 (examples/vibrex/garnet.in, Ia-3d) and at the two special
points of the cubic groups stored last, Ia-3d N and Fd-3c W.

1. Garnet at the zone centre: the textbook decomposition 3A1g + 5A2g + 8Eg + 14T1g + 14T2g +
   5A1u + 5A2u + 10Eu + 18T1u + 16T2u, T1u infrared active, A1g, Eg and T2g Raman active.
2. Garnet at H, P and N: 3N modes for every arm of the star; spglib finds the parent group in
   each printed supercell and the isotropy subgroup the choice rule picks after a random
   displacement along an irrep's modes; at N the number of modes of each
   irrep is 12 times the multiplicity of a published little-group irrep (N1, N2) in the
   displacement representation at k, computed here from the published characters and the
   atoms' positions alone; the irrep holding the published N1 (as the stored characters say,
   test_published_characters) has the N1 count.
3. Small crystals of exactly these groups, judged without the tables as in
   test_vibrex_zone_boundary (spglib's operations, a supercell holding the stars of k and -k,
   the group average of a random symmetric matrix): Ia-3d with one orbit 32e at H, P and N,
   Fd-3c with one orbit 96g at W. Degeneracies and counts equal the sets of equal eigenvalues,
   the modes of each irrep span with the group an invariant subspace of the reported size,
   different irreps are orthogonal, and the supercell displaced along an irrep's modes has the
   isotropy subgroup that the choice rule picks on the tables.
"""
import cmath
import math
import os
import subprocess
import sys
import tempfile
import unittest
from fractions import Fraction as F
from itertools import chain, combinations

import numpy as np
from cctbx import sgtbx

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import test_published_characters as pub  # noqa: E402
import test_vibrex_examples as ve  # noqa: E402
import test_vibrex_zone_boundary as zb  # noqa: E402

GARNET = "garnet.in"
TEXTBOOK = {"A1g": 3, "A2g": 5, "Eg": 8, "T1g": 14, "T2g": 14, "A1u": 5, "A2u": 5, "Eu": 10,
            "T1u": 18, "T2u": 16}
ARMS = {"H": 1, "P": 2, "N": 6}
H = F(1, 2)

# (name, group, cctbx setting, a, Wyckoff label, parameter words (x, y, z in order; 96g has
# y only), representative, k lines with one star member each in conventional reciprocal
# coordinates)
SMALL = [
    ("Ia-3d 32e", 230, "Ia-3d", 10.0, "32e", "0.1", (F(1, 10),) * 3,
     {"H": (0, 1, 0), "P": (H, H, H), "N": (H, H, 0)}),
    ("Fd-3c 96g", 228, "Fd-3c:2", 10.0, "96g", "0 0.07", (F(1, 4), F(7, 100), F(-7, 100)),
     {"W": (H, 1, 0)}),
]


def run(text):
    with tempfile.TemporaryDirectory() as tmp:
        p = subprocess.run([ve.BIN], input=text, capture_output=True, text=True, cwd=tmp,
                           env=dict(os.environ, XTALDIR=ve.DATA + "/"), timeout=300)
    assert p.returncode == 0, (p.returncode, p.stderr, p.stdout[-500:])
    return p.stdout


def orbit(setting, xyz):
    """The orbit of a point in the conventional cell, as Fractions in [0, 1)."""
    out = []
    for op in sgtbx.space_group_info(setting).group().all_ops():
        r = op.as_rational()
        rot = [F(int(x.numerator()), int(x.denominator())) for x in r.r]
        tr = [F(int(x.numerator()), int(x.denominator())) for x in r.t]
        y = tuple((sum(rot[3 * i + j] * xyz[j] for j in range(3)) + tr[i]) % 1
                  for i in range(3))
        if y not in out:
            out.append(y)
    return out


def centring_of(setting):
    return [tuple(F(x, t.den()) for x in t.num())
            for t in sgtbx.space_group_info(setting).group().ltr()]


def modulo_centring(points, centring):
    """One point of each class of points related by the centring translations."""
    out = []
    for p in points:
        if not any(all((x - y - c) % 1 == 0 for x, y, c in zip(p, q, cen))
                   for q in out for cen in centring):
            out.append(p)
    return out


class StarSpace:
    """The displacements of a crystal's supercell whose Bloch vectors lie in the stars of k and
    -k: an orthonormal basis S (per sublattice of atoms related by parent translations and per
    Cartesian component, the eigenvectors of eigenvalue 1 of the star projector's block), and
    the matrices on it of one operation per rotation (spglib's first), of the supercell's
    parent translations and of a set of generators."""

    def __init__(self, cr):
        from scipy import sparse
        self.cr = cr
        cols = []
        n3 = 3 * cr.N
        for idx in cr.sub.values():
            X = cr.frac[idx]
            C = np.zeros((len(idx), len(idx)))
            for kk in cr.star:
                ph = 2 * np.pi * (X @ kk)
                C += np.cos(ph[:, None] - ph[None, :])
            w, v = np.linalg.eigh(C / len(idx))
            U = v[:, w > 0.5]
            for a in range(3):
                rows = np.repeat(3 * np.array(idx) + a, U.shape[1])
                cols.append(sparse.csc_matrix((U.ravel(), (rows, np.tile(
                    np.arange(U.shape[1]), len(idx)))), shape=(n3, U.shape[1])))
        self.S = sparse.hstack(cols).tocsc()

        n, a, b = np.meshgrid(np.arange(cr.N), np.arange(3), np.arange(3), indexing="ij")

        def matrix(action):
            """S^T A S for the operation that carries the displacement of atom n, rotated by
            R, to atom perm(n)."""
            perm, R = action
            A = sparse.csr_matrix((R[a, b].ravel(), ((3 * perm[n] + a).ravel(),
                                                     (3 * n + b).ravel())), shape=(n3, n3))
            return (self.S.T @ (A @ self.S)).toarray()

        first = {}
        for W, act in zip(cr.rot, cr.perm_rot):
            first.setdefault(tuple(W.ravel()), act)
        self.rot = [matrix(a) for a in first.values()]
        self.tr = [matrix(a) for a in cr.perm_tr]
        gens = [cr.perm_rot[i] for i in cr._rotation_generators()]
        gens += [cr._action(np.eye(3, dtype=int), np.array([float(x) for x in t]))
                 for t in [(1, 0, 0), (0, 1, 0), (0, 0, 1)] + cr.structure["centring"][1:]]
        self.gens = [matrix(a) for a in gens]

    def project(self, V):
        return self.S @ (self.S.T @ V)

    @property
    def dim(self):
        return self.S.shape[1]

    def generic_spectrum(self, rng):
        """Eigenvalues of the group average of a random symmetric matrix: over the
        translations, then over one operation per rotation (each coset once)."""
        A = rng.normal(size=(self.dim, self.dim))
        A = A + A.T
        AT = sum(r @ A @ r.T for r in self.tr) / len(self.tr)
        return np.linalg.eigvalsh(sum(r @ AT @ r.T for r in self.rot) / len(self.rot))

    def invariant_span(self, V, tol=1e-3):
        """Dimension of the smallest subspace holding V that the group keeps (a tolerance for
        modes printed to 5 decimals)."""
        B = zb.orth(self.S.T @ V, tol)
        while True:
            W = zb.orth(np.hstack([B] + [r @ B for r in self.gens]), tol)
            if W.shape[1] == B.shape[1]:
                return W.shape[1]
            B = W


def displacement_characters(elements, atoms, centring, kc):
    """Character of the displacement representation at k on the elements (R, t) of the little
    group: trace R times the phase of the lattice vector by which (R, t) moves each atom that it
    keeps (atoms of the primitive cell, conventional coordinates)."""
    out = []
    for R, t in elements:
        z = 0
        for x in atoms:
            d = tuple(a + b - c for a, b, c in zip(pub.apply(R, x), t, x))
            if pub.in_lattice(d, centring):
                z += sum(R[i][i] for i in range(3)) * cmath.exp(
                    2j * math.pi * float(sum(k * v for k, v in zip(kc, d))))
        out.append(z)
    return np.array(out)


class Garnet(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.t = ve.Tables(ve.DATA)
        cls.runs = {}
        for k in ["GM"] + list(ARMS):
            rc, out = ve.run_vibrex(GARNET, k)
            assert rc == 0, (k, rc, out[-500:])
            cls.runs[k] = ve.parse_report(out)

    def test_zone_centre(self):
        blocks = self.runs["GM"]
        self.assertEqual({b["second"]: b["total"] // b["dim"] for b in blocks}, TEXTBOOK)
        self.assertEqual({b["second"] for b in blocks if b["ir"]}, {"T1u"})
        self.assertEqual({b["second"] for b in blocks if b["raman"]}, {"A1g", "Eg", "T2g"})

    def test_modes_per_arm(self):
        _, _, types = ve.parse_input(GARNET)
        n = ve.primitive_atom_count(230, types)
        self.assertEqual(n, 80)
        for k, arms in ARMS.items():
            with self.subTest(k=k):
                blocks = self.runs[k]
                self.assertEqual(sum(b["total"] for b in blocks), 3 * n * arms)
                for b in blocks:
                    self.assertEqual(b["total"] % b["dim"], 0)

    def test_isotropy_subgroups(self):
        """spglib finds Ia-3d in each printed supercell and, displaced along a random
        combination of an irrep's modes, the subgroup the choice rule picks on the tables."""
        rng = np.random.default_rng(230)
        for k in ARMS:
            j = zb.kvec_index(self.t, 230, k)
            for b in self.runs[k]:
                with self.subTest(k=k, irrep=b["label"]):
                    self.assertEqual(ve.spglib_number(b["lattice"], b["pos"], b["names"]), 230)
                    M = np.array([m for m, _ in b["modes"]])
                    u = np.tensordot(rng.uniform(0.5, 1.5, len(M)) * rng.choice([-1, 1], len(M)),
                                     M, axes=1)
                    u *= 0.05 / np.abs(u).max()
                    self.assertEqual(ve.spglib_number(b["lattice"], b["pos"] + u, b["names"]),
                                     zb.chosen_isotropy_sg(self.t, 230, j, b["label"]))

    def test_n_against_published_characters(self):
        """Mode counts at N from the published characters and the garnet's atoms."""
        label, kc, centring, reps, chars = pub.PUBLISHED[230]
        _, _, types = ve.parse_input(GARNET)
        with open(os.path.join(ve.EXAMPLES, GARNET)) as f:
            words = {w[0]: w for w in (line.split() for line in
                                       f.read().splitlines()[4:4 + len(types)])}
        points = {"24c": (F(1, 8), 0, F(1, 4)), "16a": (0, 0, 0), "24d": (F(3, 8), 0, F(1, 4)),
                  "96h": tuple(F(x) for x in words["O"][2:5])}
        atoms = list(chain.from_iterable(
            modulo_centring(orbit("Ia-3d", points[w]), centring) for _, w in types))
        self.assertEqual(len(atoms), 80)
        # H = G_k / T_N: the published representatives after the translations n of the
        # primitive lattice modulo N (N = 2 at N)
        prim = [(F(-1, 2), H, H), (H, F(-1, 2), H), (H, H, F(-1, 2))]
        elements, phases = [], []
        for c, (R, t) in enumerate(reps):
            for n in np.ndindex(2, 2, 2):
                m = tuple(sum(n[a] * prim[a][i] for a in range(3)) for i in range(3))
                elements.append((R, tuple(x + y for x, y in zip(t, m))))
                phases.append((c, sum(k * v for k, v in zip(kc, m))))
        disp = displacement_characters(elements, atoms, centring, kc)
        counts = {}
        for q, chi in chars.items():
            x = np.array([chi[c] * cmath.exp(2j * math.pi * float(ph)) for c, ph in phases])
            m = np.vdot(x, disp) / len(elements)
            self.assertAlmostEqual(abs(m - round(m.real)), 0, places=9)
            counts[q] = 12 * int(round(m.real))
        blocks = self.runs["N"]
        self.assertEqual(sorted(b["total"] for b in blocks), sorted(counts.values()))
        # the stored slot holding the published irrep q reports q's count
        mult, _ = pub.multiplicities(self.t, 230)
        for m, row in mult.items():
            q = max(row, key=lambda x: abs(row[x]))
            with self.subTest(slot=m, published=q):
                self.assertEqual(blocks[m - 1]["total"], counts[q])


class SmallCrystals(unittest.TestCase):
    """Ia-3d N, H, P and Fd-3c W judged without the tables."""

    @classmethod
    def setUpClass(cls):
        cls.t = ve.Tables(ve.DATA)
        cls.cases = []
        for name, isg, setting, a, wyc, words, point, ks in SMALL:
            centring = centring_of(setting)
            atoms = modulo_centring(orbit(setting, point), centring)
            structure = {"isg": isg, "a": a, "atoms": [("A", p) for p in atoms],
                    "centring": centring, "k": ks}
            for k in ks:
                text = "%s\n%d\n%g %g %g 90 90 90\n1\nA %s %s\n1\n%s\n" % (
                    name, isg, a, a, a, wyc, words, k)
                out = run(text)
                cls.cases.append((name, structure, k, out, ve.parse_report(out)))

    def test_degeneracies_and_spans(self):
        rng = np.random.default_rng(20261212)
        for name, structure, k, out, blocks in self.cases:
            with self.subTest(crystal=name, k=k):
                kk = structure["k"][k]
                cr = zb.Crystal(structure, kk, zb.lcm_denominator([kk]))
                # exactly the group's operations in the conventional cell, no more
                self.assertEqual(len(cr.rot), 48 * len(structure["centring"]))
                self.assertTrue(any(cr.same_k(zb.printed_k(out), s) for s in cr.star))
                star = StarSpace(cr)
                self.assertEqual(star.dim, 3 * cr.n_prim * len(cr.star))
                self.assertEqual(sum(b["total"] for b in blocks), star.dim)
                expected = zb.clusters(star.generic_spectrum(rng))
                reported = sorted(chain.from_iterable(
                    [b["dim"]] * (b["total"] // b["dim"]) for b in blocks))
                self.assertEqual(reported, expected)
                spans = []
                for b in blocks:
                    idx = zb.embed(cr, b)
                    self.assertIsNotNone(idx, b["label"])
                    V = np.array([m[idx].ravel() for m, _ in b["modes"]]).T
                    np.testing.assert_allclose(star.project(V), V, atol=1e-4)
                    self.assertEqual(star.invariant_span(V), b["total"], b["label"])
                    spans.append(zb.orth(V, 1e-3))
                for x, y in combinations(range(len(spans)), 2):
                    self.assertLess(np.abs(spans[x].T @ spans[y]).max(), 1e-4)

    def test_isotropy_subgroups(self):
        rng = np.random.default_rng(11)
        for name, structure, k, out, blocks in self.cases:
            isg = structure["isg"]
            j = zb.kvec_index(self.t, isg, k)
            for b in blocks:
                with self.subTest(crystal=name, k=k, irrep=b["label"]):
                    self.assertEqual(ve.spglib_number(b["lattice"], b["pos"], b["names"]), isg)
                    M = np.array([m for m, _ in b["modes"]])
                    u = np.tensordot(rng.uniform(0.5, 1.5, len(M)) * rng.choice([-1, 1], len(M)),
                                     M, axes=1)
                    u *= 0.05 / np.abs(u).max()
                    self.assertEqual(ve.spglib_number(b["lattice"], b["pos"] + u, b["names"]),
                                     zb.chosen_isotropy_sg(self.t, isg, j, b["label"]))


if __name__ == "__main__":
    unittest.main()
