#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <type_traits>
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
  struct Store;
  // Shared with the installed handler: captures on several threads may restore each other's
  // handlers out of order, and a handler that outlives its capture must still have a store.
  std::shared_ptr<Store> store_;
  AssertHandler previous_;
};

namespace detail {

inline bool check(bool held, const char* condition, const char* file, int line) {
  if (!held) reportAssertion(condition, file, line);
  return held;
}

// Streams a value for a comparison report: enums as their number, bytes as numbers, not
// characters.
template <typename T>
void printValue(std::ostream& out, const T& value) {
  if constexpr (std::is_enum_v<T>) {
    out << static_cast<long long>(value);
  } else if constexpr (std::is_same_v<T, char> || std::is_same_v<T, signed char> ||
                       std::is_same_v<T, unsigned char>) {
    out << static_cast<int>(value);
  } else {
    out << value;
  }
}

template <typename A, typename B>
bool checkComparison(bool held, const A& a, const B& b, const char* condition, const char* file,
                     int line) {
  if (held) return true;
  std::ostringstream text;
  text << condition << " (";
  printValue(text, a);
  text << " vs ";
  printValue(text, b);
  text << ")";
  reportAssertion(text.str().c_str(), file, line);
  return false;
}

// Evaluates each operand once, compares, and reports both values when the comparison fails.
#define VISTREL_DEFINE_CHECK_OP_(Name, op)                                               \
  template <typename A, typename B>                                                      \
  bool Name(const A& a, const B& b, const char* condition, const char* file, int line) { \
    return checkComparison(a op b, a, b, condition, file, line);                         \
  }
VISTREL_DEFINE_CHECK_OP_(checkEq, ==)
VISTREL_DEFINE_CHECK_OP_(checkNe, !=)
VISTREL_DEFINE_CHECK_OP_(checkLt, <)
VISTREL_DEFINE_CHECK_OP_(checkLe, <=)
VISTREL_DEFINE_CHECK_OP_(checkGt, >)
VISTREL_DEFINE_CHECK_OP_(checkGe, >=)
#undef VISTREL_DEFINE_CHECK_OP_

}  // namespace detail
}  // namespace vistrel

// Reports `cond` by its text when it is false, then goes on.
#define VISTREL_ASSERT(cond) \
  ((cond) ? static_cast<void>(0) : ::vistrel::reportAssertion(#cond, __FILE__, __LINE__))

// Reports `cond` by its text when it is false, then goes on; yields whether it held, so that
// the caller writes the condition once: `if (!VISTREL_CHECK(r >= 0)) return false;`.
#define VISTREL_CHECK(cond) \
  ::vistrel::detail::check(static_cast<bool>(cond), #cond, __FILE__, __LINE__)

// Comparison checks: like VISTREL_CHECK, and the report also gives both values, as in
// "lo <= hi (12 vs 7)". Each operand is evaluated once; both must be printable with <<.
#define VISTREL_CHECK_EQ(a, b) \
  ::vistrel::detail::checkEq((a), (b), #a " == " #b, __FILE__, __LINE__)
#define VISTREL_CHECK_NE(a, b) \
  ::vistrel::detail::checkNe((a), (b), #a " != " #b, __FILE__, __LINE__)
#define VISTREL_CHECK_LT(a, b) ::vistrel::detail::checkLt((a), (b), #a " < " #b, __FILE__, __LINE__)
#define VISTREL_CHECK_LE(a, b) \
  ::vistrel::detail::checkLe((a), (b), #a " <= " #b, __FILE__, __LINE__)
#define VISTREL_CHECK_GT(a, b) ::vistrel::detail::checkGt((a), (b), #a " > " #b, __FILE__, __LINE__)
#define VISTREL_CHECK_GE(a, b) \
  ::vistrel::detail::checkGe((a), (b), #a " >= " #b, __FILE__, __LINE__)

// Reports a message unconditionally (an unsupported case reached), then goes on.
#define VISTREL_REPORT(message) ::vistrel::reportAssertion((message), __FILE__, __LINE__)
