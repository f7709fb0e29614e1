#include "capture/TakeJournal.h"

#include "platform/Log.h"
#include "platform/desktop/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <csignal>

namespace {
const QString takesKey = QStringLiteral("takes");
const QString pathKey = QStringLiteral("path");
const QString ratioKey = QStringLiteral("aspectRatio");
const QString processKey = QStringLiteral("pid");
const QString keptKey = QStringLiteral("keptSeconds");
const QString croppedKey = QStringLiteral("cropped");

QString executableOf(qint64 processId)
{
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(processId)).symLinkTarget();
}
} // namespace

TakeJournal &TakeJournal::shared()
{
    static TakeJournal *journal = new TakeJournal(defaultFilePath());
    return *journal;
}

QString TakeJournal::defaultFilePath()
{
    return AppPaths::dataFolder() + QStringLiteral("/takes-in-progress.json");
}

TakeJournal::TakeJournal(const QString &filePath) : m_filePath(filePath)
{
}

void TakeJournal::noteStarted(const QString &path, VideoAspectRatio aspectRatio)
{
    std::lock_guard lock(m_mutex);
    QList<Entry> entries = read();
    entries.removeIf([&](const Entry &entry) { return entry.path == path; });
    entries.append(Entry{path, aspectRatio, QCoreApplication::applicationPid()});
    m_ownPaths.insert(path);
    write(entries);
}

bool TakeJournal::update(const QString &path, const std::function<void(Entry &)> &change)
{
    QList<Entry> entries = read();
    for (Entry &entry : entries) {
        if (entry.path == path) {
            change(entry);
            write(entries);
            return true;
        }
    }
    return false;
}

void TakeJournal::noteKeptDuration(const QString &path, double seconds)
{
    std::lock_guard lock(m_mutex);
    if (!update(path, [seconds](Entry &entry) { entry.keptDuration = seconds; })) {
        Log::line(QStringLiteral("⚠️ 未裁掉结尾的语音指令: 录制不在处理记录中: ") + path);
    }
}

void TakeJournal::noteCropped(const QString &path)
{
    std::lock_guard lock(m_mutex);
    update(path, [](Entry &entry) { entry.isCropped = true; });
}

std::optional<TakeJournal::Entry> TakeJournal::entry(const QString &path) const
{
    std::lock_guard lock(m_mutex);
    for (const Entry &entry : read()) {
        if (entry.path == path) {
            return entry;
        }
    }
    return std::nullopt;
}

std::optional<double> TakeJournal::keptDuration(const QString &path) const
{
    const std::optional<Entry> found = entry(path);
    return found ? found->keptDuration : std::nullopt;
}

void TakeJournal::remove(const QString &path)
{
    std::lock_guard lock(m_mutex);
    m_ownPaths.remove(path);
    QList<Entry> entries = read();
    if (entries.removeIf([&](const Entry &entry) { return entry.path == path; }) > 0) {
        write(entries);
    }
}

QList<TakeJournal::Entry> TakeJournal::entries() const
{
    std::lock_guard lock(m_mutex);
    return read();
}

QList<TakeJournal::Entry> TakeJournal::adoptUnfinishedEntries()
{
    std::lock_guard lock(m_mutex);
    const QList<Entry> unfinished = unfinishedLocked();
    for (const Entry &entry : unfinished) {
        m_ownPaths.insert(entry.path);
    }
    return unfinished;
}

QList<TakeJournal::Entry> TakeJournal::unfinishedEntries() const
{
    std::lock_guard lock(m_mutex);
    return unfinishedLocked();
}

QList<TakeJournal::Entry> TakeJournal::unfinishedLocked() const
{
    QList<Entry> unfinished;
    for (const Entry &entry : read()) {
        if (!m_ownPaths.contains(entry.path) && !isAnotherRunningCopy(entry.processId)) {
            unfinished.append(entry);
        }
    }
    return unfinished;
}

bool TakeJournal::isAnotherRunningCopy(qint64 processId)
{
    // Our own number in the file is from before a restart of the machine. A
    // live number is only ours if it runs this same program: numbers are
    // handed out again after a reboot.
    if (processId <= 0 || processId == QCoreApplication::applicationPid()) {
        return false;
    }
    // Another user's process (EPERM) is not ours either.
    if (::kill(pid_t(processId), 0) != 0) {
        return false;
    }
    const QString executable = executableOf(processId);
    return !executable.isEmpty() && executable == executableOf(QCoreApplication::applicationPid());
}

QList<TakeJournal::Entry> TakeJournal::read() const
{
    QFile file(m_filePath);
    if (!file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        Log::line(QStringLiteral("⚠️ 无法读取录制记录: ") + m_filePath);
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        Log::line(QStringLiteral("⚠️ 录制记录已损坏: ") + m_filePath);
        return {};
    }
    QList<Entry> entries;
    for (const QJsonValue &value : document.object().value(takesKey).toArray()) {
        const QJsonObject object = value.toObject();
        const QString path = object.value(pathKey).toString();
        if (path.isEmpty()) {
            continue;
        }
        // A ratio this version does not know still gets its take finished.
        const auto ratio = VideoAspectRatio::fromRawValue(object.value(ratioKey).toString());
        Entry entry{path, ratio.value_or(VideoAspectRatio::ratio16x9), qint64(object.value(processKey).toDouble())};
        // A length that makes no sense cuts nothing.
        if (const double kept = object.value(keptKey).toDouble(-1); kept > 0) {
            entry.keptDuration = kept;
        }
        entry.isCropped = object.value(croppedKey).toBool(false);
        entries.append(entry);
    }
    return entries;
}

void TakeJournal::write(const QList<Entry> &entries) const
{
    QJsonArray takes;
    for (const Entry &entry : entries) {
        QJsonObject take{
            {pathKey, entry.path}, {ratioKey, entry.aspectRatio.rawValue()}, {processKey, double(entry.processId)}};
        if (entry.keptDuration) {
            take.insert(keptKey, *entry.keptDuration);
        }
        if (entry.isCropped) {
            take.insert(croppedKey, true);
        }
        takes.append(take);
    }
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    // Written whole or not at all: a power cut leaves the old list or the new.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(QJsonObject{{takesKey, takes}}).toJson()) < 0
        || !file.commit()) {
        Log::line(QStringLiteral("⚠️ 无法写入录制记录: ") + m_filePath);
    }
}
