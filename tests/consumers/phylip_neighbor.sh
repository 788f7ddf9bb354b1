#!/usr/bin/env bash
# The lower triangle that `phylo convert --to=phylip-lower` writes is read by PHYLIP's
# neighbor with its L option, and gives the same tree as dnadist's own square matrix.
# Usage: phylip_neighbor.sh PHYLO SAMPLES_DIR. Exit 77 (skipped) when PHYLIP is absent.
set -u
phylo=$1 samples=$2
neighbor=
for candidate in /usr/lib/phylip/bin/neighbor "$(command -v neighbor 2>/dev/null)"; do
  [ -n "$candidate" ] && [ -x "$candidate" ] && { neighbor=$candidate; break; }
done
[ -n "$neighbor" ] || { echo "neighbor (Debian package phylip) is not installed"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Runs neighbor in its own folder on `infile`, answering its menu with $2; prints the tree.
run_neighbor() {
  local dir=$scratch/$1
  mkdir -p "$dir" && cp "$3" "$dir/infile"
  (cd "$dir" && printf '%b' "$2" | timeout 60 "$neighbor" > menu.log 2>&1) || { echo "neighbor failed:" >&2; tail -5 "$dir/menu.log" >&2; return 1; }
  [ -s "$dir/outtree" ] || { echo "neighbor wrote no tree" >&2; return 1; }
  cat "$dir/outtree"
}

"$phylo" convert --to=phylip-lower "$samples/dnadist_square.dist" > "$scratch/lower.dist" || exit 1
expected=$(run_neighbor square 'Y\n' "$samples/dnadist_square.dist") || exit 1
got=$(run_neighbor lower 'L\nY\n' "$scratch/lower.dist") || exit 1
if [ "$expected" != "$got" ]; then
  echo "FAIL: the lower triangle gives another tree"; echo "square: $expected"; echo "lower:  $got"; exit 1
fi
# The lower triangle of a relaxed sample too (labels cut to 10 characters).
"$phylo" convert --to=phylip-lower "$samples/clearcut_aln12.dist" > "$scratch/clearcut.dist" || exit 1
run_neighbor clearcut 'L\nY\n' "$scratch/clearcut.dist" > /dev/null || exit 1
echo "ok"
