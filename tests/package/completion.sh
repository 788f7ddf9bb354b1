#!/usr/bin/env bash
# The bash completion of a program (karvel or phylo, named by the completion file) offers what the program accepts:
# its options after a dash, file names otherwise (also names with blanks), and for phylo the commands first, then
# each command's options and the values of the options that take one of a fixed set. Given the built program, the
# options and values offered are compared with those that the program itself lists and accepts.
#
# usage: completion.sh COMPLETION SCRATCH [PROGRAM]
set -euo pipefail
completion=$(realpath "$1") scratch=$2 binary=${3:+$(realpath "$3")}
program=$(basename "$completion")
source "$(dirname "$0")/../lib.sh"
fresh "$scratch"
mkdir dir
touch m.phy 'my matrix.tsv' other.txt dir/inner.phy

# complete_words WORD...: the sorted completions of the last word, one a line. The words are
# those that bash makes of the line: "--to=ph" is "--to" "=" "ph". As bash does, the function
# is given the current word without a lone "=", and the word before it.
complete_words() {
  bash --norc --noprofile -c '
    program=$1 completion=$2; shift 2
    source "$completion"
    COMP_WORDS=("$program" "$@"); COMP_CWORD=$#
    COMP_LINE="$program $*"; COMP_POINT=${#COMP_LINE}
    cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    [ "$cur" = = ] && cur= prev=${COMP_WORDS[COMP_CWORD-1]}
    "_$program" "$program" "$cur" "$prev"
    printf "%s\n" "${COMPREPLY[@]}" | sort' bash "$program" "$completion" "$@"
}
check() { # EXPECTED WORD...: the completions of WORD... are the lines of EXPECTED (printf %b), in any order.
  local got; got=$(complete_words "${@:2}")
  [ "$got" = "$(printf '%b' "$1" | sort)" ] || fail "$program ${*:2}<TAB> gives:"$'\n'"$got"
  echo "ok: $program ${*:2}<TAB>"
}

case $program in
karvel)
  all_options='-\n-C\n-E\n-N\n-O\n-P\n-R\n-T\n-a\n-e\n-l\n-n\n-p\n-q\n-r\n-s\n-t\n-x'
  check "$all_options" -
  check "$all_options" -p m.phy -
  check '-P' -p -P
  check 'm.phy\nmy matrix.tsv' m
  check 'm.phy\nmy matrix.tsv\nother.txt\ndir' ''
  check 'dir/inner.phy' -T dir/
  ;;
phylo)
  check 'convert\nalign\ndist\ncount\ntree\nplot\nhelp' ''
  check 'convert\ncount' co
  check '-h\n--help\n-V\n--version' -
  layouts='relaxed\nphylip\ntsv\nnexus-paup\nnexus-paup-quoted\npairs\nraw\nphylip-lower\nrelaxed-lower\nnexus\ncsv\npairs-header\nmega'
  check "$layouts" convert --to =
  for words in "convert m.phy --to = ph" "convert -t ph" "convert --to ph"; do check 'phylip\nphylip-lower' $words; done
  check 'nexus-paup\nnexus-paup-quoted' align -t nexus
  check 'upper\nupper-diagonal' convert --shape = up
  check 'bray-curtis\nedgar' dist --kind = count --metric =
  check 'bray-curtis\nedgar' dist -k count -m ''
  check 'quartets\ntriplets' count ''
  check '' count quartets ''
  check 'convert\ncount' help co
  for words in "convert --to = nexus m" "convert -q m" "dist -o m" "convert --output = m" "convert -c m"; do
    check 'm.phy\nmy matrix.tsv' $words
  done
  check 'dir/inner.phy' align dir/
  check '--symmetrize=' convert --sy
  # After "--" a word that begins with a dash is a file name.
  touch -- -x.phy
  check '-x.phy' convert -- -x
  check '-x' convert -x
  # Without "=" among the word breaks the option and its value are one word.
  check '--to=phylip\n--to=phylip-lower' convert --to=ph
  ;;
*) fail "no cases for $program" ;;
esac

if [ -n "$binary" ]; then
  # Each command's options, as its --help lists them, and the values it accepts, as its
  # message for a value it does not know lists them.
  for command in convert align dist count tree plot; do
    help=$("$binary" "$command" --help)
    # Options without a short form stand as "      --long"; their short form is "-".
    expected=$(sed -En 's/^  (-(.),|   ) --([a-z-]+)(=[A-Z]+)?(\[=[A-Z]+\])?( .*)?$/-\2 --\3\4 \5/p' <<< "$help" |
      while read -r short long optional; do
        [ "$short" = - ] || echo "$short"
        if [[ $long == *=* ]]; then echo "${long%%=*}="; else echo "$long"; [ -z "$optional" ] || echo "$long="; fi
      done | sort)
    [ -n "$expected" ] || fail "no options in phylo $command --help"
    compare "phylo $command -<TAB> differs from --help" "$expected" "$(complete_words "$command" -)"
    for long in $(sed -En 's/^  (-.,|   ) --([a-z-]+)=.*/\2/p' <<< "$help"); do
      known=$({ "$binary" "$command" "--$long=@" 2>&1 > /dev/null || :; } | sed -n 's/.* is not one of //p' |
        sed 's/, /\n/g' | sort)
      [ -n "$known" ] || continue # a value of any text (a file name, a number)
      compare "phylo $command --$long=<TAB> differs from what phylo accepts" "$known" \
        "$(complete_words "$command" "--$long" =)"
      echo "ok: phylo $command --$long=<TAB> offers the $(wc -l <<< "$known") values that phylo accepts"
    done
    echo "ok: phylo $command -<TAB> offers the options of its --help"
  done
fi

bash --norc --noprofile -c 'source "$1"; complete -p "$2"' bash "$completion" "$program" |
  grep -qx "complete -F _$program $program" || fail "the completion is not registered for $program"
echo "ok: registered for $program"
