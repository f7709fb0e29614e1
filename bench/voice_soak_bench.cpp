// 20 takes in a row, each started and stopped by a spoken command of the real
// speaker played into the virtual microphone (run inside
// tests/with-virtual-devices.sh), through the recording screen and its own
// listener as a user meets them. Before each stop phrase the microphone hears
// a steady tone that ends where the phrase's clip begins, so the finished
// file shows where its cut fell against the phrase's voice.
//
// Prints per take: the kept duration the log gave, the file's measured
// duration, and how far before the phrase's voice the file ends (the margin
// is 0.2 s; a negative figure keeps some of the phrase). Then the totals:
// files, library rows, commands heard against commands said.
//
// To tell a stalled camera apart from what the voice does:
// VELTROSCOPE_VOICE_SOAK_NO_TRIM turns the cut of the stop phrase off,
// VELTROSCOPE_VOICE_SOAK_BUTTON_STOP stops each take as the button does just
// before its stop phrase, VELTROSCOPE_VOICE_SOAK_NO_DECODE skips reading the
// files' sound back.
#include "capture/CameraManager.h"
#include "capture/VoiceCommandTrim.h"
#include "library/DatabaseManager.h"
#include "library/RecordingOptions.h"
#include "platform/Log.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaRuntime.h"
#include "support/RealSpeech.h"
#include "ui/recording/RecordingView.h"
#include "ui/recording/RecordingViewState.h"
#include "voice/SpeechRecognitionManager.h"
#include "voice/VoiceClips.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>

namespace {
constexpr int takes = 20;
constexpr double toneSeconds = 2.0;
constexpr double toneAmplitude = 0.1;
constexpr int rate = RealSpeech::sampleRate;
constexpr int windowsPerSecond = 50;

std::mutex logMutex;
QStringList logLines;

int logCount(const QString &prefix)
{
    std::lock_guard lock(logMutex);
    return int(std::count_if(logLines.begin(), logLines.end(), [&](const QString &l) { return l.startsWith(prefix); }));
}

QString lastLogLine(const QString &prefix)
{
    std::lock_guard lock(logMutex);
    for (auto it = logLines.rbegin(); it != logLines.rend(); ++it) {
        if (it->startsWith(prefix)) {
            return *it;
        }
    }
    return {};
}

bool spinUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void spin(int ms)
{
    spinUntil([] { return false; }, ms);
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "voice_soak_bench: %s\n", what);
    std::exit(1);
}

void play(QProcess &player, const QString &clip)
{
    player.waitForFinished(30000);
    player.start(QStringLiteral("paplay"), {QStringLiteral("--device=veltroscope_feed"), clip});
    player.waitForStarted(5000);
}

// RMS in dB of each 20 ms of a file's sound, mono at 16 kHz.
std::vector<double> windowLevels(const QString &path)
{
    std::vector<float> sound;
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(
        "filesrc name=src ! qtdemux name=demux demux.audio_0 ! queue ! decodebin ! audioconvert ! audioresample ! "
        "audio/x-raw,format=F32LE,channels=1,rate=16000 ! appsink name=out sync=false",
        &error);
    g_clear_error(&error);
    if (!pipeline) {
        return {};
    }
    GstElement *source = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    g_object_set(source, "location", path.toUtf8().constData(), nullptr);
    gst_object_unref(source);
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    while (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND)) {
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto *samples = reinterpret_cast<const float *>(map.data);
            sound.insert(sound.end(), samples, samples + map.size / sizeof(float));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    constexpr size_t window = rate / windowsPerSecond;
    std::vector<double> levels;
    for (size_t i = 0; i + window <= sound.size(); i += window) {
        double energy = 0;
        for (size_t j = i; j < i + window; ++j) {
            energy += double(sound[j]) * sound[j];
        }
        levels.push_back(10 * std::log10(energy / window + 1e-12));
    }
    return levels;
}

// Where the tone ends in the file, in seconds; none when the file ends on it.
std::optional<double> toneEnd(const std::vector<double> &levels)
{
    const double toneDb = 20 * std::log10(toneAmplitude / std::sqrt(2.0));
    const size_t from = levels.size() > size_t(4 * windowsPerSecond) ? levels.size() - 4 * windowsPerSecond : 0;
    int last = -1;
    for (size_t i = from; i < levels.size(); ++i) {
        if (std::abs(levels[i] - toneDb) < 3.0) {
            last = int(i);
        }
    }
    if (last < 0 || last + 1 >= int(levels.size())) {
        return std::nullopt;
    }
    return double(last + 1) / windowsPerSecond;
}

struct Take {
    QString path;
    std::optional<double> loggedKept;
    double measured = 0;
    std::optional<double> beforeVoice; // file end to the phrase's voice
    bool endsOnTone = false;
};
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("share"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (!qEnvironmentVariableIsSet("PIPEWIRE_RUNTIME_DIR")) {
        fail("run inside tests/with-virtual-devices.sh");
    }
    MediaRuntime::initialise(&argc, &argv);
    QApplication application(argc, argv);
    Log::setObserver([](const QString &line) {
        std::lock_guard lock(logMutex);
        logLines << line;
    });

    // The spoken clips: starts and stops taken in turn, each stop after the tone.
    const QStringList startWords = {QStringLiteral("开始录制"), QStringLiteral("开始录像")};
    const QStringList stopWords = {
        QStringLiteral("停止录制"), QStringLiteral("结束录制"), QStringLiteral("停止录像"), QStringLiteral("结束录像")};
    QStringList startClips;
    for (const QString &word : startWords) {
        startClips << VoiceClips::command(word);
    }
    QStringList stopClips;
    std::vector<double> stopVoiceOnsets; // in the clip, after the tone
    for (const QString &word : stopWords) {
        const RealSpeech::Spoken spoken = RealSpeech::say(VoiceClips::spoken(word));
        if (spoken.samples.empty() || spoken.wordStarts.empty()) {
            fail("the recorded words are missing");
        }
        std::vector<float> feed(size_t(toneSeconds * rate));
        for (size_t i = 0; i < feed.size(); ++i) {
            feed[i] = float(toneAmplitude * std::sin(2 * M_PI * 440.0 * double(i) / rate));
        }
        feed.insert(feed.end(), spoken.samples.begin(), spoken.samples.end());
        const QString path = home.filePath(QStringLiteral("stop-%1.wav").arg(stopClips.size()));
        if (!RealSpeech::writeWav(path, feed)) {
            fail("cannot write a clip");
        }
        stopClips << path;
        stopVoiceOnsets.push_back(spoken.wordStarts.front());
    }
    for (const QString &clip : startClips) {
        if (clip.isEmpty()) {
            fail("the recorded words are missing");
        }
    }

    if (qEnvironmentVariableIsSet("VELTROSCOPE_VOICE_SOAK_NO_TRIM")) {
        RecordingOptions().setIsTrimmingVoiceCommand(false);
    }
    CameraManager camera;
    camera.setSaveFolder(home.filePath(QStringLiteral("takes")));
    if (!spinUntil([&] { return camera.selectedDevice().has_value(); }, 20000)) {
        fail("no camera: run inside tests/with-virtual-devices.sh");
    }
    // VELTROSCOPE_VOICE_SOAK_CAMERA names another camera of the session.
    const QString cameraName = qEnvironmentVariable("VELTROSCOPE_VOICE_SOAK_CAMERA");
    for (const CaptureDevice &device : camera.availableDevices()) {
        if (device.localizedName() == cameraName && !(camera.selectedDevice() == device)) {
            camera.selectDevice(device);
        }
    }
    RecordingView view(&camera, &DatabaseManager::shared(), nullptr, std::nullopt);
    view.resize(1100, 780);
    view.show();
    SpeechRecognitionManager *listener = view.speechManager();
    if (!spinUntil([&] { return listener->isListening(); }, 20000)) {
        fail("the screen did not start listening");
    }
    view.viewState()->setSelectedResolution(VideoResolution::p720);
    spin(1500);

    const QString startLine = QStringLiteral("🎙️ 语音命令触发: 开始录制");
    const QString stopLine = QStringLiteral("🎙️ 语音命令触发: 停止录制");
    const QString resumeLine = QStringLiteral("▶️ 恢复语音监听");
    const QString keptLine = QStringLiteral("✂️ 已裁掉结尾的语音指令: ");
    const QRegularExpression keptPattern(QStringLiteral("保留前 ([0-9.]+) 秒"));
    QProcess player;
    std::vector<Take> done;
    int missedStarts = 0;
    int missedStops = 0;
    QElapsedTimer wall;
    wall.start();
    for (int take = 1; take <= takes; ++take) {
        const qint64 previewBefore = camera.captureSession()->previewFrameCount();
        const int startsBefore = logCount(startLine);
        const int keptBefore = logCount(keptLine);
        play(player, startClips[(take - 1) % startClips.size()]);
        if (!spinUntil([&] { return camera.isRecording(); }, 15000)) {
            ++missedStarts;
            std::printf("take %2d: the start was not acted on\n", take);
            continue;
        }
        // Listening again after the screen's resume, then a moment of take.
        const int started = take - missedStarts;
        spinUntil([&] { return logCount(resumeLine) >= started; }, 5000);
        spin(800);
        const int stop = (take - 1) % stopClips.size();
        if (qEnvironmentVariableIsSet("VELTROSCOPE_VOICE_SOAK_BUTTON_STOP")) {
            camera.stopRecording();
        }
        play(player, stopClips[stop]);
        if (!spinUntil([&] { return !camera.isTakeUnderWay(); }, 15000)) {
            ++missedStops;
            std::printf("take %2d: the stop was not acted on\n", take);
            camera.stopRecording();
        }
        player.waitForFinished(30000);
        if (!spinUntil(
                [&] { return DatabaseManager::shared().videos().size() >= qsizetype(done.size() + 1); }, 120000)) {
            fail("a take did not reach the library");
        }
        Take result;
        result.path = DatabaseManager::shared().videos().first().filePath;
        spinUntil([&] { return logCount(keptLine) > keptBefore; }, 2000);
        if (logCount(keptLine) > keptBefore) {
            const QRegularExpressionMatch match = keptPattern.match(lastLogLine(keptLine));
            if (match.hasMatch()) {
                result.loggedKept = match.captured(1).toDouble();
            }
        }
        result.measured = MediaAsset(result.path).durationSeconds();
        const std::vector<double> levels = qEnvironmentVariableIsSet("VELTROSCOPE_VOICE_SOAK_NO_DECODE")
            ? std::vector<double>{}
            : windowLevels(result.path);
        const double fileEnd = double(levels.size()) / windowsPerSecond;
        if (const std::optional<double> end = toneEnd(levels)) {
            result.beforeVoice = *end + stopVoiceOnsets[stop] - fileEnd;
        } else {
            result.endsOnTone = true;
        }
        // None at all: the camera itself stalled, not the take.
        std::printf("take %2d, %lld preview pictures (%s / %s): kept %s s by the log, file %.2f s, ", take,
            static_cast<long long>(camera.captureSession()->previewFrameCount() - previewBefore),
            qPrintable(startWords[(take - 1) % startWords.size()]), qPrintable(stopWords[stop]),
            result.loggedKept ? qPrintable(QString::number(*result.loggedKept, 'f', 2)) : "-", result.measured);
        if (!levels.empty()) {
            std::printf("sound %.2f s, ", fileEnd);
        }
        if (result.beforeVoice) {
            std::printf("ends %.2f s before the phrase's voice\n", *result.beforeVoice);
        } else {
            std::printf("ends on the tone, more than %.2f s before the voice\n", stopVoiceOnsets[stop]);
        }
        std::fflush(stdout);
        if (logCount(startLine) > startsBefore + 1) {
            std::printf("take %2d: the start was heard %d times\n", take, logCount(startLine) - startsBefore);
        }
        done.push_back(result);
        const qint64 idleBefore = camera.captureSession()->previewFrameCount();
        spin(1000);
        if (camera.captureSession()->previewFrameCount() == idleBefore) {
            std::printf("take %2d: the preview got no picture in the second after it was filed\n", take);
        }
    }
    camera.waitForPostProcessing(60000);
    spin(500);

    int files = 0;
    for (const Take &take : done) {
        files += QFileInfo(take.path).isFile() ? 1 : 0;
    }
    const int rows = int(DatabaseManager::shared().videos().size());
    const int starts = logCount(startLine);
    const int stops = logCount(stopLine);
    std::vector<double> before;
    std::vector<double> lengthGap;
    for (const Take &take : done) {
        if (take.beforeVoice) {
            before.push_back(*take.beforeVoice);
        }
        if (take.loggedKept) {
            lengthGap.push_back(take.measured - *take.loggedKept);
        }
    }
    std::sort(before.begin(), before.end());
    std::sort(lengthGap.begin(), lengthGap.end());
    std::printf("\ntakes: %d in %.0f s; files: %d; library rows: %d\n", takes, wall.elapsed() / 1000.0, files, rows);
    // A start that was not acted on is followed by no stop.
    const int saidStops = takes - missedStarts;
    std::printf("commands heard: %d starts of %d said, %d stops of %d said; takes not started %d, not stopped %d\n",
        starts, takes, stops, saidStops, missedStarts, missedStops);
    if (!before.empty()) {
        std::printf("file end before the phrase's voice: min %.2f s, median %.2f s, max %.2f s (margin %.2f s); "
                    "%d of %d inside the phrase\n",
            before.front(), before[before.size() / 2], before.back(), VoiceCommandTrim::marginSeconds,
            int(std::count_if(before.begin(), before.end(), [](double b) { return b < 0; })), int(before.size()));
    }
    if (!lengthGap.empty()) {
        std::printf("file minus logged kept duration: min %+.2f s, median %+.2f s, max %+.2f s\n", lengthGap.front(),
            lengthGap[lengthGap.size() / 2], lengthGap.back());
    }
    const bool ok = files == takes && rows == takes && starts == takes && stops == takes;
    std::printf("20 files, 20 rows, no missed or extra command: %s\n", ok ? "yes" : "no");
    return ok ? 0 : 1;
}
