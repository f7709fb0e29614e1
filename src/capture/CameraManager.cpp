#include "capture/CameraManager.h"

#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/media/CaptureDeviceInput.h"
#include "platform/media/CaptureDeviceProvider.h"
#include "platform/media/CapturePermissions.h"
#include "platform/media/CaptureServiceThread.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/CaptureSessionEngine.h"
#include "platform/media/MovieFileOutput.h"
#include "platform/media/PreviewSink.h"
#include "platform/media/SystemCapturePermissions.h"
#include "platform/media/SystemDeviceProvider.h"

#include <QCoreApplication>

#include <algorithm>

CameraManager::CameraManager(QObject *parent)
    : CameraManager(SystemDeviceProvider::shared(),
        std::make_shared<SystemCapturePermissions>(SystemDeviceProvider::shared()), parent)
{
}

CameraManager::CameraManager(std::shared_ptr<CaptureDeviceProvider> deviceProvider,
    std::shared_ptr<CapturePermissions> permissions, QObject *parent)
    : QObject(parent), m_deviceProvider(std::move(deviceProvider)), m_permissions(std::move(permissions)),
      m_sessionWorker(std::make_unique<CaptureServiceThread>()), m_captureSession(std::make_shared<CaptureSession>()),
      m_videoOutput(std::make_shared<MovieFileOutput>()), m_saveFolder(initialSaveFolder()),
      m_microphoneLevel(new MicrophoneLevelMonitor(this))
{
    m_captureSession->engine()->setAudioLevelHandler(m_microphoneLevel->reporter());
    requestPermissions([manager = QPointer<CameraManager>(this)] {
        if (!manager) {
            return;
        }
        manager->discoverDevices();
        if (!manager->m_availableDevices.isEmpty()) {
            manager->setSelectedDevice(manager->m_availableDevices.first());
            manager->setupSession();
        }
        // A burst of monitor messages (one per device at start) makes one refresh.
        manager->m_deviceChangeHandler
            = manager->m_deviceProvider->addChangeHandler([manager = QPointer<CameraManager>(manager)] {
                  MainQueue::post(QCoreApplication::instance(), [manager] {
                      if (manager && !manager->m_isDeviceRefreshPosted) {
                          manager->m_isDeviceRefreshPosted = true;
                          MainQueue::after(0.2, manager, [manager] {
                              if (manager) {
                                  manager->m_isDeviceRefreshPosted = false;
                                  manager->devicesChanged();
                              }
                          });
                      }
                  });
              });
    });
}

CameraManager::~CameraManager()
{
    m_deviceProvider->removeChangeHandler(m_deviceChangeHandler);
    finishForQuit();
    {
        // Waits for a finished take being handed over on the capture thread.
        std::lock_guard lock(m_alive->mutex);
        m_alive->isAlive = false;
    }
    // Joins the worker; what it has not started yet is dropped.
    m_sessionWorker.reset();
}

void CameraManager::onSessionWorker(std::function<void()> task)
{
    m_sessionWorker->post(std::move(task));
}

void CameraManager::requestPermissions(std::function<void()> completion)
{
    // Both questions go out at once; each answer publishes on the main thread
    // before it counts down, so the completion sees both flags set.
    auto remaining = std::make_shared<std::atomic<int>>(2);
    auto shared = std::make_shared<std::function<void()>>(std::move(completion));
    QPointer<CameraManager> manager(this);
    auto answer = [remaining, shared, manager](bool isCamera, bool granted) {
        MainQueue::post(QCoreApplication::instance(), [manager, isCamera, granted] {
            if (manager) {
                isCamera ? manager->setHasCameraPermission(granted) : manager->setHasMicPermission(granted);
            }
            Log::line(
                (isCamera ? QStringLiteral("📹 摄像头权限: ") : QStringLiteral("🎤 麦克风权限: ")) + Log::flag(granted));
        });
        if (--*remaining == 0) {
            MainQueue::post(QCoreApplication::instance(), [shared] { (*shared)(); });
        }
    };
    m_permissions->requestAccess(MediaType::video, [answer](bool granted) { answer(true, granted); });
    m_permissions->requestAccess(MediaType::audio, [answer](bool granted) { answer(false, granted); });
}

void CameraManager::discoverDevices()
{
    setAvailableDevices(m_deviceProvider->videoDevices());
    setHasMicrophone(m_deviceProvider->defaultAudioDevice().has_value());
    Log::line(QStringLiteral("📷 发现 %1 个摄像头设备").arg(m_availableDevices.size()));
    for (const CaptureDevice &device : m_availableDevices) {
        Log::line(QStringLiteral("  - ") + device.localizedName());
    }
}

bool CameraManager::hasDevice(const QString &uniqueID) const
{
    return std::any_of(m_availableDevices.begin(), m_availableDevices.end(),
        [&](const CaptureDevice &device) { return device.uniqueID() == uniqueID; });
}

void CameraManager::devicesChanged()
{
    const QList<CaptureDevice> devices = m_deviceProvider->videoDevices();
    setHasMicrophone(m_deviceProvider->defaultAudioDevice().has_value());
    QStringList before;
    QStringList after;
    for (const CaptureDevice &device : m_availableDevices) {
        before << device.uniqueID();
    }
    for (const CaptureDevice &device : devices) {
        after << device.uniqueID();
    }
    if (before != after) {
        discoverDevices();
    }
    if (m_selectedDevice && !hasDevice(m_selectedDevice->uniqueID())) {
        Log::line(QStringLiteral("⚠️ 摄像头已断开: ") + m_selectedDevice->localizedName());
        if (isTakeUnderWay()) {
            // Its source may only stall, never fail: the take ends here with
            // what it has written.
            stopRecording();
            setLastTakeFailure(QStringLiteral("摄像头已断开，录制已结束并保存已录下的部分"));
        }
        if (m_availableDevices.isEmpty()) {
            setSelectedDevice(std::nullopt);
            setupSession();
        } else {
            selectDevice(m_availableDevices.first());
        }
    } else if (!m_selectedDevice && !m_availableDevices.isEmpty() && m_hasCameraPermission) {
        selectDevice(m_availableDevices.first());
    }
}

void CameraManager::selectDevice(const CaptureDevice &device)
{
    setSelectedDevice(device);
    setupSession();
}

void CameraManager::setupSession()
{
    // The worker gets its own references: it must not reach into the manager,
    // which may be gone by the time it runs.
    std::weak_ptr<Liveness> alive = m_alive;
    onSessionWorker([alive, session = m_captureSession, output = m_videoOutput, provider = m_deviceProvider,
                        selected = m_selectedDevice] {
        const auto token = alive.lock();
        if (!token || !token->isAlive) {
            return;
        }
        session->beginConfiguration();
        session->setSessionPreset(SessionPreset::high);
        for (const auto &input : session->inputs()) {
            session->removeInput(input);
        }
        for (MovieFileOutput *existing : session->outputs()) {
            session->removeOutput(existing);
        }

        if (selected) {
            QString error;
            if (auto input = CaptureDeviceInput::make(*selected, &error)) {
                if (session->canAddInput(input)) {
                    session->addInput(input);
                }
            } else {
                Log::line(QStringLiteral("❌ 无法添加视频输入: ") + error);
            }
        }

        if (auto microphone = provider->defaultAudioDevice()) {
            QString error;
            if (auto input = CaptureDeviceInput::make(*microphone, &error)) {
                if (session->canAddInput(input)) {
                    session->addInput(input);
                    Log::line(QStringLiteral("🎤 已添加音频输入: ") + microphone->localizedName());
                }
            } else {
                Log::line(QStringLiteral("❌ 无法添加音频输入: ") + error);
            }
        } else {
            Log::line(QStringLiteral("⚠️ 找不到默认音频设备"));
        }

        if (session->canAddOutput(output.get())) {
            session->addOutput(output.get());
        }
        session->commitConfiguration();

        if (!session->isRunning()) {
            session->startRunning();
        }

        if (CaptureConnection *connection = output->connectionWithMediaType(MediaType::audio)) {
            connection->setEnabled(true);
            Log::line(QStringLiteral("✅ 音频连接已启用 active=") + Log::flag(connection->isActive()));
        } else {
            Log::line(QStringLiteral("⚠️ videoOutput 没有音频连接"));
        }
    });
}

void CameraManager::configureResolution(VideoResolution resolution, VideoAspectRatio aspectRatio)
{
    m_pendingAspectRatio = aspectRatio;
    // Restarting the camera at a new size takes a while: the worker does it,
    // and the take that follows runs after it on the same worker.
    onSessionWorker([session = m_captureSession, resolution] {
        session->beginConfiguration();
        SessionPreset preset = SessionPreset::p1920x1080;
        switch (resolution.value()) {
        case VideoResolution::p480:
            preset = SessionPreset::p640x480;
            break;
        case VideoResolution::p720:
            preset = SessionPreset::p1280x720;
            break;
        case VideoResolution::p1080:
            preset = SessionPreset::p1920x1080;
            break;
        case VideoResolution::p2K:
            preset = session->canSetSessionPreset(SessionPreset::p3840x2160) ? SessionPreset::p3840x2160
                                                                             : SessionPreset::p1920x1080;
            break;
        }
        session->setSessionPreset(preset);
        session->commitConfiguration();
    });
}

void CameraManager::setPreviewLayer(PreviewSink *layer)
{
    m_previewLayer = layer;
    Q_EMIT previewLayerChanged();
}

void CameraManager::setIsRecording(bool value)
{
    m_isRecording = value;
    m_microphoneLevel->setRecording(value);
    Q_EMIT isRecordingChanged();
}

void CameraManager::setHasMicrophone(bool value)
{
    if (m_hasMicrophone == value) {
        return;
    }
    m_hasMicrophone = value;
    Q_EMIT hasMicrophoneChanged();
}

void CameraManager::setAvailableDevices(const QList<CaptureDevice> &devices)
{
    m_availableDevices = devices;
    Q_EMIT availableDevicesChanged();
}

void CameraManager::setSelectedDevice(const std::optional<CaptureDevice> &device)
{
    m_selectedDevice = device;
    Q_EMIT selectedDeviceChanged();
}

void CameraManager::setHasMicPermission(bool value)
{
    m_hasMicPermission = value;
    Q_EMIT hasMicPermissionChanged();
}

void CameraManager::setHasCameraPermission(bool value)
{
    m_hasCameraPermission = value;
    Q_EMIT hasCameraPermissionChanged();
}
