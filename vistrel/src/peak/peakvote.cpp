#include "peak/peakvote.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "vistrel/assert.h"

namespace vistrel {
namespace {

constexpr int kMaxVoteHalfWidth = 1 << 16;

cv::Mat gaussianKernel(int taps) { return cv::getGaussianKernel(taps, taps / 6.0, CV_32F); }

const cv::Mat& sharedKernel17() {
  static const cv::Mat k = gaussianKernel(17);
  return k;
}

const cv::Mat& sharedKernel5() {
  static const cv::Mat k = gaussianKernel(5);
  return k;
}

const cv::Mat& sharedKernel1() {
  static const cv::Mat k = cv::Mat::ones(1, 1, CV_32F);
  return k;
}

// Reads one channel of a profile bin by bin.
struct Channel {
  const float* data;
  int stride;
  int ch;
  float operator[](int bin) const { return data[static_cast<size_t>(bin) * stride + ch]; }
};

// Checks the profile's layout; on success fills the bin count and channel count.
bool profileLayout(const cv::Mat& analysisMat, int& bins, int& channels) {
  if (!VISTREL_CHECK(analysisMat.depth() == CV_32F)) return false;
  channels = analysisMat.channels();
  if (channels < 2 || channels > 4) {
    VISTREL_REPORT("not implemented.");
    return false;
  }
  if (!analysisMat.isContinuous() || (analysisMat.rows != 1 && analysisMat.cols != 1)) {
    VISTREL_REPORT("analysisMat is not a single row or column");
    return false;
  }
  bins = static_cast<int>(analysisMat.total());
  return true;
}

// Sign conventions, chosen once per call: "better" compares with the best so far, "extreme"
// tests a local extreme against two bins on each side.
struct Positive {
  static bool better(float v, float best) { return v > 0 && v > best; }
  static bool extreme(float v, float l1, float r1, float l2, float r2) {
    return v > 0 && v >= l1 && v > r1 && v > l2 && v > r2;
  }
};
struct Negative {
  static bool better(float v, float best) { return v < 0 && v < best; }
  static bool extreme(float v, float l1, float r1, float l2, float r2) {
    return v < 0 && v <= l1 && v < r1 && v < l2 && v < r2;
  }
};
struct Either {
  static bool better(float v, float best) { return std::fabs(v) > std::fabs(best); }
  static bool extreme(float v, float l1, float r1, float l2, float r2) {
    return Positive::extreme(v, l1, r1, l2, r2) || Negative::extreme(v, l1, r1, l2, r2);
  }
};

template <class Sign>
void select(const Channel& score, const Channel& support, int n, int maxCount,
            std::vector<int>& indices, float minSupport, float minScore, int findBy) {
  const bool downward = findBy == kFindByOutermost;
  const bool stopEarly = findBy == kFindByInnermost || findBy == kFindByOutermost;
  auto candidate = [&](int k) {
    return support[k] >= minSupport && std::fabs(score[k]) >= minScore;
  };

  if (maxCount == 1) {
    const int first = downward ? n - 3 : 2;
    const int last = downward ? 0 : n - 1;
    const int dir = downward ? -1 : 1;
    float best = 0;
    int bestIndex = -1;
    for (int k = first; downward ? k >= last : k <= last; k += dir) {
      if (!candidate(k)) continue;
      const float v = score[k];
      if (Sign::better(v, best)) {
        best = v;
        bestIndex = k;
      } else if (bestIndex >= 0 && stopEarly) {
        break;
      }
    }
    if (bestIndex >= 0) indices.push_back(bestIndex);
    return;
  }

  const size_t start = indices.size();
  const int first = downward ? n - 3 : 2;
  const int last = downward ? 2 : n - 3;
  const int dir = downward ? -1 : 1;
  for (int k = first; downward ? k >= last : k <= last; k += dir) {
    if (!candidate(k)) continue;
    if (!Sign::extreme(score[k], score[k - 1], score[k + 1], score[k - 2], score[k + 2])) continue;
    indices.push_back(k);
    if (stopEarly && indices.size() - start == static_cast<size_t>(maxCount)) break;
  }
  // Best trims only a surplus: then the strongest come first (ties keep ascending radius);
  // when all found peaks fit, they stay in scan order.
  if (findBy == kFindByBest && indices.size() - start > static_cast<size_t>(maxCount)) {
    std::stable_sort(indices.begin() + start, indices.end(),
                     [&](int a, int b) { return std::fabs(score[a]) > std::fabs(score[b]); });
    indices.resize(start + maxCount);
  }
}

}  // namespace

cv::Mat makeVoteKernel(int edgeWidth, float scale) {
  // A half width below 1 (edge width below 2, or no usable scale) means a sharp edge: one tap.
  // A kernel far longer than any radius profile spreads nothing more, so the half width is
  // capped on both sides before it is converted.
  const double half = VISTREL_CHECK(scale > 0) ? (4.0 * edgeWidth - 4.0) / scale : 0.0;
  const int h = static_cast<int>(std::clamp(half, 0.0, static_cast<double>(kMaxVoteHalfWidth)));
  const int taps = h > 0 ? 2 * h + 1 : 1;
  if (taps == 17) return sharedKernel17();
  if (taps == 5) return sharedKernel5();
  if (taps == 1) return sharedKernel1();
  return gaussianKernel(taps);
}

void selectRadiusPeaks(const cv::Mat& analysisMat, int maxCount, std::vector<int>& indices,
                       float minSupport, float minScore, int scoreChannel, int supportChannel,
                       int polarity, int findBy) {
  int n = 0, cn = 0;
  if (!profileLayout(analysisMat, n, cn)) return;
  if (scoreChannel < 0 || scoreChannel >= cn || supportChannel < 0 || supportChannel >= cn) {
    VISTREL_REPORT("channel index outside the profile");
    return;
  }
  if (maxCount < 1) return;
  const float* data = analysisMat.ptr<float>();
  const Channel score{data, cn, scoreChannel}, support{data, cn, supportChannel};
  switch (polarity) {
    case kPolarityBlack2White:
      select<Positive>(score, support, n, maxCount, indices, minSupport, minScore, findBy);
      break;
    case kPolarityWhite2Black:
      select<Negative>(score, support, n, maxCount, indices, minSupport, minScore, findBy);
      break;
    case kPolarityEither:
      select<Either>(score, support, n, maxCount, indices, minSupport, minScore, findBy);
      break;
    default:
      VISTREL_REPORT("unexpected polarity.");
      break;
  }
}

void peakExtent(const cv::Mat& analysisMat, int index, int& left, int& right, int channel) {
  int n = 0, cn = 0;
  left = right = index;
  if (!profileLayout(analysisMat, n, cn)) return;
  const bool indexOk = VISTREL_CHECK(index >= 0 && index < n);
  const bool channelOk = VISTREL_CHECK(channel >= 0 && channel < cn);
  if (!indexOk || !channelOk) return;
  const Channel v{analysisMat.ptr<float>(), cn, channel};
  const bool sign = std::signbit(v[index]);
  const int lo = std::max(0, index - 5);
  int j = index - 1;
  while (j > lo && std::signbit(v[j]) == sign) --j;
  left = j;
  const int hi = std::min(index + 5, n - 1);
  j = index + 1;
  while (j < hi && std::signbit(v[j]) == sign) ++j;
  right = j;
}

}  // namespace vistrel
