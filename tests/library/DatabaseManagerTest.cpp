#include "library/DatabaseManager.h"

#include "support/LogCapture.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sqlite3.h>

namespace {
QString dataFolderIn(const QTemporaryDir &dir)
{
    return dir.path() + "/share/Veltroscope";
}

// Runs one query through a separate connection, the way another program would see the file.
QStringList query(const QString &dbPath, const char *sql)
{
    QStringList rows;
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(dbPath).constData(), &db);
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
                columns << (text ? QString::fromUtf8(text) : QStringLiteral("<NULL>"));
            }
            rows << columns.join('|');
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

double nowSeconds()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}
} // namespace

TEST(DatabaseManager, FirstStartCreatesFileTablesAndEmptyLists)
{
    QTemporaryDir dir;
    LogCapture log;
    DatabaseManager db(dataFolderIn(dir));
    const QString path = dataFolderIn(dir) + "/veltroscope.sqlite3";

    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(db.databasePath(), path);
    EXPECT_EQ(log.lines(), QStringList{"✅ 数据库已打开: " + path});

    const QStringList schema = query(path,
        "SELECT sql FROM sqlite_master WHERE type='table' AND name IN "
        "('scripts','videos') ORDER BY name;");
    EXPECT_EQ(schema,
        QStringList({"CREATE TABLE scripts (\n"
                     "    id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                     "    title TEXT NOT NULL,\n"
                     "    content TEXT NOT NULL,\n"
                     "    created_at REAL NOT NULL,\n"
                     "    updated_at REAL NOT NULL\n"
                     ")",
            "CREATE TABLE videos (\n"
            "    id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
            "    file_name TEXT NOT NULL,\n"
            "    file_path TEXT NOT NULL,\n"
            "    thumbnail_path TEXT,\n"
            "    created_at REAL NOT NULL\n"
            ")"}));

    QSignalSpy scriptsSpy(&db, &DatabaseManager::scriptsChanged);
    MainLoop::drain();
    EXPECT_EQ(scriptsSpy.count(), 1); // published even when empty
    EXPECT_TRUE(db.scripts().isEmpty());
    EXPECT_TRUE(db.videos().isEmpty());
}

TEST(DatabaseManager, SecondStartUsesTheExistingFileUnchanged)
{
    QTemporaryDir dir;
    const QString path = dataFolderIn(dir) + "/veltroscope.sqlite3";
    {
        DatabaseManager db(dataFolderIn(dir));
        db.addScript("保留", "内容");
        MainLoop::drain();
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    DatabaseManager reopened(dataFolderIn(dir));
    MainLoop::drain();
    ASSERT_EQ(reopened.scripts().size(), 1);
    EXPECT_EQ(reopened.scripts().first().title, "保留");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST(DatabaseManager, ScriptWritesReloadInUpdatedOrderAndKeepCreationTime)
{
    QTemporaryDir dir;
    DatabaseManager db(dataFolderIn(dir));
    MainLoop::drain();

    const double before = nowSeconds();
    db.addScript("first", "one");
    db.addScript("second", "two");
    MainLoop::drain();
    ASSERT_EQ(db.scripts().size(), 2);
    EXPECT_EQ(db.scripts()[0].title, "second");
    const Script first = db.scripts()[1];
    EXPECT_EQ(first.createdAt, first.updatedAt);
    EXPECT_GE(first.createdAt, before - 0.001);
    EXPECT_LE(first.createdAt, nowSeconds() + 0.001);

    // No pause before the update: the store's clock alone must order it.
    Script edited = first;
    edited.title = "first, edited";
    edited.content = "uno";
    edited.createdAt = 1; // ignored by the store
    edited.updatedAt = 2;
    db.updateScript(edited);
    MainLoop::drain();
    ASSERT_EQ(db.scripts().size(), 2);
    const Script head = db.scripts()[0];
    EXPECT_EQ(head.id, first.id);
    EXPECT_EQ(head.title, "first, edited");
    EXPECT_EQ(head.content, "uno");
    EXPECT_EQ(head.createdAt, first.createdAt);
    EXPECT_GT(head.updatedAt, first.updatedAt);

    db.deleteScript(first.id);
    MainLoop::drain();
    ASSERT_EQ(db.scripts().size(), 1);
    EXPECT_EQ(db.scripts()[0].title, "second");

    LogCapture log;
    db.updateScript(Script{9999, "ghost", "none", 0, 0});
    db.deleteScript(9999);
    MainLoop::drain();
    EXPECT_EQ(db.scripts().size(), 1);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(DatabaseManager, ListsChangeOnlyWhenTheMainQueueRuns)
{
    QTemporaryDir dir;
    DatabaseManager db(dataFolderIn(dir));
    MainLoop::drain();
    db.addScript("pending", "text");
    db.addVideo("a.mp4", "/videos/a.mp4", std::nullopt);
    EXPECT_TRUE(db.scripts().isEmpty());
    EXPECT_TRUE(db.videos().isEmpty());
    MainLoop::drain();
    EXPECT_EQ(db.scripts().size(), 1);
    EXPECT_EQ(db.videos().size(), 1);
}

TEST(DatabaseManager, WritesInQuickSuccessionKeepTheirOrder)
{
    QTemporaryDir dir;
    DatabaseManager db(dataFolderIn(dir));
    for (int i = 0; i < 20; ++i) {
        db.addScript(QString::number(i), "x");
        db.addVideo(QString::number(i) + ".mp4", "/v/" + QString::number(i) + ".mp4", std::nullopt);
    }
    MainLoop::drain();
    ASSERT_EQ(db.scripts().size(), 20);
    ASSERT_EQ(db.videos().size(), 20);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(db.scripts()[i].title, QString::number(19 - i));
        EXPECT_EQ(db.videos()[i].fileName, QString::number(19 - i) + ".mp4");
    }
    EXPECT_EQ(query(db.databasePath(), "SELECT DISTINCT typeof(created_at) FROM videos;"), QStringList{"real"});

    // Faster than any write: the clock itself never repeats a value, and it
    // is the wall clock, ahead of it at most by the microseconds it skipped.
    constexpr int calls = 10000;
    const double before = nowSeconds() - 0.001; // the reference has milliseconds only
    double previous = DatabaseManager::currentTime();
    for (int i = 0; i < calls; ++i) {
        const double next = DatabaseManager::currentTime();
        ASSERT_GT(next, previous) << i;
        previous = next;
    }
    const double after = nowSeconds() + 0.001;
    EXPECT_GE(previous, before);
    EXPECT_LE(previous, after + calls * 1e-6);
}

TEST(DatabaseManager, IdsAreNeverReused)
{
    QTemporaryDir dir;
    DatabaseManager db(dataFolderIn(dir));
    db.addScript("a", "a");
    db.addVideo("a.mp4", "/v/a.mp4", std::nullopt);
    MainLoop::drain();
    const int64_t scriptId = db.scripts().first().id;
    const int64_t videoId = db.videos().first().id;
    db.deleteScript(scriptId);
    db.deleteVideo(videoId, false, "/v/a.mp4");
    db.addScript("b", "b");
    db.addVideo("b.mp4", "/v/b.mp4", std::nullopt);
    MainLoop::drain();
    EXPECT_GT(db.scripts().first().id, scriptId);
    EXPECT_GT(db.videos().first().id, videoId);
}

TEST(DatabaseManager, TextIsBoundNeverSplicedIntoSql)
{
    QTemporaryDir dir;
    DatabaseManager db(dataFolderIn(dir));
    const QString title = "It's \"quoted\"; DROP TABLE scripts; --";
    // sizeof, not strlen: the NUL and what follows it are part of the text.
    static const char withNul[] = "第一行\n第二行 🎬🙂 ' ; \\ %s \0 end";
    const QString content = QString::fromUtf8(withNul, sizeof withNul - 1);
    ASSERT_EQ(content.count(QChar(u'\0')), 1);
    db.addScript(title, content);
    db.addVideo("视频 '1'; .mp4", "/路径/with ' quote/视频.mp4", QString("/缩略图/'a'.png"));
    MainLoop::drain();
    ASSERT_EQ(db.scripts().size(), 1);
    EXPECT_EQ(db.scripts()[0].title, title);
    EXPECT_EQ(db.scripts()[0].content, content);
    ASSERT_EQ(db.videos().size(), 1);
    EXPECT_EQ(db.videos()[0].fileName, "视频 '1'; .mp4");
    EXPECT_EQ(db.videos()[0].filePath, "/路径/with ' quote/视频.mp4");
    EXPECT_EQ(db.videos()[0].thumbnailPath, QString("/缩略图/'a'.png"));
}

TEST(DatabaseManager, VideosKeepAbsentAndEmptyThumbnailsApart)
{
    QTemporaryDir dir;
    DatabaseManager db(dataFolderIn(dir));
    db.addVideo("none.mp4", "/v/none.mp4", std::nullopt);
    db.addVideo("empty.mp4", "/v/empty.mp4", QString(""));
    MainLoop::drain();
    ASSERT_EQ(db.videos().size(), 2);
    EXPECT_EQ(db.videos()[0].fileName, "empty.mp4"); // newest first
    EXPECT_EQ(db.videos()[0].thumbnailPath, QString(""));
    EXPECT_FALSE(db.videos()[1].thumbnailPath.has_value());
    EXPECT_EQ(query(db.databasePath(), "SELECT thumbnail_path FROM videos ORDER BY id;"), QStringList({"<NULL>", ""}));
}

TEST(DatabaseManager, DeletingAVideoRemovesTheRowAndOptionallyTheFile)
{
    QTemporaryDir dir;
    DatabaseManager db(dataFolderIn(dir));
    const QString kept = dir.path() + "/kept.mp4";
    const QString removed = dir.path() + "/removed.mp4";
    for (const QString &path : {kept, removed}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("video");
    }
    db.addVideo("kept.mp4", kept, std::nullopt);
    db.addVideo("removed.mp4", removed, std::nullopt);
    db.addVideo("gone.mp4", dir.path() + "/gone.mp4", std::nullopt);
    MainLoop::drain();
    ASSERT_EQ(db.videos().size(), 3);

    LogCapture log;
    for (const VideoRecord &video : db.videos()) {
        if (video.fileName == "kept.mp4") {
            db.deleteVideo(video.id, false, video.filePath);
        } else {
            db.deleteVideo(video.id, true, video.filePath); // "gone.mp4" is already missing
        }
    }
    MainLoop::drain();
    EXPECT_TRUE(db.videos().isEmpty());
    EXPECT_TRUE(QFile::exists(kept));
    EXPECT_FALSE(QFile::exists(removed));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(DatabaseManager, FolderThatCannotBeCreatedLeavesEmptyListsAndLogs)
{
    QTemporaryDir dir;
    // A plain file where a folder should be: creation fails even for root.
    const QString blocker = dir.path() + "/blocker";
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString folder = blocker + "/Veltroscope";

    LogCapture log;
    DatabaseManager db(folder);
    db.addScript("lost", "nothing is stored");
    db.addVideo("x.mp4", "/x.mp4", std::nullopt);
    MainLoop::drain();

    const QStringList lines = log.lines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "❌ 无法打开数据库: " + folder + "/veltroscope.sqlite3");
    EXPECT_TRUE(lines[1].startsWith("❌ SQL 执行失败: "));
    EXPECT_TRUE(lines[2].startsWith("❌ SQL 执行失败: "));
    EXPECT_TRUE(db.scripts().isEmpty());
    EXPECT_TRUE(db.videos().isEmpty());
}

TEST(DatabaseManager, NullTextWrittenByAnotherProgramReadsAsEmpty)
{
    QTemporaryDir dir;
    const QString folder = dataFolderIn(dir);
    QDir().mkpath(folder);
    sqlite3 *raw = nullptr;
    sqlite3_open(QFile::encodeName(folder + "/veltroscope.sqlite3").constData(), &raw);
    sqlite3_exec(raw,
        "CREATE TABLE scripts (id INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT, content TEXT, "
        "created_at REAL, updated_at REAL);"
        "INSERT INTO scripts (title, content, created_at, updated_at) VALUES (NULL, NULL, 1, 2);"
        "CREATE TABLE videos (id INTEGER PRIMARY KEY AUTOINCREMENT, file_name TEXT, file_path TEXT, "
        "thumbnail_path TEXT, created_at REAL);"
        "INSERT INTO videos (file_name, file_path, thumbnail_path, created_at) VALUES (NULL, NULL, NULL, 3);",
        nullptr, nullptr, nullptr);
    sqlite3_close(raw);

    DatabaseManager db(folder);
    MainLoop::drain();
    ASSERT_EQ(db.scripts().size(), 1);
    EXPECT_EQ(db.scripts()[0].title, "");
    EXPECT_EQ(db.scripts()[0].content, "");
    EXPECT_EQ(db.scripts()[0].updatedAt, 2.0);
    ASSERT_EQ(db.videos().size(), 1);
    EXPECT_EQ(db.videos()[0].filePath, "");
    EXPECT_FALSE(db.videos()[0].thumbnailPath.has_value());
}

TEST(DatabaseManager, SharedInstanceLivesInTheUserDataFolder)
{
    LogCapture log;
    DatabaseManager &db = DatabaseManager::shared();
    EXPECT_EQ(&db, &DatabaseManager::shared());
    const QString expected = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/Veltroscope/veltroscope.sqlite3";
    EXPECT_EQ(db.databasePath(), expected);
    EXPECT_TRUE(QFile::exists(expected));
}
