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

// Passes when `eq` is the ellipse centred at (xc, yc) with semi-axes `major` >= `minor`: the
// centre within `centreTolerance`, each semi-axis within `axisTolerance` (pixels).
inline ::testing::AssertionResult ellipseNear(const ConicCoefficients& eq, double xc, double yc,
                                              double major, double minor, double centreTolerance,
                                              double axisTolerance) {
  const EllipseGeometry g = ellipseCentreAndAxes(eq);
  const ::testing::AssertionResult centre = allNear({g.xc, g.yc}, {xc, yc}, centreTolerance);
  if (!centre) return centre;
  return allNear({std::max(g.a, g.b), std::min(g.a, g.b)}, {major, minor}, axisTolerance);
}

}  // namespace testexpect
}  // namespace ced
