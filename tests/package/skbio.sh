#!/usr/bin/env bash
# scikit-bio reads karvel's tab-separated layout (-T) as an lsmat DistanceMatrix with the labels and values of the
# 12-taxon example, read in each input layout; with -r the values are those divided by the largest.
# usage: skbio.sh KARVEL EXAMPLES SCRATCH
set -euo pipefail
karvel=$(realpath "$1") examples=$(realpath "$2") scratch=$3
source "$(dirname "$0")/../lib.sh"
# Debian's python3-skbio belongs to the system interpreter, which need not be the first python3 on the PATH.
python=$(for p in /usr/bin/python3 python3; do "$p" -c 'import skbio' &> /dev/null && command -v "$p" && break; done) ||
  skip "scikit-bio is not installed (Debian package python3-skbio)"
fresh "$scratch"
for ext in phy xphy tsv; do # karvel's option is the first letter
  "$karvel" -${ext::1} -T "$examples/dna12.$ext" > ${ext::1}.lsmat
  "$karvel" -${ext::1} -r -T "$examples/dna12.$ext" > ${ext::1}.ranged.lsmat
done

"$python" - "$examples/dna12.phy" "$scratch" <<'PY'
import sys, warnings
warnings.simplefilter("ignore")
import numpy, skbio

# The example as written by dnadist, read here independently of karvel: a count line, then rows of a 10-character
# label and values that run over continuation lines.
lines = open(sys.argv[1]).read().splitlines()
labels, rows = [], []
for line in lines[1:]:
    if line[:1] not in (" ", ""):
        labels.append(line[:10].rstrip())
        rows.append(line[10:].split())
    else:
        rows[-1] += line.split()
values = numpy.array(rows, dtype=float)
assert int(lines[0]) == 12 and values.shape == (12, 12), values.shape
top = values[numpy.triu_indices(12, 1)].max()

long = [l.replace("Lambda_lon", "Lambda_longname") for l in labels]
failures = 0
for layout, ids in {"p": labels, "x": [l.replace(" ", "_") for l in long], "t": long}.items():
    for suffix, want, tolerance in (("", values, 1e-12), (".ranged", values / top, 5e-6)):
        path = f"{sys.argv[2]}/{layout}{suffix}.lsmat"
        dm = skbio.DistanceMatrix.read(path, format="lsmat")
        problems = [f"labels {list(dm.ids)}"] if list(dm.ids) != ids else []
        # Six significant digits: the relative error is at most 5e-6.
        off = (abs(dm.data - want) > tolerance * numpy.maximum(abs(want), 1e-30)) & (dm.data != want)
        problems += [f"cell ({i + 1}, {j + 1}) is {dm.data[i, j]}, not {want[i, j]}" for i, j in numpy.argwhere(off)]
        failures += bool(problems)
        print(f"FAIL: {path}: " + "; ".join(problems[:5]) if problems else
              f"ok: skbio reads {path}: {dm.shape[0]} taxa, labels and values as expected")
sys.exit(1 if failures else 0)
PY
