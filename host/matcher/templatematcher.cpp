#include "matcher/templatematcher.h"

#include <utility>

#include "matcher/signaturememo.h"

namespace wheelhost {

TemplateMatcher::TemplateMatcher(cv::Mat templ, double acceptLimit, const PolarGrid& grid)
    : template_(std::move(templ)), acceptLimit_(acceptLimit), grid_(grid) {}

void TemplateMatcher::Prepare(int /*mode*/) {
  std::call_once(prepared_, [this] { signature_ = PolarSignature::fromImage(template_, grid_); });
}

bool TemplateMatcher::templateUsable() {
  Prepare(0);
  return !signature_.empty();
}

double TemplateMatcher::Match(const cv::Mat& image, int, int, bool, int, double, double) {
  Prepare(0);
  if (signature_.empty()) return -1.0;
  const PolarSignature wheel = signatureOf(image, grid_);
  if (wheel.empty()) return -1.0;
  const RotationMatch m = signature_.bestRotation(wheel);
  std::lock_guard<std::mutex> lock(lastMutex_);
  last_ = Outcome{m.score, m.angleDeg};
  return m.score;
}

cv::Mat TemplateMatcher::TemplateImage() { return template_; }

double TemplateMatcher::AcceptLimit() { return acceptLimit_; }

std::optional<TemplateMatcher::Outcome> TemplateMatcher::last() const {
  std::lock_guard<std::mutex> lock(lastMutex_);
  return last_;
}

void TemplateMatcher::clearLast() {
  std::lock_guard<std::mutex> lock(lastMutex_);
  last_.reset();
}

}  // namespace wheelhost
