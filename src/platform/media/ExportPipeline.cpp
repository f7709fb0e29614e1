#include "platform/media/ExportPipeline.h"

#include "platform/media/GstPtr.h"
#include "platform/media/MediaAssetHandles.h"

#include <QElapsedTimer>
#include <QFile>

#include <array>

namespace {
constexpr GstClockTime busPollInterval = 100 * GST_MSECOND;
// Compressed video frames held between the demuxer and the decoder. Enough
// to cover the encoder's look-ahead; time and bytes stay unlimited, since a
// 1 s default makes the sound queue fill first and the graph stalls.
constexpr guint videoQueueBuffers = 600;

// The muxer's scratch file goes with the run, whatever its end.
struct ScratchFile {
    QString path;
    ~ScratchFile() { QFile::remove(path); }
};

struct Graph {
    GstElement *pipeline = nullptr;
    GstElement *videoEntry = nullptr; // first element after the video decoder
    GstElement *mux = nullptr;
    bool hasVideo = false; // demuxer thread only
    bool hasAudio = false;
    QElapsedTimer clock;
    std::atomic<qint64> lastProgressMs = 0;
};

GstElement *make(const char *factory)
{
    return gst_element_factory_make(factory, nullptr);
}

GstElement *makeQueue(guint maxBuffers)
{
    GstElement *queue = make("queue");
    g_object_set(
        queue, "max-size-time", guint64(0), "max-size-bytes", guint(0), "max-size-buffers", maxBuffers, nullptr);
    return queue;
}

// The first structure of the pad's caps; none while they are unknown.
const GstStructure *firstStructure(GstPad *pad, GstCapsPtr &holder)
{
    GstCaps *current = gst_pad_get_current_caps(pad);
    holder = GstCapsPtr(current ? current : gst_pad_query_caps(pad, nullptr));
    if (!holder || gst_caps_is_empty(holder.get()) || gst_caps_is_any(holder.get())) {
        return nullptr;
    }
    return gst_caps_get_structure(holder.get(), 0);
}

QString capsName(GstPad *pad)
{
    GstCapsPtr caps;
    const GstStructure *structure = firstStructure(pad, caps);
    return structure ? QString::fromUtf8(gst_structure_get_name(structure)) : QString();
}

bool isAac(GstPad *pad)
{
    GstCapsPtr caps;
    const GstStructure *structure = firstStructure(pad, caps);
    if (!structure) {
        return false;
    }
    int version = 0;
    return gst_structure_has_name(structure, "audio/mpeg") && gst_structure_get_int(structure, "mpegversion", &version)
        && version == 4;
}

// Adds `elements` to the pipeline, links them in a row and starts them.
bool addChain(Graph *graph, std::initializer_list<GstElement *> elements)
{
    for (GstElement *element : elements) {
        if (!element) {
            for (GstElement *other : elements) {
                if (other) {
                    gst_object_unref(other);
                }
            }
            return false;
        }
    }
    GstElement *previous = nullptr;
    bool linked = true;
    for (GstElement *element : elements) {
        gst_bin_add(GST_BIN(graph->pipeline), element);
        if (previous) {
            linked = linked && gst_element_link(previous, element);
        }
        previous = element;
    }
    for (GstElement *element : elements) {
        gst_element_sync_state_with_parent(element);
    }
    return linked;
}

bool linkPads(GstPad *source, GstElement *sinkElement)
{
    GstPtr<GstPad> sink(gst_element_get_static_pad(sinkElement, "sink"));
    return sink && gst_pad_link(source, sink.get()) == GST_PAD_LINK_OK;
}

bool linkToMux(Graph *graph, GstElement *last, const char *padTemplate)
{
    GstPad *muxPad = gst_element_request_pad_simple(graph->mux, padTemplate);
    if (!muxPad) {
        return false;
    }
    GstPtr<GstPad> source(gst_element_get_static_pad(last, "src"));
    const bool linked = source && gst_pad_link(source.get(), muxPad) == GST_PAD_LINK_OK;
    gst_object_unref(muxPad);
    return linked;
}

void onVideoDecoded(GstElement *, GstPad *pad, Graph *graph)
{
    if (capsName(pad).startsWith(QLatin1String("video/x-raw"))) {
        linkPads(pad, graph->videoEntry);
    }
}

void onAudioDecoded(GstElement *, GstPad *pad, GstElement *convert)
{
    if (capsName(pad).startsWith(QLatin1String("audio/x-raw"))) {
        linkPads(pad, convert);
    }
}

void postError(Graph *graph, const char *text)
{
    GError *error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, text);
    gst_element_post_message(graph->pipeline, gst_message_new_error(GST_OBJECT(graph->pipeline), error, nullptr));
    g_error_free(error);
}

void linkVideo(Graph *graph, GstPad *pad)
{
    GstElement *queue = makeQueue(videoQueueBuffers);
    GstElement *decoder = make("decodebin");
    if (!addChain(graph, {queue, decoder}) || !linkPads(pad, queue)) {
        postError(graph, "cannot decode the video track");
        return;
    }
    g_signal_connect(decoder, "pad-added", G_CALLBACK(onVideoDecoded), graph);
    graph->hasVideo = true;
}

void linkAudio(Graph *graph, GstPad *pad)
{
    // Sound needs no change: AAC goes through as it is.
    GstElement *queue = makeQueue(0);
    if (isAac(pad)) {
        GstElement *parser = make("aacparse");
        if (addChain(graph, {queue, parser}) && linkPads(pad, queue) && linkToMux(graph, parser, "audio_%u")) {
            graph->hasAudio = true;
            return;
        }
        postError(graph, "cannot copy the sound track");
        return;
    }
    GstElement *decoder = make("decodebin");
    GstElement *convert = make("audioconvert");
    GstElement *resample = make("audioresample");
    GstElement *encoder = make("avenc_aac");
    if (!addChain(graph, {queue, decoder}) || !addChain(graph, {convert, resample, encoder}) || !linkPads(pad, queue)
        || !linkToMux(graph, encoder, "audio_%u")) {
        postError(graph, "cannot encode the sound track");
        return;
    }
    g_signal_connect(decoder, "pad-added", G_CALLBACK(onAudioDecoded), convert);
    graph->hasAudio = true;
}

void onDemuxedPad(GstElement *, GstPad *pad, Graph *graph)
{
    const QString name = capsName(pad);
    if (name.startsWith(QLatin1String("video/")) && !graph->hasVideo) {
        linkVideo(graph, pad);
    } else if (name.startsWith(QLatin1String("audio/")) && !graph->hasAudio) {
        linkAudio(graph, pad);
    } else {
        // Further tracks are dropped rather than left unlinked.
        GstElement *sink = make("fakesink");
        if (sink) {
            g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
            addChain(graph, {sink});
            linkPads(pad, sink);
        }
    }
}

void onNoMorePads(GstElement *, Graph *graph)
{
    if (!graph->hasVideo) {
        postError(graph, "the file has no video track");
    }
}

// Marks progress for the stall check and strips the orientation tag: the
// picture is already upright, a player must not turn it again.
GstPadProbeReturn onEncoderInput(GstPad *, GstPadProbeInfo *info, Graph *graph)
{
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        graph->lastProgressMs = graph->clock.elapsed();
        return GST_PAD_PROBE_OK;
    }
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event || GST_EVENT_TYPE(event) != GST_EVENT_TAG) {
        return GST_PAD_PROBE_OK;
    }
    GstTagList *tags = nullptr;
    gst_event_parse_tag(event, &tags);
    if (!tags || gst_tag_list_get_tag_size(tags, GST_TAG_IMAGE_ORIENTATION) == 0) {
        return GST_PAD_PROBE_OK;
    }
    GstTagList *upright = gst_tag_list_copy(tags);
    gst_tag_list_remove_tag(upright, GST_TAG_IMAGE_ORIENTATION);
    GST_PAD_PROBE_INFO_DATA(info) = gst_event_new_tag(upright);
    gst_event_unref(event);
    return GST_PAD_PROBE_OK;
}

QString errorText(GstMessage *message)
{
    GError *raw = nullptr;
    gst_message_parse_error(message, &raw, nullptr);
    media::GErrorHandle error(raw);
    return error ? QString::fromUtf8(error->message) : QStringLiteral("unknown");
}

constexpr std::array requiredFactories{"filesrc", "qtdemux", "queue", "decodebin", "videoconvert", "videoflip",
    "videocrop", "videorate", "capsfilter", "x264enc", "h264parse", "mp4mux", "filesink", "aacparse", "audioconvert",
    "audioresample", "avenc_aac", "fakesink"};
} // namespace

bool ExportPipeline::isAvailable()
{
    for (const char *name : requiredFactories) {
        GstPtr<GstElementFactory> factory(gst_element_factory_find(name));
        if (!factory) {
            return false;
        }
    }
    return true;
}

ExportPipeline::Result ExportPipeline::run(
    const Settings &settings, const std::atomic<bool> &cancelRequested, int stallTimeoutMs)
{
    const ScratchFile scratch{settings.outputPath + QStringLiteral(".mdat")};
    Graph graph;
    graph.clock.start();
    media::PipelineHandle pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    graph.pipeline = pipeline.get();

    GstElement *source = make("filesrc");
    GstElement *demux = make("qtdemux");
    GstElement *convertIn = make("videoconvert");
    GstElement *flip = make("videoflip");
    GstElement *crop = make("videocrop");
    GstElement *rate = make("videorate");
    GstElement *rateCaps = make("capsfilter");
    GstElement *convertOut = make("videoconvert");
    GstElement *formatCaps = make("capsfilter");
    GstElement *encoder = make("x264enc");
    GstElement *parser = make("h264parse");
    graph.mux = make("mp4mux");
    GstElement *sink = make("filesink");
    if (!addChain(&graph, {source, demux})
        || !addChain(&graph,
            {convertIn, flip, crop, rate, rateCaps, convertOut, formatCaps, encoder, parser, graph.mux, sink})) {
        return {Outcome::failed, QStringLiteral("cannot build the export pipeline")};
    }
    graph.videoEntry = convertIn;

    g_object_set(source, "location", settings.inputPath.toUtf8().constData(), nullptr);
    gst_util_set_object_arg(G_OBJECT(flip), "video-direction", "auto");
    const QRect &cut = settings.cropRect;
    g_object_set(crop, "left", cut.left(), "top", cut.top(), "right", settings.displaySize.width() - cut.right() - 1,
        "bottom", settings.displaySize.height() - cut.bottom() - 1, nullptr);
    GstCapsPtr rateFilter(
        gst_caps_new_simple("video/x-raw", "framerate", GST_TYPE_FRACTION, settings.framesPerSecond, 1, nullptr));
    g_object_set(rateCaps, "caps", rateFilter.get(), nullptr);
    GstCapsPtr formatFilter(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", nullptr));
    g_object_set(formatCaps, "caps", formatFilter.get(), nullptr);
    // Constant quality near transparent, at a speed that stays well ahead of
    // real time on two cores.
    gst_util_set_object_arg(G_OBJECT(encoder), "speed-preset", "veryfast");
    gst_util_set_object_arg(G_OBJECT(encoder), "pass", "qual");
    g_object_set(encoder, "quantizer", guint(18), nullptr);
    g_object_set(graph.mux, "faststart", gboolean(settings.isIndexFirst), nullptr);
    // Keep the mux's scratch copy of the media data beside the output, on the
    // same disk, rather than in a possibly memory-backed /tmp.
    g_object_set(graph.mux, "faststart-file", scratch.path.toUtf8().constData(), nullptr);
    g_object_set(sink, "location", settings.outputPath.toUtf8().constData(), nullptr);

    GstPtr<GstPad> encoderInput(gst_element_get_static_pad(encoder, "sink"));
    gst_pad_add_probe(encoderInput.get(),
        GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        GstPadProbeCallback(onEncoderInput), &graph, nullptr);
    g_signal_connect(demux, "pad-added", G_CALLBACK(onDemuxedPad), &graph);
    g_signal_connect(demux, "no-more-pads", G_CALLBACK(onNoMorePads), &graph);

    GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        media::GstMessageHandle message(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
        return {Outcome::failed, message ? errorText(message.get()) : QStringLiteral("cannot start the export")};
    }

    for (;;) {
        media::GstMessageHandle message(gst_bus_timed_pop_filtered(
            bus.get(), busPollInterval, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
        if (message && GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS) {
            // Back to NULL first: the muxer finishes and closes the file then.
            pipeline.reset();
            return {Outcome::completed, {}};
        }
        if (message) {
            return {Outcome::failed, errorText(message.get())};
        }
        if (cancelRequested) {
            return {Outcome::cancelled, {}};
        }
        if (graph.clock.elapsed() - graph.lastProgressMs > stallTimeoutMs) {
            return {Outcome::failed, QStringLiteral("the export stopped making progress")};
        }
    }
}
