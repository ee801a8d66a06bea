#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "vistrel/export.h"

namespace vistrel {

// Receives a failed precondition: the condition's text as written in the code (or a short
// message), and where it was checked. Must not throw.
using AssertHandler = std::function<void(const char* condition, const char* file, int line)>;

// Replaces the process-wide handler and returns the previous one. An empty handler restores
// the default, which writes one line to standard error. Reports are serialised and run under
// the handler's lock: when this returns, the replaced handler is not running on any other
// thread, so what it refers to may be destroyed. A handler must therefore not wait for
// another thread that might report.
VISTREL_EXPORT AssertHandler setAssertHandler(AssertHandler handler);

// Passes a failed condition to the current handler. Execution continues afterwards: a failed
// check is a report, and the caller goes on as it documents (keeps a value, returns empty).
VISTREL_EXPORT void reportAssertion(const char* condition, const char* file, int line);

// Collects every report made while it lives, instead of printing them; restores the previous
// handler on destruction. Meant for tests and for callers that surface reports themselves.
class VISTREL_EXPORT AssertCapture {
 public:
  AssertCapture();
  ~AssertCapture();
  AssertCapture(const AssertCapture&) = delete;
  AssertCapture& operator=(const AssertCapture&) = delete;

  // The reported condition texts, in order.
  std::vector<std::string> messages() const;
  bool contains(const std::string& condition) const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> messages_;
  AssertHandler previous_;
};

}  // namespace vistrel

// Reports `cond` by its text when it is false, then goes on.
#define VISTREL_ASSERT(cond) \
  ((cond) ? static_cast<void>(0) : ::vistrel::reportAssertion(#cond, __FILE__, __LINE__))

// Reports a message unconditionally (an unsupported case reached), then goes on.
#define VISTREL_REPORT(message) ::vistrel::reportAssertion((message), __FILE__, __LINE__)
