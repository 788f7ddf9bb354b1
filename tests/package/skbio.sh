#!/usr/bin/env bash
# scikit-bio reads karvel's tab-separated layout (-T) as an lsmat DistanceMatrix with the
# labels and values of the 12-taxon example, read in each input layout; with -r the values
# are those divided by the largest.
#
# usage: skbio.sh KARVEL EXAMPLES SCRATCH
set -euo pipefail
karvel=$(realpath "$1") examples=$(realpath "$2") scratch=$3

# Debian's python3-skbio belongs to the system interpreter, which need not be the first
# python3 on the PATH.
python=
for candidate in /usr/bin/python3 "$(command -v python3 || true)"; do
  if [ -n "$candidate" ] && "$candidate" -c 'import skbio' > /dev/null 2>&1; then
    python=$candidate; break
  fi
done
if [ -z "$python" ]; then
  echo "scikit-bio is not installed (Debian package python3-skbio): skipped"
  exit 77
fi
rm -rf "$scratch"
mkdir -p "$scratch"

for input in "p dna12.phy" "x dna12.xphy" "t dna12.tsv"; do
  set -- $input
  "$karvel" "-$1" -T "$examples/$2" > "$scratch/$1.lsmat"
  "$karvel" "-$1" -r -T "$examples/$2" > "$scratch/$1.ranged.lsmat"
done

"$python" - "$examples/dna12.phy" "$scratch" <<'PY'
import sys
import warnings

warnings.simplefilter("ignore")
import skbio

phylip, scratch = sys.argv[1], sys.argv[2]

# The example as written by dnadist, read here independently of karvel: a count line, then
# rows of a 10-character label and values that run over continuation lines.
lines = open(phylip).read().splitlines()
n = int(lines[0])
labels, rows = [], []
for line in lines[1:]:
    if line[:1] not in (" ", ""):
        labels.append(line[:10].rstrip())
        rows.append(line[10:].split())
    else:
        rows[-1] += line.split()
values = [[float(v) for v in row] for row in rows]
assert n == 12 and len(values) == n and all(len(r) == n for r in values)
top = max(values[i][j] for i in range(n) for j in range(i + 1, n))

expected_labels = {
    "p": labels,
    "x": [l.replace(" ", "_").replace("Lambda_lon", "Lambda_longname") for l in labels],
    "t": [l.replace("Lambda_lon", "Lambda_longname") for l in labels],
}
failures = 0
for layout, ids in expected_labels.items():
    for suffix, scale, tolerance in (("", 1.0, 1e-12), (".ranged", top, 5e-6)):
        path = f"{scratch}/{layout}{suffix}.lsmat"
        dm = skbio.DistanceMatrix.read(path, format="lsmat")
        problems = []
        if list(dm.ids) != ids:
            problems.append(f"labels {list(dm.ids)}")
        for i in range(n):
            for j in range(n):
                want = values[i][j] / scale
                got = float(dm.data[i][j])
                # Six significant digits: the relative error is at most 5e-6.
                if abs(got - want) > tolerance * max(abs(want), 1e-30) and got != want:
                    problems.append(f"cell ({i + 1}, {j + 1}) is {got}, not {want}")
        if problems:
            failures += 1
            print(f"FAIL: {path}: " + "; ".join(problems[:5]))
        else:
            print(f"ok: skbio reads {path}: {dm.shape[0]} taxa, labels and values as expected")
sys.exit(1 if failures else 0)
PY
