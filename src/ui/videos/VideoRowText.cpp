#include "ui/videos/VideoRowText.h"

namespace {
const QString ellipsis = QStringLiteral("…");
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
