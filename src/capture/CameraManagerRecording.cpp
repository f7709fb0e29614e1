#include "capture/CameraManager.h"

#include "capture/TakeJournal.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/SteadyClock.h"
#include "platform/desktop/AppPaths.h"
#include "platform/media/CaptureDeviceInput.h"
#include "platform/media/CaptureDeviceProvider.h"
#include "platform/media/CaptureServiceThread.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/MovieFileOutput.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QThread>

#include <chrono>

namespace {
const QString saveFolderKey = QStringLiteral("VeltroscopeSaveFolder");

// A quit waits this long at most for the take's file to be complete.
constexpr int quitWaitMs = 15000;
} // namespace

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
    if (m_isRecording || m_takeState != TakeState::idle) {
        return;
    }
    const QString path = unusedPath(m_saveFolder, generateFileName());
    m_currentRecordingURL = path;
    // Fixed now and carried with the take: a later take's choice must not
    // decide how this one is cropped.
    const VideoAspectRatio aspectRatio = m_pendingAspectRatio.load();
    m_takeAspectRatio = aspectRatio;
    // Listed until its library row is in, so a take cut off by a crash is finished at the next start.
    TakeJournal::shared().noteStarted(path, aspectRatio);
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_stopRequested = false;
    setLastTakeFailure(QString());
    setTakeState(TakeState::starting);
    const quint64 take = ++m_take;
    auto progress = std::make_shared<TakeProgress>();
    m_takeProgress = progress;

    // The session work runs on the worker, after any camera change asked for
    // before (a new resolution), so the take records from the camera as set.
    const QPointer<CameraManager> manager(this);
    std::weak_ptr<Liveness> alive = m_alive;
    onSessionWorker(
        [session = m_captureSession, output = m_videoOutput, provider = m_deviceProvider, path, take, progress, manager,
            alive, processes = m_processesTakes, self = this, aspectRatio, gate = m_finishedReportGate] {
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
            if (auto microphone = provider->defaultAudioDevice()) {
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

            if (CaptureConnection *connection = output->connectionWithMediaType(MediaType::audio)) {
                connection->setEnabled(true);
                Log::line(QStringLiteral("✅ 录制前: 音频连接已启用 active=") + Log::flag(connection->isActive()));
            } else {
                Log::line(QStringLiteral("⚠️ 录制前: videoOutput 仍没有音频连接"));
            }

            output->startRecording(
                path, MovieFileOutput::RecordingSettings{aspectRatio.ratio()},
                [manager, alive, processes, self, take, progress, aspectRatio, gate](
                    const QString &file, const std::optional<QString> &error) {
                    progress->finished = true;
                    MainQueue::post(QCoreApplication::instance(), [manager, take, error] {
                        if (manager) {
                            manager->takeFinished(take, error);
                        }
                    });
                    auto report = [alive, processes, self, file, error, aspectRatio] {
                        // Held through the hand-over, so the manager cannot go meanwhile.
                        if (const auto token = alive.lock()) {
                            std::lock_guard lock(token->mutex);
                            if (token->isAlive && *processes) {
                                self->fileOutputDidFinishRecording(file, error, aspectRatio);
                            }
                        }
                    };
                    if (gate) {
                        gate(std::move(report));
                    } else {
                        report();
                    }
                },
                [manager, take] {
                    // Stamped here, not when the main thread gets to it.
                    const double at = SteadyClock::now();
                    MainQueue::post(QCoreApplication::instance(), [manager, take, at] {
                        if (manager) {
                            manager->takeWroteFirstPicture(take, at);
                        }
                    });
                });
            // A start the capture layer refused has logged why; the screen must not
            // show a recording that writes nothing.
            const bool started = output->isRecording();
            progress->written = started;
            if (started) {
                // The stop comes after this on the same worker: the take is still the one under way.
                if (output->recordingCropRect()) {
                    TakeJournal::shared().noteCropped(path);
                }
                Log::line(QStringLiteral("🎬 开始录制: ") + path);
            }
            MainQueue::post(QCoreApplication::instance(), [manager, take, started] {
                if (manager) {
                    manager->takeStarted(take, started);
                }
            });
        });
}

void CameraManager::takeStarted(quint64 take, bool started)
{
    if (take != m_take || m_takeState != TakeState::starting) {
        return;
    }
    if (!started) {
        // The capture layer has logged why; the screen says it too.
        setTakeState(TakeState::idle);
        setRecordingStartedAt(std::nullopt);
        setLastTakeFailure(QStringLiteral("无法开始录制"));
        return;
    }
    setTakeState(TakeState::recording);
    setIsRecording(true);
}

void CameraManager::takeFinished(quint64 take, const std::optional<QString> &errorDescription)
{
    if (take != m_take || m_takeState == TakeState::idle) {
        return;
    }
    // The take ended by itself: camera gone, disk full, file not writable. A
    // start that was refused has said why already.
    setTakeState(TakeState::idle);
    setRecordingStartedAt(std::nullopt);
    if (!m_stopRequested && m_takeProgress && m_takeProgress->written) {
        const QString reason = errorDescription.value_or(QStringLiteral("unknown"));
        Log::line(QStringLiteral("❌ 录制意外结束: ") + reason);
        setLastTakeFailure(QStringLiteral("录制意外结束: ") + reason);
    }
    if (m_isRecording) {
        setIsRecording(false);
    }
}

void CameraManager::takeWroteFirstPicture(quint64 take, double at)
{
    // The first picture may come before the start is reported.
    if (take != m_take || m_takeState == TakeState::idle || m_stopRequested) {
        return;
    }
    setRecordingStartedAt(at);
}

void CameraManager::setTakeState(TakeState state)
{
    m_takeState = state;
    const bool starting = state == TakeState::starting;
    if (m_isStartingRecording != starting) {
        m_isStartingRecording = starting;
        Q_EMIT isStartingRecordingChanged();
    }
}

void CameraManager::setLastTakeFailure(const QString &failure)
{
    if (m_lastTakeFailure == failure) {
        return;
    }
    m_lastTakeFailure = failure;
    Q_EMIT lastTakeFailureChanged();
}

std::optional<VideoAspectRatio> CameraManager::takeAspectRatio() const
{
    if (!isTakeUnderWay()) {
        return std::nullopt;
    }
    return m_takeAspectRatio;
}

void CameraManager::setRecordingStartedAt(std::optional<double> at)
{
    if (m_recordingStartedAt == at) {
        return;
    }
    m_recordingStartedAt = at;
    Q_EMIT recordingStartedAtChanged();
}

void CameraManager::stopRecording()
{
    if (m_takeState == TakeState::idle) {
        return;
    }
    m_stopRequested = true;
    setRecordingStartedAt(std::nullopt);
    // The cut is noted before the file can finish, so processing finds it.
    onSessionWorker([output = m_videoOutput, voiceStop = std::exchange(m_voiceStop, std::nullopt),
                        path = m_currentRecordingURL.value_or(QString())] {
        if (voiceStop) {
            VoiceCommandTrim::noteCut(*voiceStop, output->firstPictureTime(), path);
        }
        output->stopRecording();
    });
    // A take still starting ends here too: the stop follows its start on the
    // worker, and its late report finds the state moved on.
    const bool wasRecording = m_takeState == TakeState::recording;
    setTakeState(TakeState::idle);
    if (wasRecording) {
        MainQueue::post(this, [this] { setIsRecording(false); });
    }
}

void CameraManager::stopRecordingByVoice(std::optional<double> phraseStartTime)
{
    if (m_takeState == TakeState::idle) {
        return;
    }
    if (VoiceCommandTrim::isEnabled()) {
        const double now = SteadyClock::now();
        m_voiceStop = VoiceCommandTrim::Stop{phraseStartTime, now};
    }
    stopRecording();
}

void CameraManager::finishForQuit()
{
    *m_processesTakes = false;
    stopRecording();
    const std::shared_ptr<TakeProgress> progress = m_takeProgress;
    if (!progress || progress->finished) {
        return;
    }
    QElapsedTimer waited;
    waited.start();
    const bool workerDone = m_sessionWorker->drain(std::chrono::milliseconds(quitWaitMs));
    while (workerDone && progress->written && !progress->finished && waited.elapsed() < quitWaitMs) {
        QThread::msleep(10);
    }
    if (!workerDone || (progress->written && !progress->finished)) {
        Log::line(
            QStringLiteral("⚠️ 退出时录制未能及时结束: ") + m_currentRecordingURL.value_or(QString()));
    }
}
