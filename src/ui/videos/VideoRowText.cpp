#include "ui/videos/VideoRowText.h"

#include <QDateTime>
#include <QRegularExpression>

namespace {
const QString ellipsis = QStringLiteral("…");
}

QString VideoRowText::abbreviatedDateFormat(const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    // Drop the weekday together with the separator that ties it to the date.
    static const QRegularExpression weekday(QStringLiteral("\\s*d{4}[,，、]?\\s*|[,，、]?\\s*d{4}"));
    format.remove(weekday);
    static const QRegularExpression fullMonth(QStringLiteral("M{4}"));
    format.replace(fullMonth, QStringLiteral("MMM"));
    return format.trimmed();
}

QString VideoRowText::createdAtText(double secondsSince1970, const QLocale &locale)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(qint64(secondsSince1970 * 1000.0));
    return locale.toString(time.date(), abbreviatedDateFormat(locale)) + QLatin1Char(' ')
        + locale.toString(time.time(), shortTimeFormat(locale));
}

QString VideoRowText::shortTimeFormat(const QLocale &locale)
{
    // Some locales' short time still carries seconds ("HH:mm:ss" in C).
    QString format = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("[:.]s{1,2}|s{1,2}[:.]?"));
    format.remove(seconds);
    return format.trimmed();
}

QString VideoRowText::elidedPath(const QString &path, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(path) <= width) {
        return path;
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString tail = slash >= 0 ? path.mid(slash) : QString();
    const int tailWidth = metrics.horizontalAdvance(ellipsis + tail);
    if (tail.isEmpty() || tailWidth >= width) {
        return metrics.elidedText(path, Qt::ElideMiddle, width);
    }
    // The longest beginning that still leaves room for "…/name.mp4".
    const QString head = path.left(slash);
    qsizetype low = 0, high = head.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(head.left(mid)) + tailWidth <= width) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    if (low > 0 && head.at(low - 1).isHighSurrogate()) {
        --low;
    }
    return head.left(low) + ellipsis + tail;
}
