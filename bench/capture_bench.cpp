// Preview alone against preview + recording, from a live test pattern and a
// test tone, at 720p and 1080p: delivered preview fps, frames written against
// frames expected, CPU seconds per wall second, and the time from stop to the
// finished file. Figures are ratios against the preview-alone baseline of the
// same run.
#include "platform/media/CaptureDevice.h"
#include "platform/media/CaptureDeviceInput.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/MovieFileOutput.h"

#include <gst/gst.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>

#include <atomic>
#include <cstdio>

namespace {

constexpr double phaseSeconds = 5.0;
constexpr double frameRate = 30.0;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

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
    const double cpuStart = cpuSeconds();
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
    phase.cpuPerWall = (cpuSeconds() - cpuStart) / seconds;
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

void run(SessionPreset preset, const char *label, const QString &folder)
{
    CaptureSession session;
    MovieFileOutput output;
    session.beginConfiguration();
    session.setSessionPreset(preset);
    session.addInput(CaptureDeviceInput::make(
        CaptureDevice::fromLaunchDescription(QStringLiteral("Pattern"), QStringLiteral("bench:camera"),
            MediaType::video, QStringLiteral("videotestsrc is-live=true pattern=ball"),
            QStringLiteral("video/x-raw,width=[16,1920],height=[16,1080]")),
        nullptr));
    session.addInput(CaptureDeviceInput::make(
        CaptureDevice::fromLaunchDescription(QStringLiteral("Tone"), QStringLiteral("bench:tone"), MediaType::audio,
            QStringLiteral("audiotestsrc is-live=true"), QStringLiteral("audio/x-raw")),
        nullptr));
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

} // namespace

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    run(SessionPreset::p1280x720, "720p", folder.path());
    run(SessionPreset::p1920x1080, "1080p", folder.path());
    return 0;
}
