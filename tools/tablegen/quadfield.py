"""Exact numbers of the field Q(sqrt2, sqrt3): a + b sqrt2 + c sqrt3 + d sqrt6 (Fractions), and
complex numbers over it (re + i im).

The field holds the real and imaginary parts of every root of unity of order dividing 24
(cos 15 degrees = (sqrt6 + sqrt2) / 4), the normalisations 1/sqrt2, 1/sqrt3, 1/sqrt6 and every
matrix entry of the irreps that the maker stores at the special points. Values compare and
hash exactly; float() gives the nearest double.

`snap(x)` finds the simplest field value within 1e-9 of a float (coefficients with
denominators dividing 24, or failing that 72 or 48); callers verify what they build from
snapped values exactly, so a wrong guess is caught, never stored.
"""
from fractions import Fraction
import math

import numpy as np

_R2, _R3, _R6 = math.sqrt(2.0), math.sqrt(3.0), math.sqrt(6.0)
_F0 = Fraction(0)


class QQ(tuple):
    """a + b sqrt2 + c sqrt3 + d sqrt6 as an immutable 4-tuple of Fractions."""

    __slots__ = ()

    def __new__(cls, a=0, b=0, c=0, d=0):
        return tuple.__new__(cls, (Fraction(a), Fraction(b), Fraction(c), Fraction(d)))

    @classmethod
    def _raw(cls, t):
        return tuple.__new__(cls, t)

    def __add__(self, o):
        if isinstance(o, QC):
            return NotImplemented
        o = qq(o)
        return QQ._raw((self[0] + o[0], self[1] + o[1], self[2] + o[2], self[3] + o[3]))

    __radd__ = __add__

    def __neg__(self):
        return QQ._raw((-self[0], -self[1], -self[2], -self[3]))

    def __sub__(self, o):
        if isinstance(o, QC):
            return NotImplemented
        o = qq(o)
        return QQ._raw((self[0] - o[0], self[1] - o[1], self[2] - o[2], self[3] - o[3]))

    def __rsub__(self, o):
        return qq(o) - self

    def __mul__(self, o):
        if isinstance(o, QC):
            return NotImplemented
        o = qq(o)
        a, b, c, d = self
        e, f, g, h = o
        if not (b or c or d) and not (f or g or h):
            return QQ._raw((a * e, _F0, _F0, _F0))
        return QQ._raw((a * e + 2 * b * f + 3 * c * g + 6 * d * h,
                        a * f + b * e + 3 * (c * h + d * g),
                        a * g + c * e + 2 * (b * h + d * f),
                        a * h + d * e + b * g + c * f))

    __rmul__ = __mul__

    def conj2(self):
        """Image under sqrt2 -> -sqrt2."""
        return QQ._raw((self[0], -self[1], self[2], -self[3]))

    def conj3(self):
        """Image under sqrt3 -> -sqrt3."""
        return QQ._raw((self[0], self[1], -self[2], -self[3]))

    def inverse(self):
        if not self:
            raise ZeroDivisionError("QQ zero")
        # x conj2(x) lies in Q(sqrt3); times its sqrt3-conjugate it is rational.
        p = self * self.conj2()
        q = p * p.conj3()
        return self.conj2() * p.conj3() * QQ(1 / q[0])

    def __truediv__(self, o):
        if isinstance(o, QC):
            return QC(self, ZERO) / o
        o = qq(o)
        if not (o[1] or o[2] or o[3]):
            return QQ._raw((self[0] / o[0], self[1] / o[0], self[2] / o[0], self[3] / o[0]))
        return self * o.inverse()

    def __rtruediv__(self, o):
        return qq(o) * self.inverse()

    def __bool__(self):
        return bool(self[0] or self[1] or self[2] or self[3])

    def __eq__(self, o):
        if isinstance(o, QC):
            return o == self
        if not isinstance(o, QQ):
            try:
                o = qq(o)
            except TypeError:
                return False
        return tuple.__eq__(self, o)

    def __ne__(self, o):
        return not self == o

    def __hash__(self):
        if not (self[1] or self[2] or self[3]):
            return hash(self[0])
        return tuple.__hash__(self)

    def __float__(self):
        return (float(self[0]) + float(self[1]) * _R2 + float(self[2]) * _R3
                + float(self[3]) * _R6)

    def sign(self):
        """Exact sign (-1, 0, 1)."""
        if not self:
            return 0
        x = float(self)
        if abs(x) > 1e-6:
            return 1 if x > 0 else -1
        # Tiny but nonzero: decide with the norm-preserving product against conjugates.
        return _exact_sign(self)

    def __lt__(self, o):
        return (self - o).sign() < 0

    def __gt__(self, o):
        return (self - o).sign() > 0

    def __abs__(self):
        return -self if self.sign() < 0 else self

    def __repr__(self):
        parts = []
        for coef, name in zip(self, ("", "*r2", "*r3", "*r6")):
            if coef:
                parts.append("%s%s" % (coef, name))
        if not parts:
            return "0"
        return parts[0] if len(parts) == 1 else "(" + "+".join(parts) + ")"


def _exact_sign(x):
    # x = p + q sqrt2 with p, q in Q(sqrt3); sign from exact comparisons of squares.
    def sign3(y):  # y = a + c sqrt3
        a, c = y
        sa, sc = (a > 0) - (a < 0), (c > 0) - (c < 0)
        if sa >= 0 and sc >= 0:
            return 1 if (sa or sc) else 0
        if sa <= 0 and sc <= 0:
            return -1
        d = a * a - 3 * c * c
        return sa if d > 0 else (sc if d < 0 else 0)
    p, q = (x[0], x[2]), (x[1], x[3])
    sp, sq = sign3(p), sign3(q)
    if sp >= 0 and sq >= 0:
        return 1 if (sp or sq) else 0
    if sp <= 0 and sq <= 0:
        return -1
    # compare p^2 with 2 q^2 in Q(sqrt3)
    pp = (p[0] * p[0] + 3 * p[1] * p[1], 2 * p[0] * p[1])
    qq2 = (2 * (q[0] * q[0] + 3 * q[1] * q[1]), 4 * q[0] * q[1])
    s = sign3((pp[0] - qq2[0], pp[1] - qq2[1]))
    return sp if s > 0 else (sq if s < 0 else 0)


def qq(x):
    if isinstance(x, QQ):
        return x
    if isinstance(x, (int, Fraction)):
        return QQ._raw((Fraction(x), _F0, _F0, _F0))
    if isinstance(x, QC):
        if x[1]:
            raise TypeError("complex value where a real one is needed")
        return x[0]
    raise TypeError("not an exact value: %r" % (x,))


ZERO, ONE = QQ(0), QQ(1)
SQRT2, SQRT3, SQRT6 = QQ(0, 1), QQ(0, 0, 1), QQ(0, 0, 0, 1)
INV_SQRT2 = QQ(0, Fraction(1, 2))


class QC(tuple):
    """Complex number re + i im with re, im in QQ: an immutable (re, im) pair."""

    __slots__ = ()

    def __new__(cls, re=ZERO, im=ZERO):
        return tuple.__new__(cls, (qq(re), qq(im)))

    re = property(lambda s: s[0])
    im = property(lambda s: s[1])

    def __add__(self, o):
        o = qc(o)
        return QC(self[0] + o[0], self[1] + o[1])

    __radd__ = __add__

    def __neg__(self):
        return QC(-self[0], -self[1])

    def __sub__(self, o):
        o = qc(o)
        return QC(self[0] - o[0], self[1] - o[1])

    def __rsub__(self, o):
        return qc(o) - self

    def __mul__(self, o):
        o = qc(o)
        a, b = self
        c, d = o
        if not b and not d:
            return QC(a * c, ZERO)
        return QC(a * c - b * d, a * d + b * c)

    __rmul__ = __mul__

    def conjugate(self):
        return QC(self[0], -self[1])

    def norm2(self):
        return self[0] * self[0] + self[1] * self[1]

    def inverse(self):
        n = self.norm2()
        return QC(self[0] / n, -self[1] / n)

    def __truediv__(self, o):
        o = qc(o)
        if not o[1]:
            return QC(self[0] / o[0], self[1] / o[0])
        return self * o.inverse()

    def __rtruediv__(self, o):
        return qc(o) * self.inverse()

    def __bool__(self):
        return bool(self[0]) or bool(self[1])

    def __eq__(self, o):
        try:
            o = qc(o)
        except TypeError:
            return False
        return tuple.__eq__(self, o)

    def __ne__(self, o):
        return not self == o

    def __hash__(self):
        if not self[1]:
            return hash(self[0])
        return tuple.__hash__(self)

    def __complex__(self):
        return complex(float(self[0]), float(self[1]))

    def __float__(self):
        if self[1]:
            raise TypeError("float() of a non-real complex value")
        return float(self[0])

    def __repr__(self):
        if not self[1]:
            return repr(self[0])
        return "(%r + i %r)" % (self[0], self[1])


def qc(x):
    if isinstance(x, QC):
        return x
    return QC(qq(x), ZERO)


CZERO, CONE, CI = QC(ZERO, ZERO), QC(ONE, ZERO), QC(ZERO, ONE)

# cos and sin of multiples of 15 degrees
_COS15 = (QQ(1), QQ(0, Fraction(1, 4), 0, Fraction(1, 4)), QQ(0, 0, Fraction(1, 2)),
          QQ(0, Fraction(1, 2)), QQ(Fraction(1, 2)), QQ(0, -Fraction(1, 4), 0, Fraction(1, 4)),
          QQ(0))


def _cos15(j):
    j %= 24
    if j <= 6:
        return _COS15[j]
    if j <= 12:
        return -_COS15[12 - j]
    return _cos15(24 - j)


def root_of_unity(x):
    """exp(2 pi i x) for a Fraction x whose denominator divides 24."""
    x = Fraction(x)
    y = x * 24
    if y.denominator != 1:
        raise ValueError("root of unity of order %d is outside the field" % x.denominator)
    j = int(y) % 24
    return QC(_cos15(j), _cos15(j - 6))


# -- snapping floats onto field values ------------------------------------------------------

_GRIDS = {}


def _grid(n, span):
    key = (n, span)
    if key not in _GRIDS:
        r = np.arange(-span * n, span * n + 1)
        b, c, d = np.meshgrid(r, r, r, indexing="ij")
        b, c, d = b.ravel(), c.ravel(), d.ravel()
        s = (b * _R2 + c * _R3 + d * _R6) / n
        # simplicity: number of nonzero irrational coefficients, then their size
        cost = (b != 0).astype(int) + (c != 0) + (d != 0)
        size = np.abs(b) + np.abs(c) + np.abs(d)
        order = np.lexsort((size, cost))
        _GRIDS[key] = (s[order], b[order], c[order], d[order])
    return _GRIDS[key]


_SNAP = {}


def snap(x, tol=1e-9):
    """The simplest field value within tol of the float x (None when there is none)."""
    x = float(x)
    key = round(x, 11)
    if key in _SNAP:
        return _SNAP[key]
    out = None
    for n, span in ((24, 2), (72, 1), (48, 1)):
        s, b, c, d = _grid(n, span)
        a = (x - s) * n
        hit = np.nonzero(np.abs(a - np.round(a)) < tol * n)[0]
        if len(hit):
            i = hit[0]
            ai = int(round(a[i]))
            out = QQ(Fraction(ai, n), Fraction(int(b[i]), n), Fraction(int(c[i]), n),
                     Fraction(int(d[i]), n))
            break
    _SNAP[key] = out
    return out


def snap_complex(z, tol=1e-9):
    re, im = snap(z.real, tol), snap(z.imag, tol)
    if re is None or im is None:
        return None
    return QC(re, im)


# -- matrices (tuples of row tuples) --------------------------------------------------------

def mat_mul(A, B):
    """Product of exact matrices (skips zero entries: the matrices here are mostly sparse)."""
    m = len(B[0]) if B else 0
    zero = CZERO if any(isinstance(x, QC) for row in A for x in row) or \
        any(isinstance(x, QC) for row in B for x in row) else ZERO
    Bnz = [[(j, x) for j, x in enumerate(row) if x] for row in B]
    out = []
    for row in A:
        acc = [zero] * m
        for k, a in enumerate(row):
            if a:
                for j, b in Bnz[k]:
                    acc[j] = acc[j] + a * b
        out.append(tuple(acc))
    return tuple(out)


def mat_float(A):
    return np.array([[complex(x) for x in row] for row in A])


def identity(n, zero=ZERO, one=ONE):
    return tuple(tuple(one if i == j else zero for j in range(n)) for i in range(n))


def transpose(A):
    return tuple(zip(*A))


def conj_transpose(A):
    return tuple(tuple(qc(x).conjugate() for x in col) for col in zip(*A))


def trace(A):
    t = A[0][0]
    for i in range(1, len(A)):
        t = t + A[i][i]
    return t
