// DetectRoi: coordinate mapping between the source image and the ROI image.
#include <cfloat>
#include <cmath>

#include "vistrel/detectroi.h"
#include "vistrel/geomutils.h"

namespace vistrel {
namespace {

// (x, y) through a 2x3 CV_64F matrix, both outputs from the inputs.
void apply(const cv::Mat& m, double& x, double& y) {
  const double* r0 = m.ptr<double>(0);
  const double* r1 = m.ptr<double>(1);
  const double nx = r0[0] * x + r0[1] * y + r0[2];
  const double ny = r1[0] * x + r1[1] * y + r1[2];
  x = nx;
  y = ny;
}

// Index of the point nearest to `to`, skipping `skip`; the earliest wins a tie.
std::size_t nearest(const std::vector<cv::Point2f>& pts, const cv::Point2f& to, std::size_t skip) {
  double best = DBL_MAX;
  std::size_t index = skip == 0 ? 1 : 0;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    if (i == skip) {
      continue;
    }
    const double d = std::hypot(double(pts[i].x) - to.x, double(pts[i].y) - to.y);
    if (d < best) {
      best = d;
      index = i;
    }
  }
  return index;
}

}  // namespace

void DetectRoi::toImage(float& angle) {
  if (angle_ != 0) {
    angle += angle_;
  }
}

void DetectRoi::toImage(cv::RotatedRect& rect) {
  if (!canMap()) {
    return;
  }
  const double a = rect.angle * CV_PI / 180.0;
  double cx = rect.center.x, cy = rect.center.y;
  double px = cx + std::cos(a), py = cy + std::sin(a);
  apply(invTransMat_, cx, cy);
  apply(invTransMat_, px, py);
  rect.center = cv::Point2f(static_cast<float>(cx), static_cast<float>(cy));
  rect.angle = static_cast<float>(std::atan2(py - cy, px - cx) * 180.0 / CV_PI);
}

void DetectRoi::toImage(int& x, int& y) {
  if (!canMap()) {
    return;
  }
  double dx = x, dy = y;
  apply(invTransMat_, dx, dy);
  x = cvRound(dx);
  y = cvRound(dy);
}

void DetectRoi::toImage(double& x, double& y) {
  if (canMap()) {
    apply(invTransMat_, x, y);
  }
}

void DetectRoi::toImage(float& x, float& y) {
  if (!canMap()) {
    return;
  }
  double dx = x, dy = y;
  apply(invTransMat_, dx, dy);
  x = static_cast<float>(dx);
  y = static_cast<float>(dy);
}

void DetectRoi::toImage(cv::Vec4f& line) {
  if (!canMap()) {
    return;
  }
  float x1 = line[0], y1 = line[1], x2 = line[2], y2 = line[3];
  toImage(x1, y1);
  toImage(x2, y2);
  const cv::Vec4f mapped(x1, y1, x2, y2);
  line = mapped;
  // Crossings within both the segment and a hull edge; if the segment does not reach the hull
  // twice, those of the extended line.
  std::vector<cv::Point2f> hits;
  intersectLinePolygon(mapped, roiHull_, hits, 2);
  if (hits.size() < 2) {
    hits.clear();
    intersectLinePolygon(mapped, roiHull_, hits, 3);
  }
  if (hits.size() < 2) {
    return;
  }
  const std::size_t i1 = nearest(hits, cv::Point2f(x1, y1), hits.size());
  const std::size_t i2 = nearest(hits, cv::Point2f(x2, y2), i1);
  line = cv::Vec4f(hits[i1].x, hits[i1].y, hits[i2].x, hits[i2].y);
}

void DetectRoi::toImage(std::vector<cv::Vec4f>& lines) {
  for (cv::Vec4f& line : lines) {
    toImage(line);
  }
}

void DetectRoi::toRoi(int& x, int& y) {
  if (!canMap()) {
    return;
  }
  double dx = double(x) - roiRect_.x, dy = double(y) - roiRect_.y;
  apply(transMat_, dx, dy);
  x = cvRound(dx);
  y = cvRound(dy);
}

void DetectRoi::toRoi(double& x, double& y) {
  if (!canMap()) {
    return;
  }
  x -= roiRect_.x;
  y -= roiRect_.y;
  apply(transMat_, x, y);
}

void DetectRoi::toRoi(float& x, float& y) {
  if (!canMap()) {
    return;
  }
  double dx = double(x) - roiRect_.x, dy = double(y) - roiRect_.y;
  apply(transMat_, dx, dy);
  x = static_cast<float>(dx);
  y = static_cast<float>(dy);
}

}  // namespace vistrel
