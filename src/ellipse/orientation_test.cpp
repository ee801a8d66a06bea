#include "orientation.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>

namespace ced {
namespace {

double foldedAtan2(double u, double v) {
  double a = std::atan2(u, v);
  if (a < 0) a += CV_PI;
  return a;
}

TEST(Orientation, AxesAndDiagonalsAreExact) {
  EXPECT_EQ(orientationAngle(0, 1), 0.0);
  EXPECT_DOUBLE_EQ(orientationAngle(1, 0), CV_PI / 2);
  EXPECT_DOUBLE_EQ(orientationAngle(0, -1), CV_PI);  // 0 counts as positive: opposite signs
  EXPECT_DOUBLE_EQ(orientationAngle(-1, 0), CV_PI / 2);
  EXPECT_DOUBLE_EQ(orientationAngle(3, 3), CV_PI / 4);
  EXPECT_DOUBLE_EQ(orientationAngle(-3, -3), CV_PI / 4);
  EXPECT_DOUBLE_EQ(orientationAngle(-2, 2), 3 * CV_PI / 4);
  EXPECT_DOUBLE_EQ(orientationAngle(2, -2), 3 * CV_PI / 4);
  EXPECT_EQ(orientationAngle(0, 0), 0.0);
  EXPECT_TRUE(std::isnan(orientationAngle(std::nan(""), 1.0)));
}

TEST(Orientation, FollowsFoldedAtan2WithinOneTableStep) {
  // The table is read at floor(lo/hi·1024): at most one step of atan (slope <= 1) below.
  for (int iu = -40; iu <= 40; ++iu) {
    for (int iv = -40; iv <= 40; ++iv) {
      if (iu == 0 && iv == 0) continue;
      const double u = iu * 0.37, v = iv * 0.53;
      const double got = orientationAngle(u, v);
      const double want = foldedAtan2(u, v);
      EXPECT_GE(got, 0.0);
      EXPECT_LE(got, CV_PI);
      EXPECT_NEAR(got, want, 1.0 / 1024 + 1e-12) << u << " " << v;
      // Opposite vectors have the same orientation.
      if (iu != 0 && iv != 0) {
        EXPECT_DOUBLE_EQ(orientationAngle(-u, -v), got);
      }
    }
  }
}

}  // namespace
}  // namespace ced
