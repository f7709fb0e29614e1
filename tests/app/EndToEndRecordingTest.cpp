// The whole application as a user meets it, against the private PipeWire
// session's virtual camera and microphone (tests/with-virtual-devices.sh): a
// recording with the button, then one started and stopped by voice.
#include "AudioLevel.h"
#include "app/MainWindow.h"
#include "app/VeltroscopeApp.h"
#include "capture/CameraManager.h"
#include "capture/MediaProbe.h"
#include "capture/PictureProbe.h"
#include "library/DatabaseManager.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/PreviewSink.h"
#include "support/RealSpeech.h"
#include "support/SpokenCommands.h"
#include "ui/common/SegmentedControl.h"
#include "ui/recording/CameraPreviewView.h"
#include "ui/recording/CameraRow.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingIndicator.h"
#include "ui/recording/RecordingView.h"
#include "ui/recording/VoiceFeedbackRow.h"
#include "voice/SpeechRecognitionManager.h"
#include "voice/VoiceClips.h"

#include "support/LogCapture.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

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

using SpokenCommands::Command;

const QString heardStartLine = QStringLiteral("🎙️ 语音命令触发: 开始录制");
const QString heardStopLine = QStringLiteral("🎙️ 语音命令触发: 停止录制");

// Says the command once and waits for the listener's log line: a command
// spoken once is heard once. The decoder can be seconds behind under the
// sanitizers, so the wait is generous.
bool sayOnce(QProcess &player, const QString &clip, const LogCapture &log, const QString &line)
{
    const qsizetype before = log.linesStartingWith(line).size();
    speak(player, clip);
    player.waitForFinished(30000);
    return MainLoop::waitUntil([&] { return log.linesStartingWith(line).size() > before; }, 20000);
}

// The first second of a take shows the camera's picture: no flat gray start.
void expectDetailInTheFirstSecond(const QString &path, double reference)
{
    const PictureProbe pictures = PictureProbe::read(path, 30);
    EXPECT_GE(pictures.lumaSpread.size(), 20) << pictures.describe().toStdString();
    EXPECT_TRUE(pictures.firstPicturesHaveDetail(reference, 0.5)) << pictures.describe().toStdString();
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
    // The spoken clips, before the application runs.
    const auto recognizer = SpeechRecognizer::create(QStringLiteral("zh-CN"));
    ASSERT_TRUE(recognizer && recognizer->isAvailable()) << "the speech engine and model";
    const QString sentence = RealSpeech::clip(QStringLiteral("大家 好，欢迎，今天 我们 学习"));
    const QString start = VoiceClips::command(QStringLiteral("开始录制"));
    const QString stop = VoiceClips::command(QStringLiteral("结束录制"));
    ASSERT_FALSE(sentence.isEmpty() || start.isEmpty() || stop.isEmpty()) << "the recorded words";
    const std::optional<QString> sentenceHeard = SpokenCommands::transcriptOf(recognizer, sentence);
    ASSERT_TRUE(sentenceHeard.has_value());
    EXPECT_EQ(SpokenCommands::commandIn(*sentenceHeard), Command::none) << "no command in the sentence";

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
    QElapsedTimer take;
    take.start();
    QTest::mouseClick(recordButton, Qt::LeftButton);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return camera->isRecording(); }, 30000));
    const qint64 recordingFromMs = take.elapsed();
    speak(player, sentence);
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
    // The camera's own picture, for the detail of the takes' first pictures.
    const QImage cameraPicture = camera->previewLayer()->latestFrame();
    ASSERT_FALSE(cameraPicture.isNull());
    MainLoop::spin(1500);
    player.waitForFinished(30000);
    const qint64 stoppedAtMs = take.elapsed();
    QTest::mouseClick(recordButton, Qt::LeftButton);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !camera->isRecording(); }, 10000));
    const QString buttonFile = camera->currentRecordingURL().value_or(QString());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return library.videos().size() >= rowsBefore + 1; }, 90000));

    // 2. 9:16, then a spoken start, four seconds, a spoken stop.
    QTest::mouseClick(choices->ratioControl()->segment(3), Qt::LeftButton);
    ASSERT_TRUE(sayOnce(player, start, log, heardStartLine)) << "the start keyword was not heard";
    ASSERT_TRUE(MainLoop::waitUntil([&] { return camera->isRecording(); }, 30000))
        << "the start keyword was not acted on";
    const QString voiceFile = camera->currentRecordingURL().value_or(QString());
    EXPECT_NE(voiceFile, buttonFile);
    EXPECT_EQ(log.linesStartingWith(heardStartLine).size(), 1);
    // Something said, then the stop, which the take loses at its end.
    speak(player, sentence);
    MainLoop::spin(4000);
    player.waitForFinished(30000);
    ASSERT_TRUE(sayOnce(player, stop, log, heardStopLine)) << "the stop keyword was not heard";
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !camera->isRecording(); }, 10000))
        << "the stop keyword was not acted on";
    ASSERT_TRUE(MainLoop::waitUntil([&] { return library.videos().size() >= rowsBefore + 2; }, 120000));
    EXPECT_EQ(log.linesStartingWith(heardStopLine).size(), 1) << "said once, heard once";

    // 3. Both files, their pictures and sound, thumbnails and library rows.
    const MediaProbe byButton = MediaProbe::read(buttonFile);
    ASSERT_TRUE(byButton.readable) << buttonFile.toStdString();
    EXPECT_GT(QFileInfo(buttonFile).size(), 50 * 1024);
    EXPECT_EQ(byButton.width, 1280);
    EXPECT_EQ(byButton.height, 720);
    // At least what was recorded once the take showed, at most from the click to the stop.
    EXPECT_GE(byButton.durationSeconds, (stoppedAtMs - recordingFromMs) / 1000.0 - 0.5);
    EXPECT_LE(byButton.durationSeconds, stoppedAtMs / 1000.0 + 1.0);
    EXPECT_GT(AudioLevel::peak(buttonFile), 0.05) << "the sentence said during the recording";
    expectDetailInTheFirstSecond(buttonFile, PictureProbe::spreadOf(cameraPicture));

    const MediaProbe byVoice = MediaProbe::read(voiceFile);
    ASSERT_TRUE(byVoice.readable) << voiceFile.toStdString() << " (" << QFileInfo(voiceFile).size() << " bytes)";
    ASSERT_GT(byVoice.height, 0);
    EXPECT_NEAR(double(byVoice.width) / byVoice.height, 9.0 / 16, 0.01) << "cropped to 9:16";
    EXPECT_EQ(byVoice.height, 720);
    EXPECT_GE(byVoice.durationSeconds, 4.0);
    EXPECT_FALSE(byVoice.audioCodec.isEmpty());
    EXPECT_GT(AudioLevel::peak(voiceFile), 0.05) << "the sentence said during the recording";
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("✂️ 已裁掉结尾的语音指令: ")).size(), 1)
        << "the stop phrase is cut";
    // The crop keeps the middle of the picture.
    const double keptShare = (9.0 / 16) / (16.0 / 9);
    expectDetailInTheFirstSecond(
        voiceFile, PictureProbe::spreadOf(cameraPicture, QRectF((1 - keptShare) / 2, 0, keptShare, 1)));

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
