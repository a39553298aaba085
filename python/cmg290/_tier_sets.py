"""Comorbidity tier-table sets: loading them, the compiled-in lists, and
restoring a pickled set once per process."""

import os as _os
import threading as _threading

from . import _native

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

