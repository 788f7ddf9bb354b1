"""Errors as exceptions: the hierarchy under phylo.Error, positions as the command gives them,
and the argument that settles an undecided text."""

import io
import re

import pytest

import phylo
from conftest import CLI_DATA, EXAMPLES, raised, run


def read_text(text, **kw):
    return phylo.read(io.BytesIO(text), quiet=True, **kw)


def command_place(text, *options):
    """The line that phylo convert names for a text it refuses, and its message."""
    status, _, err = run("convert", *options, "-", stdin=text)
    assert status == 1, err
    m = re.match(r"phylo: standard input:(\d+): (.*)", err.splitlines()[0])
    assert m, err
    return int(m.group(1)), m.group(2)


@pytest.mark.parametrize("text,options,kwargs,cls", [
    (b" 2\na 0 1\nb 1 x\n", [], {}, phylo.FormatError), (b" 3\na 0 1 2\nb 1 0 3\n", [], {}, phylo.FormatError),
    (b" 2\na 0 -1\nb -1 0\n", [], {}, phylo.RangeError),
    (b"a\tb\t1\nb\tc\t2\n", [], {}, phylo.MissingPairError),
    (b"#NEXUS\nbegin distances;\n dimensions ntax=2;\n matrix\n a 0\n b 1 0\n", [], {}, phylo.FormatError),
    (b" 2\nalpha  0 1\nbeta   1 0\n", ["--from=phylip", "--shape=upper"], {"layout": "phylip", "shape": "upper"},
     phylo.FormatError),
])
def test_positions_as_the_command_names_them(text, options, kwargs, cls):
    line, message = command_place(text, *options)
    e = raised(cls, read_text, text, **kwargs)
    assert isinstance(e, ValueError) and isinstance(e, phylo.Error)
    assert e.filename == "<file object>" and e.lineno == line
    assert message.startswith(e.msg.split("; say")[0])
    assert str(e).startswith("<file object>:%d: " % line)


def test_format_errors_say_where_and_why():
    e = raised(phylo.FormatError, read_text, b" 2\na 0 1\nb 1 x\n")
    assert (e.lineno, e.column, e.kind) == (3, 5, "format_error")
    e = raised(phylo.FormatError, read_text, b" 2\ra 0 1\rb 1 0\r")  # carriage returns alone: at line 1
    assert e.lineno == 1 and "carriage returns" in e.msg
    for text in (b"", b"\n\n  \n"):
        raised(phylo.FormatError, read_text, text, match="holds no distance matrix")


def test_undecided_texts_name_the_argument_that_settles_them():
    text = (CLI_DATA / "ab.dist").read_bytes()
    try:  # two rows that read as a square matrix or as a lower triangle with its diagonal
        read_text(b" 2\na 0 1\nb 1 0 \n")
    except phylo.UndecidedError as e:
        assert e.reason in ("layout", "labels", "shape")
    assert run("convert", "-", stdin=b"hello world\n")[0] == 1
    e = raised(phylo.UndecidedError, read_text, b"hello world\n")
    assert e.reason == "layout" and "layout='phylip'" in str(e)
    assert text  # the sample itself reads
    assert read_text(text)


def test_shape_undecided():
    # Three taxa whose rows fit both a lower triangle with the diagonal and an upper one.
    text = b"   3\na 0\nb 1 0\nc 2 3 0\n"
    if "--shape=" not in run("convert", "-", stdin=text)[2]:
        pytest.skip("the text is not undecided for the command")
    e = raised(phylo.UndecidedError, read_text, text)
    assert e.reason == "shape" and len(e.shapes) == 2
    assert "shape='%s'" % e.shapes[0] in str(e)


def test_missing_pair_names_fill():
    raised(phylo.MissingPairError, read_text, b"a\tb\t1\nb\tc\t2\n", match="fill=NUMBER")
    assert read_text(b"a\tb\t1\nb\tc\t2\n", fill=9)[0]["a", "c"] == 9


def test_files_that_cannot_be_read_are_os_errors(tmp_path):
    for path, reason in ((tmp_path / "missing", FileNotFoundError), (tmp_path, IsADirectoryError)):
        e = raised(reason, phylo.read, path)
        assert isinstance(e, phylo.FileError) and isinstance(e, phylo.Error)
        assert e.strerror and e.errno
    broken = tmp_path / "broken.gz"
    broken.write_bytes(b"\x1f\x8b\x08\x00garbage")
    raised(phylo.FormatError, phylo.read, broken)
    raised(phylo.FormatError, read_text, b"\x1f\x8b\x08\x00garbage")


def test_errors_of_later_steps_carry_the_matrix_position():
    text = b"\n\n 2\na 0 2\nb 2 0\n"
    e = raised(phylo.ArgumentError, read_text, text, transform="neglog")
    assert e.lineno == 3 and e.msg.startswith("the transformation fails: ")
    e = raised(phylo.RangeError, read_text, text, taxa=["a", "q"])
    assert e.lineno == 3 and "'q'" in e.msg
    assert raised(phylo.RangeError, read_text, text, similarity="fraction").lineno == 3


def test_every_error_is_a_phylo_error():
    for cls in (phylo.FormatError, phylo.UndecidedError, phylo.MissingPairError, phylo.InvalidCharacterError,
                phylo.RangeError, phylo.ArgumentError, phylo.FormulaError, phylo.UndefinedDistanceError,
                phylo.CheckError):
        assert issubclass(cls, phylo.Error) and issubclass(cls, ValueError)
    assert issubclass(phylo.FileError, OSError)
    assert phylo.read(EXAMPLES / "primates.phy")
