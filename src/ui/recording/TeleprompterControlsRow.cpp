#include "ui/recording/TeleprompterControlsRow.h"

#include "library/DatabaseManager.h"
#include "library/TeleprompterFont.h"
#include "ui/common/FixedLabel.h"
#include "ui/common/RowSlider.h"
#include "ui/common/SymbolIcon.h"
#include "ui/common/TextButton.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/ScriptMenu.h"
#include "ui/recording/TeleprompterScroller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {
constexpr double speedScale = 10; // the speed slider counts tenths

int sliderPosition(double value, double scale, const QSlider *slider)
{
    if (!std::isfinite(value)) {
        return slider->minimum();
    }
    return int(std::clamp(std::round(value * scale), double(slider->minimum()), double(slider->maximum())));
}
} // namespace

TeleprompterControlsRow::TeleprompterControlsRow(RecordingViewState *state, DatabaseManager *dbManager, QWidget *parent)
    : QWidget(parent), m_state(state), m_dbManager(dbManager)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(itemSpacing);

    m_visibleBox = new QCheckBox(QStringLiteral("提词器"), this);
    m_visibleBox->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    row->addWidget(m_visibleBox, 0, Qt::AlignVCenter);

    buildGroup();
    row->addWidget(m_group, 0, Qt::AlignVCenter);
    row->addStretch(1);

    connectState();
    syncVisible();
    syncScheme();
    syncFont();
    syncSize();
    syncSpacing();
    syncSpeed();
    syncScrolling();
}

void TeleprompterControlsRow::buildGroup()
{
    m_group = new QWidget(this);
    auto *group = new QHBoxLayout(m_group);
    group->setContentsMargins(0, 0, 0, 0);
    group->setSpacing(itemSpacing);

    m_schemeButton = new TextButton({QStringLiteral("浅色模式"), QStringLiteral("深色模式")}, m_group);

    m_fontPicker = new QComboBox(m_group);
    for (const TeleprompterFont option : TeleprompterFont::allCases()) {
        m_fontPicker->addItem(option.rawValue());
    }
    m_fontPicker->setFixedWidth(fontPickerWidth);
    m_fontPicker->setAccessibleName(QStringLiteral("字体"));

    m_sizeSlider = new RowSlider(sizeSliderWidth, sliderFloorWidth, 16, 48, 2, m_group);
    m_sizeSlider->setAccessibleName(QStringLiteral("字号"));
    m_sizeLabel = new FixedLabel({}, QStringLiteral("48"), m_group);
    m_spacingSlider = new RowSlider(spacingSliderWidth, sliderFloorWidth, 4, 40, 2, m_group);
    m_spacingSlider->setAccessibleName(QStringLiteral("行距"));
    m_spacingLabel = new FixedLabel({}, QStringLiteral("40"), m_group);
    m_speedSlider = new RowSlider(speedSliderWidth, sliderFloorWidth, 1, 30, 1, m_group);
    m_speedSlider->setAccessibleName(QStringLiteral("速度"));
    m_speedLabel = new FixedLabel({}, QStringLiteral("3.0"), m_group);

    m_startPauseButton = new TextButton({QStringLiteral("开始"), QStringLiteral("暂停")}, m_group);
    m_resetButton = new TextButton({QStringLiteral("重置")}, m_group);

    m_scriptButton = new QToolButton(m_group);
    m_scriptButton->setIcon(SymbolIcon::icon(QStringLiteral("doc.text.fill")));
    m_scriptButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_scriptButton->setPopupMode(QToolButton::InstantPopup);
    m_scriptButton->setAccessibleName(QStringLiteral("选择提示词"));
    m_scriptButton->setToolTip(QStringLiteral("选择提示词"));
    m_scriptMenu = new ScriptMenu(m_dbManager, m_scriptButton);
    m_scriptButton->setMenu(m_scriptMenu);

    const QList<QWidget *> items = {m_schemeButton, m_fontPicker, new FixedLabel(QStringLiteral("字号:"), {}, m_group),
        m_sizeSlider, m_sizeLabel, new FixedLabel(QStringLiteral("行距:"), {}, m_group), m_spacingSlider,
        m_spacingLabel, new FixedLabel(QStringLiteral("速度:"), {}, m_group), m_speedSlider, m_speedLabel,
        m_startPauseButton, m_resetButton, m_scriptButton};
    for (QWidget *item : items) {
        group->addWidget(item, 0, Qt::AlignVCenter);
    }
}

void TeleprompterControlsRow::connectState()
{
    connect(m_visibleBox, &QCheckBox::toggled, this, [this](bool checked) {
        if (!m_syncing) {
            m_state->setIsTeleprompterVisible(checked);
        }
    });
    connect(m_schemeButton, &QPushButton::clicked, this,
        [this] { m_state->setIsTeleprompterDarkMode(!m_state->isTeleprompterDarkMode()); });
    connect(m_fontPicker, &QComboBox::currentIndexChanged, this, [this](int index) {
        const QList<TeleprompterFont> options = TeleprompterFont::allCases();
        if (!m_syncing && index >= 0 && index < options.size()) {
            m_state->setSelectedFont(options.at(index));
        }
    });
    auto bindSlider = [this](QSlider *slider, auto write) {
        connect(slider, &QSlider::valueChanged, this, [this, slider, write](int value) {
            const int snapped = static_cast<RowSlider *>(slider)->snapped(value);
            if (snapped != value) {
                slider->setValue(snapped);
                return;
            }
            if (!m_syncing) {
                write(value);
            }
        });
    };
    bindSlider(m_sizeSlider, [this](int value) { m_state->setTeleprompterFontSize(value); });
    bindSlider(m_spacingSlider, [this](int value) { m_state->setLineSpacing(value); });
    bindSlider(m_speedSlider, [this](int value) { m_state->setScrollSpeed(value / speedScale); });
    TeleprompterScroller *scroller = m_state->scroller();
    connect(m_startPauseButton, &QPushButton::clicked, scroller, &TeleprompterScroller::toggleScrolling);
    connect(m_resetButton, &QPushButton::clicked, scroller, &TeleprompterScroller::resetScrolling);

    connect(m_state, &RecordingViewState::isTeleprompterVisibleChanged, this, &TeleprompterControlsRow::syncVisible);
    connect(m_state, &RecordingViewState::isTeleprompterDarkModeChanged, this, &TeleprompterControlsRow::syncScheme);
    connect(m_state, &RecordingViewState::selectedFontChanged, this, &TeleprompterControlsRow::syncFont);
    connect(m_state, &RecordingViewState::teleprompterFontSizeChanged, this, &TeleprompterControlsRow::syncSize);
    connect(m_state, &RecordingViewState::lineSpacingChanged, this, &TeleprompterControlsRow::syncSpacing);
    connect(m_state, &RecordingViewState::scrollSpeedChanged, this, &TeleprompterControlsRow::syncSpeed);
    connect(m_state, &RecordingViewState::isScrollingChanged, this, &TeleprompterControlsRow::syncScrolling);
    connect(m_scriptMenu, &ScriptMenu::scriptChosen, this, &TeleprompterControlsRow::chooseScript);
}

void TeleprompterControlsRow::chooseScript(int64_t id)
{
    if (!m_dbManager) {
        return;
    }
    // The content as the library holds it now.
    for (const Script &script : m_dbManager->scripts()) {
        if (script.id == id) {
            // Only the text changes: the offset and the scrolling state stay.
            m_state->setTeleprompterText(script.content);
            return;
        }
    }
}

QString TeleprompterControlsRow::wholeNumberText(double value)
{
    if (!std::isfinite(value)) {
        return QStringLiteral("0");
    }
    const double cut = std::trunc(value);
    const double limit = 9.2e18; // inside the range of a long long
    return QString::number(qlonglong(std::clamp(cut, -limit, limit)));
}

QString TeleprompterControlsRow::speedText(double value)
{
    return QString::asprintf("%.1f", value);
}

void TeleprompterControlsRow::syncVisible()
{
    const bool visible = m_state->isTeleprompterVisible();
    m_syncing = true;
    m_visibleBox->setChecked(visible);
    m_syncing = false;
    m_group->setVisible(visible);
}

void TeleprompterControlsRow::syncScheme()
{
    // The title names the scheme that pressing switches to.
    m_schemeButton->setText(
        m_state->isTeleprompterDarkMode() ? QStringLiteral("浅色模式") : QStringLiteral("深色模式"));
}

void TeleprompterControlsRow::syncFont()
{
    m_syncing = true;
    m_fontPicker->setCurrentIndex(int(TeleprompterFont::allCases().indexOf(m_state->selectedFont())));
    m_syncing = false;
}

void TeleprompterControlsRow::syncSize()
{
    const double size = m_state->teleprompterFontSize();
    m_syncing = true;
    m_sizeSlider->setValue(sliderPosition(size, 1, m_sizeSlider));
    m_syncing = false;
    m_sizeLabel->setText(wholeNumberText(size));
    m_sizeSlider->setAccessibleDescription(m_sizeLabel->text());
}

void TeleprompterControlsRow::syncSpacing()
{
    const double spacing = m_state->lineSpacing();
    m_syncing = true;
    m_spacingSlider->setValue(sliderPosition(spacing, 1, m_spacingSlider));
    m_syncing = false;
    m_spacingLabel->setText(wholeNumberText(spacing));
    m_spacingSlider->setAccessibleDescription(m_spacingLabel->text());
}

void TeleprompterControlsRow::syncSpeed()
{
    const double speed = m_state->scrollSpeed();
    m_syncing = true;
    m_speedSlider->setValue(sliderPosition(speed, speedScale, m_speedSlider));
    m_syncing = false;
    m_speedLabel->setText(speedText(speed));
    m_speedSlider->setAccessibleDescription(m_speedLabel->text());
}

void TeleprompterControlsRow::syncScrolling()
{
    m_startPauseButton->setText(m_state->isScrolling() ? QStringLiteral("暂停") : QStringLiteral("开始"));
}
