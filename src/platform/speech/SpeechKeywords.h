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
    double boostScore = 1.0;
    double threshold = 0.25;
};

// The fixed keyword list of the voice commands.
class SpeechKeywords {
public:
    static const QList<SpeechKeyword> &all();

    // Keyword lines in the spotter's format: tokens, ":score", "#threshold", "@label".
    static QByteArray spotterLines();

    // Whether a label names a stop command (停止…, 结束…) rather than a start.
    static bool isStop(const QString &label);

    // Model tokens with tone marks removed ("ǐ" -> "i"); the recognizer's tones
    // are the least reliable part of its output for short commands.
    static QString toneless(const QString &token);
    static QStringList tonelessTokens(const QString &tokens);
};
