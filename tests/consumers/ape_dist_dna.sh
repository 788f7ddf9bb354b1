#!/usr/bin/env bash
# ape's dist.dna against phylo dist: alignments written here (mixed case, gaps, N, '?', the other IUPAC codes, a
# saturated pair, a pair with no site in common, a base missing from a whole alignment) go through every model with
# pairwise and with complete deletion, and through every model that ape corrects with gamma (shape 0.7); every
# distance must agree within a relative 1e-6, and phylo must refuse exactly where ape gives NaN or Inf. Skipped (77)
# without Rscript and ape.
#
#   ape_dist_dna.sh PHYLO
set -euo pipefail
phylo=$(realpath "$1")
source "$(dirname "$0")/../lib.sh"
need_r ape
in_scratch

Rscript - "$phylo" <<'EOF'
phylo <- commandArgs(TRUE)[1]
suppressMessages(library(ape))
set.seed(17)
acgt <- c("A", "C", "G", "T")
write_fasta <- function(seqs, file) { writeLines(c(rbind(paste0(">", names(seqs)), seqs)), file); file }
# n sequences of m sites descending from one root, each changed at `rate` of its sites (transitions twice as often
# as transversions), then sprinkled with gaps, N, '?' and ambiguity codes, some in lower case.
evolve <- function(n, m, rate, odd = 0.04) {
  root <- sample(acgt, m, TRUE, c(.3, .2, .2, .3))
  ts <- c(A = "G", G = "A", C = "T", T = "C")
  seqs <- sapply(seq_len(n), function(i) {
    s <- root
    hit <- runif(m) < rate * i / n
    for (k in which(hit)) s[k] <- if (runif(1) < 2 / 3) ts[[s[k]]] else sample(setdiff(acgt, c(s[k], ts[[s[k]]])), 1)
    odd_sites <- which(runif(m) < odd)
    s[odd_sites] <- sample(c("-", "-", "-", "N", "?", "R", "Y", "M", "K", "S", "W", "H", "B", "V", "D"),
                           length(odd_sites), TRUE)
    low <- runif(m) < (if (i %% 3 == 0) 1 else 0.2)
    s[low] <- tolower(s[low])
    paste(s, collapse = "")
  })
  setNames(seqs, paste0("s", seq_len(n)))
}

files <- list(
  evolved = write_fasta(evolve(12, 300, 0.5), "evolved.fasta"),
  near = write_fasta(evolve(6, 2000, 0.05, 0.01), "near.fasta"),
  # b is a from a permutation of the bases (every site differs: saturated for JC69, K80, F81
  # and TN93, defined for LogDet); c shares no base with a at the same site; d is all gaps but
  # one site, so complete deletion keeps at most that site.
  odd = write_fasta(c(a = "ACGTACGTAAccggTTAGCTAGCTNNAC", b = "CATGCATGCCaattGGCTAGCTAGNNCA",
                      c = "----ACGTACgtacgtACGTAcgtACGT", d = "A---------------------------",
                      e = "ACGTACGTAACCGGTTAGCTAGCTAGAC"), "odd.fasta"),
  no_g = write_fasta(c(a = "ACTTACATAACCTT", b = "ACTTACAAAACCTT", c = "TCTAACATAACCTA"), "no_g.fasta"))

models <- c(p = "raw", count = "N", jc69 = "JC69", k80 = "K80", k81 = "K81", f81 = "F81", f84 = "F84",
            t92 = "T92", tn93 = "TN93", logdet = "LogDet")
# The models that ape's dist.dna corrects with gamma.
gamma_models <- c("jc69", "k80", "f81", "tn93")
undefined <- 1e30

# The lower triangle of phylo's NEXUS distances block, in a matrix.
read_nexus <- function(lines, n) {
  rows <- strsplit(trimws(lines[grep("^\\s*matrix\\s*$", lines) + seq_len(n)]), "[ \t]+")
  d <- matrix(0, n, n)
  for (i in seq_len(n)) { v <- as.numeric(rows[[i]][-1]); d[i, seq_along(v)] <- v }
  d
}

# ape's K81 takes the logarithm of the product of its three factors, which is positive when
# two of them are negative (a pair that differs at every site by one kind of transversion gets
# 0); phylo refuses a pair where any factor is not positive. TRUE where every factor is.
k81_defined <- function(aln, pd) {
  s <- toupper(as.character(aln))
  base <- array(s %in% acgt, dim(s))
  if (!pd) base[, !apply(base, 2, all)] <- FALSE
  ok <- matrix(TRUE, nrow(s), nrow(s))
  cls <- function(a, b) ifelse(a == b, 0, ifelse(paste0(a, b) %in% c("AG", "GA", "CT", "TC"), 1,
                                             ifelse(paste0(a, b) %in% c("AC", "CA", "GT", "TG"), 2, 3)))
  for (i in seq_len(nrow(s))) for (j in seq_len(nrow(s))) {
    use <- base[i, ] & base[j, ]
    if (!any(use)) next
    k <- cls(s[i, use], s[j, use])
    P <- mean(k == 1); Q <- mean(k == 2); R <- mean(k == 3)
    ok[i, j] <- min(1 - 2 * P - 2 * Q, 1 - 2 * P - 2 * R, 1 - 2 * Q - 2 * R) > 0
  }
  ok
}

failures <- checked <- 0
for (f in names(files)) {
  aln <- read.dna(files[[f]], format = "fasta")
  n <- nrow(aln)
  runs <- c(lapply(names(models), function(m) list(m = m, gamma = FALSE)),
            lapply(gamma_models, function(m) list(m = m, gamma = 0.7)))
  for (run in runs) {
    m <- run$m
    for (pd in c(TRUE, FALSE)) {
      gaps <- if (pd) "pairwise" else "complete"
      g <- if (isFALSE(run$gamma)) character() else paste0("--gamma=", run$gamma)
      what <- sprintf("%s --model=%s --gaps=%s %s", f, m, gaps, paste(g, collapse = " "))
      ape <- as.matrix(dist.dna(aln, model = models[[m]], pairwise.deletion = pd, gamma = run$gamma))
      opts <- c("dist", paste0("--model=", m), paste0("--gaps=", gaps), g)
      out <- suppressWarnings(system2(phylo, c(opts, paste0("--undefined=", undefined), "--quiet", "--to=nexus",
                                               files[[f]]), stdout = TRUE, stderr = FALSE))
      ours <- read_nexus(out, n)
      if (m == "k81") ape[!k81_defined(aln, pd)] <- NaN
      a <- ape[lower.tri(ape)]
      o <- ours[lower.tri(ours)]
      bad <- ifelse(is.finite(a), abs(o - a) > 1e-6 * abs(a) + 1e-12, o != undefined)
      checked <- checked + length(a)
      if (any(bad)) {
        failures <- failures + 1
        cat("MISMATCH", what, "\n  ape:  ", format(a[bad], digits = 10), "\n  phylo:", format(o[bad], digits = 10), "\n")
      }
      refused <- system2(phylo, c(opts, files[[f]]), stdout = FALSE, stderr = FALSE)
      if (refused != (if (all(is.finite(a))) 0 else 1)) {
        failures <- failures + 1
        cat("STATUS", what, ": phylo exits with", refused, "while ape has", sum(!is.finite(a)), "undefined\n")
      }
    }
  }
}
cat(checked, "distances compared,", failures, "disagreements\n")
quit(status = if (failures == 0) 0 else 1)
EOF
