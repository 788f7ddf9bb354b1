#!/usr/bin/env bash
# Builds the Debian package with cpack and checks its control data and its files, then runs
# the karvel it holds (unpacked, not installed) on the worked two-taxon example.
#
# usage: deb_contents.sh BUILD_DIR SCRATCH EXAMPLES VERSION
set -euo pipefail
build=$1 scratch=$2 examples=$3 version=$4
source "$(dirname "$0")/../lib.sh"
has dpkg-shlibdeps || skip "dpkg-shlibdeps is not installed (dpkg-dev)"
need cpack dpkg-deb dpkg
fresh "$scratch"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" > cpack.log 2>&1 || fail "cpack: $(cat cpack.log)"
arch=$(dpkg --print-architecture)
deb=$scratch/out/phylo_${version}_${arch}.deb
[ -f "$deb" ] || fail "no $deb; cpack made: $(ls out)"

# Control data.
dpkg-deb --info "$deb"
field() { dpkg-deb --field "$deb" "$1"; }
for name_value in Package=phylo Version="$version" Architecture="$arch" Section=science; do
  name=${name_value%%=*}
  [ "$(field "$name")" = "${name_value#*=}" ] || fail "$name: $(field "$name")"
done
field Maintainer | grep -Eq '^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$' || fail "Maintainer: $(field Maintainer)"
depends=$(field Depends)
for lib in libc6 libstdc++6; do
  [[ ", $depends," == *", $lib "* ]] || fail "Depends lacks $lib: $depends"
done
description=$(field Description)
[[ $description == *karvel* ]] || fail "Description does not name karvel"
# The long description is indented under the summary and no line of it is over 80 columns.
awk 'length > 80 { bad = 1 } END { exit bad }' <<< "$description" || fail "Description line over 80 columns"

# Files: everything under /usr, executables executable, the rest readable, all root's.
dpkg-deb --contents "$deb" | tee contents
paths=$(awk '{ print $NF }' contents)
# packs PATH...: each PATH (an extended regular expression) is among the files.
packs() { local p; for p; do grep -Eqx -- "$p" <<< "$paths" || fail "no file matches $p"; done; }
packs '\./usr/bin/karvel' '\./usr/bin/phylo' '\./usr/include/phylo/phylo\.hpp' '\./usr/include/phylo/phylip\.hpp' \
  '\./usr/share/man/man1/karvel\.1\.gz' '\./usr/share/bash-completion/completions/karvel' \
  '\./usr/share/doc/phylo/changelog\.gz' '\./usr/lib/([^/]+/)?libphylo\.a' '\./usr/lib/([^/]+/)?pkgconfig/phylo\.pc' \
  '\./usr/lib/([^/]+/)?cmake/phylo/phylo'{Config,ConfigVersion,-targets}'\.cmake'
# The Python module, when the build has it: the package in Debian's folder of Python 3 modules.
if [ -d "$build/python/phylo" ]; then
  packs '\./usr/lib/python3/dist-packages/phylo/'{'__init__\.py','_errors\.py','_phylo\.pyi','py\.typed'} \
    '\./usr/lib/python3/dist-packages/phylo/_phylo\.cpython-[^/]*\.so'
  [[ "$(field Recommends)" == *python3-numpy* ]] || fail "Recommends lacks python3-numpy: $(field Recommends)"
fi
! grep -v -E '^\./usr/' <<< "$paths" | grep -v -x './' || fail "files outside /usr"
! grep -q '/usr/local' <<< "$paths" || fail "files under /usr/local"
! grep -E '^\./usr/include/.' <<< "$paths" | grep -v -E '^\./usr/include/phylo/([a-z_]+\.hpp)?$' ||
  fail "files under include other than the public headers"
! grep -E -q '/(number_scan|line_input|nexus_parts|message|distfunc_cells|dna_kernel[a-z_]*|pow10_table)\.hpp$' <<< "$paths" ||
  fail "private headers packed"
awk '$NF ~ /^\.\/usr\/bin\/./ && $1 != "-rwxr-xr-x" { exit 1 }' contents || fail "a program is not mode 755"
awk '$1 ~ /^-/ && $NF !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" { print; bad = 1 } END { exit bad }' contents ||
  fail "data files not mode 644"
awk '$2 != "root/root" { print; bad = 1 } END { exit bad }' contents || fail "files not owned by root"

# The files as unpacked: the pkg-config file names /usr, and the karvel inside runs.
dpkg-deb --extract "$deb" root
pc=$(find root -name phylo.pc)
grep -qx 'prefix=/usr' "$pc" || fail "phylo.pc: $(cat "$pc")"
if [ -d "$build/python/phylo" ] && [ -x /usr/bin/python3 ]; then
  # The module as unpacked imports into the system's Python, for which it is packed, and reads the worked example.
  PYTHONPATH="$scratch/root/usr/lib/python3/dist-packages" /usr/bin/python3 -c '
import sys, phylo
dm, = phylo.read(sys.argv[1])
assert dm.labels == ["Alpha", "Beta gamma"] and dm["Alpha", "Beta gamma"] == 0.25, dm
' "$examples/two_taxa.tsv" || fail "the packed Python module"
fi
expected=$' 2\nAlpha     \t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n'
root/usr/bin/karvel -t -P "$examples/two_taxa.tsv" > karvel.out
printf '%s' "$expected" | cmp - karvel.out || fail "packed karvel wrote another text"
# The change log names this version.
zcat root/usr/share/doc/phylo/changelog.gz | head -n 1 | grep -q "^phylo ($version) " ||
  fail "changelog.gz does not start with version $version"

# The licence: the Expat (MIT) licence in Debian's copyright format.
grep -qx 'License: Expat' root/usr/share/doc/phylo/copyright || fail "no Expat licence in the copyright file"

# Debian's own checks, where lintian is installed.
if has lintian; then
  lintian "$deb" > lintian.log 2>&1 || true
  cat lintian.log
  ! grep -E '^[EW]: ' lintian.log || fail "lintian complains"
else
  echo "lintian is not installed: Debian's checks not run"
fi
echo "ok: $deb"
