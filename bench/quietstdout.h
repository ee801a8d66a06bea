#pragma once

#include <iostream>
#include <sstream>

// The circle and ellipse detector writes one line per construction; a benchmark keeps it out
// of its output by holding one of these while it runs.
class QuietStdout {
 public:
  QuietStdout() : previous_(std::cout.rdbuf(sink_.rdbuf())) {}
  ~QuietStdout() { std::cout.rdbuf(previous_); }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  std::ostringstream sink_;
  std::streambuf* previous_;
};
