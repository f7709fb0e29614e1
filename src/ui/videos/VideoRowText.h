#pragma once

#include <QFontMetrics>
#include <QString>

// The path text of one video row.
class VideoRowText {
public:
    // `path` shortened in the middle to fit `width`, keeping its beginning and
    // the whole file name whenever the file name fits at all.
    static QString elidedPath(const QString &path, const QFontMetrics &metrics, int width);
};
