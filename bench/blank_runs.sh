#!/usr/bin/env bash
# Peak memory of karvel and phylo convert on long runs of blanks between matrices: 64 MiB of
# blank lines (also of CR LF lines, and through a pipe) before a header, in the extended
# PHYLIP and tab-separated layouts; for phylo also after a matrix and between the lines of a
# list of pairs. The buffer stays a few hundred KiB whatever the run's length.
#
#   bench/blank_runs.sh [-b BUILD_DIR] [-m MIB] [-d SCRATCH_DIR]
#
# BUILD_DIR is a build of the `bench` preset (default: build/bench beside this script's
# folder). Prints, for each case, karvel's exit status, its peak resident memory in KiB and
# its CPU time.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="$here/../build/bench"
mib=64
scratch=/tmp/karvel-bench
while getopts "b:m:d:h" opt; do
  case $opt in
    b) build=$OPTARG ;;
    m) mib=$OPTARG ;;
    d) scratch=$OPTARG ;;
    *) sed -n '2,10p' "$0"; exit 2 ;;
  esac
done
build=$(cd "$build" && pwd)
karvel="$build/karvel"
phylo="$build/phylo"
measure="$build/bench/measure"
for tool in "$karvel" "$phylo" "$measure"; do
  [[ -x $tool ]] || { echo "blank_runs.sh: $tool is missing: cmake --preset bench && cmake --build --preset bench" >&2; exit 1; }
done
mkdir -p "$scratch"

matrix='2\nA 0 0.5\nB 0.5 0\n'
tab_matrix='\tA\tB\nA\t0\t0.5\nB\t0.5\t0\n'
lines() { head -c $((mib << 20)) /dev/zero | tr '\0' '\n'; }
crlf() { head -c $((mib << 19)) /dev/zero | tr '\0' '\n' | sed 's/$/\r/'; }
[[ -s $scratch/blank$mib.dist ]] || { lines; printf "$matrix"; } > "$scratch/blank$mib.dist"
[[ -s $scratch/blank$mib.tsv ]] || { printf "$tab_matrix"; lines; printf "$tab_matrix"; } > "$scratch/blank$mib.tsv"
[[ -s $scratch/crlf$mib.dist ]] || { crlf; printf "$matrix"; } > "$scratch/crlf$mib.dist"
[[ -s $scratch/after$mib.dist ]] || { printf "$matrix"; lines; } > "$scratch/after$mib.dist"
[[ -s $scratch/pairs$mib.txt ]] || { printf 'A\tB\t0.5\n'; lines; printf 'A\tC\t0.5\nB\tC\t0.5\n'; } > "$scratch/pairs$mib.txt"

run() { # run NAME COMMAND [ARG...]
  local name=$1
  shift
  local status=0 out
  out=$("$measure" "$@" 2>/dev/null) || status=$?
  read -r wall user sys peak <<<"$out"
  printf '%-48s status %d  peak %7d KiB  CPU %s s\n' "$name" "$status" "$peak" "$(awk "BEGIN { printf \"%.3f\", $user + $sys }")"
}
run "$mib MiB of blank lines, then a matrix" "$karvel" "$scratch/blank$mib.dist"
cat "$scratch/blank$mib.dist" | run "the same through a pipe" "$karvel" -
run "$mib MiB of CR LF lines, then a matrix" "$karvel" "$scratch/crlf$mib.dist"
run "-t: a matrix, $mib MiB of blank lines, a matrix" "$karvel" -t "$scratch/blank$mib.tsv"
run "phylo: $mib MiB of blank lines, then a matrix" "$phylo" convert "$scratch/blank$mib.dist"
run "phylo: a matrix, then $mib MiB of blank lines" "$phylo" convert "$scratch/after$mib.dist"
run "phylo: a tsv matrix, $mib MiB of blank lines, another" "$phylo" convert "$scratch/blank$mib.tsv"
run "phylo: a pair, $mib MiB of blank lines, two more" "$phylo" convert "$scratch/pairs$mib.txt"
