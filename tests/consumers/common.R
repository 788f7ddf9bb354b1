# What the consumer tests' R scripts share, read before each: `phylo` (the path of the binary, the first argument),
# FASTA and matrices written, phylo dist's NEXUS read back, and a tally of the checks.
phylo <- commandArgs(TRUE)[1]
undefined <- 1e30
checked <- failures <- 0
# bad(...): a check fails, saying why. report(WHAT): the tally, and exit 1 when a check failed.
bad <- function(...) { failures <<- failures + 1; cat(..., "\n") }
report <- function(what) { cat(checked, what, "compared,", failures, "disagreements\n"); quit(status = failures > 0) }
write_fasta <- function(seqs, file) { writeLines(c(rbind(paste0(">", names(seqs)), seqs)), file); file }
write_matrix <- function(d, file)
  writeLines(c(nrow(d), paste(rownames(d), apply(d, 1, function(r) paste(sprintf("%.9g", r), collapse = " ")))), file)
# phylo dist with OPTS on FILE of N sequences: the lower triangle of its NEXUS matrix (undefined as `undefined`).
phylo_dist <- function(opts, file, n) {
  out <- suppressWarnings(system2(phylo, c("dist", opts, paste0("--undefined=", undefined), "--quiet", "--to=nexus",
                                           file), stdout = TRUE, stderr = FALSE))
  rows <- strsplit(trimws(out[grep("^\\s*matrix\\s*$", out) + seq_len(n)]), "[ \t]+")
  d <- matrix(0, n, n)
  for (i in seq_len(n)) { v <- as.numeric(rows[[i]][-1]); d[i, seq_along(v)] <- v }
  d[lower.tri(d)]
}
