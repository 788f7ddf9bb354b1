#!/usr/bin/env bash
# The NEXUS that `phylo convert --to=nexus` writes is read by the NEXUS Class Library: its
# NEXUSnormalizer accepts every sample, and what it writes back reads as the same matrix.
# Usage: nexus_ncl.sh PHYLO SAMPLES_DIR. Exit 77 (skipped) when NEXUSnormalizer is absent.
set -u
phylo=$1 samples=$2
command -v NEXUSnormalizer >/dev/null || { echo "NEXUSnormalizer (Debian package ncl-tools) is not installed"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
for sample in dnadist_square.dist dnadist_lower.dist mothur_aln12.lt.dist clearcut_aln12.dist \
              skbio_identity.lsmat biopython_identity.phy; do
  "$phylo" convert --to=nexus "$samples/$sample" > "$scratch/out.nex" || { echo "FAIL $sample: phylo failed"; failed=1; continue; }
  if ! NEXUSnormalizer "$scratch/out.nex" > "$scratch/normal.nex" 2> "$scratch/ncl.err" || grep -q 'Error' "$scratch/ncl.err"; then
    echo "FAIL $sample: NEXUSnormalizer refused the output:"; cat "$scratch/ncl.err"; failed=1; continue
  fi
  "$phylo" convert --to=tsv "$samples/$sample" > "$scratch/direct.tsv"
  if ! "$phylo" convert --from=nexus --to=tsv "$scratch/normal.nex" > "$scratch/back.tsv" ||
     ! cmp -s "$scratch/direct.tsv" "$scratch/back.tsv"; then
    echo "FAIL $sample: NCL's rewrite does not read back as the same matrix"
    diff "$scratch/direct.tsv" "$scratch/back.tsv" | head -5; failed=1; continue
  fi
  echo "ok   $sample"
done
exit $failed
