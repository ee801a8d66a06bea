#pragma once

// Radial voting pieces of the guided circle search: the vote kernel that spreads an edge
// pixel's vote over neighbouring radius bins, the selection of peaks in a radial score profile
// by edge polarity and report order, and the extent of a selected peak.

#include <opencv2/core.hpp>
#include <vector>

namespace vistrel {

// Edge polarity and report order, numbered as the detector's `Polarity` and `FindBy`
// enumerations (vistrel/circledetector.h). The search carries them as plain integers.
constexpr int kPolarityBlack2White = 0;  // inside darker: gradients point outward, score > 0
constexpr int kPolarityWhite2Black = 1;  // inside brighter: score < 0
constexpr int kPolarityEither = 2;
constexpr int kFindByBest = 0;
constexpr int kFindByInnermost = 1;
constexpr int kFindByOutermost = 2;
constexpr int kFindByAll = 3;

// The radial vote kernel for an expected edge width (pixels) at a reduction `scale`: a
// normalised Gaussian column vector (CV_32FC1) of 2h + 1 taps, h = (int)((4 edgeWidth - 4) /
// scale), sigma = taps / 6. Edge width 3 at scale 1 gives 17 taps, 2 gives 9, 1 gives the
// single tap 1. An edge width that would give no tap (below 1) gives the single tap as well;
// so does a scale that is not above 0 (reported). Half widths are capped at 65536.
// The 17-, 5- and 1-tap kernels are shared, built once: treat the result as read-only.
cv::Mat makeVoteKernel(int edgeWidth, float scale);

// Selects radius peaks in `analysisMat`, a 1 x n (or n x 1) CV_32F profile of 2, 3 or 4
// channels, and appends their bin indices to `indices` in report order.
//
// A bin is a candidate when its value in `supportChannel` is at least `minSupport` and the
// absolute value in `scoreChannel` at least `minScore`. `polarity` decides which sign counts
// (Black2White: positive, White2Black: negative, Either: both by absolute value).
// - maxCount 1: the single best candidate. Innermost scans upward from bin 2, Outermost
//   downward from bin n - 3, and both stop at the first candidate that is not better than the
//   best so far; Best and All scan every bin from 2 upward.
// - maxCount above 1: the local extremes among bins 2 .. n - 3 (a plateau counts once, at its
//   right-hand bin). Best keeps the maxCount of largest absolute score, best first, when
//   there are more; otherwise every extreme in ascending radius order. Innermost / Outermost the
//   first maxCount from the inside / outside; All every extreme in ascending radius order, whatever
//   maxCount.
// - maxCount below 1 selects nothing.
// A depth other than CV_32F, another channel count or an unknown polarity is reported and
// selects nothing.
void selectRadiusPeaks(const cv::Mat& analysisMat, int maxCount, std::vector<int>& indices,
                       float minSupport, float minScore, int scoreChannel, int supportChannel,
                       int polarity, int findBy);

// The extent of the radius peak at bin `index` of a profile as above: walks left and right
// (at most five bins each way) while the value in `channel` keeps the sign of bin `index`.
// Each bound is the first bin of the opposite sign or the limit of the walk; at the ends of the
// profile the bounds may be -1 and n (never read). An index outside the profile is reported
// and gives left = right = index.
void peakExtent(const cv::Mat& analysisMat, int index, int& left, int& right, int channel);

}  // namespace vistrel
