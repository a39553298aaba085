#!/usr/bin/python3
"""cmg290 report against figures computed here, on their own, from
`cmg290 group --edits -f jsonl` over the same records, and the HTML page's
tables against the JSON.

    report_figures_test.py CMG290 SOURCE_DIR SCRATCH_DIR

The records: 100,000 sample records, and a small gzip file holding an
empty line, so that line numbers, inputs and empty lines are checked too.
The weights: every pair the tool asks for when given a file of a header
alone (its complaints name them), with made-up numbers, some without an
average length of stay.
"""
import collections
import gzip
import html.parser
import json
import os
import re
import shutil
import subprocess
import sys

TOOL, SOURCE, SCRATCH = sys.argv[1:4]
RECORDS = 100_000
FIRST_LINES = 10
TOP_CMGS = 20

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def run(*args, ok=(0,)):
    p = subprocess.run([TOOL, *args], capture_output=True, text=True)
    if p.returncode not in ok:
        sys.exit(f"cmg290 {' '.join(args)}: exit {p.returncode}\n{p.stderr}")
    return p


def field_position(name):
    """(first position, length) of a field, from the record layout's rows."""
    path = os.path.join(SOURCE, "include", "cmg290", "record_layout.def")
    for line in open(path):
        m = re.match(r"FIELD\((\w+), (\d+), (\d+),", line)
        if m and m.group(1) == name:
            return int(m.group(2)), int(m.group(3))
    sys.exit(f"no field {name} in {path}")


# ---- the records ----
shutil.rmtree(SCRATCH, ignore_errors=True)
os.makedirs(SCRATCH)
big = os.path.join(SCRATCH, "big.txt")
small = os.path.join(SCRATCH, "small.txt.gz")
run("sample", "--count", str(RECORDS), "--seed", "7", "-o", big)
with open(big) as f:
    head = [next(f) for _ in range(5)]
with gzip.open(small, "wt") as f:
    f.write(head[0] + "\n" + "".join(head[1:]))
inputs = [big, small]

# ---- the weights: the pairs the tool requires, from its complaints ----
weights = os.path.join(SCRATCH, "weights.csv")
with open(weights, "w") as f:
    f.write("cmg,tier,weight,average_los\n")
refused = run("report", big, "-o", os.path.join(SCRATCH, "no.html"), "--weights", weights, ok=(2,))
pairs = re.findall(r": no weight for cmg (\d{4}) tier ([A-D])\n", refused.stderr)
check(len(pairs) >= 4 * 20, f"the pairs asked for: {len(pairs)}")
check(not os.path.exists(os.path.join(SCRATCH, "no.html")), "refused weights: no page")
table = {}
with open(weights, "w") as f:
    f.write("cmg,tier,weight,average_los\n")
    for i, (cmg, tier) in enumerate(pairs):
        weight = round(0.5 + (i * 37 % 100) / 73, 4)
        los = "" if i % 7 == 0 else str(5 + i % 23) + ".5"
        table[(cmg, tier)] = (weight, float(los) if los else None)
        f.write(f"{cmg},{tier},{weight},{los}\n")

# ---- the figures from group's JSON Lines ----
jsonl = os.path.join(SCRATCH, "results.jsonl")
grouped_run = run("group", "--edits", "-f", "jsonl", "-o", jsonl, *inputs)
placeholders = int(re.search(r"tier letter from placeholder rows: ([\d,]+)",
                             grouped_run.stderr).group(1).replace(",", ""))

start, length = field_position("version_date")


def version_dates(path):
    """The version date of every line that is not empty, by line number."""
    opener = gzip.open if path.endswith(".gz") else open
    dates = {}
    with opener(path, "rt") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n").rstrip("\r")
            if line:
                dates[number] = line[start - 1:start - 1 + length]
    return dates


dates = {p: version_dates(p) for p in inputs}


def month_of(text):
    if not re.fullmatch(r"\d{8}", text):
        return None
    if not (1 <= int(text[4:6]) <= 12 and 1 <= int(text[6:8]) <= 31):
        return None
    return text


def bin_of(value, edges):
    """Bin 0 below edges[0], bin i from edges[i-1], the last from edges[-1]."""
    return sum(1 for e in edges if value >= e)


EDGES = {"motor_score": [5 + 5 * i for i in range(16)],
         "cognitive_score": [10, 15, 20, 25, 30, 35],
         "age": [10 * i for i in range(1, 11)]}

want = collections.Counter()
status = collections.Counter()
tiers = collections.Counter()
rics = collections.defaultdict(collections.Counter)
ric_hist = collections.defaultdict(lambda: {k: [0] * (len(e) + 1) for k, e in EDGES.items()})
hist = {k: [0] * (len(e) + 1) for k, e in EDGES.items()}
cmgs = collections.defaultdict(collections.Counter)
months = collections.Counter()
versions = collections.Counter()
edit_records = collections.Counter()
edit_occurrences = collections.Counter()
edit_fields = collections.defaultdict(collections.Counter)
edit_lines = collections.defaultdict(list)
with_edits = 0
first_date = last_date = None
not_a_date = 0
files = collections.Counter()
# case-mix sums: key -> [weighted, weight sum, unweighted, los records, los sum]
mix = collections.defaultdict(lambda: [0, 0.0, 0, 0, 0.0])

with open(jsonl) as f:
    for row in map(json.loads, f):
        files[row["file"]] += 1
        status[str(row["status"])] += 1
        date = month_of(dates[row["file"]][row["line"]])
        if date is None:
            not_a_date += 1
        else:
            first_date = min(first_date or date, date)
            last_date = max(last_date or date, date)
            months[f"{date[:4]}-{date[4:6]}"] += 1
        version = row["table_version"] or None
        versions[version] += 1
        codes = set()
        for e in row["edits"]:
            codes.add(e["code"])
            edit_occurrences[e["code"]] += 1
            edit_fields[e["code"]][e["field"] or "(record)"] += 1
        if codes:
            with_edits += 1
        for c in codes:
            edit_records[c] += 1
            if len(edit_lines[c]) < FIRST_LINES:
                edit_lines[c].append({"file": row["file"], "line": row["line"]})
        if row["status"] != 0:
            continue
        cmg = row["cmg"]
        tiers[cmg[0]] += 1
        values = {"motor_score": round(row["motor_score"] * 10), "cognitive_score":
                  row["cognitive_score"], "age": row["age"]}
        for k, e in EDGES.items():
            scale = 10 if k == "motor_score" else 1
            hist[k][bin_of(values[k], [x * scale for x in e])] += 1
        keys = ["all", ("version", version)] + ([("month", date[:4] + "-" + date[4:6])] if date else [])
        if len(cmg) == 5:
            ric = cmg[1:3]
            rics[ric][cmg[0]] += 1
            cmgs[cmg[1:]][cmg[0]] += 1
            for k, e in EDGES.items():
                scale = 10 if k == "motor_score" else 1
                ric_hist[ric][k][bin_of(values[k], [x * scale for x in e])] += 1
            keys.append(("ric", ric))
        pair = table.get((cmg[1:], cmg[0])) if len(cmg) == 5 else None
        for k in keys:
            m = mix[k]
            if pair is None:
                m[2] += 1
                continue
            m[0] += 1
            m[1] += pair[0]
            if pair[1] is not None:
                m[3] += 1
                m[4] += pair[1]

# ---- the report ----
page = os.path.join(SCRATCH, "report.html")
report_json = os.path.join(SCRATCH, "report.json")
run("report", *inputs, "-o", page, "--json", report_json, "--weights", weights, "-j", "2")
got = json.load(open(report_json))

records = sum(files.values())
check(got["records"] == records, f"records {got['records']} != {records}")
check(got["empty_lines"] == 1, f"empty_lines {got['empty_lines']}")
check(got["grouped"] == status["0"], "grouped")
check(got["inputs"] == [{"name": p, "records": files[p]} for p in inputs], "inputs")
check({k: v for k, v in got["status"].items() if v} == dict(status), f"status {got['status']}")
check(got["tiers"] == {t: tiers[t] for t in "ABCD"}, f"tiers {got['tiers']}")
check(got["placeholder_tiers"] == placeholders, "placeholder_tiers")
check(got["version_dates"] == {"first": first_date, "last": last_date, "not_a_date": not_a_date},
      f"version_dates {got['version_dates']}")
check([(m["month"], m["records"]) for m in got["months"]] == sorted(months.items()), "months")
check({v["version"]: v["records"] for v in got["table_versions"]} == dict(versions),
      "table_versions")
for k in EDGES:
    check(got["histograms"][k]["records"] == hist[k], f"histogram {k}")
check([r["ric"] for r in got["rics"]] == sorted(rics), "the RICs")
for r in got["rics"]:
    check(r["tiers"] == {t: rics[r["ric"]][t] for t in "ABCD"}, f"RIC {r['ric']} tiers")
    check(r["records"] == sum(rics[r["ric"]].values()), f"RIC {r['ric']} records")
    check(r["histograms"] == ric_hist[r["ric"]], f"RIC {r['ric']} histograms")
top = sorted(cmgs.items(), key=lambda kv: (-sum(kv[1].values()), kv[0]))[:TOP_CMGS]
check(got["distinct_cmgs"] == len(cmgs), "distinct_cmgs")
check([(c["cmg"], c["records"], c["tiers"]) for c in got["top_cmgs"]] ==
      [(c, sum(n.values()), {t: n[t] for t in "ABCD"}) for c, n in top], "top_cmgs")
check(got["edits"]["records_with_edits"] == with_edits, "records_with_edits")
check(len(got["edits"]["codes"]) == len(edit_records), "edit codes")
for e in got["edits"]["codes"]:
    c = e["code"]
    check(e["records"] == edit_records[c], f"edit {c} records")
    check(e["occurrences"] == edit_occurrences[c], f"edit {c} occurrences")
    check(e["fields"] == dict(edit_fields[c]), f"edit {c} fields")
    check(e["first_lines"] == edit_lines[c], f"edit {c} first lines {e['first_lines']}")


def close(a, b):
    return (a is None and b is None) or (a is not None and b is not None and abs(a - b) < 1e-9)


def check_mix(member, key, what):
    m = mix[key]
    cmi = m[1] / m[0] if m[0] else None
    check(close(member["case_mix_index"], cmi), f"{what} case_mix_index")
    check(member["weighted_records"] == m[0], f"{what} weighted_records")
    check(member["unweighted_records"] == m[2], f"{what} unweighted_records")
    days = member["expected_days"]
    check(days["records"] == m[3] and abs(days["sum"] - m[4]) < 1e-6, f"{what} expected_days")


check(close(got["case_mix_index"], mix["all"][1] / mix["all"][0]), "case_mix_index")
check_mix(got["case_mix"], "all", "overall")
for r in got["rics"]:
    check_mix(r, ("ric", r["ric"]), f"RIC {r['ric']}")
for m in got["months"]:
    check_mix(m, ("month", m["month"]), f"month {m['month']}")
for v in got["table_versions"]:
    check_mix(v, ("version", v["version"]), f"version {v['version']}")
check(got["weights"]["pairs"] == len(table), "weights pairs")
import hashlib
check(got["weights"]["sha256"] == hashlib.sha256(open(weights, "rb").read()).hexdigest(),
      "weights sha256")


# ---- the page against the JSON ----
class Tables(html.parser.HTMLParser):
    """Every table by its id, as rows of cell texts; and every attribute."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tables, self.attributes, self.tags = {}, [], collections.Counter()
        self.table = self.row = self.cell = None

    def handle_starttag(self, tag, attrs):
        self.tags[tag] += 1
        self.attributes += [(tag, k, v or "") for k, v in attrs]
        if tag == "table":
            self.table = self.tables.setdefault(dict(attrs).get("id"), [])
        elif tag == "tr" and self.table is not None:
            self.row = []
            self.table.append(self.row)
        elif tag in ("td", "th") and self.row is not None:
            self.cell = ""

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.row.append(self.cell.strip())
            self.cell = None
        elif tag == "table":
            self.table = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


text = open(page, encoding="utf-8").read()
parsed = Tables()
parsed.feed(text)
t = parsed.tables


def n(cell):
    return int(cell.replace(",", ""))


def fmt4(x):
    return "\u2013" if x is None else f"{x:.4f}"


def body(name):
    return t[name][1:]  # past the header row


check([(r[0], n(r[2])) for r in body("status")] ==
      [(k, v) for k, v in got["status"].items()], "page: status")
check([(r[0], n(r[1])) for r in body("tiers")] == list(got["tiers"].items()), "page: tiers")
check([(r[0], n(r[1]), [n(x) for x in r[2:6]]) for r in body("rics")] ==
      [(r["ric"], r["records"], list(r["tiers"].values())) for r in got["rics"]], "page: rics")
check([r[6:10] for r in body("rics")] ==
      [[f"{100 * v / r['records']:.1f}" for v in r["tiers"].values()] for r in got["rics"]],
      "page: tier shares per RIC")
check([r[2] for r in body("tiers")] ==
      [f"{100 * v / got['grouped']:.1f}" for v in got["tiers"].values()], "page: tier shares")
check([(r[0], n(r[1])) for r in body("top-cmgs")] ==
      [(c["cmg"], c["records"]) for c in got["top_cmgs"]], "page: top-cmgs")
for k in EDGES:
    check([n(r[1]) for r in body("hist-" + k)] == got["histograms"][k]["records"], f"page: {k}")
    check([r[0] for r in body("hist-" + k)] == got["histograms"][k]["labels"], f"page: {k} bins")
    check([[n(x) for x in r[1:]] for r in body("ric-hist-" + k)] ==
          [r["histograms"][k] for r in got["rics"]], f"page: {k} per RIC")
check([(r[0], n(r[1]), r[2]) for r in body("months")] ==
      [(m["month"], m["records"], fmt4(m["case_mix_index"])) for m in got["months"]],
      "page: months")
check([(r[0], n(r[1])) for r in body("table-versions")] ==
      [(v["version"] or "none", v["records"]) for v in got["table_versions"]],
      "page: table-versions")
check([(r[0], n(r[2]), n(r[3])) for r in body("edits")] ==
      [(e["code"], e["records"], e["occurrences"]) for e in got["edits"]["codes"]],
      "page: edits")
for e in got["edits"]["codes"]:
    rows = body("edit-fields-" + e["code"])
    check({("(record)" if r[0].startswith("(") else r[0]): n(r[1]) for r in rows} == e["fields"],
          f"page: fields of {e['code']}")
check([(r[0], r[1]) for r in body("cmi-rics")] ==
      [(r["ric"], fmt4(r["case_mix_index"])) for r in got["rics"]], "page: cmi-rics")
summary = {r[0]: r[1] for r in body("case-mix")}
check(summary["Case-mix index"] == fmt4(got["case_mix_index"]), "page: case-mix index")
check(summary["Weights file SHA-256"] == got["weights"]["sha256"], "page: weights digest")
check(n({r[0]: r[1] for r in body("summary")}["Records"]) == got["records"], "page: records")

# Self-contained: a policy that fetches nothing, no script, nothing from elsewhere.
check(re.search(r'<meta http-equiv="Content-Security-Policy" content="default-src \'none\';',
                text) is not None, "page: no Content-Security-Policy")
check(parsed.tags["script"] == 0 and parsed.tags["link"] == 0 and parsed.tags["img"] == 0,
      "page: a script, link or image element")
check(not re.search(r"https?:", text), "page: an http(s): reference")
for tag, name, value in parsed.attributes:
    check(name not in ("src", "href", "srcset", "action") or value.startswith("data:"),
          f"page: {tag} {name}={value}")
check(len(text) < 3_000_000, f"page: {len(text)} bytes")

if failures:
    print("\n".join(failures))
    print(f"0 passed, {len(failures)} failed")
    sys.exit(1)
shutil.rmtree(SCRATCH, ignore_errors=True)
print("1 passed, 0 failed")
