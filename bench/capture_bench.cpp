// Preview alone against preview + recording, from a live test pattern and a
// test tone, at 720p and 1080p: delivered preview fps, frames written against
// frames expected, CPU seconds per wall second, and the time from stop to the
// finished file. Figures are ratios against the preview-alone baseline of the
// same run.
//
// Then the start of a take as the recording screen makes it (a new resolution,
// then the start): the longest stall of the main thread against the longest
// gap of an idle main thread, and the gap between the file's first picture
// and its first sound.
#include "capture/CameraManager.h"
#include "platform/media/CaptureDevice.h"
#include "platform/media/CaptureDeviceInput.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/FixedCapturePermissions.h"
#include "platform/media/MovieFileOutput.h"
#include "platform/media/StaticDeviceProvider.h"

#include <gst/gst.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <cstdlib>

#include "ProcessCpu.h"

#include <atomic>
#include <cstdio>

namespace {

constexpr double phaseSeconds = 5.0;
constexpr double frameRate = 30.0;

struct Phase {
    double previewFps = 0;
    double cpuPerWall = 0;
    qint64 framesWritten = 0;
    qint64 framesExpected = 0;
    double stopToFinishedMs = 0;
};

Phase measure(CaptureSession &session, MovieFileOutput &output, bool record, const QString &path)
{
    std::atomic<bool> finished = false;
    const qint64 previewStart = session.previewFrameCount();
    const double cpuStart = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    if (record) {
        output.startRecording(path, [&](const QString &, const std::optional<QString> &error) {
            if (error) {
                std::fprintf(stderr, "recording failed: %s\n", qPrintable(*error));
            }
            finished = true;
        });
    }
    QThread::msleep(int(phaseSeconds * 1000));
    Phase phase;
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    phase.previewFps = double(session.previewFrameCount() - previewStart) / seconds;
    phase.cpuPerWall = (processCpuSeconds() - cpuStart) / seconds;
    if (record) {
        QElapsedTimer stop;
        stop.start();
        output.stopRecording();
        while (!finished && stop.elapsed() < 10000) {
            QThread::usleep(500);
        }
        phase.stopToFinishedMs = double(stop.nsecsElapsed()) / 1e6;
        phase.framesWritten = output.lastRecordingVideoFrames();
        phase.framesExpected = qint64(seconds * frameRate + 0.5);
    }
    return phase;
}

CaptureDevice benchCamera()
{
    return CaptureDevice::fromLaunchDescription(QStringLiteral("Pattern"), QStringLiteral("bench:camera"),
        MediaType::video, QStringLiteral("videotestsrc is-live=true pattern=ball"),
        QStringLiteral("video/x-raw,width=[16,1920],height=[16,1080],framerate=[1/1,60/1]"));
}

CaptureDevice benchTone()
{
    return CaptureDevice::fromLaunchDescription(QStringLiteral("Tone"), QStringLiteral("bench:tone"), MediaType::audio,
        QStringLiteral("audiotestsrc is-live=true"), QStringLiteral("audio/x-raw"));
}

void run(SessionPreset preset, const char *label, const QString &folder)
{
    CaptureSession session;
    MovieFileOutput output;
    session.beginConfiguration();
    session.setSessionPreset(preset);
    session.addInput(CaptureDeviceInput::make(benchCamera(), nullptr));
    session.addInput(CaptureDeviceInput::make(benchTone(), nullptr));
    session.addOutput(&output);
    session.commitConfiguration();
    session.startRunning();
    QThread::msleep(1000); // settle

    const Phase baseline = measure(session, output, false, {});
    const Phase recording = measure(
        session, output, true, QDir(folder).filePath(QStringLiteral("%1.mp4").arg(QString::fromLatin1(label))));

    std::printf(
        "%s preview alone:        %.1f fps, %.2f CPU s per wall s\n", label, baseline.previewFps, baseline.cpuPerWall);
    std::printf("%s preview + recording:  %.1f fps, %.2f CPU s per wall s\n", label, recording.previewFps,
        recording.cpuPerWall);
    std::printf("%s ratios vs preview alone: preview fps x%.3f, CPU x%.2f\n", label,
        recording.previewFps / baseline.previewFps, recording.cpuPerWall / baseline.cpuPerWall);
    std::printf("%s frames written %lld of %lld expected (%lld dropped, ratio %.3f)\n", label,
        static_cast<long long>(recording.framesWritten), static_cast<long long>(recording.framesExpected),
        static_cast<long long>(std::max<qint64>(0, recording.framesExpected - recording.framesWritten)),
        double(recording.framesWritten) / double(recording.framesExpected));
    std::printf("%s stop to finished file: %.1f ms (%.1f frame intervals)\n", label, recording.stopToFinishedMs,
        recording.stopToFinishedMs / (1000.0 / frameRate));
}

// The longest time between two ticks of a 5 ms main-thread timer.
class StallWatch {
public:
    StallWatch()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longestMs = std::max(m_longestMs, double(m_sinceTick.nsecsElapsed()) / 1e6);
            m_sinceTick.restart();
        });
        m_timer.start(5);
        reset();
    }
    void reset()
    {
        m_longestMs = 0;
        m_sinceTick.restart();
    }
    double longestMs() const { return m_longestMs; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    double m_longestMs = 0;
};

bool spinUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return done();
}

// The first timestamp of each track, as stored in the file.
std::pair<double, double> firstPictureAndSound(const QString &path)
{
    const QByteArray description = "filesrc location=\"" + path.toUtf8()
        + "\" ! qtdemux name=demux demux.video_0 ! queue ! fakesink name=video sync=false "
          "demux.audio_0 ! queue ! fakesink name=audio sync=false";
    GstElement *pipeline = gst_parse_launch(description.constData(), nullptr);
    if (!pipeline) {
        return {-1, -1};
    }
    double first[2] = {-1, -1};
    int index = 0;
    for (const char *name : {"video", "audio"}) {
        GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), name);
        GstPad *pad = gst_element_get_static_pad(sink, "sink");
        gst_pad_add_probe(
            pad, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad *, GstPadProbeInfo *info, gpointer data) {
                auto *seconds = static_cast<double *>(data);
                const GstClockTime pts = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
                if (*seconds < 0 && GST_CLOCK_TIME_IS_VALID(pts)) {
                    *seconds = double(pts) / GST_SECOND;
                }
                return GST_PAD_PROBE_OK;
            },
            &first[index++], nullptr);
        gst_object_unref(pad);
        gst_object_unref(sink);
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *message
        = gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (message) {
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return {first[0], first[1]};
}

void runTakeStart(const QString &folder, bool systemDevices)
{
    auto owned = systemDevices ? std::make_unique<CameraManager>()
                               : std::make_unique<CameraManager>(std::make_shared<StaticDeviceProvider>(
                                                                     QList<CaptureDevice>{benchCamera()}, benchTone()),
                                   std::make_shared<FixedCapturePermissions>(true, true));
    CameraManager &manager = *owned;
    manager.setSaveFolder(folder);
    spinUntil([&] { return manager.captureSession()->previewFrameCount() > 30; }, 20000);
    spinUntil([] { return false; }, 1000);
    StallWatch watch;
    spinUntil([] { return false; }, 2000);
    const double idleMs = watch.longestMs();

    // Each take asks for another size than the session has, so the camera
    // restarts before every one.
    constexpr int takes = 4;
    double longestStallMs = 0;
    double longestCallsMs = 0;
    double longestStartMs = 0;
    double largestOffsetMs = 0;
    int recorded = 0;
    MovieFileOutput *output = manager.captureSession()->outputs().value(0);
    for (int take = 0; take < takes; ++take) {
        spinUntil([] { return false; }, 1100); // a file name of its own
        watch.reset();
        QElapsedTimer calls;
        calls.start();
        manager.configureResolution(
            take % 2 == 0 ? VideoResolution::p480 : VideoResolution::p720, VideoAspectRatio::ratio16x9);
        manager.startRecording();
        longestCallsMs = std::max(longestCallsMs, double(calls.nsecsElapsed()) / 1e6);
        recorded += spinUntil([&] { return manager.isRecording(); }, 20000) ? 1 : 0;
        longestStartMs = std::max(longestStartMs, double(calls.nsecsElapsed()) / 1e6);
        spinUntil([] { return false; }, 500);
        longestStallMs = std::max(longestStallMs, watch.longestMs());
        spinUntil([] { return false; }, 1000);
        manager.stopRecording();
        spinUntil([&] { return output && output->finishedRecordings() > take; }, 20000);
        const auto [picture, sound] = firstPictureAndSound(manager.currentRecordingURL().value_or(QString()));
        largestOffsetMs = std::max(largestOffsetMs, std::abs(sound - picture) * 1000);
    }
    std::printf("take start on %s (%d takes, %d recorded, camera restarted each time): recording after at most "
                "%.1f ms, configureResolution + startRecording took at most %.2f ms\n",
        qPrintable(manager.selectedDevice() ? manager.selectedDevice()->localizedName() : QStringLiteral("no camera")),
        takes, recorded, longestStartMs, longestCallsMs);
    std::printf("take start: longest main-thread stall %.1f ms against %.1f ms idle (x%.2f)\n", longestStallMs, idleMs,
        idleMs > 0 ? longestStallMs / idleMs : 0.0);
    std::printf("take start: largest gap between first picture and first sound %.1f ms\n", largestOffsetMs);
}

} // namespace

int main(int argc, char **argv)
{
    // Post-processing of the take writes a library row: keep it out of the
    // user's own data folder.
    QTemporaryDir data;
    setenv("XDG_DATA_HOME", data.path().toUtf8().constData(), 1);
    gst_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    // --system-devices: the take start on the machine's own camera (for
    // example inside tests/with-virtual-devices.sh).
    const bool systemDevices = QCoreApplication::arguments().contains(QStringLiteral("--system-devices"));
    if (!systemDevices) {
        run(SessionPreset::p1280x720, "720p", folder.path());
        run(SessionPreset::p1920x1080, "1080p", folder.path());
    }
    runTakeStart(folder.path(), systemDevices);
    return 0;
}
