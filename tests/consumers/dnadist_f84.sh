#!/usr/bin/env bash
# PHYLIP dnadist's default distance (F84, transition/transversion ratio 2.0, empirical base frequencies) against
# phylo dist --model=f84 --ts-tv=2 on alignments written here (close and distant pairs, gaps, lower case), in
# dnadist's infile and as FASTA: every distance of dnadist's outfile (six decimals) must equal phylo's (six digits)
# to the digits both write. Usage: dnadist_f84.sh PHYLO. Skipped (77) without dnadist.
set -euo pipefail
phylo=$(realpath "$1")
source "$(dirname "$0")/../lib.sh"
need_phylip dnadist
in_scratch
python3 - "$dnadist" "$phylo" <<'PY'
import os, random, subprocess, sys
dnadist, phylo = sys.argv[1:]
def site(base, p):  # changed at a rate p, transitions more often than transversions; then perhaps a gap
    base = random.choice('ACGTAGCT') if random.random() < p else base
    return '-' if random.random() < 0.03 else base
def rows(text):  # the count, then each label followed by its row, which dnadist wraps over several lines
    tokens = text.split()
    n = int(tokens[0])
    return [[float(v) for v in tokens[2 + i * (n + 1):2 + i * (n + 1) + n]] for i in range(n)]
failed = False
for seed in 3, 11:
    random.seed(seed)
    root = [random.choice('ACGT') for _ in range(500)]
    seqs = [''.join(site(b, 0.07 * (i + 1)) for b in root) for i in range(8)]
    labels = ['s%d' % (i + 1) for i in range(8)]
    open('infile', 'w').write('8 500\n' + ''.join('%-10s%s\n' % (l, s) for l, s in zip(labels, seqs)))
    open('a.fasta', 'w').write(''.join('>%s\n%s\n' % (l, s.lower() if i % 3 == 2 else s)
                                       for i, (l, s) in enumerate(zip(labels, seqs))))
    if os.path.exists('outfile'): os.remove('outfile')  # else dnadist asks whether to replace it
    subprocess.run([dnadist], input='Y\n', text=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    theirs = rows(open('outfile').read())
    ours = rows(subprocess.run([phylo, 'dist', '--model=f84', '--ts-tv=2', '--to=phylip', 'a.fasta'],
                               stdout=subprocess.PIPE, text=True, check=True).stdout)
    bad = [(i, j, t, ours[i][j]) for i, r in enumerate(theirs) for j, t in enumerate(r)
           if abs(ours[i][j] - t) > max(1e-6, 6e-6 * t)]
    print(sum(len(r) for r in theirs), 'distances compared,', len(bad), 'disagreements')
    for b in bad[:10]:
        print('MISMATCH s%d s%d: dnadist %.6f, phylo %.8f' % (b[0] + 1, b[1] + 1, b[2], b[3]))
    failed = failed or bool(bad)
sys.exit(1 if failed else 0)
PY
