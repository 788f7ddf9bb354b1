#!/usr/bin/env bash
# The NEXUS matrices that `phylo align --to=nexus-paup` and `--to=nexus-paup-quoted` write
# are read by the NEXUS Class Library: NEXUSnormalizer accepts them without an error, and its
# rewrite holds every taxon with its residues.
# Usage: nexus_ncl_align.sh PHYLO SAMPLES_DIR. Exit 77 (skipped) when NEXUSnormalizer is absent.
set -u
phylo=$1 samples=$2
command -v NEXUSnormalizer >/dev/null || { echo "NEXUSnormalizer (Debian package ncl-tools) is not installed"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
# Each taxon of the sample as NCL writes it back, and its residues.
expected=$(awk '/^>/ { if (label != "") print label, seq; label = substr($0, 2); gsub(/ /, "_", label); seq = ""; next }
                { seq = seq $0 } END { print label, seq }' "$samples/aln12.fasta")
for layout in nexus-paup nexus-paup-quoted; do
  "$phylo" align --to=$layout "$samples/aln12.fasta" > "$scratch/$layout.nex" || { echo "FAIL $layout: phylo failed"; failed=1; continue; }
  if ! NEXUSnormalizer "$scratch/$layout.nex" > "$scratch/normal.nex" 2> "$scratch/ncl.err" || grep -q 'Error' "$scratch/ncl.err"; then
    echo "FAIL $layout: NEXUSnormalizer refused the output:"; cat "$scratch/ncl.err"; failed=1; continue
  fi
  # The rows of NCL's MATRIX: a label (quotes dropped) and the residues.
  got=$(awk '/^Matrix/ { on = 1; next } on && /^;/ { on = 0 } on { gsub(/\047/, "", $1); print $1, $2 }' "$scratch/normal.nex")
  if [ "$got" != "$expected" ]; then
    echo "FAIL $layout: NCL's matrix differs from the alignment"; diff <(echo "$expected") <(echo "$got") | head -10
    failed=1; continue
  fi
  echo "ok   $layout"
done
exit $failed
