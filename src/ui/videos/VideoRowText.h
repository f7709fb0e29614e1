#pragma once

#include <QFontMetrics>
#include <QLocale>
#include <QString>

// The texts of one video row.
class VideoRowText {
public:
    // The recording time in the locale's abbreviated date ("2025年3月3日",
    // "Mar 3, 2025") followed by its short time, in local time.
    static QString createdAtText(double secondsSince1970, const QLocale &locale = QLocale());

    // `path` shortened in the middle to fit `width`, keeping its beginning and
    // the whole file name whenever the file name fits at all.
    static QString elidedPath(const QString &path, const QFontMetrics &metrics, int width);

    // The locale's long date pattern without the weekday and with short month names.
    static QString abbreviatedDateFormat(const QLocale &locale);
    // The locale's short time pattern, hours and minutes only.
    static QString shortTimeFormat(const QLocale &locale);
};
