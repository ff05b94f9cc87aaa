#!/usr/bin/python3
"""The newcomer's scripts: install-deps without root or sudo, and what the example builds.

Each case runs a script from a copy of scripts/ under a PATH of stand-in commands, so nothing is
installed or built: the stand-ins report what the script asked for.
"""
import os
import shutil
import stat
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def stand_in(directory, name, body):
    path = os.path.join(directory, name)
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + body + "\n")
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)


class Scripts(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="scripts_test.")
        self.root = os.path.join(self.tmp, "repo")
        for folder in ("scripts", "examples"):
            shutil.copytree(os.path.join(ROOT, folder), os.path.join(self.root, folder))
        self.bin = os.path.join(self.tmp, "bin")
        os.mkdir(self.bin)
        for tool in ("bash", "grep", "dirname", "nproc", "mktemp", "rm"):
            os.symlink(shutil.which(tool), os.path.join(self.bin, tool))
        self.log = os.path.join(self.tmp, "calls")
        # Every package missing, a user who is not root, no sudo; apt-get records its calls.
        stand_in(self.bin, "dpkg-query", "exit 1")
        stand_in(self.bin, "id", "echo 1000")
        stand_in(self.bin, "apt-get", 'echo "apt-get $*" >> %s' % self.log)

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def run_script(self, name):
        return subprocess.run(["/bin/bash", os.path.join(self.root, "scripts", name)],
                              env={"PATH": self.bin}, capture_output=True, text=True)

    def calls(self):
        if not os.path.exists(self.log):
            return ""
        with open(self.log) as f:
            return f.read()

    def test_install_deps_without_root_or_sudo_says_what_to_run(self):
        r = self.run_script("install-deps")
        self.assertEqual(r.returncode, 1)
        self.assertIn("sudo is not available", r.stderr)
        self.assertIn("apt-get update && apt-get install -y g++ cmake ninja-build libgtest-dev "
                      "python3 python3-numpy python3-spglib python3-cctbx", r.stderr)
        self.assertEqual(self.calls(), "")

    def test_install_deps_uses_sudo_when_there_is_one(self):
        stand_in(self.bin, "sudo", '"$@"')
        r = self.run_script("install-deps")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(self.calls().startswith("apt-get update -qq\napt-get install -y -qq g++ "))

    def test_example_builds_the_programs_only(self):
        stand_in(self.bin, "dpkg-query", "echo 'install ok installed'")
        stand_in(self.bin, "cmake", 'echo "cmake $*" >> %s' % self.log)
        program = os.path.join(self.root, "build", "plain", "duopath")
        os.makedirs(os.path.dirname(program))
        for name in ("duopath", "cellsieve", "vibrex"):
            stand_in(os.path.dirname(program), name, 'echo "%s XTALDIR=$XTALDIR" >> %s' % (name, self.log))
        r = self.run_script("example")
        self.assertEqual(r.returncode, 0, r.stderr)
        builds = [c for c in self.calls().splitlines() if c.startswith("cmake --build")]
        self.assertEqual(len(builds), 1)
        self.assertTrue(builds[0].endswith("--target duopath cellsieve vibrex"), builds[0])
        self.assertIn("duopath XTALDIR=%s/data/\ncellsieve XTALDIR=%s/data/\nvibrex XTALDIR=%s/data/\n"
                      % (self.root, self.root, self.root), self.calls())


if __name__ == "__main__":
    unittest.main()
