#pragma once

#include <QSize>
#include <QString>

// Capture quality of a session. `high` is the session's own default: the
// best mode up to 1920 x 1080 at 30 fps, so a 1080p take needs no restart.
enum class SessionPreset { high, p640x480, p1280x720, p1920x1080, p3840x2160 };

namespace SessionPresets {
// Frame size a preset asks the camera for; `high` has none of its own.
QSize frameSize(SessionPreset preset);
QString name(SessionPreset preset);
} // namespace SessionPresets
