#!/usr/bin/env bash
# Times phylo dist --max-distance and the Snakemake workflow of tiles as whole processes on
# alignments of one outbreak (make_outbreak_alignment: a random tree with a Poisson number of
# substitutions of mean 2.2 on each branch, SITES = 29,903, the length of a SARS-CoV-2 genome),
# and prints every figure beside its goal:
#   1. N sequences (default 100,000; -n), --model=count --max-distance=20: at most 10 minutes
#      wall and a peak memory of at most the packed alignment (3 planes of 64-bit words per
#      sequence) plus 512 MiB; the pairs of its first 5000 sequences are those of the dense
#      engine (--engine=dense) on those 5000 alone;
#   2. on the first 20,000 (-m), the sparse comparison at least 10 times faster than the dense
#      engine restricted to the same close pairs (both --max-distance=20, wall time);
#   3. on the first 10,000 (-k), the workflow of 8 tiles run by snakemake --cores 2 at most
#      1.2 times the CPU time (user + system, of every process) of a single run, for the close
#      pairs (max_distance=20) and for the square matrix of p-distances.
#
#   bench/pairs_run.sh [-b BUILD_DIR] [-d SCRATCH_DIR] [-n N] [-m N] [-k N] [-s]
#
# BUILD_DIR is a build of the `bench` preset (default: build/bench beside this script's folder;
# targets phylo_cli, make_outbreak_alignment and measure). The alignments are made in
# SCRATCH_DIR (default /tmp/phylo-pairs-bench) once and reused (100,000 sequences take 3 GB).
# -s skips the workflow (snakemake is needed for it).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="$here/../build/bench"
scratch=/tmp/phylo-pairs-bench
n=100000
m=20000
k=10000
skip_workflow=0
while getopts "b:d:n:m:k:sh" opt; do
  case $opt in
    b) build=$OPTARG ;;
    d) scratch=$OPTARG ;;
    n) n=$OPTARG ;;
    m) m=$OPTARG ;;
    k) k=$OPTARG ;;
    s) skip_workflow=1 ;;
    *) sed -n '2,21p' "$0"; exit 2 ;;
  esac
done
phylo=$build/phylo
measure=$build/bench/measure
mkdir -p "$scratch"
sites=29903
big=$scratch/outbreak_$n.fasta
[ -s "$big" ] || "$build/bench/make_outbreak_alignment" "$n" $sites 1 2.2 >"$big"
first() { # N: the first N sequences of the big alignment
  local file=$scratch/outbreak_${n}_first_$1.fasta
  [ -s "$file" ] || head -n $((2 * $1)) "$big" >"$file"
  echo "$file"
}
packed_mib() { # N: the packed alignment, 3 planes of words padded to a multiple of 16
  echo "$1" | awk -v s=$sites '{w = int((s + 63) / 64); w = int((w + 15) / 16) * 16; printf "%.0f", $1 * 3 * w * 8 / 1048576}'
}

echo "1. $n x $sites, --model=count --max-distance=20 (auto engine, 2 threads)"
close=$scratch/close_$n.pairs
read -r wall user sys peak < <("$measure" "$phylo" dist -q -a dna -M count --max-distance=20 -j 2 -o "$close" "$big")
lines=$(wc -l <"$close")
awk -v w="$wall" -v u="$user" -v s="$sys" -v p="$peak" -v l="$lines" -v packed="$(packed_mib "$n")" -v n="$n" 'BEGIN {
  total = n * (n - 1) / 2
  printf "   wall %.1f s (goal 600), CPU %.1f s; %d pairs written (%.4f%% of %.0f)\n", w, u + s, l, 100 * l / total, total
  printf "   peak %.0f MiB; packed alignment %d MiB + 512 = %d MiB (goal)\n", p / 1024, packed, packed + 512 }'
subset=$(first 5000)
if cmp -s <(awk -F'\t' '{ a = $1; b = $2; sub(/^o/, "", a); sub(/^o/, "", b); if (a + 0 <= 5000 && b + 0 <= 5000) print }' "$close") \
  <("$phylo" dist -q -a dna -M count --max-distance=20 --engine=dense "$subset"); then
  echo "   the pairs among the first 5000 are those of the dense engine on them"
else
  echo "   DIFFERENT from the dense engine on the first 5000"
fi

echo "2. first $m, --max-distance=20: sparse against dense"
mid=$(first "$m")
read -r sw _ _ _ < <("$measure" "$phylo" dist -q -a dna -M count --max-distance=20 --engine=sparse -j 2 "$mid")
read -r dw _ _ _ < <("$measure" "$phylo" dist -q -a dna -M count --max-distance=20 --engine=dense -j 2 "$mid")
read -r rw _ _ _ < <("$measure" "$phylo" dist -q -a dna -M count --max-distance=0 --block=1/1000000000000 -j 2 "$mid")
awk -v s="$sw" -v d="$dw" -v r="$rw" 'BEGIN {
  printf "   wall: sparse %.2f s, dense %.2f s: %.1fx (goal 10)\n", s, d, d / s
  printf "   less the %.2f s of reading and packing: sparse %.2f s, dense %.2f s: %.1fx\n", r, s - r, d - r, (d - r) / (s - r) }'

if [ $skip_workflow -eq 0 ]; then
  echo "3. first $k, 8 tiles by snakemake --cores 2 against one run on 2 threads (CPU: user + system)"
  small=$(first "$k")
  cpu() { # COMMAND...: the CPU seconds of the command and every process it waits for
    local TIMEFORMAT='%U %S'
    { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'
  }
  work=$scratch/workflow
  for mode in close square; do
    rm -rf "$work" && mkdir -p "$work"
    if [ $mode = close ]; then
      one=$(cpu "$phylo" dist -q -a dna -M count --max-distance=20 -j 2 -o "$work/one" "$small")
      config="max_distance=20 model=count alphabet=dna"
    else
      one=$(cpu "$phylo" dist -q -a dna -M p -j 2 -o "$work/one" "$small")
      config="model=p alphabet=dna"
    fi
    # shellcheck disable=SC2086
    tiles=$(cpu snakemake --snakefile "$here/../workflow/Snakefile" --directory "$work" --cores 2 --quiet \
      --config alignment="$small" phylo="$phylo" tiles=8 threads=1 $config)
    awk -v o="$one" -v t="$tiles" -v mode=$mode 'BEGIN {
      printf "   %s: one run %.1f s, workflow %.1f s: %.2fx (goal 1.2)\n", mode, o, t, t / o }'
  done
fi
