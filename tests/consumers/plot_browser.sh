#!/usr/bin/env bash
# phylo plot's pictures in the programs that read them. xmllint: every picture is well-formed XML (labels with
# markup characters, quotes, control characters, Latin-1 and UTF-8 bytes among them) and valid against the SVG 1.1
# DTD where the system's XML catalog holds it (Debian's w3c-sgml-lib; nothing is fetched, --nonet). Chromium
# (headless): the pictures render to PNG at the size they state, with the colour map's colour at sampled cells, the
# dendrogram's leaves at the middles of their rows and the labels drawn (plot_pictures.py).
# Usage: plot_browser.sh xmllint|chromium PHYLO DATA   (DATA: tests/data/cli)
set -euo pipefail
mode=$1 phylo=$2 data=$3 here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib.sh"
in_scratch
"$phylo" plot -q -u 9 -o heatmap.svg "$data/plot4.phy"
awk 'BEGIN { n = 30; print n; for (i = 0; i < n; ++i) { line = "t" i; for (j = 0; j < n; ++j) line = line " " (i > j ? i - j : j - i); print line } }' > blocks.phy
"$phylo" plot --order=input --blocks=10 --colors=grey -o blocks.svg blocks.phy
case $mode in
xmllint)
  need xmllint
  "$phylo" plot --tree -o tree.svg "$data/plot_tree.nwk"
  "$phylo" plot -q -o gaps.svg "$data/plot_gap.fa"
  printf '\tA&B<C>"q"\tx\x01\x7fy\xe9\tcaf\xc3\xa9\x27s\nA&B<C>"q"\t0\t1\t2\nx\x01\x7fy\xe9\t1\t0\t3\ncaf\xc3\xa9\x27s\t2\t3\t0\n' > labels.tsv
  "$phylo" plot -o labels.svg labels.tsv
  printf "(('A&B<C>':1,'x\x02y\xe9':2)'90&':1,'caf\xc3\xa9''s':3);\n" | "$phylo" plot -t -o labels_tree.svg
  awk 'BEGIN { n = 1200; print n; for (i = 0; i < n; ++i) { line = "taxon" i; for (j = 0; j < n; ++j) line = line " " (i == j ? 0 : (i * 7 + j * 7) % 13 + 1); print line } }' > large.phy
  "$phylo" plot -o large.svg large.phy
  valid=--valid
  xmlcatalog /etc/xml/catalog "-//W3C//DTD SVG 1.1//EN" > /dev/null 2>&1 ||
    { valid=; echo "the SVG 1.1 DTD is not in the XML catalog (w3c-sgml-lib): well-formedness only"; }
  for f in heatmap blocks tree gaps labels labels_tree large; do
    [ -s "$f.svg" ] || fail "no $f.svg"
    xmllint --noout --nonet $valid "$f.svg" || fail "$f.svg is not ${valid:+valid }SVG 1.1"
    echo "ok: $f.svg is ${valid:+valid SVG 1.1, }well-formed"
  done
  ;;
chromium)
  browser=$(command -v chromium || command -v chromium-browser) || skip "chromium is not installed"
  need python3
  for f in heatmap blocks; do
    size=$(sed -n 's/^<svg .* width="\([0-9]*\)" height="\([0-9]*\)".*/\1,\2/p' "$f.svg")
    timeout 120 "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --force-device-scale-factor=1 \
      --user-data-dir="$scratch/profile" --screenshot="$scratch/$f.png" --window-size="$size" \
      "file://$scratch/$f.svg" > browser.log 2>&1 || fail "chromium could not render $f.svg: $(cat browser.log)"
    python3 "$here/plot_pictures.py" "$f" "$f.svg" "$f.png"
  done
  ;;
*) echo "no mode $mode"; exit 2 ;;
esac
