#!/usr/bin/env bash
# The manual page and the completion describe the karvel that was built: the same option letters as its usage text,
# layout examples that are what karvel writes for the worked two-taxon example, and the messages that karvel prints.
#
# usage: man_matches.sh KARVEL PAGE COMPLETION EXAMPLES VERSION
set -euo pipefail
karvel=$(realpath "$1") page=$(realpath "$2") completion=$(realpath "$3") examples=$(realpath "$4") version=$5
source "$(dirname "$0")/man_lib.sh"
check_title KARVEL "$version"

# Option letters.
status=0
usage=$("$karvel" 2>&1) || status=$?
[ "$status" = 1 ] || fail "usage status $status"
letters=$(sed -n 's/^  -\(.\)  .*/\1/p' <<< "$usage" | sort)
[ "$(wc -l <<< "$letters")" = 17 ] || fail "usage text lists: $letters"
documented=$(section OPTIONS | sed -n 's/^\.B \\-\(.\)$/\1/p' | sort)
compare "options in the usage text and the manual differ" "$letters" "$documented"
for letter in $letters; do
  grep -q -- "-$letter\\b" "$completion" || fail "completion lacks -$letter"
done
for letter in a e l q r s; do
  section TRANSFORMATIONS | grep -q "^\.BR \\\\-$letter " || fail "no formula and domain for -$letter"
done
echo "ok: the 17 options of the usage text are documented and completed"

# Layout examples: each .nf block of OUTPUT LAYOUTS belongs to the option of the .TP before it, and shows the whole
# output of the worked example (NEXUS with enclosed labels: the matrix rows alone).
checked=0
for letter in P E T N C O R; do
  block=$(section 'OUTPUT LAYOUTS' | awk -v opt="( \\\\-$letter )" '
    /^\.TP/ { mine = 0 } index($0, opt) { mine = 1 }
    mine && /^\.nf/ { on = 1; next } mine && /^\.fi/ { exit } on' | unroff; echo .)
  block=${block%.}
  [ -n "$block" ] || fail "no example for -$letter"
  out=$("$karvel" -t "-$letter" "$examples/two_taxa.tsv"; echo .)
  out=${out%.}
  if [ "$letter" = C ]; then out=$(sed -n 7,8p <<< "$out"; echo .); out=${out%.}; fi
  compare "example of -$letter differs from karvel's output" "$block" "$out"
  checked=$((checked + 1))
done
echo "ok: $checked layout examples are karvel's output"

# Messages.
in_scratch
diagnostics=$(section DIAGNOSTICS | unroff)
message() { # EXPECTED-STATUS ARGS... : prints standard error (run in $(...): the caller exits on its failure)
  local status=0
  "$karvel" "${@:2}" 2>&1 > /dev/null || status=$?
  [ "$status" = "$1" ] || fail "karvel ${*:2}: status $status"
}
printf '2\nA 0 x\n' > bad.dist
for input in no-such-file bad.dist; do
  m=$(message 1 "$input") || exit 1
  grep -qxF ".B $m" <<< "$diagnostics" || fail "the manual does not give the message: $m"
done
printf '2\nA 0 1\nB 1 0\n' > m.dist
m=$(message 1 -l m.dist) || exit 1
grep -qxF "$m" <<< "$diagnostics" || fail "the manual's example diagnostic is not: $m"
if [ -w /dev/full ]; then
  status=0
  m=$("$karvel" m.dist 2>&1 > /dev/full) || status=$?
  [ "$status" = 1 ] || fail "karvel > /dev/full: status $status"
  grep -qxF '.BI "karvel: standard output: write error: " reason' "$page" &&
    [[ $m == "karvel: standard output: write error: "?* ]] || fail "write error: $m"
fi
echo "ok: messages"
