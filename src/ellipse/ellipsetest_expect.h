#pragma once

// The shape check the detector-stage tests share: a conic is the expected ellipse.

#include <gtest/gtest.h>

#include <algorithm>

#include "conic.h"

namespace ced {
namespace testexpect {

// Expects `eq` to be the ellipse centred at (xc, yc) with semi-axes `major` >= `minor`: the
// centre within `centreTolerance`, each semi-axis within `axisTolerance` (pixels). Use it
// through EXPECT_ELLIPSE_NEAR, which names the calling line in a failure.
inline void expectEllipseNear(const ConicCoefficients& eq, double xc, double yc, double major,
                              double minor, double centreTolerance, double axisTolerance) {
  const EllipseGeometry g = ellipseCentreAndAxes(eq);
  EXPECT_NEAR(g.xc, xc, centreTolerance);
  EXPECT_NEAR(g.yc, yc, centreTolerance);
  EXPECT_NEAR(std::max(g.a, g.b), major, axisTolerance);
  EXPECT_NEAR(std::min(g.a, g.b), minor, axisTolerance);
}

}  // namespace testexpect
}  // namespace ced

#define EXPECT_ELLIPSE_NEAR(eq, xc, yc, major, minor, centreTolerance, axisTolerance) \
  do {                                                                                \
    SCOPED_TRACE("EXPECT_ELLIPSE_NEAR");                                              \
    ::ced::testexpect::expectEllipseNear(eq, xc, yc, major, minor, centreTolerance,   \
                                         axisTolerance);                              \
  } while (0)
