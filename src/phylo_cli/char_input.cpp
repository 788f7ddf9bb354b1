#include "char_input.hpp"

#include "commands.hpp"
#include "output_file.hpp"

#include "phylo/chars.hpp"
#include "phylo/dist_read.hpp"
#include "phylo/io.hpp"
#include "phylo/read.hpp"

#include <cstdio>
#include <memory>
#include <unordered_map>

namespace phylo_cli {
namespace {

// Where the sequences of a FASTA text stand, found by reading it as read_fasta does: a line
// that begins with '>' is a header; every other line holds residues of the current sequence
// (lines before the first header belong to the first sequence).
struct fasta_outline {
  std::vector<std::size_t> header_lines; // the line of each header, in order
  std::vector<std::string> labels;       // the label of each header, trimmed as read_fasta does
  // The first residue that is no nucleotide code: its sequence (0-based), line and column.
  bool bad = false;
  std::size_t bad_sequence = 0, bad_line = 0, bad_column = 0;
  char bad_char = 0;
};

std::string_view trim(std::string_view text) {
  while (!text.empty() && phylo::whitespace.contains(text.front())) text.remove_prefix(1);
  while (!text.empty() && phylo::whitespace.contains(text.back())) text.remove_suffix(1);
  return text;
}

fasta_outline outline(const std::string &text) {
  fasta_outline o;
  std::size_t line = 1;
  for (std::size_t pos = 0; pos < text.size(); ++line) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view content(text.data() + pos, end - pos);
    if (!content.empty() && content.front() == '>') {
      o.header_lines.push_back(line);
      o.labels.emplace_back(trim(content.substr(1)));
    } else if (!o.bad) {
      for (std::size_t k = 0; k < content.size(); ++k) {
        const char c = content[k];
        if (phylo::whitespace.contains(c) || !phylo::non_wide_nuc_set.contains(phylo::good_gaps(c))) continue;
        o.bad = true;
        o.bad_sequence = o.header_lines.empty() ? 0 : o.header_lines.size() - 1;
        o.bad_line = line;
        o.bad_column = k + 1;
        o.bad_char = c;
        break;
      }
    }
    pos = end + 1;
  }
  return o;
}

// A character as a message shows it: 'U', or \xNN when it is not printable.
std::string shown(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x20 && u < 0x7f) return std::string("'") + c + "'";
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\x%02X", u);
  return buf;
}

} // namespace

input_text read_input(const std::string &operand) {
  input_text in;
  if (operand == "-") {
    phylo::input_source standard_input = phylo::input_source::from_fd(0, "standard input");
    phylo::scoped_input use(standard_input);
    in.name = "standard input";
    in.text = phylo::read::read_whole_input();
  } else {
    phylo::input_source file = phylo::input_source::open_file(operand);
    phylo::scoped_input use(file);
    in.name = operand;
    in.text = phylo::read::read_whole_input();
  }
  return in;
}

bool looks_like_fasta(const std::string &text) {
  for (char c : text)
    if (!phylo::whitespace.contains(c)) return c == '>';
  return false;
}

phylo::sequence_vecs read_alignment(const input_text &in) {
  const fasta_outline o = outline(in.text);
  auto at = [&](std::size_t line) { return in.name + ":" + std::to_string(line) + ": "; };
  // Sequence i as messages name it, and the line of its header.
  auto line_of = [&](std::size_t i) { return i < o.header_lines.size() ? o.header_lines[i] : std::size_t{1}; };
  auto sequence = [&](std::size_t i) {
    if (o.header_lines.empty()) return std::string("the sequence");
    if (o.labels[i].empty()) return "sequence " + std::to_string(i + 1);
    return "sequence '" + o.labels[i] + "'";
  };

  phylo::sequence_vecs seqs;
  {
    phylo::input_source source = phylo::input_source::from_text(in.text, in.name);
    phylo::scoped_input use(source);
    try {
      phylo::read::read_fasta(seqs);
    } catch (const phylo::invalid_character_error &) {
      if (!o.bad) throw;
      report(at(o.bad_line) + "column " + std::to_string(o.bad_column) + ": " + shown(o.bad_char) + " in " +
             sequence(o.bad_sequence) +
             " is not a nucleotide code (A, C, G, T, the IUPAC codes R, Y, M, K, S, W, H, B, V, D, N in either "
             "case, '-', '.' or '?')");
      throw data_refused{};
    } catch (const phylo::range_error &) {
      report(at(line_of(seqs.size())) + sequence(seqs.size()) + " is one more than the " +
             std::to_string(phylo::max_taxa) + " sequences allowed");
      throw data_refused{};
    }
  }
  if (o.header_lines.empty()) {
    if (seqs.size() == 1 && seqs[0].residues.empty()) report(in.name + ": holds no sequences");
    else report(at(1) + "the sequence has no header line ('>' followed by its label)");
    throw data_refused{};
  }
  // read_fasta gives one sequence per header, in order.
  for (std::size_t i = 0; i < seqs.size(); ++i) {
    if (seqs[i].label.empty()) {
      report(at(line_of(i)) + sequence(i) + " has no label (its header line holds '>' alone)");
      throw data_refused{};
    }
    if (seqs[i].residues.empty()) {
      report(at(line_of(i)) + sequence(i) + " has no residues");
      throw data_refused{};
    }
  }
  if (!phylo::read::is_aligned(seqs)) {
    const std::size_t n = seqs[0].residues.size();
    std::size_t i = 1;
    while (seqs[i].residues.size() == n) ++i;
    report(at(line_of(i)) + sequence(i) + " has " + std::to_string(seqs[i].residues.size()) +
           " residues, but the first sequence, '" + seqs[0].label + "', has " + std::to_string(n) +
           ": the sequences are not aligned");
    throw data_refused{};
  }
  if (seqs[0].residues.size() > static_cast<std::size_t>(phylo::max_chars)) {
    report(in.name + ": the sequences have " + std::to_string(seqs[0].residues.size()) + " residues; at most " +
           std::to_string(phylo::max_chars) + " are allowed");
    throw data_refused{};
  }
  return seqs;
}

void warn_about_labels(const std::vector<std::string_view> &labels, phylo::label_form_type form,
                       const std::string &place, bool quiet) {
  if (quiet) return;
  std::unordered_map<std::string, std::size_t> seen; // label as written -> first taxon
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const std::string written = phylo::label_as_written(labels[i], form);
    if (written.empty()) {
      report(place + "warning: the label '" + std::string(labels[i]) + "' is written as nothing");
      return;
    }
    const auto [it, fresh] = seen.emplace(written, i);
    if (!fresh) {
      const std::string_view first = labels[it->second];
      report(place + "warning: " +
             (first == labels[i] ? "the label '" + std::string(first) + "' stands twice"
                                 : "the labels '" + std::string(first) + "' and '" + std::string(labels[i]) +
                                       "' are written alike"));
      return;
    }
  }
}

int run_with_output(const std::optional<std::string> &output, const std::function<void()> &body) {
  try {
    std::unique_ptr<output_file> file;
    std::optional<phylo::output_sink> sink;
    std::optional<phylo::scoped_output> use;
    if (output) {
      file = std::make_unique<output_file>(*output);
      sink.emplace(phylo::output_sink::to_fd(file->fd(), *output));
      use.emplace(*sink);
    }
    try {
      body();
    } catch (...) {
      if (!output) {
        try {
          phylo::current_output().flush(); // what was written before the failure stays
        } catch (const phylo::error &) {
        }
      }
      throw;
    }
    phylo::current_output().flush();
    if (file) file->commit();
    return 0;
  } catch (const data_refused &) {
    return 1;
  } catch (const phylo::error &e) {
    report(e.what());
    return 1;
  } catch (const std::bad_alloc &) {
    report("out of memory");
    return 1;
  }
}

} // namespace phylo_cli
