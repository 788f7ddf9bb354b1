#!/usr/bin/env bash
# The bash completion offers karvel's options after a dash and file names otherwise, also
# names with blanks, and leaves a complete option alone.
#
# usage: completion.sh COMPLETION SCRATCH
set -euo pipefail
completion=$(realpath "$1") scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch/dir"
cd "$scratch"
touch m.phy 'my matrix.tsv' other.txt dir/inner.phy

# complete WORD...: the sorted completions of the last word, one a line.
complete_words() {
  bash --norc --noprofile -c '
    source "$1"; shift
    COMP_WORDS=(karvel "$@"); COMP_CWORD=$#
    COMP_LINE="karvel $*"; COMP_POINT=${#COMP_LINE}
    _karvel karvel "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort' bash "$completion" "$@"
}
fail() { echo "FAIL: $*" >&2; exit 1; }
check() { # EXPECTED WORD...
  local expected=$1; shift
  local got
  got=$(complete_words "$@")
  [ "$got" = "$(printf '%b' "$expected" | sort)" ] || fail "karvel $*<TAB> gives:
$got"
  echo "ok: karvel $*<TAB>"
}

all_options='-\n-C\n-E\n-N\n-O\n-P\n-R\n-T\n-a\n-e\n-l\n-n\n-p\n-q\n-r\n-s\n-t\n-x'
check "$all_options" -
check "$all_options" -p m.phy -
check '-P' -p -P
check 'm.phy\nmy matrix.tsv' m
check 'm.phy\nmy matrix.tsv\nother.txt\ndir' ''
check 'dir/inner.phy' -T dir/
bash --norc --noprofile -c 'source "$1"; complete -p karvel' bash "$completion" |
  grep -qx 'complete -F _karvel karvel' || fail "the completion is not registered for karvel"
echo "ok: registered for karvel"
