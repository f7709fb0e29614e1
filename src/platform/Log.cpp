#include "platform/Log.h"

#include <charconv>
#include <cstdio>
#include <mutex>

namespace {
std::mutex &observerMutex()
{
    static std::mutex mutex;
    return mutex;
}

Log::Observer &observer()
{
    static Log::Observer instance;
    return instance;
}
} // namespace

void Log::line(const QString &text)
{
    const QByteArray utf8 = text.toUtf8() + '\n';
    std::fputs(utf8.constData(), stdout);
    std::fflush(stdout);

    std::lock_guard lock(observerMutex());
    if (observer()) {
        observer()(text);
    }
}

QString Log::flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString Log::number(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, int(result.ptr - buffer));
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')) && !text.contains(QLatin1Char('n'))
        && !text.contains(QLatin1Char('i'))) {
        text += QStringLiteral(".0");
    }
    return text;
}

void Log::setObserver(Observer newObserver)
{
    std::lock_guard lock(observerMutex());
    observer() = std::move(newObserver);
}
