# phylo dist: distances from FASTA alignments and character matrices, compared with values
# worked out by hand.

# Each metric on the rows of its worked values.
manhattan: phylo dist --kind=quant --metric=manhattan -t pairs
  in "2 3\nt1 1 2 3\nt2 2 2 5\n"
  out "t2\tt1\t 1.00000E+00\n"
euclidean: phylo dist --kind=quant --metric=euclidean -t pairs
  in "2 3\nt1 1 2 3\nt2 2 2 5\n"
  out "t2\tt1\t 1.29099E+00\n"
euclidean_by_default: phylo dist --kind=quant -t pairs
  like euclidean
canberra: phylo dist --kind=quant --metric=canberra -t pairs
  in "2 3\nt1 1 2 3\nt2 2 2 5\n"
  out "t2\tt1\t 1.94444E-01\n"
chord_orthogonal: phylo dist --kind=quant --metric=chord -t pairs
  in "2 2\nt1 1 0\nt2 0 1\n"
  out "t2\tt1\t 1.41421E+00\n"
chord_parallel: phylo dist --kind=quant --metric=chord -t pairs
  in "2 2\nt1 1 0\nt2 2 0\n"
  out "t2\tt1\t 0.00000E+00\n"
pearson_correlated: phylo dist --kind=quant --metric=pearson -t pairs
  in "2 3\nt1 1 2 3\nt2 2 4 6\n"
  out "t2\tt1\t 0.00000E+00\n"
pearson_anticorrelated: phylo dist --kind=quant --metric=pearson -t pairs
  in "2 3\nt1 1 2 3\nt2 3 2 1\n"
  out "t2\tt1\t 1.00000E+00\n"
std_euclidean_skips_a_constant_character: phylo dist --kind=quant --metric=std-euclidean -t pairs
  in "2 2\nt1 0 1\nt2 2 1\n"
  out "t2\tt1\t 1.41421E+00\n"
euclidean_missing: phylo dist --kind=quant --metric=euclidean-missing -t pairs
  in "2 3\nt1 1 -1 3\nt2 2 5 3\n"
  out "t2\tt1\t 7.07107E-01\n"
discrete: phylo dist --kind=discrete
  in "2 4\nt1 ACGT\nt2 ACGA\n"
  out " 2\nt1\t 0.00000E+00\t 2.50000E-01\nt2\t 2.50000E-01\t 0.00000E+00\n"
discrete_blanks_and_a_wrapped_row: phylo dist --kind=discrete
  like discrete
  in "2 4\nt1 A C G T\nt2 A\tC G\n A\n"
discrete_question_marks: phylo dist --kind=discrete -t pairs
  in "2 2\nt1 A?\nt2 A?\n"
  out "t2\tt1\t 0.00000E+00\n"
bray_curtis: phylo dist --kind=count --metric=bray-curtis -t pairs
  in "2 3\nt1 1 2 3\nt2 2 2 5\n"
  out "t2\tt1\t 2.00000E-01\n"
bray_curtis_by_default: phylo dist --kind=count -t pairs
  like bray_curtis
edgar_equal: phylo dist --kind=count --metric=edgar -t pairs
  in "2 3\nt1 1 2 3\nt2 2 2 5\n"
  out "t2\tt1\t 0.00000E+00\n"
edgar: phylo dist --kind=count --metric=edgar -t pairs
  in "2 2\nt1 4 0\nt2 1 3\n"
  out "t2\tt1\t 7.50000E-01\n"

# Distances that are not numbers, or square roots of negatives, are refused.
chord_of_a_row_of_zeros: phylo dist -k quant -m chord
  in "2 2\nt1 0 0\nt2 1 1\n"
  status 1
  err "phylo: standard input:1: the chord distances cannot be computed: the distance of taxa 1 and 2 is undefined: no length (the values of taxon 1 are all 0)\n"
std_euclidean_of_a_variance_out_of_range: phylo dist -k quant -m std-euclidean
  in "2 2\nt1 1 1e19\nt2 2 1e19\n"
  status 1
  err "phylo: standard input:1: the std-euclidean distances cannot be computed: the variance of character 2 is -inf\n"
pearson_of_a_constant_row: phylo dist -k quant -m pearson
  in "2 3\nt1 2 2 2\nt2 1 2 3\n"
  status 1
  err "phylo: standard input:1: the pearson distances cannot be computed: the distance of taxa 1 and 2 is undefined: no variance (the values of taxon 1 are all equal)\n"
euclidean_missing_without_a_common_character: phylo dist -k quant -m euclidean-missing
  in "2 2\nt1 1 -1\nt2 -1 1\n"
  status 1
  err "phylo: standard input:1: the euclidean-missing distances cannot be computed: the distance of taxa 1 and 2 is undefined: no character that both taxa have\n"
canberra_of_opposites: phylo dist -k quant -m canberra
  in "2 1\nt1 1\nt2 -1\n"
  status 1
  err "phylo: standard input:1: the canberra distances cannot be computed: a CANBERRA sum leaves 0.0 to 3.40282347e38\n"
bray_curtis_of_zeros: phylo dist -k count -m bray-curtis
  in "2 2\nt1 0 0\nt2 0 0\n"
  status 1
  err "phylo: standard input:1: the bray-curtis distances cannot be computed: the distance of taxa 1 and 2 is undefined: no counts (both taxa have only zeros)\n"
edgar_of_a_row_of_zeros: phylo dist -k count -m edgar
  in "2 2\nt1 0 0\nt2 1 1\n"
  status 1
  err "phylo: standard input:1: the edgar distances cannot be computed: the distance of taxa 1 and 2 is undefined: no counts (the counts of taxon 1 are all 0)\n"

# One taxon gives one zero for every kind and metric.
one_taxon_euclidean: phylo dist --kind=quant --metric=euclidean
  in "1 3\nonly 1 2 3\n"
  out " 1\nonly\t 0.00000E+00\n"
one_taxon_pearson: phylo dist --kind=quant --metric=pearson
  like one_taxon_euclidean
one_taxon_edgar: phylo dist --kind=count --metric=edgar
  like one_taxon_euclidean
one_taxon_discrete: phylo dist --kind=discrete
  like one_taxon_euclidean

# A metric that does not fit the kind is refused before any input is opened.
count_metric_for_quant: phylo dist --kind=quant --metric=bray-curtis /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --metric=bray-curtis is for count data; quant data take euclidean, std-euclidean, chord, canberra, manhattan, pearson, euclidean-missing\nTry 'phylo dist --help' for more information.\n"
quant_metric_for_count: phylo dist --kind=count --metric=euclidean /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --metric=euclidean is for quant data; count data take bray-curtis, edgar\nTry 'phylo dist --help' for more information.\n"
metric_for_discrete: phylo dist --kind=discrete --metric=manhattan /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --metric=manhattan: discrete matrices always give the proportion of differing symbols; metrics are for --kind=quant or --kind=count\nTry 'phylo dist --help' for more information.\n"
metric_for_fasta: phylo dist --kind=fasta --metric=edgar /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --metric=edgar: metrics are for --kind=quant or --kind=count; FASTA alignments take --model\nTry 'phylo dist --help' for more information.\n"
gaps_for_quant: phylo dist --kind=quant --gaps=complete /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --gaps is for FASTA alignments; quant matrices take --metric\nTry 'phylo dist --help' for more information.\n"
model_for_discrete: phylo dist -M jc69 --kind=discrete /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --model is for FASTA alignments; discrete matrices take --metric\nTry 'phylo dist --help' for more information.\n"
model_with_gaps_counted: phylo dist --gaps=count --model=k2p /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --gaps=count compares every symbol and gives --model=p or count only, not --model=k2p\nTry 'phylo dist --help' for more information.\n"
unknown_model: phylo dist --model=gtr /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --model=gtr is not one of p, count, jc69, k80, k2p, k81, f81, f84, t92, tn93, logdet, poisson, kimura, jtt, wag, lg, dayhoff, blosum62\nTry 'phylo dist --help' for more information.\n"
no_threads: phylo dist --threads=0 /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --threads=0 is not a number of threads from 1 to 4096\nTry 'phylo dist --help' for more information.\n"
undefined_negative: phylo dist -u -1 /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --undefined=-1 is neither refuse nor a number of 0 or more\nTry 'phylo dist --help' for more information.\n"
undefined_infinite: phylo dist --undefined=inf /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --undefined=inf is neither refuse nor a number of 0 or more\nTry 'phylo dist --help' for more information.\n"
metric_without_kind: phylo dist --metric=chord /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --metric=chord needs --kind=quant\nTry 'phylo dist --help' for more information.\n"
unknown_metric: phylo dist --metric=hamming --kind=quant /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --metric=hamming is not one of euclidean, std-euclidean, chord, canberra, manhattan, bray-curtis, edgar, pearson, euclidean-missing\nTry 'phylo dist --help' for more information.\n"
layout_without_kind: phylo dist --layout=phylip /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --layout is for character matrices: give --kind=discrete, quant or count\nTry 'phylo dist --help' for more information.\n"
layout_for_fasta: phylo dist --kind=fasta --layout=relaxed /nonexistent/matrix.txt
  like layout_without_kind
unknown_kind: phylo dist --kind=dna /nonexistent/matrix.txt
  status 2
  err "phylo: dist: --kind=dna is not one of fasta, discrete, quant, count\nTry 'phylo dist --help' for more information.\n"

# An alignment whose two sequences differ at one site of four, in every layout of phylo convert.
fasta_to_phylip: phylo dist --to=phylip @ab.fa
  out @ab.tsv.phylip
  err "phylo: ab.fa: warning: the label of taxon 2 ('Beta gamma') holds blanks, control characters or ( ) [ ] : ; , ' that programs reading this layout take apart; say --safe-labels to write them as '_'\n"
fasta_to_phylip_safe_labels: phylo dist --safe-labels --to=phylip-lower @ab.fa
  out " 2\nAlpha     \nBeta_gamma\t 2.50000E-01\n"
fasta_to_relaxed: phylo dist --to=relaxed @ab.fa
  out @ab.tsv.relaxed
fasta_to_tsv: phylo dist --to=tsv @ab.fa
  out @ab.tsv.tsv
fasta_to_nexus_paup: phylo dist --to=nexus-paup @ab.fa
  out @ab.tsv.nexus-paup @paup.trailer
fasta_to_nexus_paup_quoted: phylo dist --to=nexus-paup-quoted @ab.fa
  out @ab.tsv.nexus-paup-quoted @paup.trailer
fasta_to_pairs: phylo dist --to=pairs @ab.fa
  out @ab.tsv.pairs
fasta_to_raw: phylo dist --to=raw @ab.fa
  out @ab.tsv.raw
fasta_to_phylip_lower: phylo dist --to=phylip-lower @ab.fa
  out " 2\nAlpha     \nBeta gamma\t 2.50000E-01\n"
  err "phylo: ab.fa: warning: the label of taxon 2 ('Beta gamma') holds blanks, control characters or ( ) [ ] : ; , ' that programs reading this layout take apart; say --safe-labels to write them as '_'\n"
fasta_to_relaxed_lower: phylo dist --to=relaxed-lower @ab.fa
  out " 2\nAlpha     \nBeta_gamma\t 2.50000E-01\n"
fasta_to_nexus: phylo dist --to=nexus @ab.fa
  out "#NEXUS\n\nbegin taxa;\n\tdimensions ntax=2;\n\ttaxlabels\n\t\tAlpha\n\t\t'Beta gamma'\n\t;\nend;\n\nbegin distances;\n\tdimensions ntax=2;\n\tformat triangle=lower diagonal labels missing=?;\n\tmatrix\n\t\tAlpha\t0\n\t\t'Beta gamma'\t0.25\t0\n\t;\nend;\n"
# The transformation comes after the distances: sqrt(0.25) = 0.5.
fasta_transformed: phylo dist --transform=sqrt --to=pairs @ab.fa
  out "Beta gamma\tAlpha\t 5.00000E-01\n"
fasta_named: phylo dist --kind=fasta --to=pairs @ab.fa
  out @ab.tsv.pairs

# p-distances of the 12-taxon sample over 60 columns with --gaps=count, gaps counted as
# symbols. Counted by hand: Beta gamma-Alpha 8 (columns 5 12 16 25 32 35 43 45), Delta-Alpha
# 15 (three of them in Delta's gap, columns 11 to 13), Theta-Delta 13 (their common gap does
# not differ), Lambda_longname-Kappa 13, Mu-Alpha 8. By default Delta's gap leaves three
# columns out of its pairs: 12 of 57 differ from Alpha.
sample_alignment_counting_gaps: phylo dist --gaps=count --to=pairs @../producers/aln12.fasta
  out @aln12.gaps-count.pairs
sample_alignment: phylo dist --to=pairs @../producers/aln12.fasta
  out @aln12.pairs

# FASTA alignments: case never matters, the model and the gap rule choose the distance, and a
# pair that the model leaves undefined is refused with its names, or written as asked. The
# values and the undefined pairs are those of ape's dist.dna.
case_folded_gaps_left_out: phylo dist --to=pairs
  in ">a\nACGTNACGTA\n>b\nacgt-acgtc\n"
  out "b\ta\t 1.11111E-01\n"
gaps_counted: phylo dist --to=pairs --gaps=count
  like case_folded_gaps_left_out
  out "b\ta\t 2.00000E-01\n"
gaps_counted_model_count: phylo dist --to=pairs -g count -M count
  like case_folded_gaps_left_out
  out "b\ta\t 2.00000E+00\n"
jc69: phylo dist --to=pairs --model=jc69
  like case_folded_gaps_left_out
  out "b\ta\t 1.20257E-01\n"
jc69_undefined_refused: phylo dist --to=pairs --model=jc69 --undefined=refuse --threads=3
  in ">a\nACGTAC\n>b\nTGCAAC\n>c\nAC----\n"
  status 1
  err "phylo: standard input: the jc69 distance is undefined for 1 pair: 'b' and 'c' differ at 2 of 2 sites, too many for the model (--undefined=NUMBER writes a number in their place)\n"
jc69_undefined_written: phylo dist --to=pairs --model=jc69 --undefined=10
  in ">a\nACGTAC\n>b\nTGCAAC\n>c\nAC----\n"
  out "b\ta\t 1.64792E+00\nc\ta\t 0.00000E+00\nc\tb\t 1.00000E+01\n"
  err "phylo: standard input: warning: the jc69 distance is undefined for 1 pair, written as 10\n"
jc69_undefined_written_quiet: phylo dist --to=pairs --model=jc69 --undefined=10 -q
  like jc69_undefined_written
  err ""
logdet_singular: phylo dist --to=pairs --model=logdet --gaps=complete
  in ">a\nACGTAC\n>b\nTGCAAC\n>c\nAC----\n>d\nAC----\n"
  status 1
  err "phylo: standard input: the logdet distance is undefined for 6 pairs: 'a' and 'b' (differing at 2 of 2 sites): their table of base pairs is singular; 'a' and 'c' (differing at 0 of 2 sites): their table of base pairs is singular; 'b' and 'c' (differing at 2 of 2 sites): their table of base pairs is singular; and 3 more (--undefined=NUMBER writes a number in their place)\n"
tn93_without_g: phylo dist --to=pairs --model=tn93
  in ">a\nACTTAC\n>b\nACTAAC\n"
  status 1
  err "phylo: standard input: the tn93 distance is undefined for 1 pair: the alignment lacks one of the bases A, C, G and T (--undefined=NUMBER writes a number in their place)\n"

# PHYLIP labels are 10 characters; the blanks that pad them are dropped.
phylip_layout: phylo dist -k discrete -l phylip
  in "2 4\nalpha     ACGT\n  beta    A-?N\n"
  out " 2\nalpha\t 0.00000E+00\t 7.50000E-01\nbeta \t 7.50000E-01\t 0.00000E+00\n"
commented_layout: phylo dist -k count --layout=commented
  in "2 3\nt1 [note] 1 2 3\nt2 [] 2 2 5\n"
  out " 2\nt1\t 0.00000E+00\t 2.00000E-01\nt2\t 2.00000E-01\t 0.00000E+00\n"
# Two matrices, no line end after the last row.
two_matrices: phylo dist -k quant -m manhattan -t pairs
  in "2 1\na 1\nb 2\n\n2 1\nc 0\nd 0.5"
  out "b\ta\t 1.00000E+00\nd\tc\t 5.00000E-01\n"

# Labels that the layout writes alike: a warning, or none with -q.
labels_written_alike: phylo dist -k quant --to=phylip
  in "2 2\nLambda_longname 1 2\nLambda_longer 1 3\n"
  out " 2\nLambda_lon\t 0.00000E+00\t 7.07107E-01\nLambda_lon\t 7.07107E-01\t 0.00000E+00\n"
  err "phylo: standard input:1: warning: the labels of taxa 1 ('Lambda_longname') and 2 ('Lambda_longer') are written alike in this layout, as 'Lambda_lon'\n"
labels_written_alike_quiet: phylo dist -q -k quant --to=phylip
  like labels_written_alike
  err ""

# Bad input gives messages with the line.
matrix_without_kind: phylo dist
  in "2 2\nt1 A C\n"
  status 1
  err "phylo: standard input: is not a FASTA alignment (it does not begin with '>'); for a character matrix give --kind=discrete, quant or count\n"
negative_count: phylo dist -k count
  in "2 3\nt1 0 1 -1\nt2 1 1 1\n"
  status 1
  err "phylo: standard input:2: count -1 of taxon 1, character 3 is negative\n"
not_a_number: phylo dist -k quant
  in "2 3\nt1 0 1 x\nt2 1 1 1\n"
  status 1
  err "phylo: standard input:2: expected a number, found 'x'\n"
no_taxa: phylo dist -k quant
  in "\n0 3\n"
  status 1
  err "phylo: standard input:2: taxon count 0 is outside 1 to 5000\n"
matrix_ends_early: phylo dist -k quant
  in "2 2\nt1 1 1\n"
  status 1
  err "phylo: standard input:2: the input ends inside the matrix that begins on line 1 (the input ends where a word was expected)\n"
header_announces_more_than_the_text_holds: phylo dist -k quant
  in "5000 1048576\nt1 0 1 1\n"
  status 1
  err "phylo: standard input:1: the header announces 5000 taxa of 1048576 characters, more than the text holds\n"
# A text as long as the cells that its header announces could still hold them.
text_as_long_as_its_cells: phylo dist -k discrete
  in "2 6\nt1 ACGT\n"
  status 1
  err "phylo: standard input:2: the input ends inside the matrix that begins on line 1 (the input ends after 4 of 6 symbols of a row)\n"
blank_phylip_label: phylo dist -k discrete -l phylip
  in "2 1\n          A\nb         C\n"
  status 1
  err "phylo: standard input:1: taxon 1 has no label: its first 10 characters are blank\n"
no_matrix: phylo dist -k discrete
  in ""
  status 1
  err "phylo: standard input: holds no character matrix\n"
fasta_not_aligned: phylo dist
  in ">a\nACGT\n>b\nACG\n"
  status 1
  err "phylo: standard input:3: sequence 'b' has 3 residues, but the first sequence, 'a', has 4: the sequences are not aligned\n"
transformation_fails: phylo dist -x neglog
  in ">a\nAC\n>b\nGT\n"
  status 1
  err "phylo: standard input: the transformation fails: cell (1, 2), D = 1: -log(1-D) of D = 1 is infinite\n"

help: phylo dist --help
  out @phylo_dist.help
  width 80

# Without --kind, a text that holds no '>' is no FASTA alignment, even an empty one.
empty_input_without_kind: phylo dist
  in " \n"
  status 1
  err "phylo: standard input: is not a FASTA alignment (it does not begin with '>'); for a character matrix give --kind=discrete, quant or count\n"

# A discrete row that ends before its symbols does not take in the next row.
discrete_row_short: phylo dist -k discrete
  in "3 4\na ACG\nb ACGT\nc ACGT\nd ACGT\n"
  status 1
  err "phylo: standard input:3: row 1 ('a') ends after 3 of its 4 symbols (a row goes on over a line that begins with a blank)\n"
fasta_residues_before_the_first_header: phylo dist -k fasta
  in "\nACGT\n>a\nACGT\n>b\nACGA\n"
  status 1
  err "phylo: standard input:2: residues stand before the first header line ('>' followed by a label)\n"
fasta_carriage_return_line_ends: phylo dist
  in ">a\rAC\r>b\rAG\r"
  status 1
  err "phylo: standard input:1: the line ends are carriage returns alone (CR); the lines must end in a line feed (LF or CR LF)\n"
# A NUL byte refuses the input, in an alignment as in a character matrix.
nul_in_a_sequence: phylo dist
  in ">a\nACGT\n>b\0\nACGT\n"
  status 1
  err "phylo: standard input:3: NUL byte at line 3, column 3: not a text file\n"
nul_in_a_character_matrix: phylo dist --kind=discrete
  in "2 2\na 01\nb 1\0\n"
  status 1
  err "phylo: standard input:3: NUL byte at line 3, column 4: not a text file\n"
# A matrix that cannot fit in the memory available is refused before the sequences are read,
# from the input's size (here the address space is limited to 256 MiB).
matrix_too_large_for_memory: phylo dist
  in {numbered ">s#\nACGT\n" 20000}
  limit 256M
  status 1
  err "phylo: standard input: the input holds 20000 sequences: a matrix of 20000 taxa needs 1.5 GiB of memory, but 256 MiB are available; --max-distance writes the close pairs alone and --block=I/K a part of the pairs, without the matrix\n"
# A matrix that the limit leaves room for, but not beside the program itself: the check lets
# it pass, the allocation fails, and the command says so with status 1.
matrix_past_the_memory_check: phylo dist -q
  in {numbered ">s#\nACGT\n" 8180}
  limit 256M
  status 1
  err "phylo: out of memory\n"
# The pairs need no matrix: the same alignment within the same memory.
pairs_need_no_matrix: phylo dist --max-distance=0 --model=count
  in {numbered ">s#\nACGT\n" 20000}
  limit 256M
  out head "s2\ts1\t 0.00000E+00\n"
  status SIGPIPE
pairs_of_a_block_need_no_matrix: phylo dist --block=1/100000000 --model=count
  in {numbered ">s#\nACGT\n" 20000}
  limit 256M
  out {numbered "s#\ts#\t 0.00000E+00\n" 20000} "s2\ts1\t 0.00000E+00\n"

# --max-distance: the lines of --to=pairs (or pairs-header) whose distances are at most the
# bound, the bound included (a p-distance of 9/60 is within 0.15).
max_distance: phylo dist --max-distance=0.15 @../producers/aln12.fasta
  out "Beta gamma\tAlpha\t 1.33333E-01\nGamma\tAlpha\t 1.50000E-01\nZeta\tAlpha\t 1.00000E-01\nZeta\tBeta gamma\t 1.33333E-01\nZeta\tGamma\t 1.50000E-01\nEta\tAlpha\t 1.33333E-01\nEta\tZeta\t 1.00000E-01\nTheta\tAlpha\t 1.40351E-01\nLambda_longname\tAlpha\t 1.00000E-01\nLambda_longname\tBeta gamma\t 1.16667E-01\nLambda_longname\tGamma\t 1.50000E-01\nLambda_longname\tZeta\t 1.00000E-01\nLambda_longname\tEta\t 1.33333E-01\nLambda_longname\tIota\t 1.33333E-01\nMu\tAlpha\t 1.33333E-01\nMu\tZeta\t 1.16667E-01\nMu\tEta\t 1.33333E-01\nMu\tLambda_longname\t 1.33333E-01\n"
max_distance_sparse: phylo dist --max-distance=0.15 --engine=sparse --threads=3 @../producers/aln12.fasta
  like max_distance
max_distance_counted_with_header: phylo dist --max-distance=8 -M count --to=pairs-header -g count @../producers/aln12.fasta
  out "taxon1\ttaxon2\tdistance\nAlpha\tBeta gamma\t8\nAlpha\tZeta\t6\nBeta gamma\tZeta\t8\nAlpha\tEta\t8\nZeta\tEta\t6\nAlpha\tLambda_longname\t6\nBeta gamma\tLambda_longname\t7\nZeta\tLambda_longname\t6\nEta\tLambda_longname\t8\nIota\tLambda_longname\t8\nAlpha\tMu\t8\nZeta\tMu\t7\nEta\tMu\t8\nLambda_longname\tMu\t8\n"
# All pairs within the bound: the text of --to=pairs.
max_distance_every_pair: phylo dist --max-distance=1 @../producers/aln12.fasta
  out @aln12.pairs
# A part: a line for each taxon, then its pairs; the header in part 1 alone.
block_first: phylo dist --block=1/2 --to=pairs-header -M count
  in ">a\nACGT\n>b\nACGA\n>c\nTCGA\n"
  out "taxon1\ttaxon2\tdistance\na\ta\t0\nb\tb\t0\nc\tc\t0\na\tb\t1\n"
block_second: phylo dist --block=2/2 --to=pairs-header -M count
  like block_first
  out "a\ta\t0\nb\tb\t0\nc\tc\t0\na\tc\t2\nb\tc\t1\n"
block_within: phylo dist --block=2/2 --max-distance=1 -M count
  like block_first
  out "a\ta\t 0.00000E+00\nb\tb\t 0.00000E+00\nc\tc\t 0.00000E+00\nc\tb\t 1.00000E+00\n"
block_past_the_pairs: phylo dist --block=3/3 -M count
  in ">a\nACGT\n"
  out "a\ta\t 0.00000E+00\n"
# An undefined pair is refused as without --max-distance, or written as asked when within the bound.
max_distance_undefined_refused: phylo dist --max-distance=1 --model=jc69
  in ">a\nACGTAC\n>b\nTGCAAC\n>c\nAC----\n"
  status 1
  err "phylo: standard input: the jc69 distance is undefined for 1 pair: 'b' and 'c' differ at 2 of 2 sites, too many for the model (--undefined=NUMBER writes a number in their place)\n"
max_distance_undefined_written: phylo dist --max-distance=1 --model=jc69 --undefined=0.5
  like max_distance_undefined_refused
  status 0
  out "c\ta\t 0.00000E+00\nc\tb\t 5.00000E-01\n"
  err "phylo: standard input: warning: the jc69 distance is undefined for 1 pair, written as 0.5\n"
# Mistakes in the options of pairs.
max_distance_negative: phylo dist --max-distance=-1 /nonexistent.fa
  status 2
  err "phylo: dist: --max-distance=-1 is not a number of 0 or more\nTry 'phylo dist --help' for more information.\n"
block_not_a_part: phylo dist --block=4/3 /nonexistent.fa
  status 2
  err "phylo: dist: --block=4/3 is not I/K, part I of K parts with 1 <= I <= K\nTry 'phylo dist --help' for more information.\n"
block_zero: phylo dist --block=0/3 /nonexistent.fa
  like block_not_a_part
  err "phylo: dist: --block=0/3 is not I/K, part I of K parts with 1 <= I <= K\nTry 'phylo dist --help' for more information.\n"
block_no_slash: phylo dist --block=3 /nonexistent.fa
  like block_not_a_part
  err "phylo: dist: --block=3 is not I/K, part I of K parts with 1 <= I <= K\nTry 'phylo dist --help' for more information.\n"
max_distance_square_layout: phylo dist --max-distance=3 --to=tsv /nonexistent.fa
  status 2
  err "phylo: dist: --max-distance writes pairs: --to=pairs or pairs-header, not --to=tsv\nTry 'phylo dist --help' for more information.\n"
block_transformed: phylo dist --block=1/2 --transform=sqrt /nonexistent.fa
  status 2
  err "phylo: dist: --block writes the distances as computed: it takes no --transform\nTry 'phylo dist --help' for more information.\n"
engine_alone: phylo dist --engine=dense /nonexistent.fa
  status 2
  err "phylo: dist: --engine is for --max-distance and --block\nTry 'phylo dist --help' for more information.\n"
engine_sparse_model: phylo dist --engine=sparse --max-distance=1 -M jc69 /nonexistent.fa
  status 2
  err "phylo: dist: --engine=sparse gives --model=p or count only, not --model=jc69\nTry 'phylo dist --help' for more information.\n"
max_distance_for_matrices: phylo dist --kind=quant --max-distance=1 /nonexistent.txt
  status 2
  err "phylo: dist: --max-distance is for FASTA alignments; quant matrices take --metric\nTry 'phylo dist --help' for more information.\n"
# Pairs within the bound with safe labels.
max_distance_safe_labels: phylo dist --max-distance=5 --safe-labels -M count
  in ">a b\nACGT\n>c(d)\nACGA\n"
  out "c_d_\ta_b\t 1.00000E+00\n"
