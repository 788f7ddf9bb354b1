#!/usr/bin/env bash
# Builds the Debian package with cpack and checks its control data and its files, then runs the karvel and imports
# the Python module that it holds (unpacked, not installed) on the worked two-taxon example.
# usage: deb_contents.sh BUILD_DIR SCRATCH EXAMPLES VERSION
set -euo pipefail
build=$1 scratch=$2 examples=$3 version=$4
source "$(dirname "$0")/common.sh"
has dpkg-shlibdeps || skip "dpkg-shlibdeps is not installed (dpkg-dev)"
need cpack dpkg-deb dpkg
fresh "$scratch"
make_deb "$build" "$version"

dpkg-deb --info "$deb"
# field NAME ERE: the control field NAME matches ERE.
field() { local v; v=$(dpkg-deb --field "$deb" "$1"); [[ $v =~ $2 ]] || fail "$1: $v"; }
field Package '^phylo$'; field Version "^${version//./\\.}\$"; field Architecture "^$arch\$"; field Section '^science$'
field Maintainer '^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$'
field Depends '(^|, )libc6 '; field Depends '(^|, )libstdc\+\+6 '; field Description karvel
dpkg-deb --field "$deb" Description | awk 'length > 80 { bad = 1 } END { exit bad }' ||
  fail "Description line over 80 columns"

# Files: everything under /usr, executables executable, the rest readable, all root's.
dpkg-deb --contents "$deb" | tee contents
paths=$(awk '{ print $NF }' contents)
# packs PATH...: each PATH (an extended regular expression) is among the files.
packs() { local p; for p; do grep -Eqx -- "$p" <<< "$paths" || fail "no file matches $p"; done; }
packs '\./usr/bin/karvel' '\./usr/bin/phylo' '\./usr/include/phylo/phylo\.hpp' '\./usr/include/phylo/phylip\.hpp' \
  '\./usr/share/man/man1/karvel\.1\.gz' '\./usr/share/bash-completion/completions/karvel' \
  '\./usr/share/doc/phylo/changelog\.gz' '\./usr/lib/([^/]+/)?libphylo\.a' '\./usr/lib/([^/]+/)?pkgconfig/phylo\.pc' \
  '\./usr/lib/([^/]+/)?cmake/phylo/phylo'{Config,ConfigVersion,-targets}'\.cmake'
py=usr/lib/python3/dist-packages # Debian's folder of Python 3 modules, for the module where the build has it
if [ -d "$build/python/phylo" ]; then
  packs "\\./$py/phylo/"{'__init__\.py','_errors\.py','_phylo\.pyi','py\.typed','_phylo\.cpython-[^/]*\.so'}
  field Recommends python3-numpy
fi
awk -v private='/(number_scan|line_input|nexus_parts|message|distfunc_cells|dna_kernel[a-z_]*|pow10_table)\\.hpp$' '
  function bad(what) { print what ": " $0; failed = 1 }
  $NF !~ /^\.\/usr\// && $NF != "./" { bad("outside /usr") } $NF ~ /\/usr\/local/ { bad("under /usr/local") }
  $NF ~ /^\.\/usr\/include\/./ && $NF !~ /^\.\/usr\/include\/phylo\/([a-z_]+\.hpp)?$/ { bad("not a public header") }
  $NF ~ private { bad("a private header") }
  $NF ~ /^\.\/usr\/bin\/./ && $1 != "-rwxr-xr-x" { bad("a program not mode 755") }
  $1 ~ /^-/ && $NF !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" { bad("a data file not mode 644") }
  $2 != "root/root" { bad("not owned by root") } END { exit failed }' contents || fail "files packed as they may not be"

# The files as unpacked: the pkg-config file names /usr, the karvel inside runs, and the module imports into the
# system's Python, for which it is packed.
dpkg-deb --extract "$deb" root
pc=$(find root -name phylo.pc)
grep -qx 'prefix=/usr' "$pc" || fail "phylo.pc: $(cat "$pc")"
[ ! -d "$build/python/phylo" ] || [ ! -x /usr/bin/python3 ] ||
  imports /usr/bin/python3 "$scratch/root/$py/phylo/__init__.py" "$scratch/root/$py"
writes "packed karvel" $' 2\nAlpha     \t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n' \
  root/usr/bin/karvel -t -P "$examples/two_taxa.tsv"
zcat root/usr/share/doc/phylo/changelog.gz | head -n 1 | grep -q "^phylo ($version) " ||
  fail "changelog.gz does not start with version $version"
grep -qx 'License: Expat' root/usr/share/doc/phylo/copyright || fail "no Expat licence in the copyright file"

has lintian || { echo "ok: $deb; lintian is not installed: Debian's checks not run"; exit 0; }
lintian "$deb" 2>&1 | tee lintian.log || :
! grep -E '^[EW]: ' lintian.log || fail "lintian complains"
echo "ok: $deb"
