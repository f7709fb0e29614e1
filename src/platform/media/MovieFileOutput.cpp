#include "platform/media/MovieFileOutput.h"

#include "platform/media/CaptureSessionEngine.h"

#include "platform/Log.h"

#include <QThreadPool>

MovieFileOutput::MovieFileOutput()
    : m_audioConnection([this] {
          CaptureSessionEngine *engine = m_engine.load();
          return engine && engine->isAudioFlowing();
      })
{
}

MovieFileOutput::~MovieFileOutput()
{
    if (CaptureSessionEngine *engine = m_engine.load()) {
        engine->removeOutput(this);
    }
}

void MovieFileOutput::startRecording(const QString &outputFilePath, RecordingDelegate delegate, StartDelegate didStart)
{
    startRecording(outputFilePath, RecordingSettings{}, std::move(delegate), std::move(didStart));
}

void MovieFileOutput::startRecording(const QString &outputFilePath, const RecordingSettings &settings,
    RecordingDelegate delegate, StartDelegate didStart)
{
    if (CaptureSessionEngine *engine = m_engine.load()) {
        engine->startRecording(this, outputFilePath, settings, std::move(delegate), std::move(didStart));
        return;
    }
    // Not in a session: nothing can be written, and the delegate hears so once.
    const QString error = notInSessionError();
    Log::line(QStringLiteral("❌ 无法开始录制: ") + error);
    if (delegate) {
        QThreadPool::globalInstance()->start(
            [outputFilePath, delegate = std::move(delegate), error] { delegate(outputFilePath, error); });
    }
}

QString MovieFileOutput::notInSessionError()
{
    return QStringLiteral("录制输出不在采集会话中");
}

void MovieFileOutput::stopRecording()
{
    if (CaptureSessionEngine *engine = m_engine.load()) {
        engine->stopRecording(this);
    }
}

bool MovieFileOutput::isRecording() const
{
    CaptureSessionEngine *engine = m_engine.load();
    return engine && engine->isRecording(this);
}

std::optional<double> MovieFileOutput::firstPictureTime() const
{
    CaptureSessionEngine *engine = m_engine.load();
    return engine ? engine->firstPictureTime(this) : std::nullopt;
}

std::optional<QRect> MovieFileOutput::recordingCropRect() const
{
    CaptureSessionEngine *engine = m_engine.load();
    return engine ? engine->recordingCropRect(this) : std::nullopt;
}

CaptureConnection *MovieFileOutput::connectionWithMediaType(MediaType mediaType)
{
    CaptureSessionEngine *engine = m_engine.load();
    if (mediaType != MediaType::audio || !engine || !engine->hasAudioConnection(this)) {
        return nullptr;
    }
    return &m_audioConnection;
}
