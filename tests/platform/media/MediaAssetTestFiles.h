#pragma once

// Small media files made on the spot with GStreamer's test sources, and a
// reader for the top-level boxes of an MPEG-4 file.
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

namespace testfiles {

struct VideoSpec {
    QSize size{320, 240};
    int frameCount = 30;
    int framesPerSecond = 30;
    bool hasAudio = true;
    QString audioEncoder = QStringLiteral("avenc_aac");
    QString orientation; // "rotate-90" etc.; empty for none
    bool hasBFrames = false; // needs a slower preset
    int keyFrameInterval = 0; // frames; 0 leaves it to the encoder
    QString pattern = QStringLiteral("ball");
    // Written as a take is: half-second fragments, no B-frames.
    bool isFragmented = false;
};

inline QString videoBranch(const VideoSpec &clip, const QString &source)
{
    QString branch = source
        + QStringLiteral(" ! video/x-raw,format=I420,width=%1,height=%2,framerate=%3/1")
              .arg(clip.size.width())
              .arg(clip.size.height())
              .arg(clip.framesPerSecond);
    branch += clip.hasBFrames ? QStringLiteral(" ! x264enc speed-preset=veryfast bframes=3")
                              : QStringLiteral(" ! x264enc speed-preset=ultrafast");
    if (clip.isFragmented) {
        branch += QStringLiteral(" tune=zerolatency");
    }
    if (clip.keyFrameInterval > 0) {
        branch += QStringLiteral(" key-int-max=%1").arg(clip.keyFrameInterval);
    }
    return branch + QStringLiteral(" ! h264parse ! mux.");
}

inline QString audioBranch(const VideoSpec &clip)
{
    const int samplesPerBuffer = 1024;
    const int buffers = int(double(clip.frameCount) / clip.framesPerSecond * 48000 / samplesPerBuffer) + 1;
    return QStringLiteral(" audiotestsrc num-buffers=%1 samplesperbuffer=%2 ! audio/x-raw,rate=48000,channels=2"
                          " ! audioconvert ! %3 ! mux.")
        .arg(buffers)
        .arg(samplesPerBuffer)
        .arg(clip.audioEncoder);
}

// Writes the display matrix of a turn into the video track's header, the way
// phones store a portrait recording (the muxer does not write one itself).
inline bool setOrientation(const QString &path, const QString &orientation)
{
    if (orientation.isEmpty()) {
        return true;
    }
    const quint32 one = 0x00010000, minusOne = 0xFFFF0000;
    quint32 a = 0, b = 0, c = 0, d = 0;
    if (orientation == "rotate-90") {
        b = one;
        c = minusOne;
    } else if (orientation == "rotate-180") {
        a = minusOne;
        d = minusOne;
    } else if (orientation == "rotate-270") {
        b = minusOne;
        c = one;
    } else {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        return false;
    }
    QByteArray data = file.readAll();
    // The video track is the one whose header has a picture width.
    for (qsizetype at = data.indexOf("tkhd"); at >= 0; at = data.indexOf("tkhd", at + 4)) {
        const qsizetype matrix = at + 44, width = at + 80;
        if (width + 4 > data.size() || data.mid(width, 4) == QByteArray(4, '\0')) {
            continue;
        }
        const quint32 values[9] = {a, b, 0, c, d, 0, 0, 0, 0x40000000};
        for (int i = 0; i < 9; ++i) {
            for (int byte = 0; byte < 4; ++byte) {
                data[matrix + i * 4 + byte] = char((values[i] >> (24 - 8 * byte)) & 0xFF);
            }
        }
        file.seek(0);
        return file.write(data) == data.size();
    }
    return false;
}

// Runs a pipeline description to its end; false on any error.
inline bool runToEnd(GstElement *pipeline)
{
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstMessage *message
        = gst_bus_timed_pop_filtered(bus, 120 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message) {
        gst_message_unref(message);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    return ok;
}

inline bool launch(const QString &description)
{
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error) {
        g_error_free(error);
        if (pipeline) {
            gst_object_unref(pipeline);
        }
        return false;
    }
    return pipeline && runToEnd(pipeline);
}

// An MPEG-4 file with an H.264 picture from videotestsrc and, optionally, AAC sound.
inline bool writeVideo(const QString &path, const VideoSpec &clip = {})
{
    QString description = QStringLiteral("mp4mux name=mux %1 ! filesink location=\"%2\" ")
                              .arg(clip.isFragmented ? QStringLiteral("fragment-duration=500") : QString(), path);
    description += videoBranch(
        clip, QStringLiteral("videotestsrc num-buffers=%1 pattern=%2").arg(clip.frameCount).arg(clip.pattern));
    if (clip.hasAudio) {
        description += audioBranch(clip);
    }
    return launch(description) && setOrientation(path, clip.orientation);
}

// An MPEG-4 file with sound only.
inline bool writeSoundOnly(const QString &path, double seconds = 1.0)
{
    VideoSpec clip;
    clip.frameCount = int(seconds * clip.framesPerSecond);
    return launch(QStringLiteral("mp4mux name=mux ! filesink location=\"%1\" ").arg(path) + audioBranch(clip));
}

// A video whose frames are drawn by `frame(index)` (any size, RGB), so a test
// can tell which frame a picture came from.
inline bool writeDrawnVideo(const QString &path, const VideoSpec &clip, const std::function<QImage(int)> &frame)
{
    const QString description = QStringLiteral("appsrc name=source format=time ! videoconvert ! ")
        + videoBranch(clip, QStringLiteral("queue"))
        + QStringLiteral(" mp4mux name=mux ! filesink location=\"%1\"").arg(path);
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error || !pipeline) {
        if (error) {
            g_error_free(error);
        }
        return false;
    }
    GstElement *source = gst_bin_get_by_name(GST_BIN(pipeline), "source");
    GstCaps *caps
        = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "RGBx", "width", G_TYPE_INT, clip.size.width(),
            "height", G_TYPE_INT, clip.size.height(), "framerate", GST_TYPE_FRACTION, clip.framesPerSecond, 1, nullptr);
    gst_app_src_set_caps(GST_APP_SRC(source), caps);
    gst_caps_unref(caps);
    for (int index = 0; index < clip.frameCount; ++index) {
        const QImage image
            = frame(index).convertToFormat(QImage::Format_RGBX8888).scaled(clip.size, Qt::IgnoreAspectRatio);
        const gsize bytes = gsize(image.sizeInBytes());
        GstBuffer *buffer = gst_buffer_new_allocate(nullptr, bytes, nullptr);
        gst_buffer_fill(buffer, 0, image.constBits(), bytes);
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(index, GST_SECOND, clip.framesPerSecond);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, clip.framesPerSecond);
        gst_app_src_push_buffer(GST_APP_SRC(source), buffer);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(source));
    gst_object_unref(source);
    return runToEnd(pipeline) && setOrientation(path, clip.orientation);
}

// `source`'s video with its first `skippedFrames` coded frames cut away, so
// that it begins with frames referring to a picture the file no longer holds,
// the way a recording can start.
inline bool writeStartingMidGop(const QString &source, const QString &path, int skippedFrames)
{
    const QString description = QStringLiteral("filesrc location=\"%1\" ! qtdemux ! h264parse ! identity name=cut"
                                               " ! mp4mux ! filesink location=\"%2\"")
                                    .arg(source, path);
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error || !pipeline) {
        if (error) {
            g_error_free(error);
        }
        return false;
    }
    GstElement *cut = gst_bin_get_by_name(GST_BIN(pipeline), "cut");
    GstPad *pad = gst_element_get_static_pad(cut, "sink");
    auto *remaining = new int(skippedFrames);
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *, gpointer data) {
            int *left = static_cast<int *>(data);
            return *left > 0 ? (--*left, GST_PAD_PROBE_DROP) : GST_PAD_PROBE_OK;
        },
        remaining, [](gpointer data) { delete static_cast<int *>(data); });
    gst_object_unref(pad);
    gst_object_unref(cut);
    return runToEnd(pipeline);
}

// Types of the top-level boxes, in file order: "ftyp", "moov", "mdat", ...
inline QStringList topLevelBoxes(const QString &path)
{
    QFile file(path);
    QStringList boxes;
    if (!file.open(QIODevice::ReadOnly)) {
        return boxes;
    }
    qint64 offset = 0;
    while (offset + 8 <= file.size()) {
        file.seek(offset);
        const QByteArray header = file.read(16);
        quint64 size = (quint64(uchar(header[0])) << 24) | (quint64(uchar(header[1])) << 16)
            | (quint64(uchar(header[2])) << 8) | quint64(uchar(header[3]));
        if (size == 1 && header.size() >= 16) {
            size = 0;
            for (int i = 8; i < 16; ++i) {
                size = (size << 8) | uchar(header[i]);
            }
        } else if (size == 0) {
            size = quint64(file.size() - offset);
        }
        boxes << QString::fromLatin1(header.mid(4, 4));
        if (size < 8) {
            break;
        }
        offset += qint64(size);
    }
    return boxes;
}

} // namespace testfiles
