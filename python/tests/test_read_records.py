"""Files of records: cmg290.read_records into an S1251 array, and
cmg290.group_frame(path), which groups a file where it lies."""

import gzip
import os
import pathlib
import subprocess

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
            + b"IRF-PAI short\n"       # keeps its length
            + record + b"EXTRA\n"      # positions after 1251 dropped
            + b"\x00\xff\r\x01 \r\n"   # any byte kept; only the \r before \n is a line end
            + record)                  # a last line without a line end counts
    records = cmg290.read_records(written(tmp_path, data))
    assert records.dtype == np.dtype("S1251") and records.shape == (5,)
    raw = records.view(np.uint8).reshape(5, N).tobytes()
    assert [raw[i * N:(i + 1) * N] for i in range(5)] == [
        record.ljust(N, b"\0"),
        b"IRF-PAI short".ljust(N, b"\0"),
        record.ljust(N, b"\0"),
        b"\x00\xff\r\x01 ".ljust(N, b"\0"),
        record.ljust(N, b"\0"),
    ]
    # Zero bytes after a short line are not part of it, as NumPy reads
    # them: it is short to group_frame too, as to the command.
    assert records[1] == b"IRF-PAI short"
    short = cmg290.read_records(written(tmp_path, record[:1200] + b"\n" + record, "short.txt"))
    assert short[0] == record[:1200]
    edits = cmg290.group_frame(short, edits=True)["edits"]
    assert "short-record" in edits[0] and "short-record" not in edits[1]


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
    assert list(records[1:31]) == example_records
    assert records[-1] == example_records[-1]


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


def odd_lines(example_records):
    # Whole, short and over-long lines, CRLF, empty lines, bytes above 0x7F
    # and a last line without a line end, across many parts of the reader.
    faulty = example_records[3][:700] + b"88" + example_records[3][702:]
    lines = [faulty, b"", example_records[0][:1200], example_records[0] + b"EXTRA" * 400, b"\r",
             b"IRF-PAI\xe9\xff"] + example_records * 40
    return b"\r\n".join(lines[:7]) + b"\n" + b"\n".join(lines[7:])


def test_group_frame_of_a_path_is_that_of_its_lines(tmp_path, example_records):
    path = written(tmp_path, odd_lines(example_records))
    expected = cmg290.group_frame(cmg290.read_records(path), edits=True)
    assert len(expected) == 5 + 30 * 40
    assert "short-record" in expected["edits"][1]
    assert "short-record" not in expected["edits"][2]
    # A path's frame has first each record's line, as the command numbers
    # them: the empty second line has a number, but no row.
    expected.insert(0, "line", np.array([1] + list(range(3, 3 + len(expected) - 1)), np.int64))
    for given in (path, pathlib.PurePath(path)):
        for workers in (1, 2, -1):
            frame = cmg290.group_frame(given, workers=workers, edits=True)
            assert frame.equals(expected), (given, workers)
            assert frame.attrs == expected.attrs
    assert cmg290.group_frame(path).equals(expected.drop(columns="edits"))
    assert cmg290.group_frame(path, tier_set=cmg290.compiled_tier_set()).equals(
        cmg290.group_frame(path))


def test_group_frame_of_a_path_keeps_zero_bytes_and_short_lines_as_the_command(tmp_path, cli):
    # A zero byte is part of its line; the array of read_records loses one
    # only at a line's very end, where NumPy's elements end.
    record = open(EXAMPLES, "rb").readline().rstrip(b"\n")
    data = record[:50] + b"\0" + record[51:] + b"\n" + record[:1000] + b"\0\n" + record + b"\n"
    path = written(tmp_path, data)
    frame = cmg290.group_frame(path, edits=True)
    assert len(frame) == 3
    expected = subprocess.run([cli, "group", "-q", "--edits", str(path)], check=True,
                              capture_output=True).stdout.decode().splitlines()[1:]
    assert [row.rsplit(",", 1)[-1] for row in expected] == list(frame["edits"])
    assert "short-record" in frame["edits"][1]


def test_group_frame_of_an_empty_file_or_one_it_cannot_read(tmp_path):
    empty = cmg290.group_frame(written(tmp_path, b"\n\r\n"))
    assert list(empty.columns) == ["line"] + list(cmg290.group_frame([]).columns)
    assert empty.drop(columns="line").equals(cmg290.group_frame([]))
    missing = tmp_path / "no such file.txt"
    with pytest.raises(FileNotFoundError, match="no such file.txt") as e:
        cmg290.group_frame(missing)
    assert e.value.filename == missing
    with pytest.raises(IsADirectoryError):
        cmg290.group_frame(tmp_path)
    with pytest.raises(ValueError, match="embedded null byte"):
        cmg290.group_frame(pathlib.PurePath(str(missing) + "\0junk"))
    # The arguments are checked before the file is looked at.
    with pytest.raises(ValueError, match="workers"):
        cmg290.group_frame(missing, workers=0)
    with pytest.raises(TypeError, match="edits"):
        cmg290.group_frame(missing, edits="yes")
    # A str or bytes could be one record: never a path, and refused as
    # records are, with a word on how to give a path.
    for given in (str(missing), os.fsencode(missing)):
        with pytest.raises(TypeError, match="^records must be a list"):
            cmg290.group_frame(given)
    with pytest.raises(TypeError, match="pathlib.Path"):
        cmg290.group_frame(str(missing))


def test_a_gzip_file_is_read_as_its_plain_bytes_whatever_its_name(tmp_path, example_records):
    # One member, or several as `cat a.gz b.gz` makes them; a name without
    # .gz and a plain file named .gz: the bytes tell.
    plain = odd_lines(example_records)
    path = written(tmp_path, plain)
    third = len(plain) // 3
    members = b"".join(gzip.compress(plain[k:k + third]) for k in range(0, len(plain), third))
    expected = cmg290.group_frame(path, edits=True)
    records = cmg290.read_records(path)
    for name, data in (("one.gz", gzip.compress(plain)), ("members.bin", members),
                       ("plain.gz", plain)):
        given = written(tmp_path, data, name)
        assert cmg290.group_frame(given, edits=True, workers=2).equals(expected), name
        assert cmg290.group_frame(given, id=(12, 10)).equals(
            cmg290.group_frame(path, id=(12, 10))), name
        assert np.array_equal(cmg290.read_records(given), records), name
    for data in (gzip.compress(b""), gzip.compress(b"\n\r\n")):
        none = written(tmp_path, data, "none.gz")
        assert len(cmg290.group_frame(none)) == 0
        assert len(cmg290.read_records(none)) == 0


def test_a_damaged_gzip_file_raises_naming_it(tmp_path, example_records):
    data = gzip.compress(b"\n".join(example_records * 20))
    crc = bytearray(data)
    crc[-6] ^= 1
    for bad, what in ((data[:len(data) // 2], "the file is truncated"),
                      (bytes(crc), "CRC mismatch"),
                      (data + b"junk", "start no other gzip member")):
        path = written(tmp_path, bad, "damaged.txt.gz")
        for read in (lambda: cmg290.group_frame(path), lambda: cmg290.read_records(str(path))):
            with pytest.raises(OSError, match=f"damaged.txt.gz.*: damaged gzip data: .*{what}"):
                read()
