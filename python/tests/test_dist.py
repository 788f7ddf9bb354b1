"""phylo.dist against phylo dist: every model and gap rule on the same alignments, alignments
given as pairs, character matrices and their metrics, refusals with positions, threads."""

import gzip
import io

import numpy as np
import pytest

import phylo
from conftest import CLI_DATA, EXAMPLES, PRODUCERS, run

ALIGNMENTS = [PRODUCERS / "aln12.fasta", EXAMPLES / "primates.fasta", CLI_DATA / "example.fa"]
MODELS = ["p", "count", "jc69", "k80", "k81", "f81", "f84", "t92", "tn93", "logdet"]
PROTEIN = b">a\nMKVLAAGIVW\n>b\nMKVLSAGIVW\n>c\nMRVLSAGLVW\n>d\nMKILSPGLVF\n"


def fasta_pairs(path):
    pairs, label = [], None
    for line in path.read_text().splitlines():
        if line.startswith(">"):
            label = line[1:].strip()
            pairs.append([label, ""])
        elif line.strip():
            pairs[-1][1] += line.strip()
    return [tuple(p) for p in pairs]


@pytest.mark.parametrize("path", ALIGNMENTS, ids=lambda p: p.name)
@pytest.mark.parametrize("gaps", ["pairwise", "complete", "count"])
@pytest.mark.parametrize("model", MODELS)
def test_every_model_and_rule_as_the_command_computes_it(path, model, gaps):
    status, expected, err = run("dist", "-q", "--to=tsv", "--undefined=7", "--model=" + model, "--gaps=" + gaps, path)
    if status != 0:
        with pytest.raises((phylo.Error, ValueError)):
            phylo.dist(path, model, gaps, undefined=7, quiet=True)
        return
    dm = phylo.dist(path, model, gaps, undefined=7, quiet=True)
    assert dm.to_bytes("tsv", quiet=True) == expected
    assert phylo.dist(fasta_pairs(path), model, gaps, undefined=7, quiet=True) == dm
    with open(path, "rb") as f:
        assert phylo.dist(f, model=model, gaps=gaps, undefined=7, quiet=True) == dm


@pytest.mark.parametrize("model,options", [
    ("p", {}), ("poisson", {}), ("kimura", {}), ("jtt", {}), ("wag", {"gamma": 0.5}),
    ("lg", {"gamma": 1.0, "gamma_categories": 2}), ("dayhoff", {}),
    ("blosum62", {"gamma": 0.5})])
def test_amino_acids_as_the_command_computes_them(model, options):
    args = ["--gamma=%g" % options["gamma"]] if "gamma" in options else []
    args += ["--gamma-categories=%d" % options["gamma_categories"]] if "gamma_categories" in options else []
    status, expected, err = run("dist", "-q", "--to=tsv", "--model=" + model, *args, "-", stdin=PROTEIN)
    assert status == 0, err
    dm = phylo.dist(io.BytesIO(PROTEIN), model, **options)
    assert dm.to_bytes("tsv") == expected
    pairs = [(x[0], x[1]) for x in (chunk.split("\n")[:2] for chunk in PROTEIN.decode().split(">")[1:])]
    assert phylo.dist(pairs, model, **options) == dm


def test_nucleotide_options_as_the_command_reads_them():
    path = PRODUCERS / "aln12.fasta"
    for model, options, args in [("f84", {"ts_tv": 2.0}, ["--ts-tv=2"]), ("k80", {"gamma": 0.5}, ["--gamma=0.5"]),
                                 ("p", {"alphabet": "protein"}, ["--alphabet=protein"])]:
        status, expected, err = run("dist", "-q", "--to=tsv", "--model=" + model, *args, path)
        assert status == 0, err
        assert phylo.dist(path, model, **options).to_bytes("tsv") == expected, model
    for kwargs, word in [({"model": "jtt", "alphabet": "dna"}, "amino acids"), ({"alphabet": "rna"}, "alphabet"),
                         ({"model": "p", "gamma": 1.0}, "gamma"), ({"model": "k80", "ts_tv": 2.0}, "ts_tv"),
                         ({"model": "jtt", "gamma_categories": 0}, "gamma_categories"),
                         ({"model": "f84", "gamma": 0.5, "ts_tv": 2.0}, "together")]:
        with pytest.raises(ValueError, match=word):
            phylo.dist(path, **kwargs)
    with pytest.raises(phylo.InvalidCharacterError, match="amino-acid code"):
        phylo.dist(io.BytesIO(b">a\nAC1T\n>b\nACGT\n"), alphabet="protein")


def test_alignments_in_other_forms():
    path = PRODUCERS / "aln12.fasta"
    dm = phylo.dist(path)
    assert phylo.dist(io.BytesIO(gzip.compress(path.read_bytes()))) == dm
    pairs = fasta_pairs(path)
    assert phylo.dist(dict(pairs)) == dm
    assert phylo.dist([(label, seq.encode()) for label, seq in pairs]) == dm

    class Record:  # as Biopython's SeqRecord: an id and a seq
        def __init__(self, id, seq):
            self.id, self.seq = id, seq

    assert phylo.dist([Record(*p) for p in pairs]) == dm


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
    with pytest.raises(phylo.InvalidCharacterError) as e:
        phylo.dist(io.BytesIO(text))
    assert (e.value.lineno, e.value.column, e.value.character) == (4, 3, b"1")
    with pytest.raises(phylo.InvalidCharacterError) as e:
        phylo.dist([("a", "ACGT"), ("b", "ACG1")])
    assert (e.value.lineno, e.value.column) == (2, 4)
    with pytest.raises(phylo.InvalidCharacterError) as e:
        phylo.dist(io.BytesIO(b">a\nACGT\n>b\nACXT\n"), alphabet="dna")
    assert (e.value.lineno, e.value.column, e.value.character) == (4, 3, b"X")
    with pytest.raises(phylo.InvalidCharacterError, match="not a nucleotide code") as e:
        phylo.dist([("a", "ACGT"), ("b", "AZGT")], alphabet="dna")
    assert (e.value.lineno, e.value.column) == (2, 2)
    with pytest.raises(phylo.FormatError) as e:
        phylo.dist(io.BytesIO(b">a\nACGT\n>b\nACG\n"))
    assert e.value.lineno == 3 and "residues" in e.value.msg
    with pytest.raises(phylo.FormatError) as e:
        phylo.dist(io.BytesIO(b">a\nACGT\n>\nACGT\n"))
    assert e.value.lineno == 3 and "no label" in e.value.msg
    with pytest.raises(phylo.FormatError, match="before the first header"):
        phylo.dist(io.BytesIO(b"ACGT\n>a\nACGT\n"))
    with pytest.raises(phylo.FormatError, match="holds no sequences"):
        phylo.dist(io.BytesIO(b""))
    with pytest.raises(phylo.FormatError, match="residues"):
        phylo.dist([("a", "ACGT"), ("b", "")])


def test_undefined_distances():
    seqs = [("a", "AC--"), ("b", "--GT"), ("c", "ACGT")]
    with pytest.raises(phylo.UndefinedDistanceError) as e:
        phylo.dist(seqs)
    assert e.value.count == 1 and "'a' and 'b' have no site to compare" in str(e.value)
    assert e.value.pairs[0][:3] == (1, 0, "no sites")
    with pytest.warns(phylo.UndefinedDistanceWarning, match="1 pair"):
        dm = phylo.dist(seqs, undefined=5)
    assert dm["a", "b"] == 5


def test_bad_arguments_name_themselves():
    seqs = [("a", "ACGT"), ("b", "ACGA")]
    for kwargs, word in [({"model": "hky"}, "model"), ({"gaps": "none"}, "gaps"),
                         ({"model": "k80", "gaps": "count"}, "gaps='count'"), ({"undefined": -1}, "undefined"),
                         ({"threads": 0}, "threads"), ({"kind": "protein"}, "kind"), ({"metric": "chord"}, "metric")]:
        with pytest.raises(ValueError, match=word):
            phylo.dist(seqs, **kwargs)
    with pytest.raises(TypeError, match="threads"):
        phylo.dist(seqs, threads="2")
    with pytest.raises(TypeError, match="alignment"):
        phylo.dist("ACGT" and 42)
    with pytest.raises(TypeError, match="pair"):
        phylo.dist([("a", "ACGT", "x")])
    with pytest.raises(TypeError, match="str or bytes"):
        phylo.dist([("a", 5)])


CHARS = [
    ("quant", None, b"2 3\nt1 1 2 3\nt2 2 2 5\n"),
    ("quant", "manhattan", b"3 2\nHuman 4 6\nChimpanzee 2 5\nGorilla 3 9\n"),
    ("quant", "pearson", b"3 3\na 1 2 3\nb 3 1 2\nc 1 5 2\n"),
    ("count", None, b"2 3\na 1 2 3\nb 0 4 1\n"),
    ("count", "edgar", b"2 3\na 1 2 3\nb 0 4 1\n"),
    ("discrete", None, b"3 4\na ACGT\nb ACGA\nc TTGA\n"),
]


@pytest.mark.parametrize("kind,metric,text", CHARS)
def test_character_matrices_as_the_command_computes_them(kind, metric, text):
    options = ["--kind=" + kind] + (["--metric=" + metric] if metric else [])
    status, expected, _ = run("dist", "-q", "--to=tsv", *options, "-", stdin=text)
    assert status == 0
    dm = phylo.dist(io.BytesIO(text), kind=kind, metric=metric)
    assert dm.to_bytes("tsv", quiet=True) == expected


def test_character_matrices_as_values():
    dm = phylo.dist(np.array([[1, 2, 3], [2, 2, 5]]), kind="quant", metric="manhattan", labels=["t1", "t2"])
    assert dm["t1", "t2"] == 1
    counts = phylo.dist(np.array([[1, 2, 3], [0, 4, 1]]), kind="count", labels=["a", "b"])
    assert counts == phylo.dist(io.BytesIO(b"2 3\na 1 2 3\nb 0 4 1\n"), kind="count")
    discrete = phylo.dist(["ACGT", "ACGA", "TTGA"], kind="discrete", labels=["a", "b", "c"])
    assert discrete == phylo.dist(io.BytesIO(b"3 4\na ACGT\nb ACGA\nc TTGA\n"), kind="discrete")
    with pytest.raises(TypeError, match="integers"):
        phylo.dist(np.array([[0.5, 1]]), kind="count", labels=["a"])
    with pytest.raises(ValueError, match="count -1"):
        phylo.dist(np.array([[-1, 1]]), kind="count", labels=["a"])
    with pytest.raises(ValueError, match="row"):
        phylo.dist(np.zeros((3, 2)), kind="quant", labels=["a", "b"])
    with pytest.raises(ValueError, match="metric"):
        phylo.dist(["AC", "AG"], kind="discrete", metric="euclidean", labels=["a", "b"])
    with pytest.raises(phylo.RangeError, match="undefined"):
        phylo.dist(np.zeros((2, 2)), kind="quant", metric="chord", labels=["a", "b"])


def test_character_matrix_errors_carry_positions():
    with pytest.raises(phylo.FormatError) as e:
        phylo.dist(io.BytesIO(b"2 2\na 1 2\nb 1 x\n"), kind="quant")
    assert e.value.lineno == 3
    with pytest.raises(phylo.FormatError, match="more than the text holds"):
        phylo.dist(io.BytesIO(b"1000 1000\na 1\n"), kind="quant")
    with pytest.raises(phylo.FormatError, match="2 character matrices"):
        phylo.dist(io.BytesIO(b"1 1\na 1\n1 1\nb 2\n"), kind="quant")
    with pytest.raises(phylo.FormatError, match="holds no character matrix"):
        phylo.dist(io.BytesIO(b"\n"), kind="quant")
