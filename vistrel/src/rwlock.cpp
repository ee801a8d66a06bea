// Portable RwLock on std::shared_mutex. A Windows build may replace this file with one that
// treats the lock word as an SRWLOCK (InitializeSRWLock / AcquireSRWLockExclusive / ...); the
// header does not change.
#include "vistrel/rwlock.h"

#include <shared_mutex>

namespace vistrel {
namespace {

std::shared_mutex& mutexOf(void* word) { return *static_cast<std::shared_mutex*>(word); }

}  // namespace

RwLock::RwLock() : word_(new std::shared_mutex) {}

RwLock::~RwLock() { delete static_cast<std::shared_mutex*>(word_); }

void RwLock::lockExclusive() {
  mutexOf(word_).lock();
  exclusive_.store(true, std::memory_order_release);
}

void RwLock::unlockExclusive() {
  // Cleared while still held: clearing after the release could wipe the next owner's mark.
  exclusive_.store(false, std::memory_order_release);
  mutexOf(word_).unlock();
}

void RwLock::lockShared() { mutexOf(word_).lock_shared(); }

void RwLock::unlockShared() { mutexOf(word_).unlock_shared(); }

}  // namespace vistrel
