#pragma once

#include <QString>
#include <cstdio>
#include <functional>

#include "runner/options.h"
#include "runner/outcome.h"

namespace wheelhost {

// Where wheelhost runs: its own folder, the default sample set, and its two output streams.
struct RunnerEnvironment {
  QString executableDir;
  QString defaultSamples;
  std::FILE* results = stdout;   // per-image lines and (in text mode) the summary
  std::FILE* messages = stderr;  // errors, warnings, progress, the plug-in's log with --verbose
  bool messagesIsTerminal = false;
  // Called with each image's outcome, in input order, after its line is written (optional).
  std::function<void(const ImageOutcome&)> onOutcome;
};

// Runs the plug-in over the images the options name (or the sample set) and reports. Returns
// the exit status: 0 every image analysed, 1 some image failed, 2 unusable arguments. Needs a
// running QGuiApplication (the result records hold pixmaps). Options --help and --version are
// the caller's.
int runWheelhost(const RunnerOptions& options, const RunnerEnvironment& env);

}  // namespace wheelhost
