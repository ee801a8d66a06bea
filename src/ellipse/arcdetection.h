#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "arcs.h"
#include "records.h"

// Arc detection: runs of consecutive lines of one edge segment that turn the same way by a
// moderate angle are fitted as circular or elliptic arcs.

namespace ced {

// Runs both iterations of arc detection over the lines (the second admits sharper turns and
// only lines the first left unused).
//  - lines, firstLineOfSegment: the line segments; those of edge segment i are
//    [firstLineOfSegment[i], firstLineOfSegment[i + 1]) (segments.size() + 1 entries).
//  - infos: one per line (turn to the next line); `used` is set for lines taken by arcs.
//  - segments: the edge segments' pixels (x = column, y = row); a line's pixels are
//    segments[line.segmentIndex][line.firstPixel .. + line.len).
//  - buffer: arc and candidate pixels are copied here and the cursor advanced past them.
//  - candidates: runs that close a whole circle or ellipse are appended here.
//  - arcs: the arcs found (list 1), appended.
//  - width, height: of the image; a line at least max(width, height)/5 long never starts or
//    extends a run.
void detectArcs(const std::vector<LineSegment>& lines, std::vector<Info>& infos,
                const std::vector<int>& firstLineOfSegment,
                const std::vector<std::vector<cv::Point>>& segments, PixelBuffer& buffer,
                CandidateList& candidates, ArcList& arcs, int width, int height);

}  // namespace ced
