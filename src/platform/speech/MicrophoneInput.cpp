#include "platform/speech/MicrophoneInput.h"

#include "platform/media/CaptureDeviceBackend.h"
#include "platform/media/GstChain.h"
#include "platform/media/GstErrorText.h"
#include "platform/media/GstPtr.h"
#include "platform/media/PipelineTime.h"
#include "platform/media/SystemDeviceProvider.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Runs the state changes of the sessions in the order they were asked for.
// A sound server that is slow to answer holds up this thread, never the caller.
struct MicrophoneInput::Worker {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool quitting = false;
    std::thread thread;

    // A failure of the last session that came after its start returned; the
    // next start reports it instead of trying the same broken device again.
    std::mutex failureMutex;
    QString failure;

    Worker()
    {
        thread = std::thread([this] { run(); });
    }

    ~Worker()
    {
        {
            std::lock_guard lock(mutex);
            quitting = true;
        }
        wake.notify_all();
        thread.join();
    }

    void post(std::function<void()> task)
    {
        {
            std::lock_guard lock(mutex);
            tasks.push_back(std::move(task));
        }
        wake.notify_all();
    }

    void run()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return quitting || !tasks.empty(); });
                if (tasks.empty()) {
                    return; // quitting, and everything asked for is done
                }
                task = std::move(tasks.front());
                tasks.pop_front();
            }
            task();
        }
    }

    QString takeFailure()
    {
        std::lock_guard lock(failureMutex);
        return std::exchange(failure, QString());
    }
};

// One start of the microphone: its pipeline and the callbacks it feeds.
struct MicrophoneInput::Session {
    // Held while a callback runs; stop() takes it to end them for good.
    std::mutex mutex;
    bool active = true;
    bool failed = false;
    Sink sink;
    Interruption interrupted;
    Worker *worker = nullptr;
    GstPtr<GstElement> pipeline; // touched only on the worker once started
    std::shared_ptr<std::atomic<double>> deliveringTime;

    void fail(const QString &reason)
    {
        std::lock_guard lock(mutex);
        if (!active || failed) {
            return;
        }
        failed = true;
        {
            std::lock_guard failureLock(worker->failureMutex);
            worker->failure = reason;
        }
        if (interrupted) {
            interrupted(reason);
        }
    }

    void deliver(const float *samples, size_t count)
    {
        std::lock_guard lock(mutex);
        if (active && !failed) {
            sink(samples, count);
        }
    }
};

double MicrophoneInput::deliveringCaptureTime() const
{
    return m_deliveringTime->load();
}

MicrophoneInput::MicrophoneInput() : MicrophoneInput(SystemDeviceProvider::shared())
{
}

MicrophoneInput::MicrophoneInput(std::shared_ptr<CaptureDeviceProvider> provider)
    : m_provider(std::move(provider)), m_worker(std::make_unique<Worker>())
{
}

MicrophoneInput::~MicrophoneInput()
{
    stop();
    m_worker.reset(); // finishes every teardown before the sessions' owners go
}

bool MicrophoneInput::start(Sink sink, Interruption interrupted, QString *error)
{
    stop();
    if (QString failure = m_worker->takeFailure(); !failure.isEmpty()) {
        *error = failure;
        return false;
    }
    const std::optional<CaptureDevice> device = m_provider ? m_provider->defaultAudioDevice() : std::nullopt;
    if (!device || device->isNull()) {
        *error = QStringLiteral("没有找到麦克风");
        return false;
    }
    QString why;
    GstElement *source = device->backend()->createSource(&why);
    if (!source) {
        *error = why;
        return false;
    }

    auto session = std::make_shared<Session>();
    session->sink = std::move(sink);
    session->interrupted = std::move(interrupted);
    session->worker = m_worker.get();
    session->deliveringTime = m_deliveringTime;
    session->pipeline = GstPtr<GstElement>(gst_pipeline_new("speech-input"));
    GstElement *appsink = GstChain::make("appsink");
    const bool linked = GstChain::addAndLink(GST_BIN(session->pipeline.get()),
        {source, GstChain::make("audioconvert"), GstChain::make("audioresample"), appsink});
    if (!linked) {
        *error = QStringLiteral("麦克风“%1”的声音无法转换").arg(device->localizedName());
        return false; // the pipeline owns whatever was added and goes with the session
    }
    GstCaps *caps = gst_caps_from_string("audio/x-raw,format=F32LE,rate=16000,channels=1,layout=interleaved");
    gst_app_sink_set_caps(GST_APP_SINK(appsink), caps);
    gst_caps_unref(caps);
    // Speech wants low latency and never old audio: keep only a little.
    g_object_set(appsink, "sync", FALSE, "max-buffers", 64, "drop", TRUE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink *appsink, gpointer data) {
        GstSample *sample = gst_app_sink_pull_sample(appsink);
        if (!sample) {
            return GST_FLOW_EOS;
        }
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        static_cast<Session *>(data)->deliveringTime->store(PipelineTime::ofSample(GST_ELEMENT(appsink), sample));
        GstMapInfo map;
        if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            static_cast<Session *>(data)->deliver(reinterpret_cast<const float *>(map.data), map.size / sizeof(float));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    };
    callbacks.eos
        = [](GstAppSink *, gpointer data) { static_cast<Session *>(data)->fail(QStringLiteral("麦克风的声音中断了")); };
    gst_app_sink_set_callbacks(GST_APP_SINK(appsink), &callbacks, session.get(), nullptr);
    // Nobody pops this bus: errors are taken where they are posted, the rest dropped.
    GstPtr<GstBus> bus(gst_element_get_bus(session->pipeline.get()));
    gst_bus_set_sync_handler(
        bus.get(),
        [](GstBus *, GstMessage *message, gpointer data) {
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
                static_cast<Session *>(data)->fail(GstErrorText::of(message));
            }
            gst_message_unref(message); // a dropped message is the handler's to free
            return GST_BUS_DROP;
        },
        session.get(), nullptr);

    m_session = session;
    m_worker->post([session] {
        if (gst_element_set_state(session->pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
            session->fail(QStringLiteral("麦克风无法启动"));
        }
    });
    return true;
}

void MicrophoneInput::stop()
{
    if (!m_session) {
        return;
    }
    std::shared_ptr<Session> session = std::move(m_session);
    {
        std::lock_guard lock(session->mutex);
        session->active = false;
    }
    // Going to NULL joins the streaming threads; after it no callback has the session.
    m_worker->post([session] {
        gst_element_set_state(session->pipeline.get(), GST_STATE_NULL);
        session->pipeline = GstPtr<GstElement>();
    });
}
