# phylo convert, and what phylo does before it reaches a command.

lower_triangle_to_relaxed: phylo convert
  in "2\nA\nB 0.25\n"
  out " 2\nA\t 0.00000E+00\t 2.50000E-01\nB\t 2.50000E-01\t 0.00000E+00\n"
square_to_phylip_lower: phylo convert --to=phylip-lower
  in "3\nA 0 1 2\nB 1 0 3\nC 2 3 0\n"
  out " 3\nA         \nB         \t 1.00000E+00\nC         \t 2.00000E+00\t 3.00000E+00\n"
short_options_and_a_transformation: phylo convert -t relaxed-lower -xsquare -
  in "3\nAlpha     \nBeta gamma 1\nC          2 3\n"
  out " 3\nAlpha     \nBeta_gamma\t 1.00000E+00\nC         \t 4.00000E+00\t 9.00000E+00\n"
long_options_and_a_transformation: phylo convert --to relaxed-lower --transform=square
  like short_options_and_a_transformation
to_nexus: phylo convert --to=nexus
  in "2\nA\nO'Brien 0.5\n"
  out "#NEXUS\n\nbegin taxa;\n\tdimensions ntax=2;\n\ttaxlabels\n\t\tA\n\t\t'O''Brien'\n\t;\nend;\n\nbegin distances;\n\tdimensions ntax=2;\n\tformat triangle=lower diagonal labels missing=?;\n\tmatrix\n\t\tA\t0\n\t\t'O''Brien'\t0.5\t0\n\t;\nend;\n"
from_nexus_to_pairs: phylo convert --to=pairs
  in "#NEXUS\nbegin taxa; dimensions ntax=2; taxlabels A 'O''Brien'; end;\nbegin distances; matrix A 0 'O''Brien' 0.5 0; end;\n"
  out "O'Brien\tA\t 5.00000E-01\n"

# An asymmetric matrix: a warning and the matrix as it stands, or quiet, refused, tolerated, made symmetric.
asymmetric_warns: phylo convert --to=tsv
  in "2\nA 0 1\nB 2 0\n"
  out "\tA\tB\nA\t 0.00000E+00\t 1.00000E+00\nB\t 2.00000E+00\t 0.00000E+00\n"
  err "phylo: standard input:1: warning: the matrix is not symmetric: row 2 ('B'), column 1 holds 2, but row 1, column 2 holds 1 (tolerance 0)\n"
# A warning that cannot be written (standard error closed) stops nothing.
asymmetric_warns_to_closed_stderr: like asymmetric_warns
  err closed
asymmetric_quiet: phylo convert -q --to=raw
  in "2\nA 0 1\nB 2 0\n"
  out "A\t 0.00000E+00\t 1.00000E+00\nB\t 2.00000E+00\t 0.00000E+00\n"
asymmetric_refused_by_check: phylo convert --check
  in "2\nA 0 1\nB 2 0\n"
  status 1
  err "phylo: standard input:1: the matrix is not symmetric: row 2 ('B'), column 1 holds 2, but row 1, column 2 holds 1 (tolerance 0)\n"
asymmetric_within_tolerance: phylo convert --check=1 --to=raw
  like asymmetric_quiet
symmetrize_from_the_mean: phylo convert -c --symmetrize=mean --to=raw
  in "2\nA 0 1\nB 2 0\n"
  out "A\t 0.00000E+00\t 1.50000E+00\nB\t 1.50000E+00\t 0.00000E+00\n"
symmetrize_from_the_upper_triangle: phylo convert --symm=upper --to=raw
  in "2\nA 0 1\nB 2 0\n"
  out "A\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n"

labels_that_phylip_writes_alike: phylo convert --check --to=phylip
  in "2\nLambda_longname\nLambda_longer 1\n"
  status 1
  err "phylo: standard input:1: the labels of taxa 1 ('Lambda_longname') and 2 ('Lambda_longer') are written alike in this layout, as 'Lambda_lon'\n"
transformation_fails: phylo convert --transform=neglog
  in "2\nA\nB 1\n"
  status 1
  err "phylo: standard input:1: the transformation fails: cell (1, 2), D = 1: -log(1-D) of D = 1 is infinite\n"
no_matrix: phylo convert
  in "\n\n"
  status 1
  err "phylo: standard input: holds no distance matrix\n"
ambiguous_labels: phylo convert
  in "2\nAlpha_00001\nBetaa_00002 0.1\n"
  status 1
  err "phylo: standard input:1: the rows read both with label words and with 10-character PHYLIP labels, and the two readings differ (label 1 is 'Alpha_00001' or 'Alpha_0000'); say --from=phylip or --from=relaxed\n"
ambiguity_settled: phylo convert --from=relaxed --to=pairs
  in "2\nAlpha_00001\nBetaa_00002 0.1\n"
  out "Betaa_00002\tAlpha_00001\t 1.00000E-01\n"
cut_labels_that_would_be_equal_are_no_reading: phylo convert --to=pairs
  in "2\nSequence_01\nSequence_02 0.1\n"
  out "Sequence_02\tSequence_01\t 1.00000E-01\n"
phangorn_nexus_refused: phylo convert @../producers/phangorn_raw_lower.nex
  status 1
  err "phylo: phangorn_raw_lower.nex:5: TAXLABELS lists more labels than the 12 taxa of NTAX ('Mu' is one too many): a label with a blank inside must be enclosed in single quotes\n"
# With the blank label quoted, the same file is read; an underscore in a bare word is a blank.
phangorn_nexus_with_the_label_quoted: phylo convert --to=tsv phangorn.nex
  file phangorn.nex {replace ../producers/phangorn_raw_lower.nex "Beta gamma" "'Beta gamma'"}
  out @phangorn_raw_lower.quoted.tsv
missing_file: phylo convert /nonexistent/file
  status 1
  err "phylo: /nonexistent/file: No such file or directory\n"
full_disk: phylo convert
  in "1\nA 0\n"
  out full
  status 1
  err "phylo: standard output: write error: No space left on device\n"

# Every well-formed sample converts; each lower triangle gives what its square gives.
sample_dnadist_square: phylo convert --check --to=relaxed @../producers/dnadist_square.dist
  out @dnadist.relaxed
sample_dnadist_lower: phylo convert --check --to=relaxed @../producers/dnadist_lower.dist
  out @dnadist.relaxed
sample_mothur: phylo convert --check --to=relaxed @../producers/mothur_aln12.lt.dist
  out @mothur_aln12.relaxed
sample_clearcut: phylo convert --check --to=relaxed @../producers/clearcut_aln12.dist
  out @clearcut_aln12.relaxed
sample_skbio: phylo convert --check --to=relaxed @../producers/skbio_identity.lsmat
  out @skbio_identity.relaxed
sample_biopython: phylo convert --check --to=relaxed @../producers/biopython_identity.phy
  out @biopython_identity.relaxed
sample_dnadist_square_to_phylip: phylo convert --to=phylip @../producers/dnadist_square.dist
  out @dnadist.phylip
  err "phylo: dnadist_square.dist:1: warning: the label of taxon 2 ('Beta gamma') holds blanks, control characters or ( ) [ ] : ; , ' that programs reading this layout take apart; say --safe-labels to write them as '_'\n"
# Several inputs, standard input among them, are written one after the other.
sample_dnadist_lower_and_stdin_to_phylip: phylo convert --to=phylip @../producers/dnadist_lower.dist -
  in "1\nX 0\n"
  out @dnadist.phylip " 1\nX         \t 0.00000E+00\n"
  err "phylo: dnadist_lower.dist:1: warning: the label of taxon 2 ('Beta gamma') holds blanks, control characters or ( ) [ ] : ; , ' that programs reading this layout take apart; say --safe-labels to write them as '_'\n"

# An output file appears only when every input was converted, and no temporary file is left.
output_file: phylo convert -o out.dist --to=raw
  in "1\nA 0\n"
  after out.dist "A\t 0.00000E+00\n"
  mode out.dist 644
  ls out.dist
output_file_kept_when_an_input_fails: phylo convert --output=out.dist - bad.dist
  file out.dist "A\t 0.00000E+00\n"
  file bad.dist "2\nA 0 1\nB one 0\n"
  in "1\nB 0\n"
  status 1
  err "phylo: bad.dist:3: row 2 ('B') has 0 values where 2 were expected: found 'o' where a distance should be (read with label words as a square matrix, the reading that went furthest)\n"
  after out.dist "A\t 0.00000E+00\n"
  ls bad.dist out.dist
output_file_is_the_input: phylo convert --to=phylip -o out.dist out.dist
  file out.dist "1\nA 0\n"
  after out.dist " 1\nA         \t 0.00000E+00\n"
output_file_is_the_input_that_fails: phylo convert --to=raw -o out.dist --from=tsv out.dist
  file out.dist "A\t 0.00000E+00\n"
  status 1
  err "phylo: out.dist:1: the input ends after 0 of the 1 row (read with tab-separated labels as a square matrix, the reading that went furthest)\n"
  after out.dist "A\t 0.00000E+00\n"
output_file_in_no_folder: phylo convert -o no/such/folder/out
  in "1\nA 0\n"
  status 1
  err "phylo: no/such/folder/out: cannot create a file beside it: No such file or directory\n"
# A closed standard input is not taken by the output file.
output_file_with_stdin_closed: phylo convert -o out
  in closed
  status 1
  err "phylo: standard input: read error: Bad file descriptor\n"
  ls
output_file_name_empty: phylo convert -o ""
  in "1\nA 0\n"
  status 2
  err "phylo: convert: option '-o' needs a value, not an empty one\nTry 'phylo convert --help' for more information.\n"
output_file_value_empty: phylo convert --output=
  in "1\nA 0\n"
  status 2
  err "phylo: convert: option '--output' needs a value, not an empty one\nTry 'phylo convert --help' for more information.\n"
output_file_name_of_a_folder: phylo convert -o dir/
  in "1\nA 0\n"
  status 1
  err "phylo: dir/: names a folder, not a file\n"
# A file that is replaced keeps its mode, owner and group; a link's target is replaced beside the target; a
# FIFO or a device is written where it stands; a folder and a write-protected file are refused.
output_file_keeps_its_mode: phylo convert -o out.dist
  file out.dist "old"
  chmod out.dist 600
  in "1\nA 0\n"
  after out.dist " 1\nA\t 0.00000E+00\n"
  mode out.dist 600
output_file_keeps_its_owner: phylo convert -o out.dist
  file out.dist "old"
  chown out.dist 1:2
  in "1\nA 0\n"
  after out.dist " 1\nA\t 0.00000E+00\n"
  owner out.dist 1:2
output_through_a_link: phylo convert -o link
  file real "old"
  link link real
  in "1\nA 0\n"
  after real " 1\nA\t 0.00000E+00\n"
  ls link real
output_through_a_dangling_link: phylo convert -o link
  link link nothing
  in "1\nA 0\n"
  status 1
  err "phylo: link: No such file or directory\n"
output_through_a_link_to_another_folder: phylo convert -o link
  file dir/real "old"
  link link dir/real
  in "1\nA 0\n"
  after dir/real " 1\nA\t 0.00000E+00\n"
  ls dir link
output_to_a_fifo: phylo convert -o fifo
  fifo fifo
  in "1\nA 0\n"
  after fifo " 1\nA\t 0.00000E+00\n"
  ls fifo
output_to_a_device: phylo convert -o /dev/null
  in "1\nA 0\n"
  ls
output_to_a_folder: phylo convert -o dir
  folder dir
  in "1\nA 0\n"
  status 1
  err "phylo: dir: is a folder\n"
  ls dir
output_file_write_protected: phylo convert -o out.dist
  unless root
  file out.dist "old"
  chmod out.dist 444
  in "1\nA 0\n"
  status 1
  err "phylo: out.dist: Permission denied\n"
  after out.dist "old"
  ls out.dist
output_file_of_the_longest_name: phylo convert -o xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx
  in "1\nA 0\n"
  after xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx " 1\nA\t 0.00000E+00\n"
  ls xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx
# A signal that ends the run removes the temporary file and ends the run as it would have.
output_file_removed_on_SIGTERM: phylo convert -o out.dist
  file out.dist "old"
  in pipe "2\nA 0 1\n"
  kill SIGTERM
  status SIGTERM
  after out.dist "old"
  ls out.dist
output_file_removed_on_SIGINT: like output_file_removed_on_SIGTERM
  kill SIGINT
  status SIGINT
output_file_removed_on_SIGHUP: like output_file_removed_on_SIGTERM
  kill SIGHUP
  status SIGHUP

# Mistakes in the command line.
unknown_option: phylo convert --frm=x
  status 2
  err "phylo: convert: unknown option '--frm'\nTry 'phylo convert --help' for more information.\n"
unknown_layout: phylo convert --to=fasta
  status 2
  err "phylo: convert: --to=fasta is not one of relaxed, phylip, tsv, nexus-paup, nexus-paup-quoted, pairs, raw, phylip-lower, relaxed-lower, nexus, csv, pairs-header, mega\nTry 'phylo convert --help' for more information.\n"
missing_value: phylo convert -o
  status 2
  err "phylo: convert: option '-o' needs a value\nTry 'phylo convert --help' for more information.\n"
value_given_to_a_flag: phylo convert --quiet=yes
  status 2
  err "phylo: convert: option '--quiet' takes no value\nTry 'phylo convert --help' for more information.\n"
bad_tolerance: phylo convert --check=-1
  status 2
  err "phylo: convert: --check=-1: the tolerance must be a number of at least 0\nTry 'phylo convert --help' for more information.\n"
shape_of_nexus: phylo convert -s square --from=nexus
  status 2
  err "phylo: convert: --shape is for phylip, relaxed and tsv input; a NEXUS matrix states its own shape\nTry 'phylo convert --help' for more information.\n"

no_command: phylo
  status 2
  err @phylo.help
unknown_command: phylo frobnicate
  status 2
  err "phylo: unknown command 'frobnicate'\nTry 'phylo --help' for more information.\n"
version: phylo --version
  out "phylo " {version} "\n"
help: phylo --help
  out @phylo.help
  width 80
# Help and version that cannot be written are failures.
help_to_a_full_disk: phylo --help
  out full
  status 1
  err "phylo: standard output: write error: No space left on device\n"
version_to_a_full_disk: phylo --version
  like help_to_a_full_disk
help_of_convert_to_a_full_disk: phylo convert --help
  like help_to_a_full_disk
help_of_count_to_a_full_disk: phylo count --help
  like help_to_a_full_disk
count_to_a_full_disk: phylo count quartets 5
  like help_to_a_full_disk
help_of_convert: phylo convert --help
  out @phylo_convert.help
  width 80
help_of_convert_by_help: phylo help convert
  out @phylo_convert.help
help_of_convert_short: phylo convert -h
  out @phylo_convert.help
help_short: phylo -h
  out @phylo.help
help_by_help: phylo help
  out @phylo.help
help_of_an_unknown_command: phylo help frobnicate
  status 2
  err "phylo: unknown command 'frobnicate'\n"
version_short: phylo -V
  out "phylo " {version} "\n"
ambiguous_option: phylo convert --s=x
  status 2
  err "phylo: convert: option '--s' is ambiguous\nTry 'phylo convert --help' for more information.\n"
# After "--" a word that begins with a dash is a file; flags may be grouped.
file_after_double_dash: phylo convert -qc --to=raw -- -x.dist
  file -x.dist "1\nA 0\n"
  out "A\t 0.00000E+00\n"
shape_given: phylo convert --shape=square
  in "2\nA\nB 0.25\n"
  status 1
  err "phylo: standard input:3: row 1 ('A') has 0 values where 2 were expected: found 'B' where a distance should be (read with label words as a square matrix, the reading that went furthest)\n"

# An input that does not fit in memory.
out_of_memory: phylo convert big
  file big {matrix 5000 x}
  limit 40M
  status 1
  err "phylo: big: a matrix of 5000 taxa needs 96 MiB of memory, but 40 MiB are available\n"

# Standard input through a pipe, larger than the pipe and the input buffer.
stdin_through_a_pipe: phylo convert -q
  in pipe {matrix 400 x}
  out {matrix 400 E}

# Files that real programs wrote (tests/data/producers/README.md names each command), read
# with --from=auto: every file of one matrix gives that matrix.
producer_r_write_csv: phylo convert --check --to=csv @../producers/r_write_csv.csv
  out @r_aln12.csv
producer_r_write_table_without_corner: phylo convert --check --to=csv @../producers/r_write_table.tsv
  out @r_aln12.csv
producer_phangorn_labels_with_blanks: phylo convert --check --to=csv @../producers/phangorn_writedist.dist
  out @r_aln12.csv
producer_r_as_table_pairs: phylo convert --check --to=csv @../producers/r_astable_pairs.csv
  out @r_aln12.csv
producer_pandas_pairs: phylo convert --check --to=csv @../producers/pandas_pairs.csv
  out @r_aln12.csv
producer_pandas_quote_all: phylo convert --check --to=csv @../producers/pandas_to_csv_quoted.csv
  out @pandas_quoted.csv
producer_mash_triangle_count_after_a_tab: phylo convert --check --to=csv @../producers/mash_triangle.tsv
  out @mash.csv
producer_mash_corner_cell: phylo convert --check --to=csv @../producers/mash_dist_t.tsv
  out @mash.csv
producer_mash_pairs_with_extra_columns: phylo convert --check --to=csv @../producers/mash_dist_pairs.tsv
  out @mash.csv
producer_quicktree_right_aligned_labels: phylo convert --check --to=csv @../producers/quicktree_aln12.dist
  out @quicktree_aln12.csv
producer_quicktree_gzip: phylo convert --check --to=csv @../producers/quicktree_aln12.dist.gz
  out @quicktree_aln12.csv
producer_gzip_on_standard_input: phylo convert --check --to=csv
  in @../producers/quicktree_aln12.dist.gz
  out @quicktree_aln12.csv
producer_mothur_column_pairs_by_blanks: phylo convert --check --to=csv @../producers/mothur_aln12.column.dist
  out @mothur_column.csv
producer_fastani_percent_identity: phylo convert --similarity=percent --symmetrize=mean --to=pairs-header --digits=5 @../producers/fastani_pairs.txt
  out @fastani.pairs-header
  err "phylo: fastani_pairs.txt:1: warning: the diagonal is not zero: taxon 1 ('Alpha.fa') is at 0.004699707 from itself\n"

# NEXUS as other programs write it: phangorn's write.nexus.dist (two FORMAT commands, both
# triangles; an underscore is a blank), NCL's NEXUSnormalizer (TITLE, LINK, missing cells as '?'),
# interleaved matrices in the layout that NCL reads (each block lists the rows that have cells in
# it, a row whose diagonal falls in a block as its label alone), and NCL's rewrite of them.
producer_phangorn_nexus_two_format_commands: phylo convert --check --to=csv @../producers/phangorn_nexus_nodiagonal.nex
  out {replace r_aln12.csv Lambda_longname "Lambda longname"}
producer_phangorn_nexus_both_triangles: phylo convert --check --to=csv @../producers/phangorn_nexus_both.nex
  out {replace r_aln12.csv Lambda_longname "Lambda longname"}
nexus_interleaved_as_ncl_reads_it: phylo convert --check --to=csv @aln12_interleaved.nex
  out @aln12_interleaved.csv
producer_ncl_normalizer_of_the_interleaved_matrices: phylo convert --check --to=csv @../producers/ncl_normalizer_aln12.nex
  out @aln12_interleaved.csv
producer_ncl_missing_cell_refused: phylo convert @../producers/ncl_normalizer_missing.nex
  status 1
  err "phylo: ncl_normalizer_missing.nex:14: the distance between 'Gamma' and 'Alpha' is missing ('?'); say --fill=NUMBER to give it a value\n"
producer_ncl_missing_cell_filled: phylo convert --fill=1 --to=csv @../producers/ncl_normalizer_missing.nex
  out ",Alpha,Beta gamma,Gamma,Delta\nAlpha,0,0.25,1,0.125\nBeta gamma,0.25,0,0.5,0.75\nGamma,1,0.5,0,1.5\nDelta,0.125,0.75,1.5,0\n"
# SplitsTree's dialect: labels=left, labels=no, "no diagonal", the count in the DISTANCES block
# without a TAXA block, row numbers in comments, a comment after END.
splitstree_labels_left: phylo convert --to=csv
  in "#nexus\n\nBEGIN Distances;\nDIMENSIONS ntax=3;\nFORMAT labels=left diagonal triangle=both;\nMATRIX\n[1] 'a'    0.0 0.5 1.0\n[2] 'b c'  0.5 0.0 1.5\n[3] 'd'    1.0 1.5 0.0\n;\nEND; [Distances]\n"
  out ",a,b c,d\na,0,0.5,1\nb c,0.5,0,1.5\nd,1,1.5,0\n"
splitstree_no_labels_no_diagonal_upper: phylo convert --to=csv
  in "#nexus\nBEGIN Taxa;\nDIMENSIONS ntax=3;\nTAXLABELS\n[1] 'a'\n[2] 'b c'\n[3] 'd'\n;\nEND; [Taxa]\n\nBEGIN Distances;\nDIMENSIONS ntax=3;\nFORMAT labels=no no diagonal triangle=upper;\nMATRIX\n 0.5 1.0\n       1.5\n\n;\nEND; [Distances]\n"
  out ",a,b c,d\na,0,0.5,1\nb c,0.5,0,1.5\nd,1,1.5,0\n"
splitstree_labels_right_refused: phylo convert
  in "#nexus\nBEGIN Distances;\nDIMENSIONS ntax=2;\nFORMAT labels=right;\n"
  status 1
  err "phylo: standard input:4: LABELS=RIGHT (labels after the distances) is not read; the labels must stand on the left\n"
# Interleaved, with old Mac line ends; a block that lacks a row; a missing cell filled.
nexus_interleaved_upper_with_cr_line_ends: phylo convert --to=csv
  in "#NEXUS\rbegin distances; dimensions ntax=3; format triangle=upper nodiagonal interleave;\rmatrix\rA 1\rB\r\rA 2\rB 3\rC\r;\rend;\r"
  out ",A,B,C\nA,0,1,2\nB,1,0,3\nC,2,3,0\n"
nexus_interleaved_block_lacks_a_row: phylo convert
  in "#NEXUS\nbegin taxa; dimensions ntax=3; taxlabels A B C; end;\nbegin distances; format interleave;\nmatrix\nA 0\nB 1 0\n\nB\nC 3 0\n;\nend;\n"
  status 1
  err "phylo: standard input:5: the block of the interleaved matrix that begins on line 5 has no line for row 'C', which should give the distance between 'C' and 'A'\n"
# NEXUS may end its lines in carriage returns alone.
nexus_cr_line_ends: phylo convert --to=csv
  in "#NEXUS\rbegin distances; dimensions ntax=2; format triangle=both;\rmatrix\rA 0 1\rB 1 0\r;\rend;\r"
  out ",A,B\nA,0,1\nB,1,0\n"
nexus_cr_line_ends_to_a_tree: phylo tree
  in "#NEXUS\rbegin distances; dimensions ntax=3; format triangle=both;\rmatrix\rA 0 3 4\rB 3 0 5\rC 4 5 0\r;\rend;\r"
  out "(A:1,B:2,C:3);\n"
nexus_missing_cell_filled: phylo convert --fill=0.5 --to=csv
  in "#NEXUS\nbegin distances; dimensions ntax=2; format triangle=both missing=-;\nmatrix\nA 0 -\nB 1 0\n;\nend;\n"
  out ",A,B\nA,0,0.5\nB,1,0\n"
  err "phylo: standard input:2: warning: the matrix is not symmetric: row 2 ('B'), column 1 holds 1, but row 1, column 2 holds 0.5 (tolerance 0)\n"

# scikit-bio's lsmat as its reader takes it: '#' comment lines and lines of blanks before the
# header, blank lines among the rows, blanks around labels and values in their cells; mash's
# "#query" corner cell stays a header.
skbio_comments_and_blanks: phylo convert --to=csv
  in "# written by hand\n      \t \t \n #another\n\n\ta\t b \tc\na  \t0.0\t 0.01 \t4.2\n     \t\nb\t0.01\t0.0\t12.0\n\n\t     \t\nc\t4.2\t12.0\t0.0\n\n   \t \n\t\t\t\n "
  out ",a,b,c\na,0,0.01,4.2\nb,0.01,0,12\nc,4.2,12,0\n"
skbio_comments_before_a_csv_header: phylo convert --to=pairs
  in "# comma-separated\n,a,b\na,0,0.5\nb,0.5,0\n"
  out "b\ta\t 5.00000E-01\n"
comment_then_a_corner_cell_of_mash: phylo convert --to=pairs
  in "# not a header\n#query\ta\tb\na\t0\t0.5\nb\t0.5\t0\n"
  status 1
  err "phylo: standard input:1: cannot tell the layout: the first line is neither a taxon count (PHYLIP), a header line of labels (tab-separated or CSV), a pair of labels and their distance, nor #NEXUS; say --from=phylip, relaxed, tsv, nexus, csv, pairs or mega\n"
producer_skbio_blanks_around_a_label: phylo convert --to=csv @../producers/skbio_blank_ids.lsmat
  out ",Alpha,Beta gamma,C\nAlpha,0,0.5,1.25\nBeta gamma,0.5,0,2\nC,1.25,2,0\n"
tsv_label_cell_of_blanks: phylo convert
  in "\ta\tb\na\t0\t1\n  \t1\t0\n"
  status 1
  err "phylo: standard input:3: row 2 has no label: its first cell holds nothing but blanks (read with tab-separated labels as a square matrix, the reading that went furthest)\n"
# ... so that a label with a blank at one end is written to a tab-separated layout with a warning.
tsv_label_with_a_blank_at_one_end_warned: phylo convert --to=tsv
  in "#NEXUS\nbegin distances; dimensions ntax=2; matrix\n' A' 0\nB 1 0;\nend;\n"
  out "\t A\tB\n A\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n"
  err "phylo: standard input:2: warning: the label of taxon 1 (' A') begins or ends with a blank, which readers of this layout drop; say --safe-labels to write them as '_'\n"
# A header must name the rows in their order (after the blanks around its cells are dropped).
tsv_header_in_another_order: phylo convert
  in "\ta\tb\tc\nb\t0\t1\t2\na\t1\t0\t3\nc\t2\t3\t0\n"
  status 1
  err "phylo: standard input:1: row 1 is labelled 'b', but the header names 'a' in column 1: the header must name the rows in their order\n"
tsv_header_in_another_order_read_streaming: phylo convert
  in "\ta\tb\tc\td\na\t0\t1\t2\t3\nb\t1\t0\t4\t5\nc\t2\t4\t0\t6\nD\t3\t5\t6\t0\n"
  status 1
  err "phylo: standard input:1: row 4 is labelled 'D', but the header names 'd' in column 4: the header must name the rows in their order\n"
tsv_header_without_corner_in_another_order: phylo convert
  in "a\tb\nb\t0\t1\na\t1\t0\n"
  status 1
  err "phylo: standard input:1: row 1 is labelled 'b', but the header names 'a' in column 1: the header must name the rows in their order\n"
# A quote in a header that holds its line end: the fields counted with quotes are not the labels
# between the tabs (once read past the end of the labels).
tsv_header_quote_holding_a_line_end: phylo convert --from=tsv
  in "\"az\n \"\t "
  status 1
  err "phylo: standard input:1: the header line's quotes hold a tab or a line end; tab-separated labels are read as they stand, quotes and all\n"
tsv_header_of_a_lower_triangle_in_another_order: phylo convert
  in "\ta\tb\nb\na\t1\n"
  status 1
  err "phylo: standard input:1: row 1 is labelled 'b', but the header names 'a' in column 1: the header must name the rows in their order\n"
csv_header_in_another_order: phylo convert
  in ",a,b,c\na,0,1,2\nc,1,0,3\nb,2,3,0\n"
  status 1
  err "phylo: standard input:1: row 2 is labelled 'c', but the header names 'b' in column 2: the header must name the rows in their order\n"
csv_header_with_blanks_and_quotes: phylo convert --to=pairs
  in "\"\", a ,\"b\" \n\"a\",0,1\n b ,1,0\n"
  out "b\ta\t 1.00000E+00\n"
# R's write.csv on Windows: every label quoted, and each line ended by a carriage return and a
# line feed, the carriage return right after a closing quote.
csv_quoted_with_crlf: phylo convert --to=pairs
  in "\"\",\"a\",\"b c\"\r\n\"a\",0,0.5\r\n\"b c\",0.5,0\r\n"
  out "b c\ta\t 5.00000E-01\n"

# PHYLIP labels that hold blanks in a later row, when the first rows read alike with label words
# and with 10-character labels: the readings that agree stay open, and the row that only one of
# them reads decides, in every shape and with rows continued on further lines; a message names
# the reading that went furthest only when none reads the row.
phylip_label_with_blanks_in_a_later_row: phylo convert --to=csv
  in "    4\nAlpha     0.0 0.5 0.7 0.4\nBeta      0.5 0.0 0.2 0.3\nGamma     0.7 0.2 0.0 0.6\nDelta Eps 0.4 0.3 0.6 0.0\n"
  out ",Alpha,Beta,Gamma,Delta Eps\nAlpha,0,0.5,0.7,0.4\nBeta,0.5,0,0.2,0.3\nGamma,0.7,0.2,0,0.6\nDelta Eps,0.4,0.3,0.6,0\n"
phylip_label_with_blanks_in_a_later_row_of_a_lower_triangle: phylo convert --to=csv
  in "    6\nMouse     \nBovine      1.7043\nLemur       2.0235  1.1901\nTarsier     2.1378  1.3287  1.2905\nSquir Monk  1.5232  1.2423  1.3199  1.7878\nJpn Macaq   1.8261  1.2508  1.3887  1.3137\n  1.0642\n"
  out ",Mouse,Bovine,Lemur,Tarsier,Squir Monk,Jpn Macaq\nMouse,0,1.7043,2.0235,2.1378,1.5232,1.8261\nBovine,1.7043,0,1.1901,1.3287,1.2423,1.2508\nLemur,2.0235,1.1901,0,1.2905,1.3199,1.3887\nTarsier,2.1378,1.3287,1.2905,0,1.7878,1.3137\nSquir Monk,1.5232,1.2423,1.3199,1.7878,0,1.0642\nJpn Macaq,1.8261,1.2508,1.3887,1.3137,1.0642,0\n"
phylip_label_with_blanks_in_a_later_row_continued: phylo convert --to=csv
  in "    5\nAlpha     0.0 0.5 0.7\n0.4 0.1\nBeta      0.5 0.0 0.2\n0.3 0.2\nGamma     0.7 0.2 0.0\n0.6 0.3\nDelta Eps 0.4 0.3 0.6\n0.0 0.4\nE         0.1 0.2 0.3\n0.4 0\n"
  out ",Alpha,Beta,Gamma,Delta Eps,E\nAlpha,0,0.5,0.7,0.4,0.1\nBeta,0.5,0,0.2,0.3,0.2\nGamma,0.7,0.2,0,0.6,0.3\nDelta Eps,0.4,0.3,0.6,0,0.4\nE,0.1,0.2,0.3,0.4,0\n"
phylip_label_with_blanks_in_the_last_row_of_an_upper_triangle: phylo convert --to=csv
  in "    4\nAlpha     0.5 0.7 0.4\nBeta      0.2 0.3\nGamma     0.6\nDelta Eps \n"
  out ",Alpha,Beta,Gamma,Delta Eps\nAlpha,0,0.5,0.7,0.4\nBeta,0.5,0,0.2,0.3\nGamma,0.7,0.2,0,0.6\nDelta Eps,0.4,0.3,0.6,0\n"
label_with_blanks_longer_than_ten_in_a_later_row: phylo convert --to=csv
  in "    4\nAlpha 0.0 0.5 0.7 0.4\nBeta 0.5 0.0 0.2 0.3\nGamma 0.7 0.2 0.0 0.6\nDelta Epsilon 0.4 0.3 0.6 0.0\n"
  out ",Alpha,Beta,Gamma,Delta Epsilon\nAlpha,0,0.5,0.7,0.4\nBeta,0.5,0,0.2,0.3\nGamma,0.7,0.2,0,0.6\nDelta Epsilon,0.4,0.3,0.6,0\n"
# Labels with blanks told by the number of values read every row of a square matrix, a label
# longer than 10 characters among them.
rows_that_only_labels_with_blanks_read_all: phylo convert --to=csv
  in "    5\nAlpha     0.0 0.5 0.7 0.4 0.1\nBeta      0.5 0.0 0.2 0.3 0.2\nGamma     0.7 0.2 0.0 0.6 0.3\nDelta Eps 0.4 0.3 0.6 0.0 0.4\nEpsilon_long 0.1 0.2 0.3 0.4 0\n"
  out ",Alpha,Beta,Gamma,Delta Eps,Epsilon_long\nAlpha,0,0.5,0.7,0.4,0.1\nBeta,0.5,0,0.2,0.3,0.2\nGamma,0.7,0.2,0,0.6,0.3\nDelta Eps,0.4,0.3,0.6,0,0.4\nEpsilon_long,0.1,0.2,0.3,0.4,0\n"
# Once the readings part, the one that is left goes on alone: a later row it cannot read is
# refused, though the reading dropped would have read it.
phylip_label_then_a_label_word_too_long: phylo convert
  in "    5\nAlpha     \nBeta      0.5\nGamma     0.7 0.2\nDelta Eps 0.4 0.3 0.6\nEpsilon_long 0.1 0.2 0.3 0.4\n"
  status 1
  err "phylo: standard input:6: row 5 ('Epsilon_lo') has 0 values where 4 were expected: found 'n' where a distance should be (read with 10-character PHYLIP labels as a lower triangle without diagonal, the reading that went furthest)\n"
phylip_later_row_that_no_reading_reads: phylo convert
  in "    4\nAlpha     0.0 0.5 0.7 0.4\nBeta      0.5 0.0 0.2 0.3\nGamma     0.7 0.2 0.0 0.6\nDelta Epsilon 0.4 x 0.6 0.0\n"
  status 1
  err "phylo: standard input:5: row 4 ('Delta Epsilon') has 1 values where 4 were expected: found 'x' where a distance should be (read with labels with blanks as a square matrix, the reading that went furthest)\n"
phylip_later_row_read_as_phylip_when_asked: phylo convert --from=phylip --to=csv
  in "    4\nAlpha     0.0 0.5 0.7 0.4\nBeta      0.5 0.0 0.2 0.3\nGamma     0.7 0.2 0.0 0.6\nDelta Eps 0.4 0.3 0.6 0.0\n"
  out ",Alpha,Beta,Gamma,Delta Eps\nAlpha,0,0.5,0.7,0.4\nBeta,0.5,0,0.2,0.3\nGamma,0.7,0.2,0,0.6\nDelta Eps,0.4,0.3,0.6,0\n"
phylip_later_row_refused_as_relaxed: phylo convert --from=relaxed --shape=lower
  in "    5\nAlpha     \nBeta      0.5\nGamma     0.7 0.2\nDelta Eps 0.4 0.3 0.6\nE 1 2 3 4\n"
  status 1
  err "phylo: standard input:5: row 4 ('Delta') has 0 values where 3 were expected: found 'E' where a distance should be\n"

# Pairs: a missing pair, filled; one pair twice; another column; CSV quoting and lengths.
pairs_missing: phylo convert
  in "a\tb\t0.1\na\tc\t0.2\n"
  status 1
  err "phylo: standard input:1: no line gives the pair ('b', 'c'); say --fill=NUMBER to give it a value\n"
pairs_missing_filled: phylo convert --fill=9 --to=csv
  in "a\tb\t0.1\na\tc\t0.2\n"
  out ",a,b,c\na,0,0.1,0.2\nb,0.1,0,9\nc,0.2,9,0\n"
pairs_given_twice: phylo convert
  in "a b 0.1\na b 0.2\n"
  status 1
  err "phylo: standard input:1: the pair ('a', 'b') is given twice, as 0.1 and 0.2\n"
pairs_both_orders_differ_is_an_asymmetry: phylo convert --to=csv
  in "a,b,0.1\nb,a,0.2\n"
  out ",a,b\na,0,0.1\nb,0.2,0\n"
  err "phylo: standard input:1: warning: the matrix is not symmetric: row 2 ('b'), column 1 holds 0.2, but row 1, column 2 holds 0.1 (tolerance 0)\n"
pairs_column_and_header: phylo convert --from=pairs --column=4 --to=csv
  in "x,y,d,s\na,b,1,0.5\n"
  out ",a,b\na,0,0.5\nb,0.5,0\n"
pairs_no_distance: phylo convert --from=pairs
  in "a\tb\t0.1\na\tc\tNA\n"
  status 1
  err "phylo: standard input:2: 'NA' in field 3 is no distance\n"
# Only the first line may be a header: the line after it must hold a distance.
pairs_no_distance_after_the_header: phylo convert --from=pairs
  in "from\tto\tdist\nx\ty\tzz\na\tb\t0.5\n"
  status 1
  err "phylo: standard input:2: 'zz' in field 3 is no distance\n"
csv_short_row: phylo convert
  in ",a,b\na,0,1\nb,1\n"
  status 1
  err "phylo: standard input:3: row 2 ('b') has 1 values where 2 were expected\n"
csv_quoted_comma_is_no_number: phylo convert
  in ",a,b\na,0,\"1,5\"\nb,1,0\n"
  status 1
  err "phylo: standard input:2: row 1 ('a'): '1,5' is no distance\n"
csv_quotes_kept_and_taxa_kept_in_order: phylo convert --to=csv "--taxa=b \"q\",a"
  in ",a,\"b \"\"q\"\"\"\na,0,1\n\"b \"\"q\"\"\",1,0\n"
  out ",\"b \"\"q\"\"\",a\n\"b \"\"q\"\"\",0,1\na,1,0\n"
taxa_unknown: phylo convert --taxa=a,z
  in ",a,b\na,0,1\nb,1,0\n"
  status 1
  err "phylo: standard input:1: the matrix has no taxon 'z'\n"
taxa_from_a_file: phylo convert --taxa-file=keep.txt --to=pairs-header --digits=1
  file keep.txt "c\na\n"
  in "3\na 0 1 2\nb 1 0 3\nc 2 3 0\n"
  out "taxon1\ttaxon2\tdistance\nc\ta\t2\n"
similarity_above_the_top: phylo convert --similarity=fraction
  in "2\na 1 0.5\nb 1.5 1\n"
  status 1
  err "phylo: standard input:1: cell (2, 1) holds 1.5, above the largest similarity 1\n"
gzip_corrupt: phylo convert
  in "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\xff\xff\xff"
  status 1
  err "phylo: standard input: the gzip data is corrupt (invalid block type)\n"
gzip_cut_short: phylo convert
  in "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03abc"
  status 1
  err "phylo: standard input: the gzip data ends early\n"
layout_not_recognised: phylo convert
  in "Alpha 0 1\n"
  status 1
  err "phylo: standard input:1: cannot tell the layout: the first line is neither a taxon count (PHYLIP), a header line of labels (tab-separated or CSV), a pair of labels and their distance, nor #NEXUS; say --from=phylip, relaxed, tsv, nexus, csv, pairs or mega\n"

# UTF-8 labels: bytes from 128 on are label characters (C3 91 is Ñ, C5 91 is ő).
utf8_labels_relaxed: phylo convert --to=tsv
  in "2\n\xc3\x91and\xc3\xba 0 1\nPet\xc5\x91 1 0\n"
  out "\t\xc3\x91and\xc3\xba\tPet\xc5\x91\n\xc3\x91and\xc3\xba\t 0.00000E+00\t 1.00000E+00\nPet\xc5\x91\t 1.00000E+00\t 0.00000E+00\n"
utf8_labels_tsv_to_nexus_quoted: phylo convert --to=nexus
  in "\t\xc3\x91and\xc3\xba\tPet\xc5\x91\n\xc3\x91and\xc3\xba\t0\t1\nPet\xc5\x91\t1\t0\n"
  out "#NEXUS\n\nbegin taxa;\n\tdimensions ntax=2;\n\ttaxlabels\n\t\t'\xc3\x91and\xc3\xba'\n\t\t'Pet\xc5\x91'\n\t;\nend;\n\nbegin distances;\n\tdimensions ntax=2;\n\tformat triangle=lower diagonal labels missing=?;\n\tmatrix\n\t\t'\xc3\x91and\xc3\xba'\t0\n\t\t'Pet\xc5\x91'\t1\t0\n\t;\nend;\n"
utf8_label_cut_by_phylip: phylo convert --to=phylip
  in "1\nabcdefghi\xc3\x91x 0\n"
  out " 1\nabcdefghi\xc3\t 0.00000E+00\n"
  err "phylo: standard input:1: warning: the label of taxon 1 ('abcdefghi\xc3\x91x') is cut inside a UTF-8 character at 10 bytes\n"
unsafe_labels_warned: phylo convert --to=relaxed
  in "2\nx(1) 0 1\ny 1 0\n"
  out " 2\nx(1)\t 0.00000E+00\t 1.00000E+00\ny   \t 1.00000E+00\t 0.00000E+00\n"
  err "phylo: standard input:1: warning: the label of taxon 1 ('x(1)') holds blanks, control characters or ( ) [ ] : ; , ' that programs reading this layout take apart; say --safe-labels to write them as '_'\n"
# A CSV cell may hold a tab or a line end; a layout that cannot hold it refuses the matrix
# (even with -q), CSV quotes it, --safe-labels writes it as '_'.
label_with_line_end_refused: phylo convert -q --from=csv --to=tsv
  in ",\"a\nb\",c\td\n\"a\nb\",0,1\nc\td,1,0\n"
  status 1
  err "phylo: standard input:1: the label of taxon 1 ('a\\x0Ab') holds a tab or a line end, which this layout cannot hold; say --safe-labels to write them as '_'\n"
label_with_tab_refused_by_pairs: phylo convert --from=csv --to=pairs
  in ",a,c\td\na,0,1\nc\td,1,0\n"
  status 1
  err "phylo: standard input:1: the label of taxon 2 ('c\\x09d') holds a tab or a line end, which this layout cannot hold; say --safe-labels to write them as '_'\n"
label_with_carriage_return_refused_by_relaxed: phylo convert --to=relaxed
  in "#NEXUS\nbegin distances; dimensions ntax=2; format triangle=lower; matrix a 0 'c\rd' 1 0; end;\n"
  status 1
  err "phylo: standard input:2: the label of taxon 2 ('c\\x0Dd') holds a line end, which this layout cannot hold; say --safe-labels to write them as '_'\n"
label_of_blanks_alone_refused_by_tsv: phylo convert --to=tsv
  in "#NEXUS\nbegin distances; dimensions ntax=1; format triangle=lower; matrix '  ' 0; end;\n"
  status 1
  err "phylo: standard input:2: the label of taxon 1 ('  ') holds nothing but blanks, which readers of this layout take for no label; say --safe-labels to write them as '_'\n"
nexus_empty_label_refused: phylo convert --to=csv
  in "#NEXUS\nbegin taxa; dimensions ntax=2; taxlabels '' b; end;\n"
  status 1
  err "phylo: standard input:2: TAXLABELS holds an empty label ''\n"
nexus_empty_row_label_refused: phylo convert --to=csv
  in "#NEXUS\nbegin distances; dimensions ntax=2; format triangle=lower; matrix\na 0\n'' 1 0; end;\n"
  status 1
  err "phylo: standard input:4: row 2 of the matrix has an empty label ''\n"
label_with_line_end_quoted_in_csv: phylo convert --from=csv --to=csv
  in ",\"a\nb\",c\n\"a\nb\",0,1\nc,1,0\n"
  out ",\"a\nb\",c\n\"a\nb\",0,1\nc,1,0\n"
label_with_line_end_made_safe: phylo convert --safe-labels --from=csv --to=tsv
  in ",\"a\nb\",c\td\n\"a\nb\",0,1\nc\td,1,0\n"
  out "\ta_b\tc_d\na_b\t 0.00000E+00\t 1.00000E+00\nc_d\t 1.00000E+00\t 0.00000E+00\n"
unsafe_labels_made_safe_and_equal: phylo convert --check --safe-labels --to=phylip
  in "2\nx(1) 0 1\nx_1_ 1 0\n"
  status 1
  err "phylo: standard input:1: taxa 1 and 2 have the same label 'x_1_'\n"

# MEGA distance files: comments (nested), commands, labels after '#', either triangle.
mega_lower_left: phylo convert --to=csv
  in "#mega\n!Title: three taxa;\n!Format DataType=Distance DataFormat=LowerLeft NTaxa=3;\n[ a [nested] comment ]\n[1] #Alpha\n[2] #Beta_gamma\n[3] #C\n\n[        1       2 ]\n[1]\n[2]   0.5\n[3]   1.25    2\n"
  out ",Alpha,Beta_gamma,C\nAlpha,0,0.5,1.25\nBeta_gamma,0.5,0,2\nC,1.25,2,0\n"
mega_upper_right: phylo convert --from=mega --to=csv
  in "#MEGA\n!Format DataType=distance DataFormat=upperright;\n#Alpha\n#Beta_gamma\n#C\n#D\n0.5 1.25 3\n2 4\n5\n"
  out ",Alpha,Beta_gamma,C,D\nAlpha,0,0.5,1.25,3\nBeta_gamma,0.5,0,2,4\nC,1.25,2,0,5\nD,3,4,5,0\n"
mega_written_and_read_back: phylo convert --to=mega
  in "3\nAlpha 0 0.5 1.25\nBeta_gamma 0.5 0 2\nC 1.25 2 0\n"
  out "#mega\n!Title: distances;\n!Format DataType=Distance DataFormat=LowerLeft NTaxa=3;\n\n#Alpha\n#Beta_gamma\n#C\n\n0.5\n1.25 2\n"
mega_counts_disagree: phylo convert
  in "#mega\n!Format DataType=Distance NTaxa=3;\n#A\n#B\n#C\n0.5 1.25\n"
  status 1
  err "phylo: standard input:6: the file holds 2 distances; 3 taxa need 3\n"
taxa_file_missing: phylo convert --taxa-file=none.txt
  in "1\nA 0\n"
  status 1
  err "phylo: none.txt: No such file or directory\n"
csv_quoted_field_unterminated: phylo convert --from=csv
  in ",a\n\"a,0\n"
  status 1
  err "phylo: standard input:2: the input ends in a quoted field\n"
# The taxon count cannot change once the labels are known.
nexus_ntax_raised_after_taxlabels: phylo convert
  in "#NEXUS\nbegin distances;\ndimensions ntax=2;\ntaxlabels a b;\ndimensions ntax=3;\nformat triangle=lower nolabels;\nmatrix\n0\n1 0\n2 3 0\n;\nend;\n"
  status 1
  err "phylo: standard input:5: DIMENSIONS NTAX=3 after TAXLABELS changes the number of taxa from 2\n"
nexus_ntax_lowered_in_the_taxa_block: phylo convert
  in "#NEXUS\nbegin taxa;\ndimensions ntax=2;\ntaxlabels a b;\ndimensions ntax=1;\nend;\n"
  status 1
  err "phylo: standard input:5: DIMENSIONS NTAX=1 after TAXLABELS changes the number of taxa from 2\n"

# NEXUS texts one after the other, as several matrices are written: each has its own taxa.
nexus_texts_one_after_another: phylo convert --to=pairs
  in "#NEXUS\nbegin taxa; dimensions ntax=2; taxlabels A B; end;\nbegin distances; format nolabels; matrix 0 1 0;\nend;\n#NEXUS\nbegin distances; dimensions ntax=2; matrix C 0 D 2 0;\nend;\n"
  out "B\tA\t 1.00000E+00\nD\tC\t 2.00000E+00\n"
nexus_texts_one_after_another_taxa_not_shared: phylo convert --to=pairs
  in "#NEXUS\nbegin taxa; dimensions ntax=2; taxlabels A B; end;\n#NEXUS\nbegin distances; format nolabels; matrix 0 1 0;\nend;\n"
  status 1
  err "phylo: standard input:4: the matrix has no taxon count: neither DIMENSIONS NTAX= nor a TAXA block gives one\n"

# Rows that could be misread.
tsv_row_without_a_label: phylo convert
  in "\tA\tB\nA\t0\t1\n\t1\t0\n"
  status 1
  err "phylo: standard input:3: row 2 has no label: its line begins with a tab (read with tab-separated labels as a square matrix, the reading that went furthest)\n"
# A count after a tab, as quicktree writes it, with CR LF line ends; a label with a blank at one
# end is quoted in CSV.
count_after_a_tab_with_crlf: phylo convert --to=pairs
  in "\t2\r\nA 0 1\r\nB 1 0\r\n"
  out "B\tA\t 1.00000E+00\n"
csv_label_with_a_blank_at_one_end: phylo convert -q --to=csv
  in "#NEXUS\nbegin distances; dimensions ntax=2; matrix\n' A' 0\nB 1 0;\nend;\n"
  out ",\" A\",B\n\" A\",0,1\nB,1,0\n"
# No text that phylo reads holds a NUL byte: it is refused wherever it stands, in every layout.
count_followed_by_a_nul: phylo convert
  in "2\0\nA 0 1\nB 1 0\n"
  status 1
  err "phylo: standard input:1: NUL byte at line 1, column 2: not a text file\n"
nul_in_a_label: phylo convert --from=tsv
  in "\ta\0b\tc\na\0b\t0 1\nc\t1 0\n"
  status 1
  err "phylo: standard input:1: NUL byte at line 1, column 3: not a text file\n"
nul_after_a_megabyte: phylo convert --to=pairs @ab.tsv -
  in {repeat "\n" 1M} "\0"
  out "Beta gamma\tAlpha\t 2.50000E-01\n"
  status 1
  err "phylo: standard input:1048577: NUL byte at line 1048577, column 1: not a text file\n"
# A tab-separated label is its whole cell, as a list of pairs may have given it.
tsv_label_with_control_characters: phylo convert -q --to=tsv
  in "a\x01\x02b\tc\t0.5\n"
  out "\ta\x01\x02b\tc\na\x01\x02b\t 0.00000E+00\t 5.00000E-01\nc\t 5.00000E-01\t 0.00000E+00\n"
tsv_label_with_control_characters_read_back: phylo convert --from=tsv --to=pairs
  in "\ta\x01\x02b\tc\na\x01\x02b\t 0.00000E+00\t 5.00000E-01\nc\t 5.00000E-01\t 0.00000E+00\n"
  out "c\ta\x01\x02b\t 5.00000E-01\n"
phylip_label_padded_before_a_number: phylo convert --from=phylip
  in "2\nSample 1  0.0 0.1\nSample 2  0.1 0.0\n"
  out " 2\nSample_1\t 0.00000E+00\t 1.00000E-01\nSample_2\t 1.00000E-01\t 0.00000E+00\n"
phylip_label_padded_recognised: phylo convert
  in "2\nSample 1  0.0 0.1\nSample 2  0.1 0.0\n"
  out " 2\nSample_1\t 0.00000E+00\t 1.00000E-01\nSample_2\t 1.00000E-01\t 0.00000E+00\n"
# Messages show control characters escaped and quote long labels cut.
control_characters_escaped: phylo convert
  in "2\nA\x1b[31m\x07\r 0 x\nB 1 0\n"
  status 1
  err "phylo: standard input:2: row 1 ('A\\x1B[31m\\x07\\x0D 0') has 0 values where 2 were expected: found 'x' where a distance should be (read with 10-character PHYLIP labels as a square matrix, the reading that went furthest)\n"
long_label_cut: phylo convert -c
  in "2\n" {letters 1M} " 0 1\n" {letters 1M} " 1 0\n"
  status 1
  err "phylo: standard input:1: taxa 1 and 2 have the same label 'abcdefghijklmnopqrstuvwxyzabcdefghijklmn...'\n"
carriage_return_line_ends: phylo convert
  in "2\rA 0 1\rB 1 0\r"
  status 1
  err "phylo: standard input:1: the line ends are carriage returns alone (CR); the lines must end in a line feed (LF or CR LF)\n"
carriage_return_line_ends_of_nexus: phylo convert --to=pairs
  in "#NEXUS\rbegin distances; dimensions ntax=2; matrix\rA 0\rB 1 0;\rend;\r"
  out "B\tA\t 1.00000E+00\n"
# A long run of blanks before a matrix is not held in memory: 64 MiB of blanks, and a bound
# above what AddressSanitizer takes for itself (38 MiB on some machines) but below the blanks.
blank_run_before_a_matrix: phylo convert -q --to=pairs
  in {repeat " " 64M} "2\nA 0 1\nB 1 0\n"
  out "B\tA\t 1.00000E+00\n"
  rss 48M
# ... nor one after it, whose end is still looked for; blanks that end the input are nothing.
blank_run_after_a_matrix: phylo convert --to=pairs
  in "2\nA 0 1\nB 1 0\n" {repeat "\n" 64M}
  out "B\tA\t 1.00000E+00\n"
  rss 48M
blank_run_after_a_matrix_then_text: phylo convert --to=pairs
  in "2\nA 0 1\nB 1 0\n" {repeat " \n" 1M} "junk\n"
  status 1
  err "phylo: standard input:1048580: after the 2 rows comes 'junk', which is neither a row nor the start of another matrix\n"
blanks_without_a_line_end_after_a_matrix: phylo convert --to=pairs
  in "2\nA 0 1\nB 1 0\n  \t"
  out "B\tA\t 1.00000E+00\n"
# Of several pairs of labels that the layout writes alike, the first is named, once.
labels_alike_named_once: phylo convert --from=tsv
  in "\ta b\ta_b\tc d\tc_d\na b\t0 1 1 1\na_b\t1 0 1 1\nc d\t1 1 0 1\nc_d\t1 1 1 0\n"
  out " 4\na_b\t 0.00000E+00\t 1.00000E+00\t 1.00000E+00\t 1.00000E+00\na_b\t 1.00000E+00\t 0.00000E+00\t 1.00000E+00\t 1.00000E+00\nc_d\t 1.00000E+00\t 1.00000E+00\t 0.00000E+00\t 1.00000E+00\nc_d\t 1.00000E+00\t 1.00000E+00\t 1.00000E+00\t 0.00000E+00\n"
  err "phylo: standard input:1: warning: the labels of taxa 1 ('a b') and 2 ('a_b') are written alike in this layout, as 'a_b'\n"
# A refusal names the option that settles it; options out of their range.
shape_undecided_says_which: phylo convert
  in "2\nA 0 1\nB 1\n0\n"
  status 1
  err "phylo: standard input:1: the rows fit both a square matrix and an upper triangle with diagonal, and the two readings differ (cell (2, 2) is 0 or 1); say --shape=square or --shape=upper-diagonal\n"
shape_for_csv: phylo convert --from=csv --shape=lower
  status 2
  err "phylo: convert: --shape is for phylip, relaxed and tsv input; csv, pairs and mega input have their own shape\nTry 'phylo convert --help' for more information.\n"
fill_negative: phylo convert --fill=-1
  status 2
  err "phylo: convert: --fill=-1: expected a number of at least 0\nTry 'phylo convert --help' for more information.\n"
