#!/usr/bin/env bash
# Times phylo plot as whole processes and weighs its pictures: for each size N, an alignment of
# N sequences x 1000 sites evolved along a random tree (make_tree_alignment), plotted from the
# alignment (distances computed in memory) and, up to MATRIX_MAX taxa, from its JC69 distances
# written once by phylo dist as a PHYLIP matrix; beside them the floors that phylo plot cannot
# beat, phylo convert reading the same matrix (to /dev/null) and phylo dist on the alignment
# (to /dev/null, as raw cells), and the plot in the order of the input (no tree). Prints every
# figure and the goals:
#   1. 5000 taxa plotted in at most 1 s;
#   2. 20,000 taxa plotted in at most 5 s, in an SVG of at most 5 MB.
#
#   bench/plot_run.sh [-b BUILD_DIR] [-d SCRATCH_DIR] [-r ROUNDS] [-m MATRIX_MAX] [N...]
#
# BUILD_DIR is a build of the `bench` preset (default: build/bench beside this script's folder;
# targets phylo_cli, make_tree_alignment and measure). The files are made in SCRATCH_DIR
# (default /tmp/phylo-plot-bench) once and reused; a matrix of 20,000 taxa takes 5 GB, so
# matrices are written only up to MATRIX_MAX taxa (default 10000). Each case runs ROUNDS times
# (default 1) and its best wall time counts. The sizes default to 5000 20000.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="$here/../build/bench"
scratch=/tmp/phylo-plot-bench
rounds=1
matrix_max=10000
while getopts "b:d:r:m:h" opt; do
  case $opt in
    b) build=$OPTARG ;;
    d) scratch=$OPTARG ;;
    r) rounds=$OPTARG ;;
    m) matrix_max=$OPTARG ;;
    *) sed -n '2,18p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(5000 20000)
build=$(cd "$build" && pwd)
phylo="$build/phylo"
tools="$build/bench"
for tool in "$phylo" "$tools/make_tree_alignment" "$tools/measure"; do
  [[ -x $tool ]] || {
    echo "plot_run.sh: $tool is missing: cmake --preset bench && cmake --build --preset bench" >&2
    exit 1
  }
done
mkdir -p "$scratch"
cd "$scratch"

load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)
less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
declare -A wall rss bytes
# run N NAME OUTPUT COMMAND...: OUTPUT is the file the command writes (or -)
run() {
  local n=$1 name=$2 output=$3 e u s m
  shift 3
  for ((round = 1; round <= rounds; ++round)); do
    read -r e u s m < <("$tools/measure" "$@" 2>/dev/null) || { echo "plot_run.sh: $name failed at $n" >&2; return; }
    if [[ -z ${wall[$n:$name]:-} ]] || less "$e" "${wall[$n:$name]}"; then wall[$n:$name]=$e; fi
    if [[ -z ${rss[$n:$name]:-} ]] || ((m > ${rss[$n:$name]})); then rss[$n:$name]=$m; fi
  done
  if [[ $output != - ]]; then bytes[$n:$name]=$(stat -c %s "$output"); fi
}

for n in "${sizes[@]}"; do
  alignment="a$n.fasta" matrix="m$n.phy"
  [[ -s $alignment ]] || "$tools/make_tree_alignment" "$n" 1000 > "$alignment"
  run "$n" "phylo plot (alignment)" "plot_a$n.svg" "$phylo" plot -o "plot_a$n.svg" "$alignment"
  run "$n" "phylo dist (alignment, raw)" - "$phylo" dist -q --to=raw -o /dev/null "$alignment"
  if ((n <= matrix_max)); then
    [[ -s $matrix ]] || "$phylo" dist -q --model=jc69 --to=phylip -o "$matrix" "$alignment"
    run "$n" "phylo plot (matrix)" "plot_m$n.svg" "$phylo" plot -o "plot_m$n.svg" "$matrix"
    run "$n" "phylo plot --order=input" "plot_i$n.svg" "$phylo" plot --order=input -o "plot_i$n.svg" "$matrix"
    run "$n" "phylo convert (matrix, raw)" - "$phylo" convert --to=raw -o /dev/null "$matrix"
  fi
done

echo "phylo plot benchmark: best of $rounds rounds, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average (1, 5, 15 min): $load_at_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end; $(nproc) cores"
echo "inputs: alignments of N x 1000 sites evolved along random trees, and their JC69 distances as PHYLIP text"
echo
printf "%-30s %7s %9s %10s %10s\n" program taxa wall_s peak_MiB svg_KiB
for key in "${!wall[@]}"; do
  n=${key%%:*} name=${key#*:}
  svg=${bytes[$key]:-}
  printf "%-30s %7s %9s %10s %10s\n" "$name" "$n" "${wall[$key]}" "$((rss[$key] / 1024))" "${svg:+$((svg / 1024))}"
done | sort -k2,2n -k1,1
echo
printf "%-52s %8s %8s  %s\n" goal phylo limit verdict
goal() { # N NAME LIMIT_S
  local w=${wall[$1:$2]:-}
  [[ -n $w ]] || return 0
  printf "%-52s %8s %8s  %s\n" "$1 taxa, $2: wall s" "$w" "$3" "$(less "$w" "$3" && echo ok || echo MISSED)"
}
for n in "${sizes[@]}"; do
  limit=
  ((n == 5000)) && limit=1
  ((n == 20000)) && limit=5
  [[ -n $limit ]] || continue
  goal "$n" "phylo plot (alignment)" "$limit"
  goal "$n" "phylo plot (matrix)" "$limit"
  if ((n == 20000)); then
    kib=$((bytes[$n:phylo plot (alignment)] / 1024))
    printf "%-52s %8s %8s  %s\n" "$n taxa: SVG KiB" "$kib" 5120 "$( ((kib <= 5120)) && echo ok || echo MISSED)"
  fi
done
