#include "peak/peakshared.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <tuple>
#include <vector>

#include "vistrel/assert.h"

namespace vistrel {
namespace {

TEST(PeakShared, QuantizeDirectionPicksTheNeighbourOfTheSector) {
  // Sector boundaries: ny exactly sin 22.5 still counts as horizontal, just above as diagonal.
  const float s1 = static_cast<float>(std::sin(22.5 * CV_PI / 180));
  int f = 0, b = 0;
  quantizeDirection(s1, std::sqrt(1 - s1 * s1), f, b);
  EXPECT_EQ(f, 0);
  quantizeDirection(std::nextafter(s1, 1.f), std::sqrt(1 - s1 * s1), f, b);
  EXPECT_EQ(f, 1);
  // Every direction lands within 22.5 degrees of its forward neighbour, and backward is opposite.
  const float cos225 = static_cast<float>(std::cos(22.5 * CV_PI / 180));
  for (int deg10 = 0; deg10 < 3600; ++deg10) {
    const double a = deg10 * CV_PI / 1800;
    const float nx = static_cast<float>(std::cos(a)), ny = static_cast<float>(std::sin(a));
    quantizeDirection(ny, nx, f, b);
    const cv::Point2f u = neighbourDir(f).unit;
    EXPECT_GE(u.x * nx + u.y * ny, cos225 - 1e-5f) << deg10 / 10.0;
    EXPECT_EQ((f + 4) % 8, b) << deg10 / 10.0;
  }
}

TEST(PeakShared, SubpixelPeakIsTheParabolaTop) {
  float x = 0, y = 0, m = 0;
  // Horizontal gradient: values 6, 10, 8 at -1, 0, +1 give the parabola 10 + t - 3 t^2, whose
  // top is at t = 1/6 with value 10 + 1/12.
  subpixelPeak(10, 6, 8, 10, 0, 5, 7, neighbourDir(0).unit, x, y, m);
  EXPECT_NEAR(x, 5 + 1.0 / 6, 1e-6);
  EXPECT_FLOAT_EQ(y, 7);
  EXPECT_NEAR(m, 10 + 1.0 / 12, 1e-5);
  // The same values backwards along a leftward gradient move the point left.
  subpixelPeak(10, 6, 8, -10, 0, 5, 7, neighbourDir(4).unit, x, y, m);
  EXPECT_NEAR(x, 5 - 1.0 / 6, 1e-6);
  // A (3, 4) gradient quantised to the diagonal: t = 1/4 (values 2, 5, 4), projected on the
  // gradient by (0.6, 0.8) . (1, 1) / sqrt 2 = 1.4 / sqrt 2.
  subpixelPeak(5, 2, 4, 3, 4, 20, 30, neighbourDir(1).unit, x, y, m);
  const double s = 0.25 * 1.4 / std::sqrt(2.0);
  EXPECT_NEAR(x, 20 + s * 0.6, 1e-6);
  EXPECT_NEAR(y, 30 + s * 0.8, 1e-6);
  EXPECT_NEAR(m, 5 + 1 * 0.25 / 2, 1e-6);
  // Collinear values have no top: the pixel stays where it is.
  subpixelPeak(5, 4, 6, 5, 0, 3, 4, neighbourDir(0).unit, x, y, m);
  EXPECT_FLOAT_EQ(x, 3);
  EXPECT_FLOAT_EQ(y, 4);
  EXPECT_FLOAT_EQ(m, 5);
}

TEST(PeakShared, GradientMagnitudeEqualsThePerPixelFormula) {
  cv::RNG rng(7);
  // Widths around the eight-pixel rounds exercise the vector body and the scalar tail.
  for (int cols : {1, 7, 8, 9, 16, 23}) {
    cv::Mat gx(3, cols, CV_16SC1), gy(3, cols, CV_16SC1);
    rng.fill(gx, cv::RNG::UNIFORM, -1020, 1021);
    rng.fill(gy, cv::RNG::UNIFORM, -1020, 1021);
    gx.at<short>(0, 0) = -1020;
    gy.at<short>(0, 0) = 1020;
    cv::Mat mag;
    gradientMagnitude(gx, gy, mag);
    ASSERT_EQ(mag.type(), CV_32FC1);
    ASSERT_EQ(mag.size(), gx.size());
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < cols; ++c) {
        const float fx = gx.at<short>(r, c), fy = gy.at<short>(r, c);
        EXPECT_EQ(mag.at<float>(r, c), std::sqrt(fx * fx + fy * fy)) << r << "," << c;
      }
    }
  }
  AssertCapture capture;
  cv::Mat mag;
  gradientMagnitude(cv::Mat(2, 3, CV_16SC1), cv::Mat(3, 2, CV_16SC1), mag);
  EXPECT_TRUE(capture.contains("sobelX.size == sobelY.size"));
  EXPECT_TRUE(mag.empty());
}

TEST(PeakShared, ReducedGradientsSampleEveryStepthPixel) {
  // A ramp grey = x + 3 y: halving takes pixel (2x, 2y), so the reduced ramp rises 2 per column
  // and 6 per row, and the 3 x 3 Sobel (weights 1, 2, 1 over a two-pixel span) gives
  // 4 * 2 * 2 = 16 and 4 * 2 * 6 = 48 inside; reflect-101 makes the border derivative 0.
  cv::Mat grey(20, 30, CV_8UC1), mask = cv::Mat::zeros(20, 30, CV_8UC1);
  for (int y = 0; y < grey.rows; ++y)
    for (int x = 0; x < grey.cols; ++x) grey.at<uchar>(y, x) = static_cast<uchar>(x + 3 * y);
  mask.at<uchar>(4, 6) = 255;  // reduced (3, 2)
  mask.at<uchar>(5, 6) = 255;  // an odd row: dropped by the reduction
  cv::Mat gx, gy, rmask;
  reducedGradients(grey, gx, gy, 2, 2, &mask, &rmask);
  ASSERT_EQ(gx.size(), cv::Size(15, 10));
  ASSERT_EQ(gx.type(), CV_16SC1);
  ASSERT_EQ(gy.type(), CV_16SC1);
  EXPECT_EQ(gx.at<short>(5, 7), 16);
  EXPECT_EQ(gy.at<short>(5, 7), 48);
  EXPECT_EQ(gx.at<short>(5, 0), 0);
  EXPECT_EQ(gy.at<short>(0, 7), 0);
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
  EXPECT_TRUE(gx.empty());
  EXPECT_TRUE(gy.empty());
  EXPECT_TRUE(rmask.empty());
}

// Sizes of one and two pixels (the reflected border folds onto the image), widths around the
// eight-column rounds; random grey values with a checkerboard corner for the largest
// derivatives. Each as an image of its own and as a view that has neighbours above and to the
// left and ends at the viewed image's bottom and right: equal to OpenCV's Sobel (which reads a
// view's neighbours from the viewed image) and gradientMagnitude exactly.
class SobelGradientsTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(SobelGradientsTest, EqualsOpenCVsSobel) {
  const auto [cols, rows] = GetParam();
  cv::Mat wide(rows + 1, cols + 2, CV_8UC1);
  cv::RNG(cols * 17 + rows).fill(wide, cv::RNG::UNIFORM, 0, 256);
  cv::Mat view = wide(cv::Rect(2, 1, cols, rows));
  for (int y = 0; y < std::min(rows, 4); ++y)
    for (int x = 0; x < std::min(cols, 4); ++x) view.at<uchar>(y, x) = (x + y) % 2 ? 255 : 0;
  for (const cv::Mat& img : {view.clone(), view}) {
    cv::Mat ex, ey, em, gx, gy, mag;
    cv::Sobel(img, ex, CV_16S, 1, 0, 3, 1, 0, cv::BORDER_DEFAULT);
    cv::Sobel(img, ey, CV_16S, 0, 1, 3, 1, 0, cv::BORDER_DEFAULT);
    gradientMagnitude(ex, ey, em);
    sobelGradients(img, gx, gy, &mag);
    ASSERT_EQ(gx.type(), CV_16SC1);
    ASSERT_EQ(mag.type(), CV_32FC1);
    ASSERT_EQ(gx.size(), img.size());
    EXPECT_EQ(cv::norm(gx, ex, cv::NORM_INF), 0) << img.isSubmatrix();
    EXPECT_EQ(cv::norm(gy, ey, cv::NORM_INF), 0) << img.isSubmatrix();
    EXPECT_EQ(cv::norm(mag, em, cv::NORM_INF), 0) << img.isSubmatrix();
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SobelGradientsTest,
                         ::testing::Values(std::make_tuple(1, 1), std::make_tuple(1, 6),
                                           std::make_tuple(7, 1), std::make_tuple(2, 2),
                                           std::make_tuple(9, 3), std::make_tuple(10, 4),
                                           std::make_tuple(17, 5), std::make_tuple(25, 9),
                                           std::make_tuple(951, 4)));

TEST(PeakShared, SobelPatchMatchesTheFullImageSobel) {
  cv::Mat grey(24, 32, CV_8UC1);
  cv::RNG(11).fill(grey, cv::RNG::UNIFORM, 0, 256);
  cv::Mat fx, fy;
  cv::Sobel(grey, fx, CV_16S, 1, 0, 3);
  cv::Sobel(grey, fy, CV_16S, 0, 1, 3);
  cv::Mat gx, gy, mag;
  sobelPatch(grey, gx, gy, mag, 10, 12, 2, 3);
  ASSERT_EQ(gx.size(), cv::Size(7, 5));
  ASSERT_EQ(mag.type(), CV_32FC1);
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 7; ++c) {
      const short ex = fx.at<short>(12 - 2 + r, 10 - 3 + c);
      const short ey = fy.at<short>(12 - 2 + r, 10 - 3 + c);
      EXPECT_EQ(gx.at<short>(r, c), ex);
      EXPECT_EQ(gy.at<short>(r, c), ey);
      EXPECT_FLOAT_EQ(mag.at<float>(r, c), std::sqrt(float(ex) * ex + float(ey) * ey));
    }
  }
  // At the top-left limit the patch's first row and column lie on the image border: they stay 0.
  sobelPatch(grey, gx, gy, mag, 1, 1, 1, 1);
  EXPECT_EQ(cv::countNonZero(gx.row(0)) + cv::countNonZero(gx.col(0)), 0);
  EXPECT_EQ(cv::countNonZero(mag.row(0)) + cv::countNonZero(mag.col(0)), 0);
  EXPECT_EQ(gx.at<short>(1, 1), fx.at<short>(1, 1));

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
  cv::Mat src(rows, cols, CV_8UC1);
  cv::RNG(cols * 31 + rows).fill(src, cv::RNG::UNIFORM, 0, 256);
  cv::Mat expected, got;
  cv::resize(src, expected, cv::Size(), 1.0 / xStep, 1.0 / yStep, cv::INTER_NEAREST);
  sampleEvery(src, got, xStep, yStep);
  ASSERT_EQ(got.size(), expected.size());
  ASSERT_EQ(got.type(), CV_8UC1);
  EXPECT_EQ(cv::norm(got, expected, cv::NORM_INF), 0);
  // In place, as reducedGradients may be handed an image and its own output.
  sampleEvery(src, src, xStep, yStep);
  EXPECT_EQ(cv::norm(src, expected, cv::NORM_INF), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SampleEveryTest,
    ::testing::Values(std::make_tuple(3, 5, 2, 2), std::make_tuple(31, 7, 2, 2),
                      std::make_tuple(32, 9, 2, 2), std::make_tuple(33, 4, 2, 2),
                      std::make_tuple(65, 65, 2, 2), std::make_tuple(63, 5, 2, 2),
                      std::make_tuple(1901, 3, 2, 2), std::make_tuple(67, 13, 4, 4),
                      std::make_tuple(71, 29, 6, 6), std::make_tuple(2003, 17, 8, 8),
                      std::make_tuple(45, 45, 1, 4), std::make_tuple(45, 45, 8, 2),
                      std::make_tuple(100, 3, 10, 2)));

TEST(PeakShared, SampleEveryRefusesWhatItCannotReduce) {
  cv::Mat got(3, 3, CV_8UC1, cv::Scalar(7));
  sampleEvery(cv::Mat(), got, 2, 2);
  EXPECT_TRUE(got.empty());
  // Half of one pixel rounds to none (where OpenCV's resize throws).
  sampleEvery(cv::Mat(1, 1, CV_8UC1, cv::Scalar(1)), got, 2, 2);
  EXPECT_TRUE(got.empty());
  cv::Mat gx, gy;
  reducedGradients(cv::Mat(1, 1, CV_8UC1, cv::Scalar(1)), gx, gy, 2, 2);
  EXPECT_TRUE(gx.empty() && gy.empty());
  AssertCapture capture;
  sampleEvery(cv::Mat(4, 4, CV_16SC1, cv::Scalar(1)), got, 2, 2);
  EXPECT_TRUE(capture.contains("src.type() == CV_8UC1 && xStep > 0 && yStep > 0"));
  EXPECT_TRUE(got.empty());
  sampleEvery(cv::Mat(4, 4, CV_8UC1, cv::Scalar(1)), got, 0, 2);
  EXPECT_TRUE(got.empty());
}

TEST(PeakShared, SobelPatchOverwritesReusedOutputs) {
  // An interior patch first, then one touching the border into the same outputs: they are
  // reused, and come out as into fresh ones, the border row and column 0 again.
  cv::Mat grey(16, 16, CV_8UC1);
  cv::RNG(5).fill(grey, cv::RNG::UNIFORM, 0, 256);
  cv::Mat gx, gy, mag, freshX, freshY, freshMag;
  sobelPatch(grey, gx, gy, mag, 8, 8, 2, 2);
  const uchar* before = gx.data;
  sobelPatch(grey, gx, gy, mag, 2, 2, 2, 2);
  sobelPatch(grey, freshX, freshY, freshMag, 2, 2, 2, 2);
  EXPECT_EQ(gx.data, before);
  EXPECT_EQ(cv::norm(gx, freshX, cv::NORM_INF), 0);
  EXPECT_EQ(cv::norm(gy, freshY, cv::NORM_INF), 0);
  EXPECT_EQ(cv::norm(mag, freshMag, cv::NORM_INF), 0);
  EXPECT_EQ(cv::countNonZero(gy.row(0)) + cv::countNonZero(gy.col(0)), 0);
  EXPECT_EQ(cv::countNonZero(mag.row(0)) + cv::countNonZero(mag.col(0)), 0);
  EXPECT_NE(cv::countNonZero(mag(cv::Rect(1, 1, 4, 4))), 0);
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
        std::vector<int> expected;
        for (int x = 1; x <= n - 2; ++x) {
          const float fx = gx[x], fy = gy[x];
          const float dot = fx * rx[x] + fy * ry, r2 = rx[x] * rx[x] + ry * ry;
          if (mag[x] >= 20.f && (!withMask || mask[x]) && r2 != 0 &&
              dot * dot >= cosSq * (fx * fx + fy * fy) * r2) {
            expected.push_back(x);
          }
        }
        std::vector<int> got(n + 1, -1);
        const int count =
            facingColumns(mag.data(), gx.data(), gy.data(), withMask ? mask.data() : nullptr,
                          rx.data(), ry, 20.f, cosSq, n, got.data());
        got.resize(std::max(count, 0));
        EXPECT_EQ(got, expected) << "n " << n << " mask " << withMask << " ry " << ry;
      }
    }
  }
  // A hand-checked row: centre at column 2 of row 0; column 1 points at it, column 3 away
  // from it, column 4 across (90 degrees), column 5 is too weak.
  const float rx[] = {-2, -1, 0, 1, 2, 3, 4};
  const short gx[] = {0, 50, 0, 50, 0, 5, 0}, gy[] = {0, 0, 0, 0, 50, 0, 0};
  const float mag[] = {0, 50, 0, 50, 50, 5, 0};
  int out[7];
  ASSERT_EQ(facingColumns(mag, gx, gy, nullptr, rx, 0.f, 20.f, cosSq, 7, out), 2);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 3);
}

}  // namespace
}  // namespace vistrel
