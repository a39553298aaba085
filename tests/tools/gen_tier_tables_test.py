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


class Sources(unittest.TestCase):
    """The generator reads each list's entry count from the catalogue and the
    rows every version holds from the checks' header: a copy of the tree with
    one of them changed is what it follows."""

    ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    FILES = ("src/tables/tier/gen_tier_tables.py", "src/tables/tier/tier_list_rows.py",
             "include/cmg290/tier_lists.def", "src/tables/table_versions.def",
             "src/checks/tier_expected.h")

    def copy_tree(self, root, edit):
        for name in self.FILES:
            os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
            with open(os.path.join(self.ROOT, name), encoding="ascii") as f:
                text = f.read()
            with open(os.path.join(root, name), "w", encoding="ascii") as f:
                f.write(edit(name, text))
        return os.path.join(root, "src/tables/tier/gen_tier_tables.py")

    def test_count_other_than_the_catalogues_is_refused_before_writing(self):
        def edit(name, text):
            if name.endswith("tier_lists.def"):
                return text.replace('"2.50", "2.50", 951,', '"2.50", "2.50", 952,')
            return text
        with tempfile.TemporaryDirectory() as root, tempfile.TemporaryDirectory() as out:
            generator = self.copy_tree(root, edit)
            result = subprocess.run([sys.executable, generator, out], capture_output=True,
                                    text=True, check=False)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("icd250.def: 951 entries, the catalogue "
                          "(include/cmg290/tier_lists.def) says 952", result.stderr)
            self.assertEqual(os.listdir(out), [])

    def test_fixed_rows_come_from_the_checks_header(self):
        def edit(name, text):
            if name.endswith("tier_expected.h"):
                return text.replace('{"478.6", "B", "15"}', '{"478.7", "B", "15"}')
            return text
        with tempfile.TemporaryDirectory() as root, tempfile.TemporaryDirectory() as out:
            generator = self.copy_tree(root, edit)
            result = subprocess.run([sys.executable, generator, out], capture_output=True,
                                    text=True, check=False)
            self.assertEqual(result.returncode, 0, result.stderr)
            for name in ("icd240.def", "icd250.def", "icd260.def"):
                with open(os.path.join(out, name), encoding="ascii") as f:
                    text = f.read()
                self.assertIn('ROW("478.7", "B", "15")\n', text)
                self.assertNotIn('"478.6"', text)


if __name__ == "__main__":
    unittest.main()
