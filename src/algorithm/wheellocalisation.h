#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "circleparams.h"

namespace ced {
struct mCircle;
}

namespace fluorescence {

// Finding the wheel's circular outline in the delivered grey image and cutting it out, in two
// stages: a coarse circle search on a half-size (or, with "CoarseQuarter", quarter-size)
// sharpened copy, then a guided sub-pixel refinement on the full-size image. All coordinates are
// pixels of the delivered image unless said otherwise.

// Where the coarse stage would start the refinement, from the coarse detector's circles (in
// pixels of the copy shrunk by `shrink`, 2 or 4, of `smallSize`): the largest circle lying
// wholly inside the copy whose diameter in half-size pixels is at least `filterSize`, scaled by
// `shrink` to full-size pixels. Without such a circle: `fallbackToLargest` gives the centre of
// the first largest circle (or (0, 0) when there is none), otherwise (0, 0).
cv::Point2f coarseStartCentre(const std::vector<ced::mCircle>& circles, cv::Size smallSize,
                              int shrink, int filterSize, bool fallbackToLargest);

// The coarse stage: shrinks `input` to half size (bilinear), equalises the copy when `equalize`,
// sharpens it and runs the circle and ellipse detector; returns coarseStartCentre of its
// circles. With `quarter`, the same runs first on a quarter-size copy (4 x 4 block means) of an
// image of at least 4 pixels a side, and a candidate found there is returned; only without one
// does the half-size search run.
cv::Point2f coarseWheelCentre(const cv::Mat& input, bool equalize, int filterSize,
                              bool fallbackToLargest, bool quarter);

// The refinement's radius range around `start` in an image of `size`: the maximum is the
// distance to the nearest border less 50 (as |(|m| - 50)|), the minimum `minSize`, or 0 when
// that exceeds the maximum.
cv::Vec2i refinementRadiusRange(cv::Point2f start, cv::Size size, int minSize);

// The cut-out square of a refined circle (centre x, centre y, radius): left and top are the
// truncated cx - r and cy - r, raised to 0 when negative; the side is the truncated 2r. It is
// not clipped at the right or bottom, so it may reach past the image there.
cv::Rect wheelCutOutRect(const cv::Vec3f& circle);

// The refinement: searches `input` (minus `background` when that is not empty) around `centre`
// with the configured guided circle detector. On success returns the cut-out (a view into
// `input`: the square of side 2r about the circle, clipped at the left and top), and sets
// `centre` and `radius`; otherwise returns an empty matrix with centre (0, 0) and radius 0.
// A square reaching past the right or bottom border throws cv::Exception.
cv::Mat refineWheel(const cv::Mat& input, const cv::Mat& background, cv::Point2f& centre,
                    double& radius, bool equalize, const CircleParams& params);

// The two ways the analysis localises the wheel; results as refineWheel.
cv::Mat localiseWheel(const cv::Mat& input, bool equalize, int filterSize,
                      const CircleParams& params, cv::Point2f& centre, double& radius);
cv::Mat localiseWheelWithBackground(const cv::Mat& input, const cv::Mat& background, bool equalize,
                                    int filterSize, const CircleParams& params, cv::Point2f& centre,
                                    double& radius);

}  // namespace fluorescence
