"""Exact rational matrix helpers.

A matrix is a tuple of row tuples of fractions.Fraction (row-major, 0-based in Python);
a vector is a tuple of Fractions. Everything is exact; nothing here uses floating point.
"""
from fractions import Fraction
from math import gcd


def mat(rows):
    """Build a matrix from nested sequences of ints, Fractions or 'p/q' strings."""
    return tuple(tuple(Fraction(x) for x in row) for row in rows)


def identity(n=3):
    return tuple(tuple(Fraction(int(i == j)) for j in range(n)) for i in range(n))


def mul(a, b):
    n, m, p = len(a), len(b), len(b[0])
    return tuple(tuple(sum((a[i][k] * b[k][j] for k in range(m)), Fraction(0))
                       for j in range(p)) for i in range(n))


def mul_vec(a, v):
    return tuple(sum((a[i][k] * v[k] for k in range(len(v))), Fraction(0)) for i in range(len(a)))


def transpose(a):
    return tuple(tuple(a[i][j] for i in range(len(a))) for j in range(len(a[0])))


def scale(a, s):
    s = Fraction(s)
    return tuple(tuple(x * s for x in row) for row in a)


def det(a):
    n = len(a)
    if n == 1:
        return a[0][0]
    total = Fraction(0)
    for j in range(n):
        minor = tuple(tuple(a[i][k] for k in range(n) if k != j) for i in range(1, n))
        total += (-1) ** j * a[0][j] * det(minor)
    return total


def inv(a):
    """Inverse by Gauss-Jordan elimination; raises ZeroDivisionError for a singular matrix."""
    n = len(a)
    w = [list(row) + [Fraction(int(i == j)) for j in range(n)] for i, row in enumerate(a)]
    for c in range(n):
        piv = next((r for r in range(c, n) if w[r][c] != 0), None)
        if piv is None:
            raise ZeroDivisionError("singular matrix")
        w[c], w[piv] = w[piv], w[c]
        p = w[c][c]
        w[c] = [x / p for x in w[c]]
        for r in range(n):
            if r != c and w[r][c] != 0:
                f = w[r][c]
                w[r] = [x - f * y for x, y in zip(w[r], w[c])]
    return tuple(tuple(row[n:]) for row in w)


def is_integral(a):
    return all(x.denominator == 1 for row in a for x in row)


def to_int(a):
    if not is_integral(a):
        raise ValueError("matrix is not integral: %r" % (a,))
    return tuple(tuple(int(x) for x in row) for row in a)


def common_denominator(values):
    d = 1
    for x in values:
        x = Fraction(x)
        d = d * x.denominator // gcd(d, x.denominator)
    return d


def affine(r, t=(0, 0, 0)):
    """4x4 affine matrix of x -> r x + t."""
    t = tuple(Fraction(x) for x in t)
    rows = [tuple(Fraction(x) for x in r[i]) + (t[i],) for i in range(3)]
    rows.append((Fraction(0), Fraction(0), Fraction(0), Fraction(1)))
    return tuple(rows)


def linear_part(m):
    return tuple(tuple(m[i][j] for j in range(3)) for i in range(3))


def translation_part(m):
    return tuple(m[i][3] for i in range(3))


def op_matrix(m):
    """Integer OP_MATRIX of an affine 4x4 matrix: the matrix times the smallest positive
    denominator that makes all entries integral (the corner entry is that denominator)."""
    d = common_denominator(x for row in m for x in row)
    return to_int(scale(m, d))
