// The capture session's sound as the listener takes it: which session is
// heard, and what a listener is told when the microphone goes.
#include "platform/media/CaptureAudioFeed.h"

#include "CaptureSessionTestSupport.h"
#include "platform/SteadyClock.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cmath>
#include <mutex>

namespace {
using Microphone = CaptureAudioFeed::Microphone;

struct Heard {
    std::mutex mutex;
    std::vector<std::pair<size_t, double>> chunks; // sample count, capture time
    QStringList interruptions;

    CaptureAudioFeed::Sink sink()
    {
        return [this](const float *, size_t count, double time) {
            std::lock_guard lock(mutex);
            chunks.push_back({count, time});
        };
    }
    CaptureAudioFeed::Interruption interruption()
    {
        return [this](const QString &reason) {
            std::lock_guard lock(mutex);
            interruptions << reason;
        };
    }
    size_t chunkCount()
    {
        std::lock_guard lock(mutex);
        return chunks.size();
    }
};

const float someSound[4] = {0.1f, 0.2f, 0.3f, 0.4f};
} // namespace

TEST(CaptureAudioFeed, NoSessionOrNoMicrophoneRefusesTheListener)
{
    CaptureAudioFeed feed;
    Heard heard;
    QString error;
    EXPECT_EQ(feed.subscribe(heard.sink(), heard.interruption(), &error), 0u);
    EXPECT_EQ(error, QStringLiteral("没有找到麦克风"));

    const uint64_t session = feed.attachSession();
    feed.setMicrophone(session, Microphone::none);
    error.clear();
    EXPECT_EQ(feed.subscribe(heard.sink(), heard.interruption(), &error), 0u);
    EXPECT_EQ(error, QStringLiteral("没有找到麦克风"));
    feed.deliver(session, someSound, 4, 1.0);
    EXPECT_EQ(heard.chunkCount(), 0u);
}

TEST(CaptureAudioFeed, ASessionStillSettingUpIsListenedTo)
{
    // The screen starts listening while the session is still being set up.
    CaptureAudioFeed feed;
    const uint64_t session = feed.attachSession();
    Heard heard;
    QString error;
    const uint64_t listener = feed.subscribe(heard.sink(), heard.interruption(), &error);
    ASSERT_NE(listener, 0u) << error.toStdString();
    feed.setMicrophone(session, Microphone::running);
    feed.deliver(session, someSound, 4, 12.5);
    ASSERT_EQ(heard.chunkCount(), 1u);
    EXPECT_EQ(heard.chunks[0], std::make_pair(size_t(4), 12.5));

    feed.unsubscribe(listener);
    feed.deliver(session, someSound, 4, 13.0);
    EXPECT_EQ(heard.chunkCount(), 1u) << "nothing after unsubscribe";
    EXPECT_TRUE(heard.interruptions.isEmpty());
}

TEST(CaptureAudioFeed, MicrophoneThatGoesIsToldOnceAndSilencesTheListener)
{
    CaptureAudioFeed feed;
    const uint64_t session = feed.attachSession();
    feed.setMicrophone(session, Microphone::running);
    Heard heard;
    QString error;
    ASSERT_NE(feed.subscribe(heard.sink(), heard.interruption(), &error), 0u);

    feed.setMicrophone(session, Microphone::none, QStringLiteral("采集设备出错: Mic: gone"));
    feed.setMicrophone(session, Microphone::none, QStringLiteral("again"));
    EXPECT_EQ(heard.interruptions, QStringList{QStringLiteral("采集设备出错: Mic: gone")});
    // A microphone put back does not bring the old listener back: it restarts.
    feed.setMicrophone(session, Microphone::running);
    feed.deliver(session, someSound, 4, 1.0);
    EXPECT_EQ(heard.chunkCount(), 0u);

    Heard again;
    ASSERT_NE(feed.subscribe(again.sink(), again.interruption(), &error), 0u);
    feed.deliver(session, someSound, 4, 2.0);
    EXPECT_EQ(again.chunkCount(), 1u);
    feed.detachSession(session);
    EXPECT_EQ(again.interruptions.size(), 1);
    EXPECT_EQ(feed.microphone(), Microphone::none);
}

TEST(CaptureAudioFeed, TheNewestSessionIsHeardAndTheOlderOneAgainWhenItGoes)
{
    CaptureAudioFeed feed;
    const uint64_t older = feed.attachSession();
    feed.setMicrophone(older, Microphone::running);
    Heard first;
    QString error;
    ASSERT_NE(feed.subscribe(first.sink(), first.interruption(), &error), 0u);

    const uint64_t newer = feed.attachSession();
    EXPECT_EQ(first.interruptions.size(), 1) << "the sound changes source";
    Heard second;
    ASSERT_NE(feed.subscribe(second.sink(), second.interruption(), &error), 0u);
    feed.setMicrophone(newer, Microphone::running);
    feed.deliver(older, someSound, 4, 1.0);
    feed.deliver(newer, someSound, 4, 1.0);
    EXPECT_EQ(second.chunkCount(), 1u) << "one session heard, never two mixed";
    // When the newer one goes, the older one is heard again.
    feed.detachSession(newer);
    EXPECT_EQ(second.interruptions.size(), 1);
    EXPECT_EQ(feed.microphone(), Microphone::running);
    Heard third;
    ASSERT_NE(feed.subscribe(third.sink(), third.interruption(), &error), 0u);
    feed.deliver(older, someSound, 4, 3.0);
    EXPECT_EQ(third.chunkCount(), 1u);
}

TEST(CaptureAudioFeed, SessionMicrophoneIsHeardAt16kHzOnTheSteadyClock)
{
    Heard heard;
    QString error;
    RunningSession running;
    const uint64_t listener = CaptureAudioFeed::shared()->subscribe(heard.sink(), heard.interruption(), &error);
    ASSERT_NE(listener, 0u) << error.toStdString();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        std::lock_guard lock(heard.mutex);
        if (heard.chunks.size() > 2 && heard.chunks.back().second - heard.chunks.front().second > 1.0) {
            break;
        }
        QThread::msleep(10);
    }
    const double now = SteadyClock::now();
    CaptureAudioFeed::shared()->unsubscribe(listener);
    std::lock_guard lock(heard.mutex);
    ASSERT_GT(heard.chunks.size(), 2u);
    // Each chunk follows the last by its own length: the times are the
    // capture's, not when the chunks happened to arrive, which bunch up when
    // the machine is busy. A listener that fell behind may have lost some
    // sound, which leaves a longer step, never a shorter one.
    size_t exact = 0;
    for (size_t i = 0; i + 1 < heard.chunks.size(); ++i) {
        const double step = heard.chunks[i + 1].second - heard.chunks[i].second;
        const double length = double(heard.chunks[i].first) / 16000.0;
        EXPECT_GT(step, length - 0.001) << "chunk " << i;
        exact += std::abs(step - length) < 0.001 ? 1 : 0;
    }
    EXPECT_GE(double(exact), 0.9 * double(heard.chunks.size() - 1));
    // On the steady clock: captured shortly before now, never after.
    EXPECT_LT(heard.chunks.back().second, now);
    EXPECT_GT(heard.chunks.back().second, now - 2.0);
    EXPECT_TRUE(heard.interruptions.isEmpty());
}

TEST(CaptureAudioFeed, ATakeWaitingForItsFirstPictureDoesNotDeafenTheListener)
{
    // The take holds its sound back until a picture comes; this camera sends none.
    QTemporaryDir dir;
    RunningSession running(true, SessionPreset::p640x480,
        TestDevices::patternCamera(QStringLiteral("Blind"), QStringLiteral("test:blind"),
            QStringLiteral("videotestsrc is-live=true ! identity drop-probability=1.0")));
    Heard heard;
    QString error;
    const uint64_t listener = CaptureAudioFeed::shared()->subscribe(heard.sink(), heard.interruption(), &error);
    ASSERT_NE(listener, 0u) << error.toStdString();
    std::atomic<bool> finished = false;
    running.output.startRecording(dir.filePath(QStringLiteral("blind.mp4")),
        [&](const QString &, const std::optional<QString> &) { finished = true; });
    // Sound captured well past what the take's own queue holds still arrives.
    const double startedAt = SteadyClock::now();
    auto newest = [&] {
        std::lock_guard lock(heard.mutex);
        return heard.chunks.empty() ? 0.0 : heard.chunks.back().second;
    };
    EXPECT_TRUE(MainLoop::waitUntil([&] { return newest() > startedAt + 5.0; }, 20000))
        << "the listener heard nothing after " << newest() - startedAt << " s of the take";
    EXPECT_FALSE(finished.load());
    CaptureAudioFeed::shared()->unsubscribe(listener);
    running.output.stopRecording();
}
