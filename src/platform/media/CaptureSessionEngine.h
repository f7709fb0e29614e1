#pragma once

#include "platform/media/CaptureDeviceFormats.h"
#include "platform/media/CaptureDeviceInput.h"
#include "platform/media/CaptureServiceThread.h"
#include "platform/media/GstPtr.h"
#include "platform/media/MicrophoneLevel.h"
#include "platform/media/MovieFileOutput.h"
#include "platform/media/SessionPreset.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

#include <gst/gst.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class CaptureAudioFeed;
class CaptureTimeline;
class PreviewSink;

// The GStreamer side of CaptureSession. Two locks, never held while calling
// out: `m_configMutex` guards the session's declared state (inputs, outputs,
// preset), `m_pipelineMutex` serialises changes to the pipeline. Streaming
// threads take neither; they only hand work to the service thread.
class CaptureSessionEngine {
public:
    // Its microphone is heard through the process-wide feed.
    CaptureSessionEngine();
    explicit CaptureSessionEngine(std::shared_ptr<CaptureAudioFeed> speechFeed);
    ~CaptureSessionEngine();

    void beginConfiguration();
    void commitConfiguration();

    QList<std::shared_ptr<CaptureDeviceInput>> inputs() const;
    bool canAddInput(const std::shared_ptr<CaptureDeviceInput> &input) const;
    void addInput(const std::shared_ptr<CaptureDeviceInput> &input);
    void removeInput(const std::shared_ptr<CaptureDeviceInput> &input);

    QList<MovieFileOutput *> outputs() const;
    bool canAddOutput(MovieFileOutput *output) const;
    void addOutput(MovieFileOutput *output);
    void removeOutput(MovieFileOutput *output);

    SessionPreset sessionPreset() const;
    bool canSetSessionPreset(SessionPreset preset) const;
    void setSessionPreset(SessionPreset preset);

    bool isRunning() const;
    void startRunning();

    QSize activeVideoSize() const;
    qint64 previewFrameCount() const { return m_previewFrames; }

    // Called by MovieFileOutput.
    void startRecording(MovieFileOutput *output, const QString &path,
        const MovieFileOutput::RecordingSettings &settings, MovieFileOutput::RecordingDelegate delegate,
        MovieFileOutput::StartDelegate didStart = {});
    void stopRecording(MovieFileOutput *output);
    bool isRecording(const MovieFileOutput *output) const;
    bool hasAudioConnection(const MovieFileOutput *output) const;
    bool isAudioFlowing() const;
    // When the take under way got its first picture, in seconds of the steady
    // clock; none before that picture or without a take.
    std::optional<double> firstPictureTime(const MovieFileOutput *output) const;
    std::optional<QRect> recordingCropRect(const MovieFileOutput *output) const;

    // The microphone's loudness, measured in its branch about 25 times a
    // second; the handler runs on a streaming thread and must only hand it on.
    using AudioLevelHandler = std::function<void(const MicrophoneLevel &)>;
    void setAudioLevelHandler(AudioLevelHandler handler);

    // Called by PreviewSink.
    void attachPreview(PreviewSink *sink);
    void detachPreview(PreviewSink *sink);
    void setPreviewTargetSize(QSize devicePixels);

    // The pipeline as built (a reference of the caller's own), for the
    // benchmarks that compare it with a bare one built the same way.
    GstPtr<GstElement> pipeline() const
    {
        std::lock_guard lock(m_pipelineMutex);
        return GstPtr<GstElement>::ref(m_pipeline.get());
    }

private:
    struct Branch {
        std::shared_ptr<CaptureDeviceInput> input;
        QString deviceID;
        GstCapsPtr requestedCaps;
        CaptureMode mode; // what the camera was asked for; unused for microphones
        std::vector<GstPtr<GstElement>> elements; // source first
        GstPtr<GstElement> tee;
        std::atomic<bool> failed = false;
    };
    struct Recording : std::enable_shared_from_this<Recording> {
        struct Link {
            GstPtr<GstElement> tee;
            GstPtr<GstPad> teePad;
            GstPtr<GstPad> sinkPad;
        };
        CaptureSessionEngine *engine = nullptr;
        MovieFileOutput *output = nullptr; // cleared when the output leaves the session
        QString path;
        MovieFileOutput::RecordingDelegate delegate;
        GstPtr<GstElement> bin;
        std::vector<Link> links;
        std::shared_ptr<CaptureTimeline> timeline;
        bool hasAudio = false;
        std::optional<double> cropAspectRatio;
        std::optional<QRect> cropRect; // of the camera picture, when it is cut
        bool closed = false; // cut off the tees
        bool finished = false;
        std::optional<QString> error; // why the take ended early; reported with the file
        std::atomic<qint64> videoFrames = 0;
        std::atomic<qint64> writtenBuffers = 0; // reaching the file sink: progress of the finish
    };

    void applyConfiguration();
    void ensurePipeline();
    void applyVideo(const std::shared_ptr<CaptureDeviceInput> &input, SessionPreset preset);
    void applyAudio(const std::shared_ptr<CaptureDeviceInput> &input);
    std::unique_ptr<Branch> buildVideoBranch(const std::shared_ptr<CaptureDeviceInput> &input, CaptureMode mode);
    std::unique_ptr<Branch> buildAudioBranch(const std::shared_ptr<CaptureDeviceInput> &input);
    bool buildPreviewChain(Branch &branch, GstElement *tee);
    bool buildSpeechChain(Branch &branch, GstElement *tee);
    static GstFlowReturn onSpeechSample(GstElement *appsink, gpointer engine);
    void publishMicrophone(const QString &reason = {});
    bool startBranch(Branch &branch);
    void dropBranch(std::unique_ptr<Branch> &branch);

    QSize recordingSourceSize() const;
    bool buildRecordingBin(Recording &recording, GstElement **videoEntry, GstElement **audioEntry);
    // By value: callers pass m_recording, which this resets.
    void endRecording(std::shared_ptr<Recording> recording, bool afterFirstFrame = false);
    void closeWhenFramed(const std::weak_ptr<Recording> &recording, int waitsLeft);
    void closeBranch(const std::shared_ptr<Recording> &recording);
    void watchFinish(const std::weak_ptr<Recording> &recording, qint64 lastWritten, int quietChecks);
    void endRecordingFedBy(const Branch &branch, const QString &reason);
    void finishRecording(const std::shared_ptr<Recording> &recording, std::optional<QString> error);
    void reportFailedStart(const QString &path, MovieFileOutput::RecordingDelegate delegate, const QString &error);

    static GstBusSyncReply onBusMessage(GstBus *bus, GstMessage *message, gpointer engine);
    void handleBusMessage(GstMessage *message);
    static GstFlowReturn onPreviewSample(GstElement *appsink, gpointer engine);
    static GstPadProbeReturn onPreviewCaps(GstPad *pad, GstPadProbeInfo *info, gpointer engine);
    void applyPreviewCaps();

    // Declared state.
    mutable std::mutex m_configMutex;
    int m_configurationDepth = 0;
    QList<std::shared_ptr<CaptureDeviceInput>> m_inputs;
    QList<MovieFileOutput *> m_outputs;
    SessionPreset m_preset = SessionPreset::high;
    std::atomic<bool> m_running = false;

    // The pipeline as built.
    mutable std::recursive_mutex m_pipelineMutex;
    GstPtr<GstElement> m_pipeline;
    std::unique_ptr<Branch> m_video;
    std::unique_ptr<Branch> m_audio;
    std::shared_ptr<Recording> m_recording; // the one being written
    std::vector<std::shared_ptr<Recording>> m_finishing; // stopped, waiting for the muxer

    mutable std::mutex m_previewMutex;
    std::vector<PreviewSink *> m_previewSinks;
    std::atomic<qint64> m_previewFrames = 0;
    // The preview's scaling, set from the main thread (new target) and from the
    // streaming thread (new camera size); the lock orders the two.
    std::mutex m_previewCapsMutex;
    GstPtr<GstElement> m_previewFilter;
    QSize m_previewSourceSize;
    QSize m_previewTargetSize;

    std::mutex m_levelMutex;
    AudioLevelHandler m_levelHandler;

    // The listener's ear on this session's microphone.
    std::shared_ptr<CaptureAudioFeed> m_speechFeed;
    uint64_t m_speechSession = 0;

    std::unique_ptr<CaptureServiceThread> m_service;
};
