"""group_frame and read_records: many records grouped into a pandas
DataFrame, and a file of records read into a NumPy array."""

import os as _os

from . import _native
from ._tier_sets import _compiled

#: Columns of the frames that group_frame returns, in order; with ``id=`` a
#: first column ``id`` comes before them, with ``edits=True`` a last column
#: ``edits`` follows.
COLUMNS = (
    "status",
    "description",
    "cmg",
    "tier",
    "ric",
    "motor_score",
    "cognitive_score",
    "age",
    "table_version",
    "grouper_version",
)


def group_frame(records, workers=-1, tier_set=None, edits=False, id=None):
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

    ``workers``: the number of grouping threads, a whole number; -1, the
    default, uses every core this process may run on. The rows keep the
    input's order whatever the number. The GIL is released while grouping.

    Columns: ``status`` (int64), ``description``, ``cmg`` (missing unless
    status is 0), ``tier`` (the CMG's tier letter, "B" of "B0101"), ``ric``
    (its two first digits, the RIC, "01"; missing for a tier letter alone,
    where no CMG row fits), ``motor_score`` (float64, NaN unless status is
    0), ``cognitive_score`` (Int64, missing unless status is 0), ``age``
    (Int64, missing unless status is 0, 7 or 9), ``table_version`` (missing
    when the version date selects none) and ``grouper_version``. The texts
    are categoricals whose categories are every text the column can hold,
    the same in every frame.

    ``id``: None, or ``(start, length)``, two integers: record positions
    start to start + length - 1 (1-based) become a first column ``id``
    (str), as ``cmg290 group --id START:LENGTH`` writes them, to join the
    results back to the records. A record that ends before the id does
    gives what it holds of it, filled out with blanks. The id ends by
    position 1251, the last a record is held to here.

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
    ``edits`` that is neither True nor False; TypeError for an ``id`` that
    is not two integers (a bool is none) and ValueError for one that starts
    before 1, is empty or ends past 1251; TypeError naming the position
    of the first element that is not str or bytes, or is masked; ValueError
    for a str with a character above U+00FF. For a path: OSError
    (FileNotFoundError, IsADirectoryError, ...) naming the file when it
    cannot be read, or is cut short while it is read; ValueError for a path
    holding a zero character.
    """
    return _frame(records, workers, tier_set=tier_set, edits=edits, id=id)


def _categorical(codes_and_categories, index):
    import pandas as pd

    # The codes index the categories as the native module wrote them: every
    # text the column can hold, the same for every frame; -1 is missing.
    codes, categories = codes_and_categories
    values = pd.Categorical.from_codes(codes, dtype=pd.CategoricalDtype(categories))
    return pd.Series(values, index=index, copy=False)


def _frame(records, workers, name=None, tier_set=None, edits=False, id=None):
    # With a name, a bad element of a Series is named by its index label,
    # name.loc[label], as the Dask path needs: there the position would be
    # the one within a partition.
    import pandas as pd

    index = line = None
    if _is_path(records):
        columns, line = _native.group_file_columns(records, workers, tier_set, edits, id)
    else:
        if isinstance(records, pd.Series):
            index = records.index
            records = records.to_numpy()
        labels = index if name is not None else None
        columns = _native.group_columns(
            records, workers, labels, name or "records", tier_set, edits, id
        )
    (
        status,
        description,
        cmg,
        tier,
        ric,
        motor,
        cognitive,
        cognitive_missing,
        age,
        age_missing,
        table_version,
        grouper_version,
        edit_codes,
        ids,
    ) = columns

    # Object columns are wrapped as such, so that pandas does not scan them
    # for dates, and nothing is copied or consolidated.
    def text(values):
        return pd.Series(values, index=index, dtype=object, copy=False)

    def column(values):
        return pd.Series(values, index=index, copy=False)

    def category(values):
        return _categorical(values, index)

    frame = pd.DataFrame(
        {
            **({"id": text(ids)} if ids is not None else {}),
            "status": column(status),
            "description": category(description),
            "cmg": category(cmg),
            "tier": category(tier),
            "ric": category(ric),
            "motor_score": column(motor),
            "cognitive_score": column(pd.arrays.IntegerArray(cognitive, cognitive_missing)),
            "age": column(pd.arrays.IntegerArray(age, age_missing)),
            "table_version": category(table_version),
            "grouper_version": category(grouper_version),
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


