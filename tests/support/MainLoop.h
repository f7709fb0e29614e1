#pragma once

#include <functional>

// Helpers to let queued main-thread work run inside a test.
class MainLoop {
public:
    // Runs every task already posted to the main thread (and those they post).
    static void drain();
    // Spins the event loop until `done` is true or `timeoutMs` passes.
    static bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000);
    // Spins the event loop for `ms` milliseconds.
    static void spin(int ms);
};
