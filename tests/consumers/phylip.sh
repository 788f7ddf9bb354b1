#!/usr/bin/env bash
# PHYLIP's programs read what karvel and phylo write: neighbor builds from karvel's PHYLIP layout
# of the 12-taxon example, read in each input layout, the tree it builds from the original
# dnadist file; neighbor's L option reads the lower triangle of phylo convert and gives the tree
# of the square; dnadist reads phylo align's PHYLIP matrix of the 12-taxon sample and gives the
# distances it computed from the sample's own PHYLIP file, and reads lower case, IUPAC codes,
# gaps and '?'. Exit 77 (skipped) when PHYLIP is not installed.
#
# usage: phylip.sh KARVEL PHYLO EXAMPLES SAMPLES
set -euo pipefail
karvel=$(realpath "$1") phylo=$(realpath "$2") examples=$(realpath "$3") samples=$(realpath "$4")
fail() { echo "FAIL: $*" >&2; exit 1; }
# need_phylip NAME: sets $NAME to PHYLIP's program (Debian installs them in /usr/lib/phylip/bin).
need_phylip() {
  local candidate
  for candidate in "$(command -v "$1" 2>/dev/null)" "/usr/lib/phylip/bin/$1"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then printf -v "$1" '%s' "$candidate"; return; fi
  done
  echo "PHYLIP's $1 is not installed (Debian package phylip): skipped"
  exit 77
}
# run_phylip PROGRAM DIR INFILE ANSWERS RESULT: PROGRAM in DIR on a copy of INFILE, its menu
# answered with ANSWERS (printf %b); fails unless it writes DIR/RESULT.
run_phylip() {
  mkdir -p "$2" && cp "$3" "$2/infile"
  (cd "$2" && printf '%b' "$4" | timeout 120 "$1" > menu.log 2>&1) && [ -s "$2/$5" ] ||
    fail "${1##*/} wrote no $5: $(tail -5 "$2/menu.log")"
}
need_phylip neighbor
need_phylip dnadist
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

run_phylip "$neighbor" "$scratch/original" "$examples/dna12.phy" 'Y\n' outtree
reference=$(tr -d '\n' < "$scratch/original/outtree")
for taxon in Alpha Beta_gamma Gamma Delta Epsilon Zeta Eta Theta Iota Kappa Lambda_lon Mu; do
  [[ $reference == *"$taxon:"* ]] || fail "the reference tree lacks $taxon: $reference"
done
for input in "p dna12.phy" "x dna12.xphy" "t dna12.tsv"; do
  set -- $input
  "$karvel" "-$1" -P "$examples/$2" > "$scratch/$1.phy"
  run_phylip "$neighbor" "$scratch/$1" "$scratch/$1.phy" 'Y\n' outtree
  [ "$(tr -d '\n' < "$scratch/$1/outtree")" = "$reference" ] || fail "karvel -$1 -P $2: neighbor built another tree"
  grep -q '^  12 Populations' "$scratch/$1/outfile" || fail "neighbor read no 12 taxa from -$1"
done
echo "ok: karvel -p, -x, -t then -P: neighbor builds the tree of the original"

run_phylip "$neighbor" "$scratch/square" "$samples/dnadist_square.dist" 'Y\n' outtree
for sample in dnadist_square clearcut_aln12; do
  "$phylo" convert --to=phylip-lower "$samples/$sample.dist" > "$scratch/$sample.lower"
  run_phylip "$neighbor" "$scratch/$sample" "$scratch/$sample.lower" 'L\nY\n' outtree
done
cmp -s "$scratch/square/outtree" "$scratch/dnadist_square/outtree" || fail "the lower triangle gives another tree"
echo "ok: neighbor reads phylo's lower triangles and builds the tree of the square"

"$phylo" align --to=phylip "$samples/aln12.fasta" > "$scratch/aln12.phy"
run_phylip "$dnadist" "$scratch/aln12" "$scratch/aln12.phy" 'Y\n' outfile
# The sample's own file has the label 'Beta gamma' whole; phylo writes it 'Beta_gamma'.
sed 's/^Beta gamma/Beta_gamma/' "$samples/dnadist_square.dist" > "$scratch/expected"
cmp -s "$scratch/aln12/outfile" "$scratch/expected" ||
  fail "dnadist reads other distances from phylo's matrix: $(diff "$scratch/aln12/outfile" "$scratch/expected" | head -5)"
printf '>first one\nacgtRYMKSW\nHBVDN-acgt\n>second\nACGTACGTAC\nGT.A?CGTAC\n>third\nACGAACGTAC\nGTTACCGTAN\n' > "$scratch/codes.fa"
"$phylo" align --to=phylip "$scratch/codes.fa" > "$scratch/codes.phy"
run_phylip "$dnadist" "$scratch/codes" "$scratch/codes.phy" 'Y\n' outfile
grep -q '^first_one ' "$scratch/codes/outfile" && [ "$(head -1 "$scratch/codes/outfile" | tr -d ' ')" = 3 ] ||
  fail "dnadist's distances do not have the three taxa: $(cat "$scratch/codes/outfile")"
echo "ok: dnadist reads phylo align's matrices"
