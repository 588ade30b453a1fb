#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace sorvi {

// A counting semaphore with a timed wait on the monotonic clock. Used in
// place of std::counting_semaphore because the libstdc++ of Debian 12
// (GCC 12) has known lost-wake-up bugs in it (GCC PR 98033, PR 104928),
// which here would turn a finished recognition into a timeout.
class TimedSemaphore {
 public:
  explicit TimedSemaphore(std::ptrdiff_t count) : count_(count) {}

  void release() {
    {
      const std::lock_guard lock(mutex_);
      ++count_;
    }
    changed_.notify_one();
  }

  // Takes one unit, waiting until `deadline` at most; false on timeout.
  bool tryAcquireUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_until(lock, deadline, [this] { return count_ > 0; })) {
      return false;
    }
    --count_;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::ptrdiff_t count_;
};

}  // namespace sorvi
