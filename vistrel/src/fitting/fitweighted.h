#pragma once

// Robust reweighting: turns the residuals of a fit into weights for the next fit, so that
// points far from the current model count less (or not at all).

#include <functional>

namespace vistrel {

// How a residual d becomes a weight, given a cut-off c (pixels):
// - HardCutoff: 1 when d <= c, else 0; with c <= 0 it behaves as InverseResidual.
// - InverseResidual: 1 / max(1e-6, |d|); 0 when c > 0 and d > c.
// - L1L2: 1 / sqrt(1 + d^2 / 2), a smooth blend of least squares (small d) and least absolute
//   deviations (large d); 0 when c > 0 and d > c.
enum class WeightType { HardCutoff = 0, InverseResidual = 1, L1L2 = 2 };

// Writes weights[i] for residuals[i], i < n. The cut-off is bound when the function is chosen.
using WeightFunction = std::function<void(int n, const float* residuals, float* weights)>;

// The weight function of `type` with cut-off `cutoff`; an empty function for a type outside
// the enumeration (no report: the caller decides what an unknown type means).
WeightFunction selectWeightFunction(WeightType type, float cutoff);

}  // namespace vistrel
