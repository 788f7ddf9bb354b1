#!/usr/bin/env bash
# The NEXUS that phylo writes is read by the NEXUS Class Library's NEXUSnormalizer without an
# error: `phylo convert --to=nexus` of every sample, whose rewrite by NCL reads back as the same
# matrix, and `phylo align --to=nexus-paup` and `--to=nexus-paup-quoted`, whose rewrite holds
# every taxon with its residues. And the NEXUS that phylo reads (interleaved, phangorn's) is
# read by NCL as the same matrices.
# Usage: nexus_ncl.sh PHYLO SAMPLES_DIR. Exit 77 (skipped) when NEXUSnormalizer is absent.
set -u
phylo=$1 samples=$2
command -v NEXUSnormalizer >/dev/null || { echo "NEXUSnormalizer (Debian package ncl-tools) is not installed"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
# normalize WHAT FILE: NCL's rewrite of FILE in $scratch/normal.nex.
normalize() {
  NEXUSnormalizer "$2" > "$scratch/normal.nex" 2> "$scratch/ncl.err" && ! grep -q 'Error' "$scratch/ncl.err" && return
  echo "FAIL $1: NEXUSnormalizer refused the output:"; cat "$scratch/ncl.err"; failed=1; return 1
}

# Labels that NEXUS must quote, a tiny and a large value; UTF-8 labels.
printf '%s\n' $'\tO\'Brien\t(outgroup)\tLambda_x\tE.coli K-12\ta[1];x,y=z' $'O\'Brien' $'(outgroup)\t0.1' \
  $'Lambda_x\t0.2\t0.3' $'E.coli K-12\t0.4\t0.5\t0.6' $'a[1];x,y=z\t1e-7\t123456\t0.7\t0.8' > "$scratch/labels.tsv"
# UTF-8 labels, quoted by phylo and kept by NCL.
printf '\t\303\221and\303\272\tPet\305\221 x\tq\n\303\221and\303\272\t0\t1\t2\nPet\305\221 x\t1\t0\t3\nq\t2\t3\t0\n' > "$scratch/utf8.tsv"
for sample in dnadist_square.dist dnadist_lower.dist mothur_aln12.lt.dist clearcut_aln12.dist \
              skbio_identity.lsmat biopython_identity.phy "$scratch/labels.tsv" "$scratch/utf8.tsv"; do
  case $sample in /*) ;; *) sample=$samples/$sample ;; esac
  "$phylo" convert --to=nexus "$sample" > "$scratch/out.nex" || { echo "FAIL $sample: phylo failed"; failed=1; continue; }
  normalize "$sample" "$scratch/out.nex" || continue
  "$phylo" convert --to=tsv "$sample" > "$scratch/direct.tsv"
  if ! "$phylo" convert --from=nexus --to=tsv "$scratch/normal.nex" > "$scratch/back.tsv" ||
     ! cmp -s "$scratch/direct.tsv" "$scratch/back.tsv"; then
    echo "FAIL $sample: NCL's rewrite does not read back as the same matrix"
    diff "$scratch/direct.tsv" "$scratch/back.tsv" | head -5; failed=1; continue
  fi
  echo "ok   $sample"
done

# NEXUS that other programs write, and interleaved matrices in the layout that NCL reads (each
# block lists the rows that have cells in it): NCL reads them as phylo does, so that its rewrite
# (lower triangles, one row per line) reads back as the same matrices.
for sample in "$samples/../cli/aln12_interleaved.nex" "$samples/phangorn_nexus_nodiagonal.nex" \
              "$samples/phangorn_nexus_both.nex"; do
  normalize "$sample" "$sample" || continue
  "$phylo" convert -q --to=tsv "$sample" > "$scratch/direct.tsv"
  if ! "$phylo" convert -q --from=nexus --to=tsv "$scratch/normal.nex" > "$scratch/back.tsv" ||
     ! cmp -s "$scratch/direct.tsv" "$scratch/back.tsv"; then
    echo "FAIL $sample: NCL reads the matrix otherwise"
    diff "$scratch/direct.tsv" "$scratch/back.tsv" | head -5; failed=1; continue
  fi
  echo "ok   $sample (read by NCL alike)"
done

# Each taxon of the alignment as NCL writes it back, and its residues.
expected=$(awk '/^>/ { if (label != "") print label, seq; label = substr($0, 2); gsub(/ /, "_", label); seq = ""; next }
                { seq = seq $0 } END { print label, seq }' "$samples/aln12.fasta")
for layout in nexus-paup nexus-paup-quoted; do
  "$phylo" align --to=$layout "$samples/aln12.fasta" > "$scratch/$layout.nex" || { echo "FAIL $layout: phylo failed"; failed=1; continue; }
  normalize "align --to=$layout" "$scratch/$layout.nex" || continue
  # The rows of NCL's MATRIX: a label (quotes dropped) and the residues.
  got=$(awk '/^Matrix/ { on = 1; next } on && /^;/ { on = 0 } on { gsub(/\047/, "", $1); print $1, $2 }' "$scratch/normal.nex")
  if [ "$got" != "$expected" ]; then
    echo "FAIL align --to=$layout: NCL's matrix differs from the alignment"; diff <(echo "$expected") <(echo "$got") | head -10
    failed=1; continue
  fi
  echo "ok   align --to=$layout"
done
exit $failed
