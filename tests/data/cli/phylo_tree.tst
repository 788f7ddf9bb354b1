# phylo tree: trees from distance matrices and FASTA alignments.

# An additive matrix of four taxa: A and B a cherry, the inner branch of length 0.
nj_additive: phylo tree
  in "4\nA 0 3 4 5\nB 3 0 5 6\nC 4 5 0 7\nD 5 6 7 0\n"
  out "((A:1,B:2):0,C:3,D:4);\n"
bionj_additive: phylo tree --method=bionj
  like nj_additive
upgma: phylo tree -m upgma
  in "4\nA 0 3 4 5\nB 3 0 5 6\nC 4 5 0 7\nD 5 6 7 0\n"
  out "(((A:1.5,B:1.5):0.75,C:2.25):0.75,D:3);\n"
wpgma: phylo tree -m wpgma
  in "4\nA 0 3 4 5\nB 3 0 5 6\nC 4 5 0 7\nD 5 6 7 0\n"
  out "(((A:1.5,B:1.5):0.75,C:2.25):0.875,D:3.125);\n"
five_taxa: phylo tree
  in "5\nA 0 5 9 9 8\nB 5 0 10 10 9\nC 9 10 0 8 7\nD 9 10 8 0 3\nE 8 9 7 3 0\n"
  out "((A:2,B:3):3,C:4,(D:2,E:1):2);\n"
one_taxon: phylo tree
  in "1\nA 0\n"
  out "(A);\n"
two_taxa: phylo tree
  in "2\nA\nB 0.5\n"
  out "(A:0.25,B:0.25);\n"
two_taxa_upgma: phylo tree --method=upgma
  like two_taxa
# Every matrix of every input, one line each (a relaxed label has its blanks as '_').
several_matrices: phylo tree - @ab.dist
  in "2\nA\nB 1\n3\nX 0 1 2\nY 1 0 3\nZ 2 3 0\n"
  out "(A:0.5,B:0.5);\n(X:0,Y:1,Z:2);\n(Alpha:0.125,Beta_gamma:0.125);\n"
digits: phylo tree --digits=2
  in "3\nA 0 0.123456 1\nB 0.123456 0 1\nC 1 1 0\n"
  out "(A:0.062,B:0.062,C:0.94);\n"
# Distances are read as floats and computed on as doubles: 0.1 is 0.100000001490116...
shortest_lengths: phylo tree
  in "3\nA 0 0.1 0.3\nB 0.1 0 0.3\nC 0.3 0.3 0\n"
  out "(A:0.05000000074505806,B:0.05000000074505806,C:0.2500000111758709);\n"

# Labels: quoted with a warning, made safe, or quiet.
quoted_labels: phylo tree
  in "\tO'Brien\tHomo sapiens\tC\nO'Brien\t0\t1\t1\nHomo sapiens\t1\t0\t1\nC\t1\t1\t0\n"
  out "('O''Brien':0.5,'Homo sapiens':0.5,C:0.5);\n"
  err "phylo: standard input:1: warning: 2 labels (the first 'O'Brien') must be quoted in Newick text; ape keeps the quotes in the label and Biopython drops what comes before a doubled quote (--safe-labels writes '_' instead)\n"
one_quoted_label: phylo tree
  in "2\nA\nB(1) 1\n"
  out "(A:0.5,'B(1)':0.5);\n"
  err "phylo: standard input:1: warning: the label 'B(1)' must be quoted in Newick text; ape keeps the quotes in the label and Biopython drops what comes before a doubled quote (--safe-labels writes '_' instead)\n"
quoted_labels_quiet: phylo tree -q
  in "\tO'Brien\tHomo sapiens\tC\nO'Brien\t0\t1\t1\nHomo sapiens\t1\t0\t1\nC\t1\t1\t0\n"
  out "('O''Brien':0.5,'Homo sapiens':0.5,C:0.5);\n"
safe_labels: phylo tree --safe-labels
  in "\tO'Brien\tHomo sapiens\tC\nO'Brien\t0\t1\t1\nHomo sapiens\t1\t0\t1\nC\t1\t1\t0\n"
  out "(O_Brien:0.5,Homo_sapiens:0.5,C:0.5);\n"

# Negative branch lengths kept, made zero, or made zero with the deficit moved to the sibling.
negative_kept: phylo tree
  in "4\nA 0 1 1 1\nB 1 0 9 9\nC 1 9 0 9\nD 1 9 9 0\n"
  out "((A:-3.5,B:4.5):0,C:4.5,D:4.5);\n"
negative_zero: phylo tree --negative=zero
  in "4\nA 0 1 1 1\nB 1 0 9 9\nC 1 9 0 9\nD 1 9 9 0\n"
  out "((A:0,B:4.5):0,C:4.5,D:4.5);\n"
negative_transfer: phylo tree --negative=transfer
  in "4\nA 0 1 1 1\nB 1 0 9 9\nC 1 9 0 9\nD 1 9 9 0\n"
  out "((A:0,B:1):0,C:4.5,D:4.5);\n"
collapse: phylo tree --collapse=0
  in "4\nA 0 3 4 5\nB 3 0 5 6\nC 4 5 0 7\nD 5 6 7 0\n"
  out "(A:1,B:2,C:3,D:4);\n"

# Rooting.
midpoint: phylo tree --root=midpoint
  in "4\nA 0 3 4 5\nB 3 0 5 6\nC 4 5 0 7\nD 5 6 7 0\n"
  out "(D:3.5,((A:1,B:2):0,C:3):0.5);\n"
outgroup: phylo tree --outgroup=D
  in "4\nA 0 3 4 5\nB 3 0 5 6\nC 4 5 0 7\nD 5 6 7 0\n"
  out "(((A:1,B:2):0,C:3):2,D:2);\n"
outgroup_of_two: phylo tree --outgroup=B,A
  in "4\nA 0 3 4 5\nB 3 0 5 6\nC 4 5 0 7\nD 5 6 7 0\n"
  out "((C:3,D:4):0,(A:1,B:2):0);\n"
outgroup_not_a_side: phylo tree --outgroup=A,C
  in "4\nA 0 3 4 5\nB 3 0 5 6\nC 4 5 0 7\nD 5 6 7 0\n"
  status 1
  err "phylo: standard input:1: the outgroup 'A', 'C' is not one side of a branch of the tree\n"
outgroup_unknown: phylo tree --outgroup=A,X
  in "4\nA 0 3 4 5\nB 3 0 5 6\nC 4 5 0 7\nD 5 6 7 0\n"
  status 1
  err "phylo: standard input:1: the tree has no taxon 'X'\n"

# Input options shared with phylo convert.
pairs_with_fill: phylo tree --from=pairs --fill=2
  in "A\tB\t1\nA\tC\t2\n"
  out "(A:0.5,B:0.5,C:1.5);\n"
symmetrized: phylo tree --symmetrize=mean
  in "2\nA 0 1\nB 3 0\n"
  out "(A:1,B:1);\n"
similarities: phylo tree --similarity=percent
  in "2\nA 100 90\nB 90 100\n"
  out "(A:5,B:5);\n"
some_taxa: phylo tree --taxa=C,A
  in "4\nA 0 3 4 5\nB 3 0 5 6\nC 4 5 0 7\nD 5 6 7 0\n"
  out "(C:2,A:2);\n"
lower_triangle: phylo tree
  in "3\nA\nB 1\nC 2 3\n"
  out "(A:0,B:1,C:2);\n"

# FASTA alignments: distances computed in memory (jc69 unless told otherwise).
alignment_p: phylo tree --model=p
  in ">a\nAAAAAAAA\n>b\nAAAAAAAC\n>c\nAAAAAACC\n>d\nCAAAAACC\n"
  out "((a:0.125,b:0):0.125,c:0,d:0.125);\n"
# Every model of phylo dist, with its options: counts of differences, amino acids.
alignment_count: phylo tree --model=count --gaps=count
  in ">a\nAAAAAAAA\n>b\nAAAAAAAC\n>c\nAAAAAACC\n>d\nCAAAAACC\n"
  out "((a:1,b:0):1,c:0,d:1);\n"
alignment_poisson: phylo tree --model=poisson
  in ">a\nMKVLAAGIVWKL\n>b\nMKVLSAGIVWKL\n>c\nMRVLSAGLVWKI\n>d\nMKILSPGLVFRI\n"
  out "((a:0.11853182688355446,b:-0.031520452350378036):0.2524368278682232,c:0.0506310760974884,d:0.48836544156074524);\n"
alignment_jtt_gamma: phylo tree --model=jtt --gamma=0.5 --gamma-categories=2 --method=upgma
  in ">a\nMKVLAAGIVWKL\n>b\nMKVLSAGIVWKL\n>c\nMRVLSAGLVWKI\n>d\nMKILSPGLVFRI\n"
  out "(((a:0.045406512916088104,b:0.045406512916088104):0.14658306539058685,c:0.19198957830667496):0.17723174144824344,d:0.3692213197549184);\n"
alignment_jc69: phylo tree
  in ">a\nACGTACGTAC\n>b\nACGTACGTAA\n"
  out "(a:0.05366281792521477,b:0.05366281792521477);\n"
alignment_undefined: phylo tree
  in ">a\nACGT\n>b\nCATG\n"
  status 1
  err "phylo: standard input: the jc69 distance is undefined for 1 pair, the first 'a' and 'b' (4 of 4 sites differ); a tree needs every distance\n"
alignment_takes_no_matrix_option: phylo tree --shape=lower
  in ">a\nACGT\n>b\nACGA\n"
  status 1
  err "phylo: standard input: is a FASTA alignment; --from, --shape, --symmetrize, --column, --fill, --similarity, --taxa and --taxa-file are for distance matrices\n"

# Refused matrices: a message, status 1 and nothing written.
asymmetric: phylo tree
  in "2\nA 0 1\nB 2 0\n"
  status 1
  err "phylo: standard input:1: the matrix is not symmetric: cell (2, 1) ('B', 'A') holds 2 and cell (1, 2) ('A', 'B') holds 1; say --symmetrize=lower, upper or mean to proceed\n"
diagonal: phylo tree
  in "2\nA 1 1\nB 1 0\n"
  status 1
  err "phylo: standard input:1: the diagonal cell of 'A' (row 1) holds 1, not 0\n"
equal_labels: phylo tree
  in "2\nA 0 1\nA 1 0\n"
  status 1
  err "phylo: standard input:1: taxa 1 and 2 have the same label 'A'\n"
negative_distance: phylo tree
  in "2\nA 0 -1\nB -1 0\n"
  status 1
  err "phylo: standard input:2: row 1 ('A'): distance -1 is negative (read with label words as a square matrix, the reading that went furthest)\n"
not_a_number: phylo tree --from=relaxed
  in "2\nA 0 nan\nB nan 0\n"
  status 1
  err "phylo: standard input:2: row 1 ('A') has 1 values where 2 were expected: found 'n' where a distance should be (read with label words as a square matrix, the reading that went furthest)\n"
no_matrix: phylo tree
  in ""
  status 1
  err "phylo: standard input: holds no distance matrix\n"
# The output file appears only when every tree was built.
output_file: phylo tree -o out.nwk
  in "2\nA\nB 1\n"
  after out.nwk "(A:0.5,B:0.5);\n"
output_file_whole_or_nothing: phylo tree -o out.nwk - bad.dist
  in "2\nA\nB 1\n"
  file bad.dist "2\nA 0 1\nB 2 0\n"
  status 1
  err "phylo: bad.dist:1: the matrix is not symmetric: cell (2, 1) ('B', 'A') holds 2 and cell (1, 2) ('A', 'B') holds 1; say --symmetrize=lower, upper or mean to proceed\n"
  ls bad.dist

# The command line.
help: phylo tree --help
  out @phylo_tree.help
  width 80
bad_method: phylo tree --method=fastme
  status 2
  err "phylo: tree: --method=fastme is not one of nj, bionj, upgma, wpgma\nTry 'phylo tree --help' for more information.\n"
bad_root: phylo tree --root=outgroup
  status 2
  err "phylo: tree: --root=outgroup is not one of midpoint\nTry 'phylo tree --help' for more information.\n"
root_and_outgroup: phylo tree --root=midpoint --outgroup=A
  status 2
  err "phylo: tree: --root=midpoint and --outgroup exclude each other\nTry 'phylo tree --help' for more information.\n"
bad_digits: phylo tree --digits=18
  status 2
  err "phylo: tree: --digits=18: expected a whole number from 1 to 17\nTry 'phylo tree --help' for more information.\n"
bad_collapse: phylo tree --collapse=-1
  status 2
  err "phylo: tree: --collapse=-1: expected a branch length of at least 0\nTry 'phylo tree --help' for more information.\n"
bad_threads: phylo tree -j 0
  status 2
  err "phylo: tree: --threads=0 is not a number of threads from 1 to 4096\nTry 'phylo tree --help' for more information.\n"
model_for_a_matrix: phylo tree --from=relaxed --model=k80
  status 2
  err "phylo: tree: --model is for FASTA alignments, not for matrices read with --from\nTry 'phylo tree --help' for more information.\n"
gaps_count_needs_p: phylo tree --gaps=count
  status 2
  err "phylo: tree: --gaps=count compares every symbol and gives --model=p or count only, not --model=jc69\nTry 'phylo tree --help' for more information.\n"
gamma_for_a_model_without: phylo tree --model=p --gamma=1
  status 2
  err "phylo: tree: --model=p takes no --gamma\nTry 'phylo tree --help' for more information.\n"
model_of_the_other_alphabet: phylo tree --model=jtt --alphabet=dna
  status 2
  err "phylo: tree: --model=jtt is for amino acids, not --alphabet=dna\nTry 'phylo tree --help' for more information.\n"
gamma_categories_with_a_matrix: phylo tree --from=tsv --model=lg --gamma-categories=2
  status 2
  err "phylo: tree: --gamma-categories is for FASTA alignments, not for matrices read with --from\nTry 'phylo tree --help' for more information.\n"
empty_outgroup: phylo tree --outgroup=,
  status 2
  err "phylo: tree: --outgroup=, names no taxon\nTry 'phylo tree --help' for more information.\n"

# A bootstrap: each internal node labelled with the share of the replicates (the sites drawn
# anew, with a fixed seed) that hold its split; the same on any number of threads.
bootstrap: phylo tree -q --bootstrap=20 @../producers/aln12.fasta
  out "(((Alpha:0.041450020950287575,Kappa:0.1911661800928414)40:0.008700528414919972,((Delta:0.15593505930155516,Mu:0.0671722935512662)35:0.01312660425901413,Theta:0.1111970767378807)20:0.008131089387461543)0:0.0054054021602496505,('Beta gamma':0.08230188628658652,Gamma:0.10618392983451486)5:0.004938490339554846,((Epsilon:0.14601507162054378,(Iota:0.13813057020306588,Lambda_longname:0.008677860349416727)50:0.014576858530441938)60:0.027204813125232853,(Zeta:0.034873781326626024,Eta:0.07245185452380351)35:0.008627058317263923)10:0.009979857015423477);\n"
bootstrap_one_thread: phylo tree -q --bootstrap=20 --threads=1 @../producers/aln12.fasta
  like bootstrap
bootstrap_replicates: phylo tree -q -b 4 --seed=7 --replicates=reps.nwk @../producers/aln12.fasta
  out "(((Alpha:0.041450020950287575,Kappa:0.1911661800928414)50:0.008700528414919972,((Delta:0.15593505930155516,Mu:0.0671722935512662)0:0.01312660425901413,Theta:0.1111970767378807)25:0.008131089387461543)0:0.0054054021602496505,('Beta gamma':0.08230188628658652,Gamma:0.10618392983451486)25:0.004938490339554846,((Epsilon:0.14601507162054378,(Iota:0.13813057020306588,Lambda_longname:0.008677860349416727)0:0.014576858530441938)50:0.027204813125232853,(Zeta:0.034873781326626024,Eta:0.07245185452380351)25:0.008627058317263923)25:0.009979857015423477);\n"
  after reps.nwk "((Alpha:-0.007478069141507143,Kappa:0.17483573742210864):0.004158171213930473,((('Beta gamma':0.04676311812363565,(Delta:0.23111445580919582,Theta:0.06643410647908848):0.02029397734440863):0.017667876955653944,Mu:0.039324862483356676):0.008044649109554783,Gamma:0.0499318929311509):0.003077003319049254,((((Epsilon:0.20783378928899765,Eta:0.002392686903476715):0.07443300331942737,Zeta:0.08541758661158383):0.004003617388661951,Lambda_longname:-0.006308840063866228):0.003122189693385735,Iota:0.05390557771897875):0.0013211848272476345);\n(((Alpha:0.005734173425783709,Kappa:0.249960752359281):0.007587301603052765,(((Delta:0.24623115070992047,Theta:0.06471704236335224):0.01248780987225473,Mu:0.08238114067353308):0.04607209013774991,Zeta:0.043332381080836056):0.009313796588685364):0.0016290682251565158,(('Beta gamma':0.1270879607181996,Lambda_longname:0.019720469834282994):0.00675375503487885,((Epsilon:0.144102930650115,Eta:0.0027054999023675974):0.0469929768836924,Iota:0.06839488007660423):0.013338407268747687):0.004005287948530167,Gamma:0.050768860906828195);\n((Alpha:0.009975472775598366,(((Delta:0.2444932073354721,Kappa:0.11518661081790924):0.06343870684504509,(Theta:0.19073413871228695,Mu:0.1689456794410944):0.01818998083472252):0.02067833999171853,(Zeta:-0.0011885420286229676,Eta:0.018043183987694125):0.035512852016836405):0.01878650269160668):0.008416596334427595,('Beta gamma':0.10537477722391486,Gamma:0.06198289105668664):0.0020761736668646336,((Epsilon:0.04107682117157513,Iota:0.19153937987155384):0.020626947283744812,Lambda_longname:0.010970678180456161):0.05429961858317256);\n(Alpha:0.09557265607872978,('Beta gamma':0.051222835725639015,((((Epsilon:0.1578076958656311,Iota:0.0978872299194336):0.039948828518390656,Lambda_longname:0.010721161961555481):0.013998173798123993,Eta:0.040589812522133194):0.004803306981921197,(Theta:0.13979932200163603,Mu:0.03405188489705324):0.03604563549160957):0.005958190129604191):0.0012106587528251112,((Gamma:0.1085605799453333,(Delta:0.10261452280812794,Kappa:0.24131667531198925):0.030533415148966014):0.0049254483698556815,Zeta:0.010930288660650453):0.0031039229943417013);\n"
bootstrap_of_a_matrix: phylo tree --bootstrap=10 @ab.dist
  status 1
  err "phylo: ab.dist: --bootstrap resamples the sites of an alignment, and a distance matrix has none\n"
bootstrap_replicates_not_written_on_failure: phylo tree -q -b 4 --replicates=reps.nwk @../producers/aln12.fasta @ab.dist
  out "(((Alpha:0.041450020950287575,Kappa:0.1911661800928414)25:0.008700528414919972,((Delta:0.15593505930155516,Mu:0.0671722935512662)0:0.01312660425901413,Theta:0.1111970767378807)25:0.008131089387461543)0:0.0054054021602496505,('Beta gamma':0.08230188628658652,Gamma:0.10618392983451486)25:0.004938490339554846,((Epsilon:0.14601507162054378,(Iota:0.13813057020306588,Lambda_longname:0.008677860349416727)50:0.014576858530441938)50:0.027204813125232853,(Zeta:0.034873781326626024,Eta:0.07245185452380351)0:0.008627058317263923)0:0.009979857015423477);\n"
  status 1
  err "phylo: ab.dist: --bootstrap resamples the sites of an alignment, and a distance matrix has none\n"
  ls aln12.fasta ab.dist
# Both output files, the tree's and the replicates', are removed when a signal ends the run
# while they are open.
bootstrap_outputs_removed_on_SIGTERM: phylo tree -q -b 4 --replicates=reps.nwk -o out.nwk -
  file out.nwk "old"
  in pipe ">a\nACGT\n"
  kill SIGTERM 2
  status SIGTERM
  after out.nwk "old"
  ls out.nwk
seed_without_bootstrap: phylo tree --seed=3
  status 2
  err "phylo: tree: --seed and --replicates go with --bootstrap\nTry 'phylo tree --help' for more information.\n"
bootstrap_of_none: phylo tree --bootstrap=0
  status 2
  err "phylo: tree: --bootstrap=0: expected a whole number from 1 to 1000000\nTry 'phylo tree --help' for more information.\n"
bootstrap_with_from: phylo tree --from=relaxed --bootstrap=3
  status 2
  err "phylo: tree: --bootstrap is for FASTA alignments, not for matrices read with --from\nTry 'phylo tree --help' for more information.\n"
# A seed that is no number; a replicates file that cannot be made; a replicate whose distance
# is undefined.
seed_not_a_number: phylo tree -b 2 --seed=-1
  status 2
  err "phylo: tree: --seed=-1: expected a whole number from 0 to 18446744073709551615\nTry 'phylo tree --help' for more information.\n"
replicates_file_cannot_be_made: phylo tree -q -b 2 --replicates=no/such/reps.nwk -
  in ">a\nACGT\n>b\nACGA\n>c\nTCGA\n"
  status 1
  err "phylo: no/such/reps.nwk: cannot create a file beside it: No such file or directory\n"
bootstrap_replicate_undefined: phylo tree -q -b 20 --model=jc69 -
  in ">a\nACGT\n>b\nACCA\n>c\nTCGA\n"
  status 1
  err "phylo: standard input: in a replicate of the bootstrap, the jc69 distance is undefined for 1 pair, the first 'a' and 'b' (3 of 4 sites differ); a tree needs every distance\n"
