// Wall-clock backstops for tests that wait on another thread, a load job, a
// device, a sound or another program. A backstop only ends a wait that would
// otherwise hang, and its report names what was waited for: it is far above the
// wait's time under the sanitizers or Wine on a machine whose processors are all
// busy with other work, so it decides no result. CTest's limit on each test
// program is the last backstop.
#pragma once

#include <cstdio>
#include <string>
#include <thread> // the clocks: <chrono> itself does not build with the CP932 execution character set

namespace KorvoTest {

// A wait on work in this process: a job, a thread, window messages, a short sound.
constexpr int kWaitBackstopSeconds = 60;
// A wait on another program under Wine: its start, its window, its end.
constexpr int kProgramBackstopSeconds = 180;

class Backstop {
public:
    Backstop(const char *what, int seconds) : what_(what), seconds_(seconds), start_(Clock::now()) {}

    bool Passed() const { return Clock::now() - start_ >= std::chrono::seconds(seconds_); }
    int Seconds() const { return seconds_; }
    int Milliseconds() const { return seconds_ * 1000; }

    // What was waited for and how long, for a failure message.
    std::string Report() const
    {
        const double waited = std::chrono::duration<double>(Clock::now() - start_).count();
        char text[64];
        std::snprintf(text, sizeof(text), "%.1f s", waited);
        return Passed() ? what_ + ": not over within the backstop of " + std::to_string(seconds_) + " s"
                        : what_ + ": waited " + text;
    }

private:
    using Clock = std::chrono::steady_clock;
    std::string what_;
    int seconds_;
    Clock::time_point start_;
};

} // namespace KorvoTest
