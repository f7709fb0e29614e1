#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One command phrase as the keyword model knows it: pinyin initials and
// finals with tones (the model's tokens) and the Hanzi label reported when it
// is heard.
struct SpeechKeyword {
    QString label;
    QString tokens;
    // Whether the spotter listens for it, with which boost and threshold.
    bool spotted = true;
    double boostScore = 1.0;
    double threshold = 0.25;
};

// The fixed keyword list of the voice commands.
class SpeechKeywords {
public:
    static const QList<SpeechKeyword> &all();
    // Position of a label in all(), or -1.
    static qsizetype indexOf(const QString &label);

    // Lines of the spotted keywords in the spotter's format: tokens, ":score",
    // "#threshold", "@label".
    static QByteArray spotterLines();

    // Whether a label names a stop command (停止…, 结束…) rather than a start.
    static bool isStop(const QString &label);

    // Model tokens with tone marks removed ("ǐ" -> "i"); the recognizer's tones
    // are the least reliable part of its output for short commands.
    static QString toneless(const QString &token);
    static QStringList tonelessTokens(const QString &tokens);
};
