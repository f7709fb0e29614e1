#pragma once

#include <QWidget>

#include <cstdint>

class DatabaseManager;
class RecordingViewState;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;
class ScriptMenu;

// Row 2 of the recording controls: show/hide, colour scheme, typeface, size,
// line spacing, speed, start/pause, reset and the script menu. Everything but
// the checkbox shows only while the teleprompter is on. When the row is short
// of room the three sliders give way first, down to a floor.
class TeleprompterControlsRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int itemSpacing = 14;
    static constexpr int fontPickerWidth = 120;
    static constexpr int sizeSliderWidth = 100;
    static constexpr int spacingSliderWidth = 90;
    static constexpr int speedSliderWidth = 90;
    static constexpr int sliderFloorWidth = 40;

    TeleprompterControlsRow(RecordingViewState *state, DatabaseManager *dbManager, QWidget *parent = nullptr);

    // "%lld" of the value cut toward zero, and "%.1f".
    static QString wholeNumberText(double value);
    static QString speedText(double value);

    QCheckBox *visibleBox() const { return m_visibleBox; }
    QPushButton *schemeButton() const { return m_schemeButton; }
    QComboBox *fontPicker() const { return m_fontPicker; }
    QSlider *sizeSlider() const { return m_sizeSlider; }
    QLabel *sizeLabel() const { return m_sizeLabel; }
    QSlider *spacingSlider() const { return m_spacingSlider; }
    QLabel *spacingLabel() const { return m_spacingLabel; }
    QSlider *speedSlider() const { return m_speedSlider; }
    QLabel *speedLabel() const { return m_speedLabel; }
    QPushButton *startPauseButton() const { return m_startPauseButton; }
    QPushButton *resetButton() const { return m_resetButton; }
    QToolButton *scriptButton() const { return m_scriptButton; }
    ScriptMenu *scriptMenu() const { return m_scriptMenu; }
    // Items 2 to 15, shown only while the teleprompter is on.
    QWidget *group() const { return m_group; }

private:
    void buildGroup();
    void connectState();
    void chooseScript(int64_t id);
    void syncVisible();
    void syncScheme();
    void syncFont();
    void syncSize();
    void syncSpacing();
    void syncSpeed();
    void syncScrolling();

    RecordingViewState *m_state;
    DatabaseManager *m_dbManager;
    bool m_syncing = false;

    QCheckBox *m_visibleBox = nullptr;
    QWidget *m_group = nullptr;
    QPushButton *m_schemeButton = nullptr;
    QComboBox *m_fontPicker = nullptr;
    QSlider *m_sizeSlider = nullptr;
    QLabel *m_sizeLabel = nullptr;
    QSlider *m_spacingSlider = nullptr;
    QLabel *m_spacingLabel = nullptr;
    QSlider *m_speedSlider = nullptr;
    QLabel *m_speedLabel = nullptr;
    QPushButton *m_startPauseButton = nullptr;
    QPushButton *m_resetButton = nullptr;
    QToolButton *m_scriptButton = nullptr;
    ScriptMenu *m_scriptMenu = nullptr;
};
