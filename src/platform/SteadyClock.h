#pragma once

#include <chrono>

// Seconds on the monotonic clock. The capture, the listener and the screen
// all stamp their times with it, so a time from one compares with the others.
class SteadyClock {
public:
    static double now()
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
};
