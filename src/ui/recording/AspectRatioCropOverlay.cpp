#include "ui/recording/AspectRatioCropOverlay.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace {

// Three box blurs of these widths come close to a Gaussian of `sigma`.
std::array<int, 3> boxWidths(double sigma)
{
    const double ideal = std::sqrt(12.0 * sigma * sigma / 3 + 1);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0) {
        --lower;
    }
    const int upper = lower + 2;
    const double m = std::round((12 * sigma * sigma - 3.0 * lower * lower - 12.0 * lower - 9) / (-4.0 * lower - 4));
    std::array<int, 3> widths{};
    for (int i = 0; i < 3; ++i) {
        widths[i] = i < m ? lower : upper;
    }
    return widths;
}

void boxBlurLine(const uchar *in, uchar *out, int count, int stride, int radius)
{
    // A running sum over 2r+1 samples, edges held at zero.
    int sum = 0;
    const int span = 2 * radius + 1;
    for (int i = 0; i < std::min(radius, count); ++i) {
        sum += in[i * stride];
    }
    for (int i = 0; i < count; ++i) {
        const int enter = i + radius;
        const int leave = i - radius - 1;
        if (enter < count) {
            sum += in[enter * stride];
        }
        if (leave >= 0) {
            sum -= in[leave * stride];
        }
        out[i * stride] = uchar((sum + span / 2) / span);
    }
}

// Blurs an 8-bit alpha image in place.
void blurAlpha(QImage &alpha, double sigma)
{
    if (sigma <= 0.1) {
        return;
    }
    const int width = alpha.width();
    const int height = alpha.height();
    QImage scratch(alpha.size(), QImage::Format_Alpha8);
    for (int box : boxWidths(sigma)) {
        const int radius = (box - 1) / 2;
        if (radius <= 0) {
            continue;
        }
        for (int y = 0; y < height; ++y) {
            boxBlurLine(alpha.constScanLine(y), scratch.scanLine(y), width, 1, radius);
        }
        const int stride = int(alpha.bytesPerLine());
        for (int x = 0; x < width; ++x) {
            boxBlurLine(scratch.constBits() + x, alpha.bits() + x, height, stride, radius);
        }
    }
}

// Black with the given alpha mask times `opacity`, premultiplied.
QImage blackFromAlpha(const QImage &alpha, double opacity)
{
    QImage image(alpha.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < alpha.height(); ++y) {
        const uchar *in = alpha.constScanLine(y);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < alpha.width(); ++x) {
            out[x] = qRgba(0, 0, 0, int(std::lround(in[x] * opacity)));
        }
    }
    return image;
}

QImage alphaOf(const QImage &image)
{
    return image.convertToFormat(QImage::Format_Alpha8);
}

QPainterPath roundedFrame(const QRectF &frame)
{
    QPainterPath path;
    const double radius = std::min({AspectRatioCropOverlay::cornerRadius, frame.width() / 2, frame.height() / 2});
    path.addRoundedRect(frame, radius, radius);
    return path;
}

} // namespace

AspectRatioCropOverlay::AspectRatioCropOverlay(double ratio, bool isFrameVisible, QWidget *parent)
    : QWidget(parent), m_ratio(ratio), m_isFrameVisible(isFrameVisible)
{
    // Clicks and scrolling reach what lies beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void AspectRatioCropOverlay::setRatio(double ratio)
{
    if (ratio == m_ratio) {
        return;
    }
    m_ratio = ratio;
    m_rendered = QImage();
    update();
}

void AspectRatioCropOverlay::setFrameVisible(bool visible)
{
    if (visible == m_isFrameVisible) {
        return;
    }
    m_isFrameVisible = visible;
    update();
}

QRectF AspectRatioCropOverlay::frameRect(QSizeF area, double ratio)
{
    const double W = area.width();
    const double H = area.height();
    if (W <= 0 || H <= 0 || ratio <= 0) {
        return QRectF(std::max(0.0, W) / 2, std::max(0.0, H) / 2, 0, 0);
    }
    double w = 0;
    double h = 0;
    if (W / H < ratio) {
        w = W;
        h = W / ratio;
    } else {
        w = H * ratio;
        h = H;
    }
    return QRectF((W - w) / 2, (H - h) / 2, w, h);
}

QImage AspectRatioCropOverlay::render(QSize area, qreal devicePixelRatio, double ratio)
{
    const QSize pixels = (QSizeF(area) * devicePixelRatio).toSize();
    QImage group(pixels, QImage::Format_ARGB32_Premultiplied);
    group.setDevicePixelRatio(devicePixelRatio);
    group.fill(Qt::transparent);
    if (pixels.isEmpty()) {
        return group;
    }
    const QRectF frame = frameRect(QSizeF(area), ratio);
    const QPainterPath cutOut = roundedFrame(frame);
    auto painterOn = [devicePixelRatio](QImage &image) {
        image.setDevicePixelRatio(devicePixelRatio);
        auto painter = std::make_unique<QPainter>(&image);
        painter->setRenderHint(QPainter::Antialiasing);
        return painter;
    };

    // 1. Dimming over the whole area.
    auto painter = painterOn(group);
    painter->fillRect(QRectF(QPointF(0, 0), QSizeF(area)), QColor::fromRgbF(0, 0, 0, dimmingOpacity));
    if (frame.isEmpty()) {
        return group;
    }

    // 2. The cut-out and its shadow (black 0.3, blur 4, 2 down) erase the dimming.
    QImage shadowShape(pixels, QImage::Format_Alpha8);
    shadowShape.fill(0);
    painterOn(shadowShape)->fillPath(cutOut.translated(0, 2), Qt::black);
    blurAlpha(shadowShape, 4.0 / 2 * devicePixelRatio);
    QImage cutOutShadow = blackFromAlpha(shadowShape, 0.3);
    cutOutShadow.setDevicePixelRatio(devicePixelRatio);
    painter->setCompositionMode(QPainter::CompositionMode_DestinationOut);
    painter->drawImage(QPointF(0, 0), cutOutShadow);
    painter->fillPath(cutOut, Qt::black);

    // 3. The border: a 2-point white 0.7 stroke centred on the frame's edge,
    // clipped to the rounded frame (so only its inner point shows), with its
    // own shadow (black 0.25, blur 2, 1 down).
    QImage border(pixels, QImage::Format_ARGB32_Premultiplied);
    border.fill(Qt::transparent);
    {
        auto borderPainter = painterOn(border);
        borderPainter->setClipPath(cutOut);
        QPen pen(QColor::fromRgbF(1, 1, 1, 0.7), 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setMiterLimit(10);
        borderPainter->setPen(pen);
        borderPainter->setBrush(Qt::NoBrush);
        borderPainter->drawRect(frame);
    }
    QImage borderShape = alphaOf(border);
    borderShape.setDevicePixelRatio(1);
    QImage shifted(pixels, QImage::Format_Alpha8);
    shifted.fill(0);
    {
        QPainter shift(&shifted);
        shift.drawImage(QPointF(0, std::round(devicePixelRatio)), borderShape);
    }
    blurAlpha(shifted, 2.0 / 2 * devicePixelRatio);
    QImage borderShadow = blackFromAlpha(shifted, 0.25);
    borderShadow.setDevicePixelRatio(devicePixelRatio);
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter->drawImage(QPointF(0, 0), borderShadow);
    painter->drawImage(QPointF(0, 0), border);
    return group;
}

void AspectRatioCropOverlay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_rendered = QImage();
}

void AspectRatioCropOverlay::paintEvent(QPaintEvent *)
{
    if (!m_isFrameVisible) {
        return;
    }
    const qreal pixelRatio = devicePixelRatioF();
    if (m_rendered.isNull() || m_renderedRatio != pixelRatio) {
        m_rendered = render(size(), pixelRatio, m_ratio);
        m_renderedRatio = pixelRatio;
    }
    QPainter painter(this);
    // In device pixels from here, so the cached picture is copied 1:1.
    painter.scale(1 / pixelRatio, 1 / pixelRatio);
    const QRect all(QPoint(0, 0), m_rendered.size());
    // Deep inside the frame the overlay is fully transparent: blend only the
    // four bands around that part, which saves most of the work on every
    // preview frame. The bands do not overlap, so no pixel is blended twice.
    const QRectF frame = frameRect();
    const double inset = cornerRadius + 2;
    const QRect clear(
        QPoint(int(std::ceil((frame.left() + inset) * pixelRatio)), int(std::ceil((frame.top() + inset) * pixelRatio))),
        QPoint(int(std::floor((frame.right() - inset) * pixelRatio)) - 1,
            int(std::floor((frame.bottom() - inset) * pixelRatio)) - 1));
    if (clear.width() <= 0 || clear.height() <= 0) {
        painter.drawImage(all, m_rendered, all);
        return;
    }
    const QRect bands[] = {
        QRect(0, 0, all.width(), clear.top()),
        QRect(0, clear.bottom() + 1, all.width(), all.height() - clear.bottom() - 1),
        QRect(0, clear.top(), clear.left(), clear.height()),
        QRect(clear.right() + 1, clear.top(), all.width() - clear.right() - 1, clear.height()),
    };
    for (const QRect &band : bands) {
        if (!band.isEmpty()) {
            painter.drawImage(band, m_rendered, band);
        }
    }
}
