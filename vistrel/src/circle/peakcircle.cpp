#include "circle/peakcircle.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <opencv2/core/hal/intrin.hpp>

#include "fitting/fitcircleweighted.h"
#include "peak/peakshared.h"
#include "peak/peakvote.h"
#include "vistrel/assert.h"

namespace vistrel {
namespace {

// Edge pixels weaker than this are noise.
constexpr int kMinMagnitude = 20;
// Half size of the full-resolution re-detection patch (5 x 5).
constexpr int kPatchHalf = 2;

// Accumulates lines through points along unit directions (gx, gy) for the point nearest to
// all of them: with n the line normal, S = sum n n^T and T = sum n n^T p.
struct LineSums {
  double s11 = 0, s12 = 0, s22 = 0, t1 = 0, t2 = 0;
  void add(double px, double py, double nx, double ny) {
    const double ax = -ny, ay = nx;  // the normal of a line along (nx, ny)
    const double a11 = ax * ax, a12 = ax * ay, a22 = ay * ay;
    s11 += a11, s12 += a12, s22 += a22;
    t1 += a11 * px + a12 * py;
    t2 += a12 * px + a22 * py;
  }
  cv::Point2d solve() const {
    const double det = s11 * s22 - s12 * s12;
    if (det == 0) return {0, 0};  // parallel lines: the zero inverse
    return {(s22 * t1 - s12 * t2) / det, (s11 * t2 - s12 * t1) / det};
  }
};

// Pixel-scale distances: no overflow to guard against, so the plain root (hypot is slower).
inline double distance(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

// The cosine between a peak's gradient and the direction from `c` to the peak; 0 on the centre.
inline double radialCos(const EdgePeak& p, const cv::Point2d& c, double& d) {
  const double dx = p.x - c.x, dy = p.y - c.y;
  d = distance(dx, dy);
  return d > 0 ? (p.nx * dx + p.ny * dy) / d : 0;
}

// radialCos of the n peaks from `p` about `c` into `cs`, their distances into `d`. Two peaks
// at a time: the lanes make the same subtractions, products, root and division in double that
// radialCos makes for one peak, so the values are its values.
void radialCosines(const EdgePeak* p, int n, const cv::Point2d& c, double* d, double* cs) {
  int i = 0;
#if CV_SIMD128_64F
  const cv::v_float64x2 cx = cv::v_setall_f64(c.x), cy = cv::v_setall_f64(c.y);
  const cv::v_float64x2 zero = cv::v_setzero_f64();
  for (; i + 2 <= n; i += 2) {
    const EdgePeak &a = p[i], &b = p[i + 1];
    const cv::v_float64x2 dx = cv::v_float64x2(a.x, b.x) - cx;
    const cv::v_float64x2 dy = cv::v_float64x2(a.y, b.y) - cy;
    const cv::v_float64x2 dist = cv::v_sqrt(dx * dx + dy * dy);
    const cv::v_float64x2 dot = cv::v_float64x2(a.nx, b.nx) * dx + cv::v_float64x2(a.ny, b.ny) * dy;
    cv::v_store(d + i, dist);
    cv::v_store(cs + i, cv::v_select(dist > zero, dot / dist, zero));  // 0 on the centre
  }
#endif
  for (; i < n; ++i) cs[i] = radialCos(p[i], c, d[i]);
}

// The sign bit of radialCos(p, c, d) for the distance d it computes, without its division: a
// quotient by a positive d keeps the sign of the dot product (also where it underflows), and on
// the centre (d == 0) the cosine is +0.
inline bool radialCosSign(const EdgePeak& p, const cv::Point2d& c, double d) {
  if (!(d > 0)) return false;
  const double dx = p.x - c.x, dy = p.y - c.y;
  return std::signbit(p.nx * dx + p.ny * dy);
}

// An edge pixel that voted, with its distance from the centre it voted about and the sign bit
// of its radial cosine there, so that the fit of a radius peak about the same centre need not
// compute them again.
struct Voter {
  const EdgePeak* peak;
  double d;
  bool negative;
};

// The non-maximum test of pixel (x, y) of `magnitude` (CV_32FC1), of magnitude m and unit
// gradient (nx, ny), against its two neighbours along the gradient. On a peak, `mB` and `mF`
// hold their magnitudes and `forward` the neighbour the gradient points to, for subpixelPeak.
// The caller keeps (x, y) one pixel inside `magnitude`.
inline bool edgePeakAlong(const cv::Mat& magnitude, int x, int y, float m, float nx, float ny,
                          float& mB, float& mF, const NeighbourDir*& forward) {
  int f = 0, b = 0;
  quantizeDirection(ny, nx, f, b);
  const NeighbourDir& fd = neighbourDir(f);
  const NeighbourDir& bd = neighbourDir(b);
  mF = magnitude.at<float>(y + fd.offset.y, x + fd.offset.x);
  mB = magnitude.at<float>(y + bd.offset.y, x + bd.offset.x);
  forward = &fd;
  return isEdgePeak(m, mB, mF);
}

// One row of the reduced gradients and its magnitude.
struct RowGradients {
  const float* mag;
  const short* gx;
  const short* gy;
  int y;
};

// The non-maximum test of the candidate columns `facing` of one row: writes every candidate to
// `out` and advances only on a peak, and returns the number of peaks. `neighbour` holds the
// element offsets of the eight neighbours in the magnitude image. A template on the sub-pixel
// choice, so that the usual whole-pixel loop carries no call and keeps `maxMag` in a register.
template <bool kSubpixel>
size_t rowEdgePeaks(const RowGradients& row, const int* facing, int nFacing,
                    const ptrdiff_t* neighbour, EdgePeak* out, float& maxMag) {
  float rowMax = maxMag;
  size_t count = 0;
  const float fy = static_cast<float>(row.y);
  for (int i = 0; i < nFacing; ++i) {
    const int x = facing[i];
    const float m = row.mag[x];
    const float nx = row.gx[x] / m, ny = row.gy[x] / m;
    const int f = forwardNeighbour(ny, nx);
    const float mF = row.mag[x + neighbour[f]], mB = row.mag[x + neighbour[(f + 4) & 7]];
    const bool peak = isEdgePeak(m, mB, mF);
    EdgePeak& p = out[count];
    p.nx = nx, p.ny = ny;
    p.x = float(x), p.y = fy, p.magnitude = m;
    if (kSubpixel && peak) {
      subpixelPeak(m, mB, mF, row.gx[x], row.gy[x], float(x), fy, neighbourDir(f).unit, p.x, p.y,
                   p.magnitude);
    }
    // m (>= 20, finite) times 1 or 0 is m or 0 exactly: the maximum without a branch.
    rowMax = std::max(rowMax, m * static_cast<float>(peak));
    count += peak;
  }
  maxMag = rowMax;
  return count;
}

struct SearchState {
  const cv::Mat& grey;
  const PeakCircleParams& params;
  int step;
  int rMinH;
  cv::Mat analysis;  // 1 x bins, channel 0 score, channel 1 support
};

// Re-detects the edge near the full-resolution point (X, Y) of a reduced peak in a 5 x 5 Sobel
// patch and appends the sub-pixel peaks of the inner 3 x 3 pixels that face like the reduced
// peak. Points whose patch would touch the image border are skipped: the border row and column
// of a patch cannot be derived, so the neighbour test there would compare against nothing, and a
// point so close to the region's edge is at best a partial edge.
// Patch buffers kept across the points of one fit, so that a patch allocates nothing.
struct PatchBuffers {
  cv::Mat gx, gy, mag;
};

void redetect(const cv::Mat& grey, const EdgePeak& p, float X, float Y, PatchBuffers& patch,
              std::vector<cv::Vec3f>& out) {
  const int cx = cvRound(X), cy = cvRound(Y);
  if (cx - kPatchHalf < 1 || cy - kPatchHalf < 1 || cx + kPatchHalf > grey.cols - 2 ||
      cy + kPatchHalf > grey.rows - 2) {
    return;
  }
  cv::Mat& gx = patch.gx;
  cv::Mat& gy = patch.gy;
  cv::Mat& mag = patch.mag;
  sobelPatch(grey, gx, gy, mag, cx, cy, kPatchHalf, kPatchHalf);
  const float cos10 = cosLimit10();
  for (int row = 1; row <= 3; ++row) {
    for (int col = 1; col <= 3; ++col) {
      const float m = mag.at<float>(row, col);
      if (m < kMinMagnitude) continue;
      const float gxv = gx.at<short>(row, col), gyv = gy.at<short>(row, col);
      const float nx = gxv / m, ny = gyv / m;
      if (nx * p.nx + ny * p.ny < cos10) continue;
      float mB = 0, mF = 0;
      const NeighbourDir* fd = nullptr;
      if (!edgePeakAlong(mag, col, row, m, nx, ny, mB, mF, fd)) continue;
      float ox = 0, oy = 0, om = 0;
      subpixelPeak(m, mB, mF, gxv, gyv, X + col - kPatchHalf, Y + row - kPatchHalf, fd->unit, ox,
                   oy, om);
      out.emplace_back(ox, oy, om);
    }
  }
}

// Fits the circle of one selected radius bin. Returns false when too few edge pixels support
// it, the fit fails, or the fitted radius leaves the radius range.
bool fitRadiusPeak(const SearchState& s, const std::vector<Voter>& voters, int bin,
                   cv::Vec3f& circle) {
  int left = 0, right = 0;
  peakExtent(s.analysis, bin, left, right, 0);
  const double lo = left + s.rMinH, hi = right + s.rMinH;
  const bool sign = std::signbit(s.analysis.at<cv::Vec2f>(0, bin)[0]);

  // The edge pixels voting for this peak, and the centre their gradient lines agree on.
  std::vector<const EdgePeak*> votes;
  LineSums lines;
  for (const Voter& v : voters) {
    if (v.d < lo || v.d > hi || v.negative != sign) continue;
    const EdgePeak& p = *v.peak;
    votes.push_back(&p);
    lines.add(p.x, p.y, p.nx, p.ny);
  }
  if (votes.size() < 3) return false;
  const cv::Point2d c2 = lines.solve();
  double sum = 0, minD = DBL_MAX, maxD = 0;
  for (const EdgePeak* p : votes) {
    const double d = distance(p->x - c2.x, p->y - c2.y);
    sum += d;
    minD = std::min(minD, d);
    maxD = std::max(maxD, d);
  }
  const double meanD = sum / votes.size();
  const double rng = std::max(1.0, std::min(maxD - meanD, meanD - minD) / 2);

  const int mode = peakMode(s.params.precision);
  const bool reduced = mode == 1 || mode == 2 || s.step == 1;
  std::vector<cv::Vec3f> points;
  PatchBuffers patch;
  for (const Voter& v : voters) {
    const EdgePeak& p = *v.peak;
    const double d = distance(p.x - c2.x, p.y - c2.y);
    if (d < meanD - rng || d > meanD + rng || radialCosSign(p, c2, d) != sign) continue;
    const float X = p.x * s.step, Y = p.y * s.step;
    if (reduced) {
      points.emplace_back(X, Y, p.magnitude);
    } else {
      redetect(s.grey, p, X, Y, patch, points);
    }
  }
  if (points.size() < 3) return false;

  WeightType weight = WeightType::HardCutoff;
  int passes = 1;
  switch (fittingAccuracy(s.params.precision)) {
    case 1:
      weight = WeightType::HardCutoff, passes = 1;
      break;
    case 2:
      weight = WeightType::HardCutoff, passes = 5;
      break;
    case 3:
      weight = WeightType::InverseResidual, passes = 5;
      break;
    case 4:
      weight = WeightType::L1L2, passes = 5;
      break;
    default:
      VISTREL_REPORT("peakcircle: unexpected fitting accuracy level.");
      return false;
  }
  cv::Vec3f fitted(0, 0, 0);
  if (fitCircleWeighted(points, &fitted, CircleFitMethod::LevenbergMarquardt, weight, 3.0f, passes,
                        1.0f, 3) < 0) {
    return false;
  }
  if (!(fitted[2] >= s.params.minRadius && fitted[2] <= s.params.maxRadius)) return false;
  circle = fitted;
  return true;
}

}  // namespace

int samplingStep(const PeakCircleParams& params, const cv::Mat& grey, int maxCount) {
  // 64-bit: any radius range, edge width and count are accepted without overflow.
  const std::int64_t ring = std::int64_t{params.maxRadius} - params.minRadius;
  std::int64_t step = 2;
  if (ring > 0 && params.maxRadius / ring > 4) {
    // The share of the ring per circle and edge width, in double: the product of three ints
    // may exceed 64 bits; the quotient of these non-negative values is truncated as ints are.
    const double share = std::max(
        10.0, static_cast<double>(std::max(1, maxCount)) * std::max(3, params.edgeWidth) * 5.0);
    step = static_cast<std::int64_t>(static_cast<double>(ring) / share);
    step -= step % 2;
  }
  if (std::max(grey.cols, grey.rows) / 400 >= 5) step = 8;
  if (step >= 8) return 8;
  if (step > 2) return static_cast<int>(step);
  return (peakMode(params.precision) == 4 || params.edgeWidth < 3) ? 1 : 2;
}

cv::Point2d intersectLinesLeastSquares(const std::vector<EdgePeak>& peaks) {
  LineSums lines;
  for (const EdgePeak& p : peaks) lines.add(p.x, p.y, p.nx, p.ny);
  return lines.solve();
}

bool refineCenter(const cv::Point2d& c, const std::vector<EdgePeak>& peaks, int maxRow, int maxCol,
                  cv::Point2d& refined) {
  // The strongest peak per degree around c: evens out the angular density of the edge pixels.
  std::vector<EdgePeak> degreePeak(360);
  for (const EdgePeak& p : peaks) {
    const float angle = cv::fastAtan2(static_cast<float>(p.y - c.y), static_cast<float>(p.x - c.x));
    const int i = static_cast<int>(angle) % 360;
    if (p.magnitude > degreePeak[i].magnitude) degreePeak[i] = p;
  }
  std::vector<EdgePeak> filled;
  for (const EdgePeak& p : degreePeak) {
    if (p.magnitude != 0) filled.push_back(p);
  }
  cv::Point2d c1 = intersectLinesLeastSquares(filled);

  const int histLen =
      static_cast<int>(std::sqrt(double(maxRow) * maxRow + double(maxCol) * maxCol));
  if (histLen < 1) return false;
  std::vector<float> hist(histLen);
  double table[360];
  double move = FLT_MAX;
  int disStart = 0, disEnd = 0;
  for (int iteration = 0; iteration <= 5 && move > 2.0; ++iteration) {
    std::fill(hist.begin(), hist.end(), 0.f);
    std::fill(table, table + 360, 0.0);
    for (int i = 0; i < 360; ++i) {
      const EdgePeak& p = degreePeak[i];
      if (p.magnitude == 0) continue;
      const double d = distance(p.x - c1.x, p.y - c1.y);
      table[i] = d;
      if (d >= histLen) return false;
      hist[static_cast<int>(d)] += 1;
    }
    const int peakD = static_cast<int>(std::max_element(hist.begin(), hist.end()) - hist.begin());
    disStart = std::max(0, peakD - 20);
    disEnd = std::min(peakD + 20, std::min(maxRow, maxCol));
    LineSums lines;
    for (int i = 0; i < 360; ++i) {
      const EdgePeak& p = degreePeak[i];
      if (p.magnitude == 0 || !(table[i] > disStart && table[i] < disEnd)) continue;
      lines.add(p.x, p.y, p.nx, p.ny);
    }
    const cv::Point2d next = lines.solve();
    move = std::hypot(next.x - c1.x, next.y - c1.y);
    c1 = next;
  }

  // Empty degrees take part as points of strength 0: they carry no weight in the fit.
  std::vector<cv::Vec3f> candidates;
  for (const EdgePeak& p : degreePeak) {
    const double d = distance(p.x - c1.x, p.y - c1.y);
    if (d >= disStart && d <= disEnd) candidates.emplace_back(p.x, p.y, p.magnitude);
  }
  cv::Vec3f circle(0, 0, 0);
  if (fitCircleWeighted(candidates, &circle, CircleFitMethod::LevenbergMarquardt, WeightType::L1L2,
                        3.0f, 1, 1.0f, 3) < 0) {
    return false;
  }
  refined = cv::Point2d(circle[0], circle[1]);
  return true;
}

int peakCircleSearch(const cv::Mat& grey, const cv::Mat& halfSobelX, const cv::Mat& halfSobelY,
                     std::vector<cv::Vec3f>* circles, std::vector<float>* scores,
                     std::vector<float>* profile, const PeakCircleParams& params, int maxCount,
                     const cv::Mat* /*mask*/, const cv::Mat* reducedMask, int step,
                     const cv::Point2f* centre, const cv::Mat* halfMagnitude) {
  const int halfImgRows = halfSobelX.rows, halfImgCols = halfSobelX.cols;
  if (!VISTREL_CHECK(halfImgRows == halfSobelY.rows && halfImgCols == halfSobelY.cols)) return 0;
  if (circles) circles->clear();
  if (scores) scores->clear();
  if (profile) profile->clear();
  // Room for the usual handful of circles; a count meaning "as many as there are" must not
  // reserve that many.
  const size_t expected = static_cast<size_t>(std::clamp(maxCount, 0, 64));
  if (circles) circles->reserve(expected);
  if (scores) scores->reserve(expected);
  if (halfSobelX.empty() || step < 1 || params.maxRadius < params.minRadius) return 0;
  const bool useMask = reducedMask && !reducedMask->empty() &&
                       reducedMask->size() == halfSobelX.size() && reducedMask->type() == CV_8UC1;

  cv::Mat magnitude;
  if (halfMagnitude && halfMagnitude->size() == halfSobelX.size() &&
      halfMagnitude->type() == CV_32FC1) {
    magnitude = *halfMagnitude;
  } else {
    gradientMagnitude(halfSobelX, halfSobelY, magnitude);
  }
  if (magnitude.empty()) return 0;

  const cv::Point2d c0 = centre ? cv::Point2d(centre->x / step, centre->y / step)
                                : cv::Point2d(halfImgCols / 2.0, halfImgRows / 2.0);
  const int rMinH = static_cast<int>(std::ceil(double(params.minRadius) / step));
  // No radius about a centre inside the region is longer than its diagonal: the profile ends
  // there, so that its size follows the image and not the range asked for.
  const double reach = std::ceil(std::hypot(double(halfImgCols), double(halfImgRows))) + 1;
  const double lastRadius = std::min(std::floor(double(params.maxRadius) / step), reach);
  const int bins = static_cast<int>(lastRadius - rMinH + 1);
  if (bins < 1) return 0;
  SearchState s{grey, params, step, rMinH, cv::Mat::zeros(1, bins, CV_32FC2)};

  const cv::Mat kernel = makeVoteKernel(params.edgeWidth, 1.0f);
  const float* K = kernel.ptr<float>();
  const int halfK = static_cast<int>(kernel.total()) / 2;
  const bool subpixel = peakMode(params.precision) == 2 || step == 1;
  const float cos20 = cosLimit20();
  // |cos| >= cos 20 between gradient and radius, squared to spare a root and two divisions.
  const float cos20sq = cos20 * cos20;

  // Edge pixels: strong, facing the first centre estimate (or away from it), and maximal
  // across the edge.
  std::vector<EdgePeak> peaks;
  float maxMag = 0;
  // Per row, the strong and facing tests run four pixels at a time and leave the columns that
  // pass; the non-maximum test then writes every candidate and advances only on a peak, so
  // that no step depends on a branch that noise would mispredict.
  std::vector<int> facing(halfImgCols);
  std::vector<float> rx(halfImgCols);
  for (int x = 0; x < halfImgCols; ++x) rx[x] = static_cast<float>(x - c0.x);
  const ptrdiff_t magStep = static_cast<ptrdiff_t>(magnitude.step1());
  ptrdiff_t neighbour[8];  // element offsets of the neighbours in `magnitude`
  for (int i = 0; i < 8; ++i) {
    neighbour[i] = neighbourDir(i).offset.y * magStep + neighbourDir(i).offset.x;
  }
  // One row's candidates are written to `rowPeaks`, reused for every row, and its peaks are
  // appended: no element of `peaks` is filled twice. The reserve covers an edge pixel in 16
  // without touching the memory; a busier scene grows it.
  std::vector<EdgePeak> rowPeaks(static_cast<size_t>(halfImgCols));
  peaks.reserve(static_cast<size_t>(halfImgRows) * static_cast<size_t>(halfImgCols) / 16);
  for (int y = 1; y <= halfImgRows - 2; ++y) {
    const float* mrow = magnitude.ptr<float>(y);
    const short* gxrow = halfSobelX.ptr<short>(y);
    const short* gyrow = halfSobelY.ptr<short>(y);
    const uchar* maskRow = useMask ? reducedMask->ptr<uchar>(y) : nullptr;
    const int nFacing =
        facingColumns(mrow, gxrow, gyrow, maskRow, rx.data(), static_cast<float>(y - c0.y),
                      static_cast<float>(kMinMagnitude), cos20sq, halfImgCols, facing.data());
    const RowGradients row{mrow, gxrow, gyrow, y};
    const size_t n =
        subpixel
            ? rowEdgePeaks<true>(row, facing.data(), nFacing, neighbour, rowPeaks.data(), maxMag)
            : rowEdgePeaks<false>(row, facing.data(), nFacing, neighbour, rowPeaks.data(), maxMag);
    peaks.insert(peaks.end(), rowPeaks.begin(), rowPeaks.begin() + static_cast<ptrdiff_t>(n));
  }
  if (peaks.size() < 3) return 0;

  // The gradient lines summed in scan order, as they were found.
  cv::Point2d c = intersectLinesLeastSquares(peaks);
  cv::Point2d refined;
  if (refineCenter(c, peaks, halfImgRows - 1, halfImgCols - 1, refined)) c = refined;

  // Radial votes: each edge pixel facing the centre votes its signed strength (positive when
  // the gradient points away from the centre) into the bins around its distance.
  std::vector<Voter> voters;
  if (circles) voters.reserve(peaks.size());
  cv::Vec2f* A = s.analysis.ptr<cv::Vec2f>();
  // Distances and cosines a block of peaks at a time, so that their roots and divisions run
  // side by side instead of one after the other.
  constexpr int kBlock = 256;
  double dBlock[kBlock], csBlock[kBlock];
  for (size_t first = 0; first < peaks.size(); first += kBlock) {
    const int n = static_cast<int>(std::min<size_t>(kBlock, peaks.size() - first));
    radialCosines(peaks.data() + first, n, c, dBlock, csBlock);
    for (int i = 0; i < n; ++i) {
      const EdgePeak& p = peaks[first + static_cast<size_t>(i)];
      const double d = dBlock[i], cs = csBlock[i];
      if (d == 0 || std::fabs(cs) < cos20) continue;
      if (circles) voters.push_back({&p, d, std::signbit(cs)});
      // A distance whose kernel reaches no bin votes nothing; skipping it keeps the bin index
      // of a far centre estimate within int.
      const double rd = d - rMinH;
      if (rd < -halfK - 1 || rd > bins + halfK) continue;
      const float w = static_cast<float>(p.magnitude * cs);
      const int r = static_cast<int>(std::rint(rd));
      const int k0 = std::max(0, r - halfK), k1 = std::min(r + halfK, bins - 1);
      for (int k = k0; k <= k1; ++k) {
        A[k][0] += K[k - r + halfK] * w;
        A[k][1] += K[k - r + halfK];
      }
    }
  }

  // Score: kernel-weighted signed edge strength per unit of circumference, in percent of a
  // whole circumference of the strongest edge (or of magnitude 1024).
  const float minSupport = static_cast<float>(K[halfK] / 100.0 * CV_PI * 2);
  const float b = minSupport * (params.fixedMagnitudeScale ? 1024.f : maxMag);
  for (int k = 0; k < bins; ++k) {
    const int R = rMinH + k;
    if (R == 0) {
      // A circle of radius 0 has no circumference to normalise by and no edge to fit: the bin
      // is cleared so that it can never be selected.
      A[k] = cv::Vec2f(0, 0);
      continue;
    }
    A[k][0] /= R * b;
    A[k][1] /= static_cast<float>(R);
  }
  if (profile) {
    profile->resize(bins);
    for (int k = 0; k < bins; ++k) (*profile)[k] = A[k][0];
  }

  std::vector<int> selected;
  selectRadiusPeaks(s.analysis, maxCount, selected, minSupport,
                    static_cast<float>(params.acceptThreshold), 0, 1, params.polarity,
                    params.findBy);
  if (!circles && !scores) return static_cast<int>(selected.size());

  for (int bin : selected) {
    if (scores) scores->push_back(A[bin][0]);
    if (!circles) continue;
    cv::Vec3f circle;
    if (fitRadiusPeak(s, voters, bin, circle)) {
      circles->push_back(circle);
    } else if (scores) {
      scores->pop_back();
    }
  }
  return circles ? static_cast<int>(circles->size()) : static_cast<int>(selected.size());
}

float detectBestPeakCircle(const cv::Mat& grey, cv::Vec3f& circle, std::vector<float>* profile,
                           const PeakCircleParams& params, const cv::Mat* mask) {
  std::vector<cv::Vec3f> circles;
  std::vector<float> scores;
  if (detectPeakCircles(grey, &circles, &scores, profile, params, 1, mask) > 0) {
    circle = circles[0];
    return scores[0];
  }
  return 0;
}

int detectPeakCircles(const cv::Mat& grey, std::vector<cv::Vec3f>* circles,
                      std::vector<float>* scores, std::vector<float>* profile,
                      const PeakCircleParams& params, int maxCount, const cv::Mat* mask) {
  if (!VISTREL_CHECK(grey.type() == CV_8UC1) || grey.empty()) return 0;
  const bool useMask = mask && !mask->empty();
  if (useMask) {
    if (!VISTREL_CHECK(mask->type() == CV_8UC1 && mask->size() == grey.size())) return 0;
  }
  const int step = samplingStep(params, grey, maxCount);
  if (grey.cols < step || grey.rows < step) {
    // The reduced image would be empty: nothing to search.
    if (circles) circles->clear();
    if (scores) scores->clear();
    if (profile) profile->clear();
    return 0;
  }
  cv::Mat gx, gy, reducedMask, magnitude;
  reducedGradients(grey, gx, gy, step, step, useMask ? mask : nullptr, &reducedMask, &magnitude);
  return peakCircleSearch(grey, gx, gy, circles, scores, profile, params, maxCount,
                          useMask ? mask : nullptr, useMask ? &reducedMask : nullptr, step, nullptr,
                          &magnitude);
}

}  // namespace vistrel
