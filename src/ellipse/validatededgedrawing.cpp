#include "validatededgedrawing.h"

#include <algorithm>

#include "edgedrawing_internal.h"
#include "validatededgedrawing_internal.h"

namespace ced {
namespace detail {

void validationGradientRow(const cv::Mat& image, int i, std::uint16_t* g) {
  const int w = image.cols;
  int j = 1;
#if CV_SIMD128
  const unsigned char* p = image.ptr<unsigned char>(i - 1);
  const unsigned char* q = image.ptr<unsigned char>(i);
  const unsigned char* n = image.ptr<unsigned char>(i + 1);
  for (; j + 8 <= w - 1; j += 8) {  // eight at a time; the loop below finishes the row
    cv::v_int16x8 gx, gy;
    prewittAbs8(p, q, n, j, gx, gy);
    cv::v_store(g + j, cv::v_reinterpret_as_u16(gx + gy));
  }
#endif
  for (; j < w - 1; ++j) g[j] = validationGradientAt(image, j, i);
}

namespace {

// Counts the interior gradients, one row at a time from rowOf(i), into four partial histograms
// of `bins` entries each (every gradient is below `bins`), one per column modulo 4: in flat
// areas neighbours share a gradient, and with a single count every increment would wait for
// the one before.
template <typename RowOf>
void countGradients(RowOf rowOf, int width, int height, size_t bins, std::uint32_t* counts) {
  std::uint32_t* c0 = counts;
  std::uint32_t* c1 = c0 + bins;
  std::uint32_t* c2 = c1 + bins;
  std::uint32_t* c3 = c2 + bins;
  for (int i = 1; i < height - 1; ++i) {
    const std::uint16_t* g = rowOf(i);
    int j = 1;
    for (; j + 4 <= width - 1; j += 4) {
      ++c0[g[j]];
      ++c1[g[j + 1]];
      ++c2[g[j + 2]];
      ++c3[g[j + 3]];
    }
    for (; j < width - 1; ++j) ++c0[g[j]];
  }
}

// The tail table from the four partial histograms of `bins` entries: every entry from `bins`
// on is 0.
std::vector<double> tailFromCounts(const std::vector<std::uint32_t>& counts, size_t bins, int width,
                                   int height) {
  const std::uint32_t* c0 = counts.data();
  const std::uint32_t* c1 = c0 + bins;
  const std::uint32_t* c2 = c1 + bins;
  const std::uint32_t* c3 = c2 + bins;
  std::vector<std::int64_t> tail(bins);
  for (size_t k = 0; k < bins; ++k) {
    tail[k] = std::int64_t{c0[k]} + std::int64_t{c1[k]} + std::int64_t{c2[k]} + std::int64_t{c3[k]};
  }
  for (size_t k = bins - 1; k >= 1; --k) tail[k - 1] += tail[k];
  const double interior = static_cast<double>(width - 2) * (height - 2);
  std::vector<double> probability(kValidationGradientValues, 0.0);
  for (size_t k = 0; k < bins; ++k) probability[k] = tail[k] / interior;
  return probability;
}

}  // namespace

std::vector<double> tailProbabilities(const cv::Mat& image, std::vector<std::uint16_t>* gradient) {
  // The gradients of one row at a time go straight into the histograms, from the map when
  // one is made and from a single row otherwise. They stay below kMaxValidationGradient + 1
  // bins.
  const int w = image.cols;
  const int h = image.rows;
  std::vector<std::uint16_t> row;
  if (gradient != nullptr) {
    gradient->resize(static_cast<size_t>(w) * h);
    std::fill_n(gradient->begin(), w, 0);
    std::fill_n(gradient->end() - w, w, 0);
  } else {
    row.resize(static_cast<size_t>(w));
  }
  const auto rowOf = [&](int i) {
    std::uint16_t* g = row.data();
    if (gradient != nullptr) {
      g = gradient->data() + static_cast<size_t>(i) * w;
      g[0] = g[w - 1] = 0;
    }
    validationGradientRow(image, i, g);
    return g;
  };
  const size_t bins = kMaxValidationGradient + 1;
  std::vector<std::uint32_t> counts(4 * bins, 0);
  countGradients(rowOf, w, h, bins, counts.data());
  return tailFromCounts(counts, bins, w, h);
}

std::int64_t numberOfTests(const std::vector<std::vector<cv::Point>>& segments) {
  std::int64_t n = 0;
  for (const auto& s : segments) {
    const std::int64_t len = static_cast<std::int64_t>(s.size());
    n += len * (len - 1) / 2;
  }
  return n;
}

bool NfaTest::meaningful(int m, int factors) {
  m = std::min(m, kValidationGradientValues - 1);
  factors = std::max(factors, 0);
  if (static_cast<size_t>(m) >= products_.size()) {
    products_.resize(static_cast<size_t>(m) + 1, Product{testCount_, 0});
  }
  Product& p = products_[m];
  // The product went on past `factors` only because it was still above 1 there.
  if (p.factors > factors) return false;
  const double h = tail_[m];
  while (p.factors < factors && p.nfa > 1.0) {
    p.nfa *= h;
    ++p.factors;
  }
  return p.nfa <= 1.0;
}

std::vector<std::pair<int, int>> meaningfulRanges(const std::uint16_t* gradients, int count,
                                                  const std::vector<double>& tail,
                                                  std::int64_t testCount, double lengthDivisor,
                                                  int minLength) {
  std::vector<std::pair<int, int>> meaningful, pending;
  NfaTest test(tail, testCount);
  meaningfulRanges(gradients, count, test, lengthDivisor, minLength, meaningful, pending);
  return meaningful;
}

namespace {

// The first position of the least of g[first..last] (first <= last); the value into `least`.
int firstMinimum(const std::uint16_t* g, int first, int last, int& least) {
  int i = first;
  int m = g[first];
#if CV_SIMD128
  // The least value eight at a time, then the first group of eight that holds it.
  if (last - first + 1 >= 16) {
    cv::v_uint16x8 vm = cv::v_load(g + first);
    for (i = first + 8; i + 8 <= last + 1; i += 8) vm = cv::v_min(vm, cv::v_load(g + i));
    m = cv::v_reduce_min(vm);
    for (; i <= last; ++i) m = std::min<int>(m, g[i]);
    const cv::v_uint16x8 target = cv::v_setall_u16(static_cast<std::uint16_t>(m));
    for (i = first; i + 8 <= last + 1; i += 8) {
      if (cv::v_check_any(cv::v_load(g + i) == target)) break;
    }
    while (g[i] != m) ++i;
    least = m;
    return i;
  }
#endif
  int k = first;
  for (i = first + 1; i <= last; ++i) {
    if (g[i] < m) {
      m = g[i];
      k = i;
    }
  }
  least = m;
  return k;
}

}  // namespace

void meaningfulRanges(const std::uint16_t* gradients, int count, NfaTest& test,
                      double lengthDivisor, int minLength,
                      std::vector<std::pair<int, int>>& meaningful,
                      std::vector<std::pair<int, int>>& pending) {
  meaningful.clear();
  pending.clear();
  if (count <= 0) return;
  // An explicit stack instead of recursion: a long segment of uniformly weak pixels would
  // otherwise recurse once per pixel. The right piece is pushed first, so ranges come out in
  // increasing order.
  pending.emplace_back(0, count - 1);
  while (!pending.empty()) {
    const auto [first, last] = pending.back();
    pending.pop_back();
    const int len = last - first + 1;
    if (len < minLength) continue;

    int m = 0;
    const int k = firstMinimum(gradients, first, last, m);
    if (test.meaningful(m, static_cast<int>(len / lengthDivisor))) {
      meaningful.emplace_back(first, last);
      continue;
    }

    // k is the first weakest pixel, so every pixel before it is stronger: the left piece ends
    // right before k. The right piece starts after the run of equally weak pixels.
    int left = k - 1;
    while (left > first && gradients[left] <= m) --left;
    int right = k + 1;
    while (right < last && gradients[right] <= m) ++right;
    pending.emplace_back(right, last);
    pending.emplace_back(first, left);
  }
}

std::vector<std::vector<cv::Point>> extractValidRuns(
    const std::vector<std::vector<cv::Point>>& segments, const cv::Mat& edgeMap, int minLength) {
  std::vector<std::vector<cv::Point>> runs;
  for (const auto& segment : segments) {
    const int n = static_cast<int>(segment.size());
    int i = 0;
    while (i < n) {
      if (edgeMap.at<unsigned char>(segment[i]) != kEdgePixel) {
        ++i;
        continue;
      }
      const int s = i;
      while (i < n && edgeMap.at<unsigned char>(segment[i]) == kEdgePixel) ++i;
      const int e = i;
      if (e - s >= minLength) runs.emplace_back(segment.begin() + s, segment.begin() + e - 1);
      i = e + 1;
    }
  }
  return runs;
}

}  // namespace detail

ValidatedEdgeDrawing::ValidatedEdgeDrawing(const cv::Mat& image)
    : EdgeDrawing(image, kPrewittOperator, 11, 3, 1, 10, 1.0, true) {
  if (validInput_) validateSegments();
}

namespace {

// Segments with one pixel in this many of the image or more read their gradients from a map,
// when the map takes at most kMaxGradientMapBytes.
constexpr size_t kPixelsPerMappedSegmentPixel = 8;
constexpr size_t kMaxGradientMapBytes = size_t{1} << 20;

}  // namespace

void ValidatedEdgeDrawing::validateSegments() {
  edgeImage_.setTo(kNoEdgePixel);

  // A segment pixel's gradient comes from a map of the whole image when the segments cover
  // much of it and the map is small, and from the three image rows around the pixel
  // otherwise: the map costs a pass over every pixel, and a large one is a fresh allocation
  // whose pages fault in and whose reads miss the cache; the sum at each pixel costs more per
  // segment pixel.
  size_t segmentPixels = 0;
  for (const auto& segment : segmentPoints_) segmentPixels += segment.size();
  const size_t imagePixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  const bool useMap = segmentPixels * kPixelsPerMappedSegmentPixel >= imagePixels &&
                      imagePixels * sizeof(std::uint16_t) <= kMaxGradientMapBytes;
  std::vector<std::uint16_t> gradient;
  const std::vector<double> tail =
      detail::tailProbabilities(srcImage_, useMap ? &gradient : nullptr);
  testCount_ = detail::numberOfTests(segmentPoints_);

  std::vector<std::uint16_t> along;
  std::vector<std::pair<int, int>> ranges, pending;
  detail::NfaTest test(tail, testCount_);
  for (const auto& segment : segmentPoints_) {
    along.resize(segment.size());
    if (useMap) {
      for (size_t i = 0; i < segment.size(); ++i) {
        along[i] = gradient[static_cast<size_t>(segment[i].y) * width_ + segment[i].x];
      }
    } else {
      for (size_t i = 0; i < segment.size(); ++i) {
        along[i] = detail::validationGradientAt(srcImage_, segment[i].x, segment[i].y);
      }
    }
    detail::meaningfulRanges(along.data(), static_cast<int>(along.size()), test, lengthDivisor_,
                             minPathLen_, ranges, pending);
    for (const auto& [first, last] : ranges) {
      for (int i = first; i <= last; ++i) {
        edgeImg_[static_cast<size_t>(segment[i].y) * width_ + segment[i].x] = kEdgePixel;
      }
    }
  }

  segmentPoints_ = detail::extractValidRuns(segmentPoints_, edgeImage_, minPathLen_);
  segmentNos_ = static_cast<int>(segmentPoints_.size());
}

}  // namespace ced
