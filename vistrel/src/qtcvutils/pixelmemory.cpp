#include "pixelmemory.h"

#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zq {

#if defined(__linux__)

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;
}  // namespace

unsigned char* allocatePixels(std::size_t bytes) {
  if (bytes < 2 * kHugePage) return static_cast<unsigned char*>(std::malloc(bytes));
  // Whole huge pages, aligned to one, so that the kernel can back all of it with them. Where
  // it cannot (or huge pages are off) the block is ordinary memory, just as usable.
  const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* block = nullptr;
  if (posix_memalign(&block, kHugePage, rounded) != 0) return nullptr;
  madvise(block, rounded, MADV_HUGEPAGE);
  return static_cast<unsigned char*>(block);
}

void releasePixels(void* block) { std::free(block); }

#else

unsigned char* allocatePixels(std::size_t bytes) { return new (std::nothrow) unsigned char[bytes]; }

void releasePixels(void* block) { delete[] static_cast<unsigned char*>(block); }

#endif

}  // namespace zq
