#include "ui/recording/CameraPreviewView.h"

#include "capture/CameraManager.h"
#include "platform/media/PreviewSink.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

CameraPreviewView::CameraPreviewView(CameraManager *cameraManager, QWidget *parent)
    : QWidget(parent), m_cameraManager(cameraManager)
{
    // Every pixel is painted, by the picture or black: nothing beneath needs drawing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setAccessibleName(QStringLiteral("摄像头画面"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    make();
    if (cameraManager) {
        // Any published change of the manager is an update: the layer follows the view's size.
        for (auto signal : {&CameraManager::isRecordingChanged, &CameraManager::availableDevicesChanged,
                 &CameraManager::selectedDeviceChanged, &CameraManager::hasMicPermissionChanged,
                 &CameraManager::hasCameraPermissionChanged, &CameraManager::saveFolderChanged}) {
            connect(cameraManager, signal, this, &CameraPreviewView::updateLayer);
        }
        connect(cameraManager, &CameraManager::previewLayerChanged, this, &CameraPreviewView::make);
    }
}

void CameraPreviewView::make()
{
    if (!m_cameraManager) {
        return;
    }
    PreviewSink *layer = m_cameraManager->previewLayer();
    if (!layer) {
        layer = new PreviewSink(m_cameraManager->captureSession(), m_cameraManager);
        m_layer = layer;
        m_cameraManager->setPreviewLayer(layer); // re-enters make(), which finds it in place
    }
    if (m_layer == layer && layer->host() == this) {
        return;
    }
    if (m_layer) {
        disconnect(m_layer, nullptr, this, nullptr);
    }
    m_layer = layer;
    layer->setHost(this);
    connect(layer, &PreviewSink::frameReady, this, [this] {
        if (isVisible()) {
            update();
            Q_EMIT frameRepaintScheduled();
        }
    });
    connect(layer, &PreviewSink::hostChanged, this, [this] { update(); });
    updateLayer();
}

bool CameraPreviewView::isShowingLayer() const
{
    return m_layer && m_layer->host() == this;
}

QSize CameraPreviewView::devicePixelSize() const
{
    const qreal ratio = devicePixelRatioF();
    return {int(std::lround(width() * ratio)), int(std::lround(height() * ratio))};
}

void CameraPreviewView::setMirrored(bool mirrored)
{
    if (m_isMirrored != mirrored) {
        m_isMirrored = mirrored;
        update();
    }
}

void CameraPreviewView::updateLayer()
{
    if (isShowingLayer()) {
        m_layer->setTargetSize(devicePixelSize());
    }
}

void CameraPreviewView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateLayer();
}

void CameraPreviewView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateLayer();
}

void CameraPreviewView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // In device pixels, so a frame of the view's size is copied 1:1.
    const qreal ratio = devicePixelRatioF();
    painter.scale(1 / ratio, 1 / ratio);
    const QRect target(QPoint(0, 0), devicePixelSize());
    const PreviewSink::Frame frame = isShowingLayer() ? m_layer->latestNumberedFrame() : PreviewSink::Frame();
    const QImage &image = frame.image;
    if (image.isNull() || target.isEmpty()) {
        painter.fillRect(target, Qt::black);
        return;
    }
    if (m_isMirrored) {
        painter.translate(target.width(), 0);
        painter.scale(-1, 1);
    }
    // Aspect-fill: the centred part of the frame with the view's proportions.
    const double scale = std::max(double(target.width()) / image.width(), double(target.height()) / image.height());
    if (std::abs(scale - 1) < 1e-9) {
        // The frame covers the view at one pixel per pixel: a plain copy from
        // a whole-pixel offset, the fastest way there is.
        const QPoint offset((image.width() - target.width()) / 2, (image.height() - target.height()) / 2);
        painter.drawImage(QPoint(0, 0), image, QRect(offset, target.size()));
    } else {
        // Between a resize and the pipeline catching up: scaled here, for a few frames.
        const QSizeF shown(target.width() / scale, target.height() / scale);
        const QRectF source(QPointF((image.width() - shown.width()) / 2, (image.height() - shown.height()) / 2), shown);
        painter.drawImage(QRectF(target), image, source);
    }

    if (frame.number != m_lastFrameNumber) {
        if (m_lastFrameNumber > 0 && frame.number > m_lastFrameNumber + 1) {
            m_framesSkipped += frame.number - m_lastFrameNumber - 1;
        }
        m_lastFrameNumber = frame.number;
        ++m_framesShown;
    }
}
