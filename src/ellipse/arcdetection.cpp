#include "arcdetection.h"

#include <algorithm>
#include <cmath>

#include "arcangles.h"
#include "circlefit.h"
#include "detectorconstants.h"
#include "ellipsefit.h"
#include "vistrel/assert.h"

namespace ced {

namespace {

constexpr double kMinAngle = 0.10471975511965977;        // π/30
constexpr double kMaxAngleFirst = 1.0471975511965976;    // π/3
constexpr double kMaxAngleSecond = 1.6534698176788385;   // admitted in the second iteration
constexpr double kTwoLineMinAngle = 0.2617993877991494;  // π/12
constexpr double kTwoLineMaxAngle = 0.7853981633974483;  // π/4
constexpr int kTwoLineMinLength = 40;
constexpr double kTinyArcRatio = 0.0625;
constexpr double kShortRunError = 1.0;
constexpr double kAlmostClosedDistance = 1.72;
constexpr double kEllipseTryRatio = 0.25;
constexpr double kOpenEllipseError = 0.75;
constexpr double kPieceSeedError = 1.0;

class ArcDetector {
 public:
  ArcDetector(const std::vector<LineSegment>& lines, std::vector<Info>& infos,
              const std::vector<std::vector<cv::Point>>& segments, PixelBuffer& buffer,
              CandidateList& candidates, ArcList& arcs, int maxLineLength)
      : lines_(lines),
        infos_(infos),
        segments_(segments),
        buffer_(buffer),
        candidates_(candidates),
        arcs_(arcs),
        maxLineLength_(maxLineLength) {}

  void segment(int segmentIndex, int first, int stop, int iteration);

 private:
  bool qualifies(int j) const {
    return !infos_[j].used && lines_[j].len < maxLineLength_ && inTurnRange(j);
  }
  bool inTurnRange(int j) const {
    return infos_[j].turnAngle >= kMinAngle && infos_[j].turnAngle <= maxAngle_;
  }
  // Copies the pixels of line j to x, y; returns their number.
  int copyLine(int j, double* x, double* y) const;
  int pixelsOf(int from, int to) const {  // lines from..to inclusive
    int n = 0;
    for (int l = from; l <= to; ++l) n += lines_[l].len;
    return n;
  }
  void markUsed(int from, int to) {  // inclusive
    for (int l = from; l <= to; ++l) infos_[l].used = true;
  }
  void storeCircularArc(const CircleFit& fit, int turn, int segmentIndex, double* x, double* y,
                        int n);
  void splitRun(int segmentIndex, int j, int k, double* x, double* y);

  const std::vector<LineSegment>& lines_;
  std::vector<Info>& infos_;
  const std::vector<std::vector<cv::Point>>& segments_;
  PixelBuffer& buffer_;
  CandidateList& candidates_;
  ArcList& arcs_;
  const int maxLineLength_;
  double maxAngle_ = kMaxAngleFirst;
};

int ArcDetector::copyLine(int j, double* x, double* y) const {
  const LineSegment& l = lines_[j];
  const std::vector<cv::Point>& seg = segments_[l.segmentIndex];
  for (int t = 0; t < l.len; ++t) {
    x[t] = seg[l.firstPixel + t].x;
    y[t] = seg[l.firstPixel + t].y;
  }
  return l.len;
}

void ArcDetector::storeCircularArc(const CircleFit& fit, int turn, int segmentIndex, double* x,
                                   double* y, int n) {
  const ArcAngles angles = arcAngles(fit.xc, fit.yc, fit.r, x, y, n);
  addCircularArc(arcs_, buffer_, fit.xc, fit.yc, fit.r, fit.error, angles.start, angles.end, turn,
                 segmentIndex, static_cast<int>(x[0]), static_cast<int>(y[0]),
                 static_cast<int>(x[n - 1]), static_cast<int>(y[n - 1]), x, y, n);
}

void ArcDetector::segment(int segmentIndex, int first, int stop, int iteration) {
  maxAngle_ = iteration == 1 ? kMaxAngleFirst : kMaxAngleSecond;
  int j = first;
  while (j < stop - 1) {
    if (!qualifies(j)) {
      ++j;
      continue;
    }
    int k = j + 1;
    while (k < stop - 1 && qualifies(k) && infos_[k].turn == infos_[j].turn) ++k;

    int wrapFront = -1, wrapBack = -1;
    const bool twoLine = k == j + 1;
    if (twoLine) {
      const int la = lines_[j].len, lb = lines_[k].len;
      const bool arc = infos_[j].turnAngle >= kTwoLineMinAngle &&
                       infos_[j].turnAngle <= kTwoLineMaxAngle && la + lb >= kTwoLineMinLength &&
                       2 * std::min(la, lb) >= std::max(la, lb);
      if (!arc) {
        // A closed outline's two lines may still form an arc with the line across the seam.
        if (j == first && inTurnRange(stop - 1)) {
          wrapFront = stop - 1;
        } else if (k == stop - 1 && inTurnRange(k)) {
          wrapBack = first;
        } else {
          j = k;
          continue;
        }
      }
    }

    // Collect the run's pixels: the front wrap line, lines j..k, the back wrap line.
    int n = pixelsOf(j, k);
    if (wrapFront >= 0) n += lines_[wrapFront].len;
    if (wrapBack >= 0) n += lines_[wrapBack].len;
    if (!VISTREL_CHECK_GE(buffer_.room(), n)) {
      j = k;
      continue;
    }
    double* x = buffer_.x();
    double* y = buffer_.y();
    int at = 0;
    if (wrapFront >= 0) at += copyLine(wrapFront, x + at, y + at);
    for (int l = j; l <= k; ++l) at += copyLine(l, x + at, y + at);
    if (wrapBack >= 0) at += copyLine(wrapBack, x + at, y + at);
    buffer_.advance(n);

    const CircleFit fit = fitCircle(x, y, n);
    const double ratio = n / (kTwoPi * fit.r);
    if (twoLine && ratio < kTinyArcRatio) {
      infos_[j].used = true;
      j = k;
      continue;
    }
    // The arc proper leaves out the wrap line's pixels; the fits above included them.
    double* ax = x;
    double* ay = y;
    int an = n;
    if (wrapFront >= 0) {
      ax += lines_[wrapFront].len;
      ay += lines_[wrapFront].len;
      an -= lines_[wrapFront].len;
    }
    if (wrapBack >= 0) an -= lines_[wrapBack].len;

    const double allowed = k - j >= 3 ? kCircleError : kShortRunError;
    if (fit.error <= allowed) {
      if (ratio >= kCircleCover && fit.error <= kCircleError) {
        addCircleCandidate(candidates_, fit.xc, fit.yc, fit.r, fit.error, ax, ay, an);
      } else {
        storeCircularArc(fit, infos_[j].turn, segmentIndex, ax, ay, an);
      }
      markUsed(j, k - 1);
      j = k;
      continue;
    }

    const double gap = std::hypot(x[n - 1] - x[0], y[n - 1] - y[0]);
    const bool almostClosed = gap <= kAlmostClosedDistance * fit.r && ratio >= kCircleCover;
    if (almostClosed || (iteration == 1 && ratio >= kEllipseTryRatio)) {
      ConicCoefficients eq;
      const double ellipseError = fitEllipseWithError(x, y, n, eq);
      if (ellipseError <= (almostClosed ? kCircleError : kOpenEllipseError)) {
        if (almostClosed) {
          addEllipseCandidate(candidates_, fit.xc, fit.yc, fit.r, fit.error, ax, ay, an, eq,
                              ellipseError);
        } else {
          const ArcAngles angles = arcAngles(fit.xc, fit.yc, fit.r, ax, ay, an);
          addEllipticArc(arcs_, fit.xc, fit.yc, fit.r, fit.error, angles.start, angles.end,
                         infos_[j].turn, segmentIndex, static_cast<int>(ax[0]),
                         static_cast<int>(ay[0]), static_cast<int>(ax[an - 1]),
                         static_cast<int>(ay[an - 1]), ax, ay, an, eq, ellipseError, 0);
        }
        markUsed(j, k - 1);
        j = k;
        continue;
      }
    }

    if (twoLine) {
      infos_[j].used = true;
      j = k;
      continue;
    }
    splitRun(segmentIndex, j, k, x, y);
    j = k;
  }
}

// A long run that no single circle or ellipse fits is cut into pieces that each fit a circle:
// a three-line seed within 1.0, grown line by line while the fit stays within 1.5.
void ArcDetector::splitRun(int segmentIndex, int j, int k, double* x, double* y) {
  while (j <= k - 2) {
    int m = j + 2;
    bool seeded = false;
    CircleFit fit;
    while (m <= k) {
      fit = fitCircle(x, y, pixelsOf(j, m));
      if (fit.error <= kPieceSeedError) {
        seeded = true;
        break;
      }
      x += lines_[j].len;
      y += lines_[j].len;
      ++j;
      ++m;
    }
    if (!seeded) return;

    markUsed(m - 2, m);
    int n = pixelsOf(m - 2, m);
    while (m + 1 <= k) {
      const int grown = n + lines_[m + 1].len;
      const CircleFit wider = fitCircle(x, y, grown);
      if (!(wider.error <= kCircleError)) break;
      fit = wider;
      n = grown;
      ++m;
      infos_[m].used = true;
    }

    // Cover test of a piece: its own radius and error, as every other cover test of the
    // detector uses, rather than the radius and error of the rejected fit of the whole run.
    // That whole-run fit describes a curve the piece does not lie on, and its error exceeds
    // the run's allowance by construction, so with it a piece of any run of four or more
    // lines could never become a circle.
    const double ratio = n / (kTwoPi * fit.r);
    if (ratio >= kCircleCover && fit.error <= kCircleError) {
      addCircleCandidate(candidates_, fit.xc, fit.yc, fit.r, fit.error, x, y, n);
    } else {
      storeCircularArc(fit, infos_[j].turn, segmentIndex, x, y, n);
    }
    x += n;
    y += n;
    j = m + 1;
    // The line after the piece may open the next piece; a line past the run is not this
    // run's to release.
    if (j <= k) infos_[j].used = false;
  }
}

}  // namespace

void detectArcs(const std::vector<LineSegment>& lines, std::vector<Info>& infos,
                const std::vector<int>& firstLineOfSegment,
                const std::vector<std::vector<cv::Point>>& segments, PixelBuffer& buffer,
                CandidateList& candidates, ArcList& arcs, int width, int height) {
  const bool infosOk = VISTREL_CHECK_EQ(infos.size(), lines.size());
  const bool rangesOk = VISTREL_CHECK_EQ(firstLineOfSegment.size(), segments.size() + 1);
  if (!infosOk || !rangesOk) return;
  // Every line must lie inside its own segment, and the segments' line ranges must be ordered.
  for (size_t i = 0; i + 1 < firstLineOfSegment.size(); ++i) {
    const int first = firstLineOfSegment[i], stop = firstLineOfSegment[i + 1];
    if (first < 0 || stop < first || stop > static_cast<int>(lines.size())) {
      VISTREL_REPORT("firstLineOfSegment is ordered and within the lines");
      return;
    }
    for (int l = first; l < stop; ++l) {
      const LineSegment& line = lines[l];
      if (line.segmentIndex != static_cast<int>(i) || line.firstPixel < 0 || line.len < 1 ||
          line.firstPixel + line.len > static_cast<int>(segments[i].size())) {
        VISTREL_REPORT("every line lies within its segment");
        return;
      }
    }
  }

  ArcDetector detector(lines, infos, segments, buffer, candidates, arcs,
                       std::max(width, height) / 5);
  for (int iteration = 1; iteration <= 2; ++iteration) {
    for (size_t i = 0; i + 1 < firstLineOfSegment.size(); ++i) {
      const int first = firstLineOfSegment[i], stop = firstLineOfSegment[i + 1];
      if (stop - first < 2) continue;
      detector.segment(static_cast<int>(i), first, stop, iteration);
    }
  }
}

}  // namespace ced
