#include "arcjoining.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "anglecoverage.h"
#include "arcangles.h"
#include "circlefit.h"
#include "detectorconstants.h"
#include "ellipsefit.h"
#include "vistrel/assert.h"

namespace ced {

namespace {

constexpr double kJoinError = 1.5;

struct PassRules {
  int pass;
  bool circularOnly;     // arcs j considered
  bool sameSegment;      // arc j must come from arc i's segment
  double radiusShare;    // allowed radius difference, times the smaller radius
  double overlapLimit;   // overlap ratio of arc j with the coverage must stay below
  bool checkTurn;        // start-start and end-end joins need opposite turns, others equal
  bool scoreWithRadius;  // score = distance (+ radius difference)
  bool fitEllipse;       // the fit that accepts a join
};

const PassRules kPass1{1, true, false, 0.25, 0.5, true, true, false};
const PassRules kPass2{2, false, true, 2.5, 0.75, false, false, true};
const PassRules kPass3{3, false, false, 1.0, 0.5, true, true, true};

// Largest coverage first; a later arc replaces the current maximum only when strictly larger.
void sortByCoverage(ArcList& arcs) {
  const size_t n = arcs.size();
  for (size_t i = 0; i + 1 < n; ++i) {
    size_t best = i;
    for (size_t j = i + 1; j < n; ++j)
      if (arcs[j].coverage > arcs[best].coverage) best = j;
    if (best != i) std::swap(arcs[i], arcs[best]);
  }
}

double endDistanceLimit(const PassRules& rules, double radiusDiff, double minR) {
  switch (rules.pass) {
    case 1:
      return 1.75 * minR;
    case 2:
      return 5.0;
    default:
      if (radiusDiff <= 0.5 * minR) return 0.75 * minR;
      if (radiusDiff <= 0.75 * minR) return 0.5 * minR;
      return 0.25 * minR;
  }
}

struct Candidate {
  int index;
  int which;  // 1: start-start, 2: start-end, 3: end-start, 4: end-end
  double score;
};

// The arc being grown from arc i.
struct Working {
  double xc, yc, r, circleError;  // pass 1: the last circle fit
  double radius;                  // the radius the tests compare against
  int turn;
  int sx, sy, ex, ey;
  double* x;
  double* y;
  int n;
  ConicCoefficients eq;
  double ellipseError;
};

void joinPass(const PassRules& rules, ArcList& in, ArcList& out, PixelBuffer& buffer,
              CandidateList& candidates) {
  sortByCoverage(in);
  const int count = static_cast<int>(in.size());
  std::vector<char> taken(count, 0);
  std::vector<Candidate> found;
  AngleCoverage coverage;

  for (int i = 0; i < count; ++i) {
    if (taken[i]) continue;
    const ArcCandidate& arc = in[i];
    if (rules.circularOnly && arc.elliptic) {
      out.push_back(arc);
      continue;
    }
    if (!VISTREL_CHECK_GE(buffer.room(), arc.pixelCount)) {
      out.push_back(arc);
      continue;
    }

    Working w{arc.xc,     arc.yc,     arc.r,          arc.circleError, arc.r,
              arc.turn,   arc.sx,     arc.sy,         arc.ex,          arc.ey,
              buffer.x(), buffer.y(), arc.pixelCount, arc.eq,          arc.ellipseError};
    std::memcpy(w.x, arc.x, sizeof(double) * arc.pixelCount);
    std::memcpy(w.y, arc.y, sizeof(double) * arc.pixelCount);
    coverage.clear();
    coverage.add(arc.startAngle, arc.endAngle);
    bool joined = false;

    for (;;) {
      found.clear();
      for (int j = i + 1; j < count; ++j) {
        if (taken[j]) continue;
        const ArcCandidate& other = in[j];
        if (rules.circularOnly && other.elliptic) continue;
        if (rules.sameSegment && other.segmentIndex != arc.segmentIndex) continue;
        const double minR = std::min(w.radius, other.r);
        const double radiusDiff = std::fabs(w.radius - other.r);
        if (radiusDiff > rules.radiusShare * minR) continue;
        if (!(coverage.overlapRatio(other.startAngle, other.endAngle) < rules.overlapLimit))
          continue;

        const double d[4] = {std::hypot(w.sx - other.sx, w.sy - other.sy),
                             std::hypot(w.sx - other.ex, w.sy - other.ey),
                             std::hypot(w.ex - other.sx, w.ey - other.sy),
                             std::hypot(w.ex - other.ex, w.ey - other.ey)};
        int which = 0;
        for (int c = 1; c < 4; ++c)
          if (d[c] < d[which]) which = c;
        if (d[which] > endDistanceLimit(rules, radiusDiff, minR)) continue;
        if (rules.checkTurn) {
          // Meeting start to start or end to end, the two arcs run in opposite directions.
          const bool opposite = which == 0 || which == 3;
          if (opposite == (w.turn == other.turn)) continue;
        }
        const double score = d[which] + (rules.scoreWithRadius ? radiusDiff : 0.0);
        auto at = std::find_if(found.begin(), found.end(),
                               [score](const Candidate& c) { return c.score >= score; });
        found.insert(at, Candidate{j, which + 1, score});
      }

      bool accepted = false;
      for (const Candidate& c : found) {
        const ArcCandidate& other = in[c.index];
        const int total = w.n + other.pixelCount;
        if (!VISTREL_CHECK_GE(buffer.room(), total)) {
          continue;
        }
        std::memcpy(w.x + w.n, other.x, sizeof(double) * other.pixelCount);
        std::memcpy(w.y + w.n, other.y, sizeof(double) * other.pixelCount);
        CircleFit circle;
        ConicCoefficients eq;
        double error;
        if (rules.fitEllipse) {
          error = fitEllipseWithError(w.x, w.y, total, eq);
        } else {
          circle = fitCircle(w.x, w.y, total);
          error = circle.error;
        }
        if (!(error <= kJoinError)) continue;  // its pixels are overwritten by the next try

        accepted = true;
        taken[i] = taken[c.index] = 1;
        w.n = total;
        if (rules.fitEllipse) {
          w.radius = (w.radius + other.r) / 2;
          w.eq = eq;
          w.ellipseError = error;
        } else {
          w.xc = circle.xc;
          w.yc = circle.yc;
          w.r = w.radius = circle.r;
          w.circleError = circle.error;
        }
        coverage.add(other.startAngle, other.endAngle);
        switch (c.which) {
          case 1:
            w.sx = w.ex, w.sy = w.ey, w.ex = other.ex, w.ey = other.ey, w.turn = -w.turn;
            break;
          case 2:
            w.sx = w.ex, w.sy = w.ey, w.ex = other.sx, w.ey = other.sy, w.turn = -w.turn;
            break;
          case 3:
            w.ex = other.ex, w.ey = other.ey;
            break;
          default:
            w.ex = other.sx, w.ey = other.sy;
            break;
        }
        break;
      }
      if (!accepted) break;
      joined = true;
    }

    if (!joined) {
      out.push_back(arc);
      continue;
    }
    double start = 0, end = 0;
    coverage.coveredArc(start, end);
    const double ratio = angularSpan(start, end) / kTwoPi;
    if (rules.fitEllipse) {
      const CircleFit circle = fitCircle(w.x, w.y, w.n);
      w.xc = circle.xc;
      w.yc = circle.yc;
      w.r = circle.r;
      w.circleError = circle.error;
    }
    // Keep the joined pixels before storing: storing a circular arc may copy pixels to the
    // buffer's write position.
    buffer.advance(w.n);
    if (ratio >= kCircleCover && w.circleError <= kCircleError) {
      addCircleCandidate(candidates, w.xc, w.yc, w.r, w.circleError, w.x, w.y, w.n);
    } else if (rules.fitEllipse) {
      addEllipticArc(out, w.xc, w.yc, w.r, w.circleError, start, end, w.turn, arc.segmentIndex,
                     w.sx, w.sy, w.ex, w.ey, w.x, w.y, w.n, w.eq, w.ellipseError,
                     coverage.accumulatedOverlapRatio());
    } else {
      addCircularArc(out, buffer, w.xc, w.yc, w.r, w.circleError, start, end, w.turn,
                     arc.segmentIndex, w.sx, w.sy, w.ex, w.ey, w.x, w.y, w.n);
    }
  }
}

}  // namespace

void joinArcsPass1(ArcList& in, ArcList& out, PixelBuffer& buffer, CandidateList& candidates) {
  joinPass(kPass1, in, out, buffer, candidates);
}

void joinArcsPass2(ArcList& in, ArcList& out, PixelBuffer& buffer, CandidateList& candidates) {
  joinPass(kPass2, in, out, buffer, candidates);
}

void joinArcsPass3(ArcList& in, ArcList& out, PixelBuffer& buffer, CandidateList& candidates) {
  joinPass(kPass3, in, out, buffer, candidates);
}

}  // namespace ced
