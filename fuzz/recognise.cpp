// The recognising reader of phylo convert, in every layout and shape that can be asked for.
//
// Byte 0 of the input chooses the layout (auto, phylip, relaxed, tsv, nexus), byte 1 the
// shape; the rest is the text. Properties:
//   - every error is a typed one, and carries the input's name and a line within the text;
//   - every matrix read has labels that are not empty, and a zero diagonal when its shape
//     leaves the diagonal out;
//   - a matrix written in standard NEXUS reads back with the same labels and cells; one
//     written in the relaxed layout (when its labels hold no blank or control character)
//     reads back with the same labels, and is written again as it was (its 12-character
//     images keep six digits).
#include "fuzz_support.hpp"

#include "phylo/chars.hpp"
#include "phylo/nexus.hpp"
#include "phylo/phylip.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace phylo;
using phylo::fuzz::captured_output;
using phylo::fuzz::typed_errors_only;
using read::dist_layout_type;
using read::dist_shape_type;

constexpr int max_matrices = 4;

std::vector<dist_mat_type> read_text(std::string_view text, read::dist_read_settings settings, const char **error) {
  std::vector<dist_mat_type> matrices;
  input_source in = input_source::from_text(text, "fuzz input");
  // Lines end in LF, CR LF, or (in NEXUS) CR alone.
  std::size_t lines = 1;
  for (std::size_t k = 0; k < text.size(); ++k)
    lines += text[k] == '\n' || (text[k] == '\r' && (k + 1 == text.size() || text[k + 1] != '\n'));
  read::dist_reader reader(in, settings);
  *error = nullptr;
  try {
    for (int k = 0; k < max_matrices; ++k) {
      dist_mat_access m = reader.next();
      if (!m) break;
      FUZZ_CHECK(reader.matrix_line() >= 1 && reader.matrix_line() <= lines);
      matrices.push_back(std::move(*m));
    }
  } catch (const phylo::error &e) {
    *error = e.kind();
    FUZZ_CHECK(e.where() && e.where()->name == "fuzz input");
    FUZZ_CHECK(e.where()->line >= 1 && e.where()->line <= lines);
  } catch (const std::exception &e) {
    std::fprintf(stderr, "untyped exception: %s\n", e.what());
    std::abort();
  }
  return matrices;
}

bool same_matrix(const dist_mat_type &a, const dist_mat_type &b) {
  if (a.n_tax() != b.n_tax() || !(a.labels == b.labels)) return false;
  for (std::size_t i = 0; i < a.n_tax(); ++i)
    for (std::size_t j = 0; j <= i; ++j) // written as a lower triangle
      if (a.distances(i, j) != b.distances(i, j)) return false;
  return true;
}

void check_round_trips(const dist_mat_type &m) {
  const char *error = nullptr;
  std::string nexus;
  {
    captured_output out;
    print::print_nexus_dist_mat(m);
    nexus = out.text();
  }
  const auto back = read_text(nexus, {dist_layout_type::AUTO, dist_shape_type::AUTO, 100000, 3, {}}, &error);
  if (error) std::fprintf(stderr, "NEXUS did not read back: %s\n%s", error, nexus.c_str());
  FUZZ_CHECK(!error && back.size() == 1 && same_matrix(m, back[0]));

  for (const std::string &label : m.labels)
    if (std::any_of(label.begin(), label.end(), [](char c) { return whitespace.contains(c); })) return;
  auto relaxed = [](const dist_mat_type &matrix) {
    captured_output out;
    print::print_dist_mat(matrix, dist_format_type::EXTENDED_PHYLIP);
    return out.text();
  };
  const std::string once = relaxed(m);
  const auto again = read_text(once, {dist_layout_type::RELAXED, dist_shape_type::SQUARE, 100000, 3, {}}, &error);
  FUZZ_CHECK(!error && again.size() == 1 && again[0].labels == m.labels);
  FUZZ_CHECK(relaxed(again[0]) == once);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2) return 0;
  constexpr dist_layout_type layouts[] = {dist_layout_type::AUTO,  dist_layout_type::PHYLIP, dist_layout_type::RELAXED,
                                          dist_layout_type::TSV,   dist_layout_type::NEXUS,  dist_layout_type::CSV,
                                          dist_layout_type::PAIRS, dist_layout_type::MEGA};
  constexpr dist_shape_type shapes[] = {dist_shape_type::AUTO,  dist_shape_type::SQUARE,
                                        dist_shape_type::LOWER, dist_shape_type::LOWER_DIAGONAL,
                                        dist_shape_type::UPPER, dist_shape_type::UPPER_DIAGONAL};
  const read::dist_read_settings settings{layouts[data[0] % 8], shapes[data[1] % 6], 64, 3, {}};
  const std::string_view text = phylo::fuzz::as_text(data + 2, size - 2);
  const char *error = nullptr;
  for (const dist_mat_type &m : read_text(text, settings, &error)) {
    FUZZ_CHECK(m.n_tax() >= 1 && m.n_tax() <= 64);
    for (const std::string &label : m.labels) FUZZ_CHECK(!label.empty());
    for (std::size_t i = 0; i < m.n_tax(); ++i) FUZZ_CHECK(m.distances(i, i) >= 0.0f);
    check_round_trips(m);
  }
  return 0;
}
