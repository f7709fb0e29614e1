// The whole program in its window against the bare pipeline that shows the
// same camera in an X window of the same size, on the machine's own camera at
// 1080p30: CPU seconds per second in preview, while recording, and while
// recording with the teleprompter scrolling over the picture. The voice
// listener is stopped: the comparison is of the picture and the recording.
//
// The bare pipeline is the program's own, written out as it runs (same source
// element, same preview scaling, same recording bin), with the preview's
// appsink replaced by an ximagesink. Run it on an X display with the virtual
// camera, e.g.
//   tests/with-virtual-devices.sh xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/window_cpu_bench
// With --pattern the camera is a test pattern made in the process instead (the
// same for both), which a busy machine disturbs less than the virtual camera,
// whose pictures are made by the sound server.
// With --screenshots DIR each phase is first photographed (import -window root).
// Goal printed beside each figure: at most 1.3 x the bare pipeline.
#include "ui/common/AppFont.h"
#include "app/AppResources.h"
#include "app/MainWindow.h"
#include "app/VeltroscopeApp.h"
#include "capture/CameraManager.h"
#include "library/DatabaseManager.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/CaptureSessionEngine.h"
#include "platform/media/FixedCapturePermissions.h"
#include "platform/media/MediaRuntime.h"
#include "platform/media/MovieFileOutput.h"
#include "platform/media/StaticDeviceProvider.h"
#include "ui/recording/CameraPreviewView.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingView.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterScroller.h"
#include "ui/recording/VoiceFeedbackRow.h"
#include "voice/SpeechRecognitionManager.h"

#include <gst/gst.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "PipelineDescription.h"
#include "ProcessCpu.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

constexpr int phaseMs = 10000;
constexpr int settleMs = 1500;
constexpr double goal = 1.3;
const QString patternSource = QStringLiteral(
    "videotestsrc is-live=true pattern=smpte horizontal-speed=4 ! capsfilter caps=video/x-raw,format=YUY2");
const QString toneSource = QStringLiteral("audiotestsrc is-live=true");

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool spinUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        spin(20);
    }
    return done();
}

double measureCpu(const std::function<void(int)> &wait)
{
    const double cpuStart = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    wait(phaseMs);
    return (processCpuSeconds() - cpuStart) / (double(wall.nsecsElapsed()) / 1e9);
}

struct Phase {
    explicit Phase(const char *label) : label(label) { }
    const char *label;
    double program = 0;
    double bare = 0;
    QString bareDescription;
    qint64 shown = 0;
    qint64 delivered = 0; // reached the preview's sink
    qint64 bareShown = 0;
};

QString describe(CameraManager &camera, const QString &path, bool pattern)
{
    const GstPtr<GstElement> pipeline = camera.captureSession()->engine()->pipeline();
    PipelineDescription::Twin twin;
    if (pattern) {
        twin.videoSource = patternSource;
        twin.audioSource = toneSource;
    }
    twin.previewSink = QStringLiteral("ximagesink name=window sync=false async=false");
    twin.path = path;
    return pipeline ? PipelineDescription::bare(pipeline.get(), twin) : QString();
}

double runBare(const QString &description, qint64 *shown)
{
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (!pipeline || error) {
        std::fprintf(stderr, "bare pipeline: %s\n  %s\n", error ? error->message : "?", qPrintable(description));
        g_clear_error(&error);
        if (pipeline) {
            gst_object_unref(pipeline);
        }
        return 0;
    }
    // Frames that reach the window.
    std::atomic<qint64> frames = 0;
    if (GstElement *window = gst_bin_get_by_name(GST_BIN(pipeline), "window")) {
        GstPad *pad = gst_element_get_static_pad(window, "sink");
        gst_pad_add_probe(
            pad, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad *, GstPadProbeInfo *, gpointer counter) {
                ++*static_cast<std::atomic<qint64> *>(counter);
                return GST_PAD_PROBE_OK;
            },
            &frames, nullptr);
        gst_object_unref(pad);
        gst_object_unref(window);
    }
    // The clock the program's pipeline runs on: the sources' own clocks can
    // disagree and leave the muxer waiting.
    GstClock *clock = gst_system_clock_obtain();
    gst_pipeline_use_clock(GST_PIPELINE(pipeline), clock);
    gst_object_unref(clock);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND);
    QThread::msleep(settleMs);
    const qint64 framesBefore = frames;
    const double cpu = measureCpu([](int ms) { QThread::msleep(ms); });
    *shown = frames - framesBefore;
    gst_element_send_event(pipeline, gst_event_new_eos());
    GstBus *bus = gst_element_get_bus(pipeline);
    while (GstMessage *message
        = gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))) {
        const bool done
            = GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS || GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
        gst_message_unref(message);
        if (done) {
            break;
        }
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return cpu;
}

} // namespace

int main(int argc, char **argv)
{
    // The program's library, settings and takes are the bench's own.
    QTemporaryDir home;
    for (const char *variable : {"XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
        const QString path = QDir(home.path()).filePath(QString::fromLatin1(variable));
        QDir().mkpath(path);
        setenv(variable, path.toUtf8().constData(), 1);
    }
    MediaRuntime::initialise(&argc, &argv);
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("VeltroscopeBench"));
    AppResources::ensureLoaded();
    AppFont::applyToApplication();
    QTemporaryDir folder;
    const bool pattern = QCoreApplication::arguments().contains(QStringLiteral("--pattern"));

    Phase phases[] = {Phase("preview"), Phase("recording"), Phase("recording, teleprompter scrolling")};
    QSize viewSize;
    QString cameraName;
    {
        auto app = pattern ? std::make_unique<VeltroscopeApp>(std::make_unique<CameraManager>(
                       std::make_shared<StaticDeviceProvider>(
                           QList<CaptureDevice>{CaptureDevice::fromLaunchDescription(QStringLiteral("Test Camera"),
                               QStringLiteral("bench:camera"), MediaType::video, patternSource,
                               QStringLiteral("video/x-raw,width=[16,1920],height=[16,1080],framerate=[1/1,60/1]"))},
                           CaptureDevice::fromLaunchDescription(QStringLiteral("Tone"), QStringLiteral("bench:tone"),
                               MediaType::audio, toneSource, QStringLiteral("audio/x-raw"))),
                       std::make_shared<FixedCapturePermissions>(true, true)))
                           : std::make_unique<VeltroscopeApp>();
        CameraManager &camera = *app->cameraManager();
        MainWindow *window = app->window();
        window->show();
        camera.setSaveFolder(folder.path());
        RecordingView *view = window->recordingView();
        // The virtual devices' test pattern, where there is one.
        spinUntil([&] { return !camera.availableDevices().isEmpty(); }, 20000);
        for (const CaptureDevice &device : camera.availableDevices()) {
            if (device.localizedName().contains(QLatin1String("Test Camera"))) {
                camera.selectDevice(device);
            }
        }
        spinUntil([&] { return !camera.captureSession()->activeVideoSize().isEmpty(); }, 20000);
        camera.configureResolution(VideoResolution::p1080, VideoAspectRatio::ratio16x9);
        spinUntil([&] { return camera.captureSession()->activeVideoSize() == QSize(1920, 1080); }, 20000);
        spin(3000); // the listener starts once its permissions are answered
        SpeechRecognitionManager *listener = view->speechManager();
        const bool wasListening = listener && listener->isListening();
        if (listener) {
            listener->setOnStartCommand(nullptr);
            listener->setOnStopCommand(nullptr);
            listener->stopListening();
        }
        spin(settleMs);
        CameraPreviewView *preview = view->pictureArea()->preview();
        viewSize = preview->devicePixelSize();
        cameraName = camera.selectedDevice() ? camera.selectedDevice()->localizedName() : QString();
        std::printf("platform %s, camera \"%s\" at %dx%d, window %dx%d, picture %dx%d; listener %s, stopped\n",
            qPrintable(QGuiApplication::platformName()), qPrintable(cameraName),
            camera.captureSession()->activeVideoSize().width(), camera.captureSession()->activeVideoSize().height(),
            window->width(), window->height(), viewSize.width(), viewSize.height(),
            wasListening ? "was listening" : "was not listening");

        const qsizetype shotsAt = QCoreApplication::arguments().indexOf(QStringLiteral("--screenshots"));
        const QString shots = shotsAt > 0 ? QCoreApplication::arguments().value(shotsAt + 1) : QString();
        int shot = 0;
        auto measureProgram = [&](Phase &phase) {
            if (!shots.isEmpty()) {
                QProcess::execute(QStringLiteral("import"),
                    {QStringLiteral("-window"), QStringLiteral("root"),
                        QDir(shots).filePath(QStringLiteral("phase-%1.png").arg(++shot))});
            }
            const qint64 shownBefore = preview->framesShown();
            const qint64 deliveredBefore = camera.captureSession()->previewFrameCount();
            phase.program = measureCpu(spin);
            phase.shown = preview->framesShown() - shownBefore;
            phase.delivered = camera.captureSession()->previewFrameCount() - deliveredBefore;
            std::printf("%s: program %.3f CPU s per s, %lld frames of %lld shown\n", phase.label, phase.program,
                static_cast<long long>(phase.shown), static_cast<long long>(phase.delivered));
            std::fflush(stdout);
        };
        measureProgram(phases[0]);
        phases[0].bareDescription = describe(camera, QString(), pattern);

        const qsizetype listed = DatabaseManager::shared().videos().size();
        RecordButton *button = view->controlPanel()->voiceFeedbackRow()->recordButton();
        button->click();
        spinUntil([&] { return camera.isRecording(); }, 20000);
        spin(settleMs);
        phases[1].bareDescription
            = describe(camera, QDir(folder.path()).filePath(QStringLiteral("bare-1.mp4")), pattern);
        measureProgram(phases[1]);

        QString script;
        for (int line = 0; line < 200; ++line) {
            script += QStringLiteral("第%1行：大家好，欢迎收看本期节目，今天我们来聊一聊口播视频。\n").arg(line);
        }
        view->viewState()->setTeleprompterText(script);
        view->viewState()->setIsTeleprompterVisible(true);
        view->viewState()->scroller()->startScrolling();
        spin(settleMs);
        phases[2].bareDescription
            = describe(camera, QDir(folder.path()).filePath(QStringLiteral("bare-2.mp4")), pattern);
        measureProgram(phases[2]);
        view->viewState()->scroller()->resetScrolling();
        button->click();
        spinUntil([&] { return DatabaseManager::shared().videos().size() > listed; }, 120000);
        window->hide();
    }
    spin(1000); // the program's pipeline is gone before the bare ones run

    for (Phase &phase : phases) {
        // With the teleprompter the bare twin is the recording one: it has no teleprompter to show.
        phase.bare = phase.bareDescription.isEmpty() ? 0 : runBare(phase.bareDescription, &phase.bareShown);
    }
    for (const Phase &phase : phases) {
        const double ratio = phase.bare > 0 ? phase.program / phase.bare : 0.0;
        // On the virtual devices the bare take has been seen to stall after a
        // second or so; its figure then measures an idle pipeline.
        const bool comparable = ratio > 0 && phase.bareShown * 10 >= phase.shown * 9;
        std::printf("%s: program %.3f CPU s per s (%lld frames of %lld shown in %d s), bare %.3f (%lld shown), "
                    "ratio %.3f (goal <= %.1f: %s)\n",
            phase.label, phase.program, static_cast<long long>(phase.shown), static_cast<long long>(phase.delivered),
            phaseMs / 1000, phase.bare, static_cast<long long>(phase.bareShown), ratio, goal,
            !comparable         ? "not comparable: the bare pipeline stalled"
                : ratio <= goal ? "met"
                                : "not met");
    }
    std::printf("bare pipeline while recording:\n  %s\n", qPrintable(phases[1].bareDescription));
    return 0;
}
