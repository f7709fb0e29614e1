#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class ExportSession;

// One worker that finishes takes one after another (crop, thumbnail), away
// from the capture service's thread so that the next take's start and stop
// never wait for it. stop() ends the work early for a quit.
class TakeProcessingQueue {
public:
    class Worker;
    using Task = std::function<void(Worker &worker)>;

    TakeProcessingQueue();
    ~TakeProcessingQueue(); // stop()
    TakeProcessingQueue(const TakeProcessingQueue &) = delete;
    TakeProcessingQueue &operator=(const TakeProcessingQueue &) = delete;

    // Runs `task` on the worker after those posted before; dropped once stopped.
    void post(Task task);

    // Drops the tasks not yet begun, cancels the running export and waits up
    // to `timeoutMs` for the running task to return. Returns whether it did.
    bool stop(int timeoutMs = defaultStopTimeoutMs);

    // Waits until no task is queued or running (tests).
    bool waitUntilIdle(int timeoutMs) const;

    static constexpr int defaultStopTimeoutMs = 10000;

private:
    // Shared with the worker thread, which may outlive the queue when a task
    // does not return in time.
    struct State {
        mutable std::mutex mutex;
        mutable std::condition_variable changed;
        std::deque<Task> tasks;
        bool isRunning = false;
        bool isStopping = false;
        bool hasEnded = false;
        std::shared_ptr<ExportSession> runningExport;
    };
    static void run(const std::shared_ptr<State> &state);

    std::shared_ptr<State> m_state = std::make_shared<State>();

public:
    // What a running task may ask of its queue. It never reaches the queue
    // object itself, which may be gone by then.
    class Worker {
    public:
        // The export the task now waits for, or none; stop() cancels it.
        void setRunningExport(const std::shared_ptr<ExportSession> &session);
        // True once a quit has begun: what is left waits for the next start.
        bool isStopping() const;

    private:
        friend class TakeProcessingQueue;
        explicit Worker(std::shared_ptr<State> state) : m_state(std::move(state)) { }
        std::shared_ptr<State> m_state;
    };
};
