#pragma once

#include <set>
#include <string>
#include <vector>

namespace wheelhost {

// The part every stand-in host object shares: it records the name of each interface call in
// order, and throws on demand to exercise the plug-in's error handling.
class CallRecorder {
 public:
  // The calls made on this object, by operation name ("GetImageData", "Match", ...).
  const std::vector<std::string>& calls() const { return calls_; }
  // How often `call` was made.
  int count(const std::string& call) const;

  // From now on every call of `call` is recorded and then throws std::runtime_error.
  void failOn(const std::string& call) { failing_.insert(call); }

 protected:
  CallRecorder() = default;
  ~CallRecorder() = default;
  // Records `call` and throws when it was set to fail.
  void record(const char* call);

 private:
  std::vector<std::string> calls_;
  std::set<std::string> failing_;
};

}  // namespace wheelhost
