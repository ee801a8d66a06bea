#pragma once

// Algebraic least-squares circle fit of pixel chains.

namespace ced {

// Result of a circle fit. On failure `ok` is false and `error` is 1e20.
struct CircleFit {
  bool ok = false;
  double xc = 0, yc = 0, r = 0;  // pixels
  double error = 1e20;           // RMS of (distance to centre − r) over the points
};

// Fits a circle to the n points (x[i], y[i]). Fails for n < 3 and for collinear points.
CircleFit fitCircle(const double* x, const double* y, int n);

}  // namespace ced
