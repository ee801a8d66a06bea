#include "runner/overlay.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace wheelhost {

cv::Mat drawOverlay(const cv::Mat& sourceGrey, const ImageOutcome& o) {
  cv::Mat out;
  cv::cvtColor(sourceGrey, out, cv::COLOR_GRAY2BGR);
  const int side = std::min(out.cols, out.rows);
  const int thick = std::max(1, side / 400);
  const double scale = std::max(0.4, side / 900.0);
  const int font = cv::FONT_HERSHEY_SIMPLEX;
  const cv::Scalar green(0, 220, 0), red(40, 40, 255), yellow(0, 230, 255);

  const auto label = [&](const std::string& text, cv::Point at, const cv::Scalar& colour) {
    int baseline = 0;
    const cv::Size size = cv::getTextSize(text, font, scale, thick, &baseline);
    at.x = std::clamp(at.x, 2, std::max(2, out.cols - size.width - 2));
    at.y = std::clamp(at.y, size.height + 2, std::max(size.height + 2, out.rows - baseline - 2));
    // A dark band under the text keeps it readable on bright wheels.
    cv::rectangle(out, at + cv::Point(-2, baseline + 2),
                  at + cv::Point(size.width + 2, -size.height - 2), cv::Scalar(0, 0, 0),
                  cv::FILLED);
    cv::putText(out, text, at, font, scale, colour, thick, cv::LINE_AA);
  };

  if (o.status == ImageOutcome::Status::Found && o.centre && o.radius) {
    // Drawn with 4 fractional bits, so the circle sits where it was located, not on whole pixels.
    constexpr int kShift = 4;
    const auto fixed = [](double v) { return cvRound(v * (1 << kShift)); };
    const cv::Point c(fixed(o.centre->x), fixed(o.centre->y));
    cv::circle(out, c, fixed(*o.radius), green, thick, cv::LINE_AA, kShift);
    const int arm = fixed(std::max(6.0, *o.radius * 0.05));
    cv::line(out, c - cv::Point(arm, 0), c + cv::Point(arm, 0), yellow, thick, cv::LINE_AA, kShift);
    cv::line(out, c - cv::Point(0, arm), c + cv::Point(0, arm), yellow, thick, cv::LINE_AA, kShift);
    const std::string text = (o.model.isEmpty() ? std::string("no model") : o.model.toStdString()) +
                             (o.hasScore() ? cv::format("  score %.3f", o.score) : std::string());
    label(text,
          cv::Point(cvRound(o.centre->x - *o.radius), cvRound(o.centre->y - *o.radius) - 8 * thick),
          green);
  } else if (o.status == ImageOutcome::Status::Found) {
    label("found (cut-out not located)", cv::Point(10, 10), yellow);
  } else {
    label(o.status == ImageOutcome::Status::NoWheel
              ? std::string("no wheel")
              : statusName(o.status) + std::string(": ") + o.error.toStdString(),
          cv::Point(10, 10), red);
  }
  return out;
}

cv::Mat thumbnailOf(const cv::Mat& image, int side) {
  const int longer = std::max(image.cols, image.rows);
  if (longer <= side || image.empty()) return image;
  const double scale = static_cast<double>(side) / longer;
  const cv::Size size(std::max(1, cvRound(image.cols * scale)),
                      std::max(1, cvRound(image.rows * scale)));
  cv::Mat thumb;
  cv::resize(image, thumb, size, 0, 0, cv::INTER_AREA);
  return thumb;
}

}  // namespace wheelhost
