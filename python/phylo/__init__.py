"""phylo: phylogenetic distance matrices at the speed of the C++ library.

The module reads and writes distance matrices in every layout of ``phylo convert``,
checks and transforms them, and computes distances from nucleotide alignments and
character matrices, as ``phylo dist`` does. A matrix's cells live in the library's
memory, and ``dm.values`` is a numpy float32 array that views them without a copy.

    >>> import phylo
    >>> dm, = phylo.read("examples/primates.dist")          # every layout, recognised
    >>> dm.labels[:2], dm.values.shape
    (['Human', 'Chimp'], (5, 5))
    >>> dm["Human", "Chimp"]
    0.0931...
    >>> dm.write("primates.nex", layout="nexus")
    >>> d = phylo.dist("aln.fasta", model="k80", gaps="pairwise")
    >>> d.to_skbio()                                          # scikit-bio's DistanceMatrix

Functions: read, dist, available_cpus. Class: DistanceMatrix. Errors: phylo.Error and
its subclasses (FormatError, RangeError, ... : see phylo.Error). Reading, writing and
computing distances release the interpreter lock; phylo.dist runs on every processor and
stops on Ctrl-C with KeyboardInterrupt. phylo.tree builds NJ, BIONJ, UPGMA and WPGMA trees
from a matrix or an alignment (with a bootstrap), as ``phylo tree`` does: a phylo.Tree,
whose newick() is its Newick text and to_skbio() scikit-bio's TreeNode.

    >>> t = phylo.tree(dm, method="bionj")
    >>> t.newick()
    '(Human:0.04...,Chimp:0.05...,...);'
"""

from __future__ import annotations

import io
import os
import warnings
from collections.abc import Mapping
from typing import Any, Iterable, List, NamedTuple, Optional, Sequence, Tuple, Union

from . import _errors
from ._errors import (
    ArgumentError,
    CheckError,
    Error,
    FileError,
    FindingWarning,
    FormatError,
    FormulaError,
    InvalidCharacterError,
    MissingPairError,
    RangeError,
    TreeInputError,
    UndecidedError,
    UndefinedDistanceError,
    UndefinedDistanceWarning,
)
from ._phylo import (
    INPUT_LAYOUTS,
    MAX_DISTANCE,
    OUTPUT_LAYOUTS,
    TRANSFORMS,
    DistanceMatrix,
    Tree,
    available_cpus,
)
from . import _phylo

__version__ = _phylo.__version__

__all__ = [
    "DistanceMatrix",
    "Tree",
    "Finding",
    "read",
    "dist",
    "tree",
    "available_cpus",
    "INPUT_LAYOUTS",
    "OUTPUT_LAYOUTS",
    "TRANSFORMS",
    "MAX_DISTANCE",
    "Error",
    "FormatError",
    "UndecidedError",
    "MissingPairError",
    "InvalidCharacterError",
    "RangeError",
    "ArgumentError",
    "FormulaError",
    "UndefinedDistanceError",
    "CheckError",
    "TreeInputError",
    "FileError",
    "FindingWarning",
    "UndefinedDistanceWarning",
]

PathType = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


class Finding(NamedTuple):
    """What a check found: ``kind`` ("asymmetry", "diagonal", "duplicate_label",
    "output_label", "unsafe_label", "cut_label" or "broken_label"), the taxa concerned
    (0-based rows; i == j when one taxon is) and a sentence that names them."""

    kind: str
    i: int
    j: int
    message: str


# ---- Sources ---------------------------------------------------------------------------------


def _is_path(source: Any) -> bool:
    return isinstance(source, (str, bytes, os.PathLike))


def _source(source: Any, argument: str = "source") -> Tuple[Optional[bytes], Optional[bytes], str]:
    """(path, data, name): a path for the library to open, or the bytes of a file object."""
    if _is_path(source):
        path = os.fsencode(source)
        return path, None, os.fsdecode(path)
    read = getattr(source, "read", None)
    if read is None:
        raise TypeError("%s must be a path or a binary file object, not %s" % (argument, type(source).__name__))
    data = read()
    if isinstance(data, str):
        raise TypeError("%s: the file object must be opened in binary mode ('rb')" % argument)
    if not isinstance(data, (bytes, bytearray, memoryview)):
        raise TypeError("%s: read() gave %s, not bytes" % (argument, type(data).__name__))
    name = getattr(source, "name", None)
    return None, bytes(data), name if isinstance(name, str) else "<file object>"


def _stacklevel() -> int:
    """The stack level of the first caller outside this package, for warnings."""
    import sys

    here = os.path.dirname(os.path.abspath(__file__))
    frame, level = sys._getframe(1), 1
    while frame is not None and os.path.dirname(os.path.abspath(frame.f_code.co_filename)) == here:
        frame, level = frame.f_back, level + 1
    return level


def _locate(e: Error, filename: str, lineno: Optional[int]) -> Error:
    if e.filename is None:
        e.filename = filename
    if e.lineno is None:
        e.lineno = lineno
    return e


_READ_CHECKS = ("asymmetry", "diagonal", "duplicate_label")


def _refuse_or_warn(findings: List[Finding], check: Optional[float], quiet: bool, filename: Optional[str],
                    lineno: Optional[int], fatal_kinds: Tuple[str, ...] = ()) -> None:
    fatal = [f for f in findings if check is not None or f.kind in fatal_kinds]
    if fatal:
        e = CheckError("; ".join(f.message for f in fatal), kind="check", filename=filename, lineno=lineno)
        e.findings = fatal
        raise e
    if not quiet:
        for f in findings:
            warnings.warn(((filename + ":" + (str(lineno) + ": " if lineno else " ")) if filename else "") + f.message,
                          FindingWarning, stacklevel=_stacklevel())


# ---- Reading ------------------------------------------------------------------------------------


def read(
    source: Union[PathType, Any],
    layout: str = "auto",
    shape: str = "auto",
    *,
    column: int = 3,
    fill: Optional[float] = None,
    similarity: Optional[str] = None,
    taxa: Union[str, Sequence[str], None] = None,
    symmetrize: Optional[str] = None,
    safe_labels: bool = False,
    check: Optional[float] = None,
    transform: str = "none",
    quiet: bool = False,
) -> List[DistanceMatrix]:
    """The distance matrices of a file, in order, as ``phylo convert`` reads them.

    source: a path (str, bytes or os.PathLike) or a binary file object; gzip is recognised
    by its first bytes. layout: "auto" (recognised from the first lines), "phylip",
    "relaxed", "tsv", "nexus", "csv", "pairs" or "mega". shape: "auto", "square", "lower",
    "lower-diagonal", "upper" or "upper-diagonal" (phylip, relaxed and tsv rows).
    A text that can be read in two ways is refused (phylo.UndecidedError names the
    argument that settles it); it is never guessed.

    Then, in this order, as the command does: column (pairs: the field of the distance,
    from 3), fill (pairs: the distance of a pair that no line gives); similarity
    ("fraction": D := 1 - S, "percent": D := 100 - S); taxa (keep these taxa in this
    order: a sequence of labels or a comma-separated str); symmetrize ("lower", "upper",
    "mean"); safe_labels (blanks, control characters and ( ) [ ] : ; , ' of labels made
    '_'); the checks (asymmetry beyond ``check``, a diagonal other than zero, a label twice):
    warnings (phylo.FindingWarning, none when quiet), or phylo.CheckError when ``check`` is
    a tolerance; transform ("none", "arcsin", "exp", "neglog", "square", "range", "sqrt").

    Errors: phylo.FormatError (with filename, lineno, column), phylo.RangeError,
    phylo.FileError (an OSError) for a file that cannot be opened.
    """
    path, data, name = _source(source)
    if not isinstance(column, int) or isinstance(column, bool):
        raise TypeError("column must be an int")
    if similarity is not None and similarity not in ("fraction", "percent"):
        raise ValueError("similarity=%r: expected 'fraction', 'percent' or None" % (similarity,))
    if isinstance(taxa, str):
        taxa = [t for t in taxa.split(",") if t]
    elif taxa is not None:
        taxa = list(taxa)
        if not taxa:
            raise ValueError("taxa: keep at least one taxon")
    if check is not None:
        check = float(check)
        if not check >= 0 or check == float("inf"):
            raise ValueError("check must be None or a tolerance of 0 or more")
    if transform not in TRANSFORMS:
        raise ValueError("transform=%r: expected one of %s" % (transform, ", ".join(map(repr, TRANSFORMS))))
    if symmetrize not in (None, "lower", "upper", "mean"):
        raise ValueError("symmetrize=%r: expected 'lower', 'upper', 'mean' or None" % (symmetrize,))
    out = []
    for m, line in _phylo._read(path, data, name, layout, shape, column, fill):
        try:
            if similarity is not None:
                m.similarity_to_distance(similarity)
            if taxa is not None:
                m = m.subset(taxa)
        except Error as e:
            raise _locate(e, name, line) from None
        if symmetrize is not None:
            m.symmetrize(symmetrize)
        if safe_labels:
            m.make_labels_safe()
        findings = [f for f in m.check(check or 0.0, "csv") if f.kind in _READ_CHECKS]
        _refuse_or_warn(findings, check, quiet, name, line)
        if transform != "none":
            try:
                m.transform(transform)
            except Error as e:
                e.msg = "the transformation fails: " + e.msg
                e.args = (e.msg,)
                raise _locate(e, name, line) from None
        out.append(m)
    return out


# ---- Distances ----------------------------------------------------------------------------------


def _pairs(alignment: Any) -> Iterable[Any]:
    if isinstance(alignment, Mapping):
        return list(alignment.items())
    try:
        items = list(alignment)
    except TypeError:
        raise TypeError("alignment must be a path, a file object or a sequence of (label, sequence) pairs, not %s"
                        % type(alignment).__name__) from None
    # Biopython's SeqRecord and alike: an id and a seq.
    return [(x.id, str(x.seq)) if hasattr(x, "id") and hasattr(x, "seq") else x for x in items]


def dist(
    alignment: Any,
    model: str = "p",
    gaps: str = "pairwise",
    threads: Optional[int] = None,
    *,
    undefined: Optional[float] = None,
    alphabet: str = "auto",
    gamma: Optional[float] = None,
    gamma_categories: Optional[int] = None,
    ts_tv: Optional[float] = None,
    kind: Optional[str] = None,
    metric: Optional[str] = None,
    layout: str = "relaxed",
    labels: Optional[Sequence[str]] = None,
    quiet: bool = False,
) -> DistanceMatrix:
    """The distance matrix of an alignment or a character matrix, as ``phylo dist`` computes it.

    alignment: a FASTA path or binary file object (gzip too), or a sequence of
    (label, sequence) pairs (a dict of label: sequence, Biopython records). alphabet:
    "auto" (nucleotides when every residue is a nucleotide code, else amino acids; a model
    of one alphabet sets it), "dna" or "protein". model: "p" (the proportion of differing
    sites) and "count" for both; for nucleotides "jc69", "k80" (or "k2p"), "k81", "f81",
    "f84", "t92", "tn93", "logdet"; for amino acids "poisson", "kimura", "jtt", "wag", "lg",
    "dayhoff", "blosum62". gamma: the shape of gamma-distributed rates across sites (with
    gamma_categories, 1 to 64, for jtt, wag, lg, dayhoff and blosum62); ts_tv: for f84, the
    transition/transversion ratio of PHYLIP's dnadist. gaps: "pairwise" (sites where both have a base), "complete" (sites where
    every sequence has one) or "count" (every site, each symbol as it stands; model "p"
    or "count" only). undefined: None (phylo.UndefinedDistanceError names the pairs for
    which the model is undefined) or the number written in their place (with a
    phylo.UndefinedDistanceWarning unless quiet). threads: None for one per processor.

    Character matrices, with kind "discrete", "quant" or "count": a path or file object
    holding one matrix (a line of the taxon and character counts, then rows of a label and
    the values; layout "relaxed", "phylip" or "commented"), or the values themselves with
    ``labels``: a 2-D array (quant, count) or a sequence of str (discrete). metric:
    quant "euclidean" (default), "std-euclidean", "chord", "canberra", "manhattan",
    "pearson", "euclidean-missing"; count "bray-curtis" (default) or "edgar"; discrete
    matrices give the proportion of differing symbols.

    The comparison releases the interpreter lock, runs on ``threads`` threads and stops
    on Ctrl-C with KeyboardInterrupt.
    """
    if threads is not None and (not isinstance(threads, int) or isinstance(threads, bool)):
        raise TypeError("threads must be None or an int")
    if kind is not None:
        if kind not in ("discrete", "quant", "count", "fasta"):
            raise ValueError("kind=%r: expected 'fasta', 'discrete', 'quant' or 'count'" % (kind,))
    if kind not in (None, "fasta"):
        if labels is not None:
            return _phylo._dist_char_array(alignment, labels, kind, metric)
        path, data, name = _source(alignment, "alignment")
        found = _phylo._dist_chars(path, data, name, kind, metric, layout)
        if len(found) != 1:
            raise FormatError("holds %d character matrices; phylo.dist takes one" % len(found), kind="format_error",
                              filename=name)
        return found[0]
    if metric is not None:
        raise ValueError("metric is for kind='quant' or 'count'; FASTA alignments take model=")
    if labels is not None:
        raise ValueError("labels is for character matrices given as values (with kind=)")
    more = {"alphabet": alphabet, "gamma": gamma, "gamma_categories": gamma_categories, "ts_tv": ts_tv}
    if _is_path(alignment) or hasattr(alignment, "read"):
        path, data, name = _source(alignment, "alignment")
        m, undefined_count = _phylo._dist_fasta(path, data, name, model, gaps, undefined, threads, more)
    else:
        if isinstance(alignment, (str, bytes)):
            raise TypeError("alignment must be a path, a file object or a sequence of (label, sequence) pairs")
        name = "alignment"
        m, undefined_count = _phylo._dist_pairs(_pairs(alignment), model, gaps, undefined, threads, more)
    if undefined_count and not quiet:
        _undefined_warning(name, model, undefined_count, undefined)
    return m


def _undefined_warning(name: str, model: str, count: int, undefined: Optional[float]) -> None:
    warnings.warn("%s: the %s distance is undefined for %d pair%s, written as %g" %
                  (name, model, count, "" if count == 1 else "s", undefined),
                  UndefinedDistanceWarning, stacklevel=_stacklevel())


# ---- Trees ------------------------------------------------------------------------------------


def tree(
    data: Any,
    method: str = "nj",
    *,
    model: str = "jc69",
    gaps: str = "pairwise",
    undefined: Optional[float] = None,
    alphabet: str = "auto",
    gamma: Optional[float] = None,
    gamma_categories: Optional[int] = None,
    ts_tv: Optional[float] = None,
    bootstrap: int = 0,
    seed: int = 1,
    root: Optional[str] = None,
    outgroup: Optional[Union[str, Sequence[str]]] = None,
    negative: str = "keep",
    collapse: Optional[float] = None,
    threads: Optional[int] = None,
    quiet: bool = False,
) -> Tree:
    """The tree of a distance matrix or of an alignment's distances, as ``phylo tree`` builds it.

    data: a phylo.DistanceMatrix; a path or binary file object of a FASTA alignment (a
    text that begins with '>'; gzip too) or of one distance matrix in any layout that
    phylo.read recognises; or a sequence of (label, sequence) pairs, as phylo.dist takes.
    method: "nj" (Saitou and Nei's neighbour joining, default), "bionj" (Gascuel's
    variant), both unrooted; "upgma" or "wpgma", rooted and ultrametric. Ties go to the pair
    of taxa first in the matrix's order: the tree is the same on every run and for any
    number of threads. A matrix must be symmetric, its diagonal zero, its distances finite
    and not negative, its labels distinct (phylo.TreeInputError names the first cell or
    labels that are not).

    Alignments: model, gaps, undefined, alphabet, gamma, gamma_categories and ts_tv as
    phylo.dist takes them (model "jc69" by default); bootstrap=N builds N more trees from
    the sites resampled (seed: the resampling's seed) and gives each internal branch the
    share (0 to 100) of those trees that hold its split, written as the support in Newick.

    root: None, or "midpoint" (the middle of the longest path between two taxa); outgroup:
    a label or labels on one side of the root's branch. negative: "keep" (default), "zero"
    or "transfer" (made zero, the deficit moved to the sibling). collapse: merge internal
    branches no longer than this into polytomies. threads: None for one per processor.

    The work releases the interpreter lock and stops on Ctrl-C with KeyboardInterrupt.
    """
    if threads is not None and (not isinstance(threads, int) or isinstance(threads, bool)):
        raise TypeError("threads must be None or an int")
    if not isinstance(method, str):
        raise TypeError("method must be a str")
    tree_more = {"root": root, "outgroup": outgroup, "negative": negative, "collapse": collapse,
                 "bootstrap": bootstrap, "seed": seed}
    if isinstance(data, DistanceMatrix):
        return _phylo._tree_matrix(data, method, threads, tree_more)
    more = {"alphabet": alphabet, "gamma": gamma, "gamma_categories": gamma_categories, "ts_tv": ts_tv}
    if _is_path(data) or hasattr(data, "read"):
        path, text, name = _source(data, "data")
        t, undefined_count = _phylo._tree_source(path, text, name, model, gaps, undefined, threads, more, method,
                                                 tree_more)
    else:
        name = "alignment"
        t, undefined_count = _phylo._tree_pairs(_pairs(data), model, gaps, undefined, threads, more, method, tree_more)
    if undefined_count and not quiet:
        _undefined_warning(name, model, undefined_count, undefined)
    return t


def _tree_repr(self: Tree) -> str:
    n = len(self)
    text = self.newick()
    if len(text) > 200:
        text = text[:200] + "..."
    return "phylo.Tree of %d lea%s%s: %s" % (n, "f" if n == 1 else "ves", ", rooted" if self.rooted else "", text)


def _tree_to_skbio(self: Tree) -> Any:
    """The tree as scikit-bio's ``skbio.TreeNode`` (read from its Newick text)."""
    import skbio

    return skbio.TreeNode.read(io.StringIO(self.newick() + "\n"), format="newick", convert_underscores=False)


def _tree_eq(self: Tree, other: object) -> Any:
    if not isinstance(other, Tree):
        return NotImplemented
    return self.newick() == other.newick()


Tree.__repr__ = _tree_repr  # type: ignore[assignment]
Tree.to_skbio = _tree_to_skbio  # type: ignore[attr-defined]
Tree.__eq__ = _tree_eq  # type: ignore[assignment]
Tree.__hash__ = None  # type: ignore[assignment]
Tree.__module__ = "phylo"


# ---- The matrix, beyond what the library gives -------------------------------------------------


def _check(self: DistanceMatrix, tolerance: float = 0.0, layout: str = "relaxed") -> List[Finding]:
    """What the checks of ``phylo convert`` find before the matrix is written in ``layout``:
    cells that differ from their mirror by more than ``tolerance``, a diagonal other than
    zero, a label twice, labels that the layout writes alike or as nothing, labels that
    programs reading the layout take apart or that break its rows. At most one finding of
    each kind (phylo.Finding), the first in row order."""
    tolerance = float(tolerance)
    if not tolerance >= 0:
        raise ValueError("tolerance must be 0 or more")
    return [Finding(*f) for f in self._check(tolerance, layout)]


def _to_bytes(self: DistanceMatrix, layout: str = "relaxed", *, digits: Optional[int] = None,
              check: Optional[float] = None, safe_labels: bool = False, quiet: bool = False) -> bytes:
    """The matrix as ``phylo convert --to=LAYOUT`` writes it, as bytes (see write)."""
    with _written_labels(self, layout, check, safe_labels, quiet):
        return self._to_bytes(layout, digits)


def _to_string(self: DistanceMatrix, layout: str = "relaxed", *, digits: Optional[int] = None,
               check: Optional[float] = None, safe_labels: bool = False, quiet: bool = False) -> str:
    """The matrix as ``phylo convert --to=LAYOUT`` writes it (see write), as a str."""
    return _to_bytes(self, layout, digits=digits, check=check, safe_labels=safe_labels,
                     quiet=quiet).decode("utf-8", "surrogateescape")


class _written_labels:
    """Runs the checks of the layout before writing; with safe_labels, the labels are
    written safe and given back afterwards."""

    def __init__(self, dm: DistanceMatrix, layout: str, check: Optional[float], safe_labels: bool,
                 quiet: bool) -> None:
        if layout not in OUTPUT_LAYOUTS:
            raise ValueError("layout=%r: expected one of %s" % (layout, ", ".join(map(repr, OUTPUT_LAYOUTS))))
        self.dm, self.layout, self.check, self.safe, self.quiet = dm, layout, check, safe_labels, quiet

    def __enter__(self) -> None:
        self.saved = self.dm.labels if self.safe else None
        if self.safe:
            self.dm.make_labels_safe()
        try:
            findings = _check(self.dm, self.check or 0.0, self.layout)
            _refuse_or_warn(findings, self.check, self.quiet, None, None, fatal_kinds=("broken_label",))
        except BaseException:
            self.__exit__()
            raise

    def __exit__(self, *exc: Any) -> None:
        if self.saved is not None:
            self.dm.labels = self.saved
            self.saved = None


def _write(self: DistanceMatrix, dest: Union[PathType, Any], layout: str = "relaxed", *,
           digits: Optional[int] = None, check: Optional[float] = None, safe_labels: bool = False,
           quiet: bool = False) -> None:
    """Writes the matrix as ``phylo convert --to=LAYOUT`` does.

    dest: a path (the file appears whole or not at all: the text goes to a temporary file
    beside it, renamed into place, keeping the mode of the file it replaces; a FIFO or a
    device is written directly) or a file object (binary, or text). layout: "relaxed"
    (default), "phylip", "tsv", "nexus-paup", "nexus-paup-quoted", "pairs", "raw",
    "phylip-lower", "relaxed-lower", "nexus", "csv", "pairs-header" or "mega". digits: csv,
    pairs-header and mega, 1 to 9 significant digits (None: the shortest that reads back).
    The checks of the layout warn (phylo.FindingWarning), or refuse with phylo.CheckError
    when ``check`` is a tolerance; a label that would break the layout's rows is always
    refused unless safe_labels writes it safe.
    """
    if not _is_path(dest):
        if not hasattr(dest, "write"):
            raise TypeError("dest must be a path or a file object, not %s" % type(dest).__name__)
        data = _to_bytes(self, layout, digits=digits, check=check, safe_labels=safe_labels, quiet=quiet)
        if isinstance(dest, io.TextIOBase):
            dest.write(data.decode("utf-8", "surrogateescape"))
        else:
            dest.write(data)
        return
    with _written_labels(self, layout, check, safe_labels, quiet):
        self._write_path(os.fsencode(dest), layout, digits)


def _repr(self: DistanceMatrix) -> str:
    import numpy

    n = len(self)
    labels = self.labels
    shown = ", ".join(repr(x) for x in labels[:6]) + (", ..." if n > 6 else "")
    body = numpy.array2string(self.values, threshold=100, edgeitems=3)
    return "phylo.DistanceMatrix of %d tax%s: %s\n%s" % (n, "on" if n == 1 else "a", shown, body)


def _to_skbio(self: DistanceMatrix) -> Any:
    """The matrix as scikit-bio's ``skbio.DistanceMatrix`` (float64, a copy); scikit-bio
    refuses a matrix that is not symmetric or whose diagonal is not zero."""
    import skbio

    return skbio.DistanceMatrix(self.values, ids=self.labels)


def _from_skbio(cls: type, matrix: Any) -> DistanceMatrix:
    """A matrix from scikit-bio's ``DistanceMatrix`` (or ``DissimilarityMatrix``)."""
    data = getattr(matrix, "data", None)
    ids = getattr(matrix, "ids", None)
    if data is None or ids is None:
        raise TypeError("from_skbio takes a scikit-bio DistanceMatrix, not %s" % type(matrix).__name__)
    return cls(data, [str(x) for x in ids])


def _to_pandas(self: DistanceMatrix, copy: bool = True) -> Any:
    """The matrix as a pandas DataFrame indexed by the labels in both directions; with
    copy=False the frame views the matrix's memory."""
    import pandas

    labels = self.labels
    return pandas.DataFrame(self.values, index=labels, columns=labels, copy=copy)


def _from_pandas(cls: type, frame: Any) -> DistanceMatrix:
    """A matrix from a square pandas DataFrame whose index labels the rows."""
    if list(frame.index) != list(frame.columns):
        raise ValueError("frame: the columns must be the index, in the same order")
    return cls(frame.to_numpy(), [str(x) for x in frame.index])


def _shape(self: DistanceMatrix) -> Tuple[int, int]:
    """(n, n)."""
    return (len(self), len(self))


DistanceMatrix.check = _check  # type: ignore[attr-defined]
DistanceMatrix.write = _write  # type: ignore[attr-defined]
DistanceMatrix.to_string = _to_string  # type: ignore[attr-defined]
DistanceMatrix.to_bytes = _to_bytes  # type: ignore[attr-defined]
DistanceMatrix.__repr__ = _repr  # type: ignore[assignment]
DistanceMatrix.to_skbio = _to_skbio  # type: ignore[attr-defined]
DistanceMatrix.from_skbio = classmethod(_from_skbio)  # type: ignore[attr-defined]
DistanceMatrix.to_pandas = _to_pandas  # type: ignore[attr-defined]
DistanceMatrix.from_pandas = classmethod(_from_pandas)  # type: ignore[attr-defined]
DistanceMatrix.shape = property(_shape)  # type: ignore[attr-defined]
DistanceMatrix.__module__ = "phylo"
