#pragma once

#include "library/VideoAspectRatio.h"
#include "library/VideoResolution.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <optional>

// The one camera and recording controller of a run. Screens read its
// properties and call its operations; it never includes a widget.
class CameraManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(QString saveFolder READ saveFolder WRITE setSaveFolder NOTIFY saveFolderChanged)

public:
    explicit CameraManager(QObject *parent = nullptr);
    ~CameraManager() override;

    bool isRecording() const { return m_isRecording; }
    QString saveFolder() const { return m_saveFolder; }
    void setSaveFolder(const QString &folder);

    void configureResolution(VideoResolution resolution, VideoAspectRatio aspectRatio);
    void startRecording();
    void stopRecording();
    void chooseSaveFolder();

    // Still picture of a video at 0.5 s, upright, fitted into 320 x 320.
    // Synchronous; any thread.
    static std::optional<QImage> generateThumbnail(const QString &videoPath);

    // Recording delegate: the capture layer reports a finished file here, on a
    // thread of its own. `errorDescription` is set when the recording failed.
    void fileOutputDidFinishRecording(const QString &outputFilePath, const std::optional<QString> &errorDescription);

Q_SIGNALS:
    void isRecordingChanged();
    void saveFolderChanged();

private:
    bool m_isRecording = false;
    QString m_saveFolder;
    VideoAspectRatio m_pendingAspectRatio = VideoAspectRatio::ratio16x9;
};
