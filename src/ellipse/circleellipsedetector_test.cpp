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
// gives no results; see ALoneCleanCircleOutlineGivesNothing.)
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

void expectSameResults(const CircleEllipseDetector& a, const CircleEllipseDetector& b) {
  const std::vector<mCircle> ca = a.circles(), cb = b.circles();
  ASSERT_EQ(ca.size(), cb.size());
  for (size_t i = 0; i < ca.size(); ++i) {
    EXPECT_EQ(ca[i].center.x, cb[i].center.x);
    EXPECT_EQ(ca[i].center.y, cb[i].center.y);
    EXPECT_EQ(ca[i].r, cb[i].r);
  }
  const std::vector<mEllipse> ea = a.ellipses(), eb = b.ellipses();
  ASSERT_EQ(ea.size(), eb.size());
  for (size_t i = 0; i < ea.size(); ++i) {
    EXPECT_EQ(ea[i].center.x, eb[i].center.x);
    EXPECT_EQ(ea[i].center.y, eb[i].center.y);
    EXPECT_EQ(ea[i].axes, eb[i].axes);
    EXPECT_EQ(ea[i].theta, eb[i].theta);
  }
  EXPECT_EQ(a.circleCount(), b.circleCount());
  EXPECT_EQ(a.ellipseCount(), b.ellipseCount());
}

TEST(CircleEllipseDetector, AnImageWithoutEdgesGivesNothing) {
  cv::Mat flat(120, 160, CV_8UC1, cv::Scalar(90));
  // A gentle ramp: gradients far below the tracing threshold.
  cv::Mat ramp(120, 160, CV_8UC1);
  for (int i = 0; i < ramp.rows; ++i) ramp.row(i).setTo(40 + i / 4);
  for (const cv::Mat& image : {flat, ramp}) {
    const CircleEllipseDetector d(image);
    EXPECT_TRUE(d.circles().empty());
    EXPECT_TRUE(d.ellipses().empty());
    EXPECT_EQ(d.circleCount(), 0);
    EXPECT_EQ(d.ellipseCount(), 0);
  }
}

TEST(CircleEllipseDetector, ALoneCleanCircleOutlineGivesNothing) {
  // A clean disc alone: its outline is one closed edge segment that fits a circle, so there
  // is no line anywhere and the detector stops before the arc stages.
  const cv::Size size(200, 200);
  scenes::Scene lone(size, 40);
  lone.disc({100.3, 99.6}, 45, 200);
  const CircleEllipseDetector d(lone.render());
  ASSERT_EQ(d.segments().size(), 1u);
  const std::vector<cv::Point>& seg = d.segments()[0];
  ASSERT_GE(seg.size(), 24u);
  EXPECT_LE(cv::norm(seg.front() - seg.back()), 3.0);  // closed
  EXPECT_TRUE(d.circles().empty());
  EXPECT_TRUE(d.ellipses().empty());

  // The same disc next to straight edges is found: nothing was wrong with the circle.
  scenes::Scene withBar = lone;
  addBar(withBar, size);
  const CircleEllipseDetector found(withBar.render());
  EXPECT_GE(findCircle(found.circles(), toDetector({100.3, 99.6}), 45, 0.5), 0)
      << describe(found.circles());
}

TEST(CircleEllipseDetector, DiscsFromFifteenToFourHundredPixelsAreFoundToHalfAPixel) {
  for (double radius : {15.0, 23.5, 40.0, 77.7, 150.0, 262.0, 400.0}) {
    for (double noise : {0.0, 6.0}) {
      const int side = static_cast<int>(2 * radius) + 90;
      const cv::Size size(side, side);
      const cv::Point2d centre(side / 2 + 0.37, side / 2 + 12.81);
      scenes::Scene scene(size, 50);
      scene.disc(centre, radius, 190);
      addBar(scene, size);
      const CircleEllipseDetector d(scene.render(0.0, noise, 7));
      const std::vector<mCircle> circles = d.circles();
      const int i = findCircle(circles, toDetector(centre), radius, 0.5);
      EXPECT_GE(i, 0) << "radius " << radius << " noise " << noise << ": " << describe(circles);
      for (size_t k = 1; k < circles.size(); ++k) EXPECT_GE(circles[k - 1].r, circles[k].r);
    }
  }
}

TEST(CircleEllipseDetector, RingsGiveBothEdgesLargestFirst) {
  struct Ring {
    double inner, outer;
  };
  for (const Ring& ring : {Ring{70, 110}, Ring{18, 32}, Ring{250, 390}}) {
    for (double noise : {0.0, 5.0}) {
      const int side = static_cast<int>(2 * ring.outer) + 60;
      const cv::Size size(side, side - 20);
      const cv::Point2d centre(side / 2 + 0.7, side / 2 - 9.1);
      scenes::Scene scene(size, 60);
      scene.disc(centre, ring.outer, 180);
      scene.disc(centre, ring.inner, 60);
      addBar(scene, size);
      const CircleEllipseDetector d(scene.render(0.8, noise, 11));
      const std::vector<mCircle> circles = d.circles();
      const int outer = findCircle(circles, toDetector(centre), ring.outer, 0.5);
      const int inner = findCircle(circles, toDetector(centre), ring.inner, 0.5);
      ASSERT_GE(outer, 0) << ring.outer << " noise " << noise << ": " << describe(circles);
      ASSERT_GE(inner, 0) << ring.inner << " noise " << noise << ": " << describe(circles);
      EXPECT_LT(outer, inner);
    }
  }
}

TEST(CircleEllipseDetector, ConcentricCirclesThreeApartMergeSevenApartStayTwo) {
  const cv::Size size(200, 200);
  const cv::Point2d centre(100.4, 103.3);
  // A thin bright ring between radii 50 and 53 has an edge on each side.
  scenes::Scene thin(size, 40);
  thin.disc(centre, 53, 200);
  thin.disc(centre, 50, 40);
  addBar(thin, size);
  const CircleEllipseDetector one(thin.render());
  const std::vector<mCircle> merged = one.circles();
  ASSERT_EQ(merged.size(), 1u) << describe(merged);
  EXPECT_LE(cv::norm(merged[0].center - toDetector(centre)), 0.5);
  EXPECT_GT(merged[0].r, 50.0);
  EXPECT_LT(merged[0].r, 53.0);

  scenes::Scene wide(size, 40);
  wide.disc(centre, 57, 200);
  wide.disc(centre, 50, 40);
  addBar(wide, size);
  const CircleEllipseDetector two(wide.render());
  const std::vector<mCircle> both = two.circles();
  ASSERT_EQ(both.size(), 2u) << describe(both);
  EXPECT_EQ(findCircle(both, toDetector(centre), 57, 0.5), 0);
  EXPECT_EQ(findCircle(both, toDetector(centre), 50, 0.5), 1);
}

TEST(CircleEllipseDetector, ACircleWithAThirdOfItsOutlineHiddenIsStillFound) {
  const cv::Size size(320, 320);
  const cv::Point2d centre(150.6, 170.2);
  const double radius = 90;
  for (double angleDeg : {0.0, 100.0, 215.0}) {
    scenes::Scene scene(size, 50);
    scene.disc(centre, radius, 190);
    // A square occluder of the background grey whose near side is a chord at half the radius
    // from the centre: it hides the 120 degrees of the outline beyond that chord.
    const double a = angleDeg * CV_PI / 180;
    const cv::Point2d u(std::cos(a), std::sin(a)), v(-std::sin(a), std::cos(a));
    const cv::Point2d near = centre + u * (radius / 2);
    const cv::Point2d far = centre + u * (radius * 1.4);
    scene.polygon({near + v * radius * 1.2, far + v * radius * 1.2, far - v * radius * 1.2,
                   near - v * radius * 1.2},
                  50);
    addBar(scene, size);
    const CircleEllipseDetector d(scene.render(0.0, 3.0, 5));
    EXPECT_GE(findCircle(d.circles(), toDetector(centre), radius, 0.5), 0)
        << angleDeg << ": " << describe(d.circles());
  }
}

struct EllipseCase {
  double a, b, angleDeg;
};
class EllipseScenes : public ::testing::TestWithParam<EllipseCase> {};

TEST_P(EllipseScenes, EllipseIsReportedWithItsCentreAxesAndAngle) {
  const EllipseCase& c = GetParam();
  const cv::Size size(260, 240);
  const cv::Point2d centre(131.3, 122.6);
  scenes::Scene scene(size, 45);
  scene.ellipse(centre, c.a, c.b, c.angleDeg, 200);
  addBar(scene, size);
  const CircleEllipseDetector d(scene.render(0.0, 3.0, 9));
  const std::vector<mEllipse> ellipses = d.ellipses();
  ASSERT_EQ(ellipses.size(), 1u);
  const mEllipse& e = ellipses[0];
  EXPECT_LE(cv::norm(e.center - toDetector(centre)), 0.5);
  // The axis along theta: the major one when the major axis is within 45 degrees of +x.
  double expectedTheta = c.angleDeg * CV_PI / 180;
  int along = static_cast<int>(c.a), across = static_cast<int>(c.b);
  if (expectedTheta > CV_PI / 4) {
    expectedTheta -= CV_PI / 2;
    std::swap(along, across);
  }
  EXPECT_NEAR(e.theta, expectedTheta, 0.03);
  // Axes are truncated: within one pixel of the true semi-axis, from below or above.
  EXPECT_NEAR(e.axes.width, along, 1);
  EXPECT_NEAR(e.axes.height, across, 1);
  EXPECT_EQ(d.ellipseCount(), 1);
  EXPECT_EQ(d.circleCount(), static_cast<int>(d.circles().size()));
}

INSTANTIATE_TEST_SUITE_P(CircleEllipseDetector, EllipseScenes,
                         ::testing::Values(EllipseCase{80, 45, 0}, EllipseCase{70, 40, 30},
                                           EllipseCase{90, 55, 60}, EllipseCase{60, 36, -20}));

cv::Mat wheelScene(cv::Size size, scenes::Seed seed = 1) {
  scenes::WheelLayout wheel;
  wheel.size = size;
  wheel.centre = {size.width * 0.52, size.height * 0.48};
  wheel.radius = std::min(size.width, size.height) * 0.42;
  wheel.seed = seed;
  return scenes::renderWheel(wheel);
}

TEST(CircleEllipseDetector, SameImageSameResultsAndViewsEqualCopies) {
  const cv::Mat wheel = wheelScene({640, 480});
  const CircleEllipseDetector first(wheel);
  const CircleEllipseDetector second(wheel.clone());
  expectSameResults(first, second);
  EXPECT_GT(first.circleCount(), 0);

  // A view into a larger image (rows not contiguous) gives what its copy gives.
  cv::Mat big(700, 900, CV_8UC1, cv::Scalar(0));
  scenes::addGaussianNoise(big, 30, 3);
  wheel.copyTo(big(cv::Rect(123, 77, 640, 480)));
  const cv::Mat view = big(cv::Rect(123, 77, 640, 480));
  ASSERT_FALSE(view.isContinuous());
  const cv::Mat before = big.clone();
  const CircleEllipseDetector fromView(view);
  expectSameResults(fromView, first);
  EXPECT_EQ(cv::norm(big, before, cv::NORM_INF), 0.0);  // the caller's pixels are untouched
  const CircleEllipseDetector fromOtherView(big(cv::Rect(0, 0, 300, 200)));
  const CircleEllipseDetector fromOtherCopy(big(cv::Rect(0, 0, 300, 200)).clone());
  expectSameResults(fromOtherView, fromOtherCopy);
}

TEST(CircleEllipseDetector, TheWheelsOutlineIsTheLargestCircle) {
  scenes::WheelLayout wheel;
  wheel.size = {640, 480};
  wheel.centre = {330.4, 236.8};
  wheel.radius = 200;
  const CircleEllipseDetector d(scenes::renderWheel(wheel));
  const std::vector<mCircle> circles = d.circles();
  ASSERT_FALSE(circles.empty());
  EXPECT_LE(cv::norm(circles[0].center - toDetector(wheel.centre)), 0.5) << describe(circles);
  EXPECT_NEAR(circles[0].r, wheel.radius, 0.5) << describe(circles);
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
  for (int t = 0; t < 6; ++t) expectSameResults(*results[t], t % 2 ? clutterAlone : wheelAlone);
}

TEST(CircleEllipseDetector, BadImagesAreReportedAndGiveNothing) {
  vistrel::AssertCapture capture;
  cv::Mat colour(100, 100, CV_8UC3, cv::Scalar(10, 200, 30));
  cv::circle(colour, {50, 50}, 30, cv::Scalar(250, 0, 0), -1);
  const CircleEllipseDetector fromColour(colour);
  EXPECT_TRUE(fromColour.circles().empty());
  EXPECT_TRUE(capture.contains("image.type() == CV_8UC1"));
  capture.clear();
  const CircleEllipseDetector fromEmpty{cv::Mat()};
  EXPECT_TRUE(fromEmpty.circles().empty());
  EXPECT_FALSE(capture.messages().empty());
  capture.clear();
  const CircleEllipseDetector fromTiny(cv::Mat(4, 4, CV_8UC1, cv::Scalar(7)));
  EXPECT_TRUE(fromTiny.circles().empty());
  EXPECT_FALSE(capture.messages().empty());
}

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
