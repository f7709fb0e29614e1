#include "ui/recording/RecordingShortcuts.h"

#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterScroller.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>
#include <cmath>

const QString RecordingShortcuts::recordKeysText = QStringLiteral("开始或停止录制（F5）");
const QString RecordingShortcuts::scrollKeysText = QStringLiteral("开始或暂停滚动（B 或 .）");
const QString RecordingShortcuts::resetKeysText = QStringLiteral("回到开头（Home）");
namespace {
// Set on the speed slider: its tooltip promises the speed keys, so they keep
// their meaning (Down faster) there instead of the slider's own.
const char *const followsSpeedKeys = "followsSpeedKeys";
} // namespace

const QString RecordingShortcuts::speedKeysText = QStringLiteral("滚动速度：Page Down 或 ↓ 加快，Page Up 或 ↑ 减慢");

RecordingShortcuts::RecordingShortcuts(
    QWidget *screen, RecordingViewState *state, std::function<void()> toggleRecording, QObject *parent)
    : QObject(parent), m_screen(screen), m_state(state), m_toggleRecording(std::move(toggleRecording))
{
    // Keys go to whichever widget has the focus; only the application sees
    // them all before that widget does.
    qApp->installEventFilter(this);
}

void RecordingShortcuts::describe(
    QWidget *recordButton, QWidget *startPauseButton, QWidget *resetButton, QWidget *speedSlider)
{
    recordButton->setToolTip(recordKeysText);
    startPauseButton->setToolTip(scrollKeysText);
    resetButton->setToolTip(resetKeysText);
    speedSlider->setToolTip(speedKeysText);
    speedSlider->setProperty(followsSpeedKeys, true);
}

bool RecordingShortcuts::isTextInput(const QWidget *focus)
{
    return qobject_cast<const QLineEdit *>(focus) || qobject_cast<const QPlainTextEdit *>(focus)
        || qobject_cast<const QTextEdit *>(focus) || qobject_cast<const QAbstractSpinBox *>(focus);
}

bool RecordingShortcuts::keepsKey(const QWidget *focus, int key)
{
    const bool upOrDown = key == Qt::Key_Up || key == Qt::Key_Down;
    const bool navigation = upOrDown || key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Home;
    if (focus && focus->property(followsSpeedKeys).toBool()) {
        return false;
    }
    if (qobject_cast<const QComboBox *>(focus) || qobject_cast<const QAbstractSlider *>(focus)) {
        return navigation;
    }
    // Buttons of one group move the choice along with the arrows.
    const auto *button = qobject_cast<const QAbstractButton *>(focus);
    return button && (button->group() || button->autoExclusive()) && upOrDown;
}

RecordingShortcuts::Action RecordingShortcuts::actionFor(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = modifiers == Qt::NoModifier;
    const bool shifted = modifiers == Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_F5:
        // Clickers send Shift+F5 as often as F5.
        return plain || shifted ? Action::record : Action::none;
    case Qt::Key_B:
        return plain || shifted ? Action::scroll : Action::none;
    case Qt::Key_Period:
        return plain ? Action::scroll : Action::none;
    case Qt::Key_PageDown:
    case Qt::Key_Down:
        return plain ? Action::faster : Action::none;
    case Qt::Key_PageUp:
    case Qt::Key_Up:
        return plain ? Action::slower : Action::none;
    case Qt::Key_Home:
        return plain ? Action::reset : Action::none;
    default:
        return Action::none;
    }
}

bool RecordingShortcuts::appliesTo(QObject *receiver, int key) const
{
    // The window's own delivery of the key comes first and is left alone:
    // the key is taken where it reaches a widget.
    auto *widget = qobject_cast<QWidget *>(receiver);
    if (!widget || !m_screen || !m_state || !m_screen->isVisible() || widget->window() != m_screen->window()) {
        return false;
    }
    const QWidget *focus = QApplication::focusWidget();
    const QWidget *owner = focus ? focus : widget;
    return !isTextInput(owner) && !keepsKey(owner, key);
}

bool RecordingShortcuts::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
        return false;
    }
    auto *key = static_cast<QKeyEvent *>(event);
    Action action = actionFor(key);
    if (action == Action::none || !appliesTo(watched, key->key())) {
        return false;
    }
    // The teleprompter's keys belong to the focused control while its
    // controls are hidden.
    if (action != Action::record && !m_state->isTeleprompterVisible()) {
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Ours before any shortcut of the window: the key press follows.
        event->accept();
        return true;
    }
    // A held key repeats; only the speed may follow it.
    const bool repeats = action == Action::faster || action == Action::slower;
    if (!key->isAutoRepeat() || repeats) {
        perform(action);
    }
    return true;
}

void RecordingShortcuts::perform(Action action)
{
    switch (action) {
    case Action::record:
        if (m_toggleRecording) {
            m_toggleRecording();
        }
        break;
    case Action::scroll:
        m_state->scroller()->toggleScrolling();
        break;
    case Action::faster:
        changeSpeed(speedStep);
        break;
    case Action::slower:
        changeSpeed(-speedStep);
        break;
    case Action::reset:
        m_state->scroller()->resetScrolling();
        break;
    case Action::none:
        break;
    }
}

void RecordingShortcuts::changeSpeed(double delta)
{
    // On the slider's tenths, so repeated steps never drift.
    const double tenths = std::round((m_state->scrollSpeed() + delta) * 10);
    m_state->setScrollSpeed(std::clamp(tenths / 10, slowestSpeed, fastestSpeed));
}
