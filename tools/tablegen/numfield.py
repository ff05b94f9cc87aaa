"""Exact numbers a + b sqrt(3) (a, b Fractions) and small matrices over them.

Every matrix element of the zone-centre irreps (cosines and sines of multiples of 30 degrees)
and every vector the site data needs lies in this field, so the maker never rounds before it
writes the constant table.
"""
from fractions import Fraction
import math

SQRT3 = math.sqrt(3.0)


class Q3(tuple):
    """a + b sqrt(3) as an immutable pair of Fractions."""

    def __new__(cls, a=0, b=0):
        return tuple.__new__(cls, (Fraction(a), Fraction(b)))

    a = property(lambda s: s[0])
    b = property(lambda s: s[1])

    def __add__(self, o):
        o = q3(o)
        return Q3(self[0] + o[0], self[1] + o[1])

    __radd__ = __add__

    def __neg__(self):
        return Q3(-self[0], -self[1])

    def __sub__(self, o):
        return self + (-q3(o))

    def __rsub__(self, o):
        return q3(o) - self

    def __mul__(self, o):
        o = q3(o)
        return Q3(self[0] * o[0] + 3 * self[1] * o[1], self[0] * o[1] + self[1] * o[0])

    __rmul__ = __mul__

    def inverse(self):
        n = self[0] * self[0] - 3 * self[1] * self[1]
        if n == 0:
            raise ZeroDivisionError("Q3 zero")
        return Q3(self[0] / n, -self[1] / n)

    def __truediv__(self, o):
        return self * q3(o).inverse()

    def __bool__(self):
        return self[0] != 0 or self[1] != 0

    def __float__(self):
        return float(self[0]) + float(self[1]) * SQRT3

    def __repr__(self):
        if not self[1]:
            return str(self[0])
        return "(%s%+s*r3)" % (self[0], self[1])


def q3(x):
    return x if isinstance(x, Q3) else Q3(x)


ZERO, ONE = Q3(0), Q3(1)
HALF = Q3(Fraction(1, 2))
R3_2 = Q3(0, Fraction(1, 2))     # sqrt(3)/2


def mat(rows):
    return tuple(tuple(q3(x) for x in row) for row in rows)


def mul(A, B):
    n, m, p = len(A), len(B), len(B[0])
    return tuple(tuple(sum((A[i][k] * B[k][j] for k in range(m)), ZERO) for j in range(p))
                 for i in range(n))


def transpose(A):
    return tuple(zip(*A))


def identity(n):
    return tuple(tuple(ONE if i == j else ZERO for j in range(n)) for i in range(n))


def trace(A):
    return sum((A[i][i] for i in range(len(A))), ZERO)


def scale(A, s):
    return tuple(tuple(x * s for x in row) for row in A)


def sub(A, B):
    return tuple(tuple(x - y for x, y in zip(r, s)) for r, s in zip(A, B))


def nullspace(rows, ncol):
    """Basis of the solutions x of rows . x = 0 (reduced echelon: each basis vector has a 1 at
    its free column and 0 at the other free columns), ordered by free column."""
    m = [list(r) for r in rows if any(r)]
    pivots = []
    r = 0
    for c in range(ncol):
        piv = next((i for i in range(r, len(m)) if m[i][c]), None)
        if piv is None:
            continue
        m[r], m[piv] = m[piv], m[r]
        inv = m[r][c].inverse()
        m[r] = [x * inv for x in m[r]]
        for i in range(len(m)):
            if i != r and m[i][c]:
                f = m[i][c]
                m[i] = [a - f * b for a, b in zip(m[i], m[r])]
        pivots.append(c)
        r += 1
        if r == len(m):
            break
    free = [c for c in range(ncol) if c not in pivots]
    basis = []
    for f in free:
        v = [ZERO] * ncol
        v[f] = ONE
        for i, p in enumerate(pivots):
            v[p] = -m[i][f]
        basis.append(tuple(v))
    return basis
