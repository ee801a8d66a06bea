#include "validation.h"

#include <opencv2/core/cvdef.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "conic.h"
#include "ellipsefit.h"
#include "orientation.h"
#include "outline.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

constexpr double kAngleTolerance = 0.19634954084936207;  // π/16
constexpr double kSecondChanceCoverage = 0.5;
constexpr double kSecondChanceError = 1.5;
// An outline longer than this many samples cannot belong to a curve the detector fitted in an
// image (ellipse fits stop at a perimeter of 50000); treat it as a broken candidate.
constexpr double kMaxOutlineSamples = 1e6;

}  // namespace

CandidateValidator::CandidateValidator(const cv::Mat& edgeMap, const cv::Mat& grey)
    : table_(edgeMap.cols, edgeMap.rows) {
  if (!VISTREL_CHECK(edgeMap.type() == CV_8UC1 && grey.type() == CV_8UC1 &&
                     edgeMap.size() == grey.size())) {
    return;
  }
  ready_ = true;
  edges_ = edgeMap;
  grey_ = grey;
  width_ = edgeMap.cols;
  height_ = edgeMap.rows;
}

AlignmentCount CandidateValidator::countAligned(const ShapeCandidate& c) const {
  AlignmentCount count;
  if (!ready_) return count;

  std::vector<cv::Point2d> points;
  if (c.elliptic) {
    const double perimeter = ellipsePerimeter(c.eq);
    if (!(perimeter >= 0.0 && perimeter <= kMaxOutlineSamples)) return count;
    points = ellipseOutline(c.eq, static_cast<int>(perimeter));
  } else {
    for (const cv::Point& p : circleOutline(c.xc, c.yc, c.r)) points.emplace_back(p.x, p.y);
  }

  // The curve normal for the point at (row, col): the conic's gradient, or the radius.
  const double A = c.eq[1], B = c.eq[2], C = c.eq[3], D = c.eq[4], E = c.eq[5];
  auto curveAngle = [&](int row, int col) {
    if (c.elliptic)
      return orientationAngle(2 * A * col + B * row + D, -(B * col + 2 * C * row + E));
    return orientationAngle(col - c.xc, -(row - c.yc));
  };

  int lastRow = -1, lastCol = -1;
  for (const cv::Point2d& p : points) {
    const int row = static_cast<int>(p.y + 0.5);
    const int col = static_cast<int>(p.x + 0.5);
    if (row == lastRow && col == lastCol) continue;
    ++count.samples;
    if (row < 1 || row >= height_ - 1 || col < 1 || col >= width_ - 1) continue;
    lastRow = row;
    lastCol = col;

    int r = row, cc = col;
    if (edges_.at<uchar>(row, col) != 255) {
      // Look across the curve: along the row where the outline runs mostly vertically.
      const int d1 = static_cast<int>((row - c.yc) - (col - c.xc));
      const int d2 = static_cast<int>((row - c.yc) + (col - c.xc));
      const bool alongRow = (d1 >= 0 && d2 < 1) || (d1 < 0 && d2 > 0);
      const int index = alongRow ? col : row;
      const int size = alongRow ? width_ : height_;
      bool found = false;
      for (int offset : {-1, 1, -2, 2}) {
        const int i = index + offset;
        if (offset == -1 && index < 1) continue;
        if (offset == 1 && index >= size - 1) continue;
        if (offset == -2 && index < 2) continue;
        if (offset == 2 && index >= size - 2) continue;
        // The gradient below reads the 3x3 neighbourhood, so an edge pixel on the image border
        // (which the edge tracer never produces) is not taken.
        if (i < 1 || i > size - 2) continue;
        const uchar e = alongRow ? edges_.at<uchar>(row, i) : edges_.at<uchar>(i, col);
        if (e == 255) {
          (alongRow ? cc : r) = i;
          found = true;
          break;
        }
      }
      if (!found) continue;
    }

    const uchar* up = grey_.ptr<uchar>(r - 1);
    const uchar* mid = grey_.ptr<uchar>(r);
    const uchar* down = grey_.ptr<uchar>(r + 1);
    const int com1 = down[cc + 1] - up[cc - 1];
    const int com2 = up[cc + 1] - down[cc - 1];
    const int gx = com1 + com2 + mid[cc + 1] - mid[cc - 1];
    const int gy = com1 - com2 + down[cc] - up[cc];
    const double pixelAngle = orientationAngle(gx, -gy);
    const double diff = std::fabs(pixelAngle - curveAngle(r, cc));
    if (diff <= kAngleTolerance || diff >= CV_PI - kAngleTolerance) ++count.aligned;
  }
  return count;
}

bool CandidateValidator::isMeaningful(const ShapeCandidate& c) const {
  if (!ready_) return false;
  if (!(c.r <= std::max(width_, height_))) return false;  // also drops a NaN radius
  const AlignmentCount count = countAligned(c);
  return table_.isValid(count.samples, count.aligned);
}

void CandidateValidator::validate(const CandidateList& in, CandidateList& out) const {
  for (const ShapeCandidate& original : in) {
    if (isMeaningful(original)) {
      out.push_back(original);
      continue;
    }
    if (original.elliptic || original.coverage < kSecondChanceCoverage) continue;
    if (!(original.r <= std::max(width_, height_))) continue;
    ShapeCandidate c = original;
    const double error = fitEllipseWithError(c.x, c.y, c.pixelCount, c.eq);
    if (!(error <= kSecondChanceError)) continue;
    c.elliptic = true;
    c.ellipseError = error;
    if (isMeaningful(c)) out.push_back(c);
  }
}

}  // namespace ced
