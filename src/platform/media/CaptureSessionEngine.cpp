#include "platform/media/CaptureSessionEngine.h"

#include "platform/media/CaptureAudioFeed.h"
#include "platform/media/CaptureDeviceBackend.h"

#include <algorithm>

CaptureSessionEngine::CaptureSessionEngine() : CaptureSessionEngine(CaptureAudioFeed::shared())
{
}

CaptureSessionEngine::CaptureSessionEngine(std::shared_ptr<CaptureAudioFeed> speechFeed)
    : m_speechFeed(std::move(speechFeed)), m_service(std::make_unique<CaptureServiceThread>())
{
    if (m_speechFeed) {
        m_speechSession = m_speechFeed->attachSession();
    }
}

CaptureSessionEngine::~CaptureSessionEngine()
{
    if (m_speechFeed) {
        m_speechFeed->detachSession(m_speechSession);
    }
    {
        std::lock_guard lock(m_pipelineMutex);
        if (m_pipeline) {
            // Stops every streaming thread; a recording still open keeps what
            // its fragments hold.
            gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
            GstPtr<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
            gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
        }
    }
    m_service.reset();
    std::lock_guard lock(m_configMutex);
    for (MovieFileOutput *output : m_outputs) {
        output->m_engine = nullptr;
    }
}

void CaptureSessionEngine::beginConfiguration()
{
    std::lock_guard lock(m_configMutex);
    ++m_configurationDepth;
}

void CaptureSessionEngine::commitConfiguration()
{
    {
        std::lock_guard lock(m_configMutex);
        if (m_configurationDepth == 0) {
            return;
        }
        if (--m_configurationDepth > 0) {
            return;
        }
    }
    applyConfiguration();
}

QList<std::shared_ptr<CaptureDeviceInput>> CaptureSessionEngine::inputs() const
{
    std::lock_guard lock(m_configMutex);
    return m_inputs;
}

bool CaptureSessionEngine::canAddInput(const std::shared_ptr<CaptureDeviceInput> &input) const
{
    if (!input) {
        return false;
    }
    std::lock_guard lock(m_configMutex);
    if (m_inputs.contains(input)) {
        return false;
    }
    // One camera at a time; microphones may pile up, the first one is recorded.
    if (input->device().hasMediaType(MediaType::video)) {
        return std::none_of(m_inputs.begin(), m_inputs.end(),
            [](const auto &held) { return held->device().hasMediaType(MediaType::video); });
    }
    return true;
}

void CaptureSessionEngine::addInput(const std::shared_ptr<CaptureDeviceInput> &input)
{
    if (!canAddInput(input)) {
        return;
    }
    beginConfiguration();
    {
        std::lock_guard lock(m_configMutex);
        m_inputs.append(input);
    }
    commitConfiguration();
}

void CaptureSessionEngine::removeInput(const std::shared_ptr<CaptureDeviceInput> &input)
{
    beginConfiguration();
    {
        std::lock_guard lock(m_configMutex);
        m_inputs.removeAll(input);
    }
    commitConfiguration();
}

QList<MovieFileOutput *> CaptureSessionEngine::outputs() const
{
    std::lock_guard lock(m_configMutex);
    return m_outputs;
}

bool CaptureSessionEngine::canAddOutput(MovieFileOutput *output) const
{
    if (!output) {
        return false;
    }
    std::lock_guard lock(m_configMutex);
    // An output belongs to one session at a time, and a session has one.
    return m_outputs.isEmpty() && output->m_engine.load() == nullptr;
}

void CaptureSessionEngine::addOutput(MovieFileOutput *output)
{
    if (!canAddOutput(output)) {
        return;
    }
    beginConfiguration();
    {
        std::lock_guard lock(m_configMutex);
        m_outputs.append(output);
        output->m_engine = this;
    }
    commitConfiguration();
}

void CaptureSessionEngine::removeOutput(MovieFileOutput *output)
{
    {
        std::lock_guard lock(m_pipelineMutex);
        for (const auto &recording : m_finishing) {
            if (recording->output == output) {
                recording->output = nullptr;
            }
        }
        if (m_recording && m_recording->output == output) {
            m_recording->output = nullptr; // ends with the next commit
        }
    }
    beginConfiguration();
    {
        std::lock_guard lock(m_configMutex);
        if (m_outputs.removeAll(output) > 0) {
            output->m_engine = nullptr;
        }
    }
    commitConfiguration();
}

SessionPreset CaptureSessionEngine::sessionPreset() const
{
    std::lock_guard lock(m_configMutex);
    return m_preset;
}

bool CaptureSessionEngine::canSetSessionPreset(SessionPreset preset) const
{
    if (preset == SessionPreset::high) {
        return true;
    }
    std::lock_guard lock(m_configMutex);
    for (const auto &input : m_inputs) {
        if (input->device().hasMediaType(MediaType::video)) {
            return input->device().supportsFrameSize(SessionPresets::frameSize(preset));
        }
    }
    return false;
}

void CaptureSessionEngine::setSessionPreset(SessionPreset preset)
{
    beginConfiguration();
    {
        std::lock_guard lock(m_configMutex);
        m_preset = preset;
    }
    commitConfiguration();
}

bool CaptureSessionEngine::isRunning() const
{
    return m_running;
}

void CaptureSessionEngine::startRunning()
{
    if (m_running.exchange(true)) {
        return;
    }
    applyConfiguration();
}

QSize CaptureSessionEngine::activeVideoSize() const
{
    std::lock_guard lock(m_pipelineMutex);
    if (!m_video || !m_video->tee) {
        return {};
    }
    GstPtr<GstPad> pad(gst_element_get_static_pad(m_video->tee.get(), "sink"));
    GstCapsPtr caps(gst_pad_get_current_caps(pad.get()));
    if (!caps || gst_caps_is_empty(caps.get())) {
        return {};
    }
    int width = 0;
    int height = 0;
    const GstStructure *structure = gst_caps_get_structure(caps.get(), 0);
    gst_structure_get_int(structure, "width", &width);
    gst_structure_get_int(structure, "height", &height);
    return {width, height};
}

void CaptureSessionEngine::applyConfiguration()
{
    std::lock_guard pipelineLock(m_pipelineMutex);
    if (!m_running) {
        return;
    }
    QList<std::shared_ptr<CaptureDeviceInput>> inputs;
    QList<MovieFileOutput *> outputs;
    SessionPreset preset;
    {
        std::lock_guard lock(m_configMutex);
        if (m_configurationDepth > 0) {
            return; // the outer transaction applies everything on its commit
        }
        inputs = m_inputs;
        outputs = m_outputs;
        preset = m_preset;
    }
    ensurePipeline();

    if (m_recording && !outputs.contains(m_recording->output)) {
        endRecording(m_recording);
    }
    std::shared_ptr<CaptureDeviceInput> camera;
    std::shared_ptr<CaptureDeviceInput> microphone;
    for (const auto &input : inputs) {
        if (!camera && input->device().hasMediaType(MediaType::video)) {
            camera = input;
        } else if (!microphone && input->device().hasMediaType(MediaType::audio)) {
            microphone = input;
        }
    }
    applyVideo(camera, preset);
    applyAudio(microphone);
    publishMicrophone();
}

void CaptureSessionEngine::ensurePipeline()
{
    if (m_pipeline) {
        return;
    }
    m_pipeline = GstPtr<GstElement>(gst_pipeline_new("capture-session"));
    // pulsesrc would otherwise offer its clock, and PipeWire video then arrives
    // with absolute timestamps that break the file.
    const GstPtr<GstClock> clock(gst_system_clock_obtain());
    gst_pipeline_use_clock(GST_PIPELINE(m_pipeline.get()), clock.get());
    GstPtr<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
    gst_bus_set_sync_handler(bus.get(), &CaptureSessionEngine::onBusMessage, this, nullptr);
    gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING);
}

void CaptureSessionEngine::dropBranch(std::unique_ptr<Branch> &branch)
{
    if (!branch) {
        return;
    }
    // Recordings still waiting for their first frame must let go of the tees.
    for (const auto &recording : m_finishing) {
        closeBranch(recording);
    }
    for (auto &element : branch->elements) {
        gst_element_set_state(element.get(), GST_STATE_NULL);
    }
    for (auto &element : branch->elements) {
        gst_bin_remove(GST_BIN(m_pipeline.get()), element.get());
    }
    branch.reset();
}

bool CaptureSessionEngine::startBranch(Branch &branch)
{
    // Downstream first, so the source never pushes into a stopped element.
    for (auto element = branch.elements.rbegin(); element != branch.elements.rend(); ++element) {
        if (!gst_element_sync_state_with_parent(element->get())) {
            return false;
        }
    }
    return true;
}
