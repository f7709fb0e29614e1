#include "platform/media/MediaRuntime.h"

#include "platform/Log.h"
#include "platform/media/GstErrorText.h"

#include <gst/gst.h>

void MediaRuntime::initialise(int *argc, char ***argv)
{
    GError *error = nullptr;
    if (!gst_init_check(argc, argv, &error)) {
        Log::line(QStringLiteral("❌ 无法初始化 GStreamer: ") + GstErrorText::of(error));
        g_clear_error(&error);
    }
}
