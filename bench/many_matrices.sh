#!/usr/bin/env bash
# CPU time of phylo convert and phylo dist on files of many small matrices (10k, 40k and 100k
# by default): the time per matrix stays the same whatever the count, since nothing is
# counted again from the start of the text (line numbers, positions of failed readings).
#
#   bench/many_matrices.sh [-b BUILD_DIR] [-d SCRATCH_DIR] [COUNT...]
#
# BUILD_DIR is a build of the `bench` preset (default: build/bench beside this script's
# folder). Prints, for each file, the exit status, the CPU time and the peak memory.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="$here/../build/bench"
scratch=/tmp/phylo-many-bench
while getopts "b:d:h" opt; do
  case $opt in
    b) build=$OPTARG ;;
    d) scratch=$OPTARG ;;
    *) sed -n '2,9p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
counts=("$@")
[[ ${#counts[@]} -gt 0 ]] || counts=(10000 40000 100000)
build=$(cd "$build" && pwd)
phylo="$build/phylo"
measure="$build/bench/measure"
for tool in "$phylo" "$measure"; do
  [[ -x $tool ]] || { echo "many_matrices.sh: $tool is missing: cmake --preset bench && cmake --build --preset bench" >&2; exit 1; }
done
mkdir -p "$scratch"

run() { # run NAME COMMAND [ARG...]
  local name=$1
  shift
  local status=0 out
  out=$("$measure" "$@" 2>/dev/null) || status=$?
  read -r wall user sys peak <<<"$out"
  printf '%-44s status %d  CPU %8s s  peak %7d KiB\n' "$name" "$status" "$(awk "BEGIN { printf \"%.3f\", $user + $sys }")" "$peak"
}
for n in "${counts[@]}"; do
  dist=$scratch/dist$n.dist chars=$scratch/chars$n.phy
  [[ -s $dist ]] || awk -v n="$n" 'BEGIN { for (i = 0; i < n; i++) printf "2\nA%d 0 0.5\nB 0.5 0\n", i }' > "$dist"
  [[ -s $chars ]] || awk -v n="$n" 'BEGIN { for (i = 0; i < n; i++) printf "2 4\nA%d ACGT\nB ACTT\n", i }' > "$chars"
  run "convert: $n matrices of 2 taxa" "$phylo" convert -q -o /dev/null "$dist"
  run "dist --kind=discrete: $n matrices of 2 x 4" "$phylo" dist -k discrete -q -o /dev/null "$chars"
done
