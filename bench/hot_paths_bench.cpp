// Google Benchmark suite for the hot paths of a conversion: number reading, the number
// image, label output, each transformation, and the whole reader and writer of a matrix.

#include "phylo/distfunc.hpp"
#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/number.hpp"
#include "phylo/phylip.hpp"

#include <benchmark/benchmark.h>

#include <charconv>

#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using phylo::dist_format_type;

// Values as the workload holds them: 24 random bits scaled into [0, 0.75).
std::vector<float> workload_values(std::size_t count, std::uint32_t seed = 1) {
  std::mt19937 rng(seed);
  std::vector<float> v(count);
  for (float &x : v) x = static_cast<float>(rng() >> 8) * 0x1p-24f * 0.75f;
  return v;
}

// Finite floats with random bit patterns: every exponent, both signs.
std::vector<float> any_values(std::size_t count) {
  std::mt19937 rng(2);
  std::vector<float> v;
  v.reserve(count);
  while (v.size() < count) {
    const std::uint32_t bits = static_cast<std::uint32_t>(rng());
    if (((bits >> 23) & 0xFF) == 0xFF) continue;
    float x;
    std::memcpy(&x, &bits, sizeof x);
    v.push_back(x);
  }
  return v;
}

std::string images(const std::vector<float> &values, char separator) {
  std::string text;
  char buf[phylo::print::number_image_size];
  for (float x : values) {
    text += separator;
    text.append(buf, phylo::print::write_number_image(x, buf));
  }
  text += '\n';
  return text;
}

// Output to /dev/null through a real sink, so that flushing is part of the cost.
struct null_output {
  int fd = ::open("/dev/null", O_WRONLY);
  phylo::output_sink sink = phylo::output_sink::to_fd(fd, "/dev/null");
  phylo::scoped_output use{sink};
  ~null_output() {
    sink.flush();
    ::close(fd);
  }
};

void read_numbers(benchmark::State &state, const std::string &text, std::size_t count) {
  for (auto _ : state) {
    phylo::input_source in = phylo::input_source::from_text(text);
    phylo::scoped_input use(in);
    float sum = 0;
    for (std::size_t k = 0; k < count; ++k) sum += phylo::read::read_real();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_read_number_image(benchmark::State &state) {
  const auto values = workload_values(1 << 16);
  read_numbers(state, images(values, '\t'), values.size());
}
BENCHMARK(BM_read_number_image);

void BM_read_number_short(benchmark::State &state) {
  std::string text;
  const auto values = workload_values(1 << 16);
  char buf[32];
  for (float x : values) {
    text += ' ';
    text.append(buf, std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 4).ptr);
  }
  text += '\n';
  read_numbers(state, text, values.size());
}
BENCHMARK(BM_read_number_short);

void BM_read_number_shortest(benchmark::State &state) {
  // Shortest round-trip texts of random floats: up to 9 digits, often the slow path.
  std::string text;
  const auto values = workload_values(1 << 16);
  char buf[32];
  for (float x : values) {
    text += ' ';
    text.append(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
  }
  text += '\n';
  read_numbers(state, text, values.size());
}
BENCHMARK(BM_read_number_shortest);

void write_images(benchmark::State &state, const std::vector<float> &values) {
  std::vector<char> out(values.size() * phylo::print::number_image_size);
  for (auto _ : state) {
    char *p = out.data();
    for (float x : values) p = phylo::print::write_number_image(x, p);
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}

void BM_number_image_workload(benchmark::State &state) { write_images(state, workload_values(1 << 16)); }
BENCHMARK(BM_number_image_workload);

void BM_number_image_any_float(benchmark::State &state) { write_images(state, any_values(1 << 16)); }
BENCHMARK(BM_number_image_any_float);

void BM_print_label(benchmark::State &state) {
  const auto format = static_cast<dist_format_type>(state.range(0));
  std::vector<std::string> labels;
  for (int i = 0; i < 1024; ++i) labels.push_back("Taxon (" + std::to_string(i) + ") 'sp'");
  const std::size_t w = 24;
  null_output out;
  for (auto _ : state)
    for (const std::string &label : labels) phylo::print::print_label(label, format, w);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * labels.size()));
}
BENCHMARK(BM_print_label)->DenseRange(0, 6)->ArgName("layout");

phylo::dist_mat_type workload_matrix(std::size_t n) {
  phylo::dist_mat_type m(n);
  const auto values = workload_values(n * n);
  for (std::size_t i = 0; i < n; ++i) {
    m.labels[i] = "taxon_" + std::to_string(i + 1);
    for (std::size_t j = 0; j < n; ++j) m.distances(i, j) = i == j ? 0.0f : values[i < j ? i * n + j : j * n + i];
  }
  return m;
}

void BM_convert_dist(benchmark::State &state) {
  const auto conv = static_cast<phylo::distfunc::dist_conv_type>(state.range(0));
  const auto n = static_cast<std::size_t>(state.range(1));
  const phylo::dist_mat_type pristine = workload_matrix(n);
  phylo::dist_mat_type m = workload_matrix(n);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(m.distances.data(), pristine.distances.data(), n * n * sizeof(float));
    state.ResumeTiming();
    phylo::distfunc::convert_dist(m, conv);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n * (n - 1) / 2));
}
BENCHMARK(BM_convert_dist)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 5, 1), {1000, 5000}})
    ->ArgNames({"conv", "taxa"})
    ->Unit(benchmark::kMillisecond);

void BM_read_dist_mat(benchmark::State &state) {
  const auto format = static_cast<dist_format_type>(state.range(0));
  const std::size_t n = 500;
  const phylo::dist_mat_type m = workload_matrix(n);
  std::string text;
  {
    phylo::output_sink sink = phylo::output_sink::to_string();
    phylo::print::print_dist_mat(sink, m, format);
    text = sink.take_text();
  }
  for (auto _ : state) {
    phylo::input_source in = phylo::input_source::from_text(text);
    phylo::scoped_input use(in);
    const int count = phylo::read::read_dist_header(format);
    phylo::dist_mat_type read(static_cast<std::size_t>(count));
    phylo::read::read_dist_mat(format, read);
    benchmark::DoNotOptimize(read.distances.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_read_dist_mat)->Arg(0)->Arg(1)->Arg(2)->ArgName("layout")->Unit(benchmark::kMillisecond);

void BM_print_dist_mat(benchmark::State &state) {
  const auto format = static_cast<dist_format_type>(state.range(0));
  const phylo::dist_mat_type m = workload_matrix(500);
  null_output out;
  for (auto _ : state) phylo::print::print_dist_mat(m, format);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 500 * 500));
}
BENCHMARK(BM_print_dist_mat)->DenseRange(0, 6)->ArgName("layout")->Unit(benchmark::kMillisecond);

} // namespace
