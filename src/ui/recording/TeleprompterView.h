#pragma once

#include "ui/recording/TeleprompterLayout.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

class FrameSyncedRepaint;
class RecordingViewState;

// The teleprompter box: the script over the camera picture on a translucent
// fill, scrolled by the view state's offset. Read-only, no frame, no scroll
// bars; the picture shows through everywhere but the box colour.
class TeleprompterView : public QWidget {
    Q_OBJECT

public:
    explicit TeleprompterView(RecordingViewState *state, QWidget *parent = nullptr);

    static QColor textColour(bool isDarkMode);
    static QColor boxColour(bool isDarkMode);

    // Rounds the box's own fill; whoever places the box may clip it as well.
    void setCornerRadius(double radius);
    double cornerRadius() const { return m_cornerRadius; }

    // The text drawn left to right mirrored, for beam-splitter glass; the
    // layout and the scroll position stay as they are.
    void setMirrored(bool mirrored);
    bool isMirrored() const { return m_isMirrored; }

    // Over the live picture: a scroll step is shown with the next frame.
    void setRepaintSync(FrameSyncedRepaint *sync);

    // Laid out on demand: each of these lays the text out first if needed.
    double contentHeight();
    double maximumOffset();
    // min(max(T - V, 0), offset): how far the text is scrolled from its top.
    double scrollPosition();
    const TeleprompterLayout &textLayout();
    // Lines drawn by the last paint: only the visible ones.
    int lastDrawnLineCount() const { return m_lastDrawnLineCount; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyText();
    void applyFont();
    void applySpacing();
    void onOffsetChanged();
    // The position snapped to the device pixel grid, as painted.
    double paintedPosition();

    RecordingViewState *m_state;
    QPointer<FrameSyncedRepaint> m_sync;
    TeleprompterLayout m_layout;
    double m_cornerRadius = 12;
    double m_lastPaintedPosition = -1;
    int m_lastDrawnLineCount = 0;
    bool m_isMirrored = false;
};
