#include "platform/media/MediaRuntime.h"

#include "platform/Log.h"

#include <gst/gst.h>

void MediaRuntime::initialise(int *argc, char ***argv)
{
    GError *error = nullptr;
    if (!gst_init_check(argc, argv, &error)) {
        Log::line(QStringLiteral("❌ 无法初始化 GStreamer: ") + QString::fromUtf8(error ? error->message : "unknown"));
        g_clear_error(&error);
    }
}
