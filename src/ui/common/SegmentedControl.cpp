#include "ui/common/SegmentedControl.h"

#include "ui/common/UiStyle.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QToolButton>

#include <algorithm>

namespace {
constexpr int segmentPadding = 4; // each side
constexpr int segmentHeight = 24;
} // namespace

SegmentedControl::SegmentedControl(const QString &label, const QStringList &titles, int preferredWidth, QWidget *parent)
    : QWidget(parent), m_label(label), m_titles(titles), m_preferredWidth(preferredWidth),
      m_group(new QButtonGroup(this))
{
    setAccessibleName(label);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_group->setExclusive(true);
    for (int i = 0; i < titles.size(); ++i) {
        auto *button = new QToolButton(this);
        button->setText(titles[i]);
        button->setCheckable(true);
        button->setAccessibleName(titles[i]);
        button->setAccessibleDescription(label);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        button->setFixedHeight(segmentHeight);
        button->setProperty(
            "segment", titles.size() == 1 ? "only" : (i == 0 ? "first" : (i + 1 == titles.size() ? "last" : "middle")));
        m_group->addButton(button, i);
        layout->addWidget(button, 1);
    }
    // A screen reader's toggle action checks a segment without a click.
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked && !m_settingIndex) {
            Q_EMIT activated(id);
        }
    });
    applyStyle();
}

int SegmentedControl::currentIndex() const
{
    return m_group->checkedId();
}

void SegmentedControl::setCurrentIndex(int index)
{
    if (QAbstractButton *button = m_group->button(index)) {
        m_settingIndex = true;
        button->setChecked(true);
        m_settingIndex = false;
    }
}

QAbstractButton *SegmentedControl::segment(int index) const
{
    return m_group->button(index);
}

QSize SegmentedControl::sizeHint() const
{
    return {std::max(m_preferredWidth, minimumSizeHint().width()), segmentHeight};
}

QSize SegmentedControl::minimumSizeHint() const
{
    // Every segment as wide as the widest title needs, so none is cut.
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const QString &title : m_titles) {
        widest = std::max(widest, metrics.horizontalAdvance(title));
    }
    return {int(m_titles.size()) * (widest + 2 * segmentPadding + 2), segmentHeight};
}

void SegmentedControl::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyStyle();
    } else if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
}

void SegmentedControl::keyPressEvent(QKeyEvent *event)
{
    // The segments move by Left and Right themselves; Up and Down, which they
    // let through in a row, move the same way, as in any group of choices.
    const int step = event->key() == Qt::Key_Up ? -1 : (event->key() == Qt::Key_Down ? 1 : 0);
    auto *focused = qobject_cast<QAbstractButton *>(focusWidget());
    const int from = focused ? m_group->id(focused) : -1;
    if (step == 0 || from < 0 || event->modifiers() != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (QAbstractButton *target = m_group->button(from + step)) {
        target->setFocus(Qt::TabFocusReason);
        if (focused->isChecked()) {
            target->click();
        }
    }
    event->accept();
}

void SegmentedControl::applyStyle()
{
    const QPalette pal = palette();
    const QString border = UiStyle::separator(palette()).name(QColor::HexArgb);
    const QString style
        = QStringLiteral("QToolButton { border: 1px solid %1; border-left: none; background: %2; color: %3;"
                         "  padding: 0 %6px; margin: 0; }"
                         "QToolButton[segment=\"first\"], QToolButton[segment=\"only\"] { border-left: 1px solid %1;"
                         "  border-top-left-radius: 6px; border-bottom-left-radius: 6px; }"
                         "QToolButton[segment=\"last\"], QToolButton[segment=\"only\"] {"
                         "  border-top-right-radius: 6px; border-bottom-right-radius: 6px; }"
                         "QToolButton:checked { background: %4; color: %5; }")
              .arg(border, pal.color(QPalette::Button).name(), pal.color(QPalette::ButtonText).name(),
                  pal.color(QPalette::Highlight).name(), pal.color(QPalette::HighlightedText).name())
              .arg(segmentPadding)
        // Locked during a take: it must look so, not only refuse clicks.
        + QStringLiteral("QToolButton:disabled { color: %1; } QToolButton:checked:disabled { background: %2; }")
              .arg(pal.color(QPalette::Disabled, QPalette::ButtonText).name(), pal.color(QPalette::Mid).name());
    // Set only when it changes: setting a style sheet re-polishes every child.
    if (styleSheet() != style) {
        setStyleSheet(style);
    }
}
