# phylo dist on amino-acid alignments, and the nucleotide models and options beside them.

# Amino acids: told apart from nucleotides by their codes alone (auto), or as told.
protein_auto_p: phylo dist --to=pairs
  in ">a\nARNDCQEGHILKMFPSTWYV\n>b\nARNDCQEGHILKMFPSTWYA\n>c\nARNECQEGHILRMFPSTwya\n"
  out "b\ta\t 5.00000E-02\nc\ta\t 1.50000E-01\nc\tb\t 1.00000E-01\n"
protein_poisson: phylo dist --model=poisson --to=pairs
  in ">a\nARNDCQEGHILKMFPSTWYV\n>b\nARNDCQEGHILKMFPSTWYA\n>c\nARNECQEGHILRMFPSTwya\n"
  out "b\ta\t 5.12933E-02\nc\ta\t 1.62519E-01\nc\tb\t 1.05361E-01\n"
protein_kimura: phylo dist --model=kimura --to=pairs
  in ">a\nARNDCQEGHILKMFPSTWYV\n>b\nARNDCQEGHILKMFPSTWYA\n>c\nARNECQEGHILRMFPSTwya\n"
  out "b\ta\t 5.18197E-02\nc\ta\t 1.67827E-01\nc\tb\t 1.07585E-01\n"

# The maximum-likelihood models, with equal rates and with gamma categories (the values equal
# the likelihood's maximum as tests/consumers/phangorn_dist_ml.sh finds it).
protein_jtt: phylo dist --model=jtt --to=pairs
  in ">a\nARNDCQEGHILKMFPSTWYV\n>b\nARNDCQEGHILKMFPSTWYA\n>c\nARNECQEGHILRMFPSTwya\n"
  out "b\ta\t 5.27410E-02\nc\ta\t 1.61571E-01\nc\tb\t 1.05874E-01\n"
protein_wag_gamma: phylo dist --model=wag --gamma=0.5 --to=pairs
  in ">a\nARNDCQEGHILKMFPSTWYV\n>b\nARNDCQEGHILKMFPSTWYA\n>c\nARNECQEGHILRMFPSTwya\n"
  out "b\ta\t 5.24878E-02\nc\ta\t 1.63004E-01\nc\tb\t 1.05445E-01\n"
protein_lg_gamma_8: phylo dist --model=lg --gamma=0.5 --gamma-categories=8 --to=pairs
  in ">a\nARNDCQEGHILKMFPSTWYV\n>b\nARNDCQEGHILKMFPSTWYA\n>c\nARNECQEGHILRMFPSTwya\n"
  out "b\ta\t 5.26893E-02\nc\ta\t 1.71962E-01\nc\tb\t 1.11734E-01\n"
protein_dayhoff_one_category: phylo dist --model=dayhoff --gamma=0.5 --gamma-categories=1 --to=pairs
  in ">a\nARNDCQEGHILKMFPSTWYV\n>b\nARNDCQEGHILKMFPSTWYA\n>c\nARNECQEGHILRMFPSTwya\n"
  out "b\ta\t 5.18520E-02\nc\ta\t 1.58985E-01\nc\tb\t 1.02739E-01\n"
protein_blosum62: phylo dist --model=blosum62 --to=pairs
  in ">a\nARNDCQEGHILKMFPSTWYV\n>b\nARNDCQEGHILKMFPSTWYA\n>c\nARNECQEGHILRMFPSTwya\n"
  out "b\ta\t 5.22784E-02\nc\ta\t 1.60561E-01\nc\tb\t 1.05367E-01\n"

# Ambiguity (X B Z J * ? gaps) is left out pairwise, compared as it stands by --gaps=count.
protein_ambiguity_pairwise: phylo dist --model=p --to=pairs
  in ">a\nARNDXBJ?\n>b\nARN-Z*JK\n"
  out "b\ta\t 0.00000E+00\n"
protein_ambiguity_count: phylo dist --model=count --gaps=count --to=pairs
  in ">a\nARNDXBJ?\n>b\nARN-Z*JK\n"
  out "b\ta\t 4.00000E+00\n"
protein_no_site: phylo dist --model=poisson
  in ">a\nARNDXB\n>b\nXXXXZ*\n"
  err "phylo: standard input: the poisson distance is undefined for 1 pair: 'a' and 'b' have no site to compare (--undefined=NUMBER writes a number in their place)\n"
  status 1
protein_no_site_filled: phylo dist --model=poisson --undefined=9 --to=pairs
  in ">a\nARNDXB\n>b\nXXXXZ*\n"
  out "b\ta\t 9.00000E+00\n"
  err "phylo: standard input: warning: the poisson distance is undefined for 1 pair, written as 9\n"

# A pair whose likelihood rises without end (every site A against W), and one that has a
# maximum though every site differs (C against W).
protein_no_maximum: phylo dist --model=jtt
  in ">a\nAAAAAAAAAA\n>b\nWWWWWWWWWW\n"
  err "phylo: standard input: the jtt distance is undefined for 1 pair: 'a' and 'b' differ at 10 of 10 sites, too many for the model (--undefined=NUMBER writes a number in their place)\n"
  status 1
protein_far_maximum: phylo dist --model=jtt --to=pairs
  in ">a\nCCCCCCCCCC\n>b\nWWWWWWWWWW\n"
  out "b\ta\t 3.81095E+00\n"

# Nucleotide codes alone are nucleotides; --alphabet=protein reads them as amino acids.
dna_read_as_protein: phylo dist --alphabet=protein --model=poisson --to=pairs
  in ">a\nACGT\n>b\nACGA\n"
  out "b\ta\t 2.87682E-01\n"
neither_alphabet: phylo dist
  in ">a\nAUG\n>b\nACG\n"
  err "phylo: standard input:2: column 2: 'U' in sequence 'a' is neither a nucleotide nor an amino-acid code (the amino-acid codes A R N D C Q E G H I L K M F P S T W Y V B Z J X * in either case, '-', '.' or '?')\n"
  status 1
protein_for_dna_model: phylo dist --model=k80
  in ">a\nARNDCQEGHILKMFPSTWYV\n>b\nARNDCQEGHILKMFPSTWYA\n>c\nARNECQEGHILRMFPSTwya\n"
  err "phylo: standard input:2: column 6: 'Q' in sequence 'a' is not a nucleotide code (A, C, G, T, the IUPAC codes R, Y, M, K, S, W, H, B, V, D, N in either case, '-', '.' or '?')\n"
  status 1
protein_model_for_dna: phylo dist --model=jtt
  in ">a\nACGTACGTACGTAACCGGTT\n>b\nACGTACGAACGTCACCGGTA\n"
  out " 2\na\t 0.00000E+00\t 1.77636E-01\nb\t 1.77636E-01\t 0.00000E+00\n"
protein_told_dna: phylo dist --alphabet=dna
  in ">a\nARNDCQEGHILKMFPSTWYV\n>b\nARNDCQEGHILKMFPSTWYA\n>c\nARNECQEGHILRMFPSTwya\n"
  err "phylo: standard input:2: column 6: 'Q' in sequence 'a' is not a nucleotide code (A, C, G, T, the IUPAC codes R, Y, M, K, S, W, H, B, V, D, N in either case, '-', '.' or '?')\n"
  status 1

# The nucleotide models new to phylo dist (ape's values, tests/consumers/ape_dist_dna.sh), and
# F84 with a ratio as dnadist (tests/consumers/dnadist_f84.sh).
dna_k81: phylo dist --model=k81 --to=pairs
  in ">a\nACGTACGTACGTAACCGGTT\n>b\nACGTACGAACGTCACCGGTA\n"
  out "b\ta\t 1.71295E-01\n"
dna_k81_gamma: phylo dist --model=k81 --gamma=0.5 --to=pairs
  in ">a\nACGTACGTACGTAACCGGTT\n>b\nACGTACGAACGTCACCGGTA\n"
  out "b\ta\t 2.29736E-01\n"
dna_f84: phylo dist --model=f84 --to=pairs
  in ">a\nACGTACGTACGTAACCGGTT\n>b\nACGTACGAACGTCACCGGTA\n"
  out "b\ta\t 1.70577E-01\n"
dna_f84_ratio: phylo dist --model=f84 --ts-tv=2 --to=pairs
  in ">a\nACGTACGTACGTAACCGGTT\n>b\nACGTACGAACGTCACCGGTA\n"
  out "b\ta\t 1.83523E-01\n"
dna_t92: phylo dist --model=t92 --to=pairs
  in ">a\nACGTACGTACGTAACCGGTT\n>b\nACGTACGAACGTCACCGGTA\n"
  out "b\ta\t 1.70448E-01\n"
dna_tn93_gamma: phylo dist --model=tn93 --gamma=0.7 --to=pairs
  in ">a\nACGTACGTACGTAACCGGTT\n>b\nACGTACGAACGTCACCGGTA\n"
  out "b\ta\t 2.08301E-01\n"
dna_t92_one_base: phylo dist --model=t92
  in ">a\nAAAA\n>b\nAAAA\n"
  err "phylo: standard input: the t92 distance is undefined for 1 pair: the base frequencies of the alignment leave the model undefined (--undefined=NUMBER writes a number in their place)\n"
  status 1

# Options that do not fit the model.
gamma_for_p: phylo dist --model=p --gamma=1 /nonexistent/a.fa
  err "phylo: dist: --model=p takes no --gamma\nTry 'phylo dist --help' for more information.\n"
  status 2
gamma_zero: phylo dist --model=jc69 --gamma=0 /nonexistent/a.fa
  err "phylo: dist: --gamma=0 is not a positive number\nTry 'phylo dist --help' for more information.\n"
  status 2
gamma_not_a_number: phylo dist --model=jc69 --gamma=abc /nonexistent/a.fa
  err "phylo: dist: --gamma=abc is not a positive number\nTry 'phylo dist --help' for more information.\n"
  status 2
categories_for_dna: phylo dist --model=jc69 --gamma-categories=2 /nonexistent/a.fa
  err "phylo: dist: --gamma-categories is for --model=jtt, wag, lg, dayhoff or blosum62, not --model=jc69\nTry 'phylo dist --help' for more information.\n"
  status 2
categories_out_of_range: phylo dist --model=lg --gamma-categories=65 /nonexistent/a.fa
  err "phylo: dist: --gamma-categories=65 is not a number of categories from 1 to 64\nTry 'phylo dist --help' for more information.\n"
  status 2
ratio_for_k80: phylo dist --model=k80 --ts-tv=2 /nonexistent/a.fa
  err "phylo: dist: --ts-tv is for --model=f84, not --model=k80\nTry 'phylo dist --help' for more information.\n"
  status 2
ratio_and_gamma: phylo dist --model=f84 --ts-tv=2 --gamma=1 /nonexistent/a.fa
  err "phylo: dist: --ts-tv and --gamma do not go together\nTry 'phylo dist --help' for more information.\n"
  status 2
protein_model_told_dna: phylo dist --model=jtt --alphabet=dna /nonexistent/a.fa
  err "phylo: dist: --model=jtt is for amino acids, not --alphabet=dna\nTry 'phylo dist --help' for more information.\n"
  status 2
unknown_alphabet: phylo dist --alphabet=rna /nonexistent/a.fa
  err "phylo: dist: --alphabet=rna is not one of auto, dna, protein\nTry 'phylo dist --help' for more information.\n"
  status 2
alphabet_for_matrix: phylo dist --kind=discrete --alphabet=dna /nonexistent/a.fa
  err "phylo: dist: --alphabet is for FASTA alignments; discrete matrices take --metric\nTry 'phylo dist --help' for more information.\n"
  status 2
# A ratio that the base frequencies cannot give leaves F84 undefined.
f84_ratio_below_what_the_frequencies_allow: phylo dist --model=f84 --ts-tv=0.1 --to=pairs -
  in ">a\nACGTACGTAAAAAAAAAAAA\n>b\nACGTACGAAAAAAAAAAAAT\n"
  status 1
  err "phylo: standard input: the f84 distance is undefined for 1 pair: the base frequencies of the alignment leave the model undefined (--undefined=NUMBER writes a number in their place)\n"
