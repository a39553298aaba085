"""cmg290.dask.group_frame on a real cluster: two worker processes on
loopback, 200,000 records in eight partitions, with the compiled-in lists and
with a tier-table set."""

import gzip
import os
import pathlib
import subprocess

import dask
import dask.dataframe as dd
import pandas as pd
import pytest
from distributed import Client, LocalCluster, wait

import cmg290
import cmg290.dask
from conftest import make_set, read_set_list

PARTITIONS = 8
PER_PARTITION = 25_000


def load_partition(path, first):
    # Runs on a worker: the partition's records, indexed by their number in
    # the whole set.
    records = cmg290.read_records(path)
    return pd.Series(records, index=pd.RangeIndex(first, first + len(records)), name="record")


@pytest.fixture(scope="module")
def partition_files(cli, tmp_path_factory):
    folder = tmp_path_factory.mktemp("partitions")
    paths = []
    for k in range(PARTITIONS):
        path = str(folder / f"part{k}.txt")
        subprocess.run([cli, "sample", "--count", str(PER_PARTITION), "--seed", str(k + 1),
                        "-o", path], check=True)
        paths.append(path)
    return paths


@pytest.fixture(scope="module")
def cluster_client():
    # Worker processes import cmg290 through the PYTHONPATH they inherit.
    assert "cmg290" in os.listdir(os.environ["PYTHONPATH"].split(os.pathsep)[0])
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None, protocol="tcp") as cluster:
        with Client(cluster) as client:
            yield client


def loads_here():
    # Runs on a worker: how often its process has read a set from disk.
    return cmg290._native.tier_set_loads()


def partitioned(partition_files):
    return dd.from_map(load_partition, partition_files,
                       [k * PER_PARTITION for k in range(PARTITIONS)],
                       divisions=[k * PER_PARTITION for k in range(PARTITIONS)]
                       + [PARTITIONS * PER_PARTITION - 1])


def all_records(partition_files):
    return pd.concat([load_partition(p, k * PER_PARTITION) for k, p in enumerate(partition_files)])


def test_a_cluster_groups_as_pandas_does(partition_files, cluster_client):
    series = partitioned(partition_files)
    assert series.npartitions == PARTITIONS
    frame = cmg290.dask.group_frame(series)
    # The meta has the columns and dtypes of the pandas path.
    assert frame._meta.dtypes.equals(cmg290.group_frame([]).dtypes)

    # Grouped on the workers, both of them used.
    frame = frame.persist()
    wait(frame)
    holders = {w for ws in cluster_client.who_has(frame).values() for w in ws}
    assert len(holders) == 2
    result = frame.compute()

    expected = cmg290.group_frame(all_records(partition_files))
    assert len(result) == PARTITIONS * PER_PARTITION
    assert result.equals(expected) and result.dtypes.equals(expected.dtypes)


def test_a_tier_set_is_loaded_once_per_worker_process(partition_files, cluster_client, tmp_path):
    # Every D row of 2.90 moved to C: records of that version change.
    directory = str(tmp_path / "set")
    cmg290.compiled_tier_set().write(directory)
    _, rows = read_set_list(directory, "single-2.90.csv")
    make_set(directory, retier={r[0]: "C" for r in rows if r[1] == "D"})
    tier_set = cmg290.load_tier_set(directory, allow_deviations=True)

    before = cluster_client.run(loads_here)
    frame = cmg290.dask.group_frame(partitioned(partition_files), tier_set=tier_set)
    assert frame._meta.attrs["tier_set"] == tier_set.to_dict()
    frame = frame.persist()
    wait(frame)
    holders = {w for ws in cluster_client.who_has(frame).values() for w in ws}
    result = frame.compute()
    # Another graph (other arguments, so other keys) with the same set, and
    # the edits found on the workers with it.
    again = cmg290.dask.group_frame(partitioned(partition_files), workers=2,
                                    tier_set=tier_set, edits=True).compute()
    loads = cluster_client.run(loads_here)
    assert {w: loads[w] - before[w] for w in holders} == {w: 1 for w in holders}
    assert all(loads[w] - before[w] <= 1 for w in loads)

    records = all_records(partition_files)
    expected = cmg290.group_frame(records, tier_set=tier_set)
    assert result.equals(expected) and again.drop(columns="edits").equals(expected)
    assert again.edits.equals(cmg290.group_frame(records, tier_set=tier_set, edits=True).edits)
    assert result.attrs["tier_set"] == tier_set.to_dict()
    changed = (expected.cmg != cmg290.group_frame(records).cmg).sum()
    assert changed > 1000


def test_a_bad_tier_set_is_refused_when_the_frame_is_built(tmp_path):
    series = dd.from_pandas(pd.Series([b"IRF-PAI"] * 10), npartitions=2)
    with pytest.raises(TypeError, match="^tier_set must be a cmg290.TierSet or None, not str$"):
        cmg290.dask.group_frame(series, tier_set="compiled-in")
    # A set whose files changed before a worker loaded it fails the computation.
    directory = make_set(tmp_path / "set")
    tier_set = cmg290.load_tier_set(directory)
    with open(os.path.join(directory, "manifest.txt"), "w") as f:
        f.write("name = x\nname = y\n")
    frame = cmg290.dask.group_frame(series, tier_set=tier_set)
    with dask.config.set(scheduler="processes", num_workers=1):
        with pytest.raises(cmg290.TierSetError, match="manifest.txt:2: "):
            frame.compute()


def test_the_local_scheduler_runs_the_same_graph(example_records):
    series = dd.from_pandas(pd.Series(example_records * 10), npartitions=3)
    with dask.config.set(scheduler="synchronous"):
        result = cmg290.dask.group_frame(series).compute()
    assert result.equals(cmg290.group_frame(pd.Series(example_records * 10)))


def test_edits_pass_through_to_the_partitions(example_records):
    series = dd.from_pandas(pd.Series(example_records * 10), npartitions=3)
    frame = cmg290.dask.group_frame(series, edits=True)
    assert frame._meta.dtypes.equals(cmg290.group_frame([], edits=True).dtypes)
    with dask.config.set(scheduler="synchronous"):
        result = frame.compute()
    expected = cmg290.group_frame(pd.Series(example_records * 10), edits=True)
    assert result.equals(expected) and list(result.columns)[-1] == "edits"
    with pytest.raises(TypeError, match="^edits must be True or False, not str$"):
        cmg290.dask.group_frame(series, edits="true")


def test_a_bad_record_is_named_by_its_index_label():
    # The position within its partition (records[200] for row 1,700) named
    # no row of the series; its label does.
    records = [b"IRF-PAI"] * 3000
    records[1700] = None
    series = dd.from_pandas(pd.Series(records, index=range(1000, 4000)), npartitions=4)
    frame = cmg290.dask.group_frame(series)
    with dask.config.set(scheduler="synchronous"):
        with pytest.raises(TypeError, match=r"^series\.loc\[2700\] is NoneType, expected str or bytes$"):
            frame.compute()
    # Long labels are cut.
    frame = cmg290.dask.group_frame(dd.from_pandas(pd.Series([5], index=["L" * 500], dtype=object), npartitions=1))
    with dask.config.set(scheduler="synchronous"):
        with pytest.raises(TypeError, match=r"^series\.loc\['L{199}\.\.\.\] is int, expected str"):
            frame.compute()
    texts = pd.Series(["IRF-PAI", "abc\u0101"], index=pd.Index(["id1", "id2"], name="id"))
    frame = cmg290.dask.group_frame(dd.from_pandas(texts, npartitions=1))
    with dask.config.set(scheduler="synchronous"):
        with pytest.raises(ValueError, match=r"^series\.loc\['id2'\]: character 'ā' \(U\+0101\) at position 4 "):
            frame.compute()


@pytest.mark.parametrize("workers, error, message", [
    (0, ValueError, "^workers must be a positive number of threads, or -1 for all cores; got 0$"),
    (-3, ValueError, "got -3$"),
    ("2", TypeError, "^workers must be an integer, not str$"),
    (None, TypeError, "^workers must be an integer, not NoneType$"),
])
def test_bad_workers_are_refused_when_the_frame_is_built(workers, error, message):
    series = dd.from_pandas(pd.Series([b"IRF-PAI"] * 10), npartitions=2)
    with pytest.raises(error, match=message):
        cmg290.dask.group_frame(series, workers=workers)


def test_a_series_of_another_dtype_is_refused_when_the_frame_is_built():
    with pytest.raises(TypeError, match=r"^series: NumPy array of dtype int64, expected fixed-width"):
        cmg290.dask.group_frame(dd.from_pandas(pd.Series([1, 2]), npartitions=1))


def named_rows(frame, path, categories):
    # A file's frame as a Dask partition names its rows: the file, first,
    # and the index "FILE:LINE".
    frame.insert(0, "file", pd.Categorical([path] * len(frame), categories=categories))
    frame.index = pd.Index([f"{path}:{k}" for k in frame["line"]], dtype=object, name="record")
    return frame


def test_files_by_their_paths_a_partition_each(cluster_client, partition_files, tmp_path):
    # Each worker reads its files where they lie (a gzip one inflated); a
    # row is named by its file and line, unique across the files.
    zipped = str(tmp_path / "part2.bin")
    with open(partition_files[2], "rb") as f, open(zipped, "wb") as out:
        out.write(gzip.compress(f.read()))
    paths = [partition_files[0], pathlib.Path(partition_files[1]), zipped]
    names = [os.fsdecode(p) for p in paths]
    frame = cmg290.dask.group_frame(paths, edits=True)
    assert frame.npartitions == 3
    assert list(frame.columns[:2]) == ["file", "line"]
    got = frame.compute()
    assert got.index.is_unique and got.index.name == "record"
    expected = pd.concat([named_rows(cmg290.group_frame(pathlib.Path(p), edits=True), p, names)
                          for p in names])
    assert got.equals(expected)
    assert got.dtypes.equals(frame.dtypes)
    assert got.attrs["tier_set"] == expected.attrs["tier_set"]
    assert got.loc[f"{zipped}:3"].equals(expected.iloc[2 * len(got) // 3 + 2])
    one = cmg290.dask.group_frame(partition_files[2]).compute()
    assert one.equals(named_rows(cmg290.group_frame(pathlib.Path(partition_files[2])),
                                 partition_files[2], [partition_files[2]]))
    with pytest.raises(FileNotFoundError):
        cmg290.dask.group_frame([partition_files[0] + ".missing"]).compute()
    with pytest.raises(TypeError, match="list of paths"):
        cmg290.dask.group_frame([partition_files[0], 5])


def test_an_id_is_cut_on_the_workers_for_series_and_files(example_records, partition_files):
    series = dd.from_pandas(pd.Series(example_records * 10), npartitions=3)
    with dask.config.set(scheduler="synchronous"):
        got = cmg290.dask.group_frame(series, id=(3, 9)).compute()
        files = cmg290.dask.group_frame(partition_files[:2], id=(3, 9)).compute()
    assert got.equals(cmg290.group_frame(pd.Series(example_records * 10), id=(3, 9)))
    assert list(files.columns[:3]) == ["file", "line", "id"]
    for path in partition_files[:2]:
        alone = cmg290.group_frame(pathlib.Path(path), id=(3, 9))
        assert files[files.file == path]["id"].tolist() == alone["id"].tolist()
    with pytest.raises(ValueError):
        cmg290.dask.group_frame(series, id=(0, 9))
