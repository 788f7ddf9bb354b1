#include "char_input.hpp"

#include "phylo/chars.hpp"
#include "phylo/fasta.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>

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
  using phylo::read::alignment_problem;
  auto at = [&](std::size_t line) { return cli::place(in.name(), line); };
  try {
    phylo::read::read_alignment(in, alphabet, max_sequences, take);
  } catch (const phylo::read::alignment_error &e) {
    const std::size_t line = e.where() ? e.where()->line : 0;
    const std::string sequence =
        e.label.empty() ? "sequence " + std::to_string(e.sequence) : "sequence " + phylo::quote_text(e.label);
    switch (e.problem) {
    case alignment_problem::NO_SEQUENCES: report(in.name() + ": holds no sequences"); break;
    case alignment_problem::NO_HEADER:
      report(at(1) + "the sequence has no header line ('>' followed by its label)");
      break;
    case alignment_problem::RESIDUES_BEFORE_HEADER:
      report(at(line) + "residues stand before the first header line ('>' followed by a label)");
      break;
    case alignment_problem::TOO_MANY:
      report(at(line) + sequence + " is one more than the " + std::to_string(e.allowed) + " sequences allowed");
      break;
    case alignment_problem::NO_LABEL:
      report(at(line) + "sequence " + std::to_string(e.sequence) + " has no label (its header line holds '>' alone)");
      break;
    case alignment_problem::NO_RESIDUES: report(at(line) + sequence + " has no residues"); break;
    case alignment_problem::TOO_LONG:
      report(in.name() + ": the sequences have " + std::to_string(e.length) + " residues; at most " +
             std::to_string(phylo::max_chars) + " are allowed");
      break;
    case alignment_problem::NOT_ALIGNED:
      report(at(line) + sequence + " has " + std::to_string(e.length) + " residues, but the first sequence, " +
             phylo::quote_text(e.first_label) + ", has " + std::to_string(e.first_length) +
             ": the sequences are not aligned");
      break;
    }
    throw data_refused{};
  } catch (const phylo::read::residue_error &e) {
    const phylo::input_position *where = e.where();
    // The sequence as messages name it: by its label, by its place when it has none.
    const std::string sequence = e.header_line == 0 ? "the sequence"
                                 : e.label.empty()  ? "sequence " + std::to_string(e.sequence)
                                                    : "sequence " + phylo::quote_text(e.label);
    const std::string aminos = "the amino-acid codes A R N D C Q E G H I L K M F P S T W Y V B Z J X * in either case, "
                               "'-', '.' or '?'";
    const std::string what =
        either ? " is neither a nucleotide nor an amino-acid code (" + aminos + ")"
        : e.alphabet == phylo::read::residue_alphabet::AMINO_ACIDS
            ? " is not an amino-acid code (" + aminos + ")"
            : " is not a nucleotide code (A, C, G, T, the IUPAC codes R, Y, M, K, S, W, H, B, V, D, N in either "
              "case, '-', '.' or '?')";
    report(at(where ? where->line : 0) + "column " + std::to_string(where ? where->column : 0) + ": " +
           phylo::describe_char(static_cast<unsigned char>(e.character())) + " in " + sequence + what);
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

void refuse_matrix_too_large(const cli::reporter &report, phylo::input_source &in, std::size_t n_tax, bool estimated,
                             std::string_view hint) {
  try {
    phylo::check_square_matrix_fits(n_tax, sizeof(float));
  } catch (const phylo::range_error &e) {
    report(in.name() + ": " + (estimated ? "the input holds " + std::to_string(n_tax) + " sequences: " : "") +
           e.what() + std::string(hint));
    throw data_refused{};
  }
}

phylo::dna::packed_alignment read_packed_alignment(const cli::reporter &report, phylo::input_source &in,
                                                   phylo::dna::site_rule rule,
                                                   std::optional<phylo::dna::alphabet> residues, square_check check) {
  using phylo::dna::alphabet;
  using phylo::read::residue_alphabet;
  std::optional<phylo::dna::packed_alignment> packed;
  if (residues) packed.emplace(rule, *residues);
  std::vector<phylo::read::fasta_record> held;
  bool all_nucleotides = true, first = true;
  // A matrix that cannot fit is refused before the sequences are read, where their number can
  // be told from the input (a file: its header lines); otherwise once they are read.
  if (const auto headers = check.refuse ? in.lines_starting_with('>') : std::nullopt)
    refuse_matrix_too_large(report, in, static_cast<std::size_t>(*headers), true, check.hint);
  read_alignment(
      report, in, std::numeric_limits<std::size_t>::max(),
      [&](phylo::read::fasta_record &r) {
        if (first) {
          // Room for as many sequences as the rest of a file of known size may hold, at once.
          first = false;
          const std::size_t bytes = r.residues.size() + r.label.size() + 2;
          if (const auto left = in.known_size_left()) {
            const std::size_t expected = 1 + static_cast<std::size_t>(*left / bytes);
            if (packed) packed->reserve(expected);
            else held.reserve(expected);
          }
        }
        if (!packed) {
          all_nucleotides = all_nucleotides && std::none_of(r.residues.begin(), r.residues.end(), [](char c) {
                              return phylo::non_wide_nuc_set.contains(phylo::good_gaps(c));
                            });
          held.push_back(std::move(r));
          return;
        }
        packed->add(std::move(r.label), r.residues);
      },
      residues == alphabet::DNA ? residue_alphabet::NUCLEOTIDES : residue_alphabet::AMINO_ACIDS, !residues);
  if (check.refuse) refuse_matrix_too_large(report, in, packed ? packed->size() : held.size(), false, check.hint);
  if (!packed) {
    packed.emplace(rule, all_nucleotides ? alphabet::DNA : alphabet::PROTEIN, held.size());
    for (phylo::read::fasta_record &r : held) {
      packed->add(std::move(r.label), r.residues);
      r.residues = std::string();
    }
  }
  return std::move(*packed);
}

namespace {

// A positive finite number for --NAME.
double positive_number(std::string_view name, const std::string &value) {
  double v = 0;
  const char *first = value.data(), *last = first + value.size();
  const auto [end, ec] = std::from_chars(first, last, v);
  if (first == last || ec != std::errc() || end != last || !std::isfinite(v) || !(v > 0))
    throw cli::usage_error{"--" + std::string(name) + "=" + value + " is not a positive number"};
  return v;
}

} // namespace

bool take_model_option(model_settings &s, const cli::parsed_option &o) {
  const std::string_view name = o.def->long_name;
  if (name == "model") s.model = cli::pick(fasta_models, name, *o.value);
  else if (name == "gaps") s.gaps = cli::pick(fasta_gap_rules, name, *o.value);
  else if (name == "alphabet") s.alphabet = cli::pick(fasta_alphabets, name, *o.value)->value;
  else if (name == "gamma") s.gamma = positive_number(name, *o.value);
  else if (name == "ts-tv") s.ts_tv = positive_number(name, *o.value);
  else if (name == "gamma-categories") {
    unsigned k = 0;
    const std::string &v = *o.value;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), k);
    if (ec != std::errc() || end != v.data() + v.size() || k < 1 || k > 64)
      throw cli::usage_error{"--gamma-categories=" + v + " is not a number of categories from 1 to 64"};
    s.gamma_categories = k;
  } else {
    return false;
  }
  return true;
}

void check_model_settings(const model_settings &s) {
  using phylo::dna::model_type;
  const model_type model = s.model->value;
  const std::string given_model = "--model=" + std::string(s.model->name);
  if (s.gaps->value == phylo::dna::site_rule::ALL && model != model_type::P && model != model_type::COUNT)
    throw cli::usage_error{"--gaps=count compares every symbol and gives --model=p or count only, not " + given_model};
  if (const auto a = phylo::dna::model_alphabet(model); a && s.alphabet && *a != *s.alphabet)
    throw cli::usage_error{given_model + " is for " + alphabet_text(*a) +
                           ", not --alphabet=" + (*s.alphabet == phylo::dna::alphabet::DNA ? "dna" : "protein")};
  if (s.gamma && !phylo::dna::takes_gamma(model)) throw cli::usage_error{given_model + " takes no --gamma"};
  if (s.gamma_categories && !phylo::dna::takes_gamma_categories(model))
    throw cli::usage_error{"--gamma-categories is for --model=jtt, wag, lg, dayhoff or blosum62, not " + given_model};
  if (s.ts_tv && model != model_type::F84) throw cli::usage_error{"--ts-tv is for --model=f84, not " + given_model};
  if (s.ts_tv && s.gamma) throw cli::usage_error{"--ts-tv and --gamma do not go together"};
}

phylo::dna::dist_options model_dist_options(const model_settings &s) {
  phylo::dna::dist_options options;
  options.model = s.model->value;
  options.gamma = s.gamma;
  options.gamma_categories = s.gamma_categories.value_or(4);
  options.ts_tv = s.ts_tv;
  return options;
}

std::string alphabet_text(phylo::dna::alphabet a) {
  return a == phylo::dna::alphabet::DNA ? "nucleotides" : "amino acids";
}

std::string model_options_help(std::string_view default_model) {
  return "  -M, --model=MODEL       FASTA alignments: p or count; for nucleotides jc69,\n"
         "                          k80 (or k2p), k81, f81, f84, t92, tn93 or logdet;\n"
         "                          for amino acids poisson, kimura, jtt, wag, lg,\n"
         "                          dayhoff or blosum62 (default " +
         std::string(default_model) +
         ", the models of\n"
         "                          phylo dist)\n"
         "  -a, --alphabet=ALPHABET FASTA alignments: auto (default), dna or protein\n"
         "      --gamma=ALPHA       gamma-distributed rates across sites of shape ALPHA\n"
         "      --gamma-categories=K  K rate categories (1 to 64, default 4) for jtt,\n"
         "                          wag, lg, dayhoff and blosum62\n"
         "      --ts-tv=RATIO       for f84: the ratio of PHYLIP dnadist\n"
         "  -g, --gaps=RULE         FASTA alignments: pairwise (default), complete or\n"
         "                          count\n";
}

phylo::dna::packed_alignment read_packed_alignment(const cli::reporter &report, phylo::input_source &in,
                                                   const model_settings &s, square_check check) {
  // A model of one alphabet reads the alignment in it (--alphabet may only agree with it).
  const auto own = phylo::dna::model_alphabet(s.model->value);
  return read_packed_alignment(report, in, s.gaps->value, s.alphabet ? s.alphabet : own, check);
}

} // namespace phylo_cli
