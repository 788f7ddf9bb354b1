#!/usr/bin/env bash
# The sequential PHYLIP that `phylo align` writes (relaxed, the default, and phylip) is read whole by the programs
# that take it: FastTree, RAxML, IQ-TREE and PhyML build a tree whose leaves are exactly phylo's labels, and ape's
# read.dna and Biopython's AlignIO read every label and sequence. The alignment has a label with a blank, one with
# Newick punctuation and a long one. Each program that is missing is skipped; exit 77 when all are.
# Usage: align_readers.sh PHYLO SAMPLES_DIR
set -u
phylo=$1 samples=$2
source "$(dirname "$0")/../lib.sh"
in_scratch
{ cat "$samples/aln12.fasta"; printf '>odd(1):x\nATTTGCTGCTTAGTGCACGCGAGGATCTATGGCATCCGTATGTGAGGTAACCTTTCGAGC\n'; } > aln.fa
"$phylo" align -q aln.fa > relaxed.phy || fail "phylo align failed"
"$phylo" align -q --to=phylip aln.fa > strict.phy || fail "phylo align --to=phylip failed"
# The labels as written, sorted, one a line.
for layout in relaxed strict; do tail -n +2 $layout.phy | sed 's/ .*//' | LC_ALL=C sort > $layout.labels; done
grep -qx 'Beta_gamma' relaxed.labels && grep -qx 'odd_1__x' relaxed.labels ||
  fail "unexpected labels: $(cat relaxed.labels)"

# run NAME OUT COMMAND...: COMMAND's output in OUT (-: in log, with its messages), its messages in log;
# FAIL with their end when it fails.
run() {
  local name=$1 out=$2; shift 2
  if [ "$out" = - ]; then "$@" > log 2>&1; else "$@" > "$out" 2> log; fi || bad "$name: $(tail -3 log)"
}
# check NAME GOT: GOT (labels, one a line) must be the labels of $layout, sorted.
check() { ran=1; same "$1" $layout.labels <(LC_ALL=C sort "$2") "$1 reads other labels"; }
# The leaves of a Newick tree, one a line.
leaves() { tr -d '\n' < "$1" | grep -oE '[(,][^(),:;]+' | cut -c2-; } 2> /dev/null

for layout in relaxed strict; do
  if ft=$(command -v FastTree || command -v fasttree); then
    run FastTree ft.tree "$ft" -nt -quiet < $layout.phy
    check "FastTree $layout" <(leaves ft.tree)
  fi
  if has raxmlHPC; then
    mkdir -p rx_$layout
    run RAxML - raxmlHPC -m GTRCAT -V -p 1 -s $layout.phy -n t -w "$scratch/rx_$layout"
    check "RAxML $layout" <(leaves rx_$layout/RAxML_bestTree.t)
  fi
  if has iqtree2; then
    run IQ-TREE - iqtree2 -s $layout.phy -m JC -nt 1 --prefix iq_$layout -quiet -redo
    check "IQ-TREE $layout" <(leaves iq_$layout.treefile)
  fi
  if has phyml; then
    cp $layout.phy ph_$layout.phy
    # Debian's phyml wrapper starts the MPI build under mpirun on a machine of several cores,
    # which now and then ends without a tree and with status 0; one tree needs no MPI.
    run PhyML - env PHYMLMPI=no phyml -i ph_$layout.phy -q -d nt -m JC69 -b 0 -o n --quiet < /dev/null
    [ -s ph_$layout.phy_phyml_tree.txt ] || echo "PhyML wrote no tree: $(tail -3 log)"
    check "PhyML $layout" <(leaves ph_$layout.phy_phyml_tree.txt)
  fi
  if has Rscript && Rscript -e 'library(ape)' > /dev/null 2>&1; then
    run ape ape.labels Rscript -e 'x <- ape::read.dna(commandArgs(TRUE)[1], format = "sequential", as.character = TRUE)
      stopifnot(ncol(x) == 60); writeLines(rownames(x))' $layout.phy
    check "ape read.dna $layout" ape.labels
  fi
  if has_py Bio; then
    format=phylip; [ $layout = strict ] || format=phylip-relaxed
    run Biopython bio.labels /usr/bin/python3 -c 'import sys
from Bio import AlignIO
a = AlignIO.read(sys.argv[1], sys.argv[2])
assert a.get_alignment_length() == 60
print("\n".join(r.id for r in a))' $layout.phy $format
    check "Biopython $format" bio.labels
  fi
done
finish "none of FastTree, RAxML, IQ-TREE, PhyML, ape, Biopython is installed"
