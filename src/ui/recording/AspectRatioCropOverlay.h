#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>

// The frame of the ratio the recording will be cropped to, over the preview:
// outside it the picture is dimmed, the frame has a thin light border, and the
// overlay never takes mouse input.
class AspectRatioCropOverlay : public QWidget {
    Q_OBJECT

public:
    static constexpr double dimmingOpacity = 0.3;
    static constexpr double cornerRadius = 12;

    AspectRatioCropOverlay(double ratio, bool isFrameVisible, QWidget *parent = nullptr);

    double ratio() const { return m_ratio; }
    void setRatio(double ratio);
    bool isFrameVisible() const { return m_isFrameVisible; }
    void setFrameVisible(bool visible);

    // The frame within an area: as large as fits with the ratio's
    // proportions, centred. Zero-sized for an empty area.
    static QRectF frameRect(QSizeF area, double ratio);
    QRectF frameRect() const { return frameRect(QSizeF(size()), m_ratio); }

    // The overlay's pixels for an area (premultiplied ARGB, `devicePixelRatio`
    // pixels per point): what is drawn over the preview.
    static QImage render(QSize area, qreal devicePixelRatio, double ratio);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    double m_ratio;
    bool m_isFrameVisible;
    QImage m_rendered; // rebuilt only when the size, ratio or pixel ratio change
    qreal m_renderedRatio = 0;
};
