#pragma once

#include <QObject>
#include <QString>

class CameraManager;
class SleepInhibitor;

// Keeps the machine awake while the camera manager records: a screensaver or
// a suspend in the middle of a take would cut the take short.
class RecordingSleepGuard : public QObject {
    Q_OBJECT

public:
    // Takes the inhibitor as a child (one on the session bus unless handed
    // in); it lets go when the guard is destroyed.
    explicit RecordingSleepGuard(
        CameraManager *cameraManager, SleepInhibitor *inhibitor = nullptr, QObject *parent = nullptr);

    // What the desktop shows as the reason.
    static const QString reason;

private:
    void follow(bool isRecording);

    SleepInhibitor *m_inhibitor;
};
