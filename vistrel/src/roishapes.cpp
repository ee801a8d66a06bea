// Shared helpers of the shape records, and the point-list shapes: rectangle and polygon.
#include "roishapes.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "vistrel/geomutils.h"

namespace vistrel {
namespace roishape_detail {

std::vector<cv::Point2f> convexHullOf(const std::vector<cv::Point2f>& hull,
                                      const std::vector<cv::Point2f>& extra) {
  std::vector<cv::Point2f> all;
  all.reserve(hull.size() + extra.size());
  all.insert(all.end(), hull.begin(), hull.end());
  all.insert(all.end(), extra.begin(), extra.end());
  std::vector<cv::Point2f> merged;
  if (!all.empty()) {
    cv::convexHull(all, merged, false, true);
  }
  return merged;
}

float fracScale(int fracBit) { return std::ldexp(1.f, fracBit); }

int lineTypeFor(int fracBit) { return fracBit < 1 ? cv::LINE_8 : cv::LINE_AA; }

cv::Matx23f toMatx23f(const cv::Mat& m) {
  cv::Mat f;
  m.convertTo(f, CV_32F);
  return cv::Matx23f(f.ptr<float>(0)[0], f.ptr<float>(0)[1], f.ptr<float>(0)[2], f.ptr<float>(1)[0],
                     f.ptr<float>(1)[1], f.ptr<float>(1)[2]);
}

std::vector<cv::Point> mapToDrawing(const std::vector<cv::Point2f>& pts, const cv::Point& tl,
                                    const cv::Mat& transMat, int fracBit) {
  std::vector<cv::Point2f> crop(pts.size());
  for (std::size_t i = 0; i < pts.size(); ++i) {
    crop[i] = pts[i] - cv::Point2f(tl);
  }
  transformPoints(crop, crop, toMatx23f(transMat));
  const float k = fracScale(fracBit);
  std::vector<cv::Point> out(crop.size());
  for (std::size_t i = 0; i < crop.size(); ++i) {
    out[i] = cv::Point(cvRound(crop[i].x * k), cvRound(crop[i].y * k));
  }
  return out;
}

Similarity similarityOf(const cv::Point2f& center, const cv::Point& tl, const cv::Mat& transMat) {
  std::vector<cv::Point2f> c = {center - cv::Point2f(tl)};
  transformPoints(c, c, toMatx23f(transMat));
  cv::Mat m;
  transMat.convertTo(m, CV_64F);
  const double m00 = m.at<double>(0, 0);
  const double m10 = m.at<double>(1, 0);
  Similarity s;
  s.center = c[0];
  s.lengthScale = static_cast<float>(std::hypot(m00, m10));
  s.turn = static_cast<float>(std::atan2(m10, m00) * 180.0 / CV_PI);
  return s;
}

void combineRing(cv::Mat& canvas, const cv::Mat& shape, const cv::Scalar& color) {
  if (color[0] == 0) {
    cv::bitwise_and(canvas, shape, canvas);
  } else {
    cv::bitwise_or(canvas, shape, canvas);
  }
}

}  // namespace roishape_detail

using namespace roishape_detail;

// --- Rectangle ----------------------------------------------------------------------------

bool DetectRoi::RoiRectangle::setVertexes(const std::vector<cv::Point2f>& pts) {
  if (pts.size() < 4) {
    return false;
  }
  vertexes.assign(pts.begin(), pts.begin() + 4);
  return true;
}

std::vector<cv::Point2f> DetectRoi::RoiRectangle::getVertexes() const { return vertexes; }

std::vector<cv::Point2f>& DetectRoi::RoiRectangle::vertexesRef() { return vertexes; }

std::vector<cv::Point2f> DetectRoi::RoiRectangle::mergeHull(
    const std::vector<cv::Point2f>& hull) const {
  return convexHullOf(hull, vertexes);
}

void DetectRoi::RoiRectangle::draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat,
                                   const cv::Scalar& color, int fracBit) const {
  const std::vector<cv::Point> pts = mapToDrawing(vertexes, tl, transMat, fracBit);
  cv::fillConvexPoly(canvas, pts, color, lineTypeFor(fracBit), fracBit);
}

// --- Polygon ------------------------------------------------------------------------------

bool DetectRoi::RoiPolygon::setVertexes(const std::vector<cv::Point2f>& pts) {
  if (pts.size() < 3) {
    return false;
  }
  vertexes = pts;
  return true;
}

std::vector<cv::Point2f> DetectRoi::RoiPolygon::getVertexes() const { return vertexes; }

std::vector<cv::Point2f>& DetectRoi::RoiPolygon::vertexesRef() { return vertexes; }

std::vector<cv::Point2f> DetectRoi::RoiPolygon::mergeHull(
    const std::vector<cv::Point2f>& hull) const {
  return convexHullOf(hull, vertexes);
}

void DetectRoi::RoiPolygon::draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat,
                                 const cv::Scalar& color, int fracBit) const {
  const std::vector<std::vector<cv::Point>> contours = {
      mapToDrawing(vertexes, tl, transMat, fracBit)};
  cv::fillPoly(canvas, contours, color, lineTypeFor(fracBit), fracBit, cv::Point(0, 0));
}

}  // namespace vistrel
