#!/usr/bin/env bash
# The Snakemake workflow (workflow/Snakefile) on this machine: the square matrix merged from 3
# tiles is the text of a single phylo dist run, and so are the close pairs merged from 4.
# Skipped (77) where snakemake is not installed. Usage: workflow.sh PHYLO SNAKEFILE ALIGNMENT
set -euo pipefail
phylo=$1
snakefile=$2
alignment=$3
if ! command -v snakemake >/dev/null; then
  echo "snakemake is not installed: skipped"
  exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$alignment" "$scratch/alignment.fasta"
cd "$scratch"
run() { snakemake --snakefile "$snakefile" --directory "$scratch" --cores 2 --quiet --config phylo="$phylo" "$@" >log 2>&1 || { cat log; exit 1; }; }
failures=0

run tiles=3 model=k80 gaps=complete layout=tsv out=square
"$phylo" dist -q --model=k80 --gaps=complete --to=tsv alignment.fasta >square.tsv
cmp square/matrix.tsv square.tsv || { echo "FAIL: the merged matrix differs"; failures=$((failures + 1)); }
[ ! -e square/tiles ] || [ -z "$(ls square/tiles)" ] || { echo "FAIL: the tiles are left"; failures=$((failures + 1)); }

run tiles=4 model=count max_distance=8 out=close
"$phylo" dist -q --model=count --max-distance=8 --to=pairs-header alignment.fasta >close.tsv
cmp close/close_pairs.tsv close.tsv || { echo "FAIL: the merged pairs differ"; failures=$((failures + 1)); }

[ $failures -eq 0 ] && echo "the workflow gives the single run's matrix and pairs"
exit $((failures != 0))
