#include "matcher/polarsignature.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace wheelhost {

namespace {

constexpr int kMinSide = 16;

// The grey single-channel float version of `image`; empty for unsupported channel counts.
cv::Mat toGreyFloat(const cv::Mat& image) {
  cv::Mat grey;
  switch (image.channels()) {
    case 1:
      grey = image;
      break;
    case 3:
      cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
      break;
    case 4:
      cv::cvtColor(image, grey, cv::COLOR_BGRA2GRAY);
      break;
    default:
      return cv::Mat();
  }
  cv::Mat out;
  grey.convertTo(out, CV_32F);
  return out;
}

}  // namespace

PolarSignature PolarSignature::fromImage(const cv::Mat& wheel, const PolarGrid& grid) {
  PolarSignature sig;
  const int side = std::min(wheel.cols, wheel.rows);
  if (wheel.empty() || side < kMinSide || grid.side < kMinSide || grid.rings < 1 ||
      grid.angles < 4) {
    return sig;
  }
  // cvtColor handles 8-, 16-bit and float input alike.
  const int depth = wheel.depth();
  if (depth != CV_8U && depth != CV_16U && depth != CV_32F) return sig;
  const cv::Mat square =
      wheel(cv::Rect((wheel.cols - side) / 2, (wheel.rows - side) / 2, side, side));
  cv::Mat grey = toGreyFloat(square);
  if (grey.empty()) return sig;

  // Resampling to one square size first makes the comparison independent of the wheel's size
  // in pixels; area averaging keeps thin spokes of a large cut-out from aliasing.
  cv::Mat work;
  cv::resize(grey, work, cv::Size(grid.side, grid.side), 0, 0,
             side > grid.side ? cv::INTER_AREA : cv::INTER_LINEAR);
  if (grid.blurSigma > 0) cv::GaussianBlur(work, work, cv::Size(0, 0), grid.blurSigma);

  cv::Mat mapX(grid.rings, grid.angles, CV_32F);
  cv::Mat mapY(grid.rings, grid.angles, CV_32F);
  const double centre = (grid.side - 1) / 2.0;
  const double outer = grid.outerFraction * grid.side / 2.0;
  for (int i = 0; i < grid.rings; ++i) {
    const double r = outer * (i + 0.5) / grid.rings;
    auto* mx = mapX.ptr<float>(i);
    auto* my = mapY.ptr<float>(i);
    for (int j = 0; j < grid.angles; ++j) {
      const double theta = 2.0 * CV_PI * j / grid.angles;
      mx[j] = static_cast<float>(centre + r * std::cos(theta));
      my[j] = static_cast<float>(centre + r * std::sin(theta));
    }
  }
  cv::Mat polar;
  cv::remap(work, polar, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE);

  cv::Scalar mean, stddev;
  cv::meanStdDev(polar, mean, stddev);
  if (!(stddev[0] > 1e-5 * std::max(1.0, std::abs(mean[0])))) return sig;
  polar.convertTo(sig.polar_, CV_32F, 1.0 / stddev[0], -mean[0] / stddev[0]);
  cv::dft(sig.polar_, sig.spectrum_, cv::DFT_ROWS | cv::DFT_COMPLEX_OUTPUT);
  return sig;
}

RotationMatch PolarSignature::bestRotation(const PolarSignature& other) const {
  RotationMatch match;
  if (empty() || other.empty() || polar_.size() != other.polar_.size()) return match;

  // The correlation of the two polar images under a circular shift s of the angle axis is
  // the inverse transform of the summed row spectra A * conj(B): c[s] = sum a[m + s] b[m].
  cv::Mat cross;
  cv::mulSpectrums(spectrum_, other.spectrum_, cross, cv::DFT_ROWS, true);
  cv::Mat summed;
  cv::reduce(cross, summed, 0, cv::REDUCE_SUM, CV_32FC2);
  cv::Mat corr;
  cv::idft(summed, corr, cv::DFT_SCALE | cv::DFT_REAL_OUTPUT);

  const int n = corr.cols;
  const auto* c = corr.ptr<float>(0);
  const int best = static_cast<int>(std::max_element(c, c + n) - c);
  // A parabola through the peak and its neighbours recovers rotations between grid steps.
  const double left = c[(best + n - 1) % n];
  const double mid = c[best];
  const double right = c[(best + 1) % n];
  const double denom = left - 2.0 * mid + right;
  double delta = 0.0;
  double peak = mid;
  if (denom < 0.0) {
    delta = std::clamp(0.5 * (left - right) / denom, -0.5, 0.5);
    peak = mid - 0.25 * (left - right) * delta;
  }
  const double samples = static_cast<double>(polar_.rows) * polar_.cols;
  const double correlation = std::clamp(peak / samples, -1.0, 1.0);
  match.score = 1.0 - correlation;
  // c peaks at s when other(t) = this(t + s): the other wheel is this one turned by -s steps.
  double angle = -(best + delta) * 360.0 / n;
  angle = std::fmod(angle + 720.0, 360.0);
  match.angleDeg = angle >= 360.0 ? 0.0 : angle;
  return match;
}

}  // namespace wheelhost
