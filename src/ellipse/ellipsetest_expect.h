#pragma once

// Checks the detector's tests share: lists of numbers within a tolerance, and a conic that is
// the expected ellipse.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "conic.h"

namespace ced {
namespace testexpect {

// Passes when `got` has as many values as `want`, each within `tolerance` of its own; a
// failure prints both lists. Use it as EXPECT_TRUE(allNear({...}, {...}, tolerance)).
inline ::testing::AssertionResult allNear(const std::vector<double>& got,
                                          const std::vector<double>& want, double tolerance) {
  bool ok = got.size() == want.size();
  for (size_t i = 0; ok && i < got.size(); ++i) ok = std::fabs(got[i] - want[i]) <= tolerance;
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << ::testing::PrintToString(got) << " is not within "
                                       << tolerance << " of " << ::testing::PrintToString(want);
}

// Expects `eq` to be the ellipse centred at (xc, yc) with semi-axes `major` >= `minor`: the
// centre within `centreTolerance`, each semi-axis within `axisTolerance` (pixels). Use it
// through EXPECT_ELLIPSE_NEAR, which names the calling line in a failure.
inline void expectEllipseNear(const ConicCoefficients& eq, double xc, double yc, double major,
                              double minor, double centreTolerance, double axisTolerance) {
  const EllipseGeometry g = ellipseCentreAndAxes(eq);
  EXPECT_TRUE(allNear({g.xc, g.yc}, {xc, yc}, centreTolerance));
  EXPECT_TRUE(allNear({std::max(g.a, g.b), std::min(g.a, g.b)}, {major, minor}, axisTolerance));
}

}  // namespace testexpect
}  // namespace ced

#define EXPECT_ELLIPSE_NEAR(eq, xc, yc, major, minor, centreTolerance, axisTolerance) \
  do {                                                                                \
    SCOPED_TRACE("EXPECT_ELLIPSE_NEAR");                                              \
    ::ced::testexpect::expectEllipseNear(eq, xc, yc, major, minor, centreTolerance,   \
                                         axisTolerance);                              \
  } while (0)
