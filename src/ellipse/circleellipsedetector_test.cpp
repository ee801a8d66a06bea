#include "circleellipsedetector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <thread>
#include <vector>

#include "scenes/scenes.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

// The scene renderer puts pixel (row i, column j) at [j, j+1) x [i, i+1); the detector puts
// that pixel at (j, i). A shape rendered at scene point p is therefore expected at p - 0.5.
cv::Point2d toDetector(cv::Point2d scene) { return scene - cv::Point2d(0.5, 0.5); }

// Straight edges for the detector to cut into lines: a bar across the whole image near its
// top. (Closed outlines alone never reach the arc stages, so a scene of nothing but discs
// gives no results, as the regression set's lone ring and ellipse show.)
void addBar(scenes::Scene& scene, cv::Size size) {
  // Edges off the pixel grid: a step exactly between two rows gives both rows the same gradient
  // and so no anchor.
  scene.polygon({{-10, 6.3}, {size.width + 10.0, 6.3}, {size.width + 10.0, 14.6}, {-10, 14.6}},
                150);
}

// Index of the circle nearest to (centre, r) within `tol` in centre and radius, or -1.
int findCircle(const std::vector<mCircle>& circles, cv::Point2d centre, double r, double tol) {
  for (size_t i = 0; i < circles.size(); ++i) {
    if (cv::norm(circles[i].center - centre) <= tol && std::fabs(circles[i].r - r) <= tol) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::string describe(const std::vector<mCircle>& circles) {
  std::string s;
  for (const mCircle& c : circles) {
    s += "(" + std::to_string(c.center.x) + ", " + std::to_string(c.center.y) +
         ", r=" + std::to_string(c.r) + ") ";
  }
  return s;
}

// Every number of every result, in order, so that two detectors can be compared exactly.
std::vector<double> resultNumbers(const CircleEllipseDetector& d) {
  std::vector<double> v;
  for (const mCircle& c : d.circles()) v.insert(v.end(), {c.center.x, c.center.y, c.r});
  for (const mEllipse& e : d.ellipses()) {
    v.insert(v.end(), {e.center.x, e.center.y, 1.0 * e.axes.width, 1.0 * e.axes.height, e.theta});
  }
  v.insert(v.end(), {1.0 * d.circleCount(), 1.0 * d.ellipseCount()});
  return v;
}

// Two concentric discs: the outline of each is found, the larger first, unless the two edges
// lie so close that final joining merges them into one circle between them.
struct RingCase {
  const char* name;
  double inner, outer, noise;
  bool merged;
};
class RingScenes : public ::testing::TestWithParam<RingCase> {};

TEST_P(RingScenes, BothEdgesLargestFirstOrOneBetweenThem) {
  const RingCase& ring = GetParam();
  const int side = static_cast<int>(2 * ring.outer) + 60;
  const cv::Size size(side, side - 20);
  const cv::Point2d centre(side / 2 + 0.7, side / 2 - 9.1);
  scenes::Scene scene(size, 60);
  scene.disc(centre, ring.outer, 180);
  scene.disc(centre, ring.inner, 60);
  addBar(scene, size);
  const std::vector<mCircle> circles =
      CircleEllipseDetector(scene.render(0.8, ring.noise, 11)).circles();
  ASSERT_EQ(circles.size(), ring.merged ? 1u : 2u) << describe(circles);
  if (ring.merged) {
    EXPECT_LE(cv::norm(circles[0].center - toDetector(centre)), 0.5);
    EXPECT_GT(circles[0].r, ring.inner);
    EXPECT_LT(circles[0].r, ring.outer);
    return;
  }
  EXPECT_EQ(findCircle(circles, toDetector(centre), ring.outer, 0.5), 0) << describe(circles);
  EXPECT_EQ(findCircle(circles, toDetector(centre), ring.inner, 0.5), 1);
}

INSTANTIATE_TEST_SUITE_P(CircleEllipseDetector, RingScenes,
                         ::testing::Values(RingCase{"Small", 18, 32, 5, false},
                                           RingCase{"Large", 250, 390, 0, false},
                                           RingCase{"SevenApart", 50, 57, 0, false},
                                           RingCase{"ThreeApartMerge", 50, 53, 0, true}),
                         [](const ::testing::TestParamInfo<RingCase>& info) {
                           return info.param.name;
                         });

cv::Mat wheelScene(cv::Size size, scenes::Seed seed = 1) {
  scenes::WheelLayout wheel;
  wheel.size = size;
  wheel.centre = {size.width * 0.52, size.height * 0.48};
  wheel.radius = std::min(size.width, size.height) * 0.42;
  wheel.seed = seed;
  return scenes::renderWheel(wheel);
}

TEST(CircleEllipseDetector, AViewGivesWhatItsCopyGivesAndLeavesThePixelsAlone) {
  const cv::Mat wheel = wheelScene({640, 480});
  const CircleEllipseDetector fromCopy(wheel);
  EXPECT_GT(fromCopy.circleCount(), 0);
  // A view into a larger image: its rows are not contiguous.
  cv::Mat big(700, 900, CV_8UC1, cv::Scalar(0));
  scenes::addGaussianNoise(big, 30, 3);
  wheel.copyTo(big(cv::Rect(123, 77, 640, 480)));
  const cv::Mat view = big(cv::Rect(123, 77, 640, 480));
  ASSERT_FALSE(view.isContinuous());
  const cv::Mat before = big.clone();
  const CircleEllipseDetector fromView(view);
  EXPECT_EQ(resultNumbers(fromView), resultNumbers(fromCopy));
  EXPECT_EQ(cv::norm(big, before, cv::NORM_INF), 0.0);
}

TEST(CircleEllipseDetector, ThreadsConstructingAtOnceGetTheSingleThreadResults) {
  const cv::Mat wheel = wheelScene({400, 300}, 4);
  const cv::Mat clutter = scenes::renderClutter({400, 300}, 4);
  std::vector<std::unique_ptr<CircleEllipseDetector>> results(6);
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back(
        [&, t] { results[t] = std::make_unique<CircleEllipseDetector>(t % 2 ? clutter : wheel); });
  }
  for (std::thread& t : threads) t.join();
  const CircleEllipseDetector wheelAlone(wheel), clutterAlone(clutter);
  for (int t = 0; t < 6; ++t)
    EXPECT_EQ(resultNumbers(*results[t]), resultNumbers(t % 2 ? clutterAlone : wheelAlone));
}

// An image the tracer refuses is reported and leaves every stage empty: no anchors, segments,
// tests or shapes, and blank maps. 5 x 5 is the smallest image traced.
struct ImageCase {
  const char* name;
  cv::Mat (*make)();
  const char* report;  // nullptr: the image is accepted without a report
};
class DetectorInput : public ::testing::TestWithParam<ImageCase> {};

cv::Mat colourDisc() {
  cv::Mat colour(60, 60, CV_8UC3, cv::Scalar(10, 200, 30));
  cv::circle(colour, {30, 30}, 15, cv::Scalar(250, 0, 0), -1);
  return colour;
}
cv::Mat deepDisc() {
  cv::Mat deep(40, 40, CV_16UC1, cv::Scalar(0));
  cv::circle(deep, {20, 20}, 10, cv::Scalar(60000), -1);
  return deep;
}
cv::Mat cube() {
  const int dims[] = {6, 6, 6};
  return cv::Mat(3, dims, CV_8UC1, cv::Scalar(1));
}
cv::Mat smallestWithABrightPixel() {
  cv::Mat small(5, 5, CV_8UC1, cv::Scalar(0));
  small.at<unsigned char>(2, 2) = 255;
  return small;
}

TEST_P(DetectorInput, RefusedImagesAreReportedAndGiveNothing) {
  const ImageCase& c = GetParam();
  vistrel::AssertCapture capture;
  const CircleEllipseDetector d(c.make());
  if (!c.report) {
    EXPECT_TRUE(capture.messages().empty());
    return;
  }
  EXPECT_TRUE(capture.contains(c.report));
  EXPECT_TRUE(d.anchors().empty());
  EXPECT_EQ(d.segmentCount(), 0);
  EXPECT_TRUE(d.segments().empty());
  EXPECT_EQ(d.testCount(), 0);
  for (const cv::Mat* map : {&d.edgeImage(), &d.smoothImage(), &d.gradientImage()}) {
    EXPECT_TRUE(map->empty() || cv::countNonZero(*map) == 0);
  }
  EXPECT_TRUE(d.circles().empty());
  EXPECT_TRUE(d.ellipses().empty());
}

constexpr const char* kTypeReport = "image.type() == CV_8UC1";
constexpr const char* kSizeReport = "image.rows >= 5 && image.cols >= 5";
INSTANTIATE_TEST_SUITE_P(
    CircleEllipseDetector, DetectorInput,
    ::testing::Values(
        ImageCase{"Colour", colourDisc, kTypeReport},
        ImageCase{"SixteenBit", deepDisc, kTypeReport},
        ImageCase{"Empty", [] { return cv::Mat(); }, kSizeReport},
        ImageCase{"FourRows", [] { return cv::Mat(4, 100, CV_8UC1, cv::Scalar(9)); }, kSizeReport},
        ImageCase{"FourColumns", [] { return cv::Mat(100, 4, CV_8UC1, cv::Scalar(9)); },
                  kSizeReport},
        ImageCase{"OnePixel", [] { return cv::Mat(1, 1, CV_8UC1, cv::Scalar(9)); }, kSizeReport},
        ImageCase{"ThreeDimensional", cube, kSizeReport},
        ImageCase{"Smallest", smallestWithABrightPixel, nullptr}),
    [](const ::testing::TestParamInfo<ImageCase>& info) { return info.param.name; });

TEST(CircleEllipseDetector, OddImagesGiveFiniteResultsAndNeverBreakIt) {
  cv::RNG rng(12345);
  std::vector<cv::Mat> images;
  for (cv::Size size : {cv::Size(5, 5), cv::Size(7, 300), cv::Size(300, 7), cv::Size(64, 64)}) {
    cv::Mat noise(size, CV_8UC1);
    rng.fill(noise, cv::RNG::UNIFORM, 0, 256);
    images.push_back(noise);
  }
  cv::Mat checker(120, 160, CV_8UC1);
  for (int i = 0; i < checker.rows; ++i)
    for (int j = 0; j < checker.cols; ++j) checker.at<uchar>(i, j) = ((i / 7 + j / 9) % 2) * 255;
  images.push_back(checker);
  cv::Mat blocks(200, 200, CV_8UC1, cv::Scalar(0));
  for (int k = 0; k < 40; ++k) {
    const cv::Point p(rng.uniform(0, 200), rng.uniform(0, 200));
    cv::circle(blocks, p, rng.uniform(2, 60), cv::Scalar(rng.uniform(0, 256)), rng.uniform(-1, 4));
  }
  images.push_back(blocks);
  images.push_back(scenes::renderClutter({320, 240}, 9));
  for (const cv::Mat& image : images) {
    const CircleEllipseDetector d(image);
    const double limit = 4.0 * std::max(image.cols, image.rows);
    for (const mCircle& c : d.circles()) {
      EXPECT_TRUE(std::isfinite(c.center.x) && std::isfinite(c.center.y));
      EXPECT_GT(c.r, 0.0);
      EXPECT_LE(c.r, std::max(image.cols, image.rows) + 12.0);
    }
    for (const mEllipse& e : d.ellipses()) {
      EXPECT_TRUE(std::isfinite(e.center.x) && std::isfinite(e.center.y));
      EXPECT_LE(std::fabs(e.center.x), limit);
      EXPECT_GE(e.theta, -CV_PI / 4 - 1e-9);
      EXPECT_LE(e.theta, CV_PI / 4 + 1e-9);
    }
    EXPECT_EQ(d.circleCount(), static_cast<int>(d.circles().size()));
    EXPECT_EQ(d.ellipseCount(), static_cast<int>(d.ellipses().size()));
  }
}

TEST(CircleEllipseDetector, EachConstructionWritesOneLine) {
  testing::internal::CaptureStdout();
  { const CircleEllipseDetector d(cv::Mat(50, 50, CV_8UC1, cv::Scalar(3))); }
  { const CircleEllipseDetector d(wheelScene({200, 160})); }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "zvk: here!\nzvk: here!\n");
}

}  // namespace
}  // namespace ced
