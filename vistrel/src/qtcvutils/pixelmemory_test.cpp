#include "pixelmemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>

namespace {

using zq::allocatePixels;
using zq::PixelBlock;
using zq::releasePixels;

constexpr std::size_t kMB = std::size_t(1) << 20;

// A block of `bytes` with every byte written, so a block shorter than promised shows up under
// the sanitizers.
PixelBlock* filled(std::size_t bytes, unsigned char value) {
  PixelBlock* block = allocatePixels(bytes);
  if (block == nullptr) throw std::bad_alloc();  // fails the test
  EXPECT_EQ(block->bytes, bytes);
  std::memset(block->pixels, value, block->bytes);
  return block;
}

TEST(PixelMemory, AnySizeIsServedAndLargeBlocksComeBackForTheSameSizeOnly) {
  PixelBlock* first = filled(5 * kMB + 3, 7);
  unsigned char* const kept = first->pixels;
  releasePixels(first);

  // The same size again gets the block just given back; a second one meanwhile a new block.
  PixelBlock* again = filled(5 * kMB + 3, 1);
  PixelBlock* other = filled(5 * kMB + 3, 2);
  EXPECT_EQ(again->pixels, kept);
  EXPECT_NE(other->pixels, kept);
  EXPECT_EQ(again->pixels[0], 1);
  releasePixels(other);
  releasePixels(again);
  // Another size is served afresh, in full.
  releasePixels(filled(9 * kMB, 3));
  for (std::size_t bytes : {std::size_t(1), std::size_t(4096), 4 * kMB - 1})
    releasePixels(filled(bytes, 9));
  releasePixels(nullptr);
}

}  // namespace
