// Stop to library: how long after stopRecording() a take's row is in the
// library, for takes of 10 s, 60 s and 300 s at 1080p from a generated camera,
// at 9:16, 1:1 and 16:9. The takes are recorded cut to their ratio, so the
// stop leaves only a remux (streams copied) and the thumbnail. Prints each
// figure beside its goal (under 1 s for 10 s and 60 s takes) and the remux's
// throughput, which is all that should grow with the take.
//
// Usage: stop_to_library_bench [seconds...]   (default: 10 60 300)
#include "capture/CameraManager.h"
#include "capture/TestDevices.h"
#include "library/DatabaseManager.h"
#include "platform/Log.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/MediaRuntime.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>
#include <mutex>

namespace {

constexpr double goalSeconds = 1.0;
constexpr int goalUpToTakeSeconds = 60;

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return done();
}

// When the processing's log lines came, on the bench's own clock.
struct Marks {
    std::mutex mutex;
    QElapsedTimer clock;
    qint64 finishedMs = -1; // "✅ 录制完成": the fragmented file is complete
    qint64 croppedMs = -1; // "✂️ 已按比例": the remux has replaced it

    void reset()
    {
        std::lock_guard lock(mutex);
        finishedMs = croppedMs = -1;
    }
    void note(const QString &line)
    {
        std::lock_guard lock(mutex);
        if (line.startsWith(QStringLiteral("✅ 录制完成"))) {
            finishedMs = clock.elapsed();
        } else if (line.startsWith(QStringLiteral("✂️ 已按比例"))) {
            croppedMs = clock.elapsed();
        }
    }
};

struct Result {
    bool ok = false;
    double stopToFileSeconds = 0;
    double remuxSeconds = -1;
    double stopToRowSeconds = 0;
    double megabytes = 0;
};

Result recordOne(CameraManager &manager, Marks &marks, VideoAspectRatio ratio, int seconds)
{
    Result result;
    const qsizetype rows = DatabaseManager::shared().videos().size();
    marks.reset();
    manager.configureResolution(VideoResolution::p1080, ratio);
    manager.startRecording();
    if (!waitUntil([&] { return manager.isRecording(); }, 20000)) {
        return result;
    }
    waitUntil([] { return false; }, seconds * 1000);
    const qint64 stopMs = marks.clock.elapsed();
    manager.stopRecording();
    if (!waitUntil([&] { return DatabaseManager::shared().videos().size() > rows; }, 600000)) {
        return result;
    }
    const qint64 rowMs = marks.clock.elapsed();
    const QString path = DatabaseManager::shared().videos().first().filePath;
    std::lock_guard lock(marks.mutex);
    result.ok = marks.finishedMs >= 0;
    result.stopToFileSeconds = double(marks.finishedMs - stopMs) / 1000;
    if (marks.croppedMs >= 0) {
        result.remuxSeconds = double(marks.croppedMs - marks.finishedMs) / 1000;
    }
    result.stopToRowSeconds = double(rowMs - stopMs) / 1000;
    result.megabytes = double(QFileInfo(path).size()) / 1e6;
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    // The library, journal and thumbnails of this run only.
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MediaRuntime::initialise(&argc, &argv);

    QList<int> lengths;
    for (int index = 1; index < argc; ++index) {
        if (const int seconds = QString::fromLocal8Bit(argv[index]).toInt(); seconds > 0) {
            lengths << seconds;
        }
    }
    if (lengths.isEmpty()) {
        lengths = {10, 60, 300};
    }

    Marks marks;
    marks.clock.start();
    Log::setObserver([&marks](const QString &line) { marks.note(line); });
    // Bars that move: every frame has something new to encode.
    const CaptureDevice camera = TestDevices::patternCamera(QStringLiteral("Moving Bars"), QStringLiteral("bench:bars"),
        QStringLiteral("videotestsrc is-live=true pattern=smpte horizontal-speed=3"));
    CameraManager manager(TestDevices::provider({camera}), TestDevices::permissions());
    manager.setSaveFolder(home.filePath(QStringLiteral("takes")));
    if (!waitUntil(
            [&] { return manager.captureSession() && manager.captureSession()->previewFrameCount() > 10; }, 30000)) {
        std::fprintf(stderr, "the camera never delivered a picture\n");
        return 1;
    }

    std::printf(
        "stop to library, 1080p camera, goal < %.1f s for takes up to %d s\n", goalSeconds, goalUpToTakeSeconds);
    std::printf("%-6s %6s %10s %10s %10s %9s %10s  %s\n", "ratio", "take", "stop->file", "remux", "stop->row",
        "file MB", "remux MB/s", "goal");
    bool allOk = true;
    for (const int seconds : lengths) {
        for (const VideoAspectRatio ratio :
            {VideoAspectRatio::ratio9x16, VideoAspectRatio::ratio1x1, VideoAspectRatio::ratio16x9}) {
            const Result result = recordOne(manager, marks, ratio, seconds);
            if (!result.ok) {
                std::printf("%-6s %5ds  failed\n", qPrintable(ratio.rawValue()), seconds);
                allOk = false;
                continue;
            }
            // 16:9 logs no crop line: its remux is only known together with the thumbnail.
            const double remux
                = result.remuxSeconds >= 0 ? result.remuxSeconds : result.stopToRowSeconds - result.stopToFileSeconds;
            const QString goal = seconds <= goalUpToTakeSeconds
                ? (result.stopToRowSeconds < goalSeconds ? QStringLiteral("< 1 s: met")
                                                         : QStringLiteral("< 1 s: MISSED"))
                : QStringLiteral("(grows by the copy only)");
            std::printf("%-6s %5ds %9.3fs %9.3fs%s %9.3fs %9.1f %10.0f  %s\n", qPrintable(ratio.rawValue()), seconds,
                result.stopToFileSeconds, remux, result.remuxSeconds >= 0 ? " " : "*", result.stopToRowSeconds,
                result.megabytes, remux > 0 ? result.megabytes / remux : 0.0, qPrintable(goal));
            std::fflush(stdout);
        }
    }
    std::printf("* remux and thumbnail together (no crop line to tell them apart)\n");
    return allOk ? 0 : 1;
}
