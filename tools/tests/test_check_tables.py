#!/usr/bin/python3
"""The checker passes on the committed tables and catches faulty ones.

Each faulty case copies data/ into a temporary directory, breaks one value in the way a maker
bug would, and runs the checks of the convention concerned: they must fail, naming that
convention.
"""
import os
import shutil
import struct
import sys
import tempfile
import unittest

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))

import check_tables  # noqa: E402


def offset_of(name):
    """Byte offset in data_space.bin (file, not payload) and element size of an array."""
    offset = 4
    for line in check_tables.SPACE_FILE_LAYOUT.strip().splitlines():
        n, kind, *dims = line.split()
        width = int(kind[1:])
        if n == name:
            return offset, width, tuple(int(d) for d in dims)
        count = 1
        for d in dims:
            count *= int(d)
        offset += width * count
    raise KeyError(name)


def element_offset(name, *index):
    """File offset of element (1-based, column-major) of an array."""
    offset, width, dims = offset_of(name)
    linear, stride = 0, 1
    for i, d in zip(index, dims):
        linear += (i - 1) * stride
        stride *= d
    return offset + width * linear, width


class BrokenTables:
    def __init__(self):
        self.dir = tempfile.mkdtemp()
        for name in ("data_space.bin", "data_wyckoff.bin", "symmetry.dat"):
            shutil.copy(os.path.join(ROOT, "data", name), self.dir)
        with open(os.path.join(self.dir, "data_space.bin"), "rb") as f:
            self.space = bytearray(f.read())

    def get(self, name, *index):
        off, width = element_offset(name, *index)
        return int.from_bytes(self.space[off:off + width], "little", signed=True)

    def set(self, name, value, *index):
        off, width = element_offset(name, *index)
        self.space[off:off + width] = int(value).to_bytes(width, "little", signed=True)

    def set_text(self, name, text, *index):
        off, width = element_offset(name, *index)
        self.space[off:off + width] = text.ljust(width).encode()

    def swap_records(self, a, b):
        for i in range(1, 6):
            va, vb = self.get("SG_OP_TABLE", i, a), self.get("SG_OP_TABLE", i, b)
            self.set("SG_OP_TABLE", vb, i, a)
            self.set("SG_OP_TABLE", va, i, b)

    def checker(self):
        with open(os.path.join(self.dir, "data_space.bin"), "wb") as f:
            f.write(self.space)
        c = check_tables.Checker(self.dir)
        c.check_keys_and_point_groups()
        return c

    def close(self):
        shutil.rmtree(self.dir)


class CommittedTables(unittest.TestCase):
    def test_all_conventions_hold(self):
        checker = check_tables.Checker(os.path.join(ROOT, "data"))
        failures = checker.run()
        self.assertEqual(failures, [])
        self.assertGreater(checker.passed, 10000)


class FaultyTables(unittest.TestCase):
    def run_case(self, convention, breaker, method):
        broken = BrokenTables()
        try:
            breaker(broken)
            checker = broken.checker()
            getattr(checker, method)()
            failures = checker.failures
        finally:
            broken.close()
        self.assertTrue(failures, "no failure detected")
        self.assertTrue(any(f.startswith("convention %s:" % convention) for f in failures),
                        failures[:3])

    def first_op(self, b, g):
        return b.get("SG_FIRST_OP", g)

    def test_identity_not_first(self):
        def breaker(b):
            n = self.first_op(b, 2)          # P-1: identity, inversion
            b.swap_records(n, n + 1)
        self.run_case(7, breaker, "check_operators")

    def test_improper_before_proper(self):
        def breaker(b):
            n = self.first_op(b, 10)         # P2/m: 1, 2, -1, m
            b.swap_records(n + 1, n + 2)
        self.run_case(7, breaker, "check_operators")

    def test_translation_not_reduced(self):
        def breaker(b):
            n = self.first_op(b, 4)          # P2_1: the screw axis has translation 1/2
            b.set("SG_OP_TABLE", b.get("SG_OP_TABLE", 2, n + 1) + 2, 2, n + 1)
        self.run_case(7, breaker, "check_operators")

    def test_slot_pair_reversed(self):
        def breaker(b):
            for i in range(1, 5):
                for j in range(1, 5):
                    t1 = b.get("SETTING_TRANSFORM", i, j, 1, 225, 5)
                    t2 = b.get("SETTING_TRANSFORM", i, j, 2, 225, 5)
                    b.set("SETTING_TRANSFORM", t2, i, j, 1, 225, 5)
                    b.set("SETTING_TRANSFORM", t1, i, j, 2, 225, 5)
        self.run_case(5, breaker, "check_settings")

    def test_key_depends_on_more_than_the_kind(self):
        def breaker(b):
            b.set("POINT_OP_KEY", b.get("POINT_OP_KEY", 5) + 1, 5)
        self.run_case(2, breaker, "check_keys_and_point_groups")

    def test_product_table_wrong(self):
        def breaker(b):
            b.set("POINT_OP_PRODUCT", 3, 2, 2)
        self.run_case(1, breaker, "check_point_operations")

    def test_code_table_wrong(self):
        def breaker(b):
            b.set("CONV_MATRIX_CODE", b.get("CONV_MATRIX_CODE", 3), 2)
        self.run_case(6, breaker, "check_code_tables")

    def test_lattice_matrices_not_inverse(self):
        def breaker(b):
            b.set("LATTICE_TRANSFORM_DEN", 3, 1, 13)
        self.run_case(4, breaker, "check_lattices")

    def test_hexagonal_axes_entry_with_letter_r(self):
        def breaker(b):
            count = b.get("SETTING_COUNT")
            e = next(e for e in range(1, count + 1)
                     if b.get("SETTING_INTER_CLASS", e) == 1)
            b.set_text("SETTING_LATTICE_LETTER", "R", e)
        self.run_case(8, breaker, "check_entries")

    def test_generators_do_not_generate(self):
        def breaker(b):
            first = b.get("SG_FIRST_GENERATOR", 47, 2)   # Pmmm in cinter: 2z, 2y, -1
            b.set("SG_OP_TABLE", 2, 5, first + 1)           # second generator 2y -> 2z
        self.run_case(7, breaker, "check_operators")

    def test_symmetry_dat_record_without_hexagonal_number(self):
        def breaker(b):
            path = os.path.join(b.dir, "symmetry.dat")
            with open(path) as f:
                lines = f.read().split("\n")
            lines[0] = lines[0][:9] + "  0"
            with open(path, "w") as f:
                f.write("\n".join(lines))
        self.run_case(10, breaker, "check_symmetry_dat")


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=1).result
    total = result.testsRun
    bad = len(result.failures) + len(result.errors)
    print("test_check_tables: %d of %d cases passed" % (total - bad, total))
    sys.exit(1 if bad else 0)
