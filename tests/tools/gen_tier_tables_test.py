"""The tier-table generator: its command line, and lists replaced by hand."""

import os
import subprocess
import sys
import tempfile
import unittest

GENERATOR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "tables", "tier",
                         "gen_tier_tables.py")
OFFICIAL = "// Official 2.40 list, received 2026-10-01\nROW(\"042.\", \"C\", \"\")\n"


def run(*args, cwd=None):
    return subprocess.run([sys.executable, GENERATOR, *args], capture_output=True, text=True,
                          check=False, cwd=cwd)


class CommandLine(unittest.TestCase):
    """Options are read before anything is written: neither --help nor a
    mistyped option may become the name of an output folder."""

    def test_help_prints_usage_and_writes_nothing(self):
        for option in ("--help", "-h"):
            with self.subTest(option=option), tempfile.TemporaryDirectory() as cwd:
                result = run(option, cwd=cwd)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn("usage:", result.stdout)
                self.assertIn("--check", result.stdout)
                self.assertEqual(os.listdir(cwd), [])

    def test_unknown_option_exits_2_and_writes_nothing(self):
        for args in (("--chek",), ("--bogus", "out"), ("--check", "-x"), ("a", "b")):
            with self.subTest(args=args), tempfile.TemporaryDirectory() as cwd:
                result = run(*args, cwd=cwd)
                self.assertEqual(result.returncode, 2, result.stdout)
                self.assertIn("usage:", result.stderr)
                self.assertEqual(result.stdout, "")
                self.assertEqual(os.listdir(cwd), [])

    def test_check_may_follow_the_folder(self):
        with tempfile.TemporaryDirectory() as out:
            self.assertEqual(run(out).returncode, 0)
            check = run(out, "--check")
            self.assertEqual(check.returncode, 0, check.stdout + check.stderr)


class ReplacedFiles(unittest.TestCase):
    def test_rerun_leaves_replaced_files_alone_and_says_so(self):
        with tempfile.TemporaryDirectory() as out:
            self.assertEqual(run(out).returncode, 0)
            with open(os.path.join(out, "icd250.def"), encoding="ascii") as f:
                generated = f.read()
            replaced = os.path.join(out, "icd240.def")
            with open(replaced, "w", encoding="ascii") as f:
                f.write(OFFICIAL)
            os.remove(os.path.join(out, "icd250.def"))

            rerun = run(out)
            self.assertEqual(rerun.returncode, 0, rerun.stderr)
            self.assertIn("icd240.def: replaced by hand, left alone", rerun.stdout)
            with open(replaced, encoding="ascii") as f:
                self.assertEqual(f.read(), OFFICIAL)
            # A missing file is written again.
            with open(os.path.join(out, "icd250.def"), encoding="ascii") as f:
                self.assertEqual(f.read(), generated)

            check = run("--check", out)
            self.assertEqual(check.returncode, 0, check.stdout)
            self.assertIn("icd240.def: replaced by hand, not compared", check.stdout)


if __name__ == "__main__":
    unittest.main()
