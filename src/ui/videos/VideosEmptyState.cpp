#include "ui/videos/VideosEmptyState.h"

#include "ui/common/AppFont.h"
#include "ui/common/SymbolIcon.h"
#include "ui/common/UiStyle.h"
#include "ui/videos/VideoListStyle.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace {
QLabel *secondaryLabel(const QString &text, int pixelSize, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(AppFont::pixelFont(pixelSize));
    UiStyle::useSecondaryText(label);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

} // namespace

VideosEmptyState::VideosEmptyState(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addStretch(1);
    const int iconSize = 48;
    auto *icon = new QLabel(this);
    icon->setPixmap(UiStyle::tinted(SymbolIcon::icon(QStringLiteral("video.slash")), iconSize,
        UiStyle::secondaryText(palette()), qApp->devicePixelRatio()));
    icon->setAlignment(Qt::AlignHCenter);
    icon->setAccessibleName(QStringLiteral("没有视频"));
    layout->addWidget(icon);
    layout->addWidget(secondaryLabel(QStringLiteral("还没有录制视频"), 16, this));
    layout->addWidget(secondaryLabel(QStringLiteral("去录制页面开始录制吧"), 13, this));
    layout->addStretch(1);
}
