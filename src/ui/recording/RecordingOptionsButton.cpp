#include "ui/recording/RecordingOptionsButton.h"

#include "library/RecordingOptions.h"
#include "ui/common/AppFont.h"
#include "ui/common/UiStyle.h"
#include "ui/recording/RecordingViewState.h"

#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace {
constexpr int iconPoints = 18;
constexpr int buttonPoints = 28;

const QString mirrorPreviewTitle = QStringLiteral("镜像预览");
const QString mirrorTextTitle = QStringLiteral("镜像文字");
const QString countdownTitle = QStringLiteral("录制前倒计时");
const QString trimTitle = QStringLiteral("裁掉结尾的语音指令");
const QString followTitle = QStringLiteral("跟读滚动");

// "⋯" drawn, not typed: the button has no text, only its accessible name.
QIcon ellipsisIcon(const QColor &color, qreal pixelRatio)
{
    QPixmap pixmap(QSize(iconPoints, iconPoints) * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const double radius = 1.8;
    for (int i = -1; i <= 1; ++i) {
        painter.drawEllipse(QPointF(iconPoints / 2.0 + i * 5.5, iconPoints / 2.0), radius, radius);
    }
    return QIcon(pixmap);
}
} // namespace

RecordingOptionsButton::RecordingOptionsButton(RecordingOptions *options, RecordingViewState *state, QWidget *parent)
    : QToolButton(parent), m_options(options), m_state(state), m_menu(new QMenu(this))
{
    setAccessibleName(QStringLiteral("录制选项"));
    setToolTip(QStringLiteral("录制选项"));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setPopupMode(QToolButton::InstantPopup);
    setAutoRaise(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setIconSize(QSize(iconPoints, iconPoints));
    // A popup is a window of its own and takes no font from the row.
    m_menu->setFont(AppFont::pixelFont(13));
    m_menu->setAccessibleName(QStringLiteral("录制选项"));
    setMenu(m_menu);
    refreshIcon();

    addItem(mirrorPreviewTitle, options->isMirroringPreview(), [this](bool on) {
        if (m_options) {
            m_options->setIsMirroringPreview(on);
        }
    });
    addItem(mirrorTextTitle, options->isMirroringText(), [this](bool on) {
        if (m_options) {
            m_options->setIsMirroringText(on);
        }
    });
    m_menu->addSeparator();
    addItem(countdownTitle, options->isCountdownEnabled(), [this](bool on) {
        if (m_options) {
            m_options->setIsCountdownEnabled(on);
        }
    });
    addItem(trimTitle, options->isTrimmingVoiceCommand(), [this](bool on) {
        if (m_options) {
            m_options->setIsTrimmingVoiceCommand(on);
        }
    });
    m_menu->addSeparator();
    // The stored choice comes first; from then on the view state leads.
    state->setIsVoiceFollowing(options->isVoiceFollowing());
    addItem(followTitle, state->isVoiceFollowing(), [this](bool on) {
        if (m_state) {
            m_state->setIsVoiceFollowing(on);
        }
    });

    for (auto signal : {&RecordingOptions::isMirroringPreviewChanged, &RecordingOptions::isMirroringTextChanged,
             &RecordingOptions::isCountdownEnabledChanged, &RecordingOptions::isTrimmingVoiceCommandChanged}) {
        connect(options, signal, this, &RecordingOptionsButton::syncItems);
    }
    connect(state, &RecordingViewState::isVoiceFollowingChanged, this, [this] {
        if (m_options && m_state) {
            m_options->setIsVoiceFollowing(m_state->isVoiceFollowing());
        }
        syncItems();
    });
}

QAction *RecordingOptionsButton::addItem(const QString &title, bool checked, std::function<void(bool)> write)
{
    QAction *action = m_menu->addAction(title);
    action->setCheckable(true);
    action->setChecked(checked);
    connect(action, &QAction::toggled, this, std::move(write));
    return action;
}

QAction *RecordingOptionsButton::item(const QString &title) const
{
    for (QAction *action : m_menu->actions()) {
        if (action->text() == title) {
            return action;
        }
    }
    return nullptr;
}

void RecordingOptionsButton::syncItems()
{
    // setChecked emits toggled only on a change, so this never loops.
    if (m_options) {
        item(mirrorPreviewTitle)->setChecked(m_options->isMirroringPreview());
        item(mirrorTextTitle)->setChecked(m_options->isMirroringText());
        item(countdownTitle)->setChecked(m_options->isCountdownEnabled());
        item(trimTitle)->setChecked(m_options->isTrimmingVoiceCommand());
    }
    if (m_state) {
        item(followTitle)->setChecked(m_state->isVoiceFollowing());
    }
}

QSize RecordingOptionsButton::sizeHint() const
{
    return {buttonPoints, buttonPoints};
}

QSize RecordingOptionsButton::minimumSizeHint() const
{
    return sizeHint();
}

void RecordingOptionsButton::changeEvent(QEvent *event)
{
    QToolButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        refreshIcon();
    }
}

void RecordingOptionsButton::paintEvent(QPaintEvent *)
{
    // The dots say there is a menu; the style's small arrow would only crowd them.
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.features &= ~QStyleOptionToolButton::HasMenu;
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
}

void RecordingOptionsButton::refreshIcon()
{
    setIcon(ellipsisIcon(UiStyle::secondaryText(palette()), devicePixelRatioF()));
}
