#include "orientation.h"

#include <opencv2/core/cvdef.h>

#include <array>
#include <cmath>
#include <limits>

namespace ced {
namespace {

constexpr int kAtanSteps = 1024;

// Filled completely inside a function-local static initialiser, which C++11 runs exactly once
// while other threads wait: detectors constructed in several threads at once all read the
// finished table, so their results do not depend on timing.
const std::array<double, kAtanSteps + 1>& atanTable() {
  static const std::array<double, kAtanSteps + 1> table = [] {
    std::array<double, kAtanSteps + 1> t{};
    for (int i = 0; i <= kAtanSteps; ++i) t[i] = std::atan(static_cast<double>(i) / kAtanSteps);
    return t;
  }();
  return table;
}

}  // namespace

double atanTableEntry(int i) { return atanTable()[i]; }

double orientationAngle(double u, double v) {
  const double au = std::fabs(u), av = std::fabs(v);
  const double lo = au < av ? au : av;
  double hi = au < av ? av : au;
  if (hi == 0.0) hi = 1e-6;
  const double ratio = lo / hi;
  if (!(ratio <= 1.0)) return std::numeric_limits<double>::quiet_NaN();  // NaN or infinite input
  const double t = atanTable()[static_cast<int>(ratio * kAtanSteps)];
  const double a = au <= av ? t : CV_PI / 2 - t;
  const bool sameSign = (u >= 0.0) == (v >= 0.0);
  return sameSign ? a : CV_PI - a;
}

}  // namespace ced
