# Helpers for the tests of a manual page, sourced with $page set to the page.

source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

# The title line names the program in capitals, a date and the version of the package.
check_title() { # NAME VERSION
  grep -Eq "^\.TH $1 1 [0-9]{4}-[0-9]{2}-[0-9]{2} \"phylo $2\" " "$page" ||
    fail "the title line does not give version $2: $(grep '^\.TH' "$page")"
}

# Roff text to plain text: tab marks, minus signs, unpaddable blanks, zero-width marks, quotes.
unroff() { sed -e 's/\\(->/\t/g' -e 's/\\-/-/g' -e 's/\\ / /g' -e 's/\\&//g' -e "s/\\\\(aq/'/g"; }

# The roff lines of the sections whose heading matches the regular expression.
section() { awk -v name="$1" '/^\.SH/ { on = ($0 ~ name); next } on' "$page"; }
