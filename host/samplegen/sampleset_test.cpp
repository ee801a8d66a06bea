#include "samplegen/sampleset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

namespace ws = wheelhost::samples;

TEST(SampleSet, EveryWheelLiesWellInsideItsImage) {
  const auto& models = ws::bundledModels();
  std::set<std::string> files;
  int wheels = 0, halved = 0;
  for (const ws::Shot& s : ws::bundledShots()) {
    EXPECT_TRUE(files.insert(s.file).second) << "repeated file " << s.file;
    if (s.model < 0) continue;
    ++wheels;
    const double r = s.radiusPx(models);
    // The refinement searches radii up to the centre's border distance minus 50 px.
    const double margin =
        std::min({s.centre.x - r, s.centre.y - r, s.size.width - 1 - s.centre.x - r,
                  s.size.height - 1 - s.centre.y - r});
    EXPECT_GE(margin, 80.0) << s.file;
    // Cut-outs of 900 px or more are halved, and so is the radius behind the diameter: the
    // fine camera's wheels must be that large and the coarse camera's smaller, so that one
    // "d2h" gives every wheel its catalogue diameter.
    const bool big = 2.0 * r >= 900.0;
    halved += big;
    const double measured = ws::kMmPerPixel * 2.0 * (big ? r / 2.0 : r);
    EXPECT_NEAR(measured, models[s.model].diameterMm, 1e-9) << s.file;
  }
  EXPECT_GE(wheels, 3 * static_cast<int>(models.size()));
  EXPECT_GE(halved, 1);
  // Diameters further apart than the analysis' 15 mm tolerance.
  for (size_t i = 0; i < models.size(); ++i) {
    for (size_t j = i + 1; j < models.size(); ++j) {
      EXPECT_GT(std::abs(models[i].diameterMm - models[j].diameterMm), 15.0);
    }
  }
}

TEST(SampleSet, ShotPixelsAgreeWithTheirTruth) {
  const auto& models = ws::bundledModels();
  const ws::Shot* grey = nullptr;
  const ws::Shot* colour = nullptr;
  for (const ws::Shot& s : ws::bundledShots()) {
    if (s.model >= 0 && s.size.width == 1280 && !s.colour && !grey) grey = &s;
    if (s.colour && !colour) colour = &s;
  }
  ASSERT_TRUE(grey && colour);

  const cv::Mat img = ws::renderShot(*grey);
  ASSERT_EQ(img.type(), CV_8UC1);
  ASSERT_EQ(img.size(), grey->size);
  const double r = grey->radiusPx(models);
  const auto at = [&](double dx, double dy) {
    return img.at<uchar>(cvRound(grey->centre.y + dy), cvRound(grey->centre.x + dx));
  };
  // Bore (15) at the centre, rim (200) just inside the outline, dim belt just outside it;
  // noise has a sigma of 4 grey levels.
  EXPECT_LT(at(0, 0), 40);
  EXPECT_GT(at(0.95 * r, 0), 170);
  EXPECT_GT(at(0, -0.95 * r), 170);
  EXPECT_LT(at(-1.08 * r, 0), 110);
  EXPECT_LT(at(0, 1.08 * r), 110);
  EXPECT_EQ(cv::norm(img, ws::renderShot(*grey), cv::NORM_INF), 0.0);

  const cv::Mat bgr = ws::renderShot(*colour);
  ASSERT_EQ(bgr.type(), CV_8UC3);
  const cv::Vec3b px = bgr.at<cv::Vec3b>(
      cvRound(colour->centre.y), cvRound(colour->centre.x + 0.95 * colour->radiusPx(models)));
  EXPECT_GT(px[0], 170);
  EXPECT_NEAR(px[2], 0.7 * px[0], 1.0);
}

TEST(SampleSet, TemplateIsTheSquareAroundTheWheel) {
  const cv::Mat t = ws::renderTemplate(ws::bundledModels()[0], 50);
  ASSERT_EQ(t.size(), cv::Size(100, 100));
  // The rim touches the square's edges; the corners lie outside the wheel.
  EXPECT_GT(t.at<uchar>(50, 2), 150);
  EXPECT_GT(t.at<uchar>(2, 50), 150);
  EXPECT_LT(t.at<uchar>(3, 3), 60);
  EXPECT_LT(t.at<uchar>(50, 50), 40);  // the bore
}

}  // namespace
