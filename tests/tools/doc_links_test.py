"""The link check of the documents: each kind of broken link is found, and
what is not a link (code, other schemes) is passed over."""

import os
import subprocess
import sys
import tempfile
import unittest

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "doc_links.py")


class LinkCheck(unittest.TestCase):
    def tree(self, files):
        """A scratch tree of FILES (path to text); returns the check's result."""
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        for path, text in files.items():
            full = os.path.join(scratch.name, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w", encoding="utf-8") as f:
                f.write(text)
        return subprocess.run([sys.executable, CHECK, scratch.name], capture_output=True,
                              text=True, check=False)

    def test_good_links_pass(self):
        result = self.tree({
            "README.md": "[guide](docs/guide.md), [its part](docs/guide.md#the-commands-group-and-explain)\n"
                         "![page](docs/page.png) [here](#install)\n\n## Install\n",
            "docs/guide.md": "# Guide\n\n## The commands: `group` and `explain`\n\n"
                             "[up](../README.md) [ref](reference/codes.md) [self](#guide)\n",
            "docs/page.png": "",
            "docs/reference/codes.md": "# Codes\n\n[guide](../guide.md#guide)\n",
        })
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")

    def test_broken_links_are_each_named_with_their_line(self):
        result = self.tree({
            "README.md": "# Top\n\n[gone](docs/gone.md)\n[part](docs/guide.md#no-such-part)\n",
            "docs/guide.md": "# Guide\n\n[up](../READM.md)\n[self](#nowhere)\n",
            "docs/reference/codes.md": "# Codes\n\n[guide](guide.md)\n",
        })
        self.assertEqual(result.returncode, 1)
        for line in ("README.md:3: docs/gone.md (no such file)",
                     "README.md:4: docs/guide.md#no-such-part (no heading #no-such-part)",
                     "docs/guide.md:3: ../READM.md (no such file)",
                     "docs/guide.md:4: #nowhere (no heading #nowhere)",
                     os.path.join("docs", "reference", "codes.md") + ":3: guide.md (no such file)"):
            self.assertIn(line, result.stderr)
        self.assertEqual(len(result.stderr.splitlines()), 5, result.stderr)

    def test_code_and_other_schemes_are_not_links(self):
        result = self.tree({
            "README.md": "# Top\n\n```md\n[in a fence](missing.md)\n```\n"
                         "`[inline](missing.md)` [site](https://example.org/x.md) "
                         "[mail](mailto:someone@example.org)\n",
        })
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_a_link_after_a_closed_fence_is_checked(self):
        result = self.tree({"README.md": "# Top\n\n```\ncode\n```\n[after](missing.md)\n"})
        self.assertEqual(result.returncode, 1)
        self.assertIn("README.md:6: missing.md", result.stderr)


if __name__ == "__main__":
    unittest.main()
