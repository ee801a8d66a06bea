#include "turninfo.h"

#include <algorithm>
#include <cmath>

namespace ced {
namespace {

constexpr double kGapDistance = 15.0;
constexpr double kGapAngle = 10.0;
constexpr int kGapTurn = 2;

}  // namespace

std::vector<Info> computeTurnInfo(const std::vector<LineSegment>& lines,
                                  const std::vector<int>& firstLineOfSegment) {
  std::vector<Info> info(lines.size());
  const int lineCount = static_cast<int>(lines.size());
  for (size_t s = 0; s + 1 < firstLineOfSegment.size(); ++s) {
    const int first = std::max(firstLineOfSegment[s], 0);
    const int stop = std::min(firstLineOfSegment[s + 1], lineCount);
    for (int j = first; j < stop; ++j) {
      const LineSegment& a = lines[j];
      const LineSegment& b = lines[j + 1 < stop ? j + 1 : first];
      Info& out = info[j];
      out.used = false;
      if (std::hypot(a.ex - b.sx, a.ey - b.sy) >= kGapDistance) {
        out.turnAngle = kGapAngle;
        out.turn = kGapTurn;
        continue;
      }
      const double px = a.ex - a.sx, py = a.ey - a.sy;
      const double qx = b.ex - b.sx, qy = b.ey - b.sy;
      const double norms = std::hypot(px, py) * std::hypot(qx, qy);
      const double cosine = norms > 0 ? std::clamp((px * qx + py * qy) / norms, -1.0, 1.0) : 1.0;
      out.turnAngle = std::acos(cosine);
      out.turn = px * qy - qx * py >= 0 ? 1 : -1;
    }
  }
  return info;
}

}  // namespace ced
