// Reading distance matrices as phylo convert and phylo tree do.

#include "matrix_input.hpp"

#include "phylo/number.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <unordered_map>

namespace phylo_cli {

using cli::data_refused;
using cli::named;
using cli::usage_error;
using phylo::read::dist_layout_type;
using phylo::read::dist_shape_type;

const std::string_view matrix_layout_help =
    "  -f, --from=LAYOUT       auto (default), phylip, relaxed, tsv, nexus, csv,\n"
    "                          pairs or mega\n"
    "  -s, --shape=SHAPE       auto (default), square, lower, lower-diagonal, upper\n"
    "                          or upper-diagonal: the cells that the rows of a\n"
    "                          phylip, relaxed or tsv matrix hold\n";

const std::string_view matrix_cells_help =
    "  -S, --symmetrize=HOW    make the matrix symmetric from its lower or upper\n"
    "                          triangle, or from the mean of both: lower, upper,\n"
    "                          mean\n"
    "      --column=N          pairs input: the distance is field N (default 3)\n"
    "      --fill=NUMBER       pairs input: the distance of a pair that no line\n"
    "                          gives; nexus input: of a missing cell (default:\n"
    "                          such a pair or cell is an error)\n"
    "      --similarity=SCALE  the input holds similarities: fraction (D := 1-S)\n"
    "                          or percent (D := 100-S), before the checks\n"
    "      --taxa=LIST         keep only these taxa, in this order (comma-separated)\n"
    "      --taxa-file=FILE    the same, one label per line of FILE\n";

namespace {

// phylo is not bound by karvel's 5000 taxa: a matrix may be as large as memory allows.
constexpr std::size_t any_taxa = std::numeric_limits<std::int32_t>::max();

constexpr named<similarity_type> similarities[] = {
    {"fraction", similarity_type::FRACTION},
    {"percent", similarity_type::PERCENT},
};

// A number of an option, checked: a non-negative finite value.
float parse_value(std::string_view option, const std::string &text) {
  float v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !(v >= 0.0f) || std::isinf(v))
    throw usage_error{"--" + std::string(option) + "=" + text + ": expected a number of at least 0"};
  return v;
}

// The reason why a text could not be read, and, when an option settles it, which.
std::string refusal(const phylo::error &e) {
  std::string text = e.what();
  if (const auto *undecided = dynamic_cast<const phylo::read::undecided_error *>(&e)) {
    switch (undecided->reason) {
    case phylo::read::undecided_type::LAYOUT:
      text += "; say --from=phylip, relaxed, tsv, nexus, csv, pairs or mega";
      break;
    case phylo::read::undecided_type::LABELS: text += "; say --from=phylip or --from=relaxed"; break;
    case phylo::read::undecided_type::SHAPE:
      text += "; say --shape=" + std::string(phylo::read::shape_name(undecided->shapes[0])) +
              " or --shape=" + std::string(phylo::read::shape_name(undecided->shapes[1]));
      break;
    }
  }
  if (dynamic_cast<const phylo::read::missing_pair_error *>(&e)) text += "; say --fill=NUMBER to give it a value";
  return text;
}

} // namespace

unsigned thread_count(const std::string &value) {
  unsigned n = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (ec != std::errc() || end != value.data() + value.size() || n < 1 || n > 4096)
    throw cli::usage_error{"--threads=" + value + " is not a number of threads from 1 to 4096"};
  return n;
}

int parse_count(std::string_view option, const std::string &text, int low, int high) {
  int v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
    throw usage_error{"--" + std::string(option) + "=" + text + ": expected a whole number from " +
                      std::to_string(low) + " to " + std::to_string(high)};
  return v;
}

bool take_matrix_input_option(matrix_input_settings &s, const cli::parsed_option &o) {
  const std::string_view name = o.def->long_name;
  if (name == "from") s.from = pick(input_layouts, name, *o.value)->value;
  else if (name == "shape") s.shape = pick(shapes, name, *o.value)->value;
  else if (name == "symmetrize") s.symmetrize = pick(symmetrizers, name, *o.value)->value;
  else if (name == "column") s.column = static_cast<std::size_t>(parse_count(name, *o.value, 3, 1000000));
  else if (name == "fill") s.fill = parse_value(name, *o.value);
  else if (name == "similarity") s.similarity = pick(similarities, name, *o.value)->value;
  else if (name == "taxa") s.taxa = *o.value;
  else if (name == "taxa-file") s.taxa_file = *o.value;
  else return false;
  return true;
}

void check_matrix_input_settings(const matrix_input_settings &s) {
  if (s.taxa && s.taxa_file) throw usage_error{"--taxa and --taxa-file exclude each other"};
  if (s.shape != dist_shape_type::AUTO && (s.from == dist_layout_type::NEXUS))
    throw usage_error{"--shape is for phylip, relaxed and tsv input; a NEXUS matrix states its own shape"};
  if (s.shape != dist_shape_type::AUTO &&
      (s.from == dist_layout_type::CSV || s.from == dist_layout_type::PAIRS || s.from == dist_layout_type::MEGA))
    throw usage_error{"--shape is for phylip, relaxed and tsv input; csv, pairs and mega input have their own shape"};
}

std::vector<std::string> wanted_taxa(const cli::reporter &report, const matrix_input_settings &s) {
  std::vector<std::string> names;
  if (!s.taxa && !s.taxa_file) return names;
  std::string text;
  char separator = ',';
  if (s.taxa) {
    text = *s.taxa;
  } else {
    try {
      phylo::input_source in = phylo::input_source::open_file(*s.taxa_file);
      for (int c; (c = in.peek()) >= 0; in.advance()) text.push_back(static_cast<char>(c));
    } catch (const phylo::error &e) {
      report(e.what());
      throw data_refused{};
    }
    separator = '\n';
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(text.find(separator, start), text.size());
    std::string name = text.substr(start, end - start);
    if (!name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty()) names.push_back(std::move(name));
    if (end == text.size()) break;
    start = end + 1;
  }
  return names;
}

void read_matrices(const cli::reporter &report, phylo::input_source &in, const matrix_input_settings &s,
                   const std::vector<std::string> &taxa,
                   const std::function<void(phylo::dist_mat_access, const std::string &at)> &take) {
  phylo::read::dist_reader reader(in, {s.from, s.shape, any_taxa, s.column, s.fill});
  std::size_t count = 0;
  for (;;) {
    phylo::dist_mat_access mat;
    try {
      mat = reader.next();
    } catch (const phylo::format_error &e) {
      report((e.where() ? cli::place(in.name(), e.where()->line) : in.name() + ": ") + refusal(e));
      throw data_refused{};
    } catch (const phylo::range_error &e) {
      report((e.where() ? cli::place(in.name(), e.where()->line) : in.name() + ": ") + refusal(e));
      throw data_refused{};
    }
    if (!mat) break;
    ++count;
    const std::string at = cli::place(in.name(), reader.matrix_line());
    try {
      if (s.similarity)
        phylo::similarities_to_distances(*mat, *s.similarity == similarity_type::PERCENT ? 100.0f : 1.0f);
      if (s.taxa || s.taxa_file) mat = phylo::keep_taxa(*mat, taxa);
    } catch (const phylo::range_error &e) {
      report(at + e.what());
      throw data_refused{};
    }
    if (s.symmetrize) phylo::symmetrize_dist(*mat, *s.symmetrize);
    take(std::move(mat), at);
  }
  if (count == 0) {
    report(in.name() + ": holds no distance matrix");
    throw data_refused{};
  }
}

} // namespace phylo_cli
