#include "runner/cutoutlocator.h"

#include <QVariantList>
#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "analysiskeys.h"

namespace wheelhost {

namespace {

constexpr double kMaxResidual = 2.0;

double meanAbsDiff(const cv::Mat& a, const cv::Mat& b) {
  return cv::norm(a, b, cv::NORM_L1) / static_cast<double>(a.total());
}

// The top-left corner where `patch` best matches `image` (same scale): the minimum of the
// squared difference, searched on a copy reduced so the patch is about 48 px, then refined at
// full size in a window around it.
std::optional<cv::Point> bestPosition(const cv::Mat& image, const cv::Mat& patch) {
  if (patch.empty() || patch.cols > image.cols || patch.rows > image.rows) return std::nullopt;
  const int f = std::max(1, std::min(patch.cols, patch.rows) / 48);
  cv::Point estimate(0, 0);
  int margin = 0;
  if (f > 1) {
    cv::Mat smallImage, smallPatch, cost;
    cv::resize(image, smallImage, cv::Size(image.cols / f, image.rows / f), 0, 0, cv::INTER_AREA);
    cv::resize(patch, smallPatch, cv::Size(patch.cols / f, patch.rows / f), 0, 0, cv::INTER_AREA);
    if (smallPatch.cols > smallImage.cols || smallPatch.rows > smallImage.rows) return std::nullopt;
    cv::matchTemplate(smallImage, smallPatch, cost, cv::TM_SQDIFF);
    cv::Point loc;
    cv::minMaxLoc(cost, nullptr, nullptr, &loc, nullptr);
    estimate = loc * f;
    margin = 2 * f + 2;
  }
  // Without a coarse step the whole image is the window.
  const cv::Rect all(0, 0, image.cols, image.rows);
  const cv::Rect window = f > 1 ? cv::Rect(estimate.x - margin, estimate.y - margin,
                                           patch.cols + 2 * margin, patch.rows + 2 * margin) &
                                      all
                                : all;
  if (window.width < patch.cols || window.height < patch.rows) return std::nullopt;
  cv::Mat cost;
  cv::matchTemplate(image(window), patch, cost, cv::TM_SQDIFF);
  cv::Point loc;
  cv::minMaxLoc(cost, nullptr, nullptr, &loc, nullptr);
  return loc + window.tl();
}

}  // namespace

std::optional<CutoutPlacement> locateCutout(const cv::Mat& source, const cv::Mat& cutout) {
  if (source.empty() || cutout.empty() || source.type() != CV_8UC1 || cutout.type() != CV_8UC1) {
    return std::nullopt;
  }
  std::optional<CutoutPlacement> best;
  const auto consider = [&](const CutoutPlacement& p) {
    if (p.residual <= kMaxResidual && (!best || p.residual < best->residual)) best = p;
  };

  // As it stands.
  if (const auto at = bestPosition(source, cutout)) {
    const cv::Rect rect(*at, cutout.size());
    consider({rect, false, meanAbsDiff(source(rect), cutout)});
    if (best && best->residual == 0.0) return best;
  }

  // Halved: the cut square was 2w or 2w + 1 px wide. Find the cut-out in a half-size source,
  // then try every cut near twice that place, halved as the analysis halves.
  if (2 * cutout.cols + 1 >= 900 || 2 * cutout.rows + 1 >= 900) {
    cv::Mat half;
    cv::resize(source, half, cv::Size(source.cols / 2, source.rows / 2), 0, 0, cv::INTER_AREA);
    if (const auto at = bestPosition(half, cutout)) {
      cv::Mat shrunk;
      for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
          for (int extra = 0; extra < 4; ++extra) {
            // The analysis cuts squares: a square cut-out came from a square of 2w or 2w + 1.
            const int ew = extra & 1, eh = extra >> 1;
            if (cutout.cols == cutout.rows && ew != eh) continue;
            const cv::Rect rect(2 * at->x + dx, 2 * at->y + dy, 2 * cutout.cols + ew,
                                2 * cutout.rows + eh);
            if ((rect & cv::Rect(0, 0, source.cols, source.rows)) != rect) continue;
            cv::resize(source(rect), shrunk, cutout.size(), 0, 0, cv::INTER_LINEAR);
            consider({rect, true, meanAbsDiff(shrunk, cutout)});
          }
        }
      }
    }
  }
  return best;
}

LocatedCircle circleOf(const CutoutPlacement& p) {
  const double side = std::min(p.rect.width, p.rect.height);
  return {cv::Point2d(p.rect.x + side / 2.0 + 0.75, p.rect.y + side / 2.0 + 0.75),
          side / 2.0 + 0.25};
}

std::optional<LocatedCircle> reportedCircle(const QVariantMap& results) {
  const QVariant value = results.value(algorithmkeys::kCircle);
  if (!value.canConvert<QVariantList>()) return std::nullopt;
  const QVariantList list = value.toList();
  if (list.size() != 3) return std::nullopt;
  double v[3];
  for (int i = 0; i < 3; ++i) {
    bool ok = false;
    v[i] = list[i].toDouble(&ok);
    if (!ok || !std::isfinite(v[i])) return std::nullopt;
  }
  if (v[2] <= 0.0) return std::nullopt;
  return LocatedCircle{cv::Point2d(v[0], v[1]), v[2]};
}

bool cutoutWasHalved(double radius, cv::Size cutout) {
  const int side = static_cast<int>(2 * radius);
  return side >= 900 && std::max(cutout.width, cutout.height) < side;
}

}  // namespace wheelhost
