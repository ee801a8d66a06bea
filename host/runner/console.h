#pragma once

#include <cstdio>

namespace wheelhost {

// True when `stream` is an interactive terminal.
bool isTerminal(std::FILE* stream);

// Keeps wheelhost's results apart from what the plug-in writes to standard output (the
// detector writes a line for each construction, which would break --json). While it lives,
// results() writes to the original standard output, and the process's standard output goes
// to standard error (`pluginOutputVisible`) or nowhere. Restores standard output when
// destroyed. When the redirection is impossible, results() is plain stdout.
class OutputChannels {
 public:
  explicit OutputChannels(bool pluginOutputVisible);
  ~OutputChannels();
  OutputChannels(const OutputChannels&) = delete;
  OutputChannels& operator=(const OutputChannels&) = delete;

  std::FILE* results() const { return results_; }

 private:
  std::FILE* results_ = stdout;
  int restoreFd_ = -1;
};

// A one-line progress bar on a terminal: "[#####.....] 12/40 name". Draws nothing when
// disabled. Call clear() before writing other lines to the same terminal.
class ProgressBar {
 public:
  ProgressBar(std::FILE* stream, int total, bool enabled);
  void show(int done, const char* current);
  void clear();

 private:
  std::FILE* stream_;
  int total_;
  bool enabled_;
  bool drawn_ = false;
};

}  // namespace wheelhost
