#include "records.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "fittest_shapes.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

using namespace testshapes;

// The coverage of a candidate is checked where candidates are made from arcs.
TEST(Records, EllipseCandidatesKeepBothFitErrors) {
  PixelBuffer buffer(1000);
  CandidateList list;
  addEllipseCandidate(list, 30, 40, 20, 0.7, buffer.x(), buffer.y(), 100,
                      ellipseConic(30, 40, 20, 20, 0), 0.25);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(std::tuple(list[0].elliptic, list[0].circleError, list[0].ellipseError),
            std::tuple(true, 0.7, 0.25));
}

TEST(Records, PixelBufferHandsOutStablePositionsAndNeverGrows) {
  PixelBuffer buffer(10);
  double* x0 = buffer.x();
  double* y0 = buffer.y();
  buffer.advance(4);
  EXPECT_EQ(std::tuple(buffer.cursor(), buffer.room(), buffer.x(), buffer.y()),
            std::tuple(4, 6, x0 + 4, y0 + 4));

  // Advancing past the capacity or backwards is reported and clamped.
  vistrel::AssertCapture capture;
  buffer.advance(7);
  EXPECT_TRUE(capture.contains("n >= 0 && n <= room()"));
  EXPECT_EQ(std::pair(buffer.cursor(), buffer.room()), std::pair(10, 0));
  capture.clear();
  buffer.advance(-3);
  EXPECT_TRUE(capture.contains("n >= 0 && n <= room()"));
  EXPECT_EQ(buffer.cursor(), 10);
}

}  // namespace
}  // namespace ced
