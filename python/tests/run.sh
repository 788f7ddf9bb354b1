#!/usr/bin/env bash
# Runs one file of the Python module's tests with pytest; reports itself skipped (77) where
# the interpreter lacks pytest.
#
# usage: run.sh PYTHON TEST_FILE
set -euo pipefail
python=$1 file=$2
if ! "$python" -c "import pytest" 2> /dev/null; then
  echo "$python has no pytest (Debian package python3-pytest): skipped"
  exit 77
fi
exec "$python" -m pytest -q -p no:cacheprovider "$file"
