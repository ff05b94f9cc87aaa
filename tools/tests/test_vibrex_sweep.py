#!/usr/bin/python3
"""vibrex across the space groups: the fixed sample of tools/sweep_vibrex.py runs and passes
every check of the sweep. The sample holds the inputs that once stopped the program with "This
program has bombed" (irreps of dimension 8 to 48 at k vectors with parameters in groups 141,
176 and 206-230: diamond at GP, garnet at V2, Fd-3c at Q for six values of u, and the sweep's
own runs there) and a spread over the lattice types and kinds of k vector.

The sample runs through the measuring driver as well (the program with a measurement added,
its reports checked alike): there every invariant subspace that single precision decides is
also reduced in double precision and must come out the same. The sample holds the subspaces of
the whole sweep whose rank decisions lie closest to the double-precision rank tolerance (1e-3):
a pivot of 0.053 that must be kept and an entry of 3.6e-5 that must be dropped as rounding.

The checks themselves must reject a report with a fault: one atom's displacement reversed in
one mode, an irrep left out, a supercell atom moved, a stop, a refusal of parameter values that
are not special; and accept a rightful refusal.
"""
import io
import os
import sys
import unittest

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
import sweep_vibrex as sv  # noqa: E402


_RUNS = []


def sweep_runs():
    """The sweep's runs (choosing each group's positions takes a few seconds), made once."""
    if not _RUNS:
        _RUNS.extend(sv.sweep_runs(sv.tables(sv.DATA)))
    return _RUNS


def have_binary():
    return os.path.exists(sv.BIN)


def have_driver():
    return os.path.exists(sv.MARGINS_BIN)


class Sample(unittest.TestCase):
    def test_sample_passes(self):
        if not have_binary():
            self.skipTest("vibrex not built")
        runs = sv.sample_runs(sweep_runs())
        keys = {r.key for r in runs}
        self.assertEqual(len(runs), len(sv.HAND) + len(sv.SAMPLE))
        self.assertTrue({(141, "V3", 1), (176, "V4", 2), (227, "GP", 2), (228, "Q", 2),
                         (230, "V2", 1), "diamond GP", "garnet V2"} <= keys)
        out = io.StringIO()
        rc = sv.sweep(runs, sv.BIN, sv.DATA, jobs=2, out=out)
        self.assertEqual(rc, 0, out.getvalue())

    def test_double_precision_agrees_where_single_decides(self):
        if not have_driver():
            self.skipTest("the measuring driver of vibrex not built")
        runs = sv.sample_runs(sweep_runs())
        out = io.StringIO()
        measured = []
        rc = sv.sweep(runs, sv.MARGINS_BIN, sv.DATA, jobs=2, out=out, measured=measured)
        self.assertEqual(rc, 0, out.getvalue())
        rows = {row[0]: row for row in sv.margin_rows(measured, every_subspace=True)}
        # (key, reductions, smallest pivot kept, largest entry dropped)
        self.assertLess(rows[(62, "V5", 1)][2], 0.06, out.getvalue())
        self.assertGreater(rows[(230, "GP", 2)][3], 3.5e-5, out.getvalue())


def damaged(report, how):
    """The report with one fault put in."""
    lines = report.split("\n")
    starts = [i for i, l in enumerate(lines) if l.startswith("Irrep ")]
    if how == "reversed":
        i = lines.index("-" * 42) + 1  # the first atom of the first mode
        x = float(lines[i][10:20])
        lines[i] = lines[i][:10] + "%10.5f" % -x + lines[i][20:]
    elif how == "left out":
        end = len(lines) - 3  # before the closing star line
        del lines[starts[-1] - 1:end]
    elif how == "moved":
        i = lines.index("atom  type   position") + 1
        lines[i] = lines[i][:10] + "%10.5f" % (float(lines[i][10:20]) + 0.1) + lines[i][20:]
    return "\n".join(lines)


class Checks(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.t = sv.tables(sv.DATA)
        cls.runs = {r.key: r for r in sweep_runs()}

    def judge(self, key, rc, out, err):
        r = self.runs[key]
        return sv.check_report(self.t, r.lines, r.k_line, rc, out, err, np.random.default_rng(1),
                               r.generic)

    def test_faults_are_caught(self):
        if not have_binary():
            self.skipTest("vibrex not built")
        key = (14, "V2", 1)
        rc, out, err = sv.run_program(sv.BIN, sv.DATA, self.runs[key].text)
        out, err = out.decode(), err.decode()
        self.assertEqual(self.judge(key, rc, out, err), ([], []))
        for how in ("reversed", "left out", "moved"):
            with self.subTest(how):
                fails, _ = self.judge(key, rc, damaged(out, how), err)
                self.assertTrue(fails)
        bombed = out[:out.index("Irrep ")] + "This program has bombed\nexit\n"
        self.assertTrue(self.judge(key, 1, bombed, " STOP  \n")[0])

    def test_refusals(self):
        # GP (1/2, 1/3, 1/5) of oP lies on the plane V2: rightly refused. V2 (1/6, 1/5) of P21/c
        # is a generic point of its plane: a refusal there is a fault.
        head = "header lines\n"
        self.assertEqual(self.judge((16, "GP", 1), 1, head, sv.SPECIAL), ([], ["refused: special point"]))
        self.assertTrue(self.judge((14, "V2", 1), 1, head, sv.SPECIAL)[0])


if __name__ == "__main__":
    unittest.main()
