#include "ui/scripts/ScriptsHeaderBar.h"

#include "ui/common/AppFont.h"
#include "ui/common/SymbolIcon.h"
#include "ui/common/UiStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

ScriptsHeaderBar::ScriptsHeaderBar(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(20, 12, 20, 12);
    layout->setSpacing(8);

    m_heading = new QLabel(QStringLiteral("提示词管理"), this);
    m_heading->setTextFormat(Qt::PlainText);
    m_heading->setFont(AppFont::pixelFont(20, QFont::Bold));
    layout->addWidget(m_heading, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    m_addButton = new QPushButton(QStringLiteral("添加提示词"), this);
    m_addButton->setFont(AppFont::pixelFont(13));
    m_addButton->setCursor(Qt::PointingHandCursor);
    layout->addWidget(m_addButton, 0, Qt::AlignVCenter);

    connect(m_addButton, &QPushButton::clicked, this, &ScriptsHeaderBar::addRequested);
    applyColors();
}

void ScriptsHeaderBar::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (m_addButton && (event->type() == QEvent::PaletteChange)) {
        applyColors();
    }
}

void ScriptsHeaderBar::applyColors()
{
    // The one prominent action of the screen: filled with the accent colour.
    const QColor accent = palette().color(QPalette::Highlight);
    const QColor onAccent = palette().color(QPalette::HighlightedText);
    m_addButton->setIcon(
        QIcon(UiStyle::tinted(SymbolIcon::icon(QStringLiteral("plus")), 16, onAccent, devicePixelRatioF())));
    m_addButton->setIconSize(QSize(16, 16));
    m_addButton->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3;"
                       " border-radius: 6px; padding: 5px 12px; }"
                       "QPushButton:hover { background: %4; }"
                       "QPushButton:pressed { background: %3; }"
                       "QPushButton:focus { border-color: %2; }")
            .arg(accent.name(), onAccent.name(), accent.darker(125).name(), accent.lighter(110).name()));
}
