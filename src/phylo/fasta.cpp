// FASTA: sequences read record by record, the whole-input reader, and the alignment check.
#include "phylo/fasta.hpp"

#include "phylo/chars.hpp"
#include "phylo/text.hpp"

#include <array>
#include <cstring>
#include <optional>
#include <string>

namespace phylo::read {
namespace {

// The first residue that is no nucleotide code: where it stands, and the character.
struct bad_residue {
  input_position where;
  char character;
};

// Consumes the rest of the current line and its line end, however long, into `text`.
void take_line(input_source &in, std::string &text) {
  for (;;) {
    const std::string_view chunk = in.buffered();
    if (chunk.empty()) return;
    const void *nl = std::memchr(chunk.data(), '\n', chunk.size());
    const std::size_t len = nl ? static_cast<std::size_t>(static_cast<const char *>(nl) - chunk.data()) : chunk.size();
    text.append(chunk.data(), len);
    in.consume(nl ? len + 1 : len);
    if (nl) return;
  }
}

// What a character of a sequence line is: a residue, space to skip, or outside the alphabet.
enum residue_class : unsigned char { RESIDUE, SPACE, NOT_RESIDUE };
constexpr std::array<unsigned char, 256> residue_classes(const char_set_type &residues) {
  std::array<unsigned char, 256> classes{};
  for (unsigned c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    classes[c] = ascii_whitespace.contains(ch) ? SPACE : !residues.contains(good_gaps(ch)) ? NOT_RESIDUE : RESIDUE;
  }
  return classes;
}

// Consumes the rest of a sequence line and its line end, appending the characters that are
// not whitespace to `residues`, and notes the first that is no nucleotide code. Runs of
// residues are appended whole.
void take_residues(input_source &in, const std::array<unsigned char, 256> &residue_classes, std::string &residues,
                   std::optional<bad_residue> &bad) {
  for (;;) {
    const std::string_view chunk = in.buffered();
    if (chunk.empty()) return;
    const void *nl = std::memchr(chunk.data(), '\n', chunk.size());
    const std::size_t len = nl ? static_cast<std::size_t>(static_cast<const char *>(nl) - chunk.data()) : chunk.size();
    const auto class_of = [&](std::size_t k) { return residue_classes[static_cast<unsigned char>(chunk[k])]; };
    std::size_t k = 0;
    while (k < len) {
      std::size_t run = k;
      while (run < len && class_of(run) == RESIDUE) ++run;
      residues.append(chunk.data() + k, run - k);
      k = run;
      if (k == len) break;
      if (class_of(k) == SPACE) {
        ++k;
      } else if (bad) {
        residues.push_back(chunk[k++]);
      } else {
        break; // the first residue that is no nucleotide code
      }
    }
    if (k < len) { // where does it stand?
      in.consume(k);
      bad = bad_residue{in.position(), chunk[k]};
      residues.push_back(chunk[k]);
      in.advance();
      continue;
    }
    in.consume(nl ? len + 1 : len);
    if (nl) return;
  }
}

} // namespace

fasta_reader::fasta_reader(input_source &in, residue_alphabet alphabet)
    : in_(in), alphabet_(alphabet),
      classes_(residue_classes(alphabet == residue_alphabet::AMINO_ACIDS ? amino_set : wide_nuc_set)) {}

bool fasta_reader::next(fasta_record &record) {
  if (done_) return false;
  record.residues.clear();
  std::optional<bad_residue> bad;
  bool seen_header = started_;
  if (started_) {
    record.label = std::move(label_);
    record.header_line = header_line_;
  } else {
    record.label.clear();
    record.header_line = 0;
  }
  started_ = true;
  // Lines made only of blanks, tabs and carriage returns add nothing to a sequence, so
  // reading them gives the same sequences as stopping once nothing but space is left,
  // without looking ahead over long blank runs.
  for (;;) {
    const int c = in_.peek();
    if (c < 0) {
      done_ = true;
      break;
    }
    if (c != '>') {
      take_residues(in_, classes_, record.residues, bad);
      continue;
    }
    const std::size_t line = in_.line();
    in_.advance();
    std::string header;
    take_line(in_, header);
    if (!seen_header) { // the first header names the lines read so far
      seen_header = true;
      record.label = text::trim(header, ascii_whitespace);
      record.header_line = line;
      continue;
    }
    label_ = text::trim(header, ascii_whitespace);
    header_line_ = line;
    break;
  }
  // Gaps written '.' become '-' (good_gaps, in a form that the compiler turns into vector
  // instructions).
  static_assert(good_gaps('.') == '-');
  for (char &c : record.residues) c = c == '.' ? '-' : c;
  ++count_;
  if (bad)
    throw residue_error(count_, record.label, record.header_line, std::move(bad->where), bad->character, alphabet_);
  return true;
}

} // namespace phylo::read

namespace phylo::read {

namespace {

std::string problem_text(alignment_problem p) {
  switch (p) {
  case alignment_problem::NO_SEQUENCES: return "the text holds no sequences";
  case alignment_problem::NO_HEADER: return "the sequence has no header line";
  case alignment_problem::RESIDUES_BEFORE_HEADER: return "residues stand before the first header line";
  case alignment_problem::TOO_MANY: return "one sequence more than allowed";
  case alignment_problem::NO_LABEL: return "a sequence has no label";
  case alignment_problem::NO_RESIDUES: return "a sequence has no residues";
  case alignment_problem::TOO_LONG: return "the sequences are too long";
  case alignment_problem::NOT_ALIGNED: return "the sequences are not aligned";
  }
  return "";
}

} // namespace

alignment_error::alignment_error(alignment_problem problem_, std::size_t sequence_, std::string label_,
                                 std::size_t length_, input_position where)
    : error("alignment_error", problem_text(problem_), std::move(where)), problem(problem_), sequence(sequence_),
      label(std::move(label_)), length(length_) {}

void read_alignment(input_source &in, residue_alphabet alphabet, std::size_t max_sequences,
                    const std::function<void(fasta_record &)> &take) {
  auto place = [&](std::size_t line) { return input_position{in.name(), line, 0}; };
  // The reader gives lines before the first header to the first sequence; an alignment
  // refuses them, unless there is no header at all.
  int c;
  while ((c = in.peek()) >= 0 && whitespace.contains(static_cast<unsigned char>(c))) in.advance();
  const std::size_t headless_line = c >= 0 && c != '>' ? in.line() : 0;
  fasta_reader reader(in, alphabet);
  fasta_record record;
  std::string first_label;
  std::size_t count = 0, n = 0;
  for (; reader.next(record); ++count) {
    auto refuse = [&](alignment_problem p, std::size_t line) {
      return alignment_error(p, count + 1, record.label, record.residues.size(), place(line));
    };
    if (headless_line != 0 && record.header_line != 0)
      throw refuse(alignment_problem::RESIDUES_BEFORE_HEADER, headless_line);
    if (count == max_sequences) {
      alignment_error e = refuse(alignment_problem::TOO_MANY, record.header_line);
      e.allowed = max_sequences;
      throw e;
    }
    if (record.header_line == 0) // a text without any header line
      throw refuse(record.residues.empty() ? alignment_problem::NO_SEQUENCES : alignment_problem::NO_HEADER, 1);
    if (record.label.empty()) throw refuse(alignment_problem::NO_LABEL, record.header_line);
    if (record.residues.empty()) throw refuse(alignment_problem::NO_RESIDUES, record.header_line);
    if (count == 0) {
      n = record.residues.size();
      first_label = record.label;
      if (n > static_cast<std::size_t>(max_chars)) throw refuse(alignment_problem::TOO_LONG, record.header_line);
    } else if (record.residues.size() != n) {
      alignment_error e = refuse(alignment_problem::NOT_ALIGNED, record.header_line);
      e.first_label = first_label;
      e.first_length = n;
      throw e;
    }
    take(record);
  }
  if (count == 0) throw alignment_error(alignment_problem::NO_SEQUENCES, 0, "", 0, place(0));
}

void read_fasta(sequence_vecs &sequences) { read_fasta(current_input(), sequences); }

void read_fasta(input_source &in, sequence_vecs &sequences) {
  fasta_reader reader(in);
  fasta_record record;
  while (reader.next(record)) sequences.append(std::move(record.label), std::move(record.residues));
}

bool is_aligned(const sequence_vecs &sequences) {
  if (sequences.empty()) throw range_error("there are no sequences to compare");
  const std::size_t n = sequences[0].residues.size();
  if (n == 0) throw range_error("the first sequence has no residues");
  for (std::size_t i = 1; i < sequences.size(); ++i)
    if (sequences[i].residues.size() != n) return false;
  return true;
}

} // namespace phylo::read
