#pragma once

#include <cstddef>
#include <opencv2/core.hpp>
#include <vector>

// Edge drawing: traces one-pixel-wide chains of 8-connected edge pixels ("edge segments")
// along the ridges of the gradient. A gradient map is computed on a Gaussian-smoothed copy of
// the image, sparse anchors are picked at gradient maxima, and from each anchor, strongest
// first, a routing walk follows the ridge in both directions. The walk of one anchor forms a
// tree of chains; its longest path becomes a segment, long side branches become further
// segments.
//
// Everything happens in the constructor; afterwards the object only hands out results. The
// same image gives the same segments, pixel for pixel, on every run and every machine: the
// whole computation after smoothing is integer arithmetic.

namespace ced {

// Gradient operators, by the codes the constructor takes.
enum GradientOperatorCode : int {
  kPrewittOperator = 101,     // 3x3, weights 1 1 1
  kSobelOperator = 102,       // 3x3, weights 1 2 1
  kScharrOperator = 103,      // 3x3, weights 3 10 3
  kDifferenceOperator = 104,  // 2x2 differences at the pixel's lower right
};

// The largest image traced, in pixels (flat indices are ints).
constexpr std::size_t kMaxPixels = std::size_t{1} << 30;

// Values of the edge map.
constexpr unsigned char kNoEdgePixel = 0;
constexpr unsigned char kAnchorPixel = 254;
constexpr unsigned char kEdgePixel = 255;

// Values of the direction map used while tracing.
constexpr unsigned char kBelowThreshold = 0;
constexpr unsigned char kVerticalEdge = 1;    // gx >= gy: the edge runs up and down
constexpr unsigned char kHorizontalEdge = 2;  // gx < gy: the edge runs left and right

class EdgeDrawing {
 public:
  // Traces the edge segments of `image`, which must be 8-bit single-channel (CV_8UC1) with at
  // least 5 rows and 5 columns and at most kMaxPixels pixels; any other image is reported
  // (VISTREL_CHECK) and yields no segments and all-zero maps. A sub-matrix view is fine: the
  // result equals that of a copy.
  //
  //  - gradientOperator: 101 Prewitt, 102 Sobel, 103 Scharr, 104 2x2 differences. An unknown
  //    code is reported and Prewitt is used.
  //  - gradientThreshold: pixels below it are never edge pixels (values below 1 become 1).
  //  - anchorThreshold: how much an anchor's gradient must exceed that of both neighbours
  //    across the edge (negative becomes 0).
  //  - scanInterval: in rows whose index is not a multiple of it, only every scanInterval-th
  //    column is tried as an anchor (values below 1 become 1).
  //  - minPathLength: a walk that covers fewer new pixels leaves no trace.
  //  - sigma: of the Gaussian smoothing; values below 1.0 (or not finite) become 1.0.
  //  - sumFlag: gradient = |gx| + |gy| when set, else the truncated Euclidean norm.
  EdgeDrawing(const cv::Mat& image, int gradientOperator = kPrewittOperator,
              int gradientThreshold = 11, int anchorThreshold = 3, int scanInterval = 1,
              int minPathLength = 10, double sigma = 1.0, bool sumFlag = true);

  // The edge segments: ordered chains of 8-connected pixels (x = column, y = row), never
  // touching the outermost row or column.
  const std::vector<std::vector<cv::Point>>& segments() const { return segmentPoints_; }
  int segmentCount() const { return segmentNos_; }

  // CV_8UC1, the image's size: 0 (no edge), 254 (anchor), 255 (edge pixel). After tracing,
  // every pixel of a segment is 255; pixels of short side branches that no segment took stay
  // 255 as well.
  const cv::Mat& edgeImage() const { return edgeImage_; }
  // CV_8UC1, the Gaussian-smoothed image the gradient is computed on (contiguous).
  const cv::Mat& smoothImage() const { return smoothImage_; }
  // CV_16SC1, the gradient magnitude; the outermost rows and columns hold threshold - 1.
  const cv::Mat& gradientImage() const { return gradImage_; }
  // The image given to the constructor: shares the caller's pixels (and its row stride).
  const cv::Mat& sourceImage() const { return srcImage_; }
  // The anchors in raster order (top row first, left to right), x = column, y = row.
  const std::vector<cv::Point>& anchors() const { return anchorPoints_; }

  int width() const { return width_; }
  int height() const { return height_; }
  int minPathLength() const { return minPathLen_; }

 protected:
  // Image size.
  int width_ = 0;
  int height_ = 0;

  // The source image (shares the caller's pixels; rows are srcImage_.step bytes apart, which
  // is width_ only when the caller's image is contiguous) and its first byte.
  cv::Mat srcImage_;
  const unsigned char* srcImg_ = nullptr;
  // Smoothed image, gradient map and edge map: contiguous, indexed row * width_ + column.
  cv::Mat smoothImage_;
  unsigned char* smoothImg_ = nullptr;
  cv::Mat gradImage_;
  short* gradImg_ = nullptr;
  cv::Mat edgeImage_;
  unsigned char* edgeImg_ = nullptr;
  // Direction map (kBelowThreshold / kVerticalEdge / kHorizontalEdge); released once the
  // segments are traced.
  std::vector<unsigned char> dirImg_;

  // Parameters, after clamping.
  int gradOperator_ = kPrewittOperator;
  int gradThresh_ = 11;
  int anchorThresh_ = 3;
  int scanInterval_ = 1;
  int minPathLen_ = 10;
  double sigma_ = 1.0;
  bool sumFlag_ = true;

  // Anchors in raster order.
  std::vector<cv::Point> anchorPoints_;
  int anchorNos_ = 0;

  // The segments and their number.
  std::vector<std::vector<cv::Point>> segmentPoints_;
  int segmentNos_ = 0;

  // False when the constructor's image was rejected; the maps are then all zero.
  bool validInput_ = false;

 private:
  void computeGradient();
  void computeAnchors();
  void joinAnchorPoints();
};

}  // namespace ced
