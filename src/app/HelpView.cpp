#include "app/HelpView.h"

#include "app/AppResources.h"
#include "platform/MainQueue.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

const QString HelpView::supportEmail = QStringLiteral("support@veltroscope.app");
const QString HelpView::supportWebsite = QStringLiteral("https://veltroscope.app/help");

namespace {
QPushButton *contactButton(const QString &label, QWidget *parent)
{
    auto *button = new QPushButton(label, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; font-size: 15pt; "
                                         "color: palette(window-text); padding: 0; }"));
    return button;
}
} // namespace

HelpView::HelpView(QWidget *parent) : QWidget(parent)
{
    m_scheduler
        = [this](double seconds, std::function<void()> task) { MainQueue::after(seconds, this, std::move(task)); };

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(24);
    layout->addStretch(1);

    if (const std::optional<QImage> logo = loadAppLogo()) {
        m_logoLabel = new QLabel(this);
        const qreal ratio = devicePixelRatioF();
        QPixmap pixmap
            = QPixmap::fromImage(logo->scaled(QSize(128, 128) * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        pixmap.setDevicePixelRatio(ratio);
        m_logoLabel->setPixmap(pixmap);
        m_logoLabel->setFixedSize(128, 128);
        m_logoLabel->setAlignment(Qt::AlignCenter);
        layout->addWidget(m_logoLabel, 0, Qt::AlignHCenter);
    }

    auto *name = new QLabel(QStringLiteral("Veltroscope"), this);
    QFont nameFont = name->font();
    nameFont.setPointSize(24);
    nameFont.setBold(true);
    name->setFont(nameFont);
    layout->addWidget(name, 0, Qt::AlignHCenter);

    auto *version = new QLabel(QStringLiteral("Version 1.0.0"), this);
    QFont versionFont = version->font();
    versionFont.setPointSize(13);
    version->setFont(versionFont);
    version->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(version, 0, Qt::AlignHCenter);

    m_emailButton = contactButton(QStringLiteral("客服邮箱：") + supportEmail, this);
    connect(m_emailButton, &QPushButton::clicked, this,
        [this] { copy(supportEmail, QStringLiteral("客服邮箱已复制到剪贴板")); });
    layout->addWidget(m_emailButton, 0, Qt::AlignHCenter);

    m_websiteButton = contactButton(
        QStringLiteral("服务帮助：") + supportWebsite + QStringLiteral("（仅技术支持与使用说明）"), this);
    connect(m_websiteButton, &QPushButton::clicked, this,
        [this] { copy(supportWebsite, QStringLiteral("服务网址已复制到剪贴板")); });
    layout->addWidget(m_websiteButton, 0, Qt::AlignHCenter);

    m_tipLabel = new QLabel(this);
    m_tipLabel->setTextFormat(Qt::PlainText);
    m_tipLabel->setStyleSheet(QStringLiteral("color: #2e9e44; font-size: 12pt; margin-top: 4px;"));
    m_tipLabel->hide();
    layout->addWidget(m_tipLabel, 0, Qt::AlignHCenter);

    layout->addStretch(1);
}

bool HelpView::showsLogo() const
{
    return m_logoLabel != nullptr;
}

std::optional<QImage> HelpView::loadAppLogo()
{
    AppResources::ensureLoaded();
    QImage logo(QStringLiteral(":/AppIcon.png"));
    if (!logo.isNull()) {
        return logo;
    }
    const QImage appIcon = QApplication::windowIcon().pixmap(128, 128).toImage();
    if (!appIcon.isNull()) {
        return appIcon;
    }
    return std::nullopt;
}

void HelpView::copy(const QString &text, const QString &tip)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    setCopiedTip(tip);

    // Clears only the tip this click set: a later click's tip stays until its own turn.
    QPointer<HelpView> self(this);
    m_scheduler(tipDurationSeconds, [self, tip] {
        if (self && self->m_copiedTip == tip) {
            self->setCopiedTip(std::nullopt);
        }
    });
}

void HelpView::setCopiedTip(const std::optional<QString> &tip)
{
    m_copiedTip = tip;
    m_tipLabel->setText(tip.value_or(QString()));
    m_tipLabel->setVisible(tip.has_value());
    Q_EMIT copiedTipChanged();
}
