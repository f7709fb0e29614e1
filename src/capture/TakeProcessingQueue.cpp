#include "capture/TakeProcessingQueue.h"

#include "platform/media/ExportSession.h"

#include <chrono>
#include <thread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

TakeProcessingQueue::TakeProcessingQueue()
{
    std::thread([state = m_state] { run(state); }).detach();
}

TakeProcessingQueue::~TakeProcessingQueue()
{
    stop();
}

void TakeProcessingQueue::post(Task task)
{
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->isStopping) {
            return;
        }
        m_state->tasks.push_back(std::move(task));
    }
    m_state->changed.notify_all();
}

void TakeProcessingQueue::Worker::setRunningExport(const std::shared_ptr<ExportSession> &session)
{
    std::lock_guard lock(m_state->mutex);
    m_state->runningExport = session;
    // An export started just as the quit came is stopped all the same.
    if (session && m_state->isStopping) {
        session->cancelExport();
    }
}

bool TakeProcessingQueue::Worker::isStopping() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->isStopping;
}

bool TakeProcessingQueue::stop(int timeoutMs)
{
    std::unique_lock lock(m_state->mutex);
    m_state->isStopping = true;
    m_state->tasks.clear();
    if (m_state->runningExport) {
        m_state->runningExport->cancelExport();
    }
    m_state->changed.notify_all();
    return m_state->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_state->hasEnded; });
}

bool TakeProcessingQueue::waitUntilIdle(int timeoutMs) const
{
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
        [this] { return m_state->hasEnded || (m_state->tasks.empty() && !m_state->isRunning); });
}

namespace {
// A take's streaming threads (capture, export, file reads) free tens of MiB in
// glibc arenas that are never handed back by themselves: without this every
// take leaves its buffers' worth of resident memory behind.
void releaseFreedHeap()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
} // namespace

void TakeProcessingQueue::run(const std::shared_ptr<State> &state)
{
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->changed.wait(lock, [&] { return state->isStopping || !state->tasks.empty(); });
        if (state->isStopping) {
            break;
        }
        Task task = std::move(state->tasks.front());
        state->tasks.pop_front();
        state->isRunning = true;
        lock.unlock();
        Worker worker(state);
        task(worker);
        // The task's captures go before the queue counts as idle.
        task = nullptr;
        releaseFreedHeap();
        lock.lock();
        state->isRunning = false;
        state->runningExport.reset();
        state->changed.notify_all();
    }
    state->hasEnded = true;
    state->changed.notify_all();
}
