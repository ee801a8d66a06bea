#include "circle/peakcircle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "peak/peakshared.h"
#include "peak/peakvote.h"
#include "scenes/scenes.h"
#include "vistrel/assert.h"

namespace vistrel {
namespace {

// The renderer's pixel (i, j) covers [j, j + 1) x [i, i + 1); here pixel centres are integers.
cv::Point2d rendered(const cv::Point2d& c) { return c + cv::Point2d(0.5, 0.5); }

PeakCircleParams params(int minRadius, int maxRadius, int polarity, int precision = 0x23) {
  PeakCircleParams p;
  p.minRadius = minRadius;
  p.maxRadius = maxRadius;
  p.polarity = polarity;
  p.precision = precision;
  return p;
}

TEST(PeakCircle, SamplingStepFollowsRingWidthAndImageSize) {
  const cv::Mat small(300, 300, CV_8UC1), large(1000, 2000, CV_8UC1);
  // Ring 10 at radius 100: 100 / 10 > 4, 10 / max(10, 1 * 3 * 5) = 0, so the default 2.
  EXPECT_EQ(samplingStep(params(90, 100, 0), small, 1), 2);
  // Ring 60 at radius 600: 60 / 15 = 4; with two circles 60 / 30 = 2, the default.
  EXPECT_EQ(samplingStep(params(540, 600, 0), small, 1), 4);
  EXPECT_EQ(samplingStep(params(540, 600, 0), small, 2), 2);
  // Ring 75 at radius 900: 75 / 15 = 5, made even 4.
  EXPECT_EQ(samplingStep(params(825, 900, 0), small, 1), 4);
  // Ring 200 at radius 1000: 200 / 15 = 13, made even 12, capped at 8.
  EXPECT_EQ(samplingStep(params(800, 1000, 0), small, 1), 8);
  // A wide ring keeps 2; peak mode 4 or a thin edge makes it full resolution.
  EXPECT_EQ(samplingStep(params(0, 140, 0), small, 1), 2);
  EXPECT_EQ(samplingStep(params(0, 140, 0, 0x44), small, 1), 1);
  PeakCircleParams thin = params(0, 140, 0);
  thin.edgeWidth = 2;
  EXPECT_EQ(samplingStep(thin, small, 1), 1);
  EXPECT_EQ(samplingStep(params(100, 100, 0), small, 1), 2);  // no ring at all
  // 2000 pixels on the longer side: always 8, even in peak mode 4.
  EXPECT_EQ(samplingStep(params(0, 140, 0, 0x44), large, 1), 8);
  EXPECT_EQ(samplingStep(params(0, 140, 0), cv::Mat(1999, 100, CV_8UC1), 1), 2);
  // Extreme values do not overflow: a huge edge width leaves nothing to divide.
  PeakCircleParams wide = params(INT_MAX - 20, INT_MAX, 0);
  wide.edgeWidth = INT_MAX;
  EXPECT_EQ(samplingStep(wide, small, INT_MAX), 2);
}

TEST(PeakCircle, GradientLinesMeetAtTheCentre) {
  // The line y = 2 (through (5, 2) along (1, 0)) and the line x = -1 meet at (-1, 2).
  // EdgePeak is x, y, magnitude, nx, ny.
  EXPECT_LT(cv::norm(intersectLinesLeastSquares({{5, 2, 0, 1, 0}, {-1, 7, 0, 0, -1}}) -
                     cv::Point2d(-1, 2)),
            1e-12);
  // Parallel lines have no common point: (0, 0).
  EXPECT_EQ(intersectLinesLeastSquares({{5, 2, 0, 1, 0}, {5, 9, 0, 1, 0}}), cv::Point2d(0, 0));
  EXPECT_EQ(intersectLinesLeastSquares({}), cv::Point2d(0, 0));
}

TEST(PeakCircle, RefineCenterFindsTheCentreOfTheDominantRadius) {
  const cv::Point2d truth(40.3, 37.6);
  std::vector<EdgePeak> peaks;
  for (int i = 0; i < 720; ++i) {
    const float c = static_cast<float>(std::cos(i * CV_PI / 360)),
                s = static_cast<float>(std::sin(i * CV_PI / 360));
    peaks.push_back(
        {static_cast<float>(truth.x + 25 * c), static_cast<float>(truth.y + 25 * s), 100, c, s});
  }
  // Weaker clutter with random directions, inside the image.
  cv::RNG rng(5);
  for (int i = 0; i < 150; ++i) {
    const float x = rng.uniform(0.f, 80.f), y = rng.uniform(0.f, 75.f);
    const double a = rng.uniform(0., 2 * CV_PI);
    peaks.push_back({x, y, 40, static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a))});
  }
  cv::Point2d refined(-1, -1);
  ASSERT_TRUE(refineCenter({43.0, 35.0}, peaks, 74, 80, refined));
  EXPECT_LT(cv::norm(cv::Vec2d(refined - truth), cv::NORM_INF), 0.01) << refined;

  // Edge pixels farther from the centre than the image diagonal: the refinement gives up.
  refined = {-1, -1};
  EXPECT_FALSE(refineCenter({43.0, 35.0}, peaks, 10, 10, refined));
  EXPECT_EQ(refined, cv::Point2d(-1, -1));
}

// Every annulus search of the detector relies on the mask hiding edges; here are its two
// extremes: nothing visible finds nothing, and an empty mask means every pixel counts.
TEST(PeakCircle, AllZeroMaskHidesEveryEdgeAndEmptyMaskNone) {
  const cv::Mat img =
      scenes::renderDisc({241, 231}, rendered({120.3, 110.8}), 70, 80, 230, 1.0, 5.0, 3);
  cv::Vec3f circle(0, 0, 0);
  const cv::Mat none = cv::Mat::zeros(img.size(), CV_8UC1);
  EXPECT_EQ(detectBestPeakCircle(img, circle, nullptr, params(20, 115, 0), &none), 0.f);
  EXPECT_EQ(circle, cv::Vec3f(0, 0, 0));
  const cv::Mat empty;
  EXPECT_GT(detectBestPeakCircle(img, circle, nullptr, params(20, 115, 0), &empty), 0);
  EXPECT_NEAR(circle[2], 70, 0.2);
}

TEST(PeakCircle, NoEdgesOrNoFittingRadiusFindsNothing) {
  // A flat image has no edge pixel at all.
  const cv::Mat flat(100, 100, CV_8UC1, cv::Scalar(128));
  cv::Vec3f circle(1, 1, 1);
  std::vector<float> scores = {5}, profile = {5};
  EXPECT_EQ(detectBestPeakCircle(flat, circle, &profile, params(0, 50, 2), nullptr), 0.f);
  EXPECT_EQ(circle, cv::Vec3f(1, 1, 1));
  EXPECT_TRUE(profile.empty());

  // A disc of radius 50.6 searched up to 50: the last bin (reduced radius 25) takes its votes,
  // but the fitted radius leaves the range, so the peak and its score are dropped. Asked for
  // scores only, the peak is reported.
  const cv::Mat disc = scenes::renderDisc({111, 111}, {55.5, 55.5}, 50.6, 40, 200, 1.0, 0, 1);
  std::vector<cv::Vec3f> circles;
  PeakCircleParams p = params(30, 50, kPolarityBlack2White);
  EXPECT_EQ(detectPeakCircles(disc, &circles, &scores, nullptr, p, 1, nullptr), 0);
  EXPECT_TRUE(circles.empty());
  EXPECT_TRUE(scores.empty());
  EXPECT_EQ(detectPeakCircles(disc, nullptr, &scores, nullptr, p, 1, nullptr), 1);
  EXPECT_EQ(scores.size(), 1u);
  p.maxRadius = 52;
  EXPECT_EQ(detectPeakCircles(disc, &circles, &scores, nullptr, p, 1, nullptr), 1);
  EXPECT_NEAR(circles[0][2], 50.6, 0.1);
}

TEST(PeakCircle, RadiusZeroBinIsNeverScored) {
  // A small dark disc right at the centre: with minRadius 0 the first bin stands for radius 0.
  const cv::Mat img = scenes::renderDisc({61, 61}, {30.5, 30.5}, 6, 30, 200, 1.0, 0, 1);
  std::vector<float> profile;
  cv::Vec3f circle(0, 0, 0);
  const float score = detectBestPeakCircle(img, circle, &profile, params(0, 30, 0), nullptr);
  EXPECT_GT(score, 0);
  ASSERT_EQ(profile.size(), 16u);
  EXPECT_EQ(profile[0], 0.f);
  // The profile holds the score of every radius, the circle's among them.
  EXPECT_NE(std::find(profile.begin(), profile.end(), score), profile.end());
  EXPECT_NEAR(circle[2], 6, 0.2);
}

TEST(PeakCircle, EveryPeakModeAndFittingLevelMeasuresTheCircle) {
  const cv::Point2d c(90.37, 85.81);
  const double r = 70.42;
  const cv::Mat img = scenes::renderDisc({181, 171}, rendered(c), r, 50, 180, 1.0, 5.0, 4);
  // Mode 1 fits reduced pixels (half resolution), 2 sub-pixel reduced positions, 3 re-detects at
  // full resolution, 4 works at full resolution throughout.
  const struct {
    int precision;
    double tolerance;
  } cases[] = {{0x11, 0.5}, {0x22, 0.15}, {0x23, 0.1}, {0x33, 0.1}, {0x44, 0.1}, {0x14, 0.1}};
  for (const auto& k : cases) {
    cv::Vec3f circle(0, 0, 0);
    EXPECT_GT(detectBestPeakCircle(img, circle, nullptr, params(0, 90, 0, k.precision), nullptr),
              0);
    EXPECT_LE(cv::norm(cv::Vec3d(circle) - cv::Vec3d(c.x, c.y, r), cv::NORM_INF), k.tolerance)
        << std::hex << k.precision << " " << circle;
  }
  // A bump on the edge: fitting levels 1 (hard cut-off), 3 (inverse residual) and 4 (L1-L2)
  // weigh its points each their own way.
  scenes::Scene bumped({181, 171}, 180);
  bumped.disc(rendered(c), r, 50);
  bumped.disc(rendered(c + cv::Point2d(r + 1, 0)), 5, 50);
  const cv::Mat bump = bumped.render(1.0, 5.0, 4);
  cv::Vec3f hard(0, 0, 0), inverse(0, 0, 0), l1l2(0, 0, 0);
  detectBestPeakCircle(bump, hard, nullptr, params(0, 90, 0, 0x13), nullptr);
  detectBestPeakCircle(bump, inverse, nullptr, params(0, 90, 0, 0x33), nullptr);
  detectBestPeakCircle(bump, l1l2, nullptr, params(0, 90, 0, 0x43), nullptr);
  EXPECT_TRUE(hard != inverse && hard != l1l2 && inverse != l1l2) << hard << inverse << l1l2;
}

TEST(PeakCircle, BadInputIsReportedAndFindsNothing) {
  const cv::Mat img = scenes::renderDisc({81, 81}, {40.5, 40.5}, 25, 30, 200, 1.0, 0, 1);
  AssertCapture capture;
  std::vector<cv::Vec3f> circles(2);
  cv::Mat gx, gy;
  reducedGradients(img, gx, gy, 2, 2);
  EXPECT_EQ(peakCircleSearch(img, gx, gy.rowRange(0, 10), &circles, nullptr, nullptr,
                             params(0, 40, 0), 1, nullptr, nullptr, 2, nullptr),
            0);
  EXPECT_TRUE(capture.contains("halfImgRows == halfSobelY.rows && halfImgCols == halfSobelY.cols"));

  cv::Vec3f circle(0, 0, 0);
  EXPECT_EQ(detectBestPeakCircle(img, circle, nullptr, params(0, 40, 0, 0x53), nullptr), 0.f);
  EXPECT_TRUE(capture.contains("peakcircle: unexpected fitting accuracy level."));

  cv::Mat colour;
  cv::merge(std::vector<cv::Mat>{img, img, img}, colour);
  EXPECT_EQ(detectBestPeakCircle(colour, circle, nullptr, params(0, 40, 0), nullptr), 0.f);
  EXPECT_TRUE(capture.contains("grey.type() == CV_8UC1"));
  const cv::Mat smallMask(10, 10, CV_8UC1, cv::Scalar(255));
  EXPECT_EQ(detectBestPeakCircle(img, circle, nullptr, params(0, 40, 0), &smallMask), 0.f);
  EXPECT_TRUE(capture.contains("mask->type() == CV_8UC1 && mask->size() == grey.size()"));
  EXPECT_EQ(circle, cv::Vec3f(0, 0, 0));
  // An inverted radius range has no bins.
  EXPECT_EQ(detectBestPeakCircle(img, circle, nullptr, params(40, 10, 0), nullptr), 0.f);
  EXPECT_EQ(detectBestPeakCircle(cv::Mat(), circle, nullptr, params(0, 40, 0), nullptr), 0.f);
}

}  // namespace
}  // namespace vistrel
