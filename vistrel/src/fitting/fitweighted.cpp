#include "fitting/fitweighted.h"

#include <algorithm>
#include <cmath>

namespace vistrel {
namespace {

void inverseResidual(float c, int n, const float* d, float* w) {
  for (int i = 0; i < n; ++i) {
    w[i] = (c > 0 && d[i] > c) ? 0.f : 1.f / std::max(1e-6f, std::fabs(d[i]));
  }
}

void hardCutoff(float c, int n, const float* d, float* w) {
  for (int i = 0; i < n; ++i) w[i] = d[i] <= c ? 1.f : 0.f;
}

void l1l2(float c, int n, const float* d, float* w) {
  for (int i = 0; i < n; ++i) {
    w[i] = (c > 0 && d[i] > c) ? 0.f : 1.f / std::sqrt(1.f + d[i] * d[i] / 2.f);
  }
}

}  // namespace

WeightFunction selectWeightFunction(WeightType type, float cutoff) {
  auto bound = [cutoff](void (*f)(float, int, const float*, float*)) -> WeightFunction {
    return [f, cutoff](int n, const float* d, float* w) { f(cutoff, n, d, w); };
  };
  switch (type) {
    case WeightType::HardCutoff:
      // Without a positive cut-off every point would pass: fall back to a weight that still
      // ranks points by their residual.
      return bound(cutoff > 0 ? hardCutoff : inverseResidual);
    case WeightType::InverseResidual:
      return bound(inverseResidual);
    case WeightType::L1L2:
      return bound(l1l2);
  }
  return {};
}

}  // namespace vistrel
