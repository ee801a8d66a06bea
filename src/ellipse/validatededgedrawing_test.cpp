#include "validatededgedrawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "validatededgedrawing_internal.h"

namespace ced {
namespace {

using Segment = std::vector<cv::Point>;
using Segments = std::vector<Segment>;
using Ranges = std::vector<std::pair<int, int>>;

// A tail table that is 1 everywhere except at the given gradients.
std::vector<double> tailTable(std::initializer_list<std::pair<int, double>> entries) {
  std::vector<double> t(detail::kValidationGradientValues, 1.0);
  for (const auto& [g, p] : entries) t[g] = p;
  return t;
}

Ranges ranges(const std::vector<std::uint16_t>& g, const std::vector<double>& tail,
              std::int64_t tests) {
  return detail::meaningfulRanges(g.data(), static_cast<int>(g.size()), tail, tests, 2.25, 10);
}

Segment row(int y, int fromX, int toX) {
  Segment s;
  for (int x = fromX; x <= toX; ++x) s.emplace_back(x, y);
  return s;
}

TEST(EdgeValidationStatistics, GradientAndTailTableOfAHandImage) {
  // 4 x 4, a single 10 at (1, 1). Interior gradients, by hand (the centre value never enters
  // its own Prewitt sum): (1,1) 0, (1,2) 10, (2,1) 10, (2,2) |−10 + 0| + |−10 + 0| = 20.
  cv::Mat t = cv::Mat::zeros(4, 4, CV_8UC1);
  t.at<unsigned char>(1, 1) = 10;
  std::vector<std::uint16_t> g;
  const std::vector<double> h = detail::tailProbabilities(t, &g);
  const std::vector<std::uint16_t> expected = {0, 0, 0, 0, 0, 0, 10, 0, 0, 10, 20, 0, 0, 0, 0, 0};
  EXPECT_EQ(g, expected);

  ASSERT_EQ(h.size(), static_cast<size_t>(detail::kValidationGradientValues));
  EXPECT_EQ(std::tuple(h[0], h[1], h[10], h[11], h[20], h[21], h[32767]),
            std::tuple(1.0, 0.75, 0.75, 0.25, 0.25, 0.0, 0.0));

  // The border is not counted, and a strided view gives the same gradients as its copy.
  cv::Mat big(10, 12, CV_8UC1, cv::Scalar(200));
  t.copyTo(big(cv::Rect(3, 2, 4, 4)));
  std::vector<std::uint16_t> viewGradient;
  EXPECT_EQ(detail::tailProbabilities(big(cv::Rect(3, 2, 4, 4)), &viewGradient), h);
  EXPECT_EQ(viewGradient, expected);
}

TEST(EdgeValidationStatistics, TailTableCountsEveryInteriorValueOfTheMapExactly) {
  // Flat, black and white (the largest gradients) and random pixels; widths that leave every
  // remainder after groups of four and of eight; a view with a row stride of its own. The map
  // agrees with the one-pixel gradient, and the table with a count of the map.
  cv::RNG rng(5);
  for (int w = 3; w <= 21; w += 3) {
    for (const int spread : {1, 2, 256}) {
      cv::Mat big(9, w + 4, CV_8UC1, cv::Scalar(90));
      for (int y = 0; y < big.rows && spread > 1; ++y)
        for (int x = 0; x < big.cols; ++x)
          big.at<unsigned char>(y, x) =
              static_cast<unsigned char>(rng.uniform(0, spread) * 255 / (spread - 1));
      const cv::Mat image = big(cv::Rect(2, 1, w, 7));
      const int h = image.rows;
      std::vector<std::uint16_t> g(500, 7);  // a buffer that held other values
      const std::vector<double> table = detail::tailProbabilities(image, &g);
      ASSERT_EQ(g.size(), static_cast<size_t>(w * h));
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_EQ(detail::validationGradientAt(image, x, y), g[y * w + x]) << x << " " << y;
      std::vector<int> atLeast(detail::kValidationGradientValues, 0);
      for (int r = 1; r < h - 1; ++r)
        for (int c = 1; c < w - 1; ++c)
          for (int k = 0; k <= g[r * w + c]; ++k) ++atLeast[k];
      std::vector<double> expected;
      for (const int n : atLeast) expected.push_back(n / ((w - 2.0) * (h - 2.0)));
      EXPECT_EQ(table, expected) << w << " " << spread;
      EXPECT_EQ(detail::tailProbabilities(image), expected) << w << " " << spread;
    }
  }
}

TEST(EdgeValidationStatistics, NumberOfTestsIsExactBeyondThirtyTwoBits) {
  const Segments s = {Segment(10), Segment(3), Segment(1), Segment()};
  EXPECT_EQ(detail::numberOfTests(s), 45 + 3);
  EXPECT_EQ(detail::numberOfTests({Segment(100000)}), std::int64_t{4999950000});
  EXPECT_EQ(detail::numberOfTests({}), 0);
}

TEST(EdgeValidationTest, NfaOfOneIsStillMeaningful) {
  // 10 pixels allow ⌊10 / 2.25⌋ = 4 factors: 16 · 0.5⁴ = 1 passes, 17 · 0.5⁴ does not.
  const std::vector<std::uint16_t> g(10, 100);
  const auto half = tailTable({{100, 0.5}});
  EXPECT_EQ(ranges(g, half, 16), (Ranges{{0, 9}}));
  EXPECT_TRUE(ranges(g, half, 17).empty());
  // 9 pixels are never tested, however strong.
  EXPECT_TRUE(ranges(std::vector<std::uint16_t>(9, 100), tailTable({{100, 0.0}}), 1).empty());
  EXPECT_TRUE(ranges({}, half, 1).empty());
}

TEST(EdgeValidationTest, SegmentIsCutAtItsWeakestPixelAndItsEquallyWeakNeighbours) {
  const auto tail = tailTable({{100, 0.5}, {7, 0.8}, {5, 0.9}});
  // 60 pixels of 100 with 5 at 30 and 31: as a whole 1000 · 0.9²⁶ ≈ 65 > 1. Split around
  // 30..31; both pieces pass (1000 · 0.5¹³ and 1000 · 0.5¹²).
  std::vector<std::uint16_t> g(60, 100);
  g[30] = g[31] = 5;
  EXPECT_EQ(ranges(g, tail, 1000), (Ranges{{0, 29}, {32, 59}}));
  // A weaker, but not equally weak, pixel before the cut is cut off in the next round
  // (1000 · 0.8¹³ ≈ 55 > 1), not together with the weakest.
  g[29] = 7;
  EXPECT_EQ(ranges(g, tail, 1000), (Ranges{{0, 28}, {32, 59}}));

  // Pieces shorter than 10 are dropped: a cut at 8 leaves [0, 7] untested.
  g.assign(25, 100);
  g[12] = 5;
  EXPECT_EQ(ranges(g, tail, 16), (Ranges{{0, 11}, {13, 24}}));
  g[12] = 100;
  g[8] = 5;
  EXPECT_EQ(ranges(g, tail, 16), (Ranges{{9, 24}}));

  // Equally weak pixels up to the end: nothing is left on the right.
  g.assign(20, 100);
  std::fill(g.begin() + 12, g.end(), 5);
  EXPECT_EQ(ranges(g, tail, 16), (Ranges{{0, 11}}));

  // Strictly rising gradients that no pixel of the image lacks (H = 1): every round cuts off
  // only the first pixel, 10000 rounds deep, and nothing passes.
  g.resize(10000);
  for (int i = 0; i < 10000; ++i) g[i] = static_cast<std::uint16_t>(1000 + i);
  EXPECT_TRUE(ranges(g, tailTable({}), 1000).empty());
  // With a long enough run, even H = 0.9 passes: 1000 · 0.9^⌊200 / 2.25⌋ < 1.
  EXPECT_EQ(ranges(std::vector<std::uint16_t>(200, 5), tail, 1000), (Ranges{{0, 199}}));
}

TEST(EdgeValidationRuns, RunsLoseTheirLastPixelAndShortOnesVanish) {
  cv::Mat edge = cv::Mat::zeros(12, 30, CV_8UC1);
  const Segment a = row(2, 3, 12);  // 10 marked: becomes 9
  const Segment b = row(4, 3, 11);  // 9 marked: dropped
  const Segment c = row(6, 0, 24);  // marked except index 12: 12 + 12 -> 11 + 11
  const Segment d = row(8, 0, 14);  // 4 marked, gap, 10 marked -> 9
  Segment e;                        // crosses c at (20, 6): a run of 1
  for (int y = 0; y < 12; ++y) e.emplace_back(20, y);
  for (const Segment* s : {&a, &b, &c, &d})
    for (const cv::Point& p : *s) edge.at<unsigned char>(p) = kEdgePixel;
  edge.at<unsigned char>(6, 12) = edge.at<unsigned char>(8, 4) = 0;

  const Segments runs = detail::extractValidRuns({a, b, c, d, e}, edge, 10);
  const Segments expected = {row(2, 3, 11), row(6, 0, 10), row(6, 13, 23), row(8, 5, 13)};
  EXPECT_EQ(runs, expected);
  EXPECT_TRUE(detail::extractValidRuns({}, edge, 10).empty());
}

TEST(EdgeValidationTest, ReusedBuffersGiveTheSameRangesAsFreshOnes) {
  // One pair of buffers and one NfaTest through segments of all outcomes: left-over ranges or
  // pending pieces of an earlier segment must not leak into the next, and a product kept from
  // a longer segment (1000 · 0.5¹⁰ <= 1 for 45 pixels) must not pass a shorter one (20 pixels,
  // 1000 · 0.5⁸ > 1).
  const auto tail = tailTable({{100, 0.5}, {5, 0.9}});
  std::vector<std::uint16_t> cut(60, 100);
  cut[30] = cut[31] = 5;
  const std::vector<std::vector<std::uint16_t>> segments = {cut,
                                                            std::vector<std::uint16_t>(45, 100),
                                                            std::vector<std::uint16_t>(20, 100),
                                                            std::vector<std::uint16_t>(44, 100),
                                                            {},
                                                            cut};
  Ranges meaningful = {{7, 8}}, pending = {{1, 2}, {3, 4}};
  detail::NfaTest test(tail, 1000);
  for (const auto& g : segments) {
    const int n = static_cast<int>(g.size());
    detail::meaningfulRanges(g.data(), n, test, 2.25, 10, meaningful, pending);
    EXPECT_EQ(meaningful, detail::meaningfulRanges(g.data(), n, tail, 1000, 2.25, 10)) << n;
  }
}

}  // namespace
}  // namespace ced
