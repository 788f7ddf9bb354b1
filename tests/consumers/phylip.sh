# Shared by the tests that run PHYLIP's programs on what karvel and phylo write (sourced).

# need_phylip NAME: sets $NAME to PHYLIP's program NAME, or exits with 77 (skipped) when it is
# not installed. Debian installs the programs in /usr/lib/phylip/bin.
need_phylip() {
  local candidate
  for candidate in "$(command -v "$1" 2>/dev/null)" "/usr/lib/phylip/bin/$1"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then printf -v "$1" '%s' "$candidate"; return; fi
  done
  echo "PHYLIP's $1 is not installed (Debian package phylip): skipped"
  exit 77
}

# run_phylip PROGRAM DIR INFILE ANSWERS RESULT: runs PROGRAM in DIR on a copy of INFILE,
# answering its menu with ANSWERS (printf %b); fails unless it writes DIR/RESULT.
run_phylip() {
  mkdir -p "$2" && cp "$3" "$2/infile"
  (cd "$2" && printf '%b' "$4" | timeout 120 "$1" > menu.log 2>&1) && [ -s "$2/$5" ] ||
    { echo "${1##*/} wrote no $5:" >&2; tail -5 "$2/menu.log" >&2; return 1; }
}
