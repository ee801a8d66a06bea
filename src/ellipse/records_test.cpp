#include "records.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <tuple>
#include <utility>

#include "fittest_shapes.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

using namespace testshapes;

TEST(Records, CandidatesFillTheirCoverageFromTheCurveLength) {
  PixelBuffer buffer(1000);
  CandidateList list;
  addCircleCandidate(list, 30, 40, 20, 0.7, buffer.x(), buffer.y(), 100);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_DOUBLE_EQ(list[0].coverage, 100 / (2 * CV_PI * 20));
  EXPECT_FALSE(list[0].elliptic);

  // An ellipse candidate divides by the conic's perimeter: a circle of radius 20 written as a
  // conic has perimeter 3.14159265 · 40.
  const ConicCoefficients eq = ellipseConic(30, 40, 20, 20, 0);
  addEllipseCandidate(list, 30, 40, 20, 0.7, buffer.x(), buffer.y(), 100, eq, 0.25);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_NEAR(list[1].coverage, 100 / (3.14159265 * 40), 1e-12);
  EXPECT_EQ(std::tuple(list[1].elliptic, list[1].circleError, list[1].ellipseError),
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
