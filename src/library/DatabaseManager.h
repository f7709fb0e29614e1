#pragma once

#include "library/Script.h"
#include "library/VideoRecord.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

struct sqlite3;

// The script and video libraries in one SQLite file. Every write is followed by
// a reload of the affected list, published in a task posted to the main thread.
// Main thread only.
class DatabaseManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<Script> scripts READ scripts NOTIFY scriptsChanged)
    Q_PROPERTY(QList<VideoRecord> videos READ videos NOTIFY videosChanged)

public:
    // The process-wide store; opened on first use under the user's data folder.
    static DatabaseManager &shared();

    // A store whose file lies in `dataFolder` (created when missing).
    explicit DatabaseManager(const QString &dataFolder, QObject *parent = nullptr);
    ~DatabaseManager() override;

    const QList<Script> &scripts() const { return m_scripts; }
    const QList<VideoRecord> &videos() const { return m_videos; }

    void loadScripts();
    void loadVideos();
    void addScript(const QString &title, const QString &content);
    void updateScript(const Script &script);
    void deleteScript(int64_t id);
    void addVideo(const QString &fileName, const QString &filePath, const std::optional<QString> &thumbnailPath);
    void deleteVideo(int64_t id, bool alsoDeleteFile, const QString &filePath);

    QString databasePath() const { return m_databasePath; }

    // The time a write stores: seconds since 1970 with microseconds, strictly
    // increasing within the process. Any thread.
    static double currentTime();

Q_SIGNALS:
    void scriptsChanged();
    void videosChanged();

private:
    QString databaseURL(const QString &dataFolder) const;
    void openDatabase();
    void execute(const char *sql);

    sqlite3 *m_db = nullptr;
    QString m_databasePath;
    QList<Script> m_scripts;
    QList<VideoRecord> m_videos;
};
