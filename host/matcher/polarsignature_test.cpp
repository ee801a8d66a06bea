#include "matcher/polarsignature.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "matcher/matchertest_wheels.h"

namespace {

using matchertest::wheelSquare;
using wheelhost::PolarGrid;
using wheelhost::PolarSignature;

// The angular distance between two angles in degrees, in [0, 180].
double angleGap(double a, double b) {
  const double d = std::fmod(std::abs(a - b), 360.0);
  return std::min(d, 360.0 - d);
}

TEST(PolarSignature, EmptyForImagesWithoutAWheel) {
  EXPECT_TRUE(PolarSignature::fromImage(cv::Mat()).empty());
  EXPECT_TRUE(PolarSignature::fromImage(cv::Mat(15, 200, CV_8UC1, cv::Scalar(9))).empty());
  EXPECT_TRUE(PolarSignature::fromImage(cv::Mat(64, 64, CV_8UC1, cv::Scalar(128))).empty());
  EXPECT_TRUE(PolarSignature::fromImage(cv::Mat(64, 64, CV_8UC2, cv::Scalar(1, 2))).empty());
  EXPECT_TRUE(PolarSignature::fromImage(cv::Mat(64, 64, CV_64FC1, cv::Scalar(1))).empty());

  const PolarSignature good = PolarSignature::fromImage(wheelSquare(64, 5, 5, 0));
  ASSERT_FALSE(good.empty());
  EXPECT_EQ(good.polar().rows, PolarGrid().rings);
  EXPECT_EQ(good.polar().cols, PolarGrid().angles);
  // A comparison with an empty signature or another grid gives the worst score, no crash.
  EXPECT_EQ(good.bestRotation(PolarSignature()).score, 2.0);
  EXPECT_EQ(PolarSignature().bestRotation(good).score, 2.0);
  PolarGrid coarse;
  coarse.angles = 128;
  EXPECT_EQ(good.bestRotation(PolarSignature::fromImage(wheelSquare(64, 5, 5, 0), coarse)).score,
            2.0);
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
  EXPECT_LT(angleGap(self.angleDeg, 0.0), 1e-3);
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
  cv::Mat half(side, side, CV_8UC1), quads(side, side, CV_8UC1);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const bool left = x < side / 2, top = y < side / 2;
      half.at<uchar>(y, x) = left ? 200 : 40;
      quads.at<uchar>(y, x) = (left != top) ? 180 : 20;
    }
  }
  const PolarSignature a = PolarSignature::fromImage(half);
  const PolarSignature b = PolarSignature::fromImage(quads);
  EXPECT_NEAR(a.bestRotation(b).score, 1.0, 1e-4);
  EXPECT_NEAR(b.bestRotation(a).score, 1.0, 1e-4);
  // The half-plane against its own negative: the negative is the half turn of it.
  cv::Mat negative = 240 - half;
  const wheelhost::RotationMatch flip = a.bestRotation(PolarSignature::fromImage(negative));
  EXPECT_NEAR(flip.score, 0.0, 1e-4);
  EXPECT_LT(angleGap(flip.angleDeg, 180.0), 0.5);
}

TEST(PolarSignature, RecoversTheRotationBetweenGridSteps) {
  // One spoke and one bolt hole: no rotational symmetry, so the angle is unique.
  const PolarSignature base = PolarSignature::fromImage(wheelSquare(400, 1, 1, 0));
  for (double angle : {37.0, 180.0, 271.3}) {
    const wheelhost::RotationMatch m =
        base.bestRotation(PolarSignature::fromImage(wheelSquare(400, 1, 1, angle, 7)));
    EXPECT_LT(angleGap(m.angleDeg, angle), 0.5) << angle;
    EXPECT_LT(m.score, 0.02) << angle;
  }
}

TEST(PolarSignature, IndependentOfWheelSizeInPixels) {
  // A 200 px template against a 1000 px cut-out halved the way the analysis halves it, turned
  // by 100 degrees and rendered with other noise.
  const PolarSignature tmpl = PolarSignature::fromImage(wheelSquare(200, 5, 5, 0));
  cv::Mat big = wheelSquare(1000, 5, 5, 100, 3), halved;
  cv::resize(big, halved, cv::Size(500, 500), 0, 0, cv::INTER_LINEAR);
  const wheelhost::RotationMatch m = tmpl.bestRotation(PolarSignature::fromImage(halved));
  EXPECT_LT(m.score, 0.05);
  // Five-fold symmetry: 100 degrees looks like 28.
  EXPECT_LT(angleGap(std::fmod(m.angleDeg, 72.0), 28.0), 1.0);
}

TEST(PolarSignature, SameModelScoresFarBelowOtherModels) {
  struct Model {
    int spokes, holes;
  };
  // Ten spokes contain the five of the first model, the closest pair of the set.
  const Model models[] = {{5, 5}, {6, 4}, {7, 5}, {10, 6}, {0, 5}};
  for (const Model& a : models) {
    const PolarSignature tmpl = PolarSignature::fromImage(wheelSquare(240, a.spokes, a.holes, 0));
    // The same model, turned, larger, and cut with its centre 2 % of the radius off.
    cv::Mat scene = wheelSquare(620, a.spokes, a.holes, 23, 5);
    const cv::Mat offCentre = scene(cv::Rect(6, 0, 614, 614));
    const double same = tmpl.bestRotation(PolarSignature::fromImage(offCentre)).score;
    EXPECT_LT(same, 0.08) << a.spokes;
    for (const Model& b : models) {
      if (b.spokes == a.spokes) continue;
      const double other =
          tmpl.bestRotation(PolarSignature::fromImage(wheelSquare(620, b.spokes, b.holes, 23, 5)))
              .score;
      EXPECT_GT(other, same + 0.1) << a.spokes << " vs " << b.spokes;
    }
  }
}

}  // namespace
