#include "phylo/types.hpp"

namespace phylo {
namespace {

const char *kind_name(matrix_type kind) {
  switch (kind) {
  case matrix_type::QUANT: return "QUANT";
  case matrix_type::DISCR: return "DISCR";
  case matrix_type::CNTCH: return "CNTCH";
  }
  return "?";
}

[[noreturn]] void wrong_kind(matrix_type have, const char *wanted) {
  throw range_error(std::string("a ") + kind_name(have) + " matrix has no " + wanted + " data");
}

std::variant<quant_matrix_type, discr_matrix_type, count_matrix_type> make_data(std::size_t n_tax, std::size_t n_char,
                                                                                matrix_type kind) {
  switch (kind) {
  case matrix_type::QUANT: return quant_matrix_type(n_tax, n_char);
  case matrix_type::DISCR: return discr_matrix_type(n_tax, n_char);
  case matrix_type::CNTCH: return count_matrix_type(n_tax, n_char);
  }
  throw range_error("matrix kind " + std::to_string(static_cast<int>(kind)) + " does not exist");
}

template <class T, class Data> auto &data_of(Data &data, matrix_type kind, const char *wanted) {
  auto *p = std::get_if<T>(&data);
  if (!p) wrong_kind(kind, wanted);
  return *p;
}

} // namespace

char_mat_type::char_mat_type(std::size_t n_tax, std::size_t n_char, matrix_type kind)
    : labels(n_tax), tax_comments(n_tax), n_tax_(n_tax), n_char_(n_char), kind_(kind),
      data_(make_data(n_tax, n_char, kind)) {}

quant_matrix_type &char_mat_type::quant_data() { return data_of<quant_matrix_type>(data_, kind_, "QUANT"); }
const quant_matrix_type &char_mat_type::quant_data() const { return data_of<quant_matrix_type>(data_, kind_, "QUANT"); }
discr_matrix_type &char_mat_type::discr_data() { return data_of<discr_matrix_type>(data_, kind_, "DISCR"); }
const discr_matrix_type &char_mat_type::discr_data() const { return data_of<discr_matrix_type>(data_, kind_, "DISCR"); }
count_matrix_type &char_mat_type::count_data() { return data_of<count_matrix_type>(data_, kind_, "CNTCH"); }
const count_matrix_type &char_mat_type::count_data() const { return data_of<count_matrix_type>(data_, kind_, "CNTCH"); }

bool operator==(const char_mat_type &a, const char_mat_type &b) {
  if (a.n_tax() != b.n_tax() || a.n_char() != b.n_char() || a.kind() != b.kind()) return false;
  if (a.comment != b.comment) return false;
  if (!(a.labels == b.labels)) return false;
  if (!(a.tax_comments == b.tax_comments)) return false;
  switch (a.kind()) {
  case matrix_type::QUANT: return a.quant_data() == b.quant_data();
  case matrix_type::DISCR: return a.discr_data() == b.discr_data();
  case matrix_type::CNTCH: return a.count_data() == b.count_data();
  }
  return false;
}

void sequence_vecs::append(sequence_type seq) {
  if (items_.size() >= max_length) throw range_error("vector is already at its maximum length");
  items_.push_back(std::move(seq));
}

void sequence_vecs::append(std::string label, std::string residues) {
  append(sequence_type{std::move(label), std::string(), std::move(residues)});
}

} // namespace phylo
