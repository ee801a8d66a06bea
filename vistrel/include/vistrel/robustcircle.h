#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "vistrel/export.h"

// A robust refit of a rim circle (the plug-in's "RobustRefine" step): the guided detector's circle
// fits every edge it voted for, so where a bar hides the rim and an object of the rim's grey lies
// against it, those edges pull the circle off. This step measures the rim edge along rays
// around the detector's circle, keeps the edge points whose gradient faces along the ray with
// the rim's polarity, finds the circle most of them agree on by a consensus search over point
// triples, refits it by reweighted least squares with a robust loss, and keeps it only when
// its inliers go round enough of the circumference and it is better supported than the
// detector's circle. Circles are (centre x, centre y, radius) in pixels of `grey`, pixel
// centres at integer positions.

namespace vistrel {

// An edge point on a ray: position, the ray it lies on, and its strength (grey levels per
// pixel across the edge).
struct RimEdgePoint {
  cv::Point2f p;
  int ray = 0;
  float strength = 0.0f;
};

// The edge points along `rays` rays from the centre of `circle`, between radius r - band and
// r + band: local extremes of the radial derivative whose sign is the rim's (`insideDarker`:
// grey rises outward), at least a third of the ray's strongest and at least 4 grey levels per
// pixel, and whose 3 x 3 Sobel gradient lies within 20 degrees of the ray. Up to three per ray,
// strongest first.
VISTREL_EXPORT std::vector<RimEdgePoint> rimEdgePoints(const cv::Mat& grey, const cv::Vec3f& circle,
                                                       float band, int rays, bool insideDarker);

// The circle through three points; false when they are (nearly) on one line.
VISTREL_EXPORT bool circleThrough(const cv::Point2f& a, const cv::Point2f& b, const cv::Point2f& c,
                                  cv::Vec3f& circle);

// The number of rays with an edge point within `tolerance` of `circle`.
VISTREL_EXPORT int raySupport(const std::vector<RimEdgePoint>& points, const cv::Vec3f& circle,
                              float tolerance);

// The share of 36 sectors of 10 degrees around `circle` holding an edge point within
// `tolerance` of it.
VISTREL_EXPORT double sectorCoverage(const std::vector<RimEdgePoint>& points,
                                     const cv::Vec3f& circle, float tolerance);

// The robust circle near `detected` (the guided detector's circle) in `grey` (CV_8UC1), for a
// rim whose inside is darker (`insideDarker`) or brighter. Returns true and sets `robust` when a
// circle is found whose inliers cover at least 60 % of the circumference and whose support
// exceeds the detected circle's; false when the detected circle should stay. Deterministic.
VISTREL_EXPORT bool robustRimCircle(const cv::Mat& grey, const cv::Vec3f& detected,
                                    bool insideDarker, cv::Vec3f& robust);

// For when the guided detector found nothing: the radius at which most rays from `start` see a
// rim edge within `radiusRange` (minimum, maximum), then robustRimCircle from that circle.
VISTREL_EXPORT bool searchRimCircle(const cv::Mat& grey, cv::Point2f start, cv::Vec2i radiusRange,
                                    bool insideDarker, cv::Vec3f& robust);

}  // namespace vistrel
