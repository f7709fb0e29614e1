#pragma once

#include "library/VideoAspectRatio.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <mutex>
#include <optional>

// Takes that were started but are not in the library yet, kept in a small file
// of the data folder, so that a take whose program ended early (quit, crash,
// kill, power loss) is finished at the next start. Any thread.
class TakeJournal {
public:
    struct Entry {
        QString path; // the recording
        VideoAspectRatio aspectRatio = VideoAspectRatio::ratio16x9; // chosen at its start
        qint64 processId = 0; // the program that recorded it
        // How much of the take to keep when a spoken stop phrase is cut from
        // its end; none to keep all of it.
        std::optional<double> keptDuration = std::nullopt;
        // Its pictures were cut to the ratio while it was recorded.
        bool isCropped = false;

        friend bool operator==(const Entry &, const Entry &) = default;
    };

    // The journal of this user's data folder.
    static TakeJournal &shared();
    static QString defaultFilePath();

    explicit TakeJournal(const QString &filePath);

    QString filePath() const { return m_filePath; }

    // A take begins: it stays listed until remove().
    void noteStarted(const QString &path, VideoAspectRatio aspectRatio);
    // The take is to end after `seconds` (a voice stop): processing, now or
    // at the next start, cuts it there.
    void noteKeptDuration(const QString &path, double seconds);
    std::optional<double> keptDuration(const QString &path) const;
    // The take is being recorded cut to its ratio.
    void noteCropped(const QString &path);
    std::optional<Entry> entry(const QString &path) const;
    // The take's library row was added, or there is nothing left to finish.
    void remove(const QString &path);

    QList<Entry> entries() const;
    // Entries left behind by programs that no longer run: neither this one's
    // own takes nor those of another copy of the program still at work.
    QList<Entry> unfinishedEntries() const;
    // The same, now counted as this program's own, so that they are handed
    // out once only.
    QList<Entry> adoptUnfinishedEntries();

private:
    QList<Entry> unfinishedLocked() const;
    QList<Entry> read() const;
    // Changes the listed take at `path`; false when it is not listed.
    bool update(const QString &path, const std::function<void(Entry &)> &change);
    void write(const QList<Entry> &entries) const;
    static bool isAnotherRunningCopy(qint64 processId);

    QString m_filePath;
    mutable std::mutex m_mutex;
    QSet<QString> m_ownPaths;
};
