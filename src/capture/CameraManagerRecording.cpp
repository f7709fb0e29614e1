#include "capture/CameraManager.h"

#include "capture/TakeJournal.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/desktop/AppPaths.h"
#include "platform/media/CaptureDeviceInput.h"
#include "platform/media/CaptureDeviceProvider.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/MovieFileOutput.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString saveFolderKey = QStringLiteral("VeltroscopeSaveFolder");
}

QString CameraManager::initialSaveFolder()
{
    // The default is not stored: without a choice the desktop is looked up afresh.
    const QString stored = QSettings().value(saveFolderKey).toString();
    return stored.isEmpty() ? AppPaths::desktopDirectory() : stored;
}

void CameraManager::setSaveFolder(const QString &folder)
{
    m_saveFolder = folder;
    Q_EMIT saveFolderChanged();
    QSettings().setValue(saveFolderKey, folder);
}

void CameraManager::chooseSaveFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(nullptr, QString(), m_saveFolder);
    if (!folder.isEmpty()) {
        setSaveFolder(folder);
    }
}

QString CameraManager::generateFileName() const
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss")) + QStringLiteral(".mp4");
}

QString CameraManager::unusedPath(const QString &folder, const QString &fileName)
{
    // Two starts within one second get the same name; the second must not
    // overwrite the first recording.
    const QDir dir(folder);
    QString path = dir.filePath(fileName);
    const QString base = QFileInfo(fileName).completeBaseName();
    for (int suffix = 2; QFileInfo::exists(path); ++suffix) {
        path = dir.filePath(QStringLiteral("%1_%2.mp4").arg(base).arg(suffix));
    }
    return path;
}

void CameraManager::startRecording()
{
    if (m_isRecording) {
        return;
    }
    const QString path = unusedPath(m_saveFolder, generateFileName());
    m_currentRecordingURL = path;
    // Listed until its library row is in, so a take cut off by a crash is finished at the next start.
    TakeJournal::shared().noteStarted(path, m_pendingAspectRatio.load());
    QDir().mkpath(QFileInfo(path).absolutePath());

    CaptureSession *session = m_captureSession.get();
    if (!session->isRunning()) {
        session->startRunning();
    }
    session->beginConfiguration();
    for (const auto &input : session->inputs()) {
        if (input->device().hasMediaType(MediaType::audio)) {
            session->removeInput(input);
            Log::line(QStringLiteral("🧹 移除旧的麦克风输入: ") + input->device().localizedName());
        }
    }
    if (auto microphone = m_deviceProvider->defaultAudioDevice()) {
        QString error;
        if (auto input = CaptureDeviceInput::make(*microphone, &error)) {
            if (session->canAddInput(input)) {
                session->addInput(input);
                Log::line(QStringLiteral("✅ 已（重新）添加麦克风输入: ") + microphone->localizedName());
            } else {
                Log::line(QStringLiteral("❌ 无法添加麦克风输入（canAddInput 返回 false）"));
            }
        } else {
            Log::line(QStringLiteral("❌ 创建麦克风输入失败: ") + error);
        }
    } else {
        Log::line(QStringLiteral("❌ 找不到默认麦克风设备"));
    }
    session->commitConfiguration();

    if (CaptureConnection *connection = m_videoOutput->connectionWithMediaType(MediaType::audio)) {
        connection->setEnabled(true);
        Log::line(QStringLiteral("✅ 录制前: 音频连接已启用 active=") + Log::flag(connection->isActive()));
    } else {
        Log::line(QStringLiteral("⚠️ 录制前: videoOutput 仍没有音频连接"));
    }

    std::weak_ptr<std::atomic<bool>> alive = m_alive;
    m_videoOutput->startRecording(path, [alive, this](const QString &file, const std::optional<QString> &error) {
        const auto token = alive.lock();
        if (token && *token) {
            fileOutputDidFinishRecording(file, error);
        }
    });
    MainQueue::post(this, [this] { setIsRecording(true); });
    Log::line(QStringLiteral("🎬 开始录制: ") + path);
}

void CameraManager::stopRecording()
{
    if (!m_isRecording) {
        return;
    }
    m_videoOutput->stopRecording();
    MainQueue::post(this, [this] { setIsRecording(false); });
}
