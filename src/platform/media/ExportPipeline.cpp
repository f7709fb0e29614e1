#include "platform/media/ExportPipeline.h"

#include "platform/media/ExportGraph.h"
#include "platform/media/GstChain.h"
#include "platform/media/GstErrorText.h"
#include "platform/media/GstPtr.h"
#include "platform/media/MediaAssetHandles.h"

#include <QFile>

#include <array>
#include <cmath>

namespace {
constexpr GstClockTime busPollInterval = 100 * GST_MSECOND;
// Compressed video frames held between the demuxer and the decoder. Enough
// to cover the encoder's look-ahead; time and bytes stay unlimited, since a
// 1 s default makes the sound queue fill first and the graph stalls.
constexpr guint videoQueueBuffers = 600;

constexpr std::array videoFactories{"filesrc", "qtdemux", "queue", "decodebin", "videoconvert", "videoflip",
    "videocrop", "videorate", "capsfilter", "x264enc", "h264parse", "mp4mux", "filesink"};
// Sound that is not AAC already is encoded by the first of these installed.
constexpr std::array aacEncoders{"avenc_aac", "voaacenc", "fdkaacenc", "faac"};

// The muxer's scratch file goes with the run, whatever its end.
struct ScratchFile {
    QString path;
    ~ScratchFile() { QFile::remove(path); }
};

bool isInstalled(const char *factory)
{
    return bool(GstPtr<GstElementFactory>(gst_element_factory_find(factory)));
}

QString missingText(const char *factory)
{
    return QStringLiteral("missing GStreamer element: ") + QString::fromUtf8(factory);
}

GstElement *makeQueue(guint maxBuffers)
{
    GstElement *queue = GstChain::make("queue");
    if (queue) {
        g_object_set(
            queue, "max-size-time", guint64(0), "max-size-bytes", guint(0), "max-size-buffers", maxBuffers, nullptr);
    }
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

// Adds a chain while the graph runs: the bin owns every element handed in,
// built or not, and the ones added start at the graph's state.
bool addRunningChain(ExportGraph *graph, std::initializer_list<GstElement *> elements)
{
    std::vector<GstPtr<GstElement>> added;
    const bool isBuilt = GstChain::addAndLink(GST_BIN(graph->pipeline), elements, &added);
    for (const GstPtr<GstElement> &element : added) {
        gst_element_sync_state_with_parent(element.get());
    }
    return isBuilt;
}

bool linkPads(GstPad *source, GstElement *sinkElement)
{
    GstPtr<GstPad> sink(gst_element_get_static_pad(sinkElement, "sink"));
    return sink && gst_pad_link(source, sink.get()) == GST_PAD_LINK_OK;
}

bool linkToMux(ExportGraph *graph, GstElement *last, const char *padTemplate)
{
    GstPtr<GstPad> muxPad(gst_element_request_pad_simple(graph->mux, padTemplate));
    GstPtr<GstPad> source(gst_element_get_static_pad(last, "src"));
    return muxPad && source && gst_pad_link(source.get(), muxPad.get()) == GST_PAD_LINK_OK;
}

void onVideoDecoded(GstElement *, GstPad *pad, ExportGraph *graph)
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

void linkCopiedVideo(ExportGraph *graph, GstPad *pad)
{
    GstElement *queue = makeQueue(videoQueueBuffers);
    GstElement *parser = GstChain::make("h264parse");
    if (!addRunningChain(graph, {queue, parser}) || !linkPads(pad, queue) || !linkToMux(graph, parser, "video_%u")) {
        graph->postError(QStringLiteral("cannot copy the video track"));
        return;
    }
    graph->countProgressAt(pad);
    graph->endAt(pad, true);
    graph->hasVideo = true;
}

void linkVideo(ExportGraph *graph, GstPad *pad)
{
    if (graph->copiesVideo) {
        linkCopiedVideo(graph, pad);
        return;
    }
    GstElement *queue = makeQueue(videoQueueBuffers);
    GstElement *decoder = GstChain::make("decodebin");
    if (!addRunningChain(graph, {queue, decoder}) || !linkPads(pad, queue)) {
        graph->postError(QStringLiteral("cannot decode the video track"));
        return;
    }
    graph->dropBeforeFirstKeyFrame(pad);
    graph->endAt(pad);
    g_signal_connect(decoder, "pad-added", G_CALLBACK(onVideoDecoded), graph);
    graph->hasVideo = true;
}

// The first AAC encoder installed; none, with a line naming the usual one,
// when there is none at all.
GstElement *makeAacEncoder()
{
    for (const char *factory : aacEncoders) {
        if (isInstalled(factory)) {
            return GstChain::make(factory);
        }
    }
    return GstChain::make(aacEncoders.front());
}

void linkAudio(ExportGraph *graph, GstPad *pad)
{
    graph->endAt(pad);
    // AAC, which every recording has, is copied as it is: no decoder or
    // encoder is needed for it.
    GstElement *queue = makeQueue(0);
    if (isAac(pad)) {
        GstElement *parser = GstChain::make("aacparse");
        if (addRunningChain(graph, {queue, parser}) && linkPads(pad, queue) && linkToMux(graph, parser, "audio_%u")) {
            graph->hasAudio = true;
            return;
        }
        graph->postError(parser ? QStringLiteral("cannot copy the sound track") : missingText("aacparse"));
        return;
    }
    GstElement *decoder = GstChain::make("decodebin");
    GstElement *convert = GstChain::make("audioconvert");
    GstElement *resample = GstChain::make("audioresample");
    GstElement *encoder = makeAacEncoder();
    const bool hasInput = addRunningChain(graph, {queue, decoder});
    const bool hasEncoder = addRunningChain(graph, {convert, resample, encoder});
    if (!encoder) {
        // The recording keeps its sound: a crop without it would lose it.
        graph->postError(missingText(aacEncoders.front()) + QStringLiteral(" (or another AAC encoder)"));
        return;
    }
    if (!hasInput || !hasEncoder || !linkPads(pad, queue) || !linkToMux(graph, encoder, "audio_%u")) {
        graph->postError(QStringLiteral("cannot encode the sound track"));
        return;
    }
    g_signal_connect(decoder, "pad-added", G_CALLBACK(onAudioDecoded), convert);
    graph->hasAudio = true;
}

void onDemuxedPad(GstElement *, GstPad *pad, ExportGraph *graph)
{
    const QString name = capsName(pad);
    if (name.startsWith(QLatin1String("video/")) && !graph->hasVideo) {
        linkVideo(graph, pad);
    } else if (name.startsWith(QLatin1String("audio/")) && !graph->hasAudio) {
        linkAudio(graph, pad);
    } else if (GstElement *sink = GstChain::make("fakesink")) {
        // Further tracks are dropped rather than left unlinked.
        g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
        if (addRunningChain(graph, {sink})) {
            linkPads(pad, sink);
        }
    }
}

void onNoMorePads(GstElement *, ExportGraph *graph)
{
    if (!graph->hasVideo) {
        graph->postError(QStringLiteral("the file has no video track"));
    }
}

// Marks progress for the stall check and strips the orientation tag: the
// picture is already upright, a player must not turn it again.
GstPadProbeReturn onEncoderInput(GstPad *, GstPadProbeInfo *info, ExportGraph *graph)
{
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        graph->markProgress();
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
} // namespace

QStringList ExportPipeline::missingElements()
{
    QStringList missing;
    for (const char *factory : videoFactories) {
        if (!isInstalled(factory)) {
            missing << QString::fromUtf8(factory);
        }
    }
    return missing;
}

ExportPipeline::Result ExportPipeline::run(
    const Settings &settings, const std::atomic<bool> &cancelRequested, int stallTimeoutMs)
{
    const ScratchFile scratch{scratchPath(settings.outputPath)};
    ExportGraph graph;
    if (settings.endSeconds) {
        graph.end = GstClockTime(std::llround(std::max(0.0, *settings.endSeconds) * double(GST_SECOND)));
    }
    graph.copiesVideo = settings.copiesVideo;
    graph.copyEnd = GstClockTime(std::llround(std::max(0.0, settings.copyEndDecodeSeconds) * double(GST_SECOND)));
    graph.clock.start();
    media::PipelineHandle pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    graph.pipeline = pipeline.get();
    GstBin *bin = GST_BIN(pipeline.get());

    GstElement *source = GstChain::make("filesrc");
    GstElement *demux = GstChain::make("qtdemux");
    GstElement *convertIn = GstChain::make("videoconvert");
    GstElement *flip = GstChain::make("videoflip");
    GstElement *crop = GstChain::make("videocrop");
    GstElement *rate = GstChain::make("videorate");
    GstElement *rateCaps = GstChain::make("capsfilter");
    GstElement *convertOut = GstChain::make("videoconvert");
    GstElement *formatCaps = GstChain::make("capsfilter");
    GstElement *encoder = GstChain::make("x264enc");
    GstElement *parser = GstChain::make("h264parse");
    graph.mux = GstChain::make("mp4mux");
    GstElement *sink = GstChain::make("filesink");
    // Both chains go into the bin before either result counts: it owns them all.
    const bool hasInput = GstChain::addAndLink(bin, {source, demux});
    const bool hasOutput = settings.copiesVideo
        ? GstChain::addAndLink(bin, {graph.mux, sink})
        : GstChain::addAndLink(
            bin, {convertIn, flip, crop, rate, rateCaps, convertOut, formatCaps, encoder, parser, graph.mux, sink});
    // Copying leaves the picture's chain out of the bin: ours to free, at the end.
    std::vector<GstPtr<GstElement>> unused;
    if (settings.copiesVideo) {
        for (GstElement *element : {convertIn, flip, crop, rate, rateCaps, convertOut, formatCaps, encoder, parser}) {
            unused.emplace_back(element);
        }
    }
    if (!hasInput || !hasOutput) {
        const QStringList missing = missingElements();
        return {Outcome::failed,
            missing.isEmpty() ? QStringLiteral("cannot build the export pipeline")
                              : missingText(missing.join(QStringLiteral(", ")).toUtf8().constData())};
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

    GstPtr<GstPad> decodedInput(gst_element_get_static_pad(convertIn, "sink"));
    graph.dropBrokenPictures(decodedInput.get());
    GstPtr<GstPad> encoderInput(gst_element_get_static_pad(encoder, "sink"));
    gst_pad_add_probe(encoderInput.get(),
        GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        GstPadProbeCallback(onEncoderInput), &graph, nullptr);
    g_signal_connect(demux, "pad-added", G_CALLBACK(onDemuxedPad), &graph);
    g_signal_connect(demux, "no-more-pads", G_CALLBACK(onNoMorePads), &graph);

    GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        media::GstMessageHandle message(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
        return {Outcome::failed, GstErrorText::of(message.get(), QStringLiteral("cannot start the export"))};
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
            return {Outcome::failed, GstErrorText::of(message.get())};
        }
        if (cancelRequested) {
            return {Outcome::cancelled, QStringLiteral("the export was cancelled")};
        }
        if (graph.clock.elapsed() - graph.lastProgressMs > stallTimeoutMs) {
            return {Outcome::failed, QStringLiteral("the export stopped making progress")};
        }
    }
}
