#!/usr/bin/env bash
# The manual page renders without a single warning, through groff and through man, and
# every SECTION named is among its rendered headings.
#
# usage: man_renders.sh PAGE SECTION...
set -euo pipefail
page=$1
shift
export LC_ALL=C.UTF-8 MANWIDTH=80

if ! command -v groff > /dev/null && ! command -v man > /dev/null; then
  echo "neither groff nor man is installed (groff-base, man-db): skipped"
  exit 77
fi
ran=0
if command -v groff > /dev/null; then
  warnings=$(groff -man -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || { echo "groff: $warnings"; exit 1; }
  # Text that roff reads as a request or that runs off the page shows up in the rendering.
  text=$(groff -man -ww -Tutf8 "$page" 2>&1)
  ran=1
  echo "ok: groff -man -ww"
fi
if command -v man > /dev/null; then
  warnings=$(man --warnings -l "$page" 2>&1 > /dev/null)
  [ -z "$warnings" ] || { echo "man: $warnings"; exit 1; }
  text=$(man -l "$page" 2> /dev/null)
  ran=1
  echo "ok: man --warnings -l"
fi
[ "$ran" = 1 ]
for section in "$@"; do
  grep -q "^$section\$" <<< "$(sed 's/.\x08//g' <<< "$text")" || { echo "no section $section"; exit 1; }
done
echo "ok: every section rendered"
