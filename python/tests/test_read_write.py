"""phylo.read and DistanceMatrix.write against phylo convert on the same files: every input
layout the samples hold, every output layout, the options of the command, file objects and
gzip."""

import errno
import gzip
import io
import os
import stat
import warnings

import pytest

import phylo
from conftest import CLI_DATA, EXAMPLES, PRIMATES, PRODUCERS, raised, run

SAMPLES = sorted(
    [p for p in EXAMPLES.iterdir() if p.is_file() and p.suffix in (".phy", ".tsv", ".xphy", ".dist")]
    + [p for p in PRODUCERS.iterdir() if p.name not in ("README.md",) and not p.name.endswith((".fasta", ".phy"))]
    + [CLI_DATA / n for n in ("ab.dist", "ab.tsv", "mash.csv", "mothur_column.csv", "pandas_quoted.csv",
                              "fastani.pairs-header")])


def converted(path, *options):
    """What phylo convert writes for the file, or None when it refuses it."""
    status, out, _ = run("convert", "-q", *options, path)
    return out if status == 0 else None


def joined(matrices, layout, **kw):
    return b"".join(m.to_bytes(layout, quiet=True, **kw) for m in matrices)


@pytest.mark.parametrize("path", SAMPLES, ids=lambda p: p.name)
@pytest.mark.filterwarnings("ignore::phylo.FindingWarning")
def test_every_sample_in_every_layout_as_the_command_writes_it(path):
    try:
        matrices = phylo.read(path)
    except phylo.Error:
        matrices = None
    for layout in phylo.OUTPUT_LAYOUTS:
        expected = converted(path, "--to=" + layout)
        if matrices is None:
            assert expected is None, "phylo.read refused what the command read: " + layout
            continue
        try:
            got = joined(matrices, layout)
        except phylo.CheckError:
            got = None
        assert got == expected, layout


@pytest.mark.parametrize("path", [EXAMPLES / "primates.phy", PRODUCERS / "quicktree_aln12.dist.gz",
                                  PRODUCERS / "mash_triangle.tsv", PRODUCERS / "r_astable_pairs.csv"],
                         ids=lambda p: p.name)
def test_file_objects_and_gzip_read_as_paths(path):
    by_path = phylo.read(path, quiet=True)
    with open(path, "rb") as f:
        assert phylo.read(f, quiet=True) == by_path
    data = path.read_bytes()
    packed = data if data[:2] == b"\x1f\x8b" else gzip.compress(data)
    assert phylo.read(io.BytesIO(packed), quiet=True) == by_path
    assert phylo.read(os.fsencode(path), quiet=True) == by_path


def test_a_file_object_is_named_after_its_file():
    with open(EXAMPLES / "primates.phy", "rb") as f:
        assert raised(phylo.FormatError, phylo.read, f, layout="nexus").filename == f.name
    assert raised(phylo.FormatError, phylo.read, io.BytesIO(b" 2\na 0 1\nb 1 x\n")).filename == "<file object>"


# Options of phylo convert and the arguments of phylo.read that say the same.
OPTIONS = [
    (EXAMPLES / "primates.phy", ["--from=phylip"], {"layout": "phylip"}),
    (PRODUCERS / "dnadist_lower.dist", ["--shape=lower"], {"shape": "lower"}),
    (PRODUCERS / "mash_dist_pairs.tsv", ["--from=pairs", "--column=4"], {"layout": "pairs", "column": 4}),
    (PRODUCERS / "fastani_pairs.txt", ["--similarity=percent", "--fill=100"],
     {"similarity": "percent", "fill": 100}),
    (PRIMATES, ["--taxa=Pongo_abelii,Homo_sapiens"], {"taxa": ["Pongo_abelii", "Homo_sapiens"]}),
    (PRIMATES, ["--taxa=Pongo_abelii,Homo_sapiens"], {"taxa": "Pongo_abelii,Homo_sapiens"}),
    (PRIMATES, ["--transform=neglog"], {"transform": "neglog"}),
    (PRIMATES, ["--transform=range"], {"transform": "range"}),
    (PRODUCERS / "mash_dist_t.tsv", ["--symmetrize=mean"], {"symmetrize": "mean"}),
    (PRODUCERS / "phangorn_writedist.dist", ["--safe-labels"], {"safe_labels": True}),
]


@pytest.mark.parametrize("path,options,kwargs", OPTIONS, ids=lambda x: str(x) if isinstance(x, list) else None)
def test_options_as_the_command_reads_them(path, options, kwargs):
    expected = converted(path, "--to=tsv", *options)
    assert expected is not None
    assert joined(phylo.read(path, quiet=True, **kwargs), "tsv") == expected


@pytest.mark.parametrize("layout", ["csv", "pairs-header", "mega"])
@pytest.mark.parametrize("digits", [1, 4, 9])
def test_digits(layout, digits):
    path = PRODUCERS / "r_write_csv.csv"
    assert joined(phylo.read(path), layout, digits=digits) == converted(path, "--to=" + layout,
                                                                         "--digits=%d" % digits)


def test_check_refuses_what_the_command_refuses():
    text = b" 2\na 0 1\nb 1.5 0\n"
    status, _, err = run("convert", "--check", "-", stdin=text)
    assert status == 1 and "symmetric" in err
    with pytest.warns(phylo.FindingWarning, match="symmetric"):
        phylo.read(io.BytesIO(text))
    e = raised(phylo.CheckError, phylo.read, io.BytesIO(text), check=0)
    assert e.findings[0].kind == "asymmetry" and e.lineno == 1
    assert len(phylo.read(io.BytesIO(text), check=0.5)) == 1
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        phylo.read(io.BytesIO(text), quiet=True)


def test_write_checks_the_labels_of_the_layout():
    dm = phylo.DistanceMatrix([[0, 1], [1, 0]], ["a b", "a_b"])
    with pytest.warns(phylo.FindingWarning):
        dm.to_string("relaxed")
    e = raised(phylo.CheckError, dm.to_string, "relaxed", check=0)
    assert {f.kind for f in e.findings} >= {"output_label"}
    broken = phylo.DistanceMatrix([[0, 1], [1, 0]], ["a\nb", "c"])
    raised(phylo.CheckError, broken.to_string, "tsv", quiet=True)
    assert broken.to_string("tsv", safe_labels=True, quiet=True).startswith("\ta_b\tc\n")
    assert broken.labels == ["a\nb", "c"]  # given back after writing


def test_write_to_a_path_replaces_the_file_whole(dm, tmp_path):
    target = tmp_path / "out.nex"
    target.write_bytes(b"old")
    os.chmod(target, 0o640)
    dm.write(target, "nexus")
    nexus = converted(PRIMATES, "--to=nexus")
    assert target.read_bytes() == nexus and stat.S_IMODE(os.stat(target).st_mode) == 0o640
    raised(phylo.CheckError, phylo.DistanceMatrix([[0, 1], [1, 0]], ["a\nb", "c"]).write, target, "tsv")
    assert target.read_bytes() == nexus
    assert sorted(os.listdir(tmp_path)) == ["out.nex"]  # no temporary file left
    link = tmp_path / "link"
    link.symlink_to(target)
    dm.write(link, "csv")
    assert link.is_symlink() and target.read_bytes() == converted(PRIMATES, "--to=csv")
    folder = raised(IsADirectoryError, dm.write, tmp_path, "csv")
    assert isinstance(folder, phylo.FileError) and folder.errno == errno.EISDIR
    raised(FileNotFoundError, dm.write, tmp_path / "no" / "such" / "folder", "csv")
    raised(phylo.FileError, dm.write, "", "csv", match="empty")
    dm.write(os.devnull, "csv")  # a device is written where it stands


def test_write_to_file_objects(dm):
    binary = io.BytesIO()
    dm.write(binary, "phylip")
    assert binary.getvalue() == converted(PRIMATES, "--to=phylip")
    text = io.StringIO()
    dm.write(text, "phylip")
    assert text.getvalue() == dm.to_string("phylip")
    with open(os.devnull, "wb") as f:
        dm.write(f)
    dm.write(os.devnull)  # a device is written directly


def test_utf8_and_other_bytes_in_labels_round_trip():
    text = b" 2\n\xc3\xa9t\xc3\xa9 0 1\nx\xff 1 0\n"
    dm, = phylo.read(io.BytesIO(text))
    assert dm.labels[0] == "\u00e9t\u00e9"
    assert dm.labels[1].encode("utf-8", "surrogateescape") == b"x\xff"
    assert dm.to_bytes("relaxed") == run("convert", "-", stdin=text)[1]


def test_bad_arguments_name_themselves(dm):
    for kwargs, word in [({"layout": "xml"}, "layout"), ({"shape": "round"}, "shape"),
                         ({"layout": "csv", "shape": "lower"}, "shape"), ({"column": 2}, "column"),
                         ({"similarity": "half"}, "similarity"), ({"transform": "log"}, "transform"),
                         ({"symmetrize": "both"}, "symmetrize"), ({"check": -1}, "check"), ({"taxa": []}, "taxa")]:
        raised(ValueError, phylo.read, PRIMATES, match=word, **kwargs)
    raised(TypeError, phylo.read, 42, match="source")
    raised(TypeError, phylo.read, io.StringIO(" 1\na 0\n"), match="binary")
    raised(ValueError, dm.to_string, "xml", match="layout")
    raised(ValueError, dm.to_string, "csv", digits=10, match="digits")
    raised(TypeError, dm.write, 3.5, match="dest")
