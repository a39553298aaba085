"""edits_frame and fields: a record's edits one row each, and its fields by
name, for many records at once."""

from . import _native

_CODES = tuple(code for code, _severity, _meaning in _native.EDIT_CATALOGUE)
_SEVERITIES = ("error", "warning")
_FIELDS = tuple(_native.LAYOUT)

#: Columns of the frames that edits_frame returns, in order.
EDITS_FRAME_COLUMNS = ("record", "code", "severity", "field", "value", "message")


def _categorical(codes, categories):
    import pandas as pd

    # The codes index the categories as the native module wrote them; -1 is
    # a missing value (a field for an edit of the whole record).
    dtype = pd.CategoricalDtype(list(categories))
    return pd.Categorical.from_codes(codes, dtype=dtype)


def edits_frame(records, tier_set=None, workers=-1, id=None):
    """Every edit of many records, one row per edit, as a pandas DataFrame.

    ``records`` are taken as by ``group_frame`` (a list or tuple of str or
    bytes, a pandas Series, a NumPy array), with the same exceptions;
    ``tier_set``, ``workers`` and ``id`` as well. The records are grouped and
    their edits found on ``workers`` threads, with the GIL released.

    Columns, in record order and within a record in the order the checks
    run (that of ``edits(record)``):

    - ``record`` (int64): the record's 0-based position in ``records``,
      which is the row label ``group_frame`` gives the same records unless
      they come as a Series with an index of its own (its label is then
      ``records.index[record]``). With ``id=(start, length)`` it holds the
      record's id instead (str), as ``group_frame``'s column ``id`` does.
    - ``code`` (categorical of the codes in ``EDIT_CATALOGUE`` order),
    - ``severity`` (categorical: "error", "warning"),
    - ``field`` (categorical of ``LAYOUT``'s names in layout order; missing
      for an edit of the whole record),
    - ``value`` (str: the field's text as read, without trailing blanks),
    - ``message`` (str: one English sentence).

    The values are those of ``edits(record)`` and of ``cmg290 group --edits
    -f jsonl``. Records without edits have no row; no records, or none
    with edits, give an empty frame with these columns and types.
    """
    import pandas as pd

    positions, codes, severities, fields, values, messages = _native.edit_columns(
        _plain(records), workers, tier_set, id
    )
    return pd.DataFrame(
        {
            "record": positions,
            "code": _categorical(codes, _CODES),
            "severity": _categorical(severities, _SEVERITIES),
            "field": _categorical(fields, _FIELDS),
            "value": pd.Series(values, dtype=object, copy=False),
            "message": pd.Series(messages, dtype=object, copy=False),
        },
        copy=False,
    )


def fields(records, names):
    """The named fields of many records, as a pandas DataFrame of str columns.

    ``records`` are taken as by ``group_frame``, with the same exceptions; a
    Series keeps its index, other records get 0, 1, ... as ``group_frame``
    gives them. ``names`` is a field name of ``LAYOUT`` or a list of them,
    one column each, in that order.

    Each value is the field's text as it stands in the record, trailing
    blanks kept (``.str.rstrip()`` gives the text the grouper reads). A
    record that ends within a field gives what it holds of the field; one
    that ends before the field gives "".

    Raises ValueError for a name that is not a field of ``LAYOUT`` (the
    message names it; docs/reference/record-layout.md lists the fields) or
    one given twice, TypeError for names that are not str.
    """
    import pandas as pd

    index = records.index if isinstance(records, pd.Series) else None
    plain = _plain(records)
    columns, values = _native.field_columns(plain, names)
    if index is None:
        index = pd.RangeIndex(len(plain))
    return pd.DataFrame(
        {
            name: pd.Series(column, index=index, dtype=object, copy=False)
            for name, column in zip(columns, values)
        },
        index=index,
        columns=columns,
        copy=False,
    )


def _plain(records):
    # A pandas Series is read as its values, as group_frame reads it.
    to_numpy = getattr(records, "to_numpy", None)
    if to_numpy is not None and type(records).__name__ == "Series":
        return to_numpy()
    return records
