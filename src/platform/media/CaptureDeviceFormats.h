#pragma once

#include "platform/media/GstPtr.h"
#include "platform/media/SessionPreset.h"

#include <QSize>
#include <QString>

#include <gst/gst.h>

#include <optional>

// How a camera delivers its pictures: raw frames, or JPEG pictures that the
// session decodes (most USB webcams give 720p and 1080p at 30 fps only so).
enum class CaptureEncoding { raw, jpeg };

struct CaptureMode {
    QSize size; // empty: whatever the camera gives
    CaptureEncoding encoding = CaptureEncoding::raw;
    double framesPerSecond = 0; // the fastest the camera offers at this size; 0 if it does not say

    friend bool operator==(const CaptureMode &, const CaptureMode &) = default;
};

// Reading a camera's formats (its caps) and choosing one. Null caps mean a
// camera that does not say what it can do: it is asked for raw frames.
namespace CaptureDeviceFormats {

constexpr double wantedFramesPerSecond = 30;

// The fastest rate the camera offers for `size` in `encoding`: nullopt when it
// cannot give that size so, 0 when it gives it without naming a rate. Grey
// raw formats do not count.
std::optional<double> maxFrameRate(const GstCaps *caps, CaptureEncoding encoding, QSize size);

// The way to get exactly `size`: raw when raw reaches 30 fps, otherwise JPEG
// when that does, otherwise the faster of the two. nullopt when the camera
// cannot give the size at all.
std::optional<CaptureMode> modeFor(const GstCaps *caps, QSize size);

// The mode a session preset asks of the camera. `high` is the best mode up
// to 1920 x 1080 at 30 fps. A size the camera cannot give falls back to the
// best usual size below it, or the smallest above it when there is none.
CaptureMode modeForPreset(const GstCaps *caps, SessionPreset preset);

// Caps for the filter behind the camera's source: the mode's size, at 30 fps
// when the camera can, at its own rate otherwise.
GstCapsPtr sourceCaps(const CaptureMode &mode);

// Whether the camera offers a picture in colour (or does not say); cameras
// with only grey formats are the infrared ones of laptops.
bool offersColour(const GstCaps *caps);

// The JPEG decoder to use: a hardware one when it is present and decodes a
// test picture, otherwise "jpegdec". Decided once per process.
QString jpegDecoderFactory();

} // namespace CaptureDeviceFormats
