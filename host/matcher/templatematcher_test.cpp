#include "matcher/templatematcher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "matcher/matchertest_wheels.h"

namespace {

using matchertest::wheelSquare;
using wheelhost::TemplateMatcher;

// `image` turned about its centre by `angleDeg` (cv::getRotationMatrix2D's sense).
cv::Mat rotated(const cv::Mat& image, double angleDeg) {
  const cv::Point2f centre((image.cols - 1) / 2.0f, (image.rows - 1) / 2.0f);
  cv::Mat out;
  cv::warpAffine(image, out, cv::getRotationMatrix2D(centre, angleDeg, 1.0), image.size(),
                 cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(30));
  return out;
}

TEST(TemplateMatcher, ScoreOfTheTemplateDoesNotDependOnItsRotation) {
  const cv::Mat tmpl = wheelSquare(360, 6, 5, 0);
  TemplateMatcher matcher(tmpl);
  matcher.Prepare(0);
  const double limit = matcher.AcceptLimit();
  const double at0 = matcher.Match(rotated(tmpl, 0), 0, 1, true, 0, 0.0, 0.0);
  const double at37 = matcher.Match(rotated(tmpl, 37), 0, 1, true, 0, 0.0, 0.0);
  // getRotationMatrix2D turns counter-clockwise on screen, the matcher counts clockwise:
  // 37 degrees one way are 323 the other, 23 modulo the wheel's six-fold symmetry.
  ASSERT_TRUE(matcher.last().has_value());
  EXPECT_NEAR(std::fmod(matcher.last()->angleDeg, 60.0), 23.0, 0.5);
  const double at180 = matcher.Match(rotated(tmpl, 180), 0, 1, true, 0, 0.0, 0.0);
  EXPECT_LT(at0, 1e-4);
  EXPECT_LT(std::abs(at37 - at0), 0.1 * limit);
  EXPECT_LT(std::abs(at180 - at0), 0.1 * limit);
  matcher.clearLast();
  EXPECT_FALSE(matcher.last().has_value());
}

TEST(TemplateMatcher, MinusOneWhenNoScoreCanBeMade) {
  const cv::Mat tmpl = wheelSquare(120, 5, 5, 0);
  TemplateMatcher good(tmpl);
  EXPECT_EQ(good.TemplateImage().data, tmpl.data);  // shared, not copied
  EXPECT_EQ(good.Match(cv::Mat(), 0, 1, true, 0, 0.0, 0.0), -1.0);
  EXPECT_EQ(good.Match(cv::Mat(300, 8, CV_8UC1, cv::Scalar(40)), 0, 1, true, 0, 0.0, 0.0), -1.0);
  EXPECT_FALSE(good.last().has_value());

  // No template: the analysis skips the model because TemplateImage() is empty.
  TemplateMatcher none{cv::Mat()};
  EXPECT_TRUE(none.TemplateImage().empty());
  EXPECT_FALSE(none.templateUsable());
  EXPECT_EQ(none.Match(tmpl, 0, 1, true, 0, 0.0, 0.0), -1.0);

  // A blank template has pixels but nothing to match.
  TemplateMatcher blank(cv::Mat(100, 100, CV_8UC1, cv::Scalar(0)));
  EXPECT_FALSE(blank.TemplateImage().empty());
  EXPECT_FALSE(blank.templateUsable());
  EXPECT_EQ(blank.Match(tmpl, 0, 1, true, 0, 0.0, 0.0), -1.0);
}

}  // namespace
