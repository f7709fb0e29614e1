#include "capture/TakeJournal.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <ostream>

static void PrintTo(const TakeJournal::Entry &entry, std::ostream *out)
{
    *out << entry.path.toStdString() << " " << entry.aspectRatio.rawValue().toStdString() << " pid " << entry.processId;
}

namespace {
// Writes the file the way an earlier run would have left it.
void writeJournal(const QString &path, const QList<TakeJournal::Entry> &entries)
{
    QJsonArray takes;
    for (const auto &entry : entries) {
        takes.append(QJsonObject{
            {"path", entry.path}, {"aspectRatio", entry.aspectRatio.rawValue()}, {"pid", double(entry.processId)}});
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonObject{{"takes", takes}}).toJson());
}

// The number of a process that has ended.
qint64 endedProcessId()
{
    QProcess process;
    process.start("true", {});
    process.waitForFinished();
    return process.processId() ? process.processId() : 999999;
}

QStringList paths(const QList<TakeJournal::Entry> &entries)
{
    QStringList result;
    for (const auto &entry : entries) {
        result << entry.path;
    }
    return result;
}
} // namespace

TEST(TakeJournal, TakesStayListedUntilRemovedAndSurviveARestart)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("data/takes-in-progress.json");
    const qint64 self = QCoreApplication::applicationPid();
    {
        TakeJournal journal(file);
        EXPECT_TRUE(journal.entries().isEmpty());
        journal.noteStarted("/videos/a.mp4", VideoAspectRatio::ratio1x1);
        journal.noteStarted("/videos/b.mp4", VideoAspectRatio::ratio9x16);
        journal.noteStarted("/videos/a.mp4", VideoAspectRatio::ratio4x3); // the same take again
        journal.remove("/videos/never-noted.mp4");
        EXPECT_EQ(journal.entries(),
            QList<TakeJournal::Entry>({{"/videos/b.mp4", VideoAspectRatio::ratio9x16, self},
                {"/videos/a.mp4", VideoAspectRatio::ratio4x3, self}}));
        journal.remove("/videos/b.mp4");
    }

    // What the next start reads: the file format is what stays between runs.
    QFile stored(file);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    const QJsonArray takes = QJsonDocument::fromJson(stored.readAll()).object().value("takes").toArray();
    ASSERT_EQ(takes.size(), 1);
    EXPECT_EQ(takes[0].toObject().value("path").toString(), "/videos/a.mp4");
    EXPECT_EQ(takes[0].toObject().value("aspectRatio").toString(), "4:3");
    EXPECT_EQ(qint64(takes[0].toObject().value("pid").toDouble()), self);

    TakeJournal restarted(file);
    EXPECT_EQ(paths(restarted.entries()), QStringList{"/videos/a.mp4"});
    restarted.remove("/videos/a.mp4");
    EXPECT_TRUE(TakeJournal(file).entries().isEmpty());
}

TEST(TakeJournal, OnlyTakesOfProgramsThatEndedAreUnfinished)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("takes.json");
    QProcess otherProgram;
    otherProgram.start("sleep", {"60"});
    ASSERT_TRUE(otherProgram.waitForStarted());
    QProcess otherCopy; // this same program, still at work
    otherCopy.start(QCoreApplication::applicationFilePath(),
        {"--gtest_filter=TakeJournal.DISABLED_ChildWaitsUntilKilled", "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(otherCopy.waitForStarted());

    writeJournal(file,
        {{"/v/ended.mp4", VideoAspectRatio::ratio1x1, endedProcessId()},
            {"/v/before-reboot.mp4", VideoAspectRatio::ratio4x3, QCoreApplication::applicationPid()},
            {"/v/number-reused.mp4", VideoAspectRatio::ratio16x9, otherProgram.processId()},
            {"/v/other-copy.mp4", VideoAspectRatio::ratio9x16, otherCopy.processId()}});
    TakeJournal journal(file);
    journal.noteStarted("/v/mine.mp4", VideoAspectRatio::ratio1x1);

    EXPECT_EQ(paths(journal.unfinishedEntries()),
        QStringList({"/v/ended.mp4", "/v/before-reboot.mp4", "/v/number-reused.mp4"}));
    EXPECT_EQ(journal.unfinishedEntries().first().aspectRatio, VideoAspectRatio::ratio1x1);
    // Handed out once: a second look finds them taken.
    EXPECT_EQ(journal.adoptUnfinishedEntries().size(), 3);
    EXPECT_TRUE(journal.adoptUnfinishedEntries().isEmpty());
    EXPECT_EQ(journal.entries().size(), 5);

    otherCopy.kill();
    otherProgram.kill();
    otherCopy.waitForFinished();
    otherProgram.waitForFinished();
    EXPECT_EQ(paths(TakeJournal(file).unfinishedEntries()).size(), 5) << "every owner has ended now";
}

// Runs only as the child of the test above.
TEST(TakeJournal, DISABLED_ChildWaitsUntilKilled)
{
    QThread::sleep(60);
}

TEST(TakeJournal, DamagedFileIsReadAsEmptyAndWrittenAfresh)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("takes.json");
    {
        QFile damaged(file);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("{\"takes\": [{\"path\": \"/v/a.mp4\"");
    }
    LogCapture log;
    TakeJournal journal(file);
    EXPECT_TRUE(journal.entries().isEmpty());
    EXPECT_TRUE(log.contains("⚠️ 录制记录已损坏: " + file)) << log.lines().join('\n').toStdString();

    journal.noteStarted("/v/b.mp4", VideoAspectRatio::ratio1x1);
    EXPECT_EQ(paths(TakeJournal(file).entries()), QStringList{"/v/b.mp4"});

    // An entry without a known ratio is still finished, at the default one.
    QFile edited(file);
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
    edited.write(R"({"takes": [{"path": "/v/c.mp4", "aspectRatio": "21:9", "pid": 1}, {"pid": 2}]})");
    edited.close();
    const auto entries = TakeJournal(file).entries();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first().aspectRatio, VideoAspectRatio::ratio16x9);
}
