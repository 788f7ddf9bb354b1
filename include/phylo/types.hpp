// phylo: the data model shared by the readers, writers and distance functions.
//
// Records are plain data whose sizes are fixed when they are created; behaviour lives
// in free functions of the namespaces phylo::read, phylo::print, phylo::distfunc and
// phylo::text. Indices are 0-based: taxon i of a matrix with n_tax taxa is 0 <= i < n_tax.
#pragma once

#include "phylo/errors.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace phylo {

// ---------------------------------------------------------------------------------------
// Limits.

inline constexpr int max_taxa = 5000;                 // taxa of a matrix or a sequence set: 1 .. 5000
inline constexpr int max_chars = 1048576;             // characters of a character matrix: 1 .. 2^20
inline constexpr float max_distance = 3.40282347e38f; // distances lie in 0.0 .. max_distance

namespace detail {
// Zero-filled memory for `bytes` bytes (bad_alloc when there is none), and its release with
// the same size. Large blocks are mapped as fresh pages, in huge pages where the system
// offers them, so that filling a big matrix costs few page faults.
void *allocate_zeroed(std::size_t bytes);
void release_zeroed(void *p, std::size_t bytes) noexcept;
} // namespace detail

// ---------------------------------------------------------------------------------------
// fixed_array: a heap array whose length is fixed at creation; copying copies every
// element. The building block of labels and cells.

template <class T> class fixed_array {
public:
  fixed_array() = default;
  explicit fixed_array(std::size_t n) : size_(n), data_(allocate(n)) {}
  fixed_array(const fixed_array &o) : fixed_array(o.size_) {
    for (std::size_t i = 0; i < size_; ++i) data_[i] = o.data_[i];
  }
  // A moved-from array is empty.
  fixed_array(fixed_array &&o) noexcept : size_(std::exchange(o.size_, 0)), data_(std::move(o.data_)) {}
  fixed_array &operator=(const fixed_array &o) {
    if (this != &o) {
      fixed_array copy(o);
      *this = std::move(copy);
    }
    return *this;
  }
  fixed_array &operator=(fixed_array &&o) noexcept {
    size_ = std::exchange(o.size_, 0);
    data_ = std::move(o.data_);
    return *this;
  }

  std::size_t size() const noexcept { return size_; }
  T *data() noexcept { return data_.get(); }
  const T *data() const noexcept { return data_.get(); }
  T &operator[](std::size_t i) noexcept { return data_[i]; }
  const T &operator[](std::size_t i) const noexcept { return data_[i]; }
  T *begin() noexcept { return data(); }
  T *end() noexcept { return data() + size_; }
  const T *begin() const noexcept { return data(); }
  const T *end() const noexcept { return data() + size_; }

  friend bool operator==(const fixed_array &a, const fixed_array &b) {
    if (a.size_ != b.size_) return false;
    for (std::size_t i = 0; i < a.size_; ++i)
      if (!(a.data_[i] == b.data_[i])) return false;
    return true;
  }

private:
  // Numbers come zero-filled from allocate_zeroed, which hands out a large array as fresh
  // pages instead of writing zeros over it before a reader writes it again.
  static constexpr bool numeric = std::is_arithmetic_v<T>;
  struct release {
    std::size_t bytes = 0;
    void operator()(T *p) const noexcept {
      if constexpr (numeric) detail::release_zeroed(p, bytes);
      else delete[] p;
    }
  };
  static std::unique_ptr<T[], release> allocate(std::size_t n) {
    if (n == 0) return {};
    if constexpr (numeric) {
      if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
      const std::size_t bytes = n * sizeof(T);
      return {static_cast<T *>(detail::allocate_zeroed(bytes)), release{bytes}};
    } else {
      return {new T[n](), release{}};
    }
  }

  std::size_t size_ = 0;
  std::unique_ptr<T[], release> data_;
};

// One label per taxon (also the per-taxon comments of a character matrix). Labels are
// 8-bit texts of any length; nothing pads or cuts them.
using tax_lab_type = fixed_array<std::string>;

// A rows x cols array stored row by row (the column index varies fastest) in one allocation.
template <class T> class rect_array {
public:
  rect_array() = default;
  // range_error when rows x cols does not fit a size_t.
  rect_array(std::size_t rows, std::size_t cols) : rows_(rows), cols_(cols), cells_(checked_size(rows, cols)) {}
  rect_array(const rect_array &) = default;
  rect_array &operator=(const rect_array &) = default;
  // A moved-from array is empty.
  rect_array(rect_array &&o) noexcept
      : rows_(std::exchange(o.rows_, 0)), cols_(std::exchange(o.cols_, 0)), cells_(std::move(o.cells_)) {}
  rect_array &operator=(rect_array &&o) noexcept {
    rows_ = std::exchange(o.rows_, 0);
    cols_ = std::exchange(o.cols_, 0);
    cells_ = std::move(o.cells_);
    return *this;
  }
  std::size_t rows() const noexcept { return rows_; }
  std::size_t cols() const noexcept { return cols_; }
  T &operator()(std::size_t i, std::size_t j) noexcept { return cells_[i * cols_ + j]; }
  const T &operator()(std::size_t i, std::size_t j) const noexcept { return cells_[i * cols_ + j]; }
  T *row(std::size_t i) noexcept { return cells_.data() + i * cols_; }
  const T *row(std::size_t i) const noexcept { return cells_.data() + i * cols_; }
  T *data() noexcept { return cells_.data(); }
  const T *data() const noexcept { return cells_.data(); }

  // Cell by cell with the element's ==: floats by value, so 0.0 equals -0.0.
  friend bool operator==(const rect_array &a, const rect_array &b) {
    return a.rows_ == b.rows_ && a.cols_ == b.cols_ && a.cells_ == b.cells_;
  }

private:
  static std::size_t checked_size(std::size_t rows, std::size_t cols) {
    if (cols != 0 && rows > static_cast<std::size_t>(-1) / cols)
      throw range_error("a matrix of this size cannot exist");
    return rows * cols;
  }

  std::size_t rows_ = 0;
  std::size_t cols_ = 0;
  fixed_array<T> cells_;
};

// A square n x n array stored row by row in one allocation: a rect_array of n by n.
// range_error when n x n does not fit a size_t.
template <class T> class square_array {
public:
  square_array() = default;
  explicit square_array(std::size_t n) : cells_(n, n) {}
  std::size_t n() const noexcept { return cells_.rows(); }
  T &operator()(std::size_t i, std::size_t j) noexcept { return cells_(i, j); }
  const T &operator()(std::size_t i, std::size_t j) const noexcept { return cells_(i, j); }
  T *row(std::size_t i) noexcept { return cells_.row(i); }
  const T *row(std::size_t i) const noexcept { return cells_.row(i); }
  T *data() noexcept { return cells_.data(); }
  const T *data() const noexcept { return cells_.data(); }

private:
  rect_array<T> cells_;
};

// Cells hold distances in 0.0 .. max_distance once a reader or computation filled them.
using positive_matrix = square_array<float>;
using fast_positive_matrix = fixed_array<float>;

// A square distance matrix: labels(i) names taxon i; distances(i, j) is the distance
// from taxon i to taxon j as read (neither symmetry nor a zero diagonal is implied).
struct dist_mat_type {
  explicit dist_mat_type(std::size_t n_tax) : labels(n_tax), distances(n_tax) {}
  std::size_t n_tax() const noexcept { return labels.size(); }

  tax_lab_type labels;
  positive_matrix distances;
};

// The flat form: cell (i, j) is distances[i * n_tax + j]; n_cells >= n_tax * n_tax is the
// caller's choice (trailing cells are left alone by the reader).
struct fast_dist_mat_type {
  fast_dist_mat_type(std::size_t n_tax, std::size_t n_cells) : labels(n_tax), distances(n_cells) {}
  std::size_t n_tax() const noexcept { return labels.size(); }
  std::size_t n_cells() const noexcept { return distances.size(); }

  tax_lab_type labels;
  fast_positive_matrix distances;
};

// Owning references to heap-allocated matrices.
using dist_mat_access = std::unique_ptr<dist_mat_type>;
using fast_dist_mat_access = std::unique_ptr<fast_dist_mat_type>;

// The memory that the system can still give this process, in bytes: what it has available
// (swap included), and no more than the process's control group or its address-space limit
// allow; none where it cannot tell.
std::optional<std::uint64_t> available_memory() noexcept;
// The bytes that a square matrix of n taxa takes: n x n cells of `cell_bytes` and n labels.
std::uint64_t square_matrix_bytes(std::size_t n, std::size_t cell_bytes) noexcept;
// range_error naming the memory that a square matrix of n taxa would need, when that is more
// than available_memory(): a matrix too large is refused before the work, not met as an
// allocation failure (or the system's end of the process) halfway through it.
void check_square_matrix_fits(std::size_t n, std::size_t cell_bytes);
// A new distance matrix of n taxa, after check_square_matrix_fits.
dist_mat_access new_dist_mat(std::size_t n);

// ---------------------------------------------------------------------------------------
// Character matrices.

// The kinds of character data: quantitative values, discrete symbols, counts.
enum class matrix_type { QUANT, DISCR, CNTCH };

using quant_matrix_type = rect_array<float>;        // any sign
using discr_matrix_type = rect_array<char>;         // one symbol per cell
using count_matrix_type = rect_array<std::int32_t>; // 0 .. 2147483647 when read

// n_tax taxa by n_char characters of one kind, fixed at creation. Only the data field of the
// matrix's kind exists; reaching for another kind's data raises range_error. Cell (i, j) is
// character j of taxon i. Labels and comments start empty, cells zero.
struct char_mat_type {
  char_mat_type(std::size_t n_tax, std::size_t n_char, matrix_type kind);

  std::size_t n_tax() const noexcept { return n_tax_; }
  std::size_t n_char() const noexcept { return n_char_; }
  matrix_type kind() const noexcept { return kind_; }

  quant_matrix_type &quant_data();
  const quant_matrix_type &quant_data() const;
  discr_matrix_type &discr_data();
  const discr_matrix_type &discr_data() const;
  count_matrix_type &count_data();
  const count_matrix_type &count_data() const;

  std::string comment;       // a text about the whole matrix
  tax_lab_type labels;       // label of each taxon
  tax_lab_type tax_comments; // a text about each taxon

private:
  std::size_t n_tax_;
  std::size_t n_char_;
  matrix_type kind_;
  std::variant<quant_matrix_type, discr_matrix_type, count_matrix_type> data_;
};

// Equal when n_tax, n_char, kind, comment, labels, tax_comments and the cells are equal,
// compared in this order; the first difference decides.
bool operator==(const char_mat_type &a, const char_mat_type &b);

using char_mat_access = std::unique_ptr<char_mat_type>;

// ---------------------------------------------------------------------------------------
// Sequences.

struct sequence_type {
  std::string label;
  std::string note; // kept with the sequence; no reader fills it, no writer prints it
  std::string residues;
  friend bool operator==(const sequence_type &, const sequence_type &) = default;
};

// A vector of at most max_taxa sequences.
class sequence_vecs {
public:
  static constexpr std::size_t max_length = max_taxa;

  // Appends at the end. range_error "vector is already at its maximum length" when it
  // already holds max_length sequences; the vector is then unchanged.
  void append(sequence_type seq);
  void append(std::string label, std::string residues);

  std::size_t size() const noexcept { return items_.size(); }
  bool empty() const noexcept { return items_.empty(); }
  sequence_type &operator[](std::size_t i) noexcept { return items_[i]; }
  const sequence_type &operator[](std::size_t i) const noexcept { return items_[i]; }
  sequence_type &front() noexcept { return items_.front(); }
  const sequence_type &front() const noexcept { return items_.front(); }
  sequence_type &back() noexcept { return items_.back(); }
  const sequence_type &back() const noexcept { return items_.back(); }
  auto begin() noexcept { return items_.begin(); }
  auto end() noexcept { return items_.end(); }
  auto begin() const noexcept { return items_.begin(); }
  auto end() const noexcept { return items_.end(); }
  void clear() noexcept { items_.clear(); }

  friend bool operator==(const sequence_vecs &, const sequence_vecs &) = default;

private:
  std::vector<sequence_type> items_;
};

// ---------------------------------------------------------------------------------------
// Layout selectors. The order of the literals is part of the interface.

enum class dist_format_type { PHYLIP, EXTENDED_PHYLIP, TAB, NEXUS, NEXUS_ENCLOSED, ONE_COLUMN, RAW };
enum class char_format_type { PHYLIP, EXTENDED_PHYLIP, NEXUS, NEXUS_ENCLOSED, COMMENTED_PHYLIP };
enum class label_format_type { PHYLIP, EXTENDED_PHYLIP, COMMENTED_PHYLIP, TAB_SEPARATED };

} // namespace phylo
