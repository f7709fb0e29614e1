#include "platform/media/GstErrorText.h"

QString GstErrorText::of(GstMessage *message, const QString &fallback)
{
    if (!message || GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR) {
        return fallback;
    }
    GError *error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const QString text = of(error, fallback);
    g_clear_error(&error);
    return text;
}

QString GstErrorText::of(const GError *error, const QString &fallback)
{
    return error && error->message ? QString::fromUtf8(error->message) : fallback;
}
