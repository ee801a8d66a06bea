#pragma once

#include "runner/options.h"
#include "runner/runner.h"

namespace wheelhost {

// wheelhost --sweep GRID: runs the plug-in over the images of `options` (with its --jobs) once
// as given and once per setting of the grid (options.sweep, see parseGrid), each setting laid
// over --params and --set, and prints per setting the share of images with truth located
// within 1 % of the radius, the centre error median and worst, the radius error median and the
// analysis time per image. With --best FILE the best setting, over the parameters, is written
// as a parameter file. Returns 0, or 2 for unusable arguments (a bad grid, no truth).
int runPluginSweep(const RunnerOptions& options, const RunnerEnvironment& env);

}  // namespace wheelhost
