#include "ui/recording/PictureNotice.h"

#include "ui/common/AppFont.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
constexpr int cornerRadius = 12;

QLabel *whiteLabel(const QFont &font, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}
} // namespace

PictureNotice::PictureNotice(QWidget *parent)
    : QWidget(parent), m_title(whiteLabel(AppFont::pixelFont(18, QFont::DemiBold), this)),
      m_hint(whiteLabel(AppFont::pixelFont(13), this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 14, 24, 14);
    layout->setSpacing(6);
    layout->addWidget(m_title);
    layout->addWidget(m_hint);
    hide();
}

void PictureNotice::setMessage(const QString &title, const QString &hint)
{
    m_title->setText(title);
    m_hint->setText(hint);
    m_hint->setVisible(!hint.isEmpty());
    setAccessibleName(hint.isEmpty() ? title : title + QStringLiteral("。") + hint);
    setVisible(!title.isEmpty());
    adjustSize();
}

QString PictureNotice::title() const
{
    return m_title->text();
}

QString PictureNotice::hint() const
{
    return m_hint->text();
}

void PictureNotice::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(box, QColor(0, 0, 0, 166));
}
