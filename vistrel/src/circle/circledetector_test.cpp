#include "vistrel/circledetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "scenes/scenes.h"
#include "vistrel/assert.h"
#include "vistrel/detectroi.h"

namespace vistrel {
namespace {

// The renderer's pixel (i, j) covers [j, j + 1) x [i, i + 1); here pixel centres are integers.
cv::Point2d rendered(const cv::Point2d& c) { return c + cv::Point2d(0.5, 0.5); }

// Innermost, Outermost and All take the first (or every) radius peak above the acceptance
// threshold: without one, a ripple of the noise would count. Best needs none.
CircleDetector detector(int minRadius, int maxRadius, Polarity polarity,
                        FindBy findBy = FindBy::Best, int acceptThreshold = 0) {
  CircleDetector d;
  d.setRadiusRange(minRadius, maxRadius);
  d.setPolarity(polarity);
  d.setFindBy(findBy);
  d.setAcceptThreshold(acceptThreshold);
  return d;
}

TEST(CircleDetector, SettersKeepRefusedValues) {
  CircleDetector d;
  AssertCapture capture;
  d.setPolarity(Polarity::White2Black);
  d.setPolarity(static_cast<Polarity>(3));
  d.setFindBy(FindBy::All);
  d.setFindBy(static_cast<FindBy>(-1));
  d.setAcceptThreshold(40);
  d.setAcceptThreshold(101);
  d.setAcceptThreshold(-1);
  d.setMethod(HoughCircle);
  d.setMethod(static_cast<CircleMethod>(2));
  d.setPrecisionPreset(3);
  d.setPrecisionPreset(4);
  EXPECT_EQ(capture.messages(),
            (std::vector<std::string>{"val >= Polarity::Black2White && val <= Polarity::Either",
                                      "val >= FindBy::Best && val <= FindBy::All",
                                      "val >= 0 && val <= 100", "val >= 0 && val <= 100",
                                      "val >= HoughCircle && val <= PeakCircle",
                                      "val >= -1 && val <= 3"}));
  EXPECT_EQ(d.polarity(), Polarity::White2Black);
  EXPECT_EQ(d.findBy(), FindBy::All);
  EXPECT_EQ(d.acceptThreshold(), 40);
  EXPECT_EQ(d.method(), HoughCircle);
  EXPECT_EQ(d.precisionPreset(), 3);
  d.setRadiusRange(80, 20);
  EXPECT_EQ(cv::Vec2i(d.minRadius(), d.maxRadius()), cv::Vec2i(20, 80));
}

// Discs and rings of known geometry, as the analysis searches them: the start centre a few
// pixels off, the radius range from 0 (or 100 for large radii) to the distance from the start
// centre to the nearest border less 50, blur 1 pixel, noise sigma 5. A twentieth of a pixel on
// clean edges is the mark of a good sub-pixel circle tool.
struct AccuracyCase {
  const char* name;
  double radius;
  bool brightInside;
  bool ring;  // the ring's inner edge is the measured one; its outer edge lies 40 pixels out
};
class CircleAccuracy : public ::testing::TestWithParam<AccuracyCase> {};

TEST_P(CircleAccuracy, MeasuresTheEdgeToATwentiethOfAPixel) {
  const AccuracyCase& k = GetParam();
  // Room for the search: 80 pixels beyond the radius on the nearest side, then the border.
  const int margin = 80 + 50;
  const cv::Size size(static_cast<int>(2 * (k.radius + margin)) + 37,
                      static_cast<int>(2 * (k.radius + margin)));
  const cv::Point2d truth(size.width / 2.0 + 7.31, size.height / 2.0 - 0.43);
  const double in = k.brightInside ? 190 : 60, out = k.brightInside ? 60 : 190;
  const cv::Mat img =
      k.ring ? scenes::renderRing(size, rendered(truth), k.radius, k.radius + 40, out, in, 1.0, 5.0,
                                  11)
             : scenes::renderDisc(size, rendered(truth), k.radius, in, out, 1.0, 5.0, 11);
  const cv::Point2f start(static_cast<float>(truth.x - 3.2), static_cast<float>(truth.y + 2.6));
  const int toBorder =
      static_cast<int>(std::min({start.x, start.y, size.width - start.x, size.height - start.y}));
  const CircleDetector d = detector(k.radius > 200 ? 100 : 0, toBorder - 50,
                                    k.brightInside ? Polarity::White2Black : Polarity::Black2White);
  cv::Vec3f c(0, 0, 0);
  EXPECT_GT(std::fabs(d.detect(img, start, c)), 50);
  EXPECT_LT(std::hypot(c[0] - truth.x, c[1] - truth.y), 0.05);
  EXPECT_NEAR(c[2], k.radius, 0.05);
}

// The last region is over 2000 pixels wide, so the search runs at an eighth of the resolution.
INSTANTIATE_TEST_SUITE_P(DiscsAndRings, CircleAccuracy,
                         ::testing::ValuesIn(std::vector<AccuracyCase>{
                             {"DarkDisc30", 30.0, false, false},
                             {"BrightRing30", 30.0, true, true},
                             {"DarkRing55", 55.5, false, true},
                             {"BrightDisc97", 97.3, true, false},
                             {"DarkRing251", 251.7, false, true},
                             {"BrightDisc420", 420.4, true, false},
                             {"BrightDisc930", 930.3, true, false}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CircleDetector, PolarityAndFindByPickTheRingsInImageCoordinates) {
  // Two bright rings on a dark background around (150.6, 140.2): edges at 40 (+), 55 (-),
  // 80 (+) and 95 (-); + where the inside is darker.
  scenes::Scene rings({300, 280}, 40);
  rings.disc(rendered({150.6, 140.2}), 95, 200);
  rings.disc(rendered({150.6, 140.2}), 80, 40);
  rings.disc(rendered({150.6, 140.2}), 55, 200);
  rings.disc(rendered({150.6, 140.2}), 40, 40);
  const cv::Mat img = rings.render(1.0, 5.0, 9);
  const cv::Point2f start(149, 141);
  const auto radii = [&](Polarity p, FindBy f, int maxCount) {
    std::vector<cv::Vec3f> circles;
    std::vector<float> scores;
    const size_t n =
        detector(20, 120, p, f, 20).detectMany(img, start, &circles, &scores, nullptr, 0, maxCount);
    EXPECT_TRUE(n == circles.size() && n == scores.size()) << n;
    std::vector<int> out;
    for (const cv::Vec3f& c : circles) {
      EXPECT_LE(cv::norm(c - cv::Vec3f(150.6f, 140.2f, c[2]), cv::NORM_INF), 0.3) << c;
      out.push_back(cvRound(c[2]));
    }
    return out;
  };
  using V = std::vector<int>;
  EXPECT_EQ(radii(Polarity::Either, FindBy::All, 2), (V{40, 55, 80, 95}));
  EXPECT_EQ(radii(Polarity::Either, FindBy::Innermost, 3), (V{40, 55, 80}));
  EXPECT_EQ(radii(Polarity::Either, FindBy::Outermost, 3), (V{95, 80, 55}));
  EXPECT_EQ(radii(Polarity::Black2White, FindBy::All, 4), (V{40, 80}));
  EXPECT_EQ(radii(Polarity::White2Black, FindBy::Outermost, 1), V{95});
  // "As many as there are".
  EXPECT_EQ(radii(Polarity::Either, FindBy::Innermost, INT_MAX), (V{40, 55, 80, 95}));
  // With every output null the search still runs and counts the radius peaks.
  EXPECT_EQ(detector(20, 120, Polarity::Either, FindBy::All, 20)
                .detectMany(img, start, nullptr, nullptr, nullptr, 0, 4),
            4);
  cv::Vec3f c(0, 0, 0);
  EXPECT_LT(detector(20, 120, Polarity::White2Black, FindBy::Innermost, 20).detect(img, start, c),
            0);
  EXPECT_LT(cv::norm(c - cv::Vec3f(150.6f, 140.2f, c[2]), cv::NORM_INF), 0.1) << c;  // the centre
  EXPECT_NEAR(c[2], 55, 0.15);
}

TEST(CircleDetector, AnnulusBeyondTheImageIgnoresTheFillAndTooNarrowAnImageTouchesNothing) {
  // The annulus reaches 15 pixels past the left border; the crop fills them with 0, an edge far
  // stronger than the faint disc on this bright image. Left in, it would set the score scale
  // and pull the centre; the detector keeps it out of the search.
  const cv::Mat faint =
      scenes::renderDisc({300, 200}, rendered({75.4, 100.3}), 60, 215, 230, 1.0, 5.0, 5);
  cv::Vec3f c(0, 0, 0);
  EXPECT_GT(detector(0, 90, Polarity::Either).detect(faint, {75, 100}, c), 30);
  EXPECT_LT(cv::norm(c - cv::Vec3f(75.4f, 100.3f, 60), cv::NORM_INF), 0.1) << c;

  // 200 columns for maxRadius 100: the search runs, though the annulus square, 201 wide, sticks
  // out by a column that the crop fills with 0, a false outermost edge on this bright image.
  const cv::Mat limit =
      scenes::renderDisc({200, 300}, rendered({100, 150.2}), 80, 30, 220, 1.0, 5.0, 6);
  const CircleDetector d = detector(0, 100, Polarity::Either, FindBy::Outermost, 20);
  std::vector<float> profile;
  EXPECT_GT(d.detect(limit, {100, 150}, c, &profile), 0);
  EXPECT_EQ(profile.size(), 51u);  // radii 0..50 of the half-size image
  EXPECT_NEAR(c[2], 80, 0.1);
  // One column fewer: nothing runs and no output is touched.
  const cv::Mat narrow = limit.colRange(0, 199);
  c = {7, 7, 7};
  profile = {1, 2};
  std::vector<cv::Vec3f> circles = {{1, 2, 3}};
  std::vector<float> scores = {4};
  EXPECT_EQ(d.detect(narrow, {99.5f, 150}, c, &profile), 0.f);
  EXPECT_EQ(d.detectMany(narrow, {99.5f, 150}, &circles, &scores, &profile, 0, 3), 0);
  EXPECT_EQ(c, cv::Vec3f(7, 7, 7));
  EXPECT_EQ(profile, (std::vector<float>{1, 2}));
  EXPECT_EQ(circles.size(), 1u);
  EXPECT_EQ(scores, std::vector<float>{4});
}

TEST(CircleDetector, ThreeAndFourChannelsAreSearchedAsTheirGrey) {
  const cv::Mat img =
      scenes::renderDisc({600, 450}, rendered({310.4, 205.7}), 70, 40, 180, 1.0, 5.0, 8);
  const CircleDetector d = detector(30, 110, Polarity::Black2White);
  for (int channels : {3, 4}) {
    // Channels of their own, so that a single one is not their grey.
    std::vector<cv::Mat> planes = {img, img, 255 - img, img / 2};
    planes.resize(channels);
    cv::Mat colour, grey;
    cv::merge(planes, colour);
    cv::cvtColor(colour, grey, channels == 3 ? cv::COLOR_BGR2GRAY : cv::COLOR_BGRA2GRAY);
    cv::Vec3f inGrey(0, 0, 0), inColour(0, 0, 0);
    const float score = d.detect(grey, {305, 210}, inGrey);
    EXPECT_GT(score, 0);
    EXPECT_EQ(d.detect(colour, {305, 210}, inColour), score) << channels;
    EXPECT_EQ(inColour, inGrey) << channels;
  }
}

// Unsupported input, and settings and centres far beyond any image: reported or refused before
// anything is sized by them, nothing found, the circle untouched.
TEST(CircleDetector, BadInputAndHostileSettingsFindNothing) {
  const cv::Mat grey =
      scenes::renderDisc({240, 240}, rendered({120.2, 119.6}), 80, 50, 200, 1.0, 5.0, 3);
  const CircleDetector d = detector(0, 100, Polarity::Either);
  AssertCapture capture;
  cv::Vec3f c(0, 0, 0);
  std::vector<float> profile;
  EXPECT_EQ(d.detect(cv::Mat(240, 240, CV_8UC2, cv::Scalar(0, 0)), {120, 120}, c), 0.f);
  EXPECT_TRUE(capture.contains("unsupported image conversion."));
  CircleDetector hough = d;
  hough.setMethod(HoughCircle);
  EXPECT_EQ(hough.detect(grey, {120, 120}, c), 0.f);
  EXPECT_EQ(hough.detectMany(grey, {120, 120}, nullptr, nullptr, nullptr, 0, 2), 0);
  EXPECT_TRUE(capture.contains("Unexpected algorithm type, or it's not implemented."));
  // A negative inner radius is refused before the annulus is cut (it would cut a disc of that
  // magnitude, or overflow the region's geometry).
  CircleDetector negative = detector(-2000000000, 100, Polarity::Either);
  EXPECT_EQ(negative.detect(grey, {120, 120}, c, &profile), 0.f);
  EXPECT_EQ(negative.detectMany(grey, {120, 120}, nullptr, nullptr, &profile, 0, 2), 0);
  EXPECT_TRUE(capture.contains("minRadius_ >= 0 (-2000000000 vs 0)"));
  // A centre that is no number, or one far outside the image: nothing to search, no overflow.
  EXPECT_EQ(d.detect(grey, {NAN, 120}, c), 0.f);
  EXPECT_TRUE(capture.contains("std::isfinite(center.x) && std::isfinite(center.y)"));
  EXPECT_EQ(d.detectMany(grey, {120, INFINITY}, nullptr, nullptr, nullptr, 0, 2), 0);
  EXPECT_EQ(d.detect(grey, {1e30f, 1e30f}, c), 0.f);
  EXPECT_EQ(d.detectMany(grey, {-3e9f, 120}, nullptr, nullptr, nullptr, 0, 2), 0);
  CircleDetector extreme = d;
  extreme.setRadiusRange(0, INT_MAX);
  EXPECT_EQ(extreme.detect(grey, {120, 120}, c), 0.f);
  // An edge wider than the region cannot be found in it (a kernel that wide spreads every vote
  // over every radius and picks a wrong one).
  CircleDetector blurry = detector(40, 100, Polarity::Either);
  blurry.setEdgeWidth(1000000);
  EXPECT_EQ(blurry.detect(grey, {120, 120}, c), 0.f);
  EXPECT_TRUE(capture.contains("edgeWidth_ <= std::max(grey.cols, grey.rows)"));

  // In a region: the profile ends at the region's diagonal, whatever the range.
  const cv::Mat small = grey(cv::Rect(88, 88, 64, 64));
  CircleDetector wide = detector(0, 1 << 30, Polarity::Either);
  wide.detectInRoi(small, c, &profile, cv::Mat());
  EXPECT_GT(profile.size(), 0u);
  EXPECT_LE(profile.size(), 92u);  // hypot(64, 64) / step 1, plus one
  // A region smaller than the reduction step (8 here) finds nothing instead of throwing.
  CircleDetector coarse = detector(1000, 1200, Polarity::Either);
  EXPECT_NO_THROW(
      EXPECT_EQ(coarse.detectInRoi(grey(cv::Rect(0, 0, 5, 5)), c, nullptr, cv::Mat()), 0.f));
  EXPECT_NO_THROW(EXPECT_EQ(coarse.detectManyInRoi(grey(cv::Rect(0, 0, 7, 3)), nullptr, nullptr,
                                                   &profile, 0, 3, cv::Mat()),
                            0));
}

// The classes' own accessors and the registry's named functions share one set of instances.
template <class T>
void expectInstancesShared(const char* moduleName) {
  const std::shared_ptr<T> a = T::getInstance("shared");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<T>(getModuleInstance(moduleName, "shared")), a);
  EXPECT_TRUE(T::releaseInstance("shared"));
  EXPECT_FALSE(releaseModuleInstance(moduleName, "shared"));
  const auto mine = std::make_shared<T>();
  EXPECT_TRUE(T::setInstance("shared", mine));
  EXPECT_EQ(getModuleInstance(moduleName, "shared"), mine);
  EXPECT_TRUE(releaseModuleInstance(moduleName, "shared"));
  EXPECT_FALSE(T::releaseInstance("shared"));
}

TEST(CircleDetector, SharedInstancesLiveInTheRegisteredModules) {
  expectInstancesShared<CircleDetector>(kCircleDetectorModuleName);
  expectInstancesShared<DetectRoi>(kDetectRoiModuleName);
}

}  // namespace
}  // namespace vistrel
