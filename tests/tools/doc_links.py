#!/usr/bin/env python3
"""Checks the relative links of README.md and every page under docs/: the file
a link names must exist, and a #fragment of a link to a Markdown page must be
one of that page's headings. Links inside code are not links; links with a
scheme (https:, mailto:) are not checked.

  doc_links.py [ROOT]      (default: the source tree this script is in)

Prints each broken link as FILE:LINE: target, and exits 1 when there is one.
"""

import os
import re
import sys

LINK = re.compile(r"\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
FENCE = re.compile(r"^\s*(```|~~~)")
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*#*\s*$")


def slug(heading):
    """The anchor a heading gets: lower case, punctuation but hyphens and
    underscores dropped, blanks as hyphens."""
    text = heading.strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def prose_lines(path):
    """(number, line) of the lines outside fenced code, with inline code
    spans blanked out."""
    fenced = False
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if FENCE.match(line):
                fenced = not fenced
                continue
            if not fenced:
                yield number, re.sub(r"`[^`]*`", "", line)


def anchors(path):
    """The anchors of a page's headings (code spans count: read them whole)."""
    found = set()
    counts = {}
    fenced = False
    with open(path, encoding="utf-8") as f:
        for line in f:
            if FENCE.match(line):
                fenced = not fenced
                continue
            m = None if fenced else HEADING.match(line)
            if m:
                base = slug(m.group(1))
                n = counts.get(base, 0)
                counts[base] = n + 1
                found.add(base if n == 0 else f"{base}-{n}")
    return found


def pages(root):
    yield os.path.join(root, "README.md")
    for folder, _, files in os.walk(os.path.join(root, "docs")):
        for name in sorted(files):
            if name.endswith(".md"):
                yield os.path.join(folder, name)


def broken_links(root):
    broken = []
    for page in pages(root):
        here = os.path.dirname(page)
        shown = os.path.relpath(page, root)
        for number, line in prose_lines(page):
            for target in LINK.findall(line):
                if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                    continue
                path, _, fragment = target.partition("#")
                full = os.path.normpath(os.path.join(here, path)) if path else page
                if not os.path.exists(full):
                    broken.append(f"{shown}:{number}: {target} (no such file)")
                elif fragment and full.endswith(".md") and fragment not in anchors(full):
                    broken.append(f"{shown}:{number}: {target} (no heading #{fragment})")
    return broken


def main(argv):
    root = argv[0] if argv else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    broken = broken_links(os.path.normpath(root))
    for line in broken:
        print(line, file=sys.stderr)
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
