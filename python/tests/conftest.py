"""Shared by the tests of the Python module: the phylo command built beside the module, and the
repository's sample files. CTest sets PHYLO_CLI and PHYLO_SOURCE_DIR and puts the built package
first on sys.path (PYTHONPATH)."""

import os
import subprocess
from pathlib import Path

import pytest

SOURCE = Path(os.environ.get("PHYLO_SOURCE_DIR", Path(__file__).resolve().parents[2]))
EXAMPLES = SOURCE / "examples"
PRODUCERS = SOURCE / "tests" / "data" / "producers"
CLI_DATA = SOURCE / "tests" / "data" / "cli"


def command():
    cli = os.environ.get("PHYLO_CLI")
    if not cli or not os.access(cli, os.X_OK):
        pytest.skip("PHYLO_CLI does not name the built phylo command")
    return cli


def run(*args, stdin=b""):
    """(status, standard output, standard error) of the phylo command."""
    p = subprocess.run([command(), *map(str, args)], input=stdin, capture_output=True, timeout=120)
    return p.returncode, p.stdout, p.stderr.decode("utf-8", "replace")


@pytest.fixture
def phylo_run():
    return run
