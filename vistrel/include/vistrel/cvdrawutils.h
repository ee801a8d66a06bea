#pragma once

// Exact drawing of dense polygons: closed pixel contours whose consecutive points are
// 8-neighbours, as a contour traced pixel by pixel (cv::findContours with CHAIN_APPROX_NONE).
// Unlike cv::fillPoly nothing is rounded or widened: every contour pixel gets exactly the edge
// value and the interior is filled row by row between contour crossings.
//
// Canvas: 8-bit single-channel. Polygon point (x, y) is canvas pixel (x - offset.x,
// y - offset.y). When the canvas is empty on entry it is created just large enough for the
// polygon, filled with `background`, and `offset` is set to the polygon's top-left; otherwise
// `offset` is used as given and points outside the canvas are skipped.

#include <opencv2/core.hpp>
#include <vector>

#include "vistrel/export.h"

namespace vistrel {

// Fills a closed dense polygon: the interior with `fill`, the contour pixels with `edge`. The
// polygon is closed by repeating its first point at the end or by ending on an 8-neighbour of
// it; otherwise "drawDensePolygon: not closed polygon, or not dense" is reported and nothing is
// drawn. Fewer than 3 points: only the points are drawn. A canvas of another type is reported
// and left alone.
VISTREL_EXPORT void drawDensePolygon(cv::Mat& canvas, const std::vector<cv::Point>& poly,
                                     const uchar& background, const uchar& fill, const uchar& edge,
                                     cv::Point& offset);

// Sets the pixel of every polygon point to `edge`; nothing else. An empty polygon, or a canvas
// of another type, is reported and nothing is drawn.
VISTREL_EXPORT void drawPolygonPoints(cv::Mat& canvas, const std::vector<cv::Point>& poly,
                                      const uchar& background, const uchar& edge,
                                      cv::Point& offset);

}  // namespace vistrel
