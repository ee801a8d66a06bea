#include "pixelmemory.h"

#include <cstdlib>
#include <mutex>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zq {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kLargeBlock = 2 * kHugePage;

struct Block : PixelBlock {
  std::size_t capacity;  // what was allocated
};

// Large blocks: whole huge pages, aligned to one, so that the kernel can back all of it with
// them. Where it cannot (or huge pages are off) the block is ordinary memory, just as usable.
unsigned char* newLargeBlock(std::size_t capacity) {
#if defined(__linux__)
  void* block = nullptr;
  if (posix_memalign(&block, kHugePage, capacity) != 0) return nullptr;
  madvise(block, capacity, MADV_HUGEPAGE);
  return static_cast<unsigned char*>(block);
#else
  return static_cast<unsigned char*>(std::malloc(capacity));
#endif
}

// The one large block kept for reuse.
struct Spare {
  std::mutex mutex;
  unsigned char* pixels = nullptr;
  std::size_t capacity = 0;
};

// Never destroyed: a pixmap may still be given back while statics are being torn down.
Spare& spare() {
  static Spare* s = new Spare;
  return *s;
}

}  // namespace

PixelBlock* allocatePixels(std::size_t bytes) {
  Block* block = new (std::nothrow) Block{};
  if (block == nullptr) return nullptr;
  block->bytes = bytes;
  if (bytes < kLargeBlock) {
    block->capacity = bytes;
    block->pixels = static_cast<unsigned char*>(std::malloc(bytes));
  } else {
    block->capacity = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    unsigned char* unused = nullptr;
    {
      Spare& s = spare();
      std::lock_guard<std::mutex> lock(s.mutex);
      if (s.pixels != nullptr) {
        // Another size means another camera or setting: the spare would only sit there.
        if (s.capacity == block->capacity)
          block->pixels = s.pixels;
        else
          unused = s.pixels;
        s.pixels = nullptr;
        s.capacity = 0;
      }
    }
    std::free(unused);
    if (block->pixels == nullptr) block->pixels = newLargeBlock(block->capacity);
  }
  if (block->pixels == nullptr) {
    delete block;
    return nullptr;
  }
  return block;
}

void releasePixels(void* pixelBlock) {
  Block* block = static_cast<Block*>(static_cast<PixelBlock*>(pixelBlock));
  if (block == nullptr) return;
  unsigned char* unused = block->pixels;
  if (block->capacity >= kLargeBlock) {
    Spare& s = spare();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::swap(unused, s.pixels);  // the newest is kept, an older spare goes
    s.capacity = block->capacity;
  }
  std::free(unused);
  delete block;
}

}  // namespace zq
