#!/usr/bin/python3
"""The user's guides (docs/duopath.md, docs/cellsieve.md, docs/vibrex.md) show only inputs that
are example files, and every one of them runs to its normal end.

Every fenced block of a guide is tagged on its opening line:
- "```input examples/<file>": a whole input; the block must equal the file, which must lie in
  examples/ (duopath), examples/cellsieve/ or examples/vibrex/, and the program of that folder
  must end normally on it (exit status 0, nothing on standard error, the program's closing lines);
- "```report examples/<file>": lines of the report of that example; the parts between lines "..."
  must appear, in order, as runs of whole lines of the program's standard output (trailing blanks
  not compared).
Names of example files in the text (`examples/...`) must exist, and the README must link each
guide.

The binaries are $SGL_BIN_DIR/<program> (CTest sets it), else build/plain/<program>.
"""
import os
import re
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BIN = os.environ.get("SGL_BIN_DIR", os.path.join(ROOT, "build", "plain"))
DATA = os.path.join(ROOT, "data") + "/"
GUIDES = ["duopath", "cellsieve", "vibrex"]

# How each program ends a run normally: the last lines of its standard output.
NORMAL_END = {
    "duopath": ["---------------------------------------", "done"],
    "cellsieve": None,  # the summary: its heading, then one row per group (checked below)
    "vibrex": ["*" * 47, "End of output"],
}
SUMMARY_HEADING = "Space group               Points    rms position   rms strain"


def program_of(path):
    """The program that reads an example file, from its folder."""
    folder = os.path.dirname(path)
    return {"examples": "duopath", "examples/cellsieve": "cellsieve",
            "examples/vibrex": "vibrex"}.get(folder)


def fenced_blocks(text):
    """(info string, lines, line number) of every fenced block of a Markdown text."""
    blocks = []
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        m = re.match(r"^(```+)(.*)$", lines[i])
        if m:
            fence, info, start = m.group(1), m.group(2).strip(), i + 1
            j = i + 1
            while j < len(lines) and not lines[j].startswith(fence):
                j += 1
            blocks.append((info, lines[i + 1:j], start))
            i = j + 1
        else:
            i += 1
    return blocks


_runs = {}


def run(path):
    """(exit status, standard output, standard error) of the example's program, run once."""
    if path not in _runs:
        with open(os.path.join(ROOT, path)) as f:
            text = f.read()
        with tempfile.TemporaryDirectory() as work:
            done = subprocess.run([os.path.join(BIN, program_of(path))], input=text,
                                  capture_output=True, text=True, cwd=work,
                                  env=dict(os.environ, XTALDIR=DATA), timeout=600)
        _runs[path] = (done.returncode, done.stdout, done.stderr)
    return _runs[path]


def contains_in_order(out_lines, parts):
    """Each part is found as consecutive lines of out_lines, after the previous part."""
    pos = 0
    for part in parts:
        n = len(part)
        while pos + n <= len(out_lines) and out_lines[pos:pos + n] != part:
            pos += 1
        if pos + n > len(out_lines):
            return part
        pos += n
    return None


class Guides(unittest.TestCase):
    def setUp(self):
        self.texts = {}
        for name in GUIDES:
            with open(os.path.join(ROOT, "docs", name + ".md")) as f:
                self.texts[name] = f.read()

    def test_blocks_are_tagged_examples(self):
        for name, text in self.texts.items():
            blocks = fenced_blocks(text)
            self.assertTrue(any(info.startswith("input ") for info, _, _ in blocks), name)
            for info, lines, start in blocks:
                with self.subTest(guide=name, line=start):
                    kind, _, path = info.partition(" ")
                    self.assertIn(kind, ("input", "report"), "untagged block")
                    self.assertIsNotNone(program_of(path), path)
                    self.assertTrue(os.path.isfile(os.path.join(ROOT, path)), path)
                    if kind == "input":
                        with open(os.path.join(ROOT, path)) as f:
                            self.assertEqual(lines, f.read().splitlines(), path)

    def test_inputs_run_to_their_normal_end(self):
        for name, text in self.texts.items():
            for info, _, start in fenced_blocks(text):
                kind, _, path = info.partition(" ")
                if kind != "input":
                    continue
                with self.subTest(guide=name, example=path):
                    status, out, err = run(path)
                    self.assertEqual(status, 0, err + out[-2000:])
                    self.assertEqual(err, "")
                    lines = out.splitlines()
                    end = NORMAL_END[program_of(path)]
                    if end is None:
                        heading = [k for k, l in enumerate(lines) if l == SUMMARY_HEADING]
                        self.assertEqual(len(heading), 1, out[-2000:])
                        rows = lines[heading[0] + 1:]
                        self.assertTrue(rows, "no group found")
                        for row in rows:
                            self.assertRegex(row, r"^[ \d]{3}  \S", row)
                    else:
                        self.assertEqual(lines[-len(end):], end, out[-2000:])

    def test_reports_are_what_the_programs_write(self):
        for name, text in self.texts.items():
            for info, lines, start in fenced_blocks(text):
                kind, _, path = info.partition(" ")
                if kind != "report":
                    continue
                with self.subTest(guide=name, line=start):
                    parts, part = [], []
                    for line in lines:
                        if line == "...":
                            if part:
                                parts.append(part)
                            part = []
                        else:
                            part.append(line.rstrip())
                    if part:
                        parts.append(part)
                    self.assertTrue(parts)
                    status, out, _ = run(path)
                    self.assertEqual(status, 0)
                    missing = contains_in_order([l.rstrip() for l in out.splitlines()], parts)
                    self.assertIsNone(missing, "not in the report of %s:\n%s"
                                      % (path, "\n".join(missing or [])))

    def test_named_examples_exist_and_readme_links_the_guides(self):
        for name, text in self.texts.items():
            for path in set(re.findall(r"`(examples/[^`\s]+)`", text)):
                with self.subTest(guide=name, example=path):
                    self.assertTrue(os.path.isfile(os.path.join(ROOT, path)), path)
        with open(os.path.join(ROOT, "README.md")) as f:
            readme = f.read()
        for name in GUIDES:
            self.assertTrue("](docs/%s.md)" % name in readme, "README lacks a link to " + name)


if __name__ == "__main__":
    unittest.main()
