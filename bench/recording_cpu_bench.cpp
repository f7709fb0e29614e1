// CPU seconds per second while the camera manager records a 9:16, a 1:1 and a
// 16:9 take at 1080p30 (configureResolution, then startRecording, as the
// recording screen does), against a bare gst_parse_launch pipeline doing the
// same work in the same run. The bare pipeline is written from the program's
// own running pipeline: the same source, the same preview branch, and the
// recording bin's elements with their settings as the take has them, so the
// two cannot drift apart. Its crop is the take's encoded rectangle, whether
// or not the program's take has one yet.
//
// Goals printed beside the figures: each ratio at most 1.1 x its bare
// pipeline, and the 9:16 take cheaper than the 16:9 one.
#include "capture/CameraManager.h"
#include "library/DatabaseManager.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/CaptureSessionEngine.h"
#include "platform/media/CropGeometry.h"
#include "platform/media/FixedCapturePermissions.h"
#include "platform/media/MediaRuntime.h"
#include "platform/media/MovieFileOutput.h"
#include "platform/media/StaticDeviceProvider.h"

#include <gst/gst.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "PipelineDescription.h"
#include "ProcessCpu.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr int settleMs = 1500;
constexpr int phaseMs = 8000;
const QSize cameraSize(1920, 1080);
// A moving picture in a webcam's own format, so the encoder has real work.
const QString cameraSource = QStringLiteral(
    "videotestsrc is-live=true pattern=smpte horizontal-speed=4 ! capsfilter caps=video/x-raw,format=YUY2");
const QString microphoneSource = QStringLiteral("audiotestsrc is-live=true");

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

struct Take {
    VideoAspectRatio ratio;
    std::optional<QRect> crop; // of the camera picture; none at the camera's own ratio
    double programCpu = 0;
    double bareCpu = 0;
    qint64 programFrames = 0;
    QString bareDescription;
    QString programCrop; // the program's own crop element, as it runs
};

QString cropDescription(const QRect &crop)
{
    return QStringLiteral("videocrop left=%1 right=%2 top=%3 bottom=%4")
        .arg(crop.left())
        .arg(cameraSize.width() - crop.left() - crop.width())
        .arg(crop.top())
        .arg(cameraSize.height() - crop.top() - crop.height());
}

void recordWithProgram(QList<Take> &takes, const QString &folder)
{
    auto provider = std::make_shared<StaticDeviceProvider>(
        QList<CaptureDevice>{CaptureDevice::fromLaunchDescription(QStringLiteral("Bench camera"),
            QStringLiteral("bench:camera"), MediaType::video, cameraSource,
            QStringLiteral("video/x-raw,width=[16,1920],height=[16,1080],framerate=[1/1,60/1]"))},
        CaptureDevice::fromLaunchDescription(QStringLiteral("Bench tone"), QStringLiteral("bench:tone"),
            MediaType::audio, microphoneSource, QStringLiteral("audio/x-raw")));
    CameraManager camera(provider, std::make_shared<FixedCapturePermissions>(true, true));
    camera.setSaveFolder(folder);
    spinUntil([&] { return !camera.captureSession()->activeVideoSize().isEmpty(); }, 20000);
    MovieFileOutput *output = camera.captureSession()->outputs().value(0);
    int finished = 0;
    for (Take &take : takes) {
        spin(1100); // a file name of its own
        const qsizetype listed = DatabaseManager::shared().videos().size();
        camera.configureResolution(VideoResolution::p1080, take.ratio);
        camera.startRecording();
        if (!spinUntil([&] { return camera.isRecording(); }, 20000)) {
            std::fprintf(stderr, "%s: the take did not start\n", qPrintable(take.ratio.rawValue()));
            continue;
        }
        spin(settleMs);
        const GstPtr<GstElement> pipeline = camera.captureSession()->engine()->pipeline();
        PipelineDescription::Twin twin;
        twin.videoSource = cameraSource;
        twin.audioSource = microphoneSource;
        if (take.crop) {
            twin.crop = cropDescription(*take.crop);
        }
        twin.path = QDir(folder).filePath(QStringLiteral("bare-%1.mp4").arg(int(take.ratio.value())));
        take.bareDescription = PipelineDescription::bare(pipeline.get(), twin);
        take.programCrop = twin.programCrop;
        const double cpuStart = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        spin(phaseMs);
        take.programCpu = (processCpuSeconds() - cpuStart) / (double(wall.nsecsElapsed()) / 1e9);
        camera.stopRecording();
        spinUntil([&] { return output && output->finishedRecordings() > finished; }, 20000);
        finished = output ? output->finishedRecordings() : finished;
        take.programFrames = output ? output->lastRecordingVideoFrames() : 0;
        // Whatever the processing after the stop does, it is over before the next take.
        spinUntil([&] { return DatabaseManager::shared().videos().size() > listed; }, 120000);
    }
}

double recordBare(const QString &description)
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
    // The clock the program's pipeline runs on: the sources' own clocks can
    // disagree and leave the muxer waiting.
    GstClock *clock = gst_system_clock_obtain();
    gst_pipeline_use_clock(GST_PIPELINE(pipeline), clock);
    gst_object_unref(clock);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND);
    QThread::msleep(settleMs);
    const double cpuStart = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QThread::msleep(phaseMs);
    const double cpu = (processCpuSeconds() - cpuStart) / (double(wall.nsecsElapsed()) / 1e9);
    gst_element_send_event(pipeline, gst_event_new_eos());
    GstBus *bus = gst_element_get_bus(pipeline);
    // The level element's messages come first; wait for the end or an error.
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
    // The takes are listed in a library of their own, not the user's.
    QTemporaryDir data;
    setenv("XDG_DATA_HOME", data.path().toUtf8().constData(), 1);
    MediaRuntime::initialise(&argc, &argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("VeltroscopeBench"));
    QTemporaryDir folder;

    QList<Take> takes;
    for (VideoAspectRatio ratio :
        {VideoAspectRatio::ratio9x16, VideoAspectRatio::ratio1x1, VideoAspectRatio::ratio16x9}) {
        Take take{ratio, std::nullopt, 0, 0, 0, {}, {}};
        if (const auto exact = CropGeometry::cropRect(QSizeF(cameraSize), ratio.ratio())) {
            take.crop = CropGeometry::encodedRect(*exact, QSizeF(cameraSize));
        }
        takes << take;
    }
    recordWithProgram(takes, folder.path());
    // The program's pipeline is gone before the bare ones run.
    spin(500);
    for (Take &take : takes) {
        take.bareCpu = take.bareDescription.isEmpty() ? 0 : recordBare(take.bareDescription);
    }

    std::printf("recording at 1080p30 from %s, %d s a take\n", qPrintable(cameraSource), phaseMs / 1000);
    for (const Take &take : takes) {
        const double ratio = take.bareCpu > 0 ? take.programCpu / take.bareCpu : 0.0;
        const QString crop = take.crop
            ? QStringLiteral("%1x%2 of the picture").arg(take.crop->width()).arg(take.crop->height())
            : QStringLiteral("none");
        std::printf("%s take (crop %s): program %.3f CPU s per s (%lld frames), bare %.3f, ratio %.3f "
                    "(goal <= 1.10: %s)\n",
            qPrintable(take.ratio.rawValue()), qPrintable(crop), take.programCpu,
            static_cast<long long>(take.programFrames), take.bareCpu, ratio,
            ratio > 0 && ratio <= 1.1 ? "met" : "not met");
        std::printf("  program's own crop: %s\n",
            take.programCrop.isEmpty() ? "none (the take is written uncropped)" : qPrintable(take.programCrop));
    }
    const Take &tall = takes[0];
    const Take &wide = takes[2];
    std::printf("9:16 against 16:9: program %.3f vs %.3f, ratio %.3f (goal: 9:16 cheaper: %s); bare %.3f vs %.3f, "
                "ratio %.3f\n",
        tall.programCpu, wide.programCpu, wide.programCpu > 0 ? tall.programCpu / wide.programCpu : 0.0,
        tall.programCpu < wide.programCpu ? "met" : "not met", tall.bareCpu, wide.bareCpu,
        wide.bareCpu > 0 ? tall.bareCpu / wide.bareCpu : 0.0);
    std::printf("bare pipeline of the 9:16 take:\n  %s\n", qPrintable(tall.bareDescription));
    return 0;
}
