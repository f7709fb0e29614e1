#pragma once

// Looks at the start of a recorded video track: how its first samples are
// coded, and whether the first decoded pictures show anything. A decoder that
// lacks the first key frame or its parameter sets makes flat gray pictures.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

#include <cmath>

struct PictureProbe {
    // Compressed side.
    bool firstSampleIsKeyFrame = false;
    bool hasCodecData = false;
    QList<int> firstSampleNalTypes; // 7 = SPS, 8 = PPS, 5 = IDR slice, 1 = other slice
    int samplesBeforeKeyFrame = -1;
    // Decoded side: standard deviation of the luma of each of the first pictures.
    QList<double> lumaSpread;
    QImage firstPicture; // its luma
    QString error;

    // `decoder` is a factory name ("avdec_h264") or "decodebin" for what the
    // system would pick.
    static PictureProbe read(const QString &path, int pictures = 10, const QString &decoder = "avdec_h264")
    {
        PictureProbe probe;
        probe.readSamples(path);
        probe.decode(path, pictures, decoder);
        return probe;
    }

    // Each of the first pictures has at least `share` of the detail of
    // `reference` (the spread of the camera's own picture): a flat gray
    // picture has none, one decoded without its key frame far less.
    bool firstPicturesHaveDetail(double reference, double share = 0.75) const
    {
        if (lumaSpread.isEmpty() || reference <= 0) {
            return false;
        }
        for (double spread : lumaSpread) {
            if (spread < share * reference) {
                return false;
            }
        }
        return true;
    }

    // The file's first sample is a key frame that brings its parameter sets.
    bool startsCleanly() const
    {
        return firstSampleIsKeyFrame && hasCodecData && samplesBeforeKeyFrame == 0 && firstSampleNalTypes.contains(7)
            && firstSampleNalTypes.contains(8) && firstSampleNalTypes.contains(5);
    }

    QString describe() const
    {
        QStringList spreads;
        for (double spread : lumaSpread) {
            spreads << QString::number(spread, 'f', 1);
        }
        QStringList nals;
        for (int nal : firstSampleNalTypes) {
            nals << QString::number(nal);
        }
        return QStringLiteral("key=%1 codec_data=%2 nals=[%3] before-key=%4 spread=[%5] %6")
            .arg(firstSampleIsKeyFrame)
            .arg(hasCodecData)
            .arg(nals.join(','))
            .arg(samplesBeforeKeyFrame)
            .arg(spreads.join(','))
            .arg(error);
    }

    // Spread of the luma of `part` (fractions of the picture) of an image.
    static double spreadOf(const QImage &image, const QRectF &part = QRectF(0, 0, 1, 1))
    {
        const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
        const QRect area(int(part.x() * grey.width()), int(part.y() * grey.height()), int(part.width() * grey.width()),
            int(part.height() * grey.height()));
        if (area.isEmpty()) {
            return 0;
        }
        return spreadOf(grey.constBits() + area.y() * grey.bytesPerLine() + area.x(), area.width(), area.height(),
            int(grey.bytesPerLine()));
    }

    // Spread of a GRAY8 picture; `stride` bytes per row.
    static double spreadOf(const guint8 *data, int width, int height, int stride)
    {
        double sum = 0;
        double squares = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const double value = data[y * stride + x];
                sum += value;
                squares += value * value;
            }
        }
        const double count = double(width) * height;
        const double mean = sum / count;
        return std::sqrt(std::max(0.0, squares / count - mean * mean));
    }

private:
    static GstElement *launch(const QString &description, const QString &path)
    {
        GError *error = nullptr;
        GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
        g_clear_error(&error);
        if (!pipeline) {
            return nullptr;
        }
        GstElement *source = gst_bin_get_by_name(GST_BIN(pipeline), "src");
        g_object_set(source, "location", path.toUtf8().constData(), nullptr);
        gst_object_unref(source);
        return pipeline;
    }

    static GstSample *pull(GstElement *pipeline)
    {
        GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
        GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 20 * GST_SECOND);
        gst_object_unref(sink);
        return sample;
    }

    void readSamples(const QString &path)
    {
        GstElement *pipeline = launch(QStringLiteral("filesrc name=src ! qtdemux name=demux demux.video_0 ! "
                                                     "appsink name=sink sync=false max-buffers=200"),
            path);
        if (!pipeline) {
            error = QStringLiteral("no demuxer");
            return;
        }
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        int nalLengthSize = 4;
        for (int index = 0; index < 200; ++index) {
            GstSample *sample = pull(pipeline);
            if (!sample) {
                break;
            }
            GstBuffer *buffer = gst_sample_get_buffer(sample);
            const bool key = !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
            if (index == 0) {
                firstSampleIsKeyFrame = key;
                const GstStructure *caps = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
                const GValue *codecData = gst_structure_get_value(caps, "codec_data");
                hasCodecData = codecData != nullptr;
                if (codecData) {
                    GstMapInfo map;
                    GstBuffer *data = gst_value_get_buffer(codecData);
                    if (gst_buffer_map(data, &map, GST_MAP_READ)) {
                        if (map.size > 4) {
                            nalLengthSize = (map.data[4] & 3) + 1;
                        }
                        gst_buffer_unmap(data, &map);
                    }
                }
                firstSampleNalTypes = nalTypes(buffer, nalLengthSize);
            }
            if (key && samplesBeforeKeyFrame < 0) {
                samplesBeforeKeyFrame = index;
                gst_sample_unref(sample);
                break;
            }
            gst_sample_unref(sample);
        }
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }

    static QList<int> nalTypes(GstBuffer *buffer, int lengthSize)
    {
        QList<int> types;
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            return types;
        }
        gsize offset = 0;
        while (offset + lengthSize < map.size) {
            gsize length = 0;
            for (int byte = 0; byte < lengthSize; ++byte) {
                length = (length << 8) | map.data[offset + byte];
            }
            offset += lengthSize;
            if (length == 0 || offset + length > map.size) {
                break;
            }
            types << (map.data[offset] & 0x1f);
            offset += length;
        }
        gst_buffer_unmap(buffer, &map);
        return types;
    }

    void decode(const QString &path, int pictures, const QString &decoder)
    {
        const QString chain = decoder == QLatin1String("decodebin") ? QStringLiteral("decodebin")
                                                                    : QStringLiteral("h264parse ! ") + decoder;
        GstElement *pipeline = launch(QStringLiteral("filesrc name=src ! qtdemux name=demux demux.video_0 ! ") + chain
                + QStringLiteral(" ! videoconvert ! video/x-raw,format=GRAY8 ! "
                                 "appsink name=sink sync=false max-buffers=4"),
            path);
        if (!pipeline) {
            error = QStringLiteral("no decoder ") + decoder;
            return;
        }
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        for (int index = 0; index < pictures; ++index) {
            GstSample *sample = pull(pipeline);
            if (!sample) {
                break;
            }
            const GstStructure *caps = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
            int width = 0;
            int height = 0;
            gst_structure_get_int(caps, "width", &width);
            gst_structure_get_int(caps, "height", &height);
            GstBuffer *buffer = gst_sample_get_buffer(sample);
            GstMapInfo map;
            if (width > 0 && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                const int stride = (width + 3) & ~3;
                lumaSpread << spreadOf(map.data, width, height, stride);
                if (firstPicture.isNull()) {
                    firstPicture = QImage(map.data, width, height, stride, QImage::Format_Grayscale8).copy();
                }
                gst_buffer_unmap(buffer, &map);
            }
            gst_sample_unref(sample);
        }
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
};
