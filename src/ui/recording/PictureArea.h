#pragma once

#include <QPointer>
#include <QWidget>

class AspectRatioCropOverlay;
class CameraManager;
class CameraPreviewView;
class FrameSyncedRepaint;
class PictureNotice;
class RecordingIndicator;
class RecordingViewState;

// The upper part of the recording screen, layers bottom to top: the camera
// preview on black, the framing overlay of the chosen ratio, the teleprompter
// box, and while recording the "录制中" indicator in the top right corner.
class PictureArea : public QWidget {
    Q_OBJECT

public:
    static constexpr int teleprompterSideMargin = 20;
    static constexpr int teleprompterTopMargin = 16;
    static constexpr double teleprompterHeightShare = 0.55;
    static constexpr int teleprompterCornerRadius = 12;
    static constexpr int indicatorMargin = 16;

    PictureArea(CameraManager *cameraManager, RecordingViewState *state, QWidget *parent = nullptr);

    // Takes the teleprompter view into the box (and owns it); shown only while
    // the teleprompter is on and has text.
    void setTeleprompterView(QWidget *view);
    QWidget *teleprompterView() const { return m_teleprompter; }
    bool isTeleprompterShown() const;

    // Where the box goes within an area of `size`.
    static QRect teleprompterRect(QSize size);

    CameraPreviewView *preview() const { return m_preview; }
    AspectRatioCropOverlay *overlay() const { return m_overlay; }
    RecordingIndicator *indicator() const { return m_indicator; }
    // "未找到摄像头" in the middle while there is no camera to record from.
    PictureNotice *cameraNotice() const { return m_cameraNotice; }
    // Why the latest take ended by itself, at the bottom, until the next take.
    PictureNotice *failureNotice() const { return m_failureNotice; }
    // Keeps the animated layers' repaints in step with the camera's frames.
    FrameSyncedRepaint *repaintSync() const { return m_repaintSync; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutLayers();
    void updateTeleprompter();
    void updateIndicator();
    void updateFrame();
    void updateNotices();

    QPointer<CameraManager> m_cameraManager;
    RecordingViewState *m_state;
    FrameSyncedRepaint *m_repaintSync;
    CameraPreviewView *m_preview;
    AspectRatioCropOverlay *m_overlay;
    QPointer<QWidget> m_teleprompter;
    RecordingIndicator *m_indicator;
    PictureNotice *m_cameraNotice;
    PictureNotice *m_failureNotice;
};
