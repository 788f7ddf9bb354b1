#!/usr/bin/env bash
# PHYLIP dnadist's default distance (F84, transition/transversion ratio 2.0, empirical base frequencies) against
# phylo dist --model=f84 --ts-tv=2: alignments written here (close and distant pairs, gaps, lower case) in dnadist's
# PHYLIP infile and as FASTA; every distance of dnadist's outfile (six decimals) must equal phylo's (six digits) to
# the digits both write. Skipped (77) without dnadist.
#
#   dnadist_f84.sh PHYLO
set -euo pipefail
phylo=$(realpath "$1")
source "$(dirname "$0")/../lib.sh"
need_phylip dnadist
in_scratch

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
    seqs.append(''.join(s).lower() if i % 3 == 2 else ''.join(s))
labels = ['s%d' % (i + 1) for i in range(len(seqs))]
open('infile', 'w').write('%d %d\n' % (len(seqs), m) +
                          ''.join('%-10s%s\n' % (l, s.upper()) for l, s in zip(labels, seqs)))
open('a.fasta', 'w').write(''.join('>%s\n%s\n' % (l, s) for l, s in zip(labels, seqs)))
PY
  rm -f outfile
  printf 'Y\n' | "$dnadist" >/dev/null 2>&1
  "$phylo" dist --model=f84 --ts-tv=2 --to=phylip a.fasta > ours
  python3 - <<'PY' || failed=1
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
finish
