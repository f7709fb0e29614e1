// The whole application as a user meets it, against the private PipeWire
// session's virtual camera and microphone (tests/with-virtual-devices.sh): a
// recording with the button, then one started and stopped by voice.
#include "AudioLevel.h"
#include "app/MainWindow.h"
#include "app/VeltroscopeApp.h"
#include "capture/CameraManager.h"
#include "capture/MediaProbe.h"
#include "library/DatabaseManager.h"
#include "platform/media/CaptureSession.h"
#include "ui/recording/CameraPreviewView.h"
#include "ui/recording/CameraRow.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingIndicator.h"
#include "ui/recording/RecordingView.h"
#include "ui/recording/SegmentedControl.h"
#include "ui/recording/VoiceFeedbackRow.h"
#include "voice/SpeechRecognitionManager.h"
#include "voice/VoiceClips.h"

#include "support/LogCapture.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool insideVirtualDevices()
{
    return qEnvironmentVariableIsSet("PIPEWIRE_RUNTIME_DIR") && qEnvironmentVariableIsSet("PULSE_SERVER");
}

// Plays a clip into the virtual microphone; returns at once.
void speak(QProcess &player, const QString &clip)
{
    player.waitForFinished(10000);
    player.start(QStringLiteral("paplay"), {QStringLiteral("--device=veltroscope_feed"), clip});
    player.waitForStarted(5000);
}

// Says the keyword until the application reacts, as a speaker would when the
// first try is not heard: three speaking speeds, one after the other.
bool sayUntil(QProcess &player, int keyword, const std::function<bool()> &reacted)
{
    for (const char *speed : {"150", "130", "175"}) {
        speak(player, VoiceClips::path(QStringLiteral("keyword/k%1-%2-clean.wav").arg(keyword).arg(speed)));
        if (MainLoop::waitUntil(reacted, 10000)) {
            return true;
        }
    }
    return false;
}

int litSamples(const QImage &image, const QRect &area)
{
    int lit = 0;
    for (int y = 1; y < 8; ++y) {
        for (int x = 1; x < 8; ++x) {
            const QRgb pixel = image.pixel(area.left() + area.width() * x / 8, area.top() + area.height() * y / 8);
            lit += (qRed(pixel) > 24 || qGreen(pixel) > 24 || qBlue(pixel) > 24) ? 1 : 0;
        }
    }
    return lit;
}

QString outputFolder()
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/test-output");
    QDir().mkpath(folder);
    return folder;
}

} // namespace

TEST(EndToEnd, RecordWithTheButtonThenByVoice)
{
    if (!insideVirtualDevices()) {
        GTEST_SKIP() << "needs the private PipeWire session: run through tests/with-virtual-devices.sh";
    }
    ASSERT_TRUE(QFileInfo::exists(VoiceClips::path(QStringLiteral("manifest.tsv"))))
        << "espeak-ng and sox make the clips";
    QTemporaryDir saveFolder;
    LogCapture log;
    QProcess player;
    DatabaseManager &library = DatabaseManager::shared();
    const qsizetype rowsBefore = library.videos().size();

    VeltroscopeApp app;
    CameraManager *camera = app.cameraManager();
    camera->setSaveFolder(saveFolder.path());
    MainWindow *window = app.window();
    window->show();
    RecordingView *screen = window->recordingView();
    CameraRow *choices = screen->controlPanel()->cameraRow();
    RecordButton *recordButton = screen->controlPanel()->voiceFeedbackRow()->recordButton();
    SpeechRecognitionManager *listener = screen->speechManager();

    ASSERT_TRUE(MainLoop::waitUntil([&] { return camera->selectedDevice().has_value(); }, 20000));
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] { return !log.linesStartingWith(QStringLiteral("✅ 音频连接已启用 active=")).isEmpty(); }, 20000));
    ASSERT_TRUE(MainLoop::waitUntil([&] { return listener->isListening(); }, 20000)) << "the screen starts listening";
    ASSERT_TRUE(MainLoop::waitUntil([&] { return screen->pictureArea()->preview()->framesShown() > 5; }, 20000))
        << "frames at the preview sink: " << camera->captureSession()->previewFrameCount() << ", camera size "
        << camera->captureSession()->activeVideoSize().width() << "x"
        << camera->captureSession()->activeVideoSize().height();

    // 1. 720p, "开始录制", three seconds with something said, "停止录制".
    QTest::mouseClick(choices->resolutionControl()->segment(1), Qt::LeftButton);
    QTest::mouseClick(recordButton, Qt::LeftButton);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return camera->isRecording(); }, 5000));
    speak(player, VoiceClips::path(QStringLiteral("other/o0-150.wav")));
    MainLoop::spin(1500);
    const QImage shot = window->grab().toImage();
    const QString shotPath = outputFolder() + QStringLiteral("/recording-tab.png");
    EXPECT_TRUE(shot.save(shotPath)) << shotPath.toStdString();
    RecordingIndicator *indicator = screen->pictureArea()->indicator();
    EXPECT_TRUE(indicator->isVisible());
    const QRect pictureArea(screen->pictureArea()->mapTo(window, QPoint(0, 0)), screen->pictureArea()->size());
    EXPECT_GE(litSamples(shot, pictureArea), 30) << "the preview is not black";
    const QRect badge(indicator->mapTo(window, QPoint(0, 0)), indicator->size());
    EXPECT_NE(shot.pixel(badge.center()), shot.pixel(badge.center() + QPoint(0, badge.height())))
        << "the indicator is drawn over the picture";
    MainLoop::spin(1500);
    QTest::mouseClick(recordButton, Qt::LeftButton);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !camera->isRecording(); }, 5000));
    const QString buttonFile = camera->currentRecordingURL().value_or(QString());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return library.videos().size() >= rowsBefore + 1; }, 60000));

    // 2. 9:16, then a spoken start, four seconds, a spoken stop.
    QTest::mouseClick(choices->ratioControl()->segment(3), Qt::LeftButton);
    ASSERT_TRUE(sayUntil(player, 6, [&] { return camera->isRecording(); })) << "the start keyword was not acted on";
    const QString voiceFile = camera->currentRecordingURL().value_or(QString());
    EXPECT_NE(voiceFile, buttonFile);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("🎙️ 语音命令触发: 开始录制")).size(), 1);
    MainLoop::spin(4000);
    ASSERT_TRUE(sayUntil(player, 0, [&] { return !camera->isRecording(); })) << "the stop keyword was not acted on";
    ASSERT_TRUE(MainLoop::waitUntil([&] { return library.videos().size() >= rowsBefore + 2; }, 90000));
    player.waitForFinished(10000);

    // 3. Both files, their pictures and sound, thumbnails and library rows.
    const MediaProbe byButton = MediaProbe::read(buttonFile);
    ASSERT_TRUE(byButton.readable) << buttonFile.toStdString();
    EXPECT_GT(QFileInfo(buttonFile).size(), 50 * 1024);
    EXPECT_EQ(byButton.width, 1280);
    EXPECT_EQ(byButton.height, 720);
    EXPECT_NEAR(byButton.durationSeconds, 3.0, 1.0);
    EXPECT_GT(AudioLevel::peak(buttonFile), 0.05) << "the sentence said during the recording";

    const MediaProbe byVoice = MediaProbe::read(voiceFile);
    ASSERT_TRUE(byVoice.readable) << voiceFile.toStdString() << " (" << QFileInfo(voiceFile).size() << " bytes)";
    EXPECT_GT(QFileInfo(voiceFile).size(), 50 * 1024);
    ASSERT_GT(byVoice.height, 0);
    EXPECT_NEAR(double(byVoice.width) / byVoice.height, 9.0 / 16, 0.01) << "cropped to 9:16";
    EXPECT_EQ(byVoice.height, 720);
    EXPECT_GE(byVoice.durationSeconds, 4.0);
    EXPECT_FALSE(byVoice.audioCodec.isEmpty());
    EXPECT_GT(AudioLevel::peak(voiceFile), 0.05) << "the stop keyword is in the recording's sound";

    const QList<VideoRecord> rows = library.videos();
    ASSERT_GE(rows.size(), 2);
    EXPECT_EQ(rows[0].filePath, voiceFile) << "newest first";
    EXPECT_EQ(rows[1].filePath, buttonFile);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(rows[i].fileName.toStdString());
        EXPECT_EQ(rows[i].fileName, QFileInfo(rows[i].filePath).fileName());
        ASSERT_TRUE(rows[i].thumbnailPath.has_value());
        const QImage thumbnail(*rows[i].thumbnailPath);
        ASSERT_FALSE(thumbnail.isNull());
        EXPECT_LE(thumbnail.width(), 320);
        EXPECT_LE(thumbnail.height(), 320);
    }
    const QImage tallThumbnail(*rows[0].thumbnailPath);
    EXPECT_NEAR(double(tallThumbnail.width()) / tallThumbnail.height(), 9.0 / 16, 0.02);
    const QImage wideThumbnail(*rows[1].thumbnailPath);
    EXPECT_NEAR(double(wideThumbnail.width()) / wideThumbnail.height(), 16.0 / 9, 0.02);
}
