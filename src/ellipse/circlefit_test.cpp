#include "circlefit.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>
#include <utility>

#include "ellipsetest_expect.h"
#include "fittest_shapes.h"

namespace ced {
namespace {

using namespace testshapes;
using testexpect::allNear;

TEST(CircleFit, ErrorIsTheRmsOfRadialResiduals) {
  // Points at radius 11 and 9 in alternation around (0, 0), evenly spread: the fit keeps the
  // centre, r = √((121 + 81)/2) = √101, residuals 11 − √101 and 9 − √101.
  Points p;
  for (int i = 0; i < 60; ++i) {
    const double t = i * 2 * CV_PI / 60, rr = i % 2 ? 9 : 11;
    p.x.push_back(rr * std::cos(t));
    p.y.push_back(rr * std::sin(t));
  }
  const CircleFit f = fitCircle(p.x.data(), p.y.data(), p.n());
  ASSERT_TRUE(f.ok);
  const double r = std::sqrt(101.0);
  const double expected = std::sqrt(((11 - r) * (11 - r) + (9 - r) * (9 - r)) / 2);
  EXPECT_TRUE(allNear({f.xc, f.yc, f.r, f.error}, {0, 0, r, expected}, 1e-9));
}

TEST(CircleFit, FailsWithErrorOneE20OnTooFewOrCollinearPoints) {
  const double x3[] = {0, 1, 2}, y3[] = {0, 1, 2}, hx[] = {1, 5, 9, 13}, hy[] = {4, 4, 4, 4};
  const CircleFit failed[] = {fitCircle(x3, y3, 3), fitCircle(hx, hy, 4), fitCircle(x3, y3, 2),
                              fitCircle(nullptr, nullptr, 0)};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(std::pair(failed[i].ok, failed[i].error), std::pair(false, 1e20)) << "case " << i;
  // Three points that are not collinear always fit exactly: (0,0), (2,0), (0,2) → (1,1), √2.
  const double tx[] = {0, 2, 0}, ty[] = {0, 0, 2};
  const CircleFit f = fitCircle(tx, ty, 3);
  ASSERT_TRUE(f.ok);
  EXPECT_TRUE(allNear({f.xc, f.yc, f.r, f.error}, {1, 1, std::sqrt(2.0), 0}, 1e-12));
}

}  // namespace
}  // namespace ced
