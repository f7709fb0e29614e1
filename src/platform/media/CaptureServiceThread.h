#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

// The capture service's own thread: bus messages, recording teardown and the
// finished-file reports run here, never on a streaming thread.
class CaptureServiceThread {
public:
    CaptureServiceThread();
    ~CaptureServiceThread(); // drops tasks not yet run, then joins

    void post(std::function<void()> task);
    void postAfter(std::chrono::milliseconds delay, std::function<void()> task);
    bool isCurrentThread() const;

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> m_tasks;
    bool m_stopping = false;
    std::thread m_thread;
};
