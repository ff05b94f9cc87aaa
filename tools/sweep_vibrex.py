#!/usr/bin/python3
"""vibrex at every k letter of every space group, each report checked.

For each of the 230 groups a crystal of two atoms: one on Wyckoff position a and one on the
first other position with a free parameter whose orbit leaves the crystal no symmetry beyond
the group's (position a again where the group has no other), on a cell of the group's lattice
type in the setting vibrex reads (rhombohedral axes for hR). Each k letter of the lattice type
runs once for each of two parameter sets: lines u = 1/6 and 1/8, planes (u, v) = (1/6, 1/5) and
(1/8, 1/3), GP (1/2, 1/3, 1/5) and (1/4, 1/3, 1/5); the two sets also place the atoms
differently. 8,272 runs in all.

A run passes when vibrex ends normally (exit status 0, nothing on standard error, a report up to
"End of output") and its report meets the checks below; or when it refuses the k line with
"k vector parameters give a special point" and the values do put k where more rotations of the
group take it to +-k than at generic values of the letter (GP (1/2, 1/3, 1/5) lies on a plane of
the orthorhombic and higher lattices). The references are computed here, not by the program:
the group's operations and centring from cctbx, in the setting vibrex reads, carried into its
Cartesian frame; spglib on the printed structures.

* the printed supercell is the crystal: |det| / V_primitive lattice translations of the group
  lie in it and every operation of the group maps its atoms onto atoms of their type (for the
  sweep's crystals spglib finds the group itself); the atoms follow the input lines, each orbit
  complete in every cell; a k vector with parameters is periodic on the superlattice;
* the modes add up to 3N per arm of the stars of k and -k (N atoms of the primitive cell);
* each irrep: total divisible by the degeneracy, as many mode blocks as total / degeneracy
  times the order-parameter dimension: 1 for a real irrep (of its direction the program uses
  one vector), else a multiple of 4 (quaternionic) or 2 (complex) up to the degeneracy (the
  greedy search may end above the smallest);
* each mode: atoms of one type, exactly the atoms that move listed, largest component +-1 and
  at least half the nonzero components positive; the modes of an irrep independent, those of
  different irreps on the same supercell orthogonal;
* each mode, as a displacement field periodic on the printed superlattice, lies in the Bloch
  waves of the star vectors of k and -k periodic on it: the order-parameter direction is kept
  by the superlattice translations;
* spglib on the supercell displaced along a random combination of an irrep's modes (without
  its uniform translation): every operation it finds that belongs to the group keeps every one
  of those modes (they share one order-parameter direction).

Usage: sweep_vibrex.py [--all] [--jobs N] [--bin VIBREX] [--data DIR] [--compare OTHER_VIBREX]
                       [--only GROUP[:LABEL[:SET]]] [--list] [--margins]

Without --all the fixed sample runs: the inputs that once stopped the program with "This
program has bombed" and a spread over the lattice types. --compare runs a second binary on each
input and requires its standard output, standard error and exit status byte for byte wherever
it did not bomb. --list prints the inputs, each after a line "# key".

--margins runs, in place of vibrex, its measuring driver (tests/vibrex_rank_margins of the build,
whose reports are the program's byte for byte) and reports how close the rank decisions of the
double-precision reduction of invariant subspaces come to its tolerance (kRankTolerance in
vibrex/isotropy.hpp): the runs with the smallest pivot kept and the largest entry dropped, both
among the reductions that decide a subspace in the program (those single precision cannot) and
over every subspace of the isotropy search, each also reduced in double precision for the
measurement.
"""
import argparse
import itertools
import multiprocessing
import os
import re
import subprocess
import sys
import tempfile
import time
import zlib
from fractions import Fraction

import numpy as np
import spglib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "tests"))
from check_mode_tables import Tables, text  # noqa: E402  (the checker's own reader)
from test_vibrex_examples import parse_report, ZERO  # noqa: E402

DATA = os.path.join(ROOT, "data")
BIN = os.path.join(os.environ.get("SGL_BIN_DIR", os.path.join(ROOT, "build", "plain")), "vibrex")
MARGINS_BIN = os.path.join(os.path.dirname(BIN), "tests", "vibrex_rank_margins")

RHOMBOHEDRAL = {146, 148, 155, 160, 161, 166, 167}

# Cell by lattice type (1 aP ... 14 cI): a, b, c, alpha, beta, gamma.
CELLS = {1: "4.1 4.6 5.3 82 87 94", 2: "4.1 4.6 5.3 90 97 90", 3: "4.1 4.6 5.3 90 97 90",
         4: "4.1 4.6 5.3 90 90 90", 5: "4.1 4.6 5.3 90 90 90", 6: "4.1 4.6 5.3 90 90 90",
         7: "4.1 4.6 5.3 90 90 90", 8: "4 4 6 90 90 90", 9: "4 4 6 90 90 90",
         10: "4 4 6 90 90 120", 11: "5 5 5 70 70 70", 12: "5 5 5 90 90 90",
         13: "5 5 5 90 90 90", 14: "5 5 5 90 90 90"}

# The two parameter sets: k parameters by their count, Wyckoff parameters of the two atoms.
SETS = [
    {1: "1/6", 2: "1/6 1/5", 3: "1/2 1/3 1/5", "A": "0.0731 0.1537 0.2269", "B": "0.1173 0.2791 0.3389"},
    {1: "1/8", 2: "1/8 1/3", 3: "1/4 1/3 1/5", "A": "0.0419 0.1123 0.1877", "B": "0.1381 0.3117 0.4213"},
]

# Inputs written by hand: the crystals and k lines that once stopped the program.
with open(os.path.join(ROOT, "examples", "vibrex", "garnet.in")) as _f:
    GARNET = _f.read().splitlines()[:8]
HAND = [("diamond GP", ["Diamond", "227", "3.5667 3.5667 3.5667 90 90 90", "1", "C 8a"], "GP 1/4 1/3 1/5"),
        ("garnet V2", GARNET, "V2 1/6 1/5")] + \
    [("228 16a Q %s" % u, ["Fd-3c 16a", "228", "5 5 5 90 90 90", "1", "A 16a"], "Q " + u)
     for u in ("1/8", "1/6", "1/10", "1/12", "1/16", "1/32")] + \
    [("141 4a V3", ["I41/amd 4a", "141", "4 4 6 90 90 90", "1", "A 4a"], "V3 1/6 1/5"),
     ("176 2a V4", ["P63/m 2a", "176", "4 4 6 90 90 120", "1", "A 2a"], "V4 1/8 1/3")]

# Runs of the sweep in the sample (group, k label, set 1 or 2): the 19 that stopped the program
# with "This program has bombed", and a spread over the lattice types and kinds of k vector. Of
# all the sweep's invariant subspaces reduced in double precision (--margins), (62, "V5", 1)
# holds the smallest pivot kept, 0.053, and (230, "GP", 2) the largest entry dropped, 3.6e-5.
SAMPLE = [(141, "V3", 1), (176, "V4", 2), (206, "V2", 1), (208, "V3", 1), (210, "V2", 1),
          (210, "V2", 2), (214, "V2", 1), (223, "V3", 1), (226, "Q", 2), (226, "GP", 2),
          (227, "GP", 2), (228, "V2", 1), (228, "Q", 1), (228, "GP", 1), (228, "Q", 2),
          (228, "V2", 2), (228, "GP", 2), (230, "V2", 1), (230, "GP", 1),
          (1, "GP", 1), (2, "R", 2), (14, "V2", 1), (15, "U1", 2), (16, "GP", 1), (62, "V5", 1),
          (70, "V3", 2), (74, "U3", 1), (123, "S", 2), (142, "V2", 1), (148, "V1", 2),
          (167, "U2", 1), (186, "V4", 2), (194, "P", 1), (221, "GM", 1), (225, "W", 2),
          (230, "GP", 2)]


class Run:
    """One input: its key, the structure lines, the k line; generic when the crystal has no
    symmetry beyond its group's (the sweep's crystals; not the hand-written ones)."""

    def __init__(self, key, lines, k_line, generic):
        self.key = key
        self.lines = lines
        self.k_line = k_line
        self.generic = generic

    @property
    def text(self):
        return "\n".join(self.lines + ["1", self.k_line]) + "\n"


def setting(group):
    """cctbx's group in the setting the program reads: the standard one, origin choice 2,
    rhombohedral axes for hR."""
    from cctbx import sgtbx
    sgi = sgtbx.space_group_info(group)
    if group in RHOMBOHEDRAL:
        sgi = sgtbx.space_group_info(str(sgi).replace(":H", ":R"))
    return sgi


def positions(t, g):
    """(label, free-parameter count, which of x, y, z are free) of the group's Wyckoff positions
    in table order."""
    first = int(t.w["WYC_FIRST"][g - 1])
    out = []
    for i in range(first, first + int(t.w["WYC_COUNT"][g - 1])):
        W = t.w["WYC_MATRIX_TABLE"][:, :, i - 1]
        free = tuple(bool(W[3, c]) for c in (1, 2, 3))
        out.append((text(t.w["WYC_LABEL"][i - 1]).strip(), sum(free), free))
    return out


def atom_line(name, position, values):
    """An atom line for a position: the values in the places of its free parameters and 0 in
    the places whose coordinates it fixes (vibrex refuses any other number there)."""
    label, _, free = position
    return " ".join([name, label] + [v if f else "0" for v, f in zip(values.split(), free)])


def structure_group(group, cell, sites):
    """spglib's group of the crystal with one orbit on each (Wyckoff label, x y z) of sites,
    built with cctbx."""
    sgi = setting(group)
    wt = sgi.wyckoff_table()
    letters = {wt.position(i).letter(): wt.position(i) for i in range(wt.size())}
    frac, kinds = [], []
    for n, (label, xyz) in enumerate(sites):
        site = letters[label[-1]].special_op() * [float(x) for x in xyz.split()]
        for op in sgi.group().all_ops():
            y = np.array(op * site) % 1.0
            if not any(np.allclose(y, f, atol=1e-6) for f in frac):
                frac.append(y)
                kinds.append(n)
    B = cartesian_basis(*[float(x) for x in cell.split()])
    return spglib.get_symmetry_dataset((B.T, np.array(frac), kinds), symprec=1e-3)["number"]


def sweep_runs(t):
    runs = []
    for g in range(1, 231):
        L = t.bravais(g)
        pos = positions(t, g)
        a = next(p for p in pos if p[0].endswith("a"))
        # the first other position with a free parameter whose orbit leaves the crystal no
        # symmetry beyond the group's (the general position has none)
        b = next(p for p in pos if p[1] and (p[0] == pos[-1][0] or structure_group(
            g, CELLS[L], [(a[0], SETS[0]["A"]), (p[0], SETS[0]["B"])]) == g))
        for s, par in enumerate(SETS, 1):
            lines = ["sweep %d set %d" % (g, s), str(g), CELLS[L], "2",
                     atom_line("A", a, par["A"]), atom_line("B", b, par["B"])]
            for j in range(int(t.lit["KVEC_COUNT"][L - 1])):
                label = text(t.lit["KVEC_LABEL"][j, L - 1]).strip()
                npar = int(t.lit["KVEC_PARAMETER_COUNT"][j, L - 1])
                runs.append(Run((g, label, s), lines, (label + " " + par[npar]) if npar else label, True))
    return runs


def hand_runs():
    return [Run(name, lines, k_line, False) for name, lines, k_line in HAND]


def run_program(binary, data, text_in):
    with tempfile.TemporaryDirectory() as tmp:
        p = subprocess.run([binary], input=text_in.encode(), capture_output=True, cwd=tmp,
                           env=dict(os.environ, XTALDIR=data + "/"), timeout=3600)
    return p.returncode, p.stdout, p.stderr


# Where the single-precision reduction decides a subspace, the double-precision one must give
# the same dimension and the same basis up to this (float rounding of the two reductions).
BASIS_AGREEMENT = 1e-4


def run_margins(binary, data, text_in):
    """The measuring driver on one input: (exit status, standard output, standard error,
    margins), margins {"deciding"|"measured": (reductions, smallest pivot kept, largest entry
    dropped), "compared": (subspaces of another dimension, largest basis difference)}."""
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "margins")
        p = subprocess.run([binary, path, "all"], input=text_in.encode(), capture_output=True,
                           cwd=tmp, env=dict(os.environ, XTALDIR=data + "/"), timeout=3600)
        margins = {}
        if os.path.exists(path):
            with open(path) as f:
                for line in f:
                    words = line.split()
                    if words[0] == "compared":
                        margins["compared"] = (int(words[1]), float(words[2]))
                    else:
                        margins[words[0]] = (int(words[1]), float(words[2]), float(words[3]))
    return p.returncode, p.stdout, p.stderr, margins


def check_margins(margins):
    """Failures of the double-precision reduction where single precision decides."""
    if "compared" not in margins:
        return ["the measuring driver wrote no margins"]
    other, difference = margins["compared"]
    fails = []
    if other:
        fails.append("double precision gives another dimension than single precision in %d "
                     "subspaces" % other)
    if difference > BASIS_AGREEMENT:
        fails.append("double and single precision give bases %.3g apart" % difference)
    return fails


# --- references --------------------------------------------------------------------------------

def cartesian_basis(a, b, c, alpha, beta, gamma):
    """Columns the lattice vectors: a along x, b in the x-y plane (the program's frame)."""
    ca, cb, cg = (np.cos(np.radians(x)) for x in (alpha, beta, gamma))
    sg = np.sin(np.radians(gamma))
    c2 = c * (ca - cg * cb) / sg
    return np.array([[a, b * cg, c * cb], [0, b * sg, c2],
                     [0, 0, np.sqrt(c * c - (c * cb) ** 2 - c2 ** 2)]])


def primitive_atoms(group, labels):
    """Atoms of the primitive cell per orbit (Wyckoff multiplicity over the centring
    translations), and the number of those translations."""
    n = setting(group).group().n_ltr()
    return [int(re.match(r"\d+", w).group()) // n for w in labels], n


def printed_k(out):
    for line in out.splitlines():
        if line.startswith("k vector "):
            inside = line[line.index("(") + 1:line.index(")")]
            return np.array([float(Fraction(x)) for x in inside.split(",")])
    return None


def symmetry(lattice, cart, names):
    """spglib's (number, rotations, translations) of a structure in Cartesian coordinates."""
    kinds = {n: k for k, n in enumerate(sorted(set(names)))}
    frac = cart @ np.linalg.inv(lattice)
    ds = spglib.get_symmetry_dataset((lattice, frac % 1.0, [kinds[n] for n in names]),
                                     symprec=1e-3)
    if isinstance(ds, dict):
        return ds["number"], ds["rotations"], ds["translations"]
    return ds.number, ds.rotations, ds.translations


def atom_map(lattice, cart, names, rot, shift, tol=5e-3):
    """Index of the image of every atom under x -> rot x + shift (Cartesian, the image within
    tol of an atom of the same name modulo the lattice), or None."""
    from scipy.spatial import cKDTree
    inv = np.linalg.inv(lattice)
    frac = (cart @ inv) % 1.0
    img = ((cart @ rot.T + shift) @ inv) % 1.0
    _, j = cKDTree(frac % 1.0, boxsize=1.0).query(img % 1.0)
    d = img - frac[j]
    d = (d - np.round(d)) @ lattice
    if np.abs(d).max() > tol or any(names[a] != names[b] for a, b in enumerate(j)):
        return None
    return j


class Group:
    """The space group in the program's Cartesian frame: cctbx's operations in the setting the
    program reads, carried by the conventional basis B (columns the lattice vectors)."""

    def __init__(self, number, B):
        g = setting(number).group()
        self.B, self.Binv = B, np.linalg.inv(B)
        self.centring = [np.array(t.as_double()) for t in g.ltr()]
        self.ops = []
        for op in g.smx():
            R = np.array(op.r().as_double()).reshape(3, 3)
            self.ops.append((B @ R @ self.Binv, B @ np.array(op.t().as_double())))
        self.rotations = [R for R, _ in self.ops]
        self.lattice = [B[:, i] for i in range(3)] + [B @ c for c in self.centring]

    def in_lattice(self, x, tol=1e-3):
        f = self.Binv @ x
        return any(np.abs(f - c - np.round(f - c)).max() < tol for c in self.centring)

    def star(self, k_cart):
        """The distinct vectors R k and -R k (Cartesian) modulo the reciprocal lattice."""
        arms = []
        for R in self.rotations:
            for s in (1, -1):
                q = s * R @ k_cart
                if not any(all(abs((q - p) @ v - round((q - p) @ v)) < 1e-4 for v in self.lattice)
                           for p in arms):
                    arms.append(q)
        return arms

    def contains(self, R, t):
        """Whether x -> R x + t (Cartesian) is an operation of the group."""
        return any(np.allclose(R, Rg, atol=1e-4) and self.in_lattice(t - tg) for Rg, tg in self.ops)

    def translations_in(self, L):
        """The lattice translations inside the supercell of the superlattice L (rows)."""
        corners = np.array([[i, j, k] for i in (0, 1) for j in (0, 1) for k in (0, 1)]) @ L @ self.Binv.T
        lo, hi = np.floor(corners.min(axis=0)) - 1, np.ceil(corners.max(axis=0)) + 1
        Linv = np.linalg.inv(L)
        out = []
        for n in itertools.product(*[range(int(a), int(b) + 1) for a, b in zip(lo, hi)]):
            for c in self.centring:
                x = self.B @ (np.array(n) + c)
                f = x @ Linv
                if np.all(f > -1e-6) and np.all(f < 1 - 1e-6):
                    out.append(x)
        return out


class Supercell:
    """A printed supercell with the lattice translations of the group inside it (as
    permutations of its atoms) and the arms of the star periodic on its superlattice."""

    def __init__(self, b, group, arms):
        self.lattice, self.pos, self.names = b["lattice"], b["pos"], b["names"]
        L = self.lattice
        self.translations = group.translations_in(L)
        self.periodic = [q for q in arms if all(abs(q @ v - round(q @ v)) < 1e-4 for v in L)]
        self.perms = [atom_map(L, self.pos, self.names, np.eye(3), t) for t in self.translations]
        # every operation of the group maps the supercell's atoms onto its atoms
        self.crystal = all(p is not None for p in self.perms) and \
            all(atom_map(L, self.pos, self.names, R, t) is not None for R, t in group.ops)

    def bloch_residual(self, mode):
        """Largest part of a mode outside the Bloch waves of the periodic arms."""
        c = len(self.translations)
        T = np.array(self.translations)
        ph = np.exp(2j * np.pi * (T @ np.array(self.periodic).T))  # c x arms
        P = (ph @ ph.conj().T).real / c
        worst = 0.0
        seen = np.zeros(len(self.names), bool)
        for j in range(len(self.names)):
            if seen[j]:
                continue
            orbit = np.array([p[j] for p in self.perms])
            seen[orbit] = True
            f = mode[orbit]
            worst = max(worst, np.abs(P @ f - f).max())
        return worst


_TABLES = None


def tables(data):
    global _TABLES
    if _TABLES is None:
        _TABLES = Tables(data)
    return _TABLES


def opd_dimensions(t, group, label):
    """{little-irrep label: smallest order-parameter dimension} at the k letter: 1, 4 or 2 by
    the reality type of the little irrep (the dimension of an invariant subspace of a real,
    quaternionic or complex irrep in real form is a multiple of it)."""
    L = t.bravais(group)
    j = next(j for j in range(int(t.lit["KVEC_COUNT"][L - 1]))
             if text(t.lit["KVEC_LABEL"][j, L - 1]).strip() == label)
    out = {}
    for m in range(int(t.lit["LITTLE_IRREP_COUNT"][j, group - 1])):
        l = int(t.lit["LITTLE_IRREP_NUMBER"][m, j, group - 1])
        if l:
            reality = int(t.lit["LITTLE_IRREP_REALITY"][l - 1])
            out[text(t.lit["LITTLE_IRREP_LABEL"][l - 1]).strip()] = {1: 1, 2: 4, 3: 2}[reality]
    return out


SPECIAL = " STOP Error:  k vector parameters give a special point\n"
GENERIC = (Fraction(3, 29), Fraction(5, 37), Fraction(7, 41))


def keeps_plus_minus_k(t, group, label, values):
    """The number of the group's rotations that take k (the letter at the parameter values) to
    k or -k modulo the reciprocal lattice, on the primitive reciprocal basis."""
    L = t.bravais(group)
    j = next(j for j in range(int(t.lit["KVEC_COUNT"][L - 1]))
             if text(t.lit["KVEC_LABEL"][j, L - 1]).strip() == label)
    m = t.lit["KVEC_MATRIX"][:, :, j, L - 1]
    k = [Fraction(int(m[r, 0]), int(m[3, 0])) for r in range(3)]
    for p, u in enumerate(values):
        k = [k[r] + u * Fraction(int(m[r, p + 1]), int(m[3, p + 1])) for r in range(3)]
    n = 0
    for op in t.ops(group):
        A = t.k_rot(L, op[4])
        q = [sum(int(A[r, c]) * k[c] for c in range(3)) for r in range(3)]
        n += any(all((q[r] - s * k[r]).denominator == 1 for r in range(3)) for s in (1, -1))
    return n


def check_refusal(t, lines, k_line):
    """A refused k line: right when its parameter values give k more rotations to +-k than the
    letter has at generic values."""
    group = int(lines[1].split()[0])
    words = k_line.split()
    values = [Fraction(w) for w in words[1:]]
    if keeps_plus_minus_k(t, group, words[0], values) > \
            keeps_plus_minus_k(t, group, words[0], GENERIC[:len(values)]):
        return []
    return ["refused as a special point, but the parameters keep k generic"]


def displaced_group_keeps_modes(b, Ms, group, rng):
    """The supercell displaced along a random combination of the modes Ms (without its uniform
    translation): None when every operation of the group among those spglib finds keeps every
    mode, else a failure."""
    u = np.tensordot(rng.uniform(0.5, 1.5, len(Ms)) * rng.choice([-1, 1], len(Ms)), Ms, axes=1)
    u -= u.mean(axis=0)
    if np.abs(u).max() < 1e-3:
        return None  # a uniform translation keeps the whole group
    u *= 0.05 / np.abs(u).max()
    L = b["lattice"]
    _, rotations, translations = symmetry(L, b["pos"] + u, b["names"])
    for R, tr in zip(rotations, translations):
        Rc = L.T @ R @ np.linalg.inv(L.T)
        if not group.contains(Rc, tr @ L):
            continue  # symmetry of the crystal beyond the group's
        perm = atom_map(L, b["pos"] + u, b["names"], Rc, tr @ L)
        if perm is None:
            return "an operation of the displaced supercell moves atoms off atoms"
        bad = [s for s, m in enumerate(Ms, 1) if np.abs(m[perm] - m @ Rc.T).max() > 2e-3]
        if bad:
            return "the displaced supercell's group does not keep mode %d" % bad[0]
    return None


def check_report(t, lines, k_line, rc, out, err, rng, generic=True):
    """(failures, notes) of one run, as texts; a note names a part left unchecked. generic: the
    crystal has no symmetry beyond its group's, so spglib must find exactly the group."""
    if rc == 1 and err == SPECIAL and " " in k_line.strip():
        return check_refusal(t, lines, k_line), ["refused: special point"]
    if rc != 0 or err:
        return ["exit status %d, standard error %r, last lines %r"
                % (rc, err[-300:], out[-300:])], []
    try:
        blocks = parse_report(out)
    except (AssertionError, IndexError, ValueError, AttributeError) as e:
        return ["report incomplete or unreadable: %r" % (e,)], []
    fails, notes = [], []
    group = int(lines[1].split()[0])
    gm = k_line.split()[0] == "GM"
    smallest = opd_dimensions(t, group, k_line.split()[0])
    cell = [float(x) for x in lines[2].split()]
    ntypes = int(lines[3].split()[0])
    names = [l.split()[0][:4] for l in lines[4:4 + ntypes]]
    counts, ncen = primitive_atoms(group, [l.split()[1] for l in lines[4:4 + ntypes]])
    nprim = sum(counts)
    B = cartesian_basis(*cell)
    vprim = abs(np.linalg.det(B)) / ncen
    k = printed_k(out)
    k_cart = np.linalg.inv(B).T @ k
    G = Group(group, B)
    star = G.star(k_cart)
    arms = len(star)
    total = sum(b["total"] for b in blocks)
    if total != 3 * nprim * arms:
        fails.append("%d modes for %d atoms and %d arms" % (total, nprim, arms))
    cells_seen = {}
    for b in blocks:
        where = "%s %s" % (b["label"], b["second"])
        ck = (b["lattice"].tobytes(), b["pos"].tobytes())
        if ck not in cells_seen:
            cells_seen[ck] = Supercell(b, G, star)
        sc = cells_seen[ck]
        cells = round(abs(np.linalg.det(b["lattice"])) / vprim)
        if len(sc.translations) != cells or not sc.crystal:
            fails.append("%s: the printed supercell is not the crystal (%d translations in %d cells)"
                         % (where, len(sc.translations), cells))
            continue
        if generic and symmetry(b["lattice"], b["pos"], b["names"])[0] != group:
            fails.append("%s: spglib finds another group in the printed supercell" % where)
        if not gm and " " in k_line.strip() and any(abs(k_cart @ v - round(k_cart @ v)) > 1e-4
                                                    for v in b["lattice"]):
            fails.append("%s: k is not periodic on the superlattice" % where)
        idx = [names.index(n) for n in b["names"]]
        if idx != sorted(idx) or [idx.count(i) for i in range(ntypes)] != [n * cells for n in counts]:
            fails.append("%s: supercell atoms not the input orbits in every cell" % where)
        # the order-parameter dimension: 1 for a real irrep (the program uses one vector of
        # it), else a multiple of the smallest, up to the degeneracy
        nvec = len(b["modes"]) * b["dim"] // b["total"] if b["total"] else 0
        if b["total"] % b["dim"] or len(b["modes"]) * b["dim"] != b["total"] * nvec \
                or nvec % smallest[b["label"]] or not 1 <= nvec <= b["dim"] \
                or (smallest[b["label"]] == 1 and nvec != 1):
            fails.append("%s: %d modes, total %d, degeneracy %d"
                         % (where, len(b["modes"]), b["total"], b["dim"]))
        if (b["mode_trans"] or b["trans"]) and not gm:
            fails.append("%s: translational modes away from the zone centre" % where)
        M = np.array([m.ravel() for m, _ in b["modes"]])
        if np.linalg.matrix_rank(M, tol=1e-3) != len(M):
            fails.append("%s: modes not independent" % where)
        for s, (mode, moved) in enumerate(b["modes"], 1):
            nz = np.abs(mode) > ZERO
            if len({b["names"][a] for a in moved}) != 1 \
                    or sorted(set(np.nonzero(nz.any(axis=1))[0])) != sorted(moved) \
                    or abs(np.abs(mode).max() - 1) > 1e-5 \
                    or 2 * int((mode[nz] > 0).sum()) < int(nz.sum()):
                fails.append("%s mode %d: atoms, scale or sign" % (where, s))
            r = sc.bloch_residual(mode)
            if r > 2e-3:
                fails.append("%s mode %d: %.4f outside the Bloch waves of the star" % (where, s, r))
        problem = displaced_group_keeps_modes(b, np.array([m for m, _ in b["modes"]]), G, rng)
        if problem:
            fails.append("%s: %s" % (where, problem))
    # different irreps on one supercell are orthogonal
    for x, y in itertools.combinations(blocks, 2):
        if x["lattice"].shape == y["lattice"].shape and np.allclose(x["lattice"], y["lattice"]) \
                and np.allclose(x["pos"], y["pos"]):
            A = np.array([m.ravel() / np.linalg.norm(m) for m, _ in x["modes"]])
            Y = np.array([m.ravel() / np.linalg.norm(m) for m, _ in y["modes"]])
            if np.abs(A @ Y.T).max() > 1e-4:  # printed to 5 decimals, over many atoms
                fails.append("%s and %s: modes not orthogonal" % (x["label"], y["label"]))
    return fails, notes


def judge(job):
    run, binary, data, other, measure = job
    started = time.time()
    margins = {}
    if measure:
        rc, out, err, margins = run_margins(binary, data, run.text)
    else:
        rc, out, err = run_program(binary, data, run.text)
    seconds = time.time() - started
    fails, notes = check_report(tables(data), run.lines, run.k_line, rc, out.decode("latin-1"),
                                err.decode("latin-1"),
                                np.random.default_rng(zlib.crc32(run.text.encode())), run.generic)
    if measure:
        fails += check_margins(margins)
    if other:
        rc2, out2, err2 = run_program(other, data, run.text)
        if b"This program has bombed" not in out2 and (rc2, out2, err2) != (rc, out, err):
            fails.append("output differs from that of %s" % other)
    return run.key, run.text, fails, notes, seconds, margins


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--all", action="store_true", help="every group, k letter and set")
    ap.add_argument("--jobs", type=int, default=3, help="processes (default 3)")
    ap.add_argument("--bin", default=BIN)
    ap.add_argument("--data", default=DATA)
    ap.add_argument("--compare", help="a second vibrex: its output must be equal byte for byte "
                    "wherever it does not bomb")
    ap.add_argument("--only", help="GROUP, GROUP:LABEL or GROUP:LABEL:SET of the sweep")
    ap.add_argument("--list", action="store_true", help="print the inputs instead of running")
    ap.add_argument("--margins", action="store_true", help="run the measuring driver (--bin "
                    "defaults to it) and report the margins of the double-precision rank decisions")
    args = ap.parse_args(argv)
    if args.margins and args.bin == BIN:
        args.bin = MARGINS_BIN
    # The runs happen in a scratch directory: paths given relative to the caller's directory
    # are made absolute first.
    args.bin = os.path.abspath(args.bin)
    args.data = os.path.abspath(args.data)
    if args.compare:
        args.compare = os.path.abspath(args.compare)
    runs = select(args)
    if args.list:
        for r in runs:
            print("# %s\n%s" % (r.key, r.text), end="")
        return 0
    return sweep(runs, args.bin, args.data, args.compare, args.jobs,
                 measured=[] if args.margins else None)


def select(args):
    runs = sweep_runs(tables(args.data))
    if args.only:
        want = args.only.split(":")
        return [r for r in runs if [str(x) for x in r.key][:len(want)] == want]
    if args.all:
        return runs
    return sample_runs(runs)


def sample_runs(runs):
    """The hand-written inputs and the sample's runs of the sweep."""
    keys = set(SAMPLE)
    return hand_runs() + [r for r in runs if r.key in keys]


def margin_rows(measured, every_subspace):
    """(key, reductions, smallest pivot kept, largest entry dropped) per run: of the reductions
    that decide a subspace, or of every subspace."""
    rows = []
    for key, m in measured:
        parts = [m[w] for w in (("deciding", "measured") if every_subspace else ("deciding",))
                 if w in m and m[w][0]]
        if parts:
            rows.append((key, sum(p[0] for p in parts), min(p[1] for p in parts),
                         max(p[2] for p in parts)))
    return rows


def report_margins(measured, out, shown=5):
    """The runs whose rank decisions come closest to the tolerance (measured as sweep fills
    it)."""
    for what, title in (("deciding", "reductions that decide a subspace"),
                        ("all", "every subspace of the isotropy search")):
        rows = margin_rows(measured, what == "all")
        total = sum(r[1] for r in rows)
        print("Rank margins, %s: %d reductions in %d runs" % (title, total, len(rows)), file=out)
        if what == "all":
            print("  largest basis difference from single precision where it decides: %.3g"
                  % max((m["compared"][1] for _, m in measured if "compared" in m), default=0.0),
                  file=out)
        if not rows:
            continue
        for label, index, reverse in (("smallest pivots kept", 2, False),
                                      ("largest entries dropped", 3, True)):
            print("  %s:" % label, file=out)
            for key, _, pivot, dropped in sorted(rows, key=lambda r: r[index], reverse=reverse)[:shown]:
                print("    %-22s pivot %.3g, dropped %.3g" % (key, pivot, dropped), file=out)


def sweep(runs, binary, data, other=None, jobs=3, out=sys.stdout, measured=None):
    """Runs and judges; prints each failure and a summary; 0 when every run passes. With a list
    for measured, binary is the measuring driver: each run's double-precision reductions must
    agree with the single-precision ones, its margins go into the list as (key, margins) and the
    closest to the tolerance are reported."""
    started = time.time()
    failed, refused = 0, 0
    with multiprocessing.Pool(max(1, jobs)) as pool:
        work = [(r, binary, data, other, measured is not None) for r in runs]
        for n, (key, text_in, fails, notes, seconds, m) in enumerate(pool.imap_unordered(judge, work), 1):
            if m:
                measured.append((key, m))
            refused += any(x.startswith("refused") for x in notes)
            if fails:
                failed += 1
                print("FAIL %s (%.1f s)\n%s  %s" % (key, seconds, text_in, "\n  ".join(fails[:8])),
                      file=out, flush=True)
            if n % 500 == 0:
                print("... %d of %d runs, %d failed, %.0f s" % (n, len(runs), failed,
                                                                time.time() - started),
                      file=out, flush=True)
    print("%d runs in %.0f s: %d failed; %d refused rightly (parameters at a special point)"
          % (len(runs), time.time() - started, failed, refused), file=out)
    if measured is not None:
        report_margins(measured, out)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
