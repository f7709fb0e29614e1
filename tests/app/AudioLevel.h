#pragma once

// The loudest sample of a movie file's sound, decoded in full: 0 for silence
// (or no sound at all), up to 1.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QString>

#include <algorithm>
#include <cmath>

namespace AudioLevel {

inline double peak(const QString &path)
{
    GError *error = nullptr;
    GstElement *pipeline
        = gst_parse_launch("filesrc name=src ! qtdemux name=demux demux.audio_0 ! queue ! decodebin ! audioconvert ! "
                           "audio/x-raw,format=F32LE ! appsink name=out sync=false",
            &error);
    g_clear_error(&error);
    if (!pipeline) {
        return 0;
    }
    GstElement *source = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    g_object_set(source, "location", path.toUtf8().constData(), nullptr);
    gst_object_unref(source);
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    double loudest = 0;
    while (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND)) {
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto *samples = reinterpret_cast<const float *>(map.data);
            for (gsize i = 0; i < map.size / sizeof(float); ++i) {
                loudest = std::max(loudest, double(std::fabs(samples[i])));
            }
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return loudest;
}

} // namespace AudioLevel
