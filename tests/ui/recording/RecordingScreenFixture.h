#pragma once

#include "capture/CameraManager.h"
#include "capture/TestDevices.h"
#include "library/DatabaseManager.h"
#include "platform/media/FixedCapturePermissions.h"
#include "platform/speech/AudioEngine.h"
#include "platform/speech/AudioInput.h"
#include "platform/speech/SpeechRecognizer.h"
#include "ui/recording/RecordingAids.h"
#include "ui/recording/RecordingView.h"
#include "ui/recording/VoiceCommandWiring.h"
#include "voice/SpeechRecognitionManager.h"

#include "support/LogCapture.h"
#include "support/MainLoop.h"

#include <QList>
#include <QTabWidget>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace RecordingScreen {

// A microphone that opens and stays quiet: the listener runs, hears nothing.
class SilentMicrophone : public AudioInput {
public:
    bool start(Sink, Interruption, QString *) override { return true; }
    void stop() override { }
};

// The voice start's delays, held until the test runs them.
struct ManualDelays {
    struct Pending {
        double seconds;
        std::function<void()> task;
    };
    std::shared_ptr<QList<Pending>> pending = std::make_shared<QList<Pending>>();

    VoiceCommandWiring::Delay delay() const
    {
        return [queue = pending](double seconds, std::function<void()> task) {
            queue->append({seconds, std::move(task)});
        };
    }
    // Runs the oldest pending task; returns its delay.
    double runNext()
    {
        if (pending->isEmpty()) {
            return -1;
        }
        const Pending next = pending->takeFirst();
        next.task();
        MainLoop::drain();
        return next.seconds;
    }
};

inline CaptureDevice colourBars(
    const QString &name = QStringLiteral("Colour Bars"), const QString &id = QStringLiteral("test:bars"))
{
    return CaptureDevice::fromLaunchDescription(name, id, MediaType::video,
        QStringLiteral("videotestsrc is-live=true pattern=smpte"),
        QStringLiteral("video/x-raw,width=[16,1920],height=[16,1080],framerate=[1/1,60/1]"));
}

struct ScreenOptions {
    QList<CaptureDevice> cameras = {colourBars()};
    std::optional<CaptureDevice> microphone = TestDevices::microphone();
    std::optional<Script> script = std::nullopt;
    QSize windowSize = QSize(1100, 780);
    bool microphoneGranted = true;
    // The real keyword engine (slow to load); without it the listener never starts.
    bool recognizer = false;
};

// The screen in a tab of its own next to an empty one, as in the window,
// with test devices, a quiet listener and a clock the test moves.
struct Screen {
    LogCapture log;
    QTemporaryDir folder;
    double now = 1000;
    std::shared_ptr<StaticDeviceProvider> devices; // plug and unplug here
    std::unique_ptr<CameraManager> camera;
    std::unique_ptr<SpeechRecognitionManager> listener;
    QTabWidget tabs;
    RecordingView *view = nullptr;
    ManualDelays delays;
    qsizetype libraryRowsAtStart = DatabaseManager::shared().videos().size();

    explicit Screen(ScreenOptions options = {})
    {
        devices = TestDevices::provider(options.cameras, options.microphone);
        camera = std::make_unique<CameraManager>(devices, TestDevices::permissions());
        camera->setSaveFolder(folder.path());
        listener = std::make_unique<SpeechRecognitionManager>(
            options.recognizer ? SpeechRecognizer::create(QStringLiteral("zh-CN")) : nullptr,
            std::make_unique<AudioEngine>(std::make_unique<SilentMicrophone>()), [this] { return now; });
        view = new RecordingView(camera.get(), nullptr, listener.get(), std::move(options.script),
            std::make_shared<FixedCapturePermissions>(true, options.microphoneGranted));
        view->voiceCommands()->setDelay(delays.delay());
        tabs.setDocumentMode(true);
        tabs.addTab(view, QStringLiteral("录制"));
        tabs.addTab(new QWidget, QStringLiteral("提示词"));
        tabs.resize(options.windowSize);
        tabs.show();
        MainLoop::drain();
    }

    ~Screen()
    {
        // The screen holds the listener and the manager by plain pointers.
        tabs.clear();
        delete view;
    }

    bool waitForCamera(int timeoutMs = 10000) const
    {
        return MainLoop::waitUntil(
            [&] { return !log.linesStartingWith(QStringLiteral("✅ 音频连接已启用 active=")).isEmpty(); }, timeoutMs);
    }
    bool waitForListening(int timeoutMs = 10000) const
    {
        return MainLoop::waitUntil([&] { return listener->isListening(); }, timeoutMs);
    }
    // A start returns at once; the take is under way once the manager says so.
    bool waitForRecording(int timeoutMs = 20000) const
    {
        return MainLoop::waitUntil([&] { return camera->isRecording(); }, timeoutMs);
    }
    // Until `added` recordings are in the library: nothing of them is still
    // being processed when the test ends.
    bool waitForLibraryRows(qsizetype added, int timeoutMs = 30000) const
    {
        return MainLoop::waitUntil(
            [&] { return DatabaseManager::shared().videos().size() >= libraryRowsAtStart + added; }, timeoutMs);
    }
    // Says a keyword, past the listener's cooldown.
    void say(const QString &keyword)
    {
        now += 5;
        listener->checkVoiceCommands(keyword);
        MainLoop::drain();
    }
    void showTab(int index)
    {
        tabs.setCurrentIndex(index);
        MainLoop::drain();
    }
};

} // namespace RecordingScreen
