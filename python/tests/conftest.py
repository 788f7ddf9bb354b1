"""Shared by the tests of the Python module: the phylo command built beside the module, the
repository's sample files, and helpers. CTest sets PHYLO_CLI and PHYLO_SOURCE_DIR and puts the
built package first on sys.path (PYTHONPATH)."""

import os
import signal
import subprocess
import threading
import time
from pathlib import Path

import pytest

import phylo

SOURCE = Path(os.environ.get("PHYLO_SOURCE_DIR", Path(__file__).resolve().parents[2]))
EXAMPLES = SOURCE / "examples"
PRODUCERS = SOURCE / "tests" / "data" / "producers"
CLI_DATA = SOURCE / "tests" / "data" / "cli"
PRIMATES = EXAMPLES / "primates.dist"


@pytest.fixture
def dm():
    """The matrix of examples/primates.dist, read afresh for each test."""
    return phylo.read(PRIMATES)[0]


def command():
    cli = os.environ.get("PHYLO_CLI")
    if not cli or not os.access(cli, os.X_OK):
        pytest.skip("PHYLO_CLI does not name the built phylo command")
    return cli


def run(*args, stdin=b""):
    """(status, standard output, standard error) of the phylo command."""
    p = subprocess.run([command(), *map(str, args)], input=stdin, capture_output=True, timeout=120)
    return p.returncode, p.stdout, p.stderr.decode("utf-8", "replace")


def output(*args, stdin=b""):
    """Standard output of the phylo command, which must succeed."""
    status, out, err = run(*args, stdin=stdin)
    assert status == 0, err
    return out


def raised(error, call, *args, match=None, **kwargs):
    """The exception that call(*args, **kwargs) must raise: an error, whose message the regular
    expression match finds where given."""
    with pytest.raises(error, match=match) as e:
        call(*args, **kwargs)
    return e.value


def fasta_pairs(text):
    """The (label, sequence) pairs of a FASTA text."""
    records = [r.splitlines() for r in ("\n" + text).split("\n>")[1:]]
    return [(r[0].strip(), "".join(line.strip() for line in r[1:])) for r in records]


main_thread_only = pytest.mark.skipif(threading.current_thread() is not threading.main_thread(),
                                      reason="signals go to the main thread")


def interrupted(after, call, *args, **kwargs):
    """Ctrl-C (SIGINT to this process) `after` seconds into call(*args, **kwargs), which must raise
    KeyboardInterrupt for it: (the exception, the seconds from the signal to it)."""
    sent = []

    def interrupt():
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)

    timer = threading.Timer(after, interrupt)
    timer.start()
    try:
        return raised(KeyboardInterrupt, call, *args, **kwargs), time.monotonic() - sent[0]
    finally:
        timer.cancel()
