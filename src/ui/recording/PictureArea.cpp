#include "ui/recording/PictureArea.h"

#include "capture/CameraManager.h"
#include "ui/recording/AspectRatioCropOverlay.h"
#include "ui/recording/CameraPreviewView.h"
#include "ui/recording/FrameSyncedRepaint.h"
#include "ui/recording/PictureNotice.h"
#include "ui/recording/PulsingDot.h"
#include "ui/recording/RecordingIndicator.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterView.h"

#include <QPainterPath>
#include <QRegion>

#include <cmath>

PictureArea::PictureArea(CameraManager *cameraManager, RecordingViewState *state, QWidget *parent)
    : QWidget(parent), m_cameraManager(cameraManager), m_state(state), m_repaintSync(new FrameSyncedRepaint({}, this)),
      m_preview(new CameraPreviewView(cameraManager, this)),
      m_overlay(new AspectRatioCropOverlay(state->selectedAspectRatio().ratio(), true, this)),
      m_indicator(new RecordingIndicator(this)), m_cameraNotice(new PictureNotice(this)),
      m_failureNotice(new PictureNotice(this))
{
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(200, 150);

    connect(m_preview, &CameraPreviewView::frameRepaintScheduled, m_repaintSync, &FrameSyncedRepaint::frameArrived);
    m_indicator->pulse()->setRepaintSync(m_repaintSync);

    // Bottom to top.
    m_preview->lower();
    m_overlay->raise();
    m_indicator->raise();
    m_cameraNotice->raise();
    m_failureNotice->raise();

    connect(state, &RecordingViewState::selectedAspectRatioChanged, this, &PictureArea::updateFrame);
    connect(state, &RecordingViewState::isTeleprompterVisibleChanged, this, &PictureArea::updateTeleprompter);
    connect(state, &RecordingViewState::teleprompterTextChanged, this, &PictureArea::updateTeleprompter);
    if (cameraManager) {
        connect(cameraManager, &CameraManager::isRecordingChanged, this, &PictureArea::updateIndicator);
        for (auto signal : {&CameraManager::isRecordingChanged, &CameraManager::isStartingRecordingChanged}) {
            connect(cameraManager, signal, this, &PictureArea::updateFrame);
        }
        for (auto signal : {&CameraManager::selectedDeviceChanged, &CameraManager::lastTakeFailureChanged}) {
            connect(cameraManager, signal, this, &PictureArea::updateNotices);
        }
    }
    updateIndicator();
    updateNotices();
}

void PictureArea::updateFrame()
{
    // During a take the frame is the take's, whatever the choice says now.
    const std::optional<VideoAspectRatio> take
        = m_cameraManager ? m_cameraManager->takeAspectRatio() : std::optional<VideoAspectRatio>();
    m_overlay->setRatio(take.value_or(m_state->selectedAspectRatio()).ratio());
}

void PictureArea::updateNotices()
{
    if (m_cameraManager && !m_cameraManager->selectedDevice()) {
        m_cameraNotice->setMessage(QStringLiteral("未找到摄像头"), QStringLiteral("请连接摄像头，接好后会自动选用"));
    } else {
        m_cameraNotice->setMessage(QString());
    }
    const QString failure = m_cameraManager ? m_cameraManager->lastTakeFailure() : QString();
    m_failureNotice->setMessage(failure.isEmpty() ? QString() : QStringLiteral("❌ ") + failure);
    layoutLayers();
}

void PictureArea::setTeleprompterView(QWidget *view)
{
    if (view == m_teleprompter) {
        return;
    }
    delete m_teleprompter;
    m_teleprompter = view;
    if (view) {
        view->setParent(this);
        if (auto *teleprompter = qobject_cast<TeleprompterView *>(view)) {
            teleprompter->setRepaintSync(m_repaintSync);
        }
        // Over the overlay, under the indicator.
        view->stackUnder(m_indicator);
    }
    layoutLayers();
    updateTeleprompter();
}

bool PictureArea::isTeleprompterShown() const
{
    return m_teleprompter && !m_teleprompter->isHidden();
}

QRect PictureArea::teleprompterRect(QSize size)
{
    const int width = std::max(0, size.width() - 2 * teleprompterSideMargin);
    const int height = int(std::lround(size.height() * teleprompterHeightShare));
    return {teleprompterSideMargin, teleprompterTopMargin, width, height};
}

void PictureArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutLayers();
}

void PictureArea::layoutLayers()
{
    const QRect all = rect();
    m_preview->setGeometry(all);
    m_overlay->setGeometry(all);
    if (m_teleprompter) {
        const QRect box = teleprompterRect(size());
        m_teleprompter->setGeometry(box);
        // The box's content never shows past its rounded corners.
        QPainterPath rounded;
        rounded.addRoundedRect(
            QRectF(0, 0, box.width(), box.height()), teleprompterCornerRadius, teleprompterCornerRadius);
        m_teleprompter->setMask(QRegion(rounded.toFillPolygon().toPolygon()));
    }
    m_indicator->adjustSize();
    const QSize badge = m_indicator->sizeHint();
    m_indicator->setGeometry(
        all.width() - indicatorMargin - badge.width(), indicatorMargin, badge.width(), badge.height());
    // Centred; the failure near the bottom, clear of the teleprompter box.
    const int noticeWidth = std::max(0, std::min(all.width() - 2 * indicatorMargin, 560));
    for (PictureNotice *notice : {m_cameraNotice, m_failureNotice}) {
        const int height
            = notice->hasHeightForWidth() ? notice->heightForWidth(noticeWidth) : notice->sizeHint().height();
        const int width = std::min(noticeWidth, notice->sizeHint().width());
        const int top
            = notice == m_cameraNotice ? (all.height() - height) / 2 : all.height() - indicatorMargin - height;
        notice->setGeometry((all.width() - width) / 2, top, width, height);
    }
}

void PictureArea::updateTeleprompter()
{
    if (m_teleprompter) {
        m_teleprompter->setVisible(m_state->isTeleprompterVisible() && !m_state->teleprompterText().isEmpty());
    }
}

void PictureArea::updateIndicator()
{
    m_indicator->setVisible(m_cameraManager && m_cameraManager->isRecording());
    m_indicator->raise();
}
