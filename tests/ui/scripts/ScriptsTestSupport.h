#pragma once

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

#include "support/MainLoop.h"

namespace ScriptsTestSupport {
// Types text the way an input method delivers it; QTest only types Latin-1.
inline void type(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// The store stamps writes in milliseconds; this makes the next stamp later
// than `seconds` without asserting anything about time.
inline void waitForClockPast(double seconds)
{
    MainLoop::waitUntil([seconds] { return double(QDateTime::currentMSecsSinceEpoch()) > seconds * 1000.0 + 1.0; });
}
} // namespace ScriptsTestSupport
