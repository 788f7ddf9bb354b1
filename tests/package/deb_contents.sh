#!/usr/bin/env bash
# Builds the Debian package with cpack and checks its control data and its files, then runs
# the karvel it holds (unpacked, not installed) on the worked two-taxon example.
#
# usage: deb_contents.sh BUILD_DIR SCRATCH EXAMPLES VERSION
set -euo pipefail
build=$1 scratch=$2 examples=$3 version=$4

for tool in cpack dpkg-deb dpkg-shlibdeps dpkg; do
  if ! command -v "$tool" > /dev/null; then
    echo "$tool is not installed (dpkg-dev provides dpkg-shlibdeps): skipped"
    exit 77
  fi
done
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch"
(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out") \
  > "$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; fail "cpack"; }
arch=$(dpkg --print-architecture)
deb=$scratch/out/phylo_${version}_${arch}.deb
[ -f "$deb" ] || fail "no $deb; cpack made: $(ls "$scratch/out")"

# Control data.
dpkg-deb --info "$deb" > "$scratch/info"
cat "$scratch/info"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = phylo ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = science ] || fail "Section: $(field Section)"
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
dpkg-deb --contents "$deb" > "$scratch/contents"
cat "$scratch/contents"
paths=$(awk '{ print $NF }' "$scratch/contents")
for path in ./usr/bin/karvel ./usr/bin/phylo ./usr/include/phylo/phylo.hpp ./usr/include/phylo/phylip.hpp \
    ./usr/share/man/man1/karvel.1.gz ./usr/share/bash-completion/completions/karvel \
    ./usr/share/doc/phylo/changelog.gz; do
  grep -qx -- "$path" <<< "$paths" || fail "$path missing"
done
for pattern in '^\./usr/lib/([^/]+/)?libphylo\.a$' '^\./usr/lib/([^/]+/)?pkgconfig/phylo\.pc$' \
    '^\./usr/lib/([^/]+/)?cmake/phylo/phyloConfig\.cmake$' \
    '^\./usr/lib/([^/]+/)?cmake/phylo/phyloConfigVersion\.cmake$' \
    '^\./usr/lib/([^/]+/)?cmake/phylo/phylo-targets\.cmake$'; do
  grep -Eq -- "$pattern" <<< "$paths" || fail "no file matches $pattern"
done
# The Python module, when the build has it: the package in Debian's folder of Python 3 modules.
if [ -d "$build/python/phylo" ]; then
  for path in ./usr/lib/python3/dist-packages/phylo/__init__.py ./usr/lib/python3/dist-packages/phylo/_errors.py \
      ./usr/lib/python3/dist-packages/phylo/_phylo.pyi ./usr/lib/python3/dist-packages/phylo/py.typed; do
    grep -qx -- "$path" <<< "$paths" || fail "$path missing"
  done
  grep -Eq '^\./usr/lib/python3/dist-packages/phylo/_phylo\.cpython-[^/]*\.so$' <<< "$paths" ||
    fail "the extension phylo._phylo is missing"
  [[ "$(field Recommends)" == *python3-numpy* ]] || fail "Recommends lacks python3-numpy: $(field Recommends)"
fi
! grep -v -E '^\./usr/' <<< "$paths" | grep -v -x './' || fail "files outside /usr"
! grep -q '/usr/local' <<< "$paths" || fail "files under /usr/local"
! grep -E '^\./usr/include/.' <<< "$paths" | grep -v -E '^\./usr/include/phylo/([a-z_]+\.hpp)?$' ||
  fail "files under include other than the public headers"
! grep -E -q '/(number_scan|line_input|nexus_parts|message|distfunc_cells|dna_kernel[a-z_]*|pow10_table)\.hpp$' <<< "$paths" ||
  fail "private headers packed"
awk '$NF ~ /^\.\/usr\/bin\/./ && $1 != "-rwxr-xr-x" { exit 1 }' "$scratch/contents" ||
  fail "a program is not mode 755"
awk '$1 ~ /^-/ && $NF !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" { print; bad = 1 } END { exit bad }' \
  "$scratch/contents" || fail "data files not mode 644"
awk '$2 != "root/root" { print; bad = 1 } END { exit bad }' "$scratch/contents" ||
  fail "files not owned by root"

# The files as unpacked: the pkg-config file names /usr, and the karvel inside runs.
dpkg-deb --extract "$deb" "$scratch/root"
pc=$(find "$scratch/root" -name phylo.pc)
grep -qx 'prefix=/usr' "$pc" || fail "phylo.pc: $(cat "$pc")"
if [ -d "$build/python/phylo" ] && [ -x /usr/bin/python3 ]; then
  # The module as unpacked imports into the system's Python, for which it is packed, and
  # reads the worked example.
  PYTHONPATH="$scratch/root/usr/lib/python3/dist-packages" /usr/bin/python3 -c '
import sys, phylo
dm, = phylo.read(sys.argv[1])
assert dm.labels == ["Alpha", "Beta gamma"] and dm["Alpha", "Beta gamma"] == 0.25, dm
' "$examples/two_taxa.tsv" || fail "the packed Python module"
fi
expected=$' 2\nAlpha     \t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n'
"$scratch/root/usr/bin/karvel" -t -P "$examples/two_taxa.tsv" > "$scratch/karvel.out"
printf '%s' "$expected" | cmp - "$scratch/karvel.out" || fail "packed karvel wrote another text"
# The change log names this version.
zcat "$scratch/root/usr/share/doc/phylo/changelog.gz" | head -n 1 | grep -q "^phylo ($version) " ||
  fail "changelog.gz does not start with version $version"

# The licence: the Expat (MIT) licence in Debian's copyright format.
grep -qx 'License: Expat' "$scratch/root/usr/share/doc/phylo/copyright" || fail "no Expat licence in the copyright file"

# Debian's own checks, where lintian is installed.
if command -v lintian > /dev/null; then
  lintian "$deb" > "$scratch/lintian" 2>&1 || true
  cat "$scratch/lintian"
  ! grep -E '^[EW]: ' "$scratch/lintian" || fail "lintian complains"
else
  echo "lintian is not installed: Debian's checks not run"
fi
echo "ok: $deb"
