#include <opencv2/imgproc.hpp>

#include "roishapes.h"
#include "vistrel/assert.h"

namespace vistrel {

using namespace roishape_detail;

bool DetectRoi::RoiEllipse::setVertexes(const std::vector<cv::Point2f>& pts) {
  if (pts.size() < 3) {
    return false;
  }
  center = pts[0];
  axisPoint1 = pts[1];
  axisPoint2 = pts[2];
  semiAxis1 = static_cast<float>(cv::norm(axisPoint1 - center));
  semiAxis2 = static_cast<float>(cv::norm(axisPoint2 - center));
  if (semiAxis1 < semiAxis2) {
    std::swap(semiAxis1, semiAxis2);
    std::swap(axisPoint1, axisPoint2);
  }
  return true;
}

std::vector<cv::Point2f> DetectRoi::RoiEllipse::getVertexes() const {
  return {center, axisPoint1, axisPoint2};
}

std::vector<cv::Point2f>& DetectRoi::RoiEllipse::vertexesRef() {
  static std::vector<cv::Point2f> none;
  return none;
}

std::vector<cv::Point2f> DetectRoi::RoiEllipse::mergeHull(
    const std::vector<cv::Point2f>& hull) const {
  const cv::Point2f axis = axisPoint1 - center;
  std::vector<cv::Point2d> outline;
  cv::ellipse2Poly(cv::Point2d(center), cv::Size2d(semiAxis1, semiAxis2),
                   static_cast<int>(cv::fastAtan2(axis.y, axis.x)), 0, 360, 1, outline);
  std::vector<cv::Point2f> pts;
  pts.reserve(outline.size());
  for (const cv::Point2d& p : outline) {
    pts.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
  }
  return convexHullOf(hull, pts);
}

void DetectRoi::RoiEllipse::draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat,
                                 const cv::Scalar& color, int fracBit) const {
  // Mapped through the region's transform (centre, axis lengths and direction) like every other
  // shape, so that the mask of a turned region stays on the warped ROI image. Unturned, the
  // transform is the identity and this is the plain shift by tl.
  const Similarity s = similarityOf(center, tl, transMat);
  const float k = fracScale(fracBit);
  const cv::Point2f axis = axisPoint1 - center;
  cv::ellipse(
      canvas, cv::Point(cvRound(s.center.x * k), cvRound(s.center.y * k)),
      cv::Size(cvCeil(semiAxis1 * s.lengthScale * k), cvCeil(semiAxis2 * s.lengthScale * k)),
      cv::fastAtan2(axis.y, axis.x) + s.turn, 0, 360, color, cv::FILLED, cv::LINE_8, fracBit);
}

}  // namespace vistrel
