// The microphone meter of row 3, fed by the capture pipeline of a real camera
// manager: a tone fills it, a silent take says "无声音", and it sits beside the
// record button without moving it.
#include "ui/recording/MicrophoneLevelMeter.h"
#include "capture/CameraManager.h"
#include "capture/TestDevices.h"
#include "platform/media/CaptureSession.h"
#include "ui/common/ElidedLabel.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/VoiceFeedbackRow.h"

#include "support/MainLoop.h"

#include <QAccessible>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {
CaptureDevice silentMicrophone()
{
    return CaptureDevice::fromLaunchDescription(QStringLiteral("Silent"), QStringLiteral("test:silent"),
        MediaType::audio, QStringLiteral("audiotestsrc is-live=true wave=silence"), QStringLiteral("audio/x-raw"));
}

struct Panel {
    explicit Panel(std::optional<CaptureDevice> microphone)
        : manager(
            TestDevices::provider({TestDevices::camera(QStringLiteral("Pattern"), QStringLiteral("test:pattern"))},
                std::move(microphone)),
            TestDevices::permissions()),
          row(&manager, nullptr, &state)
    {
        manager.setSaveFolder(folder.path());
        row.resize(924, row.sizeHint().height());
        row.show();
    }
    QTemporaryDir folder;
    CameraManager manager;
    RecordingViewState state;
    VoiceFeedbackRow row;
    MicrophoneLevelMeter *meter() const { return row.microphoneMeter(); }
};
} // namespace

TEST(MicrophoneLevelMeter, FillsWithATonePlayedIntoTheRecordingMicrophone)
{
    Panel panel(TestDevices::microphone()); // a sine at 0.8 of full scale: RMS about -5 dB
    MicrophoneLevelMeter *meter = panel.meter();
    ASSERT_TRUE(meter->isVisible());
    EXPECT_EQ(meter->filledFraction(), 0.0) << "empty before any sound";
    ASSERT_TRUE(MainLoop::waitUntil([&] { return panel.manager.microphoneLevel()->rmsDb() > -8.0; }, 10000))
        << "before any recording, from the session's own microphone";
    EXPECT_NEAR(panel.manager.microphoneLevel()->rmsDb(), -4.95, 0.5);
    EXPECT_GT(meter->filledFraction(), 0.85);
    EXPECT_FALSE(meter->isClipping()) << "peaks at -1.9 dB are loud, not clipping";
    EXPECT_FALSE(meter->showsSilence());

    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(meter);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("麦克风音量"));
    EXPECT_EQ(accessible->text(QAccessible::Description), QStringLiteral("-5 dB"));

    // Near full scale the bar turns red.
    panel.manager.microphoneLevel()->publish(MicrophoneLevel{-3.0, -0.5});
    EXPECT_TRUE(meter->isClipping());
}

TEST(MicrophoneLevelMeter, SaysNoSoundAfterThreeSilentSecondsOfATake)
{
    Panel panel(silentMicrophone());
    double now = 500.0;
    MicrophoneLevelMonitor *monitor = panel.manager.microphoneLevel();
    monitor->setClock([&] { return now; });
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] {
            return !panel.manager.captureSession()->outputs().isEmpty()
                && panel.manager.captureSession()->previewFrameCount() > 2;
        },
        10000));
    EXPECT_LT(monitor->peakDb(), -96.0);
    now += 10.0;
    monitor->checkSilence();
    EXPECT_FALSE(panel.meter()->showsSilence()) << "not while nothing is recorded";

    panel.manager.startRecording();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return panel.manager.isRecording(); }, 15000));
    now += 2.9;
    monitor->checkSilence();
    EXPECT_FALSE(panel.meter()->showsSilence());
    now += 0.2;
    monitor->checkSilence();
    EXPECT_TRUE(panel.meter()->showsSilence());
    EXPECT_EQ(panel.meter()->accessibleDescription(), QStringLiteral("无声音"));

    panel.manager.stopRecording();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !panel.manager.isRecording(); }, 15000));
    EXPECT_FALSE(panel.meter()->showsSilence());
    panel.manager.waitForPostProcessing(30000);
}

TEST(MicrophoneLevelMeter, SitsAtTheRowsEndWithoutMovingTheRecordButton)
{
    // With a microphone: without one the row shows a badge that says so.
    Panel panel(TestDevices::microphone());
    VoiceFeedbackRow &row = panel.row;
    MainLoop::drain();
    const QRect meter = panel.meter()->geometry();
    const QRect button = row.recordButton()->geometry();
    EXPECT_EQ(meter.right(), row.width() - 1) << "at the end of the row";
    EXPECT_GE(meter.left(), button.right() + 14);
    EXPECT_NEAR(button.center().x(), row.width() / 2, 1) << "still centred in the whole row";

    // With a long recognised phrase the badge gives way; the meter keeps its size.
    row.recognitionBadge()->setText(QString(QStringLiteral("识别中: ")) + QString(200, QChar(0x5927)));
    row.recognitionBadge()->show();
    MainLoop::drain();
    EXPECT_EQ(panel.meter()->geometry().size(), panel.meter()->sizeHint());
    EXPECT_EQ(panel.meter()->geometry().right(), row.width() - 1);
    EXPECT_GE(row.recordButton()->x(), row.recognitionBadge()->geometry().right() + 14);
}
