// Zero-filled memory for the numbers of matrices.
//
// A matrix of thousands of taxa is a block of a hundred megabytes that the reader fills once.
// Zeroing it first would cost a pass over it, and touching it in 4 KiB pages costs one page
// fault each: the block is therefore mapped anonymously (the system gives zero pages) and,
// where transparent huge pages are offered on request, in 2 MiB pages.

#include "phylo/types.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#if defined(__linux__)
#include <sys/mman.h>
#include <sys/resource.h>
#endif

namespace phylo::detail {
namespace {

#if defined(__linux__)
constexpr std::size_t huge_page = std::size_t{2} << 20;
constexpr std::size_t mapped_from = std::size_t{1} << 20; // smaller blocks come from calloc

std::size_t round_up(std::size_t bytes) { return (bytes + huge_page - 1) & ~(huge_page - 1); }
#endif

} // namespace

void *allocate_zeroed(std::size_t bytes) {
#if defined(__linux__)
  if (bytes >= mapped_from) {
    if (bytes > SIZE_MAX - 2 * huge_page) throw std::bad_alloc(); // the rounding would wrap
    // Map one huge page more than needed, keep the aligned part, return the rest.
    const std::size_t size = round_up(bytes);
    void *raw = ::mmap(nullptr, size + huge_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto first = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (first + huge_page - 1) & ~(huge_page - 1);
    if (aligned != first) ::munmap(raw, aligned - first);
    if (const std::size_t tail = first + huge_page - aligned) ::munmap(reinterpret_cast<void *>(aligned + size), tail);
#if defined(MADV_HUGEPAGE)
    ::madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE); // a hint: failure is harmless
#endif
    return reinterpret_cast<void *>(aligned);
  }
#endif
  void *p = std::calloc(bytes, 1);
  if (!p) throw std::bad_alloc();
  return p;
}

void release_zeroed(void *p, std::size_t bytes) noexcept {
  if (!p) return;
#if defined(__linux__)
  if (bytes >= mapped_from) {
    ::munmap(p, round_up(bytes));
    return;
  }
#endif
  std::free(p);
}

} // namespace phylo::detail

namespace phylo {
namespace {

// A number of /proc/meminfo in bytes ("MemAvailable:   1234 kB"), or none.
std::optional<std::uint64_t> meminfo_value(const char *key) noexcept {
  std::FILE *f = std::fopen("/proc/meminfo", "r");
  if (!f) return std::nullopt;
  std::optional<std::uint64_t> value;
  char line[256];
  const std::size_t key_length = std::strlen(key);
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, key, key_length) == 0 && line[key_length] == ':') {
      unsigned long long kib = 0;
      if (std::sscanf(line + key_length + 1, "%llu", &kib) == 1) value = static_cast<std::uint64_t>(kib) * 1024;
      break;
    }
  std::fclose(f);
  return value;
}

// The limit of the process's control group (cgroup v2 memory.max), or none.
std::optional<std::uint64_t> cgroup_limit() noexcept {
  std::FILE *f = std::fopen("/sys/fs/cgroup/memory.max", "r");
  if (!f) return std::nullopt;
  unsigned long long limit = 0;
  const bool number = std::fscanf(f, "%llu", &limit) == 1; // "max" reads as no number
  std::fclose(f);
  if (!number) return std::nullopt;
  return static_cast<std::uint64_t>(limit);
}

// A size as messages give it: in GiB with one decimal, or in whole MiB below 1 GiB.
std::string memory_text(std::uint64_t bytes) {
  char text[32];
  const double mib = static_cast<double>(bytes) / (1024.0 * 1024.0);
  if (mib < 1024.0) std::snprintf(text, sizeof text, "%.0f MiB", mib);
  else std::snprintf(text, sizeof text, "%.1f GiB", mib / 1024.0);
  return text;
}

} // namespace

std::optional<std::uint64_t> available_memory() noexcept {
  std::optional<std::uint64_t> available = meminfo_value("MemAvailable");
  if (available) {
    if (const auto swap = meminfo_value("SwapFree")) *available += *swap;
  }
  if (const auto limit = cgroup_limit(); limit && (!available || *limit < *available)) available = limit;
#if defined(__linux__)
  // An address space limited by the process's resource limit holds no more than that.
  struct rlimit rl;
  if (::getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY &&
      (!available || static_cast<std::uint64_t>(rl.rlim_cur) < *available))
    available = static_cast<std::uint64_t>(rl.rlim_cur);
#endif
  return available;
}

std::uint64_t square_matrix_bytes(std::size_t n, std::size_t cell_bytes) noexcept {
  const long double bytes = static_cast<long double>(n) * static_cast<long double>(n) * cell_bytes +
                            static_cast<long double>(n) * sizeof(std::string);
  return bytes >= 1.8e19L ? UINT64_MAX : static_cast<std::uint64_t>(bytes);
}

void check_square_matrix_fits(std::size_t n, std::size_t cell_bytes) {
  const std::uint64_t need = square_matrix_bytes(n, cell_bytes);
  const std::optional<std::uint64_t> available = available_memory();
  if (available && need > *available)
    throw range_error("a matrix of " + std::to_string(n) + " taxa needs " + memory_text(need) + " of memory, but " +
                      memory_text(*available) + " are available");
}

dist_mat_access new_dist_mat(std::size_t n) {
  check_square_matrix_fits(n, sizeof(float));
  return std::make_unique<dist_mat_type>(n);
}

} // namespace phylo
