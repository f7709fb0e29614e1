#pragma once

#include <QObject>

#include <functional>

// Main-thread dispatch. `context` is the object whose destruction drops the
// task; pass the object the task works on (or qApp for "always").
class MainQueue {
public:
    // Runs `task` on the main thread after the current task; callable from any thread.
    static void post(QObject *context, std::function<void()> task);

    // Runs `task` on the main thread `seconds` from now; call from the main thread.
    static void after(double seconds, QObject *context, std::function<void()> task);
};
