#!/usr/bin/env bash
# The manual page of phylo describes the phylo that was built: the options of each command's --help, with the same
# values, are those documented under that command, and are accepted; every value that an option accepts is named;
# the limits of phylo count and the example message are what phylo does; and every command of EXAMPLES runs cleanly
# and prints what the page shows.
# usage: man_matches_phylo.sh PHYLO PAGE EXAMPLES VERSION SCRATCH
set -euo pipefail
phylo=$(realpath "$1") page=$(realpath "$2") examples=$(realpath "$3") version=$4 scratch=$5
source "$(dirname "$0")/common.sh"
check_title PHYLO "$version"
fresh "$scratch"

# "-X --long=meta" for each option, from the lines of --help and from the .TP tags of the page.
from_help() { sed -En 's/^  -(.), --([a-z-]+)(=[A-Z]+|\[=[A-Z]+\])?( .*)?$/-\1 --\2\3/p' | sed 's/=.*/\L&/' | sort; }
from_page() { sed -En 's/^\.BR \\-(.) ", " \\-\\-([a-z\\-]+) ?(.*)/-\1 --\2\3/; T; s/\\-/-/g; s/\\f[IR]//g; p' | sort; }

compare "the options of phylo --help and of OPTIONS differ" "$("$phylo" --help | from_help)" \
  "$(section '^\.SH OPTIONS' | from_page)"
values=0
for command in convert align dist count tree plot; do
  help=$("$phylo" "$command" --help)
  documented=$(section "^\\.SH \"PHYLO ${command^^}\"" | from_page)
  compare "the options of phylo $command --help and of its section differ" "$(from_help <<< "$help")" "$documented"
  while read -r short long; do
    name=${long%%[[=]*} value=1
    # An option whose value may not be 1 lists the values it accepts: each is named, and the first one is used.
    if [[ $long == *=* ]] && ! message=$("$phylo" "$command" "$name=1" --help 2>&1 < /dev/null); then
      known=$(sed -n 's/.* is not one of //p' <<< "$message" | sed 's/, /\n/g')
      [ -n "$known" ] || fail "phylo $command $name=1 lists no values: $message"
      for v in $known; do
        grep -Eq "^\\.BR? ${v//-/\\\\-}( |\$)|\\\\fB${v//-/\\\\-}\\\\fR" "$page" ||
          fail "phylo $command $name accepts $v, which the page does not name"
      done
      values=$((values + $(wc -l <<< "$known"))) value=${known%%$'\n'*}
    fi
    # Every form of the option, then --help: accepted when the help text comes out.
    if [[ $long == *\[=* ]]; then args=("$name" "$name=$value" "$short")
    elif [[ $long == *=* ]]; then args=("$name=$value" "$name" "$value" "$short" "$value" "$short$value")
    else args=("$name" "$short"); fi
    out=$("$phylo" "$command" "${args[@]}" --help < /dev/null) || fail "phylo $command ${args[*]} --help: status $?"
    [ "$out" = "$help" ] || fail "phylo $command ${args[*]} --help does not print the help text"
  done <<< "$documented"
  echo "ok: phylo $command: the $(wc -l <<< "$documented") options of --help are documented and accepted"
done
echo "ok: the $values values that the options accept are named"

# The limits of phylo count, just inside and just outside, and the example message.
text=$(unroff < "$page" | tr '\n' ' ')
[[ $text =~ quartets\ need\ ([0-9]+)\ to\ ([0-9]+)\ taxa,\ triplets\ ([0-9]+)\ to\ ([0-9]+)\. ]] ||
  fail "the page gives no limits of phylo count"
set -- "${BASH_REMATCH[@]:1}"
for what in quartet triplet; do
  says "phylo: count: fewer than $1 taxa give no $what" 1 "$phylo" count ${what}s $(($1 - 1))
  for n in "$1" "$2"; do says "" 0 "$phylo" count ${what}s "$n"; done
  says "Too many ${what}s." 1 "$phylo" count ${what}s $(($2 + 1)); shift 2
done
says "$(section DIAGNOSTICS | between '^\.nf' '^\.fi' | unroff)" -o /dev/stderr 2 "$phylo" convert --bogus
echo "ok: the limits of phylo count and the example message"

# EXAMPLES: each "$ " line is run in a folder that holds examples/, and prints the lines shown after it.
ln -s "$examples" examples
export PATH="$(dirname "$phylo"):$PATH"
section EXAMPLES | between '^\.EX' '^\.EE' | unroff | tee examples.txt |
  awk '/^\$ / { n++ } n { print > sprintf("example%03d", n) }'
ran=0
for example in example[0-9]*; do
  command=$(sed -n '1s/^\$ //p' "$example") expected=$(tail -n +2 "$example"; echo .)
  writes "$command" "${expected%.}" bash -c "set -o pipefail; { $command; } 2> err.txt || { cat err.txt >&2; exit 1; }"
  [ ! -s err.txt ] || fail "$command writes on standard error: $(cat err.txt)"
  ran=$((ran + 1))
done
[ "$ran" -ge 5 ] || fail "only $ran examples"
! grep -q "^phylo count" examples.txt || fail "an example without its \$"
echo "ok: $ran examples run and print what the page shows"
