// A bound on test code that a broken third-party library could make loop for
// ever: unless dismissed (destroyed) within its seconds, the watchdog ends the
// test program with a message, so such a build fails at once instead of at the
// test runner's timeout. Not a timing check: the bound is many times the need.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace SoundTestFiles {

class HangWatchdog {
public:
    HangWatchdog(int seconds, const char *what)
        : thread_([this, seconds, what] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!dismissed_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) {
                  std::fprintf(stderr, "%s did not end within %d s: the library loops for ever\n", what, seconds);
                  std::fflush(stderr);
                  std::_Exit(1);
              }
          })
    {
    }
    ~HangWatchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        dismissed_.notify_one();
        thread_.join();
    }
    HangWatchdog(const HangWatchdog &) = delete;
    HangWatchdog &operator=(const HangWatchdog &) = delete;

private:
    std::mutex mutex_;
    std::condition_variable dismissed_;
    bool done_ = false;
    std::thread thread_; // last: starts once the members above exist
};

} // namespace SoundTestFiles
