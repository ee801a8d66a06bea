#include "arcdetection.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>
#include <memory>
#include <tuple>
#include <utility>

#include "ellipsetest_expect.h"
#include "fittest_shapes.h"
#include "linesplit.h"
#include "turninfo.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

using testshapes::ellipsePixels;

std::vector<cv::Point> circlePixels(double cx, double cy, double r, double t0, double t1) {
  return ellipsePixels(cx, cy, r, r, 0, t0, t1);
}

// The detector's working state: edge segments, their lines, and the turn from each line to the
// next of its segment.
struct World {
  std::vector<std::vector<cv::Point>> segments;
  std::vector<LineSegment> lines;
  std::vector<int> firstLine{0};
  std::vector<Info> infos;
};

// One edge segment with its lines given as pixel ranges, or (none given) split as the detector
// splits them (6 pixels, error 1.0).
World segment(const std::vector<cv::Point>& pixels,
              const std::vector<std::pair<int, int>>& ranges = {}) {
  World w;
  w.segments = {pixels};
  std::vector<double> x, y;
  for (const cv::Point& p : pixels) {
    x.push_back(p.x);
    y.push_back(p.y);
  }
  if (ranges.empty())
    splitIntoLines(x.data(), y.data(), static_cast<int>(x.size()), 0, w.lines, 6, 1.0);
  for (const auto& [first, len] : ranges) {
    const cv::Point s = pixels[first], e = pixels[first + len - 1];
    w.lines.push_back({0, 0, 0, 1.0 * s.x, 1.0 * s.y, 1.0 * e.x, 1.0 * e.y, 0, first, len});
  }
  w.firstLine.push_back(static_cast<int>(w.lines.size()));
  w.infos = computeTurnInfo(w.lines, w.firstLine);
  return w;
}

// The world after detection and what was found in it; the arcs and candidates point into the
// buffer, so it lives as long as they do.
struct Result {
  World world;
  std::unique_ptr<PixelBuffer> buffer;
  ArcList arcs;
  CandidateList candidates;
  std::pair<int, int> counts() const {
    return {static_cast<int>(arcs.size()), static_cast<int>(candidates.size())};
  }
};

Result detect(World w, int width = 500, int height = 500) {
  auto buffer = std::make_unique<PixelBuffer>(static_cast<int>(w.segments[0].size()) * 8);
  Result r{std::move(w), std::move(buffer), {}, {}};
  r.arcs.reserve(64);
  r.candidates.reserve(64);
  World& x = r.world;
  detectArcs(x.lines, x.infos, x.firstLine, x.segments, *r.buffer, r.candidates, r.arcs, width,
             height);
  return r;
}

// Two straight runs of `la` and `lb` pixels from (100, 100), the second turned by `deg`
// degrees toward +y; one segment, two lines, no turn back to the start (a gap).
World twoLines(int la, int lb, double deg) {
  std::vector<cv::Point> px;
  for (int t = 0; t < la; ++t) px.emplace_back(100 + t, 100);
  const double c = std::cos(deg * CV_PI / 180), s = std::sin(deg * CV_PI / 180);
  for (int t = 1; t <= lb; ++t)
    px.emplace_back(static_cast<int>(std::lround(99 + la + c * t)),
                    static_cast<int>(std::lround(100 + s * t)));
  World w = segment(px, {{0, la}, {la, lb}});
  w.infos[0] = {1, deg * CV_PI / 180, false};
  w.infos[1] = {2, 10.0, false};
  return w;
}

TEST(ArcDetection, TwoLineRunsNeedBalancedLengthsAndAModerateTurn) {
  const Result r = detect(twoLines(20, 20, 20));
  ASSERT_EQ(r.counts(), std::pair(1, 0));
  const ArcCandidate& a = r.arcs[0];
  EXPECT_EQ(std::tuple(a.pixelCount, a.turn, a.segmentIndex, a.sx, a.sy),
            std::tuple(40, 1, 0, 100, 100));
  // The run's last line stays free for the next run.
  EXPECT_EQ(std::pair(r.world.infos[0].used, r.world.infos[1].used), std::pair(true, false));

  EXPECT_EQ(detect(twoLines(15, 35, 20)).counts(), std::pair(0, 0));  // 2 · 15 < 35
  EXPECT_TRUE(detect(twoLines(19, 20, 20)).arcs.empty());             // 39 pixels < 40
  EXPECT_TRUE(detect(twoLines(20, 20, 12)).arcs.empty());             // 12° < 15°
  EXPECT_TRUE(detect(twoLines(20, 20, 50)).arcs.empty());             // 50° > 45°
}

TEST(ArcDetection, ALongLineNeverTakesPartInAnArc) {
  // T = max(100, 100) / 5 = 20: a 20-pixel line no longer qualifies; at 105, T = 21.
  EXPECT_TRUE(detect(twoLines(20, 20, 20), 100, 100).arcs.empty());
  EXPECT_EQ(detect(twoLines(20, 20, 20), 105, 105).arcs.size(), 1u);

  // Inside a turning chain: a 120-pixel chord across a circle's arc splits the runs around it.
  std::vector<cv::Point> px = circlePixels(250, 250, 80, 0, 1.2);
  const cv::Point a = px.back();
  const cv::Point b(static_cast<int>(std::lround(250 + 80 * std::cos(2.9))),
                    static_cast<int>(std::lround(250 + 80 * std::sin(2.9))));
  for (int i = 1; i < 400; ++i) {  // the chord's pixels between a and b
    const double t = i / 400.0;
    const cv::Point q(static_cast<int>(std::lround(a.x + (b.x - a.x) * t)),
                      static_cast<int>(std::lround(a.y + (b.y - a.y) * t)));
    if (q != px.back() && q != b) px.push_back(q);
  }
  const std::vector<cv::Point> rest = circlePixels(250, 250, 80, 2.9, 4.2);
  px.insert(px.end(), rest.begin(), rest.end());
  const Result r = detect(segment(px));
  const World& chain = r.world;
  int longLine = -1;
  for (size_t l = 0; l < chain.lines.size(); ++l)
    if (chain.lines[l].len >= 100) longLine = static_cast<int>(l);
  ASSERT_GE(longLine, 0);
  ASSERT_GE(r.arcs.size(), 1u);
  // No arc holds a pixel of the long line's middle part.
  const LineSegment& L = chain.lines[longLine];
  const cv::Point mid = chain.segments[0][L.firstPixel + L.len / 2];
  for (const ArcCandidate& arc : r.arcs)
    for (int i = 0; i < arc.pixelCount; ++i) EXPECT_FALSE(arc.x[i] == mid.x && arc.y[i] == mid.y);
  EXPECT_FALSE(chain.infos[longLine].used);  // no run takes it
}

// A closed outline in one open segment is a candidate, not an arc: a whole circle a circle
// candidate, an ellipse whose ends are about 40 px apart (within 1.72 radii of its circle fit,
// so almost closed) an ellipse candidate.
TEST(ArcDetection, ClosedOutlinesInOneSegmentAreCandidates) {
  Result r = detect(segment(circlePixels(200, 150, 60, 0.3, 0.3 + 2 * CV_PI - 0.1)));
  ASSERT_EQ(r.counts(), std::pair(0, 1));
  EXPECT_NEAR(r.candidates[0].r, 60, 0.5);
  EXPECT_FALSE(r.candidates[0].elliptic);

  r = detect(segment(ellipsePixels(250, 200, 90, 40, 0.3, 0.2, 0.2 + 2 * CV_PI - 1.0)));
  ASSERT_EQ(r.counts(), std::pair(0, 1));
  EXPECT_TRUE(r.candidates[0].elliptic);
  EXPECT_TRUE(testexpect::ellipseNear(r.candidates[0].eq, 250, 200, 90, 40, 1.0, 1.5));
}

// A run that no one curve fits is cut into pieces that each fit a circle; a piece that is most
// of a circle is a circle candidate. Here nearly all of an r = 40 circle, then, tangent to it
// and turning the same way, 2 rad of r = 100.
TEST(ArcDetection, APieceThatIsMostOfACircleIsACircleCandidate) {
  const double end = 2 * CV_PI - 0.4;
  std::vector<cv::Point> px = circlePixels(200, 200, 40, 0, end);
  const std::vector<cv::Point> second =
      circlePixels(200 - 60 * std::cos(end), 200 - 60 * std::sin(end), 100, end, end + 2.0);
  px.insert(px.end(), second.begin() + 1, second.end());
  const Result r = detect(segment(px));
  ASSERT_EQ(r.candidates.size(), 1u);
  EXPECT_NEAR(r.candidates[0].r, 40, 1);
  EXPECT_FALSE(r.candidates[0].elliptic);
}

TEST(ArcDetection, InconsistentStateIsReportedAndIgnored) {
  World w = twoLines(20, 20, 20);
  PixelBuffer buffer(1000);
  ArcList arcs;
  CandidateList candidates;
  vistrel::AssertCapture capture;
  std::vector<Info> tooFew(1);
  detectArcs(w.lines, tooFew, w.firstLine, w.segments, buffer, candidates, arcs, 500, 500);
  EXPECT_TRUE(capture.contains("infos.size() == lines.size() (1 vs 2)"));
  std::vector<int> badFirst = {0};
  detectArcs(w.lines, w.infos, badFirst, w.segments, buffer, candidates, arcs, 500, 500);
  EXPECT_TRUE(capture.contains("firstLineOfSegment.size() == segments.size() + 1 (1 vs 2)"));
  const std::vector<int> pastTheLines = {0, 3};
  detectArcs(w.lines, w.infos, pastTheLines, w.segments, buffer, candidates, arcs, 500, 500);
  EXPECT_TRUE(capture.contains("firstLineOfSegment is ordered and within the lines"));
  w.lines[1].len = 500;  // past its segment's end
  detectArcs(w.lines, w.infos, w.firstLine, w.segments, buffer, candidates, arcs, 500, 500);
  EXPECT_TRUE(capture.contains("every line lies within its segment"));
  EXPECT_TRUE(arcs.empty());
  EXPECT_EQ(buffer.cursor(), 0);
}

}  // namespace
}  // namespace ced
