#include "platform/media/ImageGenerator.h"

#include "platform/media/GstPtr.h"
#include "platform/media/MediaAssetHandles.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <cmath>

namespace {
constexpr GstClockTime stepTimeout = 30 * GST_SECOND;

struct Graph {
    GstElement *entry = nullptr; // takes the decoded video
    bool isLinked = false;
};

void onDecodedPad(GstElement *, GstPad *pad, Graph *graph)
{
    if (graph->isLinked) {
        return;
    }
    GstPtr<GstPad> sink(gst_element_get_static_pad(graph->entry, "sink"));
    graph->isLinked = gst_pad_link(pad, sink.get()) == GST_PAD_LINK_OK;
}

// Waits until the pipeline has settled after a state change or seek.
std::optional<QString> waitSettled(GstElement *pipeline, GstClockTime timeout = stepTimeout)
{
    GstPtr<GstBus> bus(gst_element_get_bus(pipeline));
    media::GstMessageHandle message(
        gst_bus_timed_pop_filtered(bus.get(), timeout, GstMessageType(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR)));
    if (!message) {
        return QStringLiteral("timed out reading the video");
    }
    if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
        GError *raw = nullptr;
        gst_message_parse_error(message.get(), &raw, nullptr);
        media::GErrorHandle error(raw);
        return error ? QString::fromUtf8(error->message) : QStringLiteral("unknown error");
    }
    return std::nullopt;
}

std::optional<QImage> toImage(GstSample *sample)
{
    GstVideoInfo info;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample))) {
        return std::nullopt;
    }
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
        return std::nullopt;
    }
    QImage image(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), GST_VIDEO_FRAME_WIDTH(&frame),
        GST_VIDEO_FRAME_HEIGHT(&frame), GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGBX8888);
    QImage copy = image.convertToFormat(QImage::Format_RGB32);
    gst_video_frame_unmap(&frame);
    // Non-square pixels: widen to the shape the picture is shown in.
    if (info.par_n > 0 && info.par_d > 0 && info.par_n != info.par_d) {
        const int width = std::max(1, int(std::lround(double(copy.width()) * info.par_n / info.par_d)));
        copy = copy.scaled(width, copy.height(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return copy;
}
} // namespace

QSize ImageGenerator::fittedSize(QSize size, QSize box)
{
    if (box.isEmpty() || size.isEmpty() || (size.width() <= box.width() && size.height() <= box.height())) {
        return size;
    }
    const double scale = std::min(double(box.width()) / size.width(), double(box.height()) / size.height());
    return QSize(
        std::max(1, int(std::lround(size.width() * scale))), std::max(1, int(std::lround(size.height() * scale))));
}

std::optional<QImage> ImageGenerator::copyImage(double seconds, QString *error) const
{
    const auto fail = [&](const QString &text) -> std::optional<QImage> {
        if (error) {
            *error = text + QStringLiteral(" (") + m_path + QLatin1Char(')');
        }
        return std::nullopt;
    };

    media::PipelineHandle pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    GstElement *source = gst_element_factory_make("filesrc", nullptr);
    GstElement *decoder = gst_element_factory_make("decodebin", nullptr);
    GstElement *convertIn = gst_element_factory_make("videoconvert", nullptr);
    GstElement *flip = gst_element_factory_make("videoflip", nullptr);
    GstElement *convertOut = gst_element_factory_make("videoconvert", nullptr);
    GstElement *sink = gst_element_factory_make("appsink", nullptr);
    if (!source || !decoder || !convertIn || !flip || !convertOut || !sink) {
        for (GstElement *element : {source, decoder, convertIn, flip, convertOut, sink}) {
            if (element) {
                gst_object_unref(element);
            }
        }
        return fail(QStringLiteral("video decoding elements are missing"));
    }
    gst_bin_add_many(GST_BIN(pipeline.get()), source, decoder, convertIn, flip, convertOut, sink, nullptr);
    if (!gst_element_link(source, decoder) || !gst_element_link_many(convertIn, flip, convertOut, nullptr)) {
        return fail(QStringLiteral("cannot build the still-frame pipeline"));
    }
    GstCapsPtr rgb(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "RGBx", nullptr));
    if (!gst_element_link_filtered(convertOut, sink, rgb.get())) {
        return fail(QStringLiteral("cannot build the still-frame pipeline"));
    }

    g_object_set(source, "location", m_path.toUtf8().constData(), nullptr);
    GstCapsPtr videoOnly(gst_caps_from_string("video/x-raw(ANY)"));
    g_object_set(decoder, "caps", videoOnly.get(), "expose-all-streams", FALSE, nullptr);
    gst_util_set_object_arg(G_OBJECT(flip), "video-direction", m_appliesPreferredTrackTransform ? "auto" : "identity");
    g_object_set(sink, "sync", FALSE, "max-buffers", guint(1), nullptr);

    Graph graph{convertIn, false};
    g_signal_connect(decoder, "pad-added", G_CALLBACK(onDecodedPad), &graph);

    if (gst_element_set_state(pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        const auto problem = waitSettled(pipeline.get(), 0);
        return fail(problem.value_or(QStringLiteral("cannot open the video")));
    }
    if (const auto problem = waitSettled(pipeline.get())) {
        return fail(*problem);
    }
    if (!graph.isLinked) {
        return fail(QStringLiteral("the file has no video track"));
    }
    // The first frame stands in when the video ends before the requested time.
    media::GstSampleHandle firstFrame(gst_app_sink_try_pull_preroll(GST_APP_SINK(sink), 0));
    auto position = GstClockTime(std::llround(std::max(0.0, seconds) * GST_SECOND));
    gint64 duration = 0;
    if (gst_element_query_duration(pipeline.get(), GST_FORMAT_TIME, &duration) && duration > 0) {
        position
            = std::min(position, GstClockTime(duration) - std::min(GstClockTime(duration), GstClockTime(GST_MSECOND)));
    }
    // An accurate seek lands on the frame shown at that stream time; buffer
    // timestamps alone are offset by the decoding delay of B-frames.
    media::GstSampleHandle sample;
    if (gst_element_seek_simple(pipeline.get(), GST_FORMAT_TIME,
            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), gint64(position))
        && !waitSettled(pipeline.get())) {
        sample.reset(gst_app_sink_try_pull_preroll(GST_APP_SINK(sink), stepTimeout));
    }
    if (!sample) {
        sample = std::move(firstFrame);
    }
    if (!sample) {
        return fail(QStringLiteral("no picture at %1 s").arg(seconds));
    }
    std::optional<QImage> image = toImage(sample.get());
    if (!image || image->isNull()) {
        return fail(QStringLiteral("cannot read the decoded picture"));
    }
    const QSize size = fittedSize(image->size(), m_maximumSize);
    if (size != image->size()) {
        *image = image->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}
