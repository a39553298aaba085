"""cmg290.read_records: a file of records into an S1251 array."""

import os
import pathlib

import numpy as np
import pytest

import cmg290
from conftest import EXAMPLES

N = cmg290.RECORD_LENGTH


def written(tmp_path, data, name="records.txt"):
    path = tmp_path / name
    path.write_bytes(data)
    return path


def test_lines_are_read_with_the_rules_of_cmg290_group(tmp_path, example_records):
    record = example_records[0]
    data = (record + b"\r\n"            # CRLF
            + b"\n" + b"\r\n"          # empty lines, skipped
            + b"IRF-PAI short\n"       # blank-filled
            + record + b"EXTRA\n"      # positions after 1251 dropped
            + b"\x00\xff\r\x01 \r\n"   # any byte kept; only the \r before \n is a line end
            + record)                  # a last line without a line end counts
    records = cmg290.read_records(written(tmp_path, data))
    assert records.dtype == np.dtype("S1251") and records.shape == (5,)
    raw = records.view(np.uint8).reshape(5, N).tobytes()
    assert [raw[i * N:(i + 1) * N] for i in range(5)] == [
        record,
        b"IRF-PAI short".ljust(N),
        record,
        b"\x00\xff\r\x01 ".ljust(N),
        record,
    ]


def test_the_sample_file_groups_as_its_lines(example_records):
    frame = cmg290.group_frame(cmg290.read_records(EXAMPLES))
    assert frame.equals(cmg290.group_frame(example_records))


def test_lines_longer_than_a_read_and_many_chunks(tmp_path, example_records):
    # A 3 MB line, longer than the reader's chunks, keeps its first 1251 bytes;
    # 3,000 records cross many chunk borders.
    huge = b"IRF-PAI" + b"7" * 3_000_000
    data = huge + b"\n" + b"\n".join(example_records * 100) + b"\n"
    records = cmg290.read_records(written(tmp_path, data))
    assert len(records) == 1 + 30 * 100
    assert records[0] == huge[:N]
    assert list(records[1:31]) == [r.ljust(N) for r in example_records]
    assert records[-1] == example_records[-1].ljust(N)


def test_empty_files_and_paths_of_every_kind(tmp_path):
    path = written(tmp_path, b"")
    for p in (path, str(path), os.fsencode(path), pathlib.PurePath(path)):
        assert cmg290.read_records(p).shape == (0,)
    assert cmg290.read_records(written(tmp_path, b"\n\r\n\n", "blank.txt")).shape == (0,)


def test_files_that_cannot_be_read_raise_oserror_naming_them(tmp_path):
    missing = tmp_path / "no such file.txt"
    with pytest.raises(FileNotFoundError, match="no such file.txt") as e:
        cmg290.read_records(missing)
    assert e.value.filename == missing
    with pytest.raises(IsADirectoryError) as e:
        cmg290.read_records(str(tmp_path))
    assert e.value.filename == str(tmp_path)
    with pytest.raises(TypeError):
        cmg290.read_records(17)


def test_a_path_with_a_zero_character_is_a_value_error_as_for_open(tmp_path):
    # The name once ended at the zero byte, reading "file" for "file\0junk".
    written(tmp_path, b"IRF-PAI\n", "file")
    base = str(tmp_path / "file")
    for path in (base + "\0junk", os.fsencode(base) + b"\0junk", pathlib.PurePath(base + "\0junk")):
        with pytest.raises(ValueError, match="embedded null byte"):
            open(path, "rb")
        with pytest.raises(ValueError, match="embedded null byte"):
            cmg290.read_records(path)
