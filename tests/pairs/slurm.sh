#!/usr/bin/env bash
# The Slurm profile of the workflow (workflow/profiles/slurm) through Snakemake's own Slurm executor, against a
# stand-in for Slurm: sbatch runs each job at once in its folder and notes how it ended, sacct tells that, sinfo
# names one partition, srun runs its command. Every job is submitted with the memory and time of the profile, and
# the merged matrix is the text of a single phylo dist run. Snakemake asks for the jobs' states some 30 s apart, so
# this takes a minute or two. Skipped (77) where snakemake is not installed.
# Usage: slurm.sh PHYLO SNAKEFILE PROFILE ALIGNMENT
set -euo pipefail
phylo=$(realpath "$1") snakefile=$(realpath "$2") profile=$(realpath "$3") alignment=$(realpath "$4")
source "$(dirname "$0")/../lib.sh"
need snakemake
in_scratch
mkdir bin jobs run
cp "$alignment" run/alignment.fasta

cat >bin/sbatch <<'EOF'
#!/usr/bin/env bash
# sbatch -J NAME -o LOG ... -D DIR --wrap=COMMAND: runs COMMAND in DIR now.
jobs=$(dirname "$0")/../jobs
echo "$*" >>"$jobs/calls"
log= dir=. command=
while [ $# -gt 0 ]; do
  case $1 in
    -o) log=$2; shift ;;
    -D) dir=$2; shift ;;
    --wrap=*) command=${1#--wrap=} ;;
    -J | -A | -p | -t | -C | --mem | --mem-per-cpu) shift ;;
  esac
  shift
done
id=$(($(ls "$jobs" | grep -c '^state\.') + 1001))
log=${log//%j/$id}
cd "$dir" && mkdir -p "$(dirname "$log")"
if SLURM_JOB_ID=$id SLURM_CPUS_ON_NODE=1 bash -c "$command" >"$log" 2>&1; then state=COMPLETED; else state=FAILED; fi
echo "$state" >"$jobs/state.$id"
echo "Submitted batch job $id"
EOF
cat >bin/sacct <<'EOF'
#!/usr/bin/env bash
# sacct -P -n --format=JobIdRaw,State -j ID: the state; any other question: no answer.
jobs=$(dirname "$0")/../jobs
while [ $# -gt 0 ]; do
  [ "$1" != -j ] || echo "$2|$(cat "$jobs/state.$2")"
  shift
done
EOF
printf '#!/bin/sh\necho PARTITION\necho "debug*"\n' >bin/sinfo
cat >bin/srun <<'EOF'
#!/usr/bin/env bash
# srun -n1 --cpu-bind=q COMMAND...: runs COMMAND.
while [ $# -gt 0 ] && [ "${1#-}" != "$1" ]; do shift; done
exec "$@"
EOF
chmod +x bin/*
cd run
export PATH="$scratch/bin:$PATH" USER=${USER:-tester}
snakemake --snakefile "$snakefile" --directory "$scratch/run" --profile "$profile" --latency-wait 5 \
  --quiet --config phylo="$phylo" tiles=3 model=k80 layout=tsv out=square >log 2>&1 || {
  cat log
  for f in .snakemake/slurm_logs/*/*.log; do [ -e "$f" ] && { echo "== $f"; cat "$f"; }; done
  exit 1
}
"$phylo" dist -q --model=k80 --to=tsv alignment.fasta >square.tsv
cmp square/matrix.tsv square.tsv || bad "the merged matrix differs"
calls=$(wc -l <"$scratch/jobs/calls")
[ "$calls" -eq 4 ] || bad "$calls jobs submitted, not 3 tiles and the merge"
for option in '--mem 2000' '-t 60' '-p debug'; do
  ! grep -v -e "$option" "$scratch/jobs/calls" | grep -q . ||
    bad "a job was submitted without the profile's memory, time or the default partition ($option):
$(cat "$scratch/jobs/calls")"
done
[ $failed = 0 ] && echo "the Slurm profile submits every job with its resources and gives the single run's matrix"
finish
