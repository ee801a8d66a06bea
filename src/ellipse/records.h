#pragma once

#include <memory>
#include <vector>

#include "conic.h"

// The records the stages of the circle and ellipse detector hand to one another. Plain
// structures; the detector creates them while it runs and releases them before it returns.

namespace ced {

// A straight piece of an edge segment: y = a + b·x, or x = a + b·y when `transposed` is 1.
struct LineSegment {
  double a = 0, b = 0;
  int transposed = 0;
  double sx = 0, sy = 0, ex = 0, ey = 0;  // start and end point, on the line
  int segmentIndex = 0;                   // the edge segment it was cut from
  int firstPixel = 0;                     // index of its first pixel within that segment
  int len = 0;                            // number of segment pixels it covers
};

// Turn from one line segment to the next one of the same edge segment.
struct Info {
  int turn = 0;          // 1 or −1; 2 marks a gap between the lines
  double turnAngle = 0;  // radians; 10.0 marks a gap
  bool used = false;     // consumed by an arc
};

// One circle or ellipse candidate. `x` and `y` point into the PixelBuffer (not owned).
struct ShapeCandidate {
  double xc = 0, yc = 0, r = 0, circleError = 0;
  double coverage = 0;  // share of the curve's length that the pixels cover
  double* x = nullptr;
  double* y = nullptr;
  int pixelCount = 0;
  ConicCoefficients eq;
  double ellipseError = 0;
  bool elliptic = false;
  double majorAxis = 0, minorAxis = 0;  // filled by the final joining
};

// A candidate list is the array and its count; the vector is reserved once by its owner.
using CandidateList = std::vector<ShapeCandidate>;

// Appends a circle candidate; `coverage` = pixelCount / (2π·r).
void addCircleCandidate(CandidateList& list, double xc, double yc, double r, double circleError,
                        double* x, double* y, int pixelCount);

// Appends an ellipse candidate; `coverage` = pixelCount / perimeter(eq).
void addEllipseCandidate(CandidateList& list, double xc, double yc, double r, double circleError,
                         double* x, double* y, int pixelCount, const ConicCoefficients& eq,
                         double ellipseError);

// The one store of pixel coordinates (doubles) that arcs and candidates point into. Its
// capacity is fixed at creation and it never reallocates, so those pointers stay valid for
// the buffer's life. Writers copy pixels to x()/y() and call advance() only to keep them.
class PixelBuffer {
 public:
  explicit PixelBuffer(int capacity);
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;

  int capacity() const { return capacity_; }
  int cursor() const { return cursor_; }
  int room() const { return capacity_ - cursor_; }
  // Current write positions.
  double* x() { return x_.get() + cursor_; }
  double* y() { return y_.get() + cursor_; }
  // Keeps the next n written pixels. Reported and clamped to the capacity when n > room().
  void advance(int n);

 private:
  int capacity_ = 0;
  int cursor_ = 0;
  std::unique_ptr<double[]> x_, y_;
};

}  // namespace ced
