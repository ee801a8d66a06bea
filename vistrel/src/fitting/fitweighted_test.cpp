#include "fitting/fitweighted.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/core.hpp>
#include <vector>

namespace vistrel {
namespace {

std::vector<float> weigh(WeightType type, float cutoff, const std::vector<float>& d) {
  const WeightFunction f = selectWeightFunction(type, cutoff);
  EXPECT_TRUE(static_cast<bool>(f));
  std::vector<float> w(d.size(), -1.f);
  if (f) f(static_cast<int>(d.size()), d.data(), w.data());
  return w;
}

TEST(FitWeighted, WeightFunctionsByHand) {
  // Hard cut-off 3: in or out, the border included.
  EXPECT_EQ(weigh(WeightType::HardCutoff, 3, {0, 2.9f, 3, 4}), (std::vector<float>{1, 1, 1, 0}));
  // Without a cut-off the hard weight ranks by 1 / d, with 1e-6 as the smallest residual.
  const auto inv = weigh(WeightType::HardCutoff, 0, {0, 0.5f, 2, 100});
  EXPECT_FLOAT_EQ(inv[0], 1e6f);
  EXPECT_EQ(std::vector<float>(inv.begin() + 1, inv.end()), (std::vector<float>{2, 0.5f, 0.01f}));
  EXPECT_EQ(weigh(WeightType::InverseResidual, 3, {0.25f, 3, 3.5f}),
            (std::vector<float>{4, 1.f / 3, 0}));
  // L1-L2: 1 / sqrt(1 + d^2 / 2): d = 0 -> 1, d = 2 -> 1 / sqrt 3, d = 4 -> 1 / 3.
  const std::vector<float> l1l2 = {1, static_cast<float>(1 / std::sqrt(3.0)), 1.f / 3};
  EXPECT_LE(cv::norm(weigh(WeightType::L1L2, 0, {0, 2, 4}), l1l2, cv::NORM_INF), 1e-7);
  EXPECT_EQ(weigh(WeightType::L1L2, 3, {4})[0], 0.f);

  EXPECT_FALSE(static_cast<bool>(selectWeightFunction(static_cast<WeightType>(3), 1)));
  EXPECT_FALSE(static_cast<bool>(selectWeightFunction(static_cast<WeightType>(-1), 1)));
}

}  // namespace
}  // namespace vistrel
