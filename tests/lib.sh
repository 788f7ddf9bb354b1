# What the shell tests share, sourced after each sets its shell options. A check that fails says "FAIL:" and what
# failed; `finish` gives the status: 1 after a failure, 77 (skipped) where no reader ran.
failed=0 ran=0
# fail MESSAGE: the test fails here. bad MESSAGE: a check fails, and the test goes on to fail at the end.
fail() { echo "FAIL: $*" >&2; exit 1; }
bad() { echo "FAIL: $*"; failed=1; }
# skip MESSAGE: the test cannot run on this machine.
skip() { echo "$*: skipped"; exit 77; }
# has PROGRAM: whether PROGRAM is on the PATH. need PROGRAM...: skipped unless each one is.
has() { command -v "$1" > /dev/null; }
need() { local p; for p; do has "$p" || skip "$p is not installed"; done; }
# has_r PACKAGE: whether Rscript loads the R package. need_r PACKAGE...: skipped unless it loads each one.
has_r() { has Rscript && Rscript -e "library($1)" > /dev/null 2>&1; }
need_r() { local p; need Rscript; for p; do has_r "$p" || skip "the R package $p is not installed"; done; }
# need_phylip PROGRAM: $PROGRAM set to PHYLIP's PROGRAM (Debian installs them in /usr/lib/phylip/bin), or skipped.
need_phylip() {
  local p; p=$(command -v "$1") && [ -x "$p" ] || p=/usr/lib/phylip/bin/$1
  [ -x "$p" ] || skip "PHYLIP's $1 is not installed (Debian package phylip)"; printf -v "$1" %s "$p"
}
# has_py MODULE...: whether the system's Python 3 imports each module (Debian's python3-* packages).
has_py() { local IFS=,; /usr/bin/python3 -c "import $*" 2> /dev/null; }
# r_common ARG...: Rscript runs tests/consumers/common.R, then the script on its standard input, with ARG...
common_r=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/consumers/common.R
r_common() { cat "$common_r" - | Rscript - "$@"; }
# in_scratch: a new folder $scratch, removed at exit, as the working folder.
in_scratch() { scratch=$(mktemp -d); trap 'rm -rf "$scratch"' EXIT; cd "$scratch" || exit 1; }
# fresh DIR: DIR emptied, as the working folder (a scratch folder that CMake names, kept for a look).
fresh() { rm -rf "$1"; mkdir -p "$1"; cd "$1" || exit 1; }
# same WHAT EXPECTED GOT FAILURE: "ok WHAT" when the two files hold the same text, else FAILURE and their differences.
same() { local d; if d=$(diff "$2" "$3" 2>&1); then echo "ok   $1"; else bad "$4:"; head <<< "$d"; fi; }
# compare WHAT EXPECTED GOT: the test fails with WHAT and the differences unless the two texts are the same.
compare() { [ "$2" = "$3" ] || fail "$1:"$'\n'"$(diff <(echo "$2") <(echo "$3"))"; }
# finish [MISSING]: exit 1 after a failure, 77 saying MISSING when given and no reader ran, else 0.
# shellcheck disable=SC2120
finish() { [ "$failed" = 0 ] || exit 1; [ "$ran" = 1 ] || [ $# = 0 ] || { echo "$*"; exit 77; }; exit 0; }
