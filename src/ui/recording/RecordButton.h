#pragma once

#include <QPushButton>

// The large record button. It draws its whole look itself: a rounded pill with
// a white symbol and title, solid red while recording, a lighter red before.
class RecordButton : public QPushButton {
    Q_OBJECT

public:
    explicit RecordButton(QWidget *parent = nullptr);

    void setRecording(bool isRecording);
    bool isRecordingLook() const { return m_isRecording; }
    // While a take starts: "正在开始…"; pressing stops the take.
    void setStarting(bool isStarting);
    bool isStartingLook() const { return m_isStarting; }
    // No camera to record from: a press starts nothing.
    void setCanStart(bool canStart);
    // During the count before a recording: "取消录制", and pressing cancels.
    void setCountingDown(bool isCountingDown);
    bool isCountingDownLook() const { return m_isCountingDown; }
    QString symbolName() const;
    QColor backgroundColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintSymbol(QPainter &painter, const QRectF &box) const;

    void refreshTitle();

    bool m_isRecording = false;
    bool m_isStarting = false;
    bool m_isCountingDown = false;
    bool m_canStart = true;
};
