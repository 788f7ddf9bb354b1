// Zero-filled memory for the numbers of matrices.
//
// A matrix of thousands of taxa is a block of a hundred megabytes that the reader fills once.
// Zeroing it first would cost a pass over it, and touching it in 4 KiB pages costs one page
// fault each: the block is therefore mapped anonymously (the system gives zero pages) and,
// where transparent huge pages are offered on request, in 2 MiB pages.

#include "phylo/types.hpp"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
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
