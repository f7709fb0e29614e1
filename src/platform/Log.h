#pragma once

#include <QString>

#include <functional>

// One event per line on standard output: marker emoji, message, optional detail.
// No timestamps or levels; other tools read these lines as they are.
class Log {
public:
    static void line(const QString &text);

    // "true"/"false", the way Boolean details are written in log lines.
    static QString flag(bool value);

    // Shortest decimal text that reads back as the same double, always with a
    // fraction part: 1.0, 0.5625, 1.7777777777777777.
    static QString number(double value);

    // Tests watch the log through this; it is called from whatever thread logs.
    using Observer = std::function<void(const QString &)>;
    static void setObserver(Observer observer);
};
