"""The named rows of the comorbidity tier lists that src/tables/tier/gen_tier_tables.py
writes, and the facts of each list.

Each fact has one home that the C++ build reads as well, and this module reads
it from there:
  include/cmg290/tier_lists.def   each list's data file, the table versions it
                                  serves and its entry count
  src/tables/table_versions.def   the table versions' labels, in order
  src/checks/tier_expected.h      the rows every version holds: the B and C
                                  rows, the first and last D entries, the
                                  entries by which versions differ, the
                                  excluded-RIC counts, the pair and secondary
                                  lists
What only the generator needs is written out below: the excluded-RIC lists it
gives the three-character codes, the late lists' three-character categories,
and the code categories the synthetic D codes keep clear of."""

import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.dirname(os.path.dirname(HERE))
CATALOGUE = os.path.join(os.path.dirname(SRC), "include", "cmg290", "tier_lists.def")
TABLE_VERSIONS = os.path.join(SRC, "tables", "table_versions.def")
EXPECTED = os.path.join(SRC, "checks", "tier_expected.h")

_TOKEN = re.compile(r'\s*("(?:[^"\\]|\\.)*"|[^,"]+?)\s*(?:,|$)')


def _values(text):
    """The values of a comma-separated text of string literals, integers and
    names: "478.31" gives the string 478.31, 946 the number, Single240 and
    281s1 the names."""
    out = []
    for m in _TOKEN.finditer(text.strip()):
        token = m.group(1)
        if token.startswith('"'):
            out.append(token[1:-1])
        elif token.lstrip("-").isdigit():
            out.append(int(token))
        elif token:
            out.append(token)
    return out


def _read(path):
    with open(path, encoding="ascii") as f:
        return f.read()


def _rows(path, macro):
    """The arguments of every MACRO(...) line of a .def file."""
    return [_values(m.group(1))
            for m in re.finditer(rf"^{macro}\((.*)\)\s*$", _read(path), re.MULTILINE)]


# Labels of the table versions, in order.
VERSION_LABELS = [row[1] for row in _rows(TABLE_VERSIONS, "TABLE_VERSION")]


class TierList:
    """One row of the catalogue."""

    def __init__(self, row):
        (self.id, self.token, self.file, self.set_file, self.kind, first, last,
         self.entries) = row[:8]
        self.token = str(self.token)
        i, j = VERSION_LABELS.index(first), VERSION_LABELS.index(last)
        self.versions = VERSION_LABELS[i:j + 1]


CATALOGUE_LISTS = [TierList(row) for row in _rows(CATALOGUE, "CMG290_TIER_LIST")]
LISTS = {l.token: l for l in CATALOGUE_LISTS}


def _arrays(text):
    """The constants of tier_expected.h: each array as a list of its rows
    (a row of several values as a tuple, of one as the value), each scalar
    as its value."""
    out = {}
    for m in re.finditer(r"inline constexpr [\w:<>, ]+? (k\w+)(\[\])? =\s*(\{.*?\});|"
                         r"inline constexpr [\w:]+ (k\w+) = ([^;{]+);", text, re.DOTALL):
        if m.group(1):
            body = m.group(3)[1:-1]
            groups = re.findall(r"\{([^{}]*)\}", body)
            out[m.group(1)] = ([tuple(_values(g)) for g in groups] if groups else _values(body))
        else:
            out[m.group(4)] = _values(m.group(5))[0]
    return out


_EXPECTED = _arrays(_read(EXPECTED))


def unfill(code):
    return code.rstrip("^")


def fill(code):
    return code + "^" * (8 - len(code))


def _code_rics(name, keep_fill=False):
    return [(c if keep_fill else unfill(c), r) for c, _, r in _EXPECTED[name]]


# ---------------------------------------------------------------------------
# Versions 2.40, 2.50 and 2.60 (ICD-9-CM codes, RIC lists without blanks)

EARLY_BC = list(_EXPECTED["kEarlyRows"])

# D entries of 2.40 that are named: the first three, the last three, and the
# codes that later versions drop.
EARLY_D_NAMED_240 = (_code_rics("kEarlyFirstD") + _code_rics("kEarlyLastD240")
                     + _code_rics("kDrop250") + _code_rics("kDrop260"))

# The excluded-RIC list we give each three-character code of the early lists
# (stroke codes excluded for RIC 01, pneumonias and chronic lung disease for
# RIC 15); the codes are tier_expected.h's.
EARLY_THREE_CHAR_RICS = {
    "037.": " ", "042.": " ", "048.": " ", "430.": "01", "431.": "01", "436.": "01",
    "449.": " ", "452.": " ", "481.": "15", "485.": "15", "486.": "15", "514.": "15",
    "515.": "15", "570.": " ",
}
assert sorted(EARLY_THREE_CHAR_RICS) == sorted(_EXPECTED["kEarlyThreeChar"])
EARLY_THREE_CHAR = [(c, EARLY_THREE_CHAR_RICS[c]) for c in _EXPECTED["kEarlyThreeChar"]]

DROP_250 = [c for c, _ in _code_rics("kDrop250")]
ADD_250 = _code_rics("kAdd250")
DROP_260 = [c for c, _ in _code_rics("kDrop260")]
ADD_260 = _code_rics("kAdd260")

EARLY_RIC_COUNTS_240 = {rics: n240 for rics, n240, _, _ in _EXPECTED["kEarlyRicCounts"]}
EARLY_ENTRIES_240 = LISTS["240"].entries

# Categories that only the fixed rows use: those of the named codes and of
# every code that some version adds or drops, so that no synthetic code
# collides with them or turns one of them into a non-leaf code.
EARLY_RESERVED = {"011", "041", "284", "415", "438", "478", "488", "516", "518", "579",
                  "780", "787", "793", "998", "999"} | {c[:3] for c, _ in EARLY_THREE_CHAR}


# ---------------------------------------------------------------------------
# Versions 2.82 and 2.90 (ICD-10-CM codes filled with "^", RIC lists with a
# blank after each comma)

LATE_BC = [(unfill(c), t, r) for c, t, r in _EXPECTED["kLateRows"]]

DIABETES_FAMILIES = list(_EXPECTED["kDiabetesFamilies"])
DIABETES_SUFFIXES = [s.lstrip(".") for s in _EXPECTED["kDiabetesSuffixes"]]
DIABETES_FINAL = "".join(_EXPECTED["kDiabetesFinal"])
I60_TEN = [unfill(c) for c in _EXPECTED["kI60Codes"]]
I60_RICS = _EXPECTED["kI60Rics"]

# D entries of both late lists that are named (the first three and the last
# three), then those of 2.82 only and of 2.90 only.
LATE_D_NAMED_BOTH = _code_rics("kLateFirstD") + _code_rics("kLateLastD")
LATE_D_ONLY_281 = (
    [(f"{fam}.{suf}", " ") for fam in DIABETES_FAMILIES for suf in DIABETES_SUFFIXES]
    + _code_rics("kDrop290")
)
LATE_D_ONLY_290 = (
    [(f"{fam}.{suf}{d}", " ") for fam in DIABETES_FAMILIES for suf in DIABETES_SUFFIXES
     for d in DIABETES_FINAL]
    + _code_rics("kAdd290")
)

# The three-character categories of both late lists, with the excluded-RIC
# list we give each.
LATE_THREE_CHAR = [
    ("A35.", " "), ("A46.", " "), ("B20.", " "), ("E40.", " "), ("E41.", " "),
    ("E42.", " "), ("E43.", " "), ("G01.", "03"), ("G07.", "03"), ("G09.", "03"),
    ("G35.", "06"), ("I81.", " "), ("J13.", "15"), ("J14.", "15"), ("J22.", "15"),
    ("J60.", "15"), ("J80.", "15"), ("K36.", " "), ("K37.", " "), ("N19.", " "),
]
assert len(LATE_THREE_CHAR) == _EXPECTED["kLateThreeCharCount"]
assert fill(LATE_THREE_CHAR[0][0]) == _EXPECTED["kLateThreeCharNamed"]

LATE_RIC_COUNTS_281 = {rics: n282 for rics, n282, _ in _EXPECTED["kLateRicCounts"]}
LATE_ENTRIES_281 = LISTS["281s1"].entries

PAIRS = [(unfill(a), unfill(b), r) for a, b, _, r in _EXPECTED["kPairs"]]
SECONDARY = _code_rics("kSecondary")

# Categories that only the fixed rows use (see EARLY_RESERVED), plus every
# category of the pair list. Synthetic late codes lie strictly between A15
# and T87, so that the named first and last D entries stay first and last.
LATE_RESERVED = ({"A04", "B96", "I69", "J38", "K91", "R13", "I60", "I63", "J98", "K55"}
                 | set(DIABETES_FAMILIES)
                 | {c[:3] for c, _ in LATE_THREE_CHAR}
                 | {c[:3] for p in PAIRS for c in p[:2]})
