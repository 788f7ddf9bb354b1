// MEGA distance files, as MEGA exports them and as its manual describes them.
#include "phylo/mega.hpp"

#include "fields.hpp"
#include "line_input.hpp"
#include "phylo/chars.hpp"
#include "phylo/io.hpp"
#include "phylo/number.hpp"

#include <charconv>
#include <string>
#include <system_error>
#include <vector>

namespace phylo::detail {
namespace {

// The words of a MEGA file outside comments: runs of characters other than ASCII blanks and
// controls, '[' starting a comment (nested) wherever it stands; the line where each begins.
class mega_words {
public:
  explicit mega_words(input_source &in) : in_(in) {}
  // The next word into `word`; false at the end of the input.
  bool next(std::string &word) {
    word.clear();
    for (;;) {
      const int c = in_.peek();
      if (c < 0) return !word.empty();
      if (c == '[') {
        if (!word.empty()) return true;
        skip_comment();
        continue;
      }
      if (ascii_whitespace.contains(static_cast<unsigned char>(c))) {
        if (!word.empty()) return true;
        in_.advance();
        continue;
      }
      if (word.empty()) line_ = in_.line();
      word.push_back(static_cast<char>(c));
      in_.advance();
    }
  }
  std::size_t line() const noexcept { return line_; }

private:
  void skip_comment() {
    const input_position start = in_.position();
    if (!skip_bracket_comment(in_)) throw format_error("the input ends in a comment", start);
  }
  input_source &in_;
  std::size_t line_ = 0;
};

} // namespace

} // namespace phylo::detail

namespace phylo::read {

dist_mat_access read_mega_dist_mat(input_source &in, std::size_t max_taxa) {
  using namespace phylo::detail;
  mega_words words(in);
  const std::string name = in.name();
  auto at = [&] { return input_position{name, words.line(), 1}; };
  std::string word;
  if (!words.next(word)) return nullptr;
  if (!equal_ignoring_case(word, "#mega")) throw format_error("a MEGA file begins with #mega", at());
  bool upper = false, distance = false;
  std::size_t stated = 0;
  std::vector<std::string> labels;
  std::vector<float> values;
  while (words.next(word)) {
    if (word[0] == '!') { // a command, up to its ';'
      std::string command = word;
      while (command.back() != ';' && words.next(word)) command += ' ' + word;
      for (std::size_t p = 0; p < command.size();) {
        const std::size_t end = std::min(command.find_first_of(" ;", p), command.size());
        const std::string_view item(command.data() + p, end - p);
        const std::size_t eq = item.find('=');
        if (eq != std::string_view::npos) {
          const std::string_view key = item.substr(0, eq), value = item.substr(eq + 1);
          if (equal_ignoring_case(key, "DataType")) distance = equal_ignoring_case(value, "distance");
          else if (equal_ignoring_case(key, "DataFormat")) {
            if (equal_ignoring_case(value, "upperright")) upper = true;
            else if (!equal_ignoring_case(value, "lowerleft"))
              throw format_error("DataFormat=" + std::string(value) + " is neither LowerLeft nor UpperRight", at());
          } else if (equal_ignoring_case(key, "NTaxa") || equal_ignoring_case(key, "NSeqs")) {
            const auto [digits_end, problem] = std::from_chars(value.data(), value.data() + value.size(), stated);
            if (problem != std::errc{} || digits_end != value.data() + value.size() || stated == 0)
              throw format_error(std::string(key) + "=" + std::string(value) + " is no taxon count", at());
          }
        }
        p = end + 1;
      }
      continue;
    }
    if (word[0] == '#') {
      if (!values.empty()) throw format_error("a label " + quote_text(word) + " among the distances", at());
      if (word.size() == 1) throw format_error("a '#' without a label", at());
      if (labels.size() >= max_taxa) throw range_error("more than " + std::to_string(max_taxa) + " taxa", at());
      labels.emplace_back(word.substr(1));
      continue;
    }
    const std::optional<float> number = parse_real(word);
    if (!number) throw format_error(quote_text(word) + " is no distance", at());
    const float v = *number;
    if (v < 0.0f) throw range_error("distance " + print::shortest_decimal(v) + " is negative", at());
    values.push_back(v);
  }
  const input_position end{name, in.line(), 1};
  if (!distance) throw format_error("the MEGA file holds no !Format DataType=Distance", end);
  const std::size_t n = labels.size();
  if (n == 0) throw format_error("the MEGA file names no taxa", end);
  if (stated != 0 && stated != n)
    throw format_error("NTaxa=" + std::to_string(stated) + ", but the file names " + std::to_string(n) + " taxa", end);
  if (values.size() != n * (n - 1) / 2)
    throw format_error("the file holds " + std::to_string(values.size()) + " distances; " + std::to_string(n) +
                           " taxa need " + std::to_string(n * (n - 1) / 2),
                       end);
  auto mat = new_dist_mat(n);
  std::size_t k = 0;
  for (std::size_t i = 0; i < n; ++i) {
    mat->labels[i] = std::move(labels[i]);
    mat->distances(i, i) = 0.0f;
  }
  if (upper) {
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = i + 1; j < n; ++j) mat->distances(i, j) = mat->distances(j, i) = values[k++];
  } else {
    for (std::size_t i = 1; i < n; ++i)
      for (std::size_t j = 0; j < i; ++j) mat->distances(i, j) = mat->distances(j, i) = values[k++];
  }
  return mat;
}

} // namespace phylo::read

namespace phylo::print {

void print_mega_dist_mat(output_sink &out, const dist_mat_type &dist, int digits) {
  const std::size_t n = dist.n_tax();
  out.write("#mega\n!Title: distances;\n!Format DataType=Distance DataFormat=LowerLeft NTaxa=" + std::to_string(n) +
            ";\n\n");
  for (std::size_t i = 0; i < n; ++i) {
    out.put('#');
    out.write(phylo::apply(tree_safe_label_map, dist.labels[i]));
    out.put('\n');
  }
  out.put('\n');
  for (std::size_t i = 1; i < n; ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      char *p = out.reserve(66);
      if (j > 0) *p++ = ' ';
      out.commit(write_decimal(dist.distances(i, j), digits, p));
    }
    out.put('\n');
  }
}

} // namespace phylo::print
