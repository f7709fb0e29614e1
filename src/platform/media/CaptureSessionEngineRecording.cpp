#include "platform/media/CaptureSessionEngine.h"
#include "platform/media/CaptureTimeline.h"
#include "platform/media/GstChain.h"
#include "platform/media/PipelineTime.h"
#include "platform/media/RecordingCrop.h"

#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>

namespace {

constexpr guint fragmentDurationMs = 500;
constexpr guint64 queueSeconds = 3;
const QSize defaultVideoSize(1280, 720);

// Roughly 4 bits per pixel per second: 8 Mbit/s at 1080p30.
guint bitrateKbpsFor(QSize size)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    return guint(std::max<qint64>(1000, pixels * 4 / 1000));
}

// x264's preset for a take: cropped takes encode fewer pixels and spend part
// of the saving on quality, where two loaded cores still keep up at 30 fps
// next to the preview.
const char *speedPresetFor(QSize source, QSize encoded)
{
    const double share
        = double(qint64(encoded.width()) * encoded.height()) / double(qint64(source.width()) * source.height());
    if (share <= 0.4) {
        return "superfast";
    }
    return "ultrafast";
}

const char *aacEncoderFactory()
{
    GstPtr<GstElementFactory> libav(gst_element_factory_find("avenc_aac"));
    return libav ? "avenc_aac" : "voaacenc";
}

GstElement *makeQueue()
{
    GstElement *queue = GstChain::make("queue");
    if (queue) {
        // The encoders may fall a little behind while the preview keeps going.
        g_object_set(
            queue, "max-size-buffers", 0, "max-size-bytes", 0, "max-size-time", queueSeconds * GST_SECOND, nullptr);
    }
    return queue;
}

GstPtr<GstPad> padOf(GstElement *element, const char *name)
{
    return GstPtr<GstPad>(gst_element_get_static_pad(element, name));
}

} // namespace

// The camera's size as negotiated; the size it was asked for while a new
// camera or resolution has not delivered its first picture yet.
QSize CaptureSessionEngine::recordingSourceSize() const
{
    const QSize negotiated = activeVideoSize();
    if (!negotiated.isEmpty()) {
        return negotiated;
    }
    return m_video->mode.size.isEmpty() ? defaultVideoSize : m_video->mode.size;
}

bool CaptureSessionEngine::buildRecordingBin(Recording &recording, GstElement **videoEntry, GstElement **audioEntry)
{
    GstBin *bin = GST_BIN(recording.bin.get());
    const QSize source = recordingSourceSize();
    if (recording.cropAspectRatio) {
        recording.cropRect = RecordingCrop::rectFor(source, *recording.cropAspectRatio);
    }
    const QSize encoded = recording.cropRect ? recording.cropRect->size() : source;
    GstElement *videoQueue = makeQueue();
    GstElement *crop = recording.cropRect
        ? RecordingCrop::makeElement(source, *recording.cropRect, *recording.cropAspectRatio)
        : nullptr;
    GstElement *convert = GstChain::make("videoconvert");
    GstElement *format = GstChain::make("capsfilter");
    GstElement *encoder = GstChain::make("x264enc");
    GstElement *parser = GstChain::make("h264parse");
    GstElement *muxer = GstChain::make("mp4mux");
    GstElement *sink = GstChain::make("filesink");
    if (format) {
        // 4:2:0, or x264 keeps the camera's 4:4:4 and many players refuse the file.
        GstCapsPtr i420(gst_caps_from_string("video/x-raw,format=I420"));
        g_object_set(format, "caps", i420.get(), nullptr);
    }
    if (encoder) {
        // No B-frames: a stop-phrase cut then drops whole frames from the end
        // without breaking a reference, and the file is never encoded again.
        gst_util_set_object_arg(G_OBJECT(encoder), "tune", "zerolatency");
        gst_util_set_object_arg(G_OBJECT(encoder), "speed-preset", speedPresetFor(source, encoded));
        g_object_set(encoder, "bitrate", bitrateKbpsFor(encoded), "key-int-max", 60, nullptr);
    }
    if (muxer) {
        // Half-second fragments keep the file playable up to about the last
        // second if the program dies.
        g_object_set(muxer, "fragment-duration", fragmentDurationMs, nullptr);
    }
    if (sink) {
        g_object_set(sink, "location", recording.path.toUtf8().constData(), "async", FALSE, "sync", FALSE, nullptr);
        // Each fragment goes to the file at once instead of waiting in a 64 KiB
        // buffer that a killed process would take with it.
        gst_util_set_object_arg(G_OBJECT(sink), "buffer-mode", "unbuffered");
    }
    // Cropped after the conversion: videocrop knows 4:2:0 but not every
    // format a camera may deliver.
    bool built = recording.cropRect
        ? GstChain::addAndLink(bin, {videoQueue, convert, format, crop, encoder, parser, muxer, sink})
        : GstChain::addAndLink(bin, {videoQueue, convert, format, encoder, parser, muxer, sink});
    *videoEntry = videoQueue;

    if (recording.hasAudio) {
        GstElement *audioQueue = makeQueue();
        GstElement *audioConvert = GstChain::make("audioconvert");
        GstElement *audioResample = GstChain::make("audioresample");
        GstElement *audioEncoder = GstChain::make(aacEncoderFactory());
        if (audioEncoder) {
            g_object_set(audioEncoder, "bitrate", 128000, nullptr);
        }
        built = GstChain::addAndLink(bin, {audioQueue, audioConvert, audioResample, audioEncoder}) && built && muxer
            && gst_element_link(audioEncoder, muxer);
        *audioEntry = audioQueue;
        if (built) {
            recording.timeline->attachAudio(padOf(audioQueue, "src").get(), padOf(audioConvert, "sink").get());
        }
    }
    if (!built) {
        return false;
    }
    recording.timeline->attachVideo(padOf(videoQueue, "sink").get());

    gst_pad_add_probe(
        padOf(parser, "src").get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *, gpointer data) {
            ++static_cast<Recording *>(data)->videoFrames;
            return GST_PAD_PROBE_OK;
        },
        &recording, nullptr);
    // The file is complete when the end of stream reaches the sink; until then
    // every buffer that reaches it shows the finish is still moving.
    gst_pad_add_probe(
        padOf(sink, "sink").get(), GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        [](GstPad *, GstPadProbeInfo *info, gpointer data) {
            auto *weak = static_cast<std::weak_ptr<Recording> *>(data);
            auto recording = weak->lock();
            if (!recording) {
                return GST_PAD_PROBE_OK;
            }
            if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
                ++recording->writtenBuffers;
            } else if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) {
                CaptureSessionEngine *engine = recording->engine;
                engine->m_service->post([engine, recording] { engine->finishRecording(recording, recording->error); });
            }
            return GST_PAD_PROBE_OK;
        },
        new std::weak_ptr<Recording>(recording.shared_from_this()),
        [](gpointer data) { delete static_cast<std::weak_ptr<Recording> *>(data); });
    return true;
}

void CaptureSessionEngine::startRecording(MovieFileOutput *output, const QString &path,
    const MovieFileOutput::RecordingSettings &settings, MovieFileOutput::RecordingDelegate delegate,
    MovieFileOutput::StartDelegate didStart)
{
    std::lock_guard lock(m_pipelineMutex);
    if (m_recording && m_recording->output == output) {
        return;
    }
    {
        std::lock_guard configLock(m_configMutex);
        if (!m_outputs.contains(output)) {
            reportFailedStart(path, std::move(delegate), MovieFileOutput::notInSessionError());
            return;
        }
    }
    if (!m_running || !m_video || m_video->failed) {
        reportFailedStart(path, std::move(delegate), QStringLiteral("没有可录制的摄像头画面"));
        return;
    }
    // Never write over an existing file: it may be an earlier recording, and
    // reporting it as finished would send that recording through processing again.
    if (QFileInfo::exists(path)) {
        reportFailedStart(path, nullptr, QStringLiteral("文件已存在: ") + path);
        return;
    }
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly)) {
            reportFailedStart(path, std::move(delegate),
                QStringLiteral("无法写入文件 ") + path + QStringLiteral(": ") + probe.errorString());
            return;
        }
    }

    auto recording = std::make_shared<Recording>();
    recording->engine = this;
    recording->output = output;
    recording->path = path;
    recording->delegate = std::move(delegate);
    recording->cropAspectRatio = settings.cropAspectRatio;
    recording->hasAudio = m_audio && !m_audio->failed && output->m_audioConnection.isEnabled();
    recording->timeline = CaptureTimeline::create();
    recording->timeline->setStartHandler(std::move(didStart));
    // A name of its own: the last take's bin may still be finishing in the
    // pipeline, and a bin cannot take a second child of the same name.
    static std::atomic<unsigned> takes = 0;
    recording->bin = GstPtr<GstElement>(gst_bin_new(QStringLiteral("recording-%1").arg(++takes).toUtf8().constData()));

    GstElement *videoEntry = nullptr;
    GstElement *audioEntry = nullptr;
    if (!buildRecordingBin(*recording, &videoEntry, &audioEntry)) {
        QFile::remove(path); // the empty file of the write test
        reportFailedStart(path, recording->delegate, QStringLiteral("无法组建录制管线（缺少编码组件？）"));
        return;
    }
    struct Wanted {
        GstElement *innerSink;
        Branch *branch;
        const char *name;
    };
    std::vector<Wanted> wanted = {{videoEntry, m_video.get(), "video"}};
    if (recording->hasAudio) {
        wanted.push_back({audioEntry, m_audio.get(), "audio"});
    }
    for (const Wanted &want : wanted) {
        GstPtr<GstPad> target = padOf(want.innerSink, "sink");
        GstPad *ghost = gst_ghost_pad_new(want.name, target.get());
        gst_pad_set_active(ghost, TRUE);
        gst_element_add_pad(recording->bin.get(), ghost);
        recording->links.push_back({want.branch->tee, {}, GstPtr<GstPad>::ref(ghost)});
    }

    GstElement *bin = recording->bin.get();
    const bool added = gst_bin_add(GST_BIN(m_pipeline.get()), bin);
    if (!added || !gst_element_sync_state_with_parent(bin)) {
        gst_element_set_state(bin, GST_STATE_NULL);
        if (added) {
            gst_bin_remove(GST_BIN(m_pipeline.get()), bin);
        }
        QFile::remove(path);
        reportFailedStart(path, recording->delegate, QStringLiteral("无法启动录制: ") + path);
        return;
    }
    // No offsets here: the timeline starts the take at its first picture.
    for (auto &link : recording->links) {
        link.teePad = GstPtr<GstPad>(gst_element_request_pad_simple(link.tee.get(), "src_%u"));
        if (gst_pad_link(link.teePad.get(), link.sinkPad.get()) != GST_PAD_LINK_OK) {
            Log::line(QStringLiteral("❌ 无法连接录制分支: ") + QString::fromUtf8(GST_PAD_NAME(link.sinkPad.get())));
        }
    }
    m_recording = recording;
}

bool CaptureSessionEngine::isRecording(const MovieFileOutput *output) const
{
    std::lock_guard lock(m_pipelineMutex);
    return m_recording && m_recording->output == output;
}

std::optional<double> CaptureSessionEngine::firstPictureTime(const MovieFileOutput *output) const
{
    std::lock_guard lock(m_pipelineMutex);
    if (!m_recording || m_recording->output != output || !m_pipeline) {
        return std::nullopt;
    }
    const GstClockTime start = m_recording->timeline->startRunningTime();
    GstPtr<GstClock> clock(gst_pipeline_get_clock(GST_PIPELINE(m_pipeline.get())));
    if (!GST_CLOCK_TIME_IS_VALID(start) || !clock) {
        return std::nullopt;
    }
    return PipelineTime::toSteadySeconds(m_pipeline.get(), clock.get(), start);
}

std::optional<QRect> CaptureSessionEngine::recordingCropRect(const MovieFileOutput *output) const
{
    std::lock_guard lock(m_pipelineMutex);
    if (!m_recording || m_recording->output != output) {
        return std::nullopt;
    }
    return m_recording->cropRect;
}

bool CaptureSessionEngine::hasAudioConnection(const MovieFileOutput *output) const
{
    std::lock_guard lock(m_configMutex);
    if (!m_outputs.contains(const_cast<MovieFileOutput *>(output))) {
        return false;
    }
    return std::any_of(m_inputs.begin(), m_inputs.end(),
        [](const auto &input) { return input->device().hasMediaType(MediaType::audio); });
}

void CaptureSessionEngine::reportFailedStart(
    const QString &path, MovieFileOutput::RecordingDelegate delegate, const QString &error)
{
    Log::line(QStringLiteral("❌ 无法开始录制: ") + error);
    if (delegate) {
        m_service->post([path, delegate = std::move(delegate), error] { delegate(path, error); });
    }
}
