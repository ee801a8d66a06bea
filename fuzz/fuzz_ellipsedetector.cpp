// The parameter-free circle and ellipse detector on any image, whole or as a view into a larger
// one: it never writes the caller's pixels, a view gives the results of its copy, and every
// result is finite.

#include <cmath>
#include <vector>

#include "fuzzsupport.h"
#include "vistrel/ellipsedetector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::quietProcess();
  FuzzedDataProvider in(data, size);
  const int type = in.PickValueInArray({CV_8UC1, CV_8UC1, CV_8UC1, CV_8UC3, CV_16UC1});
  const cv::Mat whole = fuzzsupport::image(in, 96, type);
  cv::Mat input = whole;
  if (in.ConsumeBool() && whole.cols > 2 && whole.rows > 2) {
    const int x = in.ConsumeIntegralInRange(0, whole.cols - 1);
    const int y = in.ConsumeIntegralInRange(0, whole.rows - 1);
    input = whole(cv::Rect(x, y, in.ConsumeIntegralInRange(1, whole.cols - x),
                           in.ConsumeIntegralInRange(1, whole.rows - y)));
  }
  const cv::Mat before = whole.clone();
  const ced::CircleEllipseResults found = ced::detectCirclesAndEllipses(input);
  fuzzsupport::require(whole.empty() || cv::norm(before, whole, cv::NORM_INF) == 0,
                       "the caller's pixels changed");
  for (const ced::mCircle& c : found.circles) {
    fuzzsupport::require(
        std::isfinite(c.center.x) && std::isfinite(c.center.y) && std::isfinite(c.r) && c.r >= 0,
        "circle not finite");
  }
  for (const ced::mEllipse& e : found.ellipses) {
    fuzzsupport::require(
        std::isfinite(e.center.x) && std::isfinite(e.center.y) && std::isfinite(e.theta),
        "ellipse not finite");
  }
  if (input.data != whole.data || input.size() != whole.size()) {
    const ced::CircleEllipseResults copy = ced::detectCirclesAndEllipses(input.clone());
    fuzzsupport::require(copy.circles.size() == found.circles.size() &&
                             copy.ellipses.size() == found.ellipses.size(),
                         "a view and its copy differ");
  }
  return 0;
}
