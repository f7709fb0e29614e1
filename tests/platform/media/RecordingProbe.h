#pragma once

#include "platform/media/MovieFileOutput.h"

#include <QElapsedTimer>
#include <QThread>

#include <mutex>

// Collects the finished-file reports of a MovieFileOutput (they arrive on the
// capture service's thread).
class FinishedReports {
public:
    MovieFileOutput::RecordingDelegate delegate()
    {
        return [this](const QString &path, const std::optional<QString> &error) {
            std::lock_guard lock(m_mutex);
            ++m_count;
            m_path = path;
            m_error = error;
        };
    }

    int count() const
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }
    QString path() const
    {
        std::lock_guard lock(m_mutex);
        return m_path;
    }
    std::optional<QString> error() const
    {
        std::lock_guard lock(m_mutex);
        return m_error;
    }

    bool waitFor(int wanted, int timeoutMs = 30000) const
    {
        QElapsedTimer timer;
        timer.start();
        while (count() < wanted && timer.elapsed() < timeoutMs) {
            QThread::msleep(10);
        }
        return count() >= wanted;
    }

private:
    mutable std::mutex m_mutex;
    int m_count = 0;
    QString m_path;
    std::optional<QString> m_error;
};
