"""Contents of data_space.bin, computed from pointops and settings (cctbx)."""
import itertools

import numpy as np

from . import binfile, pointops as po, ratmat as rm, settings as st

# Setting slots: (code the slot's T2 leads to, code of the slot). Slots 1-4 are axis steps
# towards "cml", slots 5-8 primitive steps towards the conventional setting with the same
# characters 2-6. Unused slots are named after the reference ("cml", "pml"), which no lookup
# ever reaches, and hold identity pairs.
SLOT_NAMES = (("cml", "cinter"), ("cml", "cori1"), ("cml", "cml"), ("cml", "cml"),
              ("cml", "pml"), ("cml", "pml"), ("cml", "pml"), ("cml", "pml"))
PRIM_SETTING_NAMES = ("pml", "pml", "pml", "pml")
GENERATOR_SETTING_NAMES = ("cml", "cinter", "cori1", "cml", "cml")

HEX_METRIC = rm.mat(((2, -1, 0), (-1, 2, 0), (0, 0, 1)))

# Setting-entry classes (SETTING_INTER_CLASS). An entry with class 1 or 3 and flag 1 replaces
# the "cinter" setting of its group in cellsieve.
CLASS_DEFAULT, CLASS_HEXAGONAL_AXES, CLASS_ORIGIN_1, CLASS_PERMUTED_AXES = 0, 1, 2, 3
PREFERRED_CLASSES = (CLASS_HEXAGONAL_AXES,)


def matrix_code(r):
    """MATRIX_CODE of an integer 3x3 matrix (row-major) with entries -1, 0, 1; None otherwise."""
    code = 0
    for j in range(3):
        for i in range(3):
            e = r[i][j]
            if e not in (-1, 0, 1):
                return None
            code += (int(e) + 1) * 3 ** (i + 3 * j)
    return code


def code_or_zero(m):
    if not rm.is_integral(m):
        return 0
    return matrix_code(rm.to_int(m)) or 0


def conv_code(k):
    return matrix_code(po.rot(k))


def rhomb_code(k):
    if not po.is_hexagonal(k):
        return 0
    P = st.primitive_basis(st.BRAVAIS_NAMES.index("hR") + 1)
    return code_or_zero(rm.mul(rm.mul(rm.inv(P), rm.mat(po.rot(k))), P))


def prim_code(k, L):
    if po.is_hexagonal(k) != (st.BRAVAIS_NAMES[L - 1][0] == "h"):
        return 0
    P = st.primitive_basis(L)
    return code_or_zero(rm.mul(rm.mul(rm.inv(P), rm.mat(po.rot(k))), P))


def lattice_transform(L):
    """(M1, M2, M3, M4, den1, den2) of Bravais type L as integer matrices."""
    P = st.primitive_basis(L)
    m1 = rm.inv(P)
    d1 = rm.common_denominator(x for row in P for x in row)
    m2 = rm.scale(P, d1)
    G = HEX_METRIC if st.BRAVAIS_NAMES[L - 1][0] == "h" else rm.identity()
    x3 = rm.mul(rm.transpose(P), G)
    x4 = rm.mul(rm.inv(G), rm.transpose(m1))
    a = rm.common_denominator(x for row in x3 for x in row)
    b = rm.common_denominator(x for row in x4 for x in row)
    return (rm.to_int(m1), rm.to_int(m2), rm.to_int(rm.scale(x3, a)), rm.to_int(rm.scale(x4, b)),
            d1, a * b)


def space_op_record(k, t):
    """SPACE_OP (t1, t2, t3, d, k) of a translation (Fractions in [0, 1)) in lowest terms."""
    d = rm.common_denominator(t)
    return tuple(int(x * d) for x in t) + (d, k)


def generator_point_ops(g, point_group):
    """Point operations of the generators of group g: the first combination, in ascending
    order of point-operation numbers, of the group's operations of the kinds of the point
    group's reference generators that generates the whole group."""
    ops = [k for k, _ in st.pml_operators(g)]
    ref = po.PG_REFERENCE_GENERATORS[point_group - 1]
    choices = [[k for k in ops if po.kind(k) == po.kind(r)] for r in ref]
    for combo in itertools.product(*choices):
        if len(set(combo)) == len(combo) and po.closure(combo) == tuple(ops):
            return combo
    raise AssertionError("no generators for group %d" % g)


def setting_change(g, setting):
    """Affine matrix from "cinter" coordinates to those of a conventional setting."""
    if setting == "cinter":
        return rm.affine(rm.identity())
    if setting == "cml":
        return st.cinter_to_cml(g)
    if setting == "cori1":
        return rm.mul(rm.inv(st.cori1_to_cml(g)), st.cinter_to_cml(g))
    raise ValueError(setting)


def point_op_in_setting(g, setting, r):
    """Point-operation number of the rotation r (exact, in the axes of a conventional
    setting), looked up as the library does: the rhombohedral code table for "cinter" of the
    R groups, the conventional one otherwise."""
    code = matrix_code(rm.to_int(r))
    table = rhomb_code if (setting == "cinter" and g in st.R_GROUPS) else conv_code
    for k in po.list_range(st.uses_hexagonal_list(g)):
        if table(k) == code:
            return k
    raise AssertionError("group %d: rotation not representable in %s" % (g, setting))


def generator_records(g, point_group, setting):
    """The generator list of group g in a conventional setting: per generator the
    representative operator of cctbx's standard setting with that rotation (the one without
    a centring translation), carried into the
    setting, translation reduced into [0, 1)."""
    wanted = generator_point_ops(g, point_group)
    to_cml = st.cinter_to_cml(g)
    to_s = setting_change(g, setting)
    by_number = {}
    group = st.cinter_info(g).group()
    for op in (group(i) for i in range(group.order_p())):
        m = st.affine_of_rt(op)
        k = st.point_op_of_matrix(rm.linear_part(st.conjugate(m, to_cml)), g)
        by_number.setdefault(k, m)
    recs = []
    for k in wanted:
        ms = st.reduce_translation(st.conjugate(by_number[k], to_s))
        recs.append(space_op_record(point_op_in_setting(g, setting, rm.linear_part(ms)),
                                    rm.translation_part(ms)))
    return tuple(recs)


def compact_symbol(symbol):
    return symbol.replace(" ", "")


def short_symbol(g):
    from cctbx import sgtbx
    tokens = sgtbx.space_group_symbols(g).hermann_mauguin().split()
    if 3 <= g <= 15 and len(tokens) == 4:
        tokens = [tokens[0]] + [t for t in tokens[1:] if t != "1"]
    return "".join(tokens)


def setting_entries():
    """Setting entries in table order: per group its default entry ("cinter") followed by its
    further entries. Each is a dict with sg, symbol, letter, to_cml (affine), cls, flag and
    generators (the conventional setting whose generator list the entry uses)."""
    from cctbx import sgtbx
    entries = []
    for g in range(1, 231):
        sym = compact_symbol(st.cinter_info(g).type().lookup_symbol())
        entries.append(dict(sg=g, symbol=sym, letter=sym[0], to_cml=st.cinter_to_cml(g),
                            cls=CLASS_DEFAULT, generators="cinter"))
        if st.has_two_origins(g):
            sym = compact_symbol(sgtbx.space_group_info("%d:1" % g).type().lookup_symbol())
            entries.append(dict(sg=g, symbol=sym, letter=sym[0], to_cml=st.cori1_to_cml(g),
                                cls=CLASS_ORIGIN_1, generators="cori1"))
        if g in st.R_GROUPS:
            sym = compact_symbol(sgtbx.space_group_info(st.cml_symbol(g)).type().lookup_symbol())
            entries.append(dict(sg=g, symbol=sym, letter="H", to_cml=rm.affine(rm.identity()),
                                cls=CLASS_HEXAGONAL_AXES, generators="cml"))
        if g in st.A_CENTRED_GROUPS:
            sym = compact_symbol(st.cml_info(g).type().lookup_symbol())
            entries.append(dict(sg=g, symbol=sym, letter=sym[0], to_cml=rm.affine(rm.identity()),
                                cls=CLASS_PERMUTED_AXES, generators="cml"))
    for e in entries:
        e["flag"] = 1 if e["cls"] in PREFERRED_CLASSES else 0
    return entries


def _set_pair(array, index, to_reference):
    """Store the pair (T1, T2) of OP_MATRIX at array[:, :, 0/1, *index]: T2 carries
    coordinates of the slot's setting towards the reference, T1 is its inverse."""
    t2 = rm.op_matrix(to_reference)
    t1 = rm.op_matrix(rm.inv(to_reference))
    for i in range(4):
        for j in range(4):
            array[(i, j, 0) + index] = t1[i][j]
            array[(i, j, 1) + index] = t2[i][j]


def text(s):
    return s.encode("ascii")


def build():
    """All arrays of data_space.bin (see binfile.SPACE_LAYOUT)."""
    A = binfile.empty_arrays(binfile.SPACE_LAYOUT)

    # Point operations.
    for k in range(1, 73):
        r = po.rot(k)
        for i in range(3):
            for j in range(3):
                A["POINT_OP_ROT"][i, j, k - 1] = r[i][j]
        A["POINT_OP_KEY"][k - 1] = po.key(k)
        A["POINT_OP_PROPER"][k - 1] = 1 if po.is_proper(k) else 0
        A["POINT_OP_INVERSE"][k - 1] = po.inverse(k)
        A["CONV_MATRIX_CODE"][k - 1] = conv_code(k)
        A["RHOMB_MATRIX_CODE"][k - 1] = rhomb_code(k)
        for L in range(1, 15):
            for b in range(4):
                A["PRIM_MATRIX_CODE"][k - 1, L - 1, b] = prim_code(k, L)
    A["POINT_OP_PRODUCT"][:, :] = np.array(po.product_table())

    # Point groups.
    for p in range(1, 33):
        A["POINT_GROUP_KEY"][p - 1] = po.POINT_GROUP_KEY[p - 1]
        A["PG_ORDER"][p - 1] = po.PG_ORDER[p - 1]
        gens = po.PG_REFERENCE_GENERATORS[p - 1]
        A["PG_GENERATOR_COUNT"][p - 1] = len(gens)
        for i, k in enumerate(gens):
            A["PG_GENERATORS"][i, p - 1] = k

    # Bravais types.
    for L in range(1, 15):
        name = st.BRAVAIS_NAMES[L - 1]
        holo = {"a": "-1", "m": "2/m", "o": "mmm", "t": "4/mmm", "c": "m-3m"}.get(name[0])
        if name[0] == "h":
            holo = "-3m" if name == "hR" else "6/mmm"
        A["BRAVAIS_POINT_GROUP"][L - 1] = po.POINT_GROUP_NAMES.index(holo) + 1
        mats = lattice_transform(L)
        for n in range(4):
            for i in range(3):
                for j in range(3):
                    A["LATTICE_TRANSFORM"][i, j, n, L - 1] = mats[n][i][j]
        A["LATTICE_TRANSFORM_DEN"][0, L - 1] = mats[4]
        A["LATTICE_TRANSFORM_DEN"][1, L - 1] = mats[5]

    # Setting names.
    for s, (ref, name) in enumerate(SLOT_NAMES):
        A["SETTING_NAME"][0, s] = text(ref)
        A["SETTING_NAME"][1, s] = text(name)
    for b, name in enumerate(PRIM_SETTING_NAMES):
        A["PRIM_SETTING_NAME"][b] = text(name)
    for b, name in enumerate(GENERATOR_SETTING_NAMES):
        A["GENERATOR_SETTING_NAME"][b] = text(name)

    # Space groups: operators in "pml", then the generator lists.
    records = []
    point_groups = {}
    for g in range(1, 231):
        ops = st.pml_operators(g)
        p = po.identify_point_group([k for k, _ in ops])
        point_groups[g] = p
        A["SG_POINT_GROUP"][g - 1] = p
        A["SG_BRAVAIS"][g - 1] = st.sg_bravais(g)
        A["SG_SYMBOL"][g - 1] = text(short_symbol(g))
        A["SG_FIRST_OP"][g - 1] = len(records) + 1
        records.extend(space_op_record(k, t) for k, t in ops)
    first_of_list = {}

    def place(recs):
        if recs not in first_of_list:
            first_of_list[recs] = len(records) + 1
            records.extend(recs)
        return first_of_list[recs]

    gen_first = {}
    for g in range(1, 231):
        for b, name in enumerate(GENERATOR_SETTING_NAMES):
            first = place(generator_records(g, point_groups[g], name))
            A["SG_FIRST_GENERATOR"][g - 1, b] = first
            gen_first[(g, name)] = first

    # Setting slots.
    for g in range(1, 231):
        slot_maps = {0: st.cinter_to_cml(g), 1: st.cori1_to_cml(g),
                     4: rm.affine(st.primitive_basis(st.sg_bravais(g)))}
        for s in range(8):
            _set_pair(A["SETTING_TRANSFORM"], (g - 1, s),
                      slot_maps.get(s, rm.affine(rm.identity())))

    # Setting entries.
    entries = setting_entries()
    A["SETTING_COUNT"][()] = len(entries)
    for e_index, e in enumerate(entries):
        g = e["sg"]
        if e["cls"] == CLASS_DEFAULT:
            A["SG_DEFAULT_SETTING"][g - 1] = e_index + 1
        A["SETTING_SG"][e_index] = g
        A["SETTING_SYMBOL"][e_index] = text(e["symbol"])
        A["SETTING_LATTICE_LETTER"][e_index] = text(e["letter"])
        A["SETTING_INTER_CLASS"][e_index] = e["cls"]
        A["SETTING_INTER_FLAG"][e_index] = e["flag"]
        A["SETTING_FIRST_GENERATOR"][e_index] = gen_first[(g, e["generators"])]
        _set_pair(A["SETTING_ENTRY_TRANSFORM"], (e_index,), e["to_cml"])
    for e_index in range(len(entries), 341):
        A["SETTING_SYMBOL"][e_index] = b" "
        A["SETTING_LATTICE_LETTER"][e_index] = b" "

    if len(records) > 6000:
        raise AssertionError("operator table overflow: %d records" % len(records))
    for n, rec in enumerate(records):
        A["SG_OP_TABLE"][:, n] = rec
    return A
