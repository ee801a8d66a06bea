#include "samplegen/sampleset.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A colour shot is tinted, so that an analysis of the wrong channel cannot pass for the right.
TEST(SampleSet, ColourShotIsBluish) {
  const auto& shots = ws::bundledShots();
  const auto colour =
      std::find_if(shots.begin(), shots.end(), [](const ws::Shot& s) { return s.colour; });
  ASSERT_NE(colour, shots.end());
  std::vector<cv::Mat> bgr;
  cv::split(ws::renderShot(*colour), bgr);
  ASSERT_EQ(bgr.size(), 3u);
  EXPECT_NEAR(cv::mean(bgr[1])[0], 0.85 * cv::mean(bgr[0])[0], 0.5);
  EXPECT_NEAR(cv::mean(bgr[2])[0], 0.7 * cv::mean(bgr[0])[0], 0.5);
}

}  // namespace
