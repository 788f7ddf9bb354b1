#include "char_input.hpp"

#include "phylo/chars.hpp"
#include "phylo/fasta.hpp"

#include <functional>
#include <unordered_map>

namespace phylo_cli {

using cli::data_refused;

bool looks_like_fasta(phylo::input_source &in) {
  for (std::size_t k = 0;; ++k) {
    const int c = in.peek_at(k);
    if (c < 0) return false;
    if (!phylo::ascii_whitespace.contains(static_cast<unsigned char>(c))) return c == '>';
  }
}

void read_alignment(const cli::reporter &report, phylo::input_source &in, std::size_t max_sequences,
                    const std::function<void(phylo::read::fasta_record &)> &take,
                    phylo::read::residue_alphabet alphabet, bool either) {
  auto at = [&](std::size_t line) { return in.name() + ":" + std::to_string(line) + ": "; };
  // Sequence i as messages name it.
  auto sequence = [&](std::size_t i, const phylo::read::fasta_record &r) {
    if (r.header_line == 0) return std::string("the sequence");
    if (r.label.empty()) return "sequence " + std::to_string(i + 1);
    return "sequence " + phylo::quote_text(r.label);
  };

  // The library gives lines before the first header to the first sequence; here they are
  // refused, unless there is no header at all (reported below).
  int c;
  while ((c = in.peek()) >= 0 && phylo::whitespace.contains(static_cast<unsigned char>(c))) in.advance();
  const std::size_t headless_line = c >= 0 && c != '>' ? in.line() : 0;
  phylo::read::fasta_reader reader(in, alphabet);
  phylo::read::fasta_record record;
  std::string first_label;
  std::size_t count = 0, n = 0;
  try {
    for (; reader.next(record); ++count) {
      if (headless_line != 0 && record.header_line != 0) {
        report(at(headless_line) + "residues stand before the first header line ('>' followed by a label)");
        throw data_refused{};
      }
      if (count == max_sequences) {
        report(at(record.header_line) + sequence(count, record) + " is one more than the " +
               std::to_string(max_sequences) + " sequences allowed");
        throw data_refused{};
      }
      if (record.header_line == 0) { // a text without any header line
        if (record.residues.empty()) report(in.name() + ": holds no sequences");
        else report(at(1) + "the sequence has no header line ('>' followed by its label)");
        throw data_refused{};
      }
      if (record.label.empty()) {
        report(at(record.header_line) + "sequence " + std::to_string(count + 1) +
               " has no label (its header line holds '>' alone)");
        throw data_refused{};
      }
      if (record.residues.empty()) {
        report(at(record.header_line) + "sequence " + phylo::quote_text(record.label) + " has no residues");
        throw data_refused{};
      }
      if (count == 0) {
        n = record.residues.size();
        first_label = record.label;
        if (n > static_cast<std::size_t>(phylo::max_chars)) {
          report(in.name() + ": the sequences have " + std::to_string(n) + " residues; at most " +
                 std::to_string(phylo::max_chars) + " are allowed");
          throw data_refused{};
        }
      } else if (record.residues.size() != n) {
        report(at(record.header_line) + "sequence " + phylo::quote_text(record.label) + " has " +
               std::to_string(record.residues.size()) + " residues, but the first sequence, " +
               phylo::quote_text(first_label) + ", has " + std::to_string(n) + ": the sequences are not aligned");
        throw data_refused{};
      }
      take(record);
    }
  } catch (const phylo::read::residue_error &e) {
    // The record holds the label of the sequence that failed.
    const phylo::input_position *where = e.where();
    const std::string aminos = "the amino-acid codes A R N D C Q E G H I L K M F P S T W Y V B Z J X *";
    const std::string what =
        either ? " is neither a nucleotide nor an amino-acid code (" + aminos + " in either case, '-', '.' or '?')"
        : e.alphabet == phylo::read::residue_alphabet::AMINO_ACIDS
            ? " is not an amino-acid code (" + aminos + " in either case, '-', '.' or '?')"
            : " is not a nucleotide code (A, C, G, T, the IUPAC codes R, Y, M, K, S, W, H, B, V, D, N in either "
              "case, '-', '.' or '?')";
    report(at(where ? where->line : 0) + "column " + std::to_string(where ? where->column : 0) + ": " +
           phylo::describe_char(static_cast<unsigned char>(e.character())) + " in " + sequence(count, record) + what);
    throw data_refused{};
  }
  if (count == 0) {
    report(in.name() + ": holds no sequences");
    throw data_refused{};
  }
}

std::vector<phylo::sequence_type> read_alignment(const cli::reporter &report, phylo::input_source &in,
                                                 std::size_t max_sequences) {
  std::vector<phylo::sequence_type> seqs;
  read_alignment(report, in, max_sequences, [&](phylo::read::fasta_record &r) {
    seqs.push_back({std::move(r.label), std::string(), std::move(r.residues)});
  });
  return seqs;
}

void warn_about_labels(const cli::reporter &report, const std::vector<std::string_view> &labels,
                       phylo::label_form_type form, const std::string &place, bool quiet) {
  if (quiet) return;
  if (form == phylo::label_form_type::TREE_SAFE || form == phylo::label_form_type::TREE_SAFE_PHYLIP)
    for (std::string_view label : labels)
      if (phylo::label_as_written(label, phylo::label_form_type::TREE_SAFE) != label) {
        report(place + "warning: the label '" + std::string(label) +
               "' holds blanks, control characters or ( ) [ ] : ; , ' that tree builders cannot take, written as '" +
               phylo::label_as_written(label, form) + "'");
        break;
      }
  if (form == phylo::label_form_type::TREE_SAFE_PHYLIP || form == phylo::label_form_type::PHYLIP)
    for (std::string_view label : labels)
      if (label.size() > 10 && (static_cast<unsigned char>(label[10]) & 0xC0) == 0x80) {
        report(place + "warning: the label '" + std::string(label) + "' is cut inside a UTF-8 character at 10 bytes");
        break;
      }
  std::unordered_map<std::string, std::size_t> seen; // label as compared -> first taxon
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const std::string written = phylo::label_as_compared(labels[i], form);
    if (written.empty()) {
      report(place + "warning: the label " + phylo::quote_text(labels[i]) + " is written as nothing");
      return;
    }
    const auto [it, fresh] = seen.emplace(written, i);
    if (!fresh) {
      const std::string_view first = labels[it->second];
      report(place + "warning: " +
             (first == labels[i] ? "the label " + phylo::quote_text(first) + " stands twice"
                                 : "the labels " + phylo::quote_text(first) + " and " + phylo::quote_text(labels[i]) +
                                       " are written alike"));
      return;
    }
  }
}

} // namespace phylo_cli
