import dask.dataframe as dd

from . import TierSet

def group_frame(
    series: dd.Series, workers: int = 1, tier_set: TierSet | None = None, edits: bool = False
) -> dd.DataFrame:
    """Group a Dask Series of records partition by partition; columns as cmg290.group_frame
    (with edits=True, the last column "edits").

    A tier_set is loaded once per worker process, from its path."""
