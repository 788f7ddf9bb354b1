#!/usr/bin/env bash
# The manual page renders without a single warning, through groff and through man, and every SECTION named is among
# its rendered headings (text that roff reads as a request, or that runs off the page, shows up in the rendering).
# usage: man_renders.sh PAGE SECTION...
set -euo pipefail
page=$1; shift
export LC_ALL=C.UTF-8 MANWIDTH=80
source "$(dirname "$0")/../lib.sh"
has groff || has man || skip "neither groff nor man is installed (groff-base, man-db)"
if has groff; then
  warnings=$(groff -man -ww -z "$page" 2>&1) && [ -z "$warnings" ] || fail "groff: $warnings"
  text=$(groff -man -ww -Tutf8 "$page" 2>&1)
  echo "ok: groff -man -ww"
fi
if has man; then
  warnings=$(man --warnings -l "$page" 2>&1 > /dev/null) && [ -z "$warnings" ] || fail "man: $warnings"
  text=$(man -l "$page" 2> /dev/null)
  echo "ok: man --warnings -l"
fi
text=$(sed 's/.\x08//g' <<< "$text")
for section in "$@"; do grep -q "^$section\$" <<< "$text" || fail "no section $section"; done
echo "ok: every section rendered"
