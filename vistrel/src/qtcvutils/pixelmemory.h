#pragma once

#include <cstddef>

namespace zq {

// Memory for the pixels of a large image that is written in full right after it is allocated,
// as a pixmap handed to a host is. On Linux a block of several MB is asked for in huge pages:
// touching 20 MB of fresh 4 KiB pages costs five thousand page faults, more than filling them.
// Elsewhere, and for small blocks, it is ordinary heap memory. Returns null when out of memory.
unsigned char* allocatePixels(std::size_t bytes);

// Gives back a block from allocatePixels; null is allowed. Its signature is Qt's image clean-up
// function's, so an image over the block can free it when its last user goes.
void releasePixels(void* block);

}  // namespace zq
