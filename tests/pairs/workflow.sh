#!/usr/bin/env bash
# The Snakemake workflow (workflow/Snakefile) on this machine: the square matrix merged from 3 tiles is the text of a
# single phylo dist run, and so are the close pairs merged from 4. Skipped (77) where snakemake is not installed.
# Usage: workflow.sh PHYLO SNAKEFILE ALIGNMENT
set -euo pipefail
phylo=$(realpath "$1") snakefile=$(realpath "$2") alignment=$(realpath "$3")
source "$(dirname "$0")/../lib.sh"
need snakemake
in_scratch
cp "$alignment" alignment.fasta
run() { snakemake --snakefile "$snakefile" --directory "$scratch" --cores 2 --quiet --config phylo="$phylo" "$@" \
  > log 2>&1 || { cat log; fail "snakemake $*"; }; }

run tiles=3 model=k80 gaps=complete layout=tsv out=square
"$phylo" dist -q --model=k80 --gaps=complete --to=tsv alignment.fasta | cmp square/matrix.tsv - ||
  bad "the merged matrix differs"
[ ! -e square/tiles ] || [ -z "$(ls square/tiles)" ] || bad "the tiles are left"
run tiles=4 model=count max_distance=8 out=close
"$phylo" dist -q --model=count --max-distance=8 --to=pairs-header alignment.fasta | cmp close/close_pairs.tsv - ||
  bad "the merged pairs differ"
[ $failed = 0 ] && echo "the workflow gives the single run's matrix and pairs"
finish
