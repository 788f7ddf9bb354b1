#!/usr/bin/env bash
# Times karvel against the floor program, and phylo convert against karvel, on generated
# matrices and prints the ratio of every performance goal, with peak memory.
#
#   bench/run.sh [-b BUILD_DIR] [-n TAXA] [-r ROUNDS] [-d SCRATCH_DIR] [-L]
#
# -L adds phylo convert on a matrix of 12/5 as many taxa (12,000 for 5000), whose time must
# grow with the cells (the file takes 1.3 GB).
# BUILD_DIR is a build of the `bench` preset (default: build/bench beside this script's
# folder). The matrices are generated into SCRATCH_DIR (default /tmp/karvel-bench) once and
# reused; they are never meant to be committed. Every case runs once per round, the cases
# taking turns in a shuffled order, and the best of the rounds counts: CPU time (user + system) is the measure
# that survives a loaded machine, wall time is shown beside it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="$here/../build/bench"
taxa=5000
rounds=5
scratch=/tmp/karvel-bench
large=false
while getopts "b:n:r:d:Lh" opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) taxa=$OPTARG ;;
    r) rounds=$OPTARG ;;
    d) scratch=$OPTARG ;;
    L) large=true ;;
    *) sed -n '2,14p' "$0"; exit 2 ;;
  esac
done
build=$(cd "$build" && pwd)
karvel="$build/karvel"
phylo="$build/phylo"
measure="$build/bench/measure"
for tool in "$karvel" "$phylo" "$build/bench/make_matrix" "$build/bench/floor_convert" "$measure"; do
  [[ -x $tool ]] || { echo "run.sh: $tool is missing: cmake --preset bench && cmake --build --preset bench" >&2; exit 1; }
done
half=$((taxa / 2))
mkdir -p "$scratch"

generate() { # generate TAXA LAYOUT FILE
  [[ -s $3 ]] || "$build/bench/make_matrix" "$1" "$2" 1 > "$3"
}
x_in="$scratch/m$taxa.phy"
generate "$taxa" x "$x_in"
generate "$taxa" p "$scratch/m$taxa.p.phy"
generate "$taxa" t "$scratch/m$taxa.tsv"
generate "$half" x "$scratch/m$half.phy"
generate "$taxa" r "$scratch/m$taxa.r.phy" # six decimals, as tree builders write
generate "$taxa" s "$scratch/m$taxa.s.tsv" # the 17 digits of doubles, as scikit-bio and pandas write
generate "$taxa" c "$scratch/m$taxa.csv"   # the same as CSV
generate "$taxa" a "$scratch/m$taxa.pairs" # the same as a list of pairs above the diagonal
large_taxa=$((taxa * 12 / 5))
$large && generate "$large_taxa" r "$scratch/m$large_taxa.r.phy"

# name|command; its standard output goes to /dev/null
cases=(
  "floor|$build/bench/floor_convert $x_in"
  "karvel|$karvel $x_in"
  "-l|$karvel -l $x_in"
  "-e|$karvel -e $x_in"
  "-a|$karvel -a $x_in"
  "-q|$karvel -q $x_in"
  "-s|$karvel -s $x_in"
  "-r|$karvel -r $x_in"
  "-P|$karvel -P $x_in"
  "-T|$karvel -T $x_in"
  "-N|$karvel -N $x_in"
  "-C|$karvel -C $x_in"
  "-O|$karvel -O $x_in"
  "-R|$karvel -R $x_in"
  "-p|$karvel -p $scratch/m$taxa.p.phy"
  "-t|$karvel -t $scratch/m$taxa.tsv"
  "pipe|$karvel -"
  "half|$karvel $scratch/m$half.phy"
  "k.r|$karvel $scratch/m$taxa.r.phy"
  "k.s|$karvel -t $scratch/m$taxa.s.tsv"
  "p.x|$phylo convert $x_in"
  "p.r|$phylo convert $scratch/m$taxa.r.phy"
  "p.s|$phylo convert $scratch/m$taxa.s.tsv"
  "p.c|$phylo convert $scratch/m$taxa.csv"
  "p.a|$phylo convert $scratch/m$taxa.pairs"
)
$large && cases+=("p.large|$phylo convert $scratch/m$large_taxa.r.phy")

load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)
less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

declare -A cpu wall rss
n_cases=${#cases[@]}
for ((round = 1; round <= rounds; ++round)); do
  # Each round takes the cases in another order (the same for every run of the script), so
  # that no case always follows the same one: the floor, for one, leaves the memory in a state
  # that the program after it pays for.
  mapfile -t order < <(seq 0 $((n_cases - 1)) | shuf --random-source=<(yes "$round"))
  for k in "${order[@]}"; do
    entry=${cases[$k]}
    name=${entry%%|*}
    cmd=${entry#*|}
    if [[ $name == pipe ]]; then
      # karvel alone is timed; cat feeds it through a pipe.
      read -r e u s m < <("$measure" -i <(cat "$x_in") $cmd)
    else
      read -r e u s m < <("$measure" $cmd)
    fi
    c=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.3f", u + s }')
    e=$(awk -v e="$e" 'BEGIN { printf "%.3f", e }')
    if [[ -z ${cpu[$name]:-} ]] || less "$c" "${cpu[$name]}"; then cpu[$name]=$c; fi
    if [[ -z ${wall[$name]:-} ]] || less "$e" "${wall[$name]}"; then wall[$name]=$e; fi
    if [[ -z ${rss[$name]:-} ]] || ((m > ${rss[$name]})); then rss[$name]=$m; fi
  done
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "-" }'; }
verdict() { # verdict VALUE LOW HIGH
  awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { print (v != "-" && v >= lo && v <= hi) ? "ok" : "MISSED" }'
}
row() { # row GOAL CASE BASE LOW HIGH
  local rc rw
  rc=$(ratio "${cpu[$2]}" "${cpu[$3]}")
  rw=$(ratio "${wall[$2]}" "${wall[$3]}")
  printf "%-38s %8s %8s   %-12s %s\n" "$1" "$rc" "$rw" "$4..$5" "$(verdict "$rc" "$4" "$5")"
}

echo "karvel and phylo convert benchmark: $taxa taxa, best of $rounds rounds, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average (1, 5, 15 min): $load_at_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end; $(nproc) cores"
echo
printf "%-10s %8s %8s %10s\n" case cpu_s wall_s peak_MiB
for entry in "${cases[@]}"; do
  name=${entry%%|*}
  printf "%-10s %8s %8s %10s\n" "$name" "${cpu[$name]}" "${wall[$name]}" "$((rss[$name] / 1024))"
done
echo
printf "%-38s %8s %8s   %-12s %s\n" goal cpu wall range verdict
row "karvel / floor" karvel floor 0 0.6
for t in -l -e -a; do row "$t / no transformation" "$t" karvel 0 1.25; done
for t in -q -s -r; do row "$t / no transformation" "$t" karvel 0 1.10; done
for o in -P -T -N -C -O -R; do row "$o / extended PHYLIP output" "$o" karvel 0 1.3; done
row "-p input / -x input" -p karvel 0 1.2
row "-t input / -x input" -t karvel 0 1.2
row "standard input pipe / file" pipe karvel 0 1.05
row "$taxa taxa / $half taxa (4 +-15%)" karvel half 3.4 4.6
row "karvel 17-digit tsv / own image" k.s karvel 0 1.6
row "phylo convert image / karvel" p.x karvel 0 1.15
row "phylo convert relaxed / karvel" p.r k.r 0 1.15
row "phylo convert 17-digit tsv / karvel" p.s k.s 0 1.15
row "phylo convert csv / 17-digit tsv" p.c p.s 0 1.5
row "phylo convert pairs / 17-digit tsv" p.a p.s 0 3
if $large; then
  # Linear in the cells: the time of the large matrix over that of the small, scaled by the cells.
  scaled=$(awk -v a="${cpu[p.large]}" -v b="${cpu[p.r]}" -v n="$taxa" -v m="$large_taxa" \
    'BEGIN { printf "%.3f", a / b * (n * n) / (m * m) }')
  printf "%-38s %8s %8s   %-12s %s\n" "$large_taxa taxa / $taxa, per cell" "$scaled" "" "0..1.15" "$(verdict "$scaled" 0 1.15)"
fi
memory_row() { # memory_row GOAL TAXA EXTRA_MIB CASE...
  local goal=$1 n=$2 extra=$3 worst=0 name
  shift 3
  for name in "$@"; do ((rss[$name] > worst)) && worst=${rss[$name]}; done
  local limit=$(((4 * n * n + extra * 1048576) / 1024))
  printf "%-38s %8s %8s   %-12s %s\n" "$goal" "$((worst / 1024))" "$((limit / 1024))" "" \
    "$( ((worst <= limit)) && echo ok || echo MISSED)"
}
karvel_cases=()
for entry in "${cases[@]}"; do
  name=${entry%%|*}
  [[ $name == floor || $name == p.* ]] || karvel_cases+=("$name")
done
memory_row "karvel peak (MiB) / 4n^2+32MiB" "$taxa" 32 "${karvel_cases[@]}"
memory_row "phylo peak (MiB) / 4n^2+64MiB" "$taxa" 64 p.x p.r p.s p.c
# A list of pairs is kept whole (12 bytes a pair) before the matrix is filled.
memory_row "phylo pairs peak / 10n^2+64MiB" "$taxa" "$((6 * taxa * taxa / 1048576 + 64))" p.a
$large && memory_row "phylo $large_taxa peak / 4n^2+64MiB" "$large_taxa" 64 p.large
