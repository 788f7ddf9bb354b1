#!/usr/bin/env bash
# The programs that read phylo tree's Newick text, and the tree builders it must agree with. On tie-free matrices
# (path lengths of random trees with noise) ape's nj and bionj and phangorn's upgma and wpgma must give the same
# trees as phylo tree: Robinson-Foulds distance 0 and every tip-to-tip distance within a relative 1e-6. ape's
# read.tree, Biopython's Phylo, DendroPy and ete3 must read the trees back with the same taxa and lengths; IQ-TREE
# must score a tree of an alignment with -te. Each reader is skipped where it is missing; the whole test (77)
# without Rscript with ape and phangorn.
#
#   tree_readers.sh PHYLO
set -euo pipefail
phylo=$(realpath "$1")
source "$(dirname "$0")/../lib.sh"
need_r ape phangorn
in_scratch

# The matrices, ape's and phangorn's trees, and phylo's trees read back by ape.
Rscript - "$phylo" <<'EOF_R'
phylo <- commandArgs(TRUE)[1]
suppressMessages({ library(ape); library(phangorn) })
set.seed(5)
write_matrix <- function(d, file) {
  lines <- sprintf("%s %s", rownames(d), apply(d, 1, function(r) paste(sprintf("%.9g", r), collapse = " ")))
  writeLines(c(as.character(nrow(d)), lines), file)
}
# BIONJ in double precision as Gascuel's paper gives it, pair by pair: ape's bionj drifts from
# it by up to 1e-4 relative on these matrices (it does not compute in double precision), so
# phylo's BIONJ lengths are held to this one, and ape's bionj gives the topology. With four
# clusters left, the two complementary pairs have the same criterion, so rounding decides which
# joins, and BIONJ's lengths depend on it: `other` joins the complement of the pair found.
plain_bionj <- function(d, other = FALSE) {
  D <- d; V <- d; act <- seq_len(nrow(d)); text <- as.list(rownames(d))
  while (length(act) > 3) {
    r <- length(act); R <- rowSums(D[act, act]); best <- Inf
    for (a in 1:(r - 1)) for (b in (a + 1):r) {
      q <- (r - 2) * D[act[a], act[b]] - R[a] - R[b]
      if (q < best) { best <- q; ia <- a; ib <- b }
    }
    if (r == 4 && other) { rest <- setdiff(1:4, c(ia, ib)); ia <- rest[1]; ib <- rest[2] }
    i <- act[ia]; j <- act[ib]; ks <- setdiff(act, c(i, j))
    li <- D[i, j] / 2 + (R[ia] - R[ib]) / (2 * (r - 2)); lj <- D[i, j] - li
    lam <- if (V[i, j] == 0) 0.5 else 0.5 + sum(V[j, ks] - V[i, ks]) / (2 * (r - 2) * V[i, j])
    lam <- min(1, max(0, lam))
    du <- lam * (D[i, ks] - li) + (1 - lam) * (D[j, ks] - lj)
    vu <- lam * V[i, ks] + (1 - lam) * V[j, ks] - lam * (1 - lam) * V[i, j]
    text[[i]] <- sprintf("(%s:%.17g,%s:%.17g)", text[[i]], li, text[[j]], lj)
    D[i, ks] <- D[ks, i] <- du; V[i, ks] <- V[ks, i] <- vu
    act <- setdiff(act, j)
  }
  x <- act[1]; y <- act[2]; z <- act[3]
  read.tree(text = sprintf("(%s:%.17g,%s:%.17g,%s:%.17g);", text[[x]], (D[x, y] + D[x, z] - D[y, z]) / 2,
                           text[[y]], (D[x, y] + D[y, z] - D[x, z]) / 2, text[[z]], (D[x, z] + D[y, z] - D[x, y]) / 2))
}
failed <- FALSE
fail <- function(...) { cat("FAIL:", ..., "\n"); failed <<- TRUE }
builders <- list(nj = ape::nj, bionj = ape::bionj, upgma = phangorn::upgma, wpgma = phangorn::wpgma)
for (case in 1:4) {
  n <- c(8, 25, 60, 150)[case]
  truth <- rtree(n, tip.label = paste0(c("Homo_sapiens_", "t", "x.y-", "T")[case], seq_len(n)))
  d <- cophenetic(truth) * matrix(runif(n * n, 0.9, 1.1), n)
  d <- (d + t(d)) / 2
  diag(d) <- 0
  d[] <- as.numeric(sprintf("%.9g", d)) # what the text holds
  file <- sprintf("m%d.dist", case)
  write_matrix(d, file)
  for (method in names(builders)) {
    out <- sprintf("m%d.%s.nwk", case, method)
    status <- system2(phylo, c("tree", paste0("--method=", method), "-o", out, file))
    if (status != 0) { fail("phylo tree", method, "on", file, "exits with", status); next }
    mine <- read.tree(out)
    theirs <- builders[[method]](as.dist(d))
    if (!setequal(mine$tip.label, rownames(d))) { fail(method, file, ": the taxa differ"); next }
    rf <- RF.dist(unroot(mine), unroot(theirs))
    if (rf != 0) fail(method, file, ": Robinson-Foulds distance", rf)
    a <- cophenetic(mine)[rownames(d), rownames(d)]
    relative <- function(other) {
      b <- cophenetic(other)[rownames(d), rownames(d)]
      max((abs(a - b) / pmax(abs(b), 1e-300))[upper.tri(b)])
    }
    worst <- if (method == "bionj") min(relative(plain_bionj(d)), relative(plain_bionj(d, TRUE))) else relative(theirs)
    if (worst > 1e-6) fail(method, file, ": tip-to-tip distances differ by a relative", worst)
    if (method %in% c("upgma", "wpgma") && !is.rooted(mine)) fail(method, file, ": the tree is not rooted")
    if (method %in% c("nj", "bionj") && is.rooted(mine)) fail(method, file, ": the tree is rooted")
    # What the other readers must find: the taxa and the sum of the branch lengths.
    writeLines(c(paste(sort(mine$tip.label), collapse = " "), sprintf("%.9g", sum(mine$edge.length))),
               sub("nwk$", "expected", out))
  }
}
if (failed) quit(status = 1)
cat("ape and phangorn agree on", length(builders) * 4, "trees\n")
EOF_R

# The same taxa and total length in every Python reader.
if has_py Bio dendropy ete3; then
  for reader in biopython dendropy ete3; do
    /usr/bin/python3 - "$reader" m*.nwk 2> "$reader.err" <<'EOF_PY' || bad "$reader: $(tail -2 "$reader.err")"
import sys
reader = sys.argv[1]
for path in sys.argv[2:]:
    text = open(path).read()
    if reader == "biopython":
        from Bio import Phylo
        t = Phylo.read(path, "newick")
        names = [c.name for c in t.get_terminals()]
        total = sum(c.branch_length or 0 for c in t.find_clades())
    elif reader == "dendropy":
        import dendropy
        t = dendropy.Tree.get(data=text, schema="newick", preserve_underscores=True)
        names = [l.taxon.label for l in t.leaf_node_iter()]
        total = sum(e.length or 0 for e in t.postorder_edge_iter())
    else:
        import ete3
        t = ete3.Tree(text, format=1)
        names = t.get_leaf_names()
        total = sum(n.dist for n in t.traverse() if not n.is_root())
    with open(path[:-4] + "." + reader, "w") as out:
        out.write(" ".join(sorted(names)) + "\n" + "%.9g\n" % total)
EOF_PY
    for tree in m*.nwk; do
      diff "${tree%.nwk}.expected" "${tree%.nwk}.$reader" > reader.diff ||
        { bad "$reader reads $tree otherwise than ape:"; head -4 reader.diff; }
    done
  done
  [ $failed = 0 ] && echo "Biopython, DendroPy and ete3 read every tree as ape does"
else
  echo "skipped: Biopython, DendroPy or ete3 is not installed"
fi

# IQ-TREE scores a tree that phylo tree built from an alignment.
if iqtree=$(command -v iqtree2 || command -v iqtree); then
  Rscript -e 'suppressMessages(library(phangorn)); set.seed(3); tr <- rtree(20, br = function(n) runif(n, 0.01, 0.1));
    write.phyDat(simSeq(tr, l = 500), "aln.fasta", format = "fasta")'
  "$phylo" tree -o aln.nwk aln.fasta
  if "$iqtree" -s aln.fasta -te aln.nwk -m JC -nt 1 -redo -quiet -pre score >iq.log 2>&1 &&
      grep -q "Log-likelihood of the tree" score.iqtree; then
    echo "IQ-TREE: $(grep 'Log-likelihood of the tree' score.iqtree)"
  else
    bad "IQ-TREE does not score the tree: $(tail -3 iq.log)"
  fi
else
  echo "skipped: IQ-TREE is not installed"
fi
finish
