// Crop export of a 10 s 1080p30 recording to 1:1 and 9:16: wall time against
// the recording's length and against a plain decode of the same file, and the
// peak memory of each run against that decode. Every run is a child process so
// its memory high-water mark is its own. Then how long a finished-file report
// holds the capture thread, against the work it hands to the processing
// worker, and what one journal write costs.
#include "capture/CameraManager.h"
#include "capture/TakeJournal.h"
#include "platform/media/CropGeometry.h"
#include "platform/media/ExportSession.h"
#include "platform/media/FixedCapturePermissions.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/StaticDeviceProvider.h"

#include <gst/gst.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {
constexpr double recordingSeconds = 10.0;

bool runPipeline(const QString &description)
{
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error || !pipeline) {
        std::fprintf(stderr, "pipeline: %s\n", error ? error->message : "?");
        return false;
    }
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstMessage *message
        = gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    gst_message_unref(message);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    return ok;
}

// Something like a webcam file: moving picture, AAC sound, a key frame a second.
bool writeRecording(const QString &path)
{
    const int frames = int(recordingSeconds * 30);
    const int soundBuffers = int(recordingSeconds * 48000 / 1024) + 1;
    return runPipeline(QStringLiteral("videotestsrc num-buffers=%1 pattern=ball background-color=0xff3060a0 ! "
                                      "video/x-raw,width=1920,height=1080,framerate=30/1 ! "
                                      "x264enc speed-preset=superfast bitrate=8000 key-int-max=30 ! h264parse ! "
                                      "mp4mux name=mux ! filesink location=\"%2\" "
                                      "audiotestsrc num-buffers=%3 ! audio/x-raw,rate=48000,channels=2 ! "
                                      "audioconvert ! avenc_aac ! mux.")
                           .arg(frames)
                           .arg(path)
                           .arg(soundBuffers));
}

bool exportCrop(const QString &input, const QString &output, double ratio)
{
    const MediaAsset asset(input);
    const MediaTrack track = asset.tracks(MediaType::video).value(0);
    const auto crop = CropGeometry::cropRect(track.preferredTransform.apply(track.naturalSize), ratio);
    const auto session = ExportSession::make(asset);
    if (!crop || !session) {
        return false;
    }
    session->setOutputPath(output);
    session->setVideoComposition(VideoComposition{*crop, 1, 30});
    session->setShouldOptimizeForNetworkUse(true);
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    session->exportAsynchronously([&] {
        std::lock_guard lock(mutex);
        finished = true;
        done.notify_all();
    });
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return finished; });
    return session->status() == ExportSession::Status::completed;
}

int child(const QString &mode, const QString &input, const QString &output)
{
    QElapsedTimer timer;
    timer.start();
    bool ok = false;
    if (mode == "write") {
        ok = writeRecording(input);
    } else if (mode == "decode") {
        ok = runPipeline(QStringLiteral("filesrc location=\"%1\" ! qtdemux name=d d.video_0 ! queue ! decodebin ! "
                                        "fakesink d.audio_0 ! queue ! decodebin ! fakesink")
                             .arg(input));
    } else {
        ok = exportCrop(input, output, mode == "1:1" ? 1.0 : 9.0 / 16.0);
    }
    std::printf("%.3f\n", timer.elapsed() / 1000.0);
    return ok ? 0 : 1;
}

double milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void measureHandover(const QString &input, const QString &folder, int argc, char **argv)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder + "/share"));
    QCoreApplication application(argc, argv);
    const QString take = folder + "/take.mp4";
    QFile::copy(input, take);
    CameraManager manager(
        std::make_shared<StaticDeviceProvider>(), std::make_shared<FixedCapturePermissions>(true, true));
    manager.configureResolution(VideoResolution::p1080, VideoAspectRatio::ratio1x1);

    QElapsedTimer timer;
    timer.start();
    manager.fileOutputDidFinishRecording(take, std::nullopt, VideoAspectRatio::ratio1x1);
    const double reportMs = milliseconds(timer);
    manager.waitForPostProcessing(600000);
    const double processingMs = milliseconds(timer);

    // What the report used to run on the capture thread before returning.
    timer.restart();
    const MediaAsset asset(input);
    const bool canExport = bool(ExportSession::make(asset));
    const double setupMs = milliseconds(timer);

    TakeJournal journal(folder + "/share/Veltroscope/takes-in-progress.json");
    constexpr int writes = 20;
    timer.restart();
    for (int i = 0; i < writes; ++i) {
        journal.noteStarted(folder + QStringLiteral("/%1.mp4").arg(i), VideoAspectRatio::ratio1x1);
    }
    const double noteMs = milliseconds(timer) / writes;
    timer.restart();
    for (int i = 0; i < writes; ++i) {
        journal.remove(folder + QStringLiteral("/%1.mp4").arg(i));
    }
    const double removeMs = milliseconds(timer) / writes;

    std::printf("finished-file report holds the capture thread %.2f ms; the asset reading and export set-up it "
                "hands over take %.1f ms (%.0f x)%s; the whole processing %.2f s\n",
        reportMs, setupMs, setupMs / reportMs, canExport ? "" : " (no export possible)", processingMs / 1000.0);
    std::printf(
        "journal write (with sync to disk): note %.2f ms, remove %.2f ms, mean of %d\n", noteMs, removeMs, writes);
}

struct Run {
    double wallSeconds = 0;
    long peakKilobytes = 0;
    bool ok = false;
};

Run spawnChild(const char *self, const char *mode, const QString &input, const QString &output)
{
    const QByteArray inputBytes = input.toUtf8(), outputBytes = output.toUtf8();
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    char *argv[] = {const_cast<char *>(self), const_cast<char *>("--child"), const_cast<char *>(mode),
        const_cast<char *>(inputBytes.constData()), const_cast<char *>(outputBytes.constData()), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    Run run;
    char buffer[64] = {};
    const ssize_t length = read(pipeFds[0], buffer, sizeof buffer - 1);
    close(pipeFds[0]);
    if (spawned != 0) {
        return run;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && length > 0;
    run.wallSeconds = length > 0 ? std::atof(buffer) : 0;
    run.peakKilobytes = usage.ru_maxrss;
    return run;
}
} // namespace

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    if (argc == 5 && std::strcmp(argv[1], "--child") == 0) {
        return child(QString::fromUtf8(argv[2]), QString::fromUtf8(argv[3]), QString::fromUtf8(argv[4]));
    }

    // The parent stays small: a child inherits its memory high-water mark.
    QTemporaryDir dir;
    const QString input = dir.filePath("20250303_140509.mp4");
    char selfPath[4096] = {};
    if (readlink("/proc/self/exe", selfPath, sizeof selfPath - 1) <= 0) {
        return 1;
    }
    if (!spawnChild(selfPath, "write", input, QString()).ok) {
        std::fprintf(stderr, "cannot write the test recording\n");
        return 1;
    }

    const Run decode = spawnChild(selfPath, "decode", input, QString());
    std::printf("recording: 10 s 1920x1080 30 fps H.264 + AAC\n");
    std::printf("baseline decode only: %.2f s (%.2f x real time), peak %ld MB\n", decode.wallSeconds,
        decode.wallSeconds / recordingSeconds, decode.peakKilobytes / 1024);
    int failures = decode.ok ? 0 : 1;
    for (const char *mode : {"1:1", "9:16"}) {
        const QString output = dir.filePath(QStringLiteral("out-%1.mp4").arg(QString(mode).replace(':', '-')));
        const Run run = spawnChild(selfPath, mode, input, output);
        failures += run.ok ? 0 : 1;
        std::printf("crop export %-4s: %s %.2f s = %.2f x real time (%.2f x decode), peak %ld MB (%.2f x decode)\n",
            mode, run.ok ? "ok    " : "FAILED", run.wallSeconds, run.wallSeconds / recordingSeconds,
            run.wallSeconds / decode.wallSeconds, run.peakKilobytes / 1024,
            double(run.peakKilobytes) / decode.peakKilobytes);
    }
    measureHandover(input, dir.path(), argc, argv);
    return failures == 0 ? 0 : 1;
}
