#pragma once

#include "conic.h"

// Direct least-squares ellipse fit (constraint matrix and generalised eigenproblem).

namespace ced {

// Fits a conic to the n points (x[i], y[i]). `mode` 1 (what the detector uses) constrains the
// solution to an ellipse (4AC − B² = 1); mode 0 uses the constraint 2A² + B² + 2C².
// Fails (returns false, `eq` untouched) when n < 6, when the normal matrix cannot be inverted,
// when no eigenvalue qualifies, or when the perimeter falls outside [1, 50000] pixels.
bool fitEllipse(const double* x, const double* y, int n, ConicCoefficients& eq, int mode = 1);

// Fits in mode 1 and returns the fit error (ellipseFitError) of the points, or 1e10 when the
// fit fails: the form every stage of the detector uses.
double fitEllipseWithError(const double* x, const double* y, int n, ConicCoefficients& eq);

}  // namespace ced
