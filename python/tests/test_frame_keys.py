"""The columns an analysis groups by: each record's id (``id=``), the
CMG's tier letter and RIC, and the text columns as categoricals."""

import pathlib
import subprocess

import numpy as np
import pandas as pd
import pytest

import cmg290
from conftest import read_cli_csv

CATEGORICAL = ("description", "cmg", "tier", "ric", "table_version", "grouper_version")


def expected_ids(records, start, length):
    # Positions past a record's end read as blanks, as the command writes them.
    return [r[start - 1:start - 1 + length].decode("latin-1").ljust(length) for r in records]


@pytest.fixture(scope="module")
def odd_records(example_records):
    """The samples, and records that end within or before the id or hold odd
    bytes in it."""
    first = example_records[0]
    return list(example_records) + [first[:14], b"IRF", b"", first[:11] + b"\x00\xe9,;\"" + first[16:]]


def test_the_id_is_the_first_column_on_every_kind_of_input(odd_records, tmp_path):
    expected = expected_ids(odd_records, 12, 10)
    frame = cmg290.group_frame(odd_records, id=(12, 10))
    assert list(frame.columns) == ["id", *cmg290.COLUMNS]
    assert frame["id"].dtype == object and frame["id"].tolist() == expected
    without = cmg290.group_frame(odd_records)
    pd.testing.assert_frame_equal(frame.drop(columns="id"), without)
    as_str = [r.decode("latin-1") for r in odd_records]
    for records in (as_str, np.array(odd_records[:-1], dtype="S1251"), pd.Series(as_str),
                    np.array(as_str, dtype=object)):
        for workers in (1, 3):
            got = cmg290.group_frame(records, workers=workers, id=[12, 10])
            assert got["id"].tolist() == expected[:len(records)]
    # A file where it lies; its empty line is no record.
    path = tmp_path / "records.txt"
    path.write_bytes(b"\n".join(odd_records))
    lines = [r for r in odd_records if r]
    frame = cmg290.group_frame(path, id=(12, 10), edits=True)
    assert frame["id"].tolist() == expected_ids(lines, 12, 10)
    # As the command's columns: the line, then the id.
    assert list(frame.columns[:2]) == ["line", "id"] and frame.columns[-1] == "edits"
    # A one-position id at the last position a record holds.
    assert cmg290.group_frame([b"x" * 1250 + b"Z", b"x"], id=(1251, 1))["id"].tolist() == ["Z", " "]
    # No records: the same columns, as a Dask meta needs.
    assert list(cmg290.group_frame([], id=(12, 10)).columns) == list(got.columns)


def test_ids_are_those_the_command_writes(cli, example_records, tmp_path):
    path = tmp_path / "records.txt"
    path.write_bytes(b"\n".join(example_records) + b"\n")
    run = subprocess.run([cli, "group", "-q", "--id", "3:9", str(path)], capture_output=True,
                         check=True)
    expected = read_cli_csv(run.stdout.decode("latin-1"))
    frame = cmg290.group_frame(pathlib.Path(path), id=(3, 9))
    assert frame["id"].tolist() == expected["id"].tolist()
    cells = frame[["cmg"]].astype(object).fillna("")
    assert cells["cmg"].tolist() == expected["cmg"].tolist()


@pytest.mark.parametrize("bad, error", [
    ("12:10", TypeError), (12, TypeError), ((12,), TypeError), ((1, 2, 3), TypeError),
    ((1.5, 2), TypeError), ((True, 3), TypeError), ((1, "2"), TypeError), ((None, 2), TypeError),
    ((0, 5), ValueError), ((1, 0), ValueError), ((-1, 2), ValueError), ((1250, 3), ValueError),
    ((1252, 1), ValueError), ((2**70, 1), ValueError),
])
def test_a_bad_id_is_refused_before_anything_is_grouped(bad, error, tmp_path):
    # The records are bad too, and the file missing: the id is looked at first.
    with pytest.raises(error, match="id"):
        cmg290.group_frame([b"IRF-PAI", None], id=bad)
    with pytest.raises(error, match="id"):
        cmg290.group_frame(tmp_path / "missing.txt", id=bad)
    with pytest.raises(error, match="id"):
        cmg290.edits_frame([None], id=bad)


def test_numpy_integers_make_an_id():
    frame = cmg290.group_frame([b"abcdef"], id=(np.int64(2), np.int32(3)))
    assert frame["id"].tolist() == ["bcd"]


def test_edits_frame_names_each_record_by_its_id(odd_records):
    by_position = cmg290.edits_frame(odd_records, workers=2)
    by_id = cmg290.edits_frame(odd_records, workers=2, id=(12, 10))
    ids = expected_ids(odd_records, 12, 10)
    assert by_id["record"].dtype == object
    assert by_id["record"].tolist() == [ids[i] for i in by_position["record"]]
    pd.testing.assert_frame_equal(by_id.drop(columns="record"), by_position.drop(columns="record"))
    empty = cmg290.edits_frame([], id=(1, 5))
    assert list(empty.columns) == list(by_id.columns) and len(empty) == 0


def test_tier_and_ric_are_the_cmgs_letter_and_its_two_first_digits(example_records):
    frame = cmg290.group_frame(example_records)
    cmg = frame["cmg"].astype(object)
    grouped = cmg.notna()
    assert grouped.any() and not grouped.all()
    assert (frame["tier"].astype(object)[grouped] == cmg[grouped].str[0]).all()
    full = cmg.str.len() == 5
    assert (frame["ric"].astype(object)[full] == cmg[full].str[1:3]).all()
    # A tier letter alone (no CMG row fits; the samples hold two) has no RIC.
    alone = grouped & ~full
    assert alone.sum() == 2 and frame["ric"][alone].isna().all()
    assert frame["tier"][~grouped].isna().all() and frame["ric"][~grouped].isna().all()


def test_text_columns_are_categoricals_with_the_same_categories_in_every_frame(example_records):
    one = cmg290.group_frame(example_records[:1], edits=True)
    every = cmg290.group_frame(example_records, edits=True)
    none = cmg290.group_frame([])
    for name in CATEGORICAL:
        assert isinstance(one[name].dtype, pd.CategoricalDtype), name
        assert one[name].dtype == every[name].dtype == none[name].dtype, name
        assert every[name].cat.categories.is_unique, name
        assert set(every[name].dropna()) <= set(every[name].cat.categories), name
    assert list(every["tier"].cat.categories) == ["A", "B", "C", "D"]
    assert "unknown status" in list(every["description"].cat.categories)
    assert every["edits"].dtype == object
    # Each record's texts are those it gets alone.
    for record, row in zip(example_records, every.itertuples(index=False)):
        r = cmg290.group(record)
        assert (row.description, row.table_version) == (r.description,
                                                        r.table_version or row.table_version)
