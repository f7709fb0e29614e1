#pragma once

#include <QFontMetrics>
#include <QString>

// One line of text cut with an ellipsis to fit a width, the way every screen
// cuts it.
class TextElision {
public:
    static QString line(const QString &text, const QFontMetrics &metrics, Qt::TextElideMode mode, int width);
    static QString line(const QString &text, const QFontMetricsF &metrics, Qt::TextElideMode mode, qreal width);

    // A file path shortened in the middle, keeping its beginning and the whole
    // file name whenever the file name fits at all.
    static QString path(const QString &path, const QFontMetrics &metrics, int width);
};
