// A take stopped by a spoken stop phrase, in the private PipeWire session
// (tests/with-virtual-devices.sh): its microphone hears a steady tone, then
// the phrase. The finished file is shorter than what was written by about the
// phrase and ends before the phrase's sound, still on the tone.
#include "capture/CameraManager.h"
#include "capture/VoiceCommandTrim.h"
#include "library/DatabaseManager.h"
#include "platform/SteadyClock.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/FixedCapturePermissions.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MovieFileOutput.h"
#include "platform/speech/WavFile.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/VoiceCommandWiring.h"
#include "voice/SpeechRecognitionManager.h"

#include "support/LogCapture.h"
#include "support/MainLoop.h"
#include "voice/VoiceClips.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

namespace {
constexpr double toneSeconds = 3.0;
constexpr double toneAmplitude = 0.1; // RMS -23 dB, well under the voice
constexpr int rate = 16000;

bool insideVirtualDevices()
{
    return qEnvironmentVariableIsSet("PIPEWIRE_RUNTIME_DIR") && qEnvironmentVariableIsSet("PULSE_SERVER");
}

// Where the voice begins in a clip: its first sample above -40 dBFS.
double voiceOnsetIn(const QString &clip)
{
    std::vector<float> spoken;
    QString error;
    EXPECT_TRUE(WavFile::read(clip, &spoken, &error));
    const auto loud = std::find_if(spoken.begin(), spoken.end(), [](float x) { return std::abs(x) > 0.01f; });
    return double(loud - spoken.begin()) / rate;
}

// A steady tone, then the phrase.
std::vector<float> toneThen(const std::vector<float> &spoken)
{
    std::vector<float> feed(size_t(toneSeconds * rate));
    for (size_t i = 0; i < feed.size(); ++i) {
        feed[i] = float(toneAmplitude * std::sin(2 * M_PI * 440.0 * double(i) / rate));
    }
    feed.insert(feed.end(), spoken.begin(), spoken.end());
    return feed;
}

void writeWav(const QString &path, const std::vector<float> &samples)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    auto put32 = [&](quint32 v) { file.write(reinterpret_cast<const char *>(&v), 4); };
    auto put16 = [&](quint16 v) { file.write(reinterpret_cast<const char *>(&v), 2); };
    const quint32 bytes = quint32(samples.size() * 2);
    file.write("RIFF");
    put32(36 + bytes);
    file.write("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    file.write("data");
    put32(bytes);
    for (float sample : samples) {
        put16(quint16(qint16(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767))));
    }
}

// The file's sound, mono at 16 kHz.
std::vector<float> soundOf(const QString &path)
{
    std::vector<float> sound;
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(
        "filesrc name=src ! qtdemux name=demux demux.audio_0 ! queue ! decodebin ! audioconvert ! audioresample ! "
        "audio/x-raw,format=F32LE,channels=1,rate=16000 ! appsink name=out sync=false",
        &error);
    g_clear_error(&error);
    if (!pipeline) {
        return sound;
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
    return sound;
}

// RMS in dB of each 20 ms of `sound`.
std::vector<double> windowLevels(const std::vector<float> &sound)
{
    constexpr size_t window = rate / 50;
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
} // namespace

TEST(VoiceStopTrim, TakeStoppedBySpeakingEndsBeforeThePhrase)
{
    if (!insideVirtualDevices()) {
        GTEST_SKIP() << "needs the private PipeWire session: run through tests/with-virtual-devices.sh";
    }
    QTemporaryDir folder;
    const QString phrase = VoiceClips::command(QStringLiteral("结束录制"));
    ASSERT_FALSE(phrase.isEmpty()) << "the recorded words";
    const QString feed = folder.filePath(QStringLiteral("feed.wav"));
    std::vector<float> spoken;
    QString error;
    ASSERT_TRUE(WavFile::read(phrase, &spoken, &error)) << error.toStdString();
    writeWav(feed, toneThen(spoken));

    LogCapture log;
    CameraManager manager;
    manager.setSaveFolder(folder.filePath("takes"));
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] { return !log.linesStartingWith(QStringLiteral("✅ 音频连接已启用 active=")).isEmpty(); }, 20000));
    SpeechRecognitionManager listener;
    RecordingViewState state;
    VoiceCommandWiring wiring(&manager, &listener, &state, std::make_shared<FixedCapturePermissions>(true, true));
    double stoppedAt = 0;
    // The stop that ended the take; a later hearing of the same phrase does nothing.
    listener.setOnStopCommand([&, stop = wiring.stopCommandAction()] {
        if (manager.isRecording()) {
            stoppedAt = SteadyClock::now();
        }
        stop();
    });
    listener.startListening();
    ASSERT_TRUE(listener.isListening());

    manager.startRecording();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return manager.isRecording(); }, 15000));
    MovieFileOutput *output = manager.captureSession()->outputs().value(0);
    ASSERT_NE(output, nullptr);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return output->firstPictureTime().has_value(); }, 30000));
    const double firstPicture = *output->firstPictureTime();

    // Said once: a command spoken once is heard once.
    QProcess player;
    player.start(QStringLiteral("paplay"), {QStringLiteral("--device=veltroscope_feed"), feed});
    player.waitForStarted(5000);
    MainLoop::waitUntil([&] { return !manager.isRecording(); }, int((toneSeconds + 8.0) * 1000));
    player.waitForFinished(10000);
    ASSERT_FALSE(manager.isRecording()) << "the stop phrase was not acted on";
    // The file is finished, and only then processed, some time after the stop.
    const QString path = manager.currentRecordingURL().value_or(QString());
    ASSERT_TRUE(MainLoop::waitUntil([] { return !DatabaseManager::shared().videos().isEmpty(); }, 120000))
        << "the take was not finished and added to the library";
    ASSERT_TRUE(manager.waitForPostProcessing(120000));
    MainLoop::drain();

    const double written = stoppedAt - firstPicture;
    const double kept = MediaAsset(path).durationSeconds();
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("🎙️ 语音命令触发: 停止录制")).size(), 1)
        << "said once, heard once";
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("✂️ 已裁掉结尾的语音指令: ")).size(), 1)
        << path.toStdString();
    // The phrase lasts about a second; the recognizer's delay and the margin
    // add to it, up to the age past which a phrase's time is not trusted.
    EXPECT_GT(written - kept, 0.6) << "written " << written << " s, kept " << kept << " s";
    EXPECT_LT(written - kept, VoiceCommandTrim::longestPhraseSeconds + VoiceCommandTrim::marginSeconds)
        << "written " << written << " s, kept " << kept << " s";

    // The last second: the tone, and nothing as loud as the voice.
    const std::vector<double> levels = windowLevels(soundOf(path));
    ASSERT_GE(levels.size(), 50u);
    const double toneDb = 20 * std::log10(toneAmplitude / std::sqrt(2.0));
    int toneWindows = 0;
    int lastTone = -1;
    for (size_t i = levels.size() - 50; i < levels.size(); ++i) {
        EXPECT_LT(levels[i], toneDb + 3.0) << "the phrase's sound at " << double(i) / 50 << " s";
        if (std::abs(levels[i] - toneDb) < 3.0) {
            ++toneWindows;
            lastTone = int(i);
        }
    }
    EXPECT_GE(toneWindows, 10) << "the cut keeps the tone: nothing before the phrase is lost";
    // Where the voice began after the tone in the clip that was heard.
    const double toneEnd = double(lastTone + 1) / 50;
    const double fileEnd = double(levels.size()) / 50;
    const double beforeVoice = toneEnd + voiceOnsetIn(phrase) - fileEnd;
    std::printf("written %.2f s, kept %.2f s (%.2f s cut); the file ends %.2f s before the phrase's voice\n", written,
        kept, written - kept, beforeVoice);
    // A few hundredths of a second of the voice's soft onset may stay, quieter
    // than the tone as checked above; the margin keeps the rest.
    EXPECT_GT(beforeVoice, -0.05);
    EXPECT_LT(beforeVoice, 0.5);
}
