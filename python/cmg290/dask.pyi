import os
from typing import Sequence

import dask.dataframe as dd

from . import TierSet

def group_frame(
    series: dd.Series | str | os.PathLike[str] | Sequence[str | os.PathLike[str]],
    workers: int = 1, tier_set: TierSet | None = None, edits: bool = False
) -> dd.DataFrame:
    """Group a Dask Series of records partition by partition, or files of records (a path or a
    list of paths) a file a partition; columns as cmg290.group_frame (with edits=True, the last
    column "edits").

    A tier_set is loaded once per worker process, from its path."""
