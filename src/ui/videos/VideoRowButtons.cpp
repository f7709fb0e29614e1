#include "ui/videos/VideoRowButtons.h"

#include "app/SymbolIcon.h"
#include "ui/videos/VideoListStyle.h"

#include <QHBoxLayout>
#include <QToolButton>

VideoRowButtons::VideoRowButtons(const QString &fileName, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(VideoListStyle::buttonSpacing);
    m_play = makeButton(QStringLiteral("play.fill"), playText(), fileName);
    m_reveal = makeButton(QStringLiteral("folder"), revealText(), fileName);
    layout->addWidget(m_play);
    layout->addWidget(m_reveal);
    connect(m_play, &QToolButton::clicked, this, &VideoRowButtons::playClicked);
    connect(m_reveal, &QToolButton::clicked, this, &VideoRowButtons::revealClicked);
}

QToolButton *VideoRowButtons::makeButton(const QString &symbol, const QString &text, const QString &fileName)
{
    auto *button = new QToolButton(this);
    button->setAutoRaise(true);
    QColor color = palette().color(QPalette::ButtonText);
    color.setAlphaF(0.75f);
    button->setIcon(VideoListStyle::tintedIcon(SymbolIcon::icon(symbol), VideoListStyle::buttonIconSize, color));
    button->setIconSize(QSize(VideoListStyle::buttonIconSize, VideoListStyle::buttonIconSize));
    button->setFixedSize(VideoListStyle::buttonSize, VideoListStyle::buttonSize);
    button->setToolTip(text);
    button->setAccessibleName(text);
    button->setAccessibleDescription(fileName);
    return button;
}
