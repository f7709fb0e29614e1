#include "platform/desktop/DesktopTrash.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdlib>

namespace {
bool writeFile(const QString &path, const QByteArray &data = "video")
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Points the data home somewhere else for one test and puts it back after.
class DataHome {
public:
    explicit DataHome(const QString &path) : m_saved(qgetenv("XDG_DATA_HOME"))
    {
        setenv("XDG_DATA_HOME", QFile::encodeName(path).constData(), 1);
    }
    ~DataHome() { setenv("XDG_DATA_HOME", m_saved.constData(), 1); }

private:
    QByteArray m_saved;
};
} // namespace

TEST(DesktopTrash, VideoGoesToTheHomeTrashWithItsOriginalPathRecorded)
{
    QTemporaryDir videos(QDir::homePath() + "/videos-XXXXXX");
    const QString path = videos.path() + "/20250303_140509.mp4";
    ASSERT_TRUE(writeFile(path, "recording"));
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
    // The data home may not exist yet on a fresh account; the trash is made anyway.
    QDir(trash).removeRecursively();

    LogCapture log;
    EXPECT_EQ(DesktopTrash::moveToTrashOrRemove(path), DesktopTrash::Outcome::Trashed);
    EXPECT_FALSE(QFile::exists(path));
    QFile trashed(trash + "/files/20250303_140509.mp4");
    ASSERT_TRUE(trashed.open(QIODevice::ReadOnly));
    EXPECT_EQ(trashed.readAll(), "recording");
    QFile info(trash + "/info/20250303_140509.mp4.trashinfo");
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    EXPECT_TRUE(info.readAll().contains("Path=" + QUrl::toPercentEncoding(path, "/")));
    EXPECT_TRUE(log.lines().isEmpty());

    // Nothing there: nothing to do, nothing to say.
    EXPECT_EQ(DesktopTrash::moveToTrashOrRemove(path), DesktopTrash::Outcome::Missing);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(DesktopTrash, WithoutAnyTrashTheFileIsRemovedForGoodAndLogged)
{
    QTemporaryDir dir;
    // A plain file where the data home's parent should be: no trash can be made, even as root.
    ASSERT_TRUE(writeFile(dir.path() + "/blocker"));
    DataHome dataHome(dir.path() + "/blocker/share");
    const QString path = dir.path() + "/20250303_140509.mp4";
    ASSERT_TRUE(writeFile(path));
    const QString workingFolder = QDir::currentPath();
    QDir::setCurrent(dir.path());

    LogCapture log;
    const DesktopTrash::Outcome outcome = DesktopTrash::moveToTrashOrRemove(path);
    QDir::setCurrent(workingFolder);

    EXPECT_EQ(outcome, DesktopTrash::Outcome::Removed);
    EXPECT_FALSE(QFile::exists(path));
    // Not "trashed" into a files/ folder under the working directory either.
    EXPECT_FALSE(QFile::exists(dir.path() + "/files/20250303_140509.mp4"));
    EXPECT_EQ(log.lines(), QStringList{"⚠️ 没有可用的回收站，已永久删除: " + path});
}
