#pragma once

#include <QString>

#include <gst/gst.h>

// The text of a GStreamer error, the way our log lines show it.
class GstErrorText {
public:
    // The message of an error message on a bus; `fallback` when it has none.
    static QString of(GstMessage *message, const QString &fallback = QStringLiteral("unknown"));
    static QString of(const GError *error, const QString &fallback = QStringLiteral("unknown"));
};
