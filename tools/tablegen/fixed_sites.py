"""Site data of the stored irreps at any k: the `IRREP_WYC_*` lists.

For a Wyckoff position w of group g with representative point x ("pml", the affine map of
`WYC_MATRIX_TABLE` at generic parameter values), the site operators are the operators
(R | t + n) of the group, t the listed translation of R and n a lattice vector, with
R x + t + n = x: for each listed operator at most one n does it, so the site operators form a
finite group mapped one to one onto the site point group by their point operations. Away from
the zone centre the lattice vector n matters: the irrep's character of (R | t + n) carries the
phase of n.

`site_lists(sh, g, char)` restricts an irrep (given by its real character `char`, a function
of a `fixed_kpoints.Operator` with any lattice translation added) to the site operators of
every position and decomposes the restriction into the real site irreps of the site point
group: the site irreps of `pgirreps` in the reference orientation, reached through the
orientation list of `PG_ELEMENT_LIST` that holds the site operators' point operations (place j
of that list is place j of the reference list). The multiplicity of site irrep s is
<chi, chi_s> / <chi_s, chi_s> in real characters (chi_s of a complex site irrep is the
character of its two-dimensional real form, 2 Re, so <chi_s, chi_s> is 2); only the s that
occur are listed, s increasing. A multiplicity that is not a non-negative integer stops the
maker with a message.

The representative point is taken at two sets of generic parameter values; both must give the
same site operators (they always do for a position whose parameters are generic: the site
operators fix the position's whole subspace).
"""
from fractions import Fraction
from functools import lru_cache

from . import fixed_kpoints as fk
from . import pgirreps as pi
from . import pointops as po

TOL = 1e-6

# Two sets of parameter values (x, y, z) away from every special value.
GENERIC = ((Fraction(1009, 9973), Fraction(2713, 9973), Fraction(6007, 9973)),
           (Fraction(3457, 10007), Fraction(8191, 10007), Fraction(521, 10007)))


def fail(msg):
    raise SystemExit("make_tables (sites): " + msg)


def _label(sh, w):
    try:
        x = sh.w["WYC_LABEL"][w - 1]
    except (KeyError, IndexError, TypeError):
        return "#%d" % w
    return (x.decode("ascii") if isinstance(x, bytes) else str(x)).strip()


def representative(sh, w, params):
    """Point of position w ("pml", Fractions) at parameter values params = (x, y, z)."""
    W = sh.w["WYC_MATRIX_TABLE"][:, :, w - 1]
    x = [Fraction(int(W[i, 0]), int(W[3, 0])) for i in range(3)]
    for c in (1, 2, 3):
        if int(W[3, c]):
            x = [x[i] + params[c - 1] * int(W[i, c]) for i in range(3)]
    return tuple(x)


def _site_operators_at(sh, g, x):
    out = []
    for op in fk.group_operators(sh, g):
        y = [sum(op.rot[i][j] * x[j] for j in range(3)) + op.t[i] for i in range(3)]
        n = [x[i] - y[i] for i in range(3)]
        if all(v.denominator == 1 for v in n):
            out.append(fk.Operator(op.k, op.rot, tuple(op.t[i] + n[i] for i in range(3))))
    return out


@lru_cache(maxsize=None)
def site_operators(sh, g, w):
    """The site operators of position w of group g (listed operators with the lattice vector
    that makes them fix the representative point), in the group's operator order."""
    found = []
    for params in GENERIC:
        ops = _site_operators_at(sh, g, representative(sh, w, params))
        found.append([(op.k, op.t) for op in ops])
    if found[0] != found[1]:
        fail("group %d position %s: the site operators depend on the parameter values"
             % (g, _label(sh, w)))
    return tuple(_site_operators_at(sh, g, representative(sh, w, GENERIC[0])))


@lru_cache(maxsize=None)
def site_reference(sh, g, w):
    """(site point group, {point operation of a site operator: reference operation})."""
    spg = int(sh.w["WYC_SITE_POINT_GROUP"][w - 1])
    ks = [op.k for op in site_operators(sh, g, w)]
    order = int(sh.s["PG_ORDER"][spg - 1])
    if len(ks) != order or len(set(ks)) != order:
        fail("group %d position %s: %d site operators for a site group of order %d"
             % (g, _label(sh, w), len(ks), order))
    lst = next((l for _, l in sh.lists(spg) if set(ks) == set(l)), None)
    if lst is None:
        fail("group %d position %s: site operations fit no orientation list"
             % (g, _label(sh, w)))
    ref = po.point_group_ops(spg)
    return spg, dict(zip(lst, ref))


def site_lists(sh, g, char):
    """[(site irrep s, multiplicity)] per Wyckoff position of g (in `sh.wyc_range(g)` order)
    for the irrep of real character `char`."""
    cache = {}

    def chi(op):
        key = (op.k, op.t)
        if key not in cache:
            cache[key] = float(char(op))
        return cache[key]

    out = []
    for w in sh.wyc_range(g):
        ops = site_operators(sh, g, w)
        spg, to_ref = site_reference(sh, g, w)
        values = [chi(op) for op in ops]
        entry = []
        for s, sir in enumerate(pi.point_group_irreps(spg), start=1):
            tot = sum(v * float(sir.char[to_ref[op.k]]) for v, op in zip(values, ops))
            m = tot / (len(ops) * (2 if sir.reality == 3 else 1))
            n = round(m)
            if abs(m - n) > TOL or n < 0:
                fail("group %d position %s: multiplicity %.6f of site irrep %d is not a "
                     "non-negative integer" % (g, _label(sh, w), m, s))
            if n:
                entry.append((s, int(n)))
        out.append(entry)
    return out
