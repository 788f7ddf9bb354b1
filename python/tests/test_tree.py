"""phylo.tree against phylo tree: every method and option on the same matrices and alignments,
the forms a source may take, the Tree object, refusals, and Ctrl-C."""

import gzip
import io
import os
import pickle
import re
import signal
import threading
import time
import traceback

import numpy as np
import pytest

import phylo
from conftest import CLI_DATA, EXAMPLES, PRODUCERS, run

MATRIX = EXAMPLES / "primates.dist"
ALIGNMENT = PRODUCERS / "aln12.fasta"


def command_tree(path, *options):
    status, out, err = run("tree", "-q", *options, path)
    assert status == 0, err
    return out.decode()


# (keyword arguments of phylo.tree, the same as options of phylo tree)
MATRIX_CASES = [
    ({}, []),
    ({"method": "bionj"}, ["--method=bionj"]),
    ({"method": "upgma"}, ["--method=upgma"]),
    ({"method": "wpgma", "threads": 1}, ["--method=wpgma", "--threads=1"]),
    ({"root": "midpoint"}, ["--root=midpoint"]),
    ({"outgroup": ["Hylobates_lar", "Macaca_mulatta"]}, ["--outgroup=Hylobates_lar,Macaca_mulatta"]),
    ({"outgroup": "Macaca_mulatta", "method": "bionj"}, ["--outgroup=Macaca_mulatta", "--method=bionj"]),
    ({"negative": "zero", "collapse": 0.02}, ["--negative=zero", "--collapse=0.02"]),
    ({"negative": "transfer"}, ["--negative=transfer"]),
]


@pytest.mark.parametrize("kwargs,options", MATRIX_CASES, ids=lambda x: str(x))
def test_matrices_as_the_command_builds_them(kwargs, options):
    dm, = phylo.read(MATRIX)
    want = command_tree(MATRIX, *options)
    assert phylo.tree(dm, **kwargs).newick() + "\n" == want
    assert str(phylo.tree(MATRIX, **kwargs)) + "\n" == want  # the file itself
    assert dm == phylo.read(MATRIX)[0]  # the matrix is left as it was


ALIGNMENT_CASES = [
    ({}, []),
    ({"model": "k80", "method": "bionj"}, ["--model=k80", "--method=bionj"]),
    ({"model": "p", "gaps": "complete"}, ["--model=p", "--gaps=complete"]),
    ({"model": "tn93", "bootstrap": 20}, ["--model=tn93", "--bootstrap=20"]),
    ({"bootstrap": 15, "seed": 99, "root": "midpoint"}, ["--bootstrap=15", "--seed=99", "--root=midpoint"]),
]


@pytest.mark.parametrize("kwargs,options", ALIGNMENT_CASES, ids=lambda x: str(x))
def test_alignments_as_the_command_builds_them(kwargs, options):
    want = command_tree(ALIGNMENT, *options)
    assert phylo.tree(ALIGNMENT, **kwargs).newick() + "\n" == want
    if kwargs.get("bootstrap"):
        assert re.search(r"\)\d+(\.\d+)?:", want)  # support values are written


def test_every_form_of_a_source_gives_one_tree():
    want = phylo.tree(ALIGNMENT).newick()
    text = ALIGNMENT.read_bytes()
    pairs, label = [], None
    for line in text.decode().splitlines():
        if line.startswith(">"):
            pairs.append([line[1:].strip(), ""])
        elif line.strip():
            pairs[-1][1] += line.strip()
    assert phylo.tree(str(ALIGNMENT)).newick() == want
    assert phylo.tree(io.BytesIO(text)).newick() == want
    assert phylo.tree(io.BytesIO(gzip.compress(text))).newick() == want
    assert phylo.tree([tuple(p) for p in pairs]).newick() == want
    assert phylo.tree(dict(pairs)).newick() == want
    assert phylo.tree(phylo.dist(ALIGNMENT, "jc69")).newick() == want
    # A matrix file in another layout, gzip too.
    dm, = phylo.read(MATRIX)
    nexus = dm.to_bytes("nexus")
    assert phylo.tree(io.BytesIO(gzip.compress(nexus))).newick() == phylo.tree(dm).newick()


def test_the_tree_object():
    dm, = phylo.read(MATRIX)
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


def test_to_skbio():
    skbio = pytest.importorskip("skbio")
    dm, = phylo.read(MATRIX)
    t = phylo.tree(dm).to_skbio()
    assert isinstance(t, skbio.TreeNode)
    assert sorted(tip.name for tip in t.tips()) == sorted(dm.labels)
    assert t.find("Homo_sapiens").length == pytest.approx(0.044131250120699406)


def test_refusals_name_the_problem():
    with pytest.raises(phylo.TreeInputError) as e:
        phylo.tree(phylo.DistanceMatrix([[0, 1, 2], [1, 0, 3], [2, 2, 0]], ["a", "b", "c"]))
    assert (e.value.problem, e.value.i, e.value.j) == ("asymmetric", 2, 1) and isinstance(e.value, ValueError)
    with pytest.raises(phylo.TreeInputError) as e:
        phylo.tree(phylo.DistanceMatrix([[0, 1, 2], [1, 0, 3], [2, 3, 0]], ["a", "b", "a"]))
    assert (e.value.problem, e.value.i, e.value.j) == ("duplicate_label", 0, 2)
    with pytest.raises(phylo.RangeError, match="no taxon 'nope'"):
        phylo.tree(MATRIX, outgroup="nope")
    text = MATRIX.read_bytes() + b"\n" + MATRIX.read_bytes()
    with pytest.raises(phylo.FormatError, match="more than one distance matrix") as e:
        phylo.tree(io.BytesIO(text))
    assert e.value.lineno == len(MATRIX.read_bytes().splitlines()) + 2
    with pytest.raises(phylo.UndefinedDistanceError):
        phylo.tree([("a", "AAAA"), ("b", "CCCC"), ("c", "ACGT")])
    with pytest.warns(phylo.UndefinedDistanceWarning):
        phylo.tree([("a", "AAAA"), ("b", "CCCC"), ("c", "ACGT")], undefined=5)


@pytest.mark.parametrize("kwargs,error,words", [
    ({"method": "fast"}, ValueError, "method='fast'"),
    ({"negative": "drop"}, ValueError, "negative='drop'"),
    ({"root": "centre"}, ValueError, "root='centre'"),
    ({"collapse": -1}, ValueError, "collapse"),
    ({"collapse": "1"}, TypeError, "collapse"),
    ({"bootstrap": -1}, ValueError, "bootstrap"),
    ({"bootstrap": 2.5}, ValueError, "bootstrap"),
    ({"seed": -1}, ValueError, "seed"),
    ({"threads": 0}, ValueError, "threads"),
    ({"threads": 1.5}, TypeError, "threads"),
    ({"root": "midpoint", "outgroup": "Gorilla_gorilla"}, ValueError, "exclude"),
    ({"outgroup": []}, ValueError, "outgroup"),
    ({"bootstrap": 5}, ValueError, "alignment"),
])
def test_bad_arguments_name_themselves(kwargs, error, words):
    dm, = phylo.read(MATRIX)
    with pytest.raises(error, match=words):
        phylo.tree(dm, **kwargs)


@pytest.mark.skipif(threading.current_thread() is not threading.main_thread(), reason="signals go to the main thread")
def test_ctrl_c_stops_a_long_tree():
    n = 7000
    rng = np.random.default_rng(3)
    a = rng.random((n, n), dtype=np.float32)
    a = (a + a.T) / 2
    np.fill_diagonal(a, 0)
    dm = phylo.DistanceMatrix(a, ["t%d" % i for i in range(n)])
    del a
    sent = []

    def interrupt():
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)

    timer = threading.Timer(0.3, interrupt)
    start = time.monotonic()
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt) as e:
            phylo.tree(dm, "bionj", threads=2)
        stopped = time.monotonic() - sent[0]
    finally:
        timer.cancel()
    assert "_phylo._tree_matrix" in traceback.extract_tb(e.value.__traceback__)[-1].line
    # The whole tree takes some 5 s on an idle machine of two cores (the frame above says that it
    # did not end before the signal was seen); it stopped within a few joins of the signal, once
    # the lists that precede the first join were made, with room for a machine busy with other
    # tests.
    assert stopped < 4.0, time.monotonic() - start
