"""phylo.dist against phylo dist: every model and gap rule on the same alignments, alignments
given as pairs, character matrices and their metrics, refusals with positions, threads."""

import gzip
import io
import types

import numpy as np
import pytest

import phylo
from conftest import CLI_DATA, EXAMPLES, PRODUCERS, fasta_pairs, output, raised, run

ALN12 = PRODUCERS / "aln12.fasta"
ALIGNMENTS = [ALN12, EXAMPLES / "primates.fasta", CLI_DATA / "example.fa"]
MODELS = ["p", "count", "jc69", "k80", "k81", "f81", "f84", "t92", "tn93", "logdet"]
PROTEIN = b">a\nMKVLAAGIVW\n>b\nMKVLSAGIVW\n>c\nMRVLSAGLVW\n>d\nMKILSPGLVF\n"


@pytest.mark.parametrize("path", ALIGNMENTS, ids=lambda p: p.name)
@pytest.mark.parametrize("gaps", ["pairwise", "complete", "count"])
@pytest.mark.parametrize("model", MODELS)
def test_every_model_and_rule_as_the_command_computes_it(path, model, gaps):
    status, expected, err = run("dist", "-q", "--to=tsv", "--undefined=7", "--model=" + model, "--gaps=" + gaps, path)
    if status != 0:
        raised((phylo.Error, ValueError), phylo.dist, path, model, gaps, undefined=7, quiet=True)
        return
    dm = phylo.dist(path, model, gaps, undefined=7, quiet=True)
    assert dm.to_bytes("tsv", quiet=True) == expected
    assert phylo.dist(fasta_pairs(path.read_text()), model, gaps, undefined=7, quiet=True) == dm
    with open(path, "rb") as f:
        assert phylo.dist(f, model=model, gaps=gaps, undefined=7, quiet=True) == dm


@pytest.mark.parametrize("model,options,args", [
    ("p", {}, []), ("poisson", {}, []), ("kimura", {}, []), ("jtt", {}, []),
    ("wag", {"gamma": 0.5}, ["--gamma=0.5"]), ("dayhoff", {}, []),
    ("blosum62", {"gamma": 0.5}, ["--gamma=0.5"]),
    ("lg", {"gamma": 1.0, "gamma_categories": 2}, ["--gamma=1", "--gamma-categories=2"])])
def test_amino_acids_as_the_command_computes_them(model, options, args):
    expected = output("dist", "-q", "--to=tsv", "--model=" + model, *args, "-", stdin=PROTEIN)
    dm = phylo.dist(io.BytesIO(PROTEIN), model, **options)
    assert dm.to_bytes("tsv") == expected
    assert phylo.dist(fasta_pairs(PROTEIN.decode()), model, **options) == dm


@pytest.mark.parametrize("model,options,args", [
    ("f84", {"ts_tv": 2.0}, ["--ts-tv=2"]), ("k80", {"gamma": 0.5}, ["--gamma=0.5"]),
    ("p", {"alphabet": "protein"}, ["--alphabet=protein"])])
def test_nucleotide_options_as_the_command_reads_them(model, options, args):
    expected = output("dist", "-q", "--to=tsv", "--model=" + model, *args, ALN12)
    assert phylo.dist(ALN12, model, **options).to_bytes("tsv") == expected


def test_alignments_in_other_forms():
    dm = phylo.dist(ALN12)
    pairs = fasta_pairs(ALN12.read_text())
    records = [types.SimpleNamespace(id=label, seq=seq) for label, seq in pairs]  # as Biopython's SeqRecords
    for source in (io.BytesIO(gzip.compress(ALN12.read_bytes())), dict(pairs),
                   [(label, seq.encode()) for label, seq in pairs], records):
        assert phylo.dist(source) == dm


@pytest.mark.parametrize("threads", [1, 2, 3, 7])
def test_threads_change_nothing(threads):
    rng = np.random.default_rng(3)
    codes = np.frombuffer(b"ACGTN-", dtype=np.uint8)
    seqs = [("t%d" % i, codes[rng.integers(0, 6, 500)].tobytes()) for i in range(150)]
    one = phylo.dist(seqs, "tn93", threads=1, undefined=0, quiet=True)
    assert phylo.dist(seqs, "tn93", threads=threads, undefined=0, quiet=True) == one
    assert phylo.available_cpus() >= 1


def test_refusals_name_the_sequence_and_its_line():
    text = b">a\nACGT\n>b\nAC1T\n"
    status, _, err = run("dist", "-", stdin=text)
    assert status == 1 and ":4:" in err
    e = raised(phylo.InvalidCharacterError, phylo.dist, io.BytesIO(text))
    assert (e.lineno, e.column, e.character) == (4, 3, b"1")
    e = raised(phylo.InvalidCharacterError, phylo.dist, [("a", "ACGT"), ("b", "ACG1")])
    assert (e.lineno, e.column) == (2, 4)
    e = raised(phylo.InvalidCharacterError, phylo.dist, io.BytesIO(b">a\nACGT\n>b\nACXT\n"), alphabet="dna")
    assert (e.lineno, e.column, e.character) == (4, 3, b"X")
    e = raised(phylo.InvalidCharacterError, phylo.dist, [("a", "ACGT"), ("b", "AZGT")], alphabet="dna",
               match="not a nucleotide code")
    assert (e.lineno, e.column) == (2, 2)
    e = raised(phylo.FormatError, phylo.dist, io.BytesIO(b">a\nACGT\n>b\nACG\n"))
    assert e.lineno == 3 and "residues" in e.msg
    e = raised(phylo.FormatError, phylo.dist, io.BytesIO(b">a\nACGT\n>\nACGT\n"))
    assert e.lineno == 3 and "no label" in e.msg
    raised(phylo.FormatError, phylo.dist, io.BytesIO(b"ACGT\n>a\nACGT\n"), match="before the first header")
    raised(phylo.FormatError, phylo.dist, io.BytesIO(b""), match="holds no sequences")
    raised(phylo.FormatError, phylo.dist, [("a", "ACGT"), ("b", "")], match="residues")
    raised(phylo.InvalidCharacterError, phylo.dist, io.BytesIO(b">a\nAC1T\n>b\nACGT\n"), alphabet="protein",
           match="amino-acid code")


def test_undefined_distances():
    seqs = [("a", "AC--"), ("b", "--GT"), ("c", "ACGT")]
    e = raised(phylo.UndefinedDistanceError, phylo.dist, seqs)
    assert e.count == 1 and "'a' and 'b' have no site to compare" in str(e)
    assert e.pairs[0][:3] == (1, 0, "no sites")
    with pytest.warns(phylo.UndefinedDistanceWarning, match="1 pair"):
        assert phylo.dist(seqs, undefined=5)["a", "b"] == 5


@pytest.mark.parametrize("source", [[("a", "ACGT"), ("b", "ACGA")], ALN12], ids=["pairs", "file"])
@pytest.mark.parametrize("kwargs,error,word", [
    ({"model": "hky"}, ValueError, "model"), ({"gaps": "none"}, ValueError, "gaps"),
    ({"model": "k80", "gaps": "count"}, ValueError, "gaps='count'"),
    ({"undefined": -1}, ValueError, "undefined"), ({"threads": 0}, ValueError, "threads"),
    ({"kind": "protein"}, ValueError, "kind"), ({"metric": "chord"}, ValueError, "metric"),
    ({"threads": "2"}, TypeError, "threads"), ({"model": "jtt", "alphabet": "dna"}, ValueError, "amino acids"),
    ({"alphabet": "rna"}, ValueError, "alphabet"), ({"model": "p", "gamma": 1.0}, ValueError, "gamma"),
    ({"model": "k80", "ts_tv": 2.0}, ValueError, "ts_tv"),
    ({"model": "jtt", "gamma_categories": 0}, ValueError, "gamma_categories"),
    ({"model": "f84", "gamma": 0.5, "ts_tv": 2.0}, ValueError, "together")])
def test_bad_arguments_name_themselves(source, kwargs, error, word):
    raised(error, phylo.dist, source, match=word, **kwargs)


def test_bad_alignments_name_themselves():
    raised(TypeError, phylo.dist, "ACGT" and 42, match="alignment")
    raised(TypeError, phylo.dist, [("a", "ACGT", "x")], match="pair")
    raised(TypeError, phylo.dist, [("a", 5)], match="str or bytes")


@pytest.mark.parametrize("kind,metric,text", [
    ("quant", None, b"2 3\nt1 1 2 3\nt2 2 2 5\n"), ("count", None, b"2 3\na 1 2 3\nb 0 4 1\n"),
    ("quant", "manhattan", b"3 2\nHuman 4 6\nChimpanzee 2 5\nGorilla 3 9\n"),
    ("quant", "pearson", b"3 3\na 1 2 3\nb 3 1 2\nc 1 5 2\n"), ("count", "edgar", b"2 3\na 1 2 3\nb 0 4 1\n"),
    ("discrete", None, b"3 4\na ACGT\nb ACGA\nc TTGA\n"),
])
def test_character_matrices_as_the_command_computes_them(kind, metric, text):
    options = ["--kind=" + kind] + (["--metric=" + metric] if metric else [])
    expected = output("dist", "-q", "--to=tsv", *options, "-", stdin=text)
    assert phylo.dist(io.BytesIO(text), kind=kind, metric=metric).to_bytes("tsv", quiet=True) == expected


def test_character_matrices_as_values():
    dm = phylo.dist(np.array([[1, 2, 3], [2, 2, 5]]), kind="quant", metric="manhattan", labels=["t1", "t2"])
    assert dm["t1", "t2"] == 1
    counts = phylo.dist(np.array([[1, 2, 3], [0, 4, 1]]), kind="count", labels=["a", "b"])
    assert counts == phylo.dist(io.BytesIO(b"2 3\na 1 2 3\nb 0 4 1\n"), kind="count")
    discrete = phylo.dist(["ACGT", "ACGA", "TTGA"], kind="discrete", labels=["a", "b", "c"])
    assert discrete == phylo.dist(io.BytesIO(b"3 4\na ACGT\nb ACGA\nc TTGA\n"), kind="discrete")
    raised(TypeError, phylo.dist, np.array([[0.5, 1]]), kind="count", labels=["a"], match="integers")
    raised(ValueError, phylo.dist, np.array([[-1, 1]]), kind="count", labels=["a"], match="count -1")
    raised(ValueError, phylo.dist, np.zeros((3, 2)), kind="quant", labels=["a", "b"], match="row")
    raised(ValueError, phylo.dist, ["AC", "AG"], kind="discrete", metric="euclidean", labels=["a", "b"],
           match="metric")
    raised(phylo.RangeError, phylo.dist, np.zeros((2, 2)), kind="quant", metric="chord", labels=["a", "b"],
           match="undefined")


def test_character_matrix_errors_carry_positions():
    assert raised(phylo.FormatError, phylo.dist, io.BytesIO(b"2 2\na 1 2\nb 1 x\n"), kind="quant").lineno == 3
    raised(phylo.FormatError, phylo.dist, io.BytesIO(b"1000 1000\na 1\n"), kind="quant",
           match="more than the text holds")
    raised(phylo.FormatError, phylo.dist, io.BytesIO(b"1 1\na 1\n1 1\nb 2\n"), kind="quant",
           match="2 character matrices")
    raised(phylo.FormatError, phylo.dist, io.BytesIO(b"\n"), kind="quant", match="holds no character matrix")
