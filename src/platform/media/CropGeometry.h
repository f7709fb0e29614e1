#pragma once

#include <QRect>
#include <QRectF>
#include <QSizeF>

#include <optional>

// Where a recording is cut to reach a target width-to-height ratio. All of it
// works in display coordinates, after the track's rotation.
class CropGeometry {
public:
    // Ratios closer than this count as equal: the picture is kept whole.
    static constexpr double ratioTolerance = 0.01;

    // The centred rectangle of `displaySize` with ratio `targetRatio`, exact
    // (607.5 wide is kept as such); none when the picture already has the ratio
    // or cannot be measured.
    static std::optional<QRectF> cropRect(QSizeF displaySize, double targetRatio);

    // The rectangle the encoder gets: width and height rounded down to even
    // numbers (4:2:0 needs them), still centred on `exact`.
    static QRect encodedRect(const QRectF &exact, QSizeF displaySize);
};
