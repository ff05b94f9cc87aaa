#!/usr/bin/python3
"""Checks the Wyckoff block ("data_wyckoff.bin") against the space-group block ("data_space.bin").

Independent of the table maker: it reads both files itself and recomputes everything from the
stored operators with exact arithmetic. The assertions (docs/data-tables-wyckoff.md):

  W1 counts      1731 positions in all, 1 to 27 per group, WYC_FIRST consecutive from 1
  W2 matrices    column 1 a point in lowest terms; columns 2-4 the parameters x, y, z: a
                 present one an integer direction over denominator 1, an absent one all zero;
                 independent directions; the last position of a group is the general one
  W3 cinter      the "cinter" image of every matrix has its constants in [0, 1) and integer
                 directions (the representative as International Tables writes it)
  W4 site group  the stored operators that fix a position form WYC_SITE_POINT_GROUP, of its
                 order; orbit size in "pml" times site order equals the group order
  W5 letters     orbit sizes never decrease from "a" on; no generic point of a position lies
                 on another position of the same orbit size (the positions are distinct
                 Wyckoff positions and a point is found first at its own position)
  W6 labels      WYC_LABEL is the multiplicity in the "cinter" cell followed by the letter
  W7 lists       PG_LIST_FIRST/PG_LIST_COUNT consecutive, at most 152 lists; every list a
                 point group of the right key; the first is the reference orientation (the
                 closure of PG_GENERATORS); the others are distinct and each is the image of
                 the reference list place by place under a product- and kind-keeping
                 bijection; every site group equals exactly one list of its point group and
                 every non-reference list is some site group
  W8 zero        the items that nothing reads (WYCKOFF_ITEM_*) are zero; the mode-analysis
                 arrays are checked by check_mode_tables.py

Usage: check_wyckoff.py [data directory]   (default: data/ beside tools/)
"""
import os
import random
import sys
from fractions import Fraction
from itertools import combinations, product as iproduct

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_tables import (SPACE_FILE_LAYOUT, SPACE_PAYLOAD, WYCKOFF_PAYLOAD,  # noqa: E402
                          minv, read_block)

# The Wyckoff block, in file order: name, storage, dimensions (first index fastest).
WYCKOFF_FILE_LAYOUT = """
IRREP_WYC_FIRST i4 4777
IRREP_WYC_LIST_START i4 44000
WYC_FIRST i2 230
WYCKOFF_ITEM_04 i2 32
WYCKOFF_ITEM_05 i2 2163
IRREP_WYC_SITE_IRREP i2 61000
PG_IRREP_INDEX i2 12 32
WYC_COUNT i1 230
WYC_MATRIX_TABLE i1 4 4 1731
WYC_SITE_POINT_GROUP i1 1731
PG_ELEMENT_LIST i1 48 152
PG_IRREP_COUNT i1 32
IRREP_WYC_LIST_COUNT i1 44000
IRREP_WYC_MULTIPLICITY i1 61000
PG_LIST_FIRST i2 32
PG_LIST_COUNT i1 32
PG_VECTOR_IRREP i1 3 2 32
PG_VECTOR_BASIS i1 3 3 2 152
WYC_LABEL a5 1731
WYCKOFF_ITEM_20 a4 12 32
"""
WYCKOFF_NAMES = tuple(line.split()[0] for line in WYCKOFF_FILE_LAYOUT.strip().splitlines())
UNUSED_ITEMS = ("WYCKOFF_ITEM_04", "WYCKOFF_ITEM_05", "WYCKOFF_ITEM_20")
LETTERS = "abcdefghijklmnopqrstuvwxyzA"


def load(data_dir):
    """(space, wyckoff): dicts of numpy arrays, index i of a table at i - 1, texts as str."""
    blocks = []
    for name, layout, size in (("data_space.bin", SPACE_FILE_LAYOUT, SPACE_PAYLOAD),
                               ("data_wyckoff.bin", WYCKOFF_FILE_LAYOUT, WYCKOFF_PAYLOAD)):
        block = read_block(os.path.join(data_dir, name), layout, size)
        blocks.append({k: v.a for k, v in block.items()})
    return tuple(blocks)


def text(x):
    """A stored text entry as str (the readers give str, the maker's arrays bytes)."""
    return x.decode("ascii") if isinstance(x, (bytes, np.bytes_)) else str(x)


# --- exact helpers -----------------------------------------------------------------------------

class Tables:
    """Derived views of both blocks: operators, rotations in primitive bases, settings."""

    def __init__(self, space, wyc):
        self.s, self.w = space, wyc
        self.prod = space["POINT_OP_PRODUCT"].astype(int)
        self.rot = [space["POINT_OP_ROT"][:, :, k].astype(int) for k in range(72)]

    def kind(self, k):
        r = self.rot[k - 1]
        return int(round(np.linalg.det(r))), int(np.trace(r))

    def order(self, pg):
        return int(self.s["PG_ORDER"][pg - 1])

    def group_order(self, sg):
        return self.order(int(self.s["SG_POINT_GROUP"][sg - 1]))

    def prim_rot(self, sg, k):
        L = int(self.s["SG_BRAVAIS"][sg - 1]) - 1
        lt = self.s["LATTICE_TRANSFORM"][:, :, :, L].astype(int)
        den = int(self.s["LATTICE_TRANSFORM_DEN"][0, L])
        return (lt[:, :, 0] @ self.rot[k - 1] @ lt[:, :, 1]) // den

    def operators(self, sg):
        first = int(self.s["SG_FIRST_OP"][sg - 1])
        out = []
        for m in range(self.group_order(sg)):
            rec = [int(x) for x in self.s["SG_OP_TABLE"][:, first - 1 + m]]
            out.append((self.prim_rot(sg, rec[4]),
                        tuple(Fraction(rec[i], rec[3]) for i in range(3)), rec[4]))
        return out

    def positions(self, sg):
        first = int(self.w["WYC_FIRST"][sg - 1])
        return list(range(first, first + int(self.w["WYC_COUNT"][sg - 1])))

    def matrix(self, index):
        return self.w["WYC_MATRIX_TABLE"][:, :, index - 1].astype(int)

    def key_group(self, ops):
        total = sum(int(self.s["POINT_OP_KEY"][k - 1]) for k in set(ops))
        keys = [int(x) for x in self.s["POINT_GROUP_KEY"]]
        return keys.index(total) + 1 if total in keys else None

    def closure(self, ops):
        elems, todo = set(ops), list(ops)
        while todo:
            a = todo.pop()
            for b in list(elems):
                for c in (int(self.prod[a - 1, b - 1]), int(self.prod[b - 1, a - 1])):
                    if c not in elems:
                        elems.add(c)
                        todo.append(c)
        return elems

    def setting_pair(self, sg, name):
        """(T1, T2) of the setting slot `name` of group sg, integer 4x4 arrays."""
        names = [text(self.s["SETTING_NAME"][1, i]).strip() for i in range(8)]
        st = self.s["SETTING_TRANSFORM"][:, :, :, sg - 1, names.index(name)].astype(int)
        return st[:, :, 0], st[:, :, 1]

    def cinter_to_pml(self, sg):
        """(A, a): x_pml = A x_cinter + a, from the setting slots "cinter" and "pml"."""
        m = self.setting_pair(sg, "pml")[0] @ self.setting_pair(sg, "cinter")[1]
        m = [[Fraction(int(x)) for x in row] for row in m]
        d = m[3][3]
        return [[m[i][j] / d for j in range(3)] for i in range(3)], [m[i][3] / d for i in range(3)]


def point_of(w, params):
    p = [Fraction(int(w[i, 0]), int(w[3, 0])) for i in range(3)]
    for j in range(3):
        if w[3, j + 1]:
            for i in range(3):
                p[i] += params[j] * Fraction(int(w[i, j + 1]), int(w[3, j + 1]))
    return tuple(p)


def directions(w):
    return [tuple(int(w[i, j]) for i in range(3)) for j in (1, 2, 3) if w[3, j]]


def apply(op, p):
    r, t, _ = op
    return tuple(sum(int(r[i, c]) * p[c] for c in range(3)) + t[i] for i in range(3))


def mod1(p):
    return tuple(x - (x.numerator // x.denominator) for x in p)


def stabiliser(ops, w):
    """Point operations of the operators that fix the position's point and directions."""
    p = point_of(w, (0, 0, 0))
    dirs = directions(w)
    fixed = []
    for op in ops:
        q = apply(op, p)
        if all((q[i] - p[i]).denominator == 1 for i in range(3)) and \
                all(tuple(int(x) for x in op[0] @ np.array(d)) == d for d in dirs):
            fixed.append(op[2])
    return fixed


def on_subspace(q, p, dirs):
    """True when q lies on p + span(dirs) modulo the lattice (exact; dirs independent)."""
    k = len(dirs)
    if k == 0:
        return mod1(q) == mod1(p)
    d = np.array(dirs, dtype=object).T  # 3 x k
    for rows in _row_choices(k):
        sub = [[Fraction(int(d[r, c])) for c in range(k)] for r in rows]
        det = _det(sub)
        if det == 0:
            continue
        inv = minv(sub)
        for shift in iproduct(range(abs(int(det))), repeat=k):
            rhs = [q[r] - p[r] + shift[i] for i, r in enumerate(rows)]
            y = [sum(inv[i][j] * rhs[j] for j in range(k)) for i in range(k)]
            if all((p[r] + sum(int(d[r, c]) * y[c] for c in range(k)) - q[r]).denominator == 1
                   for r in range(3)):
                return True
        return False
    return False  # dependent directions: reported by W2


def _row_choices(k):
    return list(combinations(range(3), k))


def _det(m):
    if len(m) == 1:
        return m[0][0]
    if len(m) == 2:
        return m[0][0] * m[1][1] - m[0][1] * m[1][0]
    return sum((-1) ** j * m[0][j] * _det([row[:j] + row[j + 1:] for row in m[1:]])
               for j in range(len(m)))


def generic_params(rng):
    return tuple(Fraction(rng.randrange(1, 1000002), 1000003) for _ in range(3))


# --- the assertions --------------------------------------------------------------------------

def check_counts(t, fail):
    counts = [int(x) for x in t.w["WYC_COUNT"]]
    if sum(counts) != 1731:
        fail("W1", "%d positions in all, expected 1731" % sum(counts))
    nxt = 1
    for sg in range(1, 231):
        if not 1 <= counts[sg - 1] <= 27:
            fail("W1", "group %d has %d positions" % (sg, counts[sg - 1]))
        if int(t.w["WYC_FIRST"][sg - 1]) != nxt:
            fail("W1", "group %d: WYC_FIRST %d, expected %d" % (sg, t.w["WYC_FIRST"][sg - 1], nxt))
        nxt += counts[sg - 1]


def check_matrices(t, fail):
    from math import gcd
    for sg in range(1, 231):
        idx = t.positions(sg)
        for n, index in enumerate(idx, start=1):
            w = t.matrix(index)
            tag = "%d%s" % (sg, LETTERS[n - 1])
            den = int(w[3, 0])
            g = 0
            for x in w[:, 0]:
                g = gcd(g, int(x))
            if den <= 0 or g != 1:
                fail("W2", "%s: point not in lowest terms" % tag)
            for j in (1, 2, 3):
                col = [int(x) for x in w[:3, j]]
                if w[3, j] not in (0, 1) or (w[3, j] == 0) != (not any(col)):
                    fail("W2", "%s: parameter column %d malformed" % (tag, j + 1))
            dirs = directions(w)
            if dirs and np.linalg.matrix_rank(np.array(dirs, dtype=float)) != len(dirs):
                fail("W2", "%s: dependent directions" % tag)
            last = n == len(idx)
            general = len(dirs) == 3 and int(t.w["WYC_SITE_POINT_GROUP"][index - 1]) == 1
            if last != general:
                fail("W2", "%s: the general position must be last and only last" % tag)


def check_cinter(t, fail):
    for sg in range(1, 231):
        A, a = t.cinter_to_pml(sg)
        Ai = minv(A)
        for n, index in enumerate(t.positions(sg), start=1):
            w = t.matrix(index)
            p = point_of(w, (0, 0, 0))
            c = [sum(Ai[i][k] * (p[k] - a[k]) for k in range(3)) for i in range(3)]
            ok = all(0 <= x < 1 for x in c)
            for d in directions(w):
                v = [sum(Ai[i][k] * d[k] for k in range(3)) for i in range(3)]
                ok = ok and all(x.denominator == 1 for x in v)
            if not ok:
                fail("W3", "%d%s: cinter representative %s not in standard form"
                     % (sg, LETTERS[n - 1], c))


def check_sites(t, fail, rng):
    """W4 and W5; returns the site groups as sets of point operations, per position."""
    sites = {}
    for sg in range(1, 231):
        ops = t.operators(sg)
        order = len(ops)
        sizes, generic = [], []
        for n, index in enumerate(t.positions(sg), start=1):
            w = t.matrix(index)
            tag = "%d%s" % (sg, LETTERS[n - 1])
            fixed = stabiliser(ops, w)
            pg = int(t.w["WYC_SITE_POINT_GROUP"][index - 1])
            if not 1 <= pg <= 32 or t.key_group(fixed) != pg or len(fixed) != t.order(pg):
                fail("W4", "%s: site group %s of order %d, stored %d"
                     % (tag, t.key_group(fixed), len(fixed), pg))
            sites[index] = frozenset(fixed)
            p = point_of(w, generic_params(rng))
            orbit = {mod1(apply(op, p)) for op in ops}
            if len(orbit) * len(fixed) != order:
                fail("W4", "%s: orbit %d times site order %d is not %d"
                     % (tag, len(orbit), len(fixed), order))
            sizes.append(len(orbit))
            generic.append((orbit, w))
        if sizes != sorted(sizes):
            fail("W5", "group %d: orbit sizes %s decrease" % (sg, sizes))
        for i, (orbit_i, wi) in enumerate(generic):
            for j, (orbit_j, wj) in enumerate(generic):
                if i == j or sizes[i] != sizes[j]:
                    continue
                pj, dj = point_of(wj, (0, 0, 0)), directions(wj)
                if len(dj) < len(directions(wi)):
                    continue
                if any(on_subspace(q, pj, dj) for q in orbit_i):
                    fail("W5", "group %d: a generic point of %s lies on %s"
                         % (sg, LETTERS[i], LETTERS[j]))
    return sites


def check_labels(t, fail):
    for sg in range(1, 231):
        A, _ = t.cinter_to_pml(sg)
        cells = abs(_det(A))
        order = t.group_order(sg)
        for n, index in enumerate(t.positions(sg), start=1):
            site = t.order(int(t.w["WYC_SITE_POINT_GROUP"][index - 1]))
            want = ("%d%s" % (order // site * cells, LETTERS[n - 1])).ljust(5)
            got = text(t.w["WYC_LABEL"][index - 1]).ljust(5)
            if got != want:
                fail("W6", "%d%s: label %r, expected %r" % (sg, LETTERS[n - 1], got, want))


def check_lists(t, fail, sites):
    lists = t.w["PG_ELEMENT_LIST"].astype(int)
    first = [int(x) for x in t.w["PG_LIST_FIRST"]]
    count = [int(x) for x in t.w["PG_LIST_COUNT"]]
    nxt = 1
    for pg in range(1, 33):
        if first[pg - 1] != nxt or count[pg - 1] < 1:
            fail("W7", "point group %d: lists %d+%d not consecutive" % (pg, first[pg - 1], count[pg - 1]))
        nxt = first[pg - 1] + count[pg - 1]
    used = nxt - 1
    if used > 152 or np.any(lists[:, used:]):
        fail("W7", "%d lists in use, unused lists not zero" % used)
    sets_by_pg = {}
    for pg in range(1, 33):
        n = t.order(pg)
        gens = [int(t.s["PG_GENERATORS"][i, pg - 1])
                for i in range(int(t.s["PG_GENERATOR_COUNT"][pg - 1]))]
        reference = None
        for li in range(first[pg - 1], first[pg - 1] + count[pg - 1]):
            col = [int(x) for x in lists[:, li - 1]]
            ops, rest = col[:n], col[n:]
            tag = "point group %d list %d" % (pg, li)
            if any(rest) or len(set(ops)) != n or not all(1 <= k <= 72 for k in ops) or \
                    len({k >= 49 for k in ops}) != 1:
                fail("W7", "%s: malformed %s" % (tag, ops))
                continue
            if t.closure(ops) != set(ops) or t.key_group(ops) != pg:
                fail("W7", "%s: not point group %d" % (tag, pg))
                continue
            if reference is None:
                reference = ops
                if set(ops) != t.closure(gens):
                    fail("W7", "%s: first list is not the reference orientation" % tag)
            else:
                phi = dict(zip(reference, ops))
                for a in reference:
                    if t.kind(a) != t.kind(phi[a]) or any(
                            phi[int(t.prod[a - 1, b - 1])] != int(t.prod[phi[a] - 1, phi[b] - 1])
                            for b in reference):
                        fail("W7", "%s: not the image of the reference list" % tag)
                        break
            key = frozenset(ops)
            if key in sets_by_pg.setdefault(pg, {}):
                fail("W7", "%s: repeats list %d" % (tag, sets_by_pg[pg][key]))
            sets_by_pg[pg][key] = li
    used_lists = set()
    for index, fixed in sites.items():
        pg = int(t.w["WYC_SITE_POINT_GROUP"][index - 1])
        li = sets_by_pg.get(pg, {}).get(fixed)
        if li is None:
            fail("W7", "position %d: site group %s is no list of point group %d"
                 % (index, sorted(fixed), pg))
        used_lists.add(li)
    for pg in range(1, 33):
        for li in range(first[pg - 1] + 1, first[pg - 1] + count[pg - 1]):
            if li not in used_lists:
                fail("W7", "list %d of point group %d is no site group" % (li, pg))


def check_zero(t, fail):
    for name in UNUSED_ITEMS:
        a = t.w[name]
        if a.dtype == object or a.dtype.kind in "SU":
            nonzero = any(text(x).strip("\0") for x in a.flat)
        else:
            nonzero = np.any(a)
        if nonzero:
            fail("W8", "%s is not zero" % name)


CHECKS = ("W1", "W2", "W3", "W4", "W5", "W6", "W7", "W8")


def run_checks(space, wyc, seed=20261210):
    """Failures as a dict assertion -> list of messages (empty lists when all hold)."""
    failures = {c: [] for c in CHECKS}

    def fail(code, msg):
        failures[code].append(msg)

    t = Tables(space, wyc)
    rng = random.Random(seed)
    check_counts(t, fail)
    if failures["W1"]:
        for code in CHECKS[1:]:
            fail(code, "not checked: the counts are wrong")
        return failures
    sites = {}

    def run(code, check, *args):
        try:
            return check(t, fail, *args)
        except Exception as exc:  # a malformed table must be reported, not crash the run
            fail(code, "%s: %s" % (type(exc).__name__, exc))

    run("W2", check_matrices)
    run("W3", check_cinter)
    sites = run("W4", check_sites, rng) or {}
    run("W6", check_labels)
    run("W7", check_lists, sites)
    run("W8", check_zero)
    return failures


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    data_dir = argv[1] if len(argv) > 1 else os.path.join(here, "..", "data")
    failures = run_checks(*load(data_dir))
    bad = 0
    for code in CHECKS:
        msgs = failures[code]
        print("%s %s" % (code, "ok" if not msgs else "FAILED (%d)" % len(msgs)))
        for m in msgs[:10]:
            print("   ", m)
        bad += bool(msgs)
    print("%d passed, %d failed" % (len(CHECKS) - bad, bad))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
