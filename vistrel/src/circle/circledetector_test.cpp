#include "vistrel/circledetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
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

// Two bright rings on a dark background around (150.6, 140.2): edges at 40 (+), 55 (-),
// 80 (+) and 95 (-); + where the inside is darker.
const cv::Point2d kRingsCentre(150.6, 140.2);
cv::Mat twoRings() {
  scenes::Scene s({300, 280}, 40);
  s.disc(rendered(kRingsCentre), 95, 200);
  s.disc(rendered(kRingsCentre), 80, 40);
  s.disc(rendered(kRingsCentre), 55, 200);
  s.disc(rendered(kRingsCentre), 40, 40);
  return s.render(1.0, 5.0, 9);
}

TEST(CircleDetector, SettersKeepRefusedValues) {
  CircleDetector d;
  AssertCapture capture;
  d.setPolarity(Polarity::White2Black);
  d.setPolarity(static_cast<Polarity>(3));
  EXPECT_EQ(d.polarity(), Polarity::White2Black);
  EXPECT_TRUE(capture.contains("val >= Polarity::Black2White && val <= Polarity::Either"));
  d.setFindBy(FindBy::All);
  d.setFindBy(static_cast<FindBy>(-1));
  EXPECT_EQ(d.findBy(), FindBy::All);
  EXPECT_TRUE(capture.contains("val >= FindBy::Best && val <= FindBy::All"));
  d.setAcceptThreshold(40);
  d.setAcceptThreshold(101);
  d.setAcceptThreshold(-1);
  EXPECT_EQ(d.acceptThreshold(), 40);
  EXPECT_TRUE(capture.contains("val >= 0 && val <= 100"));
  d.setMethod(HoughCircle);
  d.setMethod(static_cast<CircleMethod>(2));
  EXPECT_EQ(d.method(), HoughCircle);
  EXPECT_TRUE(capture.contains("val >= HoughCircle && val <= PeakCircle"));
  d.setPrecisionPreset(3);
  d.setPrecisionPreset(4);
  EXPECT_EQ(d.precisionPreset(), 3);
  EXPECT_TRUE(capture.contains("val >= -1 && val <= 3"));
  EXPECT_EQ(capture.messages().size(), 6u);
  d.setEdgeWidth(-7);  // any value is stored
  EXPECT_EQ(d.edgeWidth(), -7);
  d.setRadiusRange(80, 20);
  EXPECT_EQ(d.minRadius(), 20);
  EXPECT_EQ(d.maxRadius(), 80);

  EXPECT_EQ(CircleDetector::precisionCode(0, false), 0x11);
  EXPECT_EQ(CircleDetector::precisionCode(1, true), 0x22);
  EXPECT_EQ(CircleDetector::precisionCode(2, false), 0x23);
  EXPECT_EQ(CircleDetector::precisionCode(3, true), 0x44);
  EXPECT_EQ(CircleDetector::precisionCode(7, false), 0);
  EXPECT_EQ(CircleDetector::precisionCode(-1, false), 0x23);
  EXPECT_EQ(CircleDetector::precisionCode(-1, true), 0x11);
}

// Discs and rings of known geometry, as the analysis searches them: the start centre a few
// pixels off, the radius range from 0 (or a filter size) to the distance from the start centre
// to the nearest border less 50, blur 1 pixel, noise sigma 5.
TEST(CircleDetector, MeasuresDiscsAndRingsToAFractionOfAPixel) {
  struct Case {
    double radius;
    bool brightInside;
    bool ring;
  };
  // Large radii take one polarity each, to keep the images few; the last region is over 2000
  // pixels wide, so the search runs at an eighth of the resolution there.
  const Case cases[] = {
      {30.0, false, false},  {30.0, true, true},   {55.5, true, false},  {55.5, false, true},
      {97.3, false, false},  {97.3, true, false},  {160.2, true, true},  {160.2, false, false},
      {251.7, false, true},  {251.7, true, false}, {420.4, true, false}, {420.4, false, true},
      {640.9, false, false}, {930.3, true, false},
  };

  std::vector<double> centreErr, radiusErr;
  for (const Case& k : cases) {
    // Room for the search: 80 pixels beyond the radius on the nearest side, then the border.
    const int margin = 80 + 50;
    const cv::Size size(static_cast<int>(2 * (k.radius + margin)) + 37,
                        static_cast<int>(2 * (k.radius + margin)));
    const cv::Point2d truth(size.width / 2.0 + 7.31, size.height / 2.0 - 0.43);
    const double in = k.brightInside ? 190 : 60, out = k.brightInside ? 60 : 190;
    cv::Mat img;
    if (k.ring) {
      // The ring's inner edge is the measured one; its outer edge lies 40 pixels out.
      img =
          scenes::renderRing(size, rendered(truth), k.radius, k.radius + 40, out, in, 1.0, 5.0, 11);
    } else {
      img = scenes::renderDisc(size, rendered(truth), k.radius, in, out, 1.0, 5.0, 11);
    }
    const cv::Point2f start(static_cast<float>(truth.x - 3.2), static_cast<float>(truth.y + 2.6));
    const int toBorder =
        static_cast<int>(std::min({start.x, start.y, size.width - start.x, size.height - start.y}));
    const int minRadius = k.radius > 200 ? 100 : 0;
    CircleDetector d = detector(minRadius, toBorder - 50,
                                k.brightInside ? Polarity::White2Black : Polarity::Black2White);
    cv::Vec3f c(0, 0, 0);
    const float score = d.detect(img, start, c);
    EXPECT_GT(std::fabs(score), 50) << k.radius;
    const double ec = std::hypot(c[0] - truth.x, c[1] - truth.y), er = std::fabs(c[2] - k.radius);
    EXPECT_LT(ec, 0.25) << "radius " << k.radius << " bright " << k.brightInside;
    EXPECT_LT(er, 0.25) << "radius " << k.radius << " bright " << k.brightInside;
    centreErr.push_back(ec);
    radiusErr.push_back(er);
  }
  const auto median = [](std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  // A twentieth of a pixel on clean edges is the mark of a good sub-pixel circle tool.
  EXPECT_LT(median(centreErr), 0.05);
  EXPECT_LT(median(radiusErr), 0.05);
  std::printf("centre error: median %.4f, worst %.4f; radius error: median %.4f, worst %.4f\n",
              median(centreErr), *std::max_element(centreErr.begin(), centreErr.end()),
              median(radiusErr), *std::max_element(radiusErr.begin(), radiusErr.end()));
}

TEST(CircleDetector, PolarityAndFindByPickTheRightEdge) {
  const cv::Mat img = twoRings();
  const cv::Point2f start(152, 139);
  const auto radius = [&](Polarity p, FindBy f) {
    cv::Vec3f c(0, 0, 0);
    const float score = detector(20, 120, p, f, 20).detect(img, start, c);
    EXPECT_NE(score, 0.f);
    EXPECT_NEAR(c[0], kRingsCentre.x, 0.1);
    EXPECT_NEAR(c[1], kRingsCentre.y, 0.1);
    return c[2];
  };
  EXPECT_NEAR(radius(Polarity::Black2White, FindBy::Innermost), 40, 0.15);
  EXPECT_NEAR(radius(Polarity::Black2White, FindBy::Outermost), 80, 0.15);
  EXPECT_NEAR(radius(Polarity::White2Black, FindBy::Innermost), 55, 0.15);
  EXPECT_NEAR(radius(Polarity::White2Black, FindBy::Outermost), 95, 0.15);

  // The wrong polarity on a single disc finds nothing or another edge, never the disc's.
  const cv::Mat disc =
      scenes::renderDisc({200, 200}, rendered({100.3, 99.1}), 60, 200, 50, 1.0, 5.0, 2);
  cv::Vec3f c(0, 0, 0);
  const float score = detector(0, 90, Polarity::Black2White).detect(disc, {100, 100}, c);
  EXPECT_TRUE(score == 0 || std::fabs(c[2] - 60) > 3) << score << " " << c[2];
  EXPECT_GE(score, 0.f);
}

TEST(CircleDetector, DetectManyReportsRingsInFindByOrder) {
  const cv::Mat img = twoRings();
  const cv::Point2f start(149, 141);
  const auto radii = [&](Polarity p, FindBy f, int maxCount) {
    std::vector<cv::Vec3f> circles;
    std::vector<float> scores;
    const int n =
        detector(20, 120, p, f, 20).detectMany(img, start, &circles, &scores, nullptr, 0, maxCount);
    EXPECT_EQ(n, static_cast<int>(circles.size()));
    EXPECT_EQ(scores.size(), circles.size());
    std::vector<int> out;
    for (const cv::Vec3f& c : circles) {
      EXPECT_NEAR(c[0], kRingsCentre.x, 0.3);  // image coordinates
      EXPECT_NEAR(c[1], kRingsCentre.y, 0.3);
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
  // Best: the largest absolute score first; every edge has the same contrast, so only the
  // set is fixed.
  V best = radii(Polarity::Either, FindBy::Best, 4);
  std::sort(best.begin(), best.end());
  EXPECT_EQ(best, (V{40, 55, 80, 95}));

  // "As many as there are".
  EXPECT_EQ(radii(Polarity::Either, FindBy::Innermost, INT_MAX), (V{40, 55, 80, 95}));
  // With every output null the search still runs and counts the radius peaks.
  EXPECT_EQ(detector(20, 120, Polarity::Either, FindBy::All, 20)
                .detectMany(img, start, nullptr, nullptr, nullptr, 0, 4),
            4);
}

TEST(CircleDetector, ImageSmallerThanTheAnnulusTouchesNothing) {
  const cv::Mat narrow =
      scenes::renderDisc({199, 300}, rendered({99.5, 150}), 60, 50, 200, 1.0, 0, 1);
  const CircleDetector d = detector(0, 100, Polarity::Either);
  cv::Vec3f c(7, 7, 7);
  std::vector<float> profile = {1, 2};
  std::vector<cv::Vec3f> circles = {{1, 2, 3}};
  std::vector<float> scores = {4};
  EXPECT_EQ(d.detect(narrow, {99.5f, 150}, c, &profile), 0.f);
  EXPECT_EQ(d.detectMany(narrow, {99.5f, 150}, &circles, &scores, &profile, 0, 3), 0);
  EXPECT_EQ(c, cv::Vec3f(7, 7, 7));
  EXPECT_EQ(profile, (std::vector<float>{1, 2}));
  EXPECT_EQ(circles.size(), 1u);
  EXPECT_EQ(scores, std::vector<float>{4});
  // 200 columns: the search runs (the annulus square, 201 wide, sticks out by a column).
  const cv::Mat wide = scenes::renderDisc({200, 300}, rendered({100, 150}), 60, 50, 200, 1.0, 0, 1);
  c = {0, 0, 0};
  EXPECT_GT(d.detect(wide, {100, 150}, c, &profile), 50);
  EXPECT_EQ(profile.size(), 51u);  // radii 0..50 of the half-size image
  EXPECT_NEAR(c[2], 60, 0.1);
}

TEST(CircleDetector, AnnulusPastTheImageBorderIgnoresTheFill) {
  // The annulus reaches 15 pixels past the left border; the crop fills them with 0, an edge far
  // stronger than the faint disc on this bright image. Left in, it would set the score scale
  // and pull the centre; the detector keeps it out of the search.
  const cv::Point2d truth(75.4, 100.3);
  const cv::Mat img = scenes::renderDisc({300, 200}, rendered(truth), 60, 215, 230, 1.0, 5.0, 5);
  cv::Vec3f c(0, 0, 0);
  EXPECT_GT(detector(0, 90, Polarity::Either).detect(img, {75, 100}, c), 30);
  EXPECT_NEAR(c[0], truth.x, 0.1);
  EXPECT_NEAR(c[1], truth.y, 0.1);
  EXPECT_NEAR(c[2], 60, 0.1);
  // The same at the image-size limit: the square is one column wider than the image.
  const cv::Point2d t2(100, 150.2);
  const cv::Mat limit = scenes::renderDisc({200, 300}, rendered(t2), 80, 30, 220, 1.0, 5.0, 6);
  c = {0, 0, 0};
  EXPECT_GT(detector(0, 100, Polarity::Either, FindBy::Outermost, 20).detect(limit, {100, 150}, c),
            0);
  EXPECT_NEAR(c[2], 80, 0.1);
}

TEST(CircleDetector, RegionResultsComeBackInImageCoordinates) {
  const cv::Point2d truth(310.4, 205.7);
  const cv::Mat img = scenes::renderDisc({600, 450}, rendered(truth), 70, 40, 180, 1.0, 5.0, 8);
  const cv::Point2f start(305, 210);
  const CircleDetector d = detector(30, 110, Polarity::Black2White);
  // The region by hand: the same annulus, searched in its own coordinates.
  DetectRoi roi;
  roi.addRoi({start, start + cv::Point2f(0, 30), start + cv::Point2f(0, 110)},
             DetectRoi::ShapeType::Annulus);
  cv::Mat mask;
  const cv::Mat roiImage = roi.getRoiImage(img, &mask);
  const cv::Rect rect = roi.getRoiRect();
  ASSERT_GT(rect.x, 0);
  ASSERT_GT(rect.y, 0);
  cv::Vec3f inRoi(0, 0, 0), inImage(0, 0, 0);
  const float s1 = d.detectInRoi(roiImage, inRoi, nullptr, mask);
  const float s2 = d.detect(img, start, inImage);
  EXPECT_EQ(s1, s2);
  EXPECT_FLOAT_EQ(inImage[0], inRoi[0] + rect.x);
  EXPECT_FLOAT_EQ(inImage[1], inRoi[1] + rect.y);
  EXPECT_EQ(inImage[2], inRoi[2]);
  EXPECT_NEAR(inImage[0], truth.x, 0.1);
  EXPECT_NEAR(inImage[1], truth.y, 0.1);

  std::vector<cv::Vec3f> many;
  ASSERT_EQ(d.detectMany(img, start, &many, nullptr, nullptr, 0, 1), 1);
  EXPECT_NEAR(many[0][0], truth.x, 0.3);
  EXPECT_NEAR(many[0][1], truth.y, 0.3);
}

TEST(CircleDetector, ColourImagesAndUnsupportedInput) {
  const cv::Mat grey =
      scenes::renderDisc({240, 240}, rendered({120.2, 119.6}), 80, 50, 200, 1.0, 5.0, 3);
  const CircleDetector d = detector(0, 100, Polarity::Either);
  cv::Vec3f g(0, 0, 0), bgr(0, 0, 0), bgra(0, 0, 0);
  cv::Mat three, four;
  cv::cvtColor(grey, three, cv::COLOR_GRAY2BGR);
  cv::cvtColor(grey, four, cv::COLOR_GRAY2BGRA);
  const float sg = d.detect(grey, {120, 120}, g);
  EXPECT_EQ(d.detect(three, {120, 120}, bgr), sg);
  EXPECT_EQ(d.detect(four, {120, 120}, bgra), sg);
  EXPECT_EQ(bgr, g);
  EXPECT_EQ(bgra, g);

  AssertCapture capture;
  cv::Mat two(240, 240, CV_8UC2, cv::Scalar(0, 0));
  cv::Vec3f c(0, 0, 0);
  EXPECT_EQ(d.detect(two, {120, 120}, c), 0.f);
  EXPECT_TRUE(capture.contains("unsupported image conversion."));
  CircleDetector hough = d;
  hough.setMethod(HoughCircle);
  EXPECT_EQ(hough.detect(grey, {120, 120}, c), 0.f);
  EXPECT_EQ(hough.detectMany(grey, {120, 120}, nullptr, nullptr, nullptr, 0, 2), 0);
  EXPECT_TRUE(capture.contains("Unexpected algorithm type, or it's not implemented."));
  CircleDetector negative = d;
  negative.setRadiusRange(-20, 100);
  EXPECT_EQ(negative.detect(grey, {120, 120}, c), 0.f);
  EXPECT_TRUE(capture.contains("minRadius_ >= 0 (-20 vs 0)"));
  // A centre that is no number, or one far outside the image, finds nothing.
  EXPECT_EQ(d.detect(grey, {NAN, 120}, c), 0.f);
  EXPECT_TRUE(capture.contains("std::isfinite(center.x) && std::isfinite(center.y)"));
  EXPECT_EQ(d.detectMany(grey, {120, INFINITY}, nullptr, nullptr, nullptr, 0, 2), 0);
  EXPECT_EQ(d.detect(grey, {-5000, -5000}, c), 0.f);
  // Extreme settings: no overflow, no result.
  CircleDetector extreme = d;
  extreme.setRadiusRange(0, INT_MAX);
  EXPECT_EQ(extreme.detect(grey, {120, 120}, c), 0.f);
  extreme.setRadiusRange(0, 100);
  extreme.setEdgeWidth(INT_MAX);
  extreme.detect(grey, {120, 120}, c);  // runs; a kernel this wide spreads every vote everywhere
  c = {0, 0, 0};
  // A mask of the wrong size is refused rather than read out of bounds.
  EXPECT_EQ(d.detectInRoi(grey, c, nullptr, cv::Mat(10, 10, CV_8UC1)), 0.f);
  EXPECT_EQ(c, cv::Vec3f(0, 0, 0));
}

// Settings and centres far beyond any image: refused before anything is sized by them.
TEST(CircleDetector, HostileSettingsAreRefusedBeforeTheyAllocate) {
  const cv::Mat grey =
      scenes::renderDisc({240, 240}, rendered({120.2, 119.6}), 80, 50, 200, 1.0, 5.0, 3);
  AssertCapture capture;
  cv::Vec3f c(0, 0, 0);
  std::vector<float> profile;
  // A negative inner radius is refused before the annulus is cut (it would cut a disc of that
  // magnitude, or overflow the region's geometry).
  CircleDetector negative = detector(-2000000000, 100, Polarity::Either);
  EXPECT_EQ(negative.detect(grey, {120, 120}, c, &profile), 0.f);
  EXPECT_EQ(negative.detectMany(grey, {120, 120}, nullptr, nullptr, &profile, 0, 2), 0);
  EXPECT_TRUE(capture.contains("minRadius_ >= 0 (-2000000000 vs 0)"));
  // A centre far outside: nothing to search, no overflow.
  const CircleDetector d = detector(0, 100, Polarity::Either);
  EXPECT_EQ(d.detect(grey, {1e30f, 1e30f}, c), 0.f);
  EXPECT_EQ(d.detectMany(grey, {-3e9f, 120}, nullptr, nullptr, nullptr, 0, 2), 0);
  EXPECT_EQ(c, cv::Vec3f(0, 0, 0));

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

  // An edge wider than the region cannot be found in it: reported, no circle (a kernel that
  // wide spreads every vote over every radius and picks a wrong one).
  CircleDetector blurry = detector(40, 100, Polarity::Either);
  blurry.setEdgeWidth(1000000);
  EXPECT_EQ(blurry.detect(grey, {120, 120}, c), 0.f);
  EXPECT_EQ(c, cv::Vec3f(0, 0, 0));
  EXPECT_TRUE(capture.contains("edgeWidth_ <= std::max(grey.cols, grey.rows)"));
}

TEST(CircleDetector, SharedInstancesByName) {
  const std::shared_ptr<CircleDetector> a = CircleDetector::getInstance("wheel");
  ASSERT_NE(a, nullptr);
  a->setRadiusRange(10, 20);
  EXPECT_EQ(CircleDetector::getInstance("wheel"), a);
  const std::shared_ptr<IVistrelModuleInstance> viaRegistry =
      getModuleInstance(kCircleDetectorModuleName, "wheel");
  EXPECT_EQ(std::dynamic_pointer_cast<CircleDetector>(viaRegistry), a);
  EXPECT_TRUE(CircleDetector::releaseInstance("wheel"));
  EXPECT_FALSE(CircleDetector::releaseInstance("wheel"));
  EXPECT_EQ(a->maxRadius(), 20);  // the holder keeps it alive
  EXPECT_NE(CircleDetector::getInstance("wheel"), a);
  EXPECT_TRUE(CircleDetector::setInstance("wheel", a));
  EXPECT_EQ(CircleDetector::getInstance("wheel"), a);
  EXPECT_TRUE(CircleDetector::releaseInstance("wheel"));
}

}  // namespace
}  // namespace vistrel
