#!/usr/bin/python3
"""Independent check of subgroup identification and orbit splitting, with cctbx and spglib.

Usage: library_subgroup_check.py DRIVER DATA_DIR [--per-parent N] [--seed S] [--parents LIST]

DRIVER is the test program `subgroup_driver`. For every parent group of PARENTS the subgroups are
built with cctbx from the parent's operators as the tables list them in "pml":

- every translationengleiche subgroup that cctbx's subgroup enumeration lists in that setting;
- klassengleiche subgroups of index 2 to 4: for every sublattice of that index that the parent's
  rotations keep, every choice of the generators' translations modulo the sublattice that closes
  into a group with one operator per rotation;
- chains: the same klassengleiche step (index 2) below every translationengleiche subgroup.

With --per-parent N a fixed-seed sample of N subgroups per parent is checked, else all. Every
subgroup goes to the library's `id_subgroup` in mode 0 (the driver also checks that the given
operators, referred to the returned basis and origin, are the tables' operators of the returned
group, and splits every Wyckoff position of the parent with `get_new_wyckoff`, checking that the
new orbits reproduce the old atoms exactly once). Here:

- spglib judges the group: a crystal of three generic orbits of different species under the
  subgroup's operators, in a random metric of the parent's crystal system, must have the number
  the library returned;
- cctbx judges the Wyckoff letters in the library's own frame: each new orbit's point (from its
  relation at random old parameters, carried into the subgroup's "cinter") must lie on the
  position of the letter the library named (cctbx's letters i and j of Pn-3m, 224, are the other
  way round from the tables').

Prints the number of cases, of "space group not found" stops, of other stops (must be 0), of
retries on a reduced basis, of orbits that needed wider shifts, the largest scale D, equation and
relation entries, and the time per call; exits 0 when every check holds.
"""
import argparse
import itertools
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time
from fractions import Fraction
from math import lcm

import numpy as np
import spglib
from cctbx import crystal, sgtbx
from cctbx.sgtbx import subgroups

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
import check_wyckoff as cw  # noqa: E402
from test_spglib_crosscheck import primitive_lattice  # noqa: E402

PARENTS = (2, 12, 14, 15, 47, 62, 63, 64, 69, 70, 71, 123, 129, 139, 141, 148, 166, 167, 176,
           191, 194, 221, 225, 227, 229, 230)
NOT_FOUND = "Error in id_subgroup: space group not found"
ORIGIN_CHOICE_2 = {48, 50, 59, 68, 70, 85, 86, 88, 125, 126, 129, 130, 133, 134, 137, 138, 141,
                   142, 201, 203, 222, 224, 227, 228}
RHOMBOHEDRAL = {146, 148, 155, 160, 161, 166, 167}


# --- exact operators -------------------------------------------------------------------------

def mat(r):
    return tuple(tuple(int(v) for v in row) for row in r)


def mul(a, b):
    (ra, ta), (rb, tb) = a, b
    r = tuple(tuple(sum(ra[i][k] * rb[k][j] for k in range(3)) for j in range(3)) for i in range(3))
    t = tuple(sum(ra[i][k] * tb[k] for k in range(3)) + ta[i] for i in range(3))
    return r, t


def inverse3(m):
    """Exact inverse of an integer 3x3 matrix, as Fractions."""
    a = [[Fraction(int(v)) for v in row] for row in m]
    det = (a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1])
           - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
           + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]))
    cof = [[(a[(j + 1) % 3][(i + 1) % 3] * a[(j + 2) % 3][(i + 2) % 3]
             - a[(j + 1) % 3][(i + 2) % 3] * a[(j + 2) % 3][(i + 1) % 3]) for j in range(3)]
           for i in range(3)]
    return [[cof[i][j] / det for j in range(3)] for i in range(3)]


def apply(m, v):
    return tuple(sum(m[i][k] * v[k] for k in range(3)) for i in range(3))


class Cell:
    """A sublattice with basis columns B of the parent's primitive lattice."""

    def __init__(self, b):
        self.b = b
        self.binv = inverse3(b)
        self.det = abs(round(float(np.linalg.det(np.array(b, dtype=float)))))

    def reduce(self, t):
        """t modulo the sublattice, as supercell fractions in [0, 1)."""
        return tuple(x % 1 for x in apply(self.binv, t))

    def back(self, f):
        return tuple(sum(self.b[i][k] * f[k] for k in range(3)) for i in range(3))

    def keeps(self, r):
        m = [[sum(self.binv[i][k] * sum(r[k][l] * self.b[l][j] for l in range(3))
                  for k in range(3)) for j in range(3)] for i in range(3)]
        return all(x.denominator == 1 for row in m for x in row)

    def cosets(self):
        """Parent lattice vectors, one per coset of the sublattice."""
        seen, out = set(), []
        n = self.det
        for v in itertools.product(range(n), repeat=3):
            key = self.reduce(v)
            if key not in seen:
                seen.add(key)
                out.append(v)
        return out


def sublattices(n):
    """Every sublattice of index n, once, as upper triangular column bases (Hermite form)."""
    for a in range(1, n + 1):
        if n % a:
            continue
        for d in range(1, n // a + 1):
            if (n // a) % d:
                continue
            f = n // (a * d)
            for b in range(a):
                for c in range(a):
                    for e in range(d):
                        yield ((a, b, c), (0, d, e), (0, 0, f))


# --- subgroups -------------------------------------------------------------------------------

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


class Parent:
    def __init__(self, tables, g):
        self.g = g
        self.ops = [(mat(r), tuple(tr), p) for r, tr, p in tables.operators(g)]
        self.point = {r: p for r, _, p in self.ops}
        group = sgtbx.space_group()
        for r, tr, _ in self.ops:
            group.expand_smx(sgtbx.rt_mx(xyz(r, tr)))
        info = sgtbx.space_group_info(group=group)
        if info.type().number() != g:
            raise RuntimeError("cctbx names the tables' group %d as %d" % (g, info.type().number()))
        self.info = info

    def translationengleiche(self):
        """cctbx's subgroups in the parent's "pml": lists of (rotation, translation)."""
        out = []
        for sub in subgroups.subgroups(self.info).groups_parent_setting():
            ops = []
            for s in sub.smx():
                r = mat(np.array(s.r().as_double()).reshape(3, 3).round().astype(int))
                t = tuple(Fraction(x).limit_denominator(1000) for x in s.t().as_double())
                ops.append((r, t))
            out.append(ops)
        return out


def generators(ops):
    """A few operators whose point operations generate all of them."""
    chosen, reached = [], {((1, 0, 0), (0, 1, 0), (0, 0, 1))}
    for r, t in ops:
        if r in reached:
            continue
        chosen.append((r, t))
        grown = set(reached) | {r}
        while True:
            new = {mul((a, (0, 0, 0)), (b, (0, 0, 0)))[0] for a in grown for b in grown} - grown
            if not new:
                break
            grown |= new
        reached = grown
    return chosen


def klassengleiche(ops, cell):
    """Every subgroup of the given operators with lattice `cell` and the same point operations:
    each generator's translation chosen modulo the sublattice, closed, one operator per rotation."""
    if not all(cell.keeps(r) for r, _ in ops):
        return []
    gens = generators(ops)
    shifts = cell.cosets()
    found, out = set(), []
    for choice in itertools.product(shifts, repeat=len(gens)):
        elems = {}
        todo = []
        for (r, t), s in zip(gens, choice):
            t2 = tuple(t[i] + s[i] for i in range(3))
            todo.append((r, cell.reduce(t2)))
        ident = (((1, 0, 0), (0, 1, 0), (0, 0, 1)), (Fraction(0),) * 3)
        elems[ident[0]] = ident[1]
        ok = True
        frontier = [ident] + todo
        for r, f in todo:
            if r in elems and elems[r] != f:
                ok = False
            elems[r] = f
        while frontier and ok:
            a = frontier.pop()
            for rb, fb in list(elems.items()):
                for x, y in ((a, (rb, fb)), ((rb, fb), a)):
                    r, t = mul((x[0], cell.back(x[1])), (y[0], cell.back(y[1])))
                    f = cell.reduce(t)
                    if r in elems:
                        if elems[r] != f:
                            ok = False
                    else:
                        elems[r] = f
                        frontier.append((r, f))
                if not ok:
                    break
        if not ok or len(elems) != len(ops):
            continue
        key = frozenset(elems.items())
        if key in found:
            continue
        found.add(key)
        out.append([(r, cell.back(f)) for r, f in elems.items()])
    return out


def kept_sublattices(ops, indices):
    return [Cell(b) for n in indices for b in sublattices(n)
            if all(Cell(b).keeps(r) for r, _ in ops)]


def subgroup_cases(parent, rng, per_parent, k_index=(2, 3, 4), chain_index=(2,)):
    """(lattice, operators, kind) of the subgroups to check: all of them, or with per_parent a
    fixed-seed sample drawn before the expensive enumerations (some of each kind)."""
    unit = ((1, 0, 0), (0, 1, 0), (0, 0, 1))
    tsubs = parent.translationengleiche()
    proper = [ops for ops in tsubs if len(ops) < len(parent.ops)]
    pops = [(r, t) for r, t, _ in parent.ops]
    if not per_parent:
        cases = [(unit, ops, "t") for ops in tsubs]
        for cell in kept_sublattices(pops, k_index):
            cases += [(cell.b, ops, "k%d" % cell.det) for ops in klassengleiche(pops, cell)]
        for ops in proper:
            for cell in kept_sublattices(ops, chain_index):
                cases += [(cell.b, sub, "tk%d" % cell.det) for sub in klassengleiche(ops, cell)]
        return cases
    share = max(1, per_parent // 3)
    cases = [(unit, ops, "t") for ops in rng.sample(tsubs, min(share, len(tsubs)))]
    cells = kept_sublattices(pops, (2, 3, 4))
    for cell in rng.sample(cells, min(share, len(cells))):
        subs = klassengleiche(pops, cell)
        cases += [(cell.b, ops, "k%d" % cell.det) for ops in rng.sample(subs, min(2, len(subs)))]
    for ops in rng.sample(proper, min(per_parent - len(cases), len(proper))):
        cells = kept_sublattices(ops, (2,))
        if not cells:
            continue
        cell = rng.choice(cells)
        subs = klassengleiche(ops, cell)
        if subs:
            cases.append((cell.b, rng.choice(subs), "tk2"))
    return cases


# --- judges ----------------------------------------------------------------------------------

def spglib_number(tables, parent_g, case, rng):
    """spglib's number for three generic orbits of different species under the subgroup."""
    b, ops, _ = case
    cell = Cell(b)
    prim = primitive_lattice(tables, parent_g, rng)  # rows: primitive vectors, Cartesian
    lattice = np.array(b, dtype=float).T @ prim
    positions, numbers = [], []
    for species in (1, 2, 3):
        x = tuple(Fraction(int(v), 997) for v in rng.randint(1, 996, 3))
        orbit = set()
        for r, t in ops:
            y = tuple(sum(r[i][k] * x[k] for k in range(3)) + t[i] for i in range(3))
            orbit.add(cell.reduce(y))
        for f in sorted(orbit):
            positions.append([float(v) for v in f])
            numbers.append(species)
    data = spglib.get_symmetry_dataset((lattice, np.array(positions), numbers), symprec=1e-5)
    if data is None:
        return None
    return data.number if hasattr(data, "number") else data["number"]


class Letters:
    """cctbx's Wyckoff letter of a point in the "cinter" of a group."""

    def __init__(self):
        self.cache = {}

    def letter(self, h, point):
        if h not in self.cache:
            symbol = "%d:2" % h if h in ORIGIN_CHOICE_2 else "%d:R" % h if h in RHOMBOHEDRAL \
                else "%d" % h
            info = sgtbx.space_group_info(symbol=symbol)
            sym = crystal.symmetry(unit_cell=info.any_compatible_unit_cell(volume=1000),
                                   space_group_info=info)
            self.cache[h] = (crystal.special_position_settings(sym, min_distance_sym_equiv=1e-4),
                             info.wyckoff_table())
        sps, table = self.cache[h]
        letter = table.mapping(sps.site_symmetry(point)).position().letter()
        if letter == "@":  # cctbx's name of the 27th position
            letter = "A"
        if h == 224 and letter in "ij":
            letter = "j" if letter == "i" else "i"
        return letter


def parse(text):
    cases, current = {}, None
    for line in text.splitlines():
        w = line.split()
        if not w:
            continue
        if w[0] == "case":
            current = {"id": w[1], "g": int(w[2]), "h": int(w[3]), "pass": int(w[4]),
                       "retried": w[5] == "1", "us": int(w[6]), "splits": [], "stops": []}
            cases[w[1]] = current
        elif w[0] == "stop":
            if w[2] == "id":
                cases[w[1]] = {"id": w[1], "stop": "id"}
            else:
                current["stops"].append(int(w[3]))
        elif w[0] == "basis":
            current["basis"] = w[1:]
        elif w[0] == "consistency":
            current["consistency"] = line[len("consistency "):]
        elif w[0] == "split":
            current["splits"].append({"w": int(w[1]), "count": int(w[2]), "us": int(w[3]),
                                      "d": int(w[4]), "e": int(w[5]), "rel": int(w[6]),
                                      "wide": int(w[7]), "status": " ".join(w[8:]),
                                      "orbits": []})
        elif w[0] == "orbit":
            current["splits"][-1]["orbits"].append((int(w[1]), w[2], tuple(float(v) for v in w[3:6])))
    return cases


def main(argv):
    ap = argparse.ArgumentParser()
    ap.add_argument("driver")
    ap.add_argument("data_dir")
    ap.add_argument("--per-parent", type=int, default=0)
    ap.add_argument("--seed", type=int, default=1112)
    ap.add_argument("--parents", default=",".join(str(p) for p in PARENTS))
    ap.add_argument("--k-index", default="2,3,4",
                    help="indices of the klassengleiche subgroups of the parents (full run)")
    ap.add_argument("--chain-index", default="2",
                    help="indices of the klassengleiche steps below the translationengleiche"
                         " subgroups (full run)")
    ap.add_argument("--cases-out", default="", help="also write the driver's input to this file")
    ap.add_argument("--build-only", action="store_true",
                    help="only write the driver's input (with --cases-out), check nothing")
    args = ap.parse_args(argv[1:])
    start = time.time()
    space, wyc = cw.load(args.data_dir)
    tables = cw.Tables(space, wyc)
    rng = random.Random(args.seed)
    nrng = np.random.RandomState(args.seed)

    all_cases, text = {}, []
    for g in (int(x) for x in args.parents.split(",")):
        parent = Parent(tables, g)
        for n, case in enumerate(subgroup_cases(
                parent, rng, args.per_parent, tuple(int(x) for x in args.k_index.split(",")),
                tuple(int(x) for x in args.chain_index.split(",")))):
            b, ops, kind = case
            cid = "%d.%s.%d" % (g, kind, n)
            all_cases[cid] = (g, case, parent)
            text.append("case %s %d 0" % (cid, g))
            text.append("lattice " + " ".join(str(b[i][j]) for j in range(3) for i in range(3)))
            for r, t in ops:
                d = lcm(*[Fraction(x).denominator for x in t])
                text.append("op %s %d %d" % (" ".join(str(int(Fraction(x) * d)) for x in t), d,
                                             parent.point[r]))
            text.append("end")
    built = time.time() - start
    stdin = "\n".join(text) + "\n"
    if args.cases_out:
        with open(args.cases_out, "w") as f:
            f.write(stdin)
    if args.build_only:
        print("%d cases" % len(all_cases))
        return 0
    with tempfile.TemporaryDirectory() as tmp:
        result = os.path.join(tmp, "result.txt")
        run = subprocess.run([args.driver, args.data_dir, "cases", result], input=stdin,
                             capture_output=True, text=True)
        with open(result) as f:
            results = parse(f.read())
    if run.returncode != 0:
        print("driver ended with status %d: %s" % (run.returncode, run.stderr[-2000:]))
        return 1

    letters = Letters()
    problems = []
    not_found = run.stdout.count(NOT_FOUND)
    id_stops = wyckoff_stops = retries = wide = 0
    id_times, split_times = [], []
    largest = {"d": 0, "e": 0, "rel": 0}
    largest_case = ""
    orbits_checked = 0
    for cid, (g, case, parent) in all_cases.items():
        r = results.get(cid)
        if r is None:
            problems.append("%s: no result" % cid)
            continue
        if r.get("stop") == "id":
            id_stops += 1
            problems.append("%s: id_subgroup stopped" % cid)
            continue
        id_times.append(r["us"])
        retries += r["retried"]
        if r["consistency"] != "ok":
            problems.append("%s: %s" % (cid, r["consistency"]))
        number = spglib_number(tables, g, case, nrng)
        if number != r["h"]:
            problems.append("%s: library %d, spglib %s" % (cid, r["h"], number))
        for w in r["stops"]:
            wyckoff_stops += 1
            problems.append("%s: get_new_wyckoff stopped on position %d" % (cid, w))
        for s in r["splits"]:
            split_times.append(s["us"])
            wide += s["wide"]
            for k in largest:
                if s[k] > largest[k]:
                    largest[k] = s[k]
                    if k == "d":
                        largest_case = "%s position %d" % (cid, s["w"])
            if s["status"] != "ok":
                problems.append("%s position %d: %s" % (cid, s["w"], s["status"]))
            for w, label, point in s["orbits"]:
                orbits_checked += 1
                got = letters.letter(r["h"], point)
                if got != label[-1]:
                    problems.append("%s position %d: library %s, cctbx %s at %s"
                                    % (cid, s["w"], label, got, point))
    for p in problems[:50]:
        print(p)
    other_stops = id_stops - not_found + wyckoff_stops
    print("cases: %d (%s parents), subgroup orbits named: %d" % (len(all_cases),
          len(args.parents.split(",")), orbits_checked))
    print("'space group not found' stops: %d; other stops: %d" % (not_found, other_stops))
    print("retries on a reduced basis: %d; orbits named with wider shifts: %d" % (retries, wide))
    print("largest scale D: %d (%s); largest equation entry: %d; largest relation entry: %d"
          % (largest["d"], largest_case, largest["e"], largest["rel"]))
    if id_times:
        print("id_subgroup: median %.0f us, max %.0f us per call; get_new_wyckoff: median %.0f us,"
              " max %.0f us per call" % (statistics.median(id_times), max(id_times),
                                         statistics.median(split_times), max(split_times)))
    print("built in %.0f s, checked in %.0f s" % (built, time.time() - start - built))
    print("%d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
