// "RobustRefine" over the regression set's wheels: it must turn no located wheel into a miss and
// keep the centres as sharp as they are without it.
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
};

Located localise(const regression::Scene& s, const cv::Mat& image, bool robust) {
  // Polarity, acceptance, edge width, smallest radius and the key, as the analysis reads them.
  const CircleParams params{s.polarity, s.acceptance, s.edgeWidth, s.filterSize, robust};
  cv::Point2f centre;
  double radius = 0.0;
  Located out;
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

TEST(RobustRefineOnTheRegressionSet,
     LosesNoWheelAndKeepsTheCentreMedianWithinFiveHundredthsOfAPixel) {
  std::vector<double> plain, robust;
  int plainLocated = 0, robustLocated = 0, wheels = 0;
  for (const regression::Scene& s : regression::scenes()) {
    if (!s.hasWheel) continue;
    ++wheels;
    const cv::Mat image = s.render();
    const Located a = localise(s, image, false), b = localise(s, image, true);
    EXPECT_TRUE(b.located || !a.located) << s.name << ": located without the key, not with it";
    if (a.located) plain.push_back(a.centreError), ++plainLocated;
    if (b.located) robust.push_back(b.centreError), ++robustLocated;
  }
  ASSERT_FALSE(robust.empty());
  EXPECT_LE(median(robust), 0.05);
  std::printf(
      "regression wheels %d: located %d without RobustRefine (centre median %.4f px), "
      "%d with it (centre median %.4f px)\n",
      wheels, plainLocated, median(plain), robustLocated, median(robust));
}

}  // namespace
}  // namespace fluorescence
