#pragma once

// Builds the detector's working state for arc tests: edge segments digitised from known
// curves, their line segments and the turn between consecutive lines.

#include <algorithm>
#include <cmath>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

#include "linesplit.h"
#include "records.h"
#include "turninfo.h"

namespace ced {
namespace arctest {

// An 8-connected pixel chain along the curve f(t), t from t0 to t1: fine samples, rounded,
// consecutive repeats removed.
inline std::vector<cv::Point> digitise(const std::function<cv::Point2d(double)>& f, double t0,
                                       double t1, int samples) {
  std::vector<cv::Point> out;
  for (int i = 0; i <= samples; ++i) {
    const cv::Point2d p = f(t0 + (t1 - t0) * i / samples);
    const cv::Point q(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
    if (out.empty() || out.back() != q) out.push_back(q);
  }
  return out;
}

inline std::vector<cv::Point> circlePixels(double cx, double cy, double r, double t0, double t1) {
  return digitise([&](double t) { return cv::Point2d(cx + r * std::cos(t), cy + r * std::sin(t)); },
                  t0, t1, static_cast<int>(std::fabs(t1 - t0) * r * 8) + 8);
}

inline std::vector<cv::Point> ellipsePixels(double cx, double cy, double a, double b, double phi,
                                            double t0, double t1) {
  auto f = [&](double t) {
    const double u = a * std::cos(t), v = b * std::sin(t);
    return cv::Point2d(cx + u * std::cos(phi) - v * std::sin(phi),
                       cy + u * std::sin(phi) + v * std::cos(phi));
  };
  return digitise(f, t0, t1, static_cast<int>(std::fabs(t1 - t0) * std::max(a, b) * 8) + 8);
}

struct World {
  std::vector<std::vector<cv::Point>> segments;
  std::vector<LineSegment> lines;
  std::vector<int> firstLine;
  std::vector<Info> infos;

  // Adds a segment and splits it into lines as the detector does (6 pixels, error 1.0).
  void add(const std::vector<cv::Point>& pixels) {
    firstLine.push_back(static_cast<int>(lines.size()));
    const int index = static_cast<int>(segments.size());
    segments.push_back(pixels);
    std::vector<double> x, y;
    for (const cv::Point& p : pixels) x.push_back(p.x), y.push_back(p.y);
    splitIntoLines(x.data(), y.data(), static_cast<int>(x.size()), index, lines, 6, 1.0);
  }

  // Adds a segment with the given lines (pixel ranges) and no fitting.
  void addWithLines(const std::vector<cv::Point>& pixels,
                    const std::vector<std::pair<int, int>>& ranges) {
    firstLine.push_back(static_cast<int>(lines.size()));
    const int index = static_cast<int>(segments.size());
    segments.push_back(pixels);
    for (const auto& r : ranges) {
      const cv::Point s = pixels[r.first], e = pixels[r.first + r.second - 1];
      lines.push_back(
          {0, 0, 0, 1.0 * s.x, 1.0 * s.y, 1.0 * e.x, 1.0 * e.y, index, r.first, r.second});
    }
  }

  // Closes the line list and computes the turn from each line to the next of its segment, as
  // the detector does.
  void finish() {
    firstLine.push_back(static_cast<int>(lines.size()));
    infos = computeTurnInfo(lines, firstLine);
  }

  int totalPixels() const {
    int n = 0;
    for (const auto& s : segments) n += static_cast<int>(s.size());
    return n;
  }
};

}  // namespace arctest
}  // namespace ced
