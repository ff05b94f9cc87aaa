"""Layout of the two binary table files and their serialisation.

Each file is one record: a 4-byte little-endian signed length n, the n-byte payload and n
again. The payload is the block's arrays back to back in the order below, multi-dimensional
arrays by columns (first index fastest), integers signed little-endian of 1, 2 or 4 bytes,
logicals as 4-byte 0/1, texts as blank-padded characters.
"""
import struct

import numpy as np

# (name, kind, dimensions); kind: i1/i2/i4 integer, l4 logical, aN text of N characters.
SPACE_LAYOUT = (
    ("POINT_OP_ROT", "i4", (3, 3, 72)),
    ("LATTICE_TRANSFORM", "i4", (3, 3, 4, 14)),
    ("SPACE_ITEM_03", "i4", (3, 3, 4, 15)),
    ("SPACE_ITEM_04", "i4", (3, 3, 4, 14)),
    ("POINT_OP_KEY", "i4", (72,)),
    ("POINT_GROUP_KEY", "i4", (32,)),
    ("SPACE_ITEM_07", "i4", (3, 3, 2, 230)),
    ("SPACE_ITEM_08", "i4", (3, 3, 4, 14)),
    ("SETTING_TRANSFORM", "i4", (4, 4, 2, 230, 8)),
    ("SETTING_ENTRY_TRANSFORM", "i4", (4, 4, 2, 341)),
    ("CONV_MATRIX_CODE", "i4", (72,)),
    ("RHOMB_MATRIX_CODE", "i4", (72,)),
    ("PRIM_MATRIX_CODE", "i4", (72, 14, 4)),
    ("POINT_OP_PROPER", "l4", (72,)),
    ("SPACE_ITEM_15", "i2", (230,)),
    ("SETTING_SG", "i2", (341,)),
    ("SPACE_ITEM_17", "i2", (5, 341)),
    ("SPACE_ITEM_18", "i2", (3, 3, 341)),
    ("SG_DEFAULT_SETTING", "i2", (230,)),
    ("SETTING_COUNT", "i2", ()),
    ("SG_FIRST_OP", "i2", (230,)),
    ("SG_FIRST_GENERATOR", "i2", (230, 5)),
    ("SETTING_FIRST_GENERATOR", "i2", (341,)),
    ("SG_POINT_GROUP", "i1", (230,)),
    ("SG_BRAVAIS", "i1", (230,)),
    ("SG_OP_TABLE", "i1", (5, 6000)),
    ("SETTING_INTER_CLASS", "i1", (341,)),
    ("SETTING_INTER_FLAG", "i1", (341,)),
    ("SPACE_ITEM_29", "i1", (341,)),
    ("POINT_OP_PRODUCT", "i1", (72, 72)),
    ("POINT_OP_INVERSE", "i1", (72,)),
    ("PG_ORDER", "i1", (32,)),
    ("PG_GENERATORS", "i1", (5, 32)),
    ("PG_GENERATOR_COUNT", "i1", (32,)),
    ("BRAVAIS_POINT_GROUP", "i1", (14,)),
    ("SPACE_ITEM_36", "i1", (14,)),
    ("SPACE_ITEM_37", "i1", (4, 8, 14)),
    ("LATTICE_TRANSFORM_DEN", "i1", (2, 14)),
    ("SPACE_ITEM_39", "i1", (2, 15)),
    ("SPACE_ITEM_40", "i1", (2, 14)),
    ("SPACE_ITEM_41", "i1", (230,)),
    ("SPACE_ITEM_42", "i1", (2, 14)),
    ("SPACE_ITEM_43", "a6", (72,)),
    ("SPACE_ITEM_44", "a4", (32,)),
    ("SPACE_ITEM_45", "a2", (14,)),
    ("SPACE_ITEM_46", "a1", (8, 14)),
    ("SG_SYMBOL", "a8", (230,)),
    ("SPACE_ITEM_48", "a3", (14,)),
    ("SETTING_SYMBOL", "a10", (341,)),
    ("SPACE_ITEM_50", "a16", (341,)),
    ("SETTING_LATTICE_LETTER", "a1", (341,)),
    ("SPACE_ITEM_52", "a5", (32,)),
    ("SPACE_ITEM_53", "a10", (230,)),
    ("SPACE_ITEM_54", "a10", (230,)),
    ("SPACE_ITEM_55", "a3", (72,)),
    ("SPACE_ITEM_56", "a8", (72,)),
    ("SPACE_ITEM_57", "a8", (72,)),
    ("SETTING_NAME", "a6", (2, 8)),
    ("PRIM_SETTING_NAME", "a6", (4,)),
    ("GENERATOR_SETTING_NAME", "a6", (5,)),
    ("SPACE_ITEM_61", "i2", (341,)),
    ("SPACE_ITEM_62", "i1", (4, 4, 2425)),
)

WYCKOFF_LAYOUT = (
    ("IRREP_WYC_FIRST", "i4", (4777,)),
    ("IRREP_WYC_LIST_START", "i4", (44000,)),
    ("WYC_FIRST", "i2", (230,)),
    ("WYCKOFF_ITEM_04", "i2", (32,)),
    ("WYCKOFF_ITEM_05", "i2", (2163,)),
    ("IRREP_WYC_SITE_IRREP", "i2", (61000,)),
    ("PG_IRREP_INDEX", "i2", (12, 32)),
    ("WYC_COUNT", "i1", (230,)),
    ("WYC_MATRIX_TABLE", "i1", (4, 4, 1731)),
    ("WYC_SITE_POINT_GROUP", "i1", (1731,)),
    ("PG_ELEMENT_LIST", "i1", (48, 152)),
    ("PG_IRREP_COUNT", "i1", (32,)),
    ("IRREP_WYC_LIST_COUNT", "i1", (44000,)),
    ("IRREP_WYC_MULTIPLICITY", "i1", (61000,)),
    ("PG_LIST_FIRST", "i2", (32,)),
    ("PG_LIST_COUNT", "i1", (32,)),
    ("PG_VECTOR_IRREP", "i1", (3, 2, 32)),
    ("PG_VECTOR_BASIS", "i1", (3, 3, 2, 152)),
    ("WYC_LABEL", "a5", (1731,)),
    ("WYCKOFF_ITEM_20", "a4", (12, 32)),
)

SPACE_PAYLOAD_SIZE = 433862
WYCKOFF_PAYLOAD_SIZE = 477926

_NUMPY_TYPE = {"i1": "<i1", "i2": "<i2", "i4": "<i4", "l4": "<i4"}


def _count(dims):
    n = 1
    for d in dims:
        n *= d
    return n


def item_size(kind):
    return int(kind[1:])


def payload_size(layout):
    return sum(item_size(kind) * _count(dims) for _, kind, dims in layout)


def empty_arrays(layout):
    """Zero-filled arrays of a block: numpy int64 arrays of the given shape (index i of the
    tables is i - 1 here), texts as numpy byte-string arrays (an empty entry is zero bytes)."""
    arrays = {}
    for name, kind, dims in layout:
        if kind.startswith("a"):
            arrays[name] = np.zeros(dims, dtype="S%d" % item_size(kind))
        else:
            arrays[name] = np.zeros(dims, dtype=np.int64)
    return arrays


def serialise(layout, arrays):
    """Payload bytes of a block. Integer values must fit their storage type."""
    out = bytearray()
    for name, kind, dims in layout:
        a = np.asarray(arrays[name])
        if a.shape != tuple(dims):
            raise ValueError("%s: shape %s, expected %s" % (name, a.shape, dims))
        if kind.startswith("a"):
            width = item_size(kind)
            for s in a.flatten(order="F"):
                s = bytes(s)
                if len(s) > width:
                    raise ValueError("%s: text %r longer than %d" % (name, s, width))
                # An entry never set stays zero bytes; a set text is padded with blanks.
                out += s.ljust(width, b" ") if s else bytes(width)
        else:
            bits = 8 * item_size(kind)
            lo, hi = -(1 << (bits - 1)), (1 << (bits - 1)) - 1
            flat = a.flatten(order="F")
            if flat.size and (flat.min() < lo or flat.max() > hi):
                raise ValueError("%s: value outside %s" % (name, kind))
            out += flat.astype(_NUMPY_TYPE[kind]).tobytes()
    if len(out) != payload_size(layout):
        raise AssertionError("payload size")
    return bytes(out)


def record(payload):
    n = struct.pack("<i", len(payload))
    return n + payload + n
