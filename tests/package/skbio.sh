#!/usr/bin/env bash
# scikit-bio reads karvel's tab-separated layout (-T) as an lsmat DistanceMatrix with the labels and values of the
# 12-taxon example, read in each input layout; with -r the values are those divided by the largest.
#
# usage: skbio.sh KARVEL EXAMPLES SCRATCH
set -euo pipefail
karvel=$(realpath "$1") examples=$(realpath "$2") scratch=$3
source "$(dirname "$0")/../lib.sh"
# Debian's python3-skbio belongs to the system interpreter, which need not be the first python3 on the PATH.
for python in /usr/bin/python3 "$(command -v python3 || true)" ""; do
  [ -n "$python" ] || skip "scikit-bio is not installed (Debian package python3-skbio)"
  "$python" -c 'import skbio' > /dev/null 2>&1 && break
done
fresh "$scratch"
for ext in phy xphy tsv; do # karvel's option is the first letter
  "$karvel" -${ext::1} -T "$examples/dna12.$ext" > ${ext::1}.lsmat
  "$karvel" -${ext::1} -r -T "$examples/dna12.$ext" > ${ext::1}.ranged.lsmat
done

"$python" - "$examples/dna12.phy" "$scratch" <<'PY'
import itertools, sys, warnings
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

long = [l.replace("Lambda_lon", "Lambda_longname") for l in labels]
expected_labels = {"p": labels, "x": [l.replace(" ", "_") for l in long], "t": long}
failures = 0
for layout, ids in expected_labels.items():
    for suffix, scale, tolerance in (("", 1.0, 1e-12), (".ranged", top, 5e-6)):
        path = f"{scratch}/{layout}{suffix}.lsmat"
        dm = skbio.DistanceMatrix.read(path, format="lsmat")
        problems = []
        if list(dm.ids) != ids:
            problems.append(f"labels {list(dm.ids)}")
        for i, j in itertools.product(range(n), repeat=2):
            want, got = values[i][j] / scale, float(dm.data[i][j])
            # Six significant digits: the relative error is at most 5e-6.
            if abs(got - want) > tolerance * max(abs(want), 1e-30) and got != want:
                problems.append(f"cell ({i + 1}, {j + 1}) is {got}, not {want}")
        failures += bool(problems)
        print(f"FAIL: {path}: " + "; ".join(problems[:5]) if problems else
              f"ok: skbio reads {path}: {dm.shape[0]} taxa, labels and values as expected")
sys.exit(1 if failures else 0)
PY
