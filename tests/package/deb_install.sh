#!/usr/bin/env bash
# Installs the Debian package into the system with dpkg -i, runs the installed karvel and
# its manual page, and removes the package again. Changes the machine, so it runs only as
# root and only when PHYLO_SYSTEM_TESTS=1 (CI sets it); otherwise it reports itself skipped.
#
# usage: deb_install.sh BUILD_DIR SCRATCH EXAMPLES
set -euo pipefail
build=$1 scratch=$2 examples=$3
source "$(dirname "$0")/../lib.sh"
[ "${PHYLO_SYSTEM_TESTS:-0}" = 1 ] && [ "$(id -u)" = 0 ] ||
  skip "installs into the system: runs only as root with PHYLO_SYSTEM_TESTS=1"
need cpack dpkg dpkg-shlibdeps
! dpkg-query -W -f '${Status}' phylo 2> /dev/null | grep -q 'installed' ||
  skip "a package named phylo is already installed; it is left alone"
[ ! -e /usr/bin/karvel ] || skip "/usr/bin/karvel exists outside the package; it is left alone"

fresh "$scratch"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" > cpack.log 2>&1 || fail "cpack: $(cat cpack.log)"
deb=$(find "$scratch/out" -maxdepth 1 -name 'phylo_*.deb' -print -quit)
[ -n "$deb" ] || fail "cpack made no package"

trap 'dpkg --remove phylo > /dev/null 2>&1 || true' EXIT
dpkg --install "$deb" || fail "dpkg --install"
dpkg-query -W -f '${Status}\n' phylo | grep -qx 'install ok installed' || fail "not installed"

[ "$(command -v karvel)" = /usr/bin/karvel ] || fail "karvel is not /usr/bin/karvel on PATH"
expected=$'\tAlpha\tBeta gamma\nAlpha\t 0.00000E+00\t 5.00000E-01\nBeta gamma\t 5.00000E-01\t 0.00000E+00\n'
karvel -t -s -T "$examples/two_taxa.tsv" > karvel.out || fail "karvel exited with $?"
printf '%s' "$expected" | cmp - karvel.out || fail "installed karvel wrote another text"
# The usage text names the program as it was invoked.
status=0
karvel 2> usage || status=$?
[ "$status" = 1 ] || fail "usage status $status"
head -n 1 usage | grep -qx 'karvel converts distance matrices.' || fail "usage text"
dpkg -L phylo | grep -qx /usr/share/man/man1/karvel.1.gz || fail "the manual page is not in the package"
# (A machine whose dpkg excludes manual pages has the page listed but not on disk.)
if command -v man > /dev/null && [ -f /usr/share/man/man1/karvel.1.gz ]; then
  man -w karvel | grep -qx '/usr/share/man/man1/karvel\.1\.gz' || fail "man -w karvel: $(man -w karvel)"
fi
[ -f /usr/share/bash-completion/completions/karvel ] || fail "completion not installed"

# The Python module, when packed: Debian's python3 imports it from /usr/lib/python3/dist-packages.
if dpkg -L phylo | grep -q '^/usr/lib/python3/dist-packages/phylo/__init__.py$'; then
  (cd / && /usr/bin/python3 -c '
import sys, phylo
assert phylo.__file__ == "/usr/lib/python3/dist-packages/phylo/__init__.py", phylo.__file__
dm, = phylo.read(sys.argv[1])
assert dm["Alpha", "Beta gamma"] == 0.25
' "$examples/two_taxa.tsv") || fail "the installed Python module"
fi

dpkg --remove phylo || fail "dpkg --remove"
trap - EXIT
[ ! -e /usr/bin/karvel ] || fail "karvel left behind after removal"
echo "ok: installed, ran and removed $deb"
