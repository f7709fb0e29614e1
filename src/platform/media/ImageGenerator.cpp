#include "platform/media/ImageGenerator.h"

#include "platform/media/GstChain.h"
#include "platform/media/GstErrorText.h"
#include "platform/media/GstPtr.h"
#include "platform/media/MediaAssetHandles.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace {
constexpr GstClockTime busSlice = 50 * GST_MSECOND;

std::atomic<int> &stoppingInBackground()
{
    static std::atomic<int> count = 0;
    return count;
}

// What the demuxer's and decoder's signals share with copyImage(). It belongs
// to the demuxer element, not to a stack frame: a signal may still arrive after
// copyImage() has given up and returned.
struct Graph {
    GstElement *decoder = nullptr; // takes the first video track; in the same bin
    GstElement *entry = nullptr; // takes the decoded video; in the same bin
    std::atomic<bool> hasVideoTrack = false;
    std::atomic<bool> hasAllPads = false;
    std::atomic<bool> isLinked = false;
};

bool isVideo(GstPad *pad)
{
    GstCapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps) {
        caps = GstCapsPtr(gst_pad_query_caps(pad, nullptr));
    }
    const GstStructure *structure
        = caps && !gst_caps_is_empty(caps.get()) ? gst_caps_get_structure(caps.get(), 0) : nullptr;
    return structure && g_str_has_prefix(gst_structure_get_name(structure), "video/");
}

bool linkToStaticSink(GstPad *pad, GstElement *element)
{
    GstPtr<GstPad> sink(gst_element_get_static_pad(element, "sink"));
    return sink && gst_pad_link(pad, sink.get()) == GST_PAD_LINK_OK;
}

// Sound and further tracks stay unlinked: the demuxer goes on with the picture.
void onDemuxedPad(GstElement *, GstPad *pad, Graph *graph)
{
    if (!graph->hasVideoTrack && isVideo(pad)) {
        graph->hasVideoTrack = linkToStaticSink(pad, graph->decoder);
    }
}

void onNoMorePads(GstElement *, Graph *graph)
{
    graph->hasAllPads = true;
}

void onDecodedPad(GstElement *, GstPad *pad, Graph *graph)
{
    if (!graph->isLinked && isVideo(pad)) {
        graph->isLinked = linkToStaticSink(pad, graph->entry);
    }
}

Graph *attachGraph(GstElement *demux, GstElement *decoder, GstElement *entry)
{
    auto *graph = new Graph;
    graph->decoder = decoder;
    graph->entry = entry;
    g_object_set_data_full(
        G_OBJECT(demux), "veltroscope-still-graph", graph, [](gpointer data) { delete static_cast<Graph *>(data); });
    g_signal_connect(demux, "pad-added", G_CALLBACK(onDemuxedPad), graph);
    g_signal_connect(demux, "no-more-pads", G_CALLBACK(onNoMorePads), graph);
    g_signal_connect(decoder, "pad-added", G_CALLBACK(onDecodedPad), graph);
    return graph;
}

struct Step {
    enum Outcome { settled, failed, stalled } outcome = settled;
    QString error;
};

// Waits until the pipeline has settled after a state change or seek. A file
// whose tracks are all known and hold no picture ends the wait at once.
Step waitSettled(GstElement *pipeline, const Graph *graph, double timeoutSeconds)
{
    GstPtr<GstBus> bus(gst_element_get_bus(pipeline));
    const auto deadline = std::chrono::steady_clock::now()
        + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(std::max(0.0, timeoutSeconds)));
    for (;;) {
        media::GstMessageHandle message(gst_bus_timed_pop_filtered(
            bus.get(), busSlice, GstMessageType(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR)));
        // Checked first: a file without picture also ends in a data-flow error.
        if (graph->hasAllPads && !graph->hasVideoTrack) {
            return {Step::failed, QStringLiteral("the file has no video track")};
        }
        if (message && GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
            return {Step::failed, GstErrorText::of(message.get(), QStringLiteral("unknown error"))};
        }
        if (message) {
            return {};
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return {Step::stalled, QStringLiteral("timed out reading the video")};
        }
    }
}

// A stalled source can sit in a read that only the file's writer ends, and
// stopping the graph waits for that read; the caller must not wait with it.
void stopInBackground(media::PipelineHandle pipeline)
{
    ++stoppingInBackground();
    std::thread([pipeline = std::move(pipeline)]() mutable {
        pipeline.reset();
        --stoppingInBackground();
    }).detach();
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

int ImageGenerator::graphsStoppingInBackground()
{
    return stoppingInBackground();
}

std::optional<QImage> ImageGenerator::copyImage(double seconds, QString *error) const
{
    media::PipelineHandle pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    bool isStalled = false;
    const auto fail = [&](const QString &text) -> std::optional<QImage> {
        if (error) {
            *error = text + QStringLiteral(" (") + m_path + QLatin1Char(')');
        }
        if (isStalled && pipeline) {
            stopInBackground(std::move(pipeline));
        }
        return std::nullopt;
    };

    GstBin *bin = GST_BIN(pipeline.get());
    // The demuxer is ours rather than the decoder's: a decoder bin holds back
    // some demuxer errors, and the still would then wait for nothing.
    GstElement *source = GstChain::make("filesrc");
    GstElement *demux = GstChain::make("qtdemux");
    GstElement *decoder = GstChain::make("decodebin");
    GstElement *convertIn = GstChain::make("videoconvert");
    GstElement *flip = GstChain::make("videoflip");
    GstElement *convertOut = GstChain::make("videoconvert");
    GstElement *sink = GstChain::make("appsink");
    // Every element goes into the bin, built or not, so the bin frees them all.
    const bool hasInput = GstChain::addAndLink(bin, {source, demux});
    const bool hasDecoder = GstChain::addAndLink(bin, {decoder});
    const bool hasConversion = GstChain::addAndLink(bin, {convertIn, flip, convertOut});
    const bool hasSink = GstChain::addAndLink(bin, {sink});
    if (!hasInput || !hasDecoder || !hasConversion || !hasSink) {
        return fail(QStringLiteral("cannot build the still-frame pipeline"));
    }
    GstCapsPtr rgb(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "RGBx", nullptr));
    if (!gst_element_link_filtered(convertOut, sink, rgb.get())) {
        return fail(QStringLiteral("cannot build the still-frame pipeline"));
    }

    g_object_set(source, "location", m_path.toUtf8().constData(), nullptr);
    gst_util_set_object_arg(G_OBJECT(flip), "video-direction", m_appliesPreferredTrackTransform ? "auto" : "identity");
    g_object_set(sink, "sync", FALSE, "max-buffers", guint(1), nullptr);
    const Graph *graph = attachGraph(demux, decoder, convertIn);

    if (gst_element_set_state(pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        const Step step = waitSettled(pipeline.get(), graph, 0);
        return fail(step.outcome == Step::failed ? step.error : QStringLiteral("cannot open the video"));
    }
    if (const Step step = waitSettled(pipeline.get(), graph, m_timeoutSeconds); step.outcome != Step::settled) {
        isStalled = step.outcome == Step::stalled;
        return fail(step.error);
    }
    if (!graph->isLinked) {
        return fail(graph->hasVideoTrack ? QStringLiteral("cannot decode the video track")
                                         : QStringLiteral("the file has no video track"));
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
            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), gint64(position))) {
        const Step step = waitSettled(pipeline.get(), graph, m_timeoutSeconds);
        isStalled = step.outcome == Step::stalled;
        if (step.outcome == Step::settled) {
            sample.reset(gst_app_sink_try_pull_preroll(
                GST_APP_SINK(sink), GstClockTime(std::llround(m_timeoutSeconds * GST_SECOND))));
        }
    }
    if (!sample) {
        sample = std::move(firstFrame);
    }
    if (!sample) {
        return fail(QStringLiteral("no picture at %1 s").arg(seconds));
    }
    std::optional<QImage> image = toImage(sample.get());
    sample.reset();
    firstFrame.reset();
    if (isStalled) {
        stopInBackground(std::move(pipeline));
        isStalled = false;
    }
    if (!image || image->isNull()) {
        return fail(QStringLiteral("cannot read the decoded picture"));
    }
    const QSize size = fittedSize(image->size(), m_maximumSize);
    if (size != image->size()) {
        *image = image->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}
