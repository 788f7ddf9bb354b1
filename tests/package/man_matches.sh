#!/usr/bin/env bash
# The manual page and the completion describe the karvel that was built: the same option letters as its usage text,
# layout examples that are what karvel writes for the worked two-taxon example, and the messages that karvel prints.
# usage: man_matches.sh KARVEL PAGE COMPLETION EXAMPLES VERSION
set -euo pipefail
karvel=$(realpath "$1") page=$(realpath "$2") completion=$(realpath "$3") examples=$(realpath "$4") version=$5
source "$(dirname "$0")/common.sh"
check_title KARVEL "$version"

usage=$(status 1 "$karvel")
letters=$(sed -n 's/^  -\(.\)  .*/\1/p' <<< "$usage" | sort)
[ "$(wc -l <<< "$letters")" = 17 ] || fail "usage text lists: $letters"
compare "options in the usage text and the manual differ" "$letters" \
  "$(section OPTIONS | sed -n 's/^\.B \\-\(.\)$/\1/p' | sort)"
for letter in $letters; do grep -q -- "-$letter\\b" "$completion" || fail "completion lacks -$letter"; done
for letter in a e l q r s; do
  section TRANSFORMATIONS | grep -q "^\.BR \\\\-$letter " || fail "no formula and domain for -$letter"
done
echo "ok: the 17 options of the usage text are documented and completed"

# Each .nf block of OUTPUT LAYOUTS belongs to the option of the .TP before it, and shows the whole output of the
# worked example (NEXUS with enclosed labels: the matrix rows alone).
layout() { "$karvel" -t "-$1" "$examples/two_taxa.tsv" | if [ "$1" = C ]; then sed -n 7,8p; else cat; fi; }
for letter in P E T N C O R; do
  block=$(section 'OUTPUT LAYOUTS' | awk -v opt="( \\\\-$letter )" '
    /^\.TP/ { mine = 0 } index($0, opt) { mine = 1 }
    mine && /^\.nf/ { on = 1; next } mine && /^\.fi/ { exit } on' | unroff; echo .)
  [ "$block" != . ] || fail "no example for -$letter"
  writes "karvel -t -$letter, the page's example," "${block%.}" layout $letter
done

in_scratch
diagnostics=$(section DIAGNOSTICS | unroff)
printf '2\nA 0 x\n' > bad.dist
for input in no-such-file bad.dist; do
  m=$(status 1 "$karvel" "$input")
  grep -qxF ".B $m" <<< "$diagnostics" || fail "the manual does not give the message: $m"
done
printf '2\nA 0 1\nB 1 0\n' > m.dist
m=$(status 1 "$karvel" -l m.dist)
grep -qxF "$m" <<< "$diagnostics" || fail "the manual's example diagnostic is not: $m"
if [ -w /dev/full ]; then
  m=$(status -o /dev/full 1 "$karvel" m.dist)
  grep -qxF '.BI "karvel: standard output: write error: " reason' "$page" &&
    [[ $m == "karvel: standard output: write error: "?* ]] || fail "write error: $m"
fi
echo "ok: messages"
