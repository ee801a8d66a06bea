#include "runner/cutoutlocator.h"

#include <gtest/gtest.h>

#include <QVariantList>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace {

using wheelhost::circleOf;
using wheelhost::cutoutWasHalved;
using wheelhost::locateCutout;
using wheelhost::reportedCircle;

// A smooth random texture: unique enough that a cut-out fits in exactly one place.
cv::Mat texture(cv::Size size, int seed) {
  cv::Mat noise(size, CV_32F), out;
  cv::RNG rng(seed);
  rng.fill(noise, cv::RNG::NORMAL, 0.0, 1.0);
  cv::GaussianBlur(noise, noise, cv::Size(0, 0), 3.0);
  cv::normalize(noise, noise, 0, 255, cv::NORM_MINMAX);
  noise.convertTo(out, CV_8U);
  return out;
}

// Cuts `rect` out of `source`, halved the way the analysis halves large cut-outs when asked,
// and expects to find it exactly there again.
void expectFound(const cv::Mat& source, cv::Rect rect, bool halved) {
  SCOPED_TRACE(::testing::Message() << rect);
  cv::Mat cut = source(rect).clone();
  if (halved) cv::resize(cut, cut, rect.size() / 2, 0, 0, cv::INTER_LINEAR);
  const auto p = locateCutout(source, cut);
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->rect, rect);
  EXPECT_EQ(p->halved, halved);
  EXPECT_EQ(p->residual, 0.0);
}

TEST(CutoutLocator, FindsExactCutOutsAndHalvedOnesOfEitherParity) {
  // Inside, at the corner, the whole image, and a small one (searched without a coarse step).
  const cv::Mat small = texture({400, 300}, 1), large = texture({1300, 1100}, 2);
  for (const cv::Rect rect : {cv::Rect(37, 51, 120, 120), cv::Rect(400 - 64, 300 - 64, 64, 64),
                              cv::Rect(0, 0, 400, 300), cv::Rect(250, 17, 20, 20)}) {
    expectFound(small, rect, false);
  }
  expectFound(large, cv::Rect(101, 77, 951, 951), true);
  expectFound(large, cv::Rect(240, 130, 900, 900), true);
}

TEST(CutoutLocator, NothingForCutOutsFromElsewhere) {
  const cv::Mat source = texture({300, 200}, 3);
  EXPECT_FALSE(locateCutout(source, texture({300, 200}, 4)(cv::Rect(10, 10, 80, 80)).clone()));
  EXPECT_FALSE(locateCutout(source, cv::Mat()));
  EXPECT_FALSE(locateCutout(cv::Mat(), source));
  EXPECT_FALSE(locateCutout(source, texture({301, 200}, 3)));  // larger than the source
  cv::Mat colour;
  cv::cvtColor(source, colour, cv::COLOR_GRAY2BGR);
  EXPECT_FALSE(locateCutout(colour, source(cv::Rect(0, 0, 50, 50)).clone()));
}

TEST(CutoutLocator, CircleOfAPlacementIsWithinItsBounds) {
  // Hand-checked: the square at (10, 20), 100 wide: centre (10 + 50 + 0.75, 20 + 50 + 0.75),
  // radius 50 + 0.25.
  const auto c = circleOf({cv::Rect(10, 20, 100, 100), false, 0.0});
  EXPECT_EQ(c.centre, cv::Point2d(60.75, 70.75));
  EXPECT_EQ(c.radius, 50.25);
  // Any circle, cut the way the analysis cuts it, comes back within 0.75 px and 0.25 px.
  cv::RNG rng(5);
  for (int i = 0; i < 2000; ++i) {
    const double r = rng.uniform(20.0, 400.0);
    const double cx = rng.uniform(r, r + 500.0), cy = rng.uniform(r, r + 500.0);
    const int side = static_cast<int>(2.0 * r);
    const auto back = circleOf({{int(cx - r), int(cy - r), side, side}, false, 0.0});
    EXPECT_LE(std::abs(back.centre.x - cx), 0.75 + 1e-9);
    EXPECT_LE(std::abs(back.centre.y - cy), 0.75 + 1e-9);
    EXPECT_LE(std::abs(back.radius - r), 0.25 + 1e-9);
  }
}

TEST(CutoutLocator, ReportedCircleTakesOnlyThreeFiniteNumbersWithAPositiveRadius) {
  const auto withCircle = [](const QVariant& v) { return QVariantMap{{"circle", v}}; };
  const auto c = reportedCircle(withCircle(QVariantList{640.25, 511.5, 252.75}));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->centre, cv::Point2d(640.25, 511.5));
  EXPECT_EQ(c->radius, 252.75);
  EXPECT_TRUE(reportedCircle(withCircle(QVariantList{1, 2, 3})));  // ints convert
  EXPECT_FALSE(reportedCircle(QVariantMap()));
  EXPECT_FALSE(reportedCircle(withCircle(QVariantList{1.0, 2.0})));
  EXPECT_FALSE(reportedCircle(withCircle(QVariantList{1.0, 2.0, 3.0, 4.0})));
  EXPECT_FALSE(reportedCircle(withCircle(QVariantList{1.0, "two", 3.0})));
  EXPECT_FALSE(reportedCircle(withCircle(QVariantList{1.0, 2.0, 0.0})));
  EXPECT_FALSE(reportedCircle(withCircle(QVariantList{1.0, 2.0, -3.0})));
  EXPECT_FALSE(reportedCircle(withCircle(QVariantList{std::nan(""), 2.0, 3.0})));
  EXPECT_FALSE(reportedCircle(withCircle(QVariant(5.0))));
}

TEST(CutoutLocator, HalvingFollowsTheCutSquaresSide) {
  // trunc(2 x 449.7) = 899 stays whole; trunc(2 x 450.3) = 900 is delivered at 450.
  EXPECT_FALSE(cutoutWasHalved(449.7, {899, 899}));
  EXPECT_TRUE(cutoutWasHalved(450.3, {450, 450}));
  EXPECT_FALSE(cutoutWasHalved(450.3, {900, 900}));  // delivered whole
}

}  // namespace
