#!/usr/bin/env bash
# The parts of phylo dist --block put together, in any order, make the square matrix of a single run: for every
# model and gap rule, both pair layouts and several numbers of parts, phylo convert --from=pairs of the parts gives
# the text of phylo dist --to=tsv. And --max-distance in parts holds the lines of a single --max-distance run.
# Usage: blocks.sh PHYLO NUCLEOTIDES.fa AMINO_ACIDS.fa
set -euo pipefail
phylo=$(realpath "$1") dna=$(realpath "$2") protein=$(realpath "$3")
source "$(dirname "$0")/../lib.sh"
in_scratch
check() { # ALIGNMENT OPTIONS...
  local aln=$1 layout first k i; shift
  "$phylo" dist -q -u 9 --to=tsv "$@" "$aln" > whole
  for layout in pairs pairs-header; do
    first=1; [ $layout = pairs ] || first=2 # parts last to first, but part 1 (with the header) first
    for k in 1 3 7; do
      { [ $first = 1 ] || "$phylo" dist -q -u 9 --to=$layout --block=1/$k "$@" "$aln"
        for ((i = k; i >= first; --i)); do "$phylo" dist -q -u 9 --to=$layout --block=$i/$k -j 2 "$@" "$aln"; done
      } | "$phylo" convert --from=pairs --to=tsv | cmp -s - whole || bad "--to=$layout --block=I/$k $* ${aln##*/}"
    done
  done
}
for model in p count jc69 k80 k81 f81 f84 t92 tn93 logdet; do
  for gaps in pairwise complete; do check "$dna" -M $model -g $gaps; done
done
check "$dna" -M f84 --ts-tv=2
check "$dna" -M jc69 --gamma=0.5
for model in p count; do check "$dna" -M $model -g count; done
for model in p count poisson kimura jtt wag lg dayhoff blosum62; do check "$protein" -M $model; done
check "$protein" -M p -g complete

# The close pairs, in parts: the same lines as one run, the lines of each taxon with itself aside.
for engine in dense sparse; do
  "$phylo" dist -q -M count --max-distance=8 --engine=$engine "$dna" > close
  for k in 2 5; do
    for ((i = 1; i <= k; ++i)); do
      "$phylo" dist -q -M count --max-distance=8 --engine=$engine --block=$i/$k "$dna"
    done | awk -F'\t' '$1 != $2' | cmp -s close - ||
      bad "--max-distance=8 --engine=$engine --block=I/$k"
  done
done
[ $failed = 0 ] && echo "every part put together gives the whole"
finish
