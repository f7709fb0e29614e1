#pragma once

#include <QPointer>
#include <QToolButton>

class QAction;
class QMenu;
class RecordingOptions;
class RecordingViewState;

// "⋯" at the end of the camera row: the recording options as checkable menu
// items, each bound both ways. "跟读滚动" is the view state's, and is kept in
// the options so that it persists too.
class RecordingOptionsButton : public QToolButton {
    Q_OBJECT

public:
    RecordingOptionsButton(RecordingOptions *options, RecordingViewState *state, QWidget *parent = nullptr);

    QMenu *optionsMenu() const { return m_menu; }
    // The item titled `title`, or null.
    QAction *item(const QString &title) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QAction *addItem(const QString &title, bool checked, std::function<void(bool)> write);
    void syncItems();
    void refreshIcon();

    QPointer<RecordingOptions> m_options;
    QPointer<RecordingViewState> m_state;
    QMenu *m_menu;
};
