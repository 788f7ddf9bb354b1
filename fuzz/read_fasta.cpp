// The FASTA reader, the alignment check and both character-matrix writers.
//
// Properties:
//   - every error is a typed one;
//   - residues are nucleotide codes only (no whitespace, no '.'), labels have no ASCII
//     whitespace at either end (bytes above 127 belong to UTF-8 labels and are kept), and
//     is_aligned says whether every sequence is as long as the first;
//   - an aligned set prints in each of the five layouts, an unaligned one raises
//     unaligned_error; printed in the extended PHYLIP layout, a set whose labels hold no
//     control characters reads back as a discrete character matrix with the same residues;
//   - a character matrix made of the sequences prints as the sequences print (the commented
//     layout, having no comments for sequences, as the extended one).
#include "fuzz_support.hpp"

#include "phylo/char_matrix.hpp"
#include "phylo/chars.hpp"
#include "phylo/fasta.hpp"

#include <cstring>

namespace {

using namespace phylo;
using phylo::fuzz::captured_output;
using phylo::fuzz::text_input;
using phylo::fuzz::typed_errors_only;

constexpr char_format_type layouts[] = {char_format_type::PHYLIP, char_format_type::EXTENDED_PHYLIP,
                                        char_format_type::NEXUS, char_format_type::NEXUS_ENCLOSED,
                                        char_format_type::COMMENTED_PHYLIP};

template <class M> std::string printed(const M &m, char_format_type format) {
  captured_output out;
  print::print_char_mat(m, format);
  return out.text();
}

bool free_of(std::string_view s, const char_set_type &set) {
  for (char c : s)
    if (set.contains(c)) return false;
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  sequence_vecs seqs;
  {
    text_input in(phylo::fuzz::as_text(data, size));
    typed_errors_only([&] { read::read_fasta(seqs); });
  }
  bool labels_clean = true;
  for (const sequence_type &s : seqs) {
    FUZZ_CHECK(free_of(s.residues, non_wide_nuc_set));
    FUZZ_CHECK(s.label.empty() ||
               (!ascii_whitespace.contains(s.label.front()) && !ascii_whitespace.contains(s.label.back())));
    labels_clean = labels_clean && !s.label.empty() && free_of(s.label, controlchr);
  }
  bool aligned = false;
  const char *error = typed_errors_only([&] { aligned = read::is_aligned(seqs); });
  if (seqs.empty() || seqs.front().residues.empty()) {
    FUZZ_CHECK(error && std::strcmp(error, "range_error") == 0);
    return 0;
  }
  FUZZ_CHECK(error == nullptr);
  bool same = true;
  for (const sequence_type &s : seqs) same = same && s.residues.size() == seqs.front().residues.size();
  FUZZ_CHECK(aligned == same);

  for (char_format_type layout : layouts) {
    error = typed_errors_only([&] { printed(seqs, layout); });
    if (!aligned) FUZZ_CHECK(error && std::strcmp(error, "unaligned_error") == 0);
  }
  if (!aligned || !labels_clean) return 0;

  // The set as a discrete character matrix prints alike, and its extended PHYLIP text reads back.
  const std::size_t n_tax = seqs.size(), n_char = seqs.front().residues.size();
  char_mat_type m(n_tax, n_char, matrix_type::DISCR);
  for (std::size_t i = 0; i < n_tax; ++i) {
    m.labels[i] = seqs[i].label;
    for (std::size_t j = 0; j < n_char; ++j) m.discr_data()(i, j) = seqs[i].residues[j];
  }
  // (The commented layout has no comments to write for sequences: it is the extended one.)
  for (char_format_type layout : layouts)
    FUZZ_CHECK(printed(seqs, layout) ==
               printed(m, layout == char_format_type::COMMENTED_PHYLIP ? char_format_type::EXTENDED_PHYLIP : layout));
  const std::string once = printed(seqs, char_format_type::EXTENDED_PHYLIP);
  text_input in(once);
  error = typed_errors_only([&] {
    const read::char_mat_size size = read::read_header();
    FUZZ_CHECK(static_cast<std::size_t>(size.n_tax) == n_tax && static_cast<std::size_t>(size.n_char) == n_char);
    char_mat_type back(n_tax, n_char, matrix_type::DISCR);
    read::read_char_mat(char_format_type::EXTENDED_PHYLIP, back);
    FUZZ_CHECK(printed(back, char_format_type::EXTENDED_PHYLIP) == once);
    for (std::size_t i = 0; i < n_tax; ++i)
      for (std::size_t j = 0; j < n_char; ++j) FUZZ_CHECK(back.discr_data()(i, j) == seqs[i].residues[j]);
  });
  if (error) std::fprintf(stderr, "reading back failed: %s\n", error);
  FUZZ_CHECK(error == nullptr);
  return 0;
}
