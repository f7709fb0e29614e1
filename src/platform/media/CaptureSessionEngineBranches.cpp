#include "platform/media/CaptureDeviceBackend.h"
#include "platform/media/CaptureSessionEngine.h"

#include "platform/Log.h"

namespace {

constexpr int microphoneRate = 48000;

GstElement *makeElement(const char *factory, const char *name = nullptr)
{
    GstElement *element = gst_element_factory_make(factory, name);
    if (!element) {
        Log::line(QStringLiteral("❌ 缺少 GStreamer 组件: ") + QString::fromUtf8(factory));
    }
    return element;
}

// Adds the elements to the pipeline and links them in order; on failure the
// branch owns whatever was added so dropping it cleans up.
bool addChain(GstElement *pipeline, std::vector<GstPtr<GstElement>> &owned, std::initializer_list<GstElement *> chain)
{
    GstElement *previous = nullptr;
    bool linked = true;
    for (GstElement *element : chain) {
        if (!element) {
            linked = false;
            continue;
        }
        GstPtr<GstElement> held(element);
        gst_bin_add(GST_BIN(pipeline), element);
        owned.push_back(held);
        if (previous && linked && !gst_element_link(previous, element)) {
            linked = false;
        }
        previous = element;
    }
    return linked;
}

} // namespace

GstCapsPtr CaptureSessionEngine::videoCapsFor(const CaptureDevice &device, SessionPreset preset) const
{
    QSize size = SessionPresets::frameSize(preset);
    const bool knowsCaps = device.backend() && device.backend()->caps;
    if (size.isEmpty() || (knowsCaps && !device.supportsFrameSize(size))) {
        // `high`, or a size the camera cannot give: the best of the usual sizes it
        // offers, never above the one asked for.
        const QSize asked = size.isEmpty() ? QSize(1280, 720) : size;
        size = {};
        for (QSize candidate : {QSize(3840, 2160), QSize(1920, 1080), QSize(1280, 720), QSize(640, 480)}) {
            if (candidate.height() <= asked.height() && (!knowsCaps || device.supportsFrameSize(candidate))) {
                size = candidate;
                break;
            }
        }
    }
    if (size.isEmpty()) {
        return GstCapsPtr(gst_caps_from_string("video/x-raw"));
    }
    // Always ask for the size: left free, PipeWire's cameras fall back to 320x240.
    const QByteArray caps
        = QStringLiteral("video/x-raw,width=%1,height=%2,framerate=30/1; video/x-raw,width=%1,height=%2")
              .arg(size.width())
              .arg(size.height())
              .toUtf8();
    return GstCapsPtr(gst_caps_from_string(caps.constData()));
}

void CaptureSessionEngine::applyVideo(const std::shared_ptr<CaptureDeviceInput> &input, SessionPreset preset)
{
    if (!input) {
        if (m_video) {
            if (m_recording) {
                endRecording(m_recording);
            }
            dropBranch(m_video);
        }
        return;
    }
    GstCapsPtr caps = videoCapsFor(input->device(), preset);
    if (m_video && m_video->deviceID == input->device().uniqueID() && !m_video->failed) {
        m_video->input = input;
        if (gst_caps_is_equal(m_video->requestedCaps.get(), caps.get())) {
            return;
        }
        // A new size mid-recording would break the file; it applies once the
        // recording ends.
        if (m_recording) {
            return;
        }
    } else if (m_recording) {
        endRecording(m_recording);
    }
    dropBranch(m_video);
    m_video = buildVideoBranch(input, std::move(caps));
}

std::unique_ptr<CaptureSessionEngine::Branch> CaptureSessionEngine::buildVideoBranch(
    const std::shared_ptr<CaptureDeviceInput> &input, GstCapsPtr caps)
{
    auto branch = std::make_unique<Branch>();
    branch->input = input;
    branch->deviceID = input->device().uniqueID();
    branch->requestedCaps = caps;

    QString error;
    GstElement *source = input->device().backend()->createSource(&error);
    if (!source) {
        Log::line(QStringLiteral("❌ 摄像头无法启动: ") + error);
        branch->failed = true;
        return branch;
    }
    GstElement *filter = makeElement("capsfilter");
    if (filter) {
        g_object_set(filter, "caps", caps.get(), nullptr);
    }
    GstElement *tee = makeElement("tee", "video-tee");
    if (tee) {
        g_object_set(tee, "allow-not-linked", TRUE, nullptr);
        branch->tee = GstPtr<GstElement>::ref(tee);
    }
    const bool linked
        = addChain(m_pipeline.get(), branch->elements, {source, filter, tee}) && buildPreviewChain(*branch, tee);
    if (!linked || !startBranch(*branch)) {
        Log::line(QStringLiteral("❌ 摄像头无法启动: ") + input->device().localizedName());
        branch->failed = true;
    }
    return branch;
}

void CaptureSessionEngine::applyAudio(const std::shared_ptr<CaptureDeviceInput> &input)
{
    if (m_audio && input && m_audio->deviceID == input->device().uniqueID() && !m_audio->failed) {
        m_audio->input = input; // the same microphone put back: keep it running
        return;
    }
    if (!m_audio && !input) {
        return;
    }
    if (m_recording && m_recording->hasAudio) {
        endRecording(m_recording);
    }
    dropBranch(m_audio);
    if (input) {
        m_audio = buildAudioBranch(input);
    }
}

std::unique_ptr<CaptureSessionEngine::Branch> CaptureSessionEngine::buildAudioBranch(
    const std::shared_ptr<CaptureDeviceInput> &input)
{
    auto branch = std::make_unique<Branch>();
    branch->input = input;
    branch->deviceID = input->device().uniqueID();

    QString error;
    GstElement *source = input->device().backend()->createSource(&error);
    if (!source) {
        Log::line(QStringLiteral("❌ 麦克风无法启动: ") + error);
        branch->failed = true;
        return branch;
    }
    GstElement *convert = makeElement("audioconvert");
    GstElement *resample = makeElement("audioresample");
    GstElement *filter = makeElement("capsfilter");
    if (filter) {
        const QByteArray caps = QStringLiteral("audio/x-raw,rate=%1,channels=[1,2]").arg(microphoneRate).toUtf8();
        GstCapsPtr capsPtr(gst_caps_from_string(caps.constData()));
        g_object_set(filter, "caps", capsPtr.get(), nullptr);
    }
    GstElement *tee = makeElement("tee", "audio-tee");
    if (tee) {
        g_object_set(tee, "allow-not-linked", TRUE, nullptr);
        branch->tee = GstPtr<GstElement>::ref(tee);
    }
    const bool linked = addChain(m_pipeline.get(), branch->elements, {source, convert, resample, filter, tee});
    if (!linked || !startBranch(*branch)) {
        Log::line(QStringLiteral("❌ 麦克风无法启动: ") + input->device().localizedName());
        branch->failed = true;
    }
    return branch;
}

bool CaptureSessionEngine::isAudioFlowing() const
{
    std::lock_guard lock(m_pipelineMutex);
    if (!m_audio || m_audio->failed || m_audio->elements.empty()) {
        return false;
    }
    GstState state = GST_STATE_NULL;
    gst_element_get_state(m_audio->elements.front().get(), &state, nullptr, 0);
    return state == GST_STATE_PLAYING;
}
