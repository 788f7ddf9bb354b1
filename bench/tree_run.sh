#!/usr/bin/env bash
# Times phylo tree against the other tree builders, side by side in one run, as whole processes
# on the same files: for each size N, an alignment of N sequences x 1000 sites evolved along a
# random tree (make_tree_alignment), its JC69 distances written once by phylo dist as a PHYLIP
# matrix, and every program building its tree from that matrix. Prints every figure with the
# peers' figures of the same run, and the goals:
#   1. NJ in at most half the wall time of the fastest exact NJ peer that ran (RapidNJ,
#      decenttree NJ-R, quicktree, clearcut --neighbor);
#   2. BIONJ in at most half the wall time of decenttree's BIONJ-R;
#   3. a peak memory of at most 6 bytes per cell (N^2) plus 64 MiB.
#
#   bench/tree_run.sh [-b BUILD_DIR] [-p PEERS_DIR] [-d SCRATCH_DIR] [-r ROUNDS] [-s SLOW_MAX]
#                     [-D DECENT_MAX] [N...]
#
# BUILD_DIR is a build of the `bench` preset (default: build/bench beside this script's folder;
# targets phylo_cli, make_tree_alignment and measure). PEERS_DIR (default /work/peers) holds the
# peers built from their sources: rapidNJ/bin/rapidnj and decenttree/build/decenttree; quicktree
# and clearcut are the Debian packages. A peer that is missing is left out. The files are made in
# SCRATCH_DIR (default /tmp/phylo-tree-bench) once and reused. quicktree and clearcut, which are
# cubic, run only up to SLOW_MAX taxa (default 5000), decenttree up to DECENT_MAX (default: all). Each case runs ROUNDS times (default 1) and
# its best wall time counts. The sizes default to 2000 5000 10000.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="$here/../build/bench"
peers=/work/peers
scratch=/tmp/phylo-tree-bench
rounds=1
slow_max=5000
decent_max=1000000000
while getopts "b:p:d:r:s:D:h" opt; do
  case $opt in
    b) build=$OPTARG ;;
    p) peers=$OPTARG ;;
    d) scratch=$OPTARG ;;
    r) rounds=$OPTARG ;;
    s) slow_max=$OPTARG ;;
    D) decent_max=$OPTARG ;;
    *) sed -n '2,21p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(2000 5000 10000)
build=$(cd "$build" && pwd)
phylo="$build/phylo"
tools="$build/bench"
for tool in "$phylo" "$tools/make_tree_alignment" "$tools/measure"; do
  [[ -x $tool ]] || {
    echo "tree_run.sh: $tool is missing: cmake --preset bench && cmake --build --preset bench" >&2
    exit 1
  }
done
rapidnj=$peers/rapidNJ/bin/rapidnj
decenttree=$peers/decenttree/build/decenttree
quicktree=$(command -v quicktree || true)
clearcut=$(command -v clearcut || true)
mkdir -p "$scratch"
cd "$scratch"

load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)
less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
declare -A wall rss
# run N NAME COMMAND...: its standard output to /dev/null (trees go to files in the folder)
run() {
  local n=$1 name=$2 e u s m
  shift 2
  for ((round = 1; round <= rounds; ++round)); do
    read -r e u s m < <("$tools/measure" "$@" 2>/dev/null) || { echo "tree_run.sh: $name failed at $n" >&2; return; }
    if [[ -z ${wall[$n:$name]:-} ]] || less "$e" "${wall[$n:$name]}"; then wall[$n:$name]=$e; fi
    if [[ -z ${rss[$n:$name]:-} ]] || ((m > ${rss[$n:$name]})); then rss[$n:$name]=$m; fi
  done
}

names=()
for n in "${sizes[@]}"; do
  matrix="m$n.phy"
  if [[ ! -s $matrix ]]; then
    "$tools/make_tree_alignment" "$n" 1000 > "a$n.fasta"
    "$phylo" dist -q --model=jc69 --to=phylip -o "$matrix" "a$n.fasta"
    rm -f "a$n.fasta"
  fi
  run "$n" "phylo nj" "$phylo" tree -o "phylo_nj_$n.nwk" "$matrix"
  run "$n" "phylo nj 1 thread" "$phylo" tree -j 1 -o "phylo_nj1_$n.nwk" "$matrix"
  run "$n" "phylo bionj" "$phylo" tree -m bionj -o "phylo_bionj_$n.nwk" "$matrix"
  [[ -x $rapidnj ]] && run "$n" "RapidNJ" "$rapidnj" "$matrix" -i pd -c 2 -x "rapidnj_$n.nwk"
  if [[ -x $decenttree ]] && ((n <= decent_max)); then
    run "$n" "decenttree NJ-R" "$decenttree" -in "$matrix" -t NJ-R -nt 2 -q -out "decent_nj_$n.nwk"
    run "$n" "decenttree BIONJ-R" "$decenttree" -in "$matrix" -t BIONJ-R -nt 2 -q -out "decent_bionj_$n.nwk"
  fi
  if ((n <= slow_max)); then
    [[ -n $quicktree ]] && run "$n" "quicktree" "$quicktree" -in m -out t "$matrix"
    [[ -n $clearcut ]] && run "$n" "clearcut --neighbor" "$clearcut" --distance --neighbor --in="$matrix" --out="clearcut_$n.nwk"
  fi
  cmp -s "phylo_nj_$n.nwk" "phylo_nj1_$n.nwk" || echo "tree_run.sh: phylo's trees on 1 and 2 threads differ at $n" >&2
done

echo "phylo tree benchmark: best of $rounds rounds, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average (1, 5, 15 min): $load_at_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end; $(nproc) cores"
echo "matrices: JC69 distances of alignments of N x 1000 sites evolved along random trees, PHYLIP text"
echo
printf "%-22s %7s %9s %10s %11s\n" program taxa wall_s peak_MiB bytes/cell
for key in "${!wall[@]}"; do
  n=${key%%:*} name=${key#*:}
  printf "%-22s %7s %9s %10s %11s\n" "$name" "$n" "${wall[$key]}" "$((rss[$key] / 1024))" \
    "$(awk -v m="${rss[$key]}" -v n="$n" 'BEGIN { printf "%.2f", m * 1024 / (n * n) }')"
done | sort -k2,2n -k1,1
echo
printf "%-52s %8s %8s  %s\n" goal phylo limit verdict
for n in "${sizes[@]}"; do
  best= best_name=
  for peer in "RapidNJ" "decenttree NJ-R" "quicktree" "clearcut --neighbor"; do
    w=${wall[$n:$peer]:-}
    [[ -n $w ]] || continue
    if [[ -z $best ]] || less "$w" "$best"; then best=$w best_name=$peer; fi
  done
  if [[ -n $best ]]; then
    limit=$(awk -v b="$best" 'BEGIN { printf "%.3f", b / 2 }')
    printf "%-52s %8s %8s  %s\n" "NJ $n: wall, half of $best_name ($best s)" "${wall[$n:phylo nj]}" "$limit" \
      "$(less "${wall[$n:phylo nj]}" "$limit" && echo ok || echo MISSED)"
  fi
  if [[ -n ${wall[$n:decenttree BIONJ-R]:-} ]]; then
    limit=$(awk -v b="${wall[$n:decenttree BIONJ-R]}" 'BEGIN { printf "%.3f", b / 2 }')
    printf "%-52s %8s %8s  %s\n" "BIONJ $n: wall, half of decenttree BIONJ-R" "${wall[$n:phylo bionj]}" "$limit" \
      "$(less "${wall[$n:phylo bionj]}" "$limit" && echo ok || echo MISSED)"
  fi
  limit=$(((6 * n * n + 67108864) / 1048576))
  peak=$((rss[$n:phylo nj] / 1024))
  printf "%-52s %8s %8s  %s\n" "NJ $n: peak MiB, 6 bytes a cell + 64 MiB" "$peak" "$limit" \
    "$( ((peak <= limit)) && echo ok || echo MISSED)"
done
