"""The reference pages' generator: a change to a .def file shows on its page,
a stale page is caught by --check, and a row it cannot read is refused. Each
case runs the generator on a copy of the tree's .def files with one change."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
GENERATOR = os.path.join(ROOT, "docs", "reference", "gen_reference.py")
DEFS = ("status.def", "record_layout.def", "edits.def")


class Tree:
    """A scratch source tree holding the real .def files and no pages yet."""

    def __init__(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        os.makedirs(os.path.join(self.root, "include", "cmg290"))
        os.makedirs(os.path.join(self.root, "docs", "reference"))
        for name in DEFS:
            shutil.copy(os.path.join(ROOT, "include", "cmg290", name), self.def_path(name))

    def def_path(self, name):
        return os.path.join(self.root, "include", "cmg290", name)

    def edit(self, name, old, new):
        path = self.def_path(name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        assert old in text, old
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace(old, new, 1))

    def append(self, name, line):
        with open(self.def_path(name), "a", encoding="utf-8") as f:
            f.write(line + "\n")

    def run(self, *args):
        return subprocess.run([sys.executable, GENERATOR, "--root", self.root, *args],
                              capture_output=True, text=True, check=False)

    def page(self, name):
        with open(os.path.join(self.root, "docs", "reference", name), encoding="utf-8") as f:
            return f.read()

    def pages(self):
        return sorted(os.listdir(os.path.join(self.root, "docs", "reference")))

    def close(self):
        self.dir.cleanup()


class DefChangesShowOnThePages(unittest.TestCase):
    def setUp(self):
        self.tree = Tree()
        self.addCleanup(self.tree.close)

    def written(self):
        result = self.tree.run()
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def test_the_real_files_give_every_code_field_and_edit(self):
        self.written()
        status = self.tree.page("status-codes.md")
        for row in ("| 0 | `Grouped` | grouped | CMG, motor score, cognitive score, age |",
                    "| 7 | `AgeTooHigh` | age of 141 or more | age |",
                    "| 9 | `ImpairmentUnknown` | impairment group not in table | age |"):
            self.assertIn(row, status)
        self.assertIn("There are no codes 4 and 8.", status)
        layout = self.tree.page("record-layout.md")
        self.assertIn("| `record_id` | 1–10 | 10 |", layout)
        self.assertIn("| `record_kind` | 11 | 1 |", layout)
        self.assertIn("| `version_date` | 996–1003 | 8 |", layout)
        self.assertEqual(layout.count("| `comorbid_code_"), 25)
        edits = self.tree.page("edit-codes.md")
        self.assertIn("| `short-record` | warning |", edits)
        self.assertIn("| `item-value` | error |", edits)
        # In the order the checks run.
        self.assertLess(edits.index("`short-record`"), edits.index("`no-cmg-row`"))

    def test_an_added_status_shows_and_fills_its_gap(self):
        self.tree.append("status.def",
                         'CMG290_STATUS(4, SomethingNew, "a new reason | not grouped", kReachesNone)')
        self.written()
        status = self.tree.page("status-codes.md")
        # A pipe in the text stays inside its cell.
        self.assertIn("| 4 | `SomethingNew` | a new reason \\| not grouped | none |", status)
        self.assertIn("There is no code 8.", status)
        self.assertNotIn("codes 4", status)

    def test_a_changed_description_and_reach_show(self):
        self.tree.edit("status.def", '"age of 141 or more", kReachesAge',
                       '"age of 150 or \\"more\\"", kReachesNone')
        self.written()
        self.assertIn('| 7 | `AgeTooHigh` | age of 150 or "more" | none |',
                      self.tree.page("status-codes.md"))

    def test_a_changed_field_width_changes_its_positions(self):
        self.tree.edit("record_layout.def", "FIELD(record_id, 1, 10,", "FIELD(record_id, 1, 9,")
        self.tree.edit("record_layout.def", "FIELD(version_date, 996, 8,", "FIELD(version_date, 996, 12,")
        self.written()
        layout = self.tree.page("record-layout.md")
        self.assertIn("| `record_id` | 1–9 | 9 |", layout)
        self.assertIn("| `version_date` | 996–1007 | 12 |", layout)

    def test_a_changed_severity_and_an_added_edit_show(self):
        self.tree.edit("edits.def", '"comorbid-code-repeated", Warning', '"comorbid-code-repeated", Error')
        self.tree.append("edits.def", 'CMG290_EDIT(Brand, "brand-new", Warning, "something else")')
        self.written()
        edits = self.tree.page("edit-codes.md")
        self.assertIn("| `comorbid-code-repeated` | error |", edits)
        self.assertTrue(edits.rstrip().endswith("`warning`: suspicious."))
        self.assertIn("| `brand-new` | warning | something else |", edits)
        self.assertGreater(edits.index("`brand-new`"), edits.index("`no-cmg-row`"))


class CheckFindsStalePages(unittest.TestCase):
    def setUp(self):
        self.tree = Tree()
        self.addCleanup(self.tree.close)

    def test_check_passes_on_fresh_pages_and_names_a_stale_one(self):
        self.assertEqual(self.tree.run().returncode, 0)
        result = self.tree.run("--check")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.tree.edit("record_layout.def", "FIELD(age_date, 688, 8,", "FIELD(age_date, 688, 9,")
        result = self.tree.run("--check")
        self.assertEqual(result.returncode, 1)
        self.assertIn("docs/reference/record-layout.md", result.stderr)
        self.assertIn("cmake --build build --target docs_reference", result.stderr)
        self.assertNotIn("status-codes.md", result.stderr)
        # --check writes nothing: the page is still the old one.
        self.assertIn("| `age_date` | 688–695 | 8 |", self.tree.page("record-layout.md"))

    def test_check_names_a_missing_page(self):
        result = self.tree.run("--check")
        self.assertEqual(result.returncode, 1)
        for page in ("status-codes.md", "record-layout.md", "edit-codes.md"):
            self.assertIn(page, result.stderr)
        self.assertEqual(self.tree.pages(), [])


class RowsItCannotReadAreRefused(unittest.TestCase):
    """A row the generator cannot read must not drop out of the page in
    silence: it names the file and line, exits 2 and writes no page."""

    def refused(self, name, old, new, reason):
        tree = Tree()
        self.addCleanup(tree.close)
        tree.edit(name, old, new)
        result = tree.run()
        self.assertEqual(result.returncode, 2, result.stdout)
        self.assertIn(f"include/cmg290/{name}:", result.stderr)
        self.assertIn(reason, result.stderr)
        self.assertEqual(tree.pages(), [])

    def test_malformed_rows(self):
        cases = [
            ("status.def", "CMG290_STATUS(9,", "CMG290_STATU(9,", "not a CMG290_STATUS(...) row"),
            ("status.def", '"grouped", kReachesAll)', '"grouped", kReachesAll', "not a CMG290_STATUS"),
            ("status.def", '"grouped", kReachesAll', '"grouped"', "3 arguments"),
            ("status.def", "kReachesAge)\nCMG290_STATUS(9", "kReachesSome)\nCMG290_STATUS(9",
             "unknown outputs reached"),
            ("status.def", "CMG290_STATUS(9,", "CMG290_STATUS(7,", "code 7 already"),
            ("status.def", '"grouped"', 'grouped', "must be a string"),
            ("status.def", '"grouped"', '"grouped', "unterminated string"),
            ("record_layout.def", "FIELD(record_kind, 11, 1,", "FIELD(record_kind, 1x, 1,", "not a number"),
            ("record_layout.def", "FIELD(record_kind, 11, 1,", "FIELD(record_kind, 10, 1,", "overlaps record_id"),
            ("record_layout.def", "FIELD(record_kind, 11, 1,", "FIELD(record_kind, 11, 0,", "length 0"),
            ("record_layout.def", "FIELD(age_date,", "FIELD(birth_date,", "field birth_date already"),
            ("edits.def", '"item-value", Error', '"item-value", Fatal', "unknown severity"),
            ("edits.def", '"no-cmg-row"', '"item-value"', "code item-value already"),
        ]
        for name, old, new, reason in cases:
            with self.subTest(name=name, new=new):
                self.refused(name, old, new, reason)


if __name__ == "__main__":
    unittest.main()
