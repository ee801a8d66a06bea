#include "peak/peakshared.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <tuple>
#include <vector>

#include "vistrel/assert.h"

namespace vistrel {
namespace {

::testing::AssertionResult near(const cv::Vec3f& got, const cv::Vec3d& want, double tol) {
  if (cv::norm(cv::Vec3d(got) - want, cv::NORM_INF) <= tol) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << got << " is not within " << tol << " of " << want;
}

TEST(PeakShared, QuantizeDirectionPicksTheNeighbourOfTheSector) {
  // Sector boundaries: ny exactly sin 22.5 still counts as horizontal, just above as diagonal.
  const float s1 = static_cast<float>(std::sin(22.5 * CV_PI / 180)), c1 = std::sqrt(1 - s1 * s1);
  EXPECT_EQ(forwardNeighbour(s1, c1), 0);
  EXPECT_EQ(forwardNeighbour(std::nextafter(s1, 1.f), c1), 1);
  // Every direction lands within 22.5 degrees of its forward neighbour, and backward is opposite.
  const float cos225 = static_cast<float>(std::cos(22.5 * CV_PI / 180));
  for (int deg10 = 0; deg10 < 3600; ++deg10) {
    const double a = deg10 * CV_PI / 1800;
    const cv::Point2f n(static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)));
    int f = 0, b = 0;
    quantizeDirection(n.y, n.x, f, b);
    EXPECT_GE(neighbourDir(f).unit.dot(n), cos225 - 1e-5f) << deg10 / 10.0;
    EXPECT_EQ((f + 4) % 8, b) << deg10 / 10.0;
  }
}

TEST(PeakShared, SubpixelPeakIsTheParabolaTop) {
  const auto peak = [](float m, float mb, float mf, float gx, float gy, int dir) {
    cv::Vec3f out;  // x, y, magnitude of the pixel (5, 7)
    subpixelPeak(m, mb, mf, gx, gy, 5, 7, neighbourDir(dir).unit, out[0], out[1], out[2]);
    return out;
  };
  // Horizontal gradient: values 6, 10, 8 at -1, 0, +1 give the parabola 10 + t - 3 t^2, whose
  // top is at t = 1/6 with value 10 + 1/12.
  EXPECT_TRUE(near(peak(10, 6, 8, 10, 0, 0), {5 + 1.0 / 6, 7, 10 + 1.0 / 12}, 1e-5));
  // The same values backwards along a leftward gradient move the point left.
  EXPECT_TRUE(near(peak(10, 6, 8, -10, 0, 4), {5 - 1.0 / 6, 7, 10 + 1.0 / 12}, 1e-5));
  // A (3, 4) gradient quantised to the diagonal: t = 1/4 (values 2, 5, 4), projected on the
  // gradient by (0.6, 0.8) . (1, 1) / sqrt 2 = 1.4 / sqrt 2.
  const double s = 0.25 * 1.4 / std::sqrt(2.0);
  EXPECT_TRUE(near(peak(5, 2, 4, 3, 4, 1), {5 + s * 0.6, 7 + s * 0.8, 5 + 0.25 / 2}, 1e-6));
  // Collinear values have no top: the pixel stays where it is.
  EXPECT_EQ(peak(5, 4, 6, 5, 0, 0), cv::Vec3f(5, 7, 5));
}

TEST(PeakShared, ReducedGradientsSampleEveryStepthPixel) {
  // A ramp grey = x + 3 y: halving takes pixel (2x, 2y), so the reduced ramp rises 2 per column
  // and 6 per row, and the 3 x 3 Sobel (weights 1, 2, 1 over a two-pixel span) gives
  // 4 * 2 * 2 = 16 and 4 * 2 * 6 = 48 inside; reflect-101 makes the border derivative 0.
  cv::Mat grey(20, 30, CV_8UC1), mask = cv::Mat::zeros(20, 30, CV_8UC1), gx, gy, rmask;
  grey.forEach<uchar>([](uchar& v, const int* yx) { v = static_cast<uchar>(yx[1] + 3 * yx[0]); });
  mask.at<uchar>(4, 6) = 255;  // reduced (3, 2)
  mask.at<uchar>(5, 6) = 255;  // an odd row: dropped by the reduction
  reducedGradients(grey, gx, gy, 2, 2, &mask, &rmask);
  ASSERT_TRUE(gx.size() == cv::Size(15, 10) && gx.type() == CV_16SC1 && gy.type() == CV_16SC1);
  EXPECT_EQ((std::vector<int>{gx.at<short>(5, 7), gy.at<short>(5, 7), gx.at<short>(5, 0),
                              gy.at<short>(0, 7)}),
            (std::vector<int>{16, 48, 0, 0}));
  ASSERT_EQ(rmask.size(), gx.size());
  EXPECT_EQ(cv::countNonZero(rmask), 1);
  EXPECT_EQ(rmask.at<uchar>(2, 3), 255);

  // Step 1 keeps full resolution; mixed steps reduce each axis by its own step.
  reducedGradients(grey, gx, gy, 1, 4);
  ASSERT_EQ(gx.size(), cv::Size(30, 5));
  EXPECT_EQ(gx.at<short>(2, 10), 8);       // slope 1 per column
  EXPECT_EQ(gy.at<short>(2, 10), 8 * 12);  // slope 12 per reduced row

  AssertCapture capture;
  reducedGradients(grey, gx, gy, 3, 0, &mask, &rmask);
  EXPECT_TRUE(capture.contains("xStep > 0 && (xStep % 2 == 0 || xStep == 1)"));
  EXPECT_TRUE(capture.contains("yStep > 0 && (yStep % 2 == 0 || yStep == 1)"));
  EXPECT_TRUE(gx.empty() && gy.empty() && rmask.empty());
}

// Sizes of one and two pixels (the reflected border folds onto the image) and widths around the
// eight-column rounds (the vector body and the scalar tail); random grey values with a
// checkerboard corner for the largest derivatives. Each as an image of its own and as a view
// that has neighbours above and to the left and ends at the viewed image's bottom and right:
// equal to OpenCV's Sobel (which reads a view's neighbours from the viewed image), and the
// magnitudes, from sobelGradients and from gradientMagnitude, to the per-pixel formula exactly.
class SobelGradientsTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(SobelGradientsTest, EqualsOpenCVsSobel) {
  const auto [cols, rows] = GetParam();
  cv::Mat wide(rows + 1, cols + 2, CV_8UC1);
  cv::RNG(cols * 17 + rows).fill(wide, cv::RNG::UNIFORM, 0, 256);
  cv::Mat view = wide(cv::Rect(2, 1, cols, rows));
  for (int y = 0; y < std::min(rows, 4); ++y)
    for (int x = 0; x < std::min(cols, 4); ++x) view.at<uchar>(y, x) = (x + y) % 2 ? 255 : 0;
  for (const cv::Mat& img : {view.clone(), view}) {
    cv::Mat ex, ey, fx, fy, em, gx, gy, mag, alone;
    cv::Sobel(img, ex, CV_16S, 1, 0, 3, 1, 0, cv::BORDER_DEFAULT);
    cv::Sobel(img, ey, CV_16S, 0, 1, 3, 1, 0, cv::BORDER_DEFAULT);
    ex.convertTo(fx, CV_32F);
    ey.convertTo(fy, CV_32F);
    cv::sqrt(fx.mul(fx) + fy.mul(fy), em);  // the squares are exact in float
    sobelGradients(img, gx, gy, &mag);
    gradientMagnitude(ex, ey, alone);
    // cv::norm throws on another size or type.
    EXPECT_EQ(cv::norm(gx, ex, cv::NORM_INF), 0) << img.isSubmatrix();
    EXPECT_EQ(cv::norm(gy, ey, cv::NORM_INF), 0) << img.isSubmatrix();
    EXPECT_EQ(cv::norm(mag, em, cv::NORM_INF), 0) << img.isSubmatrix();
    EXPECT_EQ(cv::norm(alone, em, cv::NORM_INF), 0) << img.isSubmatrix();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SobelGradientsTest,
    ::testing::ValuesIn(std::vector<std::tuple<int, int>>{
        {1, 1}, {1, 6}, {7, 1}, {2, 2}, {9, 3}, {10, 4}, {16, 2}, {17, 5}, {25, 9}, {951, 4}}));

TEST(PeakShared, SobelPatchMatchesTheFullImageSobelAndReusesItsOutputs) {
  cv::Mat grey(24, 32, CV_8UC1), fx, fy, fm, gx, gy, mag;
  cv::RNG(11).fill(grey, cv::RNG::UNIFORM, 0, 256);
  cv::Sobel(grey, fx, CV_16S, 1, 0, 3);
  cv::Sobel(grey, fy, CV_16S, 0, 1, 3);
  gradientMagnitude(fx, fy, fm);
  // Patch pixels on the image border cannot be derived and stay 0.
  const cv::Rect inner(1, 1, grey.cols - 2, grey.rows - 2);
  for (cv::Mat* m : {&fx, &fy, &fm}) cv::copyMakeBorder((*m)(inner).clone(), *m, 1, 1, 1, 1, 0);
  const auto expectPatch = [&](int px, int py, int halfRows, int halfCols) {
    sobelPatch(grey, gx, gy, mag, px, py, halfRows, halfCols);
    const cv::Rect patch(px - halfCols, py - halfRows, 2 * halfCols + 1, 2 * halfRows + 1);
    EXPECT_EQ(cv::norm(gx, fx(patch), cv::NORM_INF), 0) << px << "," << py;
    EXPECT_EQ(cv::norm(gy, fy(patch), cv::NORM_INF), 0) << px << "," << py;
    EXPECT_EQ(cv::norm(mag, fm(patch), cv::NORM_INF), 0) << px << "," << py;
  };
  expectPatch(10, 12, 2, 3);
  // A patch of the same size on the border reuses the outputs and zeroes what is stale in them.
  const uchar* before = gx.data;
  expectPatch(3, 2, 2, 3);
  EXPECT_EQ(gx.data, before);
  expectPatch(1, 1, 1, 1);
  expectPatch(30, 22, 1, 1);

  AssertCapture capture;
  sobelPatch(grey, gx, gy, mag, 10, 12, 0, 6);
  EXPECT_TRUE(capture.contains("half_m >= 1 && half_m <= 5 && half_n >= 1 && half_n <= 5"));
  EXPECT_TRUE(gx.empty() && gy.empty() && mag.empty());
  sobelPatch(grey, gx, gy, mag, 30, 12, 2, 2);
  EXPECT_TRUE(capture.contains("px >= half_n && px <= img.cols - 1 - half_n"));
  sobelPatch(grey, gx, gy, mag, 10, 1, 2, 2);
  EXPECT_TRUE(capture.contains("py >= half_m && py <= img.rows - 1 - half_m"));
  EXPECT_TRUE(mag.empty());
}

// Odd and even sizes around the 32-byte vector width (63 columns halve to 32: a last vector
// round would pass the row's end), every step the search uses and a few more: the result is
// OpenCV's nearest-neighbour resize, pixel for pixel and size for size.
class SampleEveryTest : public ::testing::TestWithParam<std::tuple<int, int, int, int>> {};

TEST_P(SampleEveryTest, EqualsTheNearestNeighbourResize) {
  const auto [cols, rows, xStep, yStep] = GetParam();
  cv::Mat src(rows, cols, CV_8UC1), expected, got;
  cv::RNG(cols * 31 + rows).fill(src, cv::RNG::UNIFORM, 0, 256);
  cv::resize(src, expected, cv::Size(), 1.0 / xStep, 1.0 / yStep, cv::INTER_NEAREST);
  sampleEvery(src, got, xStep, yStep);
  EXPECT_EQ(cv::norm(got, expected, cv::NORM_INF), 0);  // throws on another size or type
  // In place, as reducedGradients may be handed an image and its own output.
  sampleEvery(src, src, xStep, yStep);
  EXPECT_EQ(cv::norm(src, expected, cv::NORM_INF), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SampleEveryTest,
                         ::testing::ValuesIn(std::vector<std::tuple<int, int, int, int>>{
                             {3, 5, 2, 2},
                             {31, 7, 2, 2},
                             {32, 9, 2, 2},
                             {33, 4, 2, 2},
                             {65, 65, 2, 2},
                             {63, 5, 2, 2},
                             {1901, 3, 2, 2},
                             {67, 13, 4, 4},
                             {71, 29, 6, 6},
                             {2003, 17, 8, 8},
                             {45, 45, 1, 4},
                             {45, 45, 8, 2},
                             {100, 3, 10, 2}}));

TEST(PeakShared, SampleEveryAndGradientMagnitudeRefuseWhatTheyCannotWorkOn) {
  cv::Mat got(3, 3, CV_8UC1, cv::Scalar(7)), gx, gy;
  sampleEvery(cv::Mat(), got, 2, 2);
  EXPECT_TRUE(got.empty());
  // Half of one pixel rounds to none (where OpenCV's resize throws).
  sampleEvery(cv::Mat(1, 1, CV_8UC1, cv::Scalar(1)), got, 2, 2);
  EXPECT_TRUE(got.empty());
  reducedGradients(cv::Mat(1, 1, CV_8UC1, cv::Scalar(1)), gx, gy, 2, 2);
  EXPECT_TRUE(gx.empty() && gy.empty());
  AssertCapture capture;
  sampleEvery(cv::Mat(4, 4, CV_16SC1, cv::Scalar(1)), got, 2, 2);
  EXPECT_TRUE(capture.contains("src.type() == CV_8UC1 && xStep > 0 && yStep > 0"));
  EXPECT_TRUE(got.empty());
  sampleEvery(cv::Mat(4, 4, CV_8UC1, cv::Scalar(1)), got, 0, 2);
  EXPECT_TRUE(got.empty());
  gradientMagnitude(cv::Mat(2, 3, CV_16SC1), cv::Mat(3, 2, CV_16SC1), got);
  EXPECT_TRUE(capture.contains("sobelX.size == sobelY.size"));
  EXPECT_TRUE(got.empty());
}

TEST(PeakShared, FacingColumnsEqualThePerPixelTest) {
  // Random rows of every width from 1 to 21 (vector rounds and every tail length), with and
  // without a mask, a column on the centre (r = 0 is never kept) and the extreme gradients.
  cv::RNG rng(17);
  const float cosSq = cosLimit20() * cosLimit20();
  for (int n = 1; n <= 21; ++n) {
    for (int withMask = 0; withMask < 2; ++withMask) {
      std::vector<float> mag(n), rx(n);
      std::vector<short> gx(n), gy(n);
      std::vector<uchar> mask(n);
      for (int x = 0; x < n; ++x) {
        gx[x] = static_cast<short>(rng.uniform(-1020, 1021));
        gy[x] = static_cast<short>(x % 5 == 0 ? -1020 : rng.uniform(-1020, 1021));
        mag[x] = std::sqrt(float(gx[x]) * gx[x] + float(gy[x]) * gy[x]);
        if (x % 3 == 0) mag[x] = 20.f - (x % 2);  // at and just below the limit
        rx[x] = x - 4.0f;                         // column 4 lies on the centre
        mask[x] = static_cast<uchar>(rng.uniform(0, 2) * 255);
      }
      for (const float ry : {0.f, -3.5f, 200.f}) {
        std::vector<int> expected, got(n + 1, -1);
        for (int x = 1; x <= n - 2; ++x) {
          const float fx = gx[x], fy = gy[x];
          const float dot = fx * rx[x] + fy * ry, r2 = rx[x] * rx[x] + ry * ry;
          if (mag[x] >= 20.f && (!withMask || mask[x]) && r2 != 0 &&
              dot * dot >= cosSq * (fx * fx + fy * fy) * r2) {
            expected.push_back(x);
          }
        }
        got.resize(std::max(
            0, facingColumns(mag.data(), gx.data(), gy.data(), withMask ? mask.data() : nullptr,
                             rx.data(), ry, 20.f, cosSq, n, got.data())));
        EXPECT_EQ(got, expected) << "n " << n << " mask " << withMask << " ry " << ry;
      }
    }
  }
  // A hand-checked row: centre at column 2 of row 0; column 1 points at it, column 3 away
  // from it, column 4 across (90 degrees), column 5 is too weak.
  const float rx[] = {-2, -1, 0, 1, 2, 3, 4}, mag[] = {0, 50, 0, 50, 50, 5, 0};
  const short gx[] = {0, 50, 0, 50, 0, 5, 0}, gy[] = {0, 0, 0, 0, 50, 0, 0};
  std::vector<int> out(8, -1);
  out.resize(
      std::clamp(facingColumns(mag, gx, gy, nullptr, rx, 0.f, 20.f, cosSq, 7, out.data()), 0, 7));
  EXPECT_EQ(out, (std::vector<int>{1, 3}));
}

}  // namespace
}  // namespace vistrel
