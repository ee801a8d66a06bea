#pragma once

#include <string>

// The hard-scene set on disk, for wheelsweep and wheelhost: two set folders under `dir`,
// "bright" (rim brighter than the belt) and "dark", each with images/ (PNG), truth.json (centre
// and radius in OpenCV pixels) and params.json (the polarity of its rims, "filterSize" 100).
namespace wheelhost::samples {

// Writes the set (rendering takes some seconds). Returns false and sets `error` naming the file
// when a file cannot be written.
bool writeHardSceneSet(const std::string& dir, std::string* error);

}  // namespace wheelhost::samples
