#!/usr/bin/env bash
# The PHYLIP matrix that `phylo align --to=phylip` writes is read by PHYLIP's dnadist: for the
# 12-taxon sample it gives exactly the distances that dnadist computed from the sample's own
# PHYLIP file, and an alignment with lower case, IUPAC codes, gaps and '?' is read as well.
# Usage: phylip_dnadist.sh PHYLO SAMPLES_DIR. Exit 77 (skipped) when PHYLIP is absent.
set -u
phylo=$1 samples=$2
dnadist=
for candidate in /usr/lib/phylip/bin/dnadist "$(command -v dnadist 2>/dev/null)"; do
  [ -n "$candidate" ] && [ -x "$candidate" ] && { dnadist=$candidate; break; }
done
[ -n "$dnadist" ] || { echo "dnadist (Debian package phylip) is not installed"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Runs dnadist with its default settings in its own folder on `infile`; leaves `outfile`.
run_dnadist() {
  local dir=$scratch/$1
  mkdir -p "$dir" && cp "$2" "$dir/infile"
  (cd "$dir" && printf 'Y\n' | timeout 60 "$dnadist" > menu.log 2>&1) || { echo "dnadist failed:"; tail -5 "$dir/menu.log"; return 1; }
  [ -s "$dir/outfile" ] || { echo "dnadist wrote no distances:"; tail -5 "$dir/menu.log"; return 1; }
}

"$phylo" align --to=phylip "$samples/aln12.fasta" > "$scratch/aln12.phy" || { echo "FAIL: phylo align failed"; exit 1; }
run_dnadist aln12 "$scratch/aln12.phy" || exit 1
if ! cmp -s "$scratch/aln12/outfile" "$samples/dnadist_square.dist"; then
  echo "FAIL: dnadist reads other distances from phylo's matrix than from the sample's own"
  diff "$scratch/aln12/outfile" "$samples/dnadist_square.dist" | head -10
  exit 1
fi
echo "ok   aln12.fasta: the same distances as dnadist_square.dist"

printf '>first one\nacgtRYMKSW\nHBVDN-acgt\n>second\nACGTACGTAC\nGT.A?CGTAC\n>third\nACGAACGTAC\nGTTACCGTAN\n' > "$scratch/codes.fa"
"$phylo" align --to=phylip "$scratch/codes.fa" > "$scratch/codes.phy" || { echo "FAIL: phylo align failed"; exit 1; }
run_dnadist codes "$scratch/codes.phy" || exit 1
if ! grep -q '^first one ' "$scratch/codes/outfile" || [ "$(head -1 "$scratch/codes/outfile" | tr -d ' ')" != 3 ]; then
  echo "FAIL: dnadist's distances do not have the three taxa:"; cat "$scratch/codes/outfile"; exit 1
fi
echo "ok   lower case, IUPAC codes, gaps and '?'"
