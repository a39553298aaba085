"""Tier-table sets: load_tier_set, compiled_tier_set, TierSet, and the
tier_set argument of group, group_frame and explain."""

import copy
import csv
import os
import pathlib
import pickle
import random

import pytest

import cmg290
from conftest import make_set, read_set_list, write_set_list

DESCRIPTION_KEYS = {"name", "sha256", "compiled_in", "placeholders", "deviations"}


@pytest.fixture(scope="module")
def exported(tmp_path_factory):
    """The compiled-in set written out and loaded back."""
    return cmg290.load_tier_set(make_set(tmp_path_factory.mktemp("exported")))


@pytest.fixture(scope="module")
def records(example_records):
    """The sample records, and 20,000 more with a few bytes changed at random."""
    rng = random.Random(25)
    out = list(example_records)
    for i in range(20_000):
        record = bytearray(example_records[i % len(example_records)])
        for _ in range(rng.randrange(3)):
            record[rng.randrange(len(record))] = rng.randrange(256)
        out.append(bytes(record))
    return out


def with_one_code(record, code):
    """`record` with `code` as its only comorbid code."""
    record = bytearray(record)
    for k in range(1, 26):
        start, length = cmg290.LAYOUT[f"comorbid_code_{k}"]
        record[start - 1:start - 1 + length] = (code if k == 1 else "").ljust(length).encode()
    return bytes(record)


def d_row_without_excluded_rics(directory):
    _, rows = read_set_list(directory, "single-2.90.csv")
    return next(r[0] for r in rows if r[1] == "D" and r[2].strip() == "")


def test_the_exported_compiled_set_is_the_compiled_in_set_loaded_from_disk(exported):
    compiled = cmg290.compiled_tier_set()
    assert (compiled.name, compiled.compiled_in, compiled.path) == ("compiled-in", True, None)
    assert compiled.holds_placeholders and compiled.identity == "compiled-in sha256:" + compiled.digest
    assert compiled.entries["single-2.90.csv"] == 1156 and len(compiled.entries) == 7

    assert exported.digest == compiled.digest and exported.entries == compiled.entries
    assert os.path.isabs(exported.path) and exported.deviations == ()
    assert exported.to_dict() == dict(compiled.to_dict(), compiled_in=False)
    assert set(compiled.to_dict()) == DESCRIPTION_KEYS
    assert repr(exported) == f"<cmg290.TierSet {exported.identity} from {exported.path!r}>"
    with pytest.raises(AttributeError):
        exported.name = "other"


def test_the_exported_set_groups_as_the_compiled_in_lists(exported, records):
    expected = cmg290.group_frame(records)
    for workers in (1, 4):
        frame = cmg290.group_frame(records, workers=workers, tier_set=exported)
        assert frame.equals(expected) and frame.dtypes.equals(expected.dtypes)
        assert frame.attrs["tier_set"] == exported.to_dict()
    assert expected.attrs["tier_set"] == cmg290.compiled_tier_set().to_dict()
    assert (expected.cmg.str[0] > "A").sum() > 10  # some tier letters to compare
    for record in records[:2000]:
        assert cmg290.group(record, tier_set=exported) == cmg290.group(record)


def test_a_changed_tier_changes_the_record_that_holds_its_code(tmp_path, example_records):
    directory = str(tmp_path / "changed")
    cmg290.compiled_tier_set().write(directory)
    code = d_row_without_excluded_rics(directory)
    make_set(directory, retier={code: "C"})
    with pytest.raises(cmg290.TierSetError, match="single-2.90.csv"):
        cmg290.load_tier_set(directory)
    changed = cmg290.load_tier_set(directory, allow_deviations=True)
    assert changed.digest != cmg290.compiled_tier_set().digest
    assert changed.deviations and "deviating in" in changed.identity

    base = next(r for r in example_records
                if cmg290.group(r).table_version == "2.90" and cmg290.group(r).status == 0)
    record = with_one_code(base, code)
    before, after = cmg290.group(record), cmg290.group(record, tier_set=changed)
    assert (before.cmg[0], after.cmg[0]) == ("D", "C") and before.cmg[1:] == after.cmg[1:]
    frame = cmg290.group_frame([record, base], tier_set=changed)
    assert list(frame.cmg) == [after.cmg, cmg290.group(base).cmg]
    assert frame.attrs["tier_set"]["deviations"] == list(changed.deviations)
    explained = cmg290.explain(record, tier_set=changed)
    assert explained["result"]["cmg"] == after.cmg
    assert "single-2.90.csv" in str(explained["tier"])
    assert cmg290.explain(record)["result"]["cmg"] == before.cmg


def test_an_explanation_names_the_set_that_grouped(exported, example_records):
    assert cmg290.explain(example_records[0], tier_set=exported)["tier_set"] == exported.to_dict()


def test_a_faulty_set_names_every_problem_by_file_and_line(tmp_path):
    directory = make_set(tmp_path / "faulty")
    header, rows = read_set_list(directory, "single-2.40.csv")
    for row in rows[3:28]:
        row[1] = "E"  # 25 unknown tiers, on lines 5 to 29
    with open(os.path.join(directory, "single-2.40.csv"), "w", newline="") as f:
        csv.writer(f, lineterminator="\n").writerows([header] + rows)
    os.remove(os.path.join(directory, "pair.csv"))
    with pytest.raises(cmg290.TierSetError) as caught:
        cmg290.load_tier_set(pathlib.Path(directory))
    error = caught.value
    assert isinstance(error, ValueError) and error.path == directory
    lines = [p for p in error.problems if "single-2.40.csv:" in p]
    assert len(lines) >= 25 and any("single-2.40.csv:5: " in p for p in lines)
    assert any("pair.csv" in p for p in error.problems)
    message = str(error).splitlines()
    assert message[0] == (f"cannot load the tier-table set {directory}: "
                          f"{len(error.problems)} problems")
    assert message[1:21] == ["  " + p for p in error.problems[:20]]
    assert message[21] == f"  ... and {len(error.problems) - 20} more" and len(message) == 22
    # It survives the trip back from a Dask worker.
    again = pickle.loads(pickle.dumps(error))
    assert (str(again), again.problems) == (str(error), error.problems)

    with pytest.raises(cmg290.TierSetError, match=r"no-such-dir"):
        cmg290.load_tier_set(str(tmp_path / "no-such-dir"))


def test_paths_are_taken_as_open_takes_them(tmp_path, exported):
    directory = make_set(tmp_path / "set")
    for path in (directory, os.fsencode(directory), pathlib.Path(directory)):
        assert cmg290.load_tier_set(path).digest == exported.digest
    with pytest.raises(ValueError, match="embedded null byte"):
        cmg290.load_tier_set(directory + "\0junk")
    with pytest.raises(TypeError):
        cmg290.load_tier_set(3)
    relative = os.path.relpath(directory)
    assert cmg290.load_tier_set(relative).path == directory
    with pytest.raises(OSError, match="^cannot create .*under-a-file"):
        exported.write(os.path.join(directory, "pair.csv", "under-a-file"))


@pytest.mark.parametrize("bad", ["compiled-in", 1, object(), cmg290.compiled_tier_set])
def test_a_tier_set_that_is_no_tier_set_is_a_type_error(bad, example_records):
    name = type(bad).__name__
    message = f"^tier_set must be a cmg290.TierSet or None, not {name}$"
    with pytest.raises(TypeError, match=message):
        cmg290.group(example_records[0], tier_set=bad)
    with pytest.raises(TypeError, match=message):
        cmg290.group_frame([None], tier_set=bad)  # before the records are looked at
    with pytest.raises(TypeError, match=message):
        cmg290.explain(example_records[0], tier_set=bad)


def test_a_tier_set_made_by_new_alone_is_refused_not_read(example_records):
    empty = cmg290.TierSet.__new__(cmg290.TierSet)
    for use in (lambda: empty.digest, lambda: repr(empty), lambda: pickle.dumps(empty),
                lambda: cmg290.group(example_records[0], tier_set=empty),
                lambda: cmg290.group_frame(example_records, tier_set=empty)):
        with pytest.raises(TypeError, match="holds no set"):
            use()
    with pytest.raises(TypeError):
        cmg290.TierSet()


def test_a_set_pickles_by_path_and_loads_once_per_process(tmp_path):
    compiled = pickle.loads(pickle.dumps(cmg290.compiled_tier_set()))
    assert compiled.compiled_in

    directory = str(tmp_path / "pickled")
    cmg290.compiled_tier_set().write(directory)
    make_set(directory, retier={d_row_without_excluded_rics(directory): "B"})
    loaded = cmg290.load_tier_set(directory, allow_deviations=True)
    assert copy.copy(loaded) is loaded and copy.deepcopy(loaded) is loaded

    loads = cmg290._native.tier_set_loads()
    first = pickle.loads(pickle.dumps(loaded))
    second = pickle.loads(pickle.dumps(loaded))
    assert cmg290._native.tier_set_loads() == loads + 1 and first is second
    assert (first.digest, first.path, first.deviations) == (loaded.digest, loaded.path,
                                                            loaded.deviations)

    # The files changed under a pickled set: refused where it is unpickled.
    changing = make_set(tmp_path / "changing")
    data = pickle.dumps(cmg290.load_tier_set(changing, allow_deviations=True))
    header, rows = read_set_list(changing, "single-2.90.csv")
    rows[-1][2] = "01"
    write_set_list(changing, "single-2.90.csv", header, rows)
    with pytest.raises(cmg290.TierSetError, match="files changed after it was loaded"):
        pickle.loads(data)


def test_a_pinned_set_is_taken_with_its_deviations_and_no_other(tmp_path):
    directory = make_set(tmp_path / "signed", retier={"J38.01^^": "D"})
    with pytest.raises(cmg290.TierSetError):
        cmg290.load_tier_set(directory)
    allowed = cmg290.load_tier_set(directory, allow_deviations=True)
    assert allowed.deviations

    pinned = cmg290.load_tier_set(directory, sha256=allowed.digest.upper())
    assert (pinned.digest, pinned.deviations) == (allowed.digest, allowed.deviations)
    assert pinned.to_dict() == allowed.to_dict()
    # Unpickled where the pin is not repeated: loaded again, checked by digest.
    assert pickle.loads(pickle.dumps(pinned)).digest == allowed.digest

    compiled = cmg290.compiled_tier_set().digest
    for allow in (False, True):
        with pytest.raises(cmg290.TierSetError) as refused:
            cmg290.load_tier_set(directory, allow_deviations=allow, sha256=compiled)
        assert refused.value.problems == [
            f"{directory}: the set is not the one expected: its sha256 is {allowed.digest}, "
            f"expected {compiled}"
        ]
    plain = make_set(tmp_path / "plain")
    assert cmg290.load_tier_set(plain, sha256=compiled).digest == compiled


@pytest.mark.parametrize("pin, error", [("abc", ValueError), ("", ValueError),
                                        ("g" * 64, ValueError), ("0" * 65, ValueError),
                                        (b"0" * 64, TypeError), (64, TypeError)])
def test_a_pin_that_is_no_digest_is_refused_before_loading(exported, pin, error):
    loads = cmg290._native.tier_set_loads()
    with pytest.raises(error, match="64 hex digits"):
        cmg290.load_tier_set(exported.path, sha256=pin)
    assert cmg290._native.tier_set_loads() == loads
