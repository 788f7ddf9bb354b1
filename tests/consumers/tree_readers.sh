#!/usr/bin/env bash
# phylo tree against the tree builders it must agree with, and the programs that read its Newick text. On tie-free
# matrices (path lengths of random trees with noise) ape's nj and bionj and phangorn's upgma and wpgma give the same
# trees as phylo tree: Robinson-Foulds distance 0 and every tip-to-tip distance within a relative 1e-6. ape's
# read.tree, Biopython's Phylo, DendroPy and ete3 read the trees back with the same taxa and lengths; IQ-TREE scores
# a tree of an alignment with -te. Usage: tree_readers.sh PHYLO. Each reader is skipped where it is missing; the
# whole test (77) without Rscript with ape and phangorn.
set -euo pipefail
phylo=$(realpath "$1")
source "$(dirname "$0")/../lib.sh"
need_r ape phangorn
in_scratch
r_common "$phylo" <<'EOF_R'
suppressMessages({ library(ape); library(phangorn) })
set.seed(5)
# BIONJ in double precision as Gascuel's paper gives it: ape's bionj drifts from it by up to 1e-4 relative on these
# matrices (it does not compute in double precision), so it gives only the topology. With four clusters left, the two
# complementary pairs have the same criterion, so rounding decides which joins, and BIONJ's lengths depend on it:
# `other` joins the complement of the pair found.
plain_bionj <- function(d, other = FALSE) {
  D <- V <- d; act <- seq_len(nrow(d)); text <- as.list(rownames(d))
  while ((r <- length(act)) > 3) {
    R <- rowSums(D[act, act]); best <- Inf
    for (a in 1:(r - 1)) for (b in (a + 1):r) {
      q <- (r - 2) * D[act[a], act[b]] - R[a] - R[b]
      if (q < best) { best <- q; ia <- a; ib <- b }
    }
    if (r == 4 && other) { rest <- setdiff(1:4, c(ia, ib)); ia <- rest[1]; ib <- rest[2] }
    i <- act[ia]; j <- act[ib]; ks <- setdiff(act, c(i, j))
    li <- D[i, j] / 2 + (R[ia] - R[ib]) / (2 * (r - 2)); lj <- D[i, j] - li
    lam <- if (V[i, j] == 0) 0.5 else 0.5 + sum(V[j, ks] - V[i, ks]) / (2 * (r - 2) * V[i, j])
    lam <- min(1, max(0, lam))
    text[[i]] <- sprintf("(%s:%.17g,%s:%.17g)", text[[i]], li, text[[j]], lj)
    D[i, ks] <- D[ks, i] <- lam * (D[i, ks] - li) + (1 - lam) * (D[j, ks] - lj)
    V[i, ks] <- V[ks, i] <- lam * V[i, ks] + (1 - lam) * V[j, ks] - lam * (1 - lam) * V[i, j]
    act <- setdiff(act, j)
  }
  x <- act[1]; y <- act[2]; z <- act[3]
  read.tree(text = sprintf("(%s:%.17g,%s:%.17g,%s:%.17g);", text[[x]], (D[x, y] + D[x, z] - D[y, z]) / 2,
                           text[[y]], (D[x, y] + D[y, z] - D[x, z]) / 2, text[[z]], (D[x, z] + D[y, z] - D[x, y]) / 2))
}
expected <- character()
builders <- list(nj = ape::nj, bionj = ape::bionj, upgma = phangorn::upgma, wpgma = phangorn::wpgma)
for (case in 1:4) {
  n <- c(8, 25, 60, 150)[case]
  truth <- rtree(n, tip.label = paste0(c("Homo_sapiens_", "t", "x.y-", "T")[case], seq_len(n)))
  d <- cophenetic(truth) * matrix(runif(n * n, 0.9, 1.1), n)
  d <- (d + t(d)) / 2; diag(d) <- 0
  d[] <- as.numeric(sprintf("%.9g", d)) # what the text holds
  write_matrix(d, file <- sprintf("m%d.dist", case))
  for (method in names(builders)) {
    checked <- checked + 1
    what <- paste("FAIL:", method, file, ":")
    out <- sprintf("m%d.%s.nwk", case, method)
    status <- system2(phylo, c("tree", paste0("--method=", method), "-o", out, file))
    if (status != 0) { bad(what, "phylo tree exits with", status); next }
    mine <- read.tree(out)
    theirs <- builders[[method]](as.dist(d))
    if (!setequal(mine$tip.label, rownames(d))) { bad(what, "the taxa differ"); next }
    if ((rf <- RF.dist(unroot(mine), unroot(theirs))) != 0) bad(what, "Robinson-Foulds distance", rf)
    tips <- function(tree) cophenetic(tree)[rownames(d), rownames(d)]
    relative <- function(other) max((abs(tips(mine) - (b <- tips(other))) / pmax(abs(b), 1e-300))[upper.tri(b)])
    worst <- if (method == "bionj") min(relative(plain_bionj(d)), relative(plain_bionj(d, TRUE))) else relative(theirs)
    if (worst > 1e-6) bad(what, "tip-to-tip distances differ by a relative", worst)
    if (is.rooted(mine) != method %in% c("upgma", "wpgma"))
      bad(what, "the tree is", if (is.rooted(mine)) "rooted" else "not rooted")
    # What the other readers must find: the taxa and the sum of the branch lengths.
    expected <- c(expected, sprintf("%s %s %.9g", out, paste(sort(mine$tip.label), collapse = " "),
                                    sum(mine$edge.length)))
  }
}
writeLines(expected, "expected")
# An alignment for IQ-TREE.
set.seed(3)
write.phyDat(simSeq(rtree(20, br = function(n) runif(n, 0.01, 0.1)), l = 500), "aln.fasta", format = "fasta")
report("trees of ape and phangorn")
EOF_R

# The same taxa and total length in every Python reader.
if has_py Bio dendropy ete3; then
  /usr/bin/python3 - m*.nwk 2> python.err <<'PY' || bad "a Python reader fails: $(tail -2 python.err)"
import sys, dendropy, ete3
from Bio import Phylo
def biopython(path):
    t = Phylo.read(path, "newick")
    return [c.name for c in t.get_terminals()], [c.branch_length or 0 for c in t.find_clades()]
def dendropy_(path):
    t = dendropy.Tree.get(data=open(path).read(), schema="newick", preserve_underscores=True)
    return [l.taxon.label for l in t.leaf_node_iter()], [e.length or 0 for e in t.postorder_edge_iter()]
def ete(path):
    t = ete3.Tree(open(path).read(), format=1)
    return t.get_leaf_names(), [n.dist for n in t.traverse() if not n.is_root()]
for reader, read in (("biopython", biopython), ("dendropy", dendropy_), ("ete3", ete)):
    with open(reader + ".got", "w") as out:
        for path in sys.argv[1:]:
            names, lengths = read(path)
            out.write("%s %s %.9g\n" % (path, " ".join(sorted(names)), sum(lengths)))
PY
  for reader in biopython dendropy ete3; do
    same "$reader reads every tree as ape does" <(LC_ALL=C sort expected) <(LC_ALL=C sort $reader.got) \
      "$reader reads the trees otherwise than ape"
  done
else echo "skipped: Biopython, DendroPy or ete3 is not installed"; fi

# IQ-TREE scores a tree that phylo tree built from the alignment.
if iqtree=$(command -v iqtree2 || command -v iqtree); then
  "$phylo" tree -o aln.nwk aln.fasta
  "$iqtree" -s aln.fasta -te aln.nwk -m JC -nt 1 -redo -quiet -pre score > iq.log 2>&1 &&
    grep "Log-likelihood of the tree" score.iqtree || bad "IQ-TREE does not score the tree: $(tail -3 iq.log)"
else echo "skipped: IQ-TREE is not installed"; fi
finish
