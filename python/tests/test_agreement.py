"""group_frame against `cmg290 group`, field by field, on the same records."""

import pathlib
import subprocess

import cmg290
from conftest import EXAMPLES, assert_frame_matches_cli, cli_results


def test_sample_records(cli, example_records):
    expected = cli_results(cli, EXAMPLES)
    assert_frame_matches_cli(cmg290.group_frame(example_records), expected)
    assert_frame_matches_cli(cmg290.group_frame(cmg290.read_records(EXAMPLES)), expected)


def test_a_hundred_thousand_synthetic_records(cli, tmp_path):
    path = str(tmp_path / "sample.txt")
    subprocess.run([cli, "sample", "--count", "100000", "--seed", "12", "-o", path], check=True)
    expected = cli_results(cli, path)
    records = cmg290.read_records(path)
    frame = cmg290.group_frame(records)
    assert_frame_matches_cli(frame, expected)
    from_path = cmg290.group_frame(pathlib.Path(path))
    assert from_path.drop(columns="line").equals(frame)
    assert list(from_path["line"]) == [int(v) for v in expected["line"]]
    # The sample's flawed records reach every status.
    assert set(frame["status"]) == {0, 1, 2, 3, 5, 6, 7, 9}
    # The same records as str, read by Python's own line splitting.
    with open(path, encoding="latin-1", newline="") as f:
        lines = f.read().rstrip("\n").split("\n")
    assert cmg290.group_frame(lines).equals(frame)


def test_short_lines_raise_short_record_from_a_path_and_read_records_as_from_the_command(
        cli, tmp_path):
    path = str(tmp_path / "sample.txt")
    subprocess.run([cli, "sample", "--count", "20000", "--seed", "5", "-o", path], check=True)
    rows = subprocess.run([cli, "group", "-q", "--edits", path], check=True,
                          capture_output=True).stdout.decode("latin-1").splitlines()[1:]
    expected = [row.rsplit(",", 1)[-1] for row in rows]
    assert sum("short-record" in e for e in expected) > 0
    for frame in (cmg290.group_frame(pathlib.Path(path), edits=True),
                  cmg290.group_frame(cmg290.read_records(path), edits=True)):
        assert list(frame["edits"]) == expected


def test_a_gzip_file_of_several_members_as_the_command_reads_it(cli, tmp_path, example_records):
    # `cat a.gz b.gz`: both members are read, by the command and the path
    # readers alike, with the same line numbers.
    import gzip

    half = len(example_records) // 2
    path = tmp_path / "two members.gz"
    path.write_bytes(gzip.compress(b"\n".join(example_records[:half]) + b"\n\n")
                     + gzip.compress(b"\r\n".join(example_records[half:])))
    expected = cli_results(cli, str(path))
    frame = cmg290.group_frame(path)
    assert_frame_matches_cli(frame, expected)
    assert list(frame["line"]) == [int(v) for v in expected["line"]]
    assert_frame_matches_cli(cmg290.group_frame(cmg290.read_records(path)), expected)
