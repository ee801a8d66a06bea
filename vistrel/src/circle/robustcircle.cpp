#include "vistrel/robustcircle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "fitting/fitcircleweighted.h"
#include "peak/peakshared.h"

namespace vistrel {

namespace {

constexpr int kMaxPerRay = 3;
constexpr int kSectors = 36;
// A circle must be seen round this share of its sectors to replace the detector's.
constexpr double kMinCoverage = 0.6;
// With at least half the points on the rim, a triple is all rim in one draw of eight: 128 draws
// miss it with a chance below 1e-7.
constexpr int kHypotheses = 128;

// Bilinear grey value at (x, y); the caller keeps the point one pixel inside the image.
inline float sample(const cv::Mat& grey, float x, float y) {
  const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
  const float fx = x - x0, fy = y - y0;
  const uchar* r0 = grey.ptr<uchar>(y0) + x0;
  const uchar* r1 = grey.ptr<uchar>(y0 + 1) + x0;
  return (r0[0] * (1 - fx) + r0[1] * fx) * (1 - fy) + (r1[0] * (1 - fx) + r1[1] * fx) * fy;
}

// A fixed generator: the same hypotheses, and so the same circle, on every run and machine.
class Lcg {
 public:
  int below(int n) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((state_ >> 33) % static_cast<std::uint64_t>(n));
  }

 private:
  std::uint64_t state_ = 0x9e3779b97f4a7c15ULL;
};

float residual(const cv::Point2f& p, const cv::Vec3f& c) {
  return std::abs(std::hypot(p.x - c[0], p.y - c[1]) - c[2]);
}

// The rim edge is a step a few pixels wide: a tolerance of a pixel, a little more for large
// wheels whose outline the camera resolves less sharply relative to their size.
float inlierTolerance(float radius) { return std::max(1.0f, 0.002f * radius); }

}  // namespace

std::vector<RimEdgePoint> rimEdgePoints(const cv::Mat& grey, const cv::Vec3f& circle, float band,
                                        int rays, bool insideDarker) {
  std::vector<RimEdgePoint> out;
  if (grey.type() != CV_8UC1 || rays < 3 || band < 3) return out;
  const float cx = circle[0], cy = circle[1], r0 = std::max(0.0f, circle[2] - band);
  const int n = static_cast<int>(2 * band) + 1;
  const float cos20 = cosLimit20();
  const float sign = insideDarker ? 1.0f : -1.0f;
  std::vector<float> profile(static_cast<size_t>(n)), deriv(static_cast<size_t>(n), 0.0f);
  cv::Mat gx, gy, mag;
  for (int k = 0; k < rays; ++k) {
    const double t = CV_2PI * k / rays;
    const float dx = static_cast<float>(std::cos(t)), dy = static_cast<float>(std::sin(t));
    // The ray's samples one pixel apart; a ray leaving the image is cut short.
    int len = 0;
    for (; len < n; ++len) {
      const float x = cx + dx * (r0 + len), y = cy + dy * (r0 + len);
      if (!(x >= 1 && y >= 1 && x < grey.cols - 2 && y < grey.rows - 2)) break;
      profile[static_cast<size_t>(len)] = sample(grey, x, y);
    }
    if (len < 7) continue;
    // Signed derivative outward, over four samples to calm the noise; positive for the rim's
    // polarity.
    float strongest = 0.0f;
    for (int i = 2; i < len - 2; ++i) {
      deriv[static_cast<size_t>(i)] =
          sign * (profile[i + 2] + profile[i + 1] - profile[i - 1] - profile[i - 2]) / 6.0f;
      strongest = std::max(strongest, deriv[static_cast<size_t>(i)]);
    }
    const float floor = std::max(4.0f, strongest / 3.0f);
    RimEdgePoint found[kMaxPerRay];
    int count = 0;
    for (int i = 3; i < len - 3; ++i) {
      const float d = deriv[static_cast<size_t>(i)], dl = deriv[static_cast<size_t>(i - 1)],
                  dr = deriv[static_cast<size_t>(i + 1)];
      if (!(d >= floor && d >= dl && d > dr)) continue;
      // The top of the parabola through the three derivatives.
      const float curvature = dl - 2 * d + dr;
      const float offset = curvature < 0 ? 0.5f * (dl - dr) / curvature : 0.0f;
      const float r = r0 + i + offset;
      const cv::Point2f p(cx + dx * r, cy + dy * r);
      const int px = cvRound(p.x), py = cvRound(p.y);
      if (px < 2 || py < 2 || px > grey.cols - 3 || py > grey.rows - 3) continue;
      sobelPatch(grey, gx, gy, mag, px, py, 1, 1);
      const float m = mag.at<float>(1, 1);
      if (m <= 0) continue;
      // The gradient must run along the ray, pointing the rim's way.
      const float along = sign * (gx.at<short>(1, 1) * dx + gy.at<short>(1, 1) * dy) / m;
      if (along < cos20) continue;
      RimEdgePoint e{p, k, d};
      if (count < kMaxPerRay) {
        found[count++] = e;
      } else {
        RimEdgePoint* weakest = std::min_element(
            found, found + count,
            [](const RimEdgePoint& a, const RimEdgePoint& b) { return a.strength < b.strength; });
        if (weakest->strength < e.strength) *weakest = e;
      }
    }
    out.insert(out.end(), found, found + count);
  }
  return out;
}

bool circleThrough(const cv::Point2f& a, const cv::Point2f& b, const cv::Point2f& c,
                   cv::Vec3f& circle) {
  const double bx = b.x - a.x, by = b.y - a.y, cx = c.x - a.x, cy = c.y - a.y;
  const double d = 2 * (bx * cy - by * cx);
  const double scale = (bx * bx + by * by) * (cx * cx + cy * cy);
  if (std::abs(d) * std::abs(d) <= 1e-12 * scale || scale == 0) return false;
  const double b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
  const double ux = (cy * b2 - by * c2) / d, uy = (bx * c2 - cx * b2) / d;
  circle = cv::Vec3f(static_cast<float>(a.x + ux), static_cast<float>(a.y + uy),
                     static_cast<float>(std::sqrt(ux * ux + uy * uy)));
  return true;
}

int raySupport(const std::vector<RimEdgePoint>& points, const cv::Vec3f& circle, float tolerance) {
  // Compared squared: |d - r| <= t  <=>  (r - t)^2 <= d^2 <= (r + t)^2 (for r >= t).
  const float inner = std::max(0.0f, circle[2] - tolerance), outer = circle[2] + tolerance;
  const float lo = inner * inner, hi = outer * outer;
  int support = 0, lastRay = -1;
  for (const RimEdgePoint& e : points) {  // points come ray by ray
    if (e.ray == lastRay) continue;
    const float dx = e.p.x - circle[0], dy = e.p.y - circle[1];
    const float d2 = dx * dx + dy * dy;
    if (d2 >= lo && d2 <= hi) {
      ++support;
      lastRay = e.ray;
    }
  }
  return support;
}

double sectorCoverage(const std::vector<RimEdgePoint>& points, const cv::Vec3f& circle,
                      float tolerance) {
  bool seen[kSectors] = {};
  for (const RimEdgePoint& e : points) {
    if (residual(e.p, circle) > tolerance) continue;
    const double a = std::atan2(e.p.y - circle[1], e.p.x - circle[0]);
    const int s = static_cast<int>((a + CV_PI) / CV_2PI * kSectors);
    seen[std::clamp(s, 0, kSectors - 1)] = true;
  }
  return static_cast<double>(std::count(seen, seen + kSectors, true)) / kSectors;
}

bool robustRimCircle(const cv::Mat& grey, const cv::Vec3f& detected, bool insideDarker,
                     cv::Vec3f& robust) {
  const float r = detected[2];
  if (grey.type() != CV_8UC1 || !(r > 10.0f)) return false;
  // Wide enough for the drifts seen where the rim is partly hidden (a few per cent of the
  // radius), with one ray per three pixels of circumference.
  const float band = std::max(12.0f, 0.05f * r);
  const int rays = std::clamp(static_cast<int>(CV_2PI * r / 3.0), 90, 1440);
  const std::vector<RimEdgePoint> points = rimEdgePoints(grey, detected, band, rays, insideDarker);
  if (points.size() < 3) return false;
  const float tolerance = inlierTolerance(r);

  // Consensus: circles through triples of points a third of the way round from each other,
  // scored by the rays they agree with.
  std::vector<int> firstOfRay(static_cast<size_t>(rays), -1),
      countOfRay(static_cast<size_t>(rays), 0);
  for (int i = 0; i < static_cast<int>(points.size()); ++i) {
    const size_t ray = static_cast<size_t>(points[static_cast<size_t>(i)].ray);
    if (firstOfRay[ray] < 0) firstOfRay[ray] = i;
    ++countOfRay[ray];
  }
  Lcg lcg;
  const auto pick = [&](int ray) -> const RimEdgePoint* {
    ray = ((ray % rays) + rays) % rays;
    if (firstOfRay[static_cast<size_t>(ray)] < 0) return nullptr;
    return &points[static_cast<size_t>(firstOfRay[static_cast<size_t>(ray)] +
                                       lcg.below(countOfRay[static_cast<size_t>(ray)]))];
  };
  cv::Vec3f best = detected;
  int bestSupport = -1;
  const int spread = std::max(1, rays / 8);
  for (int h = 0; h < kHypotheses; ++h) {
    const int a = lcg.below(rays);
    const RimEdgePoint* p1 = pick(a);
    const RimEdgePoint* p2 = pick(a + rays / 3 + lcg.below(2 * spread + 1) - spread);
    const RimEdgePoint* p3 = pick(a + 2 * rays / 3 + lcg.below(2 * spread + 1) - spread);
    cv::Vec3f c;
    if (!p1 || !p2 || !p3 || !circleThrough(p1->p, p2->p, p3->p, c)) continue;
    if (std::abs(c[2] - r) > band || std::hypot(c[0] - detected[0], c[1] - detected[1]) > band) {
      continue;
    }
    const int support = raySupport(points, c, tolerance);
    if (support > bestSupport) {
      bestSupport = support;
      best = c;
    }
  }
  if (bestSupport < 3) return false;

  // Refit the consensus' inliers: Levenberg-Marquardt on the geometric distance, reweighted
  // with the L1-L2 loss and a cut-off, so that what remains of the foreign edges counts little.
  std::vector<cv::Vec3f> inliers;
  for (const RimEdgePoint& e : points) {
    if (residual(e.p, best) <= 2 * tolerance) inliers.emplace_back(e.p.x, e.p.y, 1.0f);
  }
  cv::Vec3f fitted(0, 0, 0);
  if (fitCircleWeighted(inliers, &fitted, CircleFitMethod::LevenbergMarquardt, WeightType::L1L2,
                        2 * tolerance, 5, 0.0f, 3) < 3) {
    return false;
  }
  if (sectorCoverage(points, fitted, tolerance) < kMinCoverage) return false;
  if (raySupport(points, fitted, tolerance) <= raySupport(points, detected, tolerance)) {
    return false;
  }
  robust = fitted;
  return true;
}

bool searchRimCircle(const cv::Mat& grey, cv::Point2f start, cv::Vec2i radiusRange,
                     bool insideDarker, cv::Vec3f& robust) {
  const int lo = std::max(radiusRange[0], 10), hi = radiusRange[1];
  if (grey.type() != CV_8UC1 || hi - lo < 4) return false;
  const float band = 0.5f * static_cast<float>(hi - lo);
  const cv::Vec3f wide(start.x, start.y, static_cast<float>(lo) + band);
  const std::vector<RimEdgePoint> points = rimEdgePoints(grey, wide, band, 360, insideDarker);
  // The radius most rays see an edge at, over bins of a pixel smoothed across five.
  std::vector<int> hist(static_cast<size_t>(hi + 3), 0);
  for (const RimEdgePoint& e : points) {
    const int d = cvRound(std::hypot(e.p.x - start.x, e.p.y - start.y));
    if (d >= 0 && d < static_cast<int>(hist.size())) ++hist[static_cast<size_t>(d)];
  }
  int bestRadius = -1, bestCount = 0;
  for (int d = lo; d <= hi; ++d) {
    int count = 0;
    for (int k = std::max(0, d - 2); k <= d + 2 && k < static_cast<int>(hist.size()); ++k) {
      count += hist[static_cast<size_t>(k)];
    }
    if (count > bestCount) bestCount = count, bestRadius = d;
  }
  if (bestRadius < 0) return false;
  return robustRimCircle(grey, cv::Vec3f(start.x, start.y, static_cast<float>(bestRadius)),
                         insideDarker, robust);
}

}  // namespace vistrel
