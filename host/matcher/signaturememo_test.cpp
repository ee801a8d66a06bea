#include "matcher/signaturememo.h"

#include <gtest/gtest.h>

#include "matcher/matchertest_wheels.h"

namespace {

using matchertest::wheelSquare;
using wheelhost::PolarGrid;
using wheelhost::PolarSignature;
using wheelhost::signatureOf;

// Bit-for-bit equal polar images (an empty one equals only an empty one).
bool sameSignature(const PolarSignature& a, const PolarSignature& b) {
  if (a.empty() || b.empty()) return a.empty() && b.empty();
  return a.polar().size() == b.polar().size() &&
         cv::norm(a.polar(), b.polar(), cv::NORM_INF) == 0.0;
}

TEST(SignatureMemo, AlwaysGivesTheSignatureOfThePixelsAndGridAskedFor) {
  cv::Mat wheel = wheelSquare(120, 5, 5, 0);
  const PolarSignature first = signatureOf(wheel, PolarGrid());
  EXPECT_TRUE(sameSignature(first, PolarSignature::fromImage(wheel)));
  EXPECT_TRUE(sameSignature(signatureOf(wheel.clone(), PolarGrid()), first));

  // The same buffer with other pixels: remembered by content, not by address.
  wheelSquare(120, 7, 4, 20).copyTo(wheel);
  const PolarSignature changed = signatureOf(wheel, PolarGrid());
  EXPECT_TRUE(sameSignature(changed, PolarSignature::fromImage(wheel)));
  wheel.at<uchar>(60, 100) ^= 1;  // one bit of one pixel, changed in place
  EXPECT_TRUE(sameSignature(signatureOf(wheel, PolarGrid()), PolarSignature::fromImage(wheel)));

  // The same pixels on another grid.
  const PolarGrid coarse{192, 48, 128};
  const PolarSignature other = signatureOf(wheel, coarse);
  ASSERT_FALSE(other.empty());
  EXPECT_TRUE(sameSignature(other, PolarSignature::fromImage(wheel, coarse)));

  // A view with a row step of its own, and the same pixels as a continuous copy.
  const cv::Mat parent = wheelSquare(160, 6, 5, 10);
  const cv::Mat view = parent(cv::Rect(10, 20, 130, 130));
  EXPECT_TRUE(sameSignature(signatureOf(view, PolarGrid()), PolarSignature::fromImage(view)));
  EXPECT_TRUE(
      sameSignature(signatureOf(view.clone(), PolarGrid()), PolarSignature::fromImage(view)));

  // Images without a wheel stay empty, before and after a remembered one.
  EXPECT_TRUE(signatureOf(cv::Mat(), PolarGrid()).empty());
  EXPECT_TRUE(signatureOf(cv::Mat(64, 64, CV_8UC1, cv::Scalar(128)), PolarGrid()).empty());
  EXPECT_TRUE(sameSignature(signatureOf(view, PolarGrid()), PolarSignature::fromImage(view)));
}

}  // namespace
