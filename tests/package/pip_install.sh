#!/usr/bin/env bash
# pip install --no-build-isolation of a copy of the repository into a virtual environment that sees the system's
# packages (numpy, pybind11, setuptools), with no package index at all, so that nothing can be downloaded; then
# imports the installed module and reads a matrix.
# usage: pip_install.sh SOURCE_DIR SCRATCH PYTHON
set -euo pipefail
source=$1 scratch=$2 python=$3
source "$(dirname "$0")/../lib.sh"
for m in venv pip setuptools pybind11 numpy; do "$python" -c "import $m" 2> /dev/null || skip "$python lacks $m"; done
fresh "$scratch"
mkdir src
# The committed files alone, as a user's clone holds them.
if git -C "$source" rev-parse --git-dir > /dev/null 2>&1; then
  git -C "$source" ls-files -z | (cd "$source" && xargs -0 cp --parents -t "$scratch/src")
else
  cp -r "$source"/. src && rm -rf src/build
fi
"$python" -m venv --system-site-packages "$scratch/venv" || skip "no venv"
PIP_NO_INDEX=1 PIP_DISABLE_PIP_VERSION_CHECK=1 "$scratch/venv/bin/python" -m pip install -q --no-build-isolation \
  "$scratch/src" > pip.log 2>&1 || fail "pip install: $(cat pip.log)"
"$scratch/venv/bin/python" - "$source/examples/primates.dist" <<'PY' || fail "the installed module"
import sys, phylo
assert phylo.__file__.startswith(sys.prefix), phylo.__file__
dm, = phylo.read(sys.argv[1])
assert len(dm) == 6 and dm.values.base is dm
print("ok:", phylo.__file__, phylo.__version__)
PY
