# karvel: the worked example in every layout, options, inputs, diagnostics.
# ab.tsv and ab.dist hold the two-taxon worked example with the labels "Beta gamma" and
# "Beta_gamma"; ab.tsv.LAYOUT is the matrix of ab.tsv in a layout. NEXUS outputs end with
# paup.trailer.

tsv_to_P: karvel -t -P @ab.tsv
  out @ab.tsv.phylip
tsv_to_E: karvel -t -E @ab.tsv
  out @ab.tsv.relaxed
tsv_to_default: karvel -t @ab.tsv
  out @ab.tsv.relaxed
tsv_to_T: karvel -t -T @ab.tsv
  out @ab.tsv.tsv
tsv_to_N: karvel -t -N @ab.tsv
  out @ab.tsv.nexus-paup @paup.trailer
tsv_to_C: karvel -t -C @ab.tsv
  out @ab.tsv.nexus-paup-quoted @paup.trailer
tsv_to_O: karvel -t -O @ab.tsv
  out @ab.tsv.pairs
tsv_to_R: karvel -t -R @ab.tsv
  out @ab.tsv.raw
dist_to_T: karvel -T @ab.dist
  out @ab.dist.tsv
dist_explicit_options_after_the_file: karvel @ab.dist -x -n -R
  out @ab.dist.raw

# The distance read as -0 instead: arcsin(sqrt(-0)) is -0, and every layout shows its sign.
negative_zero_tsv_to_P: karvel -a -t -P ab.tsv
  file ab.tsv {replace ab.tsv 0.25 -0}
  out {replace ab.tsv.phylip " 2.50000E-01" -0.00000E+00}
negative_zero_tsv_to_E: karvel -a -t -E ab.tsv
  like negative_zero_tsv_to_P
  out {replace ab.tsv.relaxed " 2.50000E-01" -0.00000E+00}
negative_zero_tsv_to_T: karvel -a -t -T ab.tsv
  like negative_zero_tsv_to_P
  out {replace ab.tsv.tsv " 2.50000E-01" -0.00000E+00}
negative_zero_tsv_to_N: karvel -a -t -N ab.tsv
  like negative_zero_tsv_to_P
  out {replace ab.tsv.nexus-paup " 2.50000E-01" -0.00000E+00} @paup.trailer
negative_zero_tsv_to_C: karvel -a -t -C ab.tsv
  like negative_zero_tsv_to_P
  out {replace ab.tsv.nexus-paup-quoted " 2.50000E-01" -0.00000E+00} @paup.trailer
negative_zero_tsv_to_O: karvel -a -t -O ab.tsv
  like negative_zero_tsv_to_P
  out {replace ab.tsv.pairs " 2.50000E-01" -0.00000E+00}
negative_zero_tsv_to_R: karvel -a -t -R ab.tsv
  like negative_zero_tsv_to_P
  out {replace ab.tsv.raw " 2.50000E-01" -0.00000E+00}
negative_zero_dist_to_T: karvel -a -T ab.dist
  file ab.dist {replace ab.dist 0.25 -0}
  out {replace ab.dist.tsv " 2.50000E-01" -0.00000E+00}
negative_zero_dist_to_R: karvel -a ab.dist -x -n -R
  file ab.dist {replace ab.dist 0.25 -0}
  out {replace ab.dist.raw " 2.50000E-01" -0.00000E+00}

# What each transformation makes of a -0 above the diagonal, spelled -0, -0.0 and -1e-50 (-r:
# the largest distance is 0, and the matrix stays as it was read); -log(1-D) of +0 is -0.
negative_zero_none: karvel -n -R @zeros.dist
  out {repeat "A\t 0.00000E+00\t-0.00000E+00\nB\t-0.00000E+00\t 0.00000E+00\n" 3}
negative_zero_arcsine: karvel -a -R @zeros.dist
  out {repeat "A\t 0.00000E+00\t-0.00000E+00\nB\t-0.00000E+00\t 0.00000E+00\n" 3}
negative_zero_exponential: karvel -e -R @zeros.dist
  out {repeat "A\t 0.00000E+00\t 0.00000E+00\nB\t 0.00000E+00\t 0.00000E+00\n" 3}
negative_zero_neglog: karvel -l -R @zeros.dist
  out {repeat "A\t 0.00000E+00\t-0.00000E+00\nB\t-0.00000E+00\t 0.00000E+00\n" 3}
negative_zero_square: karvel -q -R @zeros.dist
  out {repeat "A\t 0.00000E+00\t 0.00000E+00\nB\t 0.00000E+00\t 0.00000E+00\n" 3}
negative_zero_ranging: karvel -r -R @zeros.dist
  out {repeat "A\t 0.00000E+00\t-0.00000E+00\nB\t-0.00000E+00\t 0.00000E+00\n" 3}
negative_zero_square_root: karvel -s -R @zeros.dist
  out {repeat "A\t 0.00000E+00\t-0.00000E+00\nB\t-0.00000E+00\t 0.00000E+00\n" 3}
neglog_of_positive_zero: karvel -l -O p
  file p "2\nA 0 0\nB 0 0\n"
  out "B\tA\t-0.00000E+00\n"

usage_without_arguments: karvel
  status 1
  err @karvel.usage
usage_with_options_alone: karvel -P -s -t
  status 1
  err @karvel.usage
# The usage names karvel as it was called, and a message by the last part of that name.
usage_names_the_program_as_called: karvel
  as ./bin/kv
  status 1
  err {replace karvel.usage "karvel " "./bin/kv "}
message_names_the_program_as_called: karvel count
  as ./bin/kv
  file count "\n0\n"
  status 1
  err "kv: count:2: range_error: taxon count 0 is outside 1 to 5000\n"

# The leftmost option of a group wins; options may follow the files.
leftmost_output_wins_P: karvel -P -T @ab.dist
  out @ab.tsv.relaxed
leftmost_output_wins_T: karvel -T -P @ab.dist
  out @ab.dist.tsv
options_after_the_file: karvel @ab.dist -s -R
  out "Alpha\t 0.00000E+00\t 5.00000E-01\nBeta_gamma\t 5.00000E-01\t 0.00000E+00\n"
options_before_the_file: karvel -R -s @ab.dist
  out "Alpha\t 0.00000E+00\t 5.00000E-01\nBeta_gamma\t 5.00000E-01\t 0.00000E+00\n"

# Each transformation by its letter.
arcsine: karvel -a -O @ab.dist
  out "Beta_gamma\tAlpha\t 5.23599E-01\n"
exponential: karvel -e -O @ab.dist
  out "Beta_gamma\tAlpha\t 2.21199E-01\n"
square: karvel -q -O @ab.dist
  out "Beta_gamma\tAlpha\t 6.25000E-02\n"
ranging: karvel -r -O @ab.dist
  out "Beta_gamma\tAlpha\t 1.00000E+00\n"

# The example in each input layout gives the same cells; a PHYLIP label may touch its first number.
primates_phylip: karvel -p -R @../../../examples/primates.phy
  out @primates.phy.raw
primates_extended: karvel -x -R @../../../examples/primates.dist
  out @primates.dist.raw
primates_tsv: karvel -t -R @../../../examples/primates.tsv
  out @primates.tsv.raw
primates_neglog_pairs: karvel -p -l -O @../../../examples/primates.phy
  out @primates.neglog.pairs

stdin_by_dash: karvel -R -
  in @ab.dist
  out @ab.dist.raw
stdin_through_a_pipe: karvel -R -
  in pipe {matrix 400 x}
  out {matrix 400 R}
stdin_between_files: karvel -R first - first
  file first " 1\nFirst 0\n"
  in " 1\nSecond 1\n"
  out "First\t 0.00000E+00\nSecond\t 1.00000E+00\nFirst\t 0.00000E+00\n"
stdin_empty: karvel -
  in ""
stdin_closed: karvel -
  in closed
  status 1
  err "Invalid filename.\n"
# A file opened first does not take the place of a closed standard input.
stdin_closed_after_a_file: karvel -R m -
  file m "1\nA 0\n"
  in closed
  status 1
  out "A\t 0.00000E+00\n"
  err "Invalid filename.\n"
stdin_closed_but_unused: karvel -R m m
  file m "1\nA 0\n"
  in closed
  out "A\t 0.00000E+00\nA\t 0.00000E+00\n"

several_matrices: karvel -R two
  file two "1\nA 0\n\n\n2\nB 0 1\nC 1 0\n"
  out "A\t 0.00000E+00\nB\t 0.00000E+00\t 1.00000E+00\nC\t 1.00000E+00\t 0.00000E+00\n"
blank_tail_with_carriage_returns: karvel -R tail
  file tail "1\r\nA 0\r\n\r\n\n  \t\n"
  out "A\t 0.00000E+00\n"
only_blank_lines: karvel blank
  file blank "\n\n\n"
no_line_feed_after_the_last_value: karvel -R bare
  file bare "2\nA 0 1\nB 1 0"
  out "A\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n"
no_line_feed_after_the_last_tsv_value: karvel -t -R bare.tsv
  file bare.tsv "\tA\nA\t0.5"
  out "A\t 5.00000E-01\n"
empty_files: karvel empty empty
  file empty ""

missing_file_after_a_good_one: karvel -R @ab.dist missing
  status 1
  out @ab.dist.raw
  err "Invalid filename.\n"
unknown_option: karvel -z @ab.dist
  status 1
  err "Invalid filename.\n"
grouped_options: karvel -sP @ab.dist
  status 1
  err "Invalid filename.\n"
double_dash: karvel -- @ab.dist
  status 1
  err "Invalid filename.\n"
empty_name: karvel ""
  status 1
  err "Invalid filename.\n"
folder: karvel .
  status 1
  err "Invalid filename.\n"
file_named_like_an_unknown_option: karvel -R -z
  file -z " 1\nZ 0\n"
  out "Z\t 0.00000E+00\n"

# A matrix that cannot be read ends the run; what came before stays.
wrong_format_word_count: karvel -R good bad good
  file good " 1\nA 0\n"
  file bad "x\n"
  status 1
  out "A\t 0.00000E+00\n"
  err "Wrong file format.\n"
wrong_format_decimal_comma: like wrong_format_word_count
  file bad "2\nA 0,5 0\nB 0.5 0\n"
wrong_format_overflow: like wrong_format_word_count
  file bad "1\nA 1e39\n"
wrong_format_point_without_fraction: like wrong_format_word_count
  file bad "1\nA 1.\n"
wrong_format_point_without_integer: like wrong_format_word_count
  file bad "1\nA .5\n"
wrong_format_count_beyond_32_bits: like wrong_format_word_count
  file bad "4294967296\n"
wrong_format_label_of_two_words: like wrong_format_word_count
  file bad "2\nHomo sapiens 0 1\nB 1 0\n"
# Text glued to a row's last number, in each layout.
wrong_format_glued_comma: like wrong_format_word_count
  file bad "2\nA 0 0,5\nB 0.5 0\n"
wrong_format_glued_second_point: like wrong_format_word_count
  file bad "2\nA 0\n0.25.3\nB 0.25 0\n"
wrong_format_glued_hexadecimal: like wrong_format_word_count
  file bad "2\nA 0 8\nB 8 0x1p3\n"
wrong_format_glued_letters_at_the_end: like wrong_format_word_count
  file bad "1\nA 1.5abc"
wrong_format_phylip_glued_comma: karvel -p -R good.phy bad good.phy
  file good.phy " 1\nAbcdefghij0\n"
  file bad "2\nA         0 0,5\nB         0.5 0\n"
  status 1
  out "Abcdefghij\t 0.00000E+00\n"
  err "Wrong file format.\n"
wrong_format_phylip_glued_hexadecimal: like wrong_format_phylip_glued_comma
  file bad "2\nA         0 1\nB         1 0x1p3\n"
wrong_format_tsv_glued_second_point: karvel -t -R good.tsv bad good.tsv
  file good.tsv "\tA\nA\t0\n"
  file bad "\tA\tB\nA\t0\t0.25.3\nB\t0.25\t0\n"
  status 1
  out "A\t 0.00000E+00\n"
  err "Wrong file format.\n"
wrong_format_tsv_glued_letters: like wrong_format_tsv_glued_second_point
  file bad "\tA\tB\nA\t0\t1\nB\t1\t1.5abc\r\n"

negative_distance: karvel primates.phy
  file primates.phy "3\nA 0 1 1\nB 1 0 1\nC -0.5 1 0\n"
  status 1
  err "karvel: primates.phy:4: range_error: distance -0.5 is negative\n"
taxon_count_zero: karvel count
  file count "\n0\n"
  status 1
  err "karvel: count:2: range_error: taxon count 0 is outside 1 to 5000\n"
taxon_count_5001: karvel big
  file big "5001\n"
  status 1
  err "karvel: big:1: range_error: taxon count 5001 is outside 1 to 5000\n"
tsv_header_without_tabs: karvel -t notabs
  file notabs "A B\nA\t0\n"
  status 1
  err "karvel: notabs:2: range_error: the header line holds 0 tabs; the taxon count must be 1 to 5000\n"
row_too_short: karvel short
  file short "2\nA 0 1\nB 1\n"
  status 1
  err "karvel: short:3: end_of_input: the input ends where a number was expected\n"
neglog_of_one: karvel -l one
  file one "2\nA 0 1\nB 1 0\n"
  status 1
  err "karvel: one:4: range_error: cell (1, 2), D = 1: -log(1-D) of D = 1 is infinite\n"
neglog_above_one: karvel -l above
  file above "2\nA 0 1.5\nB 1.5 0\n"
  status 1
  err "karvel: above:4: argument_error: cell (1, 2), D = 1.5: -log(1-D) is undefined for D above 1\n"
arcsine_above_one: karvel -a four
  file four "2\nA 0 4\nB 4 0\n"
  status 1
  err "karvel: four:4: argument_error: cell (1, 2), D = 4: arcsin(sqrt(D)) is undefined for D above 1\n"
square_overflows: karvel -q huge
  file huge "2\nA 0 2e19\nB 2e19 0\n"
  status 1
  err "karvel: huge:4: range_error: cell (1, 2), D = 2e+19: D^2 overflows single precision\n"
second_matrix_ends_early: karvel twoblank
  file twoblank "1\nA 0\n\n\n5\n"
  status 1
  out " 1\nA\t 0.00000E+00\n"
  err "karvel: twoblank:5: end_of_input: the input ends where a word was expected\n"
# Between tab-separated matrices an empty line is a header of no taxa; a line of tabs alone is
# a header, also after the last matrix; a carriage return on a blank line before a header is
# no number.
tsv_empty_line_between_matrices: karvel -t -R gap.tsv
  file gap.tsv "\tA\nA\t0\n\n\tB\nB\t0\n"
  status 1
  out "A\t 0.00000E+00\n"
  err "karvel: gap.tsv:4: range_error: the header line holds 0 tabs; the taxon count must be 1 to 5000\n"
tsv_line_of_tabs_after_the_last_matrix: karvel -t -R tabs.tsv
  file tabs.tsv "\t\t\nA\t0\t1\nB\t1\t0\n\t\t\n\n"
  out "A\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n"
carriage_return_on_a_blank_line: karvel -R cr
  file cr "1\nA 0\n\n \r\n1\nB 0\n"
  status 1
  out "A\t 0.00000E+00\n"
  err "Wrong file format.\n"
second_matrix_refused: karvel -R mixed
  file mixed "1\nA 0\n2\nB 0 1\nC -1 0\n"
  status 1
  out "A\t 0.00000E+00\n"
  err "karvel: mixed:5: range_error: distance -1 is negative\n"
diagnostic_on_stdin: karvel -
  in "2\nA 0 1\n"
  status 1
  err "karvel: standard input:2: end_of_input: the input ends where a word was expected\n"
