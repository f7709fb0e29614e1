#include "ui/videos/VideosHeaderBar.h"

#include "ui/common/AppFont.h"
#include "ui/common/UiStyle.h"
#include "ui/videos/VideoListStyle.h"

#include <QHBoxLayout>
#include <QLabel>

VideosHeaderBar::VideosHeaderBar(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(20, 12, 20, 12);
    auto *heading = new QLabel(QStringLiteral("已录制视频"), this);
    heading->setFont(AppFont::pixelFont(20, QFont::Bold));
    m_count = new QLabel(this);
    UiStyle::useSecondaryText(m_count);
    layout->addWidget(heading);
    layout->addStretch(1);
    layout->addWidget(m_count);
    setCount(0);
}

QString VideosHeaderBar::countText(qsizetype count)
{
    // A plain decimal, never grouped ("10000 个视频").
    return QString::number(qlonglong(count)) + QStringLiteral(" 个视频");
}

void VideosHeaderBar::setCount(qsizetype count)
{
    m_count->setText(countText(count));
    m_count->setAccessibleName(m_count->text());
}
