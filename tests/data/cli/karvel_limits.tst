# karvel at its limits: the largest matrices, huge labels and lines, bytes of every value,
# binary input, missing and failing standard streams.
# {matrix N L} is the test matrix of N taxa in layout L (see the README); the long check
# converts it at 5000 taxa in every input layout to every output layout, and reads lines of
# 50 MiB.
scale TAXA 400 5000
scale LINE 1M 50M
scale LINE_PLUS_1 1048577 52428801

largest: karvel -t -N big
  file big {matrix 5000 t}
  out {matrix 5000 N} @paup.trailer

p_to_P: karvel -p -P big
  file big {matrix $TAXA p}
  out {matrix $TAXA P}
p_to_E: karvel -p -E big
  file big {matrix $TAXA p}
  out {matrix $TAXA E}
p_to_T: karvel -p -T big
  file big {matrix $TAXA p}
  out {matrix $TAXA T}
p_to_N: karvel -p -N big
  file big {matrix $TAXA p}
  out {matrix $TAXA N} @paup.trailer
p_to_C: karvel -p -C big
  file big {matrix $TAXA p}
  out {matrix $TAXA C} @paup.trailer
p_to_O: karvel -p -O big
  file big {matrix $TAXA p}
  out {matrix $TAXA O}
p_to_R: karvel -p -R big
  file big {matrix $TAXA p}
  out {matrix $TAXA R}
x_to_P: karvel -x -P big
  file big {matrix $TAXA x}
  out {matrix $TAXA P}
x_to_E: karvel -x -E big
  file big {matrix $TAXA x}
  out {matrix $TAXA E}
x_to_T: karvel -x -T big
  file big {matrix $TAXA x}
  out {matrix $TAXA T}
x_to_N: karvel -x -N big
  file big {matrix $TAXA x}
  out {matrix $TAXA N} @paup.trailer
x_to_C: karvel -x -C big
  file big {matrix $TAXA x}
  out {matrix $TAXA C} @paup.trailer
x_to_O: karvel -x -O big
  file big {matrix $TAXA x}
  out {matrix $TAXA O}
x_to_R: karvel -x -R big
  file big {matrix $TAXA x}
  out {matrix $TAXA R}
t_to_P: karvel -t -P big
  file big {matrix $TAXA t}
  out {matrix $TAXA P}
t_to_E: karvel -t -E big
  file big {matrix $TAXA t}
  out {matrix $TAXA E}
t_to_T: karvel -t -T big
  file big {matrix $TAXA t}
  out {matrix $TAXA T}
t_to_N: karvel -t -N big
  file big {matrix $TAXA t}
  out {matrix $TAXA N} @paup.trailer
t_to_C: karvel -t -C big
  file big {matrix $TAXA t}
  out {matrix $TAXA C} @paup.trailer
t_to_O: karvel -t -O big
  file big {matrix $TAXA t}
  out {matrix $TAXA O}
t_to_R: karvel -t -R big
  file big {matrix $TAXA t}
  out {matrix $TAXA R}

# More than 5000 taxa are refused with nothing printed.
count_5001_phylip: karvel -p count
  file count "5001\nA" {repeat "\t0" 5001} "\n"
  status 1
  err "karvel: count:1: range_error: taxon count 5001 is outside 1 to 5000\n"
count_5001_extended: karvel -x count
  like count_5001_phylip
count_5001_tsv: karvel -t count.tsv
  file count.tsv {repeat "\t" 5001} "\nA" {repeat "\t0" 5001} "\n"
  status 1
  err "karvel: count.tsv:2: range_error: the header line holds 5001 tabs; the taxon count must be 1 to 5000\n"
count_int_max: karvel huge
  file huge "2147483647\n"
  status 1
  err "karvel: huge:1: range_error: taxon count 2147483647 is outside 1 to 5000\n"
count_beyond_int: karvel larger
  file larger "2147483648\n"
  status 1
  err "Wrong file format.\n"

# A header that promises 5000 taxa, then the end: one matrix of 5000 x 5000 cells is 100 MB,
# and the run must not take much more.
promise_5000_extended: karvel -x promise
  file promise "5000\n"
  status 1
  err "karvel: promise:1: end_of_input: the input ends where a word was expected\n"
  rss 400M
promise_5000_phylip: karvel -p promise
  file promise "5000\n"
  status 1
  err "karvel: promise:1: end_of_input: the input ends where a character was expected\n"
  rss 400M
promise_5000_one_row: karvel -x promise
  file promise "5000\nA 0 1 2\n"
  status 1
  err "karvel: promise:2: end_of_input: the input ends where a number was expected\n"
  rss 400M
promise_5000_tsv: karvel -t promise
  file promise {repeat "\t" 5000} "\nA\t0\n"
  status 1
  err "karvel: promise:2: end_of_input: the input ends where a number was expected\n"
  rss 400M

# A label of 1 MiB, read in both layouts that allow it, in every way of writing a label.
label_1mib_relaxed: karvel -x m
  file m "1\n" {letters 1M} " 0.5\n"
  out " 1\n" {letters 1M} "\t 5.00000E-01\n"
label_1mib_tsv: karvel -t -T m.tsv
  file m.tsv "\t" {letters 1M} "\n" {letters 1M} "\t0.5\n"
  out "\t" {letters 1M} "\n" {letters 1M} "\t 5.00000E-01\n"
label_1mib_cut_to_phylip: karvel -x -P m
  file m "1\n" {letters 1M} " 0.5\n"
  out " 1\nabcdefghij\t 5.00000E-01\n"
label_1mib_quoted: karvel -t -C m.tsv
  file m.tsv "\t" {letters 1M} "\n" {letters 1M} "\t0.5\n"
  out "#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax= 1;\n\tformat triangle=both labels;\n\tmatrix\n'" {letters 1M} "'\t 5.00000E-01\n" @paup.trailer

# Lines longer than the input buffer: the rest of a header line is ignored however long it is;
# a tab-separated header of two long column labels; numbers of many digits (leading zeros, a
# long fraction, too many digits); a long label in a matrix of two.
long_header_tail: karvel -x -R line
  file line "2 " {letters $LINE} "\nA 0 1\nB 1 0\n"
  out "A\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n"
long_tsv_column_labels: karvel -t -R line
  file line "\t" {letters $LINE} "\t" {letters $LINE} "\nA\t0\t1\nB\t1\t0\n"
  out "A\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n"
long_leading_zeros: karvel -x -R line
  file line "1\nA " {repeat 0 $LINE} "2.5\n"
  out "A\t 2.50000E+00\n"
long_fraction_of_zeros: karvel -x -R line
  file line "1\nA 0." {repeat 0 $LINE} "125e" $LINE_PLUS_1 "\n"
  out "A\t 1.25000E+00\n"
long_fraction_rounds_up: karvel -x -R line
  file line "1\nA 1." {repeat 9 $LINE} "\n"
  out "A\t 2.00000E+00\n"
long_integer_overflows: karvel -x -R line
  file line "1\nA " {repeat 9 $LINE} "\n"
  status 1
  err "Wrong file format.\n"
long_label: karvel -x -R line
  file line "2\n" {letters $LINE} " 0 1\nB 1 0\n"
  out {letters $LINE} "\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n"

# Runs of 64 MiB of blanks before a header, between matrices and at the end: the reader looks
# past them without holding them (64 MiB of blank lines once took 130 MiB), and the lines that
# a diagnostic names after them are still right.
blank_run_of_lines_before_a_header: karvel -x -R -
  in {repeat "\n" 64M} "1\nA 0\n"
  out "A\t 0.00000E+00\n"
  rss 64M
blank_run_of_lines_before_a_diagnostic: karvel -x -R -
  in {repeat "\n" 64M} "2\nA 0 1\nB -1 0\n"
  status 1
  err "karvel: standard input:67108867: range_error: distance -1 is negative\n"
  rss 64M
blank_run_of_spaces_before_a_header: karvel -x -R -
  in {repeat " " 64M} "1\nA 0\n"
  out "A\t 0.00000E+00\n"
  rss 64M
blank_run_at_the_end: karvel -x -R -
  in "1\nA 0\n" {repeat " \t\r\n" 16M}
  out "A\t 0.00000E+00\n"
  rss 64M
blank_run_of_carriage_returns_before_a_header: karvel -x -R -
  in {repeat "\r\n" 32M} "1\nA 0\n"
  status 1
  err "Wrong file format.\n"
  rss 64M
blank_run_between_tsv_matrices: karvel -t -R -
  in "\tA\nA\t0\n" {repeat "\n" 64M} "\tB\nB\t0\n"
  status 1
  out "A\t 0.00000E+00\n"
  err "karvel: standard input:4: range_error: the header line holds 0 tabs; the taxon count must be 1 to 5000\n"
  rss 64M
blank_run_around_a_tsv_matrix: karvel -t -R -
  in {repeat " " 64M} "\tA\nA\t0\n" {repeat "\n" 64M}
  out "A\t 0.00000E+00\n"
  rss 64M
blank_run_of_tabs_inside_a_tsv_matrix: karvel -t -R -
  in "\t\t\n" {repeat "\t\r\n" 22369621} "A\t0\t1\nB\t-1\t0\n"
  status 1
  err "karvel: standard input:22369624: range_error: distance -1 is negative\n"
  rss 64M

# PHYLIP labels are ten characters of any value but the line feed. NEXUS: control characters
# (0, 128 to 159) and the blank are cut from the ends and made '_' inside; 160 to 255 are kept.
bytes_phylip_to_P: karvel -p -P @bytes.phy
  out " 2\nA\0\x80\xff\xe9 \x9f\xa0ZQ\t 0.00000E+00\t 1.00000E+00\nB\0\0\0\0\0\0\0\0\0\t 1.00000E+00\t 0.00000E+00\n"
bytes_phylip_to_T: karvel -p -T @bytes.phy
  out "\tA\0\x80\xff\xe9 \x9f\xa0ZQ\tB\0\0\0\0\0\0\0\0\0\nA\0\x80\xff\xe9 \x9f\xa0ZQ\t 0.00000E+00\t 1.00000E+00\nB\0\0\0\0\0\0\0\0\0\t 1.00000E+00\t 0.00000E+00\n"
bytes_phylip_to_E: karvel -p -E @bytes.phy
  out " 2\nA\0\x80\xff\xe9_\x9f\xa0ZQ\t 0.00000E+00\t 1.00000E+00\nB\0\0\0\0\0\0\0\0\0\t 1.00000E+00\t 0.00000E+00\n"
bytes_phylip_to_N: karvel -p -N @bytes.phy
  out "#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax= 2;\n\tformat triangle=both labels;\n\tmatrix\nA__\xff\xe9__\xa0ZQ\t 0.00000E+00\t 1.00000E+00\nB         \t 1.00000E+00\t 0.00000E+00\n" @paup.trailer
bytes_phylip_to_O: karvel -p -O @bytes.phy
  out "B\0\0\0\0\0\0\0\0\0\tA\0\x80\xff\xe9 \x9f\xa0ZQ\t 1.00000E+00\n"
# Extended and tab-separated labels keep 160 to 255 and end at control characters.
bytes_latin_extended: karvel -R m
  file m "1\ncaf\xe9\xa0\xff\xdf 0\n"
  out "caf\xe9\xa0\xff\xdf\t 0.00000E+00\n"
bytes_latin_tsv: karvel -t -R m.tsv
  file m.tsv "\tcaf\xe9\xa0\xff\xdf x\ncaf\xe9\xa0\xff\xdf x\t0\n"
  out "caf\xe9\xa0\xff\xdf x\t 0.00000E+00\n"
bytes_control_133_ends_a_label: karvel -R split
  file split "1\nA\x85B 0\n"
  status 1
  err "Wrong file format.\n"
bytes_zero_ends_a_label: like bytes_control_133_ends_a_label
  file split "1\nA\0B 0\n"
bytes_control_133_ends_a_tsv_label: karvel -t -R split.tsv
  file split.tsv "\tA\nA\x85B 0\n"
  status 1
  err "Wrong file format.\n"
bytes_zero_ends_a_tsv_label: like bytes_control_133_ends_a_tsv_label
  file split.tsv "\tA\nA\0B 0\n"

# Binary input: one line of diagnostic, status 1, in every input layout.
noise_phylip: karvel -p noise
  file noise {noise 1M}
  status 1
  err "Wrong file format.\n"
noise_extended: karvel -x noise
  like noise_phylip
noise_tsv: karvel -t noise
  file noise {noise 1M}
  status 1
  err "karvel: noise:2: range_error: the header line holds 0 tabs; the taxon count must be 1 to 5000\n"

# Output that cannot be written: a full device, a closed descriptor (with standard error
# closed too there is nobody to tell: the status says it). The larger matrix fills the sink
# mid-run.
full_small: karvel @ab.dist
  out full
  status 1
  err "karvel: standard output: write error: No space left on device\n"
full_large: karvel big
  file big {matrix 1000 x}
  out full
  status 1
  err "karvel: standard output: write error: No space left on device\n"
closed_small: karvel @ab.dist
  out closed
  status 1
  err "karvel: standard output: write error: Bad file descriptor\n"
closed_large: like full_large
  out closed
  err "karvel: standard output: write error: Bad file descriptor\n"
closed_small_no_stderr: like closed_small
  err closed
closed_large_no_stderr: like closed_large
  err closed

# karvel big | head -1, with SIGPIPE as the parent left it: default or ignored.
reader_goes_away: karvel big
  file big {matrix 1000 x}
  out head " 1000\n"
  status SIGPIPE
reader_goes_away_sigpipe_ignored: like reader_goes_away
  sigpipe ignored

# A matrix that does not fit in memory.
out_of_memory: karvel promise
  file promise "5000\n"
  limit 40M
  status 1
  err "karvel: out of memory\n"
