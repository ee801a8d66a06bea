#include "edgedrawing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <opencv2/imgproc.hpp>

#include "core/lanetable.h"
#include "edgedrawing_internal.h"
#include "vistrel/assert.h"

namespace ced {
namespace detail {
namespace {

constexpr int kGradientValues = 32768;
// A side branch of the chain tree becomes a segment of its own from this length on.
constexpr int kMinSideBranchLength = 10;

// Walk directions of the linking step.
enum Walk : int { kWalkLeft = 1, kWalkRight = 2, kWalkUp = 3, kWalkDown = 4 };

struct StackEntry {
  int r, c;
  int walk;
  int parent;
};

struct Chain {
  int walk;
  int len;  // pixel count
  int parent;
  int children[2];  // 0: goes left or up, 1: goes right or down; -1 = none
  int start;        // index of its first pixel in the shared pixel array
};

// A recorded pixel. Trivial, so that the pixel array can be left uninitialised.
struct Pixel {
  int x, y;
};

template <class A, class B>
inline bool adjacent(const A& a, const B& b) {
  return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1;
}

// A scratch array of image size that is not initialised: only the entries the walks use are
// ever written, so only their memory is touched (zero-filling image-size arrays on every
// construction would cost more than the tracing itself). Grows, keeping its contents, in the
// pathological case that a walk needs more than the image size.
template <class T>
class WorkArray {
 public:
  explicit WorkArray(size_t n) : data_(new T[n]), size_(n) {}
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  T* data() { return data_.get(); }
  size_t size() const { return size_; }
  // Makes index i valid.
  void ensure(size_t i) {
    if (i < size_) return;
    const size_t n = std::max(size_ * 2, i + 1);
    std::unique_ptr<T[]> bigger(new T[n]);
    std::copy(data_.get(), data_.get() + size_, bigger.get());
    data_ = std::move(bigger);
    size_ = n;
  }

 private:
  std::unique_ptr<T[]> data_;
  size_t size_;
};

template <int Op>
inline void gradientAt(const unsigned char* p, const unsigned char* q, const unsigned char* n,
                       int j, int& gx, int& gy) {
  // p, q, n: rows i-1, i, i+1.
  const int com1 = n[j + 1] - p[j - 1];
  const int com2 = p[j + 1] - n[j - 1];
  if (Op == kSobelOperator) {
    gx = std::abs(com1 + com2 + 2 * (q[j + 1] - q[j - 1]));
    gy = std::abs(com1 - com2 + 2 * (n[j] - p[j]));
  } else if (Op == kScharrOperator) {
    gx = std::abs(3 * (com1 + com2) + 10 * (q[j + 1] - q[j - 1]));
    gy = std::abs(3 * (com1 - com2) + 10 * (n[j] - p[j]));
  } else if (Op == kDifferenceOperator) {
    const int d1 = n[j + 1] - q[j];
    const int d2 = q[j + 1] - n[j];
    gx = std::abs(d1 + d2);
    gy = std::abs(d1 - d2);
  } else {
    gx = std::abs(com1 + com2 + q[j + 1] - q[j - 1]);
    gy = std::abs(com1 - com2 + n[j] - p[j]);
  }
}

template <int Op, bool Sum>
void interiorGradient(const cv::Mat& smooth, int gradThresh, short* grad, unsigned char* dir) {
  const int w = smooth.cols;
  const int h = smooth.rows;
  for (int i = 1; i < h - 1; ++i) {
    const unsigned char* p = smooth.ptr<unsigned char>(i - 1);
    const unsigned char* q = smooth.ptr<unsigned char>(i);
    const unsigned char* n = smooth.ptr<unsigned char>(i + 1);
    short* g = grad + static_cast<size_t>(i) * w;
    unsigned char* d = dir + static_cast<size_t>(i) * w;
    int j = 1;
#if CV_SIMD128
    // The detector's operator, eight pixels at a time; the loop below finishes the row.
    if constexpr (Op == kPrewittOperator && Sum) {
      if (gradThresh <= SHRT_MAX) {
        const cv::v_int16x8 thresh = cv::v_setall_s16(static_cast<short>(gradThresh));
        const cv::v_int16x8 vertical = cv::v_setall_s16(kVerticalEdge);
        const cv::v_int16x8 horizontal = cv::v_setall_s16(kHorizontalEdge);
        for (; j + 8 <= w - 1; j += 8) {
          cv::v_int16x8 gx, gy;
          prewittAbs8(p, q, n, j, gx, gy);
          const cv::v_int16x8 sum = gx + gy;
          cv::v_store(g + j, sum);
          cv::v_pack_u_store(d + j, cv::v_select(gx >= gy, vertical, horizontal) & (sum >= thresh));
        }
      }
    }
#endif
    for (; j < w - 1; ++j) {
      int gx, gy;
      gradientAt<Op>(p, q, n, j, gx, gy);
      // Squares of at most 2·4080 stay exact in a double, and its square root is correctly
      // rounded, so the truncated norm is the same on every machine.
      const int sum =
          Sum ? gx + gy : static_cast<int>(std::sqrt(static_cast<double>(gx * gx + gy * gy)));
      g[j] = static_cast<short>(sum);
      d[j] = sum >= gradThresh ? (gx >= gy ? kVerticalEdge : kHorizontalEdge) : kBelowThreshold;
    }
  }
}

// The geometry of one walk direction, fixed at compile time so that each direction's loop
// folds its steps to constants: the straight step and the unit across the walk (toward higher
// row or column index), the side of the first diagonal tried, and the orientation of the
// direction map that keeps the walk going.
template <int Direction>
struct WalkRule;
template <>
struct WalkRule<kWalkRight> {
  static constexpr int stepR = 0, stepC = 1, acrossR = 1, acrossC = 0, firstDiag = 1;
  static constexpr unsigned char orientation = kHorizontalEdge;
};
template <>
struct WalkRule<kWalkLeft> {
  static constexpr int stepR = 0, stepC = -1, acrossR = 1, acrossC = 0, firstDiag = -1;
  static constexpr unsigned char orientation = kHorizontalEdge;
};
template <>
struct WalkRule<kWalkUp> {
  static constexpr int stepR = -1, stepC = 0, acrossR = 0, acrossC = 1, firstDiag = -1;
  static constexpr unsigned char orientation = kVerticalEdge;
};
template <>
struct WalkRule<kWalkDown> {
  static constexpr int stepR = 1, stepC = 0, acrossR = 0, acrossC = 1, firstDiag = 1;
  static constexpr unsigned char orientation = kVerticalEdge;
};

#if CV_SIMD128
// The anchors of a group of eight pixels, packed to the front.
constexpr vistrel::LaneTable<8, unsigned char> kLaneTable{};
#endif

// Where a walk goes from the pixel before `next` (the straight step): -1, 0 or +1 across the
// walk. Drawn pixels and anchors come first (straight, then the first diagonal, then the
// second); otherwise the strongest of the three gradients, ties as the routing rule says.
template <class Rule>
inline int stepShift(const unsigned char* edge, const short* grad, int next, int acrossOff) {
  const int firstDiagOff = Rule::firstDiag * acrossOff;
  if (edge[next] >= kAnchorPixel) return 0;
  if (edge[next + firstDiagOff] >= kAnchorPixel) return Rule::firstDiag;
  if (edge[next - firstDiagOff] >= kAnchorPixel) return -Rule::firstDiag;
  const int a = grad[next - acrossOff];
  const int b = grad[next];
  const int c = grad[next + acrossOff];
  if (a > b) return a > c ? -1 : 1;
  return c > b ? 1 : 0;
}

// The linking step's work arrays, sized once for the image and reused for every anchor.
class AnchorLinker {
 public:
  AnchorLinker(const short* grad, const unsigned char* dir, unsigned char* edge, int width,
               int height, int gradThresh, int minPathLength)
      : grad_(grad),
        dir_(dir),
        edge_(edge),
        w_(width),
        gradThresh_(gradThresh),
        minPathLength_(minPathLength),
        pixels_(static_cast<size_t>(width) * height),
        stack_(static_cast<size_t>(width) * height),
        chains_(static_cast<size_t>(width) * height),
        lengths_(static_cast<size_t>(width) * height) {
    chainList_.reserve(static_cast<size_t>(width + height) * 8);
  }

  void link(int anchor, std::vector<std::vector<cv::Point>>& segments);

 private:
  template <int Direction>
  int walk(int& r, int& c, int& noPixels, bool& turned);
  template <int Direction>
  bool stopsAtFirstStep(int anchor) const;
  bool dropIfWalksStopAtOnce(int anchor);
  void computeLengths();
  void buildChainList(int chain);
  void copyReversed(std::vector<cv::Point>& segment, Chain& chain);
  void copyForward(std::vector<cv::Point>& segment, Chain& chain);
  void copyPathForward(std::vector<cv::Point>& segment, int chain);
  void makeSegments(std::vector<std::vector<cv::Point>>& segments);

  const short* grad_;
  const unsigned char* dir_;
  unsigned char* edge_;
  int w_;
  int gradThresh_;
  int minPathLength_;

  WorkArray<Pixel> pixels_;
  WorkArray<StackEntry> stack_;
  WorkArray<Chain> chains_;
  WorkArray<int> lengths_;
  std::vector<int> chainList_;
  std::vector<cv::Point> scratch_;  // the segment being assembled
  int chainNo_ = 0;
  int noPixels_ = 0;
};

// Follows the ridge from (r, c), the first pixel of the current chain (already recorded),
// recording pixels while the direction map keeps the walk's orientation. Returns the chain's
// pixel count; `turned` tells whether the walk ended where the ridge turns (rather than at a
// weak or already drawn pixel), and then (r, c) is the turning pixel, no longer recorded.
//
// The maps and counters are read into locals: a store into the edge map may alias any member,
// and the compiler would otherwise reload them after every step.
template <int Direction>
int AnchorLinker::walk(int& r, int& c, int& noPixels, bool& turned) {
  using Rule = WalkRule<Direction>;
  const unsigned char* const dir = dir_;
  unsigned char* const edge = edge_;
  const short* const grad = grad_;
  const int gradThresh = gradThresh_;
  const int stepOff = Rule::stepR * w_ + Rule::stepC;
  const int acrossOff = Rule::acrossR * w_ + Rule::acrossC;
  Pixel* pixels = pixels_.data();
  size_t capacity = pixels_.size();
  int count = noPixels;

  int idx = r * w_ + c;
  int len = 1;
  for (;;) {
    if (dir[idx] != Rule::orientation) break;
    edge[idx] = kEdgePixel;
    if (edge[idx + acrossOff] == kAnchorPixel) edge[idx + acrossOff] = kNoEdgePixel;
    if (edge[idx - acrossOff] == kAnchorPixel) edge[idx - acrossOff] = kNoEdgePixel;

    const int next = idx + stepOff;
    const int shift = stepShift<Rule>(edge, grad, next, acrossOff);
    r += Rule::stepR + shift * Rule::acrossR;
    c += Rule::stepC + shift * Rule::acrossC;
    idx = next + shift * acrossOff;
    if (edge[idx] == kEdgePixel || grad[idx] < gradThresh) {
      noPixels = count;
      turned = false;
      return len;
    }
    if (static_cast<size_t>(count) >= capacity) {
      pixels_.ensure(static_cast<size_t>(count));
      pixels = pixels_.data();
      capacity = pixels_.size();
    }
    pixels[count++] = Pixel{c, r};
    ++len;
  }

  // The ridge turns: (r, c) becomes the first pixel of the two chains that go on across the old
  // direction, so this chain gives it up.
  noPixels = count - 1;
  turned = true;
  return len - 1;
}

// Whether the walk from `anchor` in `Direction` stops at its first step (the anchor's direction
// must keep the walk going).
template <int Direction>
bool AnchorLinker::stopsAtFirstStep(int anchor) const {
  using Rule = WalkRule<Direction>;
  const int acrossOff = Rule::acrossR * w_ + Rule::acrossC;
  const int next = anchor + Rule::stepR * w_ + Rule::stepC;
  const int to = next + stepShift<Rule>(edge_, grad_, next, acrossOff) * acrossOff;
  return edge_[to] == kEdgePixel || grad_[to] < gradThresh_;
}

// A shortcut for the many anchors whose two walks both stop at their first step. Traced, such
// an anchor records itself twice, once as a new pixel: one counted pixel, fewer than a minimum
// path length above 1, so the walk is undone. The first walk writes only the anchor (255) and
// the anchors beside it across the walk (0), none of which the second walk's step reads (it
// looks at the far side), so both steps can be judged first. What stays is the anchor and the
// anchors beside it set to 0, which this sets directly. Returns whether it applied.
bool AnchorLinker::dropIfWalksStopAtOnce(int anchor) {
  if (minPathLength_ <= 1) return false;
  const unsigned char d = dir_[anchor];
  int acrossOff = 0;
  if (d == kVerticalEdge) {
    if (!stopsAtFirstStep<kWalkUp>(anchor) || !stopsAtFirstStep<kWalkDown>(anchor)) return false;
    acrossOff = 1;
  } else if (d == kHorizontalEdge) {
    if (!stopsAtFirstStep<kWalkLeft>(anchor) || !stopsAtFirstStep<kWalkRight>(anchor)) {
      return false;
    }
    acrossOff = w_;
  } else {
    return false;
  }
  edge_[anchor] = kNoEdgePixel;
  if (edge_[anchor + acrossOff] == kAnchorPixel) edge_[anchor + acrossOff] = kNoEdgePixel;
  if (edge_[anchor - acrossOff] == kAnchorPixel) edge_[anchor - acrossOff] = kNoEdgePixel;
  return true;
}

void AnchorLinker::link(int anchor, std::vector<std::vector<cv::Point>>& segments) {
  if (dropIfWalksStopAtOnce(anchor)) return;
  chains_[0] = Chain{0, 0, -1, {-1, -1}, 0};
  int chainNo = 1;
  int noPixels = 0;
  int top = 0;
  int notYetEdge = 0;

  // Of the two walks that start at a pixel, the one toward lower indices (left or up) goes
  // first: it is taken on at once and only the other waits on the stack.
  const auto pushSecond = [&](int r, int c, int walk, int parent) {
    stack_.ensure(static_cast<size_t>(top));
    stack_[top++] = StackEntry{r, c, walk, parent};
  };
  const bool vertical = dir_[anchor] == kVerticalEdge;
  StackEntry e{anchor / w_, anchor % w_, vertical ? kWalkUp : kWalkLeft, 0};
  pushSecond(e.r, e.c, vertical ? kWalkDown : kWalkRight, 0);

  for (;;) {
    if (edge_[e.r * w_ + e.c] != kEdgePixel) ++notYetEdge;
    chains_.ensure(static_cast<size_t>(chainNo));
    lengths_.ensure(static_cast<size_t>(chainNo));
    chains_[chainNo] = Chain{e.walk, 0, e.parent, {-1, -1}, noPixels};
    pixels_.ensure(static_cast<size_t>(noPixels));
    pixels_[noPixels++] = Pixel{e.c, e.r};
    int r = e.r, c = e.c;
    bool turned = false;
    int len = 0;
    switch (e.walk) {
      case kWalkLeft:
        len = walk<kWalkLeft>(r, c, noPixels, turned);
        break;
      case kWalkRight:
        len = walk<kWalkRight>(r, c, noPixels, turned);
        break;
      case kWalkUp:
        len = walk<kWalkUp>(r, c, noPixels, turned);
        break;
      default:
        len = walk<kWalkDown>(r, c, noPixels, turned);
        break;
    }
    const bool horizontal = e.walk == kWalkLeft || e.walk == kWalkRight;
    const int slot = (e.walk == kWalkLeft || e.walk == kWalkUp) ? 0 : 1;
    // A chain that stopped keeps its slot only when it has pixels; one that ended at a turn
    // is always kept, since the chains that start at the turn name it as their parent.
    if (turned || len > 0) {
      chains_[chainNo].len = len;
      chains_[e.parent].children[slot] = chainNo;
      ++chainNo;
    }
    if (turned) {
      const int parent = chainNo - 1;
      pushSecond(r, c, horizontal ? kWalkDown : kWalkRight, parent);
      e = StackEntry{r, c, horizontal ? kWalkUp : kWalkLeft, parent};
    } else if (top > 0) {
      e = stack_[--top];
    } else {
      break;
    }
  }

  chainNo_ = chainNo;
  noPixels_ = noPixels;
  if (noPixels - notYetEdge >= minPathLength_) {
    makeSegments(segments);
  } else {
    unsigned char* const edge = edge_;
    const Pixel* const pixels = pixels_.data();
    const int w = w_;
    for (int i = 0; i < noPixels; ++i) edge[pixels[i].y * w + pixels[i].x] = kNoEdgePixel;
  }
}

// Length of the longest path down from every chain; the shorter child link is cut (child 1 on
// a tie), so that afterwards every chain has at most one child. Children have higher indices
// than their parents, so one pass from the last chain down settles every subtree before its
// root. The root (chain 0, no pixels) is left alone.
void AnchorLinker::computeLengths() {
  for (int i = chainNo_ - 1; i >= 1; --i) {
    Chain& ch = chains_[i];
    if (ch.len == 0) {
      lengths_[i] = 0;
      continue;
    }
    const int l0 = ch.children[0] >= 0 ? lengths_[ch.children[0]] : 0;
    const int l1 = ch.children[1] >= 0 ? lengths_[ch.children[1]] : 0;
    if (l0 >= l1) {
      ch.children[1] = -1;
      lengths_[i] = ch.len + l0;
    } else {
      ch.children[0] = -1;
      lengths_[i] = ch.len + l1;
    }
  }
}

// The next chain on the path through `chain` (after computeLengths, at most one child is left).
inline int nextOnPath(const Chain& chain) {
  return chain.children[0] >= 0 ? chain.children[0] : chain.children[1];
}

void AnchorLinker::buildChainList(int chain) {
  chainList_.clear();
  for (int k = chain; k >= 0; k = nextOnPath(chains_[k])) chainList_.push_back(k);
}

// Appends the chain's pixels last to first. A pixel at the segment's end that the chain's
// first copied pixel also touches is redundant and goes; so does the chain's own last pixel
// when its neighbour already touches the segment.
void AnchorLinker::copyReversed(std::vector<cv::Point>& segment, Chain& chain) {
  if (chain.len > 0) {
    const Pixel* px = &pixels_[chain.start];
    const Pixel& p = px[chain.len - 1];
    while (segment.size() >= 2 && adjacent(p, segment[segment.size() - 2])) segment.pop_back();
    int from = chain.len - 1;
    if (chain.len >= 2 && !segment.empty() && adjacent(px[chain.len - 2], segment.back())) {
      from = chain.len - 2;
    }
    for (int k = from; k >= 0; --k) segment.emplace_back(px[k].x, px[k].y);
  }
  chain.len = 0;
}

// Appends the chain's pixels first to last, with the same trimming as copyReversed.
void AnchorLinker::copyForward(std::vector<cv::Point>& segment, Chain& chain) {
  if (chain.len > 0) {
    const Pixel* px = &pixels_[chain.start];
    while (segment.size() >= 2 && adjacent(px[0], segment[segment.size() - 2])) {
      segment.pop_back();
    }
    int from = 0;
    if (chain.len >= 2 && !segment.empty() && adjacent(px[1], segment.back())) from = 1;
    for (int k = from; k < chain.len; ++k) segment.emplace_back(px[k].x, px[k].y);
  }
  chain.len = 0;
}

// Appends the path from `chain` in list order, each chain with copyForward. Copying leaves the
// child links alone, so the path is followed as it is copied.
void AnchorLinker::copyPathForward(std::vector<cv::Point>& segment, int chain) {
  for (int k = chain; k >= 0; k = nextOnPath(chains_[k])) copyForward(segment, chains_[k]);
}

void AnchorLinker::makeSegments(std::vector<std::vector<cv::Point>>& segments) {
  computeLengths();
  const Chain& root = chains_[0];
  const int down = root.children[1];  // the walk right or down from the anchor
  const int up = root.children[0];    // the walk left or up, which starts at the anchor too

  // The main segment runs from the far end of the right/down path to the anchor and on to
  // the far end of the left/up path.
  // Built in a reused buffer and copied once at its final size: growing every segment pixel by
  // pixel cost more allocations than pixels on textured images.
  std::vector<cv::Point>& segment = scratch_;
  segment.clear();
  if (down >= 0 && lengths_[down] > 0) {
    buildChainList(down);
    for (auto it = chainList_.rbegin(); it != chainList_.rend(); ++it) {
      copyReversed(segment, chains_[*it]);
    }
  }
  if (up >= 0 && lengths_[up] > 1) {
    Chain& first = chains_[up];
    if (first.len > 0) {  // its first pixel is the anchor, already in the segment
      ++first.start;
      --first.len;
    }
    copyPathForward(segment, up);
  }
  // A closed curve: the first pixel is redundant when the second already touches the last.
  const bool closed = segment.size() >= 2 && adjacent(segment[1], segment.back());
  segments.back().assign(segment.begin() + (closed ? 1 : 0), segment.end());
  segments.emplace_back();

  // Long side branches that the main path left out.
  for (int i = 2; i < chainNo_; ++i) {
    if (chains_[i].len < 2 || lengths_[i] < kMinSideBranchLength) continue;
    scratch_.clear();
    copyPathForward(scratch_, i);
    segments.back() = scratch_;
    segments.emplace_back();
  }
}

}  // namespace

void computeGradientMaps(const cv::Mat& smooth, int op, int gradThresh, bool sumFlag, short* grad,
                         unsigned char* dir) {
  const int w = smooth.cols;
  const int h = smooth.rows;
  const short border = cv::saturate_cast<short>(gradThresh - 1);
  for (int j = 0; j < w; ++j) {
    grad[j] = border;
    grad[static_cast<size_t>(h - 1) * w + j] = border;
    dir[j] = kBelowThreshold;
    dir[static_cast<size_t>(h - 1) * w + j] = kBelowThreshold;
  }
  for (int i = 0; i < h; ++i) {
    grad[static_cast<size_t>(i) * w] = border;
    grad[static_cast<size_t>(i) * w + w - 1] = border;
    dir[static_cast<size_t>(i) * w] = kBelowThreshold;
    dir[static_cast<size_t>(i) * w + w - 1] = kBelowThreshold;
  }
  // One instantiation per operator and norm keeps the per-pixel loop free of branches.
  using Kernel = void (*)(const cv::Mat&, int, short*, unsigned char*);
  Kernel kernel = nullptr;
  switch (op) {
    case kSobelOperator:
      kernel = sumFlag ? interiorGradient<kSobelOperator, true>
                       : interiorGradient<kSobelOperator, false>;
      break;
    case kScharrOperator:
      kernel = sumFlag ? interiorGradient<kScharrOperator, true>
                       : interiorGradient<kScharrOperator, false>;
      break;
    case kDifferenceOperator:
      kernel = sumFlag ? interiorGradient<kDifferenceOperator, true>
                       : interiorGradient<kDifferenceOperator, false>;
      break;
    default:
      kernel = sumFlag ? interiorGradient<kPrewittOperator, true>
                       : interiorGradient<kPrewittOperator, false>;
      break;
  }
  kernel(smooth, gradThresh, grad, dir);
}

std::vector<cv::Point> findAnchors(const short* grad, const unsigned char* dir, int width,
                                   int height, int gradThresh, int anchorThresh, int scanInterval,
                                   unsigned char* edge) {
  std::vector<cv::Point> anchors;
#if CV_SIMD128
  // One row's anchors, written without branches and then appended in one go.
  std::vector<cv::Point> rowAnchors(static_cast<size_t>(std::max(width, 0)));
#endif
  for (int i = 2; i < height - 2; ++i) {
    const bool fullRow = i % scanInterval == 0;
    int j = fullRow ? 2 : scanInterval;
    const int step = fullRow ? 1 : scanInterval;
#if CV_SIMD128
    // Full rows eight pixels at a time, with the scalar test's integers (gradients are
    // non-negative and below 2^15, so their differences fit in 16 bits); the loop below
    // finishes the row.
    if (fullRow && gradThresh <= SHRT_MAX && anchorThresh <= SHRT_MAX) {
      const cv::v_int16x8 thresh = cv::v_setall_s16(static_cast<short>(gradThresh));
      const cv::v_int16x8 rise = cv::v_setall_s16(static_cast<short>(anchorThresh));
      const cv::v_uint16x8 vertical = cv::v_setall_u16(kVerticalEdge);
      const cv::v_uint16x8 anchorValue = cv::v_setall_u16(kAnchorPixel);
      const cv::v_int32x4 row = cv::v_setall_s32(i);
      // Anchors are too frequent and too irregular for a branch per anchor to be predicted:
      // the group's anchors are packed to the front of eight (x, y) pairs that are all written,
      // and the count advances only past the anchors.
      size_t count = 0;
      for (; j + 8 <= width - 2; j += 8) {
        const int idx = i * width + j;
        const cv::v_int16x8 g = cv::v_load(grad + idx);
        const cv::v_int16x8 isVertical =
            cv::v_reinterpret_as_s16(cv::v_load_expand(dir + idx) == vertical);
        const cv::v_int16x8 before =
            cv::v_select(isVertical, cv::v_load(grad + idx - 1), cv::v_load(grad + idx - width));
        const cv::v_int16x8 after =
            cv::v_select(isVertical, cv::v_load(grad + idx + 1), cv::v_load(grad + idx + width));
        const cv::v_int16x8 isAnchor = (g >= thresh) & (g - before >= rise) & (g - after >= rise);
        cv::v_pack_store(edge + idx, cv::v_select(cv::v_reinterpret_as_u16(isAnchor), anchorValue,
                                                  cv::v_load_expand(edge + idx)));
        const unsigned bits = static_cast<unsigned>(cv::v_signmask(isAnchor));
        const unsigned char* lanes = kLaneTable.index[bits];
        const cv::v_int32x4 column = cv::v_setall_s32(j);
        const cv::v_int32x4 x0 = cv::v_reinterpret_as_s32(cv::v_load_expand_q(lanes)) + column;
        const cv::v_int32x4 x1 = cv::v_reinterpret_as_s32(cv::v_load_expand_q(lanes + 4)) + column;
        cv::v_int32x4 xy0, xy1, xy2, xy3;
        cv::v_zip(x0, row, xy0, xy1);
        cv::v_zip(x1, row, xy2, xy3);
        // count + 8 <= j - 2 + 8 < width: the eight pairs stay inside the row buffer.
        int* out = reinterpret_cast<int*>(rowAnchors.data() + count);
        cv::v_store(out, xy0);
        cv::v_store(out + 4, xy1);
        cv::v_store(out + 8, xy2);
        cv::v_store(out + 12, xy3);
        count += kLaneTable.count[bits];
      }
      anchors.insert(anchors.end(), rowAnchors.begin(), rowAnchors.begin() + count);
    }
#endif
    for (; j < width - 2; j += step) {
      const int idx = i * width + j;
      const int g = grad[idx];
      // Neighbours across the edge: left and right of a vertical edge, else above and below.
      // Evaluated without branches; only the rare anchor takes the branch below.
      const int across = dir[idx] == kVerticalEdge ? 1 : width;
      const bool anchor = (g >= gradThresh) & (g - grad[idx - across] >= anchorThresh) &
                          (g - grad[idx + across] >= anchorThresh);
      if (anchor) {
        edge[idx] = kAnchorPixel;
        anchors.emplace_back(j, i);
      }
    }
  }
  return anchors;
}

std::vector<int> anchorOrder(const short* grad, int width, const std::vector<cv::Point>& anchors) {
  std::vector<int> start(kGradientValues, 0);
  for (const cv::Point& p : anchors) {
    ++start[std::clamp<int>(grad[p.y * width + p.x], 0, kGradientValues - 1)];
  }
  // Slots in decreasing gradient order; filling them in raster order keeps ties in raster order.
  int pos = 0;
  for (int g = kGradientValues - 1; g >= 0; --g) {
    const int count = start[g];
    start[g] = pos;
    pos += count;
  }
  std::vector<int> order(anchors.size());
  for (const cv::Point& p : anchors) {
    const int idx = p.y * width + p.x;
    order[start[std::clamp<int>(grad[idx], 0, kGradientValues - 1)]++] = idx;
  }
  return order;
}

void linkAnchors(const short* grad, const unsigned char* dir, unsigned char* edge, int width,
                 int height, const std::vector<int>& order, int gradThresh, int minPathLength,
                 std::vector<std::vector<cv::Point>>& segments) {
  if (order.empty()) return;
  segments.emplace_back();  // the segment being built
  AnchorLinker linker(grad, dir, edge, width, height, gradThresh, minPathLength);
  for (int anchor : order) {
    if (edge[anchor] != kAnchorPixel) continue;
    linker.link(anchor, segments);
  }
  segments.pop_back();
}

}  // namespace detail

EdgeDrawing::EdgeDrawing(const cv::Mat& image, int gradientOperator, int gradientThreshold,
                         int anchorThreshold, int scanInterval, int minPathLength, double sigma,
                         bool sumFlag)
    : srcImage_(image),
      gradOperator_(gradientOperator),
      gradThresh_(std::max(gradientThreshold, 1)),
      anchorThresh_(std::max(anchorThreshold, 0)),
      scanInterval_(std::max(scanInterval, 1)),
      minPathLen_(minPathLength),
      sigma_(sigma),
      sumFlag_(sumFlag) {
  if (!(sigma_ >= 1.0) || !std::isfinite(sigma_)) sigma_ = 1.0;
  if (gradOperator_ < kPrewittOperator || gradOperator_ > kDifferenceOperator) {
    VISTREL_REPORT("unknown gradient operator");
    gradOperator_ = kPrewittOperator;
  }

  const bool twoDimensional = image.dims == 2;
  width_ = twoDimensional ? image.cols : 0;
  height_ = twoDimensional ? image.rows : 0;
  srcImg_ = image.data;
  edgeImage_ = cv::Mat::zeros(height_, width_, CV_8UC1);
  edgeImg_ = edgeImage_.data;

  const bool typeOk = VISTREL_CHECK(image.type() == CV_8UC1);
  const bool sizeOk = VISTREL_CHECK(image.rows >= 5 && image.cols >= 5);
  // Flat indices are ints; this keeps row * width + column (and a row beyond) in range.
  const bool countOk = VISTREL_CHECK_LE(image.total(), kMaxPixels);
  validInput_ = twoDimensional && typeOk && sizeOk && countOk;
  if (!validInput_) {
    smoothImage_ = cv::Mat::zeros(height_, width_, CV_8UC1);
    gradImage_ = cv::Mat::zeros(height_, width_, CV_16SC1);
    smoothImg_ = smoothImage_.data;
    gradImg_ = gradImage_.ptr<short>();
    return;
  }

  // Isolated borders: a sub-matrix view must smooth exactly like its copy, without reading
  // the parent image's pixels around it.
  const cv::Size kernel = sigma_ == 1.0 ? cv::Size(5, 5) : cv::Size();
  smoothImage_.create(height_, width_, CV_8UC1);
  cv::GaussianBlur(srcImage_, smoothImage_, kernel, sigma_, sigma_,
                   cv::BORDER_REFLECT_101 | cv::BORDER_ISOLATED);
  smoothImg_ = smoothImage_.data;
  gradImage_.create(height_, width_, CV_16SC1);  // every pixel is written
  gradImg_ = gradImage_.ptr<short>();

  computeGradient();
  computeAnchors();
  joinAnchorPoints();
}

void EdgeDrawing::computeGradient() {
  dirImg_.assign(static_cast<size_t>(width_) * height_, kBelowThreshold);
  detail::computeGradientMaps(smoothImage_, gradOperator_, gradThresh_, sumFlag_, gradImg_,
                              dirImg_.data());
}

void EdgeDrawing::computeAnchors() {
  anchorPoints_ = detail::findAnchors(gradImg_, dirImg_.data(), width_, height_, gradThresh_,
                                      anchorThresh_, scanInterval_, edgeImg_);
  anchorNos_ = static_cast<int>(anchorPoints_.size());
}

void EdgeDrawing::joinAnchorPoints() {
  const std::vector<int> order = detail::anchorOrder(gradImg_, width_, anchorPoints_);
  segmentPoints_.clear();
  detail::linkAnchors(gradImg_, dirImg_.data(), edgeImg_, width_, height_, order, gradThresh_,
                      minPathLen_, segmentPoints_);
  segmentNos_ = static_cast<int>(segmentPoints_.size());
  std::vector<unsigned char>().swap(dirImg_);
}

}  // namespace ced
