"""cmg290.edits_frame (every edit one row each) and cmg290.fields (fields by
their layout names)."""

import json
import random
import subprocess

import numpy as np
import pandas as pd
import pytest

import cmg290
from conftest import make_set

COLUMNS = ["record", "code", "severity", "field", "value", "message"]


def clean(**changes):
    fields = dict(record_id="IRF-PAI", version_date="20200315", birth_date="19500310",
                  age_date="20200310", impairment_group="  01.1",
                  **{f"motor_item_{k}": "04" for k in range(1, 13)},
                  **{f"cognitive_item_{k}": "04" for k in range(1, 6)})
    return cmg290.build_record(**dict(fields, **changes))


@pytest.fixture(scope="module")
def sample_file(cli, tmp_path_factory):
    """4,000 records of `cmg290 sample`, some with junk over a stretch of
    fields or a few bytes changed (never a line end or a zero byte), some
    cut short."""
    path = tmp_path_factory.mktemp("long") / "sample.txt"
    subprocess.run([cli, "sample", "--count", "4000", "-o", str(path)], check=True)
    rng = random.Random(36)
    lines = path.read_bytes().splitlines()
    for i, line in enumerate(lines):
        r = bytearray(line)
        if i % 7 == 1:
            r[500:900] = b"X" * 400
        elif i % 7 == 2:
            for _ in range(3):
                r[rng.randrange(650, len(r))] = rng.choice(b"0123456789^ .Xa\x80\xe9")
        elif i % 7 == 3:
            del r[rng.randrange(600, 1251):]
        lines[i] = bytes(r)
    path.write_bytes(b"\n".join(lines) + b"\n")
    return path


def as_rows(frame):
    """A frame of edits_frame as plain tuples, missing fields as None."""
    return [
        (r, c, s, None if pd.isna(f) else f, v, m)
        for r, c, s, f, v, m in zip(*(frame[name] for name in COLUMNS))
    ]


def test_the_long_form_holds_what_the_command_writes_for_each_record(cli, sample_file):
    run = subprocess.run([cli, "group", "-q", "--edits", "-f", "jsonl", str(sample_file)],
                         capture_output=True, check=False)
    assert run.returncode in (0, 1), run.stderr
    expected = []
    for position, line in enumerate(run.stdout.splitlines()):
        for e in json.loads(line.decode("latin-1"))["edits"]:
            expected.append((position, e["code"], e["severity"], e["field"], e["value"],
                             e["message"]))
    assert len({code for _, code, *_ in expected}) >= 5, "the records raise many kinds of edit"
    assert any(field is None for _, _, _, field, _, _ in expected)
    # The lines as they are: read_records would fill the short ones out.
    frame = cmg290.edits_frame(sample_file.read_bytes().splitlines())
    assert as_rows(frame) == expected


def test_each_record_gets_the_edits_it_gets_alone_in_order_on_any_number_of_threads():
    rng = random.Random(9)
    records = [clean(), clean(motor_item_3="08", comorbid_code_1="J3801"), clean()[:1200],
               clean(comorbid_code_2=b"I10.\x80"), clean(record_id="IRF-PA")]
    for _ in range(9000):
        r = bytearray(rng.choice(records[:4]))
        for _ in range(rng.randrange(5)):
            r[rng.randrange(640, len(r))] = rng.randrange(1, 256)
        records.append(bytes(r))
    expected = [(i, e["code"], e["severity"], e["field"], e["value"], e["message"])
                for i, r in enumerate(records) for e in cmg290.edits(r)]
    for workers in (1, 3):
        frame = cmg290.edits_frame(records, workers=workers)
        assert as_rows(frame) == expected, workers
    # str records and a NumPy array of them give the same rows.
    texts = [r.decode("latin-1") for r in records[:500]]
    head = [e for e in expected if e[0] < 500]
    assert as_rows(cmg290.edits_frame(texts)) == head
    assert as_rows(cmg290.edits_frame(np.array(texts))) == head
    assert as_rows(cmg290.edits_frame(pd.Series(texts, index=range(100, 600)))) == head


def test_record_joins_the_rows_of_group_frame(sample_file):
    records = cmg290.read_records(sample_file)
    long = cmg290.edits_frame(records)
    joined = long.groupby("record")["code"].agg(lambda c: ";".join(c))
    wide = cmg290.group_frame(records, edits=True)
    assert (wide.loc[joined.index, "edits"] == joined).all()
    assert (wide.drop(joined.index)["edits"] == "").all()
    assert long["record"].is_monotonic_increasing


def test_columns_and_types_hold_for_no_rows_too():
    for records in ([], [clean(), clean()], np.array([], dtype="S1251")):
        frame = cmg290.edits_frame(records)
        assert list(frame.columns) == COLUMNS and len(frame) == 0
        assert frame["record"].dtype == np.int64
        assert frame["value"].dtype == object and frame["message"].dtype == object
    frame = cmg290.edits_frame([clean(comorbid_code_1="J3801"), clean()[:1200]])
    assert frame["record"].dtype == np.int64
    catalogue = [code for code, _, _ in cmg290.EDIT_CATALOGUE]
    assert list(frame["code"].cat.categories) == catalogue
    assert list(frame["severity"].cat.categories) == ["error", "warning"]
    assert list(frame["field"].cat.categories) == list(cmg290.LAYOUT)
    assert list(frame["code"]) == ["comorbid-code-form", "short-record"]
    assert list(frame["severity"]) == ["error", "warning"]
    assert frame["field"][0] == "comorbid_code_1" and pd.isna(frame["field"][1])
    assert list(frame["value"]) == ["J3801", ""]


def test_tier_set_and_arguments_are_taken_as_group_frame_takes_them(tmp_path):
    r = clean(comorbid_code_1="J3801")
    moved = cmg290.load_tier_set(make_set(tmp_path / "moved", retier={"J38.01^^": "C"}),
                                 allow_deviations=True)
    (message,) = cmg290.edits_frame([r], tier_set=moved)["message"]
    assert message.endswith("the tier would be C instead of A")
    (message,) = cmg290.edits_frame([r])["message"]
    assert message.endswith("the tier would be B instead of A")
    with pytest.raises(TypeError, match=r"records\[1\]"):
        cmg290.edits_frame([r, None])
    with pytest.raises(ValueError, match="workers"):
        cmg290.edits_frame([r], workers=0)
    with pytest.raises(TypeError, match="workers must be an integer"):
        cmg290.edits_frame([r], workers="2")
    with pytest.raises(TypeError, match="tier_set"):
        cmg290.edits_frame([r], tier_set="compiled")


def test_fields_are_the_layouts_positions_as_they_stand():
    r = clean(comorbid_code_5="I10.", impairment_group=b"05.1\xe9")
    records = [r, r[:690], r[:687], r.decode("latin-1")]
    names = ["age_date", "comorbid_code_5", "impairment_group", "record_kind"]
    frame = cmg290.fields(records, names)
    assert list(frame.columns) == names
    assert list(frame.index) == [0, 1, 2, 3]
    assert all(frame[name].dtype == object for name in names)
    for i, record in enumerate(records):
        text = record if isinstance(record, str) else record.decode("latin-1")
        for name in names:
            start, length = cmg290.LAYOUT[name]
            assert frame[name][i] == text[start - 1:start - 1 + length], (i, name)
    assert list(frame["age_date"]) == ["20200310", "202", "", "20200310"]
    assert frame["comorbid_code_5"][0] == "I10.    "
    assert frame["impairment_group"][0] == "05.1\xe9    "
    # Texts that differ only in zero bytes at their end are not taken for one another.
    zeros = clean(age_date=b"2020\0\0\0\0")
    assert list(cmg290.fields([zeros, zeros[:691], zeros], "age_date")["age_date"]) == [
        "2020\0\0\0\0", "2020", "2020\0\0\0\0"]
    # One name alone, an array, a Series keeping its index, no names.
    assert list(cmg290.fields(np.array(records[:2]), "age_date")["age_date"]) == ["20200310", "202"]
    series = pd.Series(records, index=list("abcd"))
    assert list(cmg290.fields(series, ["record_id"]).index) == list("abcd")
    assert cmg290.fields(records, []).shape == (4, 0)
    assert list(cmg290.fields([], ["age_date"]).columns) == ["age_date"]


def test_fields_refuse_names_not_in_the_layout():
    with pytest.raises(ValueError, match='"age_dat" is not a field.*record-layout.md'):
        cmg290.fields([clean()], ["record_id", "age_dat"])
    with pytest.raises(ValueError, match='"age_date" is named twice'):
        cmg290.fields([clean()], ["age_date", "age_date"])
    with pytest.raises(TypeError, match="names"):
        cmg290.fields([clean()], [1])
    with pytest.raises(TypeError, match="names"):
        cmg290.fields([clean()], None)
    with pytest.raises(TypeError, match=r"records\[0\]"):
        cmg290.fields([3], ["age_date"])
