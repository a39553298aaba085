"""cmg290.explain, cmg290.build_record and cmg290.LAYOUT."""

import json
import subprocess

import pytest

import cmg290
from conftest import EXAMPLES


def test_explain_gives_the_json_of_cmg290_explain(cli, example_records):
    run = subprocess.run([cli, "explain", "-f", "json", EXAMPLES], capture_output=True,
                         check=True)
    expected = [json.loads(line) for line in run.stdout.splitlines()]
    assert len(expected) == len(example_records)
    for record, e in zip(example_records, expected):
        del e["result"]["line"]  # where the command read it; a single record has no line
        assert cmg290.explain(record) == e
        assert cmg290.explain(record.decode("latin-1")) == e


def test_explained_result_is_the_grouping_result(example_records):
    for record in example_records:
        r = cmg290.group(record)
        result = cmg290.explain(record)["result"]
        assert (result["status"], result["cmg"], result["motor_score"], result["age"],
                result["table_version"]) == (r.status, r.cmg, r.motor_score, r.age,
                                             r.table_version)


def test_explained_fields_hold_the_bytes_as_latin1_characters():
    record = bytearray(cmg290.build_record(record_id="IRF-PAI"))
    start, length = cmg290.LAYOUT["impairment_group"]
    record[start - 1:start - 1 + length] = b"\x00\x80\xff\"\\\r\n\t "
    fields = cmg290.explain(bytes(record))["fields"]
    assert fields["impairment_group"] == "\x00\x80\xff\"\\\r\n\t "
    assert cmg290.explain(b"")["result"]["status"] == 1


def test_explain_refuses_what_group_refuses():
    with pytest.raises(TypeError, match="^record is NoneType, expected str or bytes$"):
        cmg290.explain(None)
    with pytest.raises(ValueError, match=r"U\+20AC"):
        cmg290.explain("IRF-PAI\u20ac")


def test_layout_covers_the_record_in_order_and_cannot_be_changed():
    fields = list(cmg290.LAYOUT.items())
    assert fields[0] == ("record_id", (1, 10))
    assert max(start + length - 1 for _, (start, length) in fields) == cmg290.RECORD_LENGTH
    covered = [p for _, (start, length) in fields for p in range(start, start + length)]
    assert len(covered) == len(set(covered))
    with pytest.raises(TypeError):
        cmg290.LAYOUT["record_id"] = (2, 9)


def test_a_record_built_from_its_fields_groups_as_the_record(example_records):
    for record in example_records:
        fields = {name: record[start - 1:start - 1 + length]
                  for name, (start, length) in cmg290.LAYOUT.items()}
        built = cmg290.build_record(**fields)
        assert len(built) == cmg290.RECORD_LENGTH
        assert cmg290.group(built) == cmg290.group(record)
        # str values and values shorter than their field, filled with blanks.
        text = {k: v.decode("latin-1").rstrip(" ") for k, v in fields.items()}
        assert cmg290.build_record(**text) == built


def test_build_record_places_values_and_blanks():
    built = cmg290.build_record(record_kind="1", age_date=b"20200310")
    start, length = cmg290.LAYOUT["age_date"]
    assert built[start - 1:start - 1 + length] == b"20200310"
    assert built[10:11] == b"1"
    assert built.count(b" ") == cmg290.RECORD_LENGTH - 9
    assert cmg290.build_record() == b" " * cmg290.RECORD_LENGTH


@pytest.mark.parametrize("fields, error, message", [
    ({"no_such_field": "x"}, ValueError, 'unknown field "no_such_field"'),
    ({"record_kind": "12"}, ValueError, "record_kind has 2 characters, the field holds 1"),
    ({"record_kind": 1}, TypeError, "^record_kind is int, expected str or bytes$"),
    ({"birth_date": None}, TypeError, "^birth_date is NoneType"),
    ({"record_id": "IRF\u0100"}, ValueError, r"^record_id: character .*U\+0100"),
])
def test_build_record_refuses_bad_fields_naming_them(fields, error, message):
    with pytest.raises(error, match=message):
        cmg290.build_record(**fields)
