#include "platform/speech/SpeechKeywords.h"

const QList<SpeechKeyword> &SpeechKeywords::all()
{
    // Stop phrases first, as command detection tests them, and each long
    // phrase before its own beginning. The spotter takes a phrase with one
    // syllable changed for its keyword even at strict thresholds ("开心录制",
    // "节目开始时录"), so it only proposes the long phrases and the recognizer
    // must agree; the short ones, which so many sentences come close to, count
    // only when the recognizer hears all their syllables. Boosts and
    // thresholds as measured with bench/voice_bench.cpp: no script sentence
    // of the evaluation set heard as a command.
    static const QList<SpeechKeyword> keywords = {
        {QStringLiteral("停止录制"), QStringLiteral("t íng zh ǐ l ù zh ì"), true, 1.5, 0.2},
        {QStringLiteral("结束录制"), QStringLiteral("j ié sh ù l ù zh ì"), true, 1.5, 0.2},
        {QStringLiteral("停止录像"), QStringLiteral("t íng zh ǐ l ù x iàng"), true, 1.5, 0.2},
        {QStringLiteral("结束录像"), QStringLiteral("j ié sh ù l ù x iàng"), true, 1.5, 0.2},
        {QStringLiteral("停止录"), QStringLiteral("t íng zh ǐ l ù"), false},
        {QStringLiteral("结束录"), QStringLiteral("j ié sh ù l ù"), false},
        {QStringLiteral("开始录制"), QStringLiteral("k āi sh ǐ l ù zh ì"), true, 1.5, 0.2},
        {QStringLiteral("开始录像"), QStringLiteral("k āi sh ǐ l ù x iàng"), true, 1.5, 0.2},
        {QStringLiteral("开始录"), QStringLiteral("k āi sh ǐ l ù"), false},
    };
    return keywords;
}

qsizetype SpeechKeywords::indexOf(const QString &label)
{
    const QList<SpeechKeyword> &keywords = all();
    for (qsizetype i = 0; i < keywords.size(); ++i) {
        if (keywords[i].label == label) {
            return i;
        }
    }
    return -1;
}

QByteArray SpeechKeywords::spotterLines()
{
    QString text;
    for (const SpeechKeyword &keyword : all()) {
        if (!keyword.spotted) {
            continue;
        }
        text += QStringLiteral("%1 :%2 #%3 @%4\n")
                    .arg(keyword.tokens)
                    .arg(keyword.boostScore)
                    .arg(keyword.threshold)
                    .arg(keyword.label);
    }
    return text.toUtf8();
}

bool SpeechKeywords::isStop(const QString &label)
{
    return label.startsWith(QStringLiteral("停止")) || label.startsWith(QStringLiteral("结束"));
}

QString SpeechKeywords::toneless(const QString &token)
{
    // Canonical decomposition splits "ǐ" into "i" + combining caron; the marks
    // are then dropped. "ü" keeps its diaeresis: lü and lu differ.
    const QString decomposed = token.normalized(QString::NormalizationForm_D);
    QString plain;
    for (const QChar c : decomposed) {
        const ushort code = c.unicode();
        const bool toneMark = code == 0x0300 || code == 0x0301 || code == 0x0304 || code == 0x030C;
        if (!toneMark) {
            plain += c;
        }
    }
    return plain.normalized(QString::NormalizationForm_C);
}

QStringList SpeechKeywords::tonelessTokens(const QString &tokens)
{
    QStringList result;
    for (const QString &token : tokens.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        result << toneless(token);
    }
    return result;
}
