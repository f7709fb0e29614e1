#include "app/RecordingSleepGuard.h"

#include "capture/CameraManager.h"
#include "platform/desktop/SleepInhibitor.h"

const QString RecordingSleepGuard::reason = QStringLiteral("正在录制视频");

RecordingSleepGuard::RecordingSleepGuard(CameraManager *cameraManager, SleepInhibitor *inhibitor, QObject *parent)
    : QObject(parent), m_inhibitor(inhibitor ? inhibitor : new SleepInhibitor)
{
    m_inhibitor->setParent(this);
    connect(cameraManager, &CameraManager::isRecordingChanged, this,
        [this, cameraManager] { follow(cameraManager->isRecording()); });
    follow(cameraManager->isRecording());
}

void RecordingSleepGuard::follow(bool isRecording)
{
    if (isRecording) {
        m_inhibitor->inhibit(reason);
    } else {
        m_inhibitor->release();
    }
}
