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

constexpr std::array factories{"filesrc", "qtdemux", "queue", "h264parse", "aacparse", "mp4mux", "filesink"};

// The muxer's scratch file goes with the run, whatever its end.
struct ScratchFile {
    QString path;
    ~ScratchFile() { QFile::remove(path); }
};

bool isInstalled(const char *factory)
{
    return bool(GstPtr<GstElementFactory>(gst_element_factory_find(factory)));
}

QString missingText(const QString &factories)
{
    return QStringLiteral("missing GStreamer element: ") + factories;
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

bool isAac(const GstStructure *structure)
{
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

// demuxed pad → queue → parser → muxer, copied as it is.
bool copyStream(ExportGraph *graph, GstPad *pad, const char *parserFactory, const char *muxPadTemplate)
{
    GstElement *queue = GstChain::make("queue");
    GstElement *parser = GstChain::make(parserFactory);
    if (queue) {
        // Unlimited time and bytes: the other stream's queue may be the one
        // the demuxer is filling while this one waits for the muxer.
        g_object_set(
            queue, "max-size-time", guint64(0), "max-size-bytes", guint(0), "max-size-buffers", guint(0), nullptr);
    }
    if (!addRunningChain(graph, {queue, parser}) || !linkPads(pad, queue)) {
        return false;
    }
    GstPtr<GstPad> muxPad(gst_element_request_pad_simple(graph->mux, muxPadTemplate));
    GstPtr<GstPad> source(gst_element_get_static_pad(parser, "src"));
    if (!muxPad || !source || gst_pad_link(source.get(), muxPad.get()) != GST_PAD_LINK_OK) {
        return false;
    }
    graph->copyTo(pad, g_str_has_prefix(muxPadTemplate, "video"));
    return true;
}

void dropStream(ExportGraph *graph, GstPad *pad)
{
    if (GstElement *sink = GstChain::make("fakesink")) {
        g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
        if (addRunningChain(graph, {sink})) {
            linkPads(pad, sink);
        }
    }
}

void onDemuxedPad(GstElement *, GstPad *pad, ExportGraph *graph)
{
    GstCapsPtr caps;
    const GstStructure *structure = firstStructure(pad, caps);
    const QString name = structure ? QString::fromUtf8(gst_structure_get_name(structure)) : QString();
    if (name.startsWith(QLatin1String("video/")) && !graph->hasVideo) {
        if (name != QLatin1String("video/x-h264")) {
            graph->postError(QStringLiteral("the video track is not H.264: ") + name);
        } else if (!copyStream(graph, pad, "h264parse", "video_%u")) {
            graph->postError(QStringLiteral("cannot copy the video track"));
        }
        graph->hasVideo = true;
    } else if (name.startsWith(QLatin1String("audio/")) && !graph->hasAudio) {
        // Every recording's sound is AAC; anything else would need an encoder.
        if (!isAac(structure)) {
            graph->postError(QStringLiteral("the sound track is not AAC: ") + name);
        } else if (!copyStream(graph, pad, "aacparse", "audio_%u")) {
            graph->postError(QStringLiteral("cannot copy the sound track"));
        }
        graph->hasAudio = true;
    } else {
        // Further tracks are dropped rather than left unlinked.
        dropStream(graph, pad);
    }
}

void onNoMorePads(GstElement *, ExportGraph *graph)
{
    if (!graph->hasVideo) {
        graph->postError(QStringLiteral("the file has no video track"));
    }
}
} // namespace

QStringList ExportPipeline::missingElements()
{
    QStringList missing;
    for (const char *factory : factories) {
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
    graph.clock.start();
    media::PipelineHandle pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    graph.pipeline = pipeline.get();
    GstBin *bin = GST_BIN(pipeline.get());

    GstElement *source = GstChain::make("filesrc");
    GstElement *demux = GstChain::make("qtdemux");
    graph.mux = GstChain::make("mp4mux");
    GstElement *sink = GstChain::make("filesink");
    // Both chains go into the bin before either result counts: it owns them all.
    const bool hasInput = GstChain::addAndLink(bin, {source, demux});
    const bool hasOutput = GstChain::addAndLink(bin, {graph.mux, sink});
    if (!hasInput || !hasOutput) {
        const QStringList missing = missingElements();
        return {Outcome::failed,
            missing.isEmpty() ? QStringLiteral("cannot build the export pipeline")
                              : missingText(missing.join(QStringLiteral(", ")))};
    }

    g_object_set(source, "location", settings.inputPath.toUtf8().constData(), nullptr);
    g_object_set(graph.mux, "faststart", gboolean(settings.isIndexFirst), nullptr);
    // Keep the mux's scratch copy of the media data beside the output, on the
    // same disk, rather than in a possibly memory-backed /tmp.
    g_object_set(graph.mux, "faststart-file", scratch.path.toUtf8().constData(), nullptr);
    g_object_set(sink, "location", settings.outputPath.toUtf8().constData(), nullptr);
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
            return {Outcome::completed, {}, graph.copiedVideoSamples};
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
