#pragma once

#include <atomic>

#include "vistrel/export.h"

namespace vistrel {

// A reader/writer lock for the module registry and the instance factories.
//
// The lock word is pointer-sized so that the Windows build can keep a slim reader/writer lock
// (SRWLOCK, zero when unlocked) in it directly; the portable build in rwlock.cpp keeps its
// std::shared_mutex there. Only rwlock.cpp knows which, so swapping the platform touches one file.
// Not recursive: a thread that holds the lock must not take it again in either mode.
class VISTREL_EXPORT RwLock {
 public:
  RwLock();
  ~RwLock();
  RwLock(const RwLock&) = delete;
  RwLock& operator=(const RwLock&) = delete;

  void lockExclusive();
  void unlockExclusive();
  void lockShared();
  void unlockShared();

  // True between an exclusive acquisition and its release. A diagnostic, not a try-lock.
  bool isLockedExclusive() const noexcept { return exclusive_.load(std::memory_order_acquire); }

 private:
  void* word_ = nullptr;
  std::atomic<bool> exclusive_{false};
};

// Holds a lock exclusively for the rest of the enclosing block.
class ScopedExclusiveLock {
 public:
  explicit ScopedExclusiveLock(RwLock& lock) : lock_(lock) { lock_.lockExclusive(); }
  ~ScopedExclusiveLock() { lock_.unlockExclusive(); }
  ScopedExclusiveLock(const ScopedExclusiveLock&) = delete;
  ScopedExclusiveLock& operator=(const ScopedExclusiveLock&) = delete;

 private:
  RwLock& lock_;
};

// Holds a lock in shared mode for the rest of the enclosing block.
class ScopedSharedLock {
 public:
  explicit ScopedSharedLock(RwLock& lock) : lock_(lock) { lock_.lockShared(); }
  ~ScopedSharedLock() { lock_.unlockShared(); }
  ScopedSharedLock(const ScopedSharedLock&) = delete;
  ScopedSharedLock& operator=(const ScopedSharedLock&) = delete;

 private:
  RwLock& lock_;
};

}  // namespace vistrel
