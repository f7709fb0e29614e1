// The microphone's life: many restarts, a device that hangs, a device that
// fails after it started.
#include "platform/speech/MicrophoneInput.h"

#include "platform/media/StaticDeviceProvider.h"
#include "platform/media/SystemDeviceProvider.h"
#include "support/MainLoop.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (its header is not always installed).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {
bool insideVirtualDevices()
{
    return qEnvironmentVariableIsSet("PIPEWIRE_RUNTIME_DIR") && qEnvironmentVariableIsSet("PULSE_SERVER");
}

std::shared_ptr<StaticDeviceProvider> providerOf(const QString &sourceDescription)
{
    return std::make_shared<StaticDeviceProvider>(QList<CaptureDevice>{},
        CaptureDevice::fromLaunchDescription(QStringLiteral("Test Microphone"), QStringLiteral("test:microphone"),
            MediaType::audio, sourceDescription, QStringLiteral("audio/x-raw")));
}

// A field of /proc/self/status ("Threads", "VmRSS" in kB).
long processStatus(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(QByteArray(field) + ':')) {
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// Memory in use, kB: the resident set, or under AddressSanitizer (whose
// quarantine keeps freed memory resident) the bytes still allocated.
long memoryInUseKb()
{
#if defined(__SANITIZE_ADDRESS__)
    return long(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    return processStatus("VmRSS");
#endif
}

// Starts and stops `input` `cycles` times, each time until sound arrives.
void cycle(MicrophoneInput &input, int cycles)
{
    for (int i = 0; i < cycles; ++i) {
        std::atomic<size_t> samples{0};
        QString error;
        ASSERT_TRUE(input.start([&](const float *, size_t count) { samples += count; }, {}, &error))
            << "cycle " << i << ": " << error.toStdString();
        ASSERT_TRUE(MainLoop::waitUntil([&] { return samples > 0; }, 15000)) << "cycle " << i;
        input.stop();
    }
}

// 200 restarts in a row leave the thread count and the memory where a few
// restarts left them; teardown runs behind, so wait for it to catch up.
void expectRestartsLeaveNothingBehind(const std::shared_ptr<CaptureDeviceProvider> &provider)
{
    MicrophoneInput input(provider);
    cycle(input, 10);
    MainLoop::spin(500);
    const long threads = processStatus("Threads");
    const long memoryKb = memoryInUseKb();
    cycle(input, 200);
    if (::testing::Test::HasFatalFailure()) {
        return;
    }
    EXPECT_TRUE(MainLoop::waitUntil([&] { return processStatus("Threads") <= threads + 2; }, 15000))
        << processStatus("Threads") << " threads, " << threads << " before";
    EXPECT_LT(memoryInUseKb() - memoryKb, 4 * 1024) << "kB grown";
}
} // namespace

TEST(MicrophoneInput, TwoHundredRestartsOfATestSourceLeaveNothingBehind)
{
    expectRestartsLeaveNothingBehind(providerOf(QStringLiteral("audiotestsrc is-live=true samplesperbuffer=160")));
}

TEST(MicrophoneInput, TwoHundredRestartsOfTheDefaultMicrophoneLeaveNothingBehind)
{
    if (!insideVirtualDevices()) {
        GTEST_SKIP() << "needs the private PipeWire session: run through tests/with-virtual-devices.sh";
    }
    expectRestartsLeaveNothingBehind(SystemDeviceProvider::shared());
}

TEST(MicrophoneInput, StartAndStopReturnWhileTheDeviceHangs)
{
    // Opening a FIFO blocks until someone writes to it: a device that never answers.
    QTemporaryDir dir;
    const QByteArray fifo = dir.filePath(QStringLiteral("hung-device")).toLocal8Bit();
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    auto input = std::make_unique<MicrophoneInput>(
        providerOf(QStringLiteral("filesrc location=%1 ! wavparse").arg(QString::fromLocal8Bit(fifo))));

    std::mutex mutex;
    std::condition_variable returned;
    bool callerReturned = false;
    std::atomic<bool> released{false};
    std::atomic<bool> done{false};
    // Lets the device go only once the caller is back, or after a long while
    // so that a caller that does wait still ends (and the test fails).
    std::thread releaser([&] {
        {
            std::unique_lock lock(mutex);
            returned.wait_for(lock, std::chrono::seconds(30), [&] { return callerReturned; });
        }
        released = true;
        while (!done) {
            const int fd = open(fifo.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });

    QString error;
    const bool started = input->start([](const float *, size_t) {}, {}, &error);
    input->stop();
    const bool restarted = input->start([](const float *, size_t) {}, {}, &error);
    input->stop();
    const bool heldUp = released;
    {
        std::lock_guard lock(mutex);
        callerReturned = true;
    }
    returned.notify_all();
    input.reset();
    done = true;
    releaser.join();

    EXPECT_TRUE(started);
    EXPECT_TRUE(restarted);
    EXPECT_FALSE(heldUp) << "start or stop waited for the device";
}

TEST(MicrophoneInput, AFailureAfterStartIsToldOnceAndRefusesTheNextStart)
{
    MicrophoneInput input(providerOf(QStringLiteral("filesrc location=/nonexistent/microphone ! wavparse")));
    std::mutex mutex;
    QStringList reasons;
    const auto interrupted = [&](const QString &reason) {
        std::lock_guard lock(mutex);
        reasons << reason;
    };
    const auto told = [&] {
        std::lock_guard lock(mutex);
        return reasons.size();
    };
    QString error;
    ASSERT_TRUE(input.start([](const float *, size_t) {}, interrupted, &error));
    ASSERT_TRUE(MainLoop::waitUntil([&] { return told() > 0; }, 15000));
    MainLoop::spin(100);
    ASSERT_EQ(told(), 1);
    EXPECT_FALSE(reasons.first().isEmpty());

    // The broken device is not tried again at once: its failure is the answer.
    EXPECT_FALSE(input.start([](const float *, size_t) {}, interrupted, &error));
    EXPECT_EQ(error, reasons.first());
    // Told once; the start after that tries afresh.
    EXPECT_TRUE(input.start([](const float *, size_t) {}, interrupted, &error));
    input.stop();
}

TEST(MicrophoneInput, NothingIsDeliveredOrToldAfterStop)
{
    MicrophoneInput input(providerOf(QStringLiteral("audiotestsrc is-live=true samplesperbuffer=160")));
    std::atomic<size_t> samples{0};
    std::atomic<int> interruptions{0};
    QString error;
    ASSERT_TRUE(input.start(
        [&](const float *, size_t count) { samples += count; }, [&](const QString &) { interruptions += 1; }, &error));
    ASSERT_TRUE(MainLoop::waitUntil([&] { return samples > 0; }, 15000));
    input.stop();
    const size_t seen = samples;
    MainLoop::spin(300);
    EXPECT_EQ(samples.load(), seen);
    EXPECT_EQ(interruptions.load(), 0);
}
