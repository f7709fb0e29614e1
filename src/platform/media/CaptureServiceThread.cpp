#include "platform/media/CaptureServiceThread.h"

#include <future>

CaptureServiceThread::CaptureServiceThread() : m_thread([this] { run(); })
{
}

CaptureServiceThread::~CaptureServiceThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_tasks.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CaptureServiceThread::post(std::function<void()> task)
{
    postAfter(std::chrono::milliseconds(0), std::move(task));
}

void CaptureServiceThread::postAfter(std::chrono::milliseconds delay, std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            return;
        }
        m_tasks.emplace(std::chrono::steady_clock::now() + delay, std::move(task));
    }
    m_wake.notify_all();
}

bool CaptureServiceThread::isCurrentThread() const
{
    return std::this_thread::get_id() == m_thread.get_id();
}

bool CaptureServiceThread::drain(std::chrono::milliseconds timeout)
{
    if (isCurrentThread()) {
        return false;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> reached = done->get_future();
    post([done] { done->set_value(); });
    return reached.wait_for(timeout) == std::future_status::ready;
}

void CaptureServiceThread::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_tasks.empty()) {
            m_wake.wait(lock);
            continue;
        }
        const auto due = m_tasks.begin()->first;
        if (due > std::chrono::steady_clock::now()) {
            m_wake.wait_until(lock, due);
            continue;
        }
        auto task = std::move(m_tasks.begin()->second);
        m_tasks.erase(m_tasks.begin());
        lock.unlock();
        task();
        lock.lock();
    }
}
