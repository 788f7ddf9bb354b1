#!/usr/bin/env bash
# PHYLIP's neighbor builds its tree from karvel's PHYLIP layout (-P) of the 12-taxon example
# read in each input layout (-p, -x, -t), and the tree is the one it builds from the
# original dnadist file.
#
# usage: neighbor.sh KARVEL EXAMPLES SCRATCH
set -euo pipefail
karvel=$(realpath "$1") examples=$(realpath "$2") scratch=$3

# Debian installs the PHYLIP programs in /usr/lib/phylip/bin, reached through the `phylip`
# wrapper; other installations put `neighbor` on the PATH.
neighbor=
for candidate in "$(command -v neighbor || true)" /usr/lib/phylip/bin/neighbor \
    /usr/lib/phylip/neighbor; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then neighbor=$candidate; break; fi
done
if [ -z "$neighbor" ] && command -v phylip > /dev/null; then neighbor="phylip neighbor"; fi
if [ -z "$neighbor" ]; then
  echo "PHYLIP's neighbor is not installed (Debian package phylip): skipped"
  exit 77
fi
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$scratch"
mkdir -p "$scratch"

# tree DIR: runs neighbor on DIR/infile, accepting the default settings; prints the tree.
tree() {
  (cd "$1" && printf 'Y\n' | timeout 120 $neighbor > screen.log 2>&1) ||
    { cat "$1/screen.log"; fail "neighbor failed in $1"; }
  [ -s "$1/outtree" ] || { cat "$1/screen.log"; fail "neighbor wrote no tree in $1"; }
  tr -d '\n' < "$1/outtree"
}

mkdir "$scratch/original"
cp "$examples/dna12.phy" "$scratch/original/infile"
reference=$(tree "$scratch/original")
for taxon in Alpha Beta_gamma Gamma Delta Epsilon Zeta Eta Theta Iota Kappa Lambda_lon Mu; do
  [[ $reference == *"$taxon:"* ]] || fail "the reference tree lacks $taxon: $reference"
done
echo "reference tree: $reference"

for input in "p dna12.phy" "x dna12.xphy" "t dna12.tsv"; do
  set -- $input
  mkdir "$scratch/$1"
  "$karvel" "-$1" -P "$examples/$2" > "$scratch/$1/infile"
  got=$(tree "$scratch/$1")
  [ "$got" = "$reference" ] || fail "karvel -$1 -P $2: neighbor built another tree: $got"
  grep -q '^  12 Populations' "$scratch/$1/outfile" || fail "neighbor read no 12 taxa from -$1"
  echo "ok: karvel -$1 -P $2 | neighbor"
done
