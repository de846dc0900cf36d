// GoogleTest's Notification is built on std::mutex, which the win32 thread
// model of mingw-w64's g++ 12 does not have. GoogleTest uses the class only
// to start the threads of its own self-tests, so a flag polled in a loop is
// all the stand-in needs to be. Put in front of GoogleTest's headers by the
// build of the Windows tests.
#pragma once

#ifdef __cplusplus
#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true); }
    void WaitForNotification() {
        while (!notified_.load()) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace testing::internal
#endif
