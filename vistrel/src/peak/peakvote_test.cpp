#include "peak/peakvote.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <thread>
#include <utility>
#include <vector>

#include "vistrel/assert.h"

namespace vistrel {
namespace {

// A 1 x n profile of `channels` float channels: the scores in channel `scoreCh`, the supports
// (1 everywhere unless given) in channel `supportCh`, other channels filled with junk.
cv::Mat profile(const std::vector<float>& scores, std::vector<float> supports = {},
                int channels = 2, int scoreCh = 0, int supportCh = 1) {
  if (supports.empty()) supports.assign(scores.size(), 1.f);
  cv::Mat p(1, static_cast<int>(scores.size()), CV_32FC(channels), cv::Scalar::all(-77));
  float* d = p.ptr<float>();
  for (size_t i = 0; i < scores.size(); ++i) {
    d[i * channels + scoreCh] = scores[i];
    d[i * channels + supportCh] = supports[i];
  }
  return p;
}

std::vector<int> select(const cv::Mat& p, int maxCount, int polarity, int findBy,
                        float minSupport = 0, float minScore = 0, int scoreCh = 0,
                        int supportCh = 1) {
  std::vector<int> idx;
  selectRadiusPeaks(p, maxCount, idx, minSupport, minScore, scoreCh, supportCh, polarity, findBy);
  return idx;
}

using V = std::vector<int>;

TEST(PeakVote, VoteKernelSizesAndShape) {
  // sigma = taps / 6: neighbouring taps of a Gaussian differ by exp(-(2k + 1) / (2 sigma^2)).
  const auto ratio = [](double taps) { return std::exp(-1 / (2 * (taps / 6) * (taps / 6))); };
  const cv::Mat k17 = makeVoteKernel(3, 1);
  ASSERT_TRUE(k17.rows == 17 && k17.type() == CV_32FC1);
  EXPECT_NEAR(k17.at<float>(9) / k17.at<float>(8), ratio(17), 1e-5);
  EXPECT_EQ(makeVoteKernel(2, 1).rows, 9);
  EXPECT_EQ(makeVoteKernel(1, 1).total(), 1u);
  EXPECT_EQ(makeVoteKernel(1, 1).at<float>(0), 1.f);
  // A reduction scale narrows the kernel: edge width 3 at scale 4 gives h = 2, 5 taps.
  const cv::Mat k5 = makeVoteKernel(3, 4);
  ASSERT_EQ(k5.rows, 5);
  EXPECT_NEAR(k5.at<float>(3) / k5.at<float>(2), ratio(5), 1e-5);
  // No edge width: a sharp edge, one tap.
  EXPECT_EQ(makeVoteKernel(-3, 1).total(), 1u);
  AssertCapture capture;
  EXPECT_EQ(makeVoteKernel(3, 0).total(), 1u);
  EXPECT_TRUE(capture.contains("scale > 0"));
  EXPECT_EQ(makeVoteKernel(1 << 30, 1).total(), 2u * 65536 + 1);
  // Edge widths whose half width leaves int on the negative side: a sharp edge, no overflow.
  EXPECT_EQ(makeVoteKernel(INT_MIN, 1).total(), 1u);
}

TEST(PeakVote, SharedKernelsAreBuiltOnceAcrossThreads) {
  std::vector<const uchar*> seen(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&seen, t] { seen[t] = makeVoteKernel(t % 2 ? 3 : 1, 1).data; });
  }
  for (auto& th : threads) th.join();
  for (int t = 2; t < 8; ++t) EXPECT_EQ(seen[t], seen[t % 2]);
}

TEST(PeakVote, SingleBestFollowsTheScanDirection) {
  // Three bins: an upward scan looks at bin 2 only, a downward one at bin 0 only.
  EXPECT_EQ(select(profile({9, 9, 1}), 1, kPolarityBlack2White, kFindByBest), V{2});
  EXPECT_EQ(select(profile({9, 1, 1}), 1, kPolarityBlack2White, kFindByOutermost), V{0});

  const cv::Mat p = profile({0, 0, 5, 7, 6, 9});
  // Innermost stops at bin 4, which is not better than bin 3.
  EXPECT_EQ(select(p, 1, kPolarityBlack2White, kFindByInnermost), V{3});
  EXPECT_EQ(select(p, 1, kPolarityBlack2White, kFindByBest), V{5});
  EXPECT_EQ(select(p, 1, kPolarityBlack2White, kFindByAll), V{5});
  // Outermost starts at bin n - 3 = 3 and walks down: 7, then 5 is not better.
  EXPECT_EQ(select(p, 1, kPolarityBlack2White, kFindByOutermost), V{3});

  // Polarity: negative scores count for White2Black, the larger magnitude for Either.
  const cv::Mat q = profile({0, 0, 4, -8, 2, 6, -3, 0});
  EXPECT_EQ(select(q, 1, kPolarityBlack2White, kFindByBest), V{5});
  EXPECT_EQ(select(q, 1, kPolarityWhite2Black, kFindByBest), V{3});
  EXPECT_EQ(select(q, 1, kPolarityEither, kFindByBest), V{3});
  // Thresholds: support below the minimum or score below the minimum are not candidates.
  const cv::Mat r = profile({0, 0, 4, 9, 2, 6, 0, 0}, {1, 1, 1, 0.5f, 1, 1, 1, 1});
  EXPECT_EQ(select(r, 1, kPolarityBlack2White, kFindByBest, 0.8f), V{5});
  EXPECT_EQ(select(r, 1, kPolarityBlack2White, kFindByBest, 0.f, 7.f), V{3});
}

TEST(PeakVote, SeveralPeaksAreLocalExtremesInFindByOrder) {
  // Extremes at bins 3 (5), 6 (9), 9 (2), 12 (7), 15 (4).
  const cv::Mat p = profile({0, 0, 1, 5, 1, 0, 9, 0, 0, 2, 0, 0, 7, 0, 1, 4, 1, 0, 0});
  EXPECT_EQ(select(p, 3, kPolarityBlack2White, kFindByBest), (V{6, 12, 3}));
  EXPECT_EQ(select(p, 3, kPolarityBlack2White, kFindByInnermost), (V{3, 6, 9}));
  EXPECT_EQ(select(p, 2, kPolarityBlack2White, kFindByOutermost), (V{15, 12}));
  EXPECT_EQ(select(p, 2, kPolarityBlack2White, kFindByAll), (V{3, 6, 9, 12, 15}));
  // No more extremes than asked for: nothing to trim, so Best keeps the scan order.
  EXPECT_EQ(select(p, 10, kPolarityBlack2White, kFindByBest), (V{3, 6, 9, 12, 15}));
  EXPECT_EQ(select(p, 5, kPolarityBlack2White, kFindByBest), (V{3, 6, 9, 12, 15}));
  EXPECT_EQ(select(p, 0, kPolarityBlack2White, kFindByAll), V{});

  // A plateau counts once, at its right-hand bin.
  const cv::Mat plateau = profile({0, 0, 1, 5, 5, 1, 0, 0});
  EXPECT_EQ(select(plateau, 2, kPolarityBlack2White, kFindByAll), V{4});
  const cv::Mat valley = profile({0, 0, -1, -5, -5, -1, 0, 0});
  EXPECT_EQ(select(valley, 2, kPolarityWhite2Black, kFindByAll), V{4});
  EXPECT_EQ(select(valley, 2, kPolarityBlack2White, kFindByAll), V{});
  // Either takes both signs; the first two and last two bins are never extremes.
  const cv::Mat mixed = profile({9, 0, 0, 4, 0, 0, -6, 0, 0, 9});
  EXPECT_EQ(select(mixed, 5, kPolarityEither, kFindByAll), (V{3, 6}));
}

TEST(PeakVote, AnyChannelLayoutSelectsTheSame) {
  const std::vector<float> s = {0, 0, 3, 8, 3, 0, -2, -6, -2, 0, 5, 0, 0};
  const V expected = select(profile(s), 3, kPolarityEither, kFindByBest);
  EXPECT_EQ(expected, (V{3, 7, 10}));
  EXPECT_EQ(select(profile(s, {}, 3, 2, 0), 3, kPolarityEither, kFindByBest, 0, 0, 2, 0), expected);
  EXPECT_EQ(select(profile(s, {}, 4, 1, 3), 3, kPolarityEither, kFindByBest, 0, 0, 1, 3), expected);

  AssertCapture capture;
  cv::Mat one(1, 13, CV_32FC1, cv::Scalar(1));
  EXPECT_EQ(select(one, 3, kPolarityEither, kFindByBest), V{});
  EXPECT_TRUE(capture.contains("not implemented."));
  cv::Mat dbl(1, 13, CV_64FC2, cv::Scalar(1));
  EXPECT_EQ(select(dbl, 3, kPolarityEither, kFindByBest), V{});
  EXPECT_TRUE(capture.contains("analysisMat.depth() == CV_32F"));
  EXPECT_EQ(select(profile(s), 3, 7, kFindByBest), V{});
  EXPECT_TRUE(capture.contains("unexpected polarity."));
}

TEST(PeakVote, PeakExtentStopsAtTheFirstBinOfOppositeSign) {
  using E = std::pair<int, int>;
  const auto extent = [](const cv::Mat& p, int index, int channel = 0) {
    E lr(-7, -7);
    peakExtent(p, index, lr.first, lr.second, channel);
    return lr;
  };
  const cv::Mat p = profile({-1, 2, 3, 4, 5, 6, 7, 8, 9, -1, 3, 4});
  // Bin 0 is negative (and the limit 4 - 5 < 0); the limit 4 + 5 = 9 is the first negative bin.
  EXPECT_EQ(extent(p, 4), E(0, 9));
  EXPECT_EQ(extent(p, 10), E(9, 11));  // the last bin is the limit
  // All one sign: five bins each way, clamped; the ends give -1 and n without reading past.
  const cv::Mat flat = profile(std::vector<float>(20, 1.f));
  EXPECT_EQ(extent(flat, 10), E(5, 15));
  EXPECT_EQ(extent(flat, 0), E(-1, 5));
  EXPECT_EQ(extent(flat, 19), E(14, 20));
  // Another channel: its own signs count.
  EXPECT_EQ(extent(profile({1, 1, 1, 1}, {-1, -1, 2, -1}), 2, 1), E(1, 3));

  AssertCapture capture;
  EXPECT_EQ(extent(flat, 20), E(20, 20));
  EXPECT_TRUE(capture.contains("index >= 0 && index < n"));
  extent(cv::Mat(1, 5, CV_32FC1, cv::Scalar(1)), 2);
  EXPECT_TRUE(capture.contains("not implemented."));
}

}  // namespace
}  // namespace vistrel
