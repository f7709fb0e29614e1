#pragma once

#include <QPointer>
#include <QWidget>

class CameraManager;
class PreviewSink;

// The live camera picture, aspect-filled: scaled to cover the view with its
// proportions kept, the overflow cut off, black until frames arrive. It shows
// the camera manager's one preview layer, making it if nobody has yet; a view
// made later takes the layer over. The layer is told the view's size in device
// pixels, so frames arrive ready to be copied to the screen as they are.
class CameraPreviewView : public QWidget {
    Q_OBJECT

public:
    explicit CameraPreviewView(CameraManager *cameraManager, QWidget *parent = nullptr);

    PreviewSink *previewLayer() const { return m_layer; }
    bool isShowingLayer() const;
    qint64 framesShown() const { return m_framesShown; }
    // Frames that arrived while an earlier one was still waiting to be drawn.
    qint64 framesSkipped() const { return m_framesSkipped; }

    // The view's size in device pixels, as the layer is told it.
    QSize devicePixelSize() const;

    // Left and right swapped when drawn, as in a mirror; the frames, and so
    // the recording, stay as the camera gives them.
    void setMirrored(bool mirrored);
    bool isMirrored() const { return m_isMirrored; }

Q_SIGNALS:
    // A new frame will repaint the whole view, and whatever lies over it.
    void frameRepaintScheduled();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void make();
    void updateLayer();

    QPointer<CameraManager> m_cameraManager;
    QPointer<PreviewSink> m_layer;
    qint64 m_lastFrameNumber = 0;
    qint64 m_framesShown = 0;
    qint64 m_framesSkipped = 0;
    bool m_isMirrored = false;
};
