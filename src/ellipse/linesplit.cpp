#include "linesplit.h"

#include "linefit.h"

namespace ced {

void splitIntoLines(const double* x, const double* y, int count, int segmentIndex,
                    std::vector<LineSegment>& lines, int minLineLength, double lineError) {
  if (x == nullptr || y == nullptr || minLineLength < 2) return;
  int firstPixel = 0;
  int remaining = count;
  while (remaining >= minLineLength) {
    // Seed: the first run of minLineLength pixels that is straight within 0.5.
    LineFit fit;
    bool seeded = false;
    while (remaining >= minLineLength) {
      fitLineWithError(x, y, minLineLength, fit);
      if (fit.error <= 0.5) {
        seeded = true;
        break;
      }
      ++x;
      ++y;
      ++firstPixel;
      --remaining;
    }
    if (!seeded) return;

    int index = minLineLength;
    int len = minLineLength;
    if (index < remaining) {
      // Grow: walk on while pixels lie near the line; up to 4 strays in a row are forgiven.
      int lastGood = index - 1;
      int good = 0;
      do {
        const int start = index;
        lastGood = index - 1;
        good = 0;
        int bad = 0;
        while (index < remaining) {
          if (distanceToLineAgainst(x[index], y[index], fit.a, fit.b, fit.transposed, lineError) <=
              lineError) {
            lastGood = index;
            ++good;
            bad = 0;
          } else if (++bad >= 5) {
            break;
          }
          ++index;
        }
        if (good >= 2) {
          len += lastGood - start + 1;
          fitLineOriented(x, y, len, fit.transposed, fit.a, fit.b);
          index = lastGood + 1;
        }
      } while (good >= 2 && index < remaining);

      // Trim strays at both ends; the end points are projections onto the line.
      int k = 0;
      while (k < lastGood &&
             distanceToLineAgainst(x[k], y[k], fit.a, fit.b, fit.transposed, lineError) > lineError)
        ++k;
      int e = lastGood;
      while (e > k &&
             distanceToLineAgainst(x[e], y[e], fit.a, fit.b, fit.transposed, lineError) > lineError)
        --e;
      const cv::Point2d s = closestPointOnLine(x[k], y[k], fit.a, fit.b, fit.transposed);
      const cv::Point2d t = closestPointOnLine(x[e], y[e], fit.a, fit.b, fit.transposed);
      LineSegment line;
      line.a = fit.a;
      line.b = fit.b;
      line.transposed = fit.transposed;
      line.sx = s.x;
      line.sy = s.y;
      line.ex = t.x;
      line.ey = t.y;
      line.segmentIndex = segmentIndex;
      line.firstPixel = firstPixel + k;
      line.len = e - k + 1;
      lines.push_back(line);
      len = e + 1;
    }
    remaining -= len;
    x += len;
    y += len;
    firstPixel += len;
  }
}

}  // namespace ced
