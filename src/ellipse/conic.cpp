#include "conic.h"

#include <cmath>

namespace ced {

NormalisedConic normaliseRotation(const ConicCoefficients& eq) {
  NormalisedConic n;
  const double A = 1.0;
  const double B = eq[2] / eq[1];
  const double C = eq[3] / eq[1];
  const double D = eq[4] / eq[1];
  const double E = eq[5] / eq[1];
  n.F = eq[6] / eq[1];
  if (B == 0) {
    n.theta = 0;
    n.A = A;
    n.C = C;
    n.D = D;
    n.E = E;
  } else {
    n.theta = std::atan(B / (A - C)) / 2;
    const double c2 = std::cos(2 * n.theta), s2 = std::sin(2 * n.theta);
    const double c = std::cos(n.theta), s = std::sin(n.theta);
    n.A = 0.5 * (A * (1 + c2) + B * s2 + C * (1 - c2));
    n.C = 0.5 * (A * (1 - c2) - B * s2 + C * (1 + c2));
    n.D = D * c + E * s;
    n.E = -D * s + E * c;
  }
  n.d = n.D / n.A;
  n.e = n.E / n.C;
  const double K = n.A * (n.d / 2) * (n.d / 2) + n.C * (n.e / 2) * (n.e / 2) - n.F;
  n.a = std::sqrt(K / n.A);
  n.b = std::sqrt(K / n.C);
  return n;
}

double ellipsePerimeter(const ConicCoefficients& eq) {
  const NormalisedConic n = normaliseRotation(eq);
  const double sum = n.a + n.b;
  const double h = (n.a - n.b) * (n.a - n.b) / (sum * sum);
  return 3.14159265 * sum * (1 + 3 * h / (10 + std::sqrt(4 - 3 * h)));
}

EllipseGeometry ellipseCentreAndAxes(const ConicCoefficients& eq) {
  const NormalisedConic n = normaliseRotation(eq);
  EllipseGeometry g;
  const double xr = -n.d / 2, yr = -n.e / 2;
  const double c = std::cos(n.theta), s = std::sin(n.theta);
  g.xc = xr * c - yr * s;
  g.yc = xr * s + yr * c;
  g.a = n.a;
  g.b = n.b;
  g.theta = n.theta;
  return g;
}

namespace {

// Squared distances from (px, py) to the two points of the conic at abscissa x. Returns false
// when no point of the conic lies at that abscissa.
bool distancesAtAbscissa(const ConicCoefficients& eq, double x, double px, double py, double& d1,
                         double& d2) {
  const double qa = eq[3];
  const double qb = eq[2] * x + eq[5];
  const double qc = eq[1] * x * x + eq[4] * x + eq[6];
  const double disc = qb * qb - 4 * qa * qc;
  if (!(disc >= 0)) return false;
  const double root = std::sqrt(disc);
  const double y1 = (-qb + root) / (2 * qa);
  const double y2 = (-qb - root) / (2 * qa);
  d1 = (x - px) * (x - px) + (y1 - py) * (y1 - py);
  d2 = (x - px) * (x - px) + (y2 - py) * (y2 - py);
  return std::isfinite(d1) && std::isfinite(d2);
}

// Both roots of qa·t² + qb·t + qc = 0; a negative discriminant is taken as zero.
void quadraticRoots(double qa, double qb, double qc, double& t1, double& t2) {
  double disc = qb * qb - 4 * qa * qc;
  if (disc < 0) disc = 0;
  const double root = std::sqrt(disc);
  t1 = (-qb + root) / (2 * qa);
  t2 = (-qb - root) / (2 * qa);
}

// The nearest of the conic's two intersections with the ray from the centre through the
// point; returns the squared distance and its abscissa.
void rayIntersection(const ConicCoefficients& eq, double qx, double qy, double px, double py,
                     double& bestX, double& bestD) {
  const double A = eq[1], B = eq[2], C = eq[3], D = eq[4], E = eq[5], F = eq[6];
  double x1, y1, x2, y2;
  if (std::fabs(px - qx) > std::fabs(py - qy)) {
    // y = m·x + k
    const double m = (py - qy) / (px - qx);
    const double k = py - m * px;
    const double qa = A + B * m + C * m * m;
    const double qb = B * k + 2 * C * m * k + D + E * m;
    const double qc = C * k * k + E * k + F;
    quadraticRoots(qa, qb, qc, x1, x2);
    y1 = m * x1 + k;
    y2 = m * x2 + k;
  } else {
    // x = m·y + k; a point on the centre itself takes the vertical line through it.
    const double m = (py == qy) ? 0.0 : (px - qx) / (py - qy);
    const double k = px - m * py;
    const double qa = A * m * m + B * m + C;
    const double qb = 2 * A * m * k + B * k + D * m + E;
    const double qc = A * k * k + D * k + F;
    quadraticRoots(qa, qb, qc, y1, y2);
    x1 = m * y1 + k;
    x2 = m * y2 + k;
  }
  const double d1 = (x1 - px) * (x1 - px) + (y1 - py) * (y1 - py);
  const double d2 = (x2 - px) * (x2 - px) + (y2 - py) * (y2 - py);
  if (d2 < d1) {
    bestX = x2;
    bestD = d2;
  } else {
    bestX = x1;
    bestD = d1;
  }
}

// Steps beyond any ellipse the fit accepts (perimeter <= 50000); guards malformed conics.
constexpr int kMaxSearchSteps = 100000;

}  // namespace

double ellipseFitError(const ConicCoefficients& eq, const double* x, const double* y, int n) {
  if (n <= 0) return 0;
  const EllipseGeometry g = ellipseCentreAndAxes(eq);
  double sum = 0;
  for (int i = 0; i < n; ++i) {
    const double px = x[i], py = y[i];
    double startX = 0, best = 0;
    rayIntersection(eq, g.xc, g.yc, px, py, startX, best);
    // Outside the conic's abscissa range there is no point to compare, so the search ends
    // there rather than measuring to a point off the curve.
    for (int dir = 0; dir < 2; ++dir) {
      const double step = dir == 0 ? 0.5 : -0.5;
      double ax = startX;
      for (int s = 0; s < kMaxSearchSteps; ++s) {
        ax += step;
        double d1, d2;
        if (!distancesAtAbscissa(eq, ax, px, py, d1, d2)) break;
        if (d1 <= best) {
          best = d1;
        } else if (d2 <= best) {
          best = d2;
        } else {
          break;
        }
      }
    }
    sum += best;
  }
  return std::sqrt(sum / n);
}

}  // namespace ced
