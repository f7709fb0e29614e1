#pragma once

#include <QLocale>
#include <QString>

// Writes a stored point in time (seconds since 1970, UTC) the way the library
// lists show it: the locale's long date without the weekday and with short
// month names, then its short time without seconds, in local time. A time a
// damaged library may hold (not finite, before 1970, past the year 9999)
// shows the placeholder instead.
class DateFormatter {
public:
    static const QString placeholder;

    explicit DateFormatter(const QLocale &locale = QLocale());

    QString text(double secondsSince1970) const;

    static bool isShowable(double secondsSince1970);
    static QString abbreviatedDateFormat(const QLocale &locale);
    static QString shortTimeFormat(const QLocale &locale);

private:
    QLocale m_locale;
    QString m_dateFormat;
    QString m_timeFormat;
};
