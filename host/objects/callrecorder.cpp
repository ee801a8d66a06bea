#include "objects/callrecorder.h"

#include <algorithm>
#include <stdexcept>

namespace wheelhost {

int CallRecorder::count(const std::string& call) const {
  return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
}

void CallRecorder::record(const char* call) {
  calls_.emplace_back(call);
  if (failing_.count(call) != 0) {
    throw std::runtime_error(std::string("stand-in host: ") + call + " failed on request");
  }
}

}  // namespace wheelhost
