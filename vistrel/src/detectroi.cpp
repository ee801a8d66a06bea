// DetectRoi: region content, derived geometry, ROI image and mask.
#include "vistrel/detectroi.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "roishapes.h"
#include "vistrel/assert.h"
#include "vistrel/geomutils.h"

namespace vistrel {

VISTREL_REGISTER_MODULE(DetectRoi, kDetectRoiModuleName)

namespace {

std::shared_ptr<DetectRoi::ShapedRoiBase> makeShape(DetectRoi::ShapeType type) {
  using ShapeType = DetectRoi::ShapeType;
  switch (type) {
    case ShapeType::Rectangle:
      return std::make_shared<DetectRoi::RoiRectangle>();
    case ShapeType::Polygon:
      return std::make_shared<DetectRoi::RoiPolygon>();
    case ShapeType::Circle:
      return std::make_shared<DetectRoi::RoiCircle>();
    case ShapeType::Annulus:
      return std::make_shared<DetectRoi::RoiAnnulus>();
    case ShapeType::AnnulusSector:
      return std::make_shared<DetectRoi::RoiAnnulusSector>();
    case ShapeType::Ellipse:
      return std::make_shared<DetectRoi::RoiEllipse>();
    case ShapeType::Mask:
      return std::make_shared<DetectRoi::RoiMask>();
    default:
      VISTREL_REPORT("unexpected shape type");
      return nullptr;
  }
}

// No image is this large: coordinates and margins beyond it are refused, which keeps every
// derived rectangle (an annulus' hull reaches about four times as far) well inside int.
constexpr float kMaxCoordinate = 1 << 24;
// Derived extents beyond this (a huge scale, say) make the region invalid.
constexpr double kMaxExtent = 1 << 28;

bool usableCoordinates(const std::vector<cv::Point2f>& pts) {
  for (const cv::Point2f& p : pts) {
    if (!(std::fabs(p.x) <= kMaxCoordinate && std::fabs(p.y) <= kMaxCoordinate)) return false;
  }
  return true;
}

// A ROI image (or mask) of `roi` pixels next to an image of `image`: anything more than 16
// times the image's area plus 256 x 256 pixels would be almost all fill, and its size would
// follow a number in the region rather than the image. Without an image, a fixed bound.
bool roiSizeFits(const cv::Size& roi, const cv::Size& image) {
  const double area = double(roi.width) * roi.height;
  const bool sizeGiven = image.width > 0 && image.height > 0;
  return area <= (sizeGiven ? 16.0 * image.width * image.height + 65536.0 : double(1 << 26));
}

cv::Mat affine(double m00, double m01, double m02, double m10, double m11, double m12) {
  return (cv::Mat_<double>(2, 3) << m00, m01, m02, m10, m11, m12);
}

}  // namespace

DetectRoi::DetectRoi() = default;
DetectRoi::~DetectRoi() = default;
DetectRoi::DetectRoi(const DetectRoi&) = default;
DetectRoi& DetectRoi::operator=(const DetectRoi&) = default;
DetectRoi::DetectRoi(DetectRoi&&) noexcept = default;
DetectRoi& DetectRoi::operator=(DetectRoi&&) noexcept = default;

void DetectRoi::clear() {
  addRois_.clear();
  subRois_.clear();
  roiHull_.clear();
  hullRect_ = cv::RotatedRect(cv::Point2f(0, 0), cv::Size2f(0, 0), 0.f);
  roiRect_ = cv::Rect(0, 0, 0, 0);
  roiSize_ = cv::Size(0, 0);
  transMat_ = cv::Mat();
  invTransMat_ = cv::Mat();
  needUpdate_ = true;
}

bool DetectRoi::empty() const { return addRois_.empty() && subRois_.empty(); }

void DetectRoi::setAngle(const cv::Point2f& direction) {
  setAngle(cv::fastAtan2(direction.x, direction.y));
}

void DetectRoi::setAngle(float degrees) {
  if (VISTREL_CHECK(std::isfinite(degrees)) && degrees != angle_) {
    angle_ = degrees;
    needUpdate_ = true;
  }
}

void DetectRoi::setScale(float scale) {
  if (VISTREL_CHECK(scale > 0 && std::isfinite(scale)) && scale != scale_) {
    scale_ = scale;
    needUpdate_ = true;
  }
}

void DetectRoi::setReserveSize(int size) {
  if (VISTREL_CHECK(size <= kMaxCoordinate) && size != reserveSize_) {
    reserveSize_ = size;
    needUpdate_ = true;
  }
}

void DetectRoi::setInterFlag(int flag) {
  // The interpolation in the low three bits, and the two warp flags above them.
  if (VISTREL_CHECK(flag >= 0 && flag < 32 && (flag & 7) <= cv::INTER_LANCZOS4)) {
    interFlag_ = flag;
  }
}

void DetectRoi::setBorderMode(int mode) {
  if (VISTREL_CHECK(mode >= cv::BORDER_CONSTANT && mode <= cv::BORDER_TRANSPARENT)) {
    borderMode_ = mode;
  }
}

void DetectRoi::setFracBit(int bits) {
  // OpenCV's drawing calls take at most 16 fractional bits.
  if (VISTREL_CHECK(bits >= 0 && bits <= 16)) {
    fracBit_ = bits;
  }
}

bool DetectRoi::addRoi(const std::vector<cv::Point2f>& pts, ShapeType type, const cv::Mat* mask) {
  return addShape(pts, type, mask, true);
}

bool DetectRoi::subRoi(const std::vector<cv::Point2f>& pts, ShapeType type, const cv::Mat* mask) {
  return addShape(pts, type, mask, false);
}

bool DetectRoi::addShape(const std::vector<cv::Point2f>& pts, ShapeType type, const cv::Mat* mask,
                         bool united) {
  std::shared_ptr<ShapedRoiBase> shape = makeShape(type);
  if (shape == nullptr || shape->type == ShapeType::None) {
    return false;
  }
  if (!VISTREL_CHECK(usableCoordinates(pts)) || !shape->setVertexes(pts)) {
    return false;
  }
  if (type == ShapeType::Mask) {
    // Without an image the shape still takes its place in the hull but draws nothing.
    if (VISTREL_CHECK(mask != nullptr)) {
      if (!VISTREL_CHECK(mask->empty() || mask->type() == CV_8UC1)) {
        return false;
      }
      static_cast<RoiMask&>(*shape).mask = *mask;
    }
  }
  if (united) {
    roiHull_ = shape->mergeHull(roiHull_);
    hullRect_ = cv::minAreaRect(roiHull_);
    addRois_.push_back(std::move(shape));
  } else {
    subRois_.push_back(std::move(shape));
  }
  needUpdate_ = true;
  return true;
}

bool DetectRoi::updateTransform(const cv::Size& imageSize) {
  const bool sizeGiven = imageSize.width > 0 && imageSize.height > 0;
  // A mask-only region covers the whole image, so its geometry follows the image size.
  if (maskOnly_ && sizeGiven && transformValid() && imageSize != roiSize_) {
    needUpdate_ = true;
  }
  if (!needUpdate_) {
    return transformValid();
  }
  // One run per change, whatever its outcome: a mask-only region first asked without an image
  // size stays invalid until the next change.
  needUpdate_ = false;
  if (roiHull_.empty() || empty()) {
    return false;
  }
  if (maskOnly_) {
    if (!sizeGiven) {
      return false;
    }
    roiRect_ = cv::Rect(cv::Point(0, 0), imageSize);
    roiSize_ = imageSize;
    transMat_ = affine(1, 0, 0, 0, 1, 0);
    invTransMat_ = affine(1, 0, 0, 0, 1, 0);
    return true;
  }

  float x1 = FLT_MAX, y1 = FLT_MAX, x2 = -FLT_MAX, y2 = -FLT_MAX;
  for (const cv::Point2f& p : roiHull_) {
    x1 = std::min(x1, p.x);
    y1 = std::min(y1, p.y);
    x2 = std::max(x2, p.x);
    y2 = std::max(y2, p.y);
  }
  if (reserveSize_ > 0) {
    const float r = static_cast<float>(reserveSize_);
    x1 -= r;
    y1 -= r;
    x2 += r;
    y2 += r;
  }
  if (!VISTREL_CHECK(x2 - x1 <= kMaxExtent && y2 - y1 <= kMaxExtent)) {
    transMat_ = cv::Mat();
    invTransMat_ = cv::Mat();
    return false;
  }
  const int left = static_cast<int>(std::floor(x1));
  const int top = static_cast<int>(std::floor(y1));
  // Both end pixels belong to the region.
  roiRect_ = cv::Rect(left, top, static_cast<int>(std::ceil(x2)) - left + 1,
                      static_cast<int>(std::ceil(y2)) - top + 1);

  if (angle_ == 0) {
    roiSize_ = roiRect_.size();
    transMat_ = affine(1, 0, 0, 0, 1, 0);
    invTransMat_ = affine(1, 0, roiRect_.x, 0, 1, roiRect_.y);
    return true;
  }

  const cv::Point2f c(static_cast<float>(roiRect_.width / 2.0),
                      static_cast<float>(roiRect_.height / 2.0));
  transMat_ = cv::getRotationMatrix2D(c, -angle_, scale_);
  std::vector<cv::Point2f> turned(roiHull_.size());
  for (std::size_t i = 0; i < roiHull_.size(); ++i) {
    turned[i] = roiHull_[i] - cv::Point2f(roiRect_.tl());
  }
  transformPoints(turned, turned, roishape_detail::toMatx23f(transMat_));
  float nx1 = FLT_MAX, ny1 = FLT_MAX, nx2 = -FLT_MAX, ny2 = -FLT_MAX;
  for (const cv::Point2f& p : turned) {
    nx1 = std::min(nx1, p.x);
    ny1 = std::min(ny1, p.y);
    nx2 = std::max(nx2, p.x);
    ny2 = std::max(ny2, p.y);
  }
  const cv::Rect2f nb(nx1, ny1, nx2 - nx1, ny2 - ny1);
  if (!VISTREL_CHECK(nb.width <= kMaxExtent && nb.height <= kMaxExtent)) {
    transMat_ = cv::Mat();
    invTransMat_ = cv::Mat();
    return false;
  }
  // One less than the floor of the turned extents (plus the margin on both sides). A region
  // under two pixels across keeps one pixel, so that the ROI image is never empty.
  roiSize_ = cv::Size(static_cast<int>(std::floor(nb.width) - 1),
                      static_cast<int>(std::floor(nb.height) - 1));
  if (reserveSize_ > 0) {
    roiSize_ += cv::Size(2 * reserveSize_, 2 * reserveSize_);
  }
  roiSize_ = cv::Size(std::max(1, roiSize_.width), std::max(1, roiSize_.height));
  // OpenCV's warp takes images below 32767 pixels a side, on either end.
  const bool warpable =
      std::max({roiRect_.width, roiRect_.height, roiSize_.width, roiSize_.height}) < SHRT_MAX;
  if (!VISTREL_CHECK(warpable)) {
    transMat_ = cv::Mat();
    invTransMat_ = cv::Mat();
    return false;
  }
  // Centre the turned hull in the ROI image.
  const cv::Point2f shift(roiSize_.width / 2.f - (nb.x + nb.width / 2.f),
                          roiSize_.height / 2.f - (nb.y + nb.height / 2.f));
  transMat_.at<double>(0, 2) += shift.x;
  transMat_.at<double>(1, 2) += shift.y;
  cv::invertAffineTransform(transMat_, invTransMat_);
  invTransMat_.at<double>(0, 2) += roiRect_.x;
  invTransMat_.at<double>(1, 2) += roiRect_.y;
  return true;
}

cv::Mat DetectRoi::getRoiImage(const cv::Mat& image, const cv::Point2f& direction, cv::Mat* mask) {
  setAngle(direction);
  return getRoiImage(image, mask);
}

cv::Mat DetectRoi::getRoiImage(const cv::Mat& image, float angle, cv::Mat* mask) {
  setAngle(angle);
  return getRoiImage(image, mask);
}

cv::Mat DetectRoi::getRoiImage(const cv::Mat& image, cv::Mat* mask) {
  const bool usable = !image.empty() && updateTransform(image.size());
  if (!VISTREL_CHECK(!usable || roiSizeFits(roiSize_, image.size())) || !usable) {
    if (mask != nullptr) {
      *mask = cv::Mat();
    }
    return image;
  }
  cv::Mat result;
  if (maskOnly_) {
    result = image;
  } else {
    cv::Mat crop = cropImage(image, roiRect_);
    if (angle_ == 0) {
      result = crop;
    } else {
      cv::warpAffine(crop, result, transMat_, roiSize_, interFlag_, borderMode_,
                     cv::Scalar::all(0));
    }
  }
  if (mask != nullptr) {
    *mask = getMask(image.size());
  }
  return result;
}

cv::Mat DetectRoi::cropImage(const cv::Mat& image, const cv::Rect& rect) {
  if (rect.width <= 0 || rect.height <= 0) {
    return cv::Mat();
  }
  if (rect.x >= 0 && rect.y >= 0 && rect.x + rect.width <= image.cols &&
      rect.y + rect.height <= image.rows) {
    return cv::Mat(image, rect);
  }
  cv::Mat out = cv::Mat::zeros(rect.size(), image.type());
  const cv::Rect inside = rect & cv::Rect(0, 0, image.cols, image.rows);
  if (!inside.empty()) {
    image(inside).copyTo(out(cv::Rect(inside.tl() - rect.tl(), inside.size())));
  }
  return out;
}

bool DetectRoi::needMask() const {
  if (roiHull_.empty()) {
    return false;
  }
  // A mask-only ROI image is the whole source image, which the region rarely fills.
  if (maskOnly_) {
    return true;
  }
  // Axis-aligned in the ROI image when the hull's turn plus the region's is a multiple of
  // 90 degrees; taken from either side, so that 89.9999 counts like 90.
  const float off = std::fabs(std::fmod(hullRect_.angle + angle_, 90.f));
  if (std::min(off, 90.f - off) >= 0.001f) {
    return true;
  }
  if (!subRois_.empty() || addRois_.size() != 1) {
    return true;
  }
  return addRois_.front()->type != ShapeType::Rectangle;
}

cv::Mat DetectRoi::getMask(const cv::Size& imageSize) {
  if (!needMask() || !updateTransform(imageSize)) {
    return cv::Mat();
  }
  if (!VISTREL_CHECK(roiSizeFits(roiSize_, imageSize))) {
    return cv::Mat();
  }
  cv::Mat canvas = cv::Mat::zeros(roiSize_, CV_8UC1);
  const cv::Point tl = roiRect_.tl();
  bool empty = true;  // the canvas holds no shape yet
  for (const auto& shape : addRois_) {
    if (empty) {
      shape->drawOnEmpty(canvas, tl, transMat_, cv::Scalar(255), fracBit_);
    } else {
      shape->draw(canvas, tl, transMat_, cv::Scalar(255), fracBit_);
    }
    empty = false;
  }
  for (const auto& shape : subRois_) {
    shape->draw(canvas, tl, transMat_, cv::Scalar(0), fracBit_);
  }
  return canvas;
}

cv::Rect DetectRoi::getRoiRect() {
  return updateTransform(cv::Size()) ? roiRect_ : cv::Rect(0, 0, 0, 0);
}

cv::Size DetectRoi::getRoiSize() { return updateTransform(cv::Size()) ? roiSize_ : cv::Size(0, 0); }

std::shared_ptr<DetectRoi> DetectRoi::getInstance(const std::string& name) {
  return ObjectFactory<DetectRoi>::instance().getInstance(name);
}

bool DetectRoi::setInstance(const std::string& name, std::shared_ptr<DetectRoi> instance) {
  return ObjectFactory<DetectRoi>::instance().setInstance(name, std::move(instance));
}

bool DetectRoi::releaseInstance(const std::string& name) {
  return ObjectFactory<DetectRoi>::instance().releaseInstance(name);
}

}  // namespace vistrel
