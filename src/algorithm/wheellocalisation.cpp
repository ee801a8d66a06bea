#include "wheellocalisation.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <opencv2/imgproc.hpp>

#include "background.h"
#include "enhancement.h"
#include "vistrel/circledetector.h"
#include "vistrel/ellipsedetector.h"
#include "vistrel/robustcircle.h"

namespace fluorescence {

cv::Point2f coarseStartCentre(const std::vector<ced::mCircle>& circles, cv::Size smallSize,
                              int shrink, int filterSize, bool fallbackToLargest) {
  double largest = 0.0, bestR = 0.0;
  cv::Point2f fallback(0.0f, 0.0f), best(0.0f, 0.0f);
  bool found = false;
  for (const ced::mCircle& c : circles) {
    const double x = c.center.x, y = c.center.y, r = c.r;
    if (r > largest) {
      largest = r;
      fallback = cv::Point2f(static_cast<float>(shrink * x), static_cast<float>(shrink * y));
    }
    // Truncation toward zero lets a circle poke up to a pixel past the left and top borders.
    const bool inside = static_cast<int>(x - r) >= 0 && static_cast<int>(y - r) >= 0 &&
                        x + r <= smallSize.width && y + r <= smallSize.height;
    // shrink * r: the diameter in half-size pixels, whatever the copy's size.
    if (inside && filterSize <= shrink * r && r > bestR) {
      bestR = r;
      best = cv::Point2f(static_cast<float>(shrink * x), static_cast<float>(shrink * y));
      found = true;
    }
  }
  if (found) return best;
  return fallbackToLargest ? fallback : cv::Point2f(0.0f, 0.0f);
}

namespace {

// The coarse detector's circles on `input` shrunk by 2 (bilinear) or 4 (4 x 4 block means: a
// bilinear shrink by four would skip pixels and alias fine texture into edges), equalised when
// `equalize`, and sharpened; `smallSize` is the copy's size.
std::vector<ced::mCircle> coarseCircles(const cv::Mat& input, bool equalize, int shrink,
                                        cv::Size& smallSize) {
  cv::Mat small;
  cv::resize(input, small, cv::Size(input.cols / shrink, input.rows / shrink), 0, 0,
             shrink == 4 ? cv::INTER_AREA : cv::INTER_LINEAR);
  if (equalize) equalizeImage(small, small);
  small = unsharpMask(small);
  smallSize = small.size();
  // The detector never writes the caller's pixels.
  return ced::detectCirclesAndEllipses(small).circles;
}

}  // namespace

cv::Point2f coarseWheelCentre(const cv::Mat& input, bool equalize, int filterSize,
                              bool fallbackToLargest, bool quarter) {
  cv::Size smallSize;
  if (quarter && input.cols >= 4 && input.rows >= 4) {
    const std::vector<ced::mCircle> circles = coarseCircles(input, equalize, 4, smallSize);
    // Only a candidate of the quarter-size copy is taken, never its fallback: where the copy
    // shows no wheel (one too small to show at that size), the half-size search decides.
    const cv::Point2f start = coarseStartCentre(circles, smallSize, 4, filterSize, false);
    if (start.x != 0.0f && start.y != 0.0f) return start;
  }
  const std::vector<ced::mCircle> circles = coarseCircles(input, equalize, 2, smallSize);
  return coarseStartCentre(circles, smallSize, 2, filterSize, fallbackToLargest);
}

cv::Vec2i refinementRadiusRange(cv::Point2f start, cv::Size size, int minSize) {
  const int dy = static_cast<int>(size.height - start.y);
  const int dx = static_cast<int>(size.width - start.x);
  const int ry = static_cast<int>(std::min<float>(start.y, static_cast<float>(dy)));
  const int rx = static_cast<int>(std::min<float>(start.x, static_cast<float>(dx)));
  const int m = std::min(ry, rx);
  const int maxRadius = std::abs(std::abs(m) - 50);
  const int minRadius = minSize > maxRadius ? 0 : minSize;
  return cv::Vec2i(minRadius, maxRadius);
}

cv::Rect wheelCutOutRect(const cv::Vec3f& circle) {
  const float cx = circle[0], cy = circle[1], r = circle[2];
  const int left = std::max(0, static_cast<int>(cx - r));
  const int top = std::max(0, static_cast<int>(cy - r));
  const int side = static_cast<int>(2 * r);
  return cv::Rect(left, top, side, side);
}

cv::Mat refineWheel(const cv::Mat& input, const cv::Mat& background, cv::Point2f& centre,
                    double& radius, bool equalize, const CircleParams& params) {
  const cv::Mat work = background.empty() ? input : subtractBackground(input, background);
  cv::Mat grey = work;
  if (equalize) {
    grey = cv::Mat();
    equalizeImage(work, grey);
  }
  if (centre.x == 0.0f || centre.y == 0.0f) {
    centre = cv::Point2f(static_cast<float>(work.cols / 2), static_cast<float>(work.rows / 2));
  }
  const cv::Vec2i range = refinementRadiusRange(centre, work.size(), params.minSize);

  vistrel::CircleDetector detector;
  detector.setMethod(vistrel::CircleMethod::PeakCircle);
  detector.setEdgeWidth(params.edgeWidth);
  detector.setPolarity(params.polarity == 0 ? vistrel::Polarity::Black2White
                                            : vistrel::Polarity::White2Black);
  detector.setFindBy(vistrel::FindBy::Best);
  detector.setRadiusRange(range[0], range[1]);
  detector.setAcceptThreshold(params.acceptance);

  cv::Vec3f circle(0.0f, 0.0f, 0.0f);
  std::vector<float> profile;
  const float score = detector.detect(grey, centre, circle, &profile);
  bool found = std::fabs(score) > FLT_EPSILON && circle != cv::Vec3f(0.0f, 0.0f, 0.0f);
  if (params.robust) {
    // Only with the key: the detector's result is otherwise final.
    found = found ? (vistrel::robustRimCircle(grey, circle, params.polarity == 0, circle), true)
                  : vistrel::searchRimCircle(grey, centre, range, params.polarity == 0, circle);
  }
  if (found) {
    const cv::Mat cut(input, wheelCutOutRect(circle));
    centre = cv::Point2f(circle[0], circle[1]);
    radius = circle[2];
    return cut;
  }
  centre = cv::Point2f(0.0f, 0.0f);
  radius = 0.0;
  return cv::Mat();
}

cv::Mat localiseWheel(const cv::Mat& input, bool equalize, int filterSize,
                      const CircleParams& params, cv::Point2f& centre, double& radius) {
  centre = coarseWheelCentre(input, equalize, filterSize, true, params.quarterCoarse);
  return refineWheel(input, cv::Mat(), centre, radius, equalize, params);
}

cv::Mat localiseWheelWithBackground(const cv::Mat& input, const cv::Mat& background, bool equalize,
                                    int filterSize, const CircleParams& params, cv::Point2f& centre,
                                    double& radius) {
  // The coarse stage sees the delivered image; only the refinement subtracts the background.
  centre = coarseWheelCentre(input, equalize, filterSize, false, params.quarterCoarse);
  return refineWheel(input, background, centre, radius, equalize, params);
}

}  // namespace fluorescence
