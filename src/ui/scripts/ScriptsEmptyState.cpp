#include "ui/scripts/ScriptsEmptyState.h"

#include "ui/common/AppFont.h"
#include "ui/common/SymbolIcon.h"
#include "ui/common/UiStyle.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {
QLabel *textLabel(const QString &text, int size, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(AppFont::pixelFont(size));
    label->setAlignment(Qt::AlignHCenter);
    return label;
}
} // namespace

ScriptsEmptyState::ScriptsEmptyState(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addStretch(1);

    m_icon = new QLabel(this);
    m_icon->setAlignment(Qt::AlignCenter);
    m_icon->setFixedSize(iconSize, iconSize);
    layout->addWidget(m_icon, 0, Qt::AlignHCenter);

    m_message = textLabel(QStringLiteral("还没有提示词"), 16, this);
    layout->addWidget(m_message, 0, Qt::AlignHCenter);
    m_hint = textLabel(QStringLiteral("点击「添加提示词」开始创作"), 13, this);
    layout->addWidget(m_hint, 0, Qt::AlignHCenter);

    layout->addStretch(1);
    applyColors();
}

void ScriptsEmptyState::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (m_hint && (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)) {
        applyColors();
    }
}

void ScriptsEmptyState::applyColors()
{
    const QColor secondary = UiStyle::secondaryText(palette(), QPalette::Text);
    m_icon->setPixmap(UiStyle::tinted(
        SymbolIcon::icon(QStringLiteral("doc.text.magnifyingglass")), iconSize, secondary, devicePixelRatioF()));
    for (QLabel *label : {m_message, m_hint}) {
        QPalette labelPalette = label->palette();
        // The list area's background role is Base, so labels draw in Text.
        labelPalette.setColor(QPalette::WindowText, secondary);
        labelPalette.setColor(QPalette::Text, secondary);
        label->setPalette(labelPalette);
    }
}
