#include "wheellocalisation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/core.hpp>
#include <vector>

#include "scenes/hardscenes.h"
#include "scenes/scenes.h"
#include "vistrel/assert.h"
#include "vistrel/ellipsedetector.h"
#include "wheelshots/wheelshots.h"

namespace fluorescence {
namespace {

using ced::mCircle;
using P = cv::Point2f;
const P kNone(0.0f, 0.0f);  // no start centre found

CircleParams brightRimParams(int minSize = 0) {
  CircleParams params;
  params.polarity = 1;  // the inside of the outline is brighter
  params.minSize = minSize;
  return params;
}

// The start centre, in full-size pixels, from `circles` found in a copy of `half` shrunk by
// `shrink`.
P startOf(const std::vector<mCircle>& circles, cv::Size half, int filterSize = 0,
          bool fallback = false, int shrink = 2) {
  return coarseStartCentre(circles, half, shrink, filterSize, fallback);
}

TEST(CoarseStartCentre, LeftAndTopAreTestedAfterTruncationRightAndBottomMayTouchTheBorder) {
  const cv::Size half(100, 80);
  // x - r = -1.2 truncates to -1: not inside.
  EXPECT_EQ(startOf({mCircle({18.8, 50.0}, 20.0)}, half), kNone);
  // x - r = -0.5 truncates to 0: a candidate, doubled to full-size pixels.
  EXPECT_EQ(startOf({mCircle({19.5, 50.0}, 20.0)}, half), P(39, 100));
  // The same along y.
  EXPECT_EQ(startOf({mCircle({50.0, 18.8}, 20.0)}, half), kNone);
  EXPECT_EQ(startOf({mCircle({50.0, 19.5}, 20.0)}, half), P(100, 39));

  EXPECT_EQ(startOf({mCircle({80.0, 40.0}, 20.0)}, half), P(160, 80));   // x + r = 100 = W
  EXPECT_EQ(startOf({mCircle({80.5, 40.0}, 20.0)}, half), kNone);        // x + r = 100.5 > W
  EXPECT_EQ(startOf({mCircle({50.0, 60.0}, 20.0)}, half), P(100, 120));  // y + r = 80 = H
  EXPECT_EQ(startOf({mCircle({50.0, 60.25}, 20.0)}, half), kNone);
}

TEST(CoarseStartCentre, LargestCandidateWinsTooSmallCirclesCanOnlyGiveTheFallback) {
  const cv::Size half(200, 200);
  const std::vector<mCircle> small{mCircle({60.0, 70.0}, 10.0)};  // diameter 20
  EXPECT_EQ(startOf(small, half, 20), P(120, 140));
  EXPECT_EQ(startOf(small, half, 21), kNone);

  // A smaller circle inside wins over the fallback of a larger one poking out, as long as it
  // passes the size filter.
  const std::vector<mCircle> mixed{mCircle({10.0, 100.0}, 30.0), mCircle({40.0, 50.0}, 25.0)};
  EXPECT_EQ(startOf(mixed, half, 50, true), P(80, 100));
  EXPECT_EQ(startOf(mixed, half, 51, true), P(20, 200));
  // Without circles there is no fallback either.
  EXPECT_EQ(startOf({}, half, 0, true), kNone);

  // In a quarter-size copy the same circle is twice as large in half-size pixels (diameter 40)
  // and its centre four times as far out.
  EXPECT_EQ(startOf(small, half, 40, false, 4), P(240, 280));
  EXPECT_EQ(startOf(small, half, 41, false, 4), kNone);
  EXPECT_EQ(startOf(small, half, 41, true, 4), P(240, 280));

  // Order in the list does not matter for different radii...
  EXPECT_EQ(startOf({mCircle({50, 50}, 20), mCircle({100, 110}, 40)}, half), P(200, 220));
  EXPECT_EQ(startOf({mCircle({100, 110}, 40), mCircle({50, 50}, 20)}, half), P(200, 220));
  // ...and equal radii keep the first one.
  EXPECT_EQ(startOf({mCircle({50, 50}, 30), mCircle({120, 130}, 30)}, half), P(100, 100));
  // So does the fallback: the first circle of the largest radius, wherever it stands.
  const std::vector<mCircle> outside{mCircle({5, 5}, 30), mCircle({10, 190}, 45),
                                     mCircle({195, 20}, 45), mCircle({199, 199}, 44)};
  EXPECT_EQ(startOf(outside, half, 0, true), P(20, 380));
}

// A disc only 3 grey levels brighter than the belt: the coarse stage sees it only equalised.
TEST(CoarseWheelCentre, EqualisingFirstFindsAFaintDisc) {
  scenes::Scene scene({640, 512}, 100.0);
  scene.disc({300.0, 260.0}, 150.0, 103.0);
  const cv::Mat image = scene.render(1.5, 1.0);
  for (const bool quarter : {false, true}) {
    EXPECT_EQ(coarseWheelCentre(image, false, 100, false, quarter), kNone) << quarter;
    const cv::Point2f start = coarseWheelCentre(image, true, 100, false, quarter);
    // Within a pixel and a half of the quarter-size copy; the refinement starts from there.
    EXPECT_NEAR(start.x, 300.0, quarter ? 6.0 : 1.5);
    EXPECT_NEAR(start.y, 260.0, quarter ? 6.0 : 1.5);
  }
}

// Images too small to quarter are halved instead: they fail no sooner than without the key
// (a 1-pixel side still shrinks to nothing, and OpenCV refuses that).
TEST(CoarseWheelCentre, TooSmallToQuarterIsHalved) {
  vistrel::AssertCapture capture;  // the detector reports the copies below 5 x 5
  for (const cv::Size size : {cv::Size(3, 40), cv::Size(40, 2), cv::Size(9, 9)}) {
    const cv::Mat image(size, CV_8UC1, cv::Scalar(90));
    EXPECT_EQ(coarseWheelCentre(image, false, 0, true, true), kNone) << size;
  }
  EXPECT_THROW(coarseWheelCentre(cv::Mat(1, 40, CV_8UC1, cv::Scalar(9)), false, 0, true, true),
               cv::Exception);
}

TEST(RefinementRadiusRange, MaximumIsTheBorderDistanceFoldedAt50) {
  // 40 px from the left border: |40 - 50| = 10; a filter size of 20 exceeds it and becomes 0.
  EXPECT_EQ(refinementRadiusRange({40.0f, 100.0f}, {200, 200}, 20), cv::Vec2i(0, 10));
  EXPECT_EQ(refinementRadiusRange({40.0f, 100.0f}, {200, 200}, 10), cv::Vec2i(10, 10));
  // The nearest border decides, whichever side: bottom 60 px away in 300 x 120 -> 10.
  EXPECT_EQ(refinementRadiusRange({150.0f, 60.0f}, {300, 120}, 0), cv::Vec2i(0, 10));
  EXPECT_EQ(refinementRadiusRange({290.0f, 60.0f}, {300, 120}, 0), cv::Vec2i(0, 40));
  // Truncation: 200 - 40.7 = 159.3 -> 159, min(40.7, 159) -> 40; 200 - 100.2 -> 99.
  EXPECT_EQ(refinementRadiusRange({40.7f, 100.2f}, {200, 200}, 0), cv::Vec2i(0, 10));
  // A centre outside the image: m = -30, |(|-30| - 50)| = 20.
  EXPECT_EQ(refinementRadiusRange({-30.0f, 100.0f}, {200, 200}, 0), cv::Vec2i(0, 20));
  // A wheel-sized case: (640, 512) in 1280 x 1024 gives 462; a filter size below is kept.
  EXPECT_EQ(refinementRadiusRange({640.0f, 512.0f}, {1280, 1024}, 200), cv::Vec2i(200, 462));
}

TEST(WheelCutOutRect, SquareOfTheTruncatedDiameterClippedOnlyAtLeftAndTop) {
  // Centre 30 px from the left border, radius 50: starts at column 0, 100 wide.
  EXPECT_EQ(wheelCutOutRect({30.0f, 200.0f, 50.0f}), cv::Rect(0, 150, 100, 100));
  // 100.9 - 40.6 = 60.3 -> 60; 80.2 - 40.6 = 39.6 -> 39; 2 x 40.6 = 81.2 -> 81.
  EXPECT_EQ(wheelCutOutRect({100.9f, 80.2f, 40.6f}), cv::Rect(60, 39, 81, 81));
  EXPECT_EQ(wheelCutOutRect({10.0f, 5.0f, 20.0f}), cv::Rect(0, 0, 40, 40));
  // Not clipped past the right border: the analysis call fails on such a cut-out.
  EXPECT_EQ(wheelCutOutRect({180.0f, 100.0f, 50.0f}), cv::Rect(130, 50, 100, 100));
}

TEST(RefineWheel, StartOnAnAxisMeansTheImageCentreANegativeSmallestSizeIsRefused) {
  const cv::Point2d truth(320.0, 256.0);  // the image centre (columns / 2, rows / 2)
  const cv::Mat scene = wheelshots::brightWheel({640, 512}, truth, 180.0).image;
  for (const cv::Point2f start : {kNone, P(0, 400), P(500, 0)}) {
    cv::Point2f centre = start;
    double found = 0.0;
    const cv::Mat cut = refineWheel(scene, cv::Mat(), centre, found, false, brightRimParams());
    EXPECT_FALSE(cut.empty()) << start;
    EXPECT_NEAR(centre.x, truth.x, 0.3) << start;
    EXPECT_NEAR(centre.y, truth.y, 0.3) << start;
    EXPECT_NEAR(found, 180.0, 0.3) << start;
  }

  // A negative "filterSize" is a negative inner radius: the detector refuses it (a debug
  // report) before cutting anything sized by it, so the call is quick and finds no wheel.
  for (const int minSize : {-5, -30000, -2000000000}) {
    vistrel::AssertCapture capture;
    cv::Point2f centre(322.0f, 255.0f);
    double found = 1.0;
    const cv::Mat cut =
        refineWheel(scene, cv::Mat(), centre, found, false, brightRimParams(minSize));
    EXPECT_TRUE(cut.empty()) << minSize;
    EXPECT_EQ(found, 0.0) << minSize;
    ASSERT_EQ(capture.messages().size(), 1u) << minSize;
    EXPECT_EQ(capture.messages()[0].rfind("minRadius_ >= 0 (", 0), 0u) << minSize;
  }
}

TEST(RefineWheel, NothingFoundGivesAnEmptyCutOutAtTheOrigin) {
  const cv::Mat empty = wheelshots::emptyBelt({320, 256});
  cv::Point2f centre(150.0f, 120.0f);
  double found = 123.0;
  const cv::Mat cut = refineWheel(empty, cv::Mat(), centre, found, false, brightRimParams());
  EXPECT_TRUE(cut.empty());
  EXPECT_EQ(centre, kNone);
  EXPECT_EQ(found, 0.0);
}

TEST(LocaliseWheel, WithoutCandidateOnlyTheVariantWithoutBackgroundFallsBack) {
  // A wheel of 160 px radius centred well away from the image centre: with a filter size
  // above its 160 px diameter in the half-size image the coarse stage has no candidate. Without
  // background the refinement starts at the largest circle (the wheel) and finds it; with
  // background it starts at the image centre, where the wheel's outline is out of reach.
  const cv::Size size(960, 640);
  const cv::Point2d truth(250.0, 300.0);
  const cv::Mat scene = wheelshots::brightWheel(size, truth, 160.0).image;
  const cv::Mat flatBelt(size, CV_8UC1, cv::Scalar(0));
  const CircleParams params = brightRimParams();

  cv::Point2f centre;
  double found = 0.0;
  const cv::Mat cut = localiseWheel(scene, false, 400, params, centre, found);
  EXPECT_FALSE(cut.empty());
  EXPECT_NEAR(found, 160.0, 0.5);
  EXPECT_NEAR(centre.x, truth.x, 0.3);

  localiseWheelWithBackground(scene, flatBelt, false, 400, params, centre, found);
  EXPECT_GT(std::abs(found - 160.0), 5.0) << "started at the wheel after all";

  // With a filter size it passes, the coarse stage leads the refinement to it.
  localiseWheelWithBackground(scene, flatBelt, false, 150, params, centre, found);
  EXPECT_NEAR(found, 160.0, 0.5);
}

// The hard scene where the guided detector's circle drifts by about 5 px: a rail's edge pulls
// it where a bar hides the rim. The key brings it back; without it the result stays as it was.
TEST(LocaliseWheel, RobustRefineLocatesAHardSceneTheDetectorDriftsOn) {
  const scenes::HardScene s = scenes::renderHardScene(24);
  CircleParams params;
  params.polarity = s.darkRim ? 0 : 1;
  params.minSize = 100;
  cv::Point2f centre;
  double radius = 0;
  ASSERT_FALSE(localiseWheel(s.image, false, 100, params, centre, radius).empty());
  const double plainError = std::hypot(centre.x - s.centre.x, centre.y - s.centre.y);
  EXPECT_GT(plainError, 0.01 * s.radius);
  params.robust = true;
  ASSERT_FALSE(localiseWheel(s.image, false, 100, params, centre, radius).empty());
  EXPECT_LT(std::hypot(centre.x - s.centre.x, centre.y - s.centre.y), 0.1);
  EXPECT_NEAR(radius, s.radius, 0.2);  // blur and vignetting move the edge a little
}

}  // namespace
}  // namespace fluorescence
