#pragma once

#include "platform/media/MediaAsset.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// Writes a recording again as a plain MPEG-4 file, its streams copied as they
// are (nothing is encoded again), optionally shortened to its first seconds.
// The export runs on a thread of its own and reports its end once, on that
// thread.
class ExportSession : public std::enable_shared_from_this<ExportSession> {
public:
    enum class Status { unknown, waiting, exporting, completed, failed, cancelled };

    // None when this asset cannot be exported (unreadable, no video, or the
    // encoders are missing).
    static std::shared_ptr<ExportSession> make(const MediaAsset &asset);

    void setOutputPath(const QString &path) { m_outputPath = path; }
    // Exports only the asset's first `seconds`; none for all of it.
    void setKeptDuration(std::optional<double> seconds) { m_keptDuration = seconds; }
    // Puts the movie index before the media data.
    void setShouldOptimizeForNetworkUse(bool value) { m_shouldOptimizeForNetworkUse = value; }

    // Starts the export; `completion` runs once on the export thread, after
    // `status()` holds the outcome. The session keeps itself alive meanwhile.
    void exportAsynchronously(std::function<void()> completion);
    void cancelExport() { m_isCancelRequested = true; }

    Status status() const { return m_status; }
    // Why the export failed; none otherwise.
    std::optional<QString> errorDescription() const;

    // An export that stops making progress for this long is failed.
    static constexpr int stallTimeoutMs = 30000;

private:
    explicit ExportSession(const MediaAsset &asset) : m_asset(asset) { }
    void run();
    void finish(Status status, const std::optional<QString> &error);

    MediaAsset m_asset;
    QString m_outputPath;
    std::optional<double> m_keptDuration;
    bool m_shouldOptimizeForNetworkUse = false;
    std::function<void()> m_completion;
    std::atomic<Status> m_status = Status::unknown;
    std::atomic<bool> m_isCancelRequested = false;
    mutable std::mutex m_errorMutex;
    std::optional<QString> m_errorDescription;
};
