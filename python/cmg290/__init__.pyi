import os
from types import MappingProxyType
from typing import Any, Final, Sequence, Union

import numpy as np
import numpy.typing as npt
import pandas as pd

from . import dask as dask

Record = Union[str, bytes]
Records = Union[
    Sequence[Record], "pd.Series[str]", "pd.Series[bytes]", npt.NDArray[np.bytes_], npt.NDArray[np.str_]
]

__version__: Final[str]
GROUPER_VERSION: Final[str]
RECORD_LENGTH: Final[int]
COLUMNS: Final[tuple[str, ...]]
LAYOUT: Final[MappingProxyType[str, tuple[int, int]]]

class Result:
    """The result of grouping one record; outputs not reached are None."""

    @property
    def status(self) -> int:
        """0 grouped; 1, 2, 3, 5, 6, 7 or 9 the check that failed."""
    @property
    def description(self) -> str:
        """Short English description of the status."""
    @property
    def cmg(self) -> str | None:
        """Tier letter and CMG code ("C0102"), the letter alone when no CMG row fits; None unless status is 0."""
    @property
    def motor_score(self) -> float | None:
        """Weighted motor score, one decimal; None unless status is 0."""
    @property
    def motor_text(self) -> str | None:
        """The motor score as the grouper writes it (".7"); None unless status is 0."""
    @property
    def cognitive_score(self) -> int | None:
        """Cognitive score; None unless status is 0."""
    @property
    def age(self) -> int | None:
        """Age in whole years; None unless status is 0, 7 or 9."""
    @property
    def table_version(self) -> str | None:
        """"2.40" to "2.90"; None when the version date selects none."""
    @property
    def grouper_version(self) -> str:
        """The grouper's version, "2.90"."""
    def __eq__(self, other: object) -> bool: ...
    def __getstate__(self) -> tuple[int, str, str, int, int, str, str]: ...
    def __setstate__(self, state: tuple[int, str, str, int, int, str, str]) -> None: ...

def group(record: Record) -> Result:
    """Group one record. Raises TypeError (not str or bytes) or ValueError (a character above U+00FF)."""

def group_frame(records: Records, workers: int = -1) -> pd.DataFrame:
    """Group many records on `workers` threads (-1: all cores) into a DataFrame, one row per record.

    Raises TypeError (workers not an integer, an element neither str nor bytes, or masked) or
    ValueError (workers 0 or below -1, a character above U+00FF)."""

def read_records(path: Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]) -> npt.NDArray[np.bytes_]:
    """Read a file of records, one per line, into an array of dtype S1251.

    Raises OSError naming the file, ValueError for a path holding a zero character."""

def status_text(status: int) -> str:
    """Short English description of a status code."""

def explain(record: Record) -> dict[str, Any]:
    """Why a record got its result, step by step: the structure of `cmg290 explain --format json`."""

def build_record(**fields: Record) -> bytes:
    """A record of 1251 positions from named fields of LAYOUT. Raises ValueError (unknown field, value too long) or TypeError."""
