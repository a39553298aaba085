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

import os as _os
import threading as _threading
import types as _types

from . import _native
from ._long_form import edits_frame, fields
from ._native import Result, TierSet, status_text

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

#: Columns of the frames that group_frame returns, in order; with
#: ``edits=True`` a last column ``edits`` follows.
COLUMNS = (
    "status",
    "description",
    "cmg",
    "motor_score",
    "cognitive_score",
    "age",
    "table_version",
    "grouper_version",
)


def group(record, tier_set=None):
    """Group one record.

    ``record`` is ``bytes`` (taken as they are) or ``str`` (each character
    one position). Positions past its end read as blanks.

    Returns a ``Result`` with ``status`` (0 when grouped), ``description``,
    ``cmg``, ``motor_score`` (float), ``motor_text`` (the grouper's own
    text, e.g. ".7"), ``cognitive_score``, ``age``, ``table_version`` and
    ``grouper_version``; outputs the grouping did not reach are None.

    ``tier_set``: the comorbidity tier lists to take the tier letter from,
    a ``TierSet`` (``load_tier_set``); None, the default, uses the lists
    compiled in.

    Raises TypeError when ``record`` is neither str nor bytes or
    ``tier_set`` is neither a TierSet nor None, and ValueError when a str
    holds a character above U+00FF (the message names it and its
    position).
    """
    return _native.group(record, tier_set)


def group_frame(records, workers=-1, tier_set=None, edits=False):
    """Group many records into a pandas DataFrame, one row per record.

    ``records``: a file of records, one per line, named by an os.PathLike
    (``pathlib.Path("records.txt")``): read and grouped by the threads where
    it lies, a part at a time, with the line rules of ``cmg290 group``
    (see ``read_records``; any byte, a zero byte too, is part of its line),
    so that nothing is made per record but the frame's cells; the rows are
    numbered from 0, and a first column ``line`` (int64) gives each record's
    line in the file, from 1, as the command numbers them. A gzip file (by
    its first bytes, 1f 8b) is inflated first. This is the fastest way to
    group a file, and gives the frame of ``group_frame(read_records(path))``
    and the column ``line``. A str or bytes is not
    taken for a path, since it could be one record: both are a TypeError.

    Or the records themselves: a list or tuple of str or bytes, a pandas
    Series of them (its index is kept), or a one-dimensional NumPy array: of dtype
    ``S1251``, read in place without a copy (zero bytes at the end of an
    element are not part of it, as NumPy reads such arrays; ``read_records``
    gives such an array), of dtype ``U`` (what ``numpy.array`` makes of a
    list of str; taken as that list of str would be) or of objects. A
    ``numpy.ma`` masked array is read as its data when nothing in it is
    masked; a masked element is refused as ``None`` in a list is, since no
    row could stand for it.

    ``workers``: grouping threads, an integer; -1 (the default) uses every
    core this process may run on. The GIL is released while grouping; rows
    keep the input's order whatever the number of threads.

    Columns: ``status`` (int64), ``description``, ``cmg`` (str; missing
    unless status is 0), ``motor_score`` (float64, NaN unless status is 0),
    ``cognitive_score`` (Int64, missing unless status is 0), ``age``
    (Int64, missing unless status is 0, 7 or 9), ``table_version`` (str;
    missing when the version date selects none) and ``grouper_version``.

    ``tier_set``: the comorbidity tier lists, a ``TierSet`` or None (the
    lists compiled in), shared read-only by the threads. The frame's
    ``attrs["tier_set"]`` describes the set that grouped it, as
    ``TierSet.to_dict`` does (the compiled-in set's too).

    ``edits``: True adds a last column ``edits`` (str): the codes of the
    record's edits joined with ";" (``"comorbid-code-form;item-value"``),
    "" for a record without edits; found by the same threads, with the same
    ``tier_set``. ``edits(record)`` gives one record's edits in full. The
    other columns are the same with and without edits.

    Raises, before anything is grouped: TypeError for ``workers`` that is
    not an integer and ValueError for 0 or below -1; TypeError for a
    ``tier_set`` that is neither a TierSet nor None; TypeError for an
    ``edits`` that is neither True nor False; TypeError naming the position
    of the first element that is not str or bytes, or is masked; ValueError
    for a str with a character above U+00FF. For a path: OSError
    (FileNotFoundError, IsADirectoryError, ...) naming the file when it
    cannot be read, or is cut short while it is read; ValueError for a path
    holding a zero character.
    """
    return _frame(records, workers, tier_set=tier_set, edits=edits)


def _frame(records, workers, name=None, tier_set=None, edits=False):
    # With a name, a bad element of a Series is named by its index label,
    # name.loc[label], as the Dask path needs: there the position would be
    # the one within a partition.
    import pandas as pd

    index = line = None
    if _is_path(records):
        columns, line = _native.group_file_columns(records, workers, tier_set, edits)
    else:
        if isinstance(records, pd.Series):
            index = records.index
            records = records.to_numpy()
        labels = index if name is not None else None
        columns = _native.group_columns(records, workers, labels, name or "records", tier_set, edits)
    (
        status,
        description,
        cmg,
        motor,
        cognitive,
        cognitive_missing,
        age,
        age_missing,
        table_version,
        grouper_version,
        edit_codes,
    ) = columns

    # Object columns are wrapped as such, so that pandas does not scan them
    # for dates, and nothing is copied or consolidated.
    def text(values):
        return pd.Series(values, index=index, dtype=object, copy=False)

    def column(values):
        return pd.Series(values, index=index, copy=False)

    frame = pd.DataFrame(
        {
            "status": column(status),
            "description": text(description),
            "cmg": text(cmg),
            "motor_score": column(motor),
            "cognitive_score": column(pd.arrays.IntegerArray(cognitive, cognitive_missing)),
            "age": column(pd.arrays.IntegerArray(age, age_missing)),
            "table_version": text(table_version),
            "grouper_version": text(grouper_version),
            **({"edits": text(edit_codes)} if edit_codes is not None else {}),
        },
        index=index,
        copy=False,
    )
    if line is not None:
        frame.insert(0, "line", line)  # the record's line in its file, from 1
    frame.attrs["tier_set"] = (tier_set if tier_set is not None else _compiled()).to_dict()
    return frame


def _is_path(records):
    # A file of records: a path object. A str or bytes could be one record,
    # and stays refused as records are.
    if isinstance(records, str):
        raise TypeError(
            "records must be a list, tuple, pandas Series or NumPy array, not str; "
            "a file of records is given by its path as a pathlib.Path"
        )
    return isinstance(records, _os.PathLike)


def read_records(path):
    """Read a file of records, one per line, into a NumPy array of dtype S1251.

    The line rules of ``cmg290 group``: lines end with LF or CRLF, a last
    line without a line end counts, empty lines are skipped and a longer
    line keeps its first 1251 characters. A shorter line keeps its length:
    NumPy fills out its element with zero bytes, which are not part of it,
    so that ``group_frame`` finds it short (the edit ``short-record``) as
    the command does; zero bytes at the very end of a line are lost the
    same way. Every other byte is kept as it is. ``path`` is a str, bytes
    or os.PathLike. ``group_frame(path)`` groups a file without this array,
    faster and in far less memory.

    Raises OSError (FileNotFoundError, PermissionError, IsADirectoryError,
    ...) naming the file when it cannot be opened or read, and ValueError
    for a path holding a zero character, as ``open`` does.
    """
    return _native.read_records(path)


def explain(record, tier_set=None):
    """Explain the grouping of one record, step by step.

    Returns the structure that ``cmg290 explain --format json`` writes for
    the record, as Python objects: the fields as read, every check, the
    table version, the dates and age, the impairment row and RIC, each
    item's part of the scores, the CMG row and the comorbidity tier search,
    and under "result" the result ``group`` gives. Field texts hold the
    record's bytes as characters U+0000 to U+00FF.

    With a ``tier_set`` (a ``TierSet``; None: the lists compiled in) the
    tier search runs over its lists, named by their files
    ("single-2.90.csv").

    ``record`` and ``tier_set`` are taken as by ``group``, with the same
    exceptions.
    """
    return _native.explain(record, tier_set)


def edits(record, tier_set=None):
    """The edits of one record: the faults its status lets pass.

    Returns a list of dicts, in the order the checks run, [] for none. Each
    has ``code`` (``"comorbid-code-form"``, ...; see ``EDIT_CATALOGUE``),
    ``severity`` (``"error"``: the result is probably not what was meant;
    ``"warning"``: suspicious), ``field`` (the field's name in ``LAYOUT``,
    None for an edit of the whole record), ``value`` (the field's text as
    read, without its trailing blanks: the record's bytes as characters
    U+0000 to U+00FF) and ``message`` (one English sentence). Finding them
    changes no result: the record is grouped as ``group`` groups it, with
    the same ``tier_set``, whose lists the comorbid codes are looked up in.
    Records of status 1 and 2 are not grouped by design and have none.

    ``record`` and ``tier_set`` are taken as by ``group``, with the same
    exceptions.
    """
    return _native.edits(record, tier_set)


def build_record(**fields):
    """Build a record of 1251 positions from named field values.

    Each keyword is a field name of ``LAYOUT``, its value a str (characters
    U+0000 to U+00FF) or bytes, put left-aligned into the field and filled
    out with blanks; every position no value covers is blank. Returns bytes.

    Raises ValueError for an unknown field or a value longer than its field
    (nothing is cut off), TypeError for a value that is neither str nor
    bytes; the message names the field.
    """
    return _native.build_record(**fields)


class TierSetError(ValueError):
    """A tier-table set that cannot be loaded.

    ``problems`` lists every fault found, each as "FILE:LINE: reason" (or
    "FILE: reason" for a whole file or the directory); the message names the
    directory and the first of them.
    """

    #: How many problems the message lists; ``problems`` holds them all.
    SHOWN = 20

    def __init__(self, path, problems):
        self.path = path
        self.problems = list(problems)
        count = len(self.problems)
        lines = [f"cannot load the tier-table set {path}: {count} problem{'s' * (count != 1)}"]
        lines += ["  " + p for p in self.problems[: self.SHOWN]]
        if count > self.SHOWN:
            lines.append(f"  ... and {count - self.SHOWN} more")
        super().__init__("\n".join(lines))

    def __reduce__(self):
        return (type(self), (self.path, self.problems))


def load_tier_set(path, allow_deviations=False, sha256=None):
    """Load a comorbidity tier-table set from a directory.

    The directory holds the seven lists as CSV, as ``cmg290 tables export
    --all`` and ``TierSet.write`` write them (``single-2.40.csv``,
    ``single-2.50.csv``, ``single-2.60.csv``, ``single-2.82.csv``,
    ``single-2.90.csv``, ``pair.csv``, ``secondary.csv``) and an optional
    ``manifest.txt`` naming the set. ``path`` is a str, bytes or
    os.PathLike; the set remembers it as an absolute path.

    A set that deviates from the documented contents of the lists (entry
    counts, the rows every version holds, ...) is refused unless
    ``allow_deviations`` is true; its deviations are then part of its
    identity. A set that breaks what the tier search relies on is refused
    all the same.

    ``sha256`` pins the set: the digest it must have (64 hex digits in
    either case, as ``TierSet.digest`` and ``cmg290 tables check`` show it).
    The set with that digest is taken with its deviations, as the set that
    was signed off; any other is refused, the problem naming both digests.

    Returns an immutable ``TierSet``, which any number of calls and threads
    may share. It can be pickled: a process that unpickles it loads it from
    its path once and checks its digest.

    Raises TierSetError (a ValueError) listing every problem as
    "FILE:LINE: reason" when the set cannot be loaded (a missing or
    unreadable directory, a missing file, a faulty row), ValueError for a
    path holding a zero character and TypeError for a path of another type;
    ValueError for a ``sha256`` that is not 64 hex digits and TypeError for
    one that is not a str.
    """
    path = _os.path.abspath(_os.fsdecode(path))
    if sha256 is not None and not isinstance(sha256, str):
        raise TypeError(
            f"sha256 must be a str of 64 hex digits or None, not {type(sha256).__name__}"
        )
    if sha256 is not None and not sha256:
        raise ValueError("sha256: the expected sha256 must be 64 hex digits; it is empty")
    tier_set, problems = _native.load_tier_set(path, bool(allow_deviations), sha256 or "")
    if tier_set is None:
        raise TierSetError(path, problems)
    return tier_set


def compiled_tier_set():
    """The tier lists compiled into the grouper, as a ``TierSet``.

    Grouping with it gives what grouping with ``tier_set=None`` gives. Most
    of its D entries are generated placeholders (``holds_placeholders``).
    """
    return _compiled()


def _compiled():
    return _native.compiled_tier_set()


# Sets unpickled by this process, by (path, digest, allow_deviations): a
# Dask worker receives the set with every partition's task and loads it
# from disk once.
_restored = {}
_restored_lock = _threading.Lock()


def _restore_tier_set(path, digest, allow_deviations):
    key = (path, digest, allow_deviations)
    with _restored_lock:
        tier_set = _restored.get(key)
        if tier_set is None:
            tier_set = load_tier_set(path, allow_deviations)
            if tier_set.digest != digest:
                raise TierSetError(
                    path,
                    [
                        f"{path}: the set's files changed after it was loaded: its lists now "
                        f"have sha256:{tier_set.digest}, expected sha256:{digest}"
                    ],
                )
            _restored[key] = tier_set
    return tier_set


def __getattr__(name):
    # cmg290.dask is imported on first use: it needs Dask, which grouping
    # in one process does not.
    if name == "dask":
        import importlib

        return importlib.import_module(".dask", __name__)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
