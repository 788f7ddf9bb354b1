#!/usr/bin/env bash
# The CSV and pairs-header output of phylo convert is read back as the same matrix by pandas (read_csv) and R
# (read.csv, read.delim), with labels that need CSV's quotes (a comma, a quote, blanks) and UTF-8; phylo reads its
# csv, pairs-header and mega outputs back as the matrix they were written from; and scikit-bio reads lsmat files (its
# own, with comments and blanks, and phylo's tsv) as phylo does. Each reader that is missing is skipped; exit 77 when
# pandas, R and scikit-bio all are. Usage: table_readers.sh PHYLO SAMPLES_DIR
set -u
phylo=$1 samples=$2
source "$(dirname "$0")/../lib.sh"
in_scratch
printf '\tplain\tcomma, here\tsay "hi"\t\303\221and\303\272\n' > m.tsv
printf 'plain\t0\t0.1\t0.25\t1e-07\ncomma, here\t0.1\t0\t12345.5\t0.333\n' >> m.tsv
printf 'say "hi"\t0.25\t12345.5\t0\t2\n\303\221and\303\272\t1e-07\t0.333\t2\t0\n' >> m.tsv
"$phylo" convert --to=csv m.tsv > m.csv && "$phylo" convert --to=pairs-header m.tsv > m.pairs &&
  "$phylo" convert --to=tsv m.tsv > direct.tsv && "$phylo" convert --to=tsv "$samples/r_write_csv.csv" > want.tsv ||
  fail "phylo convert failed"
for layout in csv pairs-header mega; do
  "$phylo" convert --to=$layout "$samples/r_write_csv.csv" > back.$layout &&
    "$phylo" convert --to=tsv back.$layout > back.tsv || { bad "phylo convert --to=$layout failed"; continue; }
  [ $layout = mega ] && sed -i 's/Beta gamma/Beta_gamma/g' want.tsv # MEGA labels have their blanks made '_'
  same "phylo reads its own $layout back" want.tsv back.tsv "$layout does not read back as the same matrix"
done

# cells TSV: every cell of the matrix as "row|column|value", the value to 6 significant digits, sorted.
cells() {
  awk -F'\t' 'NR == 1 { for (j = 2; j <= NF; j++) col[j] = $j; next }
              { for (j = 2; j <= NF; j++) printf "%s|%s|%.6g\n", $1, col[j], $j }' "$1" | LC_ALL=C sort
}
# check NAME CELLS: a reader's cells of m.csv are those of m.tsv.
check() { ran=1; same "$1" <(cells direct.tsv) <(LC_ALL=C sort "$2") "$1 reads another matrix"; }
if has_py pandas; then
  /usr/bin/python3 - m.csv m.pairs > pandas.cells <<'PY' || failed=1
import sys
import pandas as pd
m = pd.read_csv(sys.argv[1], index_col=0)
print("\n".join("%s|%s|%.6g" % (r, c, m.loc[r, c]) for r in m.index for c in m.columns))
p = pd.read_csv(sys.argv[2], sep="\t")
assert list(p.columns) == ["taxon1", "taxon2", "distance"] and len(p) == 6, p
PY
  check "pandas read_csv" pandas.cells
fi
if has Rscript; then
  Rscript -e 'a <- commandArgs(TRUE)
    m <- read.csv(a[1], row.names = 1, check.names = FALSE, encoding = "UTF-8")
    for (r in rownames(m)) for (c in colnames(m)) cat(sprintf("%s|%s|%.6g\n", r, c, m[r, c]))
    p <- read.delim(a[2], quote = "", encoding = "UTF-8")
    stopifnot(identical(names(p), c("taxon1", "taxon2", "distance")), nrow(p) == 6)' m.csv m.pairs > r.cells 2> r.err ||
    bad "R: $(head -3 r.err)"
  check "R read.csv" r.cells
fi
# scikit-bio's lsmat reader and phylo read the same lsmat files alike: as scikit-bio writes them, with comment lines
# and lines of blanks before the header and blanks around cells, and as phylo writes them; a header that does not
# name the rows is refused by both.
if has_py skbio; then
  ran=1
  printf '# written by hand\n \t \n#more\n\n\ta\t b \tc\na  \t0.0\t 0.01 \t4.2\n \t\nb\t0.01\t0.0\t12.0\n\nc\t4.2\t12.0\t0.0\n\t\t\n' \
    > comments.lsmat
  for lsmat in "$samples/skbio_identity.lsmat" "$samples/skbio_blank_ids.lsmat" comments.lsmat direct.tsv; do
    "$phylo" convert -q --from=tsv --to=tsv "$lsmat" > phylo.tsv || { bad "phylo refuses $lsmat"; continue; }
    /usr/bin/python3 - "$lsmat" > skbio.cells 2> skbio.err <<'PY' || { bad "scikit-bio: $(tail -1 skbio.err)"; continue; }
import sys, warnings
warnings.simplefilter("ignore")
from skbio.stats.distance import DissimilarityMatrix
m = DissimilarityMatrix.read(sys.argv[1], format="lsmat")
print("\n".join("%s|%s|%.6g" % (r, c, m.data[i][j]) for i, r in enumerate(m.ids) for j, c in enumerate(m.ids)))
PY
    same "scikit-bio and phylo read ${lsmat##*/} alike" <(cells phylo.tsv) <(LC_ALL=C sort skbio.cells) \
      "scikit-bio and phylo read $lsmat otherwise"
  done
  printf '\ta\tb\nb\t0\t1\na\t1\t0\n' > other_order.lsmat
  if "$phylo" convert -q other_order.lsmat > /dev/null 2>&1 || /usr/bin/python3 -c 'import sys, skbio
skbio.DistanceMatrix.read(sys.argv[1], format="lsmat")' other_order.lsmat 2> /dev/null; then
    bad "a header that does not name the rows in their order is read"
  else echo "ok   scikit-bio and phylo refuse a header that does not name the rows in their order"; fi
fi
finish "neither pandas, R nor scikit-bio is installed"
