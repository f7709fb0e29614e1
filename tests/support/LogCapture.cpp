#include "support/LogCapture.h"

#include "platform/Log.h"

LogCapture::LogCapture()
{
    Log::setObserver([this](const QString &line) {
        std::lock_guard lock(m_mutex);
        m_lines.append(line);
    });
}

LogCapture::~LogCapture()
{
    Log::setObserver({});
}

QStringList LogCapture::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

bool LogCapture::contains(const QString &line) const
{
    return lines().contains(line);
}

int LogCapture::count(const QString &line) const
{
    return int(lines().count(line));
}

QStringList LogCapture::linesStartingWith(const QString &prefix) const
{
    QStringList found;
    for (const QString &line : lines()) {
        if (line.startsWith(prefix)) {
            found.append(line);
        }
    }
    return found;
}
