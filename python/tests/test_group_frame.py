"""cmg290.group_frame: many records into a pandas DataFrame."""

import random

import numpy as np
import pandas as pd
import pytest
from hypothesis import given, settings, strategies as st

import cmg290
from conftest import EXAMPLES

with open(EXAMPLES, "rb") as f:
    FIRST_EXAMPLE = f.readline().rstrip(b"\n")

KNOWN_STATUSES = {0, 1, 2, 3, 5, 6, 7, 9}
DTYPES = {
    "status": "int64",
    "description": "category",
    "cmg": "category",
    "tier": "category",
    "ric": "category",
    "motor_score": "float64",
    "cognitive_score": "Int64",
    "age": "Int64",
    "table_version": "category",
    "grouper_version": "category",
}


@pytest.fixture(scope="module")
def many_records(example_records):
    """70,000 records: the sample records with a few bytes changed at random,
    enough for four threads to share."""
    rng = random.Random(290)
    records = []
    for i in range(70_000):
        record = bytearray(example_records[i % len(example_records)])
        for _ in range(rng.randrange(4)):
            record[rng.randrange(len(record))] = rng.randrange(256)
        records.append(bytes(record))
    return records


def assert_same(frame, expected):
    # DataFrame.equals is quick; the detailed comparison only explains a failure.
    if not (frame.equals(expected) and frame.dtypes.equals(expected.dtypes)):
        pd.testing.assert_frame_equal(frame, expected)


def row_of(result):
    # The tier letter and RIC are the CMG's first character and the two
    # digits after it; a tier letter alone (no CMG row fits) has no RIC.
    cmg = result.cmg
    tier = cmg[0] if cmg else None
    ric = cmg[1:3] if cmg and len(cmg) == 5 else None
    return [result.status, result.description, cmg, tier, ric, result.motor_score,
            result.cognitive_score, result.age, result.table_version, result.grouper_version]


def rows_of(frame):
    return [[None if v is pd.NA or (isinstance(v, float) and np.isnan(v)) else v for v in row]
            for row in frame.itertuples(index=False)]


def test_rows_equal_single_results_with_the_documented_dtypes(example_records):
    frame = cmg290.group_frame(example_records)
    assert list(frame.columns) == list(cmg290.COLUMNS) == list(DTYPES)
    assert {c: str(t) for c, t in frame.dtypes.items()} == DTYPES
    assert list(frame.index) == list(range(len(example_records)))
    assert rows_of(frame) == [row_of(cmg290.group(r)) for r in example_records]
    assert frame["cognitive_score"].isna().sum() == (frame["status"] != 0).sum()


def test_every_kind_of_input_and_thread_count_gives_the_same_frame(many_records):
    expected = cmg290.group_frame(many_records, workers=1)
    as_str = [r.decode("latin-1") for r in many_records]
    array = np.array(many_records, dtype="S1251")
    for records in (tuple(many_records), as_str, array, np.array(many_records, dtype=object),
                    pd.Series(many_records), pd.Series(as_str)):
        for workers in (4, -1):
            assert_same(cmg290.group_frame(records, workers=workers), expected)
    assert rows_of(expected[:500]) == [row_of(cmg290.group(r)) for r in many_records[:500]]


def test_a_series_index_survives(example_records):
    index = pd.Index([f"id{i:03d}" for i in reversed(range(len(example_records)))], name="id")
    series = pd.Series(example_records, index=index)
    frame = cmg290.group_frame(series)
    assert frame.index.equals(index)
    assert_same(frame.reset_index(drop=True),
                                  cmg290.group_frame(example_records))
    assert frame.loc["id001", "cmg"] == cmg290.group(series["id001"]).cmg


def test_numpy_arrays_are_read_as_numpy_reads_their_elements(example_records):
    array = np.array(example_records, dtype="S1251")
    # A strided view, read in place.
    assert_same(cmg290.group_frame(array[::3]),
                                  cmg290.group_frame(list(array[::3])))
    # A shorter element is padded with zero bytes, which are not part of it:
    # the rest reads as blanks, as for the bytes NumPy gives back.
    short = [r.rstrip(b" ") for r in example_records]
    assert_same(cmg290.group_frame(np.array(short, dtype="S1251")),
                                  cmg290.group_frame(example_records))
    # Wider elements: positions after 1251 are not read.
    wide = np.array([r + b"Z" * 49 for r in example_records], dtype="S1300")
    assert_same(cmg290.group_frame(wide), cmg290.group_frame(example_records))


def test_no_records_give_an_empty_frame_with_the_same_columns():
    for empty in ([], (), np.empty(0, dtype="S1251"), pd.Series([], dtype=object)):
        frame = cmg290.group_frame(empty)
        assert len(frame) == 0
        assert {c: str(t) for c, t in frame.dtypes.items()} == DTYPES


@pytest.mark.parametrize("bad, position, kind", [
    ([b"IRF-PAI", None], 1, "NoneType"),
    (["IRF-PAI", "x", 17], 2, "int"),
    ((3.5,), 0, "float"),
    ([b"x", [b"IRF-PAI"]], 1, "list"),
    ([b"x", b"y", bytearray(b"z")], 2, "bytearray"),
    (pd.Series(["a", None, "c"], index=[7, 8, 9]), 1, "NoneType"),
    (pd.Series(["a", "b", pd.NA], dtype="string"), 2, "NAType"),
    (np.array([b"a", 5], dtype=object), 1, "int"),
])
def test_an_element_not_str_or_bytes_is_a_type_error_naming_its_position(bad, position, kind):
    with pytest.raises(TypeError, match=rf"^records\[{position}\] is {kind}, expected str or bytes$"):
        cmg290.group_frame(bad)


def test_a_character_above_u00ff_is_a_value_error_naming_its_position():
    with pytest.raises(ValueError, match=r"^records\[2\]: character 'ā' \(U\+0101\) at position 4 "):
        cmg290.group_frame(["IRF", "PAI", "abcā"])


@pytest.mark.parametrize("bad", ["IRF-PAI", b"IRF-PAI", 5, None, {"a": b"x"}, iter([b"x"])])
def test_records_of_another_type_are_a_type_error(bad):
    with pytest.raises(TypeError, match=r"^records must be a list, tuple, pandas Series or NumPy"):
        cmg290.group_frame(bad)


def test_numpy_arrays_of_other_dtypes_or_shapes_are_refused():
    with pytest.raises(TypeError, match=r"dtype int64, expected fixed-width bytes \(S1251\), str"):
        cmg290.group_frame(np.array([1, 2]))
    with pytest.raises(TypeError, match="dtype float64"):
        cmg290.group_frame(np.zeros(3))
    with pytest.raises(ValueError, match="one-dimensional array, not 2-dimensional"):
        cmg290.group_frame(np.array([[b"a", b"b"]], dtype="S1251"))


@pytest.mark.parametrize("workers", [0, -2, -100])
def test_workers_must_be_positive_or_minus_one(workers):
    with pytest.raises(ValueError, match=rf"workers must be a positive number.*got {workers}$"):
        cmg290.group_frame([b"x"], workers=workers)


@pytest.mark.parametrize("workers, kind", [("4", "str"), (None, "NoneType"), (1.5, "float"),
                                           (b"4", "bytes"), ([4], "list")])
def test_workers_that_are_no_integer_are_a_short_type_error(many_records, workers, kind):
    # Checked before the records: the error once held the repr of them all.
    with pytest.raises(TypeError) as e:
        cmg290.group_frame(many_records, workers=workers)
    assert str(e.value) == f"workers must be an integer, not {kind}"
    with pytest.raises(TypeError, match="^workers must be an integer"):
        cmg290._native.group_columns(None, workers)


def test_workers_take_any_integer():
    # operator.index: NumPy integers and bool are integers; a huge number is
    # as many threads as useful, a huge negative one is refused.
    class Index:
        def __init__(self, value):
            self.value = value

        def __index__(self):
            if isinstance(self.value, Exception):
                raise self.value
            return self.value

    expected = cmg290.group_frame([b"x", b"IRF-PAI"], workers=1)
    for workers in (np.int64(2), True, 2**31, 2**100, Index(3)):
        assert_same(cmg290.group_frame([b"x", b"IRF-PAI"], workers=workers), expected)
    with pytest.raises(ValueError, match="workers must be a positive number.*got a number below -1$"):
        cmg290.group_frame([b"x"], workers=-2**100)
    with pytest.raises(ValueError, match="workers must be a positive number.*got -2147483649$"):
        cmg290.group_frame([b"x"], workers=-2**31 - 1)
    with pytest.raises(ValueError, match="got 0$"):
        cmg290.group_frame([b"x"], workers=Index(0))
    # What __index__ raises, other than TypeError, is not hidden.
    with pytest.raises(ZeroDivisionError):
        cmg290.group_frame([b"x"], workers=Index(ZeroDivisionError()))


def test_str_arrays_group_as_their_list_of_str(many_records):
    # 5,000 records: a U1251 array takes 5 kB a record.
    as_str = [r.decode("latin-1") for r in many_records[:5000]]
    expected = cmg290.group_frame(as_str, workers=1)
    array = np.array(as_str)
    assert array.dtype.kind == "U"
    for records in (array, array.astype(array.dtype.newbyteorder(">")), array.astype("U1300")):
        assert_same(cmg290.group_frame(records, workers=2), expected)
    # Strided, and short elements: NumPy drops zero characters at the end.
    assert_same(cmg290.group_frame(array[1::7]), cmg290.group_frame(as_str[1::7]))
    short = [r.rstrip(" ") for r in as_str[:300]]
    assert_same(cmg290.group_frame(np.array(short)), cmg290.group_frame(as_str[:300]))


def test_str_arrays_are_refused_as_the_list_of_str_is():
    records = ["IRF", "PAI", "abcā", "€"]
    with pytest.raises(ValueError) as listed:
        cmg290.group_frame(records)
    with pytest.raises(ValueError) as array:
        cmg290.group_frame(np.array(records))
    assert str(array.value) == str(listed.value)
    assert str(array.value).startswith("records[2]: character 'ā' (U+0101) at position 4 ")
    # Past position 1251, where nothing is read, as for str.
    with pytest.raises(ValueError, match=r"^records\[0\]: .*U\+20AC\) at position 1300 "):
        cmg290.group_frame(np.array(["x" * 1299 + "€"]))


def test_masked_arrays_are_read_as_their_data_unless_something_is_masked(example_records):
    data = np.array(example_records, dtype="S1251")
    expected = cmg290.group_frame(example_records)
    for unmasked in (np.ma.array(data), np.ma.array(data, mask=np.zeros(len(data), bool)),
                     np.ma.array(data.astype(object)), np.ma.array(data.astype("U1251"))):
        assert_same(cmg290.group_frame(unmasked), expected)
    # A masked element has no record, as None in a list has none.
    for masked, position in ((np.ma.masked_all(3, dtype="S1251"), 0),
                             (np.ma.array(data, mask=[i in (5, 9) for i in range(len(data))]), 5),
                             (np.ma.array(data.astype(object), mask=[0, 1] + [0] * 28), 1),
                             (np.ma.array(data.astype("U1251"), mask=[0] * 29 + [1]), 29)):
        with pytest.raises(TypeError, match=rf"^records\[{position}\] is masked, expected str or bytes$"):
            cmg290.group_frame(masked)


@settings(max_examples=300, deadline=None, database=None)
@given(st.lists(st.binary(max_size=1400) | st.text(st.characters(max_codepoint=0xFF),
                                                    max_size=1400), max_size=20))
def test_any_bytes_of_any_length_give_a_known_status(records):
    frame = cmg290.group_frame(records, workers=2)
    assert set(frame["status"]) <= KNOWN_STATUSES
    assert rows_of(frame) == [row_of(cmg290.group(r)) for r in records]


@settings(max_examples=200, deadline=None, database=None)
@given(st.binary(min_size=0, max_size=1300), st.integers(0, 1250), st.binary(min_size=1, max_size=12))
def test_records_near_the_sample_ones_give_a_known_status(tail, at, patch):
    # Valid records with a few bytes replaced reach deeper into the pass than
    # random bytes do.
    record = bytearray(FIRST_EXAMPLE)
    record[at:at + len(patch)] = patch
    r = cmg290.group(bytes(record) + tail)
    assert r.status in KNOWN_STATUSES
    assert (r.cmg is None) == (r.status != 0)
    if r.status == 0:  # patched items give scores such as "-.7" or "1188.0"
        assert float(r.motor_text) == r.motor_score
