#include "platform/media/SessionPreset.h"

QSize SessionPresets::frameSize(SessionPreset preset)
{
    switch (preset) {
    case SessionPreset::p640x480:
        return {640, 480};
    case SessionPreset::p1280x720:
        return {1280, 720};
    case SessionPreset::p1920x1080:
        return {1920, 1080};
    case SessionPreset::p3840x2160:
        return {3840, 2160};
    case SessionPreset::high:
        break;
    }
    return {};
}

QString SessionPresets::name(SessionPreset preset)
{
    switch (preset) {
    case SessionPreset::p640x480:
        return QStringLiteral("640x480");
    case SessionPreset::p1280x720:
        return QStringLiteral("1280x720");
    case SessionPreset::p1920x1080:
        return QStringLiteral("1920x1080");
    case SessionPreset::p3840x2160:
        return QStringLiteral("3840x2160");
    case SessionPreset::high:
        break;
    }
    return QStringLiteral("high");
}
