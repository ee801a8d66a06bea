#pragma once

// What every fuzz target shares: a quiet process (reports and log lines are expected on
// hostile input, and writing them would only slow the run), Qt's GUI application for the
// pixmaps of the result record, and images built from the fuzzer's bytes.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <opencv2/core.hpp>
#include <string>

namespace fuzzsupport {

// Silences the assertion reports, Qt's message channels and OpenCV's log, and pins OpenCV to
// one thread, once per process.
void quietProcess();

// Creates the offscreen QGuiApplication once; pixmaps need it.
void ensureGuiApplication();

// An image of `type` (CV_8UC1 .. CV_8UC4) of 0..maxSide pixels per side: either the fuzzer's
// bytes repeated over it, or a disc or ring of fuzzed geometry and contrast with noise, so
// that the detectors also see edges they can follow.
cv::Mat image(FuzzedDataProvider& in, int maxSide, int type);

// Aborts with `what` when a property that must hold does not: libFuzzer records the input.
[[noreturn]] void fail(const char* what);
inline void require(bool holds, const char* what) {
  if (!holds) fail(what);
}

// A directory of its own under the system's temporary directory, for targets that read files.
const std::string& scratchDirectory();

}  // namespace fuzzsupport
