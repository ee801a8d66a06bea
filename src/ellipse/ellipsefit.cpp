#include "ellipsefit.h"

#include <cmath>
#include <vector>

#include "matrix1.h"

namespace ced {

bool fitEllipse(const double* x, const double* y, int n, ConicCoefficients& eq, int mode) {
  if (n < 6 || x == nullptr || y == nullptr) return false;

  Matrix1 constraint(6, 6);
  if (mode == 0) {
    constraint(1, 1) = 2;
    constraint(2, 2) = 1;
    constraint(3, 3) = 2;
  } else {
    constraint(1, 3) = -2;
    constraint(2, 2) = 1;
    constraint(3, 1) = -2;
  }

  // The scatter matrix Dᵀ·D of the design matrix D, whose rows are (x², x·y, y², x, y, 1),
  // summed point by point without building D: each entry adds the same products in the same
  // order as multiplyTransposedLeft(D, D) does.
  double sum[7][7] = {};
  for (int k = 0; k < n; ++k) {
    const double px = x[k], py = y[k];
    const double row[7] = {0, px * px, px * py, py * py, px, py, 1};
    for (int i = 1; i <= 6; ++i)
      for (int j = i; j <= 6; ++j) sum[i][j] += row[i] * row[j];
  }
  Matrix1 scatter(6, 6);
  for (int i = 1; i <= 6; ++i)
    for (int j = 1; j <= 6; ++j) scatter(i, j) = i <= j ? sum[i][j] : sum[j][i];
  const Matrix1 lower = choleskyLower(scatter);
  // A singular factor leaves the inverse zero, so every eigenvalue is 0 and no column is
  // chosen below: that is the failure.
  const Matrix1 invLower = invertGaussJordan(lower);
  const Matrix1 m = multiply(invLower, multiplyTransposedRight(constraint, invLower));

  std::vector<double> d;
  Matrix1 v(6, 6);
  jacobiEigen(m, d, v);

  Matrix1 sol = multiplyTransposedLeft(invLower, v);
  for (int j = 1; j <= 6; ++j) {
    double norm = 0;
    for (int i = 1; i <= 6; ++i) norm += sol(i, j) * sol(i, j);
    norm = std::sqrt(norm);
    if (norm > 0)
      for (int i = 1; i <= 6; ++i) sol(i, j) /= norm;
  }

  int chosen = 0;
  for (int j = 1; j <= 6; ++j) {
    if (!(std::fabs(d[j]) > 1e-19)) continue;
    if (mode == 1 ? d[j] < 0 : d[j] < 1e21) chosen = j;
  }
  if (chosen == 0) return false;

  ConicCoefficients fit;
  for (int i = 1; i <= 6; ++i) fit[i] = sol(i, chosen);
  // Integer truncation of the perimeter is below 1 or above 50000 exactly outside [1, 50001);
  // a non-finite perimeter fails too.
  const double perimeter = ellipsePerimeter(fit);
  if (!(perimeter >= 1 && perimeter < 50001)) return false;
  eq = fit;
  return true;
}

double fitEllipseWithError(const double* x, const double* y, int n, ConicCoefficients& eq) {
  if (!fitEllipse(x, y, n, eq, 1)) return 1e10;
  return ellipseFitError(eq, x, y, n);
}

}  // namespace ced
