#include "vistrel/cvdrawutils.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "vistrel/assert.h"

namespace vistrel {
namespace {

// The upper end (smaller y) of a non-horizontal polygon edge. In a dense polygon every such
// edge spans one row, so its record marks where the contour crosses from its row to the next.
struct PolyEdge {
  int x;
  int y;
};

// Creates an empty canvas just large enough for the polygon. An empty polygon leaves it empty.
void createCanvas(cv::Mat& canvas, const std::vector<cv::Point>& poly, uchar background,
                  cv::Point& offset) {
  if (!canvas.empty() || poly.empty()) {
    return;
  }
  int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
  for (const cv::Point& p : poly) {
    minX = std::min(minX, p.x);
    minY = std::min(minY, p.y);
    maxX = std::max(maxX, p.x);
    maxY = std::max(maxY, p.y);
  }
  offset = cv::Point(minX, minY);
  canvas.create(maxY - minY + 1, maxX - minX + 1, CV_8UC1);
  canvas.setTo(background);
}

}  // namespace

void drawPolygonPoints(cv::Mat& canvas, const std::vector<cv::Point>& poly, const uchar& background,
                       const uchar& edge, cv::Point& offset) {
  if (!VISTREL_CHECK(!poly.empty())) {
    return;
  }
  createCanvas(canvas, poly, background, offset);
  if (!VISTREL_CHECK(canvas.depth() == CV_8U && canvas.channels() == 1)) {
    return;
  }
  const cv::Rect frame(0, 0, canvas.cols, canvas.rows);
  for (const cv::Point& p : poly) {
    const cv::Point q = p - offset;
    if (frame.contains(q)) {
      canvas.at<uchar>(q) = edge;
    }
  }
}

void drawDensePolygon(cv::Mat& canvas, const std::vector<cv::Point>& poly, const uchar& background,
                      const uchar& fill, const uchar& edge, cv::Point& offset) {
  const std::size_t n = poly.size();
  if (n < 3) {
    drawPolygonPoints(canvas, poly, background, edge, offset);
    return;
  }
  const cv::Point& first = poly.front();
  const cv::Point& last = poly.back();
  if (first != last && (std::abs(first.x - last.x) >= 2 || std::abs(first.y - last.y) >= 2)) {
    VISTREL_REPORT("drawDensePolygon: not closed polygon, or not dense");
    return;
  }
  if (!canvas.empty() && !VISTREL_CHECK(canvas.depth() == CV_8U && canvas.channels() == 1)) {
    return;
  }

  std::vector<PolyEdge> edges;
  edges.reserve(n);
  const auto addEdge = [&edges](const cv::Point& a, const cv::Point& b) {
    if (a.y != b.y) {
      edges.push_back(a.y < b.y ? PolyEdge{a.x, a.y} : PolyEdge{b.x, b.y});
    }
  };
  addEdge(last, first);
  for (std::size_t i = 1; i < n; ++i) {
    addEdge(poly[i - 1], poly[i]);
  }
  std::sort(edges.begin(), edges.end(), [](const PolyEdge& a, const PolyEdge& b) {
    return a.y != b.y ? a.y < b.y : a.x < b.x;
  });

  createCanvas(canvas, poly, background, offset);
  // Pair the crossings of each row in x order: the pixels strictly between a pair are inside.
  int row = INT_MAX;
  int lastX = INT_MAX;
  bool inside = false;
  uchar* rowPtr = nullptr;
  for (const PolyEdge& e : edges) {
    if (e.y != row) {
      row = e.y;
      inside = true;
      const int r = row - offset.y;
      rowPtr = r >= 0 && r < canvas.rows ? canvas.ptr<uchar>(r) : nullptr;
    } else {
      const std::int64_t gap = std::int64_t(e.x) - lastX - 1;
      if (inside && gap > 0 && rowPtr != nullptr) {
        const std::int64_t from = std::max<std::int64_t>(std::int64_t(lastX) - offset.x + 1, 0);
        const std::int64_t to = std::min<std::int64_t>(std::int64_t(e.x) - offset.x, canvas.cols);
        if (from < to) {
          std::fill(rowPtr + from, rowPtr + to, fill);
        }
      }
      inside = !inside;
    }
    lastX = e.x;
  }
  drawPolygonPoints(canvas, poly, background, edge, offset);
}

}  // namespace vistrel
