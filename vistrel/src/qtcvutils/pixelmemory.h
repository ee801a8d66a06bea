#pragma once

#include <cstddef>

namespace zq {

// Memory for the pixels of an image that is written in full right after it is allocated, as
// a pixmap handed to a host is.
//
// Fresh memory costs a page fault per page on first touch: 20 MB of 4 KiB pages are five
// thousand faults, more than filling them. So the last large block given back is kept (one,
// process-wide) for the next request of the same size: a host that analyses frame after frame
// of one camera gets its pixmaps' memory back already mapped. Small blocks are ordinary heap
// memory.
struct PixelBlock {
  unsigned char* pixels;
  std::size_t bytes;  // as asked for
};

// A block of at least `bytes`; null when out of memory. Thread-safe.
PixelBlock* allocatePixels(std::size_t bytes);

// Gives back a PixelBlock* from allocatePixels (its signature is Qt's image clean-up
// function's, so the last image over the block can free it); null is allowed. Thread-safe.
void releasePixels(void* block);

}  // namespace zq
