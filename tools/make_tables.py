#!/usr/bin/python3
"""Writes the data tables data_space.bin, data_wyckoff.bin and symmetry.dat.

Usage: make_tables.py [OUTPUT_DIRECTORY]   (default: the repository's data/ directory)

The output is deterministic: running it again reproduces the files byte for byte.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from tablegen import binfile, space, symmetry_dat, wyckoff  # noqa: E402


def wyckoff_payload(space_arrays):
    """Payload of data_wyckoff.bin: the arrays that tablegen.wyckoff fills, the others zero."""
    arrays = binfile.empty_arrays(binfile.WYCKOFF_LAYOUT)
    for name, values in wyckoff.build_wyckoff(space_arrays).items():
        if name not in arrays:
            raise SystemExit("make_tables: unknown Wyckoff array %s" % name)
        arrays[name] = values
    return binfile.serialise(binfile.WYCKOFF_LAYOUT, arrays)


def write_tables(directory):
    os.makedirs(directory, exist_ok=True)
    arrays = space.build()
    space_payload = binfile.serialise(binfile.SPACE_LAYOUT, arrays)
    wyckoff_bytes = wyckoff_payload(arrays)
    if len(wyckoff_bytes) != binfile.WYCKOFF_PAYLOAD_SIZE:
        raise SystemExit("make_tables: Wyckoff payload has %d bytes" % len(wyckoff_bytes))
    outputs = (("data_space.bin", binfile.record(space_payload)),
               ("data_wyckoff.bin", binfile.record(wyckoff_bytes)),
               ("symmetry.dat", symmetry_dat.text().encode("ascii")))
    for name, data in outputs:
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)


def main(argv):
    if len(argv) > 2:
        sys.stderr.write("usage: make_tables.py [OUTPUT_DIRECTORY]\n")
        return 2
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    write_tables(argv[1] if len(argv) == 2 else os.path.join(root, "data"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
