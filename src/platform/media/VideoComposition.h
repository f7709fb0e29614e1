#pragma once

#include <QRectF>
#include <QSizeF>

// How the exported video is rendered: the part of the upright picture that is
// kept and the frame rate. The render size is the crop's size, unrounded.
struct VideoComposition {
    QRectF cropRect; // display coordinates, after the track's rotation
    int frameDurationValue = 1;
    int frameDurationTimescale = 30;

    QSizeF renderSize() const { return cropRect.size(); }
    double framesPerSecond() const { return double(frameDurationTimescale) / frameDurationValue; }
};
