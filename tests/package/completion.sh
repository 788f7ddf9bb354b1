#!/usr/bin/env bash
# The bash completion of karvel or phylo (named by the completion file) offers what the program accepts: its options
# after a dash, file names otherwise (names with blanks too), and for phylo the commands first, then each command's
# options and the values of those that take one of a fixed set; given the built PROGRAM, those that it lists.
# usage: completion.sh COMPLETION SCRATCH [PROGRAM]
set -euo pipefail
completion=$(realpath "$1") scratch=$2 binary=${3:+$(realpath "$3")}
program=$(basename "$completion")
source "$(dirname "$0")/../lib.sh"
fresh "$scratch"
mkdir dir
touch m.phy 'my matrix.tsv' other.txt dir/inner.phy

# complete_words WORD...: the sorted completions of the last word, one a line. The words are those that bash makes
# of the line ("--to=ph" is "--to" "=" "ph"); as from bash, the function gets the current word, "" for a lone "=".
complete_words() {
  bash --norc --noprofile -c '
    program=$1 completion=$2; shift 2
    source "$completion"
    COMP_WORDS=("$program" "$@"); COMP_CWORD=$#
    COMP_LINE="$program $*"; COMP_POINT=${#COMP_LINE}
    cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}; [ "$cur" != = ] || cur=
    "_$program" "$program" "$cur" "$prev"
    printf "%s\n" "${COMPREPLY[@]}" | sort' bash "$program" "$completion" "$@"
}
# check EXPECTED WORD...: the completions of WORD... are the lines of EXPECTED (printf %b), in any order.
check() { compare "$program ${*:2}<TAB> differs" "$(printf '%b' "$1" | sort)" "$(complete_words "${@:2}")"; }

case $program in
karvel)
  options='-\n-C\n-E\n-N\n-O\n-P\n-R\n-T\n-a\n-e\n-l\n-n\n-p\n-q\n-r\n-s\n-t\n-x'
  for words in - "-p m.phy -"; do check "$options" $words; done
  check '-P' -p -P
  check 'm.phy\nmy matrix.tsv' m
  check 'm.phy\nmy matrix.tsv\nother.txt\ndir' ''
  check 'dir/inner.phy' -T dir/
  ;;
phylo)
  touch -- -x.phy # after "--", a file name
  check 'convert\nalign\ndist\ncount\ntree\nplot\nhelp' ''
  for words in co "help co"; do check 'convert\ncount' $words; done
  check '-h\n--help\n-V\n--version' -
  layouts='relaxed\nphylip\ntsv\nnexus-paup\nnexus-paup-quoted\npairs\nraw\nphylip-lower\nrelaxed-lower\nnexus\ncsv'
  check "$layouts\npairs-header\nmega" convert --to =
  for words in "convert m.phy --to = ph" "convert -t ph" "convert --to ph"; do check 'phylip\nphylip-lower' $words; done
  check 'nexus-paup\nnexus-paup-quoted' align -t nexus
  check 'upper\nupper-diagonal' convert --shape = up
  check 'bray-curtis\nedgar' dist --kind = count --metric =
  check 'bray-curtis\nedgar' dist -k count -m ''
  check 'quartets\ntriplets' count ''
  check '' count quartets ''
  for words in "convert --to = nexus m" "convert -q m" "dist -o m" "convert --output = m" "convert -c m"; do
    check 'm.phy\nmy matrix.tsv' $words
  done
  check 'dir/inner.phy' align dir/
  check '--symmetrize=' convert --sy
  check '-x.phy' convert -- -x
  check '-x' convert -x
  # Without "=" among the word breaks the option and its value are one word.
  check '--to=phylip\n--to=phylip-lower' convert --to=ph
  ;;
*) fail "no cases for $program" ;;
esac

# Each command's options as its --help lists them ("-X, --long=META" or "    --long[=META]": -X, and --long or --long=
# or, for an optional value, both), and the values that an option accepts, as its message for one it does not know
# lists them (none for a value of any text: a file name, a number).
[ -z "$binary" ] || for command in convert align dist count tree plot; do
  help=$("$binary" "$command" --help)
  expected=$(sed -En 's/^  (-.,|   ) --([a-z-]+)(=[A-Z]+)?(\[=[A-Z]+\])?( .*)?$/\1\n--\2\3\4/p' <<< "$help" |
    sed -E '/^ *$/d; s/,$//; s/=[A-Z]+$/=/; s/^(--.*)\[=[A-Z]+\]$/\1\n\1=/' | sort)
  [ -n "$expected" ] || fail "no options in phylo $command --help"
  compare "phylo $command -<TAB> differs from --help" "$expected" "$(complete_words "$command" -)"
  for long in $(sed -En 's/^  (-.,|   ) --([a-z-]+)=.*/\2/p' <<< "$help"); do
    known=$("$binary" "$command" "--$long=@" 2>&1 > /dev/null < /dev/null |
      sed -n 's/.* is not one of //; T; s/, /\n/g; p' | sort || :)
    [ -z "$known" ] || compare "phylo $command --$long=<TAB> differs from what phylo accepts" "$known" \
      "$(complete_words "$command" "--$long" =)"
  done
  echo "ok: phylo $command -<TAB> offers the options of its --help, and the values of each that phylo accepts"
done

[ "$(bash --norc --noprofile -c 'source "$1"; complete -p "$2"' bash "$completion" "$program")" = \
  "complete -F _$program $program" ] || fail "the completion is not registered for $program"
echo "ok: the completion of $program offers what it accepts, and is registered"
