#include "platform/desktop/DesktopTrash.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString DesktopTrash::homeTrashFolder()
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty()) {
        return QString();
    }
    const QString trash = dataHome + QStringLiteral("/Trash");
    if (!QFileInfo(trash).isDir()) {
        if (!QDir().mkpath(trash)) {
            return QString();
        }
        QFile::setPermissions(trash, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return trash;
}

DesktopTrash::Outcome DesktopTrash::moveToTrashOrRemove(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return Outcome::Missing;
    }
    // QFile::moveToTrash falls back to the home trash when the file's own disk
    // has none; if that cannot be made either, it "trashes" into files/ under
    // the current directory and reports success. Only call it with a home
    // trash in place.
    if (!homeTrashFolder().isEmpty() && QFile::moveToTrash(path)) {
        return Outcome::Trashed;
    }
    if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) {
        return Outcome::Missing; // gone meanwhile
    }
    if (QFile::remove(path)) {
        Log::line(QStringLiteral("⚠️ 没有可用的回收站，已永久删除: ") + path);
        return Outcome::Removed;
    }
    return Outcome::Failed;
}
