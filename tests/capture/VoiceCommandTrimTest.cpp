// The cut of a take stopped by voice: where it falls, when it is refused, and
// that the journal carries it through a crash to the next start.
#include "capture/VoiceCommandTrim.h"
#include "capture/CameraManager.h"
#include "capture/TakeJournal.h"
#include "library/DatabaseManager.h"
#include "platform/media/FixedCapturePermissions.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaAssetTestFiles.h"
#include "platform/media/StaticDeviceProvider.h"
#include "support/LogCapture.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

namespace {
std::optional<double> kept(std::optional<double> phrase, std::optional<double> firstPicture, double stop)
{
    QString why;
    const std::optional<double> seconds = VoiceCommandTrim::keptDuration({phrase, stop}, firstPicture, &why);
    EXPECT_EQ(seconds.has_value(), why.isEmpty()) << why.toStdString();
    return seconds;
}

testfiles::VideoSpec take(QSize size, double seconds)
{
    testfiles::VideoSpec clip;
    clip.size = size;
    clip.frameCount = int(seconds * clip.framesPerSecond);
    return clip;
}

qint64 endedProcessId()
{
    QProcess process;
    process.start("true", {});
    process.waitForFinished();
    return process.processId();
}
} // namespace

TEST(VoiceCommandTrim, CutsAtThePhraseLessTheMarginAndNeverWhenUnsure)
{
    // A take from 100 s; the phrase began at 110.5 s, heard and stopped at 111.7 s.
    ASSERT_TRUE(kept(110.5, 100.0, 111.7).has_value());
    EXPECT_NEAR(*kept(110.5, 100.0, 111.7), 10.3, 1e-9);

    // No time for the phrase or for the take's first picture: left whole.
    EXPECT_FALSE(kept(std::nullopt, 100.0, 111.7));
    EXPECT_FALSE(kept(110.5, std::nullopt, 111.7));
    // Times that cannot be: before the take, after the stop, or long before it.
    EXPECT_FALSE(kept(99.0, 100.0, 111.7));
    EXPECT_FALSE(kept(112.0, 100.0, 111.7));
    EXPECT_FALSE(kept(101.5, 100.0, 121.7));
    // What is left must be worth a video.
    EXPECT_FALSE(kept(100.6, 100.0, 101.5));
    EXPECT_TRUE(kept(100.7, 100.0, 101.5));

    // On unless the option was turned off.
    EXPECT_TRUE(VoiceCommandTrim::isEnabled());
    QSettings().setValue("VeltroscopeTrimVoiceCommand", false);
    EXPECT_FALSE(VoiceCommandTrim::isEnabled());
    QSettings().remove("VeltroscopeTrimVoiceCommand");
    EXPECT_TRUE(VoiceCommandTrim::isEnabled());
}

TEST(VoiceCommandTrim, JournalKeepsTheCutAndIgnoresNonsense)
{
    QTemporaryDir folder;
    const QString file = folder.filePath("takes.json");
    {
        TakeJournal journal(file);
        journal.noteStarted("/videos/a.mp4", VideoAspectRatio::ratio1x1);
        journal.noteStarted("/videos/b.mp4", VideoAspectRatio::ratio16x9);
        journal.noteKeptDuration("/videos/a.mp4", 12.25);
        journal.noteKeptDuration("/videos/unknown.mp4", 3.0); // not a take: nothing added
        EXPECT_EQ(journal.keptDuration("/videos/a.mp4"), 12.25);
        EXPECT_EQ(journal.keptDuration("/videos/b.mp4"), std::nullopt);
    }
    const QList<TakeJournal::Entry> read = TakeJournal(file).entries();
    ASSERT_EQ(read.size(), 2);
    EXPECT_EQ(read[0].keptDuration, 12.25) << "read back by the next run";
    EXPECT_EQ(read[1].keptDuration, std::nullopt);

    QFile broken(file);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(R"({"takes": [{"path": "/videos/c.mp4", "aspectRatio": "16:9", "pid": 1, "keptSeconds": -4},
                               {"path": "/videos/d.mp4", "aspectRatio": "16:9", "pid": 1, "keptSeconds": "x"}]})");
    broken.close();
    for (const TakeJournal::Entry &entry : TakeJournal(file).entries()) {
        EXPECT_EQ(entry.keptDuration, std::nullopt) << entry.path.toStdString();
    }
}

TEST(VoiceCommandTrim, TakeLeftUnfinishedIsCutAtTheNextStart)
{
    // A 4 s take stopped by voice, recorded cut to 1:1, whose program died
    // before processing: the journal holds the ratio, the crop and the cut.
    QTemporaryDir folder;
    const QString path = folder.filePath("20250303_140509.mp4");
    testfiles::VideoSpec recorded = take({480, 480}, 4.0);
    recorded.isFragmented = true;
    ASSERT_TRUE(testfiles::writeVideo(path, recorded));
    {
        QFile file(TakeJournal::shared().filePath());
        QDir().mkpath(QFileInfo(file).absolutePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(
            R"({"takes": [{"path": "%1", "aspectRatio": "1:1", "pid": %2, "keptSeconds": 2.5, "cropped": true}]})")
                       .arg(path)
                       .arg(endedProcessId())
                       .toUtf8());
    }
    LogCapture log;
    CameraManager manager(
        std::make_shared<StaticDeviceProvider>(), std::make_shared<FixedCapturePermissions>(true, true));
    manager.processUnfinishedTakes();
    ASSERT_TRUE(MainLoop::waitUntil([] { return !DatabaseManager::shared().videos().isEmpty(); }, 120000));
    ASSERT_TRUE(manager.waitForPostProcessing(120000));

    const MediaAsset result(path);
    EXPECT_NEAR(result.durationSeconds(), 2.5, 0.1);
    EXPECT_EQ(result.tracks(MediaType::video).first().naturalSize, QSizeF(480, 480));
    EXPECT_EQ(result.tracks(MediaType::audio).size(), 1);
    EXPECT_TRUE(log.contains("✂️ 已按比例 1.0 裁剪视频"));
    EXPECT_TRUE(log.contains("✂️ 已裁掉结尾的语音指令: 保留前 2.50 秒（未重新编码）"));
    const QStringList boxes = testfiles::topLevelBoxes(path);
    EXPECT_LT(boxes.indexOf("moov"), boxes.indexOf("mdat")) << boxes.join(',').toStdString();
    EXPECT_FALSE(boxes.contains("moof"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({"20250303_140509.mp4"}));
}
