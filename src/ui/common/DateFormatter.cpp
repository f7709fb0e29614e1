#include "ui/common/DateFormatter.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>

#include <cmath>
#include <functional>

const QString DateFormatter::placeholder = QStringLiteral("日期未知");

namespace {
// Runs `edit` over the parts of a date or time format outside quotes.
QString editUnquoted(const QString &format, const std::function<QString(const QString &)> &edit)
{
    QString result;
    QString plain;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'') {
            if (!quoted) {
                result += edit(plain);
                plain.clear();
            }
            quoted = !quoted;
            result += c;
        } else if (quoted) {
            result += c;
        } else {
            plain += c;
        }
    }
    return result + edit(plain);
}

// A day short of the year 9999 in any time zone: four-digit years only.
const double latestSeconds
    = double(QDateTime(QDate(9999, 1, 1), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch()) - 86400.0;
} // namespace

DateFormatter::DateFormatter(const QLocale &locale)
    : m_locale(locale), m_dateFormat(abbreviatedDateFormat(locale)), m_timeFormat(shortTimeFormat(locale))
{
}

bool DateFormatter::isShowable(double secondsSince1970)
{
    // Also keeps the conversion to milliseconds inside a 64-bit integer.
    return std::isfinite(secondsSince1970) && secondsSince1970 >= 0 && secondsSince1970 <= latestSeconds;
}

QString DateFormatter::text(double secondsSince1970) const
{
    if (!isShowable(secondsSince1970)) {
        return placeholder;
    }
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(qint64(std::llround(secondsSince1970 * 1000.0)));
    return m_locale.toString(time.date(), m_dateFormat) + u' ' + m_locale.toString(time.time(), m_timeFormat);
}

QString DateFormatter::abbreviatedDateFormat(const QLocale &locale)
{
    static const QRegularExpression leadingWeekday(QStringLiteral("^[\\s,،]*d{3,4}[\\s,，、،.]*"));
    static const QRegularExpression weekday(QStringLiteral("[\\s,，、،]*d{3,4}"));
    static const QRegularExpression fullMonth(QStringLiteral("M{4}"));
    return editUnquoted(locale.dateFormat(QLocale::LongFormat), [](const QString &part) {
        QString edited = part;
        edited.remove(leadingWeekday).remove(weekday).replace(fullMonth, QStringLiteral("MMM"));
        return edited;
    }).trimmed();
}

QString DateFormatter::shortTimeFormat(const QLocale &locale)
{
    static const QRegularExpression seconds(QStringLiteral("[:.]?s{1,2}"));
    // Qt prints the day-period letter "B" literally; AM/PM is the nearest it has.
    static const QRegularExpression dayPeriod(QStringLiteral("B+"));
    return editUnquoted(locale.timeFormat(QLocale::ShortFormat), [](const QString &part) {
        QString edited = part;
        edited.remove(seconds).replace(dayPeriod, QStringLiteral("AP"));
        return edited;
    }).trimmed();
}
