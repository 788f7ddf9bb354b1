// dna_dist_direct N SITES [MODEL [GAPS [THREADS]]]: the library's distances of a generated
// alignment (alignment_maker.hpp, seed 1) without the command: each sequence is made, packed
// and dropped, as a streaming reader would hand it over; then every pair is compared into a
// float matrix of N x N. For sizes past what phylo dist reads today. Prints the wall and CPU
// time of the making and packing and of the comparison on standard error, and a checksum of
// the matrix on standard output. MODEL: p (default), count, jc69, k80, f81, tn93, logdet; GAPS: pairwise (default),
// complete, count; THREADS: 0 (default) for one per processor. Undefined pairs are written
// as 0.
#include "alignment_maker.hpp"

#include "phylo/dna_dist.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <sys/resource.h>

namespace {

double wall_now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double cpu_now() { // user and system time of every thread of the process
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) * 1e-6;
}

} // namespace

int main(int argc, char **argv) {
  using phylo::dna::model_type;
  using phylo::dna::site_rule;
  if (argc < 3 || argc > 6) {
    std::fprintf(stderr, "usage: dna_dist_direct N SITES [MODEL [GAPS [THREADS]]]\n");
    return 2;
  }
  const std::size_t n = std::strtoull(argv[1], nullptr, 10), sites = std::strtoull(argv[2], nullptr, 10);
  const std::string_view model_name = argc > 3 ? argv[3] : "p", gaps = argc > 4 ? argv[4] : "pairwise";
  const std::pair<std::string_view, model_type> models[] = {
      {"p", model_type::P},     {"count", model_type::COUNT}, {"jc69", model_type::JC69},    {"k80", model_type::K80},
      {"f81", model_type::F81}, {"tn93", model_type::TN93},   {"logdet", model_type::LOGDET}};
  phylo::dna::dist_options options;
  bool known = false;
  for (const auto &[name, model] : models)
    if (name == model_name) options.model = model, known = true;
  const site_rule rule = gaps == "complete" ? site_rule::COMPLETE
                         : gaps == "count"  ? site_rule::ALL
                                            : site_rule::PAIRWISE;
  if (!known || n < 1 || sites < 1) {
    std::fprintf(stderr, "dna_dist_direct: give N >= 1, SITES >= 1 and a known model\n");
    return 2;
  }
  options.threads = argc > 5 ? static_cast<unsigned>(std::strtoul(argv[5], nullptr, 10)) : 0;
  options.undefined_value = 0.0f;

  const double wall0 = wall_now(), cpu0 = cpu_now();
  bench::alignment_maker maker(sites, 1);
  phylo::dna::packed_alignment aln(rule, phylo::dna::alphabet::DNA, n);
  for (std::size_t i = 0; i < n; ++i) aln.add("s" + std::to_string(i + 1), maker.next());
  const double wall1 = wall_now(), cpu1 = cpu_now();
  phylo::dist_mat_type dist(n);
  const std::uint64_t undefined = phylo::dna::dna_dist(aln, options, dist);
  const double wall2 = wall_now(), cpu2 = cpu_now();

  double sum = 0;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < i; ++j) sum += dist.distances(i, j);
  std::printf("%zu sequences of %zu sites, %s, %.*s: sum of the distances %.6g, %llu undefined\n", n, sites,
              std::string(model_name).c_str(), static_cast<int>(gaps.size()), gaps.data(), sum,
              static_cast<unsigned long long>(undefined));
  std::fprintf(stderr, "making and packing: %.3f s wall, %.3f s CPU; comparing: %.3f s wall, %.3f s CPU\n",
               wall1 - wall0, cpu1 - cpu0, wall2 - wall1, cpu2 - cpu1);
  return 0;
}
