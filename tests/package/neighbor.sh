#!/usr/bin/env bash
# PHYLIP's neighbor builds its tree from karvel's PHYLIP layout (-P) of the 12-taxon example
# read in each input layout (-p, -x, -t), and the tree is the one it builds from the
# original dnadist file.
#
# usage: neighbor.sh KARVEL EXAMPLES SCRATCH
set -euo pipefail
karvel=$(realpath "$1") examples=$(realpath "$2") scratch=$3
source "$(dirname "$0")/../consumers/phylip.sh"
need_phylip neighbor
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$scratch"
mkdir -p "$scratch"

run_phylip "$neighbor" "$scratch/original" "$examples/dna12.phy" 'Y\n' outtree
reference=$(tr -d '\n' < "$scratch/original/outtree")
for taxon in Alpha Beta_gamma Gamma Delta Epsilon Zeta Eta Theta Iota Kappa Lambda_lon Mu; do
  [[ $reference == *"$taxon:"* ]] || fail "the reference tree lacks $taxon: $reference"
done
echo "reference tree: $reference"

for input in "p dna12.phy" "x dna12.xphy" "t dna12.tsv"; do
  set -- $input
  "$karvel" "-$1" -P "$examples/$2" > "$scratch/$1.phy"
  run_phylip "$neighbor" "$scratch/$1" "$scratch/$1.phy" 'Y\n' outtree
  got=$(tr -d '\n' < "$scratch/$1/outtree")
  [ "$got" = "$reference" ] || fail "karvel -$1 -P $2: neighbor built another tree: $got"
  grep -q '^  12 Populations' "$scratch/$1/outfile" || fail "neighbor read no 12 taxa from -$1"
  echo "ok: karvel -$1 -P $2 | neighbor"
done
