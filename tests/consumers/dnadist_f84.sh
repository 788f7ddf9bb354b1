#!/usr/bin/env bash
# PHYLIP dnadist's default distance (F84, transition/transversion ratio 2.0, empirical base
# frequencies) against phylo dist --model=f84 --ts-tv=2: alignments written here (close and
# distant pairs, gaps, lower case) in dnadist's PHYLIP infile and as FASTA; every distance of
# dnadist's outfile (six decimals) must equal phylo's (six digits) to the digits both write.
# Skipped (77) without dnadist.
#
#   dnadist_f84.sh PHYLO
set -euo pipefail
phylo=$(realpath "$1")
dnadist=$(command -v dnadist || true)
[ -n "$dnadist" ] || [ ! -x /usr/lib/phylip/bin/dnadist ] || dnadist=/usr/lib/phylip/bin/dnadist
[ -n "$dnadist" ] || { echo "PHYLIP dnadist is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
for seed in 3 11; do
  python3 - "$seed" <<'PY'
import random, sys
random.seed(int(sys.argv[1]))
m = 500
root = [random.choice('ACGT') for _ in range(m)]
seqs = []
for i in range(8):
    s = list(root)
    for k in range(m):
        if random.random() < 0.07 * (i + 1):
            s[k] = random.choice('ACGTAGCT')  # transitions more often than transversions
        if random.random() < 0.03:
            s[k] = '-'
    if i % 3 == 2:
        s = [c.lower() for c in s]
    seqs.append(''.join(s))
with open('infile', 'w') as f:
    f.write('%d %d\n' % (len(seqs), m))
    for i, s in enumerate(seqs):
        f.write('%-10s%s\n' % ('s%d' % (i + 1), s.upper()))
with open('a.fasta', 'w') as f:
    for i, s in enumerate(seqs):
        f.write('>s%d\n%s\n' % (i + 1, s))
PY
  rm -f outfile
  printf 'Y\n' | "$dnadist" >/dev/null 2>&1
  "$phylo" dist --model=f84 --ts-tv=2 --to=phylip a.fasta > ours
  python3 - <<'PY' || failures=$((failures + 1))
import sys
def rows(path):
    # The count, then each label followed by its row, which dnadist wraps over several lines.
    tokens = open(path).read().split()
    n = int(tokens[0])
    return [[float(v) for v in tokens[2 + i * (n + 1):2 + i * (n + 1) + n]] for i in range(n)]
theirs, ours = rows('outfile'), rows('ours')
bad = [(i, j, t, ours[i][j]) for i, r in enumerate(theirs) for j, t in enumerate(r)
       if abs(ours[i][j] - t) > max(1e-6, 6e-6 * t)]
print(sum(len(r) for r in theirs), 'distances compared,', len(bad), 'disagreements')
for b in bad[:10]:
    print('MISMATCH s%d s%d: dnadist %.6f, phylo %.8f' % (b[0] + 1, b[1] + 1, b[2], b[3]))
sys.exit(1 if bad else 0)
PY
done
exit $((failures != 0))
