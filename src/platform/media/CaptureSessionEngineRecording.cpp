#include "platform/media/CaptureSessionEngine.h"

#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr auto finishTimeout = std::chrono::seconds(5);
constexpr int firstFrameWaits = 50; // of 20 ms
constexpr guint fragmentDurationMs = 500;

GstElement *add(GstElement *bin, const char *factory)
{
    GstElement *element = gst_element_factory_make(factory, nullptr);
    if (element) {
        gst_bin_add(GST_BIN(bin), element);
    }
    return element;
}

// Roughly 4 bits per pixel per second: 8 Mbit/s at 1080p30.
guint bitrateKbpsFor(QSize size)
{
    const qint64 pixels = size.isEmpty() ? 1280 * 720 : qint64(size.width()) * size.height();
    return guint(std::max<qint64>(1000, pixels * 4 / 1000));
}

bool linkAll(std::initializer_list<GstElement *> chain)
{
    GstElement *previous = nullptr;
    for (GstElement *element : chain) {
        if (!element || (previous && !gst_element_link(previous, element))) {
            return false;
        }
        previous = element;
    }
    return true;
}

} // namespace

void CaptureSessionEngine::startRecording(
    MovieFileOutput *output, const QString &path, MovieFileOutput::RecordingDelegate delegate)
{
    std::lock_guard lock(m_pipelineMutex);
    if (m_recording && m_recording->output == output) {
        return;
    }
    {
        std::lock_guard configLock(m_configMutex);
        if (!m_outputs.contains(output)) {
            reportFailedStart(path, std::move(delegate), QStringLiteral("录制输出不在采集会话中"));
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
    recording->hasAudio = m_audio && !m_audio->failed && output->m_audioConnection.isEnabled();

    GstElement *bin = gst_bin_new("recording");
    recording->bin = GstPtr<GstElement>(bin);

    GstElement *videoQueue = add(bin, "queue");
    GstElement *convert = add(bin, "videoconvert");
    GstElement *format = add(bin, "capsfilter");
    GstElement *encoder = add(bin, "x264enc");
    GstElement *parser = add(bin, "h264parse");
    GstElement *muxer = add(bin, "mp4mux");
    GstElement *sink = add(bin, "filesink");
    bool built = videoQueue && convert && format && encoder && parser && muxer && sink;
    if (built) {
        // The encoder may fall a little behind while the preview keeps going.
        g_object_set(
            videoQueue, "max-size-buffers", 0, "max-size-bytes", 0, "max-size-time", guint64(3 * GST_SECOND), nullptr);
        // 4:2:0, or x264 keeps the camera's 4:4:4 and many players refuse the file.
        GstCapsPtr i420(gst_caps_from_string("video/x-raw,format=I420"));
        g_object_set(format, "caps", i420.get(), nullptr);
        gst_util_set_object_arg(G_OBJECT(encoder), "tune", "zerolatency");
        // ultrafast holds 1080p30 live on two cores next to the preview.
        gst_util_set_object_arg(G_OBJECT(encoder), "speed-preset", "ultrafast");
        g_object_set(encoder, "bitrate", bitrateKbpsFor(activeVideoSize()), "key-int-max", 60, nullptr);
        // Half-second fragments keep the file playable up to about the last second
        // if the program dies.
        g_object_set(muxer, "fragment-duration", fragmentDurationMs, nullptr);
        g_object_set(sink, "location", path.toUtf8().constData(), "async", FALSE, "sync", FALSE, nullptr);
        // Each fragment goes to the file at once instead of waiting in a 64 KiB
        // buffer that a killed process would take with it.
        gst_util_set_object_arg(G_OBJECT(sink), "buffer-mode", "unbuffered");
        built = linkAll({videoQueue, convert, format, encoder, parser, muxer, sink});
    }
    GstElement *audioQueue = nullptr;
    if (built && recording->hasAudio) {
        audioQueue = add(bin, "queue");
        GstElement *audioConvert = add(bin, "audioconvert");
        GstElement *audioResample = add(bin, "audioresample");
        GstElement *audioEncoder = add(bin, "avenc_aac");
        if (!audioEncoder) {
            audioEncoder = add(bin, "voaacenc");
        }
        if (audioEncoder) {
            g_object_set(audioEncoder, "bitrate", 128000, nullptr);
        }
        if (audioQueue) {
            g_object_set(audioQueue, "max-size-buffers", 0, "max-size-bytes", 0, "max-size-time",
                guint64(3 * GST_SECOND), nullptr);
        }
        built = linkAll({audioQueue, audioConvert, audioResample, audioEncoder, muxer});
    }
    if (!built) {
        QFile::remove(path); // the empty file of the write test
        reportFailedStart(path, recording->delegate, QStringLiteral("无法组建录制管线（缺少编码组件？）"));
        return;
    }

    GstPtr<GstPad> parserSource(gst_element_get_static_pad(parser, "src"));
    gst_pad_add_probe(
        parserSource.get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *, gpointer data) {
            ++static_cast<Recording *>(data)->videoFrames;
            return GST_PAD_PROBE_OK;
        },
        recording.get(), nullptr);
    GstPtr<GstPad> sinkPad(gst_element_get_static_pad(sink, "sink"));
    gst_pad_add_probe(
        sinkPad.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) {
            if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) {
                auto *weak = static_cast<std::weak_ptr<Recording> *>(data);
                if (auto recording = weak->lock()) {
                    CaptureSessionEngine *engine = recording->engine;
                    engine->m_service->post([engine, recording] { engine->finishRecording(recording, std::nullopt); });
                }
            }
            return GST_PAD_PROBE_OK;
        },
        new std::weak_ptr<Recording>(recording),
        [](gpointer data) { delete static_cast<std::weak_ptr<Recording> *>(data); });

    struct Wanted {
        GstElement *innerSink;
        Branch *branch;
        const char *name;
    };
    std::vector<Wanted> wanted = {{videoQueue, m_video.get(), "video"}};
    if (recording->hasAudio) {
        wanted.push_back({audioQueue, m_audio.get(), "audio"});
    }
    for (const Wanted &want : wanted) {
        GstPtr<GstPad> target(gst_element_get_static_pad(want.innerSink, "sink"));
        GstPad *ghost = gst_ghost_pad_new(want.name, target.get());
        gst_pad_set_active(ghost, TRUE);
        gst_element_add_pad(bin, ghost);
        recording->links.push_back({want.branch->tee, {}, GstPtr<GstPad>::ref(ghost)});
    }

    gst_bin_add(GST_BIN(m_pipeline.get()), bin);
    if (!gst_element_sync_state_with_parent(bin)) {
        gst_element_set_state(bin, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(m_pipeline.get()), bin);
        QFile::remove(path);
        reportFailedStart(path, recording->delegate, QStringLiteral("无法启动录制: ") + path);
        return;
    }

    // The file starts at 0: shift the branch by the running time of now, the
    // same for sound and picture so they stay in sync.
    GstPtr<GstClock> clock(gst_element_get_clock(m_pipeline.get()));
    const GstClockTime now = clock ? gst_clock_get_time(clock.get()) : 0;
    const GstClockTime base = gst_element_get_base_time(m_pipeline.get());
    const gint64 offset = now > base ? -gint64(now - base) : 0;
    for (auto &link : recording->links) {
        link.teePad = GstPtr<GstPad>(gst_element_request_pad_simple(link.tee.get(), "src_%u"));
        gst_pad_set_offset(link.teePad.get(), offset);
        if (gst_pad_link(link.teePad.get(), link.sinkPad.get()) != GST_PAD_LINK_OK) {
            Log::line(QStringLiteral("❌ 无法连接录制分支: ") + QString::fromUtf8(GST_PAD_NAME(link.sinkPad.get())));
        }
    }
    m_recording = recording;
}

void CaptureSessionEngine::stopRecording(MovieFileOutput *output)
{
    std::lock_guard lock(m_pipelineMutex);
    if (m_recording && m_recording->output == output) {
        endRecording(m_recording, true);
    }
}

bool CaptureSessionEngine::isRecording(const MovieFileOutput *output) const
{
    std::lock_guard lock(m_pipelineMutex);
    return m_recording && m_recording->output == output;
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

void CaptureSessionEngine::endRecording(std::shared_ptr<Recording> recording, bool afterFirstFrame)
{
    if (m_recording == recording) {
        m_recording.reset();
    }
    m_finishing.push_back(recording);
    std::weak_ptr<Recording> weak = recording;
    m_service->postAfter(finishTimeout, [this, weak] {
        if (auto late = weak.lock()) {
            finishRecording(late, QStringLiteral("录制未能按时结束，文件可能不完整"));
        }
    });
    if (afterFirstFrame) {
        closeWhenFramed(weak, firstFrameWaits);
    } else {
        closeBranch(recording);
    }
}

void CaptureSessionEngine::closeWhenFramed(const std::weak_ptr<Recording> &weak, int waitsLeft)
{
    // A stop right after the start would leave a file without a single picture,
    // which players and the crop step choke on: wait briefly for the first one.
    auto recording = weak.lock();
    if (!recording) {
        return;
    }
    if (recording->videoFrames > 0 || waitsLeft <= 0) {
        std::lock_guard lock(m_pipelineMutex);
        closeBranch(recording);
        return;
    }
    m_service->postAfter(
        std::chrono::milliseconds(20), [this, weak, waitsLeft] { closeWhenFramed(weak, waitsLeft - 1); });
}

void CaptureSessionEngine::closeBranch(const std::shared_ptr<Recording> &recording)
{
    // Cut the branch off the tees and close it with EOS; the muxer writes its
    // last fragment and the file sink's EOS hands the file over. The pads'
    // stream locks keep a buffer from slipping in behind the EOS.
    if (recording->closed || recording->finished) {
        return;
    }
    recording->closed = true;
    for (auto &link : recording->links) {
        if (link.teePad) {
            gst_pad_unlink(link.teePad.get(), link.sinkPad.get());
            gst_element_release_request_pad(link.tee.get(), link.teePad.get());
        }
        gst_pad_send_event(link.sinkPad.get(), gst_event_new_eos());
    }
}

void CaptureSessionEngine::finishRecording(const std::shared_ptr<Recording> &recording, std::optional<QString> error)
{
    {
        std::lock_guard lock(m_pipelineMutex);
        if (recording->finished) {
            return;
        }
        recording->finished = true;
        if (!recording->closed) {
            recording->closed = true;
            for (auto &link : recording->links) {
                if (link.teePad) {
                    gst_pad_unlink(link.teePad.get(), link.sinkPad.get());
                    gst_element_release_request_pad(link.tee.get(), link.teePad.get());
                }
            }
        }
        gst_element_set_state(recording->bin.get(), GST_STATE_NULL);
        gst_bin_remove(GST_BIN(m_pipeline.get()), recording->bin.get());
        std::erase(m_finishing, recording);
        if (m_recording == recording) {
            m_recording.reset();
        }
        if (recording->output && recording->output->m_engine.load() == this) {
            recording->output->m_lastRecordingVideoFrames = recording->videoFrames.load();
            ++recording->output->m_finishedRecordings;
        }
    }
    // A size change held back while the file was written applies now.
    applyConfiguration();
    if (recording->delegate) {
        recording->delegate(recording->path, error);
    }
}

void CaptureSessionEngine::reportFailedStart(
    const QString &path, MovieFileOutput::RecordingDelegate delegate, const QString &error)
{
    Log::line(QStringLiteral("❌ 无法开始录制: ") + error);
    if (delegate) {
        m_service->post([path, delegate = std::move(delegate), error] { delegate(path, error); });
    }
}
