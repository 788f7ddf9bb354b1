#include "phylo/dist_check.hpp"

#include "phylo/chars.hpp"
#include "phylo/dna_dist.hpp"
#include "phylo/number.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

namespace phylo {
namespace {

using print::shortest_decimal;

std::string taxon(const dist_mat_type &d, std::size_t i) {
  return std::to_string(i + 1) + " (" + quote_text(d.labels[i]) + ")";
}

std::string taxon(const std::vector<std::string_view> &labels, std::size_t i) {
  return std::to_string(i + 1) + " (" + quote_text(labels[i]) + ")";
}

// The first cell (i, j) below the diagonal, in row order, that differs from (j, i) by more
// than the tolerance. The matrix is walked in bands of rows and, within a band, in tiles: the
// mirror cells of a tile are copied into a block of their own first, so that each row of the
// tile is compared with contiguous cells, in vectors and without a branch; a row that holds a
// difference is looked at cell by cell afterwards, from the first tile where it holds one.
// A large matrix is walked on every processor, each taking every so many bands; a thread stops
// at a band past the first one found to differ, so the answer is that of one thread.
std::optional<std::pair<std::size_t, std::size_t>> first_asymmetry(const dist_mat_type &d, float tolerance) {
  constexpr std::size_t tile = 64, none = static_cast<std::size_t>(-1);
  const std::size_t n = d.n_tax();
  const float *c = d.distances.data();
  const double tol = tolerance;
  const auto differs = [tol](float a, float b) {
    return std::fabs(static_cast<double>(a) - static_cast<double>(b)) > tol;
  };
  // The first differing cell of the band that starts at row r0; (none, none) when none.
  const auto band = [&](std::size_t r0) {
    alignas(64) float mirror[tile * tile]; // mirror[ii * tile + jj] is cell (c0 + jj, r0 + ii)
    const std::size_t r1 = std::min(n, r0 + tile), rows = r1 - r0;
    std::size_t first_tile[tile]; // of each row of the band, the first tile that differs
    std::fill(first_tile, first_tile + rows, none);
    for (std::size_t c0 = 0; c0 < r1; c0 += tile) {
      const std::size_t c1 = std::min(r1, c0 + tile);
      for (std::size_t jj = 0; jj < c1 - c0; ++jj) {
        const float *from = c + (c0 + jj) * n + r0;
        for (std::size_t ii = 0; ii < rows; ++ii) mirror[ii * tile + jj] = from[ii];
      }
      for (std::size_t ii = 0; ii < rows; ++ii) {
        const std::size_t i = r0 + ii, end = std::min(i, c1);
        if (first_tile[ii] != none || end <= c0) continue;
        const float *row = c + i * n + c0, *m = mirror + ii * tile;
        bool any = false;
        for (std::size_t jj = 0; jj < end - c0; ++jj) any |= differs(row[jj], m[jj]);
        if (any) first_tile[ii] = c0;
      }
    }
    for (std::size_t ii = 0; ii < rows; ++ii) {
      if (first_tile[ii] == none) continue;
      const std::size_t i = r0 + ii;
      for (std::size_t j = first_tile[ii]; j < i; ++j)
        if (differs(c[i * n + j], c[j * n + i])) return std::make_pair(i, j);
    }
    return std::make_pair(none, none);
  };
  const std::size_t bands = (n + tile - 1) / tile;
  const unsigned threads = n < 1024 ? 1u : std::min<unsigned>(dna::available_cpus(), 16u);
  std::atomic<std::size_t> found_band{none}; // the earliest band known to differ
  std::vector<std::pair<std::size_t, std::size_t>> first(threads, {none, none});
  const auto walk = [&](unsigned t) {
    for (std::size_t b = t; b < bands && b < found_band.load(std::memory_order_relaxed); b += threads) {
      const auto cell = band(b * tile);
      if (cell.first == none) continue;
      first[t] = cell;
      for (std::size_t seen = found_band.load(); b < seen && !found_band.compare_exchange_weak(seen, b);) {
      }
      return;
    }
  };
  {
    std::vector<std::jthread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(walk, t);
    walk(0);
  }
  const auto earliest = std::min_element(first.begin(), first.end());
  if (earliest->first == none) return std::nullopt;
  return *earliest;
}

} // namespace

std::vector<dist_finding_type> check_labels(const std::vector<std::string_view> &labels, label_form_type form) {
  std::vector<dist_finding_type> found;
  const std::size_t n = labels.size();
  {
    std::unordered_map<std::string_view, std::size_t> seen;
    for (std::size_t i = 0; i < n; ++i) {
      auto [it, fresh] = seen.emplace(labels[i], i);
      if (!fresh) {
        found.push_back({finding_kind_type::DUPLICATE_LABEL, it->second, i,
                         "taxa " + std::to_string(it->second + 1) + " and " + std::to_string(i + 1) +
                             " have the same label " + quote_text(labels[i])});
        break;
      }
    }
  }
  if (form != label_form_type::AS_STORED && form != label_form_type::CELL) {
    std::unordered_map<std::string, std::size_t> written;
    for (std::size_t i = 0; i < n; ++i) {
      std::string as = label_as_compared(labels[i], form);
      if (as.empty() && !labels[i].empty()) {
        found.push_back({finding_kind_type::OUTPUT_LABEL, i, i,
                         "the label of taxon " + taxon(labels, i) + " is written as an empty label in this layout"});
        break;
      }
      auto [it, fresh] = written.emplace(std::move(as), i);
      if (!fresh && labels[it->second] != labels[i]) {
        found.push_back({finding_kind_type::OUTPUT_LABEL, it->second, i,
                         "the labels of taxa " + taxon(labels, it->second) + " and " + taxon(labels, i) +
                             " are written alike in this layout, as " + quote_text(label_as_written(labels[i], form))});
        break;
      }
    }
  }
  // A line end in a label ends the row in the layouts whose rows are lines, and a tab ends a
  // tab-separated cell: the text would not read back as this matrix. (CSV and NEXUS quote
  // such a label; the other layouts replace the characters.)
  bool broken = false;
  if (form == label_form_type::PHYLIP || form == label_form_type::NO_BLANK || form == label_form_type::CELL) {
    const char_set_type breaks = char_set_type::of(form == label_form_type::CELL ? "\t\n\r" : "\n\r");
    for (std::size_t i = 0; i < n; ++i) {
      const std::string as = label_as_written(labels[i], form);
      if (std::any_of(as.begin(), as.end(), [&](char c) { return breaks.contains(c); })) {
        found.push_back({finding_kind_type::BROKEN_LABEL, i, i,
                         "the label of taxon " + taxon(labels, i) +
                             (form == label_form_type::CELL ? " holds a tab or a line end" : " holds a line end") +
                             ", which this layout cannot hold"});
        broken = true;
        break;
      }
      // A cell of blanks alone is no label to the readers of tab-separated text (a header
      // of such cells is a blank line).
      if (form == label_form_type::CELL && !as.empty() && as.find_first_not_of(' ') == std::string::npos) {
        found.push_back({finding_kind_type::BROKEN_LABEL, i, i,
                         "the label of taxon " + taxon(labels, i) +
                             " holds nothing but blanks, which readers of this layout take for no label"});
        broken = true;
        break;
      }
    }
  }
  // Blanks around a tab-separated cell are no part of it to its readers (scikit-bio, phylo).
  if (form == label_form_type::CELL && !broken) {
    for (std::size_t i = 0; i < n; ++i) {
      const std::string as = label_as_written(labels[i], form);
      if (!as.empty() && (as.front() == ' ' || as.back() == ' ')) {
        found.push_back({finding_kind_type::UNSAFE_LABEL, i, i,
                         "the label of taxon " + taxon(labels, i) +
                             " begins or ends with a blank, which readers of this layout drop"});
        break;
      }
    }
  }
  if ((form == label_form_type::PHYLIP || form == label_form_type::NO_BLANK) && !broken) {
    for (std::size_t i = 0; i < n; ++i) {
      const std::string as = label_as_written(labels[i], form);
      if (std::any_of(as.begin(), as.end(), [](char c) { return tree_unsafe_label_set.contains(c); })) {
        found.push_back({finding_kind_type::UNSAFE_LABEL, i, i,
                         "the label of taxon " + taxon(labels, i) +
                             " holds blanks, control characters or ( ) [ ] : ; , ' that programs reading this "
                             "layout take apart"});
        break;
      }
    }
  }
  if (form == label_form_type::TREE_SAFE || form == label_form_type::TREE_SAFE_PHYLIP) {
    for (std::size_t i = 0; i < n; ++i) {
      const std::string as = label_as_written(labels[i], label_form_type::TREE_SAFE);
      if (as != labels[i]) {
        found.push_back({finding_kind_type::UNSAFE_LABEL, i, i,
                         "the label of taxon " + taxon(labels, i) +
                             " holds blanks, control characters or ( ) [ ] : ; , ' that tree builders cannot take, "
                             "written as " +
                             quote_text(label_as_written(labels[i], form))});
        break;
      }
    }
  }
  if (form == label_form_type::PHYLIP || form == label_form_type::TREE_SAFE_PHYLIP) {
    for (std::size_t i = 0; i < n; ++i) {
      // A cut before a continuation byte (10xxxxxx) splits a UTF-8 character.
      if (labels[i].size() > 10 && (static_cast<unsigned char>(labels[i][10]) & 0xC0) == 0x80) {
        found.push_back({finding_kind_type::CUT_LABEL, i, i,
                         "the label of taxon " + taxon(labels, i) + " is cut inside a UTF-8 character at 10 bytes"});
        break;
      }
    }
  }
  return found;
}

std::vector<dist_finding_type> check_dist_mat(const dist_mat_type &d, float tolerance, label_form_type form) {
  std::vector<dist_finding_type> found;
  const std::size_t n = d.n_tax();
  if (const auto cell = first_asymmetry(d, tolerance)) {
    const auto [i, j] = *cell;
    found.push_back({finding_kind_type::ASYMMETRY, i, j,
                     "the matrix is not symmetric: row " + taxon(d, i) + ", column " + std::to_string(j + 1) +
                         " holds " + shortest_decimal(d.distances(i, j)) + ", but row " + std::to_string(j + 1) +
                         ", column " + std::to_string(i + 1) + " holds " + shortest_decimal(d.distances(j, i)) +
                         " (tolerance " + shortest_decimal(tolerance) + ")"});
  }
  for (std::size_t i = 0; i < n; ++i)
    if (d.distances(i, i) != 0.0f) {
      found.push_back({finding_kind_type::DIAGONAL, i, i,
                       "the diagonal is not zero: taxon " + taxon(d, i) + " is at " +
                           shortest_decimal(d.distances(i, i)) + " from itself"});
      break;
    }
  std::vector<std::string_view> labels(d.labels.begin(), d.labels.end());
  for (dist_finding_type &f : check_labels(labels, form)) found.push_back(std::move(f));
  return found;
}

void make_labels_safe(dist_mat_type &dist) {
  for (std::string &label : dist.labels) apply_in_place(tree_safe_label_map, label);
}

void symmetrize_dist(dist_mat_type &d, symmetrize_type how) noexcept {
  const std::size_t n = d.n_tax();
  for (std::size_t i = 1; i < n; ++i)
    for (std::size_t j = 0; j < i; ++j) {
      float &low = d.distances(i, j), &up = d.distances(j, i);
      switch (how) {
      case symmetrize_type::LOWER: up = low; break;
      case symmetrize_type::UPPER: low = up; break;
      case symmetrize_type::MEAN:
        low = up = static_cast<float>((static_cast<double>(low) + static_cast<double>(up)) / 2.0);
        break;
      }
    }
}

void similarities_to_distances(dist_mat_type &d, float top) {
  const std::size_t n = d.n_tax();
  for (std::size_t i = 0; i < n; ++i) {
    float *row = d.distances.row(i);
    for (std::size_t j = 0; j < n; ++j) {
      if (row[j] > top)
        throw range_error("cell (" + std::to_string(i + 1) + ", " + std::to_string(j + 1) + ") holds " +
                          shortest_decimal(row[j]) + ", above the largest similarity " + shortest_decimal(top));
      row[j] = static_cast<float>(static_cast<double>(top) - static_cast<double>(row[j]));
    }
  }
}

dist_mat_access keep_taxa(const dist_mat_type &d, const std::vector<std::string> &names) {
  std::unordered_map<std::string_view, std::size_t> index;
  for (std::size_t i = 0; i < d.n_tax(); ++i) index.emplace(d.labels[i], i);
  std::vector<std::size_t> keep;
  keep.reserve(names.size());
  for (const std::string &name : names) {
    auto it = index.find(name);
    if (it == index.end()) throw range_error("the matrix has no taxon '" + name + "'");
    keep.push_back(it->second);
  }
  auto out = std::make_unique<dist_mat_type>(keep.size());
  for (std::size_t i = 0; i < keep.size(); ++i) {
    out->labels[i] = d.labels[keep[i]];
    const float *from = d.distances.row(keep[i]);
    float *to = out->distances.row(i);
    for (std::size_t j = 0; j < keep.size(); ++j) to[j] = from[keep[j]];
  }
  return out;
}

} // namespace phylo
