#!/usr/bin/env bash
# The sequential PHYLIP that `phylo align` writes (relaxed, the default, and phylip) is read
# whole by the programs that take it: FastTree, RAxML, IQ-TREE and PhyML build a tree whose
# leaves are exactly phylo's labels, and ape's read.dna and Biopython's AlignIO read every label
# and sequence. The alignment has a label with a blank, one with Newick punctuation and a long
# one. Each program that is missing is skipped; exit 77 when all are.
# Usage: align_readers.sh PHYLO SAMPLES_DIR
set -u
phylo=$1 samples=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
{ cat "$samples/aln12.fasta"; printf '>odd(1):x\nATTTGCTGCTTAGTGCACGCGAGGATCTATGGCATCCGTATGTGAGGTAACCTTTCGAGC\n'; } > aln.fa
"$phylo" align -q aln.fa > relaxed.phy || { echo "FAIL: phylo align failed"; exit 1; }
"$phylo" align -q --to=phylip aln.fa > strict.phy || { echo "FAIL: phylo align --to=phylip failed"; exit 1; }
# The labels as written, sorted, one a line.
labels() { tail -n +2 "$1" | sed 's/ .*//' | LC_ALL=C sort; }
labels relaxed.phy > relaxed.labels
labels strict.phy > strict.labels
grep -qx 'Beta_gamma' relaxed.labels && grep -qx 'odd_1__x' relaxed.labels || {
  echo "FAIL: unexpected labels:"; cat relaxed.labels; exit 1; }

ran=0 failed=0
# check NAME LABELS GOT: GOT (sorted labels, one a line) must be LABELS.
check() {
  if cmp -s "$2" <(LC_ALL=C sort "$3"); then echo "ok   $1"
  else echo "FAIL: $1 reads other labels:"; diff "$2" <(LC_ALL=C sort "$3") | head; failed=1; fi
  ran=1
}
# The leaves of a Newick tree, one a line.
leaves() { tr -d '\n' < "$1" | grep -oE '[(,][^(),:;]+' | cut -c2-; }

for layout in relaxed strict; do
  if command -v FastTree >/dev/null || command -v fasttree >/dev/null; then
    ft=$(command -v FastTree || command -v fasttree)
    "$ft" -nt -quiet < $layout.phy > ft_$layout.tree 2> ft.err || { echo "FAIL: FastTree: $(head -3 ft.err)"; failed=1; }
    leaves ft_$layout.tree > ft.leaves; check "FastTree $layout" $layout.labels ft.leaves
  fi
  if command -v raxmlHPC >/dev/null; then
    mkdir -p rx_$layout
    raxmlHPC -m GTRCAT -V -p 1 -s $layout.phy -n t -w "$scratch/rx_$layout" > rx.out 2>&1 ||
      { echo "FAIL: RAxML: $(tail -3 rx.out)"; failed=1; }
    leaves rx_$layout/RAxML_bestTree.t > rx.leaves 2>/dev/null; check "RAxML $layout" $layout.labels rx.leaves
  fi
  if command -v iqtree2 >/dev/null; then
    iqtree2 -s $layout.phy -m JC -nt 1 --prefix iq_$layout -quiet -redo > iq.out 2>&1 ||
      { echo "FAIL: IQ-TREE: $(tail -3 iq.out)"; failed=1; }
    leaves iq_$layout.treefile > iq.leaves 2>/dev/null; check "IQ-TREE $layout" $layout.labels iq.leaves
  fi
  if command -v phyml >/dev/null; then
    cp $layout.phy ph_$layout.phy
    # Debian's phyml wrapper starts the MPI build under mpirun on a machine of several cores,
    # which now and then ends without a tree and with status 0; one tree needs no MPI.
    PHYMLMPI=no phyml -i ph_$layout.phy -q -d nt -m JC69 -b 0 -o n --quiet > ph.out 2>&1 < /dev/null ||
      { echo "FAIL: PhyML: $(tail -3 ph.out)"; failed=1; }
    [ -s ph_$layout.phy_phyml_tree.txt ] || echo "PhyML wrote no tree: $(tail -3 ph.out)"
    leaves ph_$layout.phy_phyml_tree.txt > ph.leaves 2>/dev/null; check "PhyML $layout" $layout.labels ph.leaves
  fi
  if command -v Rscript >/dev/null && Rscript -e 'library(ape)' >/dev/null 2>&1; then
    Rscript -e 'x <- ape::read.dna(commandArgs(TRUE)[1], format = "sequential", as.character = TRUE)
                stopifnot(ncol(x) == 60); writeLines(rownames(x))' $layout.phy > ape.labels 2> ape.err ||
      { echo "FAIL: ape: $(head -3 ape.err)"; failed=1; }
    check "ape read.dna $layout" $layout.labels ape.labels
  fi
  if /usr/bin/python3 -c 'import Bio' 2>/dev/null; then
    format=phylip-relaxed; [ $layout = strict ] && format=phylip
    /usr/bin/python3 -c 'import sys
from Bio import AlignIO
a = AlignIO.read(sys.argv[1], sys.argv[2])
assert a.get_alignment_length() == 60
print("\n".join(r.id for r in a))' $layout.phy $format > bio.labels 2> bio.err ||
      { echo "FAIL: Biopython: $(tail -3 bio.err)"; failed=1; }
    check "Biopython $format" $layout.labels bio.labels
  fi
done
[ $failed = 0 ] || exit 1
[ $ran = 1 ] || { echo "none of FastTree, RAxML, IQ-TREE, PhyML, ape, Biopython is installed"; exit 77; }
