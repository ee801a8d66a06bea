#pragma once

#include <set>
#include <string>
#include <vector>

namespace wheelhost {

// The part every stand-in host object shares: it records the name of each interface call in
// order, can also append "<label>.<call>" to a log shared between objects (to check the order
// of calls across objects), and throws on demand to exercise the plug-in's error handling.
class CallRecorder {
 public:
  // The calls made on this object, by operation name ("GetImageData", "Match", ...).
  const std::vector<std::string>& calls() const { return calls_; }
  // How often `call` was made.
  int count(const std::string& call) const;

  // From now on every call of `call` is recorded and then throws std::runtime_error.
  void failOn(const std::string& call) { failing_.insert(call); }

  // Also appends "<label>.<call>" to `log` (not owned; null stops it).
  void shareLog(std::vector<std::string>* log, std::string label);

 protected:
  CallRecorder() = default;
  ~CallRecorder() = default;
  // Records `call` and throws when it was set to fail.
  void record(const char* call);

 private:
  std::vector<std::string> calls_;
  std::set<std::string> failing_;
  std::vector<std::string>* sharedLog_ = nullptr;
  std::string label_;
};

}  // namespace wheelhost
