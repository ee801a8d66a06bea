#include "vistrel/assert.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vistrel {
namespace {

struct HandlerSlot {
  std::mutex mutex;
  AssertHandler handler;
};

HandlerSlot& slot() {
  static HandlerSlot s;
  return s;
}

void writeToStderr(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "vistrel: check failed: %s (%s:%d)\n", condition, file, line);
}

}  // namespace

AssertHandler setAssertHandler(AssertHandler handler) {
  HandlerSlot& s = slot();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::swap(s.handler, handler);
  return handler;
}

void reportAssertion(const char* condition, const char* file, int line) {
  HandlerSlot& s = slot();
  AssertHandler handler;
  {
    // Call outside the lock so that a handler may itself report or swap handlers.
    std::lock_guard<std::mutex> lock(s.mutex);
    handler = s.handler;
  }
  if (handler) {
    handler(condition, file, line);
  } else {
    writeToStderr(condition, file, line);
  }
}

AssertCapture::AssertCapture() {
  previous_ = setAssertHandler([this](const char* condition, const char*, int) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.emplace_back(condition);
  });
}

AssertCapture::~AssertCapture() { setAssertHandler(std::move(previous_)); }

std::vector<std::string> AssertCapture::messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

bool AssertCapture::contains(const std::string& condition) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::find(messages_.begin(), messages_.end(), condition) != messages_.end();
}

void AssertCapture::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.clear();
}

}  // namespace vistrel
