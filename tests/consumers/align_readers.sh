#!/usr/bin/env bash
# The sequential PHYLIP that `phylo align` writes (relaxed, the default, and phylip) of an alignment with a label
# with a blank, one with Newick punctuation and a long one is read whole: FastTree, RAxML, IQ-TREE and PhyML build a
# tree whose leaves are exactly phylo's labels, and ape's read.dna and Biopython's AlignIO read every label and
# sequence. Each program that is missing is skipped; exit 77 when all are. Usage: align_readers.sh PHYLO SAMPLES_DIR
set -u
phylo=$1 samples=$2
source "$(dirname "$0")/../lib.sh"
in_scratch
{ cat "$samples/aln12.fasta"; printf '>odd(1):x\nATTTGCTGCTTAGTGCACGCGAGGATCTATGGCATCCGTATGTGAGGTAACCTTTCGAGC\n'; } > aln.fa
"$phylo" align -q aln.fa > relaxed.phy && "$phylo" align -q --to=phylip aln.fa > strict.phy ||
  fail "phylo align (--to=phylip) failed"
for layout in relaxed strict; do tail -n +2 $layout.phy | sed 's/ .*//' | LC_ALL=C sort > $layout.labels; done
grep -qx 'Beta_gamma' relaxed.labels && grep -qx 'odd_1__x' relaxed.labels ||
  fail "unexpected labels: $(cat relaxed.labels)"

# leaves FILE: the leaves of the Newick tree in FILE, one a line.
leaves() { [ -s "$1" ] || { echo "no $1"; return 1; }; tr -d '\n' < "$1" | grep -oE '[(,][^(),:;]+' | cut -c2-; }
# The readers installed, each a function printing the labels it reads in $layout.phy, its messages on stderr.
readers=()
ft=$(command -v FastTree || command -v fasttree) && readers+=(FastTree)
FastTree() { "$ft" -nt -quiet < $layout.phy > ft.tree && leaves ft.tree; }
has raxmlHPC && readers+=(RAxML)
RAxML() {
  mkdir -p rx_$layout && raxmlHPC -m GTRCAT -V -p 1 -s $layout.phy -n t -w "$scratch/rx_$layout" >&2 &&
    leaves rx_$layout/RAxML_bestTree.t
}
has iqtree2 && readers+=(IQ-TREE)
IQ-TREE() { iqtree2 -s $layout.phy -m JC -nt 1 --prefix iq_$layout -quiet -redo >&2 && leaves iq_$layout.treefile; }
has phyml && readers+=(PhyML)
# Debian's phyml wrapper starts the MPI build under mpirun on a machine of several cores, which now and then ends
# without a tree and with status 0; one tree needs no MPI.
PhyML() {
  cp $layout.phy ph_$layout.phy && env PHYMLMPI=no phyml -i ph_$layout.phy -q -d nt -m JC69 -b 0 -o n --quiet \
    < /dev/null >&2 && leaves ph_$layout.phy_phyml_tree.txt
}
has_r ape && readers+=(ape)
ape() {
  Rscript -e 'x <- ape::read.dna(commandArgs(TRUE)[1], format = "sequential", as.character = TRUE)
    stopifnot(ncol(x) == 60); writeLines(rownames(x))' $layout.phy
}
has_py Bio && readers+=(Biopython)
Biopython() {
  /usr/bin/python3 -c 'import sys
from Bio import AlignIO
a = AlignIO.read(sys.argv[1], "phylip" if sys.argv[1] == "strict.phy" else "phylip-relaxed")
assert a.get_alignment_length() == 60
print("\n".join(r.id for r in a))' $layout.phy
}
for layout in relaxed strict; do for reader in "${readers[@]}"; do
  "$reader" > got 2> log || bad "$reader $layout: $(tail -3 log)"
  same "$reader $layout" $layout.labels <(LC_ALL=C sort got) "$reader reads other labels in $layout"; ran=1
done; done
finish "none of FastTree, RAxML, IQ-TREE, PhyML, ape, Biopython is installed"
