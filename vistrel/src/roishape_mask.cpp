#include <opencv2/imgproc.hpp>

#include "roishapes.h"

namespace vistrel {

namespace {

bool isIdentity(const cv::Mat& m) {
  cv::Mat d;
  m.convertTo(d, CV_64F);
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 3; ++c) {
      if (d.at<double>(r, c) != (r == c ? 1.0 : 0.0)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool DetectRoi::RoiMask::setVertexes(const std::vector<cv::Point2f>& pts) {
  if (pts.size() < 4) {
    return false;
  }
  anchor = pts[0];
  vertexes.assign(pts.begin() + 1, pts.end());
  return true;
}

std::vector<cv::Point2f> DetectRoi::RoiMask::getVertexes() const {
  std::vector<cv::Point2f> pts = {anchor};
  pts.insert(pts.end(), vertexes.begin(), vertexes.end());
  return pts;
}

void DetectRoi::RoiMask::draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat,
                              const cv::Scalar& color, int fracBit) const {
  if (mask.empty()) {
    return;
  }
  cv::Mat src;
  cv::Mat dst;
  if (isIdentity(transMat)) {
    const cv::Point o(static_cast<int>(anchor.x - tl.x), static_cast<int>(anchor.y - tl.y));
    const cv::Rect placed = cv::Rect(o, mask.size()) & cv::Rect(cv::Point(0, 0), canvas.size());
    if (placed.empty()) {
      return;
    }
    src = mask(cv::Rect(std::max(0, -o.x), std::max(0, -o.y), placed.width, placed.height));
    dst = canvas(placed);
  } else {
    cv::Mat m;
    transMat.convertTo(m, CV_64F);
    const cv::Point2d offset(anchor.x - tl.x, anchor.y - tl.y);
    m.at<double>(0, 2) += m.at<double>(0, 0) * offset.x + m.at<double>(0, 1) * offset.y;
    m.at<double>(1, 2) += m.at<double>(1, 0) * offset.x + m.at<double>(1, 1) * offset.y;
    cv::warpAffine(mask, src, m, canvas.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar(0));
    dst = canvas;
  }

  const bool hard = fracBit < 1;
  if (color[0] > 0) {
    if (hard) {
      dst.setTo(255, src >= 100);
    } else {
      cv::max(dst, src, dst);
    }
  } else {
    // Removing a mask mirrors uniting one, as every other removed shape clears what it would
    // have set: hard, clear where the mask counts as inside (>= 100); soft, keep at most the
    // mask's complement (the fuzzy "and not" that matches the fuzzy "or", the maximum).
    if (hard) {
      dst.setTo(0, src >= 100);
    } else {
      cv::min(dst, cv::Scalar::all(255) - src, dst);
    }
  }
}

}  // namespace vistrel
