#include "fitting/fitcircleweighted.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "vistrel/assert.h"

namespace vistrel {
namespace {

// A point's weight: its strength times its reweighting weight. Points of weight 0 (or, from bad
// input, below 0) are left out of every sum and count.
inline double pointWeight(const std::vector<cv::Vec3f>& points, const float* weights, size_t i) {
  const double w = weights ? static_cast<double>(points[i][2]) * weights[i] : points[i][2];
  return w > 0 ? w : 0;
}

// Pixel-scale distances: no overflow to guard against, so the plain root (hypot is slower).
inline double distance(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

bool isZero(const cv::Vec3f& c) { return c[0] == 0 && c[1] == 0 && c[2] == 0; }

// Weighted RMS geometric distance of the points to the circle (a, b, r).
double weightedSigma(const std::vector<cv::Vec3f>& points, const float* weights, double a, double b,
                     double r) {
  double sum = 0, wsum = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const double w = pointWeight(points, weights, i);
    if (w == 0) continue;
    const double d = distance(points[i][0] - a, points[i][1] - b) - r;
    sum += w * d * d;
    wsum += w;
  }
  return wsum > 0 ? std::sqrt(sum / wsum) : 0;
}

using FitFn = int (*)(const std::vector<cv::Vec3f>&, const float*, cv::Vec3f*, int);

}  // namespace

int fitCircleTaubin(const std::vector<cv::Vec3f>& points, const float* weights, cv::Vec3f* circle,
                    int minPoints) {
  double W = 0, sx = 0, sy = 0;
  int count = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const double w = pointWeight(points, weights, i);
    if (w == 0) continue;
    W += w;
    sx += w * points[i][0];
    sy += w * points[i][1];
    ++count;
  }
  if (W < DBL_EPSILON || count < std::max(3, minPoints)) return -1;
  const double mx = sx / W, my = sy / W;

  double Mxx = 0, Myy = 0, Mxy = 0, Mxz = 0, Myz = 0, Mzz = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const double w = pointWeight(points, weights, i);
    if (w == 0) continue;
    const double X = points[i][0] - mx, Y = points[i][1] - my, Z = X * X + Y * Y;
    Mxx += w * X * X;
    Myy += w * Y * Y;
    Mxy += w * X * Y;
    Mxz += w * X * Z;
    Myz += w * Y * Z;
    Mzz += w * Z * Z;
  }
  Mxx /= W, Myy /= W, Mxy /= W, Mxz /= W, Myz /= W, Mzz /= W;

  const double Mz = Mxx + Myy;
  const double Cov = Mxx * Myy - Mxy * Mxy;
  const double Var = Mzz - Mz * Mz;
  const double A3 = 4 * Mz;
  const double A2 = -3 * Mz * Mz - Mzz;
  const double A1 = Var * Mz + 4 * Cov * Mz - Mxz * Mxz - Myz * Myz;
  const double A0 = Mxz * (Mxz * Myy - Myz * Mxy) + Myz * (Myz * Mxx - Mxz * Mxy) - Var * Cov;

  // Newton's method for the smallest root of the characteristic polynomial, from 0.
  double x = 0, y = A0;
  for (int iter = 0; iter < 10; ++iter) {
    const double xNew = x - y / (A1 + x * (2 * A2 + 3 * A3 * x));
    if (xNew == x || !std::isfinite(xNew)) break;
    const double yNew = A0 + xNew * (A1 + xNew * (A2 + xNew * A3));
    if (std::fabs(yNew) >= std::fabs(y)) break;
    x = xNew;
    y = yNew;
  }

  const double det = x * x - x * Mz + Cov;
  const double xc = (Mxz * (Myy - x) - Myz * Mxy) / det / 2;
  const double yc = (Myz * (Mxx - x) - Mxz * Mxy) / det / 2;
  const double r = std::sqrt(xc * xc + yc * yc + Mz);
  // Collinear points put the centre at infinity.
  if (!std::isfinite(xc) || !std::isfinite(yc) || !std::isfinite(r)) return -1;
  *circle =
      cv::Vec3f(static_cast<float>(xc + mx), static_cast<float>(yc + my), static_cast<float>(r));
  return count;
}

int fitCircleLevenbergMarquardt(const std::vector<cv::Vec3f>& points, const float* weights,
                                cv::Vec3f* circle, int minPoints) {
  cv::Vec3f start = *circle;
  if (isZero(start) && fitCircleTaubin(points, weights, &start, minPoints) < 0) return -1;

  double a = start[0], b = start[1], r = start[2];
  double lambda = 0.001;
  double sigma = weightedSigma(points, weights, a, b, r);
  int count = 0;
  bool done = false;
  for (int outer = 0; outer < 10 && !done; ++outer) {
    double W = 0, mx = 0, my = 0, Mu = 0, Mv = 0, Muu = 0, Mvv = 0, Muv = 0, Mr = 0;
    int used = 0;
    for (size_t i = 0; i < points.size(); ++i) {
      const double w = pointWeight(points, weights, i);
      if (w == 0) continue;
      const double dx = points[i][0] - a, dy = points[i][1] - b;
      const double d = distance(dx, dy);
      if (d == 0) continue;  // a point on the centre has no direction
      const double u = dx / d, v = dy / d;
      W += w;
      mx += w * points[i][0];
      my += w * points[i][1];
      Mu += w * u;
      Mv += w * v;
      Muu += w * u * u;
      Mvv += w * v * v;
      Muv += w * u * v;
      Mr += w * d;
      ++used;
    }
    if (W < DBL_EPSILON || used < minPoints) break;
    count = used;
    mx /= W, my /= W, Mu /= W, Mv /= W, Muu /= W, Mvv /= W, Muv /= W, Mr /= W;
    const double F1 = a + r * Mu - mx;
    const double F2 = b + r * Mv - my;
    const double F3 = r - Mr;

    bool accepted = false;
    for (int inner = 0; inner < 10; ++inner) {
      // Cholesky solve of the damped normal equations.
      const double G11 = std::sqrt(Muu + lambda);
      const double G12 = Muv / G11;
      const double G13 = Mu / G11;
      const double G22 = std::sqrt(Mvv + lambda - G12 * G12);
      const double G23 = (Mv - G12 * G13) / G22;
      const double G33 = std::sqrt(1 + lambda - G13 * G13 - G23 * G23);
      const double D1 = F1 / G11;
      const double D2 = (F2 - G12 * D1) / G22;
      const double D3 = (F3 - G13 * D1 - G23 * D2) / G33;
      const double dr = D3 / G33;
      const double db = (D2 - G23 * dr) / G22;
      const double da = (D1 - G12 * db - G13 * dr) / G11;
      if (!std::isfinite(da) || !std::isfinite(db) || !std::isfinite(dr)) {
        done = true;
        break;
      }
      if ((std::fabs(dr) + std::fabs(da) + std::fabs(db)) / (1 + r) < 3e-8) {
        done = true;  // converged
        break;
      }
      const double aNew = a - da, bNew = b - db, rNew = r - dr;
      if (std::fabs(aNew) > 1e6 || std::fabs(bNew) > 1e6) {
        done = true;  // diverged
        break;
      }
      const double sigmaNew = rNew > 0 ? weightedSigma(points, weights, aNew, bNew, rNew) : 0;
      if (rNew > 0 && sigmaNew < sigma) {
        a = aNew, b = bNew, r = rNew, sigma = sigmaNew;
        lambda *= 0.04;
        accepted = true;
        break;
      }
      lambda *= 10;
    }
    // Ten rejected tries, or a divergence, end the fit on the last circle that lowered the
    // distance: a rejected candidate fits worse by construction, so carrying it over could
    // only return a worse circle than one already seen.
    if (!accepted) done = true;
  }
  *circle = cv::Vec3f(static_cast<float>(a), static_cast<float>(b), static_cast<float>(r));
  return count;
}

double residualSum(const std::vector<cv::Vec3f>& points, const cv::Vec3f& circle,
                   float* residuals) {
  double sum = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const double d = std::fabs(distance(static_cast<double>(points[i][0]) - circle[0],
                                        static_cast<double>(points[i][1]) - circle[1]) -
                               circle[2]);
    residuals[i] = static_cast<float>(d);
    sum += d;
  }
  return sum;
}

int fitCircleWeighted(const std::vector<cv::Vec3f>& points, cv::Vec3f* circle,
                      CircleFitMethod method, WeightType weightType, float cutoff, int maxPasses,
                      float residualLimit, int minPoints) {
  FitFn fit = nullptr;
  switch (method) {
    case CircleFitMethod::Taubin:
      fit = fitCircleTaubin;
      break;
    case CircleFitMethod::LevenbergMarquardt:
      fit = fitCircleLevenbergMarquardt;
      break;
    default:
      break;
  }
  if (!fit) {
    VISTREL_REPORT("unexpected or unimplemented circl fit algorithm.");
    return -1;
  }
  const WeightFunction weigh = selectWeightFunction(weightType, cutoff);
  if (!weigh) {
    VISTREL_REPORT("unexpected function type for weight calculation.");
    return -1;
  }

  cv::Vec3f pre(0, 0, 0);
  int count = fit(points, nullptr, &pre, minPoints);
  if (count < 0) {
    *circle = cv::Vec3f(0, 0, 0);
    return -1;
  }
  const int n = static_cast<int>(points.size());
  std::vector<float> residuals(n), weights(n);
  for (int pass = 0; pass < maxPasses; ++pass) {
    if (residualSum(points, pre, residuals.data()) < residualLimit) break;
    weigh(n, residuals.data(), weights.data());
    cv::Vec3f cur(0, 0, 0);
    const int m = fit(points, weights.data(), &cur, minPoints);
    if (m < 1) break;
    count = m;
    const bool settled =
        std::fabs(cur[2] - pre[2]) < 0.01f && std::hypot(cur[0] - pre[0], cur[1] - pre[1]) < 0.01f;
    if (settled) break;
    pre = cur;
  }
  *circle = pre;
  return count;
}

}  // namespace vistrel
