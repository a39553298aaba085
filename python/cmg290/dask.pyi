import dask.dataframe as dd

def group_frame(series: dd.Series, workers: int = 1) -> dd.DataFrame:
    """Group a Dask Series of records partition by partition; columns as cmg290.group_frame."""
