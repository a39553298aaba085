"""Case-mix grouper for inpatient rehabilitation assessments.

Groups fixed-position IRF-PAI assessment records (1251 positions) into a
case-mix group (CMG) with its comorbidity tier letter, the motor and
cognitive scores, the age and the table version, as ``cmg290 group`` does.

- ``group(record)`` groups one record and returns a ``Result``.
- ``group_frame(records, workers=-1)`` groups many records on several
  threads into a pandas DataFrame, one row per record, in input order;
  ``group_frame(pathlib.Path(file))`` groups a file of records, one per
  line, where it lies, the fastest way to group a file.
- ``read_records(path)`` reads a file of records, one per line, into a
  NumPy array of dtype ``S1251``.
- ``cmg290.dask.group_frame(series)`` groups a Dask Series of records,
  partition by partition, on any Dask scheduler, or files of records by
  their paths, a file a partition.
- ``explain(record)`` tells why a record got its result, step by step.
- ``edits(record)`` names the faults in a record that its status lets
  pass (a comorbid code without its dot, an item "88", a date
  "20230230", ...); ``group_frame(records, edits=True)`` adds their codes
  as a column, ``edits_frame(records)`` gives every edit one row each.
  ``EDIT_CATALOGUE`` lists every edit.
- ``fields(records, names)`` gives fields of many records by name.
- ``build_record(**fields)`` makes a record from named field values, and
  ``LAYOUT`` gives each field's first position and length.
- ``load_tier_set(path)`` loads a comorbidity tier-table set, which
  ``group``, ``group_frame``, ``explain`` and ``cmg290.dask.group_frame``
  take as ``tier_set=``; without one they use the lists compiled in
  (``compiled_tier_set()``).

A record is ``bytes``, taken as they are, or ``str``, one character per
position (U+0000 to U+00FF, as Latin-1). Positions past the end of a short
record read as blanks; positions after 1251 are not read.
"""

import types as _types

from . import _native
from ._frames import COLUMNS, _frame, group_frame, read_records
from ._long_form import edits_frame, fields
from ._native import Result, TierSet, status_text
from ._records import build_record, edits, explain, group
from ._tier_sets import (
    TierSetError,
    _compiled,
    _restore_tier_set,
    compiled_tier_set,
    load_tier_set,
)

#: The package's version, that of the project it is built from.
__version__ = _native.__version__

__all__ = [
    "COLUMNS",
    "EDIT_CATALOGUE",
    "GROUPER_VERSION",
    "LAYOUT",
    "RECORD_LENGTH",
    "Result",
    "TierSet",
    "TierSetError",
    "build_record",
    "compiled_tier_set",
    "edits",
    "edits_frame",
    "explain",
    "fields",
    "group",
    "group_frame",
    "load_tier_set",
    "read_records",
    "status_text",
]

#: The grouper's version label, "2.90".
GROUPER_VERSION = _native.GROUPER_VERSION
#: The highest record position the grouper reads.
RECORD_LENGTH = _native.RECORD_LENGTH

#: The fields of a record that the grouper reads, in its order: name to
#: (first position, 1-based; length).
LAYOUT = _types.MappingProxyType(_native.LAYOUT)

#: Every edit the grouper finds, in the order its checks run: (code,
#: severity, meaning), the severity "error" (the result is probably not what
#: was meant) or "warning" (suspicious).
EDIT_CATALOGUE = _native.EDIT_CATALOGUE

# The public names read as cmg290.NAME wherever they are defined, as they
# did when one module held them all (TierSetError pickles under it too).
for _name in ("TierSetError", "group_frame", "read_records", "build_record", "edits",
              "explain", "group", "compiled_tier_set", "load_tier_set"):
    globals()[_name].__module__ = __name__
del _name


def __getattr__(name):
    # cmg290.dask is imported on first use: it needs Dask, which grouping
    # in one process does not.
    if name == "dask":
        import importlib

        return importlib.import_module(".dask", __name__)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
