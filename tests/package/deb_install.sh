#!/usr/bin/env bash
# Installs the Debian package into the system with dpkg -i, runs the installed karvel, finds its manual page and
# completion, imports the Python module, and removes the package again. Changes the machine, so it runs only as
# root and only when PHYLO_SYSTEM_TESTS=1 (CI sets it); otherwise it reports itself skipped.
# usage: deb_install.sh BUILD_DIR SCRATCH EXAMPLES
set -euo pipefail
build=$1 scratch=$2 examples=$3
source "$(dirname "$0")/common.sh"
[ "${PHYLO_SYSTEM_TESTS:-0}" = 1 ] && [ "$(id -u)" = 0 ] ||
  skip "installs into the system: runs only as root with PHYLO_SYSTEM_TESTS=1"
need cpack dpkg dpkg-shlibdeps
! dpkg-query -W -f '${Status}' phylo 2> /dev/null | grep -q 'installed' ||
  skip "a package named phylo is already installed; it is left alone"
[ ! -e /usr/bin/karvel ] || skip "/usr/bin/karvel exists outside the package; it is left alone"
fresh "$scratch"
make_deb "$build"

trap 'dpkg --remove phylo > /dev/null 2>&1 || true' EXIT
dpkg --install "$deb" || fail "dpkg --install"
dpkg-query -W -f '${Status}\n' phylo | grep -qx 'install ok installed' || fail "not installed"
[ "$(command -v karvel)" = /usr/bin/karvel ] || fail "karvel is not /usr/bin/karvel on PATH"
expected=$'\tAlpha\tBeta gamma\nAlpha\t 0.00000E+00\t 5.00000E-01\nBeta gamma\t 5.00000E-01\t 0.00000E+00\n'
writes "installed karvel" "$expected" karvel -t -s -T "$examples/two_taxa.tsv"
# The usage text names the program as it was invoked.
usage=$(status 1 karvel)
[ "${usage%%$'\n'*}" = 'karvel converts distance matrices.' ] || fail "usage text: $usage"
dpkg -L phylo | grep -qx /usr/share/man/man1/karvel.1.gz || fail "the manual page is not in the package"
# (A machine whose dpkg excludes manual pages has the page listed but not on disk.)
! has man || [ ! -f /usr/share/man/man1/karvel.1.gz ] || man -w karvel | grep -qx '/usr/share/man/man1/karvel\.1\.gz' ||
  fail "man -w karvel: $(man -w karvel)"
[ -f /usr/share/bash-completion/completions/karvel ] || fail "completion not installed"
py=/usr/lib/python3/dist-packages/phylo/__init__.py # where Debian's python3 imports the module from, when packed
! dpkg -L phylo | grep -qxF "$py" || imports /usr/bin/python3 "$py"

dpkg --remove phylo || fail "dpkg --remove"
trap - EXIT
[ ! -e /usr/bin/karvel ] || fail "karvel left behind after removal"
echo "ok: installed, ran and removed $deb"
