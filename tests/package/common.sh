# What the package tests share beside tests/lib.sh: a program's status, messages and output, the Debian package and
# the Python module in it, and the parts of a manual page ($page).
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

# status [-o FILE] N COMMAND...: prints COMMAND's standard error, and fails unless COMMAND exits with N; its output
# goes to FILE (/dev/null; /dev/stderr prints it too). Assign what it prints: then a failure in $(...) ends the test.
status() {
  local s=0 to=/dev/null; [ "$1" != -o ] || { to=$2; shift 2; }
  "${@:2}" 2>&1 > "$to" || s=$?; [ "$s" = "$1" ] || fail "${*:2}: status $s, not $1"
}
# says MESSAGE [-o FILE] N COMMAND...: as status, and what COMMAND says is MESSAGE.
says() { local m; m=$(status "${@:2}"); [ "$m" = "$1" ] || fail "${*:2} says:"$'\n'"$m"$'\n'"not:"$'\n'"$1"; }
# writes WHAT EXPECTED COMMAND...: COMMAND, given this standard input, succeeds and writes exactly EXPECTED.
writes() {
  local got; got=$("${@:3}" && echo .) || fail "$1: status $?"
  compare "$1 wrote another text" "$2" "${got%.}" && echo "ok: $1"
}

# make_deb BUILD [VERSION]: $deb, the package phylo_VERSION_ARCH.deb that cpack makes of BUILD in ./out.
make_deb() {
  cpack -G DEB --config "$1/CPackConfig.cmake" -B "$PWD/out" > cpack.log 2>&1 || fail "cpack: $(cat cpack.log)"
  arch=$(dpkg --print-architecture) deb=("$PWD"/out/phylo_${2:-*}_"$arch".deb)
  [ -f "$deb" ] || fail "no $deb; cpack made: $(ls out)"
}
# imports PYTHON INIT [PYTHONPATH]: PYTHON imports phylo from INIT (its __init__.py) and reads $examples/two_taxa.tsv.
imports() {
  (cd / && PYTHONPATH=${3:-} "$1" - "$2" "$examples/two_taxa.tsv" <<'PY') || fail "the Python module in $2"
import sys, phylo
assert phylo.__file__ == sys.argv[1], phylo.__file__
dm, = phylo.read(sys.argv[2])
assert dm.labels == ["Alpha", "Beta gamma"] and dm["Alpha", "Beta gamma"] == 0.25, dm
PY
}

# check_title NAME VERSION: the title line names the program in capitals, a date and the version of the package.
check_title() {
  grep -Eq "^\.TH $1 1 [0-9]{4}-[0-9]{2}-[0-9]{2} \"phylo $2\" " "$page" ||
    fail "the title line does not give version $2: $(grep '^\.TH' "$page")"
}
# Roff text to plain text: tab marks, minus signs, unpaddable blanks, zero-width marks, quotes.
unroff() { sed -e 's/\\(->/\t/g' -e 's/\\-/-/g' -e 's/\\ / /g' -e 's/\\&//g' -e "s/\\\\(aq/'/g"; }
# section REGEX: the roff lines of the sections whose heading matches REGEX. between START END: the lines between
# one that matches START and the next that matches END.
section() { awk -v name="$1" '/^\.SH/ { on = ($0 ~ name); next } on' "$page"; }
between() { awk -v start="$1" -v end="$2" '$0 ~ start { on = 1; next } $0 ~ end { on = 0 } on'; }
