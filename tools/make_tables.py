#!/usr/bin/python3
"""Writes the data tables data_space.bin, data_wyckoff.bin, symmetry.dat and the tables of the
mode analysis: data_images.bin, data_irreps.bin, data_little.bin, data_isotropy.bin and
const.dat. It prints the extents the mode-analysis tables use.

Usage: make_tables.py [--special-points] [OUTPUT_DIRECTORY]
       (default directory: the repository's data/ directory)

--special-points also prints the catalogue of irreps at the special points (k types without
parameters) that the next stage of the tables must store; it changes no file.

The output is deterministic: running it again reproduces the files byte for byte.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from tablegen import binfile, fixed_tables, modelayout, modes  # noqa: E402
from tablegen import space, symmetry_dat, wyckoff  # noqa: E402


def wyckoff_arrays(space_arrays):
    """Arrays of data_wyckoff.bin that tablegen.wyckoff fills, the others zero."""
    arrays = binfile.empty_arrays(binfile.WYCKOFF_LAYOUT)
    for name, values in wyckoff.build_wyckoff(space_arrays).items():
        if name not in arrays:
            raise SystemExit("make_tables: unknown Wyckoff array %s" % name)
        arrays[name] = values
    return arrays


def write_tables(directory, report=sys.stdout, sources=None):
    """Writes the eight files; `sources` of the special-point irreps (default: the exact
    forms, isotropy entries and site lists of tablegen)."""
    os.makedirs(directory, exist_ok=True)
    arrays = space.build()
    space_payload = binfile.serialise(binfile.SPACE_LAYOUT, arrays)
    wyc = wyckoff_arrays(arrays)
    mode_arrays, const_text, site_arrays, extents, stage2 = modes.build(
        arrays, wyc, special_points=sources or fixed_tables.Sources.exact())
    wyc.update(site_arrays)
    wyckoff_bytes = binfile.serialise(binfile.WYCKOFF_LAYOUT, wyc)
    if len(wyckoff_bytes) != binfile.WYCKOFF_PAYLOAD_SIZE:
        raise SystemExit("make_tables: Wyckoff payload has %d bytes" % len(wyckoff_bytes))
    outputs = [("data_space.bin", binfile.record(space_payload)),
               ("data_wyckoff.bin", binfile.record(wyckoff_bytes)),
               ("symmetry.dat", symmetry_dat.text().encode("ascii"))]
    for name in modelayout.FILES:
        payload = binfile.serialise(modelayout.LAYOUTS[name], mode_arrays[name])
        if len(payload) != modelayout.PAYLOAD_SIZES[name]:
            raise SystemExit("make_tables: %s payload has %d bytes" % (name, len(payload)))
        outputs.append((name, binfile.record(payload)))
    outputs.append(("const.dat", const_text.encode("ascii")))
    for name, data in outputs:
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)
    if report is not None:
        write_extents(report, extents, stage2)


def write_extents(report, extents, stage2):
    """The extents used, the special points not stored and what storing all would need."""
    if stage2 is None:
        report.write("mode-analysis tables: zone centre of all 230 groups; k lists and "
                     "little co-groups of all k types\n")
        for what, used, extent in extents:
            report.write("  %-40s %7d of %7d\n" % (what, used, extent))
        return
    n_pairs = len(stage2.covered) + len(stage2.uncovered)
    report.write("mode-analysis tables: irreps at the zone centre of all 230 groups and at "
                 "%d of %d special points (group, k); k lists and little co-groups of all "
                 "k types\n" % (len(stage2.covered), n_pairs))
    for what, used, extent in extents:
        report.write("  %-40s %7d of %7d\n" % (what, used, extent))
    report.write("special points not stored: %d\n" % len(stage2.uncovered))
    for g, j, label, why in stage2.uncovered:
        report.write("  group %3d k %-2s (index %2d): %s\n" % (g, label, j, why))
    if stage2.need:
        report.write("all special points stored would need:\n")
        for what, used in stage2.need.items():
            report.write("  %-40s %7d\n" % (what, used))


def special_point_report(report=sys.stdout):
    """Slots, dimensions and reality types of the irreps at the special points."""
    from tablegen import pgirreps, fixed_kpoints
    arrays = space.build()
    sh = modes.Shared(arrays, None)
    cat = fixed_kpoints.catalogue(sh)
    slots = [x for *_, s in cat for x in s]
    centre = sum(len(pgirreps.point_group_irreps(sh.pg(g))) for g in range(1, 231))
    report.write("special points (k types without parameters, GM excluded): %d (group, k), "
                 "%d stored irreps (with the zone centre %d of %d)\n"
                 % (len(cat), len(slots), len(slots) + centre, modes.N_IRREP))
    report.write("  largest: %d slots at one k, dimension %d, small dimension %d\n"
                 % (max(len(s) for *_, s in cat), max(x[2] for x in slots),
                    max(x[0] for x in slots)))
    for rt in (1, 2, 3):
        report.write("  reality type %d: %d\n" % (rt, sum(1 for x in slots if x[1] == rt)))


def main(argv):
    args = argv[1:]
    special = "--special-points" in args
    args = [a for a in args if a != "--special-points"]
    if len(args) > 1:
        sys.stderr.write("usage: make_tables.py [--special-points] [OUTPUT_DIRECTORY]\n")
        return 2
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    write_tables(args[0] if args else os.path.join(root, "data"))
    if special:
        special_point_report()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
