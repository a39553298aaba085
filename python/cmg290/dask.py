"""Grouping a Dask Series of records, or files of them, partition by partition.

The same code runs on the local scheduler, on a LocalCluster and on a real
cluster (``distributed.Client("tcp://scheduler:8786")``): each partition is
grouped by ``cmg290.group_frame`` where it lives, so every worker needs the
cmg290 package installed.

A tier-table set (``tier_set=``) travels to the workers by its path and
digest: each worker process loads it from that path once, however many
partitions it groups, and refuses it if its files changed meanwhile. The
set's directory must therefore be readable at the same path on every
worker. So must files of records given by their paths.
"""

import os
import pathlib

import cmg290

__all__ = ["group_frame"]


def group_frame(series, workers=1, tier_set=None, edits=False, id=None):
    """Group a Dask Series of records, or files of them, into a Dask DataFrame.

    ``series``: a ``dask.dataframe.Series`` whose partitions hold str or
    bytes records. The result has the columns and dtypes of
    ``cmg290.group_frame``, one row per record, with the series' index and
    divisions.

    Or the path of a file of records, one per line (str or os.PathLike),
    or a list or tuple of them: one partition per file, which the worker
    reads and groups where it lies, as ``cmg290.group_frame(path)`` does,
    without a string per record (a gzip file is inflated, found by its
    magic bytes). Each row names its record as ``cmg290 group`` does with
    several files: a first column ``file`` (categorical, its categories the
    paths as given, in order) and the ``line`` of ``cmg290.group_frame``;
    the index is ``"FILE:LINE"`` (str, named ``record``), unique across the
    files; the divisions are unknown. Each file must be readable at the same
    path on every worker; one that is not, or is damaged gzip, fails the
    computation with the OSError of ``cmg290.group_frame``.

    ``workers``: grouping threads per partition. Dask already runs
    partitions side by side, one per worker thread, so the default is 1;
    -1 uses every core of the machine for each partition. A ``workers``
    that is not an integer (TypeError) or is 0 or below -1 (ValueError) is
    refused here, before any partition is grouped.

    A record that is not str or bytes, or a str with a character above
    U+00FF, fails the computation with the TypeError or ValueError of
    ``cmg290.group_frame``, naming the record by its index label:
    ``series.loc[1700] is NoneType, expected str or bytes``.

    ``tier_set``: a ``cmg290.TierSet``, or None for the lists compiled in;
    anything else is a TypeError here. A worker that cannot load the set,
    or finds its files changed (another digest), fails the computation
    with ``cmg290.TierSetError``. The frame's meta and what it computes
    carry the set's description in ``attrs["tier_set"]``, as
    ``cmg290.group_frame`` does.

    ``edits``: True adds the last column ``edits`` of ``cmg290.group_frame``
    (the codes of each record's edits joined with ";", "" for none), found
    on the workers with the same ``tier_set``; anything but True or False
    is a TypeError here.

    ``id``: ``(start, length)``, 1-based, adds the column ``id`` of
    ``cmg290.group_frame`` (the record's characters at those positions),
    cut on the workers; a bad ``id`` is refused here, before any partition
    is grouped.
    """
    workers = cmg290._native.check_workers(workers)
    paths = _paths(series)
    if paths is not None:
        import numpy as np
        import pandas as pd

        empty = pd.Series([], dtype=object)
    else:
        empty = series._meta
    meta = cmg290._frame(empty, 1, "series", tier_set, edits, id)
    if paths is not None:
        meta.insert(0, "line", np.empty(0, dtype=np.int64))
        meta = _named_rows(meta, np.empty(0, dtype=np.int64), paths, None)
    edits = "edits" in meta.columns  # checked by the meta's grouping; sent as a plain bool
    if tier_set is not None and tier_set.compiled_in:
        tier_set = None  # the same lists on every worker, nothing to send
    if paths is not None:
        import dask.dataframe as dd

        return dd.from_map(
            _group_file, paths, names=paths, workers=workers,
            tier_set=tier_set, edits=edits, id=id, meta=meta, enforce_metadata=False,
        )
    return series.map_partitions(_group_partition, workers, tier_set, edits, id, meta=meta)


def _paths(given):
    # The files of a path or a list or tuple of paths, as str; None for
    # anything else (a Series).
    if isinstance(given, (str, os.PathLike)):
        given = [given]
    elif not isinstance(given, (list, tuple)):
        return None
    if not given or not all(isinstance(p, (str, os.PathLike)) for p in given):
        raise TypeError("series must be a Dask Series, or a path or a list of paths of files of "
                        "records")
    return [os.fsdecode(p) for p in given]


def _group_partition(partition, workers, tier_set, edits, id):
    return cmg290._frame(partition, workers, "series", tier_set, edits, id)


def _group_file(path, names, workers, tier_set, edits, id):
    frame = cmg290._frame(pathlib.Path(path), workers, "series", tier_set, edits, id)
    return _named_rows(frame, frame["line"].to_numpy(), names, path)


def _named_rows(frame, lines, names, path):
    # The file `path` (one of names; None for the meta) as a first column,
    # and the index "FILE:LINE" of each row. A path given twice is one
    # category.
    import numpy as np
    import pandas as pd

    categories = list(dict.fromkeys(names))
    code = categories.index(path) if path is not None else 0
    file = pd.Categorical.from_codes(np.full(len(frame), code, dtype=np.int32),
                                     categories=pd.Index(categories, dtype=object))
    frame.insert(0, "file", file)
    frame.index = pd.Index([f"{path}:{line}" for line in lines.tolist()], dtype=object,
                           name="record")
    return frame
