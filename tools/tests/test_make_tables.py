#!/usr/bin/python3
"""The table maker reproduces the committed data files byte for byte."""
import filecmp
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FILES = ("data_space.bin", "data_wyckoff.bin", "symmetry.dat", "data_images.bin",
         "data_irreps.bin", "data_little.bin", "data_isotropy.bin", "const.dat")


def main():
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(["/usr/bin/python3", os.path.join(ROOT, "tools", "make_tables.py"), tmp],
                       check=True, stdout=subprocess.DEVNULL)
        differing = [name for name in FILES
                     if not filecmp.cmp(os.path.join(tmp, name),
                                        os.path.join(ROOT, "data", name), shallow=False)]
    if differing:
        print("test_make_tables: the maker's output differs from data/: %s"
              % ", ".join(differing))
        return 1
    print("test_make_tables: %d files reproduced byte for byte" % len(FILES))
    return 0


if __name__ == "__main__":
    sys.exit(main())
