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
# Labels that NEXUS must quote, a tiny and a large value.
printf '%s\n' $'\tO\'Brien\t(outgroup)\tLambda_x\tE.coli K-12\ta[1];x,y=z' $'O\'Brien' $'(outgroup)\t0.1' \
  $'Lambda_x\t0.2\t0.3' $'E.coli K-12\t0.4\t0.5\t0.6' $'a[1];x,y=z\t1e-7\t123456\t0.7\t0.8' > "$scratch/labels.tsv"
for sample in dnadist_square.dist dnadist_lower.dist mothur_aln12.lt.dist clearcut_aln12.dist \
              skbio_identity.lsmat biopython_identity.phy "$scratch/labels.tsv"; do
  case $sample in /*) ;; *) sample=$samples/$sample ;; esac
  "$phylo" convert --to=nexus "$sample" > "$scratch/out.nex" || { echo "FAIL $sample: phylo failed"; failed=1; continue; }
  if ! NEXUSnormalizer "$scratch/out.nex" > "$scratch/normal.nex" 2> "$scratch/ncl.err" || grep -q 'Error' "$scratch/ncl.err"; then
    echo "FAIL $sample: NEXUSnormalizer refused the output:"; cat "$scratch/ncl.err"; failed=1; continue
  fi
  "$phylo" convert --to=tsv "$sample" > "$scratch/direct.tsv"
  if ! "$phylo" convert --from=nexus --to=tsv "$scratch/normal.nex" > "$scratch/back.tsv" ||
     ! cmp -s "$scratch/direct.tsv" "$scratch/back.tsv"; then
    echo "FAIL $sample: NCL's rewrite does not read back as the same matrix"
    diff "$scratch/direct.tsv" "$scratch/back.tsv" | head -5; failed=1; continue
  fi
  echo "ok   $sample"
done
exit $failed
