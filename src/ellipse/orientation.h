#pragma once

// Orientation of a direction vector, folded to [0, π] so that opposite directions compare
// equal modulo π. Used to compare an image gradient with a curve normal.

namespace ced {

// The direction of atan2(u, v) (angle measured from the v axis toward the u axis) folded into
// [0, π]. Read from a 1025-entry arctangent table: the result is within 1/1024 rad of the
// exact angle. u = v = 0 gives 0; a NaN component (or two infinite ones) gives NaN.
double orientationAngle(double u, double v);

// atan(i / 1024) for i = 0 .. 1024, from the process-wide table behind orientationAngle().
double atanTableEntry(int i);

}  // namespace ced
