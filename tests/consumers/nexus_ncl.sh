#!/usr/bin/env bash
# The NEXUS that phylo writes is read by the NEXUS Class Library's NEXUSnormalizer without an error: `phylo convert
# --to=nexus` of every sample, whose rewrite by NCL reads back as the same matrix, and `phylo align --to=nexus-paup`
# and `--to=nexus-paup-quoted`, whose rewrite holds every taxon with its residues. And the NEXUS that phylo reads
# (interleaved, phangorn's) is read by NCL as the same matrices.
# Usage: nexus_ncl.sh PHYLO SAMPLES_DIR. Exit 77 (skipped) when NEXUSnormalizer is absent.
set -u
phylo=$1 samples=$2
source "$(dirname "$0")/../lib.sh"
has NEXUSnormalizer || skip "NEXUSnormalizer (Debian package ncl-tools) is not installed"
in_scratch
# normalize WHAT FILE: NCL's rewrite of FILE in normal.nex.
normalize() {
  NEXUSnormalizer "$2" > normal.nex 2> ncl.err && ! grep -q 'Error' ncl.err && return
  bad "$1: NEXUSnormalizer refused the output:"; cat ncl.err; return 1
}
# same_matrix WHAT SAMPLE NEXUS FAILURE [-q]: NCL's rewrite of NEXUS reads in phylo as the matrix of SAMPLE.
same_matrix() {
  normalize "$2" "$3" || return 0
  "$phylo" convert ${5:+"$5"} --to=tsv "$2" > direct.tsv
  { "$phylo" convert ${5:+"$5"} --from=nexus --to=tsv normal.nex || echo "(phylo refuses NCL's rewrite)"; } > back.tsv
  same "$1" direct.tsv back.tsv "$2: $4"
}

# Labels that NEXUS must quote, a tiny and a large value; UTF-8 labels.
printf '%s\n' $'\tO\'Brien\t(outgroup)\tLambda_x\tE.coli K-12\ta[1];x,y=z' $'O\'Brien' $'(outgroup)\t0.1' \
  $'Lambda_x\t0.2\t0.3' $'E.coli K-12\t0.4\t0.5\t0.6' $'a[1];x,y=z\t1e-7\t123456\t0.7\t0.8' > labels.tsv
# UTF-8 labels, quoted by phylo and kept by NCL.
printf '\t\303\221and\303\272\tPet\305\221 x\tq\n\303\221and\303\272\t0\t1\t2\nPet\305\221 x\t1\t0\t3\nq\t2\t3\t0\n' > utf8.tsv
for sample in "$samples"/{dnadist_square.dist,dnadist_lower.dist,mothur_aln12.lt.dist,clearcut_aln12.dist} \
              "$samples"/{skbio_identity.lsmat,biopython_identity.phy} "$scratch"/{labels,utf8}.tsv; do
  "$phylo" convert --to=nexus "$sample" > out.nex || { bad "$sample: phylo failed"; continue; }
  same_matrix "$sample" "$sample" out.nex "NCL's rewrite does not read back as the same matrix"
done

# NEXUS that other programs write, and interleaved matrices in the layout that NCL reads (each
# block lists the rows that have cells in it): NCL reads them as phylo does, so that its rewrite
# (lower triangles, one row per line) reads back as the same matrices.
for sample in "$samples"/{../cli/aln12_interleaved,phangorn_nexus_nodiagonal,phangorn_nexus_both}.nex; do
  same_matrix "$sample (read by NCL alike)" "$sample" "$sample" "NCL reads the matrix otherwise" -q
done

# Each taxon of the alignment as NCL writes it back, and its residues.
awk '/^>/ { if (label != "") print label, seq; label = substr($0, 2); gsub(/ /, "_", label); seq = ""; next }
     { seq = seq $0 } END { print label, seq }' "$samples/aln12.fasta" > expected
for layout in nexus-paup nexus-paup-quoted; do
  "$phylo" align --to=$layout "$samples/aln12.fasta" > $layout.nex || { bad "$layout: phylo failed"; continue; }
  normalize "align --to=$layout" $layout.nex || continue
  # The rows of NCL's MATRIX: a label (quotes dropped) and the residues.
  awk '/^Matrix/ { on = 1; next } on && /^;/ { on = 0 } on { gsub(/\047/, "", $1); print $1, $2 }' normal.nex > got
  same "align --to=$layout" expected got "align --to=$layout: NCL's matrix differs from the alignment"
done
finish
