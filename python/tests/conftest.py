"""Shared fixtures: the bundled sample records, the cmg290 command, and the
expected results of `cmg290 group` as a frame of texts."""

import io
import os
import subprocess

import pandas as pd
import pytest

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
