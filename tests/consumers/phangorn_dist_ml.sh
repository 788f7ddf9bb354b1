#!/usr/bin/env bash
# phangorn's dist.ml against phylo dist's maximum-likelihood protein distances: an alignment written here
# (close, distant and saturated pairs, an unrelated sequence, gaps and X) goes through JTT, WAG, LG, Dayhoff
# and BLOSUM62, with equal rates and with 4 gamma categories of shape 0.5, with pairwise and with complete
# deletion (exclude = "pairwise", "all"). Each distance is checked twice: against the maximum of the pair's
# likelihood found here in R (the rate matrix of phangorn's tables exponentiated by its eigenvectors,
# phangorn's discrete.gamma rates, optimize to 1e-12 from the best of a grid) within a relative 1e-6, and
# against dist.ml itself within a relative 1e-3 below 1 and 2e-2 beyond, the precision of dist.ml's own
# search (which writes 10 for any distance past 10). Where the likelihood has no maximum below a distance of
# 100, phylo must call the pair undefined (past 50 either may hold). Skipped (77) without Rscript and phangorn.
#
#   phangorn_dist_ml.sh PHYLO
set -euo pipefail
phylo=$(realpath "$1")
source "$(dirname "$0")/../lib.sh"
need_r phangorn
in_scratch

Rscript - "$phylo" <<'R'
phylo <- commandArgs(TRUE)[1]
suppressMessages(library(phangorn))
set.seed(5)
aa <- c("A", "R", "N", "D", "C", "Q", "E", "G", "H", "I", "L", "K", "M", "F", "P", "S", "T", "W", "Y", "V")
m <- 300
root <- sample(aa, m, TRUE)
share <- c(0, 0.01, 0.05, 0.2, 0.5, 0.8, 0.95, 1)
seqs <- sapply(seq_along(share), function(i) {
  s <- root
  hit <- runif(m) < share[i]
  s[hit] <- sample(aa, sum(hit), TRUE)
  odd <- runif(m) < 0.03
  s[odd] <- sample(c("-", "X"), sum(odd), TRUE)
  low <- runif(m) < 0.2
  s[low] <- tolower(s[low])
  paste(s, collapse = "")
})
seqs[length(seqs)] <- paste(sample(aa, m, TRUE), collapse = "") # unrelated
names(seqs) <- paste0("s", seq_along(seqs))
writeLines(c(rbind(paste0(">", names(seqs)), seqs)), file <- "a.fasta")
x <- read.phyDat(file, format = "fasta", type = "AA")
codes <- lapply(strsplit(toupper(seqs), ""), match, aa)
n <- length(seqs)

ns <- getNamespace("phangorn")
# The rate matrix of a model of phangorn's, scaled to one substitution per unit of time.
model_of <- function(name) {
  t <- ns[[paste0(".", name)]]
  S <- matrix(0, 20, 20)
  S[lower.tri(S)] <- t$Q
  S <- S + t(S)
  bf <- t$bf / sum(t$bf)
  Q <- S %*% diag(bf)
  diag(Q) <- -rowSums(Q)
  Q <- Q / sum(-diag(Q) * bf)
  e <- eigen(Q)
  list(bf = bf, vec = e$vectors, inv = solve(e$vectors), val = e$values)
}
exact <- function(model, rates, a, b) {
  ll <- function(t) {
    P <- Reduce(`+`, lapply(rates, function(r) Re(model$vec %*% diag(exp(model$val * r * t)) %*% model$inv))) /
      length(rates)
    sum(log(model$bf[a] * P[cbind(a, b)]))
  }
  # The best of a grid, then refined between its neighbours: the likelihood of a distant pair
  # is flat enough to mislead a search over the whole range.
  grid <- c(1e-9, exp(seq(log(1e-3), log(100), length.out = 120)))
  k <- which.max(sapply(grid, ll))
  if (k == length(grid)) return(NA)
  o <- optimize(function(t) -ll(t), c(grid[max(1, k - 1)], grid[min(length(grid), k + 1)]), tol = 1e-12)
  if (o$minimum < 1e-8) 0 else o$minimum
}

# The lower triangle of phylo's NEXUS distances block, in a matrix.
read_nexus <- function(lines, n) {
  rows <- strsplit(trimws(lines[grep("^\\s*matrix\\s*$", lines) + seq_len(n)]), "[ \t]+")
  d <- matrix(0, n, n)
  for (i in seq_len(n)) { v <- as.numeric(rows[[i]][-1]); d[i, seq_along(v)] <- v }
  d
}

undefined <- 1e30
failures <- checked <- 0
for (name in c("JTT", "WAG", "LG", "Dayhoff", "Blosum62")) {
  model <- model_of(name)
  for (shape in c(NA, 0.5)) {
    rates <- if (is.na(shape)) 1 else discrete.gamma(shape, 4)
    for (rule in c("pairwise", "complete")) {
      g <- if (is.na(shape)) character() else paste0("--gamma=", shape)
      what <- paste(name, rule, paste(g, collapse = " "))
      ours <- read_nexus(system2(phylo, c("dist", paste0("--model=", tolower(name)), paste0("--gaps=", rule), g,
                                          paste0("--undefined=", undefined), "--quiet", "--to=nexus", file),
                                 stdout = TRUE, stderr = FALSE), n)
      theirs <- as.matrix(dist.ml(x, model = name, k = length(rates), shape = if (is.na(shape)) 1 else shape,
                                  exclude = if (rule == "complete") "all" else "pairwise"))
      use_all <- Reduce(`&`, lapply(codes, function(v) !is.na(v)))
      for (i in 2:n) for (j in 1:(i - 1)) {
        use <- if (rule == "complete") use_all else !is.na(codes[[i]]) & !is.na(codes[[j]])
        want <- exact(model, rates, codes[[i]][use], codes[[j]][use])
        o <- ours[i, j]
        checked <- checked + 1
        # dist.ml writes 10 for any distance past 10, and its search strays further from the
        # maximum as the likelihood flattens.
        near <- if (theirs[i, j] < 1) 1e-3 else 2e-2
        # Past 50 substitutions per site the likelihood is too flat to tell a far maximum from
        # none: either side may call such a pair undefined.
        bad <- if (is.na(want) || want > 50) !(o == undefined || o > 50)
               else abs(o - want) > 1e-6 * want + 1e-9 ||
          (theirs[i, j] < 10 && abs(o - theirs[i, j]) > near * theirs[i, j] + 1e-9)
        if (bad) {
          failures <- failures + 1
          cat("MISMATCH", what, sprintf("s%d s%d: phylo %.10g, maximum %.10g, dist.ml %.10g\n", i, j, o, want,
                                        theirs[i, j]))
        }
      }
    }
  }
}
cat(checked, "distances compared,", failures, "disagreements\n")
quit(status = if (failures == 0) 0 else 1)
R
