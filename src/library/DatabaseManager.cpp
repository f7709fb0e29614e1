#include "library/DatabaseManager.h"

#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/desktop/AppPaths.h"
#include "platform/desktop/DesktopTrash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>

namespace {
const char *const createScriptsTable = "CREATE TABLE IF NOT EXISTS scripts (\n"
                                       "    id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                                       "    title TEXT NOT NULL,\n"
                                       "    content TEXT NOT NULL,\n"
                                       "    created_at REAL NOT NULL,\n"
                                       "    updated_at REAL NOT NULL\n"
                                       ");";

const char *const createVideosTable = "CREATE TABLE IF NOT EXISTS videos (\n"
                                      "    id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                                      "    file_name TEXT NOT NULL,\n"
                                      "    file_path TEXT NOT NULL,\n"
                                      "    thumbnail_path TEXT,\n"
                                      "    created_at REAL NOT NULL\n"
                                      ");";

// A NULL in a NOT NULL column can only come from another program; read it as "".
// The byte count keeps a text with a NUL inside whole.
QString columnText(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(statement, column)) : QString();
}

// Owns one prepared statement; finalised whether or not preparing worked.
class Statement {
public:
    Statement(sqlite3 *db, const char *sql)
    {
        m_prepared = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) == SQLITE_OK;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isPrepared() const { return m_prepared; }
    sqlite3_stmt *get() const { return m_statement; }

    // SQLite does not copy the text; `utf8` must outlive the statement. The
    // length is given so that a NUL inside the text does not cut it short.
    void bindText(int index, const QByteArray &utf8)
    {
        sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
    }

private:
    sqlite3_stmt *m_statement = nullptr;
    bool m_prepared = false;
};
} // namespace

double DatabaseManager::currentTime()
{
    // Microseconds, and never the same value twice: rows written in one
    // microsecond, or across a clock step backwards, still sort in write order.
    static std::atomic<qint64> last{0};
    const qint64 clock
        = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
              .count();
    qint64 previous = last.load();
    qint64 next = 0;
    do {
        next = std::max(clock, previous + 1);
    } while (!last.compare_exchange_weak(previous, next));
    return double(next) / 1e6;
}

DatabaseManager &DatabaseManager::shared()
{
    static DatabaseManager *instance = new DatabaseManager(AppPaths::dataFolder());
    return *instance;
}

DatabaseManager::DatabaseManager(const QString &dataFolder, QObject *parent)
    : QObject(parent), m_databasePath(databaseURL(dataFolder))
{
    openDatabase();
    execute(createScriptsTable);
    execute(createVideosTable);
    loadScripts();
    loadVideos();
}

DatabaseManager::~DatabaseManager()
{
    if (m_db) {
        sqlite3_close(m_db);
    }
}

QString DatabaseManager::databaseURL(const QString &dataFolder) const
{
    if (!QFileInfo::exists(dataFolder)) {
        QDir().mkpath(dataFolder); // a failure shows when opening
    }
    return dataFolder + QStringLiteral("/veltroscope.sqlite3");
}

void DatabaseManager::openDatabase()
{
    const QByteArray path = QFile::encodeName(m_databasePath);
    if (sqlite3_open(path.constData(), &m_db) == SQLITE_OK) {
        Log::line(QStringLiteral("✅ 数据库已打开: ") + m_databasePath);
    } else {
        Log::line(QStringLiteral("❌ 无法打开数据库: ") + m_databasePath);
    }
}

void DatabaseManager::execute(const char *sql)
{
    char *errorMessage = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &errorMessage) != SQLITE_OK) {
        const QString detail = errorMessage ? QString::fromUtf8(errorMessage) : QStringLiteral("unknown");
        Log::line(QStringLiteral("❌ SQL 执行失败: ") + detail);
        sqlite3_free(errorMessage);
    }
}

void DatabaseManager::loadScripts()
{
    QList<Script> loaded;
    {
        Statement statement(m_db,
            "SELECT id, title, content, created_at, updated_at FROM scripts ORDER BY "
            "updated_at DESC;");
        if (statement.isPrepared()) {
            while (sqlite3_step(statement.get()) == SQLITE_ROW) {
                sqlite3_stmt *row = statement.get();
                loaded.append(Script{sqlite3_column_int64(row, 0), columnText(row, 1), columnText(row, 2),
                    sqlite3_column_double(row, 3), sqlite3_column_double(row, 4)});
            }
        }
    }
    MainQueue::post(this, [this, loaded] {
        m_scripts = loaded;
        Q_EMIT scriptsChanged();
    });
}

void DatabaseManager::loadVideos()
{
    QList<VideoRecord> loaded;
    {
        Statement statement(m_db,
            "SELECT id, file_name, file_path, thumbnail_path, created_at FROM videos ORDER BY "
            "created_at DESC;");
        if (statement.isPrepared()) {
            while (sqlite3_step(statement.get()) == SQLITE_ROW) {
                sqlite3_stmt *row = statement.get();
                std::optional<QString> thumbnail;
                if (sqlite3_column_text(row, 3)) {
                    thumbnail = columnText(row, 3);
                }
                loaded.append(VideoRecord{sqlite3_column_int64(row, 0), columnText(row, 1), columnText(row, 2),
                    thumbnail, sqlite3_column_double(row, 4)});
            }
        }
    }
    MainQueue::post(this, [this, loaded] {
        m_videos = loaded;
        Q_EMIT videosChanged();
    });
}

void DatabaseManager::addScript(const QString &title, const QString &content)
{
    {
        const QByteArray titleText = title.toUtf8();
        const QByteArray contentText = content.toUtf8();
        Statement statement(m_db, "INSERT INTO scripts (title, content, created_at, updated_at) VALUES (?, ?, ?, ?);");
        if (statement.isPrepared()) {
            const double time = currentTime();
            statement.bindText(1, titleText);
            statement.bindText(2, contentText);
            sqlite3_bind_double(statement.get(), 3, time);
            sqlite3_bind_double(statement.get(), 4, time);
            if (sqlite3_step(statement.get()) != SQLITE_DONE) {
                Log::line(QStringLiteral("❌ 插入提示词失败"));
            }
        }
    }
    loadScripts();
}

void DatabaseManager::updateScript(const Script &script)
{
    {
        const QByteArray titleText = script.title.toUtf8();
        const QByteArray contentText = script.content.toUtf8();
        Statement statement(m_db, "UPDATE scripts SET title=?, content=?, updated_at=? WHERE id=?;");
        if (statement.isPrepared()) {
            statement.bindText(1, titleText);
            statement.bindText(2, contentText);
            sqlite3_bind_double(statement.get(), 3, currentTime());
            sqlite3_bind_int64(statement.get(), 4, script.id);
            sqlite3_step(statement.get());
        }
    }
    loadScripts();
}

void DatabaseManager::deleteScript(int64_t id)
{
    {
        Statement statement(m_db, "DELETE FROM scripts WHERE id=?;");
        if (statement.isPrepared()) {
            sqlite3_bind_int64(statement.get(), 1, id);
            sqlite3_step(statement.get());
        }
    }
    loadScripts();
}

void DatabaseManager::addVideo(
    const QString &fileName, const QString &filePath, const std::optional<QString> &thumbnailPath)
{
    {
        const QByteArray nameText = fileName.toUtf8();
        const QByteArray pathText = filePath.toUtf8();
        const QByteArray thumbnailText = thumbnailPath.value_or(QString()).toUtf8();
        Statement statement(
            m_db, "INSERT INTO videos (file_name, file_path, thumbnail_path, created_at) VALUES (?, ?, ?, ?);");
        if (statement.isPrepared()) {
            statement.bindText(1, nameText);
            statement.bindText(2, pathText);
            if (thumbnailPath) {
                statement.bindText(3, thumbnailText);
            } else {
                sqlite3_bind_null(statement.get(), 3);
            }
            sqlite3_bind_double(statement.get(), 4, currentTime());
            sqlite3_step(statement.get());
        }
    }
    loadVideos();
}

void DatabaseManager::deleteVideo(int64_t id, bool alsoDeleteFile, const QString &filePath)
{
    {
        Statement statement(m_db, "DELETE FROM videos WHERE id=?;");
        if (statement.isPrepared()) {
            sqlite3_bind_int64(statement.get(), 1, id);
            sqlite3_step(statement.get());
        }
    }
    if (alsoDeleteFile) {
        DesktopTrash::moveToTrashOrRemove(filePath); // a missing file or no permission is ignored
    }
    loadVideos();
}
