// The whole recording screen on the offscreen platform, fed by a 1080p30 test
// camera, for 10 s with the preview alone and 10 s with a recording, against a
// bare GStreamer pipeline doing the same work in the same run: the same source,
// the preview scaled to the same size into a fakesink, and the same encoder
// settings into MP4. Prints CPU seconds per second, the ratio app / bare,
// preview frames shown and dropped, and the main thread's time per frame.
// --ratio 9:16 (or 1:1, 4:3) frames the picture, and the take, at that ratio.
#include "capture/CameraManager.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/FixedCapturePermissions.h"
#include "platform/media/MediaRuntime.h"
#include "platform/media/MovieFileOutput.h"
#include "platform/media/PreviewSink.h"
#include "platform/media/StaticDeviceProvider.h"
#include "platform/speech/AudioEngine.h"
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
#include <QMap>
#include <QPaintEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "ProcessCpu.h"
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int phaseMs = 10000;
constexpr double frameRate = 30;
// A moving picture in a webcam's own format, so the encoder has real work.
const QString cameraSource = QStringLiteral(
    "videotestsrc is-live=true pattern=smpte horizontal-speed=4 ! capsfilter caps=video/x-raw,format=YUY2");
const QString microphoneSource = QStringLiteral("audiotestsrc is-live=true");

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Times every event the main thread handles at the top level (nested ones,
// such as the paint events inside an update request, count in their parent),
// in wall time and in the thread's own CPU time, which a loaded machine does
// not inflate.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!measuring || depth > 0) {
            if (measuring) {
                countPaint(receiver, event);
            }
            ++depth;
            const bool handled = QApplication::notify(receiver, event);
            --depth;
            return handled;
        }
        const QEvent::Type type = event->type();
        countPaint(receiver, event);
        QElapsedTimer timer;
        timer.start();
        const qint64 cpuStart = threadCpuNs();
        ++depth;
        const bool handled = QApplication::notify(receiver, event);
        --depth;
        const qint64 wallNs = timer.nsecsElapsed();
        const qint64 cpuNs = threadCpuNs() - cpuStart;
        busyWallNs += wallNs;
        busyCpuNs += cpuNs;
        // A frame costs its delivery (a queued call) and the repaint it asks for.
        if (type == QEvent::UpdateRequest || type == QEvent::MetaCall) {
            worstFrameWallNs = std::max(worstFrameWallNs, wallNs);
            worstFrameCpuNs = std::max(worstFrameCpuNs, cpuNs);
        }
        if (cpuNs > worstOtherCpuNs && type != QEvent::UpdateRequest && type != QEvent::MetaCall) {
            worstOtherCpuNs = cpuNs;
            worstOtherType = type;
        }
        return handled;
    }

    // Paint events by widget class, with the area they covered: what repaints
    // how much, and how often.
    void countPaint(QObject *receiver, QEvent *event)
    {
        if (event->type() != QEvent::Paint) {
            return;
        }
        qint64 area = 0;
        for (const QRect &rect : static_cast<QPaintEvent *>(event)->region()) {
            area += qint64(rect.width()) * rect.height();
        }
        PaintCount &count = paints[QString::fromLatin1(receiver->metaObject()->className())];
        ++count.events;
        count.pixels += area;
    }

    void reset()
    {
        paints.clear();
        busyWallNs = busyCpuNs = worstFrameWallNs = worstFrameCpuNs = worstOtherCpuNs = 0;
        worstOtherType = QEvent::None;
    }

    struct PaintCount {
        qint64 events = 0;
        qint64 pixels = 0;
    };
    QMap<QString, PaintCount> paints;
    bool measuring = false;
    int depth = 0;
    qint64 busyWallNs = 0;
    qint64 busyCpuNs = 0;
    qint64 worstFrameWallNs = 0;
    qint64 worstFrameCpuNs = 0;
    qint64 worstOtherCpuNs = 0;
    QEvent::Type worstOtherType = QEvent::None;
};

struct Figures {
    double cpuPerSecond = 0;
    qint64 cameraFrames = 0; // reached the preview's sink
    qint64 shown = 0;
    qint64 dropped = 0;
    double mainCpuMsPerFrame = 0;
    double mainWallMsPerFrame = 0;
    double worstFrameCpuMs = 0;
    double worstFrameWallMs = 0;
    double worstOtherCpuMs = 0;
    int worstOtherType = 0;
    QMap<QString, TimedApplication::PaintCount> paints;
    double seconds = 1;
};

// The application's own event loop for a while: it sleeps until there is
// work, as the program does, so the waiting costs nothing.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

Figures measureScreen(TimedApplication &app, RecordingView &view, CameraManager &camera, bool record)
{
    CameraPreviewView *preview = view.pictureArea()->preview();
    RecordButton *button = view.controlPanel()->voiceFeedbackRow()->recordButton();
    const qint64 framesBefore = camera.captureSession()->previewFrameCount();
    const qint64 shownBefore = preview->framesShown();
    if (record) {
        button->click();
    }
    app.reset();
    app.measuring = true;
    const double cpuStart = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    spin(phaseMs);
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    Figures figures;
    figures.cpuPerSecond = (processCpuSeconds() - cpuStart) / seconds;
    app.measuring = false;
    figures.cameraFrames = camera.captureSession()->previewFrameCount() - framesBefore;
    figures.shown = preview->framesShown() - shownBefore;
    figures.dropped = std::max<qint64>(0, qint64(seconds * frameRate + 0.5) - figures.shown);
    const double shown = double(std::max<qint64>(1, figures.shown));
    figures.mainCpuMsPerFrame = double(app.busyCpuNs) / 1e6 / shown;
    figures.mainWallMsPerFrame = double(app.busyWallNs) / 1e6 / shown;
    figures.worstFrameCpuMs = double(app.worstFrameCpuNs) / 1e6;
    figures.worstFrameWallMs = double(app.worstFrameWallNs) / 1e6;
    figures.worstOtherCpuMs = double(app.worstOtherCpuNs) / 1e6;
    figures.worstOtherType = int(app.worstOtherType);
    figures.paints = app.paints;
    figures.seconds = seconds;
    if (record) {
        button->click();
        MovieFileOutput *output = camera.captureSession()->outputs().value(0);
        QElapsedTimer stop;
        stop.start();
        while (output && output->finishedRecordings() < 1 && stop.elapsed() < 15000) {
            spin(20);
        }
    }
    return figures;
}

// The bare pipeline's figures; frames counted at the preview's fakesink.
Figures measureBare(QSize previewSize, bool record, const QString &path)
{
    QString description
        = QStringLiteral("%1 ! video/x-raw,width=1920,height=1080,framerate=30/1 ! tee name=v "
                         "v. ! queue leaky=downstream max-size-buffers=2 max-size-bytes=0 max-size-time=0 ! "
                         "videoconvertscale ! video/x-raw,format=BGRx,width=%2,height=%3,pixel-aspect-ratio=1/1 ! "
                         "fakesink name=preview sync=false async=false signal-handoffs=true "
                         "%4 ! audioconvert ! audioresample ! audio/x-raw,rate=48000,channels=[1,2] ! tee name=a "
                         "allow-not-linked=true ")
              .arg(cameraSource)
              .arg(previewSize.width())
              .arg(previewSize.height())
              .arg(microphoneSource);
    if (record) {
        description += QStringLiteral(
            "v. ! queue max-size-buffers=0 max-size-bytes=0 max-size-time=3000000000 ! videoconvert ! "
            "video/x-raw,format=I420 ! x264enc tune=zerolatency speed-preset=ultrafast bitrate=8294 key-int-max=60 ! "
            "h264parse ! mp4mux name=mux fragment-duration=500 ! filesink location=\"%1\" sync=false async=false "
            "a. ! queue max-size-buffers=0 max-size-bytes=0 max-size-time=3000000000 ! audioconvert ! audioresample ! "
            "avenc_aac bitrate=128000 ! mux. ")
                           .arg(path);
    }
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (!pipeline) {
        std::fprintf(stderr, "bare pipeline: %s\n", error ? error->message : "?");
        g_clear_error(&error);
        return {};
    }
    g_clear_error(&error);
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "preview");
    std::atomic<qint64> frames = 0;
    g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement *, GstBuffer *, GstPad *, gpointer counter) {
        ++*static_cast<std::atomic<qint64> *>(counter);
    }),
        &frames);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND);
    QThread::msleep(1000); // settle, as the screen did
    const qint64 framesBefore = frames;
    const double cpuStart = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QThread::msleep(phaseMs);
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    Figures figures;
    figures.cpuPerSecond = (processCpuSeconds() - cpuStart) / seconds;
    figures.cameraFrames = frames - framesBefore;
    figures.shown = figures.cameraFrames;
    figures.dropped = std::max<qint64>(0, qint64(seconds * frameRate + 0.5) - figures.shown);
    gst_element_send_event(pipeline, gst_event_new_eos());
    GstBus *bus = gst_element_get_bus(pipeline);
    if (GstMessage *message
        = gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))) {
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return figures;
}

void print(const char *label, const Figures &app, const Figures &bare)
{
    std::printf("%s\n", label);
    std::printf("  CPU s per s: app %.3f, bare %.3f, ratio app / bare %.3f\n", app.cpuPerSecond, bare.cpuPerSecond,
        bare.cpuPerSecond > 0 ? app.cpuPerSecond / bare.cpuPerSecond : 0.0);
    std::printf("  preview frames: app shown %lld (dropped %lld of %.0f expected; %lld reached the sink), bare %lld "
                "(dropped %lld)\n",
        static_cast<long long>(app.shown), static_cast<long long>(app.dropped), frameRate * phaseMs / 1000,
        static_cast<long long>(app.cameraFrames), static_cast<long long>(bare.shown),
        static_cast<long long>(bare.dropped));
    std::printf("  main thread per frame (all its events / frames shown): mean %.3f ms CPU (%.3f ms wall)\n",
        app.mainCpuMsPerFrame, app.mainWallMsPerFrame);
    std::printf("  worst frame delivery or repaint: %.3f ms CPU (%.3f ms wall); worst other event: %.3f ms CPU "
                "(event type %d)\n",
        app.worstFrameCpuMs, app.worstFrameWallMs, app.worstOtherCpuMs, app.worstOtherType);
    for (auto paint = app.paints.cbegin(); paint != app.paints.cend(); ++paint) {
        std::printf("  paints of %s: %.1f per s, %.0f kpixel per s\n", qPrintable(paint.key()),
            double(paint->events) / app.seconds, double(paint->pixels) / 1000 / app.seconds);
    }
}

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The take is listed in a library of its own, not the user's.
    QTemporaryDir data;
    setenv("XDG_DATA_HOME", data.path().toUtf8().constData(), 1);
    MediaRuntime::initialise(&argc, &argv);
    TimedApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("VeltroscopeBench"));
    QTemporaryDir folder;

    Figures screenPreview;
    Figures screenRecording;
    Figures screenTeleprompter;
    QSize previewSize;
    {
        auto provider = std::make_shared<StaticDeviceProvider>(
            QList<CaptureDevice>{CaptureDevice::fromLaunchDescription(QStringLiteral("Bench camera"),
                QStringLiteral("bench:camera"), MediaType::video, cameraSource,
                QStringLiteral("video/x-raw,width=[16,1920],height=[16,1080],framerate=[1/1,60/1]"))},
            CaptureDevice::fromLaunchDescription(QStringLiteral("Bench tone"), QStringLiteral("bench:tone"),
                MediaType::audio, microphoneSource, QStringLiteral("audio/x-raw")));
        CameraManager camera(provider, std::make_shared<FixedCapturePermissions>(true, true));
        camera.setSaveFolder(folder.path());
        // Speech recognition is not part of the comparison: a listener with no recognizer.
        SpeechRecognitionManager listener(nullptr, std::make_unique<AudioEngine>(nullptr), nullptr);
        QTabWidget window;
        window.setDocumentMode(true);
        auto *view = new RecordingView(
            &camera, nullptr, &listener, std::nullopt, std::make_shared<FixedCapturePermissions>(true, false));
        window.addTab(view, QStringLiteral("录制"));
        window.resize(1100, 780);
        // --ratio 9:16 and so on: the frame the overlay shows and the take has.
        const qsizetype ratioAt = QCoreApplication::arguments().indexOf(QStringLiteral("--ratio"));
        if (const auto ratio = VideoAspectRatio::fromRawValue(QCoreApplication::arguments().value(ratioAt + 1));
            ratioAt > 0 && ratio) {
            view->viewState()->setSelectedAspectRatio(*ratio);
        }
        window.show();
        // Once the session is up: the resolution the screen hands over at a
        // start, so the preview phase runs at 1080p too.
        QElapsedTimer setup;
        setup.start();
        while (camera.captureSession()->activeVideoSize().isEmpty() && setup.elapsed() < 15000) {
            spin(50);
        }
        camera.configureResolution(VideoResolution::p1080, VideoAspectRatio::ratio16x9);
        while (camera.captureSession()->activeVideoSize() != QSize(1920, 1080) && setup.elapsed() < 30000) {
            spin(50);
        }
        spin(2000);
        previewSize = view->pictureArea()->preview()->previewLayer()->latestFrame().size();
        std::printf("camera %dx%d, preview frames %dx%d for a view of %dx%d\n",
            camera.captureSession()->activeVideoSize().width(), camera.captureSession()->activeVideoSize().height(),
            previewSize.width(), previewSize.height(), view->pictureArea()->preview()->devicePixelSize().width(),
            view->pictureArea()->preview()->devicePixelSize().height());
        screenPreview = measureScreen(app, *view, camera, false);
        screenRecording = measureScreen(app, *view, camera, true);
        // Beyond the comparison: the preview with the teleprompter box over
        // it, scrolling, which every frame repaints.
        QString script;
        for (int line = 0; line < 200; ++line) {
            script += QStringLiteral("第%1行：大家好，欢迎收看本期节目，今天我们来聊一聊口播视频。\n").arg(line);
        }
        view->viewState()->setTeleprompterText(script);
        view->viewState()->setIsTeleprompterVisible(true);
        view->viewState()->scroller()->startScrolling();
        spin(1000);
        screenTeleprompter = measureScreen(app, *view, camera, false);
        view->viewState()->scroller()->resetScrolling();
        window.clear();
        delete view;
    }
    spin(500);
    const Figures barePreview = measureBare(previewSize, false, {});
    const Figures bareRecording = measureBare(previewSize, true, QDir(folder.path()).filePath("bare.mp4"));

    print("preview alone", screenPreview, barePreview);
    print("preview + recording", screenRecording, bareRecording);
    print("preview + teleprompter scrolling (against the bare preview)", screenTeleprompter, barePreview);
    return 0;
}
