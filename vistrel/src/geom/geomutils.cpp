#include "vistrel/geomutils.h"

#include <cmath>

namespace vistrel {

void transformPoints(const std::vector<cv::Point2f>& src, std::vector<cv::Point2f>& dst,
                     const cv::Matx23f& m) {
  dst.resize(src.size());
  for (std::size_t i = 0; i < src.size(); ++i) {
    const float x = src[i].x;
    const float y = src[i].y;
    dst[i] = cv::Point2f(m(0, 0) * x + m(0, 1) * y + m(0, 2), m(1, 0) * x + m(1, 1) * y + m(1, 2));
  }
}

bool intersectLines(const cv::Vec4f& line1, const cv::Vec4f& line2, cv::Point2f& point, int mode) {
  const cv::Point2f d1(line1[2] - line1[0], line1[3] - line1[1]);
  const cv::Point2f d2(line2[2] - line2[0], line2[3] - line2[1]);
  const cv::Point2f w(line2[0] - line1[0], line2[1] - line1[1]);
  const float den = d1.x * d2.y - d1.y * d2.x;
  if (std::fabs(den) < 1e-8f) {
    return false;
  }
  const float t = (w.x * d2.y - w.y * d2.x) / den;
  point = cv::Point2f(static_cast<float>(static_cast<double>(line1[0]) + double(t) * d1.x),
                      static_cast<float>(static_cast<double>(line1[1]) + double(t) * d1.y));
  switch (mode) {
    case 1:
      return isPointOnSegment(point, line1) || isPointOnSegment(point, line2);
    case 2:
      return isPointOnSegment(point, line1) && isPointOnSegment(point, line2);
    case 3:
      return isPointOnSegment(point, line2);
    default:
      return true;
  }
}

bool isPointOnSegment(const cv::Point2f& point, const cv::Vec4f& segment) {
  const float dx = point.x - segment[0];
  const float dy = point.y - segment[1];
  if (std::fabs(dx) <= std::fabs(dy)) {
    const float rest = segment[3] - point.y;
    return (dy >= 0 && rest >= 0) || (dy <= 0 && rest <= 0);
  }
  const float rest = segment[2] - point.x;
  return (dx >= 0 && rest >= 0) || (dx <= 0 && rest <= 0);
}

bool intersectLinePolygon(const cv::Vec4f& line, const std::vector<cv::Point2f>& polygon,
                          std::vector<cv::Point2f>& out, int mode) {
  for (std::size_t i = 0; i < polygon.size(); ++i) {
    const cv::Point2f& from = polygon[i == 0 ? polygon.size() - 1 : i - 1];
    const cv::Point2f& to = polygon[i];
    cv::Point2f hit;
    if (intersectLines(line, cv::Vec4f(from.x, from.y, to.x, to.y), hit, mode)) {
      out.push_back(hit);
    }
  }
  return !out.empty();
}

}  // namespace vistrel
