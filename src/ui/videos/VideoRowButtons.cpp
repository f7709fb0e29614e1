#include "ui/videos/VideoRowButtons.h"

#include "app/SymbolIcon.h"
#include "ui/videos/VideoListStyle.h"

#include <QHBoxLayout>
#include <QToolButton>

VideoRowButtons::VideoRowButtons(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(VideoListStyle::buttonSpacing);
    m_play = makeButton(QStringLiteral("play.fill"), playText());
    m_reveal = makeButton(QStringLiteral("folder"), revealText());
    layout->addWidget(m_play);
    layout->addWidget(m_reveal);
    connect(m_play, &QToolButton::clicked, this, &VideoRowButtons::playClicked);
    connect(m_reveal, &QToolButton::clicked, this, &VideoRowButtons::revealClicked);
}

void VideoRowButtons::setVideo(int64_t id, const QString &fileName)
{
    m_videoId = id;
    // Said after the button's name, so a screen reader tells the rows apart.
    m_play->setAccessibleDescription(fileName);
    m_reveal->setAccessibleDescription(fileName);
}

QToolButton *VideoRowButtons::makeButton(const QString &symbol, const QString &text)
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
    return button;
}
