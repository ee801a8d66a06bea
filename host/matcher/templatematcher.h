#pragma once

#include <mutex>
#include <opencv2/core.hpp>
#include <optional>

#include "iwheelmodel.h"
#include "matcher/polarsignature.h"

namespace wheelhost {

// The host's template matcher for one catalogue model: scores a cut-out wheel against the
// model's template whatever the wheel's rotation and size in pixels.
//
// Both images are the square around the wheel's outline. Each is unwrapped onto one polar grid
// and normalised (PolarSignature); the score is half the mean squared difference of the two at
// the best rotation, i.e. 1 - correlation: about 0.03 for the right model under camera noise
// and a slightly off-centre cut, 0.2 to 0.45 for wheels of other designs, -1.0 when no score
// can be made (empty image, smaller than 16 px, no contrast, or an unusable template).
class TemplateMatcher : public IModelMatcher {
 public:
  // Separates the right model (below about 0.08) from the closest look-alikes of the bundled
  // sample set (0.19 and up).
  static constexpr double kDefaultAcceptLimit = 0.15;

  // `templ` is kept as given (shared, not copied) and handed out by TemplateImage.
  explicit TemplateMatcher(cv::Mat templ, double acceptLimit = kDefaultAcceptLimit,
                           const PolarGrid& grid = PolarGrid());

  // Scores `image` (any size, 8-bit grey or colour); lower is better. The option arguments
  // are the host interface's and do not change the result.
  double Match(const cv::Mat& image, int option1, int option2, bool flag, int option3,
               double value1, double value2) override;
  cv::Mat TemplateImage() override;
  // Builds the template's signature; Match does it on first use when Prepare was not called.
  void Prepare(int mode) override;
  double AcceptLimit() override;

  // False when the template cannot be scored against (empty, too small, no contrast).
  bool templateUsable();

  // The last score made and the rotation (degrees, +x towards +y) that turns the template into
  // the wheel it scored; nullopt before the first usable match or after clearLast().
  struct Outcome {
    double score;
    double angleDeg;
  };
  std::optional<Outcome> last() const;
  void clearLast();

 private:
  cv::Mat template_;
  double acceptLimit_;
  PolarGrid grid_;
  std::once_flag prepared_;
  PolarSignature signature_;
  mutable std::mutex lastMutex_;
  std::optional<Outcome> last_;
};

}  // namespace wheelhost
