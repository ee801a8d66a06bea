#include "edgedrawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "edgedrawing_internal.h"
#include "scenes/scenes.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

using Segment = std::vector<cv::Point>;
using Segments = std::vector<Segment>;

// Hand-made gradient, direction and edge maps for the linking step, drawn as text:
// '.' no ridge (gradient 0), '-' horizontal ridge, '|' vertical ridge (gradient `ridge`),
// 'H' / 'V' an anchor on a horizontal / vertical ridge. The outermost rows and columns get
// threshold - 1, as the gradient step leaves them.
struct Maps {
  static constexpr int kThreshold = 11;
  int w = 0, h = 0;
  std::vector<short> grad;
  std::vector<unsigned char> dir, edge;
  std::vector<int> anchors;  // raster order

  explicit Maps(const std::vector<std::string>& art, short ridge = 50) {
    h = static_cast<int>(art.size());
    w = static_cast<int>(art[0].size());
    grad.assign(w * h, 0);
    dir.assign(w * h, kBelowThreshold);
    edge.assign(w * h, kNoEdgePixel);
    for (int r = 0; r < h; ++r) {
      for (int c = 0; c < w; ++c) {
        const char ch = art[r][c];
        const int i = r * w + c;
        if (r == 0 || c == 0 || r == h - 1 || c == w - 1) {
          EXPECT_EQ(ch, '.') << "ridge on the outermost ring at " << r << "," << c;
          grad[i] = kThreshold - 1;
          continue;
        }
        if (ch == '.') continue;
        grad[i] = ridge;
        dir[i] = (ch == '|' || ch == 'V') ? kVerticalEdge : kHorizontalEdge;
        if (ch == 'H' || ch == 'V') {
          edge[i] = kAnchorPixel;
          anchors.push_back(i);
        }
      }
    }
  }
  unsigned char& at(int r, int c) { return edge[r * w + c]; }

  Segments link(int minPathLength) {
    Segments s;
    detail::linkAnchors(grad.data(), dir.data(), edge.data(), w, h, anchors, kThreshold,
                        minPathLength, s);
    return s;
  }
};

// t = 3·column + 2·row. Smoothing leaves a linear ramp unchanged away from the image border,
// so the interior gradient is that of the ramp: with a = 3, b = 2, Prewitt gx = 6a, gy = 6b;
// Sobel 8a, 8b; Scharr 32a, 32b. (The Prewitt sum runs eight pixels at a time, which the
// 5 x 5 bump below never reaches.)
struct RampCase {
  const char* name;
  int op;
  bool sum;
  int expected;
};
class RampGradient : public ::testing::TestWithParam<RampCase> {};

TEST_P(RampGradient, InteriorGradientIsTheHandComputedValue) {
  const RampCase& k = GetParam();
  cv::Mat ramp(30, 40, CV_8UC1);
  for (int r = 0; r < ramp.rows; ++r)
    for (int c = 0; c < ramp.cols; ++c) ramp.at<unsigned char>(r, c) = 3 * c + 2 * r;
  EdgeDrawing ed(ramp, k.op, 11, 3, 1, 10, 1.0, k.sum);
  EXPECT_EQ(ed.sourceImage().data, ramp.data);  // shared, not copied
  const cv::Mat& g = ed.gradientImage();
  ASSERT_EQ(g.type(), CV_16SC1);
  for (int r = 3; r < ramp.rows - 3; ++r)
    for (int c = 3; c < ramp.cols - 3; ++c) ASSERT_EQ(g.at<short>(r, c), k.expected);
  // A ramp has no ridge across it: no anchors, no segments.
  EXPECT_TRUE(ed.anchors().empty());
  EXPECT_EQ(ed.segmentCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeDrawingGradient, RampGradient,
    ::testing::Values(RampCase{"PrewittSum", kPrewittOperator, true, 18 + 12},
                      RampCase{"SobelSum", kSobelOperator, true, 24 + 16},
                      RampCase{"ScharrSum", kScharrOperator, true, 96 + 64},
                      RampCase{"SobelNorm", kSobelOperator, false, 28},  // ⌊√(24² + 16²)⌋
                      RampCase{"ScharrNorm", kScharrOperator, false, 115}),  // ⌊√(96² + 64²)⌋
    [](const ::testing::TestParamInfo<RampCase>& info) { return info.param.name; });

TEST(EdgeDrawingGradient, SinglePixelBumpAndDirections) {
  // One pixel of 10 at (2, 2) on 0, 5 x 5, no smoothing involved.
  cv::Mat s = cv::Mat::zeros(5, 5, CV_8UC1);
  s.at<unsigned char>(2, 2) = 10;
  std::vector<short> grad(25);
  std::vector<unsigned char> dir(25);

  auto maps = [&](int op, int threshold, bool sum) {
    detail::computeGradientMaps(s, op, threshold, sum, grad.data(), dir.data());
  };
  // Diagonal neighbours see gx = gy = 10, straight neighbours one of them, the centre none; the
  // outermost ring holds threshold − 1. Only the diagonal neighbours reach 15; gx = gy there
  // counts as a vertical edge.
  maps(kPrewittOperator, 15, true);
  EXPECT_EQ(grad, (std::vector<short>{14, 14, 14, 14, 14, 14, 20, 10, 20, 14, 14, 10, 0,
                                      10, 14, 14, 20, 10, 20, 14, 14, 14, 14, 14, 14}));
  EXPECT_EQ(std::tuple(dir[1 * 5 + 1], dir[3 * 5 + 3], dir[1 * 5 + 2], dir[0]),
            std::tuple(kVerticalEdge, kVerticalEdge, kBelowThreshold, kBelowThreshold));
  // With threshold 10 the straight neighbours count too: above and below the bump the
  // gradient is vertical (gy), so the edge runs left-right.
  maps(kPrewittOperator, 10, true);
  EXPECT_EQ(std::tuple(dir[1 * 5 + 2], dir[2 * 5 + 1], dir[2 * 5 + 2]),
            std::tuple(kHorizontalEdge, kVerticalEdge, kBelowThreshold));
  // Euclidean norm: ⌊√200⌋ = 14 on the diagonal.
  maps(kPrewittOperator, 15, false);
  EXPECT_EQ(std::tuple(grad[1 * 5 + 1], grad[1 * 5 + 2], dir[1 * 5 + 1]),
            std::tuple(14, 10, kBelowThreshold));
  // 2x2 differences look at the pixel's lower right: only (1,1), (1,2), (2,1) and (2,2) see
  // the bump, d1 = s(i+1,j+1) - s(i,j) and d2 = s(i,j+1) - s(i+1,j) are ±10 and 0 there, and
  // each counts twice.
  maps(kDifferenceOperator, 11, true);
  EXPECT_EQ(grad, (std::vector<short>{10, 10, 10, 10, 10, 10, 20, 20, 0,  10, 10, 20, 20,
                                      0,  10, 10, 0,  0,  0,  10, 10, 10, 10, 10, 10}));

  // The border value saturates rather than wrapping for absurd thresholds.
  maps(kPrewittOperator, 100000, true);
  EXPECT_EQ(grad[0], 32767);
}

TEST(EdgeDrawingAnchors, ScanIntervalThinsRowsThatAreNotMultiples) {
  // A checkerboard of single-pixel peaks (row + column even) on rows and columns 2..11.
  const int w = 14, h = 12;
  std::vector<short> grad(w * h, 0);
  std::vector<unsigned char> dir(w * h, kBelowThreshold);
  for (int r = 2; r < h - 2; ++r)
    for (int c = 2; c < w - 2; ++c)
      if ((r + c) % 2 == 0) {
        grad[r * w + c] = 50;
        dir[r * w + c] = kVerticalEdge;
      }
  std::vector<unsigned char> edge(w * h, 0);
  const auto anchors = detail::findAnchors(grad.data(), dir.data(), w, h, 11, 3, 3, edge.data());
  // Scan interval 3: rows 3, 6 and 9 try every column from 2; the others only 3, 6 and 9.
  const std::vector<cv::Point> expected = {
      {6, 2}, {3, 3}, {5, 3},  {7, 3}, {9, 3}, {11, 3}, {6, 4}, {3, 5}, {9, 5}, {2, 6}, {4, 6},
      {6, 6}, {8, 6}, {10, 6}, {3, 7}, {9, 7}, {6, 8},  {3, 9}, {5, 9}, {7, 9}, {9, 9}, {11, 9}};
  EXPECT_EQ(anchors, expected);
}

TEST(EdgeDrawingLinking, StraightRidgeFromAnchorToBothEnds) {
  const std::vector<std::string> art = {"................",  //
                                        "................",  //
                                        "................",  //
                                        ".------H-------.",  //
                                        "................",  //
                                        "................",  //
                                        "................"};
  Maps m(art), shorter(art);
  // The right walk is reversed and comes first, then the left walk without the anchor.
  Segment expected;
  for (int c = 14; c >= 1; --c) expected.emplace_back(c, 3);
  EXPECT_EQ(m.link(10), Segments{expected});
  for (int c = 1; c <= 14; ++c) EXPECT_EQ(m.at(3, c), kEdgePixel);

  // 14 pixels are one short of 15: nothing stays in the edge map.
  EXPECT_TRUE(shorter.link(15).empty());
  EXPECT_EQ(shorter.edge, std::vector<unsigned char>(shorter.edge.size(), kNoEdgePixel));
}

TEST(EdgeDrawingLinking, AnchorWhoseWalksStopAtOnce) {
  // The anchor at row 2, column 3 has no ridge on either side, and another anchor right below
  // it, across its walks. Only the first anchor is walked; the one at row 5 is not touched.
  const std::vector<std::string> art = {".......",  //
                                        ".......",  //
                                        "...H...",  //
                                        "...H...",  //
                                        ".......",  //
                                        "..H....",  //
                                        "......."};
  auto marks = [](Maps& m) { return std::tuple(m.at(2, 3), m.at(3, 3), m.at(5, 2)); };
  Maps m(art), one(art);
  m.anchors = one.anchors = {2 * m.w + 3};
  EXPECT_TRUE(m.link(10).empty());
  EXPECT_EQ(marks(m), std::tuple(kNoEdgePixel, kNoEdgePixel, kAnchorPixel));
  // With a minimum of one pixel the anchor alone is a segment, and stays drawn.
  EXPECT_EQ(one.link(1), Segments{Segment{cv::Point(3, 2)}});
  EXPECT_EQ(marks(one), std::tuple(kEdgePixel, kNoEdgePixel, kAnchorPixel));
}

TEST(EdgeDrawing, OutOfRangeParametersAreClamped) {
  const cv::Mat img = scenes::renderClutter({160, 120}, 5);
  // The gradient map shows the clamped threshold too: its outermost ring holds threshold - 1.
  auto same = [&](const EdgeDrawing& a, const EdgeDrawing& b) {
    EXPECT_EQ(a.segments(), b.segments());
    EXPECT_EQ(a.anchors(), b.anchors());
    EXPECT_EQ(cv::norm(a.gradientImage(), b.gradientImage(), cv::NORM_INF), 0.0);
  };
  same(EdgeDrawing(img, 101, 0), EdgeDrawing(img, 101, 1));
  same(EdgeDrawing(img, 101, 11, -5), EdgeDrawing(img, 101, 11, 0));
  same(EdgeDrawing(img, 101, 11, 3, 0), EdgeDrawing(img, 101, 11, 3, 1));
  same(EdgeDrawing(img, 101, 11, 3, -2), EdgeDrawing(img, 101, 11, 3, 1));
  const EdgeDrawing sigmaOne(img, 101, 11, 3, 1, 10, 1.0);
  for (double sigma : {0.3, std::nan(""), HUGE_VAL}) {
    SCOPED_TRACE(sigma);
    same(EdgeDrawing(img, 101, 11, 3, 1, 10, sigma), sigmaOne);
  }
  {
    vistrel::AssertCapture capture;
    EdgeDrawing unknown(img, 99);
    EXPECT_TRUE(capture.contains("unknown gradient operator"));
    same(unknown, EdgeDrawing(img, 101));
  }
  // A larger sigma smooths more: fewer anchors.
  EXPECT_LT(EdgeDrawing(img, 101, 11, 3, 1, 10, 3.0).anchors().size(), sigmaOne.anchors().size());
  // Thresholds above any gradient leave nothing.
  EXPECT_EQ(EdgeDrawing(img, 101, 30000).segmentCount(), 0);
  EXPECT_EQ(EdgeDrawing(img, 101, 11, 30000).segmentCount(), 0);
}

TEST(EdgeDrawingAnchors, RowPassAgreesWithThePixelRuleAtEveryWidth) {
  // Random maps dense in anchors, at widths that leave every tail length after groups of 8;
  // the edge map starts with all three values, and only anchors may change.
  cv::RNG rng(7);
  for (int w = 5; w <= 29; ++w) {
    const int h = 9;
    std::vector<short> grad(w * h);
    std::vector<unsigned char> dir(w * h), edge(w * h);
    for (int i = 0; i < w * h; ++i) {
      grad[i] = static_cast<short>(rng.uniform(0, 3) == 0 ? 32767 : rng.uniform(0, 24));
      dir[i] = static_cast<unsigned char>(rng.uniform(0, 3));
      const unsigned char values[] = {kNoEdgePixel, kAnchorPixel, kEdgePixel};
      edge[i] = values[rng.uniform(0, 3)];
    }
    std::vector<unsigned char> expectedEdge = edge;
    std::vector<cv::Point> expected;
    for (int r = 2; r < h - 2; ++r) {
      for (int c = 2; c < w - 2; ++c) {
        const int i = r * w + c;
        const int across = dir[i] == kVerticalEdge ? 1 : w;
        if (grad[i] >= 11 && grad[i] - grad[i - across] >= 3 && grad[i] - grad[i + across] >= 3) {
          expected.emplace_back(c, r);
          expectedEdge[i] = kAnchorPixel;
        }
      }
    }
    const auto anchors = detail::findAnchors(grad.data(), dir.data(), w, h, 11, 3, 1, edge.data());
    EXPECT_EQ(anchors, expected) << "width " << w;
    EXPECT_EQ(edge, expectedEdge) << "width " << w;
  }
}

}  // namespace
}  // namespace ced
