#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QAbstractSlider;
class QKeyEvent;
class QWidget;
class RecordingViewState;

// The keys of the recording screen, which presenter clickers send too:
// F5 starts or stops recording, B or "." starts or pauses scrolling, Page Down
// or Down scrolls faster by 0.1, Page Up or Up slower, Home resets. They work
// wherever the focus is in the screen's window while the screen is shown,
// ahead of buttons and menus, but never while a text field, an editor or a
// spin box has the focus: there the keys are the text's. A combo box, a
// slider or a segmented choice keeps the arrow, page and Home keys it moves
// by; only the speed slider follows the speed keys its tooltip names.
class RecordingShortcuts : public QObject {
    Q_OBJECT

public:
    static constexpr double speedStep = 0.1;
    static constexpr double slowestSpeed = 0.1;
    static constexpr double fastestSpeed = 3.0;

    static const QString recordKeysText;
    static const QString scrollKeysText;
    static const QString resetKeysText;
    static const QString speedKeysText;

    // `screen` is the recording screen; `toggleRecording` is what the record button does.
    RecordingShortcuts(
        QWidget *screen, RecordingViewState *state, std::function<void()> toggleRecording, QObject *parent = nullptr);

    // Names the keys in the controls' tooltips.
    static void describe(QWidget *recordButton, QWidget *startPauseButton, QWidget *resetButton, QWidget *speedSlider);

    // Whether `focus` keeps the keys for itself: text fields, editors, spin boxes.
    static bool isTextInput(const QWidget *focus);
    // Whether `focus` moves its own value or choice with `key`.
    static bool keepsKey(const QWidget *focus, int key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Action { none, record, scroll, faster, slower, reset };
    static Action actionFor(const QKeyEvent *event);
    bool appliesTo(QObject *receiver, int key) const;
    void perform(Action action);
    void changeSpeed(double delta);

    QPointer<QWidget> m_screen;
    QPointer<RecordingViewState> m_state;
    std::function<void()> m_toggleRecording;
};
