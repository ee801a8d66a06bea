#pragma once

// Start and end angles of an arc of pixels on a fitted circle. Angles are radians in
// [0, 2π], measured from +x toward +y (y grows downwards, so this is clockwise on screen).

namespace ced {

struct ArcAngles {
  double start = 0, end = 0;
};

// The angles of the first and last of the n pixels seen from (xc, yc), ordered so that the arc
// runs from `start` to `end` (wrapping through 0 when start > end). An arc that closes within
// 3 degrees gives start 0 and end 6.26.
ArcAngles arcAngles(double xc, double yc, double r, const double* x, const double* y, int n);

// Angle swept going from s to e: e − s when e > s, else 2π − s + e (so equal angles sweep 2π).
double angularSpan(double s, double e);

}  // namespace ced
