#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

// A thread of its own that runs posted tasks one after another. The capture
// service runs bus messages, recording teardown and the finished-file reports
// on one, never on a streaming thread; a camera manager configures its
// session on another.
class CaptureServiceThread {
public:
    CaptureServiceThread();
    ~CaptureServiceThread(); // drops tasks not yet run, then joins

    void post(std::function<void()> task);
    void postAfter(std::chrono::milliseconds delay, std::function<void()> task);
    bool isCurrentThread() const;
    // Waits until every task posted before the call has run; false when that
    // takes longer than `timeout`.
    bool drain(std::chrono::milliseconds timeout);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> m_tasks;
    bool m_stopping = false;
    std::thread m_thread;
};
