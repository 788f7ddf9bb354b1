#!/usr/bin/env bash
# The lower triangle that `phylo convert --to=phylip-lower` writes is read by PHYLIP's
# neighbor with its L option, and gives the same tree as dnadist's own square matrix.
# Usage: phylip_neighbor.sh PHYLO SAMPLES_DIR. Exit 77 (skipped) when PHYLIP is absent.
set -u
phylo=$1 samples=$2
source "$(dirname "$0")/phylip.sh"
need_phylip neighbor
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$phylo" convert --to=phylip-lower "$samples/dnadist_square.dist" > "$scratch/lower.dist" || exit 1
run_phylip "$neighbor" "$scratch/square" "$samples/dnadist_square.dist" 'Y\n' outtree || exit 1
run_phylip "$neighbor" "$scratch/lower" "$scratch/lower.dist" 'L\nY\n' outtree || exit 1
if ! cmp -s "$scratch/square/outtree" "$scratch/lower/outtree"; then
  echo "FAIL: the lower triangle gives another tree"; cat "$scratch/square/outtree" "$scratch/lower/outtree"; exit 1
fi
# The lower triangle of a relaxed sample too (labels cut to 10 characters).
"$phylo" convert --to=phylip-lower "$samples/clearcut_aln12.dist" > "$scratch/clearcut.dist" || exit 1
run_phylip "$neighbor" "$scratch/clearcut" "$scratch/clearcut.dist" 'L\nY\n' outtree || exit 1
echo "ok"
