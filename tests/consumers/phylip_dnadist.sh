#!/usr/bin/env bash
# The PHYLIP matrix that `phylo align --to=phylip` writes is read by PHYLIP's dnadist: for the
# 12-taxon sample it gives exactly the distances that dnadist computed from the sample's own
# PHYLIP file (where the label 'Beta gamma' stands whole; phylo writes it 'Beta_gamma'), and an
# alignment with lower case, IUPAC codes, gaps and '?' is read as well.
# Usage: phylip_dnadist.sh PHYLO SAMPLES_DIR. Exit 77 (skipped) when PHYLIP is absent.
set -u
phylo=$1 samples=$2
source "$(dirname "$0")/phylip.sh"
need_phylip dnadist
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$phylo" align --to=phylip "$samples/aln12.fasta" > "$scratch/aln12.phy" || { echo "FAIL: phylo align failed"; exit 1; }
run_phylip "$dnadist" "$scratch/aln12" "$scratch/aln12.phy" 'Y\n' outfile || exit 1
sed 's/^Beta gamma/Beta_gamma/' "$samples/dnadist_square.dist" > "$scratch/expected"
if ! cmp -s "$scratch/aln12/outfile" "$scratch/expected"; then
  echo "FAIL: dnadist reads other distances from phylo's matrix than from the sample's own"
  diff "$scratch/aln12/outfile" "$scratch/expected" | head -10
  exit 1
fi
echo "ok   aln12.fasta: the same distances as dnadist_square.dist"

printf '>first one\nacgtRYMKSW\nHBVDN-acgt\n>second\nACGTACGTAC\nGT.A?CGTAC\n>third\nACGAACGTAC\nGTTACCGTAN\n' > "$scratch/codes.fa"
"$phylo" align --to=phylip "$scratch/codes.fa" > "$scratch/codes.phy" || { echo "FAIL: phylo align failed"; exit 1; }
run_phylip "$dnadist" "$scratch/codes" "$scratch/codes.phy" 'Y\n' outfile || exit 1
if ! grep -q '^first_one ' "$scratch/codes/outfile" || [ "$(head -1 "$scratch/codes/outfile" | tr -d ' ')" != 3 ]; then
  echo "FAIL: dnadist's distances do not have the three taxa:"; cat "$scratch/codes/outfile"; exit 1
fi
echo "ok   lower case, IUPAC codes, gaps and '?'"
