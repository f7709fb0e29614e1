// The meter's model: silence counted only during a take and only after three
// seconds, readings from the capture threads coalesced on the main thread.
#include "capture/MicrophoneLevelMonitor.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {
const MicrophoneLevel tone{-12.0, -6.0};
const MicrophoneLevel zeros{};
} // namespace

TEST(MicrophoneLevelMonitor, WarnsOfSilenceAfterThreeSecondsOfATakeOnly)
{
    double now = 1000.0;
    MicrophoneLevelMonitor monitor;
    monitor.setClock([&] { return now; });
    int warnings = 0;
    QObject::connect(&monitor, &MicrophoneLevelMonitor::isSilentChanged, [&] { warnings += monitor.isSilent(); });

    // Before the take: however long the zeros, no warning.
    for (int i = 0; i < 100; ++i) {
        now += 0.04;
        monitor.publish(zeros);
    }
    EXPECT_FALSE(monitor.isSilent());

    // The silence before the take does not count against it.
    monitor.setRecording(true);
    for (int i = 0; i < 72; ++i) { // 2.88 s
        now += 0.04;
        monitor.publish(zeros);
    }
    EXPECT_FALSE(monitor.isSilent());
    now += 0.15;
    monitor.publish(zeros);
    EXPECT_TRUE(monitor.isSilent());
    EXPECT_EQ(warnings, 1);

    // One sound clears it at once, and the count starts again.
    now += 0.04;
    monitor.publish(tone);
    EXPECT_FALSE(monitor.isSilent());
    EXPECT_DOUBLE_EQ(monitor.rmsDb(), -12.0);
    now += 2.0;
    monitor.publish(zeros);
    EXPECT_FALSE(monitor.isSilent());

    // A microphone that stops reporting is silent too, and the meter empties.
    now += 1.2;
    monitor.checkSilence();
    EXPECT_TRUE(monitor.isSilent());
    EXPECT_EQ(monitor.level(), MicrophoneLevel{});

    // The take's end takes the warning away.
    monitor.setRecording(false);
    EXPECT_FALSE(monitor.isSilent());
    // Quiet that is not digital silence (a room, a far voice) is no warning.
    monitor.setRecording(true);
    for (int i = 0; i < 200; ++i) {
        now += 0.04;
        monitor.publish(MicrophoneLevel{-80.0, -70.0});
    }
    EXPECT_FALSE(monitor.isSilent());
}

TEST(MicrophoneLevelMonitor, ReadingsFromAnotherThreadReachTheMainThreadCoalesced)
{
    auto monitor = std::make_unique<MicrophoneLevelMonitor>();
    int updates = 0;
    QObject::connect(monitor.get(), &MicrophoneLevelMonitor::levelChanged, [&] { ++updates; });
    const auto report = monitor->reporter();
    std::thread streaming([&] {
        for (int i = 0; i < 500; ++i) {
            report(MicrophoneLevel{-60.0 + i * 0.1, -50.0 + i * 0.1});
        }
    });
    streaming.join();
    EXPECT_EQ(updates, 0) << "published on the main thread only";
    MainLoop::drain();
    EXPECT_EQ(updates, 1) << "a late main thread gets the newest reading, once";
    EXPECT_NEAR(monitor->rmsDb(), -60.0 + 499 * 0.1, 1e-9);

    // A reading on its way when the monitor goes is dropped safely.
    report(tone);
    monitor.reset();
    report(tone);
    MainLoop::drain();
}
