# phylo align: FASTA alignments in, character matrices out; refusals that name the sequence
# and the line. example.fa holds seq1 ACGTACGTACGT and s2 ACGTAC-TACGT.

to_nexus_paup: phylo align --to=nexus-paup
  in @example.fa
  out @example.fa.nexus-paup @paup_chars.trailer
to_nexus_paup_quoted: phylo align --to=nexus-paup-quoted
  in @example.fa
  out @example.fa.nexus-paup-quoted @paup_chars.trailer
to_relaxed_by_default: phylo align
  in @example.fa
  out " 2 12\nseq1 ACGTACGTACGT\ns2 ACGTAC-TACGT\n"
to_relaxed: phylo align -t relaxed
  like to_relaxed_by_default
to_phylip: phylo align --to phylip
  in @example.fa
  out " 2 12\nseq1       ACGTACGTACGT\ns2         ACGTAC-TACGT\n"
# karvel's character layouts: a tab after the label.
to_relaxed_tab: phylo align --to=relaxed-tab
  in @example.fa
  out " 2\t 12\nseq1\tACGTACGTACGT\ns2  \tACGTAC-TACGT\n"
to_phylip_tab: phylo align --to=phylip-tab
  in @example.fa
  out " 2\t 12\nseq1      \tACGTACGTACGT\ns2        \tACGTAC-TACGT\n"
# Labels that tree builders cannot take are made safe, with a warning.
labels_made_safe: phylo align
  in ">Beta gamma\nAC\n>x(1):2\nAG\n"
  out " 2 2\nBeta_gamma AC\nx_1__2 AG\n"
  err "phylo: standard input: warning: the label of taxon 1 ('Beta gamma') holds blanks, control characters or ( ) [ ] : ; , ' that tree builders cannot take, written as 'Beta_gamma'\n"
labels_made_alike: phylo align --to=phylip
  in ">a b\nAC\n>a_b\nAG\n"
  out " 2 2\na_b        AC\na_b        AG\n"
  err "phylo: standard input: warning: the labels of taxa 1 ('a b') and 2 ('a_b') are written alike in this layout, as 'a_b'\nphylo: standard input: warning: the label of taxon 1 ('a b') holds blanks, control characters or ( ) [ ] : ; , ' that tree builders cannot take, written as 'a_b'\n"
gzip_input: phylo align
  in "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xb3\xab\xe0\x72\x74\xe6\xb2\xab\xe4\x72\x74\xe7\x02\x00\x22\x5e\x3f\x94\x0c\x00\x00\x00"
  out " 2 2\nx AC\ny AG\n"
# The same alignment wrapped, with blanks, a carriage return, an empty line and '.' for '-'.
wrapped_lines_and_points: phylo align --to=phylip
  in ">seq1 \r\nACGT ACGT\n\nACGT\n>s2\nACGTAC.T\nACGT\n"
  out " 2 12\nseq1       ACGTACGTACGT\ns2         ACGTAC-TACGT\n"
one_matrix_per_file_and_stdin_by_dash: phylo align a.fa - a.fa
  file a.fa ">x\nAC\n>y\nAG\n"
  in ">z\nT\n"
  out " 2 2\nx AC\ny AG\n 1 1\nz T\n 2 2\nx AC\ny AG\n"

# Every refusal names the input, the line and the sequence; nothing of that input is written.
not_a_nucleotide: phylo align --to=phylip
  in ">a\nACGT\n>b\nACGU\n"
  status 1
  err "phylo: standard input:4: column 4: 'U' in sequence 'b' is not a nucleotide code (A, C, G, T, the IUPAC codes R, Y, M, K, S, W, H, B, V, D, N in either case, '-', '.' or '?')\n"
not_a_nucleotide_after_blanks: phylo align --to=nexus-paup
  in ">a\nACGT\n>b\nAC\n  Ex\n"
  status 1
  err "phylo: standard input:5: column 3: 'E' in sequence 'b' is not a nucleotide code (A, C, G, T, the IUPAC codes R, Y, M, K, S, W, H, B, V, D, N in either case, '-', '.' or '?')\n"
not_a_nucleotide_unprintable: phylo align --to=phylip
  in ">a\nAC\xe9T\n>b\nACGT\n"
  status 1
  err "phylo: standard input:2: column 3: \\xE9 in sequence 'a' is not a nucleotide code (A, C, G, T, the IUPAC codes R, Y, M, K, S, W, H, B, V, D, N in either case, '-', '.' or '?')\n"
not_a_nucleotide_before_the_first_header: phylo align --to=phylip
  in "AXGT\n>a\nACGT\n"
  status 1
  err "phylo: standard input:1: column 2: 'X' in sequence 'a' is not a nucleotide code (A, C, G, T, the IUPAC codes R, Y, M, K, S, W, H, B, V, D, N in either case, '-', '.' or '?')\n"
not_aligned: phylo align --to=nexus-paup
  in ">a\nACGT\n>b\nACG\n>c\nACGT\n"
  status 1
  err "phylo: standard input:3: sequence 'b' has 3 residues, but the first sequence, 'a', has 4: the sequences are not aligned\n"
no_label: phylo align --to=phylip
  in ">a\nACGT\n>\nACGT\n"
  status 1
  err "phylo: standard input:3: sequence 2 has no label (its header line holds '>' alone)\n"
no_label_but_blanks: phylo align --to=phylip
  in ">  \t\nACGT\n"
  status 1
  err "phylo: standard input:1: sequence 1 has no label (its header line holds '>' alone)\n"
no_residues: phylo align --to=phylip
  in ">a\n>b\nACGT\n"
  status 1
  err "phylo: standard input:1: sequence 'a' has no residues\n"
no_residues_at_the_end: phylo align --to=nexus-paup
  in ">a\nACGT\n\n>b\n\n"
  status 1
  err "phylo: standard input:4: sequence 'b' has no residues\n"
no_header: phylo align --to=phylip
  in "ACGT\nACGT\n"
  status 1
  err "phylo: standard input:1: the sequence has no header line ('>' followed by its label)\n"
empty_input: phylo align --to=phylip
  in ""
  status 1
  err "phylo: standard input: holds no sequences\n"
blank_input: phylo align --to=nexus-paup
  in " \n\n"
  status 1
  err "phylo: standard input: holds no sequences\n"
too_many_sequences: phylo align
  in {numbered ">s#\nAC\n" 5001}
  status 1
  err "phylo: standard input:10001: sequence 's5001' is one more than the 5000 sequences allowed\n"

labels_written_alike: phylo align --to=phylip-tab
  in ">Homo sapiens 1\nAC\n>Homo sapiens 2\nAG\n"
  out " 2\t 2\nHomo sapie\tAC\nHomo sapie\tAG\n"
  err "phylo: standard input: warning: the labels of taxa 1 ('Homo sapiens 1') and 2 ('Homo sapiens 2') are written alike in this layout, as 'Homo sapie'\nphylo: standard input: warning: the label of taxon 1 ('Homo sapiens 1') holds blanks, control characters or ( ) [ ] : ; , ' that programs reading this layout take apart\n"
labels_written_alike_quiet: phylo align -q --to=phylip-tab
  like labels_written_alike
  err ""
labels_that_differ_whole: phylo align --to=relaxed-tab
  in ">Homo sapiens 1\nAC\n>Homo sapiens 2\nAG\n"
  out " 2\t 2\nHomo_sapiens_1\tAC\nHomo_sapiens_2\tAG\n"
label_written_as_nothing: phylo align --to=nexus-paup
  in ">(x)\nAC\n>()\nAG\n"
  out "#NEXUS\n\nbegin data;\n\tdimensions ntax= 2 nchar= 2;\n\tformat datatype=nucleotide gap=- missing=?;\n\tmatrix\n[  \t        10]\n[  \t         .]\nx  \tAC\n   \tAG\n" @paup_chars.trailer
  err "phylo: standard input: warning: the label of taxon 2 ('()') is written as an empty label in this layout\n"
label_twice: phylo align
  in ">a\nAC\n>a\nAG\n"
  out " 2 2\na AC\na AG\n"
  err "phylo: standard input: warning: taxa 1 and 2 have the same label 'a'\n"

# At most 2^20 residues.
longest_sequence: phylo align
  in ">a\n" {repeat A 1M} "\n"
  out " 1 1048576\na " {repeat A 1M} "\n"
sequence_too_long: phylo align
  in ">a\n" {repeat A 1048577} "\n"
  status 1
  err "phylo: standard input: the sequences have 1048577 residues; at most 1048576 are allowed\n"

# An output file only when all went well; on standard output the first matrix stays.
output_file_not_made: phylo align -o out.phy @example.fa bad.fa
  file bad.fa ">a\nAC\n>b\nA\n"
  status 1
  err "phylo: bad.fa:3: sequence 'b' has 1 residues, but the first sequence, 'a', has 2: the sequences are not aligned\n"
  ls bad.fa example.fa
first_matrix_stays_on_stdout: phylo align @example.fa bad.fa
  like output_file_not_made
  out " 2 12\nseq1 ACGTACGTACGT\ns2 ACGTAC-TACGT\n"
output_file: phylo align --output=out.phy @example.fa
  after out.phy " 2 12\nseq1 ACGTACGTACGT\ns2 ACGTAC-TACGT\n"

distance_layout: phylo align --to=tsv
  status 2
  err "phylo: align: --to=tsv is not one of relaxed, phylip, relaxed-tab, phylip-tab, nexus-paup, nexus-paup-quoted\nTry 'phylo align --help' for more information.\n"
unknown_option: phylo align --frobnicate
  status 2
  err "phylo: align: unknown option '--frobnicate'\nTry 'phylo align --help' for more information.\n"
missing_file: phylo align /nonexistent/x.fa
  status 1
  err "phylo: /nonexistent/x.fa: No such file or directory\n"
help: phylo align --help
  out @phylo_align.help
  width 80
help_by_help: phylo help align
  out @phylo_align.help
utf8_label_kept_whole: phylo align
  in ">Pet\xc5\x91\nAC\n>b\nAG\n"
  out " 2 2\nPet\xc5\x91 AC\nb AG\n"

# Residues before the first header belong to no sequence.
residues_before_the_first_header: phylo align
  in "ACGT\n>a\nACGT\n>b\nACGA\n"
  status 1
  err "phylo: standard input:1: residues stand before the first header line ('>' followed by a label)\n"
long_label_cut: phylo align
  in ">" {letters 1M} "\nACG\n>b\nAC\n"
  status 1
  err "phylo: standard input:3: sequence 'b' has 2 residues, but the first sequence, 'abcdefghijklmnopqrstuvwxyzabcdefghijklmn...', has 3: the sequences are not aligned\n"
# A NUL byte is no residue and no part of a label: the input is no text.
nul_in_a_sequence: phylo align
  in ">a\nAC\0GT\n>b\nACGT\n"
  status 1
  err "phylo: standard input:2: NUL byte at line 2, column 3: not a text file\n"
