#pragma once

#include <opencv2/core.hpp>

// Least-squares lines through pixel runs. A line is y = a + b·x, or x = a + b·y when
// `transposed` is 1 (chosen when the points spread more along y).

namespace ced {

struct LineFit {
  double a = 0, b = 0;
  int transposed = 0;
  double error = 0;  // RMS distance to the line; the mean |a − Y| when b = 0
};

// Fits a line to the first `count` points and measures its error. Returns false (and leaves
// `fit` untouched) when count < 2. Coincident points give the horizontal line through them.
bool fitLineWithError(const double* x, const double* y, int count, LineFit& fit);

// Refits a, b with the orientation given by `transposed` (no error computed). Returns false
// when count < 2 or the points give no unique line in that orientation (a, b untouched).
bool fitLineOriented(const double* x, const double* y, int count, int transposed, double& a,
                     double& b);

// The point of the line (a, b, transposed) closest to (x, y), and the distance to it.
cv::Point2d closestPointOnLine(double x, double y, double a, double b, int transposed);
double distanceToLine(double x, double y, double a, double b, int transposed);

// A stand-in for distanceToLine that compares with `limit` (<= and >) exactly as it does: the
// squared distance settles the clear cases (returning `limit` for within, infinity for
// beyond), and near the limit, for non-finite values or for a limit outside [1e-100, 1e100]
// it is distanceToLine itself.
double distanceToLineAgainst(double x, double y, double a, double b, int transposed, double limit);

}  // namespace ced
