#include "circleellipsedetector.h"

#include <gtest/gtest.h>

#include <memory>
#include <opencv2/imgproc.hpp>
#include <thread>
#include <tuple>
#include <vector>

#include "scenes/scenes.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

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
  EXPECT_EQ(std::tuple(d.anchors().size(), d.segments().size(), d.circles().size(),
                       d.ellipses().size(), d.segmentCount(), d.testCount()),
            std::tuple(0u, 0u, 0u, 0u, 0, 0));
  for (const cv::Mat* map : {&d.edgeImage(), &d.smoothImage(), &d.gradientImage()})
    EXPECT_TRUE(map->empty() || cv::countNonZero(*map) == 0);
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
        ImageCase{"ThreeDimensional", cube, kSizeReport},
        ImageCase{"Smallest", smallestWithABrightPixel, nullptr}),
    [](const ::testing::TestParamInfo<ImageCase>& info) { return info.param.name; });

TEST(CircleEllipseDetector, EachConstructionWritesOneLine) {
  testing::internal::CaptureStdout();
  { const CircleEllipseDetector d(cv::Mat(50, 50, CV_8UC1, cv::Scalar(3))); }
  { const CircleEllipseDetector d(wheelScene({200, 160})); }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "zvk: here!\nzvk: here!\n");
}

}  // namespace
}  // namespace ced
