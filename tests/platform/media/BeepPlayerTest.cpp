#include "platform/media/BeepPlayer.h"
#include "platform/speech/WavFile.h"

#include "support/LogCapture.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>

#include <cmath>
#include <memory>
#include <vector>

namespace {
// The tone as 16 kHz mono samples in a WAV file instead of the speakers.
QString fileSink(const QString &path)
{
    return QStringLiteral("audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=16000,channels=1 ! "
                          "wavenc ! filesink location=\"%1\"")
        .arg(path);
}

struct Tone {
    double seconds = 0;
    double frequencyHz = 0;
    double peak = 0;
};

Tone measure(const std::vector<float> &samples)
{
    Tone tone;
    int crossings = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        tone.peak = std::max(tone.peak, double(std::abs(samples[i])));
        if (i > 0 && (samples[i - 1] < 0) != (samples[i] < 0)) {
            ++crossings;
        }
    }
    tone.seconds = samples.size() / 16000.0;
    tone.frequencyHz = tone.seconds > 0 ? crossings / 2.0 / tone.seconds : 0;
    return tone;
}
} // namespace

TEST(BeepPlayer, PlaysAShortSineOfTheAskedPitchEachTime)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("beep.wav"));
    BeepPlayer player(fileSink(path));
    for (const int frequency : {880, 1320}) {
        SCOPED_TRACE(frequency);
        QFile::remove(path);
        player.beep(frequency, 120);
        EXPECT_TRUE(player.isPlaying());
        // Closed again shortly after the tone: the output is free between beeps.
        ASSERT_TRUE(MainLoop::waitUntil([&] { return !player.isPlaying(); }, 30000));
        std::vector<float> samples;
        QString error;
        ASSERT_TRUE(WavFile::read(path, &samples, &error)) << error.toStdString();
        const Tone tone = measure(samples);
        EXPECT_NEAR(tone.seconds, 0.120, 0.01);
        EXPECT_NEAR(tone.frequencyHz, frequency, frequency * 0.03);
        EXPECT_GT(tone.peak, 0.15) << "audible";
        EXPECT_LT(tone.peak, 0.5) << "not startling";
    }
    EXPECT_EQ(player.beepsStarted(), 2);
}

TEST(BeepPlayer, AnOutputThatCannotBeMadeIsLoggedOnceAndIgnored)
{
    LogCapture log;
    BeepPlayer player(QStringLiteral("no_such_sink_veltroscope"));
    player.beep();
    player.beep();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !player.isPlaying(); }, 30000));
    player.beep();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(player.isPrepared());
    EXPECT_EQ(player.beepsStarted(), 0);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ 无法播放提示音: ")).size(), 1);
}

TEST(BeepPlayer, IsPreparedOnceAndPlaysTheLastBeepAskedForMeanwhile)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("beep.wav"));
    BeepPlayer player(fileSink(path));
    QSignalSpy prepared(&player, &BeepPlayer::prepared);
    player.prepare();
    // Asked for before the pipeline is there: waits for it, the last ask wins.
    player.beep(440, 100);
    player.beep(660, 120);
    player.prepare();
    EXPECT_TRUE(player.isPlaying());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return player.isPrepared() && !player.isPlaying(); }, 30000));
    EXPECT_EQ(prepared.count(), 1);
    EXPECT_EQ(player.beepsStarted(), 1);
    std::vector<float> samples;
    QString error;
    ASSERT_TRUE(WavFile::read(path, &samples, &error)) << error.toStdString();
    EXPECT_NEAR(measure(samples).frequencyHz, 660, 660 * 0.03);

    // Ready now: a beep starts at once, on the same pipeline.
    player.beep();
    EXPECT_EQ(player.beepsStarted(), 2);
    EXPECT_EQ(prepared.count(), 1);
}

TEST(BeepPlayer, APlayerGoneBeforeItsPipelineIsBuiltLeavesNothingBehind)
{
    auto player = std::make_unique<BeepPlayer>(QStringLiteral("fakesink"));
    player->prepare();
    player.reset();
    // The built pipeline arrives for no one and is let go.
    ASSERT_TRUE(MainLoop::waitUntil([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; }, 30000));
    MainLoop::drain();
}
