#include "ui/recording/CameraMenuButton.h"

#include "ui/common/TextElision.h"

#include <QEvent>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

namespace {
constexpr int minimumTitleCharacters = 4;
} // namespace

CameraMenuButton::CameraMenuButton(int maximumTitleWidth, QWidget *parent)
    : QPushButton(parent), m_maximumTitleWidth(maximumTitleWidth)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setStyleSheet(QStringLiteral("text-align: left;"));
}

void CameraMenuButton::setTitle(const QString &title)
{
    m_title = title;
    setAccessibleName(title);
    setToolTip(title);
    refreshText();
    updateGeometry();
}

int CameraMenuButton::chromeWidth() const
{
    // What the bezel and the menu arrow take around the title.
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    const QSize bare
        = style()->sizeFromContents(QStyle::CT_PushButton, &option, QSize(0, fontMetrics().height()), this);
    const int indicator = style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &option, this);
    return bare.width() + indicator + 4;
}

QSize CameraMenuButton::sizeHint() const
{
    const int titleWidth = std::min(fontMetrics().horizontalAdvance(m_title) + 1, m_maximumTitleWidth);
    return {titleWidth + chromeWidth(), QPushButton::sizeHint().height()};
}

QSize CameraMenuButton::minimumSizeHint() const
{
    const QString kept = m_title.left(minimumTitleCharacters) + QChar(0x2026);
    const int titleWidth
        = std::min(fontMetrics().horizontalAdvance(kept), fontMetrics().horizontalAdvance(m_title)) + 1;
    return {titleWidth + chromeWidth(), QPushButton::sizeHint().height()};
}

void CameraMenuButton::resizeEvent(QResizeEvent *event)
{
    QPushButton::resizeEvent(event);
    refreshText();
}

void CameraMenuButton::changeEvent(QEvent *event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        refreshText();
        updateGeometry();
    }
}

void CameraMenuButton::refreshText()
{
    const int room = std::min(width() - chromeWidth(), m_maximumTitleWidth);
    const QString shown = TextElision::line(m_title, fontMetrics(), Qt::ElideRight, std::max(0, room));
    if (text() != shown) {
        setText(shown);
    }
}
