#include "pixelmemory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using zq::allocatePixels;
using zq::PixelBlock;
using zq::releasePixels;

constexpr std::size_t kMB = std::size_t(1) << 20;

// Writes every byte, so a block shorter than promised shows up under the sanitizers.
void fill(PixelBlock* block, unsigned char value) {
  std::memset(block->pixels, value, block->bytes);
  EXPECT_EQ(block->pixels[block->bytes - 1], value);
}

TEST(PixelMemory, LargeBlocksComeBackForTheSameSizeOnly) {
  PixelBlock* first = allocatePixels(5 * kMB + 3);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->bytes, 5 * kMB + 3);
  fill(first, 7);
  unsigned char* const kept = first->pixels;
  releasePixels(first);

  // The same size again gets the block just given back; a second one meanwhile a new block.
  PixelBlock* again = allocatePixels(5 * kMB + 3);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->pixels, kept);
  PixelBlock* other = allocatePixels(5 * kMB + 3);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other->pixels, kept);
  fill(again, 1);
  fill(other, 2);
  EXPECT_EQ(again->pixels[0], 1);
  releasePixels(other);
  releasePixels(again);

  // Another size is served afresh, in full.
  PixelBlock* bigger = allocatePixels(9 * kMB);
  ASSERT_NE(bigger, nullptr);
  EXPECT_EQ(bigger->bytes, 9 * kMB);
  fill(bigger, 3);
  releasePixels(bigger);
}

TEST(PixelMemory, SmallBlocksAndNull) {
  for (std::size_t bytes : {std::size_t(1), std::size_t(4096), 4 * kMB - 1}) {
    PixelBlock* block = allocatePixels(bytes);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->bytes, bytes);
    fill(block, 9);
    releasePixels(block);
  }
  releasePixels(nullptr);
}

}  // namespace
