// The distance-matrix readers in each input layout, and the writers on what they read.
//
// Every input is read as PHYLIP, extended PHYLIP and tab-separated text, matrix after matrix,
// by read_dist_mat and by read_fast_dist_mat. Properties:
//   - every error is a typed one, and both forms fail alike and read alike;
//   - a matrix printed in the extended PHYLIP layout reads back and prints identically (when
//     its labels hold no control characters, which that layout writes as they are);
//   - the tab-separated layout gives back every label that holds no control character.
#include "fuzz_support.hpp"

#include "phylo/chars.hpp"
#include "phylo/print.hpp"
#include "phylo/read.hpp"

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace phylo;
using phylo::fuzz::captured_output;
using phylo::fuzz::text_input;
using phylo::fuzz::typed_errors_only;

constexpr int max_matrices = 4;

bool labels_free_of(const tax_lab_type &labels, const char_set_type &set) {
  for (const std::string &l : labels)
    for (char c : l)
      if (set.contains(c)) return false;
  return true;
}

std::string print(const dist_mat_type &m, dist_format_type format) {
  captured_output out;
  print::print_dist_mat(m, format);
  return out.text();
}

// Reads one matrix of a text in the given layout; aborts on any error.
dist_mat_type read_back(const std::string &text, dist_format_type format) {
  text_input in(text);
  std::optional<dist_mat_type> m;
  const char *err = typed_errors_only([&] {
    m.emplace(static_cast<std::size_t>(read::read_dist_header(format)));
    read::read_dist_mat(format, *m);
  });
  if (err) std::fprintf(stderr, "reading back failed: %s\n", err);
  FUZZ_CHECK(err == nullptr);
  FUZZ_CHECK(read::at_end());
  return std::move(*m);
}

void check_round_trips(const dist_mat_type &m) {
  // Extended PHYLIP: blanks are written as '_', control characters as they are.
  if (labels_free_of(m.labels, controlchr)) {
    const std::string once = print(m, dist_format_type::EXTENDED_PHYLIP);
    const dist_mat_type again = read_back(once, dist_format_type::EXTENDED_PHYLIP);
    FUZZ_CHECK(again.n_tax() == m.n_tax());
    FUZZ_CHECK(print(again, dist_format_type::EXTENDED_PHYLIP) == once);

    // Tab-separated: every label comes back exactly as it was.
    const std::string tab = print(m, dist_format_type::TAB);
    const dist_mat_type from_tab = read_back(tab, dist_format_type::TAB);
    FUZZ_CHECK(from_tab.labels == m.labels);
    FUZZ_CHECK(print(from_tab, dist_format_type::TAB) == tab);
  }
}

// What one pass over the text read: the matrices, and how it ended.
struct pass {
  std::vector<dist_mat_type> matrices;
  const char *error = nullptr;
  bool skipped = false; // a matrix too large for the text was left unread
};

pass read_all(std::string_view text, dist_format_type format, bool flat) {
  text_input in(text);
  pass p;
  p.error = typed_errors_only([&] {
    for (int k = 0; k < max_matrices && !read::at_end(format); ++k) {
      const auto n = static_cast<std::size_t>(read::read_dist_header(format));
      FUZZ_CHECK(n >= 1 && n <= static_cast<std::size_t>(max_taxa));
      // Every cell takes at least two bytes: a matrix that cannot fit in the rest of the text
      // is certain to fail; it is not worth a large allocation on every run.
      if (n * n > 2 * in.source.buffered().size() + 2) {
        p.skipped = true;
        return;
      }
      if (flat) {
        fast_dist_mat_type f(n, n * n);
        read::read_fast_dist_mat(format, f);
        dist_mat_type m(n);
        m.labels = f.labels;
        std::memcpy(m.distances.data(), f.distances.data(), n * n * sizeof(float));
        p.matrices.push_back(std::move(m));
      } else {
        dist_mat_type m(n);
        read::read_dist_mat(format, m);
        p.matrices.push_back(std::move(m));
      }
    }
  });
  return p;
}

bool same_cells(const dist_mat_type &a, const dist_mat_type &b) {
  const std::size_t n = a.n_tax();
  return b.n_tax() == n && std::memcmp(a.distances.data(), b.distances.data(), n * n * sizeof(float)) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view text = phylo::fuzz::as_text(data, size);
  for (dist_format_type format : {dist_format_type::PHYLIP, dist_format_type::EXTENDED_PHYLIP, dist_format_type::TAB}) {
    const pass square = read_all(text, format, false);
    const pass flat = read_all(text, format, true);
    FUZZ_CHECK((square.error == nullptr) == (flat.error == nullptr));
    if (square.error) FUZZ_CHECK(std::strcmp(square.error, flat.error) == 0);
    FUZZ_CHECK(square.matrices.size() == flat.matrices.size());
    FUZZ_CHECK(square.skipped == flat.skipped);
    for (std::size_t k = 0; k < square.matrices.size(); ++k) {
      const dist_mat_type &m = square.matrices[k];
      FUZZ_CHECK(m.labels == flat.matrices[k].labels);
      FUZZ_CHECK(same_cells(m, flat.matrices[k]));
      for (std::size_t i = 0; i < m.n_tax() * m.n_tax(); ++i) {
        const float v = m.distances.data()[i];
        FUZZ_CHECK(v >= 0.0f && v <= max_distance); // negative zero included
      }
      check_round_trips(m);
    }
  }
  return 0;
}
