#!/usr/bin/env bash
# Times phylo dist on generated amino-acid alignments and prints every goal with its ratio:
#   1. --model=p on 1000 x 10,000 amino acids: CPU time at most 1.5 times that of --model=p on
#      1000 x 10,000 nucleotides;
#   2. --model=jtt and --model=lg --gamma=1 (4 categories) on 1000 x 1000: at least 100 times
#      faster in wall time than phangorn's dist.ml (Rscript with phangorn), which is timed on
#      the first 200 sequences and scaled by the number of pairs (499,500 / 19,900); skipped
#      without phangorn.
#
#   bench/protein_run.sh [-b BUILD_DIR] [-r ROUNDS] [-d SCRATCH_DIR]
#
# BUILD_DIR is a build of the `bench` preset (default: build/bench beside this script's
# folder). The alignments are generated into SCRATCH_DIR (default /tmp/phylo-protein-bench)
# once and reused. Every case runs once per round and the best round counts; phangorn runs once.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="$here/../build/bench"
rounds=3
scratch=/tmp/phylo-protein-bench
while getopts "b:r:d:h" opt; do
  case $opt in
    b) build=$OPTARG ;;
    r) rounds=$OPTARG ;;
    d) scratch=$OPTARG ;;
    *) sed -n '2,15p' "$0"; exit 2 ;;
  esac
done
build=$(cd "$build" && pwd)
phylo="$build/phylo"
tools="$build/bench"
for tool in "$phylo" "$tools/make_alignment" "$tools/measure"; do
  [[ -x $tool ]] || { echo "protein_run.sh: $tool is missing: cmake --preset bench && cmake --build --preset bench" >&2; exit 1; }
done
mkdir -p "$scratch"
dna="$scratch/dna1000x10000.fasta" aa="$scratch/aa1000x10000.fasta" ml="$scratch/aa1000x1000.fasta"
sub="$scratch/aa200x1000.fasta"
[[ -s $dna ]] || "$tools/make_alignment" 1000 10000 > "$dna"
[[ -s $aa ]] || "$tools/make_alignment" 1000 10000 1 protein > "$aa"
[[ -s $ml ]] || "$tools/make_alignment" 1000 1000 2 protein > "$ml"
[[ -s $sub ]] || awk '/^>/ { n++ } n <= 200' "$ml" > "$sub"

cases=(
  "dna-p|$phylo dist --model=p $dna"
  "protein-p|$phylo dist --model=p $aa"
  "jtt|$phylo dist --model=jtt --undefined=0 $ml"
  "lg-g4|$phylo dist --model=lg --gamma=1 --undefined=0 $ml"
)
load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)
less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
declare -A cpu wall
record() { # record NAME WALL USER SYSTEM
  local c
  c=$(awk -v u="$3" -v s="$4" 'BEGIN { printf "%.3f", u + s }')
  if [[ -z ${cpu[$1]:-} ]] || less "$c" "${cpu[$1]}"; then cpu[$1]=$c; fi
  if [[ -z ${wall[$1]:-} ]] || less "$2" "${wall[$1]}"; then wall[$1]=$(awk -v e="$2" 'BEGIN { printf "%.3f", e }'); fi
}
for ((round = 1; round <= rounds; ++round)); do
  for entry in "${cases[@]}"; do
    read -r e u s _ < <("$tools/measure" ${entry#*|})
    record "${entry%%|*}" "$e" "$u" "$s"
  done
done
phangorn=
if command -v Rscript >/dev/null && Rscript -e 'library(phangorn)' >/dev/null 2>&1; then
  phangorn=$(Rscript - "$sub" <<'R'
suppressMessages(library(phangorn))
x <- read.phyDat(commandArgs(TRUE)[1], format = "fasta", type = "AA")
a <- system.time(dist.ml(x, model = "JTT"))[["elapsed"]]
b <- system.time(dist.ml(x, model = "LG", k = 4, shape = 1))[["elapsed"]]
cat(a, b, "\n")
R
)
fi

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.4f", a / b; else print "-" }'; }
verdict() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { print (v != "-" && v >= lo && v <= hi) ? "ok" : "MISSED" }'; }

echo "phylo dist amino-acid benchmark: best of $rounds rounds, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average (1, 5, 15 min): $load_at_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end; $(nproc) cores"
echo
printf "%-14s %8s %8s\n" case cpu_s wall_s
for name in "${!cpu[@]}"; do printf "%-14s %8s %8s\n" "$name" "${cpu[$name]}" "${wall[$name]}"; done | sort
echo
printf "%-52s %9s   %-10s %s\n" goal ratio range verdict
r=$(ratio "${cpu[protein-p]}" "${cpu[dna-p]}")
printf "%-52s %9s   %-10s %s\n" "1000x10000 p: CPU of amino acids / of nucleotides" "$r" "0..1.5" "$(verdict "$r" 0 1.5)"
if [[ -n $phangorn ]]; then
  read -r jtt lg <<< "$phangorn"
  scale=$(awk 'BEGIN { print 499500 / 19900 }')
  echo "phangorn dist.ml on 200 sequences: JTT $jtt s, LG+G4 $lg s wall (scaled by $scale pairs)"
  r=$(awk -v p="$jtt" -v s="$scale" -v o="${wall[jtt]}" 'BEGIN { printf "%.1f", p * s / o }')
  printf "%-52s %9s   %-10s %s\n" "1000x1000 JTT: wall of dist.ml (scaled) / phylo" "$r" "100.." "$(verdict "$r" 100 1e12)"
  r=$(awk -v p="$lg" -v s="$scale" -v o="${wall[lg-g4]}" 'BEGIN { printf "%.1f", p * s / o }')
  printf "%-52s %9s   %-10s %s\n" "1000x1000 LG+G4: wall of dist.ml (scaled) / phylo" "$r" "100.." "$(verdict "$r" 100 1e12)"
else
  echo "phangorn is not installed: the dist.ml goals are skipped"
fi
