import os
from types import MappingProxyType
from typing import Any, ClassVar, Final, Literal, Sequence, TypedDict, Union

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
EDIT_CATALOGUE: Final[tuple[tuple[str, Literal["error", "warning"], str], ...]]
LAYOUT: Final[MappingProxyType[str, tuple[int, int]]]

PathArg = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]

class TierSetDescription(TypedDict):
    name: str
    sha256: str
    compiled_in: bool
    placeholders: bool
    deviations: list[str]

class TierSet:
    """A comorbidity tier-table set, immutable; from load_tier_set or compiled_tier_set."""

    @property
    def name(self) -> str:
        """The manifest's name, else the directory's; "compiled-in" for the compiled-in set."""
    @property
    def digest(self) -> str:
        """SHA-256 of the set's canonical contents, 64 lower-case hex digits."""
    @property
    def identity(self) -> str:
        """"NAME sha256:DIGEST", with ", deviating in N points" for allowed deviations."""
    @property
    def compiled_in(self) -> bool: ...
    @property
    def holds_placeholders(self) -> bool:
        """Some row is a generated placeholder, not taken from an official list."""
    @property
    def deviations(self) -> tuple[str, ...]:
        """Allowed deviations from the documented contents, as "FILE:LINE: reason"."""
    @property
    def path(self) -> str | None:
        """The absolute directory it was loaded from; None when compiled in."""
    @property
    def entries(self) -> dict[str, int]:
        """Entries per list file ("single-2.90.csv", ...)."""
    def to_dict(self) -> TierSetDescription:
        """name, sha256, compiled_in, placeholders, deviations."""
    def write(self, path: PathArg) -> None:
        """Writes the set into a directory in the form load_tier_set reads. Raises OSError."""
    def __copy__(self) -> TierSet: ...
    def __deepcopy__(self, memo: object) -> TierSet: ...

class TierSetError(ValueError):
    """A set that cannot be loaded; `problems` holds every "FILE:LINE: reason"."""

    SHOWN: ClassVar[int]
    path: str
    problems: list[str]
    def __init__(self, path: str, problems: Sequence[str]) -> None: ...

def load_tier_set(
    path: PathArg, allow_deviations: bool = False, sha256: str | None = None
) -> TierSet:
    """Load a tier-table set from a directory. Raises TierSetError (every problem), ValueError
    (a zero character in the path) or TypeError."""

def compiled_tier_set() -> TierSet:
    """The lists compiled into the grouper, as a TierSet."""

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

def group(record: Record, tier_set: TierSet | None = None) -> Result:
    """Group one record. Raises TypeError (not str or bytes) or ValueError (a character above U+00FF)."""

def group_frame(
    records: Records | os.PathLike[str],
    workers: int = -1,
    tier_set: TierSet | None = None,
    edits: bool = False,
    id: tuple[int, int] | None = None,
) -> pd.DataFrame:
    """Group many records on `workers` threads (-1: all cores) into a DataFrame, one row per record;
    a path object (pathlib.Path) names a file of records, one per line, grouped where it lies.
    attrs["tier_set"] describes the set that grouped (TierSet.to_dict). The texts but edits and id
    are categoricals; tier and ric are the CMG's tier letter and RIC. With id=(start, length) a
    first column "id": positions start to start+length-1 (1-based), blank-filled past a record's
    end. With edits=True a last column "edits": the codes of each record's edits joined with ";",
    "" for none.

    Raises TypeError (workers not an integer, tier_set neither a TierSet nor None, edits neither
    True nor False, id not two integers, an element neither str nor bytes, or masked) or
    ValueError (workers 0 or below -1, an id starting before 1, empty or ending past 1251, a
    character above U+00FF); OSError naming a file that cannot be read."""

def read_records(path: PathArg) -> npt.NDArray[np.bytes_]:
    """Read a file of records, one per line, into an array of dtype S1251.

    Raises OSError naming the file, ValueError for a path holding a zero character."""

def status_text(status: int) -> str:
    """Short English description of a status code."""

def explain(record: Record, tier_set: TierSet | None = None) -> dict[str, Any]:
    """Why a record got its result, step by step: the structure of `cmg290 explain --format json`."""

class Edit(TypedDict):
    code: str
    severity: Literal["error", "warning"]
    field: str | None
    value: str
    message: str

def edits(record: Record, tier_set: TierSet | None = None) -> list[Edit]:
    """The edits of one record, in the order the checks run: code, severity, field (None for the
    whole record), value (the record's bytes as Latin-1), message."""

def edits_frame(
    records: Records,
    tier_set: TierSet | None = None,
    workers: int = -1,
    id: tuple[int, int] | None = None,
) -> pd.DataFrame:
    """Every edit of many records, one row each, found on `workers` threads: record (int64, the
    0-based position; with id=(start, length) the record's id, str), code, severity and field (categoricals; field missing for the whole
    record), value and message (str). Empty input gives an empty frame of the same columns.

    Raises as group_frame does."""

def fields(records: Records, names: str | Sequence[str]) -> pd.DataFrame:
    """The named fields of LAYOUT as str columns, as they stand in each record (trailing blanks
    kept; what a short record holds of a field, "" past its end).

    Raises ValueError (a name not in LAYOUT, or given twice) or TypeError, and as group_frame does
    for the records."""

def build_record(**fields: Record) -> bytes:
    """A record of 1251 positions from named fields of LAYOUT. Raises ValueError (unknown field, value too long) or TypeError."""
