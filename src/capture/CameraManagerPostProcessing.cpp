#include "capture/CameraManager.h"

#include "capture/TakeJournal.h"
#include "library/DatabaseManager.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/desktop/AppPaths.h"
#include "platform/media/ExportPipeline.h"
#include "platform/media/ExportSession.h"
#include "platform/media/ImageGenerator.h"
#include "platform/media/MediaAsset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <future>

namespace {
constexpr double thumbnailSeconds = 0.5;
constexpr int thumbnailBoxSize = 320;
// A cut this close to the end of the file leaves nothing worth an export.
constexpr double trimToleranceSeconds = 0.05;

// "20250303_140509.mp4" exports to "20250303_140509.cropped.mp4" beside it.
QString temporaryExportPath(const QString &inputPath)
{
    const QFileInfo info(inputPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".cropped.mp4"));
}

// One rename within the folder: the recorded name always holds a complete
// video, the original until the instant the export takes its place.
std::optional<QString> replaceFile(const QString &exportPath, const QString &recordedPath)
{
    QFile::setPermissions(exportPath, QFile::permissions(recordedPath));
    if (std::rename(QFile::encodeName(exportPath).constData(), QFile::encodeName(recordedPath).constData()) != 0) {
        const int error = errno;
        return QStringLiteral("rename %1 -> %2: %3 (errno %4)")
            .arg(exportPath, recordedPath, QString::fromLocal8Bit(std::strerror(error)))
            .arg(error);
    }
    return std::nullopt;
}

bool writePng(const QImage &image, const QString &path)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}
} // namespace

void CameraManager::fileOutputDidFinishRecording(
    const QString &outputFilePath, const std::optional<QString> &errorDescription, VideoAspectRatio aspectRatio)
{
    if (errorDescription) {
        Log::line(QStringLiteral("⚠️ 录制结束: ") + *errorDescription);
    }
    // A recording that never started leaves no file: a library row for it
    // would only point at nothing.
    if (!QFileInfo(outputFilePath).isFile()) {
        Log::line(QStringLiteral("❌ 录制文件不存在: ") + outputFilePath);
        TakeJournal::shared().remove(outputFilePath);
        return;
    }
    Log::line(QStringLiteral("✅ 录制完成: ") + outputFilePath);
    const std::optional<TakeJournal::Entry> take = TakeJournal::shared().entry(outputFilePath);
    processRecording(
        outputFilePath, aspectRatio.ratio(), take && take->isCropped, take ? take->keptDuration : std::nullopt);
}

void CameraManager::processUnfinishedTakes()
{
    TakeJournal &journal = TakeJournal::shared();
    for (const TakeJournal::Entry &take : journal.adoptUnfinishedEntries()) {
        Log::line(QStringLiteral("⚠️ 继续处理上次未完成的录制: ") + take.path);
        const QString exportPath = temporaryExportPath(take.path);
        if (!QFileInfo(take.path).isFile()) {
            // Whatever lies at the export's name may be the only copy left: it stays.
            Log::line(QStringLiteral("❌ 录制文件不存在: ") + take.path);
            journal.remove(take.path);
            continue;
        }
        // Half-written copies of an export that was cut off; never the recording.
        QFile::remove(exportPath);
        QFile::remove(ExportPipeline::scratchPath(exportPath));
        Log::line(QStringLiteral("✅ 录制完成: ") + take.path);
        processRecording(take.path, take.aspectRatio.ratio(), take.isCropped, take.keptDuration);
    }
}

void CameraManager::processRecording(
    const QString &path, double targetRatio, bool isCropped, std::optional<double> keptDuration)
{
    const QPointer<CameraManager> manager(this);
    m_takeProcessing.post([manager, path, targetRatio, isCropped, keptDuration](TakeProcessingQueue::Worker &worker) {
        auto cropped = std::make_shared<std::promise<std::optional<QString>>>();
        std::future<std::optional<QString>> result = cropped->get_future();
        worker.setRunningExport(cropVideoToAspect(path, targetRatio, isCropped, keptDuration,
            [cropped](const std::optional<QString> &croppedPath) { cropped->set_value(croppedPath); }));
        const std::optional<QString> finalPath = result.get();
        worker.setRunningExport(nullptr);
        // After a quit began the take waits, still in the journal, for the next start.
        if (worker.isStopping() || manager.isNull()) {
            return;
        }
        saveVideoRecord(finalPath.value_or(path), manager);
    });
}

void CameraManager::cancelPostProcessing()
{
    m_takeProcessing.stop();
}

bool CameraManager::waitForPostProcessing(int timeoutMs) const
{
    return m_takeProcessing.waitUntilIdle(timeoutMs);
}

std::shared_ptr<ExportSession> CameraManager::cropVideoToAspect(const QString &inputPath, double targetRatio,
    bool isCropped, std::optional<double> keptDuration, CropCompletion completion)
{
    const MediaAsset asset(inputPath);
    if (asset.tracks(MediaType::video).isEmpty()) {
        Log::line(QStringLiteral("❌ 视频中没有视频轨道"));
        completion(std::nullopt);
        return nullptr;
    }
    // A take that ended early by itself may stop before the cut: nothing to cut then.
    const std::optional<double> trim
        = keptDuration && *keptDuration < asset.durationSeconds() - trimToleranceSeconds ? keptDuration : std::nullopt;
    if (keptDuration && !trim) {
        Log::line(QStringLiteral("⚠️ 未裁掉结尾的语音指令: 录制在 %1 秒处已结束")
                      .arg(asset.durationSeconds(), 0, 'f', 2));
    }

    // The pictures were cut to the ratio while recording; what is left is to
    // write the fragments out as one plain file with its index first.
    const QString exportPath = temporaryExportPath(inputPath);
    QFile::remove(exportPath);
    const std::shared_ptr<ExportSession> session = ExportSession::make(asset);
    if (!session) {
        completion(std::nullopt);
        return nullptr;
    }
    session->setOutputPath(exportPath);
    session->setKeptDuration(trim);
    session->setShouldOptimizeForNetworkUse(true);
    // The completion holds the session through a weak reference only: the
    // session holds the completion while it runs.
    const std::weak_ptr<ExportSession> weakSession = session;
    session->exportAsynchronously([weakSession, inputPath, exportPath, targetRatio, isCropped, trim, completion] {
        const std::shared_ptr<ExportSession> finished = weakSession.lock();
        const ExportSession::Status status = finished ? finished->status() : ExportSession::Status::failed;
        switch (status) {
        case ExportSession::Status::failed:
        case ExportSession::Status::cancelled:
            Log::line((isCropped     ? QStringLiteral("❌ 视频裁剪失败: ")
                              : trim ? QStringLiteral("❌ 裁掉结尾的语音指令失败: ")
                                     : QStringLiteral("❌ 视频整理失败: "))
                + (finished ? finished->errorDescription() : std::nullopt).value_or(QStringLiteral("unknown")));
            // Only our own half-written copy goes; the recording stays as it was.
            QFile::remove(exportPath);
            completion(std::nullopt);
            return;
        case ExportSession::Status::completed:
            if (const std::optional<QString> error = replaceFile(exportPath, inputPath)) {
                Log::line(QStringLiteral("❌ 替换文件失败: ") + *error);
                QFile::remove(exportPath);
                completion(std::nullopt);
                return;
            }
            if (isCropped) {
                Log::line(
                    QStringLiteral("✂️ 已按比例 ") + Log::number(targetRatio) + QStringLiteral(" 裁剪视频"));
            }
            if (trim) {
                Log::line(QStringLiteral("✂️ 已裁掉结尾的语音指令: 保留前 %1 秒（未重新编码）")
                              .arg(*trim, 0, 'f', 2));
            }
            completion(inputPath);
            return;
        default:
            completion(std::nullopt);
            return;
        }
    });
    return session;
}

std::optional<QImage> CameraManager::generateThumbnail(const QString &videoPath)
{
    // Everything here is made for this call alone, so any thread may call it.
    ImageGenerator generator(videoPath);
    generator.setAppliesPreferredTrackTransform(true);
    generator.setMaximumSize(QSize(thumbnailBoxSize, thumbnailBoxSize));
    QString error;
    std::optional<QImage> image = generator.copyImage(thumbnailSeconds, &error);
    if (!image) {
        Log::line(QStringLiteral("❌ 生成缩略图失败: ") + error);
    }
    return image;
}

void CameraManager::saveVideoRecord(const QString &videoPath, const QPointer<CameraManager> &manager)
{
    const QFileInfo info(videoPath);
    const QString fileName = info.fileName();
    const QString thumbnailsFolder = AppPaths::thumbnailsFolder();
    QDir().mkpath(thumbnailsFolder);
    const QString thumbnailPath = QDir(thumbnailsFolder).filePath(info.completeBaseName() + QStringLiteral(".png"));

    if (const std::optional<QImage> thumbnail = generateThumbnail(videoPath)) {
        writePng(*thumbnail, thumbnailPath);
    }
    // The manager may go while the thumbnail is made; the main thread decides.
    // The take leaves the journal only once its row is in.
    MainQueue::post(nullptr, [manager, fileName, videoPath, thumbnailPath] {
        if (manager) {
            DatabaseManager::shared().addVideo(fileName, videoPath, thumbnailPath);
            TakeJournal::shared().remove(videoPath);
        }
    });
}
