// DetectRoi: derived regions (translate, scaled, convert) and the highlight image.
#include <cfloat>
#include <cmath>
#include <functional>
#include <opencv2/imgproc.hpp>

#include "roishapes.h"
#include "vistrel/assert.h"

namespace vistrel {
namespace {

using PointMap = std::function<cv::Point2f(const cv::Point2f&)>;
// Gives the mask image of a Mask shape in the new region; may move the anchor (pts[0]).
using MaskMap = std::function<cv::Mat(const DetectRoi::RoiMask&, std::vector<cv::Point2f>& pts)>;

void readd(DetectRoi& out, const DetectRoi::ShapeList& shapes, bool united,
           const PointMap& mapPoint, const MaskMap& mapMask) {
  for (const auto& shape : shapes) {
    std::vector<cv::Point2f> pts = shape->getVertexes();
    for (cv::Point2f& p : pts) {
      p = mapPoint(p);
    }
    cv::Mat mask;
    const bool isMask = shape->type == DetectRoi::ShapeType::Mask;
    if (isMask) {
      mask = mapMask(static_cast<const DetectRoi::RoiMask&>(*shape), pts);
    }
    if (united) {
      out.addRoi(pts, shape->type, isMask ? &mask : nullptr);
    } else {
      out.subRoi(pts, shape->type, isMask ? &mask : nullptr);
    }
  }
}

}  // namespace

void DetectRoi::copySettingsTo(DetectRoi& other) const {
  other.angle_ = angle_;
  other.scale_ = scale_;
  other.interFlag_ = interFlag_;
  other.borderMode_ = borderMode_;
  other.reserveSize_ = reserveSize_;
  other.fracBit_ = fracBit_;
  other.maskOnly_ = maskOnly_;
}

DetectRoi DetectRoi::translate(const cv::Point2f& offset) const {
  DetectRoi out;
  copySettingsTo(out);
  const PointMap move = [&](const cv::Point2f& p) { return p + offset; };
  const MaskMap keep = [](const RoiMask& shape, std::vector<cv::Point2f>&) { return shape.mask; };
  readd(out, addRois_, true, move, keep);
  readd(out, subRois_, false, move, keep);
  return out;
}

DetectRoi DetectRoi::scaled(float sx, float sy) const {
  if (!VISTREL_CHECK(sx > 0 && sy > 0)) {
    return DetectRoi();
  }
  DetectRoi out;
  copySettingsTo(out);
  const PointMap scale = [&](const cv::Point2f& p) { return cv::Point2f(p.x * sx, p.y * sy); };
  const MaskMap resize = [&](const RoiMask& shape, std::vector<cv::Point2f>&) {
    cv::Mat resized;
    const cv::Size size(cvRound(shape.mask.cols * double(sx)),
                        cvRound(shape.mask.rows * double(sy)));
    if (!shape.mask.empty() && size.area() > 0) {
      cv::resize(shape.mask, resized, cv::Size(), sx, sy, cv::INTER_NEAREST);
    }
    return resized;
  };
  readd(out, addRois_, true, scale, resize);
  readd(out, subRois_, false, scale, resize);
  return out;
}

DetectRoi DetectRoi::convert(const cv::Mat& m) const {
  if (!VISTREL_CHECK(m.type() == CV_64FC1 && m.rows == 2 && m.cols == 3)) {
    return DetectRoi();
  }
  const cv::Matx23d a(m.ptr<double>(0)[0], m.ptr<double>(0)[1], m.ptr<double>(0)[2],
                      m.ptr<double>(1)[0], m.ptr<double>(1)[1], m.ptr<double>(1)[2]);
  const auto through = [a](double x, double y) {
    return cv::Point2d(a(0, 0) * x + a(0, 1) * y + a(0, 2), a(1, 0) * x + a(1, 1) * y + a(1, 2));
  };
  DetectRoi out;
  copySettingsTo(out);
  const PointMap map = [&](const cv::Point2f& p) { return cv::Point2f(through(p.x, p.y)); };
  // A mask pixel (u, v) sits at anchor + (u, v) and must land at the matrix's image of that
  // point. Warping the mask with the matrix as it stands would add its translation a second
  // time (the anchor already moves with it) and cut off whatever a turn sends above or left of
  // the anchor. So the new anchor is the top-left of the turned mask's bounding box, and the
  // mask is warped with the linear part and the offset of the mapped anchor from it.
  const MaskMap warp = [&](const RoiMask& shape, std::vector<cv::Point2f>& pts) {
    if (shape.mask.empty()) {
      return cv::Mat();
    }
    const double w = shape.mask.cols - 1;
    const double h = shape.mask.rows - 1;
    double x1 = DBL_MAX, y1 = DBL_MAX, x2 = -DBL_MAX, y2 = -DBL_MAX;
    for (const cv::Point2d& corner :
         {cv::Point2d(0, 0), cv::Point2d(w, 0), cv::Point2d(0, h), cv::Point2d(w, h)}) {
      const cv::Point2d q = through(shape.anchor.x + corner.x, shape.anchor.y + corner.y);
      x1 = std::min(x1, q.x);
      y1 = std::min(y1, q.y);
      x2 = std::max(x2, q.x);
      y2 = std::max(y2, q.y);
    }
    const cv::Point2d anchor(std::floor(x1), std::floor(y1));
    const cv::Size size(static_cast<int>(std::ceil(x2) - anchor.x) + 1,
                        static_cast<int>(std::ceil(y2) - anchor.y) + 1);
    const cv::Point2d mappedAnchor = through(shape.anchor.x, shape.anchor.y);
    const cv::Matx23d placement(a(0, 0), a(0, 1), mappedAnchor.x - anchor.x, a(1, 0), a(1, 1),
                                mappedAnchor.y - anchor.y);
    cv::Mat warped;
    cv::warpAffine(shape.mask, warped, placement, size, cv::INTER_NEAREST, cv::BORDER_CONSTANT,
                   cv::Scalar(0));
    pts[0] = cv::Point2f(anchor);
    return warped;
  };
  readd(out, addRois_, true, map, warp);
  readd(out, subRois_, false, map, warp);
  return out;
}

cv::Mat DetectRoi::highlightRoi(const cv::Mat& image) {
  // Without a mask every pixel of the region's rectangle counts: nothing to highlight.
  if (image.empty() || !needMask() || !updateTransform(image.size())) {
    return image;
  }
  const int channels = image.channels();
  if (channels != 1 && channels != 3 && channels != 4) {
    VISTREL_REPORT("highlightRoi: unexpected channel.");
    return cv::Mat();
  }
  if (!VISTREL_CHECK(image.depth() == CV_8U)) {
    return cv::Mat();
  }
  const cv::Mat mask = getMask(image.size());
  // The alpha channel lines up with the region in the source image: an unturned mask is placed
  // at the top-left of the region's rectangle, a turned one is warped back by invTransMat.
  // Parts of the ROI image outside the source image are cut off.
  cv::Mat placed;
  if (mask.empty()) {
    // A region no image can hold (refused when its mask was made) highlights nothing.
    placed = cv::Mat::zeros(image.size(), CV_8UC1);
  } else if (angle_ == 0 || maskOnly_) {
    placed = cropImage(mask, cv::Rect(-roiRect_.x, -roiRect_.y, image.cols, image.rows));
  } else {
    // Nearest keeps a hard mask binary; a soft one (fracBit) blends.
    cv::warpAffine(mask, placed, invTransMat_, image.size(),
                   fracBit_ > 0 ? cv::INTER_LINEAR : cv::INTER_NEAREST, cv::BORDER_CONSTANT,
                   cv::Scalar(0));
  }
  cv::Mat result(image.size(), CV_8UC4);
  const std::vector<int> grey = {0, 0, 0, 1, 0, 2, 1, 3};
  const std::vector<int> colour = {0, 0, 1, 1, 2, 2, channels, 3};
  const std::vector<cv::Mat> sources = {image, placed};
  std::vector<cv::Mat> targets = {result};
  cv::mixChannels(sources, targets, channels == 1 ? grey : colour);
  return result;
}

}  // namespace vistrel
