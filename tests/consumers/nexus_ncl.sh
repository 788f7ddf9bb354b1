#!/usr/bin/env bash
# The NEXUS Class Library's NEXUSnormalizer reads the NEXUS that phylo writes without an error: its rewrite of `phylo
# convert --to=nexus` of every sample reads back as the same matrix, that of `phylo align --to=nexus-paup` and
# `--to=nexus-paup-quoted` holds every taxon with its residues; and NCL reads the NEXUS that phylo reads (interleaved,
# phangorn's) as the same matrices. Usage: nexus_ncl.sh PHYLO SAMPLES_DIR. Skipped (77) without NEXUSnormalizer.
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
# same_matrix SAMPLE NEXUS [-q]: NCL's rewrite of NEXUS (phylo's of SAMPLE, or SAMPLE) reads as the matrix of SAMPLE.
same_matrix() {
  normalize "$1" "$2" || return 0
  "$phylo" convert ${3:+"$3"} --to=tsv "$1" > direct.tsv
  { "$phylo" convert ${3:+"$3"} --from=nexus --to=tsv normal.nex || echo "(phylo refuses NCL's rewrite)"; } > back.tsv
  same "$1${3:+ (read by NCL alike)}" direct.tsv back.tsv "$1: NCL's rewrite does not read back as the same matrix"
}

# Labels that NEXUS must quote, a tiny and a large value; UTF-8 labels, quoted by phylo and kept by NCL.
printf '%s\n' $'\tO\'Brien\t(outgroup)\tLambda_x\tE.coli K-12\ta[1];x,y=z' $'O\'Brien' $'(outgroup)\t0.1' \
  $'Lambda_x\t0.2\t0.3' $'E.coli K-12\t0.4\t0.5\t0.6' $'a[1];x,y=z\t1e-7\t123456\t0.7\t0.8' > labels.tsv
printf '\t\303\221and\303\272\tPet\305\221 x\tq\n\303\221and\303\272\t0\t1\t2\nPet\305\221 x\t1\t0\t3\nq\t2\t3\t0\n' > utf8.tsv
for sample in "$samples"/{dnadist_square.dist,dnadist_lower.dist,mothur_aln12.lt.dist,clearcut_aln12.dist} \
              "$samples"/{skbio_identity.lsmat,biopython_identity.phy} "$scratch"/{labels,utf8}.tsv; do
  "$phylo" convert --to=nexus "$sample" > out.nex || { bad "$sample: phylo failed"; continue; }
  same_matrix "$sample" out.nex
done
# NEXUS that other programs write, and interleaved matrices in the layout that NCL reads (each block lists the rows
# that have cells in it): NCL's rewrite (lower triangles, one row per line) reads back as the same matrices.
for sample in "$samples"/{../cli/aln12_interleaved,phangorn_nexus_nodiagonal,phangorn_nexus_both}.nex; do
  same_matrix "$sample" "$sample" -q
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
