#!/usr/bin/env python3
"""Runs scripts/check-layers on small made-up trees and checks what it reports."""

import pathlib
import subprocess
import sys
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-layers"


class CheckLayers(unittest.TestCase):
    def run_on(self, files):
        """Writes `files` (path: text) under a fresh root whose build lists
        low, mid, high; returns the exit status and the reported lines."""
        with tempfile.TemporaryDirectory() as root:
            base = pathlib.Path(root)
            (base / "CMakeLists.txt").write_text(
                "project(x)\nset(TAVIRELLE_SUBSYSTEMS low mid\n    high)\n")
            for folder in ("low", "mid", "high", "testing"):
                (base / "src" / folder).mkdir(parents=True)
            for path, text in files.items():
                (base / path).write_text(text)
            run = subprocess.run([sys.executable, str(SCRIPT), root],
                                 capture_output=True, text=True)
            return run.returncode, run.stdout.splitlines()

    def test_a_clean_tree_passes(self):
        status, lines = self.run_on({
            "src/low/a.h": "#include <string>\n#include \"tavirelle/types.h\"\n",
            "src/mid/b.cc": "#include \"mid/b.h\"\n#include \"low/a.h\"\n",
            "src/high/c.cc": "#include \"mid/b.h\"\n#include \"low/a.h\"\n#include \"c.h\"\n",
            "src/high/c_test.cc": "#include \"high/c.h\"\n#include \"testing/double.h\"\n",
        })
        self.assertEqual((status, lines), (0, []))

    def test_each_include_of_a_later_subsystem_is_one_line(self):
        status, lines = self.run_on({
            "src/low/a.cc": "#include \"low/a.h\"\n#include \"high/c.h\"\n  #  include \"mid/b.h\"\n",
            "src/mid/b.h": "#include \"high/c.h\"\n",
            "src/mid/b_test.cc": "#include \"high/c.h\"\n",
        })
        self.assertEqual(status, 1)
        self.assertEqual(sorted(lines), [
            "src/low/a.cc: includes high/c.h, which builds after low",
            "src/low/a.cc: includes mid/b.h, which builds after low",
            "src/mid/b.h: includes high/c.h, which builds after mid",
            "src/mid/b_test.cc: includes high/c.h, which builds after mid",
        ])

    def test_only_test_code_may_use_the_test_doubles(self):
        status, lines = self.run_on({
            "src/mid/helper_test.cc": "#include \"testing/double.h\"\n",
            "src/mid/shipped.cc": "#include \"testing/double.h\"\n",
        })
        self.assertEqual(status, 1)
        self.assertEqual(lines, ["src/mid/shipped.cc: includes testing/double.h, "
                                 "which only tests may use"])

    def test_a_header_only_tests_include_belongs_with_the_test_doubles(self):
        status, lines = self.run_on({
            "src/mid/helper.h": "#include \"testing/double.h\"\n",
            "src/mid/helper_test.cc": "#include \"mid/helper.h\"\n",
            "src/high/c_test.cc": "#include \"mid/helper.h\"\n",
            "src/mid/shared.h": "#include \"low/a.h\"\n",
            "src/mid/shared.cc": "#include \"mid/shared.h\"\n",
            "src/mid/shared_test.cc": "#include \"mid/shared.h\"\n",
        })
        self.assertEqual(status, 1)
        self.assertEqual(lines, ["src/mid/helper.h: only tests use it; it belongs in src/testing/"])

    def test_the_hosts_use_the_library_through_its_api_only(self):
        with tempfile.TemporaryDirectory() as root:
            base = pathlib.Path(root)
            (base / "CMakeLists.txt").write_text(
                "set(TAVIRELLE_SUBSYSTEMS platform com util package api automation cli)\n")
            files = {
                "src/automation/obj.cc": "#include \"api/a.h\"\n#include \"com/bstr.h\"\n"
                                         "#include \"tavirelle/interfaces.h\"\n",
                "src/automation/file.cc": "#include \"package/p.h\"\n",
                "src/automation/file_test.cc": "#include \"package/p.h\"\n",
                "src/cli/list.cc": "#include \"api/a.h\"\n#include \"util/u.h\"\n"
                                   "#include \"tavirelle/types.h\"\n#include \"cli/c.h\"\n",
                "src/cli/pack.cc": "#include \"package/p.h\"\n#include \"tavirelle/interfaces.h\"\n",
                "src/cli/pack_test.cc": "#include \"package/p.h\"\n",
                "src/cli/register_command.cc": "#include \"com/registry.h\"\n"
                                               "#include \"tavirelle/module.h\"\n",
            }
            for folder in ("platform", "com", "util", "package", "api", "automation", "cli",
                           "testing"):
                (base / "src" / folder).mkdir(parents=True)
            for path, text in files.items():
                (base / path).write_text(text)
            run = subprocess.run([sys.executable, str(SCRIPT), root],
                                 capture_output=True, text=True)
        self.assertEqual(run.returncode, 1)
        self.assertEqual(sorted(run.stdout.splitlines()), [
            "src/automation/file.cc: includes package/p.h; the library reaches the automation "
            "classes through api/ only",
            "src/cli/pack.cc: includes package/p.h; the library reaches the command through "
            "api/ only",
            "src/cli/pack.cc: includes the module's public headers; only the register command "
            "is about the module",
        ])

    def test_a_second_copy_of_the_order_is_reported(self):
        status, lines = self.run_on({
            "src/high/CMakeLists.txt": "foreach(part low mid\n  high)\nendforeach()\n",
            "src/mid/CMakeLists.txt": "add_library(mid low.cc mid.cc)\n",
            "src/low/CMakeLists.txt": "set(parts low mid)\n",
        })
        self.assertEqual(status, 1)
        self.assertEqual(lines, ["src/high/CMakeLists.txt: lists the subsystems again; "
                                 "read TAVIRELLE_SUBSYSTEMS instead"])

    def test_a_build_without_the_order_is_an_error(self):
        with tempfile.TemporaryDirectory() as root:
            pathlib.Path(root, "CMakeLists.txt").write_text("project(x)\n")
            run = subprocess.run([sys.executable, str(SCRIPT), root],
                                 capture_output=True, text=True)
        self.assertNotEqual(run.returncode, 0)
        self.assertIn("TAVIRELLE_SUBSYSTEMS", run.stderr)


if __name__ == "__main__":
    unittest.main()
