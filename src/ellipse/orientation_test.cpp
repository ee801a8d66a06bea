#include "orientation.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>
#include <vector>

namespace ced {
namespace {

TEST(Orientation, AxesAndDiagonalsAreExact) {
  // (0, −1) gives π: 0 counts as positive, so the signs are opposite.
  EXPECT_EQ((std::vector{orientationAngle(0, 1), orientationAngle(1, 0), orientationAngle(0, -1),
                         orientationAngle(-1, 0), orientationAngle(3, 3), orientationAngle(-3, -3),
                         orientationAngle(-2, 2), orientationAngle(2, -2), orientationAngle(0, 0)}),
            (std::vector{0.0, CV_PI / 2, CV_PI, CV_PI / 2, CV_PI / 4, CV_PI / 4, 3 * CV_PI / 4,
                         3 * CV_PI / 4, 0.0}));
  EXPECT_TRUE(std::isnan(orientationAngle(std::nan(""), 1.0)));
}

TEST(Orientation, FollowsFoldedAtan2WithinOneTableStep) {
  // The table is read at floor(lo/hi·1024): at most one step of atan (slope <= 1) below.
  for (int iu = -40; iu <= 40; ++iu) {
    for (int iv = -40; iv <= 40; ++iv) {
      if (iu == 0 && iv == 0) continue;
      const double u = iu * 0.37, v = iv * 0.53;
      const double got = orientationAngle(u, v);
      const double want = std::atan2(u, v) + (std::atan2(u, v) < 0 ? CV_PI : 0);  // into [0, π)
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
