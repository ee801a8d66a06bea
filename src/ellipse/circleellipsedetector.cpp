#include "circleellipsedetector.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <memory>
#include <opencv2/imgproc.hpp>

#include "arcdetection.h"
#include "arcjoining.h"
#include "arcs.h"
#include "arcstocandidates.h"
#include "closedsegment.h"
#include "conic.h"
#include "finaljoin.h"
#include "records.h"
#include "turninfo.h"
#include "validation.h"

namespace ced {
namespace {

constexpr double kValidationSigma = 0.5;
// The pixel buffer holds every pixel several times over: once per closed candidate, and again
// for each arc and each joined arc that copies them.
constexpr int kPixelCopies = 8;

// The edge tracer indexes its maps as row * width + column; a view into a larger image is
// copied once so that its rows are contiguous. Anything else is passed on for the tracer to
// report.
cv::Mat contiguous(const cv::Mat& image) {
  if (image.empty() || image.isContinuous()) return image;
  return image.clone();
}

}  // namespace

CircleEllipseDetector::CircleEllipseDetector(cv::Mat image)
    : ValidatedEdgeDrawing(contiguous(image)) {
  detect();
  // One write for the whole line, so that lines of detectors in several threads stay whole.
  std::cout << "zvk: here!\n" << std::flush;
}

void CircleEllipseDetector::detect() {
  const std::vector<std::vector<cv::Point>>& segs = segments();
  if (!validInput_ || segs.empty()) return;

  long long totalPixels = 0;
  for (const auto& s : segs) totalPixels += static_cast<long long>(s.size());
  PixelBuffer buffer(static_cast<int>(
      std::min<long long>(totalPixels * kPixelCopies, std::numeric_limits<int>::max())));

  CandidateList candidates;
  candidates.reserve(static_cast<size_t>(width_ + height_) * 8);
  std::vector<LineSegment> lines;
  // Closed segments first become whole circles or ellipses; everything else becomes lines.
  const std::vector<int> firstLineOfSegment = closedShapesAndLines(segs, buffer, candidates, lines);
  // Without lines there are no arcs; closed candidates alone are not reported.
  if (lines.empty()) return;

  std::vector<Info> info = computeTurnInfo(lines, firstLineOfSegment);

  // Arcs from turning runs of lines, grown by three joining passes of decreasing strictness.
  const size_t arcCapacity = lines.size() / 3 + 2 * candidates.size();
  ArcList arcs[4];
  for (ArcList& list : arcs) list.reserve(arcCapacity);
  detectArcs(lines, info, firstLineOfSegment, segs, buffer, candidates, arcs[0], width_, height_);
  joinArcsPass1(arcs[0], arcs[1], buffer, candidates);
  joinArcsPass2(arcs[1], arcs[2], buffer, candidates);
  joinArcsPass3(arcs[2], arcs[3], buffer, candidates);
  arcsToCandidates(arcs[3], candidates);

  // Every candidate is checked against the gradient of a lightly smoothed copy of the input.
  cv::Mat grey;
  cv::GaussianBlur(srcImage_, grey, cv::Size(0, 0), kValidationSigma, kValidationSigma,
                   cv::BORDER_REFLECT_101);
  const CandidateValidator validator(edgeImage_, grey);
  CandidateList validated;
  validated.reserve(candidates.size());
  validator.validate(candidates, validated);

  CandidateList joined;
  joined.reserve(validated.size());
  joinNearDuplicates(validated, joined);

  for (const ShapeCandidate& c : joined) {
    if (!c.elliptic) {
      circles_.emplace_back(cv::Point2d(c.xc, c.yc), c.r);
      continue;
    }
    const EllipseGeometry g = ellipseCentreAndAxes(c.eq);
    // A conic that is no real ellipse cannot be reported as one.
    if (!std::isfinite(g.xc) || !std::isfinite(g.yc) || !std::isfinite(g.a) ||
        !std::isfinite(g.b) || std::fabs(g.a) > 2e9 || std::fabs(g.b) > 2e9) {
      continue;
    }
    ellipses_.emplace_back(cv::Point2d(g.xc, g.yc),
                           cv::Size(static_cast<int>(g.a), static_cast<int>(g.b)), g.theta);
  }
  circleNos_ = static_cast<int>(circles_.size());
  ellipseNos_ = static_cast<int>(ellipses_.size());
}

}  // namespace ced

namespace ced {

CircleEllipseResults detectCirclesAndEllipses(const cv::Mat& image) {
  const CircleEllipseDetector detector(image);
  return {detector.circles(), detector.ellipses()};
}

}  // namespace ced
