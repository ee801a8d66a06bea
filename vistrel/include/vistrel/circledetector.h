#pragma once

// CircleDetector: finds a circle whose centre lies roughly at a given point and whose radius
// lies in a given range, to a small fraction of a pixel.
//
// The detector cuts an annulus around the given centre out of the image (a DetectRoi), votes
// the edge pixels of a reduced copy that face the centre into a radial score profile, picks
// the radius peaks of that profile, and fits each circle robustly (weighted least squares on
// edges re-detected at full resolution).
//
// A typical use:
//   vistrel::CircleDetector det;
//   det.setPolarity(vistrel::Polarity::White2Black);   // a bright disc on a dark background
//   det.setRadiusRange(300, 450);
//   cv::Vec3f circle(0, 0, 0);
//   float score = det.detect(image, cv::Point2f(640, 512), circle);
//   if (std::fabs(score) > FLT_EPSILON) { ... circle[0], circle[1]: centre; circle[2]: radius }
//
// Coordinates are pixels of the image given to the operation, pixel centres at integer
// positions, x to the right, y downwards. Scores are percent of a perfect circle: the
// kernel-weighted edge strength per unit of circumference, relative to the strongest edge
// found (or to the magnitude 1024, see setFixedMagnitudeScale); positive when the inside is
// darker, negative when it is brighter.
//
// The detector holds only its settings: every detection is independent, the settings stay as
// they are, and a const detector may serve several threads at once. It is copyable as a value
// and is also a module ("CircleDetector", kCircleDetectorModuleName) of the module registry.

#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "vistrel/assert.h"
#include "vistrel/export.h"
#include "vistrel/moduleregistry.h"

namespace vistrel {

// Which edge direction counts.
enum class Polarity : std::int32_t {
  Black2White = 0,  // the inside is darker: gradients point outward
  White2Black = 1,  // the inside is brighter
  Either = 2,
};

// Which radius peaks are reported, and in what order.
enum class FindBy : std::int32_t {
  Best = 0,       // the largest absolute scores, best first when some are left out
  Innermost = 1,  // from the smallest radius outward
  Outermost = 2,  // from the largest radius inward
  All = 3,        // every peak, by ascending radius (several-circle operations)
};

// Detection method. Only PeakCircle is implemented.
enum CircleMethod : std::int32_t { HoughCircle = 0, PeakCircle = 1 };

struct PeakCircleParams;  // the search's settings, internal

class VISTREL_EXPORT CircleDetector : public IVistrelModuleInstance {
 public:
  CircleDetector();
  ~CircleDetector() override;
  CircleDetector(const CircleDetector&) = default;
  CircleDetector& operator=(const CircleDetector&) = default;

  // --- Settings -------------------------------------------------------------------------
  // A setter that refuses a value reports the failed condition and keeps the old value.

  // Default Either.
  void setPolarity(Polarity val) {
    if (VISTREL_CHECK(val >= Polarity::Black2White && val <= Polarity::Either)) polarity_ = val;
  }
  // Default Best. Innermost and Outermost take the first radius peak above the acceptance
  // threshold from their side, and All every one: give them a threshold (10 to 30 percent is
  // typical), or a ripple of the image noise may come first.
  void setFindBy(FindBy val) {
    if (VISTREL_CHECK(val >= FindBy::Best && val <= FindBy::All)) findBy_ = val;
  }
  // Minimum absolute score in percent, 0..100. Default 0.
  void setAcceptThreshold(int val) {
    if (VISTREL_CHECK(val >= 0 && val <= 100)) acceptThreshold_ = val;
  }
  // Default PeakCircle.
  void setMethod(CircleMethod val) {
    if (VISTREL_CHECK(val >= HoughCircle && val <= PeakCircle)) method_ = val;
  }
  // Expected edge width in pixels (default 3); sizes the radial vote kernel (3: 17 bins,
  // 2: 9 bins, 1 or less: 1 bin) and below 3 makes a wide search run at full resolution. An
  // edge wider than the region image's longer side is no edge of anything in it: such a
  // search reports and finds nothing.
  void setEdgeWidth(int val) { edgeWidth_ = val; }
  // Radius range in pixels, either order: the smaller value becomes the minimum. There is no
  // useful default (0, 0): set it before detecting. A negative minimum makes detection fail.
  void setRadiusRange(int a, int b) {
    minRadius_ = a < b ? a : b;
    maxRadius_ = a < b ? b : a;
  }
  // Precision preset, -1..3: -1 (default) is 2 for detect and 0 for detectMany. Presets trade
  // time for accuracy: 0 fits the edge pixels of the reduced image with one hard-cut-off
  // reweighting; 1 fits their sub-pixel positions with up to 5 reweightings; 2 re-detects the
  // edges at full resolution (up to 5 reweightings); 3 also searches at full resolution
  // whenever the reduction would be 2 or less, with L1-L2 weights.
  void setPrecisionPreset(int val) {
    if (VISTREL_CHECK(val >= -1 && val <= 3)) precisionPreset_ = val;
  }
  // false (default): scores are relative to the strongest edge found in the region; true:
  // relative to the fixed gradient magnitude 1024, so that scores compare across images.
  void setFixedMagnitudeScale(bool val) { fixedMagnitudeScale_ = val ? 1 : 0; }

  Polarity polarity() const { return polarity_; }
  FindBy findBy() const { return findBy_; }
  int acceptThreshold() const { return acceptThreshold_; }
  int edgeWidth() const { return edgeWidth_; }
  CircleMethod method() const { return method_; }
  int minRadius() const { return minRadius_; }
  int maxRadius() const { return maxRadius_; }
  int precisionPreset() const { return precisionPreset_; }
  bool fixedMagnitudeScale() const { return fixedMagnitudeScale_ != 0; }

  // The precision code of a preset: low nibble the peak mode, high nibble the fitting
  // accuracy. 0 -> 0x11, 1 -> 0x22, 2 -> 0x23, 3 -> 0x44, other presets -> 0; below 0 the
  // operation's default: 0x23 for one circle, 0x11 for several.
  static int precisionCode(int preset, bool severalCircles);

  // --- Detection ------------------------------------------------------------------------

  // The best circle around `center` (image coordinates) in `image` (8-bit, 1, 3 (BGR) or 4
  // (BGRA) channels). Returns its score, or 0 when no circle qualifies. `circle` is written
  // only when a circle is found; pass (0, 0, 0) and test the score (|score| > FLT_EPSILON).
  // `profile` (optional) receives the radial score profile: one value per radius bin of the
  // reduced image, the first bin at the minimum radius. An image narrower or lower than
  // 2 x maxRadius returns 0 at once and touches no output.
  virtual float detect(const cv::Mat& image, cv::Point2f center, cv::Vec3f& circle,
                       std::vector<float>* profile = nullptr) const;

  // The same on an already cut-out region image whose centre is the circle's rough centre;
  // coordinates are those of the region image. `mask` (CV_8UC1, the region image's size, 0 for
  // pixels to ignore) may be empty: every pixel counts.
  virtual float detectInRoi(const cv::Mat& roiImage, cv::Vec3f& circle, std::vector<float>* profile,
                            const cv::Mat& mask) const;

  // Up to `maxCount` circles around `center`, in the order of findBy (All: every radius peak,
  // whatever maxCount). Returns the number found; `circles` and `scores` (each optional)
  // receive them. With neither given, the radius peaks are counted without fitting. The
  // `reserved` argument is not used.
  virtual int detectMany(const cv::Mat& image, cv::Point2f center, std::vector<cv::Vec3f>* circles,
                         std::vector<float>* scores, std::vector<float>* profile, int reserved,
                         int maxCount) const;

  // The same on a region image with its mask, as detectInRoi.
  virtual int detectManyInRoi(const cv::Mat& roiImage, std::vector<cv::Vec3f>* circles,
                              std::vector<float>* scores, std::vector<float>* profile, int reserved,
                              int maxCount, const cv::Mat& mask) const;

  // --- Shared instances by name (module "CircleDetector") --------------------------------

  static std::shared_ptr<CircleDetector> getInstance(const std::string& name);
  static bool setInstance(const std::string& name, std::shared_ptr<CircleDetector> instance);
  static bool releaseInstance(const std::string& name);

 private:
  // The grey image and search settings both in-region searches start from; false (after the
  // report) when the image, the method or the radius range rules the search out.
  bool prepareSearch(const cv::Mat& roiImage, bool severalCircles, cv::Mat& grey,
                     PeakCircleParams& params) const;
  // false (after the report) for a negative minimum radius.
  bool radiusRangeUsable() const;

  Polarity polarity_ = Polarity::Either;
  FindBy findBy_ = FindBy::Best;
  int acceptThreshold_ = 0;
  int edgeWidth_ = 3;
  CircleMethod method_ = PeakCircle;
  int minRadius_ = 0;
  int maxRadius_ = 0;
  int precisionPreset_ = -1;
  int fixedMagnitudeScale_ = 0;
};

}  // namespace vistrel
