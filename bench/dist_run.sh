#!/usr/bin/env bash
# Times phylo dist on generated alignments and prints every goal with its ratio and peak
# memory:
#   1. --model=p --gaps=count on 1000 x 10,000: CPU time at most 0.02 of the plain byte-by-byte
#      comparison (byte_compare), and less wall time on every processor than on one thread;
#   2. 2000 x 30,000, every model: at least 15 times faster in wall time than OLD_PHYLO (the
#      phylo dist of before the models), when -m gives it;
#   3. 10,000 x 30,000 through the library (dna_dist_direct; phylo dist reads at most 5000
#      sequences): it completes, in at most 4n^2 bytes + 1 GiB.
#
#   bench/dist_run.sh [-b BUILD_DIR] [-m OLD_PHYLO] [-r ROUNDS] [-d SCRATCH_DIR] [-s]
#
# BUILD_DIR is a build of the `bench` preset (default: build/bench beside this script's
# folder). The alignments are generated into SCRATCH_DIR (default /tmp/phylo-dist-bench) once
# and reused. Every case runs once per round and the best round counts; -s skips goal 3, which
# takes a minute or more of CPU time.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="$here/../build/bench"
old=
rounds=3
scratch=/tmp/phylo-dist-bench
big=1
while getopts "b:m:r:d:sh" opt; do
  case $opt in
    b) build=$OPTARG ;;
    m) old=$OPTARG ;;
    r) rounds=$OPTARG ;;
    d) scratch=$OPTARG ;;
    s) big= ;;
    *) sed -n '2,18p' "$0"; exit 2 ;;
  esac
done
build=$(cd "$build" && pwd)
phylo="$build/phylo"
tools="$build/bench"
for tool in "$phylo" "$tools/make_alignment" "$tools/byte_compare" "$tools/dna_dist_direct" "$tools/measure"; do
  [[ -x $tool ]] || { echo "dist_run.sh: $tool is missing: cmake --preset bench && cmake --build --preset bench" >&2; exit 1; }
done
mkdir -p "$scratch"
small="$scratch/a1000x10000.fasta" large="$scratch/a2000x30000.fasta"
[[ -s $small ]] || "$tools/make_alignment" 1000 10000 > "$small"
[[ -s $large ]] || "$tools/make_alignment" 2000 30000 > "$large"

models=(p count jc69 k80 f81 tn93 logdet)
# name|command; its standard output goes to /dev/null
cases=(
  "bytes|$tools/byte_compare $small"
  "count-gaps|$phylo dist --model=p --gaps=count $small"
  "count-gaps-1|$phylo dist --model=p --gaps=count --threads=1 $small"
)
for m in "${models[@]}"; do cases+=("$m|$phylo dist --model=$m --undefined=0 $large"); done
[[ -n $old ]] && cases+=("old|$old dist $large")

load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)
less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
declare -A cpu wall rss
record() { # record NAME WALL USER SYSTEM PEAK_KIB
  local c e
  c=$(awk -v u="$3" -v s="$4" 'BEGIN { printf "%.3f", u + s }')
  e=$(awk -v e="$2" 'BEGIN { printf "%.3f", e }')
  if [[ -z ${cpu[$1]:-} ]] || less "$c" "${cpu[$1]}"; then cpu[$1]=$c; fi
  if [[ -z ${wall[$1]:-} ]] || less "$e" "${wall[$1]}"; then wall[$1]=$e; fi
  if [[ -z ${rss[$1]:-} ]] || (($5 > ${rss[$1]})); then rss[$1]=$5; fi
}
for ((round = 1; round <= rounds; ++round)); do
  for entry in "${cases[@]}"; do
    name=${entry%%|*}
    read -r e u s m < <("$tools/measure" ${entry#*|})
    record "$name" "$e" "$u" "$s" "$m"
  done
done
if [[ -n $big ]]; then
  read -r e u s m < <("$tools/measure" "$tools/dna_dist_direct" 10000 30000 p)
  record big "$e" "$u" "$s" "$m"
fi

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.4f", a / b; else print "-" }'; }
verdict() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { print (v != "-" && v >= lo && v <= hi) ? "ok" : "MISSED" }'; }

echo "phylo dist benchmark: best of $rounds rounds, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average (1, 5, 15 min): $load_at_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end; $(nproc) cores"
echo
printf "%-14s %8s %8s %10s\n" case cpu_s wall_s peak_MiB
for name in "${!cpu[@]}"; do printf "%-14s %8s %8s %10s\n" "$name" "${cpu[$name]}" "${wall[$name]}" "$((rss[$name] / 1024))"; done | sort
echo
printf "%-46s %9s   %-10s %s\n" goal ratio range verdict
r=$(ratio "${cpu[count-gaps]}" "${cpu[bytes]}")
printf "%-46s %9s   %-10s %s\n" "1000x10000 p, gaps counted: CPU / byte_compare" "$r" "0..0.02" "$(verdict "$r" 0 0.02)"
r=$(ratio "${wall[count-gaps]}" "${wall[count-gaps-1]}")
printf "%-46s %9s   %-10s %s\n" "  wall on $(nproc) processors / on one" "$r" "0..0.99" "$(verdict "$r" 0 0.99)"
if [[ -n $old ]]; then
  for m in "${models[@]}"; do
    r=$(ratio "${wall[old]}" "${wall[$m]}")
    printf "%-46s %9s   %-10s %s\n" "2000x30000 $m: wall of the old phylo dist / new" "$r" "15.." "$(verdict "$r" 15 1e9)"
  done
fi
if [[ -n $big ]]; then
  limit=$(((4 * 10000 * 10000 + 1073741824) / 1048576))
  printf "%-46s %9s   %-10s %s\n" "10000x30000 p (library): peak MiB" "$((rss[big] / 1024))" "0..$limit" \
    "$( ((rss[big] / 1024 <= limit)) && echo ok || echo MISSED)"
fi
