#!/usr/bin/env bash
# The manual page of phylo describes the phylo that was built: every option that a command's --help lists, with the
# same value, is documented under that command and the other way round; every documented option is accepted; every
# value that an option accepts is named; the limits of phylo count and the example message are what phylo does; and
# every command of EXAMPLES runs cleanly and prints what the page shows.
#
# usage: man_matches_phylo.sh PHYLO PAGE EXAMPLES VERSION SCRATCH
set -euo pipefail
phylo=$(realpath "$1") page=$(realpath "$2") examples=$(realpath "$3") version=$4 scratch=$5
source "$(dirname "$0")/man_lib.sh"
check_title PHYLO "$version"
fresh "$scratch"

# "-X --long=meta" for each option, from the lines of --help and from the .TP tags of the page.
from_help() {
  sed -En 's/^  -(.), --([a-z-]+)((=[A-Z]+)|(\[=[A-Z]+\]))?( .*)?$/-\1 --\2\3/p' | sed 's/=\(.*\)/=\L\1/' | sort
}
from_page() {
  sed -En 's/^\.BR \\-(.) ", " \\-\\-([a-z\\-]+) ?(.*)$/-\1 --\2\3/p' |
    sed -e 's/\\-/-/g' -e 's/\\f[IR]//g' | sort
}

compare "the options of phylo --help and of OPTIONS differ" "$("$phylo" --help | from_help)" \
  "$(section '^\.SH OPTIONS' | from_page)"
documented_values=0
for command in convert align dist count tree plot; do
  upper=$(tr a-z A-Z <<< "$command")
  help=$("$phylo" "$command" --help)
  documented=$(section "^\\.SH \"PHYLO $upper\"" | from_page)
  compare "the options of phylo $command --help and of its section differ" "$(from_help <<< "$help")" "$documented"

  while read -r short long; do
    name=${long%%[[=]*}
    # A value that the option accepts: the first of those it lists for one it does not
    # know, or any text when it takes any.
    value=
    if [[ $long == *=* ]] && ! "$phylo" "$command" "$name=1" --help > /dev/null 2>&1 < /dev/null; then
      message=$("$phylo" "$command" "$name=1" --help 2>&1 < /dev/null) || true
      known=$(sed -n 's/.* is not one of //p' <<< "$message" | sed 's/, /\n/g')
      for v in $known; do
        grep -Eq "^\\.BR? ${v//-/\\\\-}( |\$)|\\\\fB${v//-/\\\\-}\\\\fR" "$page" ||
          fail "phylo $command $name accepts $v, which the page does not name"
        documented_values=$((documented_values + 1))
      done
      [ -n "$known" ] || fail "phylo $command $name=1 lists no values: $message"
      value=$(head -n 1 <<< "$known")
    fi
    value=${value:-1}
    # Every form of the option, then --help: accepted when the help text comes out.
    if [[ $long == *\[=* ]]; then args=("$name" "$name=$value" "$short")
    elif [[ $long == *=* ]]; then args=("$name=$value" "$name" "$value" "$short" "$value" "$short$value")
    else args=("$name" "$short"); fi
    out=$("$phylo" "$command" "${args[@]}" --help < /dev/null) || fail "phylo $command ${args[*]} --help: status $?"
    [ "$out" = "$help" ] || fail "phylo $command ${args[*]} --help does not print the help text"
  done <<< "$documented"
  echo "ok: phylo $command: the $(wc -l <<< "$documented") options of --help are documented and accepted"
done
echo "ok: the $documented_values values that the options accept are named"

# The limits of phylo count.
text=$(unroff < "$page" | tr '\n' ' ')
[[ $text =~ quartets\ need\ ([0-9]+)\ to\ ([0-9]+)\ taxa,\ triplets\ ([0-9]+)\ to\ ([0-9]+)\. ]] ||
  fail "the page gives no limits of phylo count"
limits=("${BASH_REMATCH[@]:1}")
count() { # EXPECTED-STATUS WHAT N [MESSAGE]
  local status=0 err
  err=$("$phylo" count "$2" "$3" 2>&1 > /dev/null) || status=$?
  [ "$status" = "$1" ] || fail "phylo count $2 $3: status $status"
  [ "$1" != 1 ] || [ "$err" = "$4" ] || fail "phylo count $2 $3 says: $err"
}
count 1 quartets $((limits[0] - 1)) "phylo: count: fewer than ${limits[0]} taxa give no quartet"
count 0 quartets "${limits[0]}"
count 0 quartets "${limits[1]}"; count 1 quartets $((limits[1] + 1)) "Too many quartets."
count 1 triplets $((limits[2] - 1)) "phylo: count: fewer than ${limits[2]} taxa give no triplet"
count 0 triplets "${limits[2]}"
count 0 triplets "${limits[3]}"; count 1 triplets $((limits[3] + 1)) "Too many triplets."
echo "ok: the limits of phylo count"

# The example message.
shown=$(section DIAGNOSTICS | awk '/^\.nf/ { on = 1; next } /^\.fi/ { on = 0 } on' | unroff)
status=0
said=$("$phylo" convert --bogus 2>&1) || status=$?
[ "$status" = 2 ] || fail "phylo convert --bogus: status $status"
compare "the example message and phylo's differ" "$shown" "$said"
echo "ok: the example message"

# EXAMPLES: each "$ " line is run in a folder that holds examples/, and prints the lines shown after it.
ln -s "$examples" examples
export PATH="$(dirname "$phylo"):$PATH"
section EXAMPLES | awk '/^\.EX/ { on = 1; next } /^\.EE/ { on = 0 } on' | unroff > examples.txt
run() { # COMMAND EXPECTED
  local out status=0
  out=$(bash -c "set -o pipefail; $1" 2> err.txt; s=$?; echo .; exit $s) || status=$?
  [ "$status" = 0 ] || fail "$1: status $status: $(cat err.txt)"
  [ ! -s err.txt ] || fail "$1 writes on standard error: $(cat err.txt)"
  compare "the output that the page shows and that of: $1 differ" "$2" "${out%.}"
  ran=$((ran + 1))
}
ran=0 command= expected=
while IFS= read -r line; do
  if [[ $line == '$ '* ]]; then
    [ -z "$command" ] || run "$command" "$expected"
    command=${line#'$ '} expected=
  else
    expected+="$line"$'\n'
  fi
done < examples.txt
[ -n "$command" ] && run "$command" "$expected"
[ "$ran" -ge 5 ] || fail "only $ran examples"
grep -q "^phylo count" examples.txt && fail "an example without its \$"
echo "ok: $ran examples run and print what the page shows"
