#pragma once

#include <QString>
#include <QStringList>

#include <mutex>

// Collects the log lines written while it lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();

    QStringList lines() const;
    bool contains(const QString &line) const;
    int count(const QString &line) const;
    QStringList linesStartingWith(const QString &prefix) const;

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
};
