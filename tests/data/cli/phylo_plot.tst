# phylo plot: heatmaps of distance matrices in the order of a tree, and trees alone, as SVG.

# Four taxa in the order of the UPGMA tree (A B C D), the cell that holds 9 undefined: the
# smallest distance (1) in the first colour of viridis, 3 in its middle, 5 in its last.
heatmap: phylo plot --undefined=9 @plot4.phy
  out @plot4.svg
heatmap_to_file: phylo plot -u 9 -o picture.svg @plot4.phy
  after picture.svg @plot4.svg
  ls plot4.phy picture.svg
# Blocks of two taxa (three blocks, the last of one taxon), in the order of the input, grey.
blocks: phylo plot --order=input --blocks=2 --colors=grey @plot5.tsv
  out @plot_blocks.svg
# One taxon: the diagonal alone, a colour bar from 0, the taxon named in the singular.
one_taxon: phylo plot @plot1.phy
  out @plot1.svg
# A FASTA alignment: the pairs of the sequence of gaps have no distance and are drawn as such.
alignment: phylo plot -q @plot_gap.fa
  out @plot_gap.svg
alignment_warning: phylo plot @plot_gap.fa
  out @plot_gap.svg
  err "phylo: plot_gap.fa: warning: the jc69 distance is undefined for 2 pairs, drawn as undefined\n"
# A tree alone: lengths to scale, the support value, labels escaped.
tree: phylo plot --tree @plot_tree.nwk
  out @plot_tree.svg
tree_from_standard_input: phylo plot -t
  in @plot_tree.nwk
  out {replace plot_tree.svg plot_tree.nwk "standard input"}

# Several pictures: -o with {} names one file each, all written at the end.
pattern: phylo plot -o "p{}.svg" @plot4.phy -u 9 @plot4.phy
  ls plot4.phy p1.svg p2.svg
  after p2.svg @plot4.svg
second_picture: phylo plot -u 9 -o one.svg @plot4.phy @plot4.phy
  err "phylo: plot4.phy: a second picture; -o one.svg takes one (a name with {} takes several)\n"
  status 1
  ls plot4.phy
second_picture_standard_output: phylo plot
  in "2\nA\nB 1\n2\nX\nY 1\n"
  out head "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
  err "phylo: standard input, matrix 2: a second picture; standard output takes one (-o with {} takes several)\n"
  status 1
pattern_refused_whole: phylo plot -o "p{}.svg" @plot4.phy @ab.dist -
  in "3\nA 0 1 2\nB 2 0 3\nC 2 3 0\n"
  err "phylo: standard input:1: the matrix is not symmetric: cell (2, 1) ('B', 'A') holds 2 and cell (1, 2) ('A', 'B') holds 1; say --symmetrize=lower, upper or mean to proceed\n"
  status 1
  ls plot4.phy ab.dist

trees_pattern: phylo plot -t -o "t{}.svg"
  in "(A:1,B:2);\n((A,B),C);\n"
  ls t1.svg t2.svg
pattern_into_no_folder: phylo plot -u 9 -o "missing/p{}.svg" @plot4.phy
  err "phylo: missing/p1.svg: cannot create a file beside it: No such file or directory\n"
  status 1
  ls plot4.phy

# Problems with the data.
no_tree: phylo plot --tree
  in "  \n"
  err "phylo: standard input: holds no tree\n"
  status 1
bad_newick: phylo plot --tree
  in "(A,B"
  err "phylo: standard input:1: the input ends inside a tree (a tree ends with ';')\n"
  status 1
duplicate_labels: phylo plot
  in "2\nA\nA 1\n"
  err "phylo: standard input:1: taxa 1 and 2 have the same label 'A'\n"
  status 1
duplicate_labels_in_input_order: phylo plot --order=input -o p.svg
  in "2\nA\nA 1\n"
  ls p.svg

# Mistakes in the command line.
help: phylo plot --help
  out @phylo_plot.help
bad_order: phylo plot --order=fastme
  err "phylo: plot: --order=fastme is not one of upgma, nj, bionj, input\nTry 'phylo plot --help' for more information.\n"
  status 2
bad_colors: phylo plot --colors=jet
  err "phylo: plot: --colors=jet is not one of viridis, magma, inferno, grey\nTry 'phylo plot --help' for more information.\n"
  status 2
bad_blocks: phylo plot --blocks=0
  err "phylo: plot: --blocks=0: expected a whole number from 1 to 4000\nTry 'phylo plot --help' for more information.\n"
  status 2
bad_undefined: phylo plot --undefined=-1
  err "phylo: plot: --undefined=-1: expected a number of at least 0\nTry 'phylo plot --help' for more information.\n"
  status 2
tree_with_order: phylo plot --tree --order=nj
  err "phylo: plot: --tree draws trees; --order is for matrices\nTry 'phylo plot --help' for more information.\n"
  status 2
tree_with_from: phylo plot -t --from=tsv
  err "phylo: plot: --tree draws trees; --from is for matrices\nTry 'phylo plot --help' for more information.\n"
  status 2
model_with_from: phylo plot --model=p --from=tsv
  err "phylo: plot: --model is for FASTA alignments, not for matrices read with --from\nTry 'phylo plot --help' for more information.\n"
  status 2
gamma_with_from: phylo plot --gamma=1 --from=tsv
  err "phylo: plot: --gamma is for FASTA alignments, not for matrices read with --from\nTry 'phylo plot --help' for more information.\n"
  status 2
ts_tv_for_another_model: phylo plot --ts-tv=2
  err "phylo: plot: --ts-tv is for --model=f84, not --model=jc69\nTry 'phylo plot --help' for more information.\n"
  status 2
gamma_with_the_tree: phylo plot -t --gamma=1
  err "phylo: plot: --tree draws trees; --gamma is for matrices\nTry 'phylo plot --help' for more information.\n"
  status 2
empty_output: phylo plot -o ""
  err "phylo: plot: option '-o' needs a value, not an empty one\nTry 'phylo plot --help' for more information.\n"
  status 2
# The order of the leaves of an NJ or a BIONJ tree.
heatmap_nj_order: phylo plot --order=nj -u 9 @plot4.phy
  out @plot4_nj.svg
heatmap_bionj_order: phylo plot --order=bionj -u 9 @plot4.phy
  out @plot4_bionj.svg
# An asymmetric matrix: the colours span every cell, here up to the largest, 9, below the
# diagonal in the first column.
heatmap_asymmetric: phylo plot --order=input @plot_asymmetric.phy
  out @plot_asymmetric.svg
