"""Grouping a Dask Series of records, partition by partition.

The same code runs on the local scheduler, on a LocalCluster and on a real
cluster (``distributed.Client("tcp://scheduler:8786")``): each partition is
grouped by ``cmg290.group_frame`` where it lives, so every worker needs the
cmg290 package installed.
"""

import cmg290

__all__ = ["group_frame"]


def group_frame(series, workers=1):
    """Group a Dask Series of records into a Dask DataFrame.

    ``series``: a ``dask.dataframe.Series`` whose partitions hold str or
    bytes records. The result has the columns and dtypes of
    ``cmg290.group_frame``, one row per record, with the series' index and
    divisions.

    ``workers``: grouping threads per partition. Dask already runs
    partitions side by side, one per worker thread, so the default is 1;
    -1 uses every core of the machine for each partition. A ``workers``
    that is not an integer (TypeError) or is 0 or below -1 (ValueError) is
    refused here, before any partition is grouped.

    A record that is not str or bytes, or a str with a character above
    U+00FF, fails the computation with the TypeError or ValueError of
    ``cmg290.group_frame``, naming the record by its index label:
    ``series.loc[1700] is NoneType, expected str or bytes``.
    """
    workers = cmg290._native.check_workers(workers)
    meta = cmg290._frame(series._meta, 1, "series")
    return series.map_partitions(_group_partition, workers, meta=meta)


def _group_partition(partition, workers):
    return cmg290._frame(partition, workers, "series")
