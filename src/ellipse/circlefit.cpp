#include "circlefit.h"

#include <cmath>

namespace ced {

CircleFit fitCircle(const double* x, const double* y, int n) {
  CircleFit fit;
  if (n < 3 || x == nullptr || y == nullptr) return fit;
  double mx = 0, my = 0;
  for (int i = 0; i < n; ++i) {
    mx += x[i];
    my += y[i];
  }
  mx /= n;
  my /= n;
  double suu = 0, suv = 0, svv = 0, suuu = 0, suvv = 0, svvv = 0, svuu = 0;
  for (int i = 0; i < n; ++i) {
    const double u = x[i] - mx, v = y[i] - my;
    suu += u * u;
    suv += u * v;
    svv += v * v;
    suuu += u * u * u;
    suvv += u * v * v;
    svvv += v * v * v;
    svuu += v * u * u;
  }
  const double det = suu * svv - suv * suv;
  if (det == 0) return fit;
  const double c1 = (suuu + suvv) / 2, c2 = (svvv + svuu) / 2;
  const double uc = (svv * c1 - suv * c2) / det;
  const double vc = (suu * c2 - suv * c1) / det;
  fit.r = std::sqrt(uc * uc + vc * vc + (suu + svv) / n);
  fit.xc = uc + mx;
  fit.yc = vc + my;
  double sum = 0;
  for (int i = 0; i < n; ++i) {
    const double d = std::hypot(x[i] - fit.xc, y[i] - fit.yc) - fit.r;
    sum += d * d;
  }
  fit.error = std::sqrt(sum / n);
  fit.ok = true;
  return fit;
}

}  // namespace ced
