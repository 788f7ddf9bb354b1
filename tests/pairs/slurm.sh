#!/usr/bin/env bash
# The Slurm profile of the workflow (workflow/profiles/slurm) through Snakemake's own Slurm executor, against a
# stand-in for Slurm: every job is submitted with the memory and time of the profile, and the merged matrix is the
# text of a single phylo dist run. Snakemake asks for the jobs' states some 30 s apart, so this takes a minute or two.
# Skipped (77) where snakemake is not installed.
# Usage: slurm.sh PHYLO SNAKEFILE PROFILE ALIGNMENT
set -euo pipefail
phylo=$(realpath "$1") snakefile=$(realpath "$2") profile=$(realpath "$3") alignment=$(realpath "$4")
source "$(dirname "$0")/../lib.sh"
need snakemake
in_scratch
mkdir bin jobs run
cp "$alignment" run/alignment.fasta

# One stand-in for sbatch, sacct, sinfo and srun, by the name it is called by: sbatch runs each job at once in its
# folder and notes how it ended, sacct tells that, sinfo names one partition, srun runs its command.
cat > bin/slurm <<'EOF'
#!/usr/bin/env bash
jobs=$(dirname "$0")/../jobs log= dir=. command= prev=
case ${0##*/} in
sbatch) # sbatch -J NAME -o LOG ... -D DIR --wrap=COMMAND: runs COMMAND in DIR now.
  echo "$*" >> "$jobs/calls"
  for arg; do
    case $prev in -o) log=$arg ;; -D) dir=$arg ;; esac
    case $arg in --wrap=*) command=${arg#--wrap=} ;; esac
    prev=$arg
  done
  id=$(($(ls "$jobs" | grep -c '^state\.') + 1001)) && log=${log//%j/$id}
  cd "$dir" && mkdir -p "$(dirname "$log")"
  if SLURM_JOB_ID=$id SLURM_CPUS_ON_NODE=1 bash -c "$command" > "$log" 2>&1; then state=COMPLETED; else state=FAILED; fi
  echo "$state" > "$jobs/state.$id"
  echo "Submitted batch job $id" ;;
sacct) # sacct -P -n --format=JobIdRaw,State -j ID: the state; any other question: no answer.
  for arg; do [ "$prev" != -j ] || echo "$arg|$(cat "$jobs/state.$arg")"; prev=$arg; done ;;
sinfo) printf 'PARTITION\ndebug*\n' ;;
srun) # srun -n1 --cpu-bind=q COMMAND...: runs COMMAND.
  while [ "${1#-}" != "$1" ]; do shift; done
  exec "$@" ;;
esac
EOF
chmod +x bin/slurm
for name in sbatch sacct sinfo srun; do ln -s slurm bin/$name; done
cd run
export PATH="$scratch/bin:$PATH" USER=${USER:-tester}
snakemake --snakefile "$snakefile" --directory "$scratch/run" --profile "$profile" --latency-wait 5 --quiet \
  --config phylo="$phylo" tiles=3 model=k80 layout=tsv out=square > log 2>&1 ||
  { cat log; tail -n +1 .snakemake/slurm_logs/*/*.log || :; fail "snakemake"; }
"$phylo" dist -q --model=k80 --to=tsv alignment.fasta | cmp square/matrix.tsv - || bad "the merged matrix differs"
submitted=$(cat "$scratch/jobs/calls")
[ "$(grep -c . <<< "$submitted")" = 4 ] || bad "not the 3 tiles and the merge submitted:"$'\n'"$submitted"
for option in '--mem 2000' '-t 60' '-p debug'; do # the profile's memory and time, the default partition
  ! grep -qv -e "$option" <<< "$submitted" || bad "a job was submitted without $option:"$'\n'"$submitted"
done
[ $failed = 0 ] && echo "the Slurm profile submits every job with its resources and gives the single run's matrix"
finish
