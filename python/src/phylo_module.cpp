// phylo._phylo: the library for Python. Distance matrices whose cells numpy views in place,
// the recognising reader and every writer of phylo convert, the checks and transformations,
// and distances from alignments and character matrices. The package phylo (phylo/__init__.py)
// wraps this module; long work runs without the interpreter lock and stops on Ctrl-C.

#include "char_input.hpp"
#include "dist_layouts.hpp"
#include "distance_input.hpp"
#include "matrix_input.hpp"

#include "phylo/char_matrix.hpp"
#include "phylo/chars.hpp"
#include "phylo/dist_check.hpp"
#include "phylo/dist_reader.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/dna_dist.hpp"
#include "phylo/fasta.hpp"
#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/newick.hpp"
#include "phylo/output_file.hpp"
#include "phylo/tree.hpp"
#include "phylo/tree_build.hpp"
#include "phylo/types.hpp"
#include "phylo/words.hpp"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace py = pybind11;
using namespace py::literals;

namespace {

using phylo::dist_mat_type;
using phylo::read::dist_layout_type;
using phylo::read::dist_shape_type;

// ---- Names of the options, as phylo's commands spell them -------------------------------

using cli::named;

template <class T, std::size_t N>
T pick_value(const named<T> (&table)[N], const std::string &argument, const std::string &given) {
  std::string names;
  for (const auto &e : table) {
    if (e.name == given) return e.value;
    names += (names.empty() ? "" : ", ") + ("'" + std::string(e.name) + "'");
  }
  throw py::value_error(argument + "=" + py::repr(py::str(given)).cast<std::string>() + ": expected one of " + names);
}

using phylo::dna::model_type;
using phylo_cli::fasta_alphabets;
using phylo_cli::fasta_gap_rules;
using phylo_cli::fasta_models;
using phylo_cli::input_layouts;
using phylo_cli::shapes;
using phylo_cli::symmetrizers;
constexpr named<phylo::matrix_type> kinds[] = {
    {"discrete", phylo::matrix_type::DISCR},
    {"quant", phylo::matrix_type::QUANT},
    {"count", phylo::matrix_type::CNTCH},
};
constexpr named<phylo::char_format_type> char_layouts[] = {
    {"relaxed", phylo::char_format_type::EXTENDED_PHYLIP},
    {"phylip", phylo::char_format_type::PHYLIP},
    {"commented", phylo::char_format_type::COMMENTED_PHYLIP},
};
using phylo::distfunc::dist_form_type;
constexpr named<dist_form_type> quant_metrics[] = {
    {"euclidean", dist_form_type::EUKLIDEAN},
    {"std-euclidean", dist_form_type::STANDARDIZED_EUKLIDEAN},
    {"chord", dist_form_type::CHORD},
    {"canberra", dist_form_type::CANBERRA},
    {"manhattan", dist_form_type::MANHATTAN},
    {"pearson", dist_form_type::PEARSON},
    {"euclidean-missing", dist_form_type::EXCLUSIVE_EUKLIDEAN},
};
constexpr named<dist_form_type> count_metrics[] = {
    {"bray-curtis", dist_form_type::BRAY_CURTIS},
    {"edgar", dist_form_type::EDGAR},
};

const phylo_cli::output_layout &output_layout(const std::string &name) {
  std::string names;
  for (const auto &l : phylo_cli::output_layouts) {
    if (l.name == name) return l;
    names += (names.empty() ? "" : ", ") + ("'" + std::string(l.name) + "'");
  }
  throw py::value_error("layout=" + py::repr(py::str(name)).cast<std::string>() + ": expected one of " + names);
}

phylo::distfunc::dist_conv_type transform_named(const std::string &name) {
  for (const auto &t : phylo_cli::transforms)
    if (t.name == name) return t.value;
  std::string names;
  for (const auto &t : phylo_cli::transforms) names += (names.empty() ? "" : ", ") + ("'" + std::string(t.name) + "'");
  throw py::value_error("transform=" + py::repr(py::str(name)).cast<std::string>() + ": expected one of " + names);
}

// ---- Labels: 8-bit texts, seen from Python as str (bytes that are no UTF-8 as surrogates) --

py::str label_to_python(const std::string &label) {
  PyObject *s = PyUnicode_DecodeUTF8(label.data(), static_cast<Py_ssize_t>(label.size()), "surrogateescape");
  if (!s) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

std::string label_from_python(py::handle h, const char *argument) {
  if (!PyUnicode_Check(h.ptr()))
    throw py::type_error(std::string(argument) + ": a label must be a str, not " +
                         std::string(py::str(py::type::handle_of(h).attr("__name__"))));
  PyObject *b = PyUnicode_AsEncodedString(h.ptr(), "utf-8", "surrogateescape");
  if (!b) throw py::error_already_set();
  py::bytes bytes = py::reinterpret_steal<py::bytes>(b);
  return std::string(bytes);
}

std::vector<std::string> labels_from_python(py::handle seq, const char *argument) {
  if (PyUnicode_Check(seq.ptr()) || PyBytes_Check(seq.ptr()) || !py::isinstance<py::iterable>(seq))
    throw py::type_error(std::string(argument) + " must be a sequence of str");
  std::vector<std::string> out;
  for (py::handle h : seq) out.push_back(label_from_python(h, argument));
  return out;
}

py::list labels_list(const dist_mat_type &m) {
  py::list out(m.n_tax());
  for (std::size_t i = 0; i < m.n_tax(); ++i) out[i] = label_to_python(m.labels[i]);
  return out;
}

// ---- Errors of the library as the exceptions of phylo._errors ------------------------------

py::object optional_position(const phylo::error &e, py::dict &fields) {
  if (const phylo::input_position *w = e.where()) {
    fields["filename"] = w->name.empty() ? py::object(py::none()) : py::object(label_to_python(w->name));
    fields["lineno"] = w->line ? py::object(py::int_(w->line)) : py::object(py::none());
    fields["column"] = w->column ? py::object(py::int_(w->column)) : py::object(py::none());
  }
  return py::none();
}

[[noreturn]] void raise_library_error(const phylo::error &e, py::dict fields = py::dict()) {
  optional_position(e, fields);
  if (e.system_code() != 0) fields["errno"] = e.system_code();
  if (const auto *u = dynamic_cast<const phylo::read::undecided_error *>(&e)) {
    const char *reason = u->reason == phylo::read::undecided_type::LAYOUT   ? "layout"
                         : u->reason == phylo::read::undecided_type::LABELS ? "labels"
                                                                            : "shape";
    fields["reason"] = reason;
    if (u->reason == phylo::read::undecided_type::SHAPE)
      fields["shapes"] = py::make_tuple(std::string(phylo::read::shape_name(u->shapes[0])),
                                        std::string(phylo::read::shape_name(u->shapes[1])));
  } else if (dynamic_cast<const phylo::read::missing_pair_error *>(&e)) {
    fields["missing_pair"] = true;
  } else if (const auto *a = dynamic_cast<const phylo::read::alignment_error *>(&e)) {
    fields["sequence"] = a->sequence;
    fields["label"] = label_to_python(a->label);
    fields["length"] = a->length;
    if (a->problem == phylo::read::alignment_problem::NOT_ALIGNED) {
      fields["first_label"] = label_to_python(a->first_label);
      fields["first_length"] = a->first_length;
    }
  } else if (const auto *c = dynamic_cast<const phylo::invalid_character_error *>(&e)) {
    fields["character"] = py::bytes(std::string(1, c->character()));
  } else if (const auto *t = dynamic_cast<const phylo::tree_input_error *>(&e)) {
    static constexpr const char *problems[] = {"empty",    "not_finite", "negative",
                                               "diagonal", "asymmetric", "duplicate_label"};
    fields["problem"] = problems[static_cast<int>(t->problem)];
    fields["i"] = t->i;
    fields["j"] = t->j;
  } else if (const auto *d = dynamic_cast<const phylo::dna::undefined_distance_error *>(&e)) {
    static constexpr const char *reasons[] = {"no sites", "base frequencies", "saturated", "singular"};
    py::list pairs;
    for (const auto &p : d->first)
      pairs.append(py::make_tuple(p.i, p.j, reasons[static_cast<int>(p.reason)], p.sites, p.differing));
    fields["count"] = d->count;
    fields["pairs"] = pairs;
  }
  py::object exc =
      py::module_::import("phylo._errors").attr("from_library")(e.kind(), label_to_python(e.what()), **fields);
  PyErr_SetObject(reinterpret_cast<PyObject *>(Py_TYPE(exc.ptr())), exc.ptr());
  throw py::error_already_set();
}

// A Ctrl-C seen by a progress hook: the Python error is set, and raised once the library
// has stopped and the interpreter lock is held again.
struct interrupted {};

void check_signals_from_worker() {
  py::gil_scoped_acquire hold;
  if (PyErr_CheckSignals() != 0) throw interrupted{};
}

// ---- Sources --------------------------------------------------------------------------------

// The bytes of a file object as an input_source: read in place, or, when they are gzip or
// large, fed through a socket pair by a thread of their own, so that the library decompresses
// them as it does a file and a long read can be interrupted (the read hook runs between the
// reads of the socket).
class bytes_source {
public:
  static constexpr std::size_t fed_from = 16u << 20;

  bytes_source(std::string_view bytes, std::string name) {
    const bool gzip =
        bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 31 && static_cast<unsigned char>(bytes[1]) == 139;
    if (gzip || bytes.size() >= fed_from) {
      if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_) != 0) throw phylo::use_error(name + ": no socket pair");
      feeder_ = std::thread([this, bytes] {
        std::size_t at = 0;
        while (at < bytes.size()) {
          const ssize_t n = ::send(fds_[1], bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
          if (n <= 0) break; // the reader has gone
          at += static_cast<std::size_t>(n);
        }
        ::shutdown(fds_[1], SHUT_WR);
      });
      in_.emplace(phylo::input_source::from_fd(fds_[0], std::move(name)));
      in_->decompress_gzip();
    } else {
      in_.emplace(phylo::input_source::from_text(bytes, std::move(name)));
    }
  }
  bytes_source(const bytes_source &) = delete;
  bytes_source &operator=(const bytes_source &) = delete;
  ~bytes_source() {
    if (feeder_.joinable()) {
      ::shutdown(fds_[0], SHUT_RDWR); // a feeder still writing fails at once
      feeder_.join();
      ::close(fds_[0]);
      ::close(fds_[1]);
    }
  }
  phylo::input_source &source() { return *in_; }

private:
  int fds_[2] = {-1, -1};
  std::thread feeder_;
  std::optional<phylo::input_source> in_;
};

// A source as the Python side gives it: a path (str) or the bytes of a file object with a name.
struct source_arg {
  std::optional<std::string> path;
  py::bytes data;
  std::string name;
};

source_arg make_source_arg(py::object path, py::object data, const std::string &name) {
  source_arg s;
  if (!path.is_none()) s.path = path.cast<std::string>();
  else s.data = data.cast<py::bytes>();
  s.name = name;
  return s;
}

// Runs `body` on the source with the interpreter lock released; KeyboardInterrupt when Ctrl-C
// stops it.
template <class F> auto with_source(const source_arg &source, F &&body) {
  std::string_view bytes;
  if (!source.path) {
    char *p = nullptr;
    Py_ssize_t n = 0;
    if (PyBytes_AsStringAndSize(source.data.ptr(), &p, &n) != 0) throw py::error_already_set();
    bytes = std::string_view(p, static_cast<std::size_t>(n));
  }
  // Ctrl-C stops the reading between two reads of the descriptor.
  constexpr auto hook = [](void *) { check_signals_from_worker(); };
  try {
    py::gil_scoped_release unlocked;
    if (source.path) {
      phylo::input_source in = phylo::input_source::open_file(*source.path);
      in.set_read_hook(hook, nullptr);
      in.decompress_gzip();
      return body(in);
    }
    bytes_source in(bytes, source.name);
    in.source().set_read_hook(hook, nullptr);
    return body(in.source());
  } catch (const interrupted &) {
    throw py::error_already_set();
  }
}

[[noreturn]] void refuse_cr(phylo::input_source &in) {
  throw phylo::format_error("the line ends are carriage returns alone (CR); the lines must end in a line feed "
                            "(LF or CR LF)",
                            {in.name(), 1, 0});
}

// ---- The matrix -------------------------------------------------------------------------------

std::size_t index_of(const dist_mat_type &m, py::handle key, const char *which) {
  if (PyUnicode_Check(key.ptr())) {
    const std::string label = label_from_python(key, which);
    for (std::size_t i = 0; i < m.n_tax(); ++i)
      if (m.labels[i] == label) return i;
    throw py::key_error(py::repr(key).cast<std::string>());
  }
  if (!PyIndex_Check(key.ptr())) throw py::type_error("a taxon is an int index or a str label");
  const Py_ssize_t n = static_cast<Py_ssize_t>(m.n_tax());
  Py_ssize_t i = PyNumber_AsSsize_t(key.ptr(), PyExc_IndexError);
  if (i == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (i < 0) i += n;
  if (i < 0 || i >= n) throw py::index_error("taxon index out of range");
  return static_cast<std::size_t>(i);
}

std::pair<std::size_t, std::size_t> cell_of(const dist_mat_type &m, py::handle key) {
  if (!PyTuple_Check(key.ptr()) || PyTuple_GET_SIZE(key.ptr()) != 2)
    throw py::type_error("a cell is dm[i, j], each an index or a label");
  py::tuple t = py::reinterpret_borrow<py::tuple>(key);
  return {index_of(m, t[0], "row"), index_of(m, t[1], "column")};
}

// Every cell a distance in 0 .. max_distance: range_error naming the first that is not.
void check_cells(const dist_mat_type &m, const char *what) {
  const std::size_t n = m.n_tax();
  const float *c = m.distances.data();
  bool bad = false;
  for (std::size_t k = 0; k < n * n; ++k) bad |= !(c[k] >= 0.0f && c[k] <= phylo::max_distance);
  if (!bad) return;
  for (std::size_t k = 0;; ++k)
    if (!(c[k] >= 0.0f && c[k] <= phylo::max_distance))
      throw phylo::range_error(std::string(what) + ": cell (" + std::to_string(k / n + 1) + ", " +
                               std::to_string(k % n + 1) + ") holds " + std::to_string(c[k]) +
                               ", not a distance of 0 to 3.40282347e38");
}

std::unique_ptr<dist_mat_type> make_matrix(py::object values, py::object labels) {
  std::vector<std::string> names = labels_from_python(labels, "labels");
  using farray = py::array_t<float, py::array::c_style | py::array::forcecast>;
  farray a;
  try {
    a = farray::ensure(values);
  } catch (const py::error_already_set &) {
  }
  if (!a) {
    PyErr_Clear();
    throw py::type_error("values must be a 2-D array-like of numbers");
  }
  if (a.ndim() != 2 || a.shape(0) != a.shape(1))
    throw py::value_error("values must be a square 2-D array, not of shape " +
                          py::str(py::object(a.attr("shape"))).cast<std::string>());
  const std::size_t n = static_cast<std::size_t>(a.shape(0));
  if (n != names.size())
    throw py::value_error("labels: " + std::to_string(names.size()) + " labels for a matrix of " + std::to_string(n) +
                          " taxa");
  if (n == 0) throw py::value_error("values: a distance matrix has at least one taxon");
  auto m = std::make_unique<dist_mat_type>(n);
  for (std::size_t i = 0; i < n; ++i) m->labels[i] = std::move(names[i]);
  std::memcpy(m->distances.data(), a.data(), n * n * sizeof(float));
  try {
    check_cells(*m, "values");
  } catch (const phylo::range_error &e) {
    throw py::value_error(e.what());
  }
  return m;
}

py::array values_view(py::object self) {
  dist_mat_type &m = self.cast<dist_mat_type &>();
  const auto n = static_cast<py::ssize_t>(m.n_tax());
  if (n == 0) return py::array_t<float>(std::vector<py::ssize_t>{0, 0});
  return py::array_t<float>({n, n},
                            {n * static_cast<py::ssize_t>(sizeof(float)), static_cast<py::ssize_t>(sizeof(float))},
                            m.distances.data(), self);
}

bool same(const dist_mat_type &a, const dist_mat_type &b) {
  if (a.n_tax() != b.n_tax() || !(a.labels == b.labels)) return false;
  const std::size_t cells = a.n_tax() * a.n_tax();
  const float *x = a.distances.data(), *y = b.distances.data();
  for (std::size_t k = 0; k < cells; ++k)
    if (!(x[k] == y[k])) return false;
  return true;
}

std::unique_ptr<dist_mat_type> copy_of(const dist_mat_type &m) {
  auto c = std::make_unique<dist_mat_type>(m.n_tax());
  c->labels = m.labels;
  std::memcpy(c->distances.data(), m.distances.data(), m.n_tax() * m.n_tax() * sizeof(float));
  return c;
}

// ---- Writing ------------------------------------------------------------------------------------

// Runs the writer of a layout on `sink`.
void write_layout(phylo::output_sink &sink, const dist_mat_type &m, const phylo_cli::output_layout &to, int digits) {
  phylo_cli::write_matrix(sink, m, to, digits);
  sink.flush();
}

int digits_of(py::object digits) {
  if (digits.is_none()) return 0;
  if (!PyLong_Check(digits.ptr())) throw py::type_error("digits must be an int from 1 to 9 or None");
  const long d = digits.cast<long>();
  if (d < 1 || d > 9) throw py::value_error("digits=" + std::to_string(d) + ": expected 1 to 9");
  return static_cast<int>(d);
}

py::bytes to_bytes(const dist_mat_type &m, const std::string &layout, py::object digits) {
  const auto &to = output_layout(layout);
  const int d = digits_of(digits);
  std::string text;
  {
    py::gil_scoped_release unlocked;
    check_cells(m, "the matrix");
    phylo::output_sink sink = phylo::output_sink::to_string();
    write_layout(sink, m, to, d);
    text = sink.take_text();
  }
  return py::bytes(text);
}

// Writes to a path whole or not at all, as the commands' -o does; Python's own signal
// handlers stay (Ctrl-C raises KeyboardInterrupt once the write has returned).
void write_path(const dist_mat_type &m, const std::string &path, const std::string &layout, py::object digits) {
  const auto &to = output_layout(layout);
  const int d = digits_of(digits);
  py::gil_scoped_release unlocked;
  check_cells(m, "the matrix");
  phylo::output_file file(path);
  {
    phylo::output_sink sink = phylo::output_sink::to_fd(file.fd(), path);
    write_layout(sink, m, to, d);
    sink.flush();
  }
  file.commit();
}

// ---- Reading ------------------------------------------------------------------------------------

py::list read_matrices(const source_arg &source, const std::string &layout, const std::string &shape,
                       std::size_t column, std::optional<float> fill) {
  phylo::read::dist_read_settings settings;
  settings.layout = pick_value(input_layouts, "layout", layout);
  settings.shape = pick_value(shapes, "shape", shape);
  settings.pair_column = column;
  settings.pair_fill = fill;
  if (settings.shape != dist_shape_type::AUTO &&
      (settings.layout == dist_layout_type::NEXUS || settings.layout == dist_layout_type::CSV ||
       settings.layout == dist_layout_type::PAIRS || settings.layout == dist_layout_type::MEGA))
    throw py::value_error("shape is for phylip, relaxed and tsv input; " + layout + " input has its own shape");
  if (column < 3) throw py::value_error("column=" + std::to_string(column) + ": the distance is field 3 or later");
  if (fill && !(*fill >= 0.0f && *fill <= phylo::max_distance))
    throw py::value_error("fill must be a distance of 0 or more");
  py::list out;
  with_source(source, [&](phylo::input_source &in) {
    if (phylo::read::first_line_ends_in_cr(in, true)) refuse_cr(in);
    phylo::read::dist_reader reader(in, settings);
    std::size_t count = 0;
    for (;; ++count) {
      phylo::dist_mat_access m = reader.next();
      if (!m) break;
      const std::size_t line = reader.matrix_line();
      py::gil_scoped_acquire hold;
      out.append(py::make_tuple(py::cast(std::move(m)), line));
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
    if (count == 0) throw phylo::format_error("holds no distance matrix", {in.name(), 0, 0});
    return 0;
  });
  return out;
}

// ---- Alignments ---------------------------------------------------------------------------------

struct dist_settings {
  phylo::dna::site_rule rule;
  std::optional<phylo::dna::alphabet> residues; // none: told by the residues
  phylo::dna::dist_options options;
};

std::optional<double> optional_positive(py::handle v, const char *argument) {
  if (v.is_none()) return std::nullopt;
  if (!PyNumber_Check(v.ptr()) || PyBool_Check(v.ptr()))
    throw py::type_error(std::string(argument) + " must be a number or None");
  const double x = py::reinterpret_borrow<py::object>(v).cast<double>();
  if (!(x > 0 && std::isfinite(x))) throw py::value_error(std::string(argument) + " must be a number above 0");
  return x;
}

// The settings of phylo dist for alignments; `more` holds alphabet, gamma, gamma_categories
// and ts_tv as phylo.dist takes them.
dist_settings dist_settings_of(const std::string &model, const std::string &gaps, std::optional<float> undefined,
                               std::optional<unsigned> threads, const py::dict &more) {
  dist_settings s{pick_value(fasta_gap_rules, "gaps", gaps), std::nullopt, {}};
  s.options.model = pick_value(fasta_models, "model", model);
  if (s.rule == phylo::dna::site_rule::ALL && s.options.model != model_type::P && s.options.model != model_type::COUNT)
    throw py::value_error("gaps='count' compares every symbol and gives model='p' or 'count' only, not model='" +
                          model + "'");
  if (undefined && !(std::isfinite(*undefined) && *undefined >= 0))
    throw py::value_error("undefined must be None or a number of 0 or more");
  if (undefined) s.options.undefined_value = *undefined == 0 ? 0.0f : *undefined;
  if (threads && (*threads < 1 || *threads > 4096)) throw py::value_error("threads must be None or 1 to 4096");
  s.options.threads = threads.value_or(0);
  s.options.progress = [](std::uint64_t, std::uint64_t) { check_signals_from_worker(); };

  const std::string alphabet_name = more.contains("alphabet") ? more["alphabet"].cast<std::string>() : "auto";
  s.residues = pick_value(fasta_alphabets, "alphabet", alphabet_name);
  const auto own = phylo::dna::model_alphabet(s.options.model);
  if (own && s.residues && *own != *s.residues)
    throw py::value_error("model='" + model + "' is for " +
                          (*own == phylo::dna::alphabet::DNA ? "nucleotides" : "amino acids") + ", not alphabet='" +
                          alphabet_name + "'");
  if (!s.residues) s.residues = own;
  s.options.gamma =
      optional_positive(more.contains("gamma") ? py::object(more["gamma"]) : py::object(py::none()), "gamma");
  if (s.options.gamma && !phylo::dna::takes_gamma(s.options.model))
    throw py::value_error("gamma: model='" + model + "' takes no gamma");
  if (more.contains("gamma_categories") && !more["gamma_categories"].is_none()) {
    const int k = more["gamma_categories"].cast<int>();
    if (k < 1 || k > 64) throw py::value_error("gamma_categories must be 1 to 64");
    if (!phylo::dna::takes_gamma_categories(s.options.model))
      throw py::value_error("gamma_categories is for model='jtt', 'wag', 'lg', 'dayhoff' or 'blosum62', not '" + model +
                            "'");
    s.options.gamma_categories = static_cast<unsigned>(k);
  }
  s.options.ts_tv =
      optional_positive(more.contains("ts_tv") ? py::object(more["ts_tv"]) : py::object(py::none()), "ts_tv");
  if (s.options.ts_tv && s.options.model != model_type::F84) throw py::value_error("ts_tv is for model='f84'");
  if (s.options.ts_tv && s.options.gamma) throw py::value_error("ts_tv and gamma do not go together");
  return s;
}

// Packs sequences as they come in the alphabet of the settings, or, when none is given, holds
// them until the last tells it: nucleotides when every residue is a nucleotide code.
class packer {
public:
  explicit packer(const dist_settings &s) : rule_(s.rule) {
    if (s.residues) aln_.emplace(rule_, *s.residues);
  }
  phylo::read::residue_alphabet reading() const {
    return aln_ && aln_->residues() == phylo::dna::alphabet::DNA ? phylo::read::residue_alphabet::NUCLEOTIDES
                                                                 : phylo::read::residue_alphabet::AMINO_ACIDS;
  }
  void add(std::string label, std::string residues) {
    if (aln_) return aln_->add(std::move(label), residues);
    nucleotides_ = nucleotides_ && std::none_of(residues.begin(), residues.end(), [](char c) {
                     return phylo::non_wide_nuc_set.contains(phylo::good_gaps(c));
                   });
    held_.emplace_back(std::move(label), std::move(residues));
  }
  phylo::dna::packed_alignment take() {
    if (!aln_) {
      aln_.emplace(rule_, nucleotides_ ? phylo::dna::alphabet::DNA : phylo::dna::alphabet::PROTEIN, held_.size());
      for (auto &[label, residues] : held_) {
        aln_->add(std::move(label), residues);
        residues = std::string();
      }
    }
    return std::move(*aln_);
  }

private:
  phylo::dna::site_rule rule_;
  std::optional<phylo::dna::packed_alignment> aln_;
  std::vector<std::pair<std::string, std::string>> held_;
  bool nucleotides_ = true;
};

// The distances of a packed alignment, with the interpreter lock released; Ctrl-C stops them.
std::unique_ptr<dist_mat_type> distances_in(const phylo::dna::packed_alignment &aln,
                                            const phylo::dna::dist_options &options, std::uint64_t &undefined) {
  if (const auto own = phylo::dna::model_alphabet(options.model); own && *own != aln.residues())
    throw phylo::formula_error(
        std::string("the model is for ") + (*own == phylo::dna::alphabet::DNA ? "nucleotides" : "amino acids") +
        ", but the alignment holds " + (aln.residues() == phylo::dna::alphabet::DNA ? "nucleotides" : "amino acids"));
  auto m = std::make_unique<dist_mat_type>(aln.size());
  try {
    py::gil_scoped_release unlocked;
    undefined = phylo::dna::dna_dist(aln, options, *m);
  } catch (const interrupted &) {
    throw py::error_already_set();
  } catch (const phylo::dna::undefined_distance_error &e) {
    py::list names; // the taxa of each pair named, lower row first
    for (const auto &p : e.first)
      names.append(py::make_tuple(label_to_python(aln.labels()[p.j]), label_to_python(aln.labels()[p.i])));
    py::dict fields;
    fields["names"] = names;
    raise_library_error(e, fields);
  }
  return m;
}

py::tuple distances_of(const phylo::dna::packed_alignment &aln, const phylo::dna::dist_options &options) {
  std::uint64_t undefined = 0;
  auto m = distances_in(aln, options, undefined);
  return py::make_tuple(py::cast(std::move(m)), undefined);
}

// Reads a FASTA alignment as phylo dist does, packing each sequence as it comes.
void pack_fasta(phylo::input_source &in, packer &pack) {
  if (phylo::read::first_line_ends_in_cr(in, false)) refuse_cr(in);
  try {
    phylo::read::read_alignment(
        in, pack.reading(), std::numeric_limits<std::size_t>::max(),
        [&](phylo::read::fasta_record &r) { pack.add(std::move(r.label), std::move(r.residues)); });
  } catch (const phylo::read::residue_error &e) {
    const bool dna = e.alphabet == phylo::read::residue_alphabet::NUCLEOTIDES;
    throw phylo::invalid_character_error(
        phylo::describe_char(static_cast<unsigned char>(e.character())) + " in sequence " +
            (e.label.empty() ? std::to_string(e.sequence) : phylo::quote_text(e.label)) + " is not " +
            (dna ? "a nucleotide code (A, C, G, T, the IUPAC codes, '-', '.' or '?')"
                 : "an amino-acid code (the 20 amino acids, B, Z, J, X, '*', '-', '.' or '?')"),
        e.where() ? *e.where() : phylo::input_position{in.name(), e.header_line, 0}, e.character());
  }
}

phylo::dna::packed_alignment packed_fasta(const source_arg &source, const dist_settings &s) {
  packer pack(s);
  with_source(source, [&](phylo::input_source &in) {
    pack_fasta(in, pack);
    return 0;
  });
  return pack.take();
}

py::tuple dist_fasta(const source_arg &source, const std::string &model, const std::string &gaps,
                     std::optional<float> undefined, std::optional<unsigned> threads, const py::dict &more) {
  const dist_settings s = dist_settings_of(model, gaps, undefined, threads, more);
  return distances_of(packed_fasta(source, s), s.options);
}

std::string residues_from_python(py::handle h) {
  if (PyBytes_Check(h.ptr())) return h.cast<std::string>();
  if (PyUnicode_Check(h.ptr())) return label_from_python(h, "alignment");
  throw py::type_error("alignment: a sequence must be a str or bytes, not " +
                       std::string(py::str(py::type::handle_of(h).attr("__name__"))));
}

// Packs (label, sequence) pairs, checked as the FASTA reader checks its records.
phylo::dna::packed_alignment packed_pairs(py::iterable pairs, const dist_settings &s) {
  packer pack(s);
  std::size_t k = 0, first_length = 0;
  for (py::handle item : pairs) {
    ++k;
    if (!PySequence_Check(item.ptr()) || PyUnicode_Check(item.ptr()) || PySequence_Size(item.ptr()) != 2)
      throw py::type_error("alignment: item " + std::to_string(k) + " is not a (label, sequence) pair");
    py::sequence pair = py::reinterpret_borrow<py::sequence>(item);
    std::string label = label_from_python(py::object(pair[0]), "alignment");
    std::string residues = residues_from_python(py::object(pair[1]));
    const phylo::input_position at{"", k, 0};
    if (label.empty()) throw phylo::format_error("sequence " + std::to_string(k) + " has no label", at);
    if (residues.empty()) throw phylo::format_error("sequence " + phylo::quote_text(label) + " has no residues", at);
    if (k == 1) first_length = residues.size();
    else if (residues.size() != first_length)
      throw phylo::format_error("sequence " + phylo::quote_text(label) + " has " + std::to_string(residues.size()) +
                                    " residues, but the first sequence has " + std::to_string(first_length) +
                                    ": the sequences are not aligned",
                                at);
    // A residue of no code of the alphabet (of neither when it is told by the residues).
    const bool dna = s.residues == phylo::dna::alphabet::DNA;
    const phylo::char_set_type &codes = dna ? phylo::wide_nuc_set : phylo::read::amino_set;
    for (std::size_t c = 0; c < residues.size(); ++c)
      if (!codes.contains(static_cast<unsigned char>(phylo::good_gaps(residues[c]))))
        throw phylo::invalid_character_error(
            phylo::describe_char(static_cast<unsigned char>(residues[c])) + " in sequence " + phylo::quote_text(label) +
                (dna ? " is not a nucleotide code" : " is neither a nucleotide nor an amino-acid code"),
            {"", k, c + 1}, residues[c]);
    try {
      pack.add(std::move(label), std::move(residues));
    } catch (const phylo::range_error &e) {
      throw phylo::format_error(e.what(), at);
    }
  }
  if (k == 0) throw py::value_error("alignment holds no sequences");
  return pack.take();
}

py::tuple dist_pairs(py::iterable pairs, const std::string &model, const std::string &gaps,
                     std::optional<float> undefined, std::optional<unsigned> threads, const py::dict &more) {
  const dist_settings s = dist_settings_of(model, gaps, undefined, threads, more);
  return distances_of(packed_pairs(pairs, s), s.options);
}

// ---- Trees --------------------------------------------------------------------------------------

struct tree_settings {
  phylo::tree_build_options build;
  phylo::negative_rule negative = phylo::negative_rule::KEEP;
  std::optional<double> collapse;
  bool midpoint = false;
  std::vector<std::string> outgroup;
  std::size_t bootstrap = 0;
  std::uint64_t seed = 1;
};

// The settings of phylo tree; `more` holds root, outgroup, negative, collapse, bootstrap and
// seed as phylo.tree takes them.
tree_settings tree_settings_of(const std::string &method, std::optional<unsigned> threads, const py::dict &more) {
  tree_settings t;
  t.build.method = pick_value(phylo_cli::tree_methods, "method", method);
  if (threads && (*threads < 1 || *threads > 4096)) throw py::value_error("threads must be None or 1 to 4096");
  t.build.threads = threads.value_or(0);
  t.negative = pick_value(phylo_cli::negative_rules, "negative", more["negative"].cast<std::string>());
  const py::object collapse = more["collapse"];
  if (!collapse.is_none()) {
    if (!PyNumber_Check(collapse.ptr()) || PyBool_Check(collapse.ptr()))
      throw py::type_error("collapse must be a number or None");
    const double eps = collapse.cast<double>();
    if (!(eps >= 0 && std::isfinite(eps))) throw py::value_error("collapse must be a branch length of at least 0");
    t.collapse = eps;
  }
  const py::object root = more["root"];
  if (!root.is_none()) {
    if (!PyUnicode_Check(root.ptr()) || root.cast<std::string>() != "midpoint")
      throw py::value_error("root=" + py::repr(root).cast<std::string>() + ": expected None or 'midpoint'");
    t.midpoint = true;
  }
  const py::object outgroup = more["outgroup"];
  if (!outgroup.is_none()) {
    t.outgroup = PyUnicode_Check(outgroup.ptr()) ? std::vector<std::string>{label_from_python(outgroup, "outgroup")}
                                                 : labels_from_python(outgroup, "outgroup");
    if (t.outgroup.empty()) throw py::value_error("outgroup names no taxon");
    if (t.midpoint) throw py::value_error("root='midpoint' and outgroup exclude each other");
  }
  const py::object bootstrap = more["bootstrap"], seed = more["seed"];
  if (!PyLong_Check(bootstrap.ptr()) || PyBool_Check(bootstrap.ptr()) || bootstrap.cast<long long>() < 0 ||
      bootstrap.cast<long long>() > 1000000)
    throw py::value_error("bootstrap must be a whole number of replicates from 0 to 1000000");
  t.bootstrap = bootstrap.cast<std::size_t>();
  if (!PyLong_Check(seed.ptr()) || PyBool_Check(seed.ptr()) || seed.cast<py::int_>() < py::int_(0) ||
      seed.cast<py::int_>() > py::int_(std::numeric_limits<std::uint64_t>::max()))
    throw py::value_error("seed must be a whole number from 0 to 18446744073709551615");
  t.seed = seed.cast<std::uint64_t>();
  return t;
}

// The tree of a matrix (consumed) by the settings, with the interpreter lock released; Ctrl-C
// stops it between joins.
std::unique_ptr<phylo::tree_type> tree_from(dist_mat_type &&mat, const tree_settings &t) {
  auto tree = std::make_unique<phylo::tree_type>();
  try {
    py::gil_scoped_release unlocked;
    phylo::tree_build_options build = t.build;
    build.progress = [](std::size_t, std::size_t) { check_signals_from_worker(); };
    *tree = phylo::build_tree(std::move(mat), build);
    phylo::fix_negative_lengths(*tree, t.negative);
    if (t.collapse) phylo::collapse_short_branches(*tree, *t.collapse);
    if (t.midpoint) phylo::root_at_midpoint(*tree);
    if (!t.outgroup.empty()) phylo::root_with_outgroup(*tree, t.outgroup);
  } catch (const interrupted &) {
    throw py::error_already_set();
  }
  return tree;
}

std::unique_ptr<phylo::tree_type> tree_of_matrix(const dist_mat_type &d, const std::string &method,
                                                 std::optional<unsigned> threads, const py::dict &more) {
  const tree_settings t = tree_settings_of(method, threads, more);
  if (t.bootstrap != 0)
    throw py::value_error("bootstrap resamples the sites of an alignment, and a distance matrix has none");
  dist_mat_type copy = d; // the tree is built in a matrix of its own
  return tree_from(std::move(copy), t);
}

// The tree of an alignment's distances and, with a bootstrap, the support of its branches.
py::tuple tree_of_alignment(phylo::dna::packed_alignment aln, const dist_settings &s, const tree_settings &t) {
  std::uint64_t undefined = 0;
  std::unique_ptr<dist_mat_type> m = distances_in(aln, s.options, undefined);
  if (t.bootstrap == 0) aln = phylo::dna::packed_alignment{}; // the sequences are no longer needed
  std::unique_ptr<phylo::tree_type> tree = tree_from(std::move(*m), t);
  m.reset();
  if (t.bootstrap != 0) {
    phylo::bootstrap_options b;
    b.replicates = t.bootstrap;
    b.seed = t.seed;
    b.dist = s.options;
    b.build = t.build;
    b.progress = [](std::size_t, std::size_t) { check_signals_from_worker(); };
    try {
      py::gil_scoped_release unlocked;
      phylo::bootstrap(*tree, aln, b);
    } catch (const interrupted &) {
      throw py::error_already_set();
    }
  }
  return py::make_tuple(py::cast(std::move(tree)), undefined);
}

// The tree of a text: a FASTA alignment (a text that begins with '>'), as phylo tree tells it,
// or a text of one distance matrix in any layout.
py::tuple tree_of_source(const source_arg &source, const dist_settings &s, const tree_settings &t) {
  packer pack(s);
  phylo::dist_mat_access matrix;
  with_source(source, [&](phylo::input_source &in) {
    if (phylo_cli::looks_like_fasta(in)) {
      pack_fasta(in, pack);
      return 0;
    }
    if (phylo::read::first_line_ends_in_cr(in, true)) refuse_cr(in);
    phylo::read::dist_reader reader(in, {});
    matrix = reader.next();
    if (!matrix) throw phylo::format_error("holds neither a FASTA alignment nor a distance matrix", {in.name(), 0, 0});
    if (reader.next())
      throw phylo::format_error("holds more than one distance matrix; phylo.tree takes one (phylo.read reads each)",
                                {in.name(), reader.matrix_line(), 0});
    return 0;
  });
  if (!matrix) return tree_of_alignment(pack.take(), s, t);
  if (t.bootstrap != 0)
    throw py::value_error("bootstrap resamples the sites of an alignment, and a distance matrix has none");
  return py::make_tuple(py::cast(tree_from(std::move(*matrix), t)), 0);
}

std::string newick_text(const phylo::tree_type &tree, py::object digits, bool safe_labels) {
  phylo::newick_options options;
  options.digits = digits_of(digits);
  options.safe_labels = safe_labels;
  phylo::output_sink sink = phylo::output_sink::to_string();
  phylo::print::write_newick(tree, sink, options);
  std::string text = sink.take_text();
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::size_t leaf_count(const phylo::tree_type &tree) {
  return static_cast<std::size_t>(std::count_if(
      tree.nodes.begin(), tree.nodes.end(), [](const phylo::tree_node &v) { return v.first_child == phylo::no_node; }));
}

// ---- Character matrices -------------------------------------------------------------------------

dist_form_type metric_of(phylo::matrix_type kind, py::object metric) {
  if (kind == phylo::matrix_type::DISCR) {
    if (!metric.is_none())
      throw py::value_error("metric: discrete matrices always give the proportion of differing symbols; metrics are "
                            "for kind='quant' or 'count'");
    return dist_form_type::EUKLIDEAN; // not consulted
  }
  if (kind == phylo::matrix_type::QUANT)
    return metric.is_none() ? dist_form_type::EUKLIDEAN
                            : pick_value(quant_metrics, "metric", metric.cast<std::string>());
  return metric.is_none() ? dist_form_type::BRAY_CURTIS
                          : pick_value(count_metrics, "metric", metric.cast<std::string>());
}

std::unique_ptr<dist_mat_type> chars_distances(const phylo::char_mat_type &chars, dist_form_type form) {
  auto m = std::make_unique<dist_mat_type>(chars.n_tax());
  phylo::distfunc::make_dist(chars, form, *m);
  return m;
}

py::list dist_chars(const source_arg &source, const std::string &kind_name, py::object metric,
                    const std::string &layout_name) {
  const phylo::matrix_type kind = pick_value(kinds, "kind", kind_name);
  const dist_form_type form = metric_of(kind, metric);
  const phylo::char_format_type format = pick_value(char_layouts, "layout", layout_name);
  std::vector<std::unique_ptr<dist_mat_type>> found;
  with_source(source, [&](phylo::input_source &in) {
    if (phylo::read::first_line_ends_in_cr(in, false)) refuse_cr(in);
    while (!phylo::read::at_end(in)) {
      const phylo::read::char_mat_size size = phylo::read::read_header(in);
      const auto cells = static_cast<unsigned long long>(size.n_tax) * static_cast<unsigned long long>(size.n_char);
      if (const auto left = in.known_size_left(); left && cells > in.offset() + *left)
        throw phylo::format_error("the header announces " + std::to_string(size.n_tax) + " taxa of " +
                                      std::to_string(size.n_char) + " characters, more than the text holds",
                                  {in.name(), size.line, 0});
      phylo::char_mat_type chars(static_cast<std::size_t>(size.n_tax), static_cast<std::size_t>(size.n_char), kind);
      phylo::read::read_char_mat(in, format, chars, phylo::read::row_wrap_type::BLANK_START);
      if (format == phylo::char_format_type::PHYLIP)
        for (std::size_t i = 0; i < chars.n_tax(); ++i) {
          std::string &label = chars.labels[i];
          label = std::string(phylo::trim_phylip_label(label));
          if (label.empty())
            throw phylo::format_error("taxon " + std::to_string(i + 1) +
                                          " has no label: its first 10 characters are blank",
                                      {in.name(), size.line, 0});
        }
      found.push_back(chars_distances(chars, form));
    }
    if (found.empty()) throw phylo::format_error("holds no character matrix", {in.name(), 0, 0});
    return 0;
  });
  py::list out;
  for (auto &m : found) out.append(py::cast(std::move(m)));
  return out;
}

std::unique_ptr<dist_mat_type> dist_char_array(py::object values, py::object labels, const std::string &kind_name,
                                               py::object metric) {
  const phylo::matrix_type kind = pick_value(kinds, "kind", kind_name);
  const dist_form_type form = metric_of(kind, metric);
  std::vector<std::string> names = labels_from_python(labels, "labels");
  const std::size_t n = names.size();
  if (n == 0) throw py::value_error("labels: a character matrix has at least one taxon");
  std::optional<phylo::char_mat_type> chars;
  if (kind == phylo::matrix_type::DISCR) {
    if (PyUnicode_Check(values.ptr()) || !py::isinstance<py::sequence>(values))
      throw py::type_error("values: discrete characters are a sequence of str, one per taxon");
    py::sequence rows = py::reinterpret_borrow<py::sequence>(values);
    if (rows.size() != n)
      throw py::value_error("values: " + std::to_string(rows.size()) + " rows for " + std::to_string(n) + " labels");
    std::vector<std::string> symbols;
    for (py::handle h : rows) symbols.push_back(residues_from_python(h));
    const std::size_t m = symbols[0].size();
    for (std::size_t i = 0; i < n; ++i)
      if (symbols[i].size() != m || m == 0)
        throw py::value_error("values: row " + std::to_string(i + 1) + " has " + std::to_string(symbols[i].size()) +
                              " characters, row 1 has " + std::to_string(m));
    chars.emplace(n, m, kind);
    for (std::size_t i = 0; i < n; ++i) std::memcpy(chars->discr_data().row(i), symbols[i].data(), m);
  } else if (kind == phylo::matrix_type::QUANT) {
    auto a = py::array_t<float, py::array::c_style | py::array::forcecast>::ensure(values);
    if (!a || a.ndim() != 2 || static_cast<std::size_t>(a.shape(0)) != n || a.shape(1) < 1)
      throw py::value_error("values must be a 2-D array of one row per label");
    chars.emplace(n, static_cast<std::size_t>(a.shape(1)), kind);
    std::memcpy(chars->quant_data().data(), a.data(), n * chars->n_char() * sizeof(float));
  } else {
    py::array a = py::array::ensure(values);
    if (!a || a.ndim() != 2 || static_cast<std::size_t>(a.shape(0)) != n || a.shape(1) < 1)
      throw py::value_error("values must be a 2-D array of one row per label");
    if (a.dtype().kind() != 'i' && a.dtype().kind() != 'u')
      throw py::type_error("values: counts must be an array of integers");
    auto counts = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>::ensure(a);
    chars.emplace(n, static_cast<std::size_t>(a.shape(1)), kind);
    const std::int64_t *c = counts.data();
    std::int32_t *to = chars->count_data().data();
    for (std::size_t k = 0; k < n * chars->n_char(); ++k) {
      if (c[k] < 0 || c[k] > std::numeric_limits<std::int32_t>::max())
        throw py::value_error("values: count " + std::to_string(c[k]) + " is outside 0 .. 2147483647");
      to[k] = static_cast<std::int32_t>(c[k]);
    }
  }
  for (std::size_t i = 0; i < n; ++i) chars->labels[i] = std::move(names[i]);
  py::gil_scoped_release unlocked;
  return chars_distances(*chars, form);
}

// Takes a Python argument that must be a non-negative float or None.
std::optional<float> optional_distance(py::object v, const char *argument) {
  if (v.is_none()) return std::nullopt;
  if (!PyNumber_Check(v.ptr()) || PyBool_Check(v.ptr()))
    throw py::type_error(std::string(argument) + " must be a number or None");
  return static_cast<float>(v.cast<double>());
}

} // namespace

PYBIND11_MODULE(_phylo, m) {
  m.doc() = "The phylo library: distance matrices, their layouts, and distances from characters.";

  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const phylo::error &e) {
      try {
        raise_library_error(e);
      } catch (py::error_already_set &set) {
        set.restore();
      }
    } catch (const interrupted &) {
      // the Python error is already set by the signal handler
    }
  });

  py::class_<dist_mat_type> cls(m, "DistanceMatrix", R"doc(
A square matrix of distances between taxa, each taxon named by a label.

DistanceMatrix(values, labels) copies `values` (any square 2-D array-like of numbers,
each a distance of 0 or more) into the matrix's own memory; `labels` is a sequence of
str, one per row. `values` is then a float32 numpy array that views that memory: no copy,
and writing through it changes the matrix.

    >>> dm = phylo.DistanceMatrix([[0, 0.25], [0.25, 0]], ["Alpha", "Beta gamma"])
    >>> dm["Alpha", "Beta gamma"]
    0.25
)doc");
  cls.def(py::init(&make_matrix), "values"_a, "labels"_a)
      .def_property_readonly("values", &values_view,
                             "The cells as a float32 numpy array of shape (n, n) that views the matrix's memory.")
      .def_property(
          "labels", [](const dist_mat_type &d) { return labels_list(d); },
          [](dist_mat_type &d, py::object labels) {
            std::vector<std::string> names = labels_from_python(labels, "labels");
            if (names.size() != d.n_tax())
              throw py::value_error("labels: " + std::to_string(names.size()) + " labels for a matrix of " +
                                    std::to_string(d.n_tax()) + " taxa");
            for (std::size_t i = 0; i < names.size(); ++i) d.labels[i] = std::move(names[i]);
          },
          "The labels of the taxa, in the order of the rows (a list of str; may be set to another list of n).")
      .def("__len__", &dist_mat_type::n_tax, "The number of taxa.")
      .def(
          "__getitem__",
          [](const dist_mat_type &d, py::handle key) {
            const auto [i, j] = cell_of(d, key);
            static const auto *float32 = new py::object(py::module_::import("numpy").attr("float32")); // never freed
            return (*float32)(d.distances(i, j));
          },
          "dm[i, j] or dm['a', 'b']: the distance from one taxon to another (a numpy.float32).")
      .def(
          "__setitem__",
          [](dist_mat_type &d, py::handle key, double v) {
            const auto [i, j] = cell_of(d, key);
            const auto f = static_cast<float>(v);
            if (!(f >= 0.0f && f <= phylo::max_distance)) throw py::value_error("a distance is a number of 0 or more");
            d.distances(i, j) = f;
          },
          "dm[i, j] = v sets one cell (its mirror is left alone).")
      .def(
          "index", [](const dist_mat_type &d, py::handle label) { return index_of(d, label, "label"); }, "label"_a,
          "The row of the taxon with this label (KeyError when there is none).")
      .def(
          "__eq__",
          [](const dist_mat_type &a, py::object b) -> py::object {
            if (!py::isinstance<dist_mat_type>(b)) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
            return py::bool_(same(a, b.cast<const dist_mat_type &>()));
          },
          py::is_operator());
  cls.attr("__hash__") = py::none();
  cls.def("copy", &copy_of, "A copy with its own memory.")
      .def("__copy__", &copy_of)
      .def(
          "__deepcopy__", [](const dist_mat_type &d, py::object) { return copy_of(d); }, "memo"_a)
      .def(py::pickle(
          [](const dist_mat_type &d) {
            return py::make_tuple(labels_list(d), py::bytes(reinterpret_cast<const char *>(d.distances.data()),
                                                            d.n_tax() * d.n_tax() * sizeof(float)));
          },
          [](py::tuple t) {
            py::list labels = t[0].cast<py::list>();
            const std::string cells = t[1].cast<std::string>();
            auto d = std::make_unique<dist_mat_type>(labels.size());
            if (d->n_tax() == 0 || cells.size() != d->n_tax() * d->n_tax() * sizeof(float))
              throw py::value_error("a broken pickle");
            for (std::size_t i = 0; i < d->n_tax(); ++i) d->labels[i] = label_from_python(labels[i], "labels");
            std::memcpy(d->distances.data(), cells.data(), cells.size());
            return d;
          }))
      .def(
          "_check",
          [](const dist_mat_type &d, float tolerance, const std::string &layout) {
            const auto &to = output_layout(layout);
            std::vector<phylo::dist_finding_type> found;
            {
              py::gil_scoped_release unlocked;
              found = phylo::check_dist_mat(d, tolerance, phylo_cli::label_form(to));
            }
            static constexpr const char *names[] = {"asymmetry",    "diagonal",  "duplicate_label", "output_label",
                                                    "unsafe_label", "cut_label", "broken_label"};
            py::list out;
            for (const auto &f : found)
              out.append(py::make_tuple(names[static_cast<int>(f.kind)], f.i, f.j, label_to_python(f.message)));
            return out;
          },
          "tolerance"_a, "layout"_a)
      .def(
          "symmetrize",
          [](dist_mat_type &d, const std::string &how) {
            const auto h = pick_value(symmetrizers, "how", how);
            py::gil_scoped_release unlocked;
            phylo::symmetrize_dist(d, h);
          },
          "how"_a = "mean",
          "Makes the matrix symmetric in place: from its lower triangle ('lower'), its upper one ('upper') or the mean "
          "of both ('mean'). The diagonal is left alone.")
      .def(
          "transform",
          [](dist_mat_type &d, const std::string &name) {
            const auto conv = transform_named(name);
            py::gil_scoped_release unlocked;
            check_cells(d, "the matrix");
            phylo::distfunc::convert_dist(d, conv);
          },
          "name"_a,
          "Transforms every distance above the diagonal in place and mirrors it below: 'arcsin' arcsin(sqrt(D)), "
          "'exp' 1-exp(-D), 'neglog' -log(1-D), 'square' D^2, 'range' D/max(D), 'sqrt' sqrt(D), 'none'. "
          "phylo.ArgumentError outside a function's domain, phylo.RangeError for a result out of range.")
      .def(
          "similarity_to_distance",
          [](dist_mat_type &d, const std::string &scale) {
            float top = 0;
            if (scale == "fraction") top = 1.0f;
            else if (scale == "percent") top = 100.0f;
            else
              throw py::value_error("scale=" + py::repr(py::str(scale)).cast<std::string>() +
                                    ": expected 'fraction' or 'percent'");
            py::gil_scoped_release unlocked;
            phylo::similarities_to_distances(d, top);
          },
          "scale"_a,
          "Makes similarities distances in place: 'fraction' D := 1 - S, 'percent' D := 100 - S (every cell). "
          "phylo.RangeError for a similarity above the top.")
      .def(
          "subset",
          [](const dist_mat_type &d, py::object labels) {
            const std::vector<std::string> names = labels_from_python(labels, "labels");
            if (names.empty()) throw py::value_error("labels: a subset keeps at least one taxon");
            py::gil_scoped_release unlocked;
            return phylo::keep_taxa(d, names);
          },
          "labels"_a, "A new matrix of these taxa in this order. phylo.RangeError for a label that the matrix lacks.")
      .def("make_labels_safe", &phylo::make_labels_safe,
           "Writes blanks, control characters and ( ) [ ] : ; , ' of the labels as '_', in place.")
      .def("_to_bytes", &to_bytes, "layout"_a, "digits"_a)
      .def("_write_path", &write_path, "path"_a, "layout"_a, "digits"_a);

  m.def(
      "_read",
      [](py::object path, py::object data, const std::string &name, const std::string &layout, const std::string &shape,
         std::size_t column, py::object fill) {
        return read_matrices(make_source_arg(path, data, name), layout, shape, column, optional_distance(fill, "fill"));
      },
      "path"_a, "data"_a, "name"_a, "layout"_a, "shape"_a, "column"_a, "fill"_a);
  m.def(
      "_dist_fasta",
      [](py::object path, py::object data, const std::string &name, const std::string &model, const std::string &gaps,
         py::object undefined, std::optional<unsigned> threads, py::dict more) {
        return dist_fasta(make_source_arg(path, data, name), model, gaps, optional_distance(undefined, "undefined"),
                          threads, more);
      },
      "path"_a, "data"_a, "name"_a, "model"_a, "gaps"_a, "undefined"_a, "threads"_a, "more"_a);
  m.def(
      "_dist_pairs",
      [](py::iterable pairs, const std::string &model, const std::string &gaps, py::object undefined,
         std::optional<unsigned> threads, py::dict more) {
        return dist_pairs(pairs, model, gaps, optional_distance(undefined, "undefined"), threads, more);
      },
      "pairs"_a, "model"_a, "gaps"_a, "undefined"_a, "threads"_a, "more"_a);
  py::class_<phylo::tree_type>(m, "Tree", R"doc(
A tree of taxa, as phylo.tree builds it from distances: its leaves are the taxa, its
branches have lengths, and after a bootstrap its internal branches have support values
(0 to 100).

tree.newick() is its Newick text (one line, ending in ';'); str(tree) is the same.
)doc")
      .def("newick", &newick_text, "digits"_a = py::none(), "safe_labels"_a = false,
           "The tree as one line of Newick text, as phylo tree writes it: each length the shortest decimal that "
           "reads back (digits: 1 to 17 significant digits instead), labels quoted where Newick needs it "
           "(safe_labels: their blanks, control characters and ( ) [ ] : ; , ' written as '_' instead).")
      .def("__str__", [](const phylo::tree_type &t) { return newick_text(t, py::none(), false); })
      .def("__len__", &leaf_count, "The number of leaves (taxa).")
      .def_property_readonly(
          "labels",
          [](const phylo::tree_type &t) {
            py::list out;
            for (const auto &v : t.nodes)
              if (v.first_child == phylo::no_node) out.append(label_to_python(v.label));
            return out;
          },
          "The labels of the leaves, in the order of the matrix's taxa (a list of str).")
      .def_property_readonly(
          "rooted", [](const phylo::tree_type &t) { return t.rooted; },
          "Whether the root is a real root (UPGMA, WPGMA, root='midpoint', an outgroup) rather than the place where "
          "an unrooted tree is written from.")
      .def(py::pickle([](const phylo::tree_type &t) { return py::make_tuple(newick_text(t, py::none(), false)); },
                      [](py::tuple state) {
                        const std::string text = state[0].cast<std::string>() + "\n";
                        phylo::input_source in = phylo::input_source::from_text(text, "pickle");
                        std::optional<phylo::tree_type> t = phylo::read::read_newick(in);
                        if (!t) throw py::value_error("a broken pickle");
                        return std::make_unique<phylo::tree_type>(std::move(*t));
                      }));
  m.def(
      "_tree_matrix",
      [](const dist_mat_type &d, const std::string &method, std::optional<unsigned> threads, py::dict more) {
        return tree_of_matrix(d, method, threads, more);
      },
      "matrix"_a, "method"_a, "threads"_a, "more"_a);
  m.def(
      "_tree_source",
      [](py::object path, py::object data, const std::string &name, const std::string &model, const std::string &gaps,
         py::object undefined, std::optional<unsigned> threads, py::dict more, const std::string &method,
         py::dict tree_more) {
        const dist_settings s = dist_settings_of(model, gaps, optional_distance(undefined, "undefined"), threads, more);
        const tree_settings t = tree_settings_of(method, threads, tree_more);
        return tree_of_source(make_source_arg(path, data, name), s, t);
      },
      "path"_a, "data"_a, "name"_a, "model"_a, "gaps"_a, "undefined"_a, "threads"_a, "more"_a, "method"_a,
      "tree_more"_a);
  m.def(
      "_tree_pairs",
      [](py::iterable pairs, const std::string &model, const std::string &gaps, py::object undefined,
         std::optional<unsigned> threads, py::dict more, const std::string &method, py::dict tree_more) {
        const dist_settings s = dist_settings_of(model, gaps, optional_distance(undefined, "undefined"), threads, more);
        const tree_settings t = tree_settings_of(method, threads, tree_more);
        return tree_of_alignment(packed_pairs(pairs, s), s, t);
      },
      "pairs"_a, "model"_a, "gaps"_a, "undefined"_a, "threads"_a, "more"_a, "method"_a, "tree_more"_a);
  m.def(
      "_dist_chars",
      [](py::object path, py::object data, const std::string &name, const std::string &kind, py::object metric,
         const std::string &layout) { return dist_chars(make_source_arg(path, data, name), kind, metric, layout); },
      "path"_a, "data"_a, "name"_a, "kind"_a, "metric"_a, "layout"_a);
  m.def("_dist_char_array", &dist_char_array, "values"_a, "labels"_a, "kind"_a, "metric"_a);
  m.def("available_cpus", &phylo::dna::available_cpus,
        "The number of processors that this process may run on: the threads phylo.dist uses by default.");

  py::list out_layouts, in_layouts, transforms;
  for (const auto &l : phylo_cli::output_layouts) out_layouts.append(std::string(l.name));
  for (const auto &l : input_layouts) in_layouts.append(std::string(l.name));
  for (const auto &t : phylo_cli::transforms) transforms.append(std::string(t.name));
  m.attr("OUTPUT_LAYOUTS") = py::tuple(out_layouts);
  m.attr("INPUT_LAYOUTS") = py::tuple(in_layouts);
  m.attr("TRANSFORMS") = py::tuple(transforms);
  m.attr("MAX_DISTANCE") = phylo::max_distance;
  m.attr("__version__") = PHYLO_VERSION;
}
