#!/usr/bin/env bash
# PHYLIP's programs read what karvel and phylo write: neighbor builds from karvel's PHYLIP layout of the 12-taxon
# example, read in each input layout, the tree it builds from the original dnadist file; neighbor's L option reads
# the lower triangle of phylo convert and gives the tree of the square; dnadist reads phylo align's PHYLIP matrix of
# the 12-taxon sample and gives the distances it computed from the sample's own PHYLIP file, and reads lower case,
# IUPAC codes, gaps and '?'. Usage: phylip.sh KARVEL PHYLO EXAMPLES SAMPLES. Skipped (77) without PHYLIP.
set -euo pipefail
karvel=$(realpath "$1") phylo=$(realpath "$2") examples=$(realpath "$3") samples=$(realpath "$4")
source "$(dirname "$0")/../lib.sh"
need_phylip neighbor
need_phylip dnadist
in_scratch
# run_phylip PROGRAM DIR INFILE ANSWERS RESULT: PROGRAM in DIR on a copy of INFILE, its menu answered with ANSWERS
# (printf %b); fails unless it writes DIR/RESULT.
run_phylip() {
  mkdir -p "$2" && cp "$3" "$2/infile"
  (cd "$2" && printf '%b' "$4" | timeout 120 "$1" > menu.log 2>&1) && [ -s "$2/$5" ] ||
    fail "${1##*/} wrote no $5: $(tail -5 "$2/menu.log")"
}

run_phylip "$neighbor" original "$examples/dna12.phy" 'Y\n' outtree
reference=$(tr -d '\n' < original/outtree)
for taxon in Alpha Beta_gamma Gamma Delta Epsilon Zeta Eta Theta Iota Kappa Lambda_lon Mu; do
  [[ $reference == *"$taxon:"* ]] || fail "the reference tree lacks $taxon: $reference"; done
for ext in phy xphy tsv; do # karvel's option is the first letter
  l=${ext::1}
  "$karvel" "-$l" -P "$examples/dna12.$ext" > "$l.phy"
  run_phylip "$neighbor" "$l" "$l.phy" 'Y\n' outtree
  [ "$(tr -d '\n' < "$l/outtree")" = "$reference" ] || fail "karvel -$l -P dna12.$ext: neighbor built another tree"
  grep -q '^  12 Populations' "$l/outfile" || fail "neighbor read no 12 taxa from -$l"
done
echo "ok: karvel -p, -x, -t then -P: neighbor builds the tree of the original"

for sample in dnadist_square clearcut_aln12; do
  "$phylo" convert --to=phylip-lower "$samples/$sample.dist" > $sample.lower
  "$phylo" convert --to=phylip "$samples/$sample.dist" > $sample.square
  run_phylip "$neighbor" "$sample" $sample.lower 'L\nY\n' outtree
  run_phylip "$neighbor" "$sample.sq" $sample.square 'Y\n' outtree
  cmp -s "$sample.sq/outtree" "$sample/outtree" || fail "$sample: the lower triangle gives another tree than the square"
done
run_phylip "$neighbor" square "$samples/dnadist_square.dist" 'Y\n' outtree
cmp -s square/outtree dnadist_square/outtree || fail "the lower triangle gives another tree than the original"
echo "ok: neighbor reads phylo's lower triangles and builds the tree of the square"

"$phylo" align --to=phylip "$samples/aln12.fasta" > aln12.phy
run_phylip "$dnadist" aln12 aln12.phy 'Y\n' outfile
# The sample's own file has the label 'Beta gamma' whole; phylo writes it 'Beta_gamma'.
sed 's/^Beta gamma/Beta_gamma/' "$samples/dnadist_square.dist" > expected
cmp -s aln12/outfile expected ||
  fail "dnadist reads other distances from phylo's matrix: $(diff aln12/outfile expected | head -5)"
printf '>first one\nacgtRYMKSW\nHBVDN-acgt\n>second\nACGTACGTAC\nGT.A?CGTAC\n>third\nACGAACGTAC\nGTTACCGTAN\n' > codes.fa
"$phylo" align --to=phylip codes.fa > codes.phy
run_phylip "$dnadist" codes codes.phy 'Y\n' outfile
grep -q '^first_one ' codes/outfile && [ "$(head -1 codes/outfile | tr -d ' ')" = 3 ] ||
  fail "dnadist's distances do not have the three taxa: $(cat codes/outfile)"
echo "ok: dnadist reads phylo align's matrices"
