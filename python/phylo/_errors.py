"""The exceptions of phylo: every failure of the library is a phylo.Error.

Errors found in an input (format errors, values out of range, FASTA residues that are no
nucleotide code) carry where they lie, as SyntaxError does: ``filename``, ``lineno`` and
``column`` (None where not known), and ``msg``, the library's message. ``str(e)`` reads
``FILE:LINE: message`` as phylo's commands write it.
"""

from __future__ import annotations

import os
from typing import Any, Optional


class Error(Exception):
    """The base of every error of phylo.

    Attributes: ``kind`` (the library's name of the error, such as ``"format_error"``),
    ``msg`` (its message), ``filename``, ``lineno`` and ``column`` (None where not known).
    """

    def __init__(
        self,
        msg: str,
        *,
        kind: str = "error",
        filename: Optional[str] = None,
        lineno: Optional[int] = None,
        column: Optional[int] = None,
    ) -> None:
        super().__init__(msg)
        self.msg = msg
        self.kind = kind
        self.filename = filename
        self.lineno = lineno
        self.column = column

    def __str__(self) -> str:
        place = ""
        if self.filename is not None:
            place = self.filename + ":"
        if self.lineno is not None:
            place += str(self.lineno) + ":"
        return (place + " " if place else "") + self.msg


class FormatError(Error, ValueError):
    """A text that holds no matrix (or alignment) of the layout asked for, or that ends early."""


class UndecidedError(FormatError):
    """A text that can be read in two ways that give different matrices.

    ``reason`` is ``"layout"``, ``"labels"`` (PHYLIP or relaxed labels) or ``"shape"``; for a
    shape, ``shapes`` names the two that fit. Give ``layout=`` or ``shape=`` to settle it.
    """

    reason: str = "layout"
    shapes: tuple = ()


class MissingPairError(FormatError):
    """A list of pairs that lacks a pair; ``fill=`` gives such pairs a value."""


class InvalidCharacterError(FormatError):
    """A FASTA residue that is no nucleotide code; ``character`` holds it (bytes)."""

    character: bytes = b""


class RangeError(Error, ValueError):
    """A value outside its range: a negative distance, a taxon count, a transformation's result."""


class ArgumentError(Error, ValueError):
    """A distance outside the domain of a transformation (such as 'neglog' of a distance above 1)."""


class FormulaError(Error, ValueError):
    """A distance that is not defined for the kind of data (a model for gaps='count')."""


class UndefinedDistanceError(Error, ValueError):
    """The model gives no distance for some pairs; ``undefined=`` writes a number in their place.

    ``count`` is how many pairs; ``pairs`` lists the first as tuples
    ``(i, j, reason, sites, differing)``.
    """

    count: int = 0
    pairs: list = []


class CheckError(Error, ValueError):
    """A matrix refused by a check; ``findings`` lists what was found (phylo.Finding)."""

    findings: list = []


class TreeInputError(Error, ValueError):
    """A matrix that cannot give a tree: ``problem`` ("empty", "not_finite", "negative",
    "diagonal", "asymmetric" or "duplicate_label") and the taxa concerned, ``i`` and ``j``
    (0-based rows: the cell (i, j), or the two taxa of one label)."""

    problem: str = ""
    i: int = 0
    j: int = 0


class FileError(Error, OSError):
    """A file that cannot be opened, read or written. Where the system said why, it is also
    the OSError that Python gives that reason (IsADirectoryError, PermissionError, ...), with
    ``errno`` and ``strerror``."""


_FILE_ERRORS: dict = {}


def _file_error(code: int) -> type:
    builtin = type(OSError(code, ""))
    if builtin is OSError:
        return FileError
    if builtin not in _FILE_ERRORS:
        _FILE_ERRORS[builtin] = type("FileError", (FileError, builtin), {"__module__": __name__})
    return _FILE_ERRORS[builtin]


class FindingWarning(UserWarning):
    """What a check found in a matrix that is read or written without ``check=``."""


class UndefinedDistanceWarning(UserWarning):
    """Pairs for which the model gives no distance, written with the value of ``undefined=``."""


_KINDS = {
    "format_error": FormatError,
    "end_of_input": FormatError,
    "range_error": RangeError,
    "argument_error": ArgumentError,
    "formula_error": FormulaError,
    "unaligned_error": FormatError,
    "invalid_character_error": InvalidCharacterError,
    "alignment_error": FormatError,
    "undefined_distance_error": UndefinedDistanceError,
    "tree_input_error": TreeInputError,
    "name_error": FileError,
    "use_error": FileError,
    "write_error": FileError,
}

_SETTLE = {
    "layout": "; say layout='phylip', 'relaxed', 'tsv', 'nexus', 'csv', 'pairs' or 'mega'",
    "labels": "; say layout='phylip' or layout='relaxed'",
}


def from_library(
    kind: str,
    msg: str,
    filename: Optional[str] = None,
    lineno: Optional[int] = None,
    column: Optional[int] = None,
    **extra: Any,
) -> Error:
    """The exception for an error of the library (called by phylo._phylo)."""
    cls = _KINDS.get(kind, Error)
    if "reason" in extra:
        cls = UndecidedError
        reason = extra["reason"]
        if reason == "shape":
            first, second = extra.get("shapes", ("", ""))
            msg += "; say shape='%s' or shape='%s'" % (first, second)
        else:
            msg += _SETTLE[reason]
    elif extra.get("missing_pair"):
        cls = MissingPairError
        msg += "; say fill=NUMBER to give it a value"
        extra.pop("missing_pair")
    elif kind == "alignment_error" and "first_label" in extra:
        msg = "sequence %r has %d residues, but the first sequence, %r, has %d: %s" % (
            extra["label"], extra["length"], extra["first_label"], extra["first_length"], msg)
    elif kind == "alignment_error" and extra.get("label"):
        msg = "%s (sequence %d, %r)" % (msg, extra.get("sequence", 0), extra["label"])
    elif "errno" in extra:
        cls = _file_error(extra["errno"])
        extra["strerror"] = os.strerror(extra["errno"])
    elif kind == "undefined_distance_error":
        msg = _undefined_message(extra.get("count", 0), extra.get("pairs", []), extra.get("names"))
    e = cls(msg, kind=kind, filename=filename, lineno=lineno, column=column)
    for name, value in extra.items():
        setattr(e, name, value)
    return e


def _undefined_message(count: int, pairs: list, names: Optional[list]) -> str:
    text = "the distance is undefined for %d pair%s" % (count, "" if count == 1 else "s")
    shown = []
    for k, (i, j, reason, sites, differing) in enumerate(pairs[:3]):
        a, b = names[k] if names else (str(j), str(i))
        if reason == "no sites":
            shown.append("%r and %r have no site to compare" % (a, b))
        elif reason == "saturated":
            shown.append("%r and %r differ at %d of %d sites, too many for the model" % (a, b, differing, sites))
        else:
            shown.append("%r and %r (%s)" % (a, b, reason))
    if shown:
        text += ": " + "; ".join(shown)
    if count > len(shown) and shown:
        text += "; and %d more" % (count - len(shown))
    return text + " (undefined=NUMBER writes a number in their place)"
