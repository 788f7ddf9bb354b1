// The character-matrix reader for each kind and label layout, and its writer.
//
// Every input is read as a quantitative, a discrete and a counts matrix, with PHYLIP,
// extended PHYLIP and commented PHYLIP labels. Properties:
//   - every error is a typed one;
//   - what was read prints in each of the five layouts or fails with a typed error;
//   - printed in the extended PHYLIP layout, and in the commented one, a matrix whose labels
//     hold no control characters reads back in that layout and prints identically.
#include "fuzz_support.hpp"

#include "phylo/char_matrix.hpp"
#include "phylo/chars.hpp"

#include <optional>

namespace {

using namespace phylo;
using phylo::fuzz::captured_output;
using phylo::fuzz::text_input;
using phylo::fuzz::typed_errors_only;

std::string printed(const char_mat_type &m, char_format_type format) {
  captured_output out;
  print::print_char_mat(m, format);
  return out.text();
}

bool labels_free_of_control(const char_mat_type &m) {
  for (const std::string &l : m.labels)
    for (char c : l)
      if (controlchr.contains(c)) return false;
  return true;
}

// Reads one matrix; nullopt when the reader failed or the matrix cannot fit in the text.
std::optional<char_mat_type> read_matrix(std::string_view text, char_format_type format, matrix_type kind,
                                         const char **error) {
  text_input in(text);
  std::optional<char_mat_type> m;
  *error = typed_errors_only([&] {
    const read::char_mat_size size = read::read_header();
    FUZZ_CHECK(size.n_tax >= 1 && size.n_tax <= max_taxa && size.n_char >= 1 && size.n_char <= max_chars);
    // Every cell takes at least a byte: a matrix larger than the rest of the text is certain
    // to fail, and not worth a large allocation on every run.
    const auto cells = static_cast<std::size_t>(size.n_tax) * static_cast<std::size_t>(size.n_char);
    if (cells > in.source.buffered().size() + 1) return;
    m.emplace(static_cast<std::size_t>(size.n_tax), static_cast<std::size_t>(size.n_char), kind);
    read::read_char_mat(format, *m);
  });
  if (*error) m.reset();
  return m;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view text = phylo::fuzz::as_text(data, size);
  for (matrix_type kind : {matrix_type::QUANT, matrix_type::DISCR, matrix_type::CNTCH})
    for (char_format_type format :
         {char_format_type::PHYLIP, char_format_type::EXTENDED_PHYLIP, char_format_type::COMMENTED_PHYLIP}) {
      const char *error = nullptr;
      const std::optional<char_mat_type> m = read_matrix(text, format, kind, &error);
      if (!m) continue;
      FUZZ_CHECK(m->kind() == kind);
      for (char_format_type out : {char_format_type::PHYLIP, char_format_type::EXTENDED_PHYLIP, char_format_type::NEXUS,
                                   char_format_type::NEXUS_ENCLOSED, char_format_type::COMMENTED_PHYLIP})
        typed_errors_only([&] { printed(*m, out); });
      if (!labels_free_of_control(*m)) continue;
      for (char_format_type layout : {char_format_type::EXTENDED_PHYLIP, char_format_type::COMMENTED_PHYLIP}) {
        const std::string once = printed(*m, layout);
        const std::optional<char_mat_type> again = read_matrix(once, layout, kind, &error);
        if (error) std::fprintf(stderr, "reading back failed: %s\n", error);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(printed(*again, layout) == once);
      }
    }
  return 0;
}
