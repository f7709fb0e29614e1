#include "platform/media/CropGeometry.h"

#include <algorithm>
#include <cmath>

std::optional<QRectF> CropGeometry::cropRect(QSizeF displaySize, double targetRatio)
{
    const double w = std::abs(displaySize.width());
    const double h = std::abs(displaySize.height());
    if (!(w > 0.0) || !(h > 0.0) || !(targetRatio > 0.0) || !std::isfinite(targetRatio)) {
        return std::nullopt;
    }
    const double r = w / h;
    const double t = targetRatio;
    if (std::abs(r - t) < ratioTolerance) {
        return std::nullopt;
    }
    if (t < r) {
        return QRectF((w - t * h) / 2.0, 0.0, t * h, h);
    }
    return QRectF(0.0, (h - w / t) / 2.0, w, w / t);
}

QRect CropGeometry::encodedRect(const QRectF &exact, QSizeF displaySize)
{
    const auto evenDown = [](double value) { return std::max(2, int(std::floor(value / 2.0)) * 2); };
    const int fullWidth = int(std::lround(displaySize.width()));
    const int fullHeight = int(std::lround(displaySize.height()));
    const int width = std::min(evenDown(exact.width()), fullWidth);
    const int height = std::min(evenDown(exact.height()), fullHeight);
    // Centre of the exact rectangle, snapped so the margins stay whole pixels.
    const int x = std::clamp(int(std::lround(exact.center().x() - width / 2.0)), 0, std::max(0, fullWidth - width));
    const int y = std::clamp(int(std::lround(exact.center().y() - height / 2.0)), 0, std::max(0, fullHeight - height));
    return QRect(x, y, width, height);
}
