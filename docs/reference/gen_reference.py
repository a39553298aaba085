#!/usr/bin/env python3
"""Writes the reference pages of docs/reference/ from the .def files that the
code itself includes: the status codes (include/cmg290/status.def), the record
layout (include/cmg290/record_layout.def) and the edits
(include/cmg290/edits.def).

  gen_reference.py [--root DIR] [--check]

Without --check the pages are written (only those whose text changed). With
--check nothing is written: the exit code is 1, naming each page and the
command that rewrites it, when a committed page differs from what would be
written. A line of a .def file that is neither a comment, blank, nor a
well-formed row of its macro is an error naming the file and line; nothing is
written then.
"""

import argparse
import os
import re
import sys

REGENERATE = "cmake --build build --target docs_reference"
REGENERATE_DIRECT = "/usr/bin/python3 docs/reference/gen_reference.py"
OUT_DIR = "docs/reference"

STATUS_DEF = "include/cmg290/status.def"
LAYOUT_DEF = "include/cmg290/record_layout.def"
EDITS_DEF = "include/cmg290/edits.def"

# What a status's `reached` says, in a reader's words.
REACHED = {
    "kReachesAll": "CMG, motor score, cognitive score, age",
    "kReachesAge": "age",
    "kReachesNone": "none",
}
SEVERITY = {"Error": "error", "Warning": "warning"}


class DefError(Exception):
    pass


def split_args(text, where):
    """The comma-separated arguments of a macro call, with C string literals
    unescaped (a string argument comes back as ('str', text))."""
    args = []
    k = 0
    n = len(text)
    while True:
        while k < n and text[k] in " \t":
            k += 1
        if k < n and text[k] == '"':
            k += 1
            out = []
            while True:
                if k >= n:
                    raise DefError(f"{where}: unterminated string")
                c = text[k]
                if c == "\\":
                    if k + 1 >= n:
                        raise DefError(f"{where}: unterminated string")
                    esc = text[k + 1]
                    if esc not in '"\\':
                        raise DefError(f"{where}: escape \\{esc} is not taken here")
                    out.append(esc)
                    k += 2
                elif c == '"':
                    k += 1
                    break
                else:
                    out.append(c)
                    k += 1
            args.append(("str", "".join(out)))
        else:
            start = k
            while k < n and text[k] not in ",":
                if text[k] == '"':
                    raise DefError(f"{where}: a string inside a bare argument")
                k += 1
            word = text[start:k].strip()
            if not word:
                raise DefError(f"{where}: empty argument")
            args.append(("bare", word))
        while k < n and text[k] in " \t":
            k += 1
        if k == n:
            return args
        if text[k] != ",":
            raise DefError(f"{where}: expected a comma after argument {len(args)}")
        k += 1


def read_rows(root, path, macro, kinds):
    """Rows of MACRO(...) in PATH, each checked against KINDS ('int', 'name'
    or 'str' per argument)."""
    rows = []
    call = re.compile(r"^" + re.escape(macro) + r"\((.*)\)\s*$")
    with open(os.path.join(root, path), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            where = f"{path}:{number}"
            stripped = line.strip()
            if not stripped or stripped.startswith("//"):
                continue
            m = call.match(stripped)
            if not m:
                raise DefError(f"{where}: not a {macro}(...) row: {stripped}")
            args = split_args(m.group(1), where)
            if len(args) != len(kinds):
                raise DefError(f"{where}: {len(args)} arguments, {macro} takes {len(kinds)}")
            row = []
            for i, ((kind, value), want) in enumerate(zip(args, kinds), 1):
                if want == "str":
                    if kind != "str":
                        raise DefError(f"{where}: argument {i} must be a string")
                    row.append(value)
                elif kind != "bare":
                    raise DefError(f"{where}: argument {i} must not be a string")
                elif want == "int":
                    if not re.fullmatch(r"-?[0-9]+", value):
                        raise DefError(f"{where}: argument {i} is not a number: {value}")
                    row.append(int(value))
                else:
                    if not re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", value):
                        raise DefError(f"{where}: argument {i} is not a name: {value}")
                    row.append(value)
            rows.append((where, row))
    if not rows:
        raise DefError(f"{path}: no {macro}(...) rows")
    return rows


def cell(text):
    """Text for a cell of a Markdown table."""
    return text.replace("\\", "\\\\").replace("|", "\\|").replace("\n", " ")


def header(title, source):
    return (
        f"# {title}\n\n"
        f"<!-- Written by docs/reference/gen_reference.py from {source}; do not edit. Change\n"
        f"     the .def file and run `{REGENERATE}`. -->\n\n"
    )


def unique(rows, index, what):
    seen = {}
    for where, row in rows:
        key = row[index]
        if key in seen:
            raise DefError(f"{where}: {what} {key} already on {seen[key]}")
        seen[key] = where


def status_page(root):
    rows = read_rows(root, STATUS_DEF, "CMG290_STATUS", ["int", "name", "str", "name"])
    unique(rows, 0, "code")
    unique(rows, 1, "name")
    out = [header("Status codes", STATUS_DEF)]
    out.append(
        "Every grouping gives one of these codes. A record with a code other than 0 is not grouped;\n"
        "its result carries real values only in the outputs its code reaches (the others are blank,\n"
        "empty, `null`, `None`, `NA` or NULL, as each front end writes a missing value). The table\n"
        "version is written whenever the version date selects one, whatever the status.\n\n"
    )
    out.append("| code | name | description | outputs reached |\n|---|---|---|---|\n")
    codes = []
    for where, (code, name, description, reached) in rows:
        if reached not in REACHED:
            raise DefError(f"{where}: unknown outputs reached: {reached}")
        codes.append(code)
        out.append(f"| {code} | `{name}` | {cell(description)} | {REACHED[reached]} |\n")
    missing = [c for c in range(min(codes), max(codes) + 1) if c not in codes]
    if missing:
        words = " and ".join(str(c) for c in missing)
        out.append(f"\nThere {'is no code' if len(missing) == 1 else 'are no codes'} {words}.\n")
    out.append(
        "\nThe command's `--strict` rejects a short line with its own status -1, which the library\n"
        "never gives ([command.md](../command.md)).\n"
    )
    return "".join(out)


def layout_page(root):
    rows = read_rows(root, LAYOUT_DEF, "FIELD", ["name", "int", "int", "str"])
    unique(rows, 0, "field")
    out = [header("Record layout", LAYOUT_DEF)]
    out.append(
        "The fields of an assessment record that the grouper reads, by position (the first position\n"
        "is 1), in the order of the layout's rows. A record has 1251 positions; positions that no\n"
        "field covers are never read. The names are those of `cmg290 build` (`--fields` lists the\n"
        "same rows), `build_record`, Python's `cmg290.LAYOUT`, R's `record_layout` and the edits'\n"
        "`field`.\n\n"
    )
    out.append("| field | positions | length | meaning |\n|---|---|---|---|\n")
    spans = []
    for where, (name, first, length, meaning) in rows:
        if first < 1 or length < 1:
            raise DefError(f"{where}: field {name} starts at {first} with length {length}")
        last = first + length - 1
        for other, o_first, o_last in spans:
            if first <= o_last and o_first <= last:
                raise DefError(f"{where}: field {name} overlaps {other}")
        spans.append((name, first, last))
        where_text = str(first) if length == 1 else f"{first}–{last}"
        out.append(f"| `{name}` | {where_text} | {length} | {cell(meaning)} |\n")
    return "".join(out)


def edits_page(root):
    rows = read_rows(root, EDITS_DEF, "CMG290_EDIT", ["name", "str", "name", "str"])
    unique(rows, 0, "edit")
    unique(rows, 1, "code")
    out = [header("Edit codes", EDITS_DEF)]
    out.append(
        "The edits name faults in a record that its status lets pass, beside the result and never\n"
        "changing it. They are listed in the order the checks run, which is the order a record's\n"
        "edits come in. [edits.md](../edits.md) explains each with a record that raises it.\n\n"
    )
    out.append("| code | severity | meaning |\n|---|---|---|\n")
    for where, (_, code, severity, meaning) in rows:
        if severity not in SEVERITY:
            raise DefError(f"{where}: unknown severity: {severity}")
        out.append(f"| `{code}` | {SEVERITY[severity]} | {cell(meaning)} |\n")
    out.append(
        "\n`error`: the result is probably not what was meant; `warning`: suspicious.\n"
    )
    return "".join(out)


PAGES = {
    "status-codes.md": status_page,
    "record-layout.md": layout_page,
    "edit-codes.md": edits_page,
}


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."),
                        help="the source tree (default: the one this script is in)")
    parser.add_argument("--check", action="store_true",
                        help="write nothing; exit 1 when a committed page is not what would be written")
    args = parser.parse_args(argv)
    root = os.path.normpath(args.root)
    try:
        texts = {name: make(root) for name, make in PAGES.items()}
    except (DefError, OSError) as e:
        print(f"gen_reference.py: {e}", file=sys.stderr)
        return 2
    stale = []
    for name, text in texts.items():
        path = os.path.join(root, OUT_DIR, name)
        try:
            with open(path, encoding="utf-8") as f:
                current = f.read()
        except FileNotFoundError:
            current = None
        if current == text:
            continue
        if args.check:
            stale.append(f"{OUT_DIR}/{name}")
        else:
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
            print(f"wrote {OUT_DIR}/{name}")
    if stale:
        for page in stale:
            print(f"{page} is not what the .def files give; run `{REGENERATE}` "
                  f"(or `{REGENERATE_DIRECT}`) and commit it", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
