#pragma once

// A throw-away video library with rows written straight into its file, so a
// test chooses each row's time, and small media files to point them at.
#include "library/DatabaseManager.h"
#include "platform/desktop/DesktopWorkspace.h"
#include "platform/media/MediaAssetTestFiles.h"
#include "support/MainLoop.h"
#include "ui/videos/VideoListModel.h"
#include "ui/videos/VideoRow.h"
#include "ui/videos/VideoRowsView.h"
#include "ui/videos/VideoThumbnailLoader.h"
#include "ui/videos/VideosListView.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <sqlite3.h>

class VideoLibraryFixture {
public:
    VideoLibraryFixture() : m_db(std::make_unique<DatabaseManager>(m_dir.path() + "/data/Veltroscope"))
    {
        QDir().mkpath(folder());
        MainLoop::drain();
    }

    ~VideoLibraryFixture()
    {
        QObject::disconnect(m_revealWatch);
        DesktopWorkspace::shared().setUrlOpener(nullptr);
    }

    QString folder() const { return m_dir.path() + "/videos"; }
    QString pathOf(const QString &name) const { return folder() + "/" + name; }
    DatabaseManager &db() { return *m_db; }

    // Rows in one transaction; reloads the store's list.
    struct Row {
        Row(const QString &name, const std::optional<QString> &thumbnail, double time, const QString &path = {})
            : fileName(name), thumbnailPath(thumbnail), createdAt(time), filePath(path)
        {
        }
        QString fileName;
        std::optional<QString> thumbnailPath;
        double createdAt = 0;
        QString filePath; // empty: in folder()
    };
    void insert(const QList<Row> &rows)
    {
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(m_db->databasePath()).constData(), &db);
        sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr);
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(db,
            "INSERT INTO videos (file_name, file_path, thumbnail_path, created_at) VALUES (?, ?, ?, ?);", -1,
            &statement, nullptr);
        for (const Row &row : rows) {
            const QByteArray name = row.fileName.toUtf8();
            const QByteArray path = (row.filePath.isEmpty() ? pathOf(row.fileName) : row.filePath).toUtf8();
            const QByteArray thumbnail = row.thumbnailPath.value_or(QString()).toUtf8();
            sqlite3_bind_text(statement, 1, name.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(statement, 2, path.constData(), -1, SQLITE_TRANSIENT);
            if (row.thumbnailPath) {
                sqlite3_bind_text(statement, 3, thumbnail.constData(), -1, SQLITE_TRANSIENT);
            } else {
                sqlite3_bind_null(statement, 3);
            }
            sqlite3_bind_double(statement, 4, row.createdAt);
            sqlite3_step(statement);
            sqlite3_reset(statement);
        }
        sqlite3_finalize(statement);
        sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        m_db->loadVideos();
        MainLoop::drain();
    }

    // Runs one statement on the library file, then reloads the store's list.
    void execute(const char *sql)
    {
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(m_db->databasePath()).constData(), &db);
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_close(db);
        m_db->loadVideos();
        MainLoop::drain();
    }

    QString writePicture(const QString &name, const QColor &color, QSize size = QSize(320, 180))
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(color);
        const QString path = m_dir.path() + "/" + name;
        image.save(path, "PNG");
        return path;
    }

    // One second of a plain colour ("red", "blue", ...), no sound.
    bool writeVideo(const QString &name, const QString &pattern)
    {
        testfiles::VideoSpec clip;
        clip.size = QSize(320, 180);
        clip.hasAudio = false;
        clip.pattern = pattern;
        return testfiles::writeVideo(pathOf(name), clip);
    }

    // The screen, shown, with the desktop requests it makes collected here
    // rather than sent to a real desktop.
    std::unique_ptr<VideosListView> showView(QSize size = QSize(800, 600))
    {
        DesktopWorkspace &workspace = DesktopWorkspace::shared();
        workspace.setUrlOpener([this](const QUrl &url) {
            openedUrls << url;
            return true;
        });
        workspace.setFileManagerBus(QDBusConnection(QStringLiteral("no-bus-in-this-test")));
        m_revealWatch = QObject::connect(&workspace, &DesktopWorkspace::fileViewerRequested, &workspace,
            [this](const QList<QUrl> &urls) { revealedUrls << urls; });
        auto view = std::make_unique<VideosListView>(m_db.get());
        view->resize(size);
        view->show();
        MainLoop::drain();
        return view;
    }

    static bool waitForPictures(VideosListView &view, int timeoutMs = 60000)
    {
        return MainLoop::waitUntil([&] { return view.thumbnailLoader()->isIdle(); }, timeoutMs);
    }

    // Where row `row`'s thumbnail box lies in a grab of the whole screen.
    static QRect thumbnailBoxIn(VideosListView &view, int row)
    {
        VideoRowsView *rows = view.rows();
        const QRect box = VideoRow::geometry(rows->visualRect(rows->model()->index(row, 0))).thumbnail;
        return QRect(rows->viewport()->mapTo(&view, box.topLeft()), box.size());
    }

    // A mouse click on a row's painted button, where the list draws it now.
    static void click(VideosListView &view, int row, VideoRowButtons::Button button)
    {
        const QRect rect = view.rows()->buttonRect(row, button);
        QTest::mouseClick(view.rows()->viewport(), Qt::LeftButton, {}, rect.center());
    }

    // A row's button as a screen reader finds it: a child of the row's item.
    static QAccessibleInterface *accessibleButton(VideosListView &view, int row, VideoRowButtons::Button button)
    {
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view.rows());
        QAccessibleInterface *item = list ? list->child(row) : nullptr;
        return item ? item->child(int(button)) : nullptr;
    }

    QList<QUrl> openedUrls;
    QList<QList<QUrl>> revealedUrls;

private:
    QTemporaryDir m_dir;
    QMetaObject::Connection m_revealWatch;
    std::unique_ptr<DatabaseManager> m_db;
};
