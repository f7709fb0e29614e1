#include "ui/common/TextElision.h"

QString TextElision::line(const QString &text, const QFontMetrics &metrics, Qt::TextElideMode mode, int width)
{
    return metrics.elidedText(text, mode, width);
}

QString TextElision::line(const QString &text, const QFontMetricsF &metrics, Qt::TextElideMode mode, qreal width)
{
    return metrics.elidedText(text, mode, width);
}

QString TextElision::path(const QString &path, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(path) <= width) {
        return path;
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString tail = slash >= 0 ? path.mid(slash) : QString();
    const int tailWidth = metrics.horizontalAdvance(tail);
    if (!tail.isEmpty() && tailWidth < width) {
        // The folders cut at their end ("/home/us…"), then the file name.
        const QString shown = line(path.left(slash), metrics, Qt::ElideRight, width - tailWidth) + tail;
        // Joined, two runs can come out a pixel wider than apart.
        if (metrics.horizontalAdvance(shown) <= width) {
            return shown;
        }
    }
    return line(path, metrics, Qt::ElideMiddle, width);
}
