#include "vistrel/assert.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vistrel {
namespace {

// The handler runs under the slot's lock, so that once setAssertHandler has returned, the
// handler it replaced is neither running nor about to run on any thread: an AssertCapture can
// be destroyed while other threads report. Recursive, so that a handler may itself report or
// swap handlers on its own thread.
struct HandlerSlot {
  std::recursive_mutex mutex;
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
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  std::swap(s.handler, handler);
  return handler;
}

void reportAssertion(const char* condition, const char* file, int line) {
  HandlerSlot& s = slot();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  if (s.handler) {
    // A copy: the handler may replace itself while it runs.
    const AssertHandler handler = s.handler;
    handler(condition, file, line);
  } else {
    writeToStderr(condition, file, line);
  }
}

struct AssertCapture::Store {
  std::mutex mutex;
  std::vector<std::string> messages;
};

AssertCapture::AssertCapture() : store_(std::make_shared<Store>()) {
  previous_ = setAssertHandler([store = store_](const char* condition, const char*, int) {
    std::lock_guard<std::mutex> lock(store->mutex);
    store->messages.emplace_back(condition);
  });
}

AssertCapture::~AssertCapture() { setAssertHandler(std::move(previous_)); }

std::vector<std::string> AssertCapture::messages() const {
  std::lock_guard<std::mutex> lock(store_->mutex);
  return store_->messages;
}

bool AssertCapture::contains(const std::string& condition) const {
  std::lock_guard<std::mutex> lock(store_->mutex);
  return std::find(store_->messages.begin(), store_->messages.end(), condition) !=
         store_->messages.end();
}

void AssertCapture::clear() {
  std::lock_guard<std::mutex> lock(store_->mutex);
  store_->messages.clear();
}

}  // namespace vistrel
