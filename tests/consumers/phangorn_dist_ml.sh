#!/usr/bin/env bash
# phangorn's dist.ml against phylo dist's maximum-likelihood protein distances: an alignment written here (close,
# distant and saturated pairs, an unrelated sequence, gaps and X) goes through JTT, WAG, LG, Dayhoff and BLOSUM62,
# with equal rates and with 4 gamma categories of shape 0.5, with pairwise and with complete deletion. Each distance
# must agree with the maximum of the pair's likelihood found here (phangorn's rate matrices exponentiated by their
# eigenvectors, its discrete.gamma rates, optimize to 1e-12 from the best of a grid) within a relative 1e-6, and with
# dist.ml itself within a relative 1e-3 below 1 and 2e-2 beyond (the precision of dist.ml's own search). Where the
# likelihood has no maximum below a distance of 100, phylo must call the pair undefined (past 50 either may hold).
# Usage: phangorn_dist_ml.sh PHYLO. Skipped (77) without Rscript and phangorn.
set -euo pipefail
phylo=$(realpath "$1")
source "$(dirname "$0")/../lib.sh"
need_r phangorn
in_scratch
r_common "$phylo" <<'R'
suppressMessages(library(phangorn))
set.seed(5)
aa <- strsplit("ARNDCQEGHILKMFPSTWYV", "")[[1]]
m <- 300; root <- sample(aa, m, TRUE)
seqs <- sapply(c(0, 0.01, 0.05, 0.2, 0.5, 0.8, 0.95, 1), function(share) {
  s <- root
  hit <- runif(m) < share; s[hit] <- sample(aa, sum(hit), TRUE)
  odd <- runif(m) < 0.03; s[odd] <- sample(c("-", "X"), sum(odd), TRUE)
  low <- runif(m) < 0.2; s[low] <- tolower(s[low])
  paste(s, collapse = "")
})
seqs[length(seqs)] <- paste(sample(aa, m, TRUE), collapse = "") # unrelated
file <- write_fasta(setNames(seqs, paste0("s", seq_along(seqs))), "a.fasta")
x <- read.phyDat(file, format = "fasta", type = "AA")
codes <- lapply(strsplit(toupper(seqs), ""), match, aa)
pairs <- which(lower.tri(diag(length(seqs))), arr.ind = TRUE) # in the order of phylo_dist's values

# The rate matrix of a model of phangorn's, scaled to one substitution per unit of time, by its eigenvectors.
model_of <- function(name) {
  t <- getNamespace("phangorn")[[paste0(".", name)]]
  S <- matrix(0, 20, 20); S[lower.tri(S)] <- t$Q
  bf <- t$bf / sum(t$bf)
  Q <- (S + t(S)) %*% diag(bf)
  diag(Q) <- -rowSums(Q)
  e <- eigen(Q / sum(-diag(Q) * bf))
  list(bf = bf, vec = e$vectors, inv = solve(e$vectors), val = e$values)
}
exact <- function(model, rates, a, b) {
  ll <- function(t) {
    P <- Reduce(`+`, lapply(rates, function(r) Re(model$vec %*% diag(exp(model$val * r * t)) %*% model$inv))) /
      length(rates)
    sum(log(model$bf[a] * P[cbind(a, b)]))
  }
  # The best of a grid, then refined between its neighbours: the likelihood of a distant pair is flat enough to
  # mislead a search over the whole range.
  grid <- c(1e-9, exp(seq(log(1e-3), log(100), length.out = 120)))
  k <- which.max(sapply(grid, ll))
  if (k == length(grid)) return(NA)
  o <- optimize(function(t) -ll(t), c(grid[max(1, k - 1)], grid[min(length(grid), k + 1)]), tol = 1e-12)
  if (o$minimum < 1e-8) 0 else o$minimum
}

use_all <- Reduce(`&`, lapply(codes, function(v) !is.na(v)))
for (name in c("JTT", "WAG", "LG", "Dayhoff", "Blosum62")) for (shape in c(NA, 0.5))
  for (rule in c("pairwise", "complete")) {
    model <- model_of(name)
    rates <- if (is.na(shape)) 1 else discrete.gamma(shape, 4)
    g <- if (!is.na(shape)) paste0("--gamma=", shape)
    ours <- phylo_dist(c(paste0("--model=", tolower(name)), paste0("--gaps=", rule), g), file, length(seqs))
    theirs <- as.matrix(dist.ml(x, model = name, k = length(rates), shape = if (is.na(shape)) 1 else shape,
                                exclude = if (rule == "complete") "all" else "pairwise"))
    for (p in seq_len(nrow(pairs))) {
      i <- pairs[p, 1]; j <- pairs[p, 2]; o <- ours[p]; dm <- theirs[i, j]
      use <- if (rule == "complete") use_all else !is.na(codes[[i]]) & !is.na(codes[[j]])
      want <- exact(model, rates, codes[[i]][use], codes[[j]][use])
      checked <- checked + 1
      # dist.ml writes 10 for any distance past 10, and its search strays further from the maximum as the likelihood
      # flattens. Past 50 substitutions per site the likelihood is too flat to tell a far maximum from none: either
      # side may call such a pair undefined.
      wrong <- if (is.na(want) || want > 50) !(o == undefined || o > 50) else abs(o - want) > 1e-6 * want + 1e-9 ||
        (dm < 10 && abs(o - dm) > (if (dm < 1) 1e-3 else 2e-2) * dm + 1e-9)
      if (wrong) bad("MISMATCH", name, rule, g, sprintf("s%d s%d: phylo %.10g, maximum %.10g, dist.ml %.10g", i, j, o,
                                                       want, dm))
    }
  }
report("distances")
R
