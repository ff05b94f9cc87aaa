"""Text file symmetry.dat: the 64 point operations that cellsieve searches among.

Records 1-48 are the cubic list (Cartesian matrices equal to the integer matrices), records
49-64 the 16 operations of the hexagonal list that the cubic list lacks, in ascending
hexagonal number, as Cartesian matrices with a along x and c along z. A record starts with
its header line (name in 6 columns, cubic number and hexagonal number in 3 columns each, 0 for
none) and continues with one line of the nine matrix entries by columns.
"""
from . import pointops as po

def op_name(k):
    """Short name: the kind of the operation and its number within its list."""
    if po.is_hexagonal(k):
        return "%-2sh%02d" % (po.kind(k), k - 48)
    return "%-2sc%02d" % (po.kind(k), k)


def _number(x):
    text = "%.17g" % x
    return "0" if float(text) == 0.0 else text


def records():
    """The 64 records as (name, cubic number, hexagonal number, Cartesian matrix)."""
    cubic_of_hex = {}
    for h in range(49, 73):
        for c in range(1, 49):
            if po.cartesian_exact(h) == po.cartesian_exact(c):
                cubic_of_hex[h] = c
    hex_of_cubic = {c: h for h, c in cubic_of_hex.items()}
    recs = [(op_name(c), c, hex_of_cubic.get(c, 0), po.cartesian(c)) for c in range(1, 49)]
    recs += [(op_name(h), 0, h, po.cartesian(h)) for h in range(49, 73) if h not in cubic_of_hex]
    return recs


def text():
    lines = []
    for name, c, h, m in records():
        lines.append("%-6s%3d%3d" % (name, c, h))
        lines.append(" ".join(_number(m[i][j]) for j in range(3) for i in range(3)))
    return "\n".join(lines) + "\n"
