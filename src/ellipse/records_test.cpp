#include "records.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>

#include "fittest_shapes.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

using namespace testshapes;

TEST(Records, CandidatesFillTheirCoverageFromTheCurveLength) {
  PixelBuffer buffer(1000);
  CandidateList list;
  list.reserve(4);
  addCircleCandidate(list, 30, 40, 20, 0.7, buffer.x(), buffer.y(), 100);
  ASSERT_EQ(list.size(), 1u);
  const ShapeCandidate& c = list[0];
  EXPECT_DOUBLE_EQ(c.coverage, 100 / (2 * CV_PI * 20));
  EXPECT_NEAR(c.coverage, 0.796, 5e-4);
  EXPECT_EQ(c.xc, 30);
  EXPECT_EQ(c.yc, 40);
  EXPECT_EQ(c.r, 20);
  EXPECT_EQ(c.circleError, 0.7);
  EXPECT_EQ(c.pixelCount, 100);
  EXPECT_EQ(c.x, buffer.x());
  EXPECT_FALSE(c.elliptic);

  // An ellipse candidate divides by the conic's perimeter: a circle of radius 20 written as a
  // conic has perimeter 3.14159265 · 40.
  const ConicCoefficients eq = ellipseConic(30, 40, 20, 20, 0);
  addEllipseCandidate(list, 30, 40, 20, 0.7, buffer.x(), buffer.y(), 100, eq, 0.25);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_NEAR(list[1].coverage, 100 / (3.14159265 * 40), 1e-12);
  EXPECT_TRUE(list[1].elliptic);
  EXPECT_EQ(list[1].ellipseError, 0.25);
  EXPECT_EQ(list[1].eq[1], eq[1]);
  EXPECT_EQ(list[1].eq[6], eq[6]);
  // Fields a later stage fills start at zero.
  EXPECT_EQ(list[1].majorAxis, 0);
  EXPECT_EQ(list[1].minorAxis, 0);
}

TEST(Records, PixelBufferHandsOutStablePositionsAndNeverGrows) {
  PixelBuffer buffer(10);
  EXPECT_EQ(buffer.capacity(), 10);
  EXPECT_EQ(buffer.room(), 10);
  double* x0 = buffer.x();
  double* y0 = buffer.y();
  for (int i = 0; i < 4; ++i) x0[i] = i, y0[i] = 10 + i;
  buffer.advance(4);
  EXPECT_EQ(buffer.cursor(), 4);
  EXPECT_EQ(buffer.x(), x0 + 4);
  EXPECT_EQ(buffer.y(), y0 + 4);
  // Written but not kept: the next writer overwrites the same place.
  buffer.x()[0] = 99;
  EXPECT_EQ(buffer.x(), x0 + 4);
  buffer.advance(0);
  EXPECT_EQ(buffer.cursor(), 4);
  // Earlier pixels stay where they were.
  EXPECT_EQ(x0[3], 3);
  EXPECT_EQ(y0[3], 13);

  // Advancing past the capacity is reported and clamped.
  vistrel::AssertCapture capture;
  buffer.advance(7);
  EXPECT_TRUE(capture.contains("n >= 0 && n <= room()"));
  EXPECT_EQ(buffer.cursor(), 10);
  EXPECT_EQ(buffer.room(), 0);
  capture.clear();
  buffer.advance(-3);
  EXPECT_TRUE(capture.contains("n >= 0 && n <= room()"));
  EXPECT_EQ(buffer.cursor(), 10);
}

}  // namespace
}  // namespace ced
