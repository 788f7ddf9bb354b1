#!/usr/bin/env bash
# ape's dist.dna against phylo dist: alignments written here (mixed case, gaps, N, '?', the other IUPAC codes, a
# saturated pair, a pair with no site in common, a base missing from a whole alignment) go through every model, and
# those that ape corrects with gamma (shape 0.7) with gamma too, with pairwise and complete deletion; every distance
# must agree within a relative 1e-6, and phylo must refuse exactly where ape gives NaN or Inf.
# Usage: ape_dist_dna.sh PHYLO. Skipped (77) without Rscript and ape.
set -euo pipefail
phylo=$(realpath "$1")
source "$(dirname "$0")/../lib.sh"
need_r ape
in_scratch
r_common "$phylo" <<'R'
suppressMessages(library(ape))
set.seed(17)
acgt <- c("A", "C", "G", "T")
# n sequences of m sites descending from one root, each changed at `rate` of its sites (transitions twice as often
# as transversions), then sprinkled with gaps, N, '?' and ambiguity codes, some in lower case.
evolve <- function(n, m, rate, odd = 0.04) {
  root <- sample(acgt, m, TRUE, c(.3, .2, .2, .3))
  ts <- c(A = "G", G = "A", C = "T", T = "C")
  setNames(sapply(seq_len(n), function(i) {
    s <- root
    for (k in which(runif(m) < rate * i / n))
      s[k] <- if (runif(1) < 2 / 3) ts[[s[k]]] else sample(setdiff(acgt, c(s[k], ts[[s[k]]])), 1)
    o <- which(runif(m) < odd); s[o] <- sample(strsplit("---N?RYMKSWHBVD", "")[[1]], length(o), TRUE)
    low <- runif(m) < (if (i %% 3 == 0) 1 else 0.2); s[low] <- tolower(s[low])
    paste(s, collapse = "")
  }), paste0("s", seq_len(n)))
}
files <- list(
  evolved = write_fasta(evolve(12, 300, 0.5), "evolved.fasta"),
  near = write_fasta(evolve(6, 2000, 0.05, 0.01), "near.fasta"),
  # b is a through a permutation of the bases (every site differs: saturated for JC69, K80, F81 and TN93, defined
  # for LogDet); c shares no base with a at the same site; d is all gaps but one site, so complete deletion keeps
  # at most that site.
  odd = write_fasta(c(a = "ACGTACGTAAccggTTAGCTAGCTNNAC", b = "CATGCATGCCaattGGCTAGCTAGNNCA",
                      c = "----ACGTACgtacgtACGTAcgtACGT", d = "A---------------------------",
                      e = "ACGTACGTAACCGGTTAGCTAGCTAGAC"), "odd.fasta"),
  no_g = write_fasta(c(a = "ACTTACATAACCTT", b = "ACTTACAAAACCTT", c = "TCTAACATAACCTA"), "no_g.fasta"))
models <- c(p = "raw", count = "N", jc69 = "JC69", k80 = "K80", k81 = "K81", f81 = "F81", f84 = "F84",
            t92 = "T92", tn93 = "TN93", logdet = "LogDet")
gamma_models <- c("jc69", "k80", "f81", "tn93") # those that dist.dna corrects with gamma

# ape's K81 takes the logarithm of the product of its three factors, which is positive when two of them are
# negative (a pair that differs at every site by one kind of transversion gets 0); phylo refuses a pair where any
# factor is not positive. TRUE where every factor is.
k81_defined <- function(aln, pd) {
  s <- matrix(match(toupper(as.character(aln)), acgt) - 1, nrow(aln))
  if (!pd) s[, colSums(is.na(s)) > 0] <- NA
  sapply(seq_len(nrow(s)), function(j) sapply(seq_len(nrow(s)), function(i) {
    # The bases' codes xor'ed: 2 a transition, 1 and 3 the two kinds of transversion.
    x <- na.omit(bitwXor(s[i, ], s[j, ]))
    f <- tabulate(x, 3) / length(x)
    length(x) == 0 || min(1 - 2 * (sum(f) - f)) > 0
  }))
}

for (f in names(files)) for (gamma in c(FALSE, 0.7)) for (m in if (gamma) gamma_models else names(models))
  for (pd in c(TRUE, FALSE)) {
    aln <- read.dna(files[[f]], format = "fasta")
    opts <- c(paste0("--model=", m), paste0("--gaps=", if (pd) "pairwise" else "complete"),
              if (gamma) paste0("--gamma=", gamma))
    what <- paste(f, paste(opts, collapse = " "))
    ape <- as.matrix(dist.dna(aln, model = models[[m]], pairwise.deletion = pd, gamma = gamma))
    if (m == "k81") ape[!k81_defined(aln, pd)] <- NaN
    a <- ape[lower.tri(ape)]
    o <- phylo_dist(opts, files[[f]], nrow(aln))
    wrong <- ifelse(is.finite(a), abs(o - a) > 1e-6 * abs(a) + 1e-12, o != undefined)
    checked <- checked + length(a)
    if (any(wrong)) bad("MISMATCH", what, "\n  ape:  ", format(a[wrong], digits = 10),
                        "\n  phylo:", format(o[wrong], digits = 10))
    status <- system2(phylo, c("dist", opts, files[[f]]), stdout = FALSE, stderr = FALSE)
    if (status != any(!is.finite(a)))
      bad("STATUS", what, ": phylo exits with", status, "while ape has", sum(!is.finite(a)), "undefined")
  }
report("distances")
R
