#include "scenes/hardscenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <set>

namespace {

class HardSceneLayouts : public ::testing::TestWithParam<int> {};

TEST_P(HardSceneLayouts, HideFiveToFifteenPercentAndLeaveTheRefinementRoom) {
  const scenes::HardSceneLayout s = scenes::hardSceneLayout(GetParam());
  const scenes::WheelLayout& w = s.wheel;
  // The bars' measured share, not only the share they were sized for (rounding of the tilt
  // approximation and two bars overlapping allow a point either side).
  EXPECT_TRUE(s.occludedShare >= 0.04 && s.occludedShare <= 0.16) << s.occludedShare;
  EXPECT_TRUE(s.clutterBehind.size() >= 2 && !s.clutterInFront.empty());
  // The refinement searches up to 50 px short of the nearest border: the rim must lie inside.
  const double border =
      std::min({w.centre.x, w.centre.y, w.size.width - w.centre.x, w.size.height - w.centre.y});
  EXPECT_LT(w.radius, border - 60.0);
  EXPECT_EQ(s.darkRim, GetParam() % 2 == 1);
  EXPECT_EQ(s.darkRim, w.rim < w.background);
  // Every rim-grey object touches or crosses the rim's outline.
  for (const auto* list : {&s.clutterBehind, &s.clutterInFront}) {
    for (const scenes::HardSceneLayout::Blob& b : *list) {
      const double dist = std::hypot(b.centre.x - w.centre.x, b.centre.y - w.centre.y);
      EXPECT_LT(std::abs(dist - w.radius), b.across);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllScenes, HardSceneLayouts,
                         ::testing::Range(0, scenes::hardSceneCount()));

TEST(HardSceneSet, CoversEverySizeWithBothPolaritiesAndUniqueNames) {
  EXPECT_GE(scenes::hardSceneCount(), 36);
  std::set<std::pair<int, bool>> seen;
  std::set<std::string> names;
  double lo = 1.0, hi = 0.0;
  for (int i = 0; i < scenes::hardSceneCount(); ++i) {
    const scenes::HardSceneLayout s = scenes::hardSceneLayout(i);
    seen.insert({s.wheel.size.width, s.darkRim});
    names.insert(s.name);
    lo = std::min(lo, s.occludedShare);
    hi = std::max(hi, s.occludedShare);
  }
  EXPECT_EQ(seen.size(), 8u);  // four sizes, two polarities
  EXPECT_EQ(names.size(), static_cast<size_t>(scenes::hardSceneCount()));
  EXPECT_LT(lo, 0.07);  // the set spans the range
  EXPECT_GT(hi, 0.13);
}

TEST(HardScene, IsDeterministicAndItsTruthMatchesThePixels) {
  const scenes::HardSceneLayout layout = scenes::hardSceneLayout(0);  // bright rim, 640 x 480
  const scenes::HardScene a = scenes::renderHardScene(layout);
  const scenes::HardScene b = scenes::renderHardScene(0);
  ASSERT_EQ(a.image.type(), CV_8UC1);
  ASSERT_EQ(a.image.size(), layout.wheel.size);
  EXPECT_EQ(cv::norm(a.image, b.image, cv::NORM_INF), 0.0);
  // Across the outline, where no bar or object lies, the rim side is brighter than the belt
  // side by most of their contrast, whatever the light does.
  int checked = 0, brighterInside = 0;
  for (int k = 0; k < 72; ++k) {
    const double t = 2 * CV_PI * k / 72;
    const cv::Point2d dir(std::cos(t), std::sin(t));
    const cv::Point2d in = a.centre + dir * (a.radius - 4), out = a.centre + dir * (a.radius + 4);
    bool clear = true;
    for (const auto& poly : layout.occluders) {
      clear = clear && cv::pointPolygonTest(std::vector<cv::Point2f>(poly.begin(), poly.end()),
                                            cv::Point2f(out), true) < -8;
    }
    for (const auto* list : {&layout.clutterBehind, &layout.clutterInFront}) {
      for (const scenes::HardSceneLayout::Blob& b : *list) {
        clear = clear && cv::norm(out - b.centre) > b.along + 8;
      }
    }
    if (!clear) continue;
    ++checked;
    const int vi = a.image.at<uchar>(cvRound(in.y), cvRound(in.x));
    const int vo = a.image.at<uchar>(cvRound(out.y), cvRound(out.x));
    brighterInside += vi - vo > 60 ? 1 : 0;
  }
  EXPECT_GT(checked, 40);
  EXPECT_EQ(brighterInside, checked);
}

}  // namespace
