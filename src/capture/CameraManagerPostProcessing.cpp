#include "capture/CameraManager.h"

#include "library/DatabaseManager.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/desktop/AppPaths.h"
#include "platform/media/CropGeometry.h"
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

namespace {
constexpr double thumbnailSeconds = 0.5;
constexpr int thumbnailBoxSize = 320;

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
    const QString &outputFilePath, const std::optional<QString> &errorDescription)
{
    if (errorDescription) {
        Log::line(QStringLiteral("⚠️ 录制结束: ") + *errorDescription);
    }
    // A recording that never started leaves no file: a library row for it
    // would only point at nothing.
    if (!QFileInfo(outputFilePath).isFile()) {
        Log::line(QStringLiteral("❌ 录制文件不存在: ") + outputFilePath);
        return;
    }
    Log::line(QStringLiteral("✅ 录制完成: ") + outputFilePath);

    const double targetRatio = pendingAspectRatio().ratio();
    const QPointer<CameraManager> manager(this);
    cropVideoToAspect(
        outputFilePath, targetRatio, [manager, outputFilePath](const std::optional<QString> &croppedPath) {
            if (manager.isNull()) {
                return;
            }
            saveVideoRecord(croppedPath.value_or(outputFilePath), manager);
        });
}

void CameraManager::cropVideoToAspect(const QString &inputPath, double targetRatio, CropCompletion completion)
{
    const MediaAsset asset(inputPath);
    const QList<MediaTrack> videoTracks = asset.tracks(MediaType::video);
    if (videoTracks.isEmpty()) {
        Log::line(QStringLiteral("❌ 视频中没有视频轨道"));
        completion(std::nullopt);
        return;
    }
    const MediaTrack &track = videoTracks.first();
    const std::optional<QRectF> cropRect
        = CropGeometry::cropRect(track.preferredTransform.apply(track.naturalSize), targetRatio);
    if (!cropRect) {
        completion(inputPath);
        return;
    }

    const QString exportPath = temporaryExportPath(inputPath);
    QFile::remove(exportPath);
    const std::shared_ptr<ExportSession> session = ExportSession::make(asset);
    if (!session) {
        completion(std::nullopt);
        return;
    }
    session->setOutputPath(exportPath);
    session->setVideoComposition(VideoComposition{*cropRect, 1, 30});
    session->setShouldOptimizeForNetworkUse(true);
    session->exportAsynchronously([session, inputPath, exportPath, targetRatio, completion] {
        switch (session->status()) {
        case ExportSession::Status::failed:
        case ExportSession::Status::cancelled:
            Log::line(
                QStringLiteral("❌ 视频裁剪失败: ") + session->errorDescription().value_or(QStringLiteral("unknown")));
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
            Log::line(QStringLiteral("✂️ 已按比例 ") + Log::number(targetRatio) + QStringLiteral(" 裁剪视频"));
            completion(inputPath);
            return;
        default:
            completion(std::nullopt);
            return;
        }
    });
}

std::optional<QImage> CameraManager::generateThumbnail(const QString &videoPath)
{
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
    MainQueue::post(nullptr, [manager, fileName, videoPath, thumbnailPath] {
        if (manager) {
            DatabaseManager::shared().addVideo(fileName, videoPath, thumbnailPath);
        }
    });
}
