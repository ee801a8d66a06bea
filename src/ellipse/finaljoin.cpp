#include "finaljoin.h"

#include <cmath>
#include <utility>
#include <vector>

#include "circlefit.h"
#include "conic.h"
#include "ellipsefit.h"

namespace ced {
namespace {

constexpr double kCentreDistance = 12.0;
constexpr double kSizeDifference = 6.0;
constexpr double kJoinError = 2.0;

// Selection sort by decreasing r; only a strictly larger radius takes the front place, so the
// order of equal radii is the one this exact procedure gives (results stay reproducible).
void sortByDecreasingRadius(CandidateList& list) {
  const int n = static_cast<int>(list.size());
  for (int i = 0; i < n; ++i) {
    int best = i;
    for (int j = i + 1; j < n; ++j) {
      if (list[j].r > list[best].r) best = j;
    }
    if (best != i) std::swap(list[i], list[best]);
  }
}

double firstSize(const ShapeCandidate& c) { return c.elliptic ? c.majorAxis : c.r; }
double secondSize(const ShapeCandidate& c) { return c.elliptic ? c.minorAxis : c.r; }

bool arePartners(const ShapeCandidate& a, const ShapeCandidate& b) {
  const double dx = a.xc - b.xc, dy = a.yc - b.yc;
  return std::sqrt(dx * dx + dy * dy) <= kCentreDistance &&
         std::fabs(firstSize(a) - firstSize(b)) <= kSizeDifference &&
         std::fabs(secondSize(a) - secondSize(b)) <= kSizeDifference;
}

void appendPixels(const ShapeCandidate& c, std::vector<double>& x, std::vector<double>& y) {
  if (c.pixelCount <= 0 || c.x == nullptr || c.y == nullptr) return;
  x.insert(x.end(), c.x, c.x + c.pixelCount);
  y.insert(y.end(), c.y, c.y + c.pixelCount);
}

}  // namespace

void joinNearDuplicates(CandidateList& validated, CandidateList& out) {
  sortByDecreasingRadius(validated);
  for (ShapeCandidate& c : validated) {
    if (!c.elliptic) continue;
    const EllipseGeometry g = ellipseCentreAndAxes(c.eq);
    c.xc = g.xc;
    c.yc = g.yc;
    c.majorAxis = g.a;
    c.minorAxis = g.b;
  }

  const int n = static_cast<int>(validated.size());
  std::vector<bool> taken(n, false);
  std::vector<int> partners;
  std::vector<double> px, py;  // the group's pixels: scratch, nothing points into it
  for (int i = 0; i < n; ++i) {
    if (taken[i]) continue;
    const ShapeCandidate& ci = validated[i];
    partners.clear();
    for (int j = i + 1; j < n; ++j) {
      if (!taken[j] && arePartners(ci, validated[j])) partners.push_back(j);
    }
    if (partners.empty()) {
      out.push_back(ci);
      continue;
    }

    px.clear();
    py.clear();
    appendPixels(ci, px, py);
    ShapeCandidate group = ci;  // circle values of i, replaced by every circle join
    bool circleJoined = false, ellipseJoined = false;
    ConicCoefficients eq;
    double ellipseError = 0.0;
    for (int j : partners) {
      const ShapeCandidate& cj = validated[j];
      const size_t keep = px.size();
      appendPixels(cj, px, py);
      const int count = static_cast<int>(px.size());
      bool accepted = false;
      if (!ellipseJoined && !ci.elliptic && !cj.elliptic) {
        const CircleFit fit = fitCircle(px.data(), py.data(), count);
        if (fit.ok && fit.error <= kJoinError) {
          group.xc = fit.xc;
          group.yc = fit.yc;
          group.r = fit.r;
          group.circleError = fit.error;
          circleJoined = accepted = true;
        }
      }
      if (!accepted) {
        // A circle pair that does not fit one circle may still be one ellipse.
        ConicCoefficients trial;
        const double error = fitEllipseWithError(px.data(), py.data(), count, trial);
        if (error <= kJoinError) {
          eq = trial;
          ellipseError = error;
          ellipseJoined = accepted = true;
        }
      }
      if (accepted) {
        taken[j] = true;
      } else {
        px.resize(keep);
        py.resize(keep);
      }
    }

    if (ellipseJoined) {
      addEllipseCandidate(out, group.xc, group.yc, group.r, group.circleError, nullptr, nullptr, 0,
                          eq, ellipseError);
    } else if (circleJoined) {
      addCircleCandidate(out, group.xc, group.yc, group.r, group.circleError, nullptr, nullptr, 0);
    } else {
      out.push_back(ci);
    }
  }
}

}  // namespace ced
