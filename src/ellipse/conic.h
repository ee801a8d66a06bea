#pragma once

// Conic sections A·x² + B·x·y + C·y² + D·x + E·y + F = 0 in pixel coordinates (x = column,
// y = row, y downwards), and the ellipse measures the detector derives from them.

namespace ced {

// Seven doubles; index 0 is unused, indices 1..6 hold A, B, C, D, E, F. Zero-initialised.
struct ConicCoefficients {
  double c[7] = {0, 0, 0, 0, 0, 0, 0};
  double& operator[](int i) { return c[i]; }
  double operator[](int i) const { return c[i]; }
};

// The conic divided by A and turned by `theta` so that its cross term vanishes:
// A'·x'² + C'·y'² + D'·x' + E'·y' + F = 0 in the turned frame. `d` = D'/A', `e` = E'/C',
// `a` and `b` are the semi-axes along x' and y' (NaN when the conic is no real ellipse).
struct NormalisedConic {
  double theta = 0;  // radians; atan(B / (A - C)) / 2, or 0 when B = 0
  double A = 0, C = 0, D = 0, E = 0, F = 0;
  double d = 0, e = 0;
  double a = 0, b = 0;
};

// The normalised rotation shared by the perimeter and the centre computation.
NormalisedConic normaliseRotation(const ConicCoefficients& eq);

// Ramanujan's second approximation of the perimeter of the ellipse `eq`, in pixels (pi is
// written 3.14159265 on purpose: the detector's thresholds were tuned with it).
double ellipsePerimeter(const ConicCoefficients& eq);

// Centre (pixels), the two semi-axes a (along the turned x axis) and b, not ordered by size,
// and the rotation `theta` in radians (from -pi/4 to pi/4).
struct EllipseGeometry {
  double xc = 0, yc = 0;
  double a = 0, b = 0;
  double theta = 0;
};
EllipseGeometry ellipseCentreAndAxes(const ConicCoefficients& eq);

// Root mean square distance of the n points (x[i], y[i]) to the ellipse `eq`: each point's
// distance is found from the ray through the centre, refined by a local search in x steps of
// 0.5 pixels. Returns 0 for n <= 0.
double ellipseFitError(const ConicCoefficients& eq, const double* x, const double* y, int n);

}  // namespace ced
