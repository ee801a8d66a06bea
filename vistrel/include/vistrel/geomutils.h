#pragma once

// Small geometry helpers: affine mapping of point lists and line/polygon intersection.
// Points are pixels, x to the right, y downwards. A cv::Vec4f holds a segment as
// (x1, y1, x2, y2).

#include <opencv2/core.hpp>
#include <vector>

#include "vistrel/export.h"

namespace vistrel {

// Maps every point through `m` (x' = m00 x + m01 y + m02, y' = m10 x + m11 y + m12), in float.
// `dst` is resized to the size of `src`; `src` and `dst` may be the same vector.
VISTREL_EXPORT void transformPoints(const std::vector<cv::Point2f>& src,
                                    std::vector<cv::Point2f>& dst, const cv::Matx23f& m);

// Intersects the lines through two segments. Returns false, leaving `point` unchanged, when
// they are parallel (or one is a single point). Otherwise `point` receives the intersection and
// `mode` decides the result: 1: on segment 1 or on segment 2; 2: on both; 3: on segment 2;
// any other value: true (infinite lines).
VISTREL_EXPORT bool intersectLines(const cv::Vec4f& line1, const cv::Vec4f& line2,
                                   cv::Point2f& point, int mode);

// Whether `point`, assumed to lie on the segment's line, lies between its end points (both
// included). Only the dominant axis of the point's offset from (x1, y1) is tested, without
// tolerance.
VISTREL_EXPORT bool isPointOnSegment(const cv::Point2f& point, const cv::Vec4f& segment);

// Intersects the line with every edge of a closed polygon (edge i runs from vertex i - 1 to
// vertex i, edge 0 from the last vertex) and appends the hits to `out`, which is not cleared.
// `mode` is that of intersectLines with the line as segment 1 and the edge as segment 2. A line
// through a vertex hits both edges that end there. Returns true when `out` is non-empty.
VISTREL_EXPORT bool intersectLinePolygon(const cv::Vec4f& line,
                                         const std::vector<cv::Point2f>& polygon,
                                         std::vector<cv::Point2f>& out, int mode);

}  // namespace vistrel
