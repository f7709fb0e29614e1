#include "platform/media/CaptureSession.h"

#include "platform/media/CaptureSessionEngine.h"

CaptureSession::CaptureSession() : m_engine(std::make_shared<CaptureSessionEngine>())
{
}

CaptureSession::~CaptureSession() = default;

void CaptureSession::beginConfiguration()
{
    m_engine->beginConfiguration();
}

void CaptureSession::commitConfiguration()
{
    m_engine->commitConfiguration();
}

QList<std::shared_ptr<CaptureDeviceInput>> CaptureSession::inputs() const
{
    return m_engine->inputs();
}

bool CaptureSession::canAddInput(const std::shared_ptr<CaptureDeviceInput> &input) const
{
    return m_engine->canAddInput(input);
}

void CaptureSession::addInput(const std::shared_ptr<CaptureDeviceInput> &input)
{
    m_engine->addInput(input);
}

void CaptureSession::removeInput(const std::shared_ptr<CaptureDeviceInput> &input)
{
    m_engine->removeInput(input);
}

QList<MovieFileOutput *> CaptureSession::outputs() const
{
    return m_engine->outputs();
}

bool CaptureSession::canAddOutput(MovieFileOutput *output) const
{
    return m_engine->canAddOutput(output);
}

void CaptureSession::addOutput(MovieFileOutput *output)
{
    m_engine->addOutput(output);
}

void CaptureSession::removeOutput(MovieFileOutput *output)
{
    m_engine->removeOutput(output);
}

SessionPreset CaptureSession::sessionPreset() const
{
    return m_engine->sessionPreset();
}

bool CaptureSession::canSetSessionPreset(SessionPreset preset) const
{
    return m_engine->canSetSessionPreset(preset);
}

void CaptureSession::setSessionPreset(SessionPreset preset)
{
    m_engine->setSessionPreset(preset);
}

bool CaptureSession::isRunning() const
{
    return m_engine->isRunning();
}

void CaptureSession::startRunning()
{
    m_engine->startRunning();
}

QSize CaptureSession::activeVideoSize() const
{
    return m_engine->activeVideoSize();
}

qint64 CaptureSession::previewFrameCount() const
{
    return m_engine->previewFrameCount();
}
