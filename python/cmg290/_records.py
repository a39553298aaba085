"""One record at a time: group, explain, edits and build_record."""

from . import _native

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

