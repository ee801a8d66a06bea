#include "matcher/polarsignature.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "matcher/matchertest_wheels.h"

namespace {

using matchertest::wheelSquare;
using wheelhost::PolarGrid;
using wheelhost::PolarSignature;

TEST(PolarSignature, EmptyForImagesWithoutAWheel) {
  EXPECT_TRUE(PolarSignature::fromImage(cv::Mat()).empty());
  // Too small to hold a wheel, though the band across its middle has contrast: 16 px is the
  // least side, for the image and for the grid.
  const cv::Mat wheel = wheelSquare(64, 5, 5, 0);
  EXPECT_TRUE(PolarSignature::fromImage(wheel(cv::Rect(0, 25, 64, 15))).empty());
  EXPECT_FALSE(PolarSignature::fromImage(wheel(cv::Rect(0, 24, 64, 16))).empty());
  EXPECT_TRUE(PolarSignature::fromImage(wheel, PolarGrid{15, 8, 64}).empty());
  EXPECT_FALSE(PolarSignature::fromImage(wheel, PolarGrid{16, 8, 64}).empty());
  EXPECT_TRUE(PolarSignature::fromImage(cv::Mat(64, 64, CV_8UC1, cv::Scalar(128))).empty());
  EXPECT_TRUE(PolarSignature::fromImage(cv::Mat(64, 64, CV_8UC2, cv::Scalar(1, 2))).empty());
  EXPECT_TRUE(PolarSignature::fromImage(cv::Mat(64, 64, CV_64FC1, cv::Scalar(1))).empty());

  const PolarSignature good = PolarSignature::fromImage(wheel);
  ASSERT_FALSE(good.empty());
  EXPECT_EQ(good.polar().size(), cv::Size(PolarGrid().angles, PolarGrid().rings));
  // A comparison with an empty signature or another grid gives the worst score, no crash.
  EXPECT_EQ(good.bestRotation(PolarSignature()).score, 2.0);
  EXPECT_EQ(PolarSignature().bestRotation(good).score, 2.0);
  const PolarGrid coarse{192, 48, 128};
  EXPECT_EQ(good.bestRotation(PolarSignature::fromImage(wheel, coarse)).score, 2.0);
}

TEST(PolarSignature, IdenticalImagesScoreZeroAtAngleZero) {
  const cv::Mat wheel = wheelSquare(300, 6, 4, 10);
  const PolarSignature sig = PolarSignature::fromImage(wheel);
  ASSERT_FALSE(sig.empty());
  cv::Scalar mean, sd;
  cv::meanStdDev(sig.polar(), mean, sd);
  EXPECT_NEAR(mean[0], 0.0, 1e-4);
  EXPECT_NEAR(sd[0], 1.0, 1e-4);
  const wheelhost::RotationMatch self = sig.bestRotation(sig);
  EXPECT_NEAR(self.score, 0.0, 1e-4);
  EXPECT_LT(std::abs(std::remainder(self.angleDeg, 360.0)), 1e-3);
  // Gain and offset do not matter; colour input is turned grey first.
  cv::Mat brighter;
  wheel.convertTo(brighter, CV_8U, 0.5, 60.0);
  EXPECT_LT(sig.bestRotation(PolarSignature::fromImage(brighter)).score, 2e-3);
  cv::Mat colour;
  cv::cvtColor(wheel, colour, cv::COLOR_GRAY2BGRA);
  EXPECT_NEAR(sig.bestRotation(PolarSignature::fromImage(colour)).score, 0.0, 1e-4);
}

// A pattern that a half turn negates (a bright left half) and one that a half turn leaves as
// it is (a checkerboard of four quadrants) are uncorrelated under every rotation: the terms at
// angle t and t + 180 cancel. Their score is therefore exactly 1 whatever the best shift is.
TEST(PolarSignature, PatternsOfOppositeHalfTurnSymmetryScoreExactlyOne) {
  const int side = 192;  // the grid's own size: no resampling before the polar unwrap
  const int h = side / 2;
  cv::Mat half(side, side, CV_8UC1, cv::Scalar(40)), quads(side, side, CV_8UC1, cv::Scalar(20));
  half.colRange(0, h) = 200;
  quads(cv::Rect(h, 0, h, h)) = 180;  // top right
  quads(cv::Rect(0, h, h, h)) = 180;  // bottom left
  const PolarSignature a = PolarSignature::fromImage(half);
  const PolarSignature b = PolarSignature::fromImage(quads);
  EXPECT_NEAR(a.bestRotation(b).score, 1.0, 1e-4);
  EXPECT_NEAR(b.bestRotation(a).score, 1.0, 1e-4);
  // The half-plane against its own negative: the negative is the half turn of it.
  const wheelhost::RotationMatch flip = a.bestRotation(PolarSignature::fromImage(240 - half));
  EXPECT_NEAR(flip.score, 0.0, 1e-4);
  EXPECT_LT(std::abs(std::remainder(flip.angleDeg - 180.0, 360.0)), 0.5);
}

}  // namespace
