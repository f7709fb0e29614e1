#include "platform/media/ExportSession.h"

#include "platform/Log.h"
#include "platform/media/ExportPipeline.h"

#include <QFileInfo>

#include <thread>

std::shared_ptr<ExportSession> ExportSession::make(const MediaAsset &asset)
{
    if (!asset.isReadable() || asset.tracks(MediaType::video).isEmpty()) {
        return nullptr;
    }
    // An export that cannot run says what it lacks.
    if (const QStringList missing = ExportPipeline::missingElements(); !missing.isEmpty()) {
        for (const QString &factory : missing) {
            Log::line(QStringLiteral("❌ 缺少 GStreamer 组件: ") + factory);
        }
        return nullptr;
    }
    return std::shared_ptr<ExportSession>(new ExportSession(asset));
}

std::optional<QString> ExportSession::errorDescription() const
{
    std::lock_guard lock(m_errorMutex);
    return m_errorDescription;
}

void ExportSession::exportAsynchronously(std::function<void()> completion)
{
    Status expected = Status::unknown;
    if (!m_status.compare_exchange_strong(expected, Status::waiting)) {
        return; // one export per session
    }
    m_completion = std::move(completion);
    // The thread holds the session until the completion has run.
    std::thread([self = shared_from_this()] { self->run(); }).detach();
}

void ExportSession::run()
{
    m_status = Status::exporting;
    if (m_isCancelRequested) {
        finish(Status::cancelled, QStringLiteral("the export was cancelled"));
        return;
    }
    ExportPipeline::Settings settings;
    settings.inputPath = m_asset.path();
    settings.outputPath = m_outputPath;
    settings.isIndexFirst = m_shouldOptimizeForNetworkUse;
    settings.endSeconds = m_keptDuration;
    if (m_outputPath.isEmpty() || (m_keptDuration && !(*m_keptDuration > 0))) {
        finish(Status::failed, QStringLiteral("invalid export settings"));
        return;
    }

    const ExportPipeline::Result result = ExportPipeline::run(settings, m_isCancelRequested, stallTimeoutMs);
    switch (result.outcome) {
    case ExportPipeline::Outcome::cancelled:
        finish(Status::cancelled, result.errorDescription);
        return;
    case ExportPipeline::Outcome::failed:
        finish(Status::failed, result.errorDescription);
        return;
    case ExportPipeline::Outcome::completed:
        break;
    }
    // An end of stream alone does not prove a usable file: a graph that ran
    // dry writes an empty one. Only a file that got pictures counts as done.
    if (QFileInfo(m_outputPath).size() <= 0 || result.videoSamples <= 0) {
        finish(Status::failed, QStringLiteral("the exported file holds no video: ") + m_outputPath);
        return;
    }
    finish(Status::completed, std::nullopt);
}

void ExportSession::finish(Status status, const std::optional<QString> &error)
{
    {
        std::lock_guard lock(m_errorMutex);
        m_errorDescription = error;
    }
    m_status = status;
    auto completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion) {
        completion();
    }
}
