#pragma once

#include <opencv2/core.hpp>
#include <opencv2/core/hal/intrin.hpp>
#include <vector>

// The steps of edge drawing as free functions on flat maps (index = row * width + column), so
// that each can be checked on hand-made maps. EdgeDrawing runs them in this order.

namespace ced {
namespace detail {

#if CV_SIMD128
// |gx| and |gy| of the 3 x 3 Prewitt operator at columns j .. j + 7 of row `q` (`p` the row
// above, `n` the row below): the scalar formula's integers, eight at a time (sums of 8-bit
// differences stay well within 16 bits).
inline void prewittAbs8(const unsigned char* p, const unsigned char* q, const unsigned char* n,
                        int j, cv::v_int16x8& gx, cv::v_int16x8& gy) {
  const auto at = [](const unsigned char* row, int k) {
    return cv::v_reinterpret_as_s16(cv::v_load_expand(row + k));
  };
  const cv::v_int16x8 com1 = at(n, j + 1) - at(p, j - 1);
  const cv::v_int16x8 com2 = at(p, j + 1) - at(n, j - 1);
  gx = cv::v_reinterpret_as_s16(cv::v_abs(com1 + com2 + at(q, j + 1) - at(q, j - 1)));
  gy = cv::v_reinterpret_as_s16(cv::v_abs(com1 - com2 + at(n, j) - at(p, j)));
}
#endif

// Gradient magnitude and direction of every pixel of `smooth` (CV_8UC1, contiguous, at least
// 3 x 3) into `grad` and `dir` (width * height entries each). The outermost rows and columns
// get gradient threshold - 1 (saturated to 16 bits) and direction kBelowThreshold. `op` is
// one of 101..104; other codes are treated as 101.
void computeGradientMaps(const cv::Mat& smooth, int op, int gradThresh, bool sumFlag, short* grad,
                         unsigned char* dir);

// Marks the anchors with kAnchorPixel in `edge` and returns them in raster order (x = column,
// y = row). Looks at rows 2 .. height - 3 and columns 2 .. width - 3 (sparser in rows that are
// not a multiple of `scanInterval`, which must be >= 1).
std::vector<cv::Point> findAnchors(const short* grad, const unsigned char* dir, int width,
                                   int height, int gradThresh, int anchorThresh, int scanInterval,
                                   unsigned char* edge);

// The order in which anchors are walked, as flat pixel indices: highest gradient first, raster
// order among equal gradients (a counting sort over the gradient values 0 .. 32767).
// `anchors` must be in raster order.
std::vector<int> anchorOrder(const short* grad, int width, const std::vector<cv::Point>& anchors);

// Walks from each anchor of `order` that is still kAnchorPixel in `edge`, marks the walked
// pixels kEdgePixel, and appends the segments of every walk that covers at least
// `minPathLength` new pixels to `segments`; a shorter walk is erased from `edge`. The maps must
// have width, height >= 3 and no anchor on the outermost two rows or columns; every pixel of
// the outermost rows and columns must have a gradient below `gradThresh`.
void linkAnchors(const short* grad, const unsigned char* dir, unsigned char* edge, int width,
                 int height, const std::vector<int>& order, int gradThresh, int minPathLength,
                 std::vector<std::vector<cv::Point>>& segments);

}  // namespace detail
}  // namespace ced
