// The localisation's opt-in keys over the regression set's wheels: "RobustRefine" must turn no
// located wheel into a miss and keep the centres as sharp as they are without it;
// "CoarseQuarter" must locate the same wheels as the half-size search, on the same circle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "regressionset.h"
#include "wheellocalisation.h"

namespace fluorescence {
namespace {

struct Located {
  bool located = false;
  double centreError = 0.0;
  cv::Point2f centre;
  double radius = 0.0;
};

Located localise(const regression::Scene& s, const cv::Mat& image, bool robust,
                 bool quarter = false) {
  // Polarity, acceptance, edge width, smallest radius and the keys, as the analysis reads them.
  const CircleParams params{s.polarity, s.acceptance, s.edgeWidth, s.filterSize, robust, quarter};
  Located out;
  cv::Point2f& centre = out.centre;
  double& radius = out.radius;
  try {
    if (localiseWheel(image, s.equalize, s.filterSize, params, centre, radius).empty()) return out;
  } catch (const cv::Exception&) {
    return out;  // a cut-out past the border ends the analysis call: not located
  }
  out.centreError = std::hypot(centre.x - s.centre.x, centre.y - s.centre.y);
  out.located =
      out.centreError <= 0.01 * s.radius && std::abs(radius - s.radius) <= 0.01 * s.radius;
  return out;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : (v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2;
}

// Each scene is rendered once for all three searches.
TEST(LocalisationKeysOnTheRegressionSet, RobustRefineLosesNoWheelAndCoarseQuarterMovesNoCircle) {
  std::vector<double> plain, robust;
  int quarterLocated = 0, wheels = 0;
  double centreShift = 0.0, radiusShift = 0.0;
  for (const regression::Scene& s : regression::scenes()) {
    if (!s.hasWheel) continue;
    ++wheels;
    const cv::Mat image = s.render();
    const Located half = localise(s, image, false), refined = localise(s, image, true),
                  quarter = localise(s, image, false, true);
    EXPECT_TRUE(refined.located || !half.located)
        << s.name << ": located without the key, not with it";
    if (half.located) plain.push_back(half.centreError);
    if (refined.located) robust.push_back(refined.centreError);
    EXPECT_EQ(quarter.located, half.located) << s.name;
    if (!half.located || !quarter.located) continue;
    ++quarterLocated;
    centreShift = std::max(centreShift, cv::norm(quarter.centre - half.centre));
    radiusShift = std::max(radiusShift, std::abs(quarter.radius - half.radius));
  }
  ASSERT_FALSE(robust.empty());
  // RobustRefine keeps the centre median within five hundredths of a pixel.
  EXPECT_LE(median(robust), 0.05);
  // The full-size refinement gives the circle; CoarseQuarter only moves where it starts from.
  EXPECT_LE(centreShift, 0.05);
  EXPECT_LE(radiusShift, 0.05);
  std::printf(
      "regression wheels %d: located %zu without RobustRefine (centre median %.4f px), %zu with "
      "it (centre median %.4f px), %d with CoarseQuarter too; its circle moves by at most %.4f px "
      "(centre) and %.4f px (radius)\n",
      wheels, plain.size(), median(plain), robust.size(), median(robust), quarterLocated,
      centreShift, radiusShift);
}

}  // namespace
}  // namespace fluorescence
