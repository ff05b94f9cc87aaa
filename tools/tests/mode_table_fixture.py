"""A small table with irreps away from the zone centre, for the tests of the table checker.

The committed tables hold irreps at the zone centre only. `write_special_points` copies them
and adds every slot of a few (group, k) pairs at special points, in the numbering and layout
the tables use (irrep number = little-irrep number, the standard labels of the label table
found by the irreps' characters, one image per irrep,
matrices by columns, constants appended to const.dat):

* the matrices are the numerical real forms of the special-point catalogue of the table maker
  (tablegen/fixed_kpoints.py): S diag(D, conj D) S^H for the types 2 and 3, with the
  transformation S (type 3) or S diag(I, J), conj D = J D J^-1 (type 2) stored for the image;
* the isotropy entries: one per orbit of the smallest isotropy subspaces (an orthonormal
  basis as the OPD), the superlattice
  the Hermite basis of the translations fixing the subspace, the space group named by cctbx
  from the stabiliser's operators in the supercell basis;
* the site lists from the characters of the induced irreps on the site operators.

The values are not the exact ones a made table holds (const.dat grows past its rules), so only
the irrep, isotropy and site checks apply to the result.
"""
import os
import shutil
import struct
from fractions import Fraction
from itertools import product as iproduct
from math import gcd

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..")
DATA = os.path.join(TOOLS, "..", "data")
import check_mode_tables as cm  # noqa: E402

# group, k label: type 1 with three arms and 3- and 6-dimensional irreps (Pm-3m X), one
# pseudoreal irrep (P212121 R), complex irreps whose partner is outside the star (P3 K) and
# complex pairs inside it (P4 M).
POINTS = ((221, "X"), (19, "R"), (143, "K"), (75, "M"))

KINDS = {"i1": "b", "i2": "h", "i4": "i", "l4": "i"}


class Files:
    """Payloads of a data directory, patched in place and written back."""

    def __init__(self, directory):
        self.dir = directory
        self.raw = {}
        self.layout = {}
        for name, text in cm.LAYOUTS.items():
            self.layout[name] = {n: (o, k) for n, k, o, _ in cm.layout_entries(text)}
        offset, wyc = 0, {}
        for line in cm.WYCKOFF_FILE_LAYOUT.strip().splitlines():
            n, k, *dims = line.split()
            wyc[n] = (offset, k)
            size = int(k[1:]) if k[0] == "a" else cm.SIZES[k]
            offset += size * int(np.prod([int(d) for d in dims]))
        self.layout["data_wyckoff.bin"] = wyc
        for name in self.layout:
            with open(os.path.join(directory, name), "rb") as f:
                self.raw[name] = bytearray(f.read())

    def where(self, array):
        for name, arrays in self.layout.items():
            if array in arrays:
                return name, arrays[array]
        raise KeyError(array)

    def set(self, array, index, value):
        """Entry at the 0-based flat index (columns first) of an array."""
        name, (offset, kind) = self.where(array)
        if kind[0] == "a":
            w = int(kind[1:])
            self.raw[name][4 + offset + w * index:4 + offset + w * (index + 1)] = \
                value.ljust(w).encode("ascii")
        else:
            size = cm.SIZES[kind]
            struct.pack_into("<" + KINDS[kind], self.raw[name], 4 + offset + size * index, value)

    def save(self):
        for name, raw in self.raw.items():
            with open(os.path.join(self.dir, name), "wb") as f:
                f.write(raw)


class Constants:
    def __init__(self, t):
        self.values = [float(t.cv[n]) for n in range(2, t.const_count + 1, 2)]

    def index(self, x):
        if abs(x) < 1e-7:
            return 1
        for k, v in enumerate(self.values, start=1):
            if abs(abs(x) - v) < 1e-7:
                return 2 * k + (x < 0)
        self.values.append(abs(x))
        return 2 * len(self.values) + (x < 0)

    def save(self, directory):
        with open(os.path.join(directory, "const.dat"), "w") as f:
            f.write("1 0\n")
            for k, v in enumerate(self.values, start=1):
                f.write("%d %.9g\n" % (2 * k, v))
                if k < len(self.values):
                    f.write("%d %.9g\n" % (2 * k + 1, -v))


def last_used(a):
    nz = np.nonzero(np.asarray(a).reshape(-1, order="F"))[0]
    return int(nz[-1]) + 1 if len(nz) else 0


def hermite_basis(vectors):
    """Integer basis (columns, lower triangular with positive diagonal) of the lattice spanned
    by integer vectors of rank 3."""
    rows = [list(map(int, v)) for v in vectors]
    basis = []
    for c in range(3):
        while True:
            live = [r for r in rows if r[c]]
            if len(live) <= 1:
                break
            live.sort(key=lambda r: abs(r[c]))
            p = live[0]
            rows = [r if r is p or not r[c] else [x - (r[c] // p[c]) * y for x, y in zip(r, p)]
                    for r in rows]
        p = next(r for r in rows if r[c])
        rows = [r for r in rows if r is not p]
        basis.append([-x for x in p] if p[c] < 0 else p)
    return np.array(basis, dtype=int).T


def xyz(r, t):
    out = []
    for i in range(3):
        s = ""
        for j, n in enumerate("xyz"):
            c = int(r[i][j])
            if c:
                s += ("+" if c > 0 else "-") + ("" if abs(c) == 1 else "%d*" % abs(c)) + n
        if t[i]:
            s += "+%s" % t[i]
        out.append(s or "0")
    return ",".join(out)


def cctbx_number(ops):
    """cctbx's space-group number of operators (integer rotation, Fraction translation)."""
    from cctbx import sgtbx
    den = 1
    for _, tr in ops:
        for x in tr:
            den = den * x.denominator // gcd(den, x.denominator)
    den = 12 * den
    group = sgtbx.space_group("P 1", t_den=den)
    for r, tr in ops:
        group.expand_smx(sgtbx.rt_mx(xyz(r, [x % 1 for x in tr]), r_den=1, t_den=den))
    return sgtbx.space_group_info(group=group).type().number()


def standard_label(t, g, j, klabel, mats):
    """The label table's label of the irrep with these matrices (three translations, then the
    listed operators) at k index j of group g: found by its characters on G/T_N."""
    L = t.bravais(g)
    N = cm.period([cm.kappa_of(t, j, L)])
    T, D = mats[:3], np.array(mats[3:])
    grid = np.array([cm.translation_matrix(T, v) for v in iproduct(range(N), repeat=3)])
    fp = cm.fingerprint(np.einsum("tij,oji->to", grid, D))
    return dict((f, x) for x, f in cm.standard_labels()[(g, klabel)])[fp]


def write_special_points(directory, points=POINTS, forms=None):
    """Copy of the committed tables in directory with every slot of the points added.
    forms(P, slot index, generators) may give other (matrices, transformation) of a slot."""
    from tablegen import modes, space
    from tablegen import fixed_kpoints as fk
    for name in os.listdir(DATA):
        shutil.copy(os.path.join(DATA, name), directory)
    t = cm.Tables(directory)
    f = Files(directory)
    const = Constants(t)
    sh = modes.Shared(space.build(), None)
    irrep = max(i for i in range(1, cm.N_IRREP + 1) if int(t.irr["IRREP_SG"][i - 1])) + 1
    image = int(t.irr["IRREP_IMAGE"].max()) + 1
    start = last_used(t.irr["IRREP_MATRIX_START"]) + 1
    element = last_used(t.irr["IRREP_MATRIX_ELEMENT"]) + 1
    tvalue = last_used(t.img["IMAGE_TRANSFORM_VALUE"]) + 1
    opd = int(t.iso["ISOTROPY_OPD"].max()) + 1
    opd_comp = last_used(t.img["OPD_VECTOR_COMPONENT"]) + 1
    entry = int(t.iso["ISOTROPY_IRREP_FIRST"][irrep - 1])
    wyc_entry = max(int(t.w["IRREP_WYC_FIRST"][i - 1]) + int(t.w["WYC_COUNT"][
        int(t.irr["IRREP_SG"][i - 1]) - 1]) for i in range(1, irrep))
    wyc_item = last_used(t.w["IRREP_WYC_SITE_IRREP"]) + 1
    slots = []  # (g, label, j, m, small dim, reality, matrices, transformation, characters)
    for g, label in points:
        L = sh.bravais(g)
        j = [cm.text(x).strip() for x in t.lit["KVEC_LABEL"][:, L - 1]].index(label) + 1
        P = fk.SpecialPoint(sh, g, j)
        k0 = P.ops[0].k
        gens = [fk.translation(L, e + (k0,)) for e in ((1, 0, 0), (0, 1, 0), (0, 0, 1))] + P.ops
        f.set("LITTLE_IRREP_COUNT", (g - 1) * 27 + j - 1, len(P.slots()))
        for m, sm in enumerate(P.slots(), start=1):
            rt = P.types[sm]
            if forms is not None:
                mats, S = forms(P, m - 1, gens)
                chars = (lambda P, sm, rt: lambda op: (1 if rt == 1 else 2) * np.trace(
                    P.induced(sm, op)).real)(P, sm, rt)
                slots.append((g, label, j, m, P.small_dims()[sm], rt, mats, S, chars))
                continue
            mats = [P.real_form(sm, op) for op in gens]
            assert max(np.abs(M.imag).max() for M in mats) < 1e-9
            mats = [M.real for M in mats]
            S = None
            if rt != 1:
                h = len(mats[0]) // 2
                I = np.eye(h)
                S = np.block([[I, I], [-1j * I, 1j * I]]) / np.sqrt(2)
                if rt == 2:
                    elems = P.finite_image(sm)
                    rng = np.random.default_rng(3)
                    X = rng.normal(size=(h, h)) + 1j * rng.normal(size=(h, h))
                    J = sum(D.conj() @ X @ D.conj().T for D in elems)
                    J /= np.sqrt((J @ J.conj().T)[0, 0].real)
                    S = S @ np.block([[I, np.zeros((h, h))], [np.zeros((h, h)), J]])
            chars = (lambda P, sm, rt: lambda op: (1 if rt == 1 else 2) * np.trace(
                P.induced(sm, op)).real)(P, sm, rt)
            slots.append((g, label, j, m, P.small_dims()[sm], rt, mats, S, chars))
    # The transformations' constants first: they are read through int8 indices.
    for *_, S, _ in slots:
        if S is not None:
            for z in S.reshape(-1, order="F"):
                assert const.index(z.real) <= 127 and const.index(z.imag) <= 127
    made = []  # (irrep, group, real characters)
    for g, label, j, m, small, rt, mats, S, chars in slots:
        n = len(mats[0])
        if S is not None:
            f.set("IMAGE_TRANSFORM_START", image - 1, tvalue)
            for z in S.reshape(-1, order="F"):
                for x in (z.real, z.imag):
                    f.set("IMAGE_TRANSFORM_VALUE", tvalue - 1, const.index(x))
                    tvalue += 1
        f.set("IMAGE_DIMENSION", image - 1, n)
        f.set("IMAGE_REALITY_TYPE", image - 1, rt)
        f.set("IRREP_IMAGE", irrep - 1, image)
        f.set("IRREP_SG", irrep - 1, g)
        name = standard_label(t, g, j, label, mats)
        f.set("IRREP_LABEL", irrep - 1, name)
        f.set("IRREP_MATRIX_FIRST", irrep - 1, start)
        for M in mats:
            f.set("IRREP_MATRIX_START", start - 1, element)
            start += 1
            for x in M.reshape(-1, order="F"):
                f.set("IRREP_MATRIX_ELEMENT", element - 1, const.index(x))
                element += 1
        l = irrep
        f.set("LITTLE_IRREP_NUMBER", ((g - 1) * 27 + j - 1) * 12 + m - 1, l)
        f.set("SMALL_IRREP_DIMENSION", ((g - 1) * 27 + j - 1) * 12 + m - 1, small)
        for array, value in (("LITTLE_IRREP_TO_IRREP", irrep), ("LITTLE_IRREP_SG", g),
                             ("LITTLE_IRREP_DIMENSION", n), ("LITTLE_IRREP_KVEC", j),
                             ("LITTLE_IRREP_SMALL_IRREP", m), ("LITTLE_IRREP_REALITY", rt),
                             ("LITTLE_IRREP_LABEL", name)):
            f.set(array, l - 1, value)
        made.append((irrep, g, chars))
        irrep += 1
        image += 1
    f.save()
    const.save(directory)
    # Isotropy entries and site lists from the written matrices.
    t = cm.Tables(directory)
    for i, g, chars in made:
        f.set("ISOTROPY_IRREP_FIRST", i - 1, entry)
        for S, V in isotropy(t, i):
            sg = subgroup_number(t, i, S, V)
            f.set("ISOTROPY_SG", entry - 1, sg)
            f.set("ISOTROPY_OPD", entry - 1, opd)
            for a, x in enumerate(S.reshape(-1, order="F")):
                f.set("ISOTROPY_SUPERLATTICE", (entry - 1) * 9 + a, int(x))
            f.set("OPD_DIMENSION", opd - 1, V.shape[0])
            f.set("OPD_PARAMETER_COUNT", opd - 1, V.shape[1])
            f.set("OPD_VECTOR_START", opd - 1, opd_comp)
            for x in V.reshape(-1, order="F"):
                f.set("OPD_VECTOR_COMPONENT", opd_comp - 1, const.index(x))
                opd_comp += 1
            opd += 1
            entry += 1
        f.set("IRREP_WYC_FIRST", i - 1, wyc_entry)
        wyc0 = int(t.w["WYC_FIRST"][g - 1])
        for w in range(wyc0, wyc0 + int(t.w["WYC_COUNT"][g - 1])):
            lst = site_list(t, g, w, chars)
            f.set("IRREP_WYC_LIST_START", wyc_entry - 1, wyc_item if lst else 0)
            f.set("IRREP_WYC_LIST_COUNT", wyc_entry - 1, len(lst))
            for s, mult in lst:
                f.set("IRREP_WYC_SITE_IRREP", wyc_item - 1, s)
                f.set("IRREP_WYC_MULTIPLICITY", wyc_item - 1, mult)
                wyc_item += 1
            wyc_entry += 1
    for i in range(made[-1][0] + 1, cm.N_IRREP + 2):
        f.set("ISOTROPY_IRREP_FIRST", i - 1, entry)
    f.save()
    const.save(directory)
    return [i for i, _, _ in made]


def isotropy(t, i):
    """(superlattice, orthonormal OPD basis) per orbit of the smallest isotropy subspaces."""
    fin = cm.FiniteImage(t, i)
    n = fin.n
    E = fin.elements().reshape((-1, n, n))
    bag, bases = cm.isotropy_subspaces(E)
    pmin = min(W.shape[1] for W in bases)
    done, out = set(), []
    for q, W in enumerate(bases):
        if W.shape[1] != pmin or q in done:
            continue
        for M in E:
            done.add(bag.find(cm.projector(M @ W))[0])
        V = W
        per = 1  # the period of the translation matrices
        while any(np.abs(np.linalg.matrix_power(T, per) - np.eye(n)).max() > 1e-6
                  for T in fin.T):
            per += 1
        gens = [tuple(per * e) for e in np.eye(3, dtype=int)]
        gens += [v for v in iproduct(range(per), repeat=3)
                 if np.abs(cm.translation_matrix(fin.T, v) @ V - V).max() < 1e-5]
        out.append((hermite_basis(gens), V))
    return out


def subgroup_number(t, i, S, V):
    g = int(t.irr["IRREP_SG"][i - 1])
    L = t.bravais(g)
    mats = t.matrices(i)
    Sinv = np.linalg.inv(S)
    ops = []
    for j, op in enumerate(t.ops(g)):
        R = t.prim_rot(L, op[4]).astype(int)
        for c in cm.cell_translations(S):
            if np.abs(cm.translation_matrix(mats[:3], c) @ mats[3 + j] @ V - V).max() < 1e-5:
                tr = [Fraction(op[a], op[3]) + c[a] for a in range(3)]
                Rs = np.rint(Sinv @ R @ S).astype(int)
                ts = [sum(Fraction(Sinv[a, b]).limit_denominator(10000) * tr[b]
                          for b in range(3)) for a in range(3)]
                ops.append((Rs, ts))
    return cctbx_number(ops)


def site_list(t, g, w, chars):
    """[(site irrep, multiplicity)] of position w from the real characters chars(op)."""
    from tablegen import fixed_kpoints as fk
    sops = cm.site_ops(t, g, w)
    L = t.bravais(g)
    spg = int(t.w["WYC_SITE_POINT_GROUP"][w - 1])
    lst = next(l for _, l in t.lists(spg) if set(op[4] for op in sops) <= set(l))
    _, _, S = cm.site_irreps(t, spg)
    ref = t.lists(spg)[0][1]
    place = {k: j for j, k in enumerate(lst)}
    chi = []
    for op in sops:
        rot = fk.pml_rotation(L, op[4])
        chi.append(chars(fk.Operator(op[4], rot, [Fraction(op[a], op[3]) for a in range(3)])))
    out = []
    for s, Ssig in enumerate(S, start=1):
        cs = [np.trace(Ssig[ref[place[op[4]]]]) for op in sops]
        m = np.dot(chi, cs) / np.dot(cs, cs)
        assert abs(m - round(m)) < 1e-6
        if round(m):
            out.append((s, int(round(m))))
    return out
