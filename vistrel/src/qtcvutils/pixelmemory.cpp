#include "pixelmemory.h"

#include <cstdlib>
#include <mutex>
#include <new>

namespace zq {

namespace {

// Blocks this large are kept for reuse: a frame's pixmap is, a cut-out's is not.
constexpr std::size_t kLargeBlock = std::size_t(4) << 20;

// The one large block kept for reuse.
struct Spare {
  std::mutex mutex;
  unsigned char* pixels = nullptr;
  std::size_t bytes = 0;
};

// Never destroyed: a pixmap may still be given back while statics are being torn down.
Spare& spare() {
  static Spare* s = new Spare;
  return *s;
}

}  // namespace

PixelBlock* allocatePixels(std::size_t bytes) {
  PixelBlock* block = new (std::nothrow) PixelBlock{nullptr, bytes};
  if (block == nullptr) return nullptr;
  if (bytes >= kLargeBlock) {
    unsigned char* unused = nullptr;
    {
      Spare& s = spare();
      std::lock_guard<std::mutex> lock(s.mutex);
      // Another size means another camera or setting: the spare would only sit there.
      if (s.bytes == bytes) {
        block->pixels = s.pixels;
      } else {
        unused = s.pixels;
      }
      s.pixels = nullptr;
      s.bytes = 0;
    }
    std::free(unused);
  }
  if (block->pixels == nullptr) block->pixels = static_cast<unsigned char*>(std::malloc(bytes));
  if (block->pixels == nullptr) {
    delete block;
    return nullptr;
  }
  return block;
}

void releasePixels(void* pixelBlock) {
  PixelBlock* block = static_cast<PixelBlock*>(pixelBlock);
  if (block == nullptr) return;
  unsigned char* unused = block->pixels;
  if (block->bytes >= kLargeBlock) {
    Spare& s = spare();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::swap(unused, s.pixels);  // the newest is kept, an older spare goes
    s.bytes = block->bytes;
  }
  std::free(unused);
  delete block;
}

}  // namespace zq
