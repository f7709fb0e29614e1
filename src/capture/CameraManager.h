#pragma once

#include "capture/MicrophoneLevelMonitor.h"
#include "capture/TakeProcessingQueue.h"
#include "capture/VoiceCommandTrim.h"
#include "library/VideoAspectRatio.h"
#include "library/VideoResolution.h"
#include "platform/media/CaptureDevice.h"
#include "platform/media/PreviewSink.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class CaptureDeviceProvider;
class CapturePermissions;
class CaptureServiceThread;
class CaptureSession;
class ExportSession;
class MovieFileOutput;

// The one camera and recording controller of a run. Screens read its
// properties and call its operations; it never includes a widget.
class CameraManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(bool isStartingRecording READ isStartingRecording NOTIFY isStartingRecordingChanged)
    Q_PROPERTY(bool hasMicrophone READ hasMicrophone NOTIFY hasMicrophoneChanged)
    Q_PROPERTY(QString lastTakeFailure READ lastTakeFailure NOTIFY lastTakeFailureChanged)
    Q_PROPERTY(QList<CaptureDevice> availableDevices READ availableDevices NOTIFY availableDevicesChanged)
    Q_PROPERTY(std::optional<CaptureDevice> selectedDevice READ selectedDevice NOTIFY selectedDeviceChanged)
    Q_PROPERTY(PreviewSink *previewLayer READ previewLayer WRITE setPreviewLayer NOTIFY previewLayerChanged)
    Q_PROPERTY(bool hasMicPermission READ hasMicPermission NOTIFY hasMicPermissionChanged)
    Q_PROPERTY(bool hasCameraPermission READ hasCameraPermission NOTIFY hasCameraPermissionChanged)
    Q_PROPERTY(QString saveFolder READ saveFolder WRITE setSaveFolder NOTIFY saveFolderChanged)
    Q_PROPERTY(std::optional<double> recordingStartedAt READ recordingStartedAt NOTIFY recordingStartedAtChanged)
    Q_PROPERTY(MicrophoneLevelMonitor *microphoneLevel READ microphoneLevel CONSTANT)

public:
    // The machine's devices and permissions.
    explicit CameraManager(QObject *parent = nullptr);
    // Devices and permission answers handed in (tests; an empty provider finds no camera).
    CameraManager(std::shared_ptr<CaptureDeviceProvider> deviceProvider,
        std::shared_ptr<CapturePermissions> permissions, QObject *parent = nullptr);
    ~CameraManager() override;

    CaptureSession *captureSession() const { return m_captureSession.get(); }
    bool isRecording() const { return m_isRecording; }
    // From a start until the take writes, or is stopped or refused: the
    // camera restarts and the microphone is put back meanwhile.
    bool isStartingRecording() const { return m_isStartingRecording; }
    // A take starting or under way: what decides it is fixed.
    bool isTakeUnderWay() const { return m_isStartingRecording || m_isRecording; }
    // Whether the system has a microphone; without one takes record picture only.
    bool hasMicrophone() const { return m_hasMicrophone; }
    // Why the latest take ended or failed by itself, for the screen; empty
    // when it did not, and again once the next take starts.
    QString lastTakeFailure() const { return m_lastTakeFailure; }
    QList<CaptureDevice> availableDevices() const { return m_availableDevices; }
    std::optional<CaptureDevice> selectedDevice() const { return m_selectedDevice; }
    // Absent until the first preview view makes one for captureSession()
    // (new PreviewSink(captureSession(), manager)) and stores it here.
    PreviewSink *previewLayer() const { return m_previewLayer; }
    void setPreviewLayer(PreviewSink *layer);
    bool hasMicPermission() const { return m_hasMicPermission; }
    bool hasCameraPermission() const { return m_hasCameraPermission; }
    QString saveFolder() const { return m_saveFolder; }
    void setSaveFolder(const QString &folder);
    // The loudness of the microphone that takes record, for the meter.
    MicrophoneLevelMonitor *microphoneLevel() const { return m_microphoneLevel; }

    // When the take under way wrote its first picture, the take's time 0, in
    // seconds on the steady clock (std::chrono::steady_clock, as the listener's
    // clock); absent before that and once the take has ended.
    std::optional<double> recordingStartedAt() const { return m_recordingStartedAt; }

    // Ratio the next take is started with (and then cropped to); safe from any thread.
    VideoAspectRatio pendingAspectRatio() const { return m_pendingAspectRatio.load(); }
    // The ratio of the take starting or under way, which the frame shows;
    // none between takes.
    std::optional<VideoAspectRatio> takeAspectRatio() const;
    // Path of the recording most recently started.
    std::optional<QString> currentRecordingURL() const { return m_currentRecordingURL; }

    // These return at once; their session work runs on the manager's worker in
    // call order. `isRecording` becomes true once the output writes the take,
    // and false at once on a stop, which also ends a take still starting.
    void selectDevice(const CaptureDevice &device);
    void configureResolution(VideoResolution resolution, VideoAspectRatio aspectRatio);
    void startRecording();
    void stopRecording();
    // stopRecording() for a spoken stop phrase that began at `phraseStartTime`
    // (seconds of the steady clock; none when the listener could not tell):
    // the phrase is then cut from the end of the take, unless the option is off.
    void stopRecordingByVoice(std::optional<double> phraseStartTime);
    void chooseSaveFolder();

    // For the shell to call when the program quits (the destructor calls it
    // too): a take under way is ended properly and the call waits, bounded,
    // until its file is complete. The take is left for processing at the next
    // start, not processed now. Main thread.
    void finishForQuit();

    // Still picture of a video at 0.5 s, upright, fitted into 320 x 320.
    // Synchronous; any thread.
    static std::optional<QImage> generateThumbnail(const QString &videoPath);

    // Recording delegate: the capture layer reports a finished file here, on a
    // thread of its own. `errorDescription` is set when the recording failed;
    // `aspectRatio` is the one the take was started with. The crop, thumbnail
    // and library row follow on a worker of their own.
    void fileOutputDidFinishRecording(
        const QString &outputFilePath, const std::optional<QString> &errorDescription, VideoAspectRatio aspectRatio);

    // Tests hold a finished take's report back and deliver it later, on any
    // thread. Applies to takes started after the call.
    using FinishedReportGate = std::function<void(std::function<void()> deliver)>;
    void setFinishedReportGate(FinishedReportGate gate) { m_finishedReportGate = std::move(gate); }

    // Finishes the takes that an earlier run left unfinished (quit, crash,
    // kill, power loss) as if they had just been recorded. Once, at start-up.
    void processUnfinishedTakes();
    // For a quit: stops the crop under way and drops the takes waiting, with a
    // bounded wait; the journal keeps them for the next start.
    void cancelPostProcessing();
    // Waits until every take handed over so far is processed (tests).
    bool waitForPostProcessing(int timeoutMs) const;

Q_SIGNALS:
    void isRecordingChanged();
    void isStartingRecordingChanged();
    void hasMicrophoneChanged();
    void lastTakeFailureChanged();
    void availableDevicesChanged();
    void selectedDeviceChanged();
    void previewLayerChanged();
    void hasMicPermissionChanged();
    void hasCameraPermissionChanged();
    void saveFolderChanged();
    void recordingStartedAtChanged();

private:
    void requestPermissions(std::function<void()> completion);
    void discoverDevices();
    // A camera or microphone came or went: the lists follow, a first camera
    // is chosen when none was, and a take whose camera went ends.
    void devicesChanged();
    bool hasDevice(const QString &uniqueID) const;
    void setupSession();
    // The session is changed only on this manager's one worker, in the order
    // of the calls, so two changes never overlap and the main thread never
    // waits for a camera.
    void onSessionWorker(std::function<void()> task);
    void takeStarted(quint64 take, bool started);
    void takeFinished(quint64 take, const std::optional<QString> &errorDescription);
    void takeWroteFirstPicture(quint64 take, double at);
    void setRecordingStartedAt(std::optional<double> at);
    QString generateFileName() const;
    static QString initialSaveFolder();
    static QString unusedPath(const QString &folder, const QString &fileName);

    void setIsRecording(bool value);
    void setHasMicrophone(bool value);
    void setLastTakeFailure(const QString &failure);
    void setAvailableDevices(const QList<CaptureDevice> &devices);
    void setSelectedDevice(const std::optional<CaptureDevice> &device);
    void setHasMicPermission(bool value);
    void setHasCameraPermission(bool value);

    std::shared_ptr<CaptureDeviceProvider> m_deviceProvider;
    std::shared_ptr<CapturePermissions> m_permissions;
    // Deferred work and the recording delegate hold this weakly. The
    // destructor clears it under its lock before any member goes, so a thread
    // that holds the lock and finds it set may use the manager until it lets go.
    struct Liveness {
        std::mutex mutex;
        std::atomic<bool> isAlive = true;
    };
    std::shared_ptr<Liveness> m_alive = std::make_shared<Liveness>();
    // Finished takes go to post-processing while true; false from the quit on.
    std::shared_ptr<std::atomic<bool>> m_processesTakes = std::make_shared<std::atomic<bool>>(true);
    std::unique_ptr<CaptureServiceThread> m_sessionWorker;

    // The take as the main thread knows it: asked for, written, or none.
    enum class TakeState { idle, starting, recording };
    TakeState m_takeState = TakeState::idle;
    // Publishes whether a take is starting.
    void setTakeState(TakeState state);
    bool m_stopRequested = false;
    std::optional<VoiceCommandTrim::Stop> m_voiceStop; // for the stop under way
    quint64 m_take = 0; // counts the takes started
    struct TakeProgress {
        std::atomic<bool> written = false; // the output took the take
        std::atomic<bool> finished = false; // and its file is complete
    };
    std::shared_ptr<TakeProgress> m_takeProgress;

    std::shared_ptr<CaptureSession> m_captureSession;
    bool m_isRecording = false;
    bool m_isStartingRecording = false;
    bool m_hasMicrophone = false;
    QString m_lastTakeFailure;
    int m_deviceChangeHandler = 0;
    bool m_isDeviceRefreshPosted = false;
    QList<CaptureDevice> m_availableDevices;
    std::optional<CaptureDevice> m_selectedDevice;
    QPointer<PreviewSink> m_previewLayer;
    bool m_hasMicPermission = false;
    bool m_hasCameraPermission = false;
    std::shared_ptr<MovieFileOutput> m_videoOutput;
    std::optional<QString> m_currentRecordingURL;
    std::atomic<VideoAspectRatio> m_pendingAspectRatio{VideoAspectRatio::ratio16x9};
    VideoAspectRatio m_takeAspectRatio = VideoAspectRatio::ratio16x9; // of the latest take
    FinishedReportGate m_finishedReportGate;
    QString m_saveFolder;
    std::optional<double> m_recordingStartedAt;
    MicrophoneLevelMonitor *m_microphoneLevel;

private:
    // Post-recording processing, in CameraManagerPostProcessing.cpp. A take is
    // recorded cut to its ratio already (`isCropped`); what is left is a remux
    // into the final file, which completes with the final path, or none when
    // the recorded file stays. It returns the export it started, or none when
    // it completed at once.
    using CropCompletion = std::function<void(const std::optional<QString> &croppedPath)>;
    // `keptDuration` also cuts the end off (a voice stop), in the same remux.
    static std::shared_ptr<ExportSession> cropVideoToAspect(const QString &inputPath, double targetRatio,
        bool isCropped, std::optional<double> keptDuration, CropCompletion completion);
    static void saveVideoRecord(const QString &videoPath, const QPointer<CameraManager> &manager);
    void processRecording(const QString &path, double targetRatio, bool isCropped, std::optional<double> keptDuration);

    TakeProcessingQueue m_takeProcessing;
};
