#include "matcher/templatematcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "matcher/matchertest_wheels.h"
#include "samplegen/sampleset.h"

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
  TemplateMatcher good(wheelSquare(120, 5, 5, 0), 0.2);
  EXPECT_EQ(good.AcceptLimit(), 0.2);
  EXPECT_TRUE(good.templateUsable());
  EXPECT_EQ(good.Match(cv::Mat(), 0, 1, true, 0, 0.0, 0.0), -1.0);
  EXPECT_EQ(good.Match(cv::Mat(12, 12, CV_8UC1, cv::Scalar(40)), 0, 1, true, 0, 0.0, 0.0), -1.0);
  EXPECT_EQ(good.Match(cv::Mat(300, 8, CV_8UC1, cv::Scalar(40)), 0, 1, true, 0, 0.0, 0.0), -1.0);
  EXPECT_EQ(good.Match(cv::Mat(80, 80, CV_8UC1, cv::Scalar(40)), 0, 1, true, 0, 0.0, 0.0), -1.0);
  EXPECT_FALSE(good.last().has_value());

  // No template: the analysis skips the model because TemplateImage() is empty.
  TemplateMatcher none{cv::Mat()};
  EXPECT_TRUE(none.TemplateImage().empty());
  EXPECT_FALSE(none.templateUsable());
  EXPECT_EQ(none.Match(wheelSquare(120, 5, 5, 0), 0, 1, true, 0, 0.0, 0.0), -1.0);

  // A blank template has pixels but nothing to match.
  TemplateMatcher blank(cv::Mat(100, 100, CV_8UC1, cv::Scalar(0)));
  EXPECT_FALSE(blank.TemplateImage().empty());
  EXPECT_FALSE(blank.templateUsable());
  EXPECT_EQ(blank.Match(wheelSquare(120, 5, 5, 0), 0, 1, true, 0, 0.0, 0.0), -1.0);
}

TEST(TemplateMatcher, TemplateImageSharesTheGivenPixels) {
  cv::Mat tmpl = wheelSquare(64, 5, 5, 0);
  TemplateMatcher matcher(tmpl);
  EXPECT_EQ(matcher.TemplateImage().data, tmpl.data);
  EXPECT_EQ(TemplateMatcher{tmpl}.AcceptLimit(), TemplateMatcher::kDefaultAcceptLimit);
}

}  // namespace

namespace {

namespace ws = wheelhost::samples;

// The square the analysis cuts around a found circle, halved when 900 px or more across.
cv::Mat cutOut(const cv::Mat& image, cv::Point2d centre, double radius) {
  const int left = std::max(0, static_cast<int>(centre.x - radius));
  const int top = std::max(0, static_cast<int>(centre.y - radius));
  const int side = static_cast<int>(2.0 * radius);
  cv::Mat cut = image(cv::Rect(left, top, side, side));
  if (cut.cols >= 900 || cut.rows >= 900) {
    cv::resize(cut, cut, cv::Size(cut.cols / 2, cut.rows / 2), 0, 0, cv::INTER_LINEAR);
  }
  return cut;
}

TEST(TemplateMatcher, RanksTheRightModelFirstOnTheSampleSet) {
  const auto& models = ws::bundledModels();
  std::vector<std::unique_ptr<TemplateMatcher>> matchers;
  for (const ws::WheelModel& m : models) {
    matchers.push_back(
        std::make_unique<TemplateMatcher>(ws::renderTemplate(m, 200), m.acceptLimit));
  }
  int scenes = 0;
  for (const ws::Shot& shot : ws::bundledShots()) {
    if (shot.model < 0) continue;
    ++scenes;
    cv::Mat image = ws::renderShot(shot);
    if (image.channels() == 3) cv::extractChannel(image, image, 0);  // what the analysis reads
    const cv::Mat cut = cutOut(image, shot.centre, shot.radiusPx(models));
    std::vector<double> scores;
    for (auto& m : matchers) scores.push_back(m->Match(cut, 0, 1, true, 0, 0.0, 0.0));
    const int best =
        static_cast<int>(std::min_element(scores.begin(), scores.end()) - scores.begin());
    EXPECT_EQ(best, shot.model) << shot.file;
    for (size_t k = 0; k < scores.size(); ++k) {
      // Accepted exactly when it is the right model.
      EXPECT_EQ(scores[k] < matchers[k]->AcceptLimit(), static_cast<int>(k) == shot.model)
          << shot.file << " against " << models[k].name << ": " << scores[k];
    }
  }
  EXPECT_EQ(scenes, 14);
}

}  // namespace
