"""Shared fixtures: the bundled sample records, the cmg290 command, the
expected results of `cmg290 group` as a frame of texts, and tier-table sets
on disk."""

import csv
import io
import os
import subprocess

import pandas as pd
import pytest

import cmg290

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
EXAMPLES = os.environ.get("CMG290_EXAMPLES", os.path.join(SOURCE, "examples", "assessments.txt"))
GOLDEN_CSV = os.path.join(SOURCE, "tests", "cli", "golden", "assessments.csv")


@pytest.fixture(scope="session")
def example_records():
    """The sample records as bytes, one per line."""
    with open(EXAMPLES, "rb") as f:
        return f.read().splitlines()


@pytest.fixture(scope="session")
def cli():
    """Path of the built cmg290 command; tests that need it skip without it."""
    path = os.environ.get("CMG290_CLI")
    if not path or not os.path.exists(path):
        pytest.skip("the cmg290 command is not built")
    return path


def read_cli_csv(text):
    """`cmg290 group` CSV as texts, empty cells as empty strings."""
    return pd.read_csv(io.StringIO(text), dtype=str, keep_default_na=False)


def cli_results(cli, path):
    """Runs `cmg290 group` on a file; its CSV as texts."""
    run = subprocess.run(
        [cli, "group", "-q", path], capture_output=True, text=True, encoding="latin-1"
    )
    assert run.returncode in (0, 1), run.stderr
    return read_cli_csv(run.stdout)


def assert_frame_matches_cli(frame, expected):
    """Field by field: a frame of group_frame against `cmg290 group` CSV, whose
    empty cells are the outputs the grouping did not reach."""
    assert len(frame) == len(expected)

    def texts(column):
        return [None if v == "" else v for v in expected[column]]

    def numbers(column, kind):
        return [None if v == "" else kind(v) for v in expected[column]]

    def values(column):
        return [None if pd.isna(v) else v for v in frame[column]]

    assert list(frame["status"]) == [int(v) for v in expected["status"]]
    assert list(frame["description"]) == list(expected["description"])
    assert values("cmg") == texts("cmg")
    assert values("motor_score") == numbers("motor_score", float)
    assert values("cognitive_score") == numbers("cognitive_score", int)
    assert values("age") == numbers("age", int)
    assert values("table_version") == texts("table_version")
    assert list(frame["grouper_version"]) == list(expected["grouper_version"])


def read_set_list(directory, file):
    """A list of a tier-table set on disk: its header and its rows, each a list
    of cells (no cell of the exported lists holds a comma but excluded RICs,
    which are quoted)."""
    with open(os.path.join(directory, file), newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], rows[1:]


def write_set_list(directory, file, header, rows):
    """Writes a single-code list back in the order a set's lists keep: B, C,
    then D entries, each group in ascending byte order of the code."""
    rows = sorted(rows, key=lambda r: (r[1], r[0].encode()))
    with open(os.path.join(directory, file), "w", newline="") as f:
        csv.writer(f, lineterminator="\n").writerows([header] + rows)


def make_set(directory, retier=None):
    """The compiled-in set written into `directory`; with `retier` (single-2.90
    code to new tier), those rows of single-2.90.csv moved to the new tier."""
    cmg290.compiled_tier_set().write(directory)
    if retier:
        header, rows = read_set_list(directory, "single-2.90.csv")
        for row in rows:
            row[1] = retier.get(row[0], row[1])
        write_set_list(directory, "single-2.90.csv", header, rows)
    return str(directory)
