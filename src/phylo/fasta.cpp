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
  if (bad) throw residue_error(record.label, std::move(bad->where), bad->character, alphabet_);
  return true;
}

} // namespace phylo::read

namespace phylo::read {

void read_fasta(sequence_vecs &sequences) {
  fasta_reader reader(current_input());
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
