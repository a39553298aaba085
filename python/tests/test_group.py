"""cmg290.group: one record, one Result."""

import os
import pickle
import re

import pytest

import cmg290
from conftest import GOLDEN_CSV, SOURCE, read_cli_csv


@pytest.fixture(scope="module")
def golden():
    with open(GOLDEN_CSV, encoding="latin-1") as f:
        return read_cli_csv(f.read())


def test_sample_records_give_the_command_results(example_records, golden):
    assert len(example_records) == len(golden)
    for record, row in zip(example_records, golden.itertuples()):
        r = cmg290.group(record)
        assert r.status == int(row.status)
        assert r.description == row.description
        assert r.cmg == (row.cmg or None)
        assert r.motor_score == (float(row.motor_score) if row.motor_score else None)
        assert r.cognitive_score == (int(row.cognitive_score) if row.cognitive_score else None)
        assert r.age == (int(row.age) if row.age else None)
        assert r.table_version == (row.table_version or None)
        assert r.grouper_version == row.grouper_version == cmg290.GROUPER_VERSION


def test_outputs_not_reached_are_none_and_motor_text_is_the_grouper_text(example_records):
    # motor_text too is None when not reached, not the grouper's reset text " 0.0".
    by_status = {}
    for record in example_records:
        r = cmg290.group(record)
        by_status.setdefault(r.status, r)
    assert set(by_status) == {0, 1, 2, 3, 5, 6, 7, 9}
    for record in example_records:
        r = cmg290.group(record)
        if r.status == 0:
            assert float(r.motor_text) == r.motor_score
    for status, r in by_status.items():
        if status != 0:
            assert (r.cmg, r.motor_score, r.cognitive_score) == (None, None, None)
            assert r.motor_text is None
        assert (r.age is None) == (status not in (0, 7, 9))
    assert by_status[7].age == 141
    assert by_status[3].table_version is None


def test_short_records_read_as_blanks_and_str_agrees_with_bytes(example_records):
    for record in example_records:
        r = cmg290.group(record)
        assert cmg290.group(record.rstrip(b" ")) == r
        assert cmg290.group(record + b"X" * 100) == r
        assert cmg290.group(record.decode("latin-1")) == r
    assert cmg290.group(b"").status == 1
    assert cmg290.group("").status == 1


def test_str_of_latin1_characters_is_read_as_their_bytes():
    record = bytes(range(256)) * 5
    assert cmg290.group(record.decode("latin-1")) == cmg290.group(record)


def test_repr_names_every_field(example_records):
    text = repr(cmg290.group(example_records[0]))
    assert text.startswith("Result(status=0, description='grouped', cmg='B0101'")
    for name in ("motor_score=60.0", "motor_text='60.0'", "cognitive_score=20", "age=70",
                 "table_version='2.40'", "grouper_version='2.90'"):
        assert name in text
    assert "cmg=None" in repr(cmg290.group(b"x"))
    assert "motor_text=None" in repr(cmg290.group(b"x"))


@pytest.mark.parametrize("bad, kind", [(None, "NoneType"), (5, "int"), (1.5, "float"),
                                       ([b"IRF-PAI"], "list"), (bytearray(b"IRF"), "bytearray")])
def test_anything_but_str_or_bytes_is_a_type_error(bad, kind):
    with pytest.raises(TypeError, match=rf"^record is {kind}, expected str or bytes$"):
        cmg290.group(bad)


@pytest.mark.parametrize("char", ["\u0100", "\u20ac", "\U0001f600", "\ud800"])
def test_a_character_above_u00ff_is_a_value_error_naming_it(char):
    code = re.escape(f"U+{ord(char):04X}")
    with pytest.raises(ValueError, match=rf"character .*\({code}\) at position 8 is above U\+00FF"):
        cmg290.group("IRF-PAI" + char + "x" * 10)


def test_status_text():
    assert cmg290.status_text(0) == "grouped"
    assert cmg290.status_text(4) == "unknown status"


def test_results_survive_pickling(example_records):
    # Results travel between processes (multiprocessing, Dask bags).
    results = [cmg290.group(r) for r in example_records]
    copies = pickle.loads(pickle.dumps(results))
    assert copies == results
    assert [repr(c) for c in copies] == [repr(r) for r in results]
    assert results[0] != results[1]


def test_a_result_made_by_new_alone_is_refused_not_read():
    # Result.__new__ leaves the C++ value unconstructed: reading it showed
    # whatever the memory held (status=1023824370).
    empty = cmg290.Result.__new__(cmg290.Result)
    for read in (lambda r: r.status, lambda r: r.cmg, lambda r: r.motor_text, lambda r: r.age,
                 lambda r: r.table_version, lambda r: r.grouper_version, repr,
                 lambda r: r.__getstate__(), lambda r: r == cmg290.group(b"x"),
                 lambda r: cmg290.group(b"x") == r):
        with pytest.raises(TypeError, match="^this Result holds no result"):
            read(empty)
    # Unpickling goes through __new__ and then fills the value.
    grouped = cmg290.group(b"x")
    empty.__setstate__(grouped.__getstate__())
    assert empty == grouped and empty.status == 1
    with pytest.raises(TypeError, match="^expected a cmg290.Result, not int$"):
        cmg290.Result.status.fget(5)


def test_the_version_is_the_project_version():
    with open(os.path.join(SOURCE, "CMakeLists.txt"), encoding="utf-8") as f:
        version = re.search(r"project\(cmg290 VERSION ([0-9.]+)", f.read()).group(1)
    assert cmg290.__version__ == version
