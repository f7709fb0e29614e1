#pragma once

// Reads a recorded file back: streams, duration, decoded frames. Header-only so
// the media layer's tests can share it.
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include <QList>
#include <QString>

#include <algorithm>
#include <optional>

struct MediaProbe {
    bool readable = false;
    double durationSeconds = 0;
    bool seekable = false;
    QString videoCodec; // e.g. "video/x-h264"
    QString chromaFormat; // e.g. "4:2:0"
    int width = 0;
    int height = 0;
    QString audioCodec; // e.g. "audio/mpeg"
    int audioMpegVersion = 0;
    int decodedVideoFrames = 0;
    double firstVideoSeconds = -1;
    double lastVideoSeconds = -1;
    int decodedAudioBuffers = 0;
    double firstAudioSeconds = -1;
    qint64 videoBytes = 0; // compressed
    QString decodeError;

    QList<double> videoSeconds; // of each decoded picture

    // From the usual time between two pictures: a picture a loaded machine
    // dropped does not change it.
    double framesPerSecond() const
    {
        QList<double> gaps;
        for (qsizetype index = 1; index < videoSeconds.size(); ++index) {
            gaps << videoSeconds[index] - videoSeconds[index - 1];
        }
        if (gaps.isEmpty()) {
            return 0;
        }
        std::sort(gaps.begin(), gaps.end());
        const double usual = gaps[gaps.size() / 2];
        return usual > 0 ? 1 / usual : 0;
    }
    double videoKbps() const
    {
        const double span = lastVideoSeconds - firstVideoSeconds;
        return span > 0 ? double(videoBytes) * 8 / 1000 / (span + 1 / framesPerSecond()) : 0;
    }

    static MediaProbe read(const QString &path, bool decode = true)
    {
        MediaProbe probe;
        GError *error = nullptr;
        GstDiscoverer *discoverer = gst_discoverer_new(10 * GST_SECOND, &error);
        g_clear_error(&error);
        gchar *uri = gst_filename_to_uri(path.toUtf8().constData(), nullptr);
        GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, uri, &error);
        g_clear_error(&error);
        g_free(uri);
        if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
            probe.readable = true;
            probe.durationSeconds = double(gst_discoverer_info_get_duration(info)) / GST_SECOND;
            probe.seekable = gst_discoverer_info_get_seekable(info);
            GList *streams = gst_discoverer_info_get_stream_list(info);
            for (GList *item = streams; item; item = item->next) {
                auto *stream = GST_DISCOVERER_STREAM_INFO(item->data);
                GstCaps *caps = gst_discoverer_stream_info_get_caps(stream);
                const GstStructure *s = gst_caps_get_structure(caps, 0);
                const QString name = QString::fromUtf8(gst_structure_get_name(s));
                if (name.startsWith(QLatin1String("video/"))) {
                    probe.videoCodec = name;
                    if (const gchar *chroma = gst_structure_get_string(s, "chroma-format")) {
                        probe.chromaFormat = QString::fromUtf8(chroma);
                    }
                    gst_structure_get_int(s, "width", &probe.width);
                    gst_structure_get_int(s, "height", &probe.height);
                } else if (name.startsWith(QLatin1String("audio/"))) {
                    probe.audioCodec = name;
                    gst_structure_get_int(s, "mpegversion", &probe.audioMpegVersion);
                }
                gst_caps_unref(caps);
            }
            gst_discoverer_stream_info_list_free(streams);
        }
        if (info) {
            g_object_unref(info);
        }
        g_object_unref(discoverer);
        if (probe.readable && decode) {
            probe.decode(path);
        }
        return probe;
    }

private:
    void decode(const QString &path)
    {
        const QString description
            = QStringLiteral("filesrc name=src ! qtdemux name=demux "
                             "demux.video_0 ! queue name=coded ! decodebin ! fakesink name=video sync=false ")
            + (audioCodec.isEmpty()
                    ? QString()
                    : QStringLiteral("demux.audio_0 ! queue ! decodebin ! fakesink name=audio sync=false"));
        GError *error = nullptr;
        GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
        g_clear_error(&error);
        if (!pipeline) {
            decodeError = QStringLiteral("no pipeline");
            return;
        }
        GstElement *source = gst_bin_get_by_name(GST_BIN(pipeline), "src");
        g_object_set(source, "location", path.toUtf8().constData(), nullptr);
        gst_object_unref(source);
        attachCounter(pipeline, "video", true);
        attachCounter(pipeline, "audio", false);
        if (GstElement *coded = gst_bin_get_by_name(GST_BIN(pipeline), "coded")) {
            GstPad *pad = gst_element_get_static_pad(coded, "sink");
            gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &MediaProbe::countBytes, this, nullptr);
            gst_object_unref(pad);
            gst_object_unref(coded);
        }
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        GstBus *bus = gst_element_get_bus(pipeline);
        GstMessage *message
            = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!message) {
            decodeError = QStringLiteral("timeout");
        } else {
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
                gst_message_parse_error(message, &error, nullptr);
                decodeError = QString::fromUtf8(error ? error->message : "error");
                g_clear_error(&error);
            }
            gst_message_unref(message);
        }
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }

    void attachCounter(GstElement *pipeline, const char *name, bool video)
    {
        GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), name);
        if (!sink) {
            return;
        }
        GstPad *pad = gst_element_get_static_pad(sink, "sink");
        gst_pad_add_probe(
            pad, GST_PAD_PROBE_TYPE_BUFFER, video ? &MediaProbe::countVideo : &MediaProbe::countAudio, this, nullptr);
        gst_object_unref(pad);
        gst_object_unref(sink);
    }

    static GstPadProbeReturn countVideo(GstPad *, GstPadProbeInfo *info, gpointer data)
    {
        auto *probe = static_cast<MediaProbe *>(data);
        const GstClockTime pts = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
        if (GST_CLOCK_TIME_IS_VALID(pts)) {
            const double seconds = double(pts) / GST_SECOND;
            if (probe->firstVideoSeconds < 0) {
                probe->firstVideoSeconds = seconds;
            }
            probe->lastVideoSeconds = seconds;
            probe->videoSeconds << seconds;
        }
        ++probe->decodedVideoFrames;
        return GST_PAD_PROBE_OK;
    }

    static GstPadProbeReturn countAudio(GstPad *, GstPadProbeInfo *info, gpointer data)
    {
        auto *probe = static_cast<MediaProbe *>(data);
        const GstClockTime pts = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
        if (probe->firstAudioSeconds < 0 && GST_CLOCK_TIME_IS_VALID(pts)) {
            probe->firstAudioSeconds = double(pts) / GST_SECOND;
        }
        ++probe->decodedAudioBuffers;
        return GST_PAD_PROBE_OK;
    }

    static GstPadProbeReturn countBytes(GstPad *, GstPadProbeInfo *info, gpointer data)
    {
        static_cast<MediaProbe *>(data)->videoBytes += qint64(gst_buffer_get_size(GST_PAD_PROBE_INFO_BUFFER(info)));
        return GST_PAD_PROBE_OK;
    }
};
