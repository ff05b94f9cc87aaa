#!/usr/bin/python3
"""Writes the data tables data_space.bin, data_wyckoff.bin, symmetry.dat and the tables of the
mode analysis: data_images.bin, data_irreps.bin, data_little.bin, data_isotropy.bin and
const.dat. It prints the extents the mode-analysis tables use.

Usage: make_tables.py [OUTPUT_DIRECTORY]   (default: the repository's data/ directory)

The output is deterministic: running it again reproduces the files byte for byte.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from tablegen import binfile, modelayout, modes, space, symmetry_dat, wyckoff  # noqa: E402


def wyckoff_arrays(space_arrays):
    """Arrays of data_wyckoff.bin that tablegen.wyckoff fills, the others zero."""
    arrays = binfile.empty_arrays(binfile.WYCKOFF_LAYOUT)
    for name, values in wyckoff.build_wyckoff(space_arrays).items():
        if name not in arrays:
            raise SystemExit("make_tables: unknown Wyckoff array %s" % name)
        arrays[name] = values
    return arrays


def write_tables(directory, report=sys.stdout):
    os.makedirs(directory, exist_ok=True)
    arrays = space.build()
    space_payload = binfile.serialise(binfile.SPACE_LAYOUT, arrays)
    wyc = wyckoff_arrays(arrays)
    mode_arrays, const_text, site_arrays, extents = modes.build(arrays, wyc)
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
        report.write("mode-analysis tables: zone centre of all 230 groups; k lists and "
                     "little co-groups of all k types\n")
        for what, used, extent in extents:
            report.write("  %-40s %7d of %7d\n" % (what, used, extent))


def main(argv):
    if len(argv) > 2:
        sys.stderr.write("usage: make_tables.py [OUTPUT_DIRECTORY]\n")
        return 2
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    write_tables(argv[1] if len(argv) == 2 else os.path.join(root, "data"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
