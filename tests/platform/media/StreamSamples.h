#pragma once

// Reads a video file back sample by sample: the compressed samples of one
// stream as stored, and the first and last decoded pictures.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

#include <cmath>

namespace samples {

struct Sample {
    GstClockTime pts = GST_CLOCK_TIME_NONE;
    GstClockTime duration = GST_CLOCK_TIME_NONE;
    bool isKeyFrame = false;
    QByteArray bytes;

    double seconds() const { return double(pts) / GST_SECOND; }
    double endSeconds() const { return double(pts + duration) / GST_SECOND; }
};

struct Pictures {
    QImage first; // RGB888
    QImage last;
    int count = 0;
    QString error;
};

inline GstElement *launch(const QString &description)
{
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error) {
        g_error_free(error);
        if (pipeline) {
            gst_object_unref(pipeline);
        }
        return nullptr;
    }
    return pipeline;
}

// Pulls every sample of the appsink named "out" until the end; the bus error
// if the pipeline failed.
template <typename Each> QString pullAll(GstElement *pipeline, Each each)
{
    if (!pipeline) {
        return QStringLiteral("cannot build the pipeline");
    }
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    while (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 30 * GST_SECOND)) {
        each(sample);
        gst_sample_unref(sample);
    }
    QString error;
    GstBus *bus = gst_element_get_bus(pipeline);
    if (GstMessage *message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
        GError *gerror = nullptr;
        gst_message_parse_error(message, &gerror, nullptr);
        error = QString::fromUtf8(gerror ? gerror->message : "error");
        g_clear_error(&gerror);
        gst_message_unref(message);
    } else if (!gst_app_sink_is_eos(GST_APP_SINK(sink))) {
        error = QStringLiteral("no end of stream");
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return error;
}

// `stream` is "video_0" or "audio_0".
inline QList<Sample> encoded(const QString &path, const QString &stream)
{
    QList<Sample> result;
    GstElement *pipeline = launch(QStringLiteral("filesrc location=\"%1\" ! qtdemux name=d d.%2 ! queue ! appsink "
                                                 "name=out sync=false")
                                      .arg(path, stream));
    pullAll(pipeline, [&](GstSample *sample) {
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        Sample item;
        item.pts = GST_BUFFER_PTS(buffer);
        item.duration = GST_BUFFER_DURATION(buffer);
        item.isKeyFrame = !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            item.bytes = QByteArray(reinterpret_cast<const char *>(map.data), qsizetype(map.size));
            gst_buffer_unmap(buffer, &map);
        }
        result << item;
    });
    return result;
}

inline QImage imageOf(GstSample *sample)
{
    GstCaps *caps = gst_sample_get_caps(sample);
    const GstStructure *structure = gst_caps_get_structure(caps, 0);
    int width = 0;
    int height = 0;
    gst_structure_get_int(structure, "width", &width);
    gst_structure_get_int(structure, "height", &height);
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    QImage image;
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const int stride = int(map.size) / std::max(1, height);
        image = QImage(map.data, width, height, stride, QImage::Format_RGB888).copy();
        gst_buffer_unmap(buffer, &map);
    }
    return image;
}

inline Pictures decoded(const QString &path)
{
    Pictures pictures;
    GstElement *pipeline = launch(QStringLiteral("filesrc location=\"%1\" ! qtdemux name=d d.video_0 ! queue ! "
                                                 "h264parse ! avdec_h264 ! videoconvert ! video/x-raw,format=RGB ! "
                                                 "appsink name=out sync=false")
                                      .arg(path));
    pictures.error = pullAll(pipeline, [&](GstSample *sample) {
        const QImage image = imageOf(sample);
        if (pictures.count++ == 0) {
            pictures.first = image;
        }
        pictures.last = image;
    });
    return pictures;
}

// One picture of a videotestsrc pattern at `width` x `height`, by way of 4:2:0
// as a recording's pictures are (colours outside RGB come back alike).
inline QImage pattern(const QString &name, int width, int height)
{
    QImage image;
    GstElement *pipeline = launch(QStringLiteral("videotestsrc pattern=%1 num-buffers=1 ! "
                                                 "video/x-raw,format=I420,width=%2,height=%3 ! videoconvert ! "
                                                 "video/x-raw,format=RGB ! appsink name=out sync=false")
                                      .arg(name)
                                      .arg(width)
                                      .arg(height));
    pullAll(pipeline, [&](GstSample *sample) { image = imageOf(sample); });
    return image;
}

// Mean difference of the colours of two same-sized pictures, compared in
// 16 x 16 blocks so the encoder's blur at edges weighs little.
inline double blockDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull()) {
        return 255;
    }
    const QImage small1 = a.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage small2 = b.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double sum = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QRgb p = small1.pixel(x, y);
            const QRgb q = small2.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (16 * 16 * 3);
}

} // namespace samples
