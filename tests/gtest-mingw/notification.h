// GoogleTest 1.12 needs std::mutex for its internal Notification, which the
// win32 thread model of mingw-w64 does not have. This stand-in, forced into
// every test compile, takes its place.
#pragma once

#ifdef __cplusplus
#include <atomic>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) Sleep(1);
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing
#endif
