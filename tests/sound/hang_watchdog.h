// A bound on test code that a broken third-party library could make loop for
// ever. The test names each unit of work (one decode) as it begins it; a unit
// that has not ended when the next begins or the watchdog is destroyed within
// its seconds ends the test program with a message naming that unit, since
// the work cannot be stopped from outside. A build whose copy of the library
// loops then fails within those seconds instead of at the test runner's
// timeout. Not a timing check: a unit takes milliseconds, and the bound is far
// above its time under the sanitizers on a machine busy with other work.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace SoundTestFiles {

class HangWatchdog {
public:
    explicit HangWatchdog(int secondsPerUnit)
        : seconds_(secondsPerUnit), thread_([this] { Watch(); })
    {
    }
    ~HangWatchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        changed_.notify_one();
        thread_.join();
    }
    HangWatchdog(const HangWatchdog &) = delete;
    HangWatchdog &operator=(const HangWatchdog &) = delete;

    // The previous unit has ended; `what` begins, with a bound of its own.
    void Time(std::string what)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            what_ = std::move(what);
            deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds_);
            ++unit_;
        }
        changed_.notify_one();
    }

private:
    void Watch()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            if (unit_ == 0) {
                changed_.wait(lock);
                continue;
            }
            const unsigned unit = unit_;
            const auto deadline = deadline_;
            if (!changed_.wait_until(lock, deadline, [this, unit] { return done_ || unit_ != unit; })) {
                std::fprintf(stderr, "%s did not end within %d s (one unit of work, bounded alone): ending the test program\n",
                             what_.c_str(), seconds_);
                std::fflush(stderr);
                std::_Exit(1);
            }
        }
    }

    const int seconds_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string what_;
    std::chrono::steady_clock::time_point deadline_;
    unsigned unit_ = 0; // 0: nothing timed yet
    bool done_ = false;
    std::thread thread_; // last: starts once the members above exist
};

} // namespace SoundTestFiles
