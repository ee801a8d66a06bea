#include "vistrel/circledetector.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <opencv2/imgproc.hpp>

#include "circle/peakcircle.h"
#include "peak/peakvote.h"
#include "vistrel/detectroi.h"

namespace vistrel {

// The search carries polarity and report order as integers.
static_assert(static_cast<int>(Polarity::Black2White) == kPolarityBlack2White &&
                  static_cast<int>(Polarity::White2Black) == kPolarityWhite2Black &&
                  static_cast<int>(Polarity::Either) == kPolarityEither,
              "polarity codes");
static_assert(static_cast<int>(FindBy::Best) == kFindByBest &&
                  static_cast<int>(FindBy::Innermost) == kFindByInnermost &&
                  static_cast<int>(FindBy::Outermost) == kFindByOutermost &&
                  static_cast<int>(FindBy::All) == kFindByAll,
              "report order codes");

namespace {

// Width of the band along the image border that is kept out of the search when the annulus
// reaches past the image: the coarsest reduction step (8) plus one reduced pixel of Sobel
// support would otherwise see the zero fill, and the full-resolution patch reaches 3 pixels.
constexpr int kBorderBand = 10;

// The region image of an annulus that reaches past the image is padded with 0 there: a false
// edge along the image border, as strong as the image is bright. Those pixels, and a band next
// to them, are taken out of the mask.
void maskOutsideImage(const cv::Rect& rect, const cv::Size& imageSize, const cv::Size& roiSize,
                      cv::Mat& mask) {
  const cv::Rect image(0, 0, imageSize.width, imageSize.height);
  if ((rect & image) == rect) return;
  int x0 = std::max(0, -rect.x), y0 = std::max(0, -rect.y);
  int x1 = std::min(rect.width, imageSize.width - rect.x);
  int y1 = std::min(rect.height, imageSize.height - rect.y);
  if (x0 > 0) x0 += kBorderBand;
  if (y0 > 0) y0 += kBorderBand;
  if (x1 < rect.width) x1 -= kBorderBand;
  if (y1 < rect.height) y1 -= kBorderBand;
  if (mask.empty()) mask = cv::Mat(roiSize, CV_8UC1, cv::Scalar(255));
  cv::Mat keep = cv::Mat::zeros(roiSize, CV_8UC1);
  if (x1 > x0 && y1 > y0) keep(cv::Rect(x0, y0, x1 - x0, y1 - y0)).setTo(255);
  cv::bitwise_and(mask, keep, mask);
}

// The annulus of the detector's radius range around `center`, cut out of `image`, with its
// mask. Returns the region for mapping results back.
DetectRoi cutAnnulus(const cv::Mat& image, cv::Point2f center, int minRadius, int maxRadius,
                     cv::Mat& roiImage, cv::Mat& mask) {
  DetectRoi roi;
  roi.addRoi({center, center + cv::Point2f(0.f, static_cast<float>(minRadius)),
              center + cv::Point2f(0.f, static_cast<float>(maxRadius))},
             DetectRoi::ShapeType::Annulus);
  roiImage = roi.getRoiImage(image, &mask);
  const cv::Rect rect = roi.getRoiRect();
  if (rect.area() > 0 && roiImage.size() == rect.size()) {
    maskOutsideImage(rect, image.size(), roiImage.size(), mask);
  }
  return roi;
}

// `roiImage` as one 8-bit grey channel: a view when it already is one.
bool toGrey(const cv::Mat& roiImage, cv::Mat& grey) {
  if (roiImage.empty() && (roiImage.channels() == 3 || roiImage.channels() == 4)) {
    grey = cv::Mat();  // nothing to convert, and nothing to find
    return true;
  }
  switch (roiImage.channels()) {
    case 1:
      grey = roiImage;
      return true;
    case 3:
      cv::cvtColor(roiImage, grey, cv::COLOR_BGR2GRAY);
      return true;
    case 4:
      cv::cvtColor(roiImage, grey, cv::COLOR_BGRA2GRAY);
      return true;
    default:
      VISTREL_REPORT("unsupported image conversion.");
      return false;
  }
}

bool isZero(const cv::Vec3f& c) { return c[0] == 0 && c[1] == 0 && c[2] == 0; }

// The checks and the cut shared by detect and detectMany: false (nothing cut) for a centre
// that is not finite, an image narrower or lower than 2 x maxRadius, or an annulus that lies
// wholly outside the image.
bool cutSearchRegion(const cv::Mat& image, cv::Point2f center, int minRadius, int maxRadius,
                     DetectRoi& roi, cv::Mat& roiImage, cv::Mat& mask) {
  if (!VISTREL_CHECK(std::isfinite(center.x) && std::isfinite(center.y))) return false;
  const std::int64_t size = 2 * std::int64_t{maxRadius};
  if (image.cols < size || image.rows < size) return false;
  // Outside the image the whole region would be masked off, so nothing can be found there;
  // and a centre far out would overflow the region's integer geometry.
  const double r = maxRadius;
  if (center.x + r < 0 || center.y + r < 0 || center.x - r > image.cols ||
      center.y - r > image.rows) {
    return false;
  }
  roi = cutAnnulus(image, center, minRadius, maxRadius, roiImage, mask);
  return true;
}

}  // namespace

CircleDetector::CircleDetector() = default;
CircleDetector::~CircleDetector() = default;

int CircleDetector::precisionCode(int preset, bool severalCircles) {
  if (preset < 0) return severalCircles ? 0x11 : 0x23;
  static const int kCodes[] = {0x11, 0x22, 0x23, 0x44};
  return preset < 4 ? kCodes[preset] : 0;
}

bool CircleDetector::radiusRangeUsable() const { return VISTREL_CHECK_GE(minRadius_, 0); }

// The checks before either search, in the order their reports come; fills the grey image and
// the search settings.
bool CircleDetector::prepareSearch(const cv::Mat& roiImage, bool severalCircles, cv::Mat& grey,
                                   PeakCircleParams& params) const {
  if (!toGrey(roiImage, grey)) return false;
  if (method_ != PeakCircle) {
    VISTREL_REPORT("Unexpected algorithm type, or it's not implemented.");
    return false;
  }
  if (!radiusRangeUsable()) return false;
  if (!VISTREL_CHECK(edgeWidth_ <= std::max(grey.cols, grey.rows))) return false;
  params = PeakCircleParams{acceptThreshold_,
                            edgeWidth_,
                            minRadius_,
                            maxRadius_,
                            static_cast<int>(polarity_),
                            static_cast<int>(findBy_),
                            precisionCode(precisionPreset_, severalCircles),
                            fixedMagnitudeScale_};
  return true;
}

float CircleDetector::detect(const cv::Mat& image, cv::Point2f center, cv::Vec3f& circle,
                             std::vector<float>* profile) const {
  cv::Mat roiImage, mask;
  DetectRoi roi;
  // The range is checked before the cut: a negative inner radius would cut a disc as wide
  // as its magnitude.
  if (!radiusRangeUsable() ||
      !cutSearchRegion(image, center, minRadius_, maxRadius_, roi, roiImage, mask)) {
    return 0;
  }
  cv::Vec3f found(0, 0, 0);
  const float score = detectInRoi(roiImage, found, profile, mask);
  if (!isZero(found)) {
    float x = found[0], y = found[1];
    roi.toImage(x, y);
    circle = cv::Vec3f(x, y, found[2]);
  }
  return score;
}

float CircleDetector::detectInRoi(const cv::Mat& roiImage, cv::Vec3f& circle,
                                  std::vector<float>* profile, const cv::Mat& mask) const {
  cv::Mat grey;
  PeakCircleParams params;
  if (!prepareSearch(roiImage, false, grey, params)) return 0;
  return detectBestPeakCircle(grey, circle, profile, params, &mask);
}

int CircleDetector::detectMany(const cv::Mat& image, cv::Point2f center,
                               std::vector<cv::Vec3f>* circles, std::vector<float>* scores,
                               std::vector<float>* profile, int reserved, int maxCount) const {
  cv::Mat roiImage, mask;
  DetectRoi roi;
  // The range is checked before the cut: a negative inner radius would cut a disc as wide
  // as its magnitude.
  if (!radiusRangeUsable() ||
      !cutSearchRegion(image, center, minRadius_, maxRadius_, roi, roiImage, mask)) {
    return 0;
  }
  const int n = detectManyInRoi(roiImage, circles, scores, profile, reserved, maxCount, mask);
  if (circles) {
    for (int i = 0; i < n && i < static_cast<int>(circles->size()); ++i) {
      cv::Vec3f& c = (*circles)[i];
      roi.toImage(c[0], c[1]);
    }
  }
  return n;
}

int CircleDetector::detectManyInRoi(const cv::Mat& roiImage, std::vector<cv::Vec3f>* circles,
                                    std::vector<float>* scores, std::vector<float>* profile,
                                    int /*reserved*/, int maxCount, const cv::Mat& mask) const {
  cv::Mat grey;
  PeakCircleParams params;
  if (!prepareSearch(roiImage, true, grey, params)) return 0;
  return detectPeakCircles(grey, circles, scores, profile, params, maxCount, &mask);
}

std::shared_ptr<CircleDetector> CircleDetector::getInstance(const std::string& name) {
  return ObjectFactory<CircleDetector>::instance().getInstance(name);
}

bool CircleDetector::setInstance(const std::string& name,
                                 std::shared_ptr<CircleDetector> instance) {
  return ObjectFactory<CircleDetector>::instance().setInstance(name, std::move(instance));
}

bool CircleDetector::releaseInstance(const std::string& name) {
  return ObjectFactory<CircleDetector>::instance().releaseInstance(name);
}

// Registered under its fixed name, so that lookups need not know the class.
VISTREL_REGISTER_MODULE(CircleDetector, kCircleDetectorModuleName)

}  // namespace vistrel
