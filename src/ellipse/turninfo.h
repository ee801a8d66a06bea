#pragma once

#include <vector>

#include "records.h"

// How consecutive line segments of one edge segment turn: the raw material of arc detection.

namespace ced {

// Returns one Info per line. `firstLineOfSegment` has one entry per edge segment plus one:
// the lines of segment i are [firstLineOfSegment[i], firstLineOfSegment[i + 1]). For each line
// the following line is the next one of its segment, or the segment's first line after its
// last (closed outlines turn back to their start). When the following line starts 15 pixels
// or more from this line's end, the pair is marked as a gap (turn 2, turnAngle 10.0).
// Otherwise turnAngle is the angle between the two lines' directions (radians, 0..π) and turn
// is 1 when the cross product of the directions is >= 0, else −1. A line of zero length counts
// as not turning (turnAngle 0). `used` starts false.
std::vector<Info> computeTurnInfo(const std::vector<LineSegment>& lines,
                                  const std::vector<int>& firstLineOfSegment);

}  // namespace ced
