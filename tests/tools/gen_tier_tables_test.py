"""The tier-table generator never overwrites a list that was replaced by hand."""

import os
import subprocess
import sys
import tempfile
import unittest

GENERATOR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                         "gen_tier_tables.py")
OFFICIAL = "// Official 2.40 list, received 2026-10-01\nROW(\"042.\", \"C\", \"\")\n"


def run(*args):
    return subprocess.run([sys.executable, GENERATOR, *args], capture_output=True, text=True,
                          check=False)


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
