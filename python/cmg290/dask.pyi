import dask.dataframe as dd

from . import TierSet

def group_frame(series: dd.Series, workers: int = 1, tier_set: TierSet | None = None) -> dd.DataFrame:
    """Group a Dask Series of records partition by partition; columns as cmg290.group_frame.

    A tier_set is loaded once per worker process, from its path."""
