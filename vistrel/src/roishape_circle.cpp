// The circle-based shapes: circle, annulus and annulus sector.
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "roishapes.h"
#include "vistrel/assert.h"
#include "vistrel/geomutils.h"

namespace vistrel {

using namespace roishape_detail;

namespace {

float distance(const cv::Point2f& a, const cv::Point2f& b) {
  return static_cast<float>(cv::norm(b - a));
}

// The circle-based shapes keep no point list to hand out.
std::vector<cv::Point2f>& noVertexes() {
  VISTREL_REPORT("cannot get vertex of circle roi by reference");
  static std::vector<cv::Point2f> none;
  return none;
}

}  // namespace

// --- Circle -------------------------------------------------------------------------------

bool DetectRoi::RoiCircle::setVertexes(const std::vector<cv::Point2f>& pts) {
  if (pts.size() < 2) {
    return false;
  }
  center = pts[0];
  radius = distance(pts[0], pts[1]);
  return true;
}

std::vector<cv::Point2f> DetectRoi::RoiCircle::getVertexes() const {
  return {center, cv::Point2f(center.x + radius, center.y)};
}

std::vector<cv::Point2f>& DetectRoi::RoiCircle::vertexesRef() { return noVertexes(); }

std::vector<cv::Point2f> DetectRoi::RoiCircle::mergeHull(
    const std::vector<cv::Point2f>& hull) const {
  // A square about the circle, turned to the existing hull's orientation so that the hull stays
  // tight. Its corners are the centre plus (dx, dy) turned by 0, 90, 180 and 270 degrees: only
  // that square holds the whole circle for every alpha (the four sign combinations of (dx, dy)
  // would do so only at 45 degrees, where both constructions give the same points).
  const double alpha =
      (hull.empty() ? 45.0 : static_cast<double>(cv::minAreaRect(hull).angle) + 45.0) * CV_PI /
      180.0;
  const double d = static_cast<double>(radius) * std::sqrt(2.0);
  const float dx = static_cast<float>(std::cos(alpha) * d);
  const float dy = static_cast<float>(std::sin(alpha) * d);
  return convexHullOf(hull, {center + cv::Point2f(dx, dy), center + cv::Point2f(-dy, dx),
                             center + cv::Point2f(-dx, -dy), center + cv::Point2f(dy, -dx)});
}

void DetectRoi::RoiCircle::drawDisc(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat,
                                    const cv::Scalar& color, int fracBit, float r) const {
  const cv::Point2f t(tl);
  std::vector<cv::Point2f> pts = {center - t, cv::Point2f(0, 0) - t, cv::Point2f(r, 0) - t};
  transformPoints(pts, pts, toMatx23f(transMat));
  const float mappedRadius = distance(pts[1], pts[2]);
  const float k = fracScale(fracBit);
  const cv::Point c(cvRound(pts[0].x * k), cvRound(pts[0].y * k));
  cv::circle(canvas, c, static_cast<int>(std::ceil(mappedRadius * k)), color, cv::FILLED,
             lineTypeFor(fracBit), fracBit);
}

void DetectRoi::RoiCircle::draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat,
                                const cv::Scalar& color, int fracBit) const {
  drawDisc(canvas, tl, transMat, color, fracBit, radius);
}

// --- Annulus ------------------------------------------------------------------------------

bool DetectRoi::RoiAnnulus::setRadii(const std::vector<cv::Point2f>& pts) {
  const float d1 = distance(pts[0], pts[1]);
  const float d2 = distance(pts[0], pts[2]);
  center = pts[0];
  innerRadius = std::min(d1, d2);
  radius = std::max(d1, d2);
  return true;
}

bool DetectRoi::RoiAnnulus::setVertexes(const std::vector<cv::Point2f>& pts) {
  return pts.size() >= 3 && setRadii(pts);
}

std::vector<cv::Point2f> DetectRoi::RoiAnnulus::getVertexes() const {
  return {center, cv::Point2f(center.x + innerRadius, center.y),
          cv::Point2f(center.x + radius, center.y)};
}

void DetectRoi::RoiAnnulus::draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat,
                                 const cv::Scalar& color, int fracBit) const {
  cv::Mat ring(canvas.size(), canvas.type(), cv::Scalar::all(255) - color);
  drawOnEmpty(ring, tl, transMat, color, fracBit);
  combineRing(canvas, ring, color);
}

// An empty canvas is what the ring layer starts as, and combining the ring into it gives the
// ring: the discs go straight into the canvas.
void DetectRoi::RoiAnnulus::drawOnEmpty(cv::Mat& canvas, const cv::Point& tl,
                                        const cv::Mat& transMat, const cv::Scalar& color,
                                        int fracBit) const {
  drawDisc(canvas, tl, transMat, color, fracBit, radius);
  drawDisc(canvas, tl, transMat, cv::Scalar::all(255) - color, fracBit, innerRadius);
}

// --- Annulus sector -----------------------------------------------------------------------

bool DetectRoi::RoiAnnulusSector::setVertexes(const std::vector<cv::Point2f>& pts) {
  if (pts.size() < 6) {
    return false;
  }
  setRadii(pts);
  sectorPoints.assign(pts.begin() + 1, pts.begin() + 6);
  const cv::Point2f u = pts[2] - center;
  const cv::Point2f w = pts[4] - center;
  startAngle = cv::fastAtan2(u.y, u.x);
  endAngle = cv::fastAtan2(w.y, w.x);
  if (endAngle < startAngle) {
    startAngle -= 360.f;
  }
  return true;
}

std::vector<cv::Point2f> DetectRoi::RoiAnnulusSector::getVertexes() const {
  std::vector<cv::Point2f> pts = {center};
  pts.insert(pts.end(), sectorPoints.begin(), sectorPoints.end());
  return pts;
}

std::vector<cv::Point2f> DetectRoi::RoiAnnulusSector::mergeHull(
    const std::vector<cv::Point2f>& hull) const {
  // The third sector point is free: it takes no part in the outline.
  std::vector<cv::Point2f> outline = {sectorPoints[0], sectorPoints[1], sectorPoints[3],
                                      sectorPoints[4]};
  std::vector<cv::Point2d> arc;
  cv::ellipse2Poly(cv::Point2d(center), cv::Size2d(radius, radius), 0, cvFloor(startAngle),
                   cvCeil(endAngle), 1, arc);
  for (const cv::Point2d& p : arc) {
    outline.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
  }
  return convexHullOf(hull, outline);
}

void DetectRoi::RoiAnnulusSector::draw(cv::Mat& canvas, const cv::Point& tl,
                                       const cv::Mat& transMat, const cv::Scalar& color,
                                       int fracBit) const {
  // Drawn through the region's transform like every other shape, so that the mask of a turned
  // region stays on the warped ROI image; with an unturned region the transform is the
  // identity and this is the plain shift by tl.
  const Similarity s = similarityOf(center, tl, transMat);
  const float k = fracScale(fracBit);
  const cv::Point c(cvRound(s.center.x * k), cvRound(s.center.y * k));
  const int outer = cvCeil(radius * s.lengthScale * k);
  const int inner = cvCeil(innerRadius * s.lengthScale * k);
  const cv::Scalar other = cv::Scalar::all(255) - color;
  cv::Mat ring(canvas.size(), canvas.type(), other);
  cv::ellipse(ring, c, cv::Size(outer, outer), s.turn, startAngle, endAngle, color, cv::FILLED,
              cv::LINE_8, fracBit);
  cv::ellipse(ring, c, cv::Size(inner, inner), s.turn, startAngle, endAngle, other, cv::FILLED,
              cv::LINE_8, fracBit);
  combineRing(canvas, ring, color);
}

}  // namespace vistrel
