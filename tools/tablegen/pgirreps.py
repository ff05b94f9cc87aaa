"""Physically irreducible real irreps of the 32 point groups on 13 canonical images.

An image is a fixed finite group of real orthogonal matrices. Every real irrep of a point
group (in its reference orientation) is written as a homomorphism onto one of them, so two
irreps with the same matrix group share its matrices exactly:

    1 "1"   the trivial group           (dim 1)
    2 "-1"  {1, -1}                      (dim 1)
    3 "C3", 4 "C4", 5 "C6"  the rotations by multiples of 120, 90, 60 degrees (dim 2): the
            real form S diag(z, conj z) S^H of a complex one-dimensional irrep z, with
            S = (1/sqrt 2) ((1, 1), (-i, i)); reality type 3
    6 "D3", 7 "D4", 8 "D6"  those rotations and the reflections R(t) diag(1, -1) (dim 2)
    9 "T", 10 "Th", 11 "O", 12 "Td", 13 "Oh"  the matrices (cubic axes) of the point groups
            23, m-3, 432, -43m, m-3m (dim 3)

Irreps are found by enumerating the homomorphisms from the point group onto each image
(generators' images, checked on the whole group) and keeping one per real character; the
character of a complex pair is 2 Re z, so a pair gets one irrep. The Mulliken label of each
irrep follows the usual rules (A/B by the principal rotation, E, T; subscripts 1/2 by the
twofold axis along a or the mirror normal to a, B1/B2/B3 by the twofold axes along z/y/x in
222 and mmm; g/u by the inversion; '/'' by the horizontal mirror); irreps are ordered g before
u (' before ''), then A, B, E, T, then by subscript.
"""
from functools import lru_cache

from . import numfield as nf
from . import pointops as po

IMAGE_NAMES = ("1", "-1", "C3", "C4", "C6", "D3", "D4", "D6", "T", "Th", "O", "Td", "Oh")
IMAGE_REALITY = (1, 1, 3, 3, 3, 1, 1, 1, 1, 1, 1, 1, 1)

_COS_SIN = {
    3: [(nf.ONE, nf.ZERO), (-nf.HALF, nf.R3_2), (-nf.HALF, -nf.R3_2)],
    4: [(nf.ONE, nf.ZERO), (nf.ZERO, nf.ONE), (-nf.ONE, nf.ZERO), (nf.ZERO, -nf.ONE)],
    6: [(nf.ONE, nf.ZERO), (nf.HALF, nf.R3_2), (-nf.HALF, nf.R3_2), (-nf.ONE, nf.ZERO),
        (-nf.HALF, -nf.R3_2), (nf.HALF, -nf.R3_2)],
}


def _rotations(n):
    return [((c, -s), (s, c)) for c, s in _COS_SIN[n]]


def _image_matrices(i):
    name = IMAGE_NAMES[i - 1]
    if name == "1":
        return [nf.mat(((1,),))]
    if name == "-1":
        return [nf.mat(((1,),)), nf.mat(((-1,),))]
    if name[0] == "C":
        return _rotations(int(name[1]))
    if name[0] == "D":
        rots = _rotations(int(name[1]))
        refl = nf.mat(((1, 0), (0, -1)))
        return rots + [nf.mul(r, refl) for r in rots]
    pg = {"T": 28, "Th": 29, "O": 30, "Td": 31, "Oh": 32}[name]
    return [nf.mat(po.rot(k)) for k in po.point_group_ops(pg)]


class Image:
    def __init__(self, number):
        self.number = number
        self.name = IMAGE_NAMES[number - 1]
        self.reality = IMAGE_REALITY[number - 1]
        self.matrices = _image_matrices(number)
        self.dim = len(self.matrices[0])
        index = {m: j for j, m in enumerate(self.matrices)}
        if len(index) != len(self.matrices):
            raise AssertionError("image %s has repeated matrices" % self.name)
        n = len(self.matrices)
        self.table = [[index[nf.mul(a, b)] for b in self.matrices] for a in self.matrices]
        self.identity = index[nf.identity(self.dim)]
        self.traces = [nf.trace(m) for m in self.matrices]
        self.order_of = []
        for j in range(n):
            k, x = 1, j
            while x != self.identity:
                x = self.table[j][x]
                k += 1
            self.order_of.append(k)


@lru_cache(maxsize=None)
def images():
    return tuple(Image(i) for i in range(1, len(IMAGE_NAMES) + 1))


@lru_cache(maxsize=None)
def _products():
    return po.product_table()


def _mul(a, b):
    return _products()[a - 1][b - 1]


def _op_order(k):
    n, x = 1, k
    while x != po.IDENTITY[po.is_hexagonal(k)]:
        x = _mul(k, x)
        n += 1
    return n


class Irrep:
    """A real irrep of a point group: image, map point operation -> image matrix index,
    real character per operation (Q3), Mulliken label."""

    def __init__(self, pg, image, phi):
        self.pg, self.image, self.phi = pg, image, phi
        self.char = {k: nf.trace(image.matrices[j]) for k, j in phi.items()}
        self.label = None

    @property
    def dim(self):
        return self.image.dim

    @property
    def reality(self):
        return self.image.reality

    def matrix(self, k):
        return self.image.matrices[self.phi[k]]


def _homomorphisms(pg, image):
    """First homomorphism onto the image for each real character (dict op -> matrix index)."""
    ops = po.point_group_ops(pg)
    gens = po.PG_REFERENCE_GENERATORS[pg - 1]
    ident = po.IDENTITY[po.is_hexagonal(ops[0])]
    choices = [[j for j in range(len(image.matrices)) if _op_order(g) % image.order_of[j] == 0]
               for g in gens]
    found = {}
    n_img = len(image.matrices)

    def rec(level, assign):
        if level == len(gens):
            phi = {ident: image.identity}
            queue = [ident]
            for x in queue:
                for g, a in zip(gens, assign):
                    y = _mul(g, x)
                    v = image.table[a][phi[x]]
                    if y not in phi:
                        phi[y] = v
                        queue.append(y)
                    elif phi[y] != v:
                        return
            if len(set(phi.values())) != n_img or len(phi) != len(ops):
                return
            key = tuple(image.traces[phi[k]] for k in ops)
            if key not in found:
                found[key] = phi
            return
        for j in choices[level]:
            rec(level + 1, assign + [j])

    rec(0, [])
    return list(found.values())


# Operations that decide the label letters, per point group (reference orientation):
# principal operation for A/B, operation for the subscript 1/2, inversion or horizontal mirror.
def _first_of_kind(ops, kind):
    return next((k for k in ops if po.kind(k) == kind), None)


_PRINCIPAL = {3: 3, 5: 3, 7: 2, 9: 16, 10: 40, 11: 16, 12: 16, 13: 16, 14: 40, 15: 16,
              16: 50, 17: 50, 18: 50, 19: 50, 20: 50, 21: 54, 22: 50, 23: 54, 24: 54, 25: 54,
              26: 50, 27: 54}
_SUBSCRIPT = {7: 27, 12: 4, 13: 28, 14: 4, 15: 4, 18: 56, 19: 68, 20: 56, 24: 56, 25: 68,
              27: 56, 30: 16, 31: 40, 32: 16}
_HORIZONTAL_MIRROR = {4: 27, 22: 64, 26: 64}
_SIXFOLD = {21, 23, 24, 25, 27}


def _label(irrep):
    pg, ch, d = irrep.pg, irrep.char, irrep.dim
    ops = po.point_group_ops(pg)
    letter = {1: "A", 2: "E", 3: "T"}[d]
    sub = ""
    if d == 1:
        if pg in (6, 8):
            if ch[2] != nf.ONE or ch[3] != nf.ONE:
                letter = "B"
                sub = "1" if ch[2] == nf.ONE else ("2" if ch[3] == nf.ONE else "3")
        else:
            if pg in _PRINCIPAL and ch[_PRINCIPAL[pg]] == -nf.ONE:
                letter = "B"
            if pg == 26:
                sub = "1" if ch[_first_of_kind(ops, "2")] == nf.ONE else "2"
            elif pg in _SUBSCRIPT:
                sub = "1" if ch[_SUBSCRIPT[pg]] == nf.ONE else "2"
    elif d == 2 and pg in _SIXFOLD:
        sub = "1" if ch[54] == nf.ONE else "2"
    elif d == 3 and pg in _SUBSCRIPT:
        sub = "1" if float(ch[_SUBSCRIPT[pg]]) > 0 else "2"
    parity = ""
    for inv in (25, 61):
        if inv in ops:
            parity = "g" if float(ch[inv]) > 0 else "u"
    if pg in _HORIZONTAL_MIRROR:
        parity = "'" if float(ch[_HORIZONTAL_MIRROR[pg]]) > 0 else "''"
    return letter + sub + parity


def _sort_key(irrep):
    lab = irrep.label
    parity = 1 if lab.endswith("u") or lab.endswith("''") else 0
    letter = "ABET".index(lab[0])
    sub = lab[1] if len(lab) > 1 and lab[1].isdigit() else "0"
    return (parity, letter, sub)


@lru_cache(maxsize=None)
def point_group_irreps(pg):
    """The physically irreducible real irreps of point group pg (1-32), in label order."""
    out = []
    for image in images():
        for phi in _homomorphisms(pg, image):
            out.append(Irrep(pg, image, phi))
    order = len(po.point_group_ops(pg))
    total = sum(ir.dim * ir.dim // (2 if ir.reality == 3 else 1) for ir in out)
    if total != order:
        raise AssertionError("point group %s: sum of squared dimensions %d, order %d"
                             % (po.POINT_GROUP_NAMES[pg - 1], total, order))
    for ir in out:
        ir.label = _label(ir)
    out.sort(key=_sort_key)
    labels = [ir.label for ir in out]
    if len(set(labels)) != len(labels):
        raise AssertionError("point group %s: labels %s" % (po.POINT_GROUP_NAMES[pg - 1], labels))
    return tuple(out)
