"""Edits: cmg290.edits, EDIT_CATALOGUE and group_frame(..., edits=True)."""

import random

import numpy as np
import pandas as pd
import pytest

import cmg290
from conftest import make_set

# Grouped without an edit: table version 2.90, RIC 01, every item 04.
CLEAN = dict(record_id="IRF-PAI", version_date="20200315", birth_date="19500310",
             age_date="20200310", impairment_group="  01.1",
             **{f"motor_item_{k}": "04" for k in range(1, 13)},
             **{f"cognitive_item_{k}": "04" for k in range(1, 6)})


def record(**changes):
    return cmg290.build_record(**dict(CLEAN, **changes))


def codes(edits):
    return ";".join(e["code"] for e in edits)


@pytest.fixture(scope="module")
def many_records(example_records):
    """30,000 records: the sample records with a few bytes changed at random,
    and records that raise the edits named in the tests."""
    rng = random.Random(26)
    records = [record(), record(motor_item_3="08", comorbid_code_1="J3801"),
               record(comorbid_code_1="I10.^^^^", comorbid_code_3="I10.^^^^"), record()[:1200]]
    for i in range(30_000):
        r = bytearray(example_records[i % len(example_records)])
        for _ in range(rng.randrange(4)):
            r[rng.randrange(len(r))] = rng.randrange(256)
        records.append(bytes(r))
    return records


def test_a_record_gets_each_edit_in_full_in_the_order_the_checks_run():
    assert cmg290.edits(record()) == []
    r = record(motor_item_3="08", comorbid_code_1="J3801")
    form, item = cmg290.edits(r)
    assert form["code"] == "comorbid-code-form" and form["severity"] == "error"
    assert (form["field"], form["value"]) == ("comorbid_code_1", "J3801")
    assert '"J38.01^^"' in form["message"] and "the tier would be" in form["message"]
    assert item == {"code": "item-value", "severity": "error", "field": "motor_item_3",
                    "value": "08",
                    "message": '"08" is neither blank nor a value from 0 to 7; it counts as 8'}
    # A str record, and the grouping unchanged by looking for edits.
    assert cmg290.edits(r.decode("latin-1")) == [form, item]
    assert cmg290.group(r) == cmg290.group(r)


def test_whole_record_edits_have_no_field_and_values_are_latin1():
    (short,) = cmg290.edits(record()[:1200])
    assert (short["code"], short["severity"], short["field"], short["value"]) == (
        "short-record", "warning", None, "")
    (byte,) = cmg290.edits(record(comorbid_code_2=b"I10.\x80"))
    assert (byte["code"], byte["field"], byte["value"]) == (
        "unreadable-byte", "comorbid_code_2", "I10.\x80")
    # Not grouped by design: nothing to edit.
    assert cmg290.edits(record(record_id="IRF-PA")) == []


def test_the_catalogue_lists_every_edit_once():
    catalogue = cmg290.EDIT_CATALOGUE
    assert isinstance(catalogue, tuple) and all(len(e) == 3 for e in catalogue)
    names = [code for code, _, _ in catalogue]
    assert len(names) == len(set(names))
    assert {"comorbid-code-form", "comorbid-code-family", "comorbid-code-shape",
            "comorbid-code-repeated", "item-value", "date-invalid", "no-cmg-row",
            "short-record", "unreadable-byte"} <= set(names)
    assert {severity for _, severity, _ in catalogue} == {"error", "warning"}
    assert dict((c, s) for c, s, _ in catalogue)["item-value"] == "error"


def test_the_edits_column_holds_each_records_codes(many_records):
    frame = cmg290.group_frame(many_records, edits=True)
    assert list(frame.columns) == list(cmg290.COLUMNS) + ["edits"]
    assert frame["edits"].dtype == object
    assert list(frame["edits"][:4]) == [
        "", "comorbid-code-form;item-value", "comorbid-code-repeated", "short-record"]
    sample = range(0, len(many_records), 7)
    assert [frame["edits"][i] for i in sample] == [codes(cmg290.edits(many_records[i]))
                                                  for i in sample]
    assert all(type(v) is str for v in frame["edits"])
    # Rows of the same codes share one string.
    assert len({id(v) for v in frame["edits"]}) == frame["edits"].nunique()


def test_results_are_the_same_with_and_without_edits(many_records):
    plain = cmg290.group_frame(many_records, workers=1)
    assert "edits" not in plain.columns
    assert list(cmg290.group_frame(many_records, edits=False).columns) == list(cmg290.COLUMNS)
    expected = cmg290.group_frame(many_records, workers=1, edits=True)
    assert expected.drop(columns="edits").equals(plain)
    as_str = [r.decode("latin-1") for r in many_records]
    for records, workers in ((many_records, 4), (as_str, 3), (pd.Series(many_records), -1),
                             (np.array(many_records, dtype="S1251"), 2)):
        frame = cmg290.group_frame(records, workers=workers, edits=np.bool_(True))
        assert frame.equals(expected) and frame.dtypes.equals(expected.dtypes)
    empty = cmg290.group_frame([], edits=True)
    assert list(empty.columns) == list(expected.columns) and len(empty) == 0


def test_edits_follow_the_tier_set(tmp_path):
    r = record(comorbid_code_1="J3801")
    compiled = cmg290.edits(r)[0]["message"]
    assert compiled.endswith("the tier would be B instead of A")
    moved = cmg290.load_tier_set(make_set(tmp_path / "moved", retier={"J38.01^^": "C"}),
                                 allow_deviations=True)
    (form,) = cmg290.edits(r, tier_set=moved)
    assert form["message"].endswith("the tier would be C instead of A")
    assert cmg290.edits(r, tier_set=cmg290.compiled_tier_set())[0]["message"] == compiled
    frame = cmg290.group_frame([r, record()], tier_set=moved, edits=True)
    assert list(frame["edits"]) == ["comorbid-code-form", ""]


@pytest.mark.parametrize("edits", ["yes", 1, 0, None, [True]])
def test_edits_must_be_true_or_false(edits):
    message = f"^edits must be True or False, not {type(edits).__name__}$"
    with pytest.raises(TypeError, match=message):
        cmg290.group_frame([record()], edits=edits)
    # Checked before the records: none is grouped.
    with pytest.raises(TypeError, match=message):
        cmg290.group_frame([None], edits=edits)


def test_edits_refuse_what_group_refuses():
    with pytest.raises(TypeError, match="^record is NoneType, expected str or bytes$"):
        cmg290.edits(None)
    with pytest.raises(ValueError, match=r"U\+20AC"):
        cmg290.edits("IRF-PAI\u20ac")
    with pytest.raises(TypeError, match="^tier_set must be a cmg290.TierSet or None, not str$"):
        cmg290.edits(record(), tier_set="compiled-in")


def test_explain_lists_the_edits(example_records):
    r = record(motor_item_3="08", comorbid_code_1="J3801")
    assert cmg290.explain(r)["edits"] == cmg290.edits(r)
    for r in example_records:
        assert cmg290.explain(r)["edits"] == cmg290.edits(r)
