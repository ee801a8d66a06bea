#pragma once

// The peak circle search: finds circles of a known radius range in a grey region image whose
// centre lies near the middle of that image.
//
// It works on the gradients of a reduced copy of the image (one reduced pixel spans `step` full
// pixels): it collects edge pixels (gradient peaks across the edge that face the image centre),
// takes the point nearest to all their gradient lines as the centre, refines it, votes every
// edge pixel into a radial score profile (one bin per reduced pixel of radius), selects peaks
// of that profile, and fits a circle to the edge pixels of each selected radius with a robust
// weighted fit, re-detecting the edge at full resolution where the precision code asks for it.
//
// Circles are (centre x, centre y, radius) in full-resolution pixels of the given image, pixel
// centres at integer coordinates.

#include <opencv2/core.hpp>
#include <vector>

namespace vistrel {

// The search's settings, eight integers as the detector fills them.
struct PeakCircleParams {
  int acceptThreshold = 0;  // minimum score, percent of a perfect circle (0..100)
  int edgeWidth = 3;        // expected edge width in pixels; sizes the radial vote kernel
  int minRadius = 0;        // radius range in full-resolution pixels
  int maxRadius = 0;
  int polarity = 2;             // kPolarity* of peak/peakvote.h
  int findBy = 0;               // kFindBy* of peak/peakvote.h
  int precision = 0x23;         // low nibble: peak mode 1..4; high nibble: fitting accuracy 1..4
  int fixedMagnitudeScale = 0;  // 0: scores relative to the strongest edge; else to 1024
};

// Peak mode (1..4) and fitting accuracy level (1..4) of a precision code.
// Peak mode 1: reduced-pixel edge positions; 2: sub-pixel positions on the reduced image;
// 3: edges re-detected at full resolution; 4: as 3, and full resolution whenever the reduction
// would be 2 or less. Accuracy 1..4: the reweighting of the final fit (none, hard cut-off,
// inverse residual, L1-L2; see fitting/fitcircleweighted.h).
inline int peakMode(int precision) { return precision & 0xF; }
inline int fittingAccuracy(int precision) { return (precision >> 4) & 0xF; }

// An edge pixel of the reduced image: position (reduced pixels, possibly sub-pixel), gradient
// magnitude (possibly interpolated) and unit gradient direction.
struct EdgePeak {
  float x = 0, y = 0, magnitude = 0, nx = 0, ny = 0;
};

// The reduction step for a search of up to `maxCount` circles in `grey` (1, or an even number
// up to 8): coarser for a thin ring far from the centre and for images of 2000 pixels or more,
// full resolution for peak mode 4 or edge widths below 3 when the step would be 2 or less.
int samplingStep(const PeakCircleParams& params, const cv::Mat& grey, int maxCount);

// The point nearest, in the least-squares sense, to the lines through each peak along its
// gradient. (0, 0) when the lines are all parallel (or there are none).
cv::Point2d intersectLinesLeastSquares(const std::vector<EdgePeak>& peaks);

// Refines a centre estimate `c` from the edge peaks of a reduced image of maxRow + 1 rows and
// maxCol + 1 columns: keeps the strongest peak per degree around `c`, iterates the line
// intersection of the peaks near the dominant radius, and fits a circle to those peaks.
// Returns false (leaving `refined` alone) when a peak lies farther than the image diagonal
// from an intermediate centre or the fit fails.
bool refineCenter(const cv::Point2d& c, const std::vector<EdgePeak>& peaks, int maxRow, int maxCol,
                  cv::Point2d& refined);

// The search itself on precomputed reduced gradients (CV_16SC1, see peak/peakshared.h), from
// `grey`, the full-resolution image (CV_8UC1, used for full-resolution re-detection).
// `reducedMask` (optional, CV_8UC1 of the gradients' size) excludes reduced pixels where it is 0;
// `mask` is passed for symmetry and not read. `centre` (optional, full-resolution pixels)
// replaces the image centre as the first centre estimate. `magnitude` (optional) is
// gradientMagnitude of the gradients when the caller has it already; it is computed otherwise.
//
// Clears and fills the outputs that are given: `profile` with the score of every radius bin
// (percent; positive for a darker inside), `scores` and `circles` with one entry per selected
// radius peak whose fit succeeds, in `params.findBy` order. Returns the number of circles when
// `circles` is given, else the number of selected radius peaks; 0 when the gradient sizes
// differ (reported) or fewer than 3 edge pixels qualify.
int peakCircleSearch(const cv::Mat& grey, const cv::Mat& halfSobelX, const cv::Mat& halfSobelY,
                     std::vector<cv::Vec3f>* circles, std::vector<float>* scores,
                     std::vector<float>* profile, const PeakCircleParams& params, int maxCount,
                     const cv::Mat* mask, const cv::Mat* reducedMask, int step,
                     const cv::Point2f* centre, const cv::Mat* magnitude = nullptr);

// The best circle in `grey` (CV_8UC1). `mask`, when given and not empty, is a CV_8UC1 image of
// `grey`'s size; pixels where it is 0 are ignored. Returns the circle's score and writes
// `circle`, or returns 0 and leaves `circle` untouched when no circle qualifies.
float detectBestPeakCircle(const cv::Mat& grey, cv::Vec3f& circle, std::vector<float>* profile,
                           const PeakCircleParams& params, const cv::Mat* mask);

// Up to `maxCount` circles in `grey`, as peakCircleSearch reports them; mask as above.
int detectPeakCircles(const cv::Mat& grey, std::vector<cv::Vec3f>* circles,
                      std::vector<float>* scores, std::vector<float>* profile,
                      const PeakCircleParams& params, int maxCount, const cv::Mat* mask);

}  // namespace vistrel
