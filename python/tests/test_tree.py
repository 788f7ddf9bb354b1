"""phylo.tree against phylo tree: every method and option on the same matrices and alignments,
the forms a source may take, the Tree object, refusals, and Ctrl-C."""

import gzip
import io
import pickle
import re
import traceback

import numpy as np
import pytest

import phylo
from conftest import PRIMATES as MATRIX, PRODUCERS, fasta_pairs, interrupted, main_thread_only, output, raised

ALIGNMENT = PRODUCERS / "aln12.fasta"


# (keyword arguments of phylo.tree, the same as options of phylo tree)
MATRIX_CASES = [
    ({}, []), ({"method": "bionj"}, ["--method=bionj"]), ({"method": "upgma"}, ["--method=upgma"]),
    ({"method": "wpgma", "threads": 1}, ["--method=wpgma", "--threads=1"]),
    ({"root": "midpoint"}, ["--root=midpoint"]), ({"negative": "transfer"}, ["--negative=transfer"]),
    ({"outgroup": ["Hylobates_lar", "Macaca_mulatta"]}, ["--outgroup=Hylobates_lar,Macaca_mulatta"]),
    ({"outgroup": "Macaca_mulatta", "method": "bionj"}, ["--outgroup=Macaca_mulatta", "--method=bionj"]),
    ({"negative": "zero", "collapse": 0.02}, ["--negative=zero", "--collapse=0.02"]),
]


@pytest.mark.parametrize("kwargs,options", MATRIX_CASES, ids=lambda x: str(x))
def test_matrices_as_the_command_builds_them(dm, kwargs, options):
    want = output("tree", "-q", *options, MATRIX).decode()
    assert phylo.tree(dm, **kwargs).newick() + "\n" == want
    assert str(phylo.tree(MATRIX, **kwargs)) + "\n" == want  # the file itself
    assert dm == phylo.read(MATRIX)[0]  # the matrix is left as it was


ALIGNMENT_CASES = [
    ({}, []), ({"model": "k80", "method": "bionj"}, ["--model=k80", "--method=bionj"]),
    ({"model": "p", "gaps": "complete"}, ["--model=p", "--gaps=complete"]),
    ({"model": "tn93", "bootstrap": 20}, ["--model=tn93", "--bootstrap=20"]),
    ({"bootstrap": 15, "seed": 99, "root": "midpoint"}, ["--bootstrap=15", "--seed=99", "--root=midpoint"]),
]


@pytest.mark.parametrize("kwargs,options", ALIGNMENT_CASES, ids=lambda x: str(x))
def test_alignments_as_the_command_builds_them(kwargs, options):
    want = output("tree", "-q", *options, ALIGNMENT).decode()
    assert phylo.tree(ALIGNMENT, **kwargs).newick() + "\n" == want
    if kwargs.get("bootstrap"):
        assert re.search(r"\)\d+(\.\d+)?:", want)  # support values are written


def test_every_form_of_a_source_gives_one_tree(dm):
    want = phylo.tree(ALIGNMENT).newick()
    text = ALIGNMENT.read_bytes()
    pairs = fasta_pairs(text.decode())
    for source in (str(ALIGNMENT), io.BytesIO(text), io.BytesIO(gzip.compress(text)), pairs, dict(pairs),
                   phylo.dist(ALIGNMENT, "jc69")):
        assert phylo.tree(source).newick() == want
    # A matrix file in another layout, gzip too.
    assert phylo.tree(io.BytesIO(gzip.compress(dm.to_bytes("nexus")))).newick() == phylo.tree(dm).newick()


def test_the_tree_object(dm):
    t = phylo.tree(dm)
    assert len(t) == 6 and t.labels == dm.labels and not t.rooted
    assert phylo.tree(dm, "upgma").rooted and phylo.tree(dm, root="midpoint").rooted
    assert repr(t).startswith("phylo.Tree of 6 leaves: ((Homo_sapiens:0.04413")
    assert t.newick(digits=2).startswith("((Homo_sapiens:0.044,Pan_troglodytes:0.049):0.0069,")
    assert pickle.loads(pickle.dumps(t)) == t and t != phylo.tree(dm, "upgma")
    odd = phylo.DistanceMatrix([[0, 1, 2], [1, 0, 2], [2, 2, 0]], ["a b", "c", "d"])
    assert phylo.tree(odd).newick() == "('a b':0.5,c:0.5,d:1.5);"
    assert phylo.tree(odd).newick(safe_labels=True) == "(a_b:0.5,c:0.5,d:1.5);"
    assert len(phylo.tree(phylo.DistanceMatrix([[0]], ["x"]))) == 1


def test_to_skbio(dm):
    skbio = pytest.importorskip("skbio")
    t = phylo.tree(dm).to_skbio()
    assert isinstance(t, skbio.TreeNode)
    assert sorted(tip.name for tip in t.tips()) == sorted(dm.labels)
    assert t.find("Homo_sapiens").length == pytest.approx(0.044131250120699406)


def test_refusals_name_the_problem():
    asymmetric = phylo.DistanceMatrix([[0, 1, 2], [1, 0, 3], [2, 2, 0]], ["a", "b", "c"])
    e = raised(phylo.TreeInputError, phylo.tree, asymmetric)
    assert (e.problem, e.i, e.j) == ("asymmetric", 2, 1) and isinstance(e, ValueError)
    twice = phylo.DistanceMatrix([[0, 1, 2], [1, 0, 3], [2, 3, 0]], ["a", "b", "a"])
    e = raised(phylo.TreeInputError, phylo.tree, twice)
    assert (e.problem, e.i, e.j) == ("duplicate_label", 0, 2)
    raised(phylo.RangeError, phylo.tree, MATRIX, outgroup="nope", match="no taxon 'nope'")
    text = MATRIX.read_bytes() + b"\n" + MATRIX.read_bytes()
    e = raised(phylo.FormatError, phylo.tree, io.BytesIO(text), match="more than one distance matrix")
    assert e.lineno == len(MATRIX.read_bytes().splitlines()) + 2
    raised(phylo.UndefinedDistanceError, phylo.tree, [("a", "AAAA"), ("b", "CCCC"), ("c", "ACGT")])
    with pytest.warns(phylo.UndefinedDistanceWarning):
        phylo.tree([("a", "AAAA"), ("b", "CCCC"), ("c", "ACGT")], undefined=5)


@pytest.mark.parametrize("kwargs,error,words", [
    ({"method": "fast"}, ValueError, "method='fast'"), ({"negative": "drop"}, ValueError, "negative='drop'"),
    ({"root": "centre"}, ValueError, "root='centre'"), ({"collapse": -1}, ValueError, "collapse"),
    ({"collapse": "1"}, TypeError, "collapse"), ({"bootstrap": -1}, ValueError, "bootstrap"),
    ({"bootstrap": 2.5}, ValueError, "bootstrap"), ({"seed": -1}, ValueError, "seed"),
    ({"threads": 0}, ValueError, "threads"), ({"threads": 1.5}, TypeError, "threads"),
    ({"root": "midpoint", "outgroup": "Gorilla_gorilla"}, ValueError, "exclude"),
    ({"outgroup": []}, ValueError, "outgroup"), ({"bootstrap": 5}, ValueError, "alignment"),
])
def test_bad_arguments_name_themselves(dm, kwargs, error, words):
    raised(error, phylo.tree, dm, match=words, **kwargs)


@main_thread_only
def test_ctrl_c_stops_a_long_tree():
    n = 7000
    a = np.random.default_rng(3).random((n, n), dtype=np.float32)
    a = (a + a.T) / 2
    np.fill_diagonal(a, 0)
    dm = phylo.DistanceMatrix(a, ["t%d" % i for i in range(n)])
    del a
    e, stopped = interrupted(0.3, phylo.tree, dm, "bionj", threads=2)
    assert "_phylo._tree_matrix" in traceback.extract_tb(e.__traceback__)[-1].line
    # The whole tree takes some 5 s on an idle machine of two cores (the frame above says that it
    # did not end before the signal was seen); it stopped within a few joins of the signal, once
    # the lists that precede the first join were made, with room for a machine busy with other
    # tests.
    assert stopped < 4.0, stopped
