#pragma once

// Robust weighted circle fitting: fit, measure each point's distance to the circle, turn the
// distances into weights, refit, until the circle stops moving.
//
// Points are cv::Vec3f (x, y, strength) in pixels; the strength (an edge magnitude) multiplies
// every weight, so strong edges count more. Circles are cv::Vec3f (centre x, centre y, radius).
// Sums run in double precision.

#include <opencv2/core.hpp>
#include <vector>

#include "fitting/fitweighted.h"

namespace vistrel {

// The fits of the table. Methods 0 and 1 (further algebraic fits) are not provided: selecting
// them is reported and fails like an unknown method.
enum class CircleFitMethod { Kasa = 0, Pratt = 1, Taubin = 2, LevenbergMarquardt = 3 };

// Taubin's algebraic fit. Each point's weight is its strength times weights[i] (or the strength
// alone when `weights` is null); points of weight 0 are left out. Writes `circle` and returns
// the number of points used, or -1 when fewer than `minPoints` points (at least 3) carry weight
// or the points determine no circle (all on one line); `circle` is then unchanged.
int fitCircleTaubin(const std::vector<cv::Vec3f>& points, const float* weights, cv::Vec3f* circle,
                    int minPoints);

// Levenberg-Marquardt fit of the geometric distance (Chernov and Lesort), weighted as above.
// Starts from `circle`, or from the Taubin fit when `circle` is (0, 0, 0); a failed start
// returns -1. Stops on convergence, after 10 iterations, when a step would move the centre past
// 1e6 pixels, or when 10 damped tries in a row fail to lower the weighted RMS distance; the
// circle is then the last one that lowered it. Returns the number of points of non-zero weight
// used by the last iteration (0 is possible when none carry weight around the start circle).
int fitCircleLevenbergMarquardt(const std::vector<cv::Vec3f>& points, const float* weights,
                                cv::Vec3f* circle, int minPoints);

// Per-point distances to the circle, | |p - c| - r |, written to `residuals` (one per point);
// returns their sum.
double residualSum(const std::vector<cv::Vec3f>& points, const cv::Vec3f& circle, float* residuals);

// Robust fit: one fit without reweighting, then up to `maxPasses` passes that reweight by the
// residuals (`weightType`, `cutoff`) and refit. A pass is not made when the residual sum is
// already below `residualLimit`; the loop ends when a refit moves centre and radius each by less
// than 0.01 pixel (the previous circle is kept) or uses no point. Every fit is `method`,
// started afresh.
//
// Returns the number of points used by the last accepted fit and writes the circle; -1 when the
// first fit fails (`circle` then receives (0, 0, 0)). An unknown or unprovided method reports
// "unexpected or unimplemented circl fit algorithm.", an unknown weight type "unexpected
// function type for weight calculation."; both return -1 and leave `circle` unchanged.
int fitCircleWeighted(const std::vector<cv::Vec3f>& points, cv::Vec3f* circle,
                      CircleFitMethod method, WeightType weightType, float cutoff, int maxPasses,
                      float residualLimit, int minPoints);

}  // namespace vistrel
